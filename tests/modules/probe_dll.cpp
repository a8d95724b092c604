// A stand-in DLL for the module tests: it notes its DllMain calls in the machine's
// environment (KVPROBE_EVENTS gets "A" per attach and "D" per detach, KVPROBE_SELF the
// path GetModuleFileNameW gives for the handle DllMain receives), refuses to attach
// while KVPROBE_REFUSE is "1", and exports a function and a variable.
#include "kvplat/module_control.h"
#include "win32.h"

namespace {

void Append(LPCWSTR name, LPCWSTR text)
{
  WCHAR buf[256];
  DWORD n = GetEnvironmentVariableW(name, buf, 200);
  if (n >= 200) n = 0;
  int i = 0;
  while (text[i] && n + 1 < 256) buf[n++] = text[i++];
  buf[n] = 0;
  SetEnvironmentVariableW(name, buf);
}

bool Refusing()
{
  WCHAR buf[8];
  return GetEnvironmentVariableW(u"KVPROBE_REFUSE", buf, 8) == 1 && buf[0] == u'1';
}

// Not exported: GetProcAddress must not find it.
extern "C" int ProbeHidden(void) { return 7; }

}  // namespace

KV_DLLEXPORT BOOL WINAPI DllMain(HINSTANCE hinst, DWORD reason, LPVOID reserved)
{
  if (reason == DLL_PROCESS_ATTACH) {
    Append(u"KVPROBE_EVENTS", u"A");
    WCHAR self[MAX_PATH];
    if (GetModuleFileNameW(hinst, self, MAX_PATH)) SetEnvironmentVariableW(u"KVPROBE_SELF", self);
    return Refusing() ? FALSE : TRUE;
  }
  if (reason == DLL_PROCESS_DETACH) Append(u"KVPROBE_EVENTS", u"D");
  return TRUE;
}

KV_DLLEXPORT int WINAPI ProbeAdd(int a, int b) { return a + b + ProbeHidden() - 7; }

KV_DLLEXPORT const int ProbeData = 1234;
