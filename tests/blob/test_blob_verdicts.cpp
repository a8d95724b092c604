// The stored-block validator's verdicts on a fixed mutation corpus: three cache files (the
// compiled sample printer, the benchmark's generated model and a fuzz regression) mutated
// by a seeded generator (byte flips, truncations with and without the total size fixed,
// link rewrites, terminators removed, several of these at once). Every verdict, with the
// offset and reason of a refusal, must equal the one recorded in
// tests/fixtures/blob/verdicts/NAME.verdicts, so a change made for speed or memory cannot
// change what is accepted or why something is refused.
//
// KV_WRITE_VERDICTS=1 rewrites the recorded verdicts from the validator under test (run it
// only with a validator whose verdicts are the reference).
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "blob_support.h"

namespace {

const DWORD kMutantsPerBase = 6000;

struct Base {
  const char *name;  // fixture name: NAME.verdicts
  std::string path;  // the cache file (block and trailer)
};

std::vector<Base> Bases()
{
  return {{"sample", std::string(KV_BLOB_FIXTURES) + "/verdicts/sample.bcs"},
          {"bench_model", std::string(KV_BLOB_FIXTURES) + "/verdicts/bench_model.bcs"},
          {"counted_text", std::string(KV_BCS_REGRESSIONS) + "/counted_text_over_a_node.bcs"}};
}

// The stored block of a cache file: its first totalSize bytes (the trailer dropped).
std::vector<BYTE> ReadBlock(const std::string &path)
{
  std::ifstream in(path, std::ios::binary);
  std::vector<BYTE> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < DESC_HEADER_SIZE) return {};
  DWORD size = DescLd32(bytes.data(), offsetof(DESC_HEADER, totalSize));
  if (size < DESC_HEADER_SIZE || size > bytes.size()) return {};
  bytes.resize(size);
  return bytes;
}

// A small generator with a fixed sequence on every platform.
struct Rng {
  uint64_t s;
  DWORD Next(DWORD bound)
  {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return bound == 0 ? 0 : (DWORD)((s >> 11) % bound);
  }
};

DWORD Ld(const std::vector<BYTE> &v, DWORD at) { return DescLd32(v.data(), at); }
void St(std::vector<BYTE> &v, DWORD at, DWORD value) { DescSt32(v.data(), at, value); }

// Positions of the unmodified block whose 32-bit value reads as a plain or tagged link into
// the body (unaligned ones included: nodes follow unpadded texts).
std::vector<DWORD> LinkPositions(const std::vector<BYTE> &v)
{
  std::vector<DWORD> out;
  DWORD size = (DWORD)v.size();
  for (DWORD at = 32; at + 4 <= size; ++at) {
    DWORD x = Ld(v, at);
    DWORD off = (x & 15u) == 1u ? x >> 4 : x;
    if (off >= DESC_HEADER_SIZE && off < size) out.push_back(at);
  }
  return out;
}

void Flip(std::vector<BYTE> &v, Rng &r)
{
  DWORD size = (DWORD)v.size();
  DWORD at = r.Next(4) == 0 ? 32 + r.Next(DESC_HEADER_SIZE - 32) : DESC_HEADER_SIZE + r.Next(size - DESC_HEADER_SIZE);
  v[at] ^= (BYTE)(1 + r.Next(255));
}

void Truncate(std::vector<BYTE> &v, Rng &r)
{
  DWORD size = DESC_HEADER_SIZE + r.Next((DWORD)v.size() - DESC_HEADER_SIZE);
  v.resize(size);
  if (r.Next(8) != 0) St(v, offsetof(DESC_HEADER, totalSize), size);
}

void Relink(std::vector<BYTE> &v, const std::vector<DWORD> &links, Rng &r)
{
  if (links.empty()) return;
  DWORD at = links[r.Next((DWORD)links.size())];
  if (at + 4 > v.size()) return;
  DWORD size = (DWORD)v.size();
  DWORD x = Ld(v, at);
  bool tagged = (x & 15u) == 1u;
  static const int kDeltas[] = {-12, -8, -4, -2, -1, 1, 2, 3, 4, 8, 12, 16};
  DWORD value;
  switch (r.Next(8)) {
    case 0: value = x + (DWORD)(kDeltas[r.Next(12)] * (tagged ? 16 : 1)); break;
    case 1: {
      // The value of another link of the same form: lists joined, shared or made cyclic.
      value = x;
      for (int tries = 0; tries < 16; ++tries) {
        DWORD other = links[r.Next((DWORD)links.size())];
        DWORD y = other + 4 <= size ? Ld(v, other) : 0;
        if (((y & 15u) == 1u) == tagged) {
          value = y;
          break;
        }
      }
      break;
    }
    case 2: value = r.Next(size + 16); break;
    case 3: value = 0; break;
    case 4: value = tagged ? x >> 4 : DESC_TAG(x); break;
    case 5: value = r.Next(2) == 0 ? size - 1 - r.Next(8) : DESC_HEADER_SIZE - r.Next(8); break;
    case 6: value = tagged ? DESC_TAG(r.Next(size)) : at + (DWORD)kDeltas[r.Next(12)]; break;
    default:
      // Back to this field's own node or one a little before it: a list that loops.
      value = (at & ~3u) - 4 * r.Next(12);
      if (tagged) value = DESC_TAG(value);
      break;
  }
  St(v, at, value);
}

