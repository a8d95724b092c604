// Stand-in for the package's terminal-server probe DLL. Its one export answers 1 when
// the process serves a terminal-services client. Here the answer is the machine's
// environment variable KVML_TS_CLIENT: "1" means a terminal-services client; anything
// else, or no variable, means a local session. Tests set it with
// SetEnvironmentVariableW; the host program may set it in its environment.
#include "kvplat/module_control.h"
#include "win32.h"

KV_DLLEXPORT int WINAPI _IsTSE_WMICOM_KVML_Printer_Driver(void)
{
  WCHAR value[8];
  DWORD n = GetEnvironmentVariableW(u"KVML_TS_CLIENT", value, 8);
  return (n == 1 && value[0] == u'1') ? 1 : 0;
}
