// The spooler: printers and their handles, PRINTER_INFO levels with the size-query
// protocol and packed answers, printer data, drivers, forms, the access switches, write
// faults, renaming, and state that a second process sees.
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include "internal.h"
#include "kvplat/spool_control.h"
#include "machine_fixture.h"

namespace {

const char16_t kDriver[] = u"KV Test Driver";
const char16_t kPrinter[] = u"KV Printer";
constexpr WORD kPrivateBytes = 16;

std::vector<BYTE> MakeDevMode(const char16_t *device, short paper)
{
  std::vector<BYTE> dm(sizeof(DEVMODEW) + kPrivateBytes);
  DEVMODEW pub{};
  memcpy(pub.dmDeviceName, device, plat::WLen(device) * 2);
  pub.dmSpecVersion = DM_SPECVERSION;
  pub.dmSize = sizeof(DEVMODEW);
  pub.dmDriverExtra = kPrivateBytes;
  pub.dmFields = DM_PAPERSIZE | DM_ORIENTATION;
  pub.dmPaperSize = paper;
  pub.dmOrientation = DMORIENT_PORTRAIT;
  memcpy(dm.data(), &pub, sizeof pub);
  for (WORD i = 0; i < kPrivateBytes; ++i) dm[sizeof(DEVMODEW) + i] = static_cast<BYTE>(0xA0 + i);
  return dm;
}

int WaitChild(pid_t pid)
{
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

class SpoolerTest : public MachineTest {
 protected:
  void SetUp() override
  {
    MachineTest::SetUp();
    PLAT_DRIVER_SETUP d{};
    d.name = kDriver;
    d.driverFile = u"KVMLDRAW.DLL";
    d.dataFile = u"KVSAMPLE.KDS";
    d.configFile = u"KVMLFACE.DLL";
    d.helpFile = u"KVMLFACE.HLP";
    d.dependentFiles = u"KVMLSETS.INI\0kvmlmodl.ini\0";
    d.defaultDataType = u"RAW";
    ASSERT_TRUE(PlatSpoolAddDriver(&d));
    devMode_ = MakeDevMode(kPrinter, DMPAPER_A4);
    PLAT_PRINTER_SETUP p{};
    p.printerName = kPrinter;
    p.driverName = kDriver;
    p.portName = u"IP_10.0.0.5";
    p.comment = u"second floor";
    p.attributes = PRINTER_ATTRIBUTE_ENABLE_BIDI;
    p.devMode = devMode_.data();
    ASSERT_TRUE(PlatSpoolAddPrinter(&p));
  }
  void TearDown() override
  {
    for (HANDLE h : open_) ClosePrinter(h);
    MachineTest::TearDown();
  }

  HANDLE Open(const char16_t *name, DWORD access = PRINTER_ALL_ACCESS)
  {
    PRINTER_DEFAULTSW defaults{NULL, NULL, access};
    HANDLE h = NULL;
    if (!OpenPrinterW(const_cast<LPWSTR>(name), &h, &defaults)) return NULL;
    open_.push_back(h);
    return h;
  }
  // A GetPrinterW answer of the level, read after the size query; empty on failure.
  std::vector<BYTE> Info(HANDLE h, DWORD level)
  {
    DWORD needed = 0;
    SetLastError(0);
    if (GetPrinterW(h, level, NULL, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER || !needed) return {};
    std::vector<BYTE> buf(needed);
    if (!GetPrinterW(h, level, buf.data(), needed, &needed)) return {};
    return buf;
  }
  PRINTER_INFO_2W *Info2(std::vector<BYTE> &buf) { return reinterpret_cast<PRINTER_INFO_2W *>(buf.data()); }

  DWORD SetData(HANDLE h, const char16_t *name, DWORD value)
  {
    return SetPrinterDataW(h, const_cast<LPWSTR>(name), REG_BINARY, reinterpret_cast<BYTE *>(&value), 4);
  }
  // The printer-data value as bytes, or "error N".
  std::string GetData(HANDLE h, const char16_t *name, DWORD *type = nullptr)
  {
    DWORD needed = 0, t = 0;
    DWORD rc = GetPrinterDataW(h, const_cast<LPWSTR>(name), &t, NULL, 0, &needed);
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return "error " + std::to_string(rc);
    std::string data(needed, '\0');
    rc = GetPrinterDataW(h, const_cast<LPWSTR>(name), &t, reinterpret_cast<BYTE *>(data.data()), needed, &needed);
    if (rc != ERROR_SUCCESS) return "error " + std::to_string(rc);
    if (type) *type = t;
    return data;
  }
  std::string PrinterFile()
  {
    return ReadHostFile(HostPath(u"C:\\WINDOWS\\system32\\spool\\kvprinters") + "/p0001/printer.txt");
  }

  std::vector<BYTE> devMode_;
  std::vector<HANDLE> open_;
};

// Every pointer of a packed answer must lie inside the caller's buffer.
bool Inside(const void *p, const std::vector<BYTE> &buf)
{
  auto *b = static_cast<const BYTE *>(p);
  return b >= buf.data() && b < buf.data() + buf.size();
}

TEST_F(SpoolerTest, OpenPrinterByNameAndAccess)
{
  struct Case {
    const char16_t *name;
    DWORD access;
    DWORD error;  // 0: opens
  } cases[] = {
      {kPrinter, PRINTER_ALL_ACCESS, 0},
      {u"kv PRINTER", PRINTER_ACCESS_USE, 0},
      {u"\\\\KVHOST\\KV Printer", PRINTER_READ, 0},
      {kPrinter, 0, 0},
      {kPrinter, MAXIMUM_ALLOWED, 0},
      {u"No Such Printer", PRINTER_ALL_ACCESS, ERROR_INVALID_PRINTER_NAME},
      {u"KV Printer,LocalOnly", PRINTER_ALL_ACCESS, ERROR_INVALID_PRINTER_NAME},
      {u"\\\\OTHER\\KV Printer", PRINTER_ALL_ACCESS, ERROR_INVALID_PRINTER_NAME},
  };
  for (auto &c : cases) {
    PRINTER_DEFAULTSW defaults{NULL, NULL, c.access};
    HANDLE h = reinterpret_cast<HANDLE>(0x55);
    SetLastError(0);
    BOOL ok = OpenPrinterW(const_cast<LPWSTR>(c.name), &h, &defaults);
    EXPECT_EQ(ok, c.error == 0) << Narrow(c.name);
    if (ok) {
      EXPECT_NE(h, nullptr);
      EXPECT_TRUE(ClosePrinter(h));
    } else {
      EXPECT_EQ(h, nullptr) << Narrow(c.name);
      EXPECT_EQ(GetLastError(), c.error) << Narrow(c.name);
    }
  }
  HANDLE h = NULL;
  EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinter), &h, NULL));  // no defaults at all
  EXPECT_TRUE(ClosePrinter(h));
  PRINTER_DEFAULTSW badType{const_cast<LPWSTR>(u"POSTSCRIPT"), NULL, PRINTER_ACCESS_USE};
  SetLastError(0);
  EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(kPrinter), &h, &badType));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_DATATYPE);
  SetLastError(0);
  EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(kPrinter), NULL, NULL));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(SpoolerTest, ClosedAndBogusHandlesAreInvalid)
{
  size_t before = plat::HandleCount();
  HANDLE h = NULL;
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinter), &h, NULL));
  EXPECT_EQ(plat::HandleCount(), before + 1);
  EXPECT_TRUE(ClosePrinter(h));
  EXPECT_EQ(plat::HandleCount(), before);
  for (HANDLE bad : {h, static_cast<HANDLE>(NULL), reinterpret_cast<HANDLE>(0x7777)}) {
    SetLastError(0);
    EXPECT_FALSE(ClosePrinter(bad));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    DWORD needed = 0;
    SetLastError(0);
    EXPECT_FALSE(GetPrinterW(bad, 2, NULL, 0, &needed));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetPrinterDataW(bad, const_cast<LPWSTR>(u"x"), NULL, NULL, 0, &needed), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetData(bad, u"x", 1), (DWORD)ERROR_INVALID_HANDLE);
  }
  // A registry key handle is no printer handle.
  HKEY key = NULL;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, u"Software\\x", &key), ERROR_SUCCESS);
  SetLastError(0);
  EXPECT_FALSE(ClosePrinter(reinterpret_cast<HANDLE>(key)));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  RegCloseKey(key);
}

TEST_F(SpoolerTest, GetPrinterLevel2SizeQueryAndPacking)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  DWORD needed = 0;
  SetLastError(0);
  ASSERT_FALSE(GetPrinterW(h, 2, NULL, 0, &needed));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  ASSERT_GT(needed, sizeof(PRINTER_INFO_2W) + devMode_.size());
  EXPECT_EQ(needed % 4, 0u);
  std::vector<BYTE> small(needed - 1);
  DWORD again = 0;
  SetLastError(0);
  EXPECT_FALSE(GetPrinterW(h, 2, small.data(), needed - 1, &again));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(again, needed);
  SetLastError(0);
  EXPECT_FALSE(GetPrinterW(h, 2, NULL, 100, &again));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_USER_BUFFER);
  // Exactly the size asked for, and a larger buffer: the strings sit at its end.
  for (DWORD extra : {0u, 64u, 66u}) {
    std::vector<BYTE> buf(needed + extra, 0xEE);
    ASSERT_TRUE(GetPrinterW(h, 2, buf.data(), static_cast<DWORD>(buf.size()), &again)) << extra;
    EXPECT_EQ(again, needed);
    auto *i2 = Info2(buf);
    EXPECT_EQ(i2->pServerName, nullptr);
    ASSERT_TRUE(Inside(i2->pPrinterName, buf));
    EXPECT_EQ(std::u16string(i2->pPrinterName), kPrinter);
    EXPECT_EQ(std::u16string(i2->pDriverName), kDriver);
    EXPECT_EQ(std::u16string(i2->pPortName), u"IP_10.0.0.5");
    EXPECT_EQ(std::u16string(i2->pComment), u"second floor");
    EXPECT_EQ(i2->pLocation, nullptr);
    EXPECT_EQ(i2->pShareName, nullptr);
    EXPECT_EQ(std::u16string(i2->pPrintProcessor), u"WinPrint");
    EXPECT_EQ(std::u16string(i2->pDatatype), u"RAW");
    EXPECT_EQ(i2->Attributes, PRINTER_ATTRIBUTE_ENABLE_BIDI | PRINTER_ATTRIBUTE_LOCAL);
    EXPECT_EQ(i2->Priority, 1u);
    ASSERT_TRUE(Inside(i2->pDevMode, buf));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(i2->pDevMode) % 4, 0u);
    EXPECT_EQ(memcmp(i2->pDevMode, devMode_.data(), devMode_.size()), 0);
    EXPECT_GE(reinterpret_cast<BYTE *>(i2->pDevMode) + devMode_.size(), buf.data() + buf.size() - 3)
        << "the DEVMODE is the last block of the buffer";
    EXPECT_LT(reinterpret_cast<BYTE *>(i2->pPrinterName), reinterpret_cast<BYTE *>(i2->pDevMode));
  }
}

