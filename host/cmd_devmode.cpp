// kvmlhost devmode PRINTER [--hex]: the printer's DEVMODE as the driver sees it: the
// printer's stored default when the spooler holds one of the driver's sizes, else the one a
// fresh driver context holds. It prints the public fields by name, the private header with
// the format checks, and every private item with its name and value:
//   OFFSET <tab> ID <tab> NAME <tab> VALUE
// With --hex a hexadecimal dump of the 1236 bytes follows.
#include <stdio.h>

#include <string>

#include "context.h"
#include "context/context_create.h"
#include "devmode/devmode_header.h"
#include "devmode/devmode_layout.h"
#include "devmode/devmode_printer_default.h"
#include "host.h"
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

// The value of an option row in a DEVMODE image, read at the row's offset and width.
std::string FieldValue(const BYTE *dm, const OPTION_ITEM *item)
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

void PrintItems(const BYTE *dm, bool privatePart)
{
  for (int i = 0; i < g_kvOptionItemCount; ++i) {
    const OPTION_ITEM *item = &g_kvOptionItems[i];
    if (KvItemBlock(item) != KV_BLOCK_DEVMODE) continue;
    if ((item->offset >= KV_DM_PUBLIC_SIZE) != privatePart) continue;
    if (item->offset + KvItemSize(item) > KV_DM_TOTAL_SIZE) continue;
    printf("%u\t%u\t%s\t%s\n", static_cast<unsigned>(item->offset), static_cast<unsigned>(item->id),
           ItemDisplayName(item).c_str(), FieldValue(dm, item).c_str());
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

const char kUsage[] = "devmode PRINTER [--hex]";

int RunDevmode(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {{"--hex", false}}, kUsage, parsed)) return 2;
  if (parsed.rest.size() != 1) return UsageError(kUsage, parsed.rest.empty() ? "name a printer" : "one printer only");
  if (int rc = RequireMachineRoot()) return rc;
  const std::string &name = parsed.rest[0];
  HANDLE printer = NULL;
  DRIVER_CONTEXT *ctx = nullptr;
  if (int rc = OpenPrinterContext(name, CTX_CREATE_DOCPROPS, &printer, &ctx)) return rc;
  const char *source = "a fresh driver context's (the printer has no stored default)";
  if (OsPrinterHasDefaultDevmode(printer)) {
    source = DmCopyPrinterDefault(ctx) ? "the printer's stored default"
                                       : "a fresh driver context's (the stored default is not of the driver's sizes)";
  }
  const BYTE *dm = CtxGetDevmode(ctx);
  printf("DEVMODE of printer \"%s\": %s, %u bytes\n", name.c_str(), source, static_cast<unsigned>(KV_DM_TOTAL_SIZE));
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
               "driver's sizes, else the one a fresh driver context holds. Prints the public fields by\n"
               "name, the private header with the three format checks, and every private item, one\n"
               "line each: OFFSET, ID, NAME, VALUE. --hex adds a hexadecimal dump of the 1236 bytes.\n",
               RunDevmode});

}  // namespace
}  // namespace host
