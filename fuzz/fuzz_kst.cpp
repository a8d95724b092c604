// Fuzz target: settings-file text through the kst serializer.
//
// Input: byte 0 picks the read flags from the ones the driver uses (low four bits) and
// whether the file is then written back (bit 4); the rest is the file's bytes. A context
// of an installed test printer reads the file into its fresh settings; the write puts its
// section first and must keep every other byte of the old text: the new file is the lines
// in front of every section (which stay in front), the composed section, and the rest of
// the old text without its old section.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

#include "blob/desc_cache.h"
#include "context.h"
#include "context/context_create.h"
#include "files/paths.h"
#include "kvplat/control.h"
#include "kvplat/spool_control.h"
#include "model/model.h"
#include "items/item_store.h"
#include "os/os.h"
#include "store/settings_files.h"
#include "test_printer.h"

namespace {

std::string g_root;
std::string g_file;  // host path of C:\kst\fuzz.kst
const WCHAR *const kWinFile = u"C:\\kst\\fuzz.kst";
HANDLE g_printer = nullptr;
DRIVER_CONTEXT *g_ctx = nullptr;
std::vector<BYTE> g_fresh;

const DWORD kReadFlags[] = {0,    0x4,   0x8004, 0x20004, 0x10,   0x2010, 0x1010, 0x20,
                            0x80, 0x200, 0x8,    0x100,   0x2004, 0x10,   0x4,    0};

void Fail(const char *what)
{
  fprintf(stderr, "fuzz_kst: %s\n", what);
  abort();
}

void ReleaseContext()
{
  if (g_ctx != nullptr) CtxRelease(g_ctx);
}

std::string ReadAll(const std::string &path)
{
  std::string out;
  FILE *f = fopen(path.c_str(), "rb");
  if (f == nullptr) return "<missing>";
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) out.append(buf, n);
  fclose(f);
  return out;
}

void Setup()
{
  g_printer = FuzzInstallTestPrinter("fuzz_kst", {"kst"}, &g_root);
  g_file = g_root + "/C/kst/fuzz.kst";
  atexit(ReleaseContext);
  g_ctx = CtxCreate(g_printer, g_printer, nullptr, CTX_CREATE_SHEETS);
  if (g_ctx == nullptr || g_ctx->work == nullptr) Fail("no context");
  g_fresh.assign(g_ctx->work, g_ctx->work + DmGetWorkBufferSize());
  WCHAR shared[MAX_PATH] = {};
  PathInSharedSettingsDir(shared, MAX_PATH, KST_PRINTER_CONFIG_FILE, g_ctx);
  std::u16string dir(shared);
  CreateDirectoryW(dir.substr(0, dir.rfind(u'\\')).c_str(), nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (g_ctx == nullptr) Setup();
  if (size < 1) return 0;
  DWORD flags = kReadFlags[data[0] & 0x0F];
  bool writeBack = (data[0] & 0x10) != 0;
  std::string old(reinterpret_cast<const char *>(data + 1), size - 1);
  FILE *f = fopen(g_file.c_str(), "wb");
  if (f == nullptr) abort();
  if (!old.empty() && fwrite(old.data(), 1, old.size(), f) != old.size()) abort();
  fclose(f);
  memcpy(g_ctx->work, g_fresh.data(), g_fresh.size());

  if (flags & 0x100)
    StoreReadPrinterConfig(kWinFile, flags & ~0x100u, g_ctx);
  else
    StoreReadSettingsFile(g_printer, kWinFile, flags, g_ctx);
  DWORD status = CtxGetSettingsFileStatus(g_ctx);
  if (status > KST_STATUS_UNREADABLE) Fail("a read left a status of its own");
  if (OsSettingsMutexHeldCount() != 0) Fail("the settings mutex is still held");
  if (!writeBack) return 0;

  // A stamp write: its section is the printer's, and only the version key is in the header.
  if (StoreWriteSettingsFile(g_printer, kWinFile, 0x20, g_ctx) != 1) Fail("the write failed");
  std::string now = ReadAll(g_file);
  // Lines in front of the old text's first section stay in front, ended by a line end.
  size_t lead = 0;
  while (lead < old.size() && old[lead] != '[') {
    size_t eol = old.find('\n', lead);
    lead = eol == std::string::npos ? old.size() : eol + 1;
  }
  std::string front = old.substr(0, lead);
  if (!front.empty() && front.back() != '\n') front += "\r\n";
  if (now.compare(0, front.size(), front) != 0) Fail("the lines in front of every section moved");
  const std::string head = "[KV Test]\r\nKstVersion=314\r\n";
  if (now.compare(front.size(), head.size(), head) != 0) Fail("the written section is not first");
  now.erase(0, front.size());
  old.erase(0, lead);
  // The rest is the old text without the old "[KV Test]" section: every other byte kept.
  size_t end = head.size();
  while (end < now.size() && !(now[end] == '[' && (end == 0 || now[end - 1] == '\n'))) ++end;
  std::string rest = now.substr(end);
  if (rest.size() > old.size()) Fail("the rewrite added text");
  size_t at = 0;
  while (at < rest.size() && at < old.size() && rest[at] == old[at]) ++at;
  size_t tail = 0;
  while (tail < rest.size() - at && rest[rest.size() - 1 - tail] == old[old.size() - 1 - tail]) ++tail;
  if (at + tail < rest.size()) Fail("the rewrite changed other sections");
  return 0;
}
