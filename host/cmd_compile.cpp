// kvmlhost compile DESC | compile --printer NAME | compile --check BCS:
// compiles a printer description and reports what the compiled block holds, or checks a
// .BCS cache file.
//
// DESC and BCS are host paths or Windows paths on the machine root. Without a machine root
// a file is compiled or checked on a private one that lasts for the run. Rejected lines
// and questionable references are printed to standard error as "file:line: message";
// --quiet prints nothing else. Exit status: 0 when no line was rejected as an error
// (warnings alone keep 0), 1 when one was or the file cannot be compiled or is not a
// valid cache file, 2 for wrong arguments.
//
// Whether the cache file is written: with --printer the printer's context decides, as the
// driver does (the description's FileVersion must equal the driver version of the context's
// model). A bare DESC has no printer, so the driver build's own version (its model record)
// stands in for it: the cache file is written beside DESC when the text's FileVersion equals
// that version, and never for a text without a FileVersion. So a .BCS the host writes is
// always one the driver would write and use.
#include <stdio.h>
#include <stdlib.h>

#include <set>
#include <string>
#include <vector>

#include "context.h"
#include "blob/desc_blob.h"
#include "blob/desc_cache.h"
#include "desc/desc_reader.h"
#include "host.h"
#include "model/model.h"
#include "files/paths.h"

