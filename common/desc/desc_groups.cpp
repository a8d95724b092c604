// Printer description keywords of the command side: PJL command groups with their nested
// Command blocks, command strings, font lists, the file version and the DLL names.
#include <vector>

#include "desc/desc_grammar_internal.h"

namespace descgrammar {
namespace {

struct BlockReader {
  DESC_PARSE_STATE *s;
  DESC_TEXT_BUFFER *b;
  bool failed;  // the line is rejected (already reported): out of memory
};

DESC_STATEMENT *DescParseCommandBlock(BlockReader *r, DWORD depth);

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

// Skips a signed decimal that did not fit (its '-' and digits) at the cursor.
void SkipNumber(DESC_TEXT_BUFFER *b)
{
  if (Peek(b) == '-') ++b->length;
  while (Is(Peek(b), DESC_CC_DIGIT)) ++b->length;
}

// At a '{': moves the cursor past the '}' that closes it (braces inside quotes do not
// count, as for the line reader), or to the end of the text.
void SkipBraces(DESC_TEXT_BUFFER *b)
{
  DWORD depth = 0;
  bool quoted = false;
  for (char c; (c = Peek(b)) != 0;) {
    ++b->length;
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '{') ++depth;
    if (c == '}' && --depth == 0) return;
  }
}

// The judge word of a Command or ElseIf as a link. quiet: only whether it names a judge at
// all (that decides whether ElseIf / Else follow), nothing reported. Otherwise FALSE, after
// reporting, when the Command must be dropped (a judge number out of range).
bool JudgeLink(BlockReader *r, const char *word, DESC_RULE_LINK *judge, bool quiet)
{
  DWORD code = DescParseReference(word);
  if (quiet) {
    if (code == DESC_REF_NAME)
      *judge = DescFindSectionNumber(r->s, kNamesJudge, word);
    else
      *judge = (code & 0xFFFF0000u) == DESC_REF_JUDGE ? code : 0;
    return true;
  }
  LONG v;
  if ((code & 0xFFFF0000u) == DESC_REF_JUDGE && (!DescParseNumberChecked(word, &v) || v < 0 || v > 65535)) {
    Drop(r->s, "CommandGroup: judge reference '%.64s' is out of range (1-65535); the Command is dropped", word);
    return false;
  }
  if (!ResolveReference(r->s, kNamesJudge, word, judge)) {
    Drop(r->s, "CommandGroup: the Command with judge '%.64s' is dropped", word);
    return false;
  }
  return true;
}

// After the '}' of a conditional block: "ElseIf:" (consumed; TRUE, *elseIf set) or
// "Else {" (consumed up to and including the '{'; TRUE, *elseIf clear). FALSE, with the
// cursor where it was, when neither follows.
bool Continuation(DESC_TEXT_BUFFER *b, bool *elseIf)
{
  SkipSpace(b);
  DWORD save = b->length;
  const char *at = b->text + b->length;
  if (StartsWith(at, "ElseIf")) {
    b->length += 6;
    SkipSpace(b);
    if (Peek(b) == ':') {
      ++b->length;
      *elseIf = true;
      return true;
    }
  } else if (StartsWith(at, "Else")) {
    b->length += 4;
    SkipSpace(b);
    if (Peek(b) == '{') {
      ++b->length;
      *elseIf = false;
      return true;
    }
  }
  b->length = save;
  return false;
}

// Skips a whole Command statement after "Command:" (its judge, its braces and every ElseIf
// and Else part after them) without reading it.
void SkipCommand(BlockReader *r)
{
  DESC_TEXT_BUFFER *b = r->b;
  char word[kWordSize];
  for (;;) {
    DescValueNextWord(b, word);
    DESC_RULE_LINK judge = 0;
    JudgeLink(r, word, &judge, true);
    SkipSpace(b);
    if (Peek(b) != '{') return;
    SkipBraces(b);
    bool elseIf;
    if (judge == 0 || !Continuation(b, &elseIf)) return;
    if (!elseIf) {
      --b->length;  // back to the Else's '{'
      SkipBraces(b);
      return;
    }
  }
}

// Reads statements up to a '}' (consumed) or the end of the text. depth is the nesting of
// the block they belong to (0 for a group's own block); a Command opens a block one deeper.
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
      if (depth + 1 > kMaxBlockDepth) {
        // Nesting is recursion here and in every reader of the block: bounded. The one
        // Command that passes the bound goes; the statements around it stay.
        Drop(r->s, "CommandGroup: Command blocks nested deeper than %lu; that Command is dropped",
             static_cast<unsigned long>(kMaxBlockDepth));
        SkipCommand(r);
        continue;
      }
      DESC_STATEMENT *st = DescParseCommandBlock(r, depth + 1);
      if (st) Append(&head, &tail, st);
      continue;
    }
    DescValueNextWord(b, word);
    DESC_STATEMENT *st = nullptr;
    if (Same(word, "GroupType")) {
      DescValueNextWord(b, word);
      char previous = b->length ? b->text[b->length - 1] : 0;
      LONG variant = 0;
      bool badVariant = false;
      if (previous != '\r' && previous != '\n') {
        SkipBlanks(b);
        if (Peek(b) == '-' || Is(Peek(b), DESC_CC_DIGIT)) {
          bool overflow;
          DWORD at = b->length;
          if (!DescValueNextInt(b, &variant, &overflow) || variant < -32768 || variant > 32767) {
            b->length = at;
            SkipNumber(b);
            badVariant = true;
          }
        }
      }
      if (badVariant) {
        Drop(r->s, "CommandGroup: variant of GroupType '%.64s' is out of range (-32768 to 32767); statement dropped",
             word);
        continue;
      }
      const SYMBOL_ENTRY *sym = FindSymbol(r->s, word);
      if (!sym) {
        Warn(r->s, "CommandGroup: unknown item '%.64s' in GroupType; statement dropped", word);
        SkipRestOfLine(b);
        continue;
      }
      auto *g = static_cast<DESC_STATEMENT_GROUP *>(Alloc(r->s, sizeof(DESC_STATEMENT_GROUP)));
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
        Drop(r->s, "CommandGroup: StringType number '%.64s' is out of range; statement dropped", word);
        continue;
      }
      if (number == 0) {
        Warn(r->s, "CommandGroup: StringType without a number; statement dropped");
        continue;
      }
      auto *t = static_cast<DESC_STATEMENT_STRING *>(Alloc(r->s, sizeof(DESC_STATEMENT_STRING)));
      if (t) {
        t->head.kind = DESC_STMT_STRING;
        t->length = static_cast<DWORD>(number);
      }
      st = t ? &t->head : nullptr;
    } else if (Same(word, "FontType")) {
      st = static_cast<DESC_STATEMENT *>(Alloc(r->s, sizeof(DESC_STATEMENT)));
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
  if (r->failed) return nullptr;
  return head;
}

