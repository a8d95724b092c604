// kvmlhost defaults PRINTER [--set ITEM=VALUE]... [--user] [--reset]: changes the printer's
// default settings as Windows does when a user edits them in the printer's printing
// preferences. The host plays both sides: the spooler hands the sheet the printer's default
// DEVMODE (the one for all users, or with --user the user's own, else the one for all
// users); the sheet runs a driver context over it on the document path, each change goes in
// as a user's choice in the sheet goes in (the rules run, an alert is answered with its
// default button and either keeps the value, with what its answer resolves, or refuses it);
// the sheet's OK commits the settings with DM_UPDATE | DM_COPY; and the spooler stores the
// DEVMODE the driver delivered with SetPrinterW level 8 (all users) or 9 (--user). Every
// later driver context of the printer starts from it. --reset removes the stored default
// first (SetPrinterW with a NULL pDevMode). Without --set or --reset it shows what is stored.
//
// A refused change ends the command with status 1 and the rule's message; nothing is
// stored then.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "blob/desc_runtime.h"
#include "context.h"
#include "context/context_create.h"
#include "devmode/devmode_defaults.h"
#include "devmode/devmode_layout.h"
#include "devmode/dm_deliver.h"
#include "devmode/dm_merge.h"
#include "host.h"
#include "checks/item_check.h"
#include "items/item_store.h"
#include "names/resources.h"
#include "rules/rule_eval.h"
#include "store/settings_store.h"
#include "tables/item_ids.h"

