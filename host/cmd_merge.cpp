// kvmlhost merge PRINTER DEVMODE-FILE [--flags N]: merges a DEVMODE image, as an application
// would pass it, into a driver context of the printer and prints what changed, one line per
// option item:
//   ID <tab> NAME <tab> OLD -> NEW
// (text and block items show "changed" in place of the values), then a summary line. The
// exchange blocks of the private part (the settings request and the capability summary,
// items 606 and 607) are messages between an application and the driver, not settings: a
// merge takes them in with the private part, and they are listed apart and not counted. The
// merge flags default to those of the driver's DEVMODE conversion. The image must hold the
// bytes its own dmSize + dmDriverExtra claim; a shorter file is refused.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "context.h"
#include "context/context_create.h"
#include "devmode/devmode_layout.h"
#include "devmode/dm_merge.h"
#include "host.h"
#include "items/item_store.h"
#include "tables/item_ids.h"
#include "tables/template_tables.h"

namespace host {
namespace {

const char kUsage[] = "merge PRINTER DEVMODE-FILE [--flags N]";

// The bytes of a file on the machine; FALSE with the reason in err.
bool ReadWholeFile(const std::u16string &path, std::vector<BYTE> &bytes, std::string &err)
{
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) {
    err = ErrorText(GetLastError());
    return false;
  }
  DWORD size = GetFileSize(f, NULL);
  if (size == INVALID_FILE_SIZE || size > 0x100000) {
    CloseHandle(f);
    err = "not a DEVMODE image (larger than 1 MB)";
    return false;
  }
  bytes.assign(size, 0);
  DWORD got = 0;
  BOOL ok = size == 0 || ReadFile(f, bytes.data(), size, &got, NULL);
  CloseHandle(f);
  if (!ok || got != size) {
    err = ErrorText(GetLastError());
    return false;
  }
  return true;
}

// A number: decimal, or hexadecimal after 0x; 32 bits.
bool ParseFlags(const std::string &text, DWORD &out)
{
  if (text.empty() || text.size() > 10) return false;
  char *end = nullptr;
  unsigned long long v = strtoull(text.c_str(), &end, 0);
  if (*end != 0 || text[0] == '-' || text[0] == '+' || v > 0xFFFFFFFFull) return false;
  out = static_cast<DWORD>(v);
  return true;
}

bool IsNumber(const OPTION_ITEM *item)
{
  DWORD vt = KvItemValueType(item);
  return !(vt == KV_VT_ANSI || vt == KV_VT_ANSI2 || vt == KV_VT_WTEXT || vt == KV_VT_WTEXT2 || vt == KV_VT_BLOCK ||
           vt == KV_VT_BLOCK2);
}

// One item's state: its value for a number or bit item, its bytes for a text or block item.
struct ItemState {
  LONG value = 0;
  std::vector<BYTE> bytes;
  bool present = false;
};

std::vector<ItemState> Capture(DRIVER_CONTEXT *ctx)
{
  std::vector<ItemState> out(ctx->items->count);
  for (int r = 0; r < ctx->items->count; ++r) {
    const OPTION_ITEM *item = &static_cast<OPTION_ITEM *>(ctx->items->rows)[r];
    const BYTE *p = ItemGetAddress(ctx, item);
    if (p == nullptr) continue;
    out[r].present = true;
    if (IsNumber(item))
      out[r].value = ItemReadRaw(ctx, item);
    else
      out[r].bytes.assign(p, p + KvItemSize(item));
  }
  return out;
}

int Run(const Args &args)
{
  ParsedArgs parsed;
  if (!ParseArgs(args, {{"--flags", true}}, kUsage, parsed)) return 2;
  if (parsed.rest.size() != 2) return UsageError(kUsage, "name a printer and a DEVMODE file");
  DWORD flags = KV_MERGE_FLAGS_CONVERT;
  if (parsed.Has("--flags") && !ParseFlags(parsed.options["--flags"], flags))
    return UsageError(kUsage, "--flags takes a number from 0 to 0xFFFFFFFF");
  if (int rc = RequireMachineRoot()) return rc;
  std::u16string file;
  std::string err;
  const std::string &fileArg = parsed.rest[1];
  if (!FileArgument(fileArg, file, err)) return Fail(fileArg + ": " + err);
  std::vector<BYTE> image;
  if (!ReadWholeFile(file, image, err)) return Fail(fileArg + ": " + err);
  if (image.size() < offsetof(DEVMODEW, dmFields) + sizeof(DWORD))
    return Fail(fileArg + ": too short for a DEVMODE header (" + std::to_string(image.size()) + " bytes)");
  DWORD claimed = DmClaimedExtent(image.data());
  if (claimed > image.size())
    return Fail(fileArg + ": the DEVMODE claims " + std::to_string(claimed) + " bytes, the file holds " +
                std::to_string(image.size()));

  HANDLE printer = NULL;
  DRIVER_CONTEXT *ctx = nullptr;
  if (int rc = OpenPrinterContext(parsed.rest[0], CTX_CREATE_SHEETS, &printer, &ctx)) return rc;
  std::vector<ItemState> before = Capture(ctx);
  int merged = DmMergeIncoming(ctx, image.data(), flags);
  std::vector<ItemState> after = Capture(ctx);
  int changed = 0;
  for (int r = 0; r < ctx->items->count; ++r) {
    const OPTION_ITEM *item = &static_cast<OPTION_ITEM *>(ctx->items->rows)[r];
    if (!before[r].present || !after[r].present) continue;
    bool number = IsNumber(item);
    if (number ? before[r].value == after[r].value : before[r].bytes == after[r].bytes) continue;
    if (item->id == ITEM_kdmKcomMember || item->id == ITEM_kdmKcomCaps) {
      printf("%u\t%s\ttaken in (an exchange block, not a setting)\n", item->id, ItemDisplayName(item).c_str());
      continue;
    }
    ++changed;
    if (number)
      printf("%u\t%s\t%ld -> %ld\n", item->id, ItemDisplayName(item).c_str(), static_cast<long>(before[r].value),
             static_cast<long>(after[r].value));
    else
      printf("%u\t%s\tchanged\n", item->id, ItemDisplayName(item).c_str());
  }
  printf("merged with flags 0x%08lX: %d item%s changed\n", static_cast<unsigned long>(flags), changed,
         changed == 1 ? "" : "s");
  ClosePrinterContext(printer, ctx);
  if (!merged) return Fail("the merge could not allocate its working copy");
  return 0;
}

Registrar reg({"merge", kUsage,
               "Merges a DEVMODE image (as an application passes it to the driver) into a driver context of the\n"
               "printer and prints each option item that changed: ID, name, old and new value (the exchange\n"
               "blocks, items 606 and 607, show as taken in and are not counted). --flags gives the\n"
               "merge flags (default 0x04000008, the DEVMODE conversion's). Nothing is saved.",
               Run});

}  // namespace
}  // namespace host
