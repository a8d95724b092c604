// Cache files that must not be used: damaged, cut short, foreign, planted, of the older
// format without a trailer. Each is refused without harm, the text is compiled again and
// the cache file rewritten. Damage is tried twice: as it lies on disk (the checksum
// refuses it) and sealed again with a matching checksum (the validator must refuse it).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "blob/desc_compile.h"
#include "blob/desc_runtime.h"
#include "blob/desc_store.h"
#include "cache_fixture.h"

namespace {

class CacheFaults : public CacheTest {
 protected:
  // Compiles the fixture's text once and keeps the good cache file's bytes.
  void SetUp() override
  {
    CacheTest::SetUp();
    ASSERT_NE(Load(), nullptr);
    good_ = ReadHostFile(CacheHost());
    ASSERT_GT(good_.size(), (size_t)DESC_HEADER_SIZE);
    NewProcess();
  }
  // Puts bytes in place of the cache file, tied to the text by its time.
  void Plant(const std::string &bytes)
  {
    WriteHostFile(CacheHost(), bytes);
    SetWriteTime(CachePath(), WriteTime(TextPath()));
  }
  // Plants bad bytes as the cache file: the reader refuses them, a load compiles the text
  // and rewrites the cache file whole.
  void ExpectRefusedAndRewritten(const std::string &bad);
  std::string good_;
};

void Put32(std::string &b, size_t at, DWORD v)
{
  if (at + 4 <= b.size()) DescSt32(&b[at], 0, v);
}
DWORD Get32(const std::string &b, size_t at) { return DescLd32(b.data(), at); }

struct Mutation {
  const char *name;
  std::function<void(std::string &)> apply;
};

std::vector<Mutation> Mutations()
{
  const size_t total = offsetof(DESC_HEADER, totalSize);
  const size_t items = offsetof(DESC_HEADER, items);
  const size_t rules = offsetof(DESC_HEADER, rules);
  std::vector<Mutation> m = {
      {"empty file", [](std::string &b) { b.clear(); }},
      {"header only", [](std::string &b) { b.resize(DESC_HEADER_SIZE); }},
      {"header only, size field agreeing",
       [=](std::string &b) {
         b.resize(DESC_HEADER_SIZE);
         Put32(b, total, DESC_HEADER_SIZE);
       }},
      {"cut to half", [](std::string &b) { b.resize(b.size() / 2); }},
      {"cut by one byte", [](std::string &b) { b.pop_back(); }},
      // Past the unreferenced command text at the end, into the nodes.
      {"cut into the nodes, size field agreeing",
       [=](std::string &b) {
         b.resize(b.size() - 48);
         Put32(b, total, (DWORD)b.size());
       }},
      {"one byte longer", [](std::string &b) { b.push_back('\0'); }},
      {"size field one more", [=](std::string &b) { Put32(b, total, Get32(b, total) + 1); }},
      {"size field one less", [=](std::string &b) { Put32(b, total, Get32(b, total) - 1); }},
      {"size field huge", [=](std::string &b) { Put32(b, total, 0xFFFFFFF0u); }},
      {"item list past the end", [=](std::string &b) { Put32(b, items, (DWORD)b.size() + 100); }},
      {"item list into the header", [=](std::string &b) { Put32(b, items, 40); }},
      {"item list at the last byte", [=](std::string &b) { Put32(b, items, (DWORD)b.size() - 1); }},
      {"slot out of range", [](std::string &b) { Put32(b, DescSlotOffset(1), 0xFFFFFFF0u); }},
      {"slot of item 7 into its own slot", [](std::string &b) { Put32(b, DescSlotOffset(7), DescSlotOffset(7)); }},
      {"rule block out of range", [=](std::string &b) { Put32(b, rules, 0x7FFFFFFFu); }},
      {"rule block tagged", [=](std::string &b) { Put32(b, rules, DESC_TAG(DESC_HEADER_SIZE)); }},
      {"UI DLL name past the end", [](std::string &b) { Put32(b, offsetof(DESC_HEADER, uiResDllName), 0x10000000u); }},
      {"command group past the end", [](std::string &b) { Put32(b, offsetof(DESC_HEADER, groups), (DWORD)b.size()); }},
      {"font count without list", [](std::string &b) { Put32(b, offsetof(DESC_HEADER, deviceFontCount), 1000000); }},
      {"font list past the end",
       [](std::string &b) {
         Put32(b, offsetof(DESC_HEADER, deviceFontCount), 1);
         Put32(b, offsetof(DESC_HEADER, deviceFonts), 0xFFFFFF00u);
       }},
      {"item node linked to itself",
       [=](std::string &b) {
         DWORD first = Get32(b, items);
         Put32(b, first, first);  // next of the first node
       }},
      {"value list out of range",
       [=](std::string &b) {
         DWORD first = Get32(b, items);
         Put32(b, first + offsetof(DESC_ITEM_NODE, values), 0xFFFFFF00u);
       }},
      {"FileVersion without terminator",
       [](std::string &b) {
         for (int i = 0; i < 16; ++i) {
           b[2 * i] = '7';
           b[2 * i + 1] = 0;
         }
       }},
  };
  // Random bytes after a sound header start: the size field agrees, nothing else does.
  for (unsigned seed = 1; seed <= 4; ++seed) {
    m.push_back({"random bytes", [=](std::string &b) {
                   std::mt19937 rng(seed);
                   for (size_t i = 36; i < b.size(); ++i) b[i] = (char)(rng() & 0xFF);
                 }});
    m.push_back({"random header links", [=](std::string &b) {
                   std::mt19937 rng(seed * 77);
                   for (size_t at = 36; at + 4 <= DESC_HEADER_SIZE; at += 4)
                     if (rng() % 8 == 0) Put32(b, at, (DWORD)(rng() % (b.size() * 2)));
                 }});
  }
  return m;
}

TEST_F(CacheFaults, DamagedCacheFileIsCompiledAgainAndRewritten)
{
  const std::string block = good_.substr(0, good_.size() - DESC_CACHE_TRAILER_SIZE);
  for (const Mutation &mutation : Mutations()) {
    for (bool sealed : {false, true}) {
      SCOPED_TRACE(std::string(mutation.name) + (sealed ? ", sealed again" : ", as damaged"));
      std::string bad = sealed ? block : good_;
      mutation.apply(bad);
      if (sealed) Reseal(bad);
      ASSERT_TRUE(bad != good_);
      ExpectRefusedAndRewritten(bad);
    }
  }
}

// A cache file of the format before the trailer existed (the bare block) is compiled
// again and replaced by one of this format.
TEST_F(CacheFaults, CacheFileOfTheOlderFormatIsCompiledAgain)
{
  ExpectRefusedAndRewritten(good_.substr(0, good_.size() - DESC_CACHE_TRAILER_SIZE));
  std::string otherVersion = good_;
  DescSt32(&otherVersion[good_.size() - DESC_CACHE_TRAILER_SIZE], 4, DESC_CACHE_FORMAT + 1);
  ExpectRefusedAndRewritten(otherVersion);
}

// What a loaded description answers, item by item: type, default, values and their
// commands (the items the fixture's texts name, read through their direct slots).
std::string Describe(const DESC_BLOB *blob)
{
  std::string out;
  for (WORD id : {WORD{7}, WORD{15}}) {
    const BYTE *node = SlotNode(blob, id);
    if (node == nullptr) continue;
    out += "item " + std::to_string(id) + " type " + std::to_string(DESC_FIELD16(node, DESC_ITEM_NODE, type)) +
           " default " + std::to_string(DescGetBlobItemDefault(id, blob)) + ":";
    for (const BYTE *v = DESC_FIELDPTR(node, DESC_ITEM_NODE, values); v != nullptr;
         v = DESC_FIELDPTR(v, DESC_VALUE_NODE, next)) {
      const char *command = (const char *)DESC_FIELDPTR(v, DESC_VALUE_NODE, command);
      out += " " + std::to_string(DESC_FIELD16(v, DESC_VALUE_NODE, valueId)) + "=" + (command ? command : "-");
    }
    out += "\n";
  }
  return out;
}

// Every single flipped bit of a sound cache file is refused by the file check (the
// checksum covers the block and the trailer). Tried in memory over every bit of the file
// after the header, every bit of the trailer and one bit of each header word; through the
// file and a load, with the time reset to the text's, at a spread of positions, where the
// description loaded answers what the text compiles to.
TEST_F(CacheFaults, FlippedBitsAreNeverAccepted)
{
  const DWORD n = (DWORD)good_.size();
  std::vector<DWORD> bits;
  for (DWORD byte = 0; byte < DESC_HEADER_SIZE; byte += 4) bits.push_back(8 * byte + (byte / 4) % 8);
  for (DWORD bit = 8 * DESC_HEADER_SIZE; bit < 8 * n; ++bit) bits.push_back(bit);
  std::string image = good_;
  DWORD accepted = 0;
  for (DWORD bit : bits) {
    image[bit / 8] ^= (char)(1u << (bit % 8));
    DESC_VALIDATE_RESULT why;
    if (DescCheckCacheImage((const BYTE *)image.data(), n, nullptr, &why)) {
      ++accepted;
      ADD_FAILURE() << "bit " << bit << " flipped was accepted";
    }
    image[bit / 8] ^= (char)(1u << (bit % 8));
  }
  EXPECT_EQ(accepted, 0u) << "of " << bits.size() << " flipped bits";
  ASSERT_TRUE(image == good_);
  ASSERT_TRUE(DescCheckCacheImage((const BYTE *)image.data(), n, nullptr, nullptr));

  DESC_BLOB *fromText = Load();
  ASSERT_NE(fromText, nullptr);
  const std::string expected = Describe(fromText);
  ASSERT_NE(expected.find("item 7 "), std::string::npos);
  // Every 67th bit after the header, and the trailer's bits one by one.
  std::vector<DWORD> onDisk;
  for (DWORD bit = 8 * DESC_HEADER_SIZE + 3; bit < 8 * (n - DESC_CACHE_TRAILER_SIZE); bit += 67) onDisk.push_back(bit);
  for (DWORD bit = 8 * (n - DESC_CACHE_TRAILER_SIZE); bit < 8 * n; bit += 5) onDisk.push_back(bit);
  for (DWORD bit : onDisk) {
    SCOPED_TRACE("bit " + std::to_string(bit));
    std::string bad = good_;
    bad[bit / 8] ^= (char)(1u << (bit % 8));
    Plant(bad);
    EXPECT_EQ(DescReadCacheFile(TextPath(), nullptr), nullptr);
    NewProcess();
    DESC_BLOB *blob = Load();
    ASSERT_NE(blob, nullptr);
    EXPECT_EQ(Describe(blob), expected);
    EXPECT_TRUE(ReadHostFile(CacheHost()) == good_) << "the cache file is whole again";
  }
}

void CacheFaults::ExpectRefusedAndRewritten(const std::string &bad)
{
  {
    Plant(bad);
    DWORD size = 1;
    EXPECT_EQ(DescReadCacheFile(TextPath(), &size), nullptr);
    EXPECT_EQ(size, 0u);
    NewProcess();
    DWORD writes = DescCacheFileWriteCount();
    DESC_BLOB *blob = Load();
    ASSERT_NE(blob, nullptr);
    ASSERT_NE(SlotNode(blob, 7), nullptr);
    EXPECT_EQ(DESC_FIELD16(SlotNode(blob, 7), DESC_ITEM_NODE, itemId), 7);
    EXPECT_EQ(DescCacheFileWriteCount(), writes + 1);
    EXPECT_TRUE(ReadHostFile(CacheHost()) == good_) << "the cache file is whole again";
  }
}

TEST_F(CacheFaults, SoundCacheFileIsRead)
{
  Plant(good_);
  DWORD size = 0;
  BYTE *block = DescReadCacheFile(TextPath(), &size);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(size, good_.size() - DESC_CACHE_TRAILER_SIZE);
  EXPECT_EQ(DescLd32(block, offsetof(DESC_HEADER, totalSize)), size);
  EXPECT_TRUE(std::string((const char *)block, size) == good_.substr(0, size))
      << "a copy of the stored form, not relocated";
  GlobalFree(block);
  EXPECT_EQ(DescReadCacheFile(TextPath(), nullptr) != nullptr, true);
}

// A cache file compiled from another description and copied beside this text.
TEST_F(CacheFaults, PlantedCacheFileOfAnotherDescription)
{
  std::u16string other = std::u16string(DriverDir()) + u"\\KVOTHER1.KVD";
  std::u16string otherCache = std::u16string(DriverDir()) + u"\\KVOTHER1.BCS";
  WriteHostFile(HostPath(other.c_str()), kTextColor);
  DESC_BLOB *otherBlob = DescCompile(nullptr, other.c_str(), TRUE);
  ASSERT_NE(otherBlob, nullptr);
  GlobalFree(otherBlob);
  std::string planted = ReadHostFile(HostPath(otherCache.c_str()));
  ASSERT_GT(planted.size(), (size_t)DESC_HEADER_SIZE);
  ASSERT_TRUE(CopyFileW(otherCache.c_str(), CachePath(), FALSE));  // same version, sound block
  DESC_BLOB *blob = Load();
  ASSERT_NE(blob, nullptr);
  EXPECT_NE(SlotNode(blob, 7), nullptr) << "this printer's description";
  EXPECT_EQ(SlotNode(blob, 15), nullptr) << "not the planted one";
  EXPECT_TRUE(ReadHostFile(CacheHost()) == good_);
}

TEST_F(CacheFaults, CacheFileWithoutItsText)
{
  ASSERT_TRUE(DeleteFileW(TextPath()));
  EXPECT_EQ(DescReadCacheFile(TextPath(), nullptr), nullptr);
  EXPECT_EQ(Load(), nullptr);
}

TEST_F(CacheFaults, WriterRefusesBlocksThatWouldNeverBeRead)
{
  std::string header(DESC_HEADER_SIZE, '\0');
  Put32(header, offsetof(DESC_HEADER, totalSize), DESC_HEADER_SIZE);
  EXPECT_FALSE(DescWriteCacheFile(TextPath(), (const BYTE *)header.data()));
  EXPECT_FALSE(DescWriteCacheFile(TextPath(), nullptr));
  EXPECT_TRUE(ReadHostFile(CacheHost()) == good_) << "the existing cache file stays";
  EXPECT_FALSE(DescWriteCacheFile(nullptr, (const BYTE *)good_.data()));
  // A text that does not exist has no time to tie a cache file to.
  std::u16string missing = std::u16string(DriverDir()) + u"\\KVNONE01.KVD";
  EXPECT_FALSE(DescWriteCacheFile(missing.c_str(), (const BYTE *)good_.data()));
  EXPECT_FALSE(HostExists(HostPath((std::u16string(DriverDir()) + u"\\KVNONE01.BCS").c_str())));
}

// The cache file is rewritten whole through a rename: a link in its place (planted by
// anyone who may write the driver folder) is replaced, and the file it pointed at outside
// the machine stays as it was; a folder that leads out of the machine gets nothing.
TEST_F(CacheFaults, CacheFileLinkedOutOfTheMachineIsReplacedNotWrittenThrough)
{
  std::string outside = (std::filesystem::temp_directory_path() / "kvoutside-XXXXXX").string();
  ASSERT_NE(mkdtemp(outside.data()), nullptr);
  WriteHostFile(outside + "/precious.bcs", "precious");
  ASSERT_TRUE(DeleteFileW(CachePath()));
  ASSERT_EQ(0, symlink((outside + "/precious.bcs").c_str(), CacheHost().c_str()));
  EXPECT_TRUE(DescWriteCacheFile(TextPath(), (const BYTE *)good_.data()));
  EXPECT_EQ("precious", ReadHostFile(outside + "/precious.bcs"));
  struct stat st;
  ASSERT_EQ(0, lstat(CacheHost().c_str(), &st));
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_TRUE(ReadHostFile(CacheHost()) == good_);

  // A description whose folder is a link out of the machine: its cache file is not made.
  std::filesystem::copy_file(TextHost(), outside + "/away.kvd");
  ASSERT_EQ(0, symlink(outside.c_str(), HostPath(u"C:\\away").c_str()));
  EXPECT_FALSE(DescWriteCacheFile(u"C:\\away\\away.kvd", (const BYTE *)good_.data()));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_EQ("precious", ReadHostFile(outside + "/precious.bcs"));
  std::vector<std::string> names;
  for (const auto &e : std::filesystem::directory_iterator(outside)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::string>{"away.kvd", "precious.bcs"}), names);
  std::filesystem::remove_all(outside);
}

