// Shared helpers of the module tests: the stand-in libraries built for them, and a
// fixture with a fresh machine on which a test decides which DLLs exist.
#pragma once
#include <string>

#include "kvplat/module_control.h"
#include "machine_fixture.h"
#include "win32.h"

class ModuleTest : public MachineTest {
 protected:
  // The Windows path of a loaded module, "" when GetModuleFileNameW fails.
  static std::u16string PathOf(HMODULE h)
  {
    WCHAR buf[MAX_PATH];
    DWORD n = GetModuleFileNameW(h, buf, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::u16string(buf, n) : std::u16string();
  }
  // An environment variable of the machine ("" when unset).
  static std::string Env(const char *name)
  {
    std::u16string n = U16(name);
    WCHAR buf[512];
    DWORD len = GetEnvironmentVariableW(n.c_str(), buf, 512);
    return len > 0 && len < 512 ? Narrow(buf) : std::string();
  }
  // The DllMain calls the probe DLL noted so far ("A" attach, "D" detach).
  static std::string ProbeEvents() { return Env("KVPROBE_EVENTS"); }
};
