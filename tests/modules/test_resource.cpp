// Resources: string tables through LoadStringW/LoadStringA, raw resources by type, name
// and language, enumeration, and tables given to the main program.
#include <string.h>

#include <vector>

#include "kvplat/os_control.h"
#include "module_test_support.h"

namespace {

class ResourceTest : public ModuleTest {
 protected:
  void SetUp() override
  {
    ModuleTest::SetUp();
    ASSERT_TRUE(PlatModuleRegister(u"res_sample.dll", KV_RES_SAMPLE_SO));
    ASSERT_TRUE(PlatModuleRegister(u"kvprobe.dll", KV_PROBE_SO));
    res_ = LoadLibraryW(u"res_sample.dll");
    ASSERT_NE(res_, nullptr) << PlatModuleLastLoadError();
  }
  void TearDown() override
  {
    if (res_) {
      EXPECT_TRUE(FreeLibrary(res_));
    }
    ModuleTest::TearDown();
  }
  // The bytes of a resource found with FindResourceW, or "<missing>".
  std::string Bytes(HMODULE h, LPCWSTR type, LPCWSTR name)
  {
    HRSRC r = FindResourceW(h, name, type);
    if (!r) return "<missing>";
    HGLOBAL g = LoadResource(h, r);
    const char *p = static_cast<const char *>(LockResource(g));
    return p ? std::string(p, SizeofResource(h, r)) : "<no data>";
  }
  std::string BytesEx(HMODULE h, LPCWSTR type, LPCWSTR name, WORD lang)
  {
    HRSRC r = FindResourceExW(h, type, name, lang);
    if (!r) return "<missing>";
    return std::string(static_cast<const char *>(LockResource(LoadResource(h, r))), SizeofResource(h, r));
  }
  HMODULE res_ = nullptr;
};

std::u16string Load(HMODULE h, UINT id, int cch = 256)
{
  std::vector<WCHAR> buf(static_cast<size_t>(cch) + 1, u'#');
  int n = LoadStringW(h, id, buf.data(), cch);
  EXPECT_EQ(static_cast<size_t>(n), std::u16string(buf.data()).size());
  return std::u16string(buf.data());
}

}  // namespace

// ---------------------------------------------------------------- LoadStringW

TEST_F(ResourceTest, LoadStringWReadsEachString)
{
  struct Case {
    UINT id;
    std::u16string text;
  } cases[] = {
      {1, u"Sample resources"},
      {15, u"Last string of the first block"},
      {16, u"First string of the second block"},
      {100, u"Paper size"},
      {101, u"Tab\there, quote \"q\", backslash \\ and a joined literal"},
      {102, u"Caf\u00E9 \u65E5\u672C \U0001F600"},
      {153, u"mm"},
      {154, u"inch"},
      {65535, u"The last string id"},
      {0x10000 + 100, u"Paper size"},  // only the low 16 bits of an id count
      // Missing: an empty slot of a present block, an empty string, a missing block.
      {2, u""},
      {103, u""},
      {5000, u""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(Load(res_, c.id), c.text);
  }
}

TEST_F(ResourceTest, LoadStringWCutsToTheBuffer)
{
  const std::u16string full = u"Paper size";
  const int len = static_cast<int>(full.size());
  struct Case {
    int cch;
    int answer;
  } cases[] = {{len + 5, len}, {len + 1, len}, {len, len - 1}, {6, 5}, {2, 1}, {1, 0}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.cch);
    std::vector<WCHAR> buf(static_cast<size_t>(len) + 8, u'#');
    EXPECT_EQ(LoadStringW(res_, 100, buf.data(), c.cch), c.answer);
    EXPECT_EQ(std::u16string(buf.data()), full.substr(0, static_cast<size_t>(c.answer)));
    EXPECT_EQ(buf[static_cast<size_t>(c.cch)], u'#');
  }
  // A missing string leaves an empty string; a NULL buffer is refused.
  WCHAR buf[4] = {u'x', u'x', u'x', 0};
  EXPECT_EQ(LoadStringW(res_, 2, buf, 4), 0);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(LoadStringW(res_, 100, nullptr, 10), 0);
  EXPECT_EQ(LoadStringW(res_, 100, buf, -1), 0);
}

