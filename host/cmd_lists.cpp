// kvmlhost preset list|save|load|delete PRINTER [NAME] and kvmlhost freesize list|save|delete:
// the printer's stored presets (settings files listed in the printer's section of the
// settings INI) and its ten stored custom paper sizes, through a driver context of the
// printer, as the property sheets reach them.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "context.h"
#include "context/context_create.h"
#include "files/ini.h"
#include "files/paths.h"
#include "files/settings_dirs.h"
#include "host.h"
#include "items/item_store.h"
#include "model/model.h"
#include "names/names_paths.h"
#include "store/settings_files.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

namespace host {
namespace {

const char kPresetUsage[] = "preset list|save|load|delete PRINTER [NAME] [--comment TEXT] [--from FILE] [--to OUT]";
const char kFreeSizeUsage[] =
    "freesize list|save|delete PRINTER [SLOT [NAME WIDTH_MM LENGTH_MM]] [--tray N] [--orientation N]";

std::string IniText(DRIVER_CONTEXT *ctx, const std::u16string &key)
{
  WCHAR buf[1100] = {};
  IniGetString(CtxGetPrinterSection(ctx), key.c_str(), u"", buf, 1100, CtxGetSettingsIniPath(ctx));
  return Narrow(std::u16string(buf));
}

std::u16string PresetKey(int index, int kind)
{
  WCHAR key[KV_PRESET_KEY_CHARS];
  return ListFormatPresetKey(key, index, kind);
}

// The index of the preset with that name, -1 when none.
int FindPreset(DRIVER_CONTEXT *ctx, const std::string &name)
{
  int count = ListGetPresetCount(ctx);
  for (int n = 0; n < count && n < KV_PRESET_MAX; ++n)
    if (IniText(ctx, PresetKey(n, LIST_KEY_NAME)) == name) return n;
  return -1;
}

int List(DRIVER_CONTEXT *ctx)
{
  int count = ListGetPresetCount(ctx);
  printf("%d stored presets (at most %d)\n", count, KV_PRESET_MAX);
  for (int n = 0; n < count && n < KV_PRESET_MAX; ++n) {
    std::string path = IniText(ctx, PresetKey(n, LIST_KEY_PATH));
    printf("%d\t%s\t%s\t%s\t%s\n", n, IniText(ctx, PresetKey(n, LIST_KEY_NAME)).c_str(),
           path.empty() ? "(no file)" : path.c_str(), ListIsPresetWritable(ctx, n) ? "writable" : "read-only",
           IniText(ctx, PresetKey(n, LIST_KEY_COMMENT)).c_str());
  }
  return 0;
}

int Save(DRIVER_CONTEXT *ctx, const std::string &name, const ParsedArgs &parsed)
{
  if (name.empty() || name.size() > 36) return Fail("a preset name has 1 to 36 characters");
  if (parsed.Has("--from")) {
    std::u16string file;
    std::string err;
    if (!FileArgument(parsed.options.at("--from"), file, err)) return Fail(parsed.options.at("--from") + ": " + err);
    SettingsRead read = ReadSettingsFile(ctx->printer, ctx, file, 0, parsed.options.at("--from"));
    if (read.answer != 1 || CtxGetSettingsFileStatus(ctx) != KST_STATUS_OK)
      return Fail("cannot read the settings of " + parsed.options.at("--from"));
    PrintCorrections(ctx, read);
  }
  FileCreateSettingsDirOf(ctx);
  std::u16string wideName = Widen(name);
  std::u16string comment = Widen(parsed.Has("--comment") ? parsed.options.at("--comment") : std::string());
  int index = FindPreset(ctx, name);
  bool added = index < 0;
  if (added) {
    index = std::max(0, ListGetPresetCount(ctx));  // a damaged count is taken as an empty list
    if (index >= KV_PRESET_MAX) return Fail("the printer already stores " + std::to_string(KV_PRESET_MAX) + " presets");
  } else if (!ListIsPresetWritable(ctx, index)) {
    return Fail("preset \"" + name + "\" is read-only");
  }
  ItemWriteText(ctx, ItemFindById(ctx, ITEM_wdmPresetName), wideName.c_str());
  if (added || parsed.Has("--comment"))
    ItemWriteText(ctx, ItemFindById(ctx, ITEM_wdmPresetComment), comment.c_str());
  else
    ItemWriteText(ctx, ItemFindById(ctx, ITEM_wdmPresetComment),
                  Widen(IniText(ctx, PresetKey(index, LIST_KEY_COMMENT))).c_str());
  // The preset file, then its keys in the printer's list with one rewrite of the settings
  // INI; a save that fails leaves the list as it was. A stored file the save may not write
  // is left as it is and the preset gets a new file, which the user is told.
  std::string stored = added ? std::string() : IniText(ctx, PresetKey(index, LIST_KEY_PATH));
  int kind = ListClassifyKstFile(ctx, Widen(stored).c_str());
  int saved = ListSavePresetEntry(ctx, index);
  if (saved == LIST_SAVE_FAILED)
    return Fail("cannot save preset \"" + name + "\": no free preset file name or the file cannot be written");
  std::string file = IniText(ctx, PresetKey(index, LIST_KEY_PATH));
  if (saved == LIST_SAVE_NEW_FILE)
    fprintf(stderr,
            "kvmlhost: warning: preset \"%s\" named %s, which %s; that file was left as it is and the "
            "preset now has a new file\n",
            name.c_str(), stored.c_str(),
            kind == LIST_FILE_OUTSIDE ? "lies outside the settings folder" : "is not a settings file of this printer");
  printf("%s preset %d \"%s\" in %s\n", added ? "saved" : "replaced", index, name.c_str(), file.c_str());
  return 0;
}

int Load(DRIVER_CONTEXT *ctx, const std::string &name, const ParsedArgs &parsed)
{
  int index = FindPreset(ctx, name);
  if (index < 0) return Fail("the printer stores no preset \"" + name + "\"");
  std::string path = IniText(ctx, PresetKey(index, LIST_KEY_PATH));
  // An entry without a file would load preset 0's settings in its place.
  if (path.empty())
    return Fail("preset \"" + name + "\" has no settings file (its file was refused earlier); save it again");
  std::vector<BYTE> before(ctx->work, ctx->work + DmGetWorkBufferSize());
  ListSelectPreset(ctx, index);
  DWORD status = CtxGetSettingsFileStatus(ctx);
  if (status == KST_STATUS_REJECTED)
    return Fail("preset \"" + name + "\" could not be taken: " + path +
                " is not a settings file of this printer (the preset no longer names it)");
  if (status != KST_STATUS_OK)
    return Fail("preset \"" + name + "\" could not be taken: its file " + path + " is missing or cannot be read");
  // The preset and stamp items whose stored bytes the load changed.
  int changed = 0;
  for (int r = 0; r < ctx->items->count; ++r) {
    const OPTION_ITEM *item = &static_cast<OPTION_ITEM *>(ctx->items->rows)[r];
    if ((item->state & (KV_STATE_PRESET_MASK | KV_STATE_STAMP_MASK)) == 0) continue;
    const BYTE *field = ItemGetAddress(ctx, item);
    if (field == NULL) continue;
    size_t offset = static_cast<size_t>(field - ctx->work);
    if (memcmp(field, before.data() + offset, KvItemSize(item)) != 0) ++changed;
  }
  printf("loaded preset %d \"%s\": %d settings differ from the printer's\n", index, name.c_str(), changed);
  if (parsed.Has("--to")) {
    std::u16string out;
    std::string err;
    if (!FileArgument(parsed.options.at("--to"), out, err)) return Fail(parsed.options.at("--to") + ": " + err);
    if (StoreWriteSettingsFile(ctx->printer, out.c_str(), 0, ctx) != 1)
      return Fail("cannot write the settings to " + parsed.options.at("--to"));
    printf("exported the settings to %s\n", ShowPath(out).c_str());
  }
  return 0;
}

// Removes a preset from the list: the later entries move down one place, the count drops,
// and the preset's own user file is deleted.
int Delete(DRIVER_CONTEXT *ctx, const std::string &name)
{
  int index = FindPreset(ctx, name);
  if (index < 0) return Fail("the printer stores no preset \"" + name + "\"");
  if (StoreSharedWritesBarred(ctx)) return Fail("the printer's shared settings cannot be changed by this user");
  const WCHAR *section = CtxGetPrinterSection(ctx);
  std::u16string ini = CtxGetSettingsIniPath(ctx);
  std::u16string path = Widen(IniText(ctx, PresetKey(index, LIST_KEY_PATH)));
  int count = ListGetPresetCount(ctx);
  if (count > KV_PRESET_MAX) count = KV_PRESET_MAX;
  for (int n = index; n + 1 < count; ++n)
    for (int kind = 0; kind < 3; ++kind)
      IniWriteString(section, PresetKey(n, kind).c_str(), Widen(IniText(ctx, PresetKey(n + 1, kind))).c_str(),
                     ini.c_str());
  for (int kind = 0; kind < 3; ++kind) IniWriteString(section, PresetKey(count - 1, kind).c_str(), NULL, ini.c_str());
  WCHAR number[16];
  wsprintfW(number, u"%d", count - 1);
  IniWriteString(section, u"Count", number, ini.c_str());
  ListPresetCache(ctx, NULL, LIST_CACHE_FREE);
  // Only a user preset file is removed, and only from the settings folder while no other
  // entry names it; a copied default stays where the setup put it.
  std::u16string file = PathFindFileName(path.c_str());
  bool userFile = file.size() == 12 && (file.rfind(u"user", 0) == 0 || file.rfind(u"USER", 0) == 0);
  if (userFile && PathIsInListSettingsDir(path.c_str(), ctx) && !ListNamesFile(ctx, path.c_str()))
    DeleteFileW(path.c_str());
  printf("deleted preset %d \"%s\"; %d presets left\n", index, name.c_str(), count - 1);
  return 0;
}

int RunPreset(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {{"--comment", true}, {"--from", true}, {"--to", true}}, kPresetUsage, parsed)) return 2;
  const Args &args = parsed.rest;
  if (args.empty()) return UsageError(kPresetUsage, "name an action: list, save, load or delete");
  const std::string &action = args[0];
  bool list = action == "list";
  if (!list && action != "save" && action != "load" && action != "delete")
    return UsageError(kPresetUsage, "unknown action '" + action + "'");
  if (args.size() != (list ? 2u : 3u))
    return UsageError(kPresetUsage, list ? "list takes a printer" : action + " takes a printer and a preset name");
  if ((parsed.Has("--comment") || parsed.Has("--from")) && action != "save")
    return UsageError(kPresetUsage, "--comment and --from go with save");
  if (parsed.Has("--to") && action != "load") return UsageError(kPresetUsage, "--to goes with load");
  if (int rc = RequireMachineRoot()) return rc;
  PrinterSession printer(args[1], CTX_CREATE_SHEETS);
  if (printer.ctx() == NULL) return 1;
  DRIVER_CONTEXT *ctx = printer.ctx();
  if (list) return List(ctx);
  if (action == "save") return Save(ctx, args[2], parsed);
  if (action == "load") return Load(ctx, args[2], parsed);
  return Delete(ctx, args[2]);
}

