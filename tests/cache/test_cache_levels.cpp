// DescLoadCompiled: the process cache, the cache file and the text, staleness by time and
// by version, and a cache location that cannot be written.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include "cache_fixture.h"
#include "kvplat/control.h"
#include "kvplat/spool_control.h"
#include "os/os.h"

namespace {

using CacheLevels = CacheTest;

TEST_F(CacheLevels, TextThenProcessCacheThenCacheFile)
{
  // Level 3: nothing cached; the text is compiled and the cache file written.
  DWORD writes = DescCacheFileWriteCount();
  DESC_BLOB *first = Load();
  ASSERT_NE(first, nullptr);
  EXPECT_NE(SlotNode(first, 7), nullptr);
  EXPECT_EQ(DescCacheFileWriteCount(), writes + 1);
  ASSERT_TRUE(HostExists(CacheHost()));
  std::string stored = ReadHostFile(CacheHost());
  EXPECT_EQ(stored.size(), DescLd32(stored.data(), offsetof(DESC_HEADER, totalSize)) + DESC_CACHE_TRAILER_SIZE);
  FILETIME cacheTime = WriteTime(CachePath()), textTime = WriteTime(TextPath());
  EXPECT_EQ(CompareFileTime(&cacheTime, &textTime), 0) << "the cache file carries the text's time";

  // Level 1: the same blob from the process cache, even when the text changes on disk.
  WriteText(kTextColor);
  EXPECT_EQ(Load(), first);
  EXPECT_EQ(DescCacheFileWriteCount(), writes + 1);

  // Level 2: a new process reads the cache file. The text now holds the colour item but
  // keeps the time the cache file was made for, so only the cache file can give item 7.
  SetWriteTime(TextPath(), cacheTime);
  NewProcess();
  DESC_BLOB *fromFile = Load();
  ASSERT_NE(fromFile, nullptr);
  EXPECT_NE(SlotNode(fromFile, 7), nullptr);
  EXPECT_EQ(SlotNode(fromFile, 15), nullptr);
  EXPECT_EQ(DescCacheFileWriteCount(), writes + 1) << "nothing compiled";
  EXPECT_TRUE(ReadHostFile(CacheHost()) == stored);
}

TEST_F(CacheLevels, FileHitIsRelocatedLikeACompile)
{
  DESC_BLOB *compiled = Load();
  ASSERT_NE(compiled, nullptr);
  const BYTE *node = SlotNode(compiled, 7);
  ASSERT_NE(node, nullptr);
  WORD key = DESC_FIELD16(node, DESC_ITEM_NODE, key);
  NewProcess();
  DESC_BLOB *loaded = Load();
  ASSERT_NE(loaded, nullptr);
  const BYTE *again = SlotNode(loaded, 7);
  ASSERT_NE(again, nullptr);
  // Links are pointers into the loaded block.
  const BYTE *base = (const BYTE *)loaded;
  DWORD size = DescLd32(loaded, offsetof(DESC_HEADER, totalSize));
  EXPECT_GE(again, base + DESC_HEADER_SIZE);
  EXPECT_LT(again, base + size);
  EXPECT_EQ(DESC_FIELD16(again, DESC_ITEM_NODE, itemId), 7);
  EXPECT_EQ(DESC_FIELD16(again, DESC_ITEM_NODE, key), key);
  const BYTE *values = DESC_FIELDPTR(again, DESC_ITEM_NODE, values);
  ASSERT_NE(values, nullptr);
  EXPECT_GE(values, base);
  EXPECT_LT(values, base + size);
}

// The cache file's time against the text's: only equal times tie them together.
TEST_F(CacheLevels, StalenessByTime)
{
  struct Case {
    const char *name;
    LONGLONG cacheMinusText;  // seconds
    bool used;
  };
  const Case cases[] = {
      {"same time: used", 0, true},
      {"text one second newer: recompiled", -1, false},
      {"cache file one second newer: recompiled", 1, false},
      {"text a day newer: recompiled", -86400, false},
  };
  ASSERT_NE(Load(), nullptr);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    NewProcess();
    WriteText(kTextOrientation);
    ASSERT_NE(Load(), nullptr);  // fresh cache file for the fresh text
    NewProcess();
    FILETIME text = WriteTime(TextPath());
    SetWriteTime(CachePath(), AddSeconds(text, c.cacheMinusText));
    DWORD writes = DescCacheFileWriteCount();
    DESC_BLOB *blob = Load();
    ASSERT_NE(blob, nullptr);
    EXPECT_NE(SlotNode(blob, 7), nullptr);
    EXPECT_EQ(DescCacheFileWriteCount(), writes + (c.used ? 0 : 1));
    FILETIME cache = WriteTime(CachePath());
    EXPECT_EQ(CompareFileTime(&cache, &text), 0) << "a rewrite carries the text's time again";
  }
}