TEST_F(ResourceTest, LoadStringWWithoutBufferSizeAnswersAPointerIntoTheModule)
{
  struct Case {
    UINT id;
    std::u16string text;
  } cases[] = {
      {100, u"Paper size"}, {15, u"Last string of the first block"}, {102, u"Caf\u00E9 \u65E5\u672C \U0001F600"}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.id);
    const WCHAR *p = nullptr;
    ASSERT_EQ(LoadStringW(res_, c.id, reinterpret_cast<LPWSTR>(&p), 0), static_cast<int>(c.text.size()));
    ASSERT_NE(p, nullptr);
    // Not terminated: exactly its characters, inside the module (the same each time).
    EXPECT_EQ(std::u16string(p, c.text.size()), c.text);
    const WCHAR *again = nullptr;
    LoadStringW(res_, c.id, reinterpret_cast<LPWSTR>(&again), 0);
    EXPECT_EQ(again, p);
  }
  // Id 100 is followed in its block by the length word of id 101, not a terminator.
  const WCHAR *p = nullptr;
  LoadStringW(res_, 100, reinterpret_cast<LPWSTR>(&p), 0);
  EXPECT_EQ(p[10], static_cast<WCHAR>(Load(res_, 101).size()));
  const WCHAR *none = nullptr;
  EXPECT_EQ(LoadStringW(res_, 2, reinterpret_cast<LPWSTR>(&none), 0), 0);
}

TEST_F(ResourceTest, LoadStringWOfModulesWithoutStrings)
{
  WCHAR buf[16] = {u'x', 0};
  struct Case {
    HMODULE module;
    DWORD error;
  } cases[] = {
      {NULL, ERROR_RESOURCE_DATA_NOT_FOUND},  // the main program has no resources here
      {reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x7F120000)), ERROR_RESOURCE_DATA_NOT_FOUND},
  };
  for (const Case &c : cases) {
    SetLastError(0);
    buf[0] = u'x';
    EXPECT_EQ(LoadStringW(c.module, 1, buf, 16), 0);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(GetLastError(), c.error);
  }
}

// ---------------------------------------------------------------- LoadStringA