TEST_F(SpoolerTest, GetPrinterOtherLevels)
{
  HANDLE h = Open(kPrinter, PRINTER_ACCESS_USE);
  ASSERT_NE(h, nullptr);
  auto b1 = Info(h, 1);
  ASSERT_FALSE(b1.empty());
  auto *i1 = reinterpret_cast<PRINTER_INFO_1W *>(b1.data());
  EXPECT_EQ(std::u16string(i1->pName), kPrinter);
  EXPECT_EQ(std::u16string(i1->pDescription), u"KV Printer,KV Test Driver,");
  EXPECT_EQ(std::u16string(i1->pComment), u"second floor");
  auto b4 = Info(h, 4);
  ASSERT_FALSE(b4.empty());
  auto *i4 = reinterpret_cast<PRINTER_INFO_4W *>(b4.data());
  EXPECT_EQ(std::u16string(i4->pPrinterName), kPrinter);
  EXPECT_EQ(i4->pServerName, nullptr);
  EXPECT_EQ(i4->Attributes, PRINTER_ATTRIBUTE_ENABLE_BIDI | PRINTER_ATTRIBUTE_LOCAL);
  DWORD needed = 0;
  PRINTER_INFO_7W i7;
  ASSERT_TRUE(GetPrinterW(h, 7, reinterpret_cast<BYTE *>(&i7), sizeof i7, &needed));
  EXPECT_EQ(needed, sizeof i7);
  EXPECT_EQ(i7.pszObjectGUID, nullptr);
  EXPECT_EQ(i7.dwAction, DSPRINT_UNPUBLISH);
  for (DWORD level : {0u, 3u, 5u, 6u, 10u}) {
    SetLastError(0);
    EXPECT_FALSE(GetPrinterW(h, level, NULL, 0, &needed)) << level;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_LEVEL) << level;
  }
}

TEST_F(SpoolerTest, SetPrinterLevel2UpdatesAndValidates)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  auto buf = Info(h, 2);
  ASSERT_FALSE(buf.empty());
  PRINTER_INFO_2W in = *Info2(buf);
  auto letter = MakeDevMode(kPrinter, DMPAPER_LETTER);
  in.pDevMode = reinterpret_cast<LPDEVMODEW>(letter.data());
  in.pComment = const_cast<LPWSTR>(u"moved");
  in.pLocation = const_cast<LPWSTR>(u"room 2");
  in.Attributes |= PRINTER_ATTRIBUTE_SHARED;
  in.Status = 0x1234;  // not settable: ignored
  ASSERT_TRUE(SetPrinterW(h, 2, reinterpret_cast<BYTE *>(&in), 0));
  auto now = Info(h, 2);
  auto *i2 = Info2(now);
  EXPECT_EQ(std::u16string(i2->pComment), u"moved");
  EXPECT_EQ(std::u16string(i2->pLocation), u"room 2");
  EXPECT_EQ(i2->pDevMode->dmPaperSize, DMPAPER_LETTER);
  EXPECT_EQ(memcmp(i2->pDevMode, letter.data(), letter.size()), 0);
  EXPECT_TRUE(i2->Attributes & PRINTER_ATTRIBUTE_SHARED);
  EXPECT_EQ(i2->Status, 0u);
  // A NULL DEVMODE keeps the stored one.
  in = *i2;
  in.pDevMode = NULL;
  ASSERT_TRUE(SetPrinterW(h, 2, reinterpret_cast<BYTE *>(&in), 0));
  auto kept = Info(h, 2);
  EXPECT_EQ(Info2(kept)->pDevMode->dmPaperSize, DMPAPER_LETTER);

  PLAT_PRINTER_SETUP other{};
  other.printerName = u"Other";
  other.driverName = kDriver;
  ASSERT_TRUE(PlatSpoolAddPrinter(&other));
  std::vector<BYTE> badDm(sizeof(DEVMODEW), 0);  // dmSize 0
  struct Case {
    const char *what;
    std::function<void(PRINTER_INFO_2W &)> change;
    DWORD error;
  } cases[] = {
      {"no name", [](PRINTER_INFO_2W &p) { p.pPrinterName = NULL; }, ERROR_INVALID_PRINTER_NAME},
      {"comma", [](PRINTER_INFO_2W &p) { p.pPrinterName = const_cast<LPWSTR>(u"a,b"); }, ERROR_INVALID_PRINTER_NAME},
      {"taken", [](PRINTER_INFO_2W &p) { p.pPrinterName = const_cast<LPWSTR>(u"OTHER"); },
       ERROR_PRINTER_ALREADY_EXISTS},
      {"driver", [](PRINTER_INFO_2W &p) { p.pDriverName = const_cast<LPWSTR>(u"Nope"); }, ERROR_UNKNOWN_PRINTER_DRIVER},
      {"port", [](PRINTER_INFO_2W &p) { p.pPortName = NULL; }, ERROR_UNKNOWN_PORT},
      {"datatype", [](PRINTER_INFO_2W &p) { p.pDatatype = const_cast<LPWSTR>(u"XPS"); }, ERROR_INVALID_DATATYPE},
      {"priority", [](PRINTER_INFO_2W &p) { p.Priority = 100; }, ERROR_INVALID_PRIORITY},
      {"devmode", [&](PRINTER_INFO_2W &p) { p.pDevMode = reinterpret_cast<LPDEVMODEW>(badDm.data()); },
       ERROR_INVALID_PARAMETER},
  };
  std::string file = PrinterFile();
  for (auto &c : cases) {
    auto cur = Info(h, 2);
    PRINTER_INFO_2W bad = *Info2(cur);
    c.change(bad);
    SetLastError(0);
    EXPECT_FALSE(SetPrinterW(h, 2, reinterpret_cast<BYTE *>(&bad), 0)) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
    EXPECT_EQ(PrinterFile(), file) << c.what;
  }
  SetLastError(0);
  EXPECT_FALSE(SetPrinterW(h, 2, NULL, 0));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  SetLastError(0);
  EXPECT_FALSE(SetPrinterW(h, 4, reinterpret_cast<BYTE *>(&in), 0));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_LEVEL);
}