TEST_F(CacheFaults, DeleteCacheFile)
{
  DescDeleteCacheFile(TextPath());
  EXPECT_FALSE(HostExists(CacheHost()));
  DescDeleteCacheFile(TextPath());  // already gone: ignored
  DescDeleteCacheFile(nullptr);
  EXPECT_TRUE(HostExists(TextHost()));
}

// Condition code with an operator the evaluator does not know fails the block's check, so
// a cache file carrying one is compiled again from the text and rewritten.
TEST_F(CacheTest, CacheFileWithAnUnknownOperatorIsCompiledAgain)
{
  WriteText(std::string(kTextOrientation) +
            "*Judge 1: KPD_RADIOLIST_1 == IDS_ORIENTATION_LANDSCAPE\r\n"
            "*CommandGroup: JobStart { Command: Judge1 { Type: StringType 1 } }\r\n");
  ASSERT_NE(Load(), nullptr);
  const std::string good = ReadHostFile(CacheHost());
  // The judge's code ends "==" END: units {3, 1} {3, 10}.
  const std::string tail("\x03\x00\x01\x00\x03\x00\x0a\x00", 8);
  size_t at = good.find(tail);
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(good.find(tail, at + 1), std::string::npos);
  for (WORD op : {WORD{0}, WORD{11}, WORD{0xFFFF}}) {
    SCOPED_TRACE(op);
    std::string bad = good;
    DescSt16(&bad[at], 2, op);
    Reseal(bad);  // past the checksum: the condition check must refuse it
    WriteHostFile(CacheHost(), bad);
    SetWriteTime(CachePath(), WriteTime(TextPath()));
    EXPECT_EQ(DescReadCacheFile(TextPath(), nullptr), nullptr);
    NewProcess();
    DWORD writes = DescCacheFileWriteCount();
    ASSERT_NE(Load(), nullptr);
    EXPECT_EQ(DescCacheFileWriteCount(), writes + 1);
    EXPECT_TRUE(ReadHostFile(CacheHost()) == good) << "the cache file is whole again";
  }
}

