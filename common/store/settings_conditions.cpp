// The sections of a settings file that say whether it applies: "condition" (symbolic values
// of the description's condition item that must hold for the current settings) and
// "disable" (the drivers for which the file is off).
#include <string.h>

#include "blob/desc_runtime.h"
#include "files/ini.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "rules/rule_eval.h"
#include "store/settings_setup.h"

namespace {

// Characters of one condition line, and bytes of its ANSI form (double-byte code pages).
constexpr int kLineChars = 260;
constexpr int kLineBytes = 2 * kLineChars;
constexpr int kNameBytes = kLineChars;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool EndsName(char c) { return c == 0 || IsBlank(c) || c == '|' || c == '&'; }

// The description's condition item: its symbol key and node.
struct ConditionItem {
  WORD key = 0;
  const DESC_ITEM_NODE *node = NULL;
};

// Whether one name holds: a value of the condition item whose hide judge is true. An
// unknown name never holds, with or without '!'.
bool NameHolds(const ConditionItem &cond, const char *name, int negated, DRIVER_CONTEXT *ctx)
{
  const VALUE_SYMBOL *value = ItemFindValueSymbolByName(name);
  if (value == NULL || value->ownerKey != cond.key) return false;
  bool hidden = RuleIsValueHidden(cond.node, value->valueId, ctx) != 0;
  return negated ? !hidden : hidden;
}

// The value of one line: tokens left to right without precedence; a false operand before
// '&' ends the line false; a true value skips the operands behind '|'.
bool LineHolds(const ConditionItem &cond, const char *line, DRIVER_CONTEXT *ctx)
{
  bool result = true;
  int previousAnd = 1;
  char name[kNameBytes];
  for (const char *p = line;;) {
    int negated = 0, andJoin = 0;
    int used = SetupParseConditionToken(p, name, &negated, &andJoin);
    if (used == 0 || name[0] == 0) break;
    p += used;
    if (result && previousAnd == 0) {
      previousAnd = andJoin;
      continue;
    }
    previousAnd = andJoin;
    result = NameHolds(cond, name, negated, ctx);
    if (!result && andJoin) break;
  }
  return result;
}

}  // namespace

int WINAPI SetupParseConditionToken(const char *text, char *name, int *negated, int *andJoin)
{
  if (name != NULL) name[0] = 0;
  if (negated != NULL) *negated = 0;
  if (andJoin != NULL) *andJoin = 0;
  if (text == NULL || name == NULL || negated == NULL || andJoin == NULL) return 0;
  const char *p = text;
  while (IsBlank(*p)) ++p;
  if (*p == 0) return 0;
  if (*p == '!') {
    *negated = 1;
    ++p;
  }
  int n = 0;
  for (; !EndsName(*p); ++p)
    if (n < kNameBytes - 1) name[n++] = *p;
  name[n] = 0;
  while (IsBlank(*p)) ++p;
  if (*p == '&' || *p == '|') {
    *andJoin = *p == '&' ? 1 : 0;
    ++p;
  }
  return (int)(p - text);
}

int WINAPI SetupFileConditionsHold(const WCHAR *path, DRIVER_CONTEXT *ctx)
{
  const SYMBOL_ENTRY *symbol = ItemFindSymbolByName("KPD_ConditionOption");
  if (symbol == NULL || path == NULL) return 1;
  ConditionItem cond;
  cond.key = symbol->key;
  cond.node = DescGetItemNodeByKey(symbol->key, ctx);
  if (cond.node == NULL) return 1;
  WCHAR *wide = (WCHAR *)MemAllocZeroed(kLineChars * sizeof(WCHAR));
  char *line = (char *)MemAllocZeroed(kLineBytes);
  int result = 1;
  for (WCHAR g = u'0'; wide != NULL && line != NULL && g <= u'9' && result == 1; ++g) {
    bool anyLine = false, groupHolds = false;
    for (WCHAR a = u'0'; a <= u'9'; ++a) {
      WCHAR key[24];
      wsprintfW(key, u"ConditionOption%c_%c", g, a);
      IniGetString(u"condition", key, u"", wide, kLineChars, path);
      if (wide[0] == 0) break;
      anyLine = true;
      StrWideToAnsi(line, wide, kLineBytes);
      line[kLineBytes - 1] = 0;
      if (LineHolds(cond, line, ctx)) {
        groupHolds = true;
        break;
      }
    }
    // A group without lines is no constraint; one whose lines all fail ends the test.
    if (anyLine && !groupHolds) result = 0;
  }
  MemFree(wide);
  MemFree(line);
  return result;
}

int WINAPI SetupFileNotDisabled(const WCHAR *path, DRIVER_CONTEXT *ctx)
{
  const WCHAR *driver = CtxGetDriverName(ctx);
  if (driver == NULL || path == NULL) return 1;
  return IniGetInt(u"disable", driver, 0, path) == 0 ? 1 : 0;
}
