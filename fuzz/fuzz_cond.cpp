// Fuzz target: condition text through the token scanner, the condition compiler and the
// code check.
//
// Input: byte 0 picks the name resolver (bit 0: the compiled-in names table, else a small
// table of its own with one earlier Judge), the source buffer's capacity (bits 1-3: the
// output array's first size and growth step) and the scanner's token buffer size (bits
// 4-6); the rest is the condition text (up to its first NUL, as a line value would be).
//
// Checked: the scanner's cursor only moves forward and stays inside the text, and its
// tokens fit their buffer; a compile that succeeds read the text up to its end or a brace
// and yields code ending in END whose length agrees with RuleCodeLength; the code check says 1 exactly when an independent dry run
// of the evaluator's stack (kinds 1-3 only, never more than 127 operands, one value left
// at END) says so; a failed compile names why.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "context.h"
#include "desc/rule_compile.h"

namespace {

[[noreturn]] void Fail(const char *what, long a)
{
  fprintf(stderr, "fuzz_cond: %s (%ld)\n", what, a);
  abort();
}

// A small resolver: a few items and values, a non-operand name and one earlier Judge.
const std::map<std::string, WORD> kItems = {{"Duplex", 16}, {"Staple", 640}, {"Copies", 12}, {"Dlg", 0}};
const std::map<std::string, WORD> kValues = {{"On", 1}, {"Off", 2}, {"Long", 3}, {"Big", 65535}};
const RULE_CODE_UNIT kJudge[] = {
    {RULE_UNIT_ITEM, 16}, {RULE_UNIT_LITERAL, 1}, {RULE_UNIT_OPERATOR, RULE_OP_EQ}, {RULE_UNIT_OPERATOR, RULE_OP_END}};

BOOL FindItem(void *, const char *name, WORD *id)
{
  auto it = kItems.find(name);
  if (it == kItems.end()) return FALSE;
  *id = it->second;
  return TRUE;
}
BOOL FindValue(void *, const char *name, WORD *id)
{
  auto it = kValues.find(name);
  if (it == kValues.end()) return FALSE;
  *id = it->second;
  return TRUE;
}
const RULE_CODE_UNIT *FindJudge(void *, const char *name) { return strcmp(name, "J1") == 0 ? kJudge : nullptr; }
const RULE_NAME_RESOLVER kOwn = {nullptr, FindItem, FindValue, FindJudge, nullptr};

const DWORD kCapacities[8] = {0, 1, 2, 3, 4, 8, 64, 1024};
const DWORD kTokenSizes[8] = {1, 2, 3, 4, 8, 16, 64, 256};

// The stack dry run, written independently of the compiler's own check.
DWORD DryRun(const RULE_CODE_UNIT *code, size_t units)
{
  int depth = 0;
  for (size_t i = 0; i < units; ++i) {
    if (code[i].kind == RULE_UNIT_ITEM || code[i].kind == RULE_UNIT_LITERAL) {
      if (++depth > RULE_MAX_OPERANDS) return 0;
    } else if (code[i].kind == RULE_UNIT_OPERATOR) {
      if (code[i].operand == RULE_OP_END) return depth == 1;
      if (code[i].operand < RULE_OP_EQ || code[i].operand > RULE_OP_LE) return 0;  // no such operator
      int pops = code[i].operand == RULE_OP_NOT ? 1 : 2;
      if (depth < pops) return 0;
      depth -= pops - 1;
    } else {
      return 0;
    }
  }
  return 0;
}

// A source buffer as the line reader makes it: capacity + 1 bytes, zero-filled.
struct Source {
  DESC_TEXT_BUFFER buf{};
  std::vector<char> storage;
  Source(const std::string &text, DWORD capacity)
  {
    DWORD cap = capacity < text.size() ? (DWORD)text.size() : capacity;
    storage.assign(cap + 1, 0);
    memcpy(storage.data(), text.data(), text.size());
    buf.capacity = cap;
    buf.length = (DWORD)text.size();
    buf.text = storage.data();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (size < 1) return 0;
  const uint8_t control = data[0];
  std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
  text = text.substr(0, text.find('\0'));
  const RULE_NAME_RESOLVER *names = (control & 1) ? RuleNamesTableResolver() : &kOwn;

  // The scanner alone: the cursor moves forward inside the text and every token fits.
  {
    Source src(text, kCapacities[(control >> 1) & 7]);
    src.buf.length = 0;
    const DWORD tokenSize = kTokenSizes[(control >> 4) & 7];
    std::vector<char> token(tokenSize);
    for (size_t guard = 0;; ++guard) {
      if (guard > text.size() + 1) Fail("the scanner does not reach the end of the text", (long)guard);
      DWORD before = src.buf.length;
      DWORD kind = RuleScanToken(&src.buf, token.data(), tokenSize);
      if (src.buf.length < before || src.buf.length > text.size())
        Fail("scanner cursor out of the text", src.buf.length);
      if (kind > RULE_TOKEN_TOO_LONG) Fail("unknown token kind", (long)kind);
      if (kind != RULE_TOKEN_TOO_LONG && memchr(token.data(), 0, tokenSize) == nullptr)
        Fail("token not terminated inside its buffer", (long)tokenSize);
      if (src.buf.length == before) {  // only the end of the text leaves the cursor in place
        if (before != text.size()) Fail("the scanner stops before the end of the text", (long)before);
        break;
      }
    }
  }

  Source src(text, kCapacities[(control >> 1) & 7]);
  DWORD error = 0xDEAD;
  RULE_CODE_UNIT *code = RuleCompileExpression(names, &src.buf, &error);
  if (src.buf.length > text.size()) Fail("compile cursor past the text", src.buf.length);
  if (code == nullptr) {
    if (error == RULE_ERR_NONE || error == 0xDEAD) Fail("failed compile without its reason", (long)error);
    if (RuleCheckCode(nullptr) != 0) Fail("no code passes the check", 0);
    return 0;
  }
  if (error != RULE_ERR_NONE) Fail("code returned with an error", (long)error);
  // Only the end of the text or a brace ends a condition that compiles.
  const DWORD stop = src.buf.length;
  if (stop != text.size() && (stop == 0 || (text[stop - 1] != '{' && text[stop - 1] != '}')))
    Fail("the compile stopped early without an error", (long)stop);
  // Find END without reading past it: the array holds at least up to END.
  size_t units = 0;
  while (!(code[units].kind == RULE_UNIT_OPERATOR && code[units].operand == RULE_OP_END)) {
    if (code[units].kind == 0) Fail("code ends without END", (long)units);
    ++units;
  }
  ++units;
  if (RuleCodeLength(code) != units * sizeof(RULE_CODE_UNIT)) Fail("code length disagrees", (long)RuleCodeLength(code));
  DWORD check = RuleCheckCode(code);
  DWORD expected = DryRun(code, units);
  if (check != expected) Fail("code check disagrees with the stack dry run", (long)check);
  for (size_t i = 0; i < units; ++i)
    if (code[i].kind == RULE_UNIT_GROUP_END && check) Fail("a group end in code that passes", (long)i);
  MemFree(code);
  return 0;
}