TEST_F(CacheLevels, EditedTextIsRecompiled)
{
  ASSERT_NE(Load(), nullptr);
  NewProcess();
  WriteText(kTextColor);
  SetWriteTime(TextPath(), AddSeconds(WriteTime(CachePath()), 2));
  DESC_BLOB *blob = Load();
  ASSERT_NE(blob, nullptr);
  EXPECT_EQ(SlotNode(blob, 7), nullptr);
  EXPECT_NE(SlotNode(blob, 15), nullptr);
}

TEST_F(CacheLevels, CacheFileOfAnOlderVersionIsReplaced)
{
  // A cache file compiled from the text when it said 1.40, tied to the current text.
  WriteText(TextWithVersion("1.40"));
  ASSERT_NE(Load(u"1.40"), nullptr);
  ASSERT_TRUE(HostExists(CacheHost()));
  FILETIME t = WriteTime(TextPath());
  WriteText(kTextOrientation);
  SetWriteTime(TextPath(), t);
  NewProcess();
  DWORD writes = DescCacheFileWriteCount();
  DESC_BLOB *blob = Load(u"1.41");
  ASSERT_NE(blob, nullptr);
  EXPECT_EQ(std::u16string(blob->header.fileVersion), u"1.41");
  EXPECT_EQ(DescCacheFileWriteCount(), writes + 1);
  std::string stored = ReadHostFile(CacheHost());
  ASSERT_GT(stored.size(), 8u);
  EXPECT_EQ(stored.substr(0, 8), std::string("1\0.\0"
                                             "4\0"
                                             "1\0",
                                             8));
}

TEST_F(CacheLevels, VersionsCompareWithoutCase)
{
  WriteText(TextWithVersion("v1.41a"));
  ASSERT_NE(Load(u"V1.41A"), nullptr);
  EXPECT_TRUE(HostExists(CacheHost()));
  NewProcess();
  DWORD writes = DescCacheFileWriteCount();
  ASSERT_NE(Load(u"V1.41A"), nullptr);
  EXPECT_EQ(DescCacheFileWriteCount(), writes) << "the cache file was used";
}

TEST_F(CacheLevels, TextOfAnotherDriverVersionIsNeverCached)
{
  ASSERT_NE(Load(u"1.41"), nullptr);
  ASSERT_TRUE(HostExists(CacheHost()));
  // A driver of version 2.00 meets text and cache file of 1.41: the cache file goes, and
  // every new process compiles the text again without writing one.
  for (int process = 0; process < 3; ++process) {
    SCOPED_TRACE(process);
    NewProcess();
    DWORD writes = DescCacheFileWriteCount();
    DESC_BLOB *blob = Load(u"2.00");
    ASSERT_NE(blob, nullptr);
    EXPECT_NE(SlotNode(blob, 7), nullptr);
    EXPECT_FALSE(HostExists(CacheHost()));
    EXPECT_EQ(DescCacheFileWriteCount(), writes);
  }
}

