// The registry: keys, values, the size protocols, enumeration, access rights, write
// faults, and persistence that a second process sees.
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include "internal.h"
#include "kvplat/spool_control.h"
#include "machine_fixture.h"

namespace {

class RegistryTest : public MachineTest {
 protected:
  void TearDown() override
  {
    for (HKEY k : open_) RegCloseKey(k);
    MachineTest::TearDown();
  }

  // Creates (or opens) a key for writing and closes it at the end of the test.
  HKEY Create(HKEY root, const char16_t *path)
  {
    HKEY k = NULL;
    DWORD disp = 0;
    EXPECT_EQ(RegCreateKeyExW(root, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, &disp), ERROR_SUCCESS) << Narrow(path);
    if (k) open_.push_back(k);
    return k;
  }
  HKEY Open(HKEY root, const char16_t *path, REGSAM sam = KEY_READ)
  {
    HKEY k = NULL;
    LONG rc = RegOpenKeyExW(root, path, 0, sam, &k);
    if (rc != ERROR_SUCCESS) return NULL;
    open_.push_back(k);
    return k;
  }
  void SetString(HKEY k, const char16_t *name, const std::u16string &v)
  {
    ASSERT_EQ(RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(v.c_str()),
                             static_cast<DWORD>((v.size() + 1) * 2)),
              ERROR_SUCCESS);
  }
  void SetDword(HKEY k, const char16_t *name, DWORD v)
  {
    ASSERT_EQ(RegSetValueExW(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&v), 4), ERROR_SUCCESS);
  }
  // The value's type and bytes, or the error code as a string.
  std::string Query(HKEY k, const char16_t *name, DWORD *type = nullptr)
  {
    DWORD size = 0, t = 0;
    LONG rc = RegQueryValueExW(k, name, NULL, &t, NULL, &size);
    if (rc != ERROR_SUCCESS) return "error " + std::to_string(rc);
    std::string data(size, '\0');
    rc = RegQueryValueExW(k, name, NULL, &t, reinterpret_cast<BYTE *>(data.data()), &size);
    if (rc != ERROR_SUCCESS) return "error " + std::to_string(rc);
    if (type) *type = t;
    return data.substr(0, size);
  }
  std::u16string QueryString(HKEY k, const char16_t *name)
  {
    std::string d = Query(k, name);
    std::u16string s(d.size() / 2, u'\0');
    memcpy(s.data(), d.data(), s.size() * 2);
    while (!s.empty() && s.back() == 0) s.pop_back();
    return s;
  }
  // Drops every cached view, so that the next call reads the hive files again.
  void ReloadFromDisk()
  {
    PlatResetForTest();
    ASSERT_TRUE(PlatSetMachineRoot(Root().c_str()));
  }
  std::string HiveText(const char *hive)
  {
    return ReadHostFile(HostPath(u"C:\\WINDOWS\\system32\\config") + "/kvreg-" + hive + ".txt");
  }

  std::vector<HKEY> open_;
};

std::string Bytes(const void *p, size_t n) { return std::string(static_cast<const char *>(p), n); }

// Runs fn in a forked child and answers its exit code (0 = all its checks passed).
int RunChild(const std::function<int()> &fn)
{
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) _exit(fn());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST_F(RegistryTest, CreateReportsDispositionAndKeepsTheFirstCase)
{
  HKEY k = NULL;
  DWORD disp = 0;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\TOLVE\\KvmlDrv", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, &disp),
      ERROR_SUCCESS);
  EXPECT_EQ(disp, REG_CREATED_NEW_KEY);
  EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"software\\tolve\\KVMLDRV", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, &disp),
      ERROR_SUCCESS);
  EXPECT_EQ(disp, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
  // Intermediate keys were created; names enumerate with the case they were made with.
  HKEY tolve = Open(HKEY_LOCAL_MACHINE, u"Software\\Tolve");
  ASSERT_NE(tolve, nullptr);
  WCHAR name[64];
  DWORD cch = 64;
  ASSERT_EQ(RegEnumKeyExW(tolve, 0, name, &cch, NULL, NULL, NULL, NULL), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"KvmlDrv");
  EXPECT_EQ(cch, 7u);
  // The old-style functions: RegCreateKeyW creates, RegOpenKeyW opens any case.
  HKEY a = NULL, b = NULL;
  ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, u"Software\\KvTest", &a), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, u"SOFTWARE\\KVTEST", &b), ERROR_SUCCESS);
  EXPECT_NE(a, b);
  SetString(a, u"x", u"1");
  EXPECT_EQ(QueryString(b, u"X"), u"1");
  RegCloseKey(a);
  RegCloseKey(b);
}

