// Writes the seeds of fuzz_bcs: the cache file (.BCS bytes: the stored block and its
// trailer) of each description file given, compiled under a scratch machine root, plus that
// of a description holding only its FileVersion line.
//
//   fuzz_make_bcs OUTDIR DESCRIPTION_OR_FOLDER...
//
// Exits 1 when no seed could be written.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "blob/desc_cache.h"
#include "blob/desc_store.h"
#include "desc/desc_parse.h"
#include "kvplat/control.h"
#include "win32.h"

namespace fs = std::filesystem;

namespace {

const WCHAR *const kWinFile = u"C:\\KVML\\DRIVERS\\SEEDDESC.KVD";

// The stored form of a description text, empty when it does not parse.
std::vector<BYTE> Compile(const std::string &root, const std::string &text)
{
  {
    std::ofstream out(root + "/C/KVML/DRIVERS/SEEDDESC.KVD", std::ios::binary | std::ios::trunc);
    out << text;
  }
  DESC_PARSE_STATE *state = DescParseFile(kWinFile);
  if (state == nullptr) return {};
  DWORD size = DescComputeSize(state);
  std::vector<BYTE> block(size);
  BYTE *tmp = (BYTE *)GlobalAlloc(GPTR, size);
  if (tmp == nullptr) {
    DescParseStateFree(state);
    return {};
  }
  state->header->totalSize = size;
  DescSerialize(state, tmp);
  memcpy(block.data(), tmp, size);
  GlobalFree(tmp);
  return block;
}

void AddInputs(const fs::path &p, std::vector<fs::path> *out)
{
  std::error_code ec;
  if (fs::is_directory(p, ec)) {
    std::vector<fs::path> names;
    for (const auto &e : fs::directory_iterator(p, ec))
      if (e.is_regular_file()) names.push_back(e.path());
    std::sort(names.begin(), names.end());
    out->insert(out->end(), names.begin(), names.end());
  } else if (fs::is_regular_file(p, ec)) {
    out->push_back(p);
  } else {
    fprintf(stderr, "fuzz_make_bcs: cannot read %s\n", p.c_str());
  }
}

}  // namespace

int main(int argc, char **argv)
{
  if (argc < 2) {
    fprintf(stderr, "usage: fuzz_make_bcs OUTDIR DESCRIPTION_OR_FOLDER...\n");
    return 2;
  }
  fs::path outDir = argv[1];
  std::error_code ec;
  fs::create_directories(outDir, ec);
  std::string tmpl = (fs::temp_directory_path() / "kvbcs-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) return 1;
  std::string root = tmpl;
  fs::create_directories(root + "/C/WINDOWS/system32");
  fs::create_directories(root + "/C/KVML/DRIVERS");
  PlatSetMachineRoot(root.c_str());

  std::vector<std::pair<std::string, std::string>> texts = {{"version_only", "*FileVersion: 1.0\r\n"}};
  std::vector<fs::path> inputs;
  for (int i = 2; i < argc; ++i) AddInputs(argv[i], &inputs);
  for (const fs::path &p : inputs) {
    std::ifstream in(p, std::ios::binary);
    texts.emplace_back(p.filename().string(), std::string(std::istreambuf_iterator<char>(in), {}));
  }
  int written = 0;
  for (const auto &[name, text] : texts) {
    std::vector<BYTE> block = Compile(root, text);
    if (block.empty()) {
      fprintf(stderr, "fuzz_make_bcs: %s does not compile\n", name.c_str());
      continue;
    }
    BYTE trailer[DESC_CACHE_TRAILER_SIZE];
    DescMakeCacheTrailer(block.data(), trailer);
    std::ofstream out(outDir / (name + ".bcs"), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(block.data()), (std::streamsize)block.size());
    out.write(reinterpret_cast<const char *>(trailer), (std::streamsize)sizeof trailer);
    ++written;
  }
  fs::remove_all(root, ec);
  printf("fuzz_make_bcs: %d seeds in %s\n", written, outDir.c_str());
  return written > 0 ? 0 : 1;
}
