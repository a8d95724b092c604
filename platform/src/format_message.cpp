// FormatMessageW: message texts from a format string or from the system's table of
// error texts, with numbered inserts.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "internal.h"
#include "win32/errors.h"
#include "win32/window.h"

#ifndef ERROR_RESOURCE_LANG_NOT_FOUND
#define ERROR_RESOURCE_LANG_NOT_FOUND 1815L
#endif

namespace plat {
namespace {

// The system texts of the errors the driver and its tests word for the user.
struct SystemText {
  DWORD code;
  const char16_t *text;
};
const SystemText kSystemTexts[] = {
    {0, u"The operation completed successfully.\r\n"},
    {1, u"Incorrect function.\r\n"},
    {2, u"The system cannot find the file specified.\r\n"},
    {3, u"The system cannot find the path specified.\r\n"},
    {5, u"Access is denied.\r\n"},
    {6, u"The handle is invalid.\r\n"},
    {8, u"Not enough storage is available to process this command.\r\n"},
    {14, u"Not enough storage is available to complete this operation.\r\n"},
    {32, u"The process cannot access the file because it is being used by another process.\r\n"},
    {39, u"The disk is full.\r\n"},
    {80, u"The file exists.\r\n"},
    {87, u"The parameter is incorrect.\r\n"},
    {112, u"There is not enough space on the disk.\r\n"},
    {122, u"The data area passed to a system call is too small.\r\n"},
    {123, u"The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {126, u"The specified module could not be found.\r\n"},
    {127, u"The specified procedure could not be found.\r\n"},
    {183, u"Cannot create a file when that file already exists.\r\n"},
    {1223, u"The operation was canceled by the user.\r\n"},
    {1797, u"The printer driver is unknown.\r\n"},
    {1801, u"The printer name is invalid.\r\n"},
    {1802, u"The printer already exists.\r\n"},
    {1804, u"The specified datatype is invalid.\r\n"},
    {3012, u"No printers were found.\r\n"},
};

const char16_t *FindSystemText(DWORD code)
{
  for (const SystemText &t : kSystemTexts) {
    if (t.code == code) return t.text;
  }
  return nullptr;
}

// The arguments of the inserts, 1-based.
class Args {
 public:
  Args(va_list *list, const DWORD_PTR *array) : list_(list), array_(array) {}
  // Argument n; a va_list is read in order up to n, each argument one pointer-sized slot.
  bool Get(int n, DWORD_PTR *out)
  {
    if (array_) {
      *out = array_[n - 1];
      return true;
    }
    if (!list_) return false;
    while (static_cast<int>(read_.size()) < n) read_.push_back(va_arg(*list_, DWORD_PTR));
    *out = read_[static_cast<size_t>(n - 1)];
    return true;
  }

 private:
  va_list *list_;
  const DWORD_PTR *array_;
  std::vector<DWORD_PTR> read_;
};

bool IsDigit(WCHAR c) { return c >= u'0' && c <= u'9'; }

// One insert with its "!fmt!" conversion; false for a conversion the layer refuses.
bool Insert(std::u16string &out, DWORD_PTR arg, const std::u16string &spec)
{
  WCHAR conv = spec.empty() ? u's' : spec.back();
  if (conv == u's' || conv == u'S') {
    const WCHAR *s = reinterpret_cast<const WCHAR *>(arg);
    if (!s) return false;
    out.append(s, WLen(s));
    return true;
  }
  if (conv == u'c') {
    out.push_back(static_cast<WCHAR>(arg));
    return true;
  }
  std::string fmt = "%";
  bool isLong = false;
  for (size_t i = 0; i + 1 < spec.size(); ++i) {
    WCHAR c = spec[i];
    if (!(IsDigit(c) || c == u'-' || c == u'+' || c == u' ' || c == u'#' || c == u'.' || c == u'l' || c == u'h'))
      return false;
    if (c == u'l') isLong = true;
    if (c != u'l' && c != u'h') fmt.push_back(static_cast<char>(c));
  }
  char buf[64];
  switch (conv) {
    case u'd':
    case u'i':
      fmt += isLong ? "ld" : "d";
      if (isLong)
        snprintf(buf, sizeof buf, fmt.c_str(), static_cast<long>(arg));
      else
        snprintf(buf, sizeof buf, fmt.c_str(), static_cast<int>(arg));
      break;
    case u'u':
    case u'x':
    case u'X':
    case u'o':
      fmt += isLong ? "l" : "";
      fmt.push_back(static_cast<char>(conv));
      if (isLong)
        snprintf(buf, sizeof buf, fmt.c_str(), static_cast<unsigned long>(arg));
      else
        snprintf(buf, sizeof buf, fmt.c_str(), static_cast<unsigned>(arg));
      break;
    default: return false;
  }
  for (const char *p = buf; *p; ++p) out.push_back(static_cast<WCHAR>(*p));
  return true;
}

// Expands the escapes and inserts of a message text.
bool Expand(const WCHAR *src, DWORD flags, Args &args, std::u16string &out)
{
  bool ignoreInserts = (flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
  bool joinLines = (flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) != 0;
  for (const WCHAR *p = src; *p;) {
    if (*p != u'%') {
      if (joinLines && (*p == u'\r' || *p == u'\n')) {
        if (*p == u'\r' && p[1] == u'\n') ++p;
        out.push_back(u' ');
      } else {
        out.push_back(*p);
      }
      ++p;
      continue;
    }
    const WCHAR *start = p++;
    WCHAR c = *p;
    if (c == 0) break;
    if (IsDigit(c) && c != u'0') {
      int n = c - u'0';
      ++p;
      if (IsDigit(*p)) n = n * 10 + (*p++ - u'0');
      std::u16string spec;
      if (*p == u'!') {
        const WCHAR *end = p + 1;
        while (*end && *end != u'!') ++end;
        if (*end != u'!') return false;
        spec.assign(p + 1, static_cast<size_t>(end - p - 1));
        p = end + 1;
      }
      if (ignoreInserts) {
        out.append(start, static_cast<size_t>(p - start));
        continue;
      }
      DWORD_PTR arg = 0;
      if (!args.Get(n, &arg) || !Insert(out, arg, spec)) return false;
      continue;
    }
    ++p;
    switch (c) {
      case u'0': return true;
      case u'n': out += u"\r\n"; break;
      case u'r': out.push_back(u'\r'); break;
      case u't': out.push_back(u'\t'); break;
      default: out.push_back(c); break;  // %% %. %! and "% "
    }
  }
  return true;
}

}  // namespace
}  // namespace plat

using namespace plat;

DWORD WINAPI FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPWSTR lpBuffer,
                            DWORD nSize, va_list *Arguments)
{
  if (!lpBuffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  bool allocate = (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0;
  if (allocate) *reinterpret_cast<LPWSTR *>(lpBuffer) = nullptr;
  const WCHAR *text = nullptr;
  if (dwFlags & FORMAT_MESSAGE_FROM_STRING) {
    text = static_cast<const WCHAR *>(lpSource);
  } else if (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) {
    if (dwLanguageId != 0 && dwLanguageId != 0x0400 && dwLanguageId != 0x0800 && dwLanguageId != 0x0409) {
      SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
      return 0;
    }
    text = FindSystemText(dwMessageId);
    if (!text) {
      SetLastError(ERROR_MR_MID_NOT_FOUND);
      return 0;
    }
  }
  if (!text) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const DWORD_PTR *array =
      (dwFlags & FORMAT_MESSAGE_ARGUMENT_ARRAY) ? reinterpret_cast<const DWORD_PTR *>(Arguments) : nullptr;
  Args args(array ? nullptr : Arguments, array);
  std::u16string out;
  if (!Expand(text, dwFlags, args, out)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  DWORD n = static_cast<DWORD>(out.size());
  if (allocate) {
    DWORD cap = n + 1 > nSize ? n + 1 : nSize;
    LPWSTR buf = static_cast<LPWSTR>(LocalAlloc(LMEM_ZEROINIT, cap * sizeof(WCHAR)));
    if (!buf) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    memcpy(buf, out.data(), n * sizeof(WCHAR));
    *reinterpret_cast<LPWSTR *>(lpBuffer) = buf;
    return n;
  }
  if (n + 1 > nSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(lpBuffer, out.data(), n * sizeof(WCHAR));
  lpBuffer[n] = 0;
  return n;
}
