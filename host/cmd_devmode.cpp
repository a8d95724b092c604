// kvmlhost devmode PRINTER [--hex] [--kind N]: the printer's DEVMODE as the driver sees it:
// the printer's stored default when the spooler holds one of the driver's sizes (the user's
// own before the one for all users), else the one a fresh driver context holds; with --kind
// N the DEVMODE a driver context opened with that load kind builds. It prints the public
// fields by name, the private header with the format checks, and every private item with
// its name and value:
//   OFFSET <tab> ID <tab> NAME <tab> VALUE
// With --hex a hexadecimal dump of the 1236 bytes follows.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "context.h"
#include "context/context_create.h"
#include "devmode/devmode_header.h"
#include "devmode/devmode_layout.h"
#include "devmode/devmode_printer_default.h"
#include "host.h"
#include "os/os.h"
#include "tables/template_tables.h"

namespace host {
namespace {

// 8-bit text of a fixed field, up to its terminator, with other than printable ASCII as \xNN.
std::string AnsiText(const BYTE *p, DWORD size)
{
  std::string out = "\"";
  for (DWORD i = 0; i < size && p[i] != 0; ++i) {
    char buf[8];
    if (p[i] >= 0x20 && p[i] < 0x7F && p[i] != '"' && p[i] != '\\') {
      out += static_cast<char>(p[i]);
    } else {
      snprintf(buf, sizeof buf, "\\x%02X", p[i]);
      out += buf;
    }
  }
  return out + "\"";
}

std::string WideText(const BYTE *p, DWORD size)
{
  std::u16string s;
  for (DWORD i = 0; i + 1 < size; i += 2) {
    char16_t c = static_cast<char16_t>(DmReadLe16(p + i));
    if (c == 0) break;
    s += c;
  }
  return "\"" + Narrow(s) + "\"";
}

std::string Hex(const BYTE *p, DWORD size)
{
  std::string out;
  for (DWORD i = 0; i < size; ++i) {
    char buf[4];
    snprintf(buf, sizeof buf, "%02X", p[i]);
    out += buf;
  }
  return out;
}

}  // namespace

std::string DevmodeItemValue(const BYTE *dm, const OPTION_ITEM *item)
{
  const BYTE *p = dm + item->offset;
  DWORD size = KvItemSize(item);
  DWORD vt = KvItemValueType(item);
  if (KvItemIsBit(item)) {
    DWORD word = size == 1 ? p[0] : size == 2 ? DmReadLe16(p) : DmReadLe32(p);
    return std::to_string((word >> (vt - KV_VT_BIT0)) & 1);
  }
  switch (vt) {
    case KV_VT_S8: return std::to_string(static_cast<signed char>(p[0]));
    case KV_VT_U8: return std::to_string(p[0]);
    case KV_VT_S16: return std::to_string(static_cast<SHORT>(DmReadLe16(p)));
    case KV_VT_U16: return std::to_string(DmReadLe16(p));
    case KV_VT_S32: return std::to_string(static_cast<LONG>(DmReadLe32(p)));
    case KV_VT_U32: return std::to_string(DmReadLe32(p));
    case KV_VT_ANSI:
    case KV_VT_ANSI2: return AnsiText(p, size);
    case KV_VT_WTEXT:
    case KV_VT_WTEXT2: return WideText(p, size);
    default: break;
  }
  for (DWORD i = 0; i < size; ++i)
    if (p[i] != 0) return Hex(p, size);
  return std::to_string(size) + " bytes of 0";
}

namespace {

void PrintItems(const BYTE *dm, bool privatePart)
{
  for (int i = 0; i < g_kvOptionItemCount; ++i) {
    const OPTION_ITEM *item = &g_kvOptionItems[i];
    if (KvItemBlock(item) != KV_BLOCK_DEVMODE) continue;
    if ((item->offset >= KV_DM_PUBLIC_SIZE) != privatePart) continue;
    if (item->offset + KvItemSize(item) > KV_DM_TOTAL_SIZE) continue;
    printf("%u\t%u\t%s\t%s\n", static_cast<unsigned>(item->offset), static_cast<unsigned>(item->id),
           ItemDisplayName(item).c_str(), DevmodeItemValue(dm, item).c_str());
  }
}

const char *YesNo(int v) { return v ? "yes" : "no"; }

void PrintHeader(const BYTE *dm)
{
  printf("private header:\n");
  printf("%u\tmodel tag\t%s\n", static_cast<unsigned>(KV_DM_MODEL_TAG), AnsiText(dm + KV_DM_MODEL_TAG, 4).c_str());
  printf("%u\tsignature\t%s (0x%08X)\n", static_cast<unsigned>(KV_DM_PRIV_SIGNATURE),
         AnsiText(dm + KV_DM_PRIV_SIGNATURE, 4).c_str(), static_cast<unsigned>(DmReadLe32(dm + KV_DM_PRIV_SIGNATURE)));
  printf("%u\tprivate size\t%u\n", static_cast<unsigned>(KV_DM_PRIV_SIZE),
         static_cast<unsigned>(DmReadLe32(dm + KV_DM_PRIV_SIZE)));
  printf("%u\tprivate version\t%u\n", static_cast<unsigned>(KV_DM_PRIV_VERSION),
         static_cast<unsigned>(DmReadLe32(dm + KV_DM_PRIV_VERSION)));
  printf("%u\tblock offsets\t%u %u %u\n", static_cast<unsigned>(KV_DM_BLOCK1_OFFSET),
         static_cast<unsigned>(DmReadLe16(dm + KV_DM_BLOCK1_OFFSET)),
         static_cast<unsigned>(DmReadLe16(dm + KV_DM_CONFIG_OFFSET)),
         static_cast<unsigned>(DmReadLe16(dm + KV_DM_WORK_OFFSET)));
  printf("checks: current format %s, same model %s, same model and size %s\n", YesNo(DmCheckPrivateHeader(dm)),
         YesNo(DmCheckModel(dm)), YesNo(DmCheckModelAndSize(dm)));
}

void PrintHexDump(const BYTE *dm)
{
  printf("hex:\n");
  for (DWORD at = 0; at < KV_DM_TOTAL_SIZE; at += 16) {
    DWORD n = KV_DM_TOTAL_SIZE - at < 16 ? KV_DM_TOTAL_SIZE - at : 16;
    printf("%04X ", static_cast<unsigned>(at));
    for (DWORD i = 0; i < n; ++i) printf(" %02X", dm[at + i]);
    printf("\n");
  }
}

const char kUsage[] = "devmode PRINTER [--hex] [--kind N]";

// What each load kind builds (the low byte of the context's open mode).
const char *const kKindWords[] = {
    "a full open: the stored default, else the defaults, then the stored settings",
    "printer initialization: the stored default with its derived items refreshed, else the defaults",
    "an open without the driver name: the stored default, else the defaults",
    "printer set-up: the defaults, then the stored default only when its header passes in full",
};

// Which stored default the driver takes for a context: the user's own, else the one for
// all users, when of the driver's sizes.
enum StoredDefault { kStoredNone, kStoredOther, kStoredUser, kStoredGlobal };

// The stored default the driver takes, copied into the context's DEVMODE when copy is set.
StoredDefault FindStoredDefault(HANDLE printer, DRIVER_CONTEXT *ctx, bool copy)
{
  if (!OsPrinterHasDefaultDevmode(printer)) return kStoredNone;
  std::vector<BYTE> keep(CtxGetDevmode(ctx), CtxGetDevmode(ctx) + KV_DM_TOTAL_SIZE);
  StoredDefault found = kStoredOther;
  if (DmCopyPrinterDefaultOf(ctx, KV_STORED_DEVMODE_USER))
    found = kStoredUser;
  else if (DmCopyPrinterDefaultOf(ctx, KV_STORED_DEVMODE_GLOBAL))
    found = kStoredGlobal;
  if (!copy) memcpy(CtxGetDevmode(ctx), keep.data(), KV_DM_TOTAL_SIZE);
  return found;
}

// The first line's words for the DEVMODE shown, and the stored default beside a load kind.
const char *const kShownWords[] = {
    "a fresh driver context's (the printer has no stored default)",
    "a fresh driver context's (the stored default is not of the driver's sizes)",
    "the user's own stored default",
    "the printer's stored default for all users",
};
const char *const kStoredWords[] = {"none", "not of the driver's sizes", "the user's own", "the one for all users"};

int RunDevmode(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {{"--hex", false}, {"--kind", true}}, kUsage, parsed)) return 2;
  if (parsed.rest.size() != 1) return UsageError(kUsage, parsed.rest.empty() ? "name a printer" : "one printer only");
  int kind = -1;
  if (parsed.Has("--kind")) {
    const std::string &k = parsed.options["--kind"];
    if (k.size() != 1 || k[0] < '0' || k[0] > '3') return UsageError(kUsage, "--kind takes a load kind from 0 to 3");
    kind = k[0] - '0';
  }
  if (int rc = RequireMachineRoot()) return rc;
  const std::string &name = parsed.rest[0];
  HANDLE printer = NULL;
  DRIVER_CONTEXT *ctx = nullptr;
  if (kind < 0) {
    if (int rc = OpenPrinterContext(name, CTX_CREATE_DOCPROPS, &printer, &ctx)) return rc;
  } else if (int rc = OpenPrinterContextOfKind(name, static_cast<WORD>(kind), CTX_CREATE_DOCPROPS, &printer, &ctx)) {
    return rc;
  }
  const BYTE *dm = CtxGetDevmode(ctx);
  if (kind < 0) {
    printf("DEVMODE of printer \"%s\": %s, %u bytes\n", name.c_str(),
           kShownWords[FindStoredDefault(printer, ctx, true)], static_cast<unsigned>(KV_DM_TOTAL_SIZE));
  } else {
    printf("DEVMODE of printer \"%s\": load kind %d, %s; stored default: %s; %u bytes\n", name.c_str(), kind,
           kKindWords[kind], kStoredWords[FindStoredDefault(printer, ctx, false)],
           static_cast<unsigned>(KV_DM_TOTAL_SIZE));
  }
  printf("public part:\n");
  PrintItems(dm, false);
  PrintHeader(dm);
  printf("private items:\n");
  PrintItems(dm, true);
  if (parsed.Has("--hex")) PrintHexDump(dm);
  ClosePrinterContext(printer, ctx);
  return 0;
}

Registrar reg({"devmode", kUsage,
               "Shows the printer's DEVMODE: its stored default when the spooler holds one of the\n"
               "driver's sizes (the user's own, set with \"defaults --user\", before the one for all\n"
               "users), else the one a fresh driver context holds. --kind N (0-3) shows instead the\n"
               "DEVMODE a driver context builds when opened with that load kind: 0 a full open (the\n"
               "stored default, else the defaults, then the stored settings), 1 printer\n"
               "initialization, 2 an open without the driver name, 3 printer set-up (the defaults,\n"
               "then the stored default only when its header passes in full). Prints the public\n"
               "fields by name, the private header with the three format checks, and every private\n"
               "item, one line each: OFFSET, ID, NAME, VALUE. --hex adds a hexadecimal dump of the\n"
               "1236 bytes.\n",
               RunDevmode});

}  // namespace
}  // namespace host