// One conditional block of a Command statement: its judge and "then" list.
struct Link {
  DESC_RULE_LINK judge;
  DESC_STATEMENT *thenList;
};

// "Command: judge { statements }" after "Command:", with its ElseIf / Else parts, whose
// blocks lie at nesting depth depth. An ElseIf chain is read link by link, not by
// recursion, and its links do not count as nesting: each ElseIf's block is stored as the
// single conditional statement of the else part before it, at the same depth. Answers the
// statement, or NULL when it adds nothing (no '{', only empty blocks, a judge reference
// out of range) or the line is rejected (r->failed).
DESC_STATEMENT *DescParseCommandBlock(BlockReader *r, DWORD depth)
{
  DESC_TEXT_BUFFER *b = r->b;
  char word[kWordSize];
  std::vector<Link> links;
  DESC_STATEMENT *elseList = nullptr;
  bool badJudge = false;
  for (bool first = true;; first = false) {
    DescValueNextWord(b, word);
    DESC_RULE_LINK judge = 0;
    if (!JudgeLink(r, word, &judge, false)) {
      badJudge = true;
      judge = DESC_REF_JUDGE;  // read its ElseIf / Else parts, to drop them with it
    }
    SkipSpace(b);
    if (Peek(b) != '{') {
      Warn(r->s, "CommandGroup: %s '%.64s' is not followed by '{'; it adds nothing", first ? "Command" : "ElseIf",
           word);
      break;
    }
    ++b->length;
    DESC_STATEMENT *thenList = ParseStatements(r, depth);
    if (r->failed) break;
    try {
      links.push_back({judge, thenList});
    } catch (...) {
      Reject(r->s, "out of memory");
      r->failed = true;
      break;
    }
    // Only a block with a judge goes on with ElseIf or Else.
    bool elseIf;
    if (judge == 0 || !Continuation(b, &elseIf)) break;
    if (!elseIf) {
      elseList = ParseStatements(r, depth);
      break;
    }
  }
  // Blocks from the last link back: a block whose two lists are both empty is dropped, so
  // the link before it has no else part.
  DESC_STATEMENT *following = r->failed || badJudge ? nullptr : elseList;
  for (size_t i = links.size(); i-- > 0;) {
    DESC_STATEMENT *thenList = links[i].thenList;
    if (r->failed || badJudge) continue;
    if (!thenList && !following) continue;
    auto *block = static_cast<DESC_COMMAND_BLOCK *>(Alloc(r->s, sizeof(DESC_COMMAND_BLOCK)));
    auto *st = block ? static_cast<DESC_STATEMENT_COMMAND *>(Alloc(r->s, sizeof(DESC_STATEMENT_COMMAND))) : nullptr;
    if (!st) {
      following = nullptr;
      Reject(r->s, "out of memory");
      r->failed = true;
      continue;
    }
    block->judge = links[i].judge;
    block->thenList = thenList;
    block->elsePart = following;
    st->head.kind = DESC_STMT_COMMAND;
    st->block = block;
    following = &st->head;
  }
  return following;
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
      bool noMemory = false;
      char *name = Peek(b) == '"' ? DescValueTakeText(s, b, nullptr, &noMemory) : nullptr;
      if (noMemory) {
        ok = false;
        break;
      }
      if (!name) break;
      LONG id = 0;
      bool overflow;
      bool haveId = DescValueNextInt(b, &id, &overflow) && id >= 0;
      SkipSpace(b);
      if (!haveId || Peek(b) != '}') {
        Warn(s, "%s: font '%.64s' needs an ID from 0 and a closing '}'; the list ends there", line->keyword.text, name);
        break;
      }
      ++b->length;
      auto *entry = static_cast<DESC_FONT_ID *>(Alloc(s, sizeof(DESC_FONT_ID)));
      if (entry) {
        entry->fontId = static_cast<DWORD>(id);
        entry->name = name;
        try {
          entries.push_back(entry);
        } catch (...) {
          entry = nullptr;
        }
      }
      if (!entry) {
        ok = false;
        break;
      }
    }
  }
  DWORD n = static_cast<DWORD>(entries.size());
  DESC_FONT_ID **array = nullptr;
  if (ok && n) {
    array = static_cast<DESC_FONT_ID **>(Alloc(s, n * sizeof(DESC_FONT_ID *)));
    ok = array != nullptr;
  }
  if (!ok) return Reject(s, "out of memory");
  for (DWORD i = 0; i < n; ++i) array[i] = entries[i];
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
  DESC_STATEMENT *thenList = ParseStatements(&reader, 0);
  if (reader.failed) return FALSE;
  if (!thenList) {
    Warn(s, "CommandGroup %s has no statements; line ignored", word);
    return TRUE;
  }
  auto *block = static_cast<DESC_COMMAND_BLOCK *>(Alloc(s, sizeof(DESC_COMMAND_BLOCK)));
  if (!block) return Reject(s, "out of memory");
  block->thenList = thenList;
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
  bool noMemory;
  char *text = DescValueTakeText(s, &line->value, nullptr, &noMemory);
  if (noMemory) return Reject(s, "out of memory taking the text of CommandString %ld", static_cast<long>(number));
  if (!text) return Reject(s, "CommandString %ld has no text", static_cast<long>(number));
  auto *entry = static_cast<DESC_COMMAND_STRING *>(Alloc(s, sizeof(DESC_COMMAND_STRING)));
  if (!entry) return Reject(s, "out of memory");
  DWORD length = 0;
  while (text[length]) ++length;
  entry->number = static_cast<DWORD>(number);
  entry->length = length + 1;
  entry->text = text;
  Bookkeeping *books = Books(s);
  DWORD earlier = 0;
  try {
    books->stringDefinitions.Reserve();
    bool added;
    earlier = (*books->stringDefinitions.Enter(entry->number, 0, &added))++;
  } catch (...) {
    return Reject(s, "out of memory");
  }
  // One warning for each earlier definition of the number.
  for (DWORD i = 0; i < earlier; ++i)
    Warn(s, "CommandString %ld is defined again; the first definition counts", static_cast<long>(number));
  *TailOf(&s->strings, books->stringTail) = entry;
  books->stringTail = entry;
  return TRUE;
}

BOOL OnFileVersion(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  WCHAR wide[16] = {};
  const char *text = line->value.text;
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (n > 0) {
    auto *all = static_cast<WCHAR *>(Alloc(s, static_cast<DWORD>(n) * sizeof(WCHAR)));
    if (!all) return Reject(s, "out of memory");
    MultiByteToWideChar(CP_ACP, 0, text, -1, all, n);
    for (int i = 0; i < 14 && all[i]; ++i) wide[i] = all[i];
    if (n - 1 > 14) Warn(s, "FileVersion is longer than 14 characters; it is cut");
  }
  for (int i = 0; i < 16; ++i) s->header->fileVersion[i] = wide[i];
  return TRUE;
}

BOOL OnUIResDLLName(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  bool noMemory;
  WCHAR *name = DescValueTakeWideText(s, &line->value, &noMemory);
  if (noMemory) return Reject(s, "out of memory");
  s->header->uiResDllName = name;
  return TRUE;
}

BOOL OnExcDepDLLName(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  bool noMemory;
  WCHAR *name = DescValueTakeWideText(s, &line->value, &noMemory);
  if (noMemory) return Reject(s, "out of memory");
  s->header->excDepDllName = name;
  return TRUE;
}

}  // namespace descgrammar