void Unterminate(std::vector<BYTE> &v, Rng &r)
{
  DWORD size = (DWORD)v.size();
  for (int tries = 0; tries < 64; ++tries) {
    DWORD at = DESC_HEADER_SIZE + r.Next(size - DESC_HEADER_SIZE);
    if (v[at] == 0) {
      v[at] = (BYTE)('A' + r.Next(26));
      return;
    }
  }
}

// Mutant number i of a base: the generator is seeded per mutant, so one mutant can be
// rebuilt alone from its number.
std::vector<BYTE> Mutant(const std::vector<BYTE> &base, const std::vector<DWORD> &links, DWORD i)
{
  std::vector<BYTE> v = base;
  Rng r = {0x9E3779B97F4A7C15ull ^ ((uint64_t)(i + 1) * 0xBF58476D1CE4E5B9ull)};
  r.Next(1);
  DWORD steps = r.Next(4) == 0 ? 2 + r.Next(3) : 1;
  for (DWORD k = 0; k < steps; ++k) {
    switch (r.Next(10)) {
      case 0:
      case 1:
      case 2: Flip(v, r); break;
      case 3: Truncate(v, r); break;
      case 4: Unterminate(v, r); break;
      default: Relink(v, links, r); break;
    }
  }
  return v;
}

std::string Verdict(const std::vector<BYTE> &v)
{
  DESC_VALIDATE_RESULT why;
  BOOL ok = DescValidateStored(v.data(), (DWORD)v.size(), &why);
  std::ostringstream line;
  if (ok)
    line << "accepted";
  else
    line << "refused " << why.offset << " " << why.reason;
  return line.str();
}

// The verdicts of a base: the unmodified block first, then every mutant, one line each.
std::vector<std::string> Verdicts(const std::vector<BYTE> &base)
{
  std::vector<DWORD> links = LinkPositions(base);
  std::vector<std::string> out;
  out.push_back("base " + Verdict(base));
  for (DWORD i = 0; i < kMutantsPerBase; ++i) out.push_back(std::to_string(i) + " " + Verdict(Mutant(base, links, i)));
  return out;
}

std::vector<std::string> ReadLines(const std::string &path)
{
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(BlobVerdicts, MutationCorpusVerdictsMatchTheRecordedOnes)
{
  bool write = getenv("KV_WRITE_VERDICTS") != nullptr;
  std::set<std::string> reasons;
  size_t accepted = 0, total = 0;
  for (const Base &b : Bases()) {
    SCOPED_TRACE(b.name);
    std::vector<BYTE> base = ReadBlock(b.path);
    ASSERT_FALSE(base.empty()) << b.path;
    std::vector<std::string> got = Verdicts(base);
    std::string path = std::string(KV_BLOB_FIXTURES) + "/verdicts/" + b.name + ".verdicts";
    if (write) {
      std::ofstream out(path, std::ios::trunc);
      for (const std::string &line : got) out << line << "\n";
      continue;
    }
    std::vector<std::string> want = ReadLines(path);
    ASSERT_EQ(want.size(), got.size()) << path;
    int shown = 0;
    for (size_t i = 0; i < got.size(); ++i) {
      if (got[i] != want[i] && shown++ < 10) ADD_FAILURE() << "recorded: " << want[i] << "\n     now: " << got[i];
    }
    EXPECT_EQ(0, shown) << "verdicts that differ from " << path;
    EXPECT_EQ("base accepted", got[0]);
    for (const std::string &line : got) {
      ++total;
      if (line.find(" accepted") != std::string::npos) ++accepted;
      size_t r = line.find("refused ");
      if (r != std::string::npos) reasons.insert(line.substr(line.find(' ', r + 8) + 1));
    }
  }
  if (write) GTEST_SKIP() << "verdicts written";
  // The corpus reaches both answers and many different checks.
  EXPECT_GT(accepted, 3u);
  EXPECT_LT(accepted, total / 2);
  EXPECT_GE(reasons.size(), 20u);
}

}  // namespace
