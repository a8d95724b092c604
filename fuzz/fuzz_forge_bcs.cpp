// How many forged cache files pass for compiled ones. Each description given is compiled,
// and its stored block is forged N times by a seeded generator: one to three changes of
// byte flips, 16- or 32-bit words rewritten (a random value, a small step, one bit, zero, or
// the value of another field) and two fields swapped (anywhere, or side by side as x and y
// or width and length are). Each forged block is sealed with a freshly computed trailer, so
// its checksum holds, and checked as a cache file is before it is used. Every accepted
// block must be safe to relocate and read (else the program aborts, as a fuzz target
// does); then what a driver context reports with it is compared with what it reports with
// the compiled block:
//   papers      size and printable area of every paper value at every resolution and
//               orientation, and the paper, size, tray and resolution enumerations;
//   items       type, default, value count and value IDs of every item with a slot.
// The acceptance rate is a figure to watch, not a pass mark: a forged command text or a
// printable area moved by a dot inside the paper is a description the compiler could have
// written.
//
//   fuzz_forge_bcs [-n N] [-s SEED] [-v] DESCRIPTION...
//
// -v lists each accepted forgery that changes the answers, with its changes. Exits 0 after
// the figures, 1 when a description does not compile, 2 for bad arguments.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "blob/desc_cache.h"
#include "blob/desc_geometry.h"
#include "blob/desc_runtime.h"
#include "blob/desc_store.h"
#include "context.h"
#include "context/context_create.h"
#include "desc/desc_parse.h"
#include "desc_walk.h"
#include "items/item_store.h"
#include "rules/rule_caps.h"
#include "tables/item_ids.h"
#include "tables/template_tables.h"
#include "test_printer.h"