TEST_F(RegistryTest, OpenAndCreateErrors)
{
  HKEY k = reinterpret_cast<HKEY>(0x1234);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Missing", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(k, nullptr);
  EXPECT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Missing", &k), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"\\SOFTWARE", 0, KEY_READ, &k), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"A\\\\B", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL),
            ERROR_BAD_PATHNAME);
  std::u16string tooLong(256, u'k');
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, tooLong.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, KEY_READ, NULL), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, NULL, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &k, NULL),
            ERROR_INVALID_PARAMETER);
  // Handles that are not registry keys.
  EXPECT_EQ(RegOpenKeyExW(reinterpret_cast<HKEY>(0x4444), u"x", 0, KEY_READ, &k), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"x", 0, KEY_READ, &k), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(NULL), ERROR_INVALID_HANDLE);
  // A trailing backslash is accepted; an empty subkey gives back the same key.
  HKEY made = Create(HKEY_CURRENT_USER, u"Trail\\");
  ASSERT_NE(made, nullptr);
  HKEY same = NULL;
  EXPECT_EQ(RegOpenKeyW(made, u"", &same), ERROR_SUCCESS);
  EXPECT_EQ(same, made);
  EXPECT_EQ(RegCreateKeyW(made, NULL, &same), ERROR_SUCCESS);
  EXPECT_EQ(same, made);
}

TEST_F(RegistryTest, ClosedKeysAreInvalidAndCloseLeavesNoHandle)
{
  size_t before = plat::HandleCount();
  HKEY k = NULL;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\A", &k), ERROR_SUCCESS);
  EXPECT_EQ(plat::HandleCount(), before + 1);
  EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
  EXPECT_EQ(plat::HandleCount(), before);
  EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);
  DWORD v = 1;
  EXPECT_EQ(RegSetValueExW(k, u"v", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4), ERROR_INVALID_HANDLE);
  DWORD size = 4;
  EXPECT_EQ(RegQueryValueExW(k, u"v", NULL, NULL, reinterpret_cast<BYTE *>(&v), &size), ERROR_INVALID_HANDLE);
  // Predefined keys close without effect.
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

TEST_F(RegistryTest, ValuesOfEveryTypeComeBackExactly)
{
  HKEY k = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Types");
  const char16_t sz[] = u"C:\\_kvml";
  const char16_t expand[] = u"%SystemRoot%\\temp";
  const char16_t multi[] = u"a.dll\0b.dll\0";  // two names and the empty string that ends the list
  DWORD dword = 0x12345678;
  const BYTE binary[] = {0, 1, 2, 0xFF, 0x80, '"', '\\', '\n'};
  const char16_t noTerminator[] = {u'a', u'b'};
  struct Case {
    const char16_t *name;
    DWORD type;
    std::string data;
  } cases[] = {
      {u"sz", REG_SZ, Bytes(sz, sizeof sz)},
      {u"expand", REG_EXPAND_SZ, Bytes(expand, sizeof expand)},
      {u"multi", REG_MULTI_SZ, Bytes(multi, sizeof multi)},
      {u"dword", REG_DWORD, Bytes(&dword, 4)},
      {u"binary", REG_BINARY, Bytes(binary, sizeof binary)},
      {u"none", REG_NONE, std::string()},
      {u"odd string", REG_SZ, std::string("\x41\x00\x42", 3)},
      {u"short dword", REG_DWORD, std::string("\x01\x02", 2)},
      {u"unterminated", REG_SZ, Bytes(noTerminator, sizeof noTerminator)},
      {u"strange type", 0x1234, std::string("xyz")},
  };
  for (auto &c : cases) {
    ASSERT_EQ(RegSetValueExW(k, c.name, 0, c.type, reinterpret_cast<const BYTE *>(c.data.data()),
                             static_cast<DWORD>(c.data.size())),
              ERROR_SUCCESS)
        << Narrow(c.name);
  }
  // Read back in this process, then from the file alone.
  for (int pass = 0; pass < 2; ++pass) {
    HKEY r = Open(HKEY_LOCAL_MACHINE, u"software\\types");
    ASSERT_NE(r, nullptr);
    for (auto &c : cases) {
      DWORD type = 0xFFFF;
      EXPECT_EQ(Query(r, c.name, &type), c.data) << Narrow(c.name) << " pass " << pass;
      EXPECT_EQ(type, c.type) << Narrow(c.name);
    }
    if (pass == 0) {
      for (HKEY h : open_) RegCloseKey(h);
      open_.clear();
      ReloadFromDisk();
    }
  }
}