// Fills the slot records: the stored sizes, or the driver package's defaults (named from
// the model INI) while none is stored. FALSE when the stored sizes cannot be read.
bool LoadSizes(DRIVER_CONTEXT *ctx, bool &defaults)
{
  bool stored = false;
  for (int slot = 0; slot < KV_FREE_SIZE_SLOTS && !stored; ++slot) {
    WCHAR section[300];
    ListFormatFreeSizeSection(section, slot, 0, ctx);
    stored = IniGetInt(section, u"wdmFreeSizeWidth", -1, CtxGetSettingsIniPath(ctx)) != static_cast<UINT>(-1);
  }
  defaults = !stored && ListGetModelFreeSizeCount(ctx) == KV_FREE_SIZE_SLOTS;
  if (!defaults) return ListLoadAllFreeSizes(ctx) != 0;
  ListLoadFreeSizeDefaults(ctx);
  // The defaults carry the resource names of the slots; the package may name them too.
  for (int slot = 0; slot < KV_FREE_SIZE_SLOTS; ++slot) {
    FREE_SIZE_SLOT &rec = ctx->state->freeSizeSlots[slot];
    if (rec.userName[0] != 0) continue;
    WCHAR section[300], name[64];
    ListFormatFreeSizeSection(section, slot, 0, ctx);
    IniGetString(section, u"wdmFreeSizeName", u"", name, 64, CtxGetModelIniPath(ctx));
    StrWideToAnsi(rec.userName, name, static_cast<int>(sizeof rec.userName) - 1);
  }
  return true;
}

