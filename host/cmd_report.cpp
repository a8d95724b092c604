// kvmlhost report: what the platform layer holds on this machine root.
#include <dirent.h>
#include <stdio.h>

#include "host.h"
#include "kvplat/control.h"

namespace host {
namespace {

std::string Folder(UINT(WINAPI *get)(LPWSTR, UINT))
{
  WCHAR buf[MAX_PATH];
  UINT n = get(buf, MAX_PATH);
  return n && n < MAX_PATH ? Narrow(std::u16string(buf, n)) : std::string("?");
}

int RunReport(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {}, "report", parsed)) return 2;
  if (!parsed.rest.empty()) return UsageError("report", "report takes no arguments");
  if (int rc = RequireMachineRoot()) return rc;
  printf("machine root      %s\n", PlatGetMachineRoot());
  printf("windows folder    %s\n", Folder(GetWindowsDirectoryW).c_str());
  printf("system folder     %s\n", Folder(GetSystemDirectoryW).c_str());
  WCHAR tmp[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, tmp);
  printf("temporary folder  %s\n", n && n < MAX_PATH ? Narrow(std::u16string(tmp, n)).c_str() : "?");
  SYSTEMTIME st;
  GetLocalTime(&st);
  printf("local time        %04u-%02u-%02u %02u:%02u:%02u\n", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
         st.wSecond);
  char host[4096];
  if (PlatMapPath(u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3", host, sizeof host))
    printf("driver folder     C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3 -> %s\n", host);
  std::string samples = std::string(KV_SOURCE_DIR) + "/samples";
  printf("sample printer    %s\n", samples.c_str());
  if (DIR *d = opendir(samples.c_str())) {
    while (struct dirent *e = readdir(d))
      if (e->d_name[0] != '.') printf("  %s\n", e->d_name);
    closedir(d);
  }
  return 0;
}

Registrar reg({"report", "report",
               "Shows the machine root, the system folders, the local time and the sample printer's files.\n",
               RunReport});

}  // namespace
}  // namespace host
