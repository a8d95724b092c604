// Printer description keywords of the command side: PJL command groups with their nested
// Command blocks, command strings, font lists, the file version and the DLL names.
#include <vector>

#include "desc/desc_grammar_internal.h"

namespace descgrammar {
namespace {

struct BlockReader {
  DESC_PARSE_STATE *s;
  DESC_TEXT_BUFFER *b;
  bool failed;  // the line is rejected (already reported)
};

DESC_STATEMENT *ParseCommand(BlockReader *r, DWORD depth);
DESC_COMMAND_BLOCK *DescParseCommandBlock(BlockReader *r, DESC_RULE_LINK judge, DWORD depth);

void Append(DESC_STATEMENT **head, DESC_STATEMENT **tail, DESC_STATEMENT *st)
{
  if (*tail)
    (*tail)->next = st;
  else
    *head = st;
  *tail = st;
}

void SkipRestOfLine(DESC_TEXT_BUFFER *b)
{
  for (char c; (c = Peek(b)) != 0 && c != '\r' && c != '\n' && c != '}';) ++b->length;
}

// Reads statements up to a '}' (consumed) or the end of the text.
DESC_STATEMENT *ParseStatements(BlockReader *r, DWORD depth)
{
  DESC_TEXT_BUFFER *b = r->b;
  DESC_STATEMENT *head = nullptr, *tail = nullptr;
  char word[kWordSize];
  while (!r->failed) {
    SkipSpace(b);
    char c = Peek(b);
    if (c == 0) break;
    if (c == '}') {
      ++b->length;
      break;
    }
    DWORD n = 0;
    while (Is(Peek(b), DESC_CC_KEYWORD)) {
      if (n + 1 < kWordSize) word[n++] = Peek(b);
      ++b->length;
    }
    word[n] = 0;
    SkipSpace(b);
    bool isType = Same(word, "Type"), isCommand = Same(word, "Command");
    if ((!isType && !isCommand) || Peek(b) != ':') {
      Warn(r->s, "CommandGroup: '%.64s' is not a statement ('Type:' or 'Command:'); the block ends there", word);
      break;
    }
    ++b->length;
    if (isCommand) {
      DESC_STATEMENT *st = ParseCommand(r, depth);
      if (st) Append(&head, &tail, st);
      continue;
    }
    DescValueNextWord(b, word);
    DESC_STATEMENT *st = nullptr;
    if (Same(word, "GroupType")) {
      DescValueNextWord(b, word);
      char previous = b->length ? b->text[b->length - 1] : 0;
      LONG variant = 0;
      if (previous != '\r' && previous != '\n') {
        SkipBlanks(b);
        if (Peek(b) == '-' || Is(Peek(b), DESC_CC_DIGIT)) {
          bool overflow;
          if (!DescValueNextInt(b, &variant, &overflow) || variant < -32768 || variant > 32767) {
            Reject(r->s, "CommandGroup: variant of GroupType '%.64s' is out of range", word);
            r->failed = true;
            break;
          }
        }
      }
      const SYMBOL_ENTRY *sym = FindSymbol(word);
      if (!sym) {
        Warn(r->s, "CommandGroup: unknown item '%.64s' in GroupType; statement dropped", word);
        SkipRestOfLine(b);
        continue;
      }
      auto *g = static_cast<DESC_STATEMENT_GROUP *>(MemAllocZeroed(sizeof(DESC_STATEMENT_GROUP)));
      if (g) {
        g->head.kind = DESC_STMT_GROUP;
        g->head.key = sym->key;
        g->variant = static_cast<SHORT>(variant);
      }
      st = g ? &g->head : nullptr;
    } else if (Same(word, "StringType")) {
      DescValueNextWord(b, word);
      LONG number;
      if (!DescParseNumberChecked(word, &number) || number < 0) {
        Reject(r->s, "CommandGroup: StringType number '%.64s' is out of range", word);
        r->failed = true;
        break;
      }
      if (number == 0) {
        Warn(r->s, "CommandGroup: StringType without a number; statement dropped");
        continue;
      }
      auto *t = static_cast<DESC_STATEMENT_STRING *>(MemAllocZeroed(sizeof(DESC_STATEMENT_STRING)));
      if (t) {
        t->head.kind = DESC_STMT_STRING;
        t->length = static_cast<DWORD>(number);
      }
      st = t ? &t->head : nullptr;
    } else if (Same(word, "FontType")) {
      st = static_cast<DESC_STATEMENT *>(MemAllocZeroed(sizeof(DESC_STATEMENT)));
      if (st) st->kind = DESC_STMT_FONT;
    } else {
      Warn(r->s, "CommandGroup: unknown statement type '%.64s'; statement dropped", word);
      continue;
    }
    if (!st) {
      Reject(r->s, "out of memory");
      r->failed = true;
      break;
    }
    Append(&head, &tail, st);
  }
  if (r->failed) {
    FreeStatements(head);
    return nullptr;
  }
  return head;
}

// "Command: judge { statements }" with an optional ElseIf / Else part, after "Command:".
DESC_STATEMENT *ParseCommand(BlockReader *r, DWORD depth)
{
  DESC_TEXT_BUFFER *b = r->b;
  char word[kWordSize];
  DescValueNextWord(b, word);
  DESC_RULE_LINK judge = 0;
  if (!ResolveReference(r->s, kNamesJudge, word, &judge)) {
    r->failed = true;
    return nullptr;
  }
  SkipSpace(b);
  if (Peek(b) != '{') {
    Warn(r->s, "CommandGroup: Command '%.64s' is not followed by '{'; it adds nothing", word);
    return nullptr;
  }
  ++b->length;
  if (depth + 1 > kMaxBlockDepth) {
    Reject(r->s, "CommandGroup: Command blocks nested deeper than %lu", static_cast<unsigned long>(kMaxBlockDepth));
    r->failed = true;
    return nullptr;
  }
  DESC_COMMAND_BLOCK *block = DescParseCommandBlock(r, judge, depth + 1);
  if (r->failed || !block) return nullptr;
  auto *st = static_cast<DESC_STATEMENT_COMMAND *>(MemAllocZeroed(sizeof(DESC_STATEMENT_COMMAND)));
  if (!st) {
    FreeCommandBlock(block);
    Reject(r->s, "out of memory");
    r->failed = true;
    return nullptr;
  }
  st->head.kind = DESC_STMT_COMMAND;
  st->block = block;
  return &st->head;
}

// The statements of a block after its '{' up to its '}' (consumed) or the end of the text,
// at nesting depth depth; a block with a judge may go on with "ElseIf: Command..." (one
// conditional statement) or "Else { statements }". Answers the new block, or NULL when
// both lists are empty or the line was rejected (r->failed).
DESC_COMMAND_BLOCK *DescParseCommandBlock(BlockReader *r, DESC_RULE_LINK judge, DWORD depth)
{
  DESC_TEXT_BUFFER *b = r->b;
  DESC_STATEMENT *thenList = ParseStatements(r, depth);
  DESC_STATEMENT *elsePart = nullptr;
  if (!r->failed && judge != 0) {
    SkipSpace(b);
    const char *at = b->text + b->length;
    if (StartsWith(at, "ElseIf")) {
      DWORD save = b->length;
      b->length += 6;
      SkipSpace(b);
      if (Peek(b) == ':') {
        ++b->length;
        elsePart = ParseCommand(r, depth);
      } else {
        b->length = save;
      }
    } else if (StartsWith(at, "Else")) {
      DWORD save = b->length;
      b->length += 4;
      SkipSpace(b);
      if (Peek(b) == '{') {
        ++b->length;
        if (depth > kMaxBlockDepth) {
          Reject(r->s, "CommandGroup: Command blocks nested deeper than %lu",
                 static_cast<unsigned long>(kMaxBlockDepth));
          r->failed = true;
        } else {
          elsePart = ParseStatements(r, depth);
        }
      } else {
        b->length = save;
      }
    }
  }
  if (r->failed) {
    FreeStatements(thenList);
    FreeStatements(elsePart);
    return nullptr;
  }
  if (!thenList && !elsePart) return nullptr;
  auto *block = static_cast<DESC_COMMAND_BLOCK *>(MemAllocZeroed(sizeof(DESC_COMMAND_BLOCK)));
  if (!block) {
    FreeStatements(thenList);
    FreeStatements(elsePart);
    Reject(r->s, "out of memory");
    r->failed = true;
    return nullptr;
  }
  block->judge = judge;
  block->thenList = thenList;
  block->elsePart = elsePart;
  return block;
}

struct GroupName {
  const char *text;
  DWORD slot;
};
const GroupName kGroups[] = {{"JobStart", DESC_GROUP_JOB_START},
                             {"JobEnd", DESC_GROUP_JOB_END},
                             {"PageStart", DESC_GROUP_PAGE_START},
                             {"PageEnd", DESC_GROUP_PAGE_END},
                             {"DocReset", DESC_GROUP_DOC_RESET}};

// A font list "IDList { {"name" ID} ... }" into *list / *count (replacing them).
BOOL FontList(DESC_PARSE_STATE *s, DESC_LINE *line, DESC_FONT_ID ***list, DWORD *count)
{
  DESC_TEXT_BUFFER *b = &line->value;
  char word[kWordSize];
  DescValueNextWord(b, word);
  SkipSpace(b);
  std::vector<DESC_FONT_ID *> entries;
  bool ok = true;
  if (!Same(word, "IDList") || Peek(b) != '{') {
    Warn(s, "%s needs 'IDList {'; the list is emptied", line->keyword.text);
  } else {
    ++b->length;
    for (;;) {
      SkipSpace(b);
      if (Peek(b) != '{') break;
      ++b->length;
      SkipSpace(b);
      char *name = Peek(b) == '"' ? DescValueTakeText(b, nullptr) : nullptr;
      if (!name) break;
      LONG id = 0;
      bool overflow;
      bool haveId = DescValueNextInt(b, &id, &overflow) && id >= 0;
      SkipSpace(b);
      if (!haveId || Peek(b) != '}') {
        Warn(s, "%s: font '%.64s' needs an ID from 0 and a closing '}'; the list ends there", line->keyword.text, name);
        MemFree(name);
        break;
      }
      ++b->length;
      auto *entry = static_cast<DESC_FONT_ID *>(MemAllocZeroed(sizeof(DESC_FONT_ID)));
      if (entry) {
        entry->fontId = static_cast<DWORD>(id);
        entry->name = name;
        try {
          entries.push_back(entry);
        } catch (...) {
          MemFree(entry);
          entry = nullptr;
        }
      }
      if (!entry) {
        MemFree(name);
        ok = false;
        break;
      }
    }
  }
  DWORD n = static_cast<DWORD>(entries.size());
  DESC_FONT_ID **array = nullptr;
  if (ok && n) {
    array = static_cast<DESC_FONT_ID **>(MemAllocZeroed(n * sizeof(DESC_FONT_ID *)));
    ok = array != nullptr;
  }
  if (!ok) {
    for (DESC_FONT_ID *e : entries) {
      MemFree(e->name);
      MemFree(e);
    }
    return Reject(s, "out of memory");
  }
  for (DWORD i = 0; i < n; ++i) array[i] = entries[i];
  FreeFontList(*list, *count);
  *list = array;
  *count = n;
  return TRUE;
}

}  // namespace

BOOL OnCommandGroup(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  DESC_TEXT_BUFFER *b = &line->value;
  char word[kWordSize];
  DescValueNextWord(b, word);
  DWORD slot = DESC_GROUP_COUNT;
  for (const GroupName &g : kGroups)
    if (Same(g.text, word)) slot = g.slot;
  if (slot == DESC_GROUP_COUNT) {
    Warn(s, "CommandGroup: unknown group '%.64s'; line ignored", word);
    return TRUE;
  }
  SkipSpace(b);
  if (Peek(b) != '{') {
    Warn(s, "CommandGroup %s needs '{'; line ignored", word);
    return TRUE;
  }
  ++b->length;
  BlockReader reader = {s, b, false};
  // A group's block has no judge, so no else part.
  DESC_COMMAND_BLOCK *block = DescParseCommandBlock(&reader, 0, 0);
  if (reader.failed) return FALSE;
  if (!block) {
    Warn(s, "CommandGroup %s has no statements; line ignored", word);
    return TRUE;
  }
  FreeCommandBlock(s->header->groups[slot]);
  s->header->groups[slot] = block;
  return TRUE;
}

BOOL OnDeviceFonts(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  return FontList(s, line, &s->header->deviceFonts, &s->header->deviceFontCount);
}

BOOL OnFontCartridge(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  return FontList(s, line, &s->header->cartridgeFonts, &s->header->cartridgeFontCount);
}

BOOL OnCommandString(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  LONG number;
  if (!DescParseNumberChecked(line->option1.text, &number) || number < 0)
    return Reject(s, "CommandString number '%.32s' is out of range", line->option1.text);
  char *text = DescValueTakeText(&line->value, nullptr);
  if (!text) return Reject(s, "CommandString %ld has no text", static_cast<long>(number));
  auto *entry = static_cast<DESC_COMMAND_STRING *>(MemAllocZeroed(sizeof(DESC_COMMAND_STRING)));
  if (!entry) {
    MemFree(text);
    return Reject(s, "out of memory");
  }
  DWORD length = 0;
  while (text[length]) ++length;
  entry->number = static_cast<DWORD>(number);
  entry->length = length + 1;
  entry->text = text;
  DESC_COMMAND_STRING **tail = &s->strings;
  for (; *tail; tail = &(*tail)->next)
    if ((*tail)->number == entry->number)
      Warn(s, "CommandString %ld is defined again; the first definition counts", static_cast<long>(number));
  *tail = entry;
  return TRUE;
}

BOOL OnFileVersion(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  WCHAR wide[16] = {};
  const char *text = line->value.text;
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n > 0) {
    auto *all = static_cast<WCHAR *>(MemAllocZeroed(static_cast<DWORD>(n) * sizeof(WCHAR)));
    if (!all) return Reject(s, "out of memory");
    MultiByteToWideChar(CP_ACP, 0, text, -1, all, n);
    for (int i = 0; i < 14 && all[i]; ++i) wide[i] = all[i];
    if (n - 1 > 14) Warn(s, "FileVersion is longer than 14 characters; it is cut");
    MemFree(all);
  }
  for (int i = 0; i < 16; ++i) s->header->fileVersion[i] = wide[i];
  return TRUE;
}

BOOL OnUIResDLLName(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  bool noMemory;
  WCHAR *name = DescValueTakeWideText(&line->value, &noMemory);
  if (noMemory) return Reject(s, "out of memory");
  MemFree(s->header->uiResDllName);
  s->header->uiResDllName = name;
  return TRUE;
}

BOOL OnExcDepDLLName(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  bool noMemory;
  WCHAR *name = DescValueTakeWideText(&line->value, &noMemory);
  if (noMemory) return Reject(s, "out of memory");
  MemFree(s->header->excDepDllName);
  s->header->excDepDllName = name;
  return TRUE;
}

}  // namespace descgrammar