// The cache file carries the text's time as it was read for the compile: a text whose
// time changes while it compiles (here from the compile's own diagnostics) leaves a cache
// file that the next load does not trust.
TEST_F(CacheTest, TextEditedDuringTheCompileLeavesAStaleCacheFile)
{
  WriteText(std::string(kTextOrientation) + "*Judge 1: NoSuchName\r\n");
  const FILETIME before = WriteTime(TextPath());
  struct Editor {
    CacheTest *test;
    FILETIME edited;
    bool done;
  } editor = {this, AddSeconds(before, 10), false};
  DESC_DIAG_SINK sink = {&editor, [](void *user, DWORD, DWORD, const char *) {
                           auto *e = static_cast<Editor *>(user);
                           if (e->done) return;
                           e->done = true;
                           SetWriteTime(e->test->TextPath(), e->edited);
                         }};
  DESC_BLOB *blob = DescCompileEx(nullptr, TextPath(), TRUE, &sink);
  ASSERT_NE(blob, nullptr);
  GlobalFree(blob);
  ASSERT_TRUE(editor.done);
  ASSERT_TRUE(HostExists(CacheHost()));
  FILETIME cacheTime = WriteTime(CachePath()), textTime = WriteTime(TextPath());
  EXPECT_EQ(CompareFileTime(&cacheTime, &before), 0) << "stamped with the time read before the parse";
  EXPECT_NE(CompareFileTime(&cacheTime, &textTime), 0);
  EXPECT_EQ(DescReadCacheFile(TextPath(), nullptr), nullptr);

  // The next load compiles the text again and stamps the text's present time.
  DWORD writes = DescCacheFileWriteCount();
  ASSERT_NE(Load(), nullptr);
  EXPECT_EQ(DescCacheFileWriteCount(), writes + 1);
  cacheTime = WriteTime(CachePath());
  EXPECT_EQ(CompareFileTime(&cacheTime, &textTime), 0);
}

}  // namespace