TEST_F(RegistryTest, QuerySizeProtocol)
{
  HKEY k = Create(HKEY_CURRENT_USER, u"Software\\Size");
  SetString(k, u"Path", u"C:\\WINDOWS");  // 10 characters + terminator = 22 bytes
  DWORD type = 0, size = 0;
  // No buffer: the size and ERROR_SUCCESS.
  EXPECT_EQ(RegQueryValueExW(k, u"Path", NULL, &type, NULL, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 22u);
  EXPECT_EQ(type, REG_SZ);
  struct Case {
    DWORD room;
    LONG rc;
  } cases[] = {{0, ERROR_MORE_DATA}, {21, ERROR_MORE_DATA}, {22, ERROR_SUCCESS}, {100, ERROR_SUCCESS}};
  for (auto &c : cases) {
    BYTE buf[128];
    memset(buf, 0xCC, sizeof buf);
    size = c.room;
    type = 0;
    EXPECT_EQ(RegQueryValueExW(k, u"path", NULL, &type, buf, &size), c.rc) << c.room;
    EXPECT_EQ(size, 22u) << c.room;  // the needed size either way
    EXPECT_EQ(type, REG_SZ) << c.room;
    if (c.rc == ERROR_SUCCESS)
      EXPECT_EQ(std::u16string(reinterpret_cast<char16_t *>(buf)), u"C:\\WINDOWS");
    else
      EXPECT_EQ(buf[0], 0xCC) << "a short buffer stays untouched";
  }
  BYTE buf[8];
  EXPECT_EQ(RegQueryValueExW(k, u"Path", NULL, NULL, buf, NULL), ERROR_INVALID_PARAMETER);
  DWORD reserved = 0;
  EXPECT_EQ(RegQueryValueExW(k, u"Path", &reserved, NULL, NULL, &size), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExW(k, u"Missing", NULL, &type, NULL, &size), ERROR_FILE_NOT_FOUND);
  // The default value is named by NULL or "".
  SetString(k, NULL, u"default");
  EXPECT_EQ(QueryString(k, u""), u"default");
  EXPECT_EQ(QueryString(k, NULL), u"default");
}

TEST_F(RegistryTest, RegistryCallsKeepTheLastError)
{
  HKEY k = Create(HKEY_CURRENT_USER, u"Software\\LastError");
  SetLastError(12345);
  DWORD size;
  EXPECT_EQ(RegQueryValueExW(k, u"Missing", NULL, NULL, NULL, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(0x4444)), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetLastError(), 12345u);
}

TEST_F(RegistryTest, SetReplacesDeleteRemoves)
{
  HKEY k = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Replace");
  SetDword(k, u"First", 1);
  SetDword(k, u"Second", 2);
  SetString(k, u"FIRST", u"now a string");  // same value, any case: replaced in place
  DWORD type;
  EXPECT_EQ(QueryString(k, u"first"), u"now a string");
  Query(k, u"first", &type);
  EXPECT_EQ(type, REG_SZ);
  WCHAR name[16];
  DWORD cch = 16;
  ASSERT_EQ(RegEnumValueW(k, 0, name, &cch, NULL, NULL, NULL, NULL), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"First");  // keeps its place and first spelling
  EXPECT_EQ(RegDeleteValueW(k, u"FIRST"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(k, u"First"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Query(k, u"First"), "error 2");
  EXPECT_EQ(Query(k, u"Second"), Bytes("\x02\0\0\0", 4));
  // A NULL data pointer with a size is refused; with size 0 it stores an empty value.
  EXPECT_EQ(RegSetValueExW(k, u"bad", 0, REG_BINARY, NULL, 4), ERROR_NOACCESS);
  EXPECT_EQ(RegSetValueExW(k, u"empty", 0, REG_BINARY, NULL, 0), ERROR_SUCCESS);
  EXPECT_EQ(Query(k, u"empty"), "");
}

TEST_F(RegistryTest, DeleteKeyDeletesOnlyLeaves)
{
  Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Tree\\Leaf");
  HKEY tree = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Tree");
  SetDword(tree, u"v", 1);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Tree"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Tree\\Nope"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(tree, u"LEAF"), ERROR_SUCCESS);
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Tree\\Leaf"), nullptr);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"software\\tree"), ERROR_SUCCESS);
  // The handle still open on the deleted key reports it.
  DWORD v = 2;
  EXPECT_EQ(RegSetValueExW(tree, u"v", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4), ERROR_KEY_DELETED);
  DWORD size;
  EXPECT_EQ(RegQueryValueExW(tree, u"v", NULL, NULL, NULL, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, NULL), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED);  // never the hive itself
}

TEST_F(RegistryTest, EnumeratesKeysSortedAndValuesInOrder)
{
  HKEY k = Create(HKEY_CURRENT_USER, u"Software\\Enum");
  for (const char16_t *n : {u"beta", u"Alpha", u"gamma", u"ALPHA2"}) {
    HKEY s = NULL;
    ASSERT_EQ(RegCreateKeyW(k, n, &s), ERROR_SUCCESS);
    RegCloseKey(s);
  }
  std::vector<std::u16string> keys;
  for (DWORD i = 0;; ++i) {
    WCHAR name[32];
    DWORD cch = 32;
    FILETIME ft{};
    LONG rc = RegEnumKeyExW(k, i, name, &cch, NULL, NULL, NULL, &ft);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(rc, ERROR_SUCCESS);
    EXPECT_NE(ft.dwHighDateTime, 0u);
    keys.push_back(name);
  }
  EXPECT_EQ(keys, (std::vector<std::u16string>{u"Alpha", u"ALPHA2", u"beta", u"gamma"}));
  WCHAR small[8];
  DWORD cch = 5;  // "ALPHA2" needs 7 with its terminator
  EXPECT_EQ(RegEnumKeyExW(k, 1, small, &cch, NULL, NULL, NULL, NULL), ERROR_MORE_DATA);
  EXPECT_EQ(RegEnumKeyW(k, 3, small, 6), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(small), u"gamma");

  SetDword(k, u"z", 26);
  SetString(k, u"a", u"longer text value");
  SetDword(k, u"m", 13);
  WCHAR name[32];
  DWORD type = 0;
  BYTE data[64];
  std::vector<std::u16string> values;
  for (DWORD i = 0;; ++i) {
    DWORD nameCch = 32, size = sizeof data;
    LONG rc = RegEnumValueW(k, i, name, &nameCch, NULL, &type, data, &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(rc, ERROR_SUCCESS);
    EXPECT_EQ(nameCch, 1u);
    values.push_back(name);
  }
  EXPECT_EQ(values, (std::vector<std::u16string>{u"z", u"a", u"m"}));
  // A data buffer too small: ERROR_MORE_DATA with the size needed.
  DWORD nameCch = 32, size = 4;
  EXPECT_EQ(RegEnumValueW(k, 1, name, &nameCch, NULL, &type, data, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 36u);
  EXPECT_EQ(type, REG_SZ);
  // A name buffer too small (room for the name but not its terminator).
  nameCch = 1;
  size = sizeof data;
  EXPECT_EQ(RegEnumValueW(k, 0, name, &nameCch, NULL, &type, data, &size), ERROR_MORE_DATA);

  DWORD subkeys = 0, maxSub = 0, count = 0, maxName = 0, maxData = 0;
  ASSERT_EQ(RegQueryInfoKeyW(k, NULL, NULL, NULL, &subkeys, &maxSub, NULL, &count, &maxName, &maxData, NULL, NULL),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 4u);
  EXPECT_EQ(maxSub, 6u);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(maxName, 1u);
  EXPECT_EQ(maxData, 36u);
}

// A large hive written by hand, its lines in no sorted order: 2000 subkeys listed in
// reverse, one key of 10000 values with every tenth written twice (the later line wins
// in the place of the first), and one key line given twice (its values join). Everything
// reads back as written, enumeration keeps its orders, and deleting a value in the middle
// moves the later ones up without losing any. How long it takes is measured in bench/.
TEST_F(RegistryTest, LargeHandWrittenHiveReadsBackWhole)
{
  const int kKeys = 2000, kValues = 10000;
  auto keyName = [](int i) {
    char b[16];
    snprintf(b, sizeof b, "K%05d", i);
    return std::string(b);
  };
  auto valueName = [](int i) { return "v" + std::to_string(i); };
  auto dword = [](unsigned v) {
    char b[16];
    snprintf(b, sizeof b, "0x%08X", v);
    return std::string(b);
  };
  std::string text = "kvreg 1\n";
  for (int i = kKeys - 1; i >= 0; --i)
    text += "[Software\\Big\\" + keyName(i) + "]\n\"n\" = dword " + dword((unsigned)i) + "\n";
  text += "[Software\\Many]\n";
  for (int i = 0; i < kValues; ++i) text += "\"" + valueName(i) + "\" = dword " + dword((unsigned)i) + "\n";
  for (int i = 0; i < kValues; i += 10)
    text += "\"" + valueName(i) + "\" = dword " + dword((unsigned)i + 1000000u) + "\n";
  text += "[Software\\Big\\K00007]\n\"second\" = dword 0x00000002\nend\n";
  WriteHostFile(HostPath(u"C:\\WINDOWS\\system32\\config") + "/kvreg-HKCU.txt", text);

  HKEY big = Open(HKEY_CURRENT_USER, u"Software\\Big");
  ASSERT_NE(big, nullptr);
  DWORD subkeys = 0;
  ASSERT_EQ(RegQueryInfoKeyW(big, NULL, NULL, NULL, &subkeys, NULL, NULL, NULL, NULL, NULL, NULL, NULL), ERROR_SUCCESS);
  EXPECT_EQ(subkeys, (DWORD)kKeys);
  int wrong = 0;
  for (int i = 0; i < kKeys; ++i) {
    WCHAR name[32];
    DWORD cch = 32;
    ASSERT_EQ(RegEnumKeyExW(big, (DWORD)i, name, &cch, NULL, NULL, NULL, NULL), ERROR_SUCCESS);
    std::string expected = keyName(i);
    if (Narrow(name) != expected) ++wrong;
    HKEY sub = NULL;
    ASSERT_EQ(RegOpenKeyExW(big, name, 0, KEY_READ, &sub), ERROR_SUCCESS);
    if (Query(sub, u"n") != Bytes(&i, 4)) ++wrong;
    RegCloseKey(sub);
  }
  EXPECT_EQ(wrong, 0) << "subkeys out of order or with the wrong value";
  HKEY seven = Open(HKEY_CURRENT_USER, u"Software\\Big\\k00007");
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(Query(seven, u"n"), Bytes("\x07\0\0\0", 4));
  EXPECT_EQ(Query(seven, u"second"), Bytes("\x02\0\0\0", 4));

  HKEY many = Create(HKEY_CURRENT_USER, u"Software\\Many");
  auto expectedData = [](int i) { return (unsigned)i + (i % 10 == 0 ? 1000000u : 0u); };
  DWORD count = 0;
  ASSERT_EQ(RegQueryInfoKeyW(many, NULL, NULL, NULL, NULL, NULL, NULL, &count, NULL, NULL, NULL, NULL), ERROR_SUCCESS);
  EXPECT_EQ(count, (DWORD)kValues);
  wrong = 0;
  for (int i = 0; i < kValues; ++i) {
    WCHAR name[32];
    DWORD cch = 32, type = 0, data = 0, size = 4;
    ASSERT_EQ(RegEnumValueW(many, (DWORD)i, name, &cch, NULL, &type, reinterpret_cast<BYTE *>(&data), &size),
              ERROR_SUCCESS);
    if (Narrow(name) != valueName(i) || data != expectedData(i)) ++wrong;
  }
  EXPECT_EQ(wrong, 0) << "values out of creation order or with the wrong data";
  // Looked up by name in any case.
  unsigned v2345 = expectedData(2345), v9990 = expectedData(9990);
  EXPECT_EQ(Query(many, u"V2345"), Bytes(&v2345, 4));
  EXPECT_EQ(Query(many, u"v9990"), Bytes(&v9990, 4));

  // Delete one value in the middle and change another: every later value moves up one
  // index and is still found by its name, also after the hive is read again.
  ASSERT_EQ(RegDeleteValueW(many, u"v500"), ERROR_SUCCESS);
  SetDword(many, u"V501", 77);
  SetDword(many, u"added", 5);
  for (bool reloaded : {false, true}) {
    SCOPED_TRACE(reloaded ? "read again" : "in memory");
    if (reloaded) {
      for (HKEY k : open_) RegCloseKey(k);
      open_.clear();
      ReloadFromDisk();
      many = Open(HKEY_CURRENT_USER, u"Software\\Many");
      ASSERT_NE(many, nullptr);
    }
    EXPECT_EQ(Query(many, u"v500"), "error " + std::to_string(ERROR_FILE_NOT_FOUND));
    wrong = 0;
    for (int i = 0; i < kValues; ++i) {
      WCHAR name[32];
      DWORD cch = 32, data = 0, size = 4;
      ASSERT_EQ(RegEnumValueW(many, (DWORD)i, name, &cch, NULL, NULL, reinterpret_cast<BYTE *>(&data), &size),
                ERROR_SUCCESS);
      int n = i < 500 ? i : i + 1;
      // A value set again under another case keeps the name it was created with.
      std::string expectedName = i == kValues - 1 ? "added" : valueName(n);
      unsigned expected = i == kValues - 1 ? 5u : n == 501 ? 77u : expectedData(n);
      if (Narrow(name) != expectedName || data != expected) ++wrong;
      const std::string ascii = valueName(n);
      const std::u16string wide(ascii.begin(), ascii.end());
      if (i < kValues - 1 && Query(many, wide.c_str()) != Bytes(&expected, 4)) ++wrong;
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(RegistryTest, HandleRightsLimitWhatItCanDo)
{
  HKEY w = Create(HKEY_CURRENT_USER, u"Software\\Rights");
  SetDword(w, u"v", 1);
  HKEY r = Open(HKEY_CURRENT_USER, u"Software\\Rights", KEY_READ);
  ASSERT_NE(r, nullptr);
  DWORD v = 2;
  EXPECT_EQ(RegSetValueExW(r, u"v", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueW(r, u"v"), ERROR_ACCESS_DENIED);
  HKEY sub = NULL;
  EXPECT_EQ(RegCreateKeyExW(r, u"Sub", 0, NULL, 0, KEY_ALL_ACCESS, NULL, &sub, NULL), ERROR_ACCESS_DENIED);
  HKEY setOnly = Open(HKEY_CURRENT_USER, u"Software\\Rights", KEY_SET_VALUE);
  ASSERT_NE(setOnly, nullptr);
  DWORD size;
  EXPECT_EQ(RegQueryValueExW(setOnly, u"v", NULL, NULL, NULL, &size), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegSetValueExW(setOnly, u"v", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4), ERROR_SUCCESS);
  EXPECT_EQ(Query(r, u"v"), Bytes(&v, 4));
}

TEST_F(RegistryTest, NonAdministratorReadsButCannotWriteTheMachineHive)
{
  HKEY admin = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\TOLVE\\KvmlDrv");
  SetString(admin, u"_KVMLDirectory", u"C:\\_kvml");
  PlatRegSetAdministrator(FALSE);
  // Reading works, with the old and the new functions.
  HKEY k = NULL;
  ASSERT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\TOLVE\\KvmlDrv", &k), ERROR_SUCCESS);
  open_.push_back(k);
  EXPECT_EQ(QueryString(k, u"_KVMLDirectory"), u"C:\\_kvml");
  // Every write is refused and changes nothing.
  DWORD v = 1;
  EXPECT_EQ(RegSetValueExW(k, u"x", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegSetValueExW(admin, u"x", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueW(admin, u"_KVMLDirectory"), ERROR_ACCESS_DENIED);
  HKEY other = NULL;
  EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\TOLVE\\KvmlDrv", 0, KEY_WRITE, &other), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\TOLVE\\New", &other), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\TOLVE\\KvmlDrv"), ERROR_ACCESS_DENIED);
  // Opening an existing key with RegCreateKeyW is allowed (read only).
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\TOLVE\\KvmlDrv", &other), ERROR_SUCCESS);
  open_.push_back(other);
  EXPECT_EQ(RegSetValueExW(other, u"x", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4), ERROR_ACCESS_DENIED);
  // The user's own hive stays writable.
  HKEY user = Create(HKEY_CURRENT_USER, u"Software\\Mine");
  ASSERT_NE(user, nullptr);
  SetDword(user, u"v", 7);
  PlatRegSetAdministrator(TRUE);
  EXPECT_EQ(Query(admin, u"x"), "error 2");
  SetDword(admin, u"x", 3);
}

TEST_F(RegistryTest, InjectedWriteFaultChangesNothing)
{
  HKEY k = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Fault");
  SetDword(k, u"v", 1);
  PlatFaultArm(PLAT_FAULT_REG_WRITE, 2);
  SetDword(k, u"first", 10);  // the first write after arming succeeds
  std::string before = HiveText("HKLM");
  DWORD v = 99;
  EXPECT_EQ(RegSetValueExW(k, u"v", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4), ERROR_CANTWRITE);
  EXPECT_EQ(HiveText("HKLM"), before);
  EXPECT_EQ(Query(k, u"v"), Bytes("\x01\0\0\0", 4));
  SetDword(k, u"v", 3);  // the fault fired once
  ReloadFromDisk();
  HKEY again = Open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Fault");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Query(again, u"v"), Bytes("\x03\0\0\0", 4));
  EXPECT_EQ(Query(again, u"first"), Bytes("\x0A\0\0\0", 4));
}

TEST_F(RegistryTest, HiveFileIsReadableTextWithExactEscapes)
{
  HKEY k = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Odd [name] 100%");
  SetString(k, u"_KVMLDirectory", u"C:\\_kvml");
  SetDword(k, u"MaxLogFileSize", 64);
  const char16_t tricky[] = u"quote\" back\\ tab\t \u65e5\u672c \xD800 end";  // a lone surrogate too
  ASSERT_EQ(
      RegSetValueExW(k, u"name \"with\" = sign", 0, REG_SZ, reinterpret_cast<const BYTE *>(tricky), sizeof tricky),
      ERROR_SUCCESS);
  std::string text = HiveText("HKLM");
  EXPECT_NE(text.find("kvreg 1\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[SOFTWARE\\Odd %005Bname%005D 100%0025]"), std::string::npos) << text;
  EXPECT_NE(text.find("\"_KVMLDirectory\" = sz \"C:\\\\_kvml\\0\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"MaxLogFileSize\" = dword 0x00000040"), std::string::npos) << text;
  ReloadFromDisk();
  HKEY r = Open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\ODD [NAME] 100%");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(Query(r, u"name \"with\" = sign"), Bytes(tricky, sizeof tricky));
  WCHAR name[64];
  DWORD cch = 64;
  HKEY sw = Open(HKEY_LOCAL_MACHINE, u"SOFTWARE");
  ASSERT_EQ(RegEnumKeyExW(sw, 0, name, &cch, NULL, NULL, NULL, NULL), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"Odd [name] 100%");
}

TEST_F(RegistryTest, HandEditedHiveIsPickedUpAndACorruptOneIsNeverOverwritten)
{
  HKEY k = Create(HKEY_CURRENT_USER, u"Software\\Edit");
  SetDword(k, u"v", 1);
  std::string path = HostPath(u"C:\\WINDOWS\\system32\\config") + "/kvreg-HKCU.txt";
  const std::string edited =
      "kvreg 1\n# edited by hand\n[Software\\Edit] @0000000000000001\n\"v\" = dword 0x00000002\n"
      "\"s\" = sz \"hi\\0\"\nend\n";
  WriteHostFile(path, edited);
  EXPECT_EQ(Query(k, u"v"), Bytes("\x02\0\0\0", 4));
  EXPECT_EQ(QueryString(k, u"s"), u"hi");
  const std::string corrupt[] = {
      "kvreg 2\nend\n",
      "not a hive\nend\n",
      "kvreg 1\n\"v\" = dword 1\nend\n",
      "kvreg 1\n[A]\n\"v\" = nonsense 1\nend\n",
      "kvreg 1\n[A]\n\"v\" = sz \"unterminated\nend\n",
      "kvreg 1\n[A\\\\B]\nend\n",
      "kvreg 1\n[A%00ZZ]\nend\n",
      // Cut short: the last line lost its end, the end marker is gone, or a number
      // lost digits.
      edited.substr(0, edited.size() - 1),
      edited.substr(0, edited.size() - 2),
      edited.substr(0, edited.size() - 4),
      "kvreg 1\n[Software\\Edit]\n\"v\" = dword 0x0000000\nend\n",
      "kvreg 1\n[Software\\Edit] @000000000000001\nend\n",
      // Nothing may follow the marker.
      edited + "[B]\n",
      // Deeper than the 512 levels a key may have.
      [] {
        std::string deep = "kvreg 1\n[A";
        for (int i = 0; i < 512; ++i) deep += "\\A";
        return deep + "]\nend\n";
      }(),
  };
  for (const std::string &text : corrupt) {
    WriteHostFile(path, text);
    DWORD v = 5, size = 4;
    EXPECT_EQ(RegQueryValueExW(k, u"v", NULL, NULL, reinterpret_cast<BYTE *>(&v), &size), ERROR_REGISTRY_CORRUPT)
        << text;
    EXPECT_EQ(RegSetValueExW(k, u"v", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4), ERROR_REGISTRY_CORRUPT) << text;
    EXPECT_EQ(ReadHostFile(path), text);
  }
}

TEST_F(RegistryTest, ASecondProcessSeesWritesBothWays)
{
  HKEY k = Create(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Shared");
  SetDword(k, u"before", 1);
  EXPECT_EQ(Query(k, u"before"), Bytes("\x01\0\0\0", 4));  // cached here now
  int go[2], done[2];
  ASSERT_EQ(pipe(go), 0);
  ASSERT_EQ(pipe(done), 0);
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    // The child has the parent's cache from before the fork; it must notice the
    // parent's later write, then write its own.
    char c;
    if (read(go[0], &c, 1) != 1) _exit(10);
    HKEY ck = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Shared", 0, KEY_ALL_ACCESS, &ck) != ERROR_SUCCESS) _exit(11);
    DWORD v = 0, size = 4;
    if (RegQueryValueExW(ck, u"fromParent", NULL, NULL, reinterpret_cast<BYTE *>(&v), &size) != ERROR_SUCCESS)
      _exit(12);
    if (v != 42) _exit(13);
    v = 77;
    if (RegSetValueExW(ck, u"fromChild", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4) != ERROR_SUCCESS) _exit(14);
    if (RegDeleteValueW(ck, u"before") != ERROR_SUCCESS) _exit(15);
    RegCloseKey(ck);
    _exit(write(done[1], "x", 1) == 1 ? 0 : 16);
  }
  SetDword(k, u"fromParent", 42);
  ASSERT_EQ(write(go[1], "x", 1), 1);
  char c;
  ASSERT_EQ(read(done[0], &c, 1), 1);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Query(k, u"fromChild"), Bytes("\x4D\0\0\0", 4));
  EXPECT_EQ(Query(k, u"before"), "error 2");
  for (int fd : {go[0], go[1], done[0], done[1]}) close(fd);
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing)
{
  Create(HKEY_CURRENT_USER, u"Software\\Race");
  constexpr int kEach = 20;
  auto writer = [](const char *prefix) {
    HKEY k = NULL;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Race", 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS) return 1;
    for (int i = 0; i < kEach; ++i) {
      std::u16string name;
      for (const char *p = prefix; *p; ++p) name += static_cast<char16_t>(*p);
      name += static_cast<char16_t>(u'A' + i);
      DWORD v = static_cast<DWORD>(i);
      if (RegSetValueExW(k, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4) != ERROR_SUCCESS) return 2;
    }
    RegCloseKey(k);
    return 0;
  };
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) _exit(writer("child"));
  EXPECT_EQ(writer("parent"), 0);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  HKEY k = Open(HKEY_CURRENT_USER, u"Software\\Race");
  DWORD count = 0;
  ASSERT_EQ(RegQueryInfoKeyW(k, NULL, NULL, NULL, NULL, NULL, NULL, &count, NULL, NULL, NULL, NULL), ERROR_SUCCESS);
  EXPECT_EQ(count, 2u * kEach);
  EXPECT_EQ(RunChild([] {
              HKEY ck = NULL;
              DWORD count = 0;
              if (RegOpenKeyW(HKEY_CURRENT_USER, u"Software\\Race", &ck) != ERROR_SUCCESS) return 1;
              RegQueryInfoKeyW(ck, NULL, NULL, NULL, NULL, NULL, NULL, &count, NULL, NULL, NULL, NULL);
              return count == 2u * kEach ? 0 : 2;
            }),
            0);
}

}  // namespace