namespace host {
namespace {

const char kUsage[] = "defaults PRINTER [--set ITEM=VALUE]... [--user] [--reset]";

// Which stored default the command works on.
struct Scope {
  bool user;
  DWORD level() const { return user ? 9 : 8; }
  std::string words(const std::string &userName) const
  {
    return user ? "of user " + userName + " (PRINTER_INFO_9)" : "for all users (PRINTER_INFO_8)";
  }
};

std::string UserName()
{
  WCHAR buf[UNLEN + 1];
  DWORD n = UNLEN + 1;
  return GetUserNameW(buf, &n) && n > 1 ? Narrow(std::u16string(buf, n - 1)) : std::string("(no user)");
}

// The printer's stored default of a level (8 or 9) as bytes: what its header claims, as the
// spooler hands it over; empty when none is stored. FALSE with the reason in err when the
// printer cannot be read.
bool StoredDefault(HANDLE printer, DWORD level, std::vector<BYTE> &out, std::string &err)
{
  out.clear();
  DWORD needed = 0;
  if (GetPrinterW(printer, level, NULL, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
    err = "cannot read the printer's defaults: " + ErrorText(GetLastError());
    return false;
  }
  std::vector<BYTE> answer(needed);
  if (!GetPrinterW(printer, level, answer.data(), needed, &needed)) {
    err = "cannot read the printer's defaults: " + ErrorText(GetLastError());
    return false;
  }
  LPDEVMODEW dm;
  memcpy(&dm, answer.data(), sizeof dm);  // PRINTER_INFO_8W and 9W are this one pointer
  if (dm == nullptr) return true;
  const BYTE *bytes = reinterpret_cast<const BYTE *>(dm);
  out.assign(bytes, bytes + DmClaimedExtent(bytes));
  return true;
}

std::string Describe(const std::vector<BYTE> &dm)
{
  if (dm.empty()) return "none";
  return "stored, " + std::to_string(dm.size()) + " bytes (dmSize " + std::to_string(DmReadSize(dm.data())) +
         ", dmDriverExtra " + std::to_string(DmReadDriverExtra(dm.data())) + ")";
}

int Show(HANDLE printer, const std::string &printerName)
{
  std::vector<BYTE> global, own;
  std::string err;
  if (!StoredDefault(printer, 8, global, err) || !StoredDefault(printer, 9, own, err)) return Fail(err);
  printf("defaults of printer \"%s\"\n", printerName.c_str());
  printf("for all users      %s\n", Describe(global).c_str());
  printf("of user %-10s %s\n", UserName().c_str(), Describe(own).c_str());
  return 0;
}

// Stores a default (a DEVMODE, or NULL to remove it) at the scope's level.
bool StoreDefault(HANDLE printer, const Scope &scope, BYTE *dm, std::string &err)
{
  PRINTER_INFO_9W info = {reinterpret_cast<LPDEVMODEW>(dm)};  // level 8 has the same layout
  if (SetPrinterW(printer, scope.level(), reinterpret_cast<BYTE *>(&info), 0)) return true;
  DWORD code = GetLastError();
  err = ErrorText(code);
  if (code == ERROR_ACCESS_DENIED && !scope.user)
    err += "; the defaults for all users need administrative rights (--user changes your own)";
  return false;
}

// ---------------------------------------------------------------- one change, as the sheet makes it

// The text of a stored value with its value name: "2 (IDS_ORIENTATION_LANDSCAPE)".
std::string ValueWithName(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, LONG stored)
{
  std::string text = std::to_string(stored);
  LONG valueId = ItemStoredToValueId(ctx, item, stored);
  if (valueId > 0 && valueId <= 0xFFFF) {
    const VALUE_SYMBOL *sym = ItemFindValueSymbol(item->id, static_cast<WORD>(valueId));
    if (sym != nullptr && sym->name != nullptr) text += std::string(" (") + sym->name + ")";
  }
  return text;
}

// The text of a rule message: its resource string, or its name when no text is found.
std::string MessageText(DRIVER_CONTEXT *ctx, WORD key)
{
  const MESSAGE_ENTRY *entry = CtxFindMessageByKey(ctx, static_cast<SHORT>(key));
  if (entry == nullptr) return "message " + std::to_string(key);
  WCHAR text[1025] = {0};
  ResLoadString(ctx, entry->textId, text, 1024, TRUE);
  std::string words = Narrow(text);
  for (char &c : words)
    if (c == '\r' || c == '\n') c = ' ';
  if (words.empty()) words = entry->name != nullptr ? entry->name : "message " + std::to_string(key);
  return words;
}

// The button a message box takes when the user presses Enter: its first one.
int DefaultAnswer(WORD buttons)
{
  switch (buttons & MB_TYPEMASK) {
    case MB_ABORTRETRYIGNORE: return IDABORT;
    case MB_YESNOCANCEL:
    case MB_YESNO: return IDYES;
    case MB_RETRYCANCEL: return IDRETRY;
    default: return IDOK;
  }
}

// Items the sheet never lets a user change: the DEVMODE's own header fields and the state
// block that the driver writes for each call.
bool DriverOwned(WORD id)
{
  return (id >= ITEM_dmDeviceName && id <= ITEM_dmFields) || (id >= ITEM_KPD_kdmCallSrc && id <= ITEM_KPD_kdmBidiFunc);
}

// How the sheet takes a value: offered, or kept from the user by the rules or the
// description.
enum Verdict { kOffered, kItemHidden, kItemGreyed, kValueHidden, kValueGreyed, kNotOffered };

const char *const kVerdictWords[] = {
    "",
    "the printer's rules hide this option under its current settings",
    "the printer's rules grey this option out under its current settings",
    "the printer's rules hide this value under its current settings",
    "the printer's rules grey this value out under its current settings",
    "the printer's description does not offer this value",
};

Verdict Judge(DRIVER_CONTEXT *ctx, OPTION_ITEM *item, const DESC_ITEM_NODE *node)
{
  if (node == nullptr) return kOffered;
  if (RuleIsValueHidden(node, 0, ctx) != 0) return kItemHidden;
  if (RuleIsValueDisabled(node, 0, ctx) != 0) return kItemGreyed;
  if (KvValueTypeIsText(KvItemValueType(item))) return kOffered;
  LONG stored = ItemReadRaw(ctx, item);
  switch (ItemValidateAgainstNode(item, item->id, static_cast<DWORD>(stored), ctx, node)) {
    case KV_NODE_ACCEPTED: return kOffered;
    case KV_NODE_HIDDEN: return kValueHidden;
    case KV_NODE_GREYED: return kValueGreyed;
    default: return kNotOffered;
  }
}

// The item's field bytes, to write back a refused value.
std::vector<BYTE> FieldBytes(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item)
{
  const BYTE *p = ItemGetAddress(ctx, item);
  return p != nullptr ? std::vector<BYTE>(p, p + KvItemSize(item)) : std::vector<BYTE>();
}

void RestoreField(DRIVER_CONTEXT *ctx, const OPTION_ITEM *item, const std::vector<BYTE> &bytes)
{
  BYTE *p = ItemGetAddress(ctx, item);
  if (p != nullptr && !bytes.empty()) memcpy(p, bytes.data(), bytes.size());
}

// ITEM=VALUE as a user's choice in the sheet: the value is stored, the rules judge it, and
// the item's alert or transactions follow. 0 when the value stays; else the exit code after
// saying why (1 refused, 2 wrong arguments), with the item as it was.
int ApplyChange(DRIVER_CONTEXT *ctx, const std::string &arg)
{
  size_t eq = arg.find('=');
  if (eq == std::string::npos || eq == 0) return UsageError(kUsage, "--set takes ITEM=VALUE");
  std::string why;
  OPTION_ITEM *item = FindItem(ctx, arg.substr(0, eq), why);
  if (item == nullptr) return Fail(why);
  std::string name = ItemDisplayName(item);
  std::string value = arg.substr(eq + 1);
  if (KvItemBlock(item) != KV_BLOCK_DEVMODE)
    return Fail("cannot set " + name + " as a default: it is not part of the DEVMODE (" +
                (KvItemBlock(item) == KV_BLOCK_CONFIG ? "a printer configuration item: use commit --printer --set"
                                                      : "it travels in settings files") +
                ")");
  if (DriverOwned(item->id)) return Fail("cannot set " + name + ": the driver writes it");
  const DESC_ITEM_NODE *node = DescFindItemNode(item->id, ctx);
  std::vector<BYTE> before = FieldBytes(ctx, item);
  bool text = KvValueTypeIsText(KvItemValueType(item));
  if (text) {
    std::u16string wide = Widen(value);
    if (ItemWriteText(ctx, item, wide.c_str()) == nullptr) return Fail("cannot set " + name + ": it has no field");
  } else if (!WriteItemNumber(ctx, item, value, why)) {
    return Fail("cannot set " + name + ": " + why);
  }
  std::string shown = text ? "\"" + value + "\"" : ValueWithName(ctx, item, ItemReadRaw(ctx, item));
  Verdict verdict = Judge(ctx, item, node);
  WORD message = verdict == kOffered || verdict == kNotOffered ? RuleFindAlert(node, ctx) : 0;
  if (verdict != kOffered) {
    // A value the description does not offer is refused with the words of the alert that
    // the item raises for it, when it raises one.
    std::string words = message != 0 ? MessageText(ctx, message) : kVerdictWords[verdict];
    RestoreField(ctx, item, before);
    return Fail("cannot set " + name + " to " + shown + ": " + words);
  }
  if (message == 0) {
    printf("set        %s = %s\n", name.c_str(), shown.c_str());
    WORD dialog = node != nullptr ? RuleRunItemTransactions(node, ctx) : 0;
    if (dialog != 0) printf("note       the sheet would open dialog %u here\n", static_cast<unsigned>(dialog));
    return 0;
  }
  // The alert's message box, answered with its default button. The value stays when the
  // user confirms it (OK of an OK/Cancel box) or the box only informs; otherwise it is
  // refused.
  const DESC_RULE_BLOCK *block = reinterpret_cast<const DESC_RULE_BLOCK *>(DESC_FIELDPTR(node, DESC_ITEM_NODE, rules));
  const DESC_ALERT *alert = RuleFindAlertByMessage(block, message);
  WORD buttons = alert != nullptr ? alert->buttons : MB_OK;
  WORD icon = alert != nullptr ? alert->icon : 0;
  int answer = DefaultAnswer(buttons);
  bool keeps = ((buttons & MB_TYPEMASK) == MB_OKCANCEL && answer == IDOK) ||
               ((buttons & MB_TYPEMASK) == MB_OK && icon == MB_ICONINFORMATION);
  std::string words = MessageText(ctx, message);
  if (!keeps) {
    RestoreField(ctx, item, before);
    return Fail("cannot set " + name + " to " + shown + ": " + words);
  }
  printf("set        %s = %s\n", name.c_str(), shown.c_str());
  RuleApplyAlertAnswer(node, message, static_cast<WORD>(answer), ctx);
  printf("alert      %s (answered OK: the value stays)\n", words.c_str());
  return 0;
}

// ---------------------------------------------------------------- the sheet's run

// The lines of the DEVMODE items whose value differs between two images.
int PrintChanges(DRIVER_CONTEXT *ctx, const BYTE *was, const BYTE *now)
{
  int changed = 0;
  OPTION_ITEM *rows = static_cast<OPTION_ITEM *>(ctx->items->rows);
  for (int r = 0; r < ctx->items->count; ++r) {
    const OPTION_ITEM *item = &rows[r];
    if (KvItemBlock(item) != KV_BLOCK_DEVMODE || item->offset + KvItemSize(item) > KV_DM_TOTAL_SIZE) continue;
    std::string a = DevmodeItemValue(was, item), b = DevmodeItemValue(now, item);
    if (a == b) continue;
    printf("changed    %u\t%s\t%s -> %s\n", static_cast<unsigned>(item->id), ItemDisplayName(item).c_str(), a.c_str(),
           b.c_str());
    ++changed;
  }
  return changed;
}

// A global default edited while none is stored starts from the driver's defaults, as a
// context of a printer without stored defaults does, not from the user's own default that
// the context was built on: the defaults are made again and the stored settings read.
void StartFromDriverDefaults(HANDLE printer, DRIVER_CONTEXT *ctx)
{
  DmResetToDefaults(ctx);
  StoreLoadItemBlock(printer, ctx, -1, 0);
}

int Edit(HANDLE printer, const Scope &scope, const std::vector<std::string> &sets, const std::string &printerName)
{
  std::vector<BYTE> global, own;
  std::string err;
  if (!StoredDefault(printer, 8, global, err) || !StoredDefault(printer, 9, own, err)) return Fail(err);
  // The DEVMODE the sheet is handed: the user's own preferences fall back to the defaults
  // for all users.
  const std::vector<BYTE> &input = scope.user && !own.empty() ? own : global;
  DRIVER_CONTEXT *ctx = CtxCreate(printer, printer, NULL, CTX_CREATE_SHEETS);
  if (ctx == nullptr || ctx->work == nullptr) {
    DWORD code = GetLastError();
    if (ctx != nullptr) CtxRelease(ctx);
    return Fail("cannot open a driver context for printer \"" + printerName +
                "\" (its description could not be loaded): " + ErrorText(code));
  }
  struct Release {
    DRIVER_CONTEXT *ctx;
    ~Release()
    {
      CtxRelease(ctx);
      CtxExpireCache(1);
    }
  } release{ctx};
  if (!scope.user && global.empty() && !own.empty()) StartFromDriverDefaults(printer, ctx);
  // The sheet's merge of its input (DrvDocumentPropertySheets with DM_IN_BUFFER,
  // DM_IN_PROMPT and DM_OUT_BUFFER). An input shorter than its header claims is not taken.
  bool takeInput = !input.empty() && input.size() >= DmClaimedExtent(input.data());
  if (!DmMergeIncoming(ctx, takeInput ? input.data() : nullptr,
                       KV_MERGE_FLAGS_DOCPROPS(DM_IN_BUFFER | DM_IN_PROMPT | DM_OUT_BUFFER)))
    return Fail("the sheet's DEVMODE could not be merged (out of memory)");
  std::vector<BYTE> start(CtxGetDevmode(ctx), CtxGetDevmode(ctx) + KV_DM_TOTAL_SIZE);
  printf("defaults of printer \"%s\" %s, starting from %s\n", printerName.c_str(), scope.words(UserName()).c_str(),
         takeInput ? (&input == &own ? "the user's own stored default" : "the stored default for all users")
                   : "the driver's defaults");
  for (const std::string &set : sets)
    if (int rc = ApplyChange(ctx, set)) return rc;

  // The sheet's OK: the settings are committed and the DEVMODE delivered to the caller.
  std::vector<BYTE> in(start), out(KV_DM_TOTAL_SIZE, 0);
  ctx->state->sheetMode = DM_COPY | DM_UPDATE;
  ctx->state->sheetDevmodeIn = reinterpret_cast<DEVMODEW *>(in.data());
  ctx->state->sheetDevmodeOut = reinterpret_cast<DEVMODEW *>(out.data());
  int committed = StoreCommitDocumentSettings(ctx);
  ctx->state->sheetDevmodeIn = nullptr;
  ctx->state->sheetDevmodeOut = nullptr;
  if (committed != 1) return Fail("the settings could not be committed");
  int changed = PrintChanges(ctx, start.data(), out.data());
  if (!StoreDefault(printer, scope, out.data(), err))
    return Fail("cannot store the default DEVMODE of printer \"" + printerName + "\": " + err);
  printf("stored     the delivered DEVMODE (%u bytes) as the default %s: %d item%s changed\n",
         static_cast<unsigned>(DmClaimedExtent(out.data())), scope.words(UserName()).c_str(), changed,
         changed == 1 ? "" : "s");
  return 0;
}

int RunDefaults(const Args &in)
{
  ParsedArgs parsed;
  if (!ParseArgs(in, {{"--set", true}, {"--user", false}, {"--reset", false}}, kUsage, parsed)) return 2;
  if (parsed.rest.size() != 1) return UsageError(kUsage, parsed.rest.empty() ? "name a printer" : "one printer only");
  std::vector<std::string> sets = parsed.All("--set");
  for (const std::string &set : sets)
    if (set.find('=') == std::string::npos || set[0] == '=') return UsageError(kUsage, "--set takes ITEM=VALUE");
  if (int rc = RequireMachineRoot()) return rc;
  const std::string &printerName = parsed.rest[0];
  Scope scope{parsed.Has("--user")};
  // The defaults for all users are the administrator's; a user's own need only use rights.
  bool change = !sets.empty() || parsed.Has("--reset");
  std::u16string name = Widen(printerName);
  PRINTER_DEFAULTSW access = {NULL, NULL, change && !scope.user ? PRINTER_ALL_ACCESS : PRINTER_ACCESS_USE};
  HANDLE printer = NULL;
  if (!OpenPrinterW(name.data(), &printer, &access)) {
    DWORD code = GetLastError();
    std::string hint = code == ERROR_ACCESS_DENIED && access.DesiredAccess == PRINTER_ALL_ACCESS
                           ? "; the defaults for all users need administrative rights (--user changes your own)"
                           : "";
    return Fail("cannot open printer \"" + printerName + "\": " + ErrorText(code) + hint);
  }
  int rc = 0;
  if (!change) {
    rc = Show(printer, printerName);
  } else {
    std::string err;
    if (parsed.Has("--reset")) {
      std::vector<BYTE> had;
      if (!StoredDefault(printer, scope.level(), had, err) || !StoreDefault(printer, scope, nullptr, err))
        rc = Fail("cannot remove the default of printer \"" + printerName + "\": " + err);
      else if (had.empty())
        printf("no stored default %s to remove\n", scope.words(UserName()).c_str());
      else
        printf("removed the stored default %s\n", scope.words(UserName()).c_str());
    }
    if (rc == 0 && !sets.empty()) rc = Edit(printer, scope, sets, printerName);
  }
  ClosePrinter(printer);
  return rc;
}

Registrar reg({"defaults", kUsage,
               "Changes the printer's default settings as a user does in its printing preferences, with\n"
               "the host as the spooler. The sheet runs a driver context on the document path over\n"
               "the printer's default DEVMODE (the one for all users; with --user the user's own,\n"
               "else the one for all users). Each --set ITEM=VALUE (in order; an ID, field name or\n"
               "description name, and a number, value name or text) goes in as a choice in the\n"
               "sheet: a value the rules hide or grey out, or one the description does not offer, is\n"
               "refused; then the item's alert is answered with its default button (a confirmation\n"
               "keeps the value and runs what it resolves; any other alert refuses it) or its\n"
               "follow-up settings run. The settings are then committed as the sheet's OK does\n"
               "(DM_UPDATE | DM_COPY) and the delivered DEVMODE is stored as the printer's default:\n"
               "for all users (SetPrinter level 8, administrative rights) or, with --user, as the\n"
               "user's own (level 9), which stands before the one for all users. Every later driver\n"
               "context (devmode, item, caps, ...) starts from it. Prints each DEVMODE item that\n"
               "changed as ID, NAME, OLD -> NEW. --reset removes the stored default first. Without\n"
               "--set or --reset, shows which defaults are stored. A refused change exits 1 with the\n"
               "rule's message and stores nothing. The sheet is played by the host through the\n"
               "driver's common library until the property-sheet DLL exists.\n",
               RunDefaults});

}  // namespace
}  // namespace host
