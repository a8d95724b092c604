// Printer description text reader: reads the description file, hands out its bytes one
// at a time and cuts them into logical lines "*Keyword[ Option1[ Option2]]: Value",
// where a value runs over several physical lines while a quote, parenthesis or brace
// is open.
#pragma once
#include "win32.h"

KV_BEGIN_DECLS

// Reader over the bytes of one description text. The reader owns its copy of the text,
// which ends in one NUL byte past the text: DescReadLine points the parts of a line into
// this copy and writes the NUL that ends each part over a byte it has already read past.
typedef struct DESC_READER {
  BYTE *base;        // start of the reader's copy of the text
  BYTE *cursor;      // next byte to deliver
  DWORD remaining;   // bytes left after the cursor; the NUL after the text is at cursor + remaining
  DWORD lineNumber;  // physical line (1-based) of the cursor
  DWORD lineStart;   // physical line on which the last logical line began
  BYTE prevByte;     // last delivered byte (CR LF counts as one line end)
  BYTE endedInside;  // DESC_OPEN_*: after DescReadLine, what the file ended inside
} DESC_READER;

// What a value was left open in when the file ended (DESC_READER.endedInside): the line is
// rejected (DESC_READ_MALFORMED) and this tells why. The innermost one is named.
#define DESC_OPEN_NONE 0
#define DESC_OPEN_QUOTE 1
#define DESC_OPEN_PARENTHESIS 2
#define DESC_OPEN_BRACE 3

// One part of a line: NUL-terminated text that the line does not own. text[0] up to and
// including text[capacity] can be read (capacity is at least length), so a scanner may
// look at bytes past the terminator up to that bound; nothing may be written into it.
typedef struct DESC_TEXT_BUFFER {
  DWORD capacity;
  DWORD length;  // text length; grammar handlers reuse it as a scan cursor
  char *text;
} DESC_TEXT_BUFFER;

// One logical line: keyword, option 1, option 2 and value, in this order. The parts point
// into the reader's text (or, while a part is absent, at none) and hold until the next
// DescReadLine or DescReaderClose.
typedef struct DESC_LINE {
  DESC_TEXT_BUFFER keyword;
  DESC_TEXT_BUFFER option1;
  DESC_TEXT_BUFFER option2;
  DESC_TEXT_BUFFER value;
  char none[4];  // "": the text of an absent part
} DESC_LINE;

// Character classes of the description text (one entry per byte value).
#define DESC_CC_DELIMITER 0x01
#define DESC_CC_KEYWORD 0x02
#define DESC_CC_OPTION 0x04
#define DESC_CC_BLANK 0x10
#define DESC_CC_LINE_END 0x20
#define DESC_CC_HEX_LETTER 0x40
#define DESC_CC_DIGIT 0x80
extern const BYTE DESC_CHAR_CLASS[256];

// Status of the line operations.
#define DESC_READ_LINE 0       // a line was read
#define DESC_READ_EOF 1        // nothing left
#define DESC_READ_MALFORMED 3  // the line is rejected; DESC_READER.lineStart tells where
// Memory ran out: stop reading. DescReadLine allocates nothing, so it never answers this.
#define DESC_READ_NO_MEMORY 4

// A reader over the description file, read whole (free with DescReaderClose); NULL when
// the file cannot be read (missing, unreadable or empty) or memory runs out.
DESC_READER *WINAPI DescReaderOpen(LPCWSTR path);
// A reader over a copy of size bytes of text (need not be NUL-terminated; NULL reads as
// empty), free with DescReaderClose; NULL when memory runs out.
DESC_READER *WINAPI DescReaderOpenText(const char *text, DWORD size);
// Frees the reader's text and the reader; NULL is ignored.
void WINAPI DescReaderClose(DESC_READER *reader);
// The next byte into *out: 0 when one was delivered, 1 at the end of the file.
DWORD WINAPI DescReadByte(DESC_READER *reader, BYTE *out);
// A new line with four empty parts (free with DescLineFree); NULL when memory runs out.
DESC_LINE *WINAPI DescLineCreate(void);
// Frees the line; NULL is ignored.
void WINAPI DescLineFree(DESC_LINE *line);
// Reads the next logical line into line (every part terminated, absent parts ""); answers
// a DESC_READ_* status. The parts of a rejected line hold what was read of them before the
// byte that rejected it; at the end of the file every part is "".
DWORD WINAPI DescReadLine(DESC_LINE *line, DESC_READER *reader);
// Always 1; writes the FileVersion value (at most 14 characters and a terminator) into
// out (16 characters) when the file has one.
DWORD WINAPI DescReadTextFileVersion(LPCWSTR path, WCHAR *out);
// Value of a hex digit character: '0'-'9', 'a'-'f' and 'A'-'F'; meaningless for others.
int WINAPI DescHexDigitValue(BYTE c);

KV_END_DECLS
