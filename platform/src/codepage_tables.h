// Tables of the code pages 1252, 437 and 932 (generated into codepage_tables.cpp by
// scripts/gen_codepage_tables.py).
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "win32/types.h"

namespace plat {
namespace cp {

// Bytes 0x80-0xFF of the single-byte code pages (0x00-0x7F are ASCII).
extern const uint16_t kCp1252High[128];
extern const uint16_t kCp437High[128];
// Single bytes 0x80-0xFF of 932; 0 marks a lead byte.
extern const uint16_t kCp932High[128];
// Double-byte codes of 932: row = lead byte (0x81-0x9F, then 0xE0-0xFC), column = trail
// byte - 0x40 (0x40-0xFC); 0 marks an undefined code.
extern const uint16_t kCp932Dbcs[60][189];

// Best-fit replacements made by WideCharToMultiByte unless WC_NO_BEST_FIT_CHARS is given:
// characters the code page lacks, mapped to a code that decodes to a similar character.
// Sorted by the UTF-16 unit.
struct BestFit {
  uint16_t wc;
  uint16_t mb;
};
extern const BestFit kCp1252BestFit[];
extern const size_t kCp1252BestFitCount;
extern const BestFit kCp932BestFit[];
extern const size_t kCp932BestFitCount;

}  // namespace cp

// One character of ANSI text in the active code page, for the other files of the layer.
// AnsiDecodeChar decodes the character at p (which is not the terminator) as
// MultiByteToWideChar does and answers its length in bytes (1, or 2 for a 932 pair).
WCHAR AnsiDecodeChar(const char *p, int *len);
// AnsiEncodeChar writes the encoding of wc into out and answers its length (1 or 2).
// Not exact: as WideCharToMultiByte with no flags (best fit, then '?'). Exact: only a
// code that decodes back to wc; 0 when there is none.
int AnsiEncodeChar(WCHAR wc, char out[2], bool exact);

}  // namespace plat
