// The compile driver: description files on the machine compile into relocated blocks that
// read back as parsed; the cache file is written only when the versions agree; the stored
// form of every fixture and of the sample description passes the validator.
#include <string.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "blob_support.h"
#include "blob/desc_compile.h"
#include "blob/desc_cache.h"
#include "machine_fixture.h"
#include "model/model.h"

namespace {

const char *const kFixtures[] = {"pickone3", "shared_transact", "judges_cmdgroup", "slots_bool_numeric", "no_items"};

std::string ReadSample()
{
  std::ifstream in(std::string(KV_SAMPLE_DIR) + "/KVSAMPLE.KVD", std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

class BlobCompile : public MachineTest {
 protected:
  // Puts description text on the machine and answers its Windows path.
  std::u16string Install(const std::string &name, const std::string &text)
  {
    std::u16string path = U16(("C:\\descs\\" + name).c_str());
    CreateDirectoryW(reinterpret_cast<const WCHAR *>(u"C:\\descs"), NULL);
    WriteHostFile(HostPath(reinterpret_cast<const WCHAR *>(path.c_str())), text);
    return path;
  }
  static const WCHAR *W(const std::u16string &s) { return reinterpret_cast<const WCHAR *>(s.c_str()); }
  bool CacheFileExists(const std::u16string &path)
  {
    WCHAR cache[MAX_PATH];
    if (!DescMakeCachePath(cache, W(path))) return false;
    return HostExists(HostPath(cache));
  }
};

TEST_F(BlobCompile, FixturesCompileAndReadBackAsParsed)
{
  for (const char *name : kFixtures) {
    SCOPED_TRACE(name);
    std::string text = ReadFixture(std::string(name) + ".kvd");
    std::u16string path = Install(std::string(name) + ".kvd", text);
    DESC_BLOB *blob = DescCompile(NULL, W(path), FALSE);
    ASSERT_NE(blob, nullptr);
    DESC_PARSE_STATE *state = ParseText(text);
    ASSERT_NE(state, nullptr);
    std::vector<BYTE> stored = StoreState(state);
    EXPECT_EQ(DESC_FIELD32(blob, DESC_HEADER, totalSize), stored.size());
    ExpectMatchesState(blob, state);
    DescParseStateFree(state);
    GlobalFree(blob);
    EXPECT_FALSE(CacheFileExists(path));
  }
}

TEST_F(BlobCompile, MissingFileGivesNoBlockAndADiagnostic)
{
  std::vector<std::string> messages;
  DESC_DIAG_SINK sink = {&messages, [](void *user, DWORD, DWORD, const char *message) {
                           static_cast<std::vector<std::string> *>(user)->push_back(message);
                         }};
  EXPECT_EQ(DescCompileEx(NULL, reinterpret_cast<const WCHAR *>(u"C:\\descs\\none.kvd"), TRUE, &sink), nullptr);
  EXPECT_FALSE(messages.empty());
  EXPECT_EQ(DescCompile(NULL, NULL, FALSE), nullptr);
}

// Without a context the stored form goes to the cache file; it is the block before
// relocation, byte for byte, and it passes the validator when read back.
TEST_F(BlobCompile, WriteWithoutContextStoresTheStoredForm)
{
  std::string text = ReadFixture("shared_transact.kvd");
  std::u16string path = Install("shared.kvd", text);
  DESC_BLOB *blob = DescCompile(NULL, W(path), TRUE);
  ASSERT_NE(blob, nullptr);
  GlobalFree(blob);
  ASSERT_TRUE(CacheFileExists(path));
  DWORD size = 0;
  BYTE *cached = DescReadCacheFile(W(path), &size);
  ASSERT_NE(cached, nullptr);
  std::vector<BYTE> fromFile(cached, cached + size);
  GlobalFree(cached);
  EXPECT_TRUE(SameBytes(LoadGolden("shared_transact.golden"), fromFile));
}

// With a context, the file is written only when the description's FileVersion equals the
// model's driver version, compared without regard to case.
TEST_F(BlobCompile, WriteWithContextNeedsTheDriverVersion)
{
  struct Case {
    const char *version;
    const char16_t *driverVersion;
    bool written;
  } cases[] = {
      {"1.41", u"1.41", true},
      {"v1.41a", u"V1.41A", true},
      {"1.40", u"1.41", false},
      {"", u"1.41", false},
  };
  int n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.version);
    MODEL_RECORD model = {};
    model.driverVersionText = reinterpret_cast<const WCHAR *>(c.driverVersion);
    DRIVER_CONTEXT ctx = {};
    ctx.model = &model;
    std::u16string path = Install("v" + std::to_string(n++) + ".kvd",
                                  std::string("*FileVersion: ") + c.version + "\n*UIResDLLName: \"x.dll\"\n");
    DESC_BLOB *blob = DescCompile(&ctx, W(path), TRUE);
    ASSERT_NE(blob, nullptr);
    GlobalFree(blob);
    EXPECT_EQ(CacheFileExists(path), c.written);
  }
}

// The sample printer's description compiles, its stored form passes the validator, and
// the relocated block reads back as parsed.
TEST_F(BlobCompile, SampleDescriptionCompilesAndValidates)
{
  std::string text = ReadSample();
  ASSERT_GT(text.size(), 1000u);
  DESC_PARSE_STATE *state = ParseText(text);
  ASSERT_NE(state, nullptr);
  std::vector<BYTE> stored = StoreState(state);
  ASSERT_FALSE(stored.empty());
  DESC_VALIDATE_RESULT why;
  EXPECT_TRUE(DescValidateStored(stored.data(), (DWORD)stored.size(), &why)) << why.offset << ": " << why.reason;
  BYTE *block = static_cast<BYTE *>(GlobalAlloc(GPTR, stored.size()));
  memcpy(block, stored.data(), stored.size());
  ExpectMatchesState(DescRelocate(block), state);
  GlobalFree(block);
  DescParseStateFree(state);

  std::u16string path = Install("KVSAMPLE.KVD", text);
  DESC_BLOB *blob = DescCompile(NULL, W(path), FALSE);
  ASSERT_NE(blob, nullptr);
  EXPECT_EQ(DESC_FIELD32(blob, DESC_HEADER, totalSize), stored.size());
  GlobalFree(blob);
}

// Command blocks nested deeper than the validator accepts are refused by the compiler too,
// so that nothing it writes is refused when read back.
TEST_F(BlobCompile, TooDeeplyNestedCommandsAreRefused)
{
  StateBuilder b;
  DESC_COMMAND_BLOCK *inner = b.New<DESC_COMMAND_BLOCK>();
  inner->thenList = b.Statement(DESC_STMT_FONT);
  for (DWORD level = 1; level <= DESC_MAX_COMMAND_DEPTH; ++level) {
    DESC_STATEMENT_COMMAND *s = reinterpret_cast<DESC_STATEMENT_COMMAND *>(b.Statement(DESC_STMT_COMMAND));
    s->block = inner;
    inner = b.New<DESC_COMMAND_BLOCK>();
    inner->thenList = &s->head;
  }
  b.header()->groups[DESC_GROUP_PAGE_START] = inner;  // DESC_MAX_COMMAND_DEPTH + 1 levels
  EXPECT_EQ(DescComputeSize(b.state()), 0u);
  b.header()->groups[DESC_GROUP_PAGE_START] =
      reinterpret_cast<DESC_STATEMENT_COMMAND *>(inner->thenList)->block;  // one level less
  std::vector<BYTE> stored = StoreState(b.state());
  ASSERT_FALSE(stored.empty());
  DESC_VALIDATE_RESULT why;
  EXPECT_TRUE(DescValidateStored(stored.data(), (DWORD)stored.size(), &why)) << why.offset << ": " << why.reason;
}

// An ElseIf chain is not nesting: a chain longer than the nesting bound is sized, stored,
// accepted by the validator and relocated link by link (none of them recurses per link), and
// reads back as parsed.
TEST(BlobChains, ElseIfChainsLongerThanTheNestingBoundAreStoredAndAccepted)
{
  std::string text =
      "*Judge 1: KPD_RADIOLIST_6 == 1\n*CommandString 1: \"@PJL X\"\n"
      "*CommandGroup: PageStart { Type: FontType Command: Judge1 { Type: StringType 1 }";
  for (DWORD i = 0; i < DESC_MAX_COMMAND_DEPTH + 500; ++i)
    text += " ElseIf: Judge1 { Command: Judge1 { Type: FontType } ElseIf: Judge1 { Type: StringType 1 } }";
  text += " Else { Type: StringType 1 } }\n";
  DESC_PARSE_STATE *state = ParseText(text);
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(0u, state->rejectedLines);
  EXPECT_NE(DescComputeSize(state), 0u);
  std::vector<BYTE> stored = StoreState(state);
  ASSERT_FALSE(stored.empty());
  DESC_VALIDATE_RESULT why;
  EXPECT_TRUE(DescValidateStored(stored.data(), (DWORD)stored.size(), &why)) << why.offset << ": " << why.reason;
  BYTE *copy = static_cast<BYTE *>(GlobalAlloc(GPTR, stored.size()));
  ASSERT_NE(copy, nullptr);
  memcpy(copy, stored.data(), stored.size());
  ExpectMatchesState(DescRelocate(copy), state);
  GlobalFree(copy);
  DescParseStateFree(state);
}

}  // namespace