int ListSizes(DRIVER_CONTEXT *ctx)
{
  bool defaults = false;
  if (!LoadSizes(ctx, defaults)) return Fail("cannot read the stored custom sizes");
  if (defaults) printf("no stored custom sizes: the driver package's defaults\n");
  printf("slot\tpaper\tname\twidth x length (1200 dpi)\tmm\ttray\torientation\n");
  for (int slot = 0; slot < KV_FREE_SIZE_SLOTS; ++slot) {
    const FREE_SIZE_SLOT &rec = ctx->state->freeSizeSlots[slot];
    std::string name(rec.userName, strnlen(rec.userName, sizeof rec.userName));
    printf("%d\t%u\t%s\t%ld x %ld\t%.1f x %.1f\t%d\t%d\n", slot, ListSlotToPaperId(slot, KV_FREE_SIZE_SLOTS, ctx),
           name.empty() ? "(unnamed)" : name.c_str(), static_cast<long>(rec.width), static_cast<long>(rec.length),
           rec.width * 25.4 / 1200.0, rec.length * 25.4 / 1200.0, rec.tray, rec.orientation);
  }
  return 0;
}

// A whole number in [low, high].
bool ParseNumber(const std::string &text, long low, long high, long &out)
{
  if (text.empty() || text.size() > 9) return false;
  for (char ch : text)
    if (ch < '0' || ch > '9') return false;
  out = strtol(text.c_str(), nullptr, 10);
  return out >= low && out <= high;
}

