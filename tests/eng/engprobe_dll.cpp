// A stand-in graphics DLL for the engine tests: its only initialization is an exported
// DllEntryPoint (no DllMain), which notes each call in the machine's environment
// (ENGPROBE_EVENTS gets "A" per attach and "D" per detach) and remembers its module.
#include "kvplat/module_control.h"
#include "win32.h"

namespace {
HMODULE g_self = NULL;

void Append(LPCWSTR text)
{
  WCHAR buf[64];
  DWORD n = GetEnvironmentVariableW(u"ENGPROBE_EVENTS", buf, 32);
  if (n >= 32) n = 0;
  for (int i = 0; text[i] && n + 1 < 64; ++i) buf[n++] = text[i];
  buf[n] = 0;
  SetEnvironmentVariableW(u"ENGPROBE_EVENTS", buf);
}
}  // namespace

KV_DLLEXPORT BOOL WINAPI DllEntryPoint(HINSTANCE hinst, DWORD reason, LPVOID reserved)
{
  if (reason == DLL_PROCESS_ATTACH) {
    g_self = hinst;
    Append(u"A");
  } else if (reason == DLL_PROCESS_DETACH) {
    Append(u"D");
  }
  return TRUE;
}

// The module handle DllEntryPoint received.
KV_DLLEXPORT HMODULE WINAPI EngProbeSelf(void) { return g_self; }