// Every description fixture of the engine's tests: what the serializer produces from it is
// accepted by the validator and reads back as parsed after relocation.
TEST(BlobFixtures, EveryDescriptionFixtureValidatesAndReadsBack)
{
  int count = 0;
  for (const char *dir : {KV_BLOB_FIXTURES, KV_DESC_FIXTURES}) {
    if (!std::filesystem::is_directory(dir)) continue;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
      std::string ext = entry.path().extension().string();
      if (ext != ".kvd" && ext != ".KVD") continue;
      SCOPED_TRACE(entry.path().string());
      std::ifstream in(entry.path(), std::ios::binary);
      std::stringstream all;
      all << in.rdbuf();
      DESC_PARSE_STATE *state = ParseText(all.str());
      ASSERT_NE(state, nullptr);
      std::vector<BYTE> stored = StoreState(state);
      ASSERT_FALSE(stored.empty());
      DESC_VALIDATE_RESULT why;
      EXPECT_TRUE(DescValidateStored(stored.data(), (DWORD)stored.size(), &why)) << why.offset << ": " << why.reason;
      BYTE *block = static_cast<BYTE *>(GlobalAlloc(GPTR, stored.size()));
      memcpy(block, stored.data(), stored.size());
      ExpectMatchesState(DescRelocate(block), state);
      GlobalFree(block);
      DescParseStateFree(state);
      ++count;
    }
  }
  EXPECT_GE(count, 5);
}
