// Shared by the spooler's files: the packing of Win32 answer buffers (structures at the
// start, strings and blocks at the end), handle checks and driver records.
#pragma once
#include <string.h>

#include <optional>
#include <string>
#include <vector>

#include "internal.h"
#include "win32/spooler.h"

namespace plat {
namespace spool {

// Lays out the variable part of a spooler answer from the end of the caller's buffer
// downwards, as Windows does. The same sequence of calls is first run without a buffer
// to measure, then with the buffer to fill; both start from an end that is a multiple of
// 4, so the measured size is exactly what the fill consumes.
class Packer {
 public:
  // Measuring packer.
  Packer() : base_(nullptr), end_(kMeasureEnd), start_(kMeasureEnd) {}
  // Filling packer over buf[0, cbBuf).
  Packer(BYTE *buf, DWORD cbBuf) : base_(buf), end_(cbBuf & ~3u), start_(cbBuf & ~3u) {}

  // Places a string with its terminator; NULL for a missing string.
  LPWSTR Str(const std::optional<std::u16string> &s) { return s ? Units(s->data(), s->size(), 1) : NULL; }
  LPWSTR Str(const std::u16string &s) { return Units(s.data(), s.size(), 1); }
  // Places UTF-16 units followed by `terminators` NULs (2 for a multi-string).
  LPWSTR Units(const char16_t *s, size_t n, size_t terminators)
  {
    DWORD bytes = static_cast<DWORD>((n + terminators) * sizeof(WCHAR));
    BYTE *p = Take(bytes, 2);
    if (!p) return NULL;
    if (n) memcpy(p, s, n * sizeof(WCHAR));
    memset(p + n * sizeof(WCHAR), 0, terminators * sizeof(WCHAR));
    return reinterpret_cast<LPWSTR>(p);
  }
  // Places a block of bytes on a 4-byte boundary; NULL for an empty block.
  void *Bytes(const std::string &b)
  {
    if (b.empty()) return NULL;
    BYTE *p = Take(static_cast<DWORD>(b.size()), 4);
    if (p) memcpy(p, b.data(), b.size());
    return p;
  }
  // Bytes consumed below the end so far.
  DWORD Used() const { return start_ - end_; }

 private:
  static constexpr DWORD kMeasureEnd = 0x40000000u;
  BYTE *Take(DWORD bytes, DWORD align)
  {
    end_ = (end_ - bytes) & ~(align - 1);
    return base_ ? base_ + end_ : nullptr;
  }
  BYTE *base_;
  DWORD end_, start_;
};

inline DWORD RoundUp4(DWORD n) { return (n + 3) & ~3u; }

// Runs a layout that fills `count` fixed records of `fixedSize` bytes: measures, then
// fills when the buffer is large enough. fill(packer, index, record) writes record i
// (record is NULL while measuring). Sets *pcbNeeded; FALSE with ERROR_INSUFFICIENT_BUFFER
// (or ERROR_INVALID_USER_BUFFER for a NULL buffer with a size) when it does not fit.
template <class Fill>
BOOL PackAnswer(DWORD count, DWORD fixedSize, BYTE *buf, DWORD cbBuf, LPDWORD pcbNeeded, Fill fill)
{
  Packer measure;
  for (DWORD i = 0; i < count; ++i) fill(measure, i, static_cast<void *>(nullptr));
  DWORD needed = RoundUp4(count * fixedSize + measure.Used());
  *pcbNeeded = needed;
  if (!buf && cbBuf) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (cbBuf < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  Packer packer(buf, cbBuf);
  std::vector<BYTE> record(fixedSize);
  for (DWORD i = 0; i < count; ++i) {
    memset(record.data(), 0, fixedSize);
    fill(packer, i, static_cast<void *>(record.data()));
    memcpy(buf + i * fixedSize, record.data(), fixedSize);
  }
  return TRUE;
}

// True for a live printer or print-server handle; otherwise sets ERROR_INVALID_HANDLE.
bool IsSpoolHandle(HANDLE h);

// The driver name of the printer behind a printer handle; false with the last error set.
bool PrinterDriverName(HANDLE h, std::u16string &driver);
// True when an installed printer uses the driver.
bool DriverInUse(const std::u16string &driver);

// An installed driver as recorded in the registry.
struct DriverRecord {
  std::u16string name, driverFile, dataFile, configFile, helpFile, monitor, datatype;
  std::u16string dependentFiles;  // names separated by NULs, without the final NUL
  DWORD version = 3;
};
bool LoadDriver(const std::u16string &name, DriverRecord &out);

// Advances the spool's generation without writing a printer, so that change
// notifications see a change of what stands beside the printers (their drivers).
void NoteSpoolChange();

// Two backslashes and the computer name: the local server in printer and server names.
std::u16string ComputerPrefix();

// Case-insensitive equality of two names.
inline bool SameName(const std::u16string &a, const std::u16string &b)
{
  return FoldCompare(a.data(), a.size(), b.data(), b.size()) == 0;
}

// The environment names accepted for this machine: NULL, "" or "Windows NT x86".
// Answers ERROR_SUCCESS, ERROR_UNKNOWN_PRINTER_DRIVER (a known environment that has no
// drivers here) or ERROR_INVALID_ENVIRONMENT.
DWORD CheckEnvironment(LPCWSTR env);

}  // namespace spool
}  // namespace plat
