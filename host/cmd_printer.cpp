// kvmlhost printer list | printer show NAME | printerdata NAME [VALUE [DATA]]:
// what the spooler holds.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "host.h"
#include "os/os_registry.h"

namespace host {
namespace {

std::string S(const WCHAR *s) { return s ? Narrow(std::u16string(s)) : std::string("(none)"); }

// Runs a Win32 size-query call twice: once for the size, once into a buffer of that size.
template <class Fn>
bool Query(std::vector<BYTE> &buf, Fn call)
{
  DWORD needed = 0;
  if (call(static_cast<BYTE *>(nullptr), 0u, &needed)) return true;
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return false;
  buf.assign(needed, 0);
  return call(buf.data(), needed, &needed) != FALSE;
}

struct OpenedPrinter {
  HANDLE handle = NULL;
  ~OpenedPrinter()
  {
    if (handle) ClosePrinter(handle);
  }
};

bool Open(const std::string &name, OpenedPrinter &p, DWORD access)
{
  std::u16string w = Widen(name);
  PRINTER_DEFAULTSW defaults = {NULL, NULL, access};
  return OpenPrinterW(w.data(), &p.handle, &defaults) != FALSE;
}

int RunList(Args &args)
{
  std::vector<BYTE> buf;
  DWORD count = 0;
  bool ok = Query(buf, [&](BYTE *b, DWORD n, DWORD *need) {
    return EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, b, n, need, &count);
  });
  if (!ok && GetLastError() != NO_ERROR) return Fail("cannot list printers: " + ErrorText(GetLastError()));
  if (buf.empty()) count = 0;
  auto *info = reinterpret_cast<PRINTER_INFO_2W *>(buf.data());
  for (DWORD i = 0; i < count; ++i)
    printf("%s\t%s\t%s\n", S(info[i].pPrinterName).c_str(), S(info[i].pDriverName).c_str(),
           S(info[i].pPortName).c_str());
  return 0;
}

int RunShow(const std::string &name)
{
  OpenedPrinter p;
  if (!Open(name, p, PRINTER_ACCESS_USE))
    return Fail("cannot open printer \"" + name + "\": " + ErrorText(GetLastError()));
  std::vector<BYTE> buf;
  if (!Query(buf, [&](BYTE *b, DWORD n, DWORD *need) { return GetPrinterW(p.handle, 2, b, n, need); }))
    return Fail("cannot read printer \"" + name + "\": " + ErrorText(GetLastError()));
  auto *pi = reinterpret_cast<PRINTER_INFO_2W *>(buf.data());
  printf("printer      %s\n", S(pi->pPrinterName).c_str());
  printf("driver       %s\n", S(pi->pDriverName).c_str());
  printf("port         %s\n", S(pi->pPortName).c_str());
  printf("comment      %s\n", S(pi->pComment).c_str());
  printf("location     %s\n", S(pi->pLocation).c_str());
  printf("attributes   0x%08lx\n", pi->Attributes);
  printf("devmode      %s\n", pi->pDevMode ? "stored" : "(none)");
  std::vector<BYTE> dbuf;
  if (!Query(dbuf, [&](BYTE *b, DWORD n, DWORD *need) { return GetPrinterDriverW(p.handle, NULL, 3, b, n, need); }))
    return Fail("cannot read the driver of \"" + name + "\": " + ErrorText(GetLastError()));
  auto *di = reinterpret_cast<DRIVER_INFO_3W *>(dbuf.data());
  printf("driver file  %s\n", S(di->pDriverPath).c_str());
  printf("config file  %s\n", S(di->pConfigFile).c_str());
  printf("data file    %s\n", S(di->pDataFile).c_str());
  printf("help file    %s\n", S(di->pHelpFile).c_str());
  for (const WCHAR *d = di->pDependentFiles; d && *d; d += lstrlenW(d) + 1) printf("dependent    %s\n", S(d).c_str());
  // A fact of the machine that the driver reads for every printer.
  printf("companion    %s\n",
         OsIsCompanionAppInstalled(KV_COMPANION_JOB_BINDING, NULL) ? "installed" : "not installed");
  return 0;
}

const char kPrinterUsage[] = "printer list | printer show NAME";
const char kPrinterDataUsage[] = "printerdata NAME [VALUE [DATA | dword:N]]";

int RunPrinter(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {}, kPrinterUsage, parsed)) return 2;
  Args &args = parsed.rest;
  bool list = args.size() == 1 && args[0] == "list";
  bool show = args.size() == 2 && args[0] == "show";
  if (!list && !show) return UsageError(kPrinterUsage);
  if (int rc = RequireMachineRoot()) return rc;
  return list ? RunList(args) : RunShow(args[1]);
}

void PrintValue(DWORD type, const BYTE *data, DWORD size)
{
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      std::u16string s(reinterpret_cast<const char16_t *>(data), size / 2);
      while (!s.empty() && s.back() == 0) s.pop_back();
      printf("REG_SZ %s\n", Narrow(s).c_str());
      break;
    }
    case REG_DWORD:
      if (size >= 4) {
        DWORD v;
        memcpy(&v, data, 4);
        printf("REG_DWORD %lu (0x%lx)\n", v, v);
        break;
      }
      [[fallthrough]];
    default:
      printf("type %lu, %lu bytes:", type, size);
      for (DWORD i = 0; i < size && i < 64; ++i) printf(" %02x", data[i]);
      printf(size > 64 ? " ...\n" : "\n");
  }
}

