// Relocation of a stored description block: every offset becomes a pointer into the block,
// in place. Plain links are converted where they are found; links into the shared rule
// data are converted only while they are still tagged (odd), so a list that several rule
// blocks name is converted once. The block must have passed DescValidateStored when it
// came from outside the process.
#include "blob/desc_store.h"

namespace {

// Plain link: a non-zero offset becomes a pointer. Answers the pointer (NULL for none).
BYTE *Fix(BYTE *base, BYTE *node, size_t field)
{
  DWORD v = DescLd32(node, field);
  if (v == 0) return NULL;
  BYTE *p = base + v;
  DescStPtr(node, field, p);
  return p;
}

// Tagged link: converted when still odd; an even value is a pointer already (or 0).
BYTE *FixTagged(BYTE *base, BYTE *node, size_t field)
{
  DWORD v = DescLd32(node, field);
  if ((v & 1u) == 0) return reinterpret_cast<BYTE *>((ULONG_PTR)v);
  BYTE *p = base + v / 16u;
  DescStPtr(node, field, p);
  return p;
}

void RelocateValueNodes(BYTE *base, BYTE *first, WORD type)
{
  WORD masked = type & ~DESC_TYPE_FLAGS;
  for (BYTE *v = first; v != NULL;) {
    BYTE *next = Fix(base, v, offsetof(DESC_VALUE_NODE, next));
    Fix(base, v, offsetof(DESC_VALUE_NODE, command));
    if (masked == DESC_TYPE_PICK_PAGE) {
      for (BYTE *g = Fix(base, v, offsetof(DESC_PAGE_VALUE_NODE, geometry)); g != NULL;)
        g = Fix(base, g, offsetof(DESC_PAPER_GEOMETRY, next));
    } else if (masked == DESC_TYPE_PICK_SLOT) {
      Fix(base, v, offsetof(DESC_SLOT_VALUE_NODE, papers));
    } else if (masked == DESC_TYPE_FONT_TABLE) {
      DWORD count = DescLd32(v, offsetof(DESC_FONT_VALUE_NODE, count));
      BYTE *names = Fix(base, v, offsetof(DESC_FONT_VALUE_NODE, names));
      BYTE *subs = Fix(base, v, offsetof(DESC_FONT_VALUE_NODE, substitutes));
      for (DWORD i = 0; i < count; ++i) {
        if (names != NULL) Fix(base, names, 4 * i);
        if (subs != NULL) Fix(base, subs, 4 * i);
      }
    }
    v = next;
  }
}

// Items: the list, each node's links, the value data of base nodes, and the direct slots.
void DescRelocateItems(BYTE *base)
{
  for (BYTE *node = Fix(base, base, offsetof(DESC_HEADER, items)); node != NULL;) {
    BYTE *next = Fix(base, node, offsetof(DESC_ITEM_NODE, next));
    BYTE *command = Fix(base, node, offsetof(DESC_ITEM_NODE, command));
    if (command != NULL) {
      Fix(base, command, offsetof(DESC_OPTION_COMMAND, first));
      Fix(base, command, offsetof(DESC_OPTION_COMMAND, second));
    }
    Fix(base, node, offsetof(DESC_ITEM_NODE, rules));
    BYTE *values = Fix(base, node, offsetof(DESC_ITEM_NODE, values));
    // Variant and Identity nodes share the data of a base node, which relocates it.
    if (values != NULL && DESC_FIELD16(node, DESC_ITEM_NODE, variant) == 0) {
      WORD type = DESC_FIELD16(node, DESC_ITEM_NODE, type);
      BYTE low = (BYTE)(type & 0xFF);
      if (low == DESC_TYPE_PICK_ONE || low == DESC_TYPE_PICK_MANY) {
        RelocateValueNodes(base, values, type);
      } else if (low == DESC_TYPE_BOOLEAN) {
        Fix(base, values, offsetof(DESC_BOOLEAN_VALUE, trueText));
        Fix(base, values, offsetof(DESC_BOOLEAN_VALUE, falseText));
      }
    }
    node = next;
  }
  for (DWORD slot = offsetof(DESC_HEADER, slotsLow); slot < offsetof(DESC_HEADER, uiResDllName); slot += 4)
    Fix(base, base, slot);
}

void RelocateActions(BYTE *base, BYTE *entry)
{
  while (entry != NULL) entry = FixTagged(base, entry, offsetof(DESC_ACTION, next));
}

void RelocateTransactions(BYTE *base, BYTE *entry)
{
  while (entry != NULL) {
    FixTagged(base, entry, offsetof(DESC_TRANSACTION, judge));
    RelocateActions(base, FixTagged(base, entry, offsetof(DESC_TRANSACTION, actions)));
    entry = FixTagged(base, entry, offsetof(DESC_TRANSACTION, next));
  }
}

void RelocateAlerts(BYTE *base, BYTE *entry)
{
  while (entry != NULL) {
    FixTagged(base, entry, offsetof(DESC_ALERT, judge));
    for (BYTE *answer = FixTagged(base, entry, offsetof(DESC_ALERT, answers)); answer != NULL;) {
      RelocateTransactions(base, FixTagged(base, answer, offsetof(DESC_ALERT_ACTION, transactions)));
      answer = FixTagged(base, answer, offsetof(DESC_ALERT_ACTION, next));
    }
    entry = FixTagged(base, entry, offsetof(DESC_ALERT, next));
  }
}

// Rule blocks: contiguous from the header's first block to the block whose next is 0.
void DescRelocateRules(BYTE *base)
{
  DWORD first = DescLd32(base, offsetof(DESC_HEADER, rules));
  if (first == 0) return;
  for (BYTE *block = base + first;; block += sizeof(DESC_RULE_BLOCK)) {
    BYTE *next = Fix(base, block, offsetof(DESC_RULE_BLOCK, next));
    FixTagged(base, block, offsetof(DESC_RULE_BLOCK, hideJudge));
    FixTagged(base, block, offsetof(DESC_RULE_BLOCK, disableJudge));
    for (BYTE *rule = FixTagged(base, block, offsetof(DESC_RULE_BLOCK, valueRules)); rule != NULL;) {
      FixTagged(base, rule, offsetof(DESC_VALUE_RULE, hideJudge));
      FixTagged(base, rule, offsetof(DESC_VALUE_RULE, disableJudge));
      rule = FixTagged(base, rule, offsetof(DESC_VALUE_RULE, next));
    }
    RelocateAlerts(base, FixTagged(base, block, offsetof(DESC_RULE_BLOCK, alerts)));
    RelocateTransactions(base, FixTagged(base, block, offsetof(DESC_RULE_BLOCK, transactions1)));
    RelocateTransactions(base, FixTagged(base, block, offsetof(DESC_RULE_BLOCK, transactions2)));
    if (next == NULL) break;
  }
}

void RelocateCommandBlock(BYTE *base, BYTE *block);

void RelocateStatements(BYTE *base, BYTE *statement)
{
  while (statement != NULL) {
    BYTE *next = Fix(base, statement, offsetof(DESC_STATEMENT, next));
    WORD kind = DESC_FIELD16(statement, DESC_STATEMENT, kind);
    if (kind == DESC_STMT_STRING) {
      Fix(base, statement, offsetof(DESC_STATEMENT_STRING, text));
    } else if (kind == DESC_STMT_COMMAND) {
      BYTE *nested = Fix(base, statement, offsetof(DESC_STATEMENT_COMMAND, block));
      if (nested != NULL) RelocateCommandBlock(base, nested);
    }
    statement = next;
  }
}

void RelocateCommandBlock(BYTE *base, BYTE *block)
{
  FixTagged(base, block, offsetof(DESC_COMMAND_BLOCK, judge));
  RelocateStatements(base, Fix(base, block, offsetof(DESC_COMMAND_BLOCK, thenList)));
  RelocateStatements(base, Fix(base, block, offsetof(DESC_COMMAND_BLOCK, elsePart)));
}

void RelocateFontList(BYTE *base, size_t countField, size_t listField)
{
  DWORD count = DescLd32(base, countField);
  if (count == 0) return;
  BYTE *array = Fix(base, base, listField);
  if (array == NULL) return;
  for (DWORD i = 0; i < count; ++i) {
    BYTE *entry = Fix(base, array, 4 * i);
    if (entry == NULL) break;
    Fix(base, entry, offsetof(DESC_FONT_ID, name));
  }
}

// Tail: DLL names, command groups and font lists.
void DescRelocateTail(BYTE *base)
{
  Fix(base, base, offsetof(DESC_HEADER, uiResDllName));
  Fix(base, base, offsetof(DESC_HEADER, excDepDllName));
  for (DWORD g = 0; g < DESC_GROUP_COUNT; ++g) {
    BYTE *block = Fix(base, base, offsetof(DESC_HEADER, groups) + 4 * g);
    if (block != NULL) RelocateCommandBlock(base, block);
  }
  RelocateFontList(base, offsetof(DESC_HEADER, deviceFontCount), offsetof(DESC_HEADER, deviceFonts));
  RelocateFontList(base, offsetof(DESC_HEADER, cartridgeFontCount), offsetof(DESC_HEADER, cartridgeFonts));
}

}  // namespace

// The block must start on a 4-byte boundary (GlobalAlloc blocks do): converted links into
// the rule data must come out even to be told apart from tagged ones.
DESC_BLOB *WINAPI DescRelocate(BYTE *block)
{
  if (block == NULL || ((ULONG_PTR)block & 3u) != 0) return NULL;
  DescRelocateItems(block);
  DescRelocateRules(block);
  DescRelocateTail(block);
  Fix(block, block, offsetof(DESC_HEADER, rules));
  return reinterpret_cast<DESC_BLOB *>(block);
}
