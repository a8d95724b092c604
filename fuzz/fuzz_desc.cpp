// Fuzz target: printer description text through the compiler.
//
// The input is written as a description file under a fresh machine root and compiled
// twice: by DescCompileEx with the cache-file write off (the relocated block every
// context would borrow), and by the parse, size and serialize steps, whose stored form
// must pass DescValidateStored: the validator has to accept everything the compiler
// makes. Both blocks are then read throughout (desc_walk.h) and the runtime lookups run
// over the relocated ones. Every diagnostic must name a line of the file.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>

#include "blob/desc_compile.h"
#include "blob/desc_store.h"
#include "desc/desc_parse.h"
#include "desc_walk.h"
#include "kvplat/control.h"
#include "win32.h"

namespace {

std::string g_root;
std::string g_file;
const WCHAR *const kWinFile = u"C:\\KVML\\DRIVERS\\FUZZDESC.KVD";

void RemoveRoot()
{
  std::error_code ec;
  if (!g_root.empty()) std::filesystem::remove_all(g_root, ec);
}

[[noreturn]] void Fail(const char *what, const std::string &detail)
{
  fprintf(stderr, "fuzz_desc: %s: %s\n", what, detail.c_str());
  abort();
}

void Setup()
{
  PlatResetForTest();
  if (g_root.empty()) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kvfuzz-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) abort();
    g_root = tmpl;
    std::filesystem::create_directories(g_root + "/C/WINDOWS/system32");
    std::filesystem::create_directories(g_root + "/C/KVML/DRIVERS");
    atexit(RemoveRoot);
    g_file = g_root + "/C/KVML/DRIVERS/FUZZDESC.KVD";
  }
  if (!PlatSetMachineRoot(g_root.c_str())) abort();
}

struct Diags {
  DWORD lines = 0;
  DWORD reports = 0;
};

void Report(void *user, DWORD line, DWORD severity, const char *message)
{
  Diags *d = static_cast<Diags *>(user);
  ++d->reports;
  if (message == nullptr) Fail("diagnostic without a message", std::to_string(line));
  if (strlen(message) > 4096) Fail("diagnostic message runs on", std::to_string(strlen(message)));
  if (severity != DESC_DIAG_WARNING && severity != DESC_DIAG_ERROR)
    Fail("diagnostic severity", std::to_string(severity));
  if (line > d->lines + 1) Fail("diagnostic names a line past the end", std::to_string(line) + ": " + message);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  Setup();
  FILE *f = fopen(g_file.c_str(), "wb");
  if (f == nullptr) abort();
  if (size > 0 && fwrite(data, 1, size, f) != size) abort();
  fclose(f);

  Diags diags;
  for (size_t i = 0; i < size; ++i)
    if (data[i] == '\n' || (data[i] == '\r' && (i + 1 == size || data[i + 1] != '\n'))) ++diags.lines;
  DESC_DIAG_SINK sink = {&diags, Report};

  // The relocated block a context would borrow.
  DESC_BLOB *blob = DescCompileEx(nullptr, kWinFile, FALSE, &sink);
  if (blob != nullptr) {
    DWORD total = DescLd32(blob, offsetof(DESC_HEADER, totalSize));
    std::string why;
    if (!DescWalkRelocated((const BYTE *)blob, total, &why)) Fail("compiled block unsafe to read", why);
    DescExerciseRuntime(blob, "fuzz_desc");
    GlobalFree(blob);
  }

  // The stored form, as the cache file would hold it.
  DESC_PARSE_STATE *state = DescParseFile(kWinFile);
  if (state == nullptr) {
    if (blob != nullptr) Fail("the compile succeeded where the parse failed", "");
    return 0;
  }
  DWORD size2 = DescComputeSize(state);
  if (size2 < DESC_HEADER_SIZE) Fail("computed size below the header", std::to_string(size2));
  BYTE *block = (BYTE *)GlobalAlloc(GPTR, size2);
  if (block == nullptr) {
    DescParseStateFree(state);
    return 0;
  }
  state->header->totalSize = size2;
  DescSerialize(state, block);
  // An exact-size copy: a read past the end is caught by AddressSanitizer.
  BYTE *stored = (BYTE *)malloc(size2);
  memcpy(stored, block, size2);
  GlobalFree(block);
  DESC_VALIDATE_RESULT why = {};
  if (!DescValidateStored(stored, size2, &why)) {
    why.reason[sizeof why.reason - 1] = 0;
    Fail("the validator refuses the compiler's own block",
         std::string(why.reason) + " at " + std::to_string(why.offset));
  }
  DESC_BLOB *relocated = DescRelocate(stored);
  std::string reason;
  if (!DescWalkRelocated(stored, size2, &reason)) Fail("serialized block unsafe to read", reason);
  DescExerciseRuntime(relocated, "fuzz_desc");
  free(stored);
  return 0;
}