// Millimetres with up to one decimal, 1 to 2000, as 1200-dpi dots (rounded).
bool ParseMillimetres(const std::string &text, LONG &dots)
{
  size_t point = text.find('.');
  std::string whole = text.substr(0, point), tenth = point == std::string::npos ? "0" : text.substr(point + 1);
  long w = 0, t = 0;
  if (!ParseNumber(whole, 0, 2000, w) || tenth.size() != 1 || !ParseNumber(tenth, 0, 9, t)) return false;
  long tenths = w * 10 + t;
  if (tenths < 10 || tenths > 20000) return false;
  dots = static_cast<LONG>((tenths * 1200 * 10 + 1270) / 2540);
  return true;
}

int SaveSize(DRIVER_CONTEXT *ctx, int slot, const Args &args, const ParsedArgs &parsed)
{
  LONG width = 0, length = 0;
  if (!ParseMillimetres(args[4], width) || !ParseMillimetres(args[5], length))
    return UsageError(kFreeSizeUsage, "width and length are millimetres from 1 to 2000, one decimal at most");
  if (args[3].empty() || args[3].size() > 63) return Fail("a size name has 1 to 63 characters");
  long tray = -1, orientation = -1;
  if (parsed.Has("--tray") && !ParseNumber(parsed.options.at("--tray"), 0, 32767, tray))
    return UsageError(kFreeSizeUsage, "--tray takes a number from 0 to 32767");
  if (parsed.Has("--orientation") && !ParseNumber(parsed.options.at("--orientation"), 1, 2, orientation))
    return UsageError(kFreeSizeUsage, "--orientation takes 1 (portrait) or 2 (landscape)");
  bool defaults = false;
  if (!LoadSizes(ctx, defaults)) return Fail("cannot read the stored custom sizes");
  FREE_SIZE_SLOT &rec = ctx->state->freeSizeSlots[slot];
  memset(rec.userName, 0, sizeof rec.userName);
  std::u16string name = Widen(args[3]);
  StrWideToAnsi(rec.userName, name.c_str(), static_cast<int>(sizeof rec.userName) - 1);
  rec.width = width;
  rec.length = length;
  if (tray >= 0 || rec.tray == 0) rec.tray = static_cast<SHORT>(tray >= 0 ? tray : 4);
  if (orientation > 0 || rec.orientation == 0) rec.orientation = static_cast<SHORT>(orientation > 0 ? orientation : 1);
  FileCreateSettingsDirOf(ctx);
  if (ListSaveAllFreeSizes(ctx) != 1) return Fail("cannot write the custom sizes into the printer's settings INI");
  printf("saved custom size %d (paper %u) \"%s\": %ld x %ld dots\n", slot,
         ListSlotToPaperId(slot, KV_FREE_SIZE_SLOTS, ctx), args[3].c_str(), static_cast<long>(width),
         static_cast<long>(length));
  return 0;
}