TEST_F(CacheLevels, TextWithoutVersionIsCompiledButNotCached)
{
  ASSERT_NE(Load(), nullptr);  // a cache file from an earlier text
  ASSERT_TRUE(HostExists(CacheHost()));
  FILETIME t = WriteTime(TextPath());
  WriteText(kTextNoVersion);
  SetWriteTime(TextPath(), t);
  NewProcess();
  DESC_BLOB *blob = Load();
  ASSERT_NE(blob, nullptr);
  EXPECT_NE(SlotNode(blob, 7), nullptr);
  EXPECT_EQ(blob->header.fileVersion[0], 0);
  EXPECT_FALSE(HostExists(CacheHost())) << "the cache file of the old text is deleted";
  NewProcess();
  ASSERT_NE(Load(), nullptr);
  EXPECT_FALSE(HostExists(CacheHost())) << "and none is written";
}

TEST_F(CacheLevels, MissingOrUnreadableTextGivesNothing)
{
  ASSERT_TRUE(DeleteFileW(TextPath()));
  EXPECT_EQ(Load(), nullptr);
  EXPECT_EQ(g_descProcessCache, nullptr) << "nothing cached, so the next context tries again";
  EXPECT_EQ(OsSettingsMutexHeldCount(), 0u);
  WriteText(kTextOrientation);
  EXPECT_NE(Load(), nullptr);
  EXPECT_EQ(OsSettingsMutexHeldCount(), 0u);
  EXPECT_EQ(DescLoadCompiled(nullptr), nullptr);
}

TEST_F(CacheLevels, ContextWithoutMutexLoadsToo)
{
  DESC_BLOB *blob = Load(u"1.41", false);
  ASSERT_NE(blob, nullptr);
  EXPECT_EQ(OsSettingsMutexHeldCount(), 0u);
  EXPECT_EQ(Load(u"1.41", true), blob);
  EXPECT_EQ(OsSettingsMutexHeldCount(), 0u);
}

// A cache location that cannot be written: the description still loads, no cache file or
// temporary file stays behind, and the next process compiles again.
TEST_F(CacheLevels, CacheFileThatCannotBeWritten)
{
  struct Case {
    const char *name;
    bool folder;  // a folder stands where the cache file goes; else the write fails
  };
  const Case cases[] = {{"write fault", false}, {"cache path is a folder", true}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    NewProcess();
    if (c.folder)
      ASSERT_TRUE(CreateDirectoryW(CachePath(), nullptr));
    else
      PlatFaultArm(PLAT_FAULT_FILE_WRITE, 1);
    DWORD writes = DescCacheFileWriteCount();
    DESC_BLOB *blob = Load();
    ASSERT_NE(blob, nullptr);
    EXPECT_NE(SlotNode(blob, 7), nullptr);
    EXPECT_EQ(DescCacheFileWriteCount(), writes);
    PlatFaultDisarmAll();
    WIN32_FIND_DATAW fd;
    std::u16string pattern = std::u16string(DriverDir()) + u"\\KVCACHE1.BCS~*";
    HANDLE find = FindFirstFileW(pattern.c_str(), &fd);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "a temporary file stayed: " << Narrow(fd.cFileName);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    RemoveDirectoryW(CachePath());
  }
}

TEST_F(CacheLevels, ReadOnlyStaleCacheFileIsLeftAndBypassed)
{
  ASSERT_NE(Load(), nullptr);
  NewProcess();
  WriteText(kTextColor);  // newer text
  ASSERT_TRUE(SetFileAttributesW(CachePath(), FILE_ATTRIBUTE_READONLY));
  std::string old = ReadHostFile(CacheHost());
  for (int process = 0; process < 2; ++process) {
    SCOPED_TRACE(process);
    NewProcess();
    DESC_BLOB *blob = Load();
    ASSERT_NE(blob, nullptr);
    EXPECT_NE(SlotNode(blob, 15), nullptr) << "compiled from the text";
    EXPECT_TRUE(ReadHostFile(CacheHost()) == old);
  }
  SetFileAttributesW(CachePath(), FILE_ATTRIBUTE_NORMAL);
}

