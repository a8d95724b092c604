// Numbered rule sections of the printer description (Judge, Item, Action, Transact,
// AlertAction, Alert) and the Exclusive rule blocks; rule references.
#include "desc/desc_grammar_internal.h"
#include "desc/desc_limits.h"
#include "desc/rule_token.h"
#include "blob/desc_runtime.h"

namespace descgrammar {
namespace {

// Section-name kinds: 0 Judge, 1 Item, 2 Action, 3 Transact, 4 AlertAction, 5 Alert.
const char *const kKindNames[6] = {"Judge", "Item", "Action", "Transact", "AlertAction", "Alert"};
const DWORD kKindPrefix[6] = {DESC_REF_JUDGE,    DESC_REF_ITEM,         DESC_REF_ACTION,
                              DESC_REF_TRANSACT, DESC_REF_ALERT_ACTION, DESC_REF_ALERT};

struct Word {
  const char *text;
  WORD value;
};
const Word kIcons[] = {
    {"MB_ICONEXCLAMATION", 0x30}, {"MB_ICONINFORMATION", 0x40}, {"MB_ICONQUESTION", 0x20}, {"MB_ICONSTOP", 0x10}};
const Word kButtons[] = {{"MB_ABORTRETRYIGNORE", 2}, {"MB_OK", 0},    {"MB_OKCANCEL", 1},
                         {"MB_RETRYCANCEL", 5},      {"MB_YESNO", 4}, {"MB_YESNOCANCEL", 3}};
const Word kTimings[] = {{"AlertAtOnce", 0}, {"AlertProperty", 1}, {"AlertOkApply", 2}, {"AlertDialog", 3}};

template <size_t N>
WORD Lookup(const Word (&table)[N], const char *word)
{
  for (const Word &w : table)
    if (Same(w.text, word)) return w.value;
  return 0xFFFF;
}

DESC_JUDGE *FindJudge(DESC_PARSE_STATE *s, DWORD number)
{
  DESC_JUDGE **judge = Books(s)->judgeByNumber.Find(number);
  return judge ? *judge : nullptr;
}

// Appends a judge to the state's list and its index; FALSE (nothing changed) when memory
// is short.
bool AppendJudge(DESC_PARSE_STATE *s, DESC_JUDGE *judge)
{
  Bookkeeping *books = Books(s);
  try {
    books->judgeByNumber.Reserve();
  } catch (...) {
    return false;
  }
  bool added;
  books->judgeByNumber.Enter(judge->number, judge, &added);
  *TailOf(&s->judges, books->judgeTail) = judge;
  books->judgeTail = judge;
  return true;
}

// Judge number a word of a condition names: a Judge name or "Judge<n>"; 0 for none.
DWORD JudgeNumberOf(const DESC_PARSE_STATE *s, const char *word)
{
  DWORD n = DescFindSectionNumber(s, kNamesJudge, word);
  if (n) return n;
  bool numberOk;
  LONG v;
  if ((ParseReference(word, &numberOk, &v) & 0xFFFF0000u) == DESC_REF_JUDGE && numberOk && v > 0 && v <= 65535)
    return static_cast<DWORD>(v);
  return 0;
}

BOOL ResolverItem(void *context, const char *name, WORD *itemId)
{
  auto *s = static_cast<DESC_PARSE_STATE *>(context);
  const SYMBOL_ENTRY *sym = FindSymbol(s, name);
  if (!sym) return FALSE;
  *itemId = sym->itemId;
  return TRUE;
}

BOOL ResolverValue(void *context, const char *name, WORD *valueId)
{
  // The compiler asks for every word as an item first, so the answer is already at hand.
  const VALUE_SYMBOL *vs = FindValueAfterSymbol(static_cast<DESC_PARSE_STATE *>(context), name);
  if (!vs) return FALSE;
  *valueId = vs->valueId;
  return TRUE;
}

const RULE_CODE_UNIT *ResolverJudge(void *context, const char *name)
{
  auto *s = static_cast<DESC_PARSE_STATE *>(context);
  DWORD n = JudgeNumberOf(s, name);
  const DESC_JUDGE *judge = n ? FindJudge(s, n) : nullptr;
  return judge ? judge->code : nullptr;
}

// A Judge name whose number stands for a rejected condition so far. The compiler asks
// this of every word that is neither an item operand nor a value, before it fails on an
// unknown name, a name with no operand or a rejected Judge: the word is kept for the
// message.
BOOL ResolverRejected(void *context, const char *name)
{
  auto *s = static_cast<DESC_PARSE_STATE *>(context);
  char *last = Books(s)->lastName;
  DWORD i = 0;
  for (; name[i] && i + 1 < kWordSize; ++i) last[i] = name[i];
  last[i] = 0;
  DWORD n = JudgeNumberOf(s, name);
  return n && FindJudge(s, n) && Books(s)->rejectedJudges.count(n) ? TRUE : FALSE;
}

// Number and optional name of a numbered section line; FALSE after reporting.
BOOL SectionNumber(DESC_PARSE_STATE *s, DESC_LINE *line, DWORD kind, DWORD *number)
{
  const char *option = line->option1.text;
  LONG n;
  if (!DescParseNumberChecked(option, &n) || n < 0 || n > 65535)
    return Reject(s, "%s number '%.32s' is out of range (1-65535)", kKindNames[kind], option);
  if (n == 0) return Reject(s, "%s needs a number from 1 to 65535, not '%.32s'", kKindNames[kind], option);
  *number = static_cast<DWORD>(n);
  const char *eq = option;
  while (*eq && *eq != '=') ++eq;
  if (*eq == '=' && eq[1]) {
    const char *name = eq + 1;
    if (DescParseReference(name) != DESC_REF_NAME)
      Warn(s, "%s name '%.64s' begins like a reference; it can only be reached by number", kKindNames[kind], name);
    if (!DescAddSectionName(s, kind, name, *number)) return Reject(s, "out of memory");
  }
  return TRUE;
}

// Entry layouts of the rule sections (Exclusive is kind 6 here).
constexpr DWORD kExclusive = 6;
const DWORD kFieldCount[7] = {0, 3, 2, 2, 4, 6, 7};
const DWORD kEntrySize[7] = {0,
                             sizeof(DESC_VALUE_RULE),
                             sizeof(DESC_ACTION),
                             sizeof(DESC_TRANSACTION),
                             sizeof(DESC_ALERT_ACTION),
                             sizeof(DESC_ALERT),
                             sizeof(DESC_RULE_BLOCK)};

// Every entry starts with its link to the next entry.
void SetNextEntry(void *entry, void *next) { *static_cast<void **>(entry) = next; }

BOOL FillField(DESC_PARSE_STATE *s, DWORD kind, void *entry, DWORD field, const char *token)
{
  // Dialogs, controls and messages are named only in a few fields: the context that names
  // them is looked up there.
  switch (kind) {
    case 1: {  // Item
      auto *e = static_cast<DESC_VALUE_RULE *>(entry);
      if (field == 0) {
        const VALUE_SYMBOL *vs = FindValue(s, token);
        if (!vs) Warn(s, "Item section: unknown value '%.64s'", token);
        e->valueId = vs ? vs->valueId : 0;
        return TRUE;
      }
      return ResolveReference(s, kNamesJudge, token, field == 1 ? &e->hideJudge : &e->disableJudge);
    }
    case 2: {  // Action
      auto *e = static_cast<DESC_ACTION *>(entry);
      if (field == 0) {
        if (DIALOG_RECORD *dlg = DlgFindByName(Names(s), token)) {
          e->target = dlg->templateId;
          e->kind = 1;
        } else if (const SYMBOL_ENTRY *sym = FindSymbol(s, token)) {
          e->target = sym->itemId;
          e->kind = 0;
        } else {
          Warn(s, "Action section: unknown target '%.64s'", token);
        }
        return TRUE;
      }
      if (StrIsAllDigits(token)) {
        LONG v;
        if (!DescParseNumberChecked(token, &v)) return Reject(s, "Action section: value '%.32s' is too large", token);
        e->value = static_cast<DWORD>(v);
      } else if (Same(token, "Default")) {
        if (e->kind != 0 || e->target == 0)
          Warn(s, "Action section: 'Default' needs an item target");
        else
          e->value = DescGetBlobItemDefault(e->target, reinterpret_cast<const DESC_BLOB *>(s->header));
      } else if (const VALUE_SYMBOL *vs = FindValue(s, token)) {
        e->value = vs->valueId;
      } else {
        Warn(s, "Action section: unknown value '%.64s'", token);
      }
      return TRUE;
    }
    case 3: {  // Transact
      auto *e = static_cast<DESC_TRANSACTION *>(entry);
      return field == 0 ? ResolveReference(s, kNamesJudge, token, &e->judge)
                        : ResolveReference(s, 2, token, &e->actions);
    }
    case 4: {  // AlertAction
      auto *e = static_cast<DESC_ALERT_ACTION *>(entry);
      switch (field) {
        case 0: {
          const SYMBOL_ENTRY *sym = FindSymbol(s, token);
          if (!sym) Warn(s, "AlertAction section: unknown button '%.64s'", token);
          e->button = sym ? sym->key : 0;
          return TRUE;
        }
        case 1: return ResolveReference(s, 3, token, &e->transactions);
        case 2: {
          DIALOG_RECORD *dlg = DlgFindByName(Names(s), token);
          if (!dlg && !Same(token, "NULL")) Warn(s, "AlertAction section: unknown dialog '%.64s'", token);
          e->dialog = dlg ? dlg->templateId : 0;
          return TRUE;
        }
        default: {
          DRIVER_CONTEXT *names = Names(s);
          DIALOG_RECORD *dlg = e->dialog ? DlgFindById(names, e->dialog) : nullptr;
          CONTROL_RECORD *ctl = CtlFindByName(names, dlg, token);
          if (!ctl && dlg) ctl = CtlFindByName(names, nullptr, token);
          if (!ctl && !Same(token, "NULL")) Warn(s, "AlertAction section: unknown control '%.64s'", token);
          e->control = ctl ? ctl->controlId : 0;
          return TRUE;
        }
      }
    }
    case 5: {  // Alert
      auto *e = static_cast<DESC_ALERT *>(entry);
      switch (field) {
        case 0: return ResolveReference(s, kNamesJudge, token, &e->judge);
        case 1: {
          const MESSAGE_ENTRY *msg = CtxFindMessageByName(Names(s), token);
          if (!msg) Warn(s, "Alert section: unknown message '%.64s'", token);
          e->message = msg ? static_cast<WORD>(msg->key) : 0;
          return TRUE;
        }
        case 2:
        case 3:
        case 4: {
          WORD v = field == 2 ? Lookup(kIcons, token) : field == 3 ? Lookup(kButtons, token) : Lookup(kTimings, token);
          if (v == 0xFFFF)
            Warn(s, "Alert section: unknown %s '%.64s'",
                 field == 2   ? "icon"
                 : field == 3 ? "buttons"
                              : "timing",
                 token);
          (field == 2 ? e->icon : field == 3 ? e->buttons : e->timing) = v;
          return TRUE;
        }
        default: return ResolveReference(s, 4, token, &e->answers);
      }
    }
    default: {  // Exclusive
      auto *e = static_cast<DESC_RULE_BLOCK *>(entry);
      switch (field) {
        case 0: {
          const SYMBOL_ENTRY *sym = FindSymbol(s, token);
          if (!sym) Warn(s, "Exclusive: unknown item '%.64s'", token);
          e->key = sym ? sym->key : 0;
          return TRUE;
        }
        case 1: return ResolveReference(s, kNamesJudge, token, &e->hideJudge);
        case 2: return ResolveReference(s, kNamesJudge, token, &e->disableJudge);
        case 3: return ResolveReference(s, 1, token, &e->valueRules);
        case 4: return ResolveReference(s, 5, token, &e->alerts);
        case 5: return ResolveReference(s, 3, token, &e->transactions1);
        default: return ResolveReference(s, 3, token, &e->transactions2);
      }
    }
  }
}

const char *SectionLabel(DWORD kind) { return kind == kExclusive ? "Exclusive" : kKindNames[kind]; }

// Reads the braced entry list of a rule section; *first receives the entries (NULL when
// the braces hold none). FALSE after reporting.
BOOL ReadEntries(DESC_PARSE_STATE *s, DESC_LINE *line, DWORD kind, void **first)
{
  *first = nullptr;
  DESC_TEXT_BUFFER *b = &line->value;
  b->length = 0;
  char token[kWordSize];
  DWORD depth = 0, field = 0;
  void *tail = nullptr;
  for (;;) {
    DWORD tk = RuleScanTokenInline(b, token, sizeof token);
    const char *why = nullptr;
    if (tk == RULE_TOKEN_TOO_LONG) why = "a word longer than 255 characters";
    if (tk == RULE_TOKEN_OTHER && token[0] == 0)
      why = depth == 0 ? "the value has no '{'" : "the value ends before its closing '}'";
    if (!why && depth == 0 && !(tk == RULE_TOKEN_BRACKET && token[0] == '{')) why = "the value must begin with '{'";
    if (why) {
      *first = nullptr;
      return Reject(s, "%s section: %s", SectionLabel(kind), why);
    }
    if (tk == RULE_TOKEN_BRACKET && token[0] == '{') {
      ++depth;
      continue;
    }
    if (tk == RULE_TOKEN_BRACKET && token[0] == '}') {
      if (--depth == 0) break;
      continue;
    }
    if (field == 0) {
      void *entry = Alloc(s, kEntrySize[kind]);
      if (!entry) {
        *first = nullptr;
        return Reject(s, "out of memory");
      }
      if (tail)
        SetNextEntry(tail, entry);
      else
        *first = entry;
      tail = entry;
    }
    if (!FillField(s, kind, tail, field, token)) {
      *first = nullptr;
      return FALSE;
    }
    if (++field == kFieldCount[kind]) field = 0;
  }
  if (field != 0)
    Warn(s, "%s section: the last entry has %lu of its %lu fields", SectionLabel(kind),
         static_cast<unsigned long>(field), static_cast<unsigned long>(kFieldCount[kind]));
  return TRUE;
}

BOOL NumberedSection(DESC_PARSE_STATE *s, DESC_LINE *line, DWORD kind)
{
  DWORD number = 0;
  if (!SectionNumber(s, line, kind, &number)) return FALSE;
  void *first;
  if (!ReadEntries(s, line, kind, &first)) return FALSE;
  if (!first) {
    Warn(s, "%s %lu has no entries; ignored", kKindNames[kind], static_cast<unsigned long>(number));
    return TRUE;
  }
  auto *section = static_cast<DESC_SECTION *>(Alloc(s, sizeof(DESC_SECTION)));
  if (!section) return Reject(s, "out of memory");
  section->number = number;
  section->first = first;
  Bookkeeping *books = Books(s);
  DWORD earlier = 0;
  try {
    books->sectionDefinitions[kind - 1].Reserve();
    bool added;
    earlier = (*books->sectionDefinitions[kind - 1].Enter(number, 0, &added))++;
  } catch (...) {
    return Reject(s, "out of memory");
  }
  // One warning for each earlier definition of the number.
  for (DWORD i = 0; i < earlier; ++i)
    Warn(s, "%s %lu is defined again; the first definition counts", kKindNames[kind],
         static_cast<unsigned long>(number));
  *TailOf(&s->sections[kind - 1], books->sectionTail[kind - 1]) = section;
  books->sectionTail[kind - 1] = section;
  return TRUE;
}

const char *CompileErrorText(DWORD error)
{
  switch (error) {
    case RULE_ERR_UNKNOWN_NAME: return "unknown name";
    case RULE_ERR_NO_OPERAND: return "a name with no value to compare (a dialog, control or function)";
    case RULE_ERR_NUMBER_RANGE: return "a number above 65535";
    case RULE_ERR_OPERANDS: return "more than 127 operands pending at once";
    case RULE_ERR_UNBALANCED: return "unbalanced parentheses";
    case RULE_ERR_TOKEN: return "a word longer than 255 characters";
    case RULE_ERR_NO_MEMORY: return "out of memory";
    case RULE_ERR_OPERATOR: return "an unknown operator";
    case RULE_ERR_NEGATIVE: return "a negative number";
    case RULE_ERR_CHARACTER: return "a character that has no place in a condition";
    case RULE_ERR_REJECTED_JUDGE: return "it names the rejected Judge";
    default: return "error";
  }
}

}  // namespace

BOOL ResolveReference(DESC_PARSE_STATE *s, DWORD kind, const char *token, DESC_RULE_LINK *link)
{
  bool numberOk;
  LONG v;
  DWORD code = ParseReference(token, &numberOk, &v);
  DWORD stored = 0;
  if (code == DESC_REF_NAME) {
    stored = DescFindSectionNumber(s, kind, token);
    if (!stored) Warn(s, "unknown %s name '%.64s'; no %s is referenced", kKindNames[kind], token, kKindNames[kind]);
  } else if (code != 0 && (code & 0xFFFF0000u) == kKindPrefix[kind]) {
    if (!numberOk || v < 0 || v > 65535) return Reject(s, "reference '%.64s' is out of range (1-65535)", token);
    if (v == 0) Warn(s, "reference '%.64s' has no number; no %s is referenced", token, kKindNames[kind]);
    stored = code;
  } else if (code != 0) {
    Warn(s, "'%.64s' is not a %s reference; no %s is referenced", token, kKindNames[kind], kKindNames[kind]);
  }
  DWORD number = stored & 0xFFFFu;
  if (kind == kNamesJudge && number && Books(s)->rejectedJudges.count(number))
    Warn(s, "refers to Judge %lu, which was rejected: it never holds unless a later Judge %lu line defines it",
         static_cast<unsigned long>(number), static_cast<unsigned long>(number));
  *link = stored;
  return TRUE;
}

namespace {

// Stands a judge that never holds in for a number whose condition was rejected, so the
// rules, transactions, alerts and command blocks that name the number never fire. FALSE
// when memory is short.
bool AddStandIn(DESC_PARSE_STATE *s, DWORD number)
{
  auto *code = static_cast<RULE_CODE_UNIT *>(Alloc(s, 2 * sizeof(RULE_CODE_UNIT)));
  auto *judge = static_cast<DESC_JUDGE *>(Alloc(s, sizeof(DESC_JUDGE)));
  bool noted = false;
  if (code && judge) {
    try {
      Books(s)->rejectedJudges.insert(number);
      noted = true;
    } catch (...) {
    }
  }
  if (!noted) return false;
  code[0] = {RULE_UNIT_LITERAL, 0};
  code[1] = {RULE_UNIT_OPERATOR, RULE_OP_END};
  judge->number = number;
  judge->length = 2 * sizeof(RULE_CODE_UNIT);
  judge->code = code;
  if (!AppendJudge(s, judge)) {
    Books(s)->rejectedJudges.erase(number);
    return false;
  }
  return true;
}

// Compiled condition code in the parse's memory.
void *WINAPI ParseUnits(void *context, DWORD bytes) { return Alloc(static_cast<DESC_PARSE_STATE *>(context), bytes); }

// Reports why a Judge line's condition was rejected.
BOOL RejectCondition(DESC_PARSE_STATE *s, DESC_LINE *line, DWORD number, DWORD error, const char *why)
{
  unsigned long n = static_cast<unsigned long>(number);
  switch (error) {
    case RULE_ERR_UNKNOWN_NAME:
    case RULE_ERR_NO_OPERAND:
    case RULE_ERR_REJECTED_JUDGE:
      return Reject(s, "Judge %lu: condition does not compile: %s '%.64s'", n, why, Books(s)->lastName);
    case RULE_ERR_NEGATIVE:
    case RULE_ERR_CHARACTER: {
      // The compile stops just past the character.
      DWORD at = line->value.length;
      BYTE c = at > 0 ? static_cast<BYTE>(line->value.text[at - 1]) : 0;
      if (c >= 0x20 && c < 0x7F)
        return Reject(s, "Judge %lu: condition does not compile: %s ('%c' at column %lu)", n, why, c,
                      static_cast<unsigned long>(at));
      return Reject(s, "Judge %lu: condition does not compile: %s (byte 0x%02X at column %lu)", n, why, c,
                    static_cast<unsigned long>(at));
    }
    default: return Reject(s, "Judge %lu: condition does not compile: %s", n, why);
  }
}

}  // namespace

BOOL OnJudge(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  DWORD number = 0;
  if (!SectionNumber(s, line, kNamesJudge, &number)) return FALSE;
  RULE_NAME_RESOLVER resolver = {s, ResolverItem, ResolverValue, ResolverJudge, ResolverRejected};
  Books(s)->lastName[0] = 0;
  DWORD error = RULE_ERR_NONE;
  RULE_CODE_UNIT *code = RuleCompileExpressionInto(&resolver, &line->value, &error, ParseUnits, s);
  const char *why = nullptr;
  if (!code) {
    why = CompileErrorText(error);
  } else if (!RuleCheckCode(code)) {
    why = "operators and operands do not balance";
    code = nullptr;
  }
  DESC_JUDGE *earlier = FindJudge(s, number);
  if (!code) {
    if (error == RULE_ERR_NO_MEMORY) return Reject(s, "out of memory");
    if (!earlier && !AddStandIn(s, number)) return Reject(s, "out of memory");
    return RejectCondition(s, line, number, error, why);
  }
  if (earlier && Books(s)->rejectedJudges.count(number)) {
    // The number so far stood for a rejected line; this line defines it, for every
    // reference to the number and every later condition that names it.
    earlier->code = code;
    earlier->length = RuleCodeLength(code);
    Books(s)->rejectedJudges.erase(number);
    return TRUE;
  }
  if (earlier) {
    // The first definition counts, so the later code is not kept.
    Warn(s, "Judge %lu is defined again; the first definition counts", static_cast<unsigned long>(number));
    return TRUE;
  }
  auto *judge = static_cast<DESC_JUDGE *>(Alloc(s, sizeof(DESC_JUDGE)));
  if (!judge) return Reject(s, "out of memory");
  judge->number = number;
  judge->length = RuleCodeLength(code);
  judge->code = code;
  if (!AppendJudge(s, judge)) return Reject(s, "out of memory");
  return TRUE;
}

BOOL OnItem(DESC_PARSE_STATE *s, DESC_LINE *line) { return NumberedSection(s, line, 1); }
BOOL OnAction(DESC_PARSE_STATE *s, DESC_LINE *line) { return NumberedSection(s, line, 2); }
BOOL OnTransact(DESC_PARSE_STATE *s, DESC_LINE *line) { return NumberedSection(s, line, 3); }
BOOL OnAlertAction(DESC_PARSE_STATE *s, DESC_LINE *line) { return NumberedSection(s, line, 4); }
BOOL OnAlert(DESC_PARSE_STATE *s, DESC_LINE *line) { return NumberedSection(s, line, 5); }

BOOL OnExclusive(DESC_PARSE_STATE *s, DESC_LINE *line)
{
  void *first;
  if (!ReadEntries(s, line, kExclusive, &first)) return FALSE;
  Bookkeeping *books = Books(s);
  DESC_RULE_BLOCK **tail = TailOf(&s->exclusive, books->exclusiveTail);
  *tail = static_cast<DESC_RULE_BLOCK *>(first);
  // The next append walks on from here over this line's blocks only.
  if (first) books->exclusiveTail = *tail;
  return TRUE;
}

}  // namespace descgrammar

BOOL WINAPI DescIsAlertWord(DWORD field, WORD value)
{
  using namespace descgrammar;
  // 0xFFFF stands for an unlisted word, 0 for a field the entry leaves out.
  if (value == 0xFFFF || value == 0) return TRUE;
  auto listed = [value](const auto &table) {
    for (const Word &w : table)
      if (w.value == value) return TRUE;
    return FALSE;
  };
  switch (field) {
    case DESC_ALERT_ICON: return listed(kIcons);
    case DESC_ALERT_BUTTONS: return listed(kButtons);
    case DESC_ALERT_TIMING: return listed(kTimings);
    default: return FALSE;
  }
}