// Reads a DWORD written in decimal, 0x hexadecimal or 0 octal: digits only, no sign or
// blanks, and nothing above 0xFFFFFFFF (checked as the digits come, so no count of
// digits can wrap around).
bool ParseDword(const std::string &text, DWORD &out)
{
  unsigned base = 10;
  size_t i = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    i = 2;
  } else if (text.size() > 1 && text[0] == '0') {
    base = 8;
    i = 1;
  }
  if (i >= text.size()) return false;
  uint64_t v = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    unsigned d = c >= '0' && c <= '9'   ? static_cast<unsigned>(c - '0')
                 : c >= 'a' && c <= 'f' ? static_cast<unsigned>(c - 'a' + 10)
                 : c >= 'A' && c <= 'F' ? static_cast<unsigned>(c - 'A' + 10)
                                        : 16u;
    if (d >= base) return false;
    v = v * base + d;
    if (v > 0xFFFFFFFFull) return false;
  }
  out = static_cast<DWORD>(v);
  return true;
}

int RunPrinterData(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {}, kPrinterDataUsage, parsed)) return 2;
  const Args &args = parsed.rest;
  if (args.empty() || args.size() > 3) return UsageError(kPrinterDataUsage);
  if (int rc = RequireMachineRoot()) return rc;
  OpenedPrinter p;
  DWORD access = args.size() == 3 ? PRINTER_ALL_ACCESS : PRINTER_ACCESS_USE;
  if (!Open(args[0], p, access)) return Fail("cannot open printer \"" + args[0] + "\": " + ErrorText(GetLastError()));
  if (args.size() == 1) {
    // Each value is asked for its sizes first; a value that grew between the two calls
    // is asked for again.
    std::vector<WCHAR> name(1);
    std::vector<BYTE> data(1);
    for (DWORD i = 0;;) {
      DWORD nameBytes = 0, type = 0, dataBytes = 0;
      DWORD rc = EnumPrinterDataW(p.handle, i, name.data(), static_cast<DWORD>(name.size() * sizeof(WCHAR)), &nameBytes,
                                  &type, data.data(), static_cast<DWORD>(data.size()), &dataBytes);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc == ERROR_MORE_DATA && nameBytes > 0) {
        name.resize(std::max<size_t>(name.size(), (nameBytes + 1) / sizeof(WCHAR)));
        data.resize(std::max<size_t>(data.size(), dataBytes));
        continue;
      }
      if (rc != ERROR_SUCCESS) return Fail("cannot list the data of printer \"" + args[0] + "\": " + ErrorText(rc));
      printf("%s = ", S(name.data()).c_str());
      PrintValue(type, data.data(), dataBytes);
      ++i;
    }
    return 0;
  }
  std::u16string value = Widen(args[1]);
  if (args.size() == 3) {
    DWORD rc;
    if (args[2].rfind("dword:", 0) == 0) {
      DWORD d = 0;
      if (!ParseDword(args[2].substr(6), d)) return Fail("not a number from 0 to 4294967295: " + args[2]);
      rc = SetPrinterDataW(p.handle, value.data(), REG_DWORD, reinterpret_cast<BYTE *>(&d), 4);
    } else {
      std::u16string data = Widen(args[2]);
      rc = SetPrinterDataW(p.handle, value.data(), REG_SZ, reinterpret_cast<BYTE *>(data.data()),
                           static_cast<DWORD>((data.size() + 1) * 2));
    }
    if (rc != ERROR_SUCCESS)
      return Fail("cannot write " + args[1] + " of printer \"" + args[0] + "\": " + ErrorText(rc));
    return 0;
  }
  DWORD type = 0, needed = 0;
  DWORD rc = GetPrinterDataW(p.handle, value.data(), &type, NULL, 0, &needed);
  if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)
    return Fail("cannot read " + args[1] + " of printer \"" + args[0] + "\": " + ErrorText(rc));
  std::vector<BYTE> data(needed ? needed : 1);
  rc = GetPrinterDataW(p.handle, value.data(), &type, data.data(), needed, &needed);
  if (rc != ERROR_SUCCESS) return Fail("cannot read " + args[1] + " of printer \"" + args[0] + "\": " + ErrorText(rc));
  PrintValue(type, data.data(), needed);
  return 0;
}

Registrar reg1({"printer", kPrinterUsage,
                "Lists the spooler's printers (name, driver, port), or shows one printer's fields and its\n"
                "driver's files.\n",
                RunPrinter});
Registrar reg2({"printerdata", kPrinterDataUsage,
                "Lists a printer's data values, shows one, or sets one: DATA as a string (REG_SZ),\n"
                "dword:N as a number (REG_DWORD; decimal, 0x hexadecimal or 0 octal).\n",
                RunPrinterData});

}  // namespace
}  // namespace host