// Levels 8 and 9: the default DEVMODE for all users (the one level 2 shows) and the calling
// user's own. Each answer follows the size protocol and places exactly the bytes the
// DEVMODE's header claims; storing one for all users is administration, storing one's own
// is not; a NULL DEVMODE removes the stored one; a DEVMODE whose sizes lie is refused.
TEST_F(SpoolerTest, DefaultDevModeLevels8And9)
{
  HANDLE admin = Open(kPrinter, PRINTER_ALL_ACCESS);
  HANDLE user = Open(kPrinter, PRINTER_ACCESS_USE);
  ASSERT_NE(admin, nullptr);
  ASSERT_NE(user, nullptr);
  // The DEVMODE a level answers (empty for a NULL pDevMode), read after the size query,
  // which must ask for exactly the record and the DEVMODE's claimed bytes on a 4-byte end.
  auto stored = [&](HANDLE h, DWORD level) -> std::vector<BYTE> {
    DWORD needed = 0;
    SetLastError(0);
    EXPECT_FALSE(GetPrinterW(h, level, NULL, 0, &needed)) << level;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER) << level;
    std::vector<BYTE> buf(needed + 8, 0xCD);
    SetLastError(0);
    EXPECT_FALSE(GetPrinterW(h, level, buf.data(), needed - 1, &needed)) << "one byte short, level " << level;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER) << level;
    EXPECT_TRUE(GetPrinterW(h, level, buf.data(), needed, &needed)) << level;
    LPDEVMODEW dm;
    memcpy(&dm, buf.data(), sizeof dm);
    if (dm == nullptr) {
      EXPECT_EQ(needed, 4u) << level;
      return {};
    }
    auto *b = reinterpret_cast<BYTE *>(dm);
    size_t bytes = static_cast<size_t>(dm->dmSize) + dm->dmDriverExtra;
    EXPECT_EQ(needed, (4 + bytes + 3) & ~size_t{3}) << level;
    EXPECT_TRUE(b >= buf.data() + 4 && b + bytes <= buf.data() + needed) << level;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 4, 0u) << level;
    return std::vector<BYTE>(b, b + bytes);
  };
  auto set = [&](HANDLE h, DWORD level, void *dm) -> DWORD {
    PRINTER_INFO_9W in{static_cast<LPDEVMODEW>(dm)};
    SetLastError(0);
    return SetPrinterW(h, level, reinterpret_cast<BYTE *>(&in), 0) ? ERROR_SUCCESS : GetLastError();
  };
  auto level2 = [&]() -> std::vector<BYTE> {
    auto buf = Info(admin, 2);
    auto *dm = reinterpret_cast<BYTE *>(Info2(buf)->pDevMode);
    return dm ? std::vector<BYTE>(dm, dm + devMode_.size()) : std::vector<BYTE>();
  };

  // At first: the installed DEVMODE for all users, nothing of the user's own.
  EXPECT_EQ(stored(user, 8), devMode_);
  EXPECT_TRUE(stored(user, 9).empty());

  // Who may store what.
  auto letter = MakeDevMode(kPrinter, DMPAPER_LETTER);
  auto legal = MakeDevMode(kPrinter, DMPAPER_LEGAL);
  struct Right {
    const char *what;
    HANDLE h;
    DWORD level;
    BOOL nonAdministrator;
    DWORD error;
  } rights[] = {
      {"all users, use handle", user, 8, FALSE, ERROR_ACCESS_DENIED},
      {"all users, non-administrator", admin, 8, TRUE, ERROR_ACCESS_DENIED},
      {"own, use handle", user, 9, FALSE, ERROR_SUCCESS},
      {"own, non-administrator", admin, 9, TRUE, ERROR_SUCCESS},
      {"all users, administrator", admin, 8, FALSE, ERROR_SUCCESS},
  };
  for (auto &r : rights) {
    PlatSpoolSetAccess(FALSE, r.nonAdministrator);
    auto &dm = r.level == 8 ? legal : letter;
    std::vector<BYTE> before = stored(admin, r.level);
    EXPECT_EQ(set(r.h, r.level, dm.data()), r.error) << r.what;
    EXPECT_EQ(stored(admin, r.level), r.error == ERROR_SUCCESS ? dm : before) << r.what;
    PlatSpoolSetAccess(FALSE, FALSE);
  }
  // Level 2 shows the one for all users; the user's own stays apart from it.
  EXPECT_EQ(level2(), legal);
  EXPECT_EQ(stored(user, 9), letter);

  // The user's own belongs to the logon name (in any case), and follows a renamed printer.
  ASSERT_TRUE(SetEnvironmentVariableW(u"USERNAME", u"other"));
  EXPECT_TRUE(stored(user, 9).empty());
  EXPECT_EQ(set(user, 9, devMode_.data()), (DWORD)ERROR_SUCCESS);
  ASSERT_TRUE(SetEnvironmentVariableW(u"USERNAME", u"KVUSER"));
  EXPECT_EQ(stored(user, 9), letter);
  ASSERT_TRUE(PlatSpoolRenamePrinter(kPrinter, u"KV Renamed"));
  EXPECT_EQ(stored(user, 9), letter);
  ASSERT_TRUE(SetEnvironmentVariableW(u"USERNAME", u"other"));
  EXPECT_EQ(stored(user, 9), devMode_);
  ASSERT_TRUE(SetEnvironmentVariableW(u"USERNAME", u"kvuser"));

  // DEVMODEs whose sizes lie about their header are refused at both levels and nothing
  // changes; one that claims less than the caller's buffer holds is stored as claimed.
  std::string file = PrinterFile();
  for (WORD size : {0, 20, 75}) {
    auto bad = MakeDevMode(kPrinter, DMPAPER_A3);
    memcpy(bad.data() + offsetof(DEVMODEW, dmSize), &size, sizeof size);
    for (DWORD level : {8u, 9u}) {
      EXPECT_EQ(set(admin, level, bad.data()), (DWORD)ERROR_INVALID_PARAMETER) << size << " at level " << level;
      EXPECT_EQ(PrinterFile(), file) << size << " at level " << level;
    }
  }
  auto shortExtra = MakeDevMode(kPrinter, DMPAPER_A3);
  WORD four = 4;
  memcpy(shortExtra.data() + offsetof(DEVMODEW, dmDriverExtra), &four, sizeof four);
  EXPECT_EQ(set(user, 9, shortExtra.data()), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(stored(user, 9), std::vector<BYTE>(shortExtra.begin(), shortExtra.begin() + sizeof(DEVMODEW) + 4));

  // A NULL DEVMODE removes the stored one of its level only.
  EXPECT_EQ(set(user, 9, nullptr), (DWORD)ERROR_SUCCESS);
  EXPECT_TRUE(stored(user, 9).empty());
  EXPECT_EQ(stored(user, 8), legal);
  EXPECT_EQ(set(admin, 8, nullptr), (DWORD)ERROR_SUCCESS);
  EXPECT_TRUE(stored(user, 8).empty());
  EXPECT_TRUE(level2().empty());
  ASSERT_TRUE(SetEnvironmentVariableW(u"USERNAME", u"other"));
  EXPECT_EQ(stored(user, 9), devMode_) << "another user's own default stays";
  ASSERT_TRUE(SetEnvironmentVariableW(u"USERNAME", u"kvuser"));

  // Bad calls: no structure, a command with a level, levels that EnumPrintersW does not list.
  SetLastError(0);
  EXPECT_FALSE(SetPrinterW(user, 9, NULL, 0));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  PRINTER_INFO_9W none{NULL};
  SetLastError(0);
  EXPECT_FALSE(SetPrinterW(admin, 8, reinterpret_cast<BYTE *>(&none), PRINTER_CONTROL_PAUSE));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  for (DWORD level : {8u, 9u}) {
    DWORD needed = 0, count = 0;
    SetLastError(0);
    EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, level, NULL, 0, &needed, &count)) << level;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_LEVEL) << level;
  }
}

// A stored default DEVMODE whose header claims other bytes than the file holds is damage:
// the printer is left out rather than a DEVMODE handed out that a reader would take past
// its end.
TEST_F(SpoolerTest, StoredDevModeWhoseSizesLieIsDamage)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  auto own = MakeDevMode(kPrinter, DMPAPER_LETTER);
  PRINTER_INFO_9W in{reinterpret_cast<LPDEVMODEW>(own.data())};
  ASSERT_TRUE(SetPrinterW(h, 9, reinterpret_cast<BYTE *>(&in), 0));
  std::string whole = PrinterFile();
  std::string path = HostPath(u"C:\\WINDOWS\\system32\\spool\\kvprinters") + "/p0001/printer.txt";
  // dmDriverExtra is the word at offset 70: its low byte is the 141st and 142nd hex digits
  // of the value.
  auto lie = [&](const char *field, const char *digits) {
    std::string text = whole;
    size_t at = text.find(std::string("\n") + field + " ");
    EXPECT_NE(at, std::string::npos) << field;
    size_t hex = text.find("hex:", at) + 4;
    text.replace(hex + 140, 2, digits);
    // A comment line makes the size differ from the good file's, so that the change shows
    // within the file clock's grain.
    return text.insert(text.find('\n') + 1, "#\n");
  };
  const struct {
    const char *what;
    std::string text;
  } cases[] = {
      {"devmode claims more", lie("devmode", "11")},
      {"devmode claims less", lie("devmode", "0F")},
      {"userdevmode claims more", lie("userdevmode", "20")},
  };
  for (auto &c : cases) {
    ASSERT_NE(c.text, whole) << c.what;
    WriteHostFile(path, c.text);
    SetLastError(0);
    EXPECT_EQ(Open(kPrinter), nullptr) << c.what;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PRINTER_NAME) << c.what;
  }
  WriteHostFile(path, whole);
  HANDLE again = Open(kPrinter);
  ASSERT_NE(again, nullptr);
  auto b = Info(again, 9);
  ASSERT_FALSE(b.empty());
  EXPECT_EQ(memcmp(reinterpret_cast<PRINTER_INFO_9W *>(b.data())->pDevMode, own.data(), own.size()), 0);
}

TEST_F(SpoolerTest, SetPrinterLevel2RenamesAndHandlesFollow)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(SetData(h, u"Duplex", 1), (DWORD)ERROR_SUCCESS);
  auto buf = Info(h, 2);
  PRINTER_INFO_2W in = *Info2(buf);
  in.pPrinterName = const_cast<LPWSTR>(u"KV Renamed");
  ASSERT_TRUE(SetPrinterW(h, 2, reinterpret_cast<BYTE *>(&in), 0));
  auto now = Info(h, 2);
  EXPECT_EQ(std::u16string(Info2(now)->pPrinterName), u"KV Renamed");
  EXPECT_EQ(Open(kPrinter), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PRINTER_NAME);
  HANDLE r = Open(u"kv renamed");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(GetData(r, u"Duplex"), std::string("\x01\0\0\0", 4));
  // The host control renames too; a change of case only is a rename.
  ASSERT_TRUE(PlatSpoolRenamePrinter(u"KV RENAMED", u"KV renamed"));
  auto cased = Info(r, 4);
  EXPECT_EQ(std::u16string(reinterpret_cast<PRINTER_INFO_4W *>(cased.data())->pPrinterName), u"KV renamed");
  SetLastError(0);
  EXPECT_FALSE(PlatSpoolRenamePrinter(u"Missing", u"X"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PRINTER_NAME);
  SetLastError(0);
  EXPECT_FALSE(PlatSpoolRenamePrinter(u"KV renamed", u"bad\\name"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PRINTER_NAME);
}

TEST_F(SpoolerTest, SetPrinterLevel7AndCommands)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  PRINTER_INFO_7W i7{NULL, DSPRINT_UPDATE};
  EXPECT_TRUE(SetPrinterW(h, 7, reinterpret_cast<BYTE *>(&i7), 0));  // nothing published: no change
  i7.dwAction = DSPRINT_PUBLISH;
  ASSERT_TRUE(SetPrinterW(h, 7, reinterpret_cast<BYTE *>(&i7), 0));
  auto b7 = Info(h, 7);
  ASSERT_FALSE(b7.empty());
  auto *got = reinterpret_cast<PRINTER_INFO_7W *>(b7.data());
  EXPECT_EQ(got->dwAction, DSPRINT_PUBLISH);
  ASSERT_NE(got->pszObjectGUID, nullptr);
  std::u16string guid = got->pszObjectGUID;
  EXPECT_EQ(guid.size(), 38u);
  EXPECT_EQ(guid.front(), u'{');
  auto b4 = Info(h, 4);
  EXPECT_TRUE(reinterpret_cast<PRINTER_INFO_4W *>(b4.data())->Attributes & PRINTER_ATTRIBUTE_PUBLISHED);
  i7.dwAction = DSPRINT_UPDATE;
  ASSERT_TRUE(SetPrinterW(h, 7, reinterpret_cast<BYTE *>(&i7), 0));
  b7 = Info(h, 7);
  EXPECT_EQ(std::u16string(reinterpret_cast<PRINTER_INFO_7W *>(b7.data())->pszObjectGUID), guid);
  i7.dwAction = DSPRINT_UNPUBLISH;
  ASSERT_TRUE(SetPrinterW(h, 7, reinterpret_cast<BYTE *>(&i7), 0));
  b7 = Info(h, 7);
  EXPECT_EQ(reinterpret_cast<PRINTER_INFO_7W *>(b7.data())->pszObjectGUID, nullptr);
  i7.dwAction = 0x40;
  SetLastError(0);
  EXPECT_FALSE(SetPrinterW(h, 7, reinterpret_cast<BYTE *>(&i7), 0));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  SetLastError(0);
  EXPECT_FALSE(SetPrinterW(h, 7, reinterpret_cast<BYTE *>(&i7), PRINTER_CONTROL_PAUSE));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  // Level 0 carries commands.
  ASSERT_TRUE(SetPrinterW(h, 0, NULL, PRINTER_CONTROL_PAUSE));
  auto b2 = Info(h, 2);
  EXPECT_EQ(Info2(b2)->Status, PRINTER_STATUS_PAUSED);
  ASSERT_TRUE(SetPrinterW(h, 0, NULL, PRINTER_CONTROL_RESUME));
  b2 = Info(h, 2);
  EXPECT_EQ(Info2(b2)->Status, 0u);
  SetLastError(0);
  EXPECT_FALSE(SetPrinterW(h, 0, NULL, 99));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PRINTER_COMMAND);
}