int DeleteSize(DRIVER_CONTEXT *ctx, int slot)
{
  bool defaults = false;
  if (!LoadSizes(ctx, defaults)) return Fail("cannot read the stored custom sizes");
  memset(&ctx->state->freeSizeSlots[slot], 0, sizeof(FREE_SIZE_SLOT));
  FileCreateSettingsDirOf(ctx);
  if (ListSaveAllFreeSizes(ctx) != 1) return Fail("cannot write the custom sizes into the printer's settings INI");
  printf("deleted custom size %d\n", slot);
  return 0;
}

int RunFreeSize(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {{"--tray", true}, {"--orientation", true}}, kFreeSizeUsage, parsed)) return 2;
  const Args &args = parsed.rest;
  if (args.empty()) return UsageError(kFreeSizeUsage, "name an action: list, save or delete");
  const std::string &action = args[0];
  size_t want = action == "list" ? 2 : action == "save" ? 6 : action == "delete" ? 3 : 0;
  if (want == 0) return UsageError(kFreeSizeUsage, "unknown action '" + action + "'");
  if (args.size() != want) return UsageError(kFreeSizeUsage, "wrong number of arguments for " + action);
  if ((parsed.Has("--tray") || parsed.Has("--orientation")) && action != "save")
    return UsageError(kFreeSizeUsage, "--tray and --orientation go with save");
  long slot = 0;
  if (want > 2 && !ParseNumber(args[2], 0, KV_FREE_SIZE_SLOTS - 1, slot))
    return UsageError(kFreeSizeUsage, "a slot is a number from 0 to 9");
  if (int rc = RequireMachineRoot()) return rc;
  PrinterSession printer(args[1], CTX_CREATE_SHEETS);
  if (printer.ctx() == NULL) return 1;
  DRIVER_CONTEXT *ctx = printer.ctx();
  if (action == "list") return ListSizes(ctx);
  if (StoreSharedWritesBarred(ctx)) return Fail("the printer's shared settings cannot be changed by this user");
  if (action == "save") return SaveSize(ctx, static_cast<int>(slot), args, parsed);
  return DeleteSize(ctx, static_cast<int>(slot));
}

Registrar presetReg({"preset", kPresetUsage,
                     "The printer's stored presets (16 at most), each a settings file named in the\n"
                     "printer's section of the settings INI.\n"
                     "list: index, name, file, writable or read-only, comment.\n"
                     "save: stores the printer's settings (or those of --from FILE, a settings file as\n"
                     "`settings export` writes it) as preset NAME, with --comment TEXT; an existing\n"
                     "preset of that name is replaced, unless it is read-only. A preset file is written\n"
                     "only when it is a settings file of this printer in the settings folder (or does\n"
                     "not exist yet); any other file a preset names is left as it is, the preset gets a\n"
                     "new user file and a warning says so. Fails when 16 presets are stored or no free\n"
                     "preset file name is left.\n"
                     "load: loads preset NAME into a driver context and says how many settings differ\n"
                     "from the printer's; --to OUT writes them out as a settings file. Fails (exit 1)\n"
                     "when the preset's file is missing, unreadable or no settings file of this printer\n"
                     "(such a file is dropped from the list), or the preset has no file.\n"
                     "delete: removes preset NAME from the list (later ones move up) and deletes its\n"
                     "user file unless another preset names it too.\n",
                     RunPreset});

Registrar freeSizeReg({"freesize", kFreeSizeUsage,
                       "The printer's ten custom paper sizes (paper ids 384 to 393), stored per display\n"
                       "language in its settings INI; while none is stored, the driver package's defaults.\n"
                       "list: slot, paper id, name, width and length in 1200-dpi dots and in millimetres,\n"
                       "tray and orientation.\n"
                       "save: stores slot SLOT (0-9) as NAME of WIDTH_MM by LENGTH_MM millimetres (one\n"
                       "decimal at most), with --tray N and --orientation 1|2 (default: as it was, else\n"
                       "tray 4, portrait); the other nine slots are stored as they are listed.\n"
                       "delete: empties slot SLOT.\n",
                       RunFreeSize});

}  // namespace
}  // namespace host
