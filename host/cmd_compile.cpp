// kvmlhost compile DESC | compile --printer NAME | compile --check BCS:
// compiles a printer description and reports what the compiled block holds, or checks a
// .BCS cache file.
//
// DESC and BCS are host paths or Windows paths on the machine root. Without a machine root
// a file is compiled or checked on a private one that lasts for the run. Rejected lines
// and questionable references are printed to standard error as "file:line: message";
// --quiet prints nothing else. Exit status: 0 when no error was reported (warnings alone
// keep 0), 1 when a line, statement or field was rejected as an error or the file cannot
// be compiled or is not a valid cache file, 2 for wrong arguments.
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
#include "context/context_create.h"
#include "blob/desc_blob.h"
#include "blob/desc_cache.h"
#include "blob/desc_compile.h"
#include "blob/desc_store.h"
#include "blob/desc_walk.h"
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

// Counts the parts of a relocated block over the walk of its node graph. Links are
// pointers; each node is counted once however many links lead to it, and the value data
// of variant and Identity items is counted with its base item.
struct BlobCounts {
  unsigned items = 0, variants = 0, values = 0;
  unsigned ruleBlocks = 0, valueRules = 0, alerts = 0, alertAnswers = 0, transactions = 0, actions = 0;
  unsigned judges = 0;
  std::vector<std::string> groups;
  unsigned statements = 0;
  DWORD deviceFonts = 0, cartridgeFonts = 0;
  std::set<const BYTE *> seen;
};

BOOL CountLink(void *user, const DESC_LINK *link, BYTE **target)
{
  auto *c = static_cast<BlobCounts *>(user);
  BYTE *p = const_cast<BYTE *>(DescLdPtr(link->from, link->field));
  *target = nullptr;
  if (p == nullptr || (link->flags & DESC_LINK_SHARED) != 0 || link->depth > DESC_MAX_COMMAND_DEPTH) return TRUE;
  if (!c->seen.insert(p).second) return TRUE;
  if (link->fromKind == DESC_NODE_HEADER && link->kind == DESC_NODE_COMMAND_BLOCK) {
    static const char *const kGroups[DESC_GROUP_COUNT] = {"JobStart", "JobEnd", "DocReset", "PageStart", "PageEnd"};
    c->groups.push_back(kGroups[(link->field - offsetof(DESC_HEADER, groups)) / sizeof(void *)]);
  }
  *target = p;
  return TRUE;
}

BOOL CountNode(void *user, const DESC_WALK_NODE *node)
{
  auto *c = static_cast<BlobCounts *>(user);
  switch (node->kind) {
    case DESC_NODE_ITEM:
      ++c->items;
      if (DescLd16(node->at, offsetof(DESC_ITEM_NODE, variant)) != 0) ++c->variants;
      break;
    case DESC_NODE_VALUE: ++c->values; break;
    case DESC_NODE_RULE_BLOCK: ++c->ruleBlocks; break;
    case DESC_NODE_VALUE_RULE: ++c->valueRules; break;
    case DESC_NODE_ALERT: ++c->alerts; break;
    case DESC_NODE_ALERT_ACTION: ++c->alertAnswers; break;
    case DESC_NODE_TRANSACTION: ++c->transactions; break;
    case DESC_NODE_ACTION: ++c->actions; break;
    case DESC_NODE_CODE: ++c->judges; break;
    case DESC_NODE_STATEMENT: ++c->statements; break;
    default: break;
  }
  return TRUE;
}

BlobCounts CountBlob(const DESC_BLOB *blob)
{
  BlobCounts c;
  BYTE *base = reinterpret_cast<BYTE *>(const_cast<DESC_BLOB *>(blob));
  DESC_WALK_VISITOR visitor = {&c, CountLink, CountNode};
  DescWalkGraph(base, &visitor);
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
  printf("judges          %u\n", c.judges);
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

int Compile(const std::u16string &path, DRIVER_CONTEXT *ctx)
{
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
    return Fail("cannot read " + ShowPath(path) + ": " + ErrorText(GetLastError()));
  Diagnostics diag;
  diag.file = ShowPath(path);
  DESC_DIAG_SINK sink = {&diag, Report};
  // Without a printer the driver build's own context stands in, so the compiler applies
  // the same version rule to its model.
  DRIVER_CONTEXT *versionCtx = ctx != nullptr ? ctx : CtxGetTemplate();
  DWORD writesBefore = DescCacheFileWriteCount();
  DESC_BLOB *blob = DescCompileEx(versionCtx, path.c_str(), versionCtx != nullptr ? TRUE : FALSE, &sink);
  if (blob == nullptr) {
    DWORD err = GetLastError();
    return Fail("cannot compile " + ShowPath(path) + ": " +
                (err != NO_ERROR ? ErrorText(err) : std::string("the compiler made no block")));
  }
  std::string cacheState = "written";
  if (DescCacheFileWriteCount() == writesBefore) {
    // Ask the cache's rules why; when they allowed the write, the file system refused it.
    DESC_CACHE_FACTS facts = {};
    facts.checkDriver = TRUE;
    facts.driverVersion =
        versionCtx != nullptr && versionCtx->model != nullptr ? versionCtx->model->driverVersionText : nullptr;
    facts.block = reinterpret_cast<const BYTE *>(blob);  // header fields read alike in either form
    DESC_CACHE_REASON reason = DescCacheDecide(DESC_CACHE_WRITE, &facts);
    cacheState = std::string("not written (") +
                 (reason == DESC_CACHE_ALLOWED ? "the file could not be written" : DescCacheReasonText(reason)) + ")";
  }
  if (!g_quiet) PrintSummary(path, blob, diag, cacheState.c_str());
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
  DESC_VALIDATE_RESULT why = {};
  DWORD blockSize = 0;
  if (!DescCheckCacheImage(bytes.data(), n, &blockSize, &why))
    return Fail(file + ": invalid at offset " + std::to_string(why.offset) + ": " + why.reason);
  if (!g_quiet)
    printf("%s: OK, %lu bytes, FileVersion %s\n", file.c_str(), static_cast<unsigned long>(blockSize),
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
               "Exit status: 0 no error reported (warnings keep 0); 1 a line, statement or field\n"
               "rejected as an error, or the file cannot be compiled or checked; 2 wrong arguments.\n",
               RunCompile});

}  // namespace
}  // namespace host
