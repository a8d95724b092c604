// Shared pieces of the operating-system layer's tests: a fake driver context with its
// state block, and an installed test printer.
#pragma once
#include <memory>

#include "context.h"
#include "machine_fixture.h"
#include "os/os.h"

// A context with a zeroed state; the switches are on as for a default open mode.
struct FakeContext {
  FakeContext();
  DRIVER_CONTEXT ctx{};
  std::unique_ptr<CONTEXT_STATE> state;
};

class OsTest : public MachineTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Installs driver "KV Test Driver" and printer "KV Test" (attributes as given) and
  // opens it; the handle is closed at tear-down.
  HANDLE InstallPrinter(DWORD attributes = 0, const WCHAR *serverName = nullptr);
  // The driver folder of the installed driver, with a trailing backslash.
  static const WCHAR *DriverDir() { return u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\"; }

  HANDLE printer_ = nullptr;
};