TEST_F(SpoolerTest, PrinterDataTypesAndSizeProtocol)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  const char16_t help[] = u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\KVMLFACE.HLP";
  DWORD one = 1;
  const BYTE fonts[] = {1, 0, 0, 0, 'A', 0, 0, 0};
  struct Case {
    const char16_t *name;
    DWORD type;
    std::string data;
  } cases[] = {
      {u"HelpFileName", REG_SZ, std::string(reinterpret_cast<const char *>(help), sizeof help)},
      {u"Permission", REG_DWORD, std::string(reinterpret_cast<const char *>(&one), 4)},
      {u"DeviceFont", REG_BINARY, std::string(reinterpret_cast<const char *>(fonts), sizeof fonts)},
      {u"Tray1Paper", REG_BINARY, std::string("\x09\x00", 2)},
      {u"DllUserCode", REG_BINARY, std::string(9, '\0')},
      {u"Empty", REG_BINARY, std::string()},
  };
  for (auto &c : cases) {
    ASSERT_EQ(SetPrinterDataW(h, const_cast<LPWSTR>(c.name), c.type, reinterpret_cast<BYTE *>(c.data.data()),
                              static_cast<DWORD>(c.data.size())),
              (DWORD)ERROR_SUCCESS)
        << Narrow(c.name);
  }
  for (auto &c : cases) {
    DWORD type = 0;
    EXPECT_EQ(GetData(h, c.name, &type), c.data) << Narrow(c.name);
    EXPECT_EQ(type, c.type) << Narrow(c.name);
  }
  // A buffer that is too small: ERROR_MORE_DATA, the size and type, nothing copied.
  BYTE buf[4] = {0xCC, 0xCC, 0xCC, 0xCC};
  DWORD type = 0, needed = 0;
  EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"helpfilename"), &type, buf, 4, &needed), (DWORD)ERROR_MORE_DATA);
  EXPECT_EQ(needed, sizeof help);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(buf[0], 0xCC);
  // A value shorter than the buffer fills only its own bytes.
  BYTE word[4] = {0xCC, 0xCC, 0xCC, 0xCC};
  EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"Tray1Paper"), NULL, word, 4, &needed), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(needed, 2u);
  EXPECT_EQ(word[0], 9);
  EXPECT_EQ(word[2], 0xCC);
  EXPECT_EQ(GetData(h, u"Missing"), "error 2");
  EXPECT_EQ(GetPrinterDataW(h, const_cast<LPWSTR>(u"Permission"), NULL, buf, 4, NULL), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetPrinterDataW(h, NULL, NULL, buf, 4, &needed), (DWORD)ERROR_INVALID_PARAMETER);
  // Replacing keeps one value; deleting removes it.
  ASSERT_EQ(SetData(h, u"PERMISSION", 0), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(GetData(h, u"Permission", &type), std::string(4, '\0'));
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(DeletePrinterDataW(h, const_cast<LPWSTR>(u"permission")), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(DeletePrinterDataW(h, const_cast<LPWSTR>(u"permission")), (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetData(h, u"Permission"), "error 2");
}

TEST_F(SpoolerTest, EnumPrinterDataProtocols)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  DWORD nameBytes = 0, dataBytes = 0;
  EXPECT_EQ(EnumPrinterDataW(h, 0, NULL, 0, &nameBytes, NULL, NULL, 0, &dataBytes), (DWORD)ERROR_NO_MORE_ITEMS);
  ASSERT_EQ(SetData(h, u"Duplex", 1), (DWORD)ERROR_SUCCESS);
  std::string big(40, 'x');
  ASSERT_EQ(
      SetPrinterDataW(h, const_cast<LPWSTR>(u"LongerValueName"), REG_BINARY, reinterpret_cast<BYTE *>(big.data()), 40),
      (DWORD)ERROR_SUCCESS);
  ASSERT_EQ(SetPrinterDataExW(h, u"OtherKey", u"Hidden", REG_BINARY, reinterpret_cast<BYTE *>(big.data()), 4),
            (DWORD)ERROR_SUCCESS);
  // Both sizes 0: the largest name (with terminator) and the largest value.
  ASSERT_EQ(EnumPrinterDataW(h, 7, NULL, 0, &nameBytes, NULL, NULL, 0, &dataBytes), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(nameBytes, 32u);
  EXPECT_EQ(dataBytes, 40u);
  std::vector<std::u16string> names;
  for (DWORD i = 0;; ++i) {
    WCHAR name[64];
    BYTE data[64];
    DWORD type = 0, nb = 0, db = 0;
    DWORD rc = EnumPrinterDataW(h, i, name, sizeof name, &nb, &type, data, sizeof data, &db);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(rc, (DWORD)ERROR_SUCCESS);
    EXPECT_EQ(nb, (plat::WLen(name) + 1) * 2);
    EXPECT_EQ(type, REG_BINARY);
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Duplex", u"LongerValueName"}));  // only PrinterDriverData
  WCHAR name[4];
  BYTE data[64];
  DWORD nb = 0, db = 0;
  EXPECT_EQ(EnumPrinterDataW(h, 1, name, sizeof name, &nb, NULL, data, sizeof data, &db), (DWORD)ERROR_MORE_DATA);
  EXPECT_EQ(nb, 32u);
  EXPECT_EQ(db, 40u);
  WCHAR bigName[64];
  EXPECT_EQ(EnumPrinterDataW(h, 1, bigName, sizeof bigName, &nb, NULL, data, 39, &db), (DWORD)ERROR_MORE_DATA);
  EXPECT_EQ(db, 40u);
}

TEST_F(SpoolerTest, PrinterDataKeysAreSeparate)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  DWORD v = 5, type = 0, needed = 0;
  ASSERT_EQ(SetPrinterDataExW(h, u"PrinterDriverData", u"Shared", REG_DWORD, reinterpret_cast<BYTE *>(&v), 4),
            (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(GetData(h, u"Shared", &type), std::string("\x05\0\0\0", 4));  // the key of the plain functions
  ASSERT_EQ(SetPrinterDataExW(h, u"DsSpooler", u"Shared", REG_DWORD, reinterpret_cast<BYTE *>(&v), 4),
            (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(DeletePrinterDataW(h, const_cast<LPWSTR>(u"Shared")), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(GetPrinterDataExW(h, u"dsspooler", u"shared", &type, reinterpret_cast<BYTE *>(&v), 4, &needed),
            (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(GetPrinterDataExW(h, u"Nope", u"Shared", &type, reinterpret_cast<BYTE *>(&v), 4, &needed),
            (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetPrinterDataExW(h, u"", u"Shared", &type, reinterpret_cast<BYTE *>(&v), 4, &needed),
            (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_EQ(DeletePrinterDataExW(h, u"DsSpooler", u"Shared"), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(DeletePrinterDataExW(h, u"DsSpooler", u"Shared"), (DWORD)ERROR_FILE_NOT_FOUND);
}

TEST_F(SpoolerTest, AccessSwitchesAndHandleRights)
{
  HANDLE admin = Open(kPrinter, PRINTER_ALL_ACCESS);
  HANDLE user = Open(kPrinter, PRINTER_ACCESS_USE);
  ASSERT_NE(admin, nullptr);
  ASSERT_NE(user, nullptr);
  // A handle without administrative rights reads but never writes.
  EXPECT_EQ(SetData(user, u"Permission", 1), (DWORD)ERROR_ACCESS_DENIED);
  EXPECT_EQ(DeletePrinterDataW(user, const_cast<LPWSTR>(u"x")), (DWORD)ERROR_ACCESS_DENIED);
  PRINTER_INFO_7W i7{NULL, DSPRINT_UPDATE};
  SetLastError(0);
  EXPECT_FALSE(SetPrinterW(user, 7, reinterpret_cast<BYTE *>(&i7), 0));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Info(user, 2).empty());
  ASSERT_EQ(SetData(admin, u"Permission", 1), (DWORD)ERROR_SUCCESS);

  // A non-administrator cannot open for administration, nor write through an old handle.
  PlatSpoolSetAccess(FALSE, TRUE);
  for (DWORD access : {PRINTER_ALL_ACCESS, PRINTER_ACCESS_ADMINISTER, SERVER_ALL_ACCESS}) {
    SetLastError(0);
    EXPECT_EQ(Open(kPrinter, access), nullptr) << access;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED) << access;
  }
  HANDLE most = Open(kPrinter, MAXIMUM_ALLOWED);
  ASSERT_NE(most, nullptr);
  EXPECT_EQ(SetData(most, u"Permission", 1), (DWORD)ERROR_ACCESS_DENIED);
  EXPECT_EQ(SetData(admin, u"Permission", 2), (DWORD)ERROR_ACCESS_DENIED);
  SetLastError(0);
  EXPECT_FALSE(SetPrinterW(admin, 7, reinterpret_cast<BYTE *>(&i7), 0));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetData(admin, u"Permission"), std::string("\x01\0\0\0", 4));
  ASSERT_NE(Open(kPrinter, PRINTER_READ), nullptr);

  // Opening is refused altogether.
  PlatSpoolSetAccess(TRUE, FALSE);
  SetLastError(0);
  EXPECT_EQ(Open(kPrinter, PRINTER_ACCESS_USE), nullptr);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  PlatSpoolSetAccess(FALSE, FALSE);
  EXPECT_EQ(SetData(admin, u"Permission", 3), (DWORD)ERROR_SUCCESS);
}

TEST_F(SpoolerTest, InjectedWriteFaultsChangeNothing)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(SetData(h, u"Duplex", 1), (DWORD)ERROR_SUCCESS);
  std::string before = PrinterFile();
  PlatFaultArm(PLAT_FAULT_PRINTER_DATA, 1);
  EXPECT_EQ(SetData(h, u"Duplex", 0), (DWORD)ERROR_CANTWRITE);
  EXPECT_EQ(PrinterFile(), before);
  EXPECT_EQ(GetData(h, u"Duplex"), std::string("\x01\0\0\0", 4));
  // The next write goes through; a fault on SetPrinterW leaves the printer as it was.
  ASSERT_EQ(SetData(h, u"Duplex", 0), (DWORD)ERROR_SUCCESS);
  before = PrinterFile();
  auto buf = Info(h, 2);
  PRINTER_INFO_2W in = *Info2(buf);
  in.pComment = const_cast<LPWSTR>(u"never stored");
  PlatFaultArm(PLAT_FAULT_PRINTER_DATA, 1);
  SetLastError(0);
  EXPECT_FALSE(SetPrinterW(h, 2, reinterpret_cast<BYTE *>(&in), 0));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_CANTWRITE);
  EXPECT_EQ(PrinterFile(), before);
  auto after = Info(h, 2);
  EXPECT_EQ(std::u16string(Info2(after)->pComment), u"second floor");
  // Counting: the third printer-data write after arming fails.
  PlatFaultArm(PLAT_FAULT_PRINTER_DATA, 3);
  EXPECT_EQ(SetData(h, u"a", 1), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(SetData(h, u"b", 1), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(SetData(h, u"c", 1), (DWORD)ERROR_CANTWRITE);
  EXPECT_EQ(SetData(h, u"d", 1), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(GetData(h, u"c"), "error 2");
}

TEST_F(SpoolerTest, DriverInfoLevelsAndRegistryRecord)
{
  HANDLE h = Open(kPrinter, PRINTER_ACCESS_USE);
  ASSERT_NE(h, nullptr);
  const std::u16string dir = u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\";
  DWORD needed = 0;
  SetLastError(0);
  ASSERT_FALSE(GetPrinterDriverW(h, NULL, 3, NULL, 0, &needed));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  std::vector<BYTE> buf(needed);
  ASSERT_TRUE(GetPrinterDriverW(h, NULL, 3, buf.data(), needed, &needed));
  auto *d3 = reinterpret_cast<DRIVER_INFO_3W *>(buf.data());
  EXPECT_EQ(d3->cVersion, 3u);
  EXPECT_EQ(std::u16string(d3->pName), kDriver);
  EXPECT_EQ(std::u16string(d3->pEnvironment), u"Windows NT x86");
  EXPECT_EQ(std::u16string(d3->pDriverPath), dir + u"KVMLDRAW.DLL");
  EXPECT_EQ(std::u16string(d3->pDataFile), dir + u"KVSAMPLE.KDS");
  EXPECT_EQ(std::u16string(d3->pConfigFile), dir + u"KVMLFACE.DLL");
  EXPECT_EQ(std::u16string(d3->pHelpFile), dir + u"KVMLFACE.HLP");
  ASSERT_TRUE(Inside(d3->pDependentFiles, buf));
  std::u16string first = d3->pDependentFiles;
  std::u16string second = d3->pDependentFiles + first.size() + 1;
  EXPECT_EQ(first, dir + u"KVMLSETS.INI");
  EXPECT_EQ(second, dir + u"kvmlmodl.ini");
  EXPECT_EQ(d3->pDependentFiles[first.size() + 1 + second.size() + 1], 0);
  EXPECT_EQ(d3->pMonitorName, nullptr);
  EXPECT_EQ(std::u16string(d3->pDefaultDataType), u"RAW");
  ASSERT_TRUE(GetPrinterDriverW(h, const_cast<LPWSTR>(u"windows nt x86"), 2, buf.data(), needed, &needed));
  auto *d2 = reinterpret_cast<DRIVER_INFO_2W *>(buf.data());
  EXPECT_EQ(std::u16string(d2->pDataFile), dir + u"KVSAMPLE.KDS");
  struct Case {
    const char16_t *env;
    DWORD level;
    DWORD error;
  } cases[] = {{NULL, 4, ERROR_INVALID_LEVEL},
               {u"Windows x64", 3, ERROR_UNKNOWN_PRINTER_DRIVER},
               {u"Martian", 3, ERROR_INVALID_ENVIRONMENT}};
  for (auto &c : cases) {
    SetLastError(0);
    EXPECT_FALSE(GetPrinterDriverW(h, const_cast<LPWSTR>(c.env), c.level, buf.data(), needed, &needed));
    EXPECT_EQ(GetLastError(), c.error);
  }
  // The spooler's record of the driver, where the settings code reads it.
  HKEY k = NULL;
  ASSERT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE,
                        u"SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3"
                        u"\\KV Test Driver",
                        &k),
            ERROR_SUCCESS);
  WCHAR value[64];
  DWORD size = sizeof value, type = 0;
  ASSERT_EQ(RegQueryValueExW(k, u"Help File", NULL, &type, reinterpret_cast<BYTE *>(value), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(std::u16string(value), u"KVMLFACE.HLP");
  size = sizeof value;
  ASSERT_EQ(RegQueryValueExW(k, u"Driver", NULL, &type, reinterpret_cast<BYTE *>(value), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(value), u"KVMLDRAW.DLL");
  RegCloseKey(k);
  EXPECT_TRUE(HostExists(HostPath(dir.c_str())));
  // The driver directory (without its version folder).
  WCHAR ddir[MAX_PATH];
  ASSERT_TRUE(GetPrinterDriverDirectoryW(NULL, NULL, 1, reinterpret_cast<BYTE *>(ddir), sizeof ddir, &needed));
  EXPECT_EQ(std::u16string(ddir), u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86");
  EXPECT_EQ(needed, (plat::WLen(ddir) + 1) * 2);
  SetLastError(0);
  EXPECT_FALSE(GetPrinterDriverDirectoryW(NULL, NULL, 1, reinterpret_cast<BYTE *>(ddir), needed - 2, &needed));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  SetLastError(0);
  EXPECT_FALSE(GetPrinterDriverDirectoryW(NULL, NULL, 2, reinterpret_cast<BYTE *>(ddir), sizeof ddir, &needed));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_LEVEL);
}

TEST_F(SpoolerTest, BuiltInFormsFollowThePaperCodes)
{
  HANDLE server = NULL;
  ASSERT_TRUE(OpenPrinterW(NULL, &server, NULL));  // forms are the server's too
  open_.push_back(server);
  HANDLE h = Open(kPrinter, PRINTER_ACCESS_USE);
  for (HANDLE handle : {server, h}) {
    DWORD needed = 0, count = 5;
    SetLastError(0);
    ASSERT_FALSE(EnumFormsW(handle, 1, NULL, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(count, 0u);
    std::vector<BYTE> buf(needed);
    ASSERT_TRUE(EnumFormsW(handle, 1, buf.data(), needed, &needed, &count));
    ASSERT_EQ(count, 118u);
    auto *forms = reinterpret_cast<FORM_INFO_1W *>(buf.data());
    struct Case {
      int paper;
      const char16_t *name;
      LONG cx, cy;
    } cases[] = {{DMPAPER_LETTER, u"Letter", 215900, 279400},
                 {DMPAPER_LEGAL, u"Legal", 215900, 355600},
                 {DMPAPER_A4, u"A4", 210000, 297000},
                 {DMPAPER_A3, u"A3", 297000, 420000},
                 {DMPAPER_B4, u"B4 (JIS)", 257000, 364000},
                 {DMPAPER_B5, u"B5 (JIS)", 182000, 257000},
                 {DMPAPER_EXECUTIVE, u"Executive", 184150, 266700},
                 {DMPAPER_ENV_10, u"Envelope #10", 104775, 241300},
                 {DMPAPER_ENV_DL, u"Envelope DL", 110000, 220000},
                 {DMPAPER_ENV_MONARCH, u"Envelope Monarch", 98425, 190500},
                 {DMPAPER_A6, u"A6", 105000, 148000},
                 {DMPAPER_PENV_10_ROTATED, u"PRC Envelope #10 Rotated", 458000, 324000}};
    for (auto &c : cases) {
      const FORM_INFO_1W &f = forms[c.paper - 1];
      EXPECT_EQ(std::u16string(f.pName), c.name) << c.paper;
      EXPECT_EQ(f.Flags, FORM_BUILTIN);
      EXPECT_EQ(f.Size.cx, c.cx) << c.paper;
      EXPECT_EQ(f.Size.cy, c.cy) << c.paper;
      EXPECT_EQ(f.ImageableArea.right, c.cx);
      EXPECT_EQ(f.ImageableArea.bottom, c.cy);
      EXPECT_TRUE(Inside(f.pName, buf));
    }
  }
  BYTE one[128];
  DWORD needed = 0;
  ASSERT_TRUE(GetFormW(h, const_cast<LPWSTR>(u"a4"), 1, one, sizeof one, &needed));
  auto *a4 = reinterpret_cast<FORM_INFO_1W *>(one);
  EXPECT_EQ(std::u16string(a4->pName), u"A4");
  EXPECT_EQ(a4->Size.cy, 297000);
  EXPECT_EQ(needed, 40u);  // the record, "A4" with its terminator, rounded to 4 bytes
  SetLastError(0);
  EXPECT_FALSE(GetFormW(h, const_cast<LPWSTR>(u"A4"), 1, one, 39, &needed));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  SetLastError(0);
  EXPECT_FALSE(GetFormW(h, const_cast<LPWSTR>(u"Poster"), 1, one, sizeof one, &needed));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_FORM_NAME);
  SetLastError(0);
  EXPECT_FALSE(EnumFormsW(reinterpret_cast<HANDLE>(0x999), 1, one, sizeof one, &needed, &needed));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(SpoolerTest, EnumPrintersLocalAndConnections)
{
  PLAT_PRINTER_SETUP conn{};
  conn.printerName = u"Shared MFP";
  conn.serverName = u"\\\\PRINTSRV";
  conn.driverName = kDriver;
  ASSERT_TRUE(PlatSpoolAddPrinter(&conn));
  PLAT_PRINTER_SETUP local{};
  local.printerName = u"A Local";
  local.driverName = kDriver;
  ASSERT_TRUE(PlatSpoolAddPrinter(&local));
  auto names = [](DWORD flags, DWORD level) {
    std::vector<std::u16string> out;
    DWORD needed = 0, count = 0;
    EnumPrintersW(flags, NULL, level, NULL, 0, &needed, &count);
    std::vector<BYTE> buf(needed);
    if (!EnumPrintersW(flags, NULL, level, buf.data(), needed, &needed, &count)) return out;
    for (DWORD i = 0; i < count; ++i) {
      if (level == 2) out.push_back(reinterpret_cast<PRINTER_INFO_2W *>(buf.data())[i].pPrinterName);
      if (level == 4) out.push_back(reinterpret_cast<PRINTER_INFO_4W *>(buf.data())[i].pPrinterName);
      if (level == 1) out.push_back(reinterpret_cast<PRINTER_INFO_1W *>(buf.data())[i].pName);
    }
    return out;
  };
  using V = std::vector<std::u16string>;
  EXPECT_EQ(names(PRINTER_ENUM_LOCAL, 2), (V{u"A Local", kPrinter}));
  EXPECT_EQ(names(PRINTER_ENUM_CONNECTIONS, 4), (V{u"\\\\PRINTSRV\\Shared MFP"}));
  EXPECT_EQ(names(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, 1),
            (V{u"A Local", kPrinter, u"\\\\PRINTSRV\\Shared MFP"}));
  DWORD needed = 0, count = 9;
  BYTE small[16];
  SetLastError(0);
  EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, small, sizeof small, &needed, &count));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(count, 0u);
  EXPECT_GT(needed, 2 * sizeof(PRINTER_INFO_2W));
  // The connection opens by its full name and answers its server.
  HANDLE h = Open(u"\\\\printsrv\\shared mfp", PRINTER_ACCESS_USE);
  ASSERT_NE(h, nullptr);
  auto b2 = Info(h, 2);
  EXPECT_EQ(std::u16string(Info2(b2)->pServerName), u"\\\\PRINTSRV");
  EXPECT_EQ(Info2(b2)->Attributes, PRINTER_ATTRIBUTE_NETWORK);
  EXPECT_EQ(Info2(b2)->pDevMode, nullptr);
}

TEST_F(SpoolerTest, HostControlsRefuseBadInstalls)
{
  PLAT_PRINTER_SETUP p{};
  p.printerName = kPrinter;
  p.driverName = kDriver;
  struct Case {
    const char *what;
    std::function<void(PLAT_PRINTER_SETUP &)> change;
    DWORD error;
  } cases[] = {
      {"duplicate", [](PLAT_PRINTER_SETUP &s) { s.printerName = u"kv printer"; }, ERROR_PRINTER_ALREADY_EXISTS},
      {"driver",
       [](PLAT_PRINTER_SETUP &s) {
         s.printerName = u"New";
         s.driverName = u"None";
       },
       ERROR_UNKNOWN_PRINTER_DRIVER},
      {"backslash", [](PLAT_PRINTER_SETUP &s) { s.printerName = u"a\\b"; }, ERROR_INVALID_PRINTER_NAME},
      {"empty", [](PLAT_PRINTER_SETUP &s) { s.printerName = u""; }, ERROR_INVALID_PRINTER_NAME},
      {"no name", [](PLAT_PRINTER_SETUP &s) { s.printerName = NULL; }, ERROR_INVALID_PARAMETER},
  };
  for (auto &c : cases) {
    PLAT_PRINTER_SETUP s = p;
    c.change(s);
    SetLastError(0);
    EXPECT_FALSE(PlatSpoolAddPrinter(&s)) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
  PLAT_DRIVER_SETUP d{};
  d.name = u"Half";
  d.driverFile = u"x.dll";
  SetLastError(0);
  EXPECT_FALSE(PlatSpoolAddDriver(&d));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  SetLastError(0);
  EXPECT_FALSE(PlatSpoolDeleteDriver(kDriver));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_PRINTER_DRIVER_IN_USE);
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  ASSERT_TRUE(PlatSpoolDeletePrinter(kPrinter));
  DWORD needed = 0;
  SetLastError(0);
  EXPECT_FALSE(GetPrinterW(h, 2, NULL, 0, &needed));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);  // the handle outlived its printer
  EXPECT_EQ(SetData(h, u"x", 1), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_TRUE(PlatSpoolDeleteDriver(kDriver));
  SetLastError(0);
  EXPECT_FALSE(PlatSpoolDeleteDriver(kDriver));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_UNKNOWN_PRINTER_DRIVER);
  SetLastError(0);
  EXPECT_FALSE(PlatSpoolDeletePrinter(kPrinter));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PRINTER_NAME);
}

TEST_F(SpoolerTest, StateFileIsReadableAndABrokenOneIsLeftOut)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(SetData(h, u"Tray1Field", 1), (DWORD)ERROR_SUCCESS);
  std::string text = PrinterFile();
  EXPECT_NE(text.find("kvprinter 1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("name \"KV Printer\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("data \"PrinterDriverData\" \"Tray1Field\" = binary hex:01000000\n"), std::string::npos) << text;
  std::string path = HostPath(u"C:\\WINDOWS\\system32\\spool\\kvprinters") + "/p0001/printer.txt";
  EXPECT_EQ(text.substr(text.size() - 4), "end\n") << "every printer file ends with the end marker";
  ASSERT_EQ(SetData(h, u"Keep2", 42), (DWORD)ERROR_SUCCESS);
  std::string whole = PrinterFile();
  // A damaged file: a line the reader does not know, the file cut short by a byte or
  // two or by its last line, or a number that lost digits.
  size_t attr = whole.find("attributes 0x");
  ASSERT_NE(attr, std::string::npos) << whole;
  std::string shortNumber = whole;
  shortNumber.erase(attr + strlen("attributes 0x"), 1);
  const std::string damaged[] = {
      "kvprinter 1\nname \"KV Printer\"\ndriver \"KV Test Driver\"\nbogus line\nend\n",
      whole.substr(0, whole.size() - 1),
      whole.substr(0, whole.size() - 2),
      whole.substr(0, whole.size() - 4),
      whole.substr(0, whole.rfind("data ")),
      shortNumber,
  };
  for (const std::string &bad : damaged) {
    WriteHostFile(path, bad);
    EXPECT_EQ(GetData(h, u"Keep2"), "error 6") << bad;
    EXPECT_EQ(Open(kPrinter), nullptr) << bad;
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PRINTER_NAME) << bad;
    EXPECT_NE(SetData(h, u"Keep2", 7), (DWORD)ERROR_SUCCESS) << bad;
    EXPECT_EQ(ReadHostFile(path), bad) << "a damaged file is never rewritten";
  }
  // An append that was never finished (its writer died after writing part of it) is
  // not read, and the next write replaces it.
  WriteHostFile(path, whole + "data \"PrinterDriverData\" \"Late\" = binary hex:01");
  EXPECT_EQ(GetData(h, u"Keep2"), std::string("\x2A\0\0\0", 4));
  EXPECT_EQ(GetData(h, u"Late"), "error 2");
  ASSERT_EQ(SetData(h, u"After", 3), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(PrinterFile().find("Late"), std::string::npos);
  EXPECT_EQ(GetData(h, u"After"), std::string("\x03\0\0\0", 4));
  // A hand-written valid file is taken as it is.
  WriteHostFile(path,
                "kvprinter 1\nname \"KV Printer\"\ndriver \"KV Test Driver\"\nport \"FILE:\"\n"
                "data \"PrinterDriverData\" \"Duplex\" = binary hex:01000000\nend\n");
  HANDLE again = Open(kPrinter);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(GetData(again, u"Duplex"), std::string("\x01\0\0\0", 4));
  auto b2 = Info(again, 2);
  EXPECT_EQ(std::u16string(Info2(b2)->pPortName), u"FILE:");
}

// A FIFO where a printer file or the spool's lock file is expected: the spooler opens
// only regular files there, so listing and writing answer at once instead of waiting
// for the FIFO's other end.
TEST_F(SpoolerTest, FifoInPlaceOfAStoreFileIsAnErrorNotAHang)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(SetData(h, u"Before", 1), (DWORD)ERROR_SUCCESS);
  std::string dir = HostPath(u"C:\\WINDOWS\\system32\\spool\\kvprinters");
  struct Case {
    const char *file;
    bool listed;  // whether the printer still lists
  } cases[] = {{"/kvspool.lock", true}, {"/p0001/printer.txt", false}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.file);
    std::string path = dir + c.file;
    std::string saved = ReadHostFile(path);
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(mkfifo(path.c_str(), 0666), 0);
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &count);
    std::vector<BYTE> buf(needed ? needed : 1);
    ASSERT_TRUE(EnumPrintersW(PRINTER_ENUM_LOCAL, NULL, 2, buf.data(), needed, &needed, &count));
    EXPECT_EQ(count, c.listed ? 1u : 0u);
    EXPECT_NE(SetData(h, u"During", 2), (DWORD)ERROR_SUCCESS);
    struct stat st;
    ASSERT_EQ(lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO is left alone";
    ASSERT_EQ(unlink(path.c_str()), 0);
    WriteHostFile(path, saved);
  }
  EXPECT_EQ(GetData(h, u"Before"), std::string("\x01\0\0\0", 4));
}

// A data write appends its record: the file keeps its identity and every byte before
// the spent end marker, so a write costs what its value costs. A file holding many more
// records than values is written anew, and a fresh reader sees the same values.
TEST_F(SpoolerTest, DataWritesAppendAndAreCompacted)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(SetData(h, u"First", 1), (DWORD)ERROR_SUCCESS);
  std::string path = HostPath(u"C:\\WINDOWS\\system32\\spool\\kvprinters") + "/p0001/printer.txt";
  std::string before = PrinterFile();
  struct stat st1, st2;
  ASSERT_EQ(stat(path.c_str(), &st1), 0);
  ASSERT_EQ(SetData(h, u"Second", 2), (DWORD)ERROR_SUCCESS);
  std::string after = PrinterFile();
  ASSERT_EQ(stat(path.c_str(), &st2), 0);
  EXPECT_EQ(st1.st_ino, st2.st_ino) << "appended, not replaced";
  ASSERT_GT(after.size(), before.size());
  EXPECT_EQ(after.substr(0, before.size() - 4), before.substr(0, before.size() - 4));
  EXPECT_EQ(after.substr(before.size() - 4), "#nd\ndata \"PrinterDriverData\" \"Second\" = binary hex:02000000\nend\n");
  ASSERT_EQ(DeletePrinterDataW(h, const_cast<LPWSTR>(u"First")), (DWORD)ERROR_SUCCESS);
  EXPECT_NE(PrinterFile().find("deldata \"PrinterDriverData\" \"First\"\n"), std::string::npos);
  // One value written again and again: the file stays near the size of its values.
  for (DWORD i = 0; i < 500; ++i) ASSERT_EQ(SetData(h, u"Churn", i), (DWORD)ERROR_SUCCESS);
  EXPECT_LT(PrinterFile().size(), before.size() + 100 * 64) << "replaced records are dropped in time";
  EXPECT_EQ(GetData(h, u"Churn"), std::string("\xF3\x01\0\0", 4));
  // Another process reads the file from scratch.
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    PlatResetForTest();  // forgets what the parent had read
    if (!PlatSetMachineRoot(Root().c_str())) _exit(10);
    PRINTER_DEFAULTSW defaults{NULL, NULL, PRINTER_ACCESS_USE};
    HANDLE ch = NULL;
    if (!OpenPrinterW(const_cast<LPWSTR>(kPrinter), &ch, &defaults)) _exit(11);
    DWORD v = 0, needed = 0, type = 0;
    if (GetPrinterDataW(ch, const_cast<LPWSTR>(u"First"), &type, reinterpret_cast<BYTE *>(&v), 4, &needed) !=
        ERROR_FILE_NOT_FOUND)
      _exit(12);
    if (GetPrinterDataW(ch, const_cast<LPWSTR>(u"Second"), &type, reinterpret_cast<BYTE *>(&v), 4, &needed) !=
            ERROR_SUCCESS ||
        v != 2)
      _exit(13);
    if (GetPrinterDataW(ch, const_cast<LPWSTR>(u"Churn"), &type, reinterpret_cast<BYTE *>(&v), 4, &needed) !=
            ERROR_SUCCESS ||
        v != 499)
      _exit(14);
    _exit(0);
  }
  EXPECT_EQ(WaitChild(pid), 0);
}

// A reader that has read a printer takes in only what another process appended since:
// new values, values written again (in their old place) and deleted values, in order, and
// an append cut short by a writer that died is not taken in until it is finished.
TEST_F(SpoolerTest, AReaderTakesInAppendedRecordsInOrder)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  for (DWORD i = 0; i < 50; ++i)
    ASSERT_EQ(SetData(h, (u"V" + std::u16string(1, u'A' + i % 26) + std::u16string(1, u'a' + i / 26)).c_str(), i),
              (DWORD)ERROR_SUCCESS);
  ASSERT_EQ(GetData(h, u"VAa"), std::string("\0\0\0\0", 4));
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    PlatResetForTest();
    if (!PlatSetMachineRoot(Root().c_str())) _exit(10);
    PRINTER_DEFAULTSW defaults{NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE ch = NULL;
    if (!OpenPrinterW(const_cast<LPWSTR>(kPrinter), &ch, &defaults)) _exit(11);
    DWORD v = 7;
    if (SetPrinterDataW(ch, const_cast<LPWSTR>(u"vba"), REG_DWORD, reinterpret_cast<BYTE *>(&v), 4) != ERROR_SUCCESS)
      _exit(12);
    if (DeletePrinterDataW(ch, const_cast<LPWSTR>(u"VAa")) != ERROR_SUCCESS) _exit(13);
    v = 99;
    if (SetPrinterDataW(ch, const_cast<LPWSTR>(u"New"), REG_DWORD, reinterpret_cast<BYTE *>(&v), 4) != ERROR_SUCCESS)
      _exit(14);
    _exit(0);
  }
  ASSERT_EQ(WaitChild(pid), 0);
  EXPECT_EQ(GetData(h, u"VAa").substr(0, 5), "error");
  EXPECT_EQ(GetData(h, u"VBa"), std::string("\x07\0\0\0", 4));
  EXPECT_EQ(GetData(h, u"New"), std::string("\x63\0\0\0", 4));
  // Enumeration: 49 values of the first writes in their order (VBa in its old place), then New.
  std::vector<std::string> names;
  for (DWORD i = 0;; ++i) {
    WCHAR name[64];
    BYTE data[16];
    DWORD nameBytes = 0, dataBytes = 0, type = 0;
    DWORD rc = EnumPrinterDataW(h, i, name, sizeof name, &nameBytes, &type, data, sizeof data, &dataBytes);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(rc, (DWORD)ERROR_SUCCESS);
    names.push_back(Narrow(name));
  }
  ASSERT_EQ(names.size(), 50u);
  EXPECT_EQ(names[0], "VBa");
  EXPECT_EQ(names[49], "New");
  // An unfinished append (records after the live end marker) is not read.
  std::string path = HostPath(u"C:\\WINDOWS\\system32\\spool\\kvprinters") + "/p0001/printer.txt";
  std::string text = ReadHostFile(path);
  WriteHostFile(path, text + "data \"PrinterDriverData\" \"Half\" = binary hex:01000000\n");
  EXPECT_EQ(GetData(h, u"Half").substr(0, 5), "error");
  EXPECT_EQ(GetData(h, u"New"), std::string("\x63\0\0\0", 4));
}

TEST_F(SpoolerTest, ASecondProcessSeesPrintersAndData)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(SetData(h, u"Before", 1), (DWORD)ERROR_SUCCESS);
  EXPECT_EQ(GetData(h, u"Before"), std::string("\x01\0\0\0", 4));
  int go[2], done[2];
  ASSERT_EQ(pipe(go), 0);
  ASSERT_EQ(pipe(done), 0);
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    char c;
    if (read(go[0], &c, 1) != 1) _exit(10);
    // The renamed printer and the parent's new data, seen from this process.
    PRINTER_DEFAULTSW defaults{NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE ch = NULL;
    if (!OpenPrinterW(const_cast<LPWSTR>(u"KV Moved"), &ch, &defaults)) _exit(11);
    DWORD v = 0, needed = 0, type = 0;
    if (GetPrinterDataW(ch, const_cast<LPWSTR>(u"FromParent"), &type, reinterpret_cast<BYTE *>(&v), 4, &needed) !=
            ERROR_SUCCESS ||
        v != 42)
      _exit(12);
    v = 77;
    if (SetPrinterDataW(ch, const_cast<LPWSTR>(u"FromChild"), REG_DWORD, reinterpret_cast<BYTE *>(&v), 4) !=
        ERROR_SUCCESS)
      _exit(13);
    if (DeletePrinterDataW(ch, const_cast<LPWSTR>(u"Before")) != ERROR_SUCCESS) _exit(14);
    PRINTER_INFO_7W i7{NULL, DSPRINT_PUBLISH};
    if (!SetPrinterW(ch, 7, reinterpret_cast<BYTE *>(&i7), 0)) _exit(15);
    ClosePrinter(ch);
    _exit(write(done[1], "x", 1) == 1 ? 0 : 16);
  }
  ASSERT_TRUE(PlatSpoolRenamePrinter(kPrinter, u"KV Moved"));
  ASSERT_EQ(SetData(h, u"FromParent", 42), (DWORD)ERROR_SUCCESS);
  ASSERT_EQ(write(go[1], "x", 1), 1);
  char c;
  ASSERT_EQ(read(done[0], &c, 1), 1);
  EXPECT_EQ(WaitChild(pid), 0);
  EXPECT_EQ(GetData(h, u"FromChild"), std::string("\x4D\0\0\0", 4));
  EXPECT_EQ(GetData(h, u"Before"), "error 2");
  auto b7 = Info(h, 7);
  EXPECT_EQ(reinterpret_cast<PRINTER_INFO_7W *>(b7.data())->dwAction, DSPRINT_PUBLISH);
  for (int fd : {go[0], go[1], done[0], done[1]}) close(fd);
}

TEST_F(SpoolerTest, ConcurrentWritersLoseNothing)
{
  constexpr int kEach = 15;
  auto writer = [](char16_t prefix) {
    PRINTER_DEFAULTSW defaults{NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE h = NULL;
    if (!OpenPrinterW(const_cast<LPWSTR>(kPrinter), &h, &defaults)) return 1;
    for (int i = 0; i < kEach; ++i) {
      char16_t name[3] = {prefix, static_cast<char16_t>(u'A' + i), 0};
      DWORD v = static_cast<DWORD>(i);
      if (SetPrinterDataW(h, name, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4) != ERROR_SUCCESS) return 2;
    }
    ClosePrinter(h);
    return 0;
  };
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) _exit(writer(u'c'));
  EXPECT_EQ(writer(u'p'), 0);
  EXPECT_EQ(WaitChild(pid), 0);
  HANDLE h = Open(kPrinter, PRINTER_ACCESS_USE);
  ASSERT_NE(h, nullptr);
  int found = 0;
  for (DWORD i = 0;; ++i) {
    WCHAR name[8];
    BYTE data[8];
    DWORD nb, db;
    if (EnumPrinterDataW(h, i, name, sizeof name, &nb, NULL, data, sizeof data, &db) != ERROR_SUCCESS) break;
    ++found;
  }
  EXPECT_EQ(found, 2 * kEach);
}

// A printer change notification stays quiet while the spool is only read, and is signaled
// by each kind of change this process makes: the printer's fields, its data, its name, its
// driver's record, its deletion and the closing of its handle. FindNext answers the filter
// and arms it again.
TEST_F(SpoolerTest, ChangeNotificationSignalsEachChangeOfThisProcess)
{
  const DWORD filter = PRINTER_CHANGE_PRINTER | PRINTER_CHANGE_PRINTER_DRIVER;
  struct Case {
    const char *what;
    std::function<void(HANDLE)> change;
  } cases[] = {
      {"fields",
       [&](HANDLE h) {
         auto buf = Info(h, 2);
         ASSERT_FALSE(buf.empty());
         PRINTER_INFO_2W in = *Info2(buf);
         in.pComment = const_cast<LPWSTR>(u"moved");
         ASSERT_TRUE(SetPrinterW(h, 2, reinterpret_cast<BYTE *>(&in), 0));
       }},
      {"data", [&](HANDLE h) { ASSERT_EQ(SetData(h, u"Tray", 3), (DWORD)ERROR_SUCCESS); }},
      {"rename", [&](HANDLE) { ASSERT_TRUE(PlatSpoolRenamePrinter(kPrinter, u"KV Renamed")); }},
      {"driver",
       [&](HANDLE) {
         PLAT_DRIVER_SETUP d{};
         d.name = kDriver;
         d.driverFile = u"KVMLDRAW.DLL";
         d.dataFile = u"OTHER.KDS";
         d.configFile = u"KVMLFACE.DLL";
         ASSERT_TRUE(PlatSpoolAddDriver(&d));
       }},
      {"delete", [&](HANDLE) { ASSERT_TRUE(PlatSpoolDeletePrinter(u"KV Renamed")); }},
  };
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  HANDLE change = FindFirstPrinterChangeNotification(h, filter, 0, NULL);
  ASSERT_NE(change, INVALID_HANDLE_VALUE);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(WaitForSingleObject(change, 0), (DWORD)WAIT_TIMEOUT);
    Info(h, 2);  // reading changes nothing
    GetData(h, u"Tray");
    EXPECT_EQ(WaitForSingleObject(change, 0), (DWORD)WAIT_TIMEOUT);
    c.change(h);
    EXPECT_EQ(WaitForSingleObject(change, 0), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(change, 0), (DWORD)WAIT_OBJECT_0) << "it stays signaled until armed again";
    DWORD what = 0;
    ASSERT_TRUE(FindNextPrinterChangeNotification(change, &what, NULL, NULL));
    EXPECT_EQ(what, filter);
    what = 7;
    ASSERT_TRUE(FindNextPrinterChangeNotification(change, &what, NULL, NULL));
    EXPECT_EQ(what, 0u) << "nothing changed since it was armed";
  }
  // The printer's handle closed: signaled, and it cannot be armed again.
  HANDLE other = Open(kPrinter);
  EXPECT_EQ(other, nullptr) << "the printer was deleted";
  PLAT_PRINTER_SETUP p{};
  p.printerName = kPrinter;
  p.driverName = kDriver;
  ASSERT_TRUE(PlatSpoolAddPrinter(&p));
  HANDLE again = NULL;
  PRINTER_DEFAULTSW defaults{NULL, NULL, PRINTER_ACCESS_USE};
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinter), &again, &defaults));
  HANDLE second = FindFirstPrinterChangeNotification(again, filter, 0, NULL);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  EXPECT_EQ(WaitForSingleObject(second, 0), (DWORD)WAIT_TIMEOUT);
  ASSERT_TRUE(ClosePrinter(again));
  EXPECT_EQ(WaitForSingleObject(second, 0), (DWORD)WAIT_OBJECT_0);
  DWORD what = 0;
  EXPECT_FALSE(FindNextPrinterChangeNotification(second, &what, NULL, NULL));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_TRUE(FindClosePrinterChangeNotification(second));
  EXPECT_TRUE(FindClosePrinterChangeNotification(change));
  EXPECT_FALSE(FindClosePrinterChangeNotification(change));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST_F(SpoolerTest, ChangeNotificationRefusesBadArguments)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  HANDLE server = NULL;
  ASSERT_TRUE(OpenPrinterW(NULL, &server, NULL));
  int options = 0;
  struct Case {
    const char *what;
    HANDLE printer;
    DWORD filter;
    void *options;
    DWORD error;
  } cases[] = {
      {"no handle", NULL, PRINTER_CHANGE_PRINTER, NULL, ERROR_INVALID_HANDLE},
      {"bogus handle", reinterpret_cast<HANDLE>(0x7777), PRINTER_CHANGE_PRINTER, NULL, ERROR_INVALID_HANDLE},
      {"server handle", server, PRINTER_CHANGE_PRINTER, NULL, ERROR_INVALID_HANDLE},
      {"empty filter", h, 0, NULL, ERROR_INVALID_PARAMETER},
      {"notify options", h, PRINTER_CHANGE_PRINTER, &options, ERROR_NOT_SUPPORTED},
  };
  size_t before = plat::HandleCount();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    SetLastError(0);
    EXPECT_EQ(FindFirstPrinterChangeNotification(c.printer, c.filter, 0, c.options), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(plat::HandleCount(), before) << "a refused request leaves no handle";
  // A printer handle is no notification.
  DWORD what = 0;
  EXPECT_FALSE(FindNextPrinterChangeNotification(h, &what, NULL, NULL));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
  EXPECT_FALSE(FindClosePrinterChangeNotification(h));
  ClosePrinter(server);
}