namespace host {
namespace {

// --quiet: only the diagnostics, no summary.
bool g_quiet = false;

// ---------------------------------------------------------------- diagnostics

struct Diagnostics {
  std::string file;
  unsigned errors = 0;
  unsigned warnings = 0;
};

void Report(void *user, DWORD line, DWORD severity, const char *message)
{
  auto *d = static_cast<Diagnostics *>(user);
  if (severity == DESC_DIAG_ERROR)
    ++d->errors;
  else
    ++d->warnings;
  if (line != 0)
    fprintf(stderr, "%s:%lu: %s\n", d->file.c_str(), static_cast<unsigned long>(line), message);
  else
    fprintf(stderr, "%s: %s\n", d->file.c_str(), message);
}

// ---------------------------------------------------------------- what the block holds

// Walks a relocated block and counts its parts. Links are pointers; nodes outside the rule
// data may be unaligned, so every field is read through the unaligned accessors.
struct BlobCounts {
  unsigned items = 0, variants = 0, values = 0;
  unsigned ruleBlocks = 0, valueRules = 0, alerts = 0, alertAnswers = 0, transactions = 0, actions = 0;
  std::set<const BYTE *> judges;
  std::vector<std::string> groups;
  unsigned statements = 0;
  DWORD deviceFonts = 0, cartridgeFonts = 0;
};

const BYTE *Ptr(const void *node, size_t offset) { return node ? DescLdPtr(node, offset) : nullptr; }

// Walks a list linked through the pointer at offset 0, once per node.
template <class Fn>
void WalkList(const BYTE *first, std::set<const BYTE *> &seen, Fn visit)
{
  for (const BYTE *n = first; n != nullptr && seen.insert(n).second; n = Ptr(n, 0)) visit(n);
}

void Judge(BlobCounts &c, const BYTE *code)
{
  if (code != nullptr) c.judges.insert(code);
}

void CountTransactions(BlobCounts &c, const BYTE *first, std::set<const BYTE *> &seen)
{
  WalkList(first, seen, [&](const BYTE *t) {
    ++c.transactions;
    Judge(c, Ptr(t, offsetof(DESC_TRANSACTION, judge)));
    WalkList(Ptr(t, offsetof(DESC_TRANSACTION, actions)), seen, [&](const BYTE *) { ++c.actions; });
  });
}

void CountCommandBlock(BlobCounts &c, const BYTE *block, unsigned depth);

void CountStatements(BlobCounts &c, const BYTE *first, unsigned depth)
{
  std::set<const BYTE *> seen;
  WalkList(first, seen, [&](const BYTE *s) {
    ++c.statements;
    if (DescLd16(s, offsetof(DESC_STATEMENT, kind)) == DESC_STMT_COMMAND)
      CountCommandBlock(c, Ptr(s, offsetof(DESC_STATEMENT_COMMAND, block)), depth + 1);
  });
}

void CountCommandBlock(BlobCounts &c, const BYTE *block, unsigned depth)
{
  if (block == nullptr || depth > 1000) return;
  Judge(c, Ptr(block, offsetof(DESC_COMMAND_BLOCK, judge)));
  CountStatements(c, Ptr(block, offsetof(DESC_COMMAND_BLOCK, thenList)), depth);
  CountStatements(c, Ptr(block, offsetof(DESC_COMMAND_BLOCK, elsePart)), depth);
}

BlobCounts CountBlob(const DESC_BLOB *blob)
{
  BlobCounts c;
  const BYTE *base = reinterpret_cast<const BYTE *>(blob);
  std::set<const BYTE *> seen;
  WalkList(Ptr(base, offsetof(DESC_HEADER, items)), seen, [&](const BYTE *item) {
    ++c.items;
    if (DescLd16(item, offsetof(DESC_ITEM_NODE, variant)) != 0) {
      ++c.variants;  // shares the values of its base item
      return;
    }
    BYTE kind = static_cast<BYTE>(DescLd16(item, offsetof(DESC_ITEM_NODE, type)) & 0xFF);
    if (kind == DESC_TYPE_PICK_ONE || kind == DESC_TYPE_PICK_MANY)
      WalkList(Ptr(item, offsetof(DESC_ITEM_NODE, values)), seen, [&](const BYTE *) { ++c.values; });
  });

  std::set<const BYTE *> rules;
  const BYTE *block = Ptr(base, offsetof(DESC_HEADER, rules));
  for (unsigned guard = 0; block != nullptr && guard < 1000000; ++guard) {
    ++c.ruleBlocks;
    Judge(c, Ptr(block, offsetof(DESC_RULE_BLOCK, hideJudge)));
    Judge(c, Ptr(block, offsetof(DESC_RULE_BLOCK, disableJudge)));
    WalkList(Ptr(block, offsetof(DESC_RULE_BLOCK, valueRules)), rules, [&](const BYTE *r) {
      ++c.valueRules;
      Judge(c, Ptr(r, offsetof(DESC_VALUE_RULE, hideJudge)));
      Judge(c, Ptr(r, offsetof(DESC_VALUE_RULE, disableJudge)));
    });
    WalkList(Ptr(block, offsetof(DESC_RULE_BLOCK, alerts)), rules, [&](const BYTE *a) {
      ++c.alerts;
      Judge(c, Ptr(a, offsetof(DESC_ALERT, judge)));
      WalkList(Ptr(a, offsetof(DESC_ALERT, answers)), rules, [&](const BYTE *answer) {
        ++c.alertAnswers;
        CountTransactions(c, Ptr(answer, offsetof(DESC_ALERT_ACTION, transactions)), rules);
      });
    });
    CountTransactions(c, Ptr(block, offsetof(DESC_RULE_BLOCK, transactions1)), rules);
    CountTransactions(c, Ptr(block, offsetof(DESC_RULE_BLOCK, transactions2)), rules);
    block = Ptr(block, offsetof(DESC_RULE_BLOCK, next));
  }

  static const char *const kGroups[DESC_GROUP_COUNT] = {"JobStart", "JobEnd", "DocReset", "PageStart", "PageEnd"};
  for (int g = 0; g < DESC_GROUP_COUNT; ++g) {
    const BYTE *group = Ptr(base, offsetof(DESC_HEADER, groups) + 4u * g);
    if (group == nullptr) continue;
    c.groups.push_back(kGroups[g]);
    CountCommandBlock(c, group, 0);
  }
  c.deviceFonts = DescLd32(base, offsetof(DESC_HEADER, deviceFontCount));
  c.cartridgeFonts = DescLd32(base, offsetof(DESC_HEADER, cartridgeFontCount));
  return c;
}

std::string BlobVersion(const BYTE *block)
{
  std::u16string v;
  for (int i = 0; i < 15; ++i) {
    WCHAR ch = DescLd16(block, 2u * i);
    if (ch == 0) break;
    v.push_back(ch);
  }
  return Narrow(v);
}

std::string Join(const std::vector<std::string> &parts)
{
  std::string out;
  for (const auto &p : parts) out += (out.empty() ? "" : ", ") + p;
  return out;
}

void PrintSummary(const std::u16string &path, const DESC_BLOB *blob, const Diagnostics &diag, const char *cacheState)
{
  BlobCounts c = CountBlob(blob);
  const BYTE *base = reinterpret_cast<const BYTE *>(blob);
  WCHAR cachePath[DESC_CACHE_PATH_CHARS];
  bool havePath = DescMakeCachePath(cachePath, path.c_str());
  printf("description     %s\n", ShowPath(path).c_str());
  printf("FileVersion     %s\n", BlobVersion(base).c_str());
  printf("items           %u (%u variant or identity)\n", c.items, c.variants);
  printf("values          %u\n", c.values);
  printf("rule blocks     %u (%u value rules)\n", c.ruleBlocks, c.valueRules);
  printf("judges          %zu\n", c.judges.size());
  printf("alerts          %u (%u answers)\n", c.alerts, c.alertAnswers);
  printf("transactions    %u (%u actions)\n", c.transactions, c.actions);
  printf("command groups  %zu%s%s%s (%u statements)\n", c.groups.size(), c.groups.empty() ? "" : " (",
         Join(c.groups).c_str(), c.groups.empty() ? "" : ")", c.statements);
  printf("fonts           %lu device, %lu cartridge\n", static_cast<unsigned long>(c.deviceFonts),
         static_cast<unsigned long>(c.cartridgeFonts));
  printf("blob size       %lu bytes\n", static_cast<unsigned long>(DescLd32(base, offsetof(DESC_HEADER, totalSize))));
  printf("rejected lines  %u errors, %u warnings\n", diag.errors, diag.warnings);
  printf("cache file      %s %s\n", havePath ? ShowPath(cachePath).c_str() : "(path too long)", cacheState);
}

// ---------------------------------------------------------------- compile

const WCHAR *DriverVersion(DRIVER_CONTEXT *ctx) { return ctx && ctx->model ? ctx->model->driverVersionText : nullptr; }

// The write flag without a printer: the text's FileVersion against the driver build's.
bool VersionMatchesBuild(const std::u16string &path)
{
  WCHAR version[16] = {0};
  DescReadTextFileVersion(path.c_str(), version);
  const WCHAR *driver = DriverVersion(CtxGetTemplate());
  return version[0] != 0 && driver != nullptr && lstrcmpiW(version, driver) == 0;
}

int Compile(const std::u16string &path, DRIVER_CONTEXT *ctx)
{
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
    return Fail("cannot read " + ShowPath(path) + ": " + ErrorText(GetLastError()));
  Diagnostics diag;
  diag.file = ShowPath(path);
  DESC_DIAG_SINK sink = {&diag, Report};
  // With a context the compiler compares the versions itself.
  bool mayWrite = ctx != nullptr ? true : VersionMatchesBuild(path);
  DWORD writesBefore = DescCacheFileWriteCount();
  DESC_BLOB *blob = DescCompileEx(ctx, path.c_str(), mayWrite ? TRUE : FALSE, &sink);
  if (blob == nullptr) {
    DWORD err = GetLastError();
    return Fail("cannot compile " + ShowPath(path) + ": " +
                (err != NO_ERROR ? ErrorText(err) : std::string("the compiler made no block")));
  }
  WCHAR blobVersion[16] = {0};
  for (int i = 0; i < 15; ++i) blobVersion[i] = DescLd16(blob, 2u * i);
  const WCHAR *driver = DriverVersion(ctx != nullptr ? ctx : CtxGetTemplate());
  const char *cacheState = "written";
  if (DescCacheFileWriteCount() == writesBefore) {
    if (blobVersion[0] == 0)
      cacheState = "not written (the description has no FileVersion)";
    else if (driver == nullptr || lstrcmpiW(blobVersion, driver) != 0)
      cacheState = "not written (FileVersion is not the driver's)";
    else if (DescLd32(blob, offsetof(DESC_HEADER, totalSize)) <= DESC_HEADER_SIZE)
      cacheState = "not written (nothing beyond the header)";
    else
      cacheState = "not written (the file could not be written)";
  }
  if (!g_quiet) PrintSummary(path, blob, diag, cacheState);
  GlobalFree(blob);
  return diag.errors != 0 ? 1 : 0;
}

int CompileForPrinter(const std::string &name)
{
  std::u16string w = Widen(name);
  HANDLE printer = NULL;
  PRINTER_DEFAULTSW defaults = {NULL, NULL, PRINTER_ACCESS_USE};
  if (!OpenPrinterW(w.data(), &printer, &defaults))
    return Fail("cannot open printer \"" + name + "\": " + ErrorText(GetLastError()));
  WCHAR *path = PathGetDriverDataFile(printer);
  // A light context: the model and the printer, without loading any description.
  DRIVER_CONTEXT *ctx = path ? CtxCreateWithMode(printer, printer, NULL, CTX_OPEN_LIGHT, CTX_CREATE_DOCPROPS) : NULL;
  DWORD err = GetLastError();
  int rc;
  if (path == nullptr)
    rc = Fail("printer \"" + name + "\" has no description file");
  else if (ctx == nullptr)
    rc = Fail("cannot open a driver context for printer \"" + name + "\": " + ErrorText(err));
  else
    rc = Compile(std::u16string(path), ctx);
  if (ctx != nullptr) CtxDestroy(ctx, 0);
  if (path != nullptr) GlobalFree(path);
  ClosePrinter(printer);
  return rc;
}

// ---------------------------------------------------------------- check

int Check(const std::u16string &path)
{
  std::string file = ShowPath(path);
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (h == INVALID_HANDLE_VALUE) return Fail("cannot open " + file + ": " + ErrorText(GetLastError()));
  LARGE_INTEGER size;
  std::vector<BYTE> bytes;
  bool read = GetFileSizeEx(h, &size) != FALSE && size.QuadPart <= static_cast<LONGLONG>(DESC_CACHE_FILE_MAX);
  if (read) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    read = bytes.empty() ||
           (ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, NULL) && got == bytes.size());
  }
  CloseHandle(h);
  if (!read) return Fail(file + ": cannot read the file (or it is larger than a cache file can be)");
  DWORD n = static_cast<DWORD>(bytes.size());
  if (n <= DESC_HEADER_SIZE) return Fail(file + ": invalid: " + std::to_string(n) + " bytes, not more than a header");
  DWORD total = DescLd32(bytes.data(), offsetof(DESC_HEADER, totalSize));
  if (total != n)
    return Fail(file + ": invalid: recorded size " + std::to_string(total) + ", file size " + std::to_string(n));
  DESC_VALIDATE_RESULT why = {};
  if (!DescValidateStored(bytes.data(), n, &why))
    return Fail(file + ": invalid at offset " + std::to_string(why.offset) + ": " + why.reason);
  if (!g_quiet)
    printf("%s: OK, %lu bytes, FileVersion %s\n", file.c_str(), static_cast<unsigned long>(n),
           BlobVersion(bytes.data()).c_str());
  return 0;
}