TEST_F(ResourceTest, LoadStringAConvertsToTheAnsiCodePage)
{
  char buf[64];
  EXPECT_EQ(LoadStringA(res_, 100, buf, sizeof buf), 10);
  EXPECT_STREQ(buf, "Paper size");
  EXPECT_EQ(LoadStringA(res_, 100, buf, 6), 5);
  EXPECT_STREQ(buf, "Paper");
  ASSERT_EQ(LoadStringA(res_, 102, buf, 5), 4);
  EXPECT_STREQ(buf, "Caf\xE9");  // code page 1252
  EXPECT_EQ(LoadStringA(res_, 2, buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(LoadStringA(res_, 100, buf, 0), 0);
  EXPECT_EQ(LoadStringA(res_, 100, nullptr, 10), 0);
}

TEST_F(ResourceTest, LoadStringANeverSplitsADoubleByteCharacter)
{
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  HMODULE probe = LoadLibraryW(u"kvprobe.dll");
  ASSERT_NE(probe, nullptr);
  // String 8 is three kanji, two bytes each in Shift-JIS.
  struct Case {
    int cch;
    int answer;
    const char *text;
  } cases[] = {
      {16, 6, "\x93\xFA\x96\x7B\x8C\xEA"},
      {7, 6, "\x93\xFA\x96\x7B\x8C\xEA"},
      {6, 4, "\x93\xFA\x96\x7B"},
      {5, 4, "\x93\xFA\x96\x7B"},
      {4, 2, "\x93\xFA"},
      {2, 0, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.cch);
    char buf[16];
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(LoadStringA(probe, 8, buf, c.cch), c.answer);
    EXPECT_STREQ(buf, c.text);
  }
  EXPECT_TRUE(FreeLibrary(probe));
}

// ---------------------------------------------------------------- raw resources

TEST_F(ResourceTest, FindResourceByTypeAndName)
{
  struct Case {
    LPCWSTR type;
    LPCWSTR name;
    std::string bytes;
  } cases[] = {
      {RT_RCDATA, MAKEINTRESOURCEW(1), std::string("\x00\x01\x02\x03\xFE\xFF", 6)},
      {RT_RCDATA, MAKEINTRESOURCEW(2), "Sample notes carried as a raw resource.\n"},
      {u"#10", u"#2", "Sample notes carried as a raw resource.\n"},
      {u"KVDATA", u"CONFIG", "key=value\n"},
      {u"kvData", u"Config", "key=value\n"},
      {MAKEINTRESOURCEW(258), MAKEINTRESOURCEW(1), std::string("A\0B\0", 4)},
      {u"#258", u"#1", std::string("A\0B\0", 4)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(IS_INTRESOURCE(c.type) ? std::to_string(LOWORD(reinterpret_cast<uintptr_t>(c.type))) : Narrow(c.type));
    EXPECT_EQ(Bytes(res_, c.type, c.name), c.bytes);
  }
}

TEST_F(ResourceTest, FindResourceTellsWhatIsMissing)
{
  HMODULE userenv = NULL;
  ASSERT_TRUE(PlatModuleRegister(u"UserEnv.dll", KV_USERENV_SO));
  userenv = LoadLibraryW(u"userenv");
  ASSERT_NE(userenv, nullptr);
  struct Case {
    HMODULE module;
    LPCWSTR type;
    LPCWSTR name;
    DWORD error;
  } cases[] = {
      {res_, RT_BITMAP, MAKEINTRESOURCEW(1), ERROR_RESOURCE_TYPE_NOT_FOUND},
      {res_, u"NOSUCH", MAKEINTRESOURCEW(1), ERROR_RESOURCE_TYPE_NOT_FOUND},
      {res_, RT_RCDATA, MAKEINTRESOURCEW(99), ERROR_RESOURCE_NAME_NOT_FOUND},
      {res_, RT_RCDATA, u"CONFIG", ERROR_RESOURCE_NAME_NOT_FOUND},
      {res_, u"KVDATA", MAKEINTRESOURCEW(1), ERROR_RESOURCE_NAME_NOT_FOUND},
      {res_, u"#12x", MAKEINTRESOURCEW(1), ERROR_RESOURCE_TYPE_NOT_FOUND},
      {userenv, RT_RCDATA, MAKEINTRESOURCEW(1), ERROR_RESOURCE_DATA_NOT_FOUND},
      {NULL, RT_RCDATA, MAKEINTRESOURCEW(1), ERROR_RESOURCE_DATA_NOT_FOUND},
      {res_, nullptr, MAKEINTRESOURCEW(1), ERROR_INVALID_PARAMETER},
  };
  for (const Case &c : cases) {
    SetLastError(0);
    EXPECT_EQ(FindResourceW(c.module, c.name, c.type), nullptr);
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_TRUE(FreeLibrary(userenv));
}

TEST_F(ResourceTest, LanguagesOfAResource)
{
  HMODULE probe = LoadLibraryW(u"kvprobe.dll");
  ASSERT_NE(probe, nullptr);
  const LPCWSTR five = MAKEINTRESOURCEW(5), six = MAKEINTRESOURCEW(6);
  struct Case {
    LPCWSTR name;
    WORD lang;
    std::string bytes;
  } cases[] = {
      {five, 0x0409, "english"},   {five, 0x0407, "deutsch"},
      {five, 0x0000, "english"},    // no neutral one: US English is preferred
      {five, 0x0807, "<missing>"},  // Swiss German: no exact, sub-neutral or neutral entry
      {six, 0x0807, "neutral"},     // the neutral entry serves every language
      {six, 0x0000, "neutral"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.lang);
    EXPECT_EQ(BytesEx(probe, RT_RCDATA, c.name, c.lang), c.bytes);
  }
  SetLastError(0);
  EXPECT_EQ(FindResourceExW(probe, RT_RCDATA, five, 0x0807), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
  EXPECT_EQ(Bytes(probe, RT_RCDATA, five), "english");
  // Strings follow the same preference: English over German.
  EXPECT_EQ(Load(probe, 100), u"Paper");
  HRSRC german = FindResourceExW(probe, RT_STRING, MAKEINTRESOURCEW(100 / 16 + 1), 0x0407);
  ASSERT_NE(german, nullptr);
  EXPECT_NE(german, FindResourceW(probe, MAKEINTRESOURCEW(100 / 16 + 1), RT_STRING));
  // A German user interface prefers the German entries, and English where there is none.
  ASSERT_TRUE(PlatSetLocale(0x0407, 0x0407, 0x0407));
  EXPECT_EQ(Bytes(probe, RT_RCDATA, five), "deutsch");
  EXPECT_EQ(FindResourceW(probe, MAKEINTRESOURCEW(100 / 16 + 1), RT_STRING), german);
  EXPECT_EQ(Load(probe, 100), u"Papier");
  EXPECT_EQ(Load(probe, 7), u"probe string");
  EXPECT_TRUE(FreeLibrary(probe));
}

TEST_F(ResourceTest, ResourceHandlesAreChecked)
{
  HRSRC r = FindResourceW(res_, MAKEINTRESOURCEW(1), RT_RCDATA);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(SizeofResource(res_, r), 6u);
  EXPECT_EQ(SizeofResource(NULL, r), 6u);  // the entry names its module
  HGLOBAL g = LoadResource(res_, r);
  EXPECT_NE(g, nullptr);
  EXPECT_EQ(LockResource(g), g);
  EXPECT_FALSE(FreeResource(g));
  HRSRC fake = reinterpret_cast<HRSRC>(reinterpret_cast<char *>(r) + 1);
  const HRSRC bad[] = {nullptr, fake, reinterpret_cast<HRSRC>(&r)};
  for (HRSRC b : bad) {
    SetLastError(0);
    EXPECT_EQ(SizeofResource(res_, b), 0u);
    EXPECT_EQ(LoadResource(res_, b), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
  EXPECT_EQ(LockResource(nullptr), nullptr);
  // Once the module is unloaded its resource handles are no longer accepted.
  ASSERT_TRUE(FreeLibrary(res_));
  res_ = nullptr;
  EXPECT_EQ(SizeofResource(NULL, r), 0u);
}

// ---------------------------------------------------------------- enumeration

namespace {

struct Seen {
  std::vector<std::string> names;
  size_t stopAfter = 100;
};

BOOL CALLBACK Collect(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param)
{
  auto *seen = reinterpret_cast<Seen *>(param);
  seen->names.push_back(IS_INTRESOURCE(name) ? "#" + std::to_string(LOWORD(reinterpret_cast<uintptr_t>(name)))
                                             : Narrow(name));
  return seen->names.size() < seen->stopAfter;
}

}  // namespace

TEST_F(ResourceTest, EnumResourceNamesListsEachNameOnce)
{
  HMODULE probe = LoadLibraryW(u"kvprobe.dll");
  ASSERT_NE(probe, nullptr);
  struct Case {
    HMODULE module;
    LPCWSTR type;
    std::vector<std::string> names;
  } cases[] = {
      {res_, RT_RCDATA, {"#1", "#2"}},
      {res_, u"kvdata", {"CONFIG"}},
      {res_, RT_STRING, {"#1", "#2", "#7", "#10", "#4096"}},
      {probe, RT_RCDATA, {"#5", "#6"}},  // 5 has two languages
  };
  for (const Case &c : cases) {
    Seen seen;
    EXPECT_TRUE(EnumResourceNamesW(c.module, c.type, Collect, reinterpret_cast<LONG_PTR>(&seen)));
    EXPECT_EQ(seen.names, c.names);
  }
  Seen stop;
  stop.stopAfter = 1;
  SetLastError(0);
  EXPECT_FALSE(EnumResourceNamesW(res_, RT_STRING, Collect, reinterpret_cast<LONG_PTR>(&stop)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_ENUM_USER_STOP));
  EXPECT_EQ(stop.names.size(), 1u);
  Seen none;
  EXPECT_FALSE(EnumResourceNamesW(res_, RT_BITMAP, Collect, reinterpret_cast<LONG_PTR>(&none)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
  EXPECT_TRUE(none.names.empty());
  EXPECT_TRUE(FreeLibrary(probe));
}

// ---------------------------------------------------------------- tables given by the host

namespace {

// Block 1 holds string 0 "Hi" and string 1 claiming 50 characters that are not there.
alignas(8) const BYTE kBlock[] = {2, 0, 'H', 0, 'i', 0, 50, 0, 'x', 0};
const WCHAR kNamed[] = u"HOSTDATA";
const KVRES_ENTRY kEntries[] = {
    {kNamed, nullptr, 0, 3, 0, 0, reinterpret_cast<const BYTE *>("abc"), 3},
    {nullptr, nullptr, 6, 1, 0, 0, kBlock, sizeof kBlock},
};
const KVRES_TABLE kTable = {KVRES_MAGIC, KVRES_VERSION, 2, kEntries};
const KVRES_TABLE kBadMagic = {0x12345678, KVRES_VERSION, 2, kEntries};
const KVRES_TABLE kNoEntries = {KVRES_MAGIC, KVRES_VERSION, 2, nullptr};

}  // namespace

TEST_F(ResourceTest, TheHostCanGiveAModuleItsResources)
{
  ASSERT_TRUE(PlatModuleSetResources(NULL, &kTable));
  EXPECT_EQ(Load(NULL, 0), u"Hi");
  EXPECT_EQ(Bytes(NULL, u"hostdata", MAKEINTRESOURCEW(3)), "abc");
  // A string running past its block is not read.
  EXPECT_EQ(Load(NULL, 1), u"");
  EXPECT_EQ(Load(NULL, 2), u"");
  // Malformed tables are refused; NULL returns to the module's own resources.
  EXPECT_FALSE(PlatModuleSetResources(NULL, &kBadMagic));
  EXPECT_FALSE(PlatModuleSetResources(NULL, &kNoEntries));
  EXPECT_FALSE(PlatModuleSetResources(reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x7F120000)), &kTable));
  ASSERT_TRUE(PlatModuleSetResources(res_, &kTable));
  EXPECT_EQ(Load(res_, 0), u"Hi");
  ASSERT_TRUE(PlatModuleSetResources(res_, nullptr));
  EXPECT_EQ(Load(res_, 100), u"Paper size");
  ASSERT_TRUE(PlatModuleSetResources(NULL, nullptr));
  EXPECT_EQ(Load(NULL, 0), u"");
}
