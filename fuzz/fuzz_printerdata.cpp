// Fuzz target: printer data as another program, an older driver or a damaged registry may
// have left it.
//
// The input is a list of records, each one value of the printer's data: two bytes pick
// the value's name (from the names the driver reads: its printer-data items, font lists
// and tables and setting values), one byte its type (binary, DWORD, string or another
// type) and one byte its length; the data follows (a record cut short by the end of the
// input keeps what is there). The values are stored on the test printer, whose
// description is the sample's; a fresh context then loads them, every item is read, and
// the context's DEVMODE is merged and checked against the description as a conversion does.
// Afterwards every value of those names is deleted (the context may have stored some of its
// own), so that each input starts from the printer as installed. The context must be created whatever the data holds, and the merge must
// succeed.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "blob/desc_cache.h"
#include "context.h"
#include "context/context_create.h"
#include "devmode/dm_merge.h"
#include "files/paths.h"
#include "items/item_store.h"
#include "model/model.h"
#include "store/font_lists.h"
#include "os/printer_data.h"
#include "test_printer.h"

namespace {

std::string g_root;
HANDLE g_printer = nullptr;
std::vector<std::u16string> g_names;  // the names a record can pick
long g_contexts = 0;                  // inputs that reached a context

const DWORD kTypes[] = {REG_BINARY, REG_DWORD, REG_SZ, REG_MULTI_SZ, REG_EXPAND_SZ, REG_QWORD, REG_NONE, 0x7F};

void Fail(const char *what)
{
  fprintf(stderr, "fuzz_printerdata: %s\n", what);
  abort();
}

void Report() { fprintf(stderr, "fuzz_printerdata: %ld contexts made\n", g_contexts); }

void AddName(const char16_t *name)
{
  for (const std::u16string &known : g_names)
    if (known == name) return;
  g_names.emplace_back(name);
}

// Names with a number in them: the first few numbers.
void AddNumbered(const char16_t *pattern)
{
  for (int i = 0; i < 4; ++i) {
    WCHAR name[64];
    wsprintfW(name, pattern, i);
    AddName(name);
  }
}

void Setup()
{
  g_printer = FuzzInstallTestPrinter("fuzz_printerdata", {"sample"}, &g_root);
  atexit(Report);
  // The printer's description is the sample's: the process cache answers it for the
  // driver's data file.
  struct DESC_BLOB *sample = FuzzCompileSample(g_root, KV_SAMPLE_DIR "/KVSAMPLE.KVD");
  WCHAR *path = PathGetDriverDataFile(g_printer);
  if (sample == nullptr || path == nullptr) Fail("the sample description does not compile");
  DescFreeCache();
  if (!DescCacheAdd(sample, path)) Fail("the sample description cannot be cached");
  GlobalFree(path);

  DRIVER_CONTEXT *ctx = CtxCreate(g_printer, g_printer, nullptr, CTX_CREATE_SHEETS);
  if (ctx == nullptr || ctx->items == nullptr) Fail("no context on the installed printer");
  const OPTION_ITEM *rows = static_cast<const OPTION_ITEM *>(ctx->items->rows);
  for (int r = 0; r < ctx->items->count; ++r)
    if (rows[r].storageClass == 1 && rows[r].key != nullptr) AddName(rows[r].key);
  CtxRelease(ctx);
  CtxExpireCache(1);
  for (const char16_t *name : {KV_PD_DEVICE_FONT_NUM, KV_PD_DEVICE_FONT, KV_PD_OPTION_FONT_NUM, KV_PD_OPTION_FONT,
                               KV_PD_FONT_TABLE_NUM, KV_PD_LAST_FONT_TABLE_NUM, KV_PD_DEF_FONT_TABLE_NUM})
    AddName(name);
  for (const char16_t *pattern :
       {KV_PD_TT_FONT_TABLE, KV_PD_DEV_FONT_TABLE, KV_PD_TT_FONT_DEF_TABLE, KV_PD_DEV_FONT_DEF_TABLE})
    AddNumbered(pattern);
  for (const char16_t *name : {KV_PD_HELP_FILE_NAME, KV_PD_ED_FILE_NAME, KV_PD_PERMISSION, KV_PD_BIDI_FLAG})
    AddName(name);
  AddName(u"AdminChange");
  if (g_names.size() < 8) Fail("too few printer-data names");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (g_printer == nullptr) Setup();
  for (size_t at = 0; at + 4 <= size;) {
    const std::u16string &name = g_names[(data[at] | data[at + 1] << 8) % g_names.size()];
    DWORD type = kTypes[data[at + 2] & 7];
    DWORD length = data[at + 3];
    at += 4;
    if (length > size - at) length = (DWORD)(size - at);
    std::vector<BYTE> bytes(data + at, data + at + length);
    at += length;
    SetPrinterDataW(g_printer, const_cast<LPWSTR>(name.c_str()), type, bytes.empty() ? nullptr : bytes.data(), length);
  }

  CtxExpireCache(1);
  DRIVER_CONTEXT *ctx = CtxCreate(g_printer, g_printer, nullptr, CTX_CREATE_SHEETS);
  if (ctx == nullptr) Fail("stored printer data stopped a context");
  ++g_contexts;
  const OPTION_ITEM *rows = static_cast<const OPTION_ITEM *>(ctx->items->rows);
  for (int r = 0; r < ctx->items->count; ++r) ItemGetValue(ctx, rows[r].id, nullptr);
  if (DmMergeIncoming(ctx, nullptr, KV_MERGE_FLAGS_CONVERT) != 1) Fail("the merge failed");
  CtxRelease(ctx);
  CtxExpireCache(1);

  for (const std::u16string &name : g_names) DeletePrinterDataW(g_printer, const_cast<LPWSTR>(name.c_str()));
  return 0;
}