const char kUsage[] = "compile [--quiet] DESC | compile [--quiet] --printer NAME | compile [--quiet] --check BCS";

int RunCompile(const Args &in)
{
  ParsedArgs a;
  if (!ParseArgs(in, {{"--quiet", false}, {"--printer", true}, {"--check", true}}, kUsage, a)) return 2;
  g_quiet = a.Has("--quiet");
  int modes = (a.Has("--printer") ? 1 : 0) + (a.Has("--check") ? 1 : 0) + (a.rest.empty() ? 0 : 1);
  if (modes == 0)
    return UsageError(kUsage, "name a description, a printer (--printer NAME) or a cache file (--check BCS)");
  if (modes > 1 || a.rest.size() > 1) return UsageError(kUsage, "one description, printer or cache file at a time");
  if (a.Has("--printer")) {
    if (int rc = RequireMachineRoot()) return rc;
    return CompileForPrinter(a.options["--printer"]);
  }
  std::string err;
  if (!UseMachineRootOrPrivate(err)) return err.empty() ? 1 : Fail(err);
  std::u16string path;
  if (!FileArgument(a.Has("--check") ? a.options["--check"] : a.rest[0], path, err)) return Fail(err);
  return a.Has("--check") ? Check(path) : Compile(path, nullptr);
}

Registrar reg({"compile", kUsage,
               "Compiles a printer description (DESC, a file of this computer or a Windows path on the\n"
               "machine root) and prints what the compiled block holds; rejected lines go to standard\n"
               "error as file:line: message. The .BCS cache file is written beside DESC when its\n"
               "FileVersion is the driver's. --printer compiles the description of an installed\n"
               "printer; --check checks a .BCS file. With no machine root, a private one is used for\n"
               "the run. --quiet prints only the file:line: message lines.\n"
               "Exit status: 0 no line rejected as an error (warnings keep 0); 1 a rejected line, or\n"
               "the file cannot be compiled or checked; 2 wrong arguments.\n",
               RunCompile});

}  // namespace
}  // namespace host
