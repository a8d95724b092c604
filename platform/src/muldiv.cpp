// MulDiv: a 64-bit product divided and rounded, as kernel32 computes it.
#include "win32.h"

int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator)
{
  if (nDenominator == 0) return -1;
  int64_t product = static_cast<int64_t>(nNumber) * nNumerator;
  bool negative = (product < 0) != (nDenominator < 0);
  uint64_t p = product < 0 ? 0 - static_cast<uint64_t>(product) : static_cast<uint64_t>(product);
  uint64_t d = nDenominator < 0 ? 0 - static_cast<uint64_t>(static_cast<int64_t>(nDenominator))
                                : static_cast<uint64_t>(nDenominator);
  // Halves round away from zero.
  uint64_t q = (p + d / 2) / d;
  if (negative ? q > 0x80000000ULL : q > 0x7FFFFFFFULL) return -1;
  return negative ? static_cast<int>(0 - static_cast<int64_t>(q)) : static_cast<int>(q);
}
