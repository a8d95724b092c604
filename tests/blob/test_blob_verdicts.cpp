// The stored-block validator's verdicts on a fixed mutation corpus: three cache files (the
// compiled sample printer, the benchmark's generated model and a fuzz regression) and the
// hand-built block that uses every node kind (BuildRichState), mutated by a seeded
// generator (byte flips, truncations with and without the total size fixed, link rewrites,
// terminators removed, several of these at once). Every verdict, with the offset and
// reason of a refusal, must equal the one recorded in
// tests/fixtures/blob/verdicts/NAME.verdicts, so a change made for speed or memory cannot
// change what is accepted or why something is refused.
//
// KV_WRITE_VERDICTS=1 rewrites the recorded verdicts from the validator under test (run it
// only with a validator whose verdicts are the reference, and only when the validator was
// meant to change what it accepts).
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
#include "desc/rule_compile.h"

namespace {

const DWORD kMutantsPerBase = 6000;

struct Base {
  const char *name;  // fixture name: NAME.verdicts
  std::string path;  // the cache file (block and trailer); empty: the rich hand-built block
  bool compiled;     // a block the compiler writes, which the validator must accept
};

std::vector<Base> Bases()
{
  // The fuzz regression is a block no compiler writes (its printable areas leave their
  // paper); it stays in the corpus for the faults its mutants reach.
  return {{"sample", std::string(KV_BLOB_FIXTURES) + "/verdicts/sample.bcs", true},
          {"bench_model", std::string(KV_BLOB_FIXTURES) + "/verdicts/bench_model.bcs", true},
          {"counted_text", std::string(KV_BCS_REGRESSIONS) + "/counted_text_over_a_node.bcs", false},
          {"rich", std::string(), true}};
}

// The stored block of a cache file: its first totalSize bytes (the trailer dropped).
std::vector<BYTE> RichBlock()
{
  StateBuilder b;
  BuildRichState(b);
  return StoreState(b.state());
}

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
    std::vector<BYTE> base = b.path.empty() ? RichBlock() : ReadBlock(b.path);
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
    if (b.compiled) {
      EXPECT_EQ("base accepted", got[0]);
    }
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

// The validator's check of a condition code answers as RuleCheckCode does on every code:
// random unit sequences (operand and operator units, operators in and out of the range
// 1-9, with the END unit after 1 to 260 units) and the edges of the pending-operand limit,
// written as the hide judge of a rule block, are accepted exactly when
// RuleCheckCode answers 1, and refused for the code check otherwise, in an aligned block
// and in one that is not.
TEST(BlobVerdicts, CodeCheckAnswersAsRuleCheckCode)
{
  // A block of rule data alone, laid out as the compiler lays it out: the judge code, then
  // one rule block (of no key) whose hide judge is that code.
  const DWORD kUnits = 260;
  const DWORD code = DESC_HEADER_SIZE, block = code + 4 * kUnits;
  std::vector<BYTE> v(block + sizeof(DESC_RULE_BLOCK));
  St(v, offsetof(DESC_HEADER, totalSize), (DWORD)v.size());
  St(v, offsetof(DESC_HEADER, rules), block);
  St(v, block + offsetof(DESC_RULE_BLOCK, hideJudge), DESC_TAG(code));

  auto unit = [](WORD kind, WORD operand) { return (DWORD)operand << 16 | kind; };
  auto check = [&](const std::vector<DWORD> &units, const std::string &what) {
    ASSERT_LE(units.size(), kUnits);
    std::vector<RULE_CODE_UNIT> aligned(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
      St(v, code + 4 * (DWORD)i, units[i]);
      aligned[i].kind = (WORD)units[i];
      aligned[i].operand = (WORD)(units[i] >> 16);
    }
    // The block as stored, and one byte off its alignment (its codes are then checked
    // through a copy).
    std::vector<BYTE> shifted(v.size() + 1);
    memcpy(shifted.data() + 1, v.data(), v.size());
    for (const BYTE *at : {(const BYTE *)v.data(), (const BYTE *)shifted.data() + 1}) {
      DESC_VALIDATE_RESULT why;
      BOOL ok = DescValidateStored(at, (DWORD)v.size(), &why);
      EXPECT_EQ(RuleCheckCode(aligned.data()) == 1, ok != FALSE) << what << ": " << why.reason;
      if (!ok) {
        EXPECT_STREQ("condition code fails its check", why.reason) << what;
      }
    }
  };
  const DWORD end = unit(RULE_UNIT_OPERATOR, RULE_OP_END);

  // The limit: 127 operands pending at once pass, 128 do not.
  for (DWORD operands : {126u, 127u, 128u}) {
    std::vector<DWORD> units(operands, unit(RULE_UNIT_LITERAL, 1));
    for (DWORD i = 1; i < operands; ++i) units.push_back(unit(RULE_UNIT_OPERATOR, RULE_OP_AND));
    units.push_back(end);
    check(units, std::to_string(operands) + " operands pending");
  }
  check({end}, "no operand");
  check({unit(RULE_UNIT_ITEM, 7), unit(RULE_UNIT_OPERATOR, RULE_OP_NOT), end}, "NOT of one operand");
  check({unit(RULE_UNIT_OPERATOR, RULE_OP_NOT), end}, "NOT of nothing");

  Rng r = {0x2545F4914F6CDD1Dull};
  int accepted = 0;
  const int kTrials = 4000;
  for (int t = 0; t < kTrials; ++t) {
    DWORD length = 1 + r.Next(t % 8 == 0 ? kUnits - 1 : 24);
    std::vector<DWORD> units;
    DWORD pending = 0;
    for (DWORD i = 0; i < length; ++i) {
      // Mostly well-formed: an operator when two operands wait, now and then any unit.
      bool op = pending >= 2 ? r.Next(2) == 0 : pending == 1 && r.Next(4) == 0;
      if (r.Next(16) == 0) op = !op;
      if (!op) {
        units.push_back(unit(r.Next(2) == 0 ? RULE_UNIT_ITEM : RULE_UNIT_LITERAL, (WORD)r.Next(70000)));
        ++pending;
        continue;
      }
      WORD operand = (WORD)(RULE_OP_EQ + r.Next(RULE_OP_LE));
      if (r.Next(24) == 0) operand = (WORD)(r.Next(2) == 0 ? 0 : RULE_OP_END + 1 + r.Next(4));
      units.push_back(unit(RULE_UNIT_OPERATOR, operand));
      if (operand != RULE_OP_NOT && pending > 0) --pending;
    }
    // Most codes are closed to one operand, as a compiler would leave them.
    if (r.Next(4) != 0) {
      for (; pending > 1 && units.size() + 1 < kUnits; --pending) units.push_back(unit(RULE_UNIT_OPERATOR, RULE_OP_OR));
    }
    units.push_back(end);
    check(units, "random code " + std::to_string(t));
    if (::testing::Test::HasFailure()) break;
    std::vector<RULE_CODE_UNIT> aligned(units.size());
    for (size_t i = 0; i < units.size(); ++i) aligned[i] = {(WORD)units[i], (WORD)(units[i] >> 16)};
    accepted += RuleCheckCode(aligned.data()) == 1;
  }
  // Both answers are well represented.
  EXPECT_GT(accepted, kTrials / 10);
  EXPECT_LT(accepted, kTrials * 9 / 10);
}

}  // namespace