// Changes made by another process signal the notification too (rename, fields, data), and
// a process that only reads leaves it quiet.
TEST_F(SpoolerTest, ChangeNotificationSeesAnotherProcess)
{
  HANDLE h = Open(kPrinter);
  ASSERT_NE(h, nullptr);
  HANDLE change = FindFirstPrinterChangeNotification(h, PRINTER_CHANGE_PRINTER, 0, NULL);
  ASSERT_NE(change, INVALID_HANDLE_VALUE);
  auto inChild = [&](const std::function<int()> &body) {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
      PlatResetForTest();
      if (!PlatSetMachineRoot(Root().c_str())) _exit(10);
      _exit(body());
    }
    return WaitChild(pid);
  };
  auto openInChild = [](const char16_t *name) {
    PRINTER_DEFAULTSW defaults{NULL, NULL, PRINTER_ALL_ACCESS};
    HANDLE ch = NULL;
    return OpenPrinterW(const_cast<LPWSTR>(name), &ch, &defaults) ? ch : NULL;
  };
  ASSERT_EQ(inChild([&] {
              HANDLE ch = openInChild(kPrinter);
              DWORD needed = 0;
              GetPrinterW(ch, 2, NULL, 0, &needed);
              return ch != NULL && needed != 0 ? 0 : 11;
            }),
            0);
  EXPECT_EQ(WaitForSingleObject(change, 0), (DWORD)WAIT_TIMEOUT) << "a reader changes nothing";
  ASSERT_EQ(inChild([&] { return PlatSpoolRenamePrinter(kPrinter, u"KV Moved") ? 0 : 12; }), 0);
  EXPECT_EQ(WaitForSingleObject(change, 0), (DWORD)WAIT_OBJECT_0);
  auto b2 = Info(h, 2);
  ASSERT_FALSE(b2.empty());
  EXPECT_EQ(std::u16string(Info2(b2)->pPrinterName), u"KV Moved");
  DWORD what = 0;
  ASSERT_TRUE(FindNextPrinterChangeNotification(change, &what, NULL, NULL));
  EXPECT_EQ(WaitForSingleObject(change, 0), (DWORD)WAIT_TIMEOUT);
  ASSERT_EQ(inChild([&] {
              HANDLE ch = openInChild(u"KV Moved");
              DWORD v = 5;
              return ch != NULL && SetPrinterDataW(ch, const_cast<LPWSTR>(u"Child"), REG_DWORD,
                                                   reinterpret_cast<BYTE *>(&v), 4) == ERROR_SUCCESS
                         ? 0
                         : 13;
            }),
            0);
  EXPECT_EQ(WaitForSingleObject(change, 1000), (DWORD)WAIT_OBJECT_0) << "a signaled wait answers at once";
  EXPECT_TRUE(FindClosePrinterChangeNotification(change));
}

}  // namespace