namespace {

struct Rng {
  uint64_t s;
  DWORD Next(DWORD bound)
  {
    s ^= s >> 12;
    s ^= s << 25;
    s ^= s >> 27;
    uint64_t x = s * 0x2545F4914F6CDD1Dull;
    return bound == 0 ? 0 : (DWORD)((x >> 32) % bound);
  }
};

// A position of a field of width bytes the forger may change: anywhere after the total
// size (a forger keeps the size right; the FileVersion is compared as text).
DWORD Position(const std::vector<BYTE> &v, Rng &r, DWORD width)
{
  const DWORD first = offsetof(DESC_HEADER, items);
  return first + r.Next((DWORD)v.size() - width - first + 1);
}

DWORD Load(const std::vector<BYTE> &v, DWORD at, DWORD width)
{
  return width == 2 ? DescLd16(v.data(), at) : DescLd32(v.data(), at);
}
void Store(std::vector<BYTE> &v, DWORD at, DWORD width, DWORD value)
{
  if (width == 2)
    DescSt16(v.data(), at, (WORD)value);
  else
    DescSt32(v.data(), at, value);
}

// One change; appends what it did to *what.
void Change(std::vector<BYTE> &v, Rng &r, std::string *what)
{
  char line[96];
  DWORD width = r.Next(2) == 0 ? 2 : 4;
  switch (r.Next(3)) {
    case 0: {
      DWORD at = Position(v, r, 1);
      BYTE mask = (BYTE)(1 + r.Next(255));
      v[at] ^= mask;
      snprintf(line, sizeof line, "byte %lu ^= 0x%02x; ", (unsigned long)at, mask);
      break;
    }
    case 1: {
      DWORD at = Position(v, r, width), old = Load(v, at, width), value;
      switch (r.Next(5)) {
        case 0: value = (DWORD)r.Next(0xFFFFFFFFu) ^ (DWORD)r.Next(0xFFFFFFFFu) << 1; break;
        case 1: {
          DWORD step = 1 + r.Next(16);
          value = r.Next(2) == 0 ? old + step : old - step;
          break;
        }
        case 2: value = old ^ (1u << r.Next(8 * width)); break;
        case 3: value = 0; break;
        default: value = Load(v, Position(v, r, width), width); break;
      }
      Store(v, at, width, value);
      snprintf(line, sizeof line, "%lu-bit word %lu: %lu -> %lu; ", (unsigned long)(8 * width), (unsigned long)at,
               (unsigned long)old, (unsigned long)Load(v, at, width));
      break;
    }
    default: {
      DWORD a = Position(v, r, width);
      DWORD b = r.Next(2) == 0 && a + 2 * width <= v.size() ? a + width : Position(v, r, width);
      DWORD x = Load(v, a, width), y = Load(v, b, width);
      Store(v, a, width, y);
      Store(v, b, width, x);
      snprintf(line, sizeof line, "%lu-bit fields %lu and %lu swapped; ", (unsigned long)(8 * width), (unsigned long)a,
               (unsigned long)b);
      break;
    }
  }
  *what += line;
}

// Forgery number i of a block: seeded per forgery, so one can be rebuilt from its number.
std::vector<BYTE> Forge(const std::vector<BYTE> &block, uint64_t seed, DWORD i, std::string *what)
{
  std::vector<BYTE> v = block;
  Rng r = {seed ^ ((uint64_t)(i + 1) * 0x9E3779B97F4A7C15ull)};
  r.Next(1);
  DWORD changes = r.Next(4) == 0 ? 2 + r.Next(2) : 1;
  for (DWORD k = 0; k < changes; ++k) Change(v, r, what);
  return v;
}

// The cache file of a block: the block and a trailer computed for it.
std::vector<BYTE> Seal(const std::vector<BYTE> &block)
{
  std::vector<BYTE> image = block;
  image.resize(block.size() + DESC_CACHE_TRAILER_SIZE);
  DescMakeCacheTrailer(block.data(), image.data() + block.size());
  return image;
}

std::vector<WORD> ValuesOfItem(WORD itemId)
{
  std::vector<WORD> out;
  for (SHORT i = 0; i < g_kvValueSymbolCount; ++i)
    if (g_kvValueSymbols[i].itemId == itemId) out.push_back(g_kvValueSymbols[i].valueId);
  return out;
}

// What the context reports, one line per answer, in two groups.
struct Answers {
  std::vector<std::string> papers, items;
};

std::string Join(const char *name, const LONG *values, LONG count)
{
  std::ostringstream s;
  s << name << " " << count << ":";
  for (LONG i = 0; i < count && i < 256; ++i) s << " " << values[i];
  return s.str();
}

Answers Ask(DRIVER_CONTEXT *ctx)
{
  Answers a;
  static const std::vector<WORD> papers = ValuesOfItem(ITEM_dmPaperSize);
  static const std::vector<WORD> orientations = ValuesOfItem(ITEM_dmOrientation);
  static const std::vector<WORD> resolutions = ValuesOfItem(ITEM_kdmDstResolutionW);
  LONG orientation = ItemGetValue(ctx, ITEM_dmOrientation, NULL);
  LONG resolution = ItemGetValue(ctx, ITEM_kdmDstResolutionW, NULL);
  for (WORD o : orientations) {
    ItemSetValue(ctx, ITEM_dmOrientation, o);
    for (WORD paper : papers) {
      SIZE size = {};
      int found = DescGetPaperSizeOfValue(ctx, &size, paper);
      std::ostringstream s;
      s << "paper " << paper << " orientation " << o << " size " << found << " " << size.cx << "x" << size.cy;
      a.papers.push_back(s.str());
      for (WORD res : resolutions) {
        ItemSetValue(ctx, ITEM_kdmDstResolutionW, res);
        RECT area = {};
        POINT offsets = {};
        found = DescGetPrintableArea(ctx, &area, &offsets, paper);
        std::ostringstream p;
        p << "paper " << paper << " orientation " << o << " resolution " << res << " area " << found << " ("
          << area.left << "," << area.top << ")-(" << area.right << "," << area.bottom << ") offsets " << offsets.x
          << "," << offsets.y;
        a.papers.push_back(p.str());
      }
    }
  }
  ItemSetValue(ctx, ITEM_dmOrientation, orientation);
  ItemSetValue(ctx, ITEM_kdmDstResolutionW, resolution);

  const LONG kMax = 512;
  std::vector<WORD> words(kMax);
  std::vector<LONG> longs(2 * kMax);
  std::vector<POINT> points(kMax);
  LONG n = CapEnumPapers(ctx, words.data(), kMax, ITEM_dmPaperSize);
  for (LONG i = 0; i < n && i < kMax; ++i) longs[i] = words[i];
  a.papers.push_back(Join("papers", longs.data(), n));
  n = CapEnumPaperSizes(ctx, points.data(), kMax, ITEM_dmPaperSize);
  for (LONG i = 0; i < n && i < kMax; ++i) longs[2 * i] = points[i].x, longs[2 * i + 1] = points[i].y;
  a.papers.push_back(Join("paper sizes", longs.data(), n < 0 ? n : 2 * n));
  n = CapEnumBins(ctx, words.data(), kMax);
  for (LONG i = 0; i < n && i < kMax; ++i) longs[i] = words[i];
  a.papers.push_back(Join("bins", longs.data(), n));
  n = CapEnumResolutions(ctx, longs.data(), kMax);
  a.papers.push_back(Join("resolutions", longs.data(), n < 0 ? n : 2 * n));

  auto item = [&](WORD id) {
    LONG count = DescCountItemValues(id, ctx);
    if (count < 0) return;  // no node
    std::ostringstream s;
    s << "item " << id << " type " << DescGetItemTypeRaw(id, ctx) << " default " << DescGetItemDefault(id, ctx)
      << " values " << count << ":";
    WORD type = DescGetItemType(id, ctx);
    const BYTE *v = (type & 3) != 0 ? static_cast<const BYTE *>(DescGetItemValues(id, ctx, NULL)) : NULL;
    for (LONG k = 0; v != NULL && k < count; ++k, v = DESC_FIELDPTR(v, DESC_VALUE_NODE, next))
      s << " " << DESC_FIELD16(v, DESC_VALUE_NODE, valueId);
    a.items.push_back(s.str());
  };
  for (WORD id = 1; id <= 1270; ++id) item(id);
  for (WORD id = 10001; id <= 10385; ++id) item(id);
  return a;
}

// The first answer that differs, empty when none does.
std::string FirstDifference(const std::vector<std::string> &want, const std::vector<std::string> &got)
{
  for (size_t i = 0; i < want.size() || i < got.size(); ++i) {
    const std::string w = i < want.size() ? want[i] : "(none)", g = i < got.size() ? got[i] : "(none)";
    if (w != g) return "was \"" + w + "\", now \"" + g + "\"";
  }
  return std::string();
}

// The stored block of a description text under the root, empty when it does not compile.
std::vector<BYTE> Compile(const std::string &root, const std::string &path)
{
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream(root + "/C/sample/FORGE.KVD", std::ios::binary | std::ios::trunc) << text;
  DESC_PARSE_STATE *state = DescParseFile(u"C:\\sample\\FORGE.KVD");
  if (state == nullptr) return {};
  DWORD size = DescComputeSize(state);
  std::vector<BYTE> block(size);
  BOOL ok = size != 0 && DescStoreParseState(state, block.data(), size);
  DescParseStateFree(state);
  return ok ? block : std::vector<BYTE>();
}

// A relocated copy of a stored block (GlobalAlloc; free with GlobalFree).
DESC_BLOB *Relocated(const std::vector<BYTE> &block)
{
  BYTE *copy = static_cast<BYTE *>(GlobalAlloc(GPTR, block.size()));
  if (copy == nullptr) return nullptr;
  memcpy(copy, block.data(), block.size());
  return DescRelocate(copy);
}

[[noreturn]] void Die(const std::string &what)
{
  fprintf(stderr, "fuzz_forge_bcs: %s\n", what.c_str());
  abort();
}

DRIVER_CONTEXT *g_ctx = nullptr;
DESC_BLOB *g_own = nullptr;
void Release()
{
  if (g_ctx == nullptr) return;
  g_ctx->desc = g_own;
  CtxRelease(g_ctx);
}

}  // namespace

