// Copying short runs of bytes whose length is known only at run time.
#pragma once

#include <string.h>

#include "win32.h"

// Copies n bytes four at a time, the rest one by one: the i686 build copies a length it
// does not know with a string instruction that costs more than a run of a few words (a
// name, a piece of a block's layout). The ranges must not overlap.
inline void MemCopyWords(void *dst, const void *src, DWORD n)
{
  BYTE *d = static_cast<BYTE *>(dst);
  const BYTE *s = static_cast<const BYTE *>(src);
  DWORD i = 0;
  for (; i + 4 <= n; i += 4) {
    DWORD word;
    memcpy(&word, s + i, 4);
    memcpy(d + i, &word, 4);
  }
  for (; i < n; ++i) d[i] = s[i];
}
