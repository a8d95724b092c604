// Fixture of the description cache tests: a printer whose data file is a small description
// text in the driver folder, and stand-in contexts that carry only what loading a
// description reads (the printer, the model record with a chosen driver version, and the
// settings-mutex switch).
#pragma once

#include <memory>
#include <string>

#include "context.h"
#include "blob/desc_blob.h"
#include "blob/desc_cache.h"
#include "machine_fixture.h"
#include "model/model.h"

// A context as DescLoadCompiled sees it.
struct LoadContext {
  LoadContext(HANDLE printer, const WCHAR *driverVersion, bool useMutex = true);
  DRIVER_CONTEXT ctx{};
  MODEL_RECORD model{};
  std::unique_ptr<CONTEXT_STATE> state;
};

// Description texts. Each has FileVersion 1.41 unless the name says otherwise.
extern const char kTextOrientation[];  // item 7 (dmOrientation) with two values, a command string
extern const char kTextColor[];        // item 15 (dmColor) with two values
extern const char kTextNoVersion[];    // item 7, no FileVersion line
// The orientation text with another FileVersion.
std::string TextWithVersion(const char *version);

class CacheTest : public MachineTest {
 public:  // open to the workers of the concurrency tests
  void SetUp() override;
  void TearDown() override;

  static const WCHAR *DriverDir() { return u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3"; }
  // Windows paths of the description text and its cache file.
  const WCHAR *TextPath() const { return text_.c_str(); }
  const WCHAR *CachePath() const { return cache_.c_str(); }
  std::string TextHost() const { return HostPath(TextPath()); }
  std::string CacheHost() const { return HostPath(CachePath()); }

  // Writes the description text (host write: a new last-write time).
  void WriteText(const std::string &text) const { WriteHostFile(TextHost(), text); }
  // Last-write time of a Windows path, and setting it (the file's other data stays).
  static FILETIME WriteTime(const WCHAR *path);
  static void SetWriteTime(const WCHAR *path, FILETIME time);
  static FILETIME AddSeconds(FILETIME t, LONGLONG seconds);

  // DescLoadCompiled through a context of the fixture's printer with that driver version.
  DESC_BLOB *Load(const WCHAR *driverVersion = u"1.41", bool useMutex = true);
  // A new process as far as the caches go: the process cache is emptied.
  void NewProcess() { DescFreeCache(); }

  HANDLE printer_ = nullptr;
  std::u16string text_, cache_;
};

// Gives a cache file's bytes a fresh trailer for the block they begin with (the block's
// recorded total size taken as its length), as the writer would: a block changed in place
// then passes the checksum and meets the validator. Bytes too short to hold the header's
// size field stay as they are.
void Reseal(std::string &file);

// The item node of an ID in a relocated blob (its direct slot), or NULL.
const BYTE *SlotNode(const DESC_BLOB *blob, WORD itemId);