// A description path under 12 characters has no cache key; loading it again reuses its
// process-cache node instead of adding one at every load.
TEST_F(CacheLevels, ShortPathIsLoadedOnceIntoTheProcessCache)
{
  PLAT_DRIVER_SETUP d = {};
  d.name = u"KV Short Driver";
  d.driverFile = u"kvmldraw.dll";
  d.dataFile = u"C:\\K.KVD";  // kept as written: a full path
  d.configFile = u"kvmlface.dll";
  ASSERT_TRUE(PlatSpoolAddDriver(&d));
  PLAT_PRINTER_SETUP p = {};
  p.printerName = u"KV Short";
  p.driverName = u"KV Short Driver";
  ASSERT_TRUE(PlatSpoolAddPrinter(&p));
  WCHAR name[] = u"KV Short";
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterW(name, &printer, &defaults)) << GetLastError();
  WriteHostFile(HostPath(u"C:\\K.KVD"), kTextOrientation);

  auto nodes = [] {
    int n = 0;
    for (const DESC_CACHE_NODE *node = g_descProcessCache; node != nullptr; node = node->next) ++n;
    return n;
  };
  LoadContext c(printer, u"1.41");
  DESC_BLOB *first = DescLoadCompiled(&c.ctx);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(nodes(), 1);
  DWORD writes = DescCacheFileWriteCount();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(DescLoadCompiled(&c.ctx), first);
  EXPECT_EQ(nodes(), 1);
  EXPECT_EQ(DescCacheFileWriteCount(), writes) << "nothing compiled again";
  ClosePrinter(printer);
}

// A process-cache hit answers without asking the spooler while nothing changed, yet follows
// every change of which file the printer's description is: the driver's record replaced
// here or by another process, and the printer moved to another driver by another process.
// A second handle of the same printer finds the same blob.
TEST_F(CacheLevels, ProcessCacheHitFollowsTheDriversDescriptionFile)
{
  auto setDriver = [](const char16_t *driver, const char16_t *dataFile) {
    PLAT_DRIVER_SETUP d = {};
    d.name = driver;
    d.driverFile = u"kvmldraw.dll";
    d.dataFile = dataFile;
    d.configFile = u"kvmlface.dll";
    return PlatSpoolAddDriver(&d) != FALSE;
  };
  WriteHostFile(HostPath(u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\KVCACHE2.KVD"), kTextColor);
  DESC_BLOB *first = Load();
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(Load(), first);
  ASSERT_NE(SlotNode(first, 7), nullptr);

  ASSERT_TRUE(setDriver(u"KV Cache Driver", u"KVCACHE2.KVD"));
  DESC_BLOB *second = Load();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_NE(SlotNode(second, 15), nullptr);
  EXPECT_EQ(Load(), second);

  ASSERT_TRUE(InChildProcess([&] { return setDriver(u"KV Cache Driver", u"KVCACHE1.KVD"); }));
  EXPECT_EQ(Load(), first) << "the driver's record changed in another process";

  ASSERT_TRUE(setDriver(u"KV Other Driver", u"KVCACHE2.KVD"));
  ASSERT_TRUE(InChildProcess([] {
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(u"KV Cache"), &h, &defaults)) return false;
    DWORD needed = 0;
    GetPrinterW(h, 2, nullptr, 0, &needed);
    std::vector<BYTE> buf(needed ? needed : 1);
    if (!GetPrinterW(h, 2, buf.data(), needed, &needed)) return false;
    PRINTER_INFO_2W in = *reinterpret_cast<PRINTER_INFO_2W *>(buf.data());
    in.pDriverName = const_cast<LPWSTR>(u"KV Other Driver");
    return SetPrinterW(h, 2, reinterpret_cast<BYTE *>(&in), 0) != FALSE;
  }));
  EXPECT_EQ(Load(), second) << "the printer uses another driver, set by another process";

  HANDLE other = nullptr;
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_USE};
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"KV Cache"), &other, &defaults));
  LoadContext viaOther(other, u"1.41");
  EXPECT_EQ(DescLoadCompiled(&viaOther.ctx), second);
  EXPECT_EQ(Load(), second);
  ClosePrinter(other);
}

}  // namespace
