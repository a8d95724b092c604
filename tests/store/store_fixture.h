// Fixture of the settings-store tests: the sample machine (the sample driver and printer
// installed as `kvmlhost machine init` installs them, from samples/printer.ini), the
// printer opened with full access, and a context with a state block for that printer.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "context.h"
#include "machine_fixture.h"

class StoreTest : public MachineTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The sample printer's and driver's names as printer.ini gives them.
  const std::u16string &PrinterName() const { return printerName_; }
  const std::u16string &DriverName() const { return driverName_; }
  // Opens the sample printer once more with the given access; closed at tear-down.
  HANDLE OpenSample(DWORD access);

  // Printer data of the sample printer, written and read around the code under test.
  void PutData(const WCHAR *name, DWORD type, const std::string &bytes);
  void PutText(const WCHAR *name, const WCHAR *text);
  // The stored bytes of a value, or "<missing>".
  std::string GetData(const WCHAR *name, DWORD *type = nullptr);

  // HKLM values, written and read around the code under test.
  void PutMachineValue(const WCHAR *subkey, const WCHAR *name, DWORD type, const std::string &bytes);
  std::string GetMachineValue(const WCHAR *subkey, const WCHAR *name, DWORD *type = nullptr);

  HANDLE printer_ = nullptr;
  DRIVER_CONTEXT ctx_{};
  std::unique_ptr<CONTEXT_STATE> state_;

 private:
  std::u16string printerName_;
  std::u16string driverName_;
  std::vector<HANDLE> extra_;
};

// Little-endian bytes of a DWORD and of a UTF-16 text with its terminator.
std::string Dword(DWORD v);
std::string TextBytes(const WCHAR *text);