int main(int argc, char **argv)
{
  DWORD count = 1000;
  uint64_t seed = 1;
  bool verbose = false;
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-n" && i + 1 < argc)
      count = (DWORD)strtoul(argv[++i], nullptr, 10);
    else if (a == "-s" && i + 1 < argc)
      seed = strtoull(argv[++i], nullptr, 10);
    else if (a == "-v")
      verbose = true;
    else if (!a.empty() && a[0] != '-')
      paths.push_back(a);
    else {
      fprintf(stderr, "usage: fuzz_forge_bcs [-n N] [-s SEED] [-v] DESCRIPTION...\n");
      return 2;
    }
  }
  if (paths.empty()) {
    fprintf(stderr, "usage: fuzz_forge_bcs [-n N] [-s SEED] [-v] DESCRIPTION...\n");
    return 2;
  }
  std::string root;
  HANDLE printer = FuzzInstallTestPrinter("fuzz_forge_bcs", {"sample"}, &root);
  g_ctx = CtxCreate(printer, printer, nullptr, CTX_CREATE_SHEETS);
  if (g_ctx == nullptr) Die("no context");
  g_own = g_ctx->desc;
  atexit(Release);

  int status = 0;
  for (const std::string &path : paths) {
    std::vector<BYTE> block = Compile(root, path);
    std::string name = std::filesystem::path(path).filename().string();
    if (block.empty()) {
      fprintf(stderr, "fuzz_forge_bcs: %s does not compile\n", name.c_str());
      status = 1;
      continue;
    }
    DWORD checked = 0;
    if (!DescCheckCacheImage(Seal(block).data(), (DWORD)block.size() + DESC_CACHE_TRAILER_SIZE, &checked, nullptr))
      Die(name + ": the compiled block itself is refused");
    DESC_BLOB *compiled = Relocated(block);
    if (compiled == nullptr) Die("out of memory");
    g_ctx->desc = compiled;
    const Answers want = Ask(g_ctx);

    DWORD accepted = 0, papers = 0, items = 0, either = 0;
    for (DWORD i = 0; i < count; ++i) {
      std::string what;
      std::vector<BYTE> forged = Forge(block, seed, i, &what);
      if (forged == block) continue;  // a swap of two equal fields, say: nothing forged
      std::vector<BYTE> image = Seal(forged);
      DESC_VALIDATE_RESULT why;
      if (!DescCheckCacheImage(image.data(), (DWORD)image.size(), &checked, &why)) continue;
      ++accepted;
      DESC_BLOB *blob = Relocated(forged);
      if (blob == nullptr) Die("out of memory");
      std::string fault;
      if (!DescWalkRelocated(reinterpret_cast<const BYTE *>(blob), forged.size(), &fault))
        Die(name + " forgery " + std::to_string(i) + " (" + what + ") accepted but unsafe: " + fault);
      g_ctx->desc = blob;
      Answers got = Ask(g_ctx);
      g_ctx->desc = compiled;
      GlobalFree(blob);
      std::string paperChange = FirstDifference(want.papers, got.papers);
      std::string itemChange = FirstDifference(want.items, got.items);
      papers += !paperChange.empty();
      items += !itemChange.empty();
      either += !paperChange.empty() || !itemChange.empty();
      if (verbose && (!paperChange.empty() || !itemChange.empty()))
        printf("%s forgery %lu: %s%s%s\n", name.c_str(), (unsigned long)i, what.c_str(), paperChange.c_str(),
               paperChange.empty() ? itemChange.c_str() : "");
    }
    g_ctx->desc = g_own;
    GlobalFree(compiled);
    printf(
        "%s: %lu forged blocks (seed %llu), %lu accepted (%.1f%%); %lu of them change what the driver reports "
        "(%.1f%%): %lu papers, %lu items\n",
        name.c_str(), (unsigned long)count, (unsigned long long)seed, (unsigned long)accepted,
        count ? 100.0 * accepted / count : 0.0, (unsigned long)either, count ? 100.0 * either / count : 0.0,
        (unsigned long)papers, (unsigned long)items);
  }
  return status;
}
