// In-memory INI image of a settings file: a read loads the whole file once and finds keys
// of one section with a moving cursor; a write composes one section as text and puts it
// at the front of the file in a single rewrite. The text is 8-bit in the active code page
// with CR LF line ends; names match case-insensitively.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Capacity of a fresh section buffer; it grows when a section needs more.
#define KV_INI_SECTION_BUFFER_SIZE 32768u
// Bytes of an ANSI section name or key (with its terminator).
#define KV_INI_NAME_BYTES 522

// Reader state of one serializer run: the loaded text, the body of the section in use
// (NULL when the file lacks it) and the byte offset from the body where the next key
// search starts.
typedef struct INI_IMAGE {
  char *text;
  char *sectionBody;
  LONG cursor;
} INI_IMAGE;

// Writer state: a zero-filled text buffer of capacity bytes that always keeps a NUL after
// the text written so far. The length of the text is kept by the caller.
typedef struct INI_SECTION_BUFFER {
  char *text;
  DWORD capacity;
} INI_SECTION_BUFFER;

// The whole file as a NUL-terminated text (GlobalAlloc, freed with IniFreeImage), or NULL
// when the path is NULL, empty or not absolute ("X:..."), or the file cannot be opened or
// read whole.
char *WINAPI IniLoadImage(LPCWSTR path);
// IniLoadImage's work on an ANSI path: NULL when the file cannot be opened, is too large
// or reads short.
char *WINAPI IniReadWholeFile(LPCSTR path);
// Frees a loaded text; 1 (also for NULL).
int WINAPI IniFreeImage(char *text);

// The first line after the header line of the section, or NULL when the text has no such
// section (or either argument is NULL). Text after ']' on the header line is ignored.
char *WINAPI IniImageFindSection(LPCWSTR section, const char *text);
// 1 with *text moved past the name and ']' when the text continues with the name
// (case-insensitive) and ']'; else 0 and *text unchanged.
int WINAPI IniMatchSectionName(const char *name, const char **text);

// Reads the key from the section body, starting at *cursor and wrapping round once to the
// body's start; the first match at or after the cursor wins and the cursor moves to the
// line after it. A missing key (or a NULL body) gives the default (NULL = "") and leaves
// the cursor at 0 (or where it was, when the search came round to it). out receives at most
// capacity - 1 characters and is terminated; answers the characters put into out.
WORD WINAPI IniImageGetString(LPCWSTR key, LPCWSTR defaultValue, LPWSTR out, WORD capacity, const char *sectionBody,
                              LONG *cursor);
// _wtoi of the key's value (at most 10 digits); the default when the key is missing or
// its value is empty.
INT WINAPI IniImageGetInt(LPCWSTR key, INT defaultValue, const char *sectionBody, LONG *cursor);
// 1 with *text moved past the key and '=' when the text continues with the key
// (case-insensitive) directly followed by '='; else 0 and *text unchanged.
int WINAPI IniMatchKey(const char *key, const char **text);
// Copies at most count - 1 bytes of text up to CR, LF or NUL into out and terminates it;
// answers the bytes copied (0, out untouched, for count 0).
DWORD WINAPI IniCopyValue(char *out, const char *text, DWORD count);
// The start of the line after the one text stands in, or the terminating NUL.
const char *WINAPI IniNextLine(const char *text);

// A zero-filled section buffer of KV_INI_SECTION_BUFFER_SIZE bytes; 0 when memory runs out.
int WINAPI IniSectionBufferInit(INI_SECTION_BUFFER *buffer);
// Frees the buffer's text; 1.
int WINAPI IniSectionBufferFree(INI_SECTION_BUFFER *buffer);
// Appends "[" name "]" CR LF at *length and advances it; nothing for an empty name. The
// buffer grows as needed. 0 for a NULL argument or when it cannot grow (nothing is
// appended then), else 1.
int WINAPI IniImagePutSection(DWORD *length, LPCWSTR section, INI_SECTION_BUFFER *buffer);
// Appends key "=" value CR LF (an empty or NULL value gives the key and '=' only); nothing
// for an empty key. 0 for a NULL key, length or buffer, or when the buffer cannot grow.
int WINAPI IniImagePutString(DWORD *length, LPCWSTR key, LPCWSTR value, INI_SECTION_BUFFER *buffer);

// Rewrites the file with the composed section first, then the old text before the old
// section of that name and the old text after it (a missing file counts as empty). Lines
// in front of the old text's first section header belong to no section and stay in front
// of the composed one (ended with CR LF when they were not). The new
// text replaces the file whole (FileReplaceWhole), so a failed write leaves the old file
// whole and a link in the file's place is replaced, not written through. 1 when the file
// was rewritten; 0 otherwise, and then the GetLastError code becomes the context's
// settings-file status.
int WINAPI IniImageWriteSection(DRIVER_CONTEXT *ctx, LPCWSTR path, LPCWSTR section, const char *buffer, DWORD length);
// The header line of the section in text (length bytes), or NULL. *sectionLength (when
// given) receives the bytes of the header line and of every line up to the next line that
// starts with '[' or the end of the text.
const char *WINAPI IniTextFindSection(const char *section, const char *text, DWORD textLength, DWORD *sectionLength);

// One key of a batch written by IniImageWriteKeys; a NULL value removes the key.
typedef struct INI_KEY_VALUE {
  LPCWSTR key;
  LPCWSTR value;
} INI_KEY_VALUE;

// Sets or removes count keys of one section with a single rewrite of the file, under the
// settings mutex: the section (its name sanitized as IniWriteString does) is composed from
// its old text, where each key it holds is set in place under its own spelling (or
// removed) and the keys it lacks follow its last entry; IniImageWriteSection then puts it
// in place of the old one, at the front of the file. Values are written without CR and LF.
// A missing file or section is created. 1 when the file was rewritten; 0, changing
// nothing, for a path that is not absolute, an empty or too long section name, no keys, an
// empty key, a file that exists but cannot be read whole, or a failed rewrite.
int WINAPI IniImageWriteKeys(DRIVER_CONTEXT *ctx, LPCWSTR path, LPCWSTR section, const INI_KEY_VALUE *keys,
                             DWORD count);

KV_END_DECLS
