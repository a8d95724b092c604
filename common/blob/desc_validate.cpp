// Validation of a stored description block read from outside the process (the .BCS cache
// file) before it is relocated and read.
//
// Relocation trusts every offset it meets and converts each link in place, and the runtime
// then follows the pointers without checks. So the validator walks the block exactly as
// relocation will, and claims the bytes of every node, text, array and code it reaches in
// a map of the block. A claim that overlaps another one is refused: two owners of one link
// field would have it converted twice, and a text or code that shares bytes with a link
// field would change under relocation. The only sharing allowed is the sharing the
// serializer produces: entries of the rule data reached from several rule blocks (their
// tagged links are converted once), judge codes and texts reached from several owners
// (never converted), and the value data of variant and Identity nodes (never relocated
// through them). Revisiting a node of a list that is being walked is a cycle.
//
// A block that is safe to read may still not be one the compiler wrote: a cache file whose
// trailer was computed again after its block was changed passes the checksum. So the
// validator also holds the block to what the compiler writes (desc/desc_limits.h): type
// words an OpenUI line can give; keys, item IDs, value IDs, dialogs, controls and messages
// of the names table; the words of the String and Alert records; pad fields 0; papers of
// 0 to 3.2 m whose printable areas lie on them; defaults that are values of their item;
// variants of the type of their base item; the direct slots exactly as the serializer fills
// them; and the serializer's layout: section entries of one section side by side, the
// items region written node by node from the last item to the first (each node right
// behind its value data and its OptionCommand pair, each text right before the node that
// uses it), and the tail without a byte that nothing reaches.
//
// The validator itself reads only inside [block, block + size).
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "blob/desc_store.h"
#include "desc/desc_limits.h"

namespace {

// Kinds of claim. The node kinds come first: their number is stored in the map in two
// pattern bits of the claim's first two bytes (see KindAt), and 25 values fit there.
enum Kind : BYTE {
  kNone = 0,
  kItem,
  kOptionCommand,
  kValueNode,
  kPageNode,
  kSlotNode,
  kFontNode,
  kGeometry,
  kBooleanRecord,
  kNumericRecord,
  kStringRecord,
  kPaperArray,
  kTextArray,
  kValueRule,
  kAction,
  kTransaction,
  kAlertAction,
  kAlert,
  kRuleBlock,
  kCommandBlock,
  kStatement,
  kFontId,
  kFontArray,
  kNodeKinds,
  // The kinds that may share bytes with claims of their own kind.
  kText = kNodeKinds,
  kWideText,
  kCode,
};
static_assert(kNodeKinds <= 25, "node kinds must fit in two pattern triples");
enum Claim { kNew, kSeen, kBad };

// The map of the block covers the bytes after the header (no claim may start inside the
// header) with five bitmaps of one bit per byte, kept in 32-bit words so that a claim of a
// node is checked and recorded a word at a time, the five words of each 32 bytes side by
// side:
//   used    - claimed by any node, text, array or code
//   start   - a claim starts here
//   p0..p2  - the byte's pattern: 001 text, 010 UTF-16 text, 100 condition code (the kinds
//             that may share bytes with claims of their own kind), 000 inside a node; the
//             first two bytes of a node hold the node's kind instead, as two patterns out of
//             {000, 011, 101, 110, 111} (never one of the three shared ones).
// A node claims at least two bytes (the smallest is an array of one paper ID), and no claim
// overlaps a node, so the two bytes are its own. The whole map is five eighths of a byte per
// byte of the block, and the validator allocates nothing else that grows with the block but
// the list of value data owners (8 bytes per item that owns value data).
enum Map { kUsed, kStartMap, kP0, kP1, kP2, kMaps };

// Pattern of a shared kind, and the node kind patterns with their index.
const BYTE kTextPattern = 1, kWidePattern = 2, kCodePattern = 4;
const BYTE kNodePattern[5] = {0, 3, 5, 6, 7};
const signed char kNodeIndex[8] = {0, -1, -1, 1, -1, 2, 3, 4};

struct Validator {
  const BYTE *b = NULL;
  DWORD size = 0;
  DWORD *bits = NULL;  // per 32 bytes after the header, one word of each map (see Group)
  DESC_VALIDATE_RESULT *why = NULL;
  // One bit per value ID (2048 words, cleared): the values of the list being checked.
  DWORD *seenValues = NULL;
  const DESC_NAME_SETS *names = NULL;  // the names table the compiler resolves names in

  // What one pass learns for the later ones.
  DWORD rulesEnd = 0;                          // end of the last rule block; 0 without any
  std::vector<std::pair<WORD, DWORD>> blocks;  // rule blocks: key, offset, in list order
  DWORD itemsStart = 0, itemsEnd = 0;          // the items region, once laid out
  // While track is set, every new claim widens [lo, hi), a condition code's only codeHi,
  // and a StringType's text only [textLo, textHi).
  bool track = false;
  DWORD lo = ~0u, hi = 0, codeHi = 0, textLo = ~0u, textHi = 0;

  bool Fail(DWORD offset, const char *reason)
  {
    if (why != NULL) {
      why->offset = offset;
      snprintf(why->reason, sizeof why->reason, "%s", reason);
    }
    return false;
  }

  DWORD Ld32(DWORD at) const { return DescLd32(b, at); }
  WORD Ld16(DWORD at) const { return DescLd16(b, at); }

  bool Inside(DWORD off, DWORD len) const { return len <= size && off <= size - len; }

  // The kMaps words that hold the bits of a byte at or after the header, and its bit.
  [[gnu::always_inline]] DWORD *Group(DWORD off) const { return bits + kMaps * ((off - DESC_HEADER_SIZE) >> 5); }
  static DWORD Shift(DWORD off) { return (off - DESC_HEADER_SIZE) & 31; }
  [[gnu::always_inline]] bool Test(Map m, DWORD off) const { return (Group(off)[m] >> Shift(off)) & 1u; }
  // The pattern bits of a byte at or after the header (p0 in bit 0).
  [[gnu::always_inline]] DWORD Pattern(DWORD off) const
  {
    const DWORD *g = Group(off), s = Shift(off);
    return ((g[kP0] >> s) & 1u) | ((g[kP1] >> s) & 1u) << 1 | ((g[kP2] >> s) & 1u) << 2;
  }
  [[gnu::always_inline]] void SetPattern(DWORD off, DWORD pattern)
  {
    DWORD *g = Group(off), s = Shift(off);
    g[kP0] |= (pattern & 1u) << s;
    g[kP1] |= ((pattern >> 1) & 1u) << s;
    g[kP2] |= ((pattern >> 2) & 1u) << s;
  }
  // The kind of the claim that starts at off (its start bit is set).
  [[gnu::always_inline]] Kind KindAt(DWORD off) const
  {
    DWORD p = Pattern(off);
    if (p == kTextPattern) return kText;
    if (p == kWidePattern) return kWideText;
    if (p == kCodePattern) return kCode;
    return (Kind)(kNodeIndex[p] + 5 * kNodeIndex[Pattern(off + 1)]);
  }
  // The bits of a group that belong to a shared kind's claims (pattern exactly its own).
  [[gnu::always_inline]] static DWORD Own(Kind kind, const DWORD *g)
  {
    DWORD p0 = g[kP0], p1 = g[kP1], p2 = g[kP2];
    return kind == kText ? p0 & ~p1 & ~p2 : kind == kWideText ? p1 & ~p0 & ~p2 : p2 & ~p0 & ~p1;
  }
  static Map SharedMap(Kind kind) { return kind == kText ? kP0 : kind == kWideText ? kP1 : kP2; }

  // Claims the bytes [off, off + len) (len > 0, inside the block; len > 1 for a node) in
  // `used` and, for a kind that may share bytes with its own kind, in that kind's pattern
  // bit. FALSE, with nothing claimed, when a byte is already used by anything else (by any
  // claim at all for a node kind).
  [[gnu::always_inline]] bool ClaimRange(DWORD off, DWORD len, Kind kind)
  {
    DWORD lo = off - DESC_HEADER_SIZE, hi = lo + len - 1;
    DWORD w0 = lo >> 5, w1 = hi >> 5;
    DWORD first = ~0u << (lo & 31), last = ~0u >> (31 - (hi & 31));
    bool shared = kind >= kNodeKinds;
    Map own = SharedMap(kind);
    DWORD *g0 = bits + kMaps * w0;
    if (w0 == w1) {
      DWORD m = first & last;
      if ((g0[kUsed] & m & (shared ? ~Own(kind, g0) : ~0u)) != 0) return false;
      g0[kUsed] |= m;
      if (shared) g0[own] |= m;
      return true;
    }
    DWORD *g = g0;
    for (DWORD w = w0; w <= w1; ++w, g += kMaps) {
      DWORD m = w == w0 ? first : w == w1 ? last : ~0u;
      if ((g[kUsed] & m & (shared ? ~Own(kind, g) : ~0u)) != 0) return false;
    }
    g = g0;
    for (DWORD w = w0; w <= w1; ++w, g += kMaps) {
      DWORD m = w == w0 ? first : w == w1 ? last : ~0u;
      g[kUsed] |= m;
      if (shared) g[own] |= m;
    }
    return true;
  }

  // Claims [off, off + len) for a claim of the given kind. where names the field that
  // holds the link (for the report).
  [[gnu::always_inline]] Claim Take(DWORD off, DWORD len, Kind kind, DWORD where)
  {
    if (off < DESC_HEADER_SIZE) {
      Fail(where, "link into the header");
      return kBad;
    }
    if (!Inside(off, len)) {
      Fail(where, "link outside the block");
      return kBad;
    }
    if (len == 0) return kNew;
    if (Test(kStartMap, off) && KindAt(off) == kind) return kSeen;
    if (!ClaimRange(off, len, kind)) {
      Fail(where, kind >= kNodeKinds ? "node overlaps a node of another kind" : "node overlaps another node");
      return kBad;
    }
    Group(off)[kStartMap] |= 1u << Shift(off);
    if (track && kind == kCode) {
      codeHi = off + len > codeHi ? off + len : codeHi;
    } else if (track) {
      lo = off < lo ? off : lo;
      hi = off + len > hi ? off + len : hi;
    }
    if (kind < kNodeKinds) {
      SetPattern(off, kNodePattern[kind % 5]);
      SetPattern(off + 1, kNodePattern[kind / 5]);
    }
    return kNew;
  }

  // A node that must be reached once only (its links are converted by whoever reaches it).
  [[gnu::always_inline]] bool TakeOnce(DWORD off, DWORD len, Kind kind, DWORD where)
  {
    Claim c = Take(off, len, kind, where);
    if (c == kSeen) return Fail(where, "node reached twice (shared or cyclic list)");
    return c == kNew;
  }

  [[gnu::always_inline]] bool IsStart(DWORD off, Kind kind) const
  {
    return off >= DESC_HEADER_SIZE && off < size && Test(kStartMap, off) && KindAt(off) == kind;
  }

  // ---- texts

  [[gnu::always_inline]] bool Text(DWORD where)
  {
    DWORD off = Ld32(where);
    if (off == 0) return true;
    if (off < DESC_HEADER_SIZE) return Fail(where, "text link into the header");
    if (off >= size) return Fail(where, "text link outside the block");
    // A text starting inside another text ends at that text's terminator.
    if (Pattern(off) == kTextPattern) return true;
    // Texts are short: a scan four bytes at a time (a word holds a NUL when one of its
    // bytes borrows in w - 0x01010101) beats memchr's setup.
    DWORD end = off;
    for (DWORD stop = size - 4; end <= stop; end += 4) {
      DWORD w = Ld32(end);
      if (((w - 0x01010101u) & ~w & 0x80808080u) != 0) break;
    }
    while (end < size && b[end] != 0) ++end;
    if (end == size) return Fail(where, "text not terminated inside the block");
    return Take(off, end - off + 1, kText, where) != kBad;
  }

  // A text with its byte length (NUL included) stored beside it.
  bool CountedText(DWORD where, DWORD length)
  {
    DWORD off = Ld32(where);
    if (off == 0) return true;
    if (length == 0) return Fail(where, "text with a length of 0");
    if (off < DESC_HEADER_SIZE) return Fail(where, "text link into the header");
    if (!Inside(off, length)) return Fail(where, "text runs past the end of the block");
    if (b[off + length - 1] != 0) return Fail(where, "text not terminated within its length");
    // Its length is the text's own with the NUL: a CommandString holds no NUL.
    if (memchr(b + off, 0, length - 1) != NULL) return Fail(where, "text shorter than its length");
    bool tracking = track;
    track = false;
    Claim c = Take(off, length, kText, where);
    track = tracking;
    if (c == kBad) return false;
    if (tracking) {
      textLo = off < textLo ? off : textLo;
      textHi = off + length > textHi ? off + length : textHi;
      // A CommandString text begins the tail or follows the NUL of the one before it.
      if (itemsEnd != 0 && off > itemsEnd && b[off - 1] != 0) return Fail(where, "text begins inside another text");
    }
    // A text that starts at the same byte may have been claimed shorter (a plain text ends at
    // its first NUL): every byte of the counted length must be text as well, or relocation
    // could change a byte of it through a node lying there.
    if (c == kSeen && !ClaimRange(off, length, kText)) return Fail(where, "node overlaps a node of another kind");
    return true;
  }

  bool WideText(DWORD where)
  {
    DWORD off = Ld32(where);
    if (off == 0) return true;
    if (off < DESC_HEADER_SIZE) return Fail(where, "text link into the header");
    for (DWORD at = off; Inside(at, 2); at += 2) {
      if (Ld16(at) == 0) return Take(off, at - off + 2, kWideText, where) != kBad;
    }
    return Fail(where, "UTF-16 text not terminated inside the block");
  }

  // ---- rule data

  // A tagged field: 0, or offset * 16 + 1 of a 4-byte aligned node. Answers the offset.
  [[gnu::always_inline]] bool Tagged(DWORD where, DWORD *off)
  {
    DWORD v = Ld32(where);
    *off = 0;
    if (v == 0) return true;
    if ((v & 1u) == 0) return Fail(where, "plain link in a tagged field");
    if ((v & 15u) != 1u) return Fail(where, "malformed tagged link");
    *off = v >> 4;
    if (*off % 4 != 0) return Fail(where, "tagged link not 4-byte aligned");
    if (*off < DESC_HEADER_SIZE) return Fail(where, "tagged link into the header");
    if (*off >= size) return Fail(where, "tagged link outside the block");
    return true;
  }

  [[gnu::always_inline]] bool Judge(DWORD where)
  {
    DWORD off;
    if (!Tagged(where, &off)) return false;
    if (off == 0 || IsStart(off, kCode)) return true;
    // Units are read as one little-endian DWORD: kind in the low word, operand in the high.
    // The scan finds the end unit and refuses a unit of an unknown kind; RuleCheckCode
    // then checks the code in place (codes are 4-byte aligned in any block relocation
    // accepts). A tight scan and a second pass beat one pass that does both: operands and
    // operators alternate unpredictably, and one pass branches or spills on every unit.
    const DWORD endUnit = (DWORD)RULE_OP_END << 16 | RULE_UNIT_OPERATOR;
    DWORD units = 0;
    bool end = false;
    for (DWORD at = off, stop = size - 4; at <= stop; at += 4) {
      ++units;
      DWORD unit = Ld32(at);
      if (unit == endUnit) {
        end = true;
        break;
      }
      if ((WORD)((unit & 0xFFFFu) - RULE_UNIT_ITEM) > RULE_UNIT_OPERATOR - RULE_UNIT_ITEM)
        return Fail(off, "condition code holds a bad unit");
    }
    if (!end) return Fail(off, "condition code runs past the end of the block");
    Claim c = Take(off, 4 * units, kCode, where);
    if (c != kNew) return c == kSeen;
    const RULE_CODE_UNIT *check;
    RULE_CODE_UNIT copy[64];
    if (reinterpret_cast<uintptr_t>(b + off) % alignof(RULE_CODE_UNIT) == 0) {
      check = reinterpret_cast<const RULE_CODE_UNIT *>(b + off);
    } else {
      if (units > sizeof copy / sizeof copy[0]) return CheckUnaligned(off, units);
      memcpy(copy, b + off, 4 * units);
      check = copy;
    }
    if (RuleCheckCode(check) != 1) return Fail(off, "condition code fails its check");
    return true;
  }

  // The code check of an unaligned block's longer code, through an aligned copy.
  bool CheckUnaligned(DWORD off, DWORD units)
  {
    std::vector<RULE_CODE_UNIT> copy(units);
    memcpy(copy.data(), b + off, 4 * units);
    return RuleCheckCode(copy.data()) == 1 || Fail(off, "condition code fails its check");
  }

  // TRUE when entry is one of the first `count` entries of the tagged chain from first
  // (entries this walk claimed: their links were checked). A walk of one kind never runs
  // inside another walk of the same kind, so an entry of the kind seen again was claimed
  // either by this walk (a cycle) or by a walk that has ended (a shared list). The chain
  // is followed once per walk that ends at a seen entry, so the cost stays linear.
  bool Claimed(DWORD first, DWORD count, DWORD entry) const
  {
    for (DWORD e = first; count-- != 0; e = Ld32(e) >> 4) {
      if (e == entry) return true;
    }
    return false;
  }

  // Walks a tagged list of section entries of one kind; entries validated by an earlier
  // walk end the walk, an entry of this walk seen again is a cycle.
  bool List(DWORD where, Kind kind)
  {
    DWORD off;
    if (!Tagged(where, &off)) return false;
    // The entries this walk claimed are the first `claimed` ones of its chain from `first`.
    DWORD first = off, claimed = 0;
    while (off != 0) {
      DWORD len = kind == kValueRule     ? sizeof(DESC_VALUE_RULE)
                  : kind == kAction      ? sizeof(DESC_ACTION)
                  : kind == kTransaction ? sizeof(DESC_TRANSACTION)
                  : kind == kAlertAction ? sizeof(DESC_ALERT_ACTION)
                                         : sizeof(DESC_ALERT);
      Claim c = Take(off, len, kind, where);
      if (c == kBad) return false;
      if (c == kSeen) return !Claimed(first, claimed, off) || Fail(where, "rule list has a cycle");
      ++claimed;
      if (!EntryFields(off, kind)) return false;
      bool ok = true;
      switch (kind) {
        case kValueRule:
          ok =
              Judge(off + offsetof(DESC_VALUE_RULE, hideJudge)) && Judge(off + offsetof(DESC_VALUE_RULE, disableJudge));
          break;
        case kTransaction:
          ok = Judge(off + offsetof(DESC_TRANSACTION, judge)) &&
               List(off + offsetof(DESC_TRANSACTION, actions), kAction);
          break;
        case kAlertAction: ok = List(off + offsetof(DESC_ALERT_ACTION, transactions), kTransaction); break;
        case kAlert:
          ok = Judge(off + offsetof(DESC_ALERT, judge)) && List(off + offsetof(DESC_ALERT, answers), kAlertAction);
          break;
        default: break;
      }
      if (!ok) return false;
      where = off;  // every entry kind begins with its next link
      if (!Tagged(where, &off)) return false;
      // The entries of one section are stored side by side, in their order.
      if (off != 0 && off != where + len) return Fail(where, "section entries not stored side by side");
    }
    return true;
  }

  // The fields of a section entry that name something: each holds what the compiler
  // resolves a name to (0 where the name was unknown), and pad fields are 0.
  bool EntryFields(DWORD off, Kind kind)
  {
    switch (kind) {
      case kValueRule: {
        WORD value = Ld16(off + offsetof(DESC_VALUE_RULE, valueId));
        if (Ld16(off + offsetof(DESC_VALUE_RULE, pad)) != 0) return Fail(off, "pad field not 0");
        return value == 0 || DescInSet(names->valueIds, value) || Fail(off, "value ID the names table does not have");
      }
      case kAction: {
        WORD target = Ld16(off + offsetof(DESC_ACTION, target)), action = Ld16(off + offsetof(DESC_ACTION, kind));
        if (action > 1) return Fail(off + offsetof(DESC_ACTION, kind), "action of an unknown kind");
        if (action == 1)
          return DescInSet(names->dialogs, target) || Fail(off, "action on a dialog the names table does not have");
        return DescInSet(names->itemIds, target) || Fail(off, "action on an item the names table does not have");
      }
      case kAlertAction: {
        WORD button = Ld16(off + offsetof(DESC_ALERT_ACTION, button));
        WORD dialog = Ld16(off + offsetof(DESC_ALERT_ACTION, dialog));
        WORD control = Ld16(off + offsetof(DESC_ALERT_ACTION, control));
        if (Ld16(off + offsetof(DESC_ALERT_ACTION, pad)) != 0) return Fail(off, "pad field not 0");
        if (button != 0 && DescSetsKeyItemId(names, button) < 0)
          return Fail(off, "button key the names table does not have");
        if (dialog != 0 && !DescInSet(names->dialogs, dialog)) return Fail(off, "dialog the names table does not have");
        return control == 0 || DescInSet(names->controls, control) ||
               Fail(off, "control the names table does not have");
      }
      case kAlert: {
        WORD message = Ld16(off + offsetof(DESC_ALERT, message));
        if (message != 0 && !DescInSet(names->messages, message))
          return Fail(off, "message the names table does not have");
        return (DescIsAlertWord(DESC_ALERT_ICON, Ld16(off + offsetof(DESC_ALERT, icon))) &&
                DescIsAlertWord(DESC_ALERT_BUTTONS, Ld16(off + offsetof(DESC_ALERT, buttons))) &&
                DescIsAlertWord(DESC_ALERT_TIMING, Ld16(off + offsetof(DESC_ALERT, timing)))) ||
               Fail(off, "alert icon, buttons or timing no Alert line gives");
      }
      default: return true;
    }
  }

  bool Rules()
  {
    DWORD where = offsetof(DESC_HEADER, rules);
    DWORD off = Ld32(where);
    if (off == 0) return true;
    if (off % 4 != 0) return Fail(where, "rule block not 4-byte aligned");
    for (;;) {
      if (!TakeOnce(off, sizeof(DESC_RULE_BLOCK), kRuleBlock, where)) return false;
      WORD key = Ld16(off + offsetof(DESC_RULE_BLOCK, key));
      if (Ld16(off + offsetof(DESC_RULE_BLOCK, pad)) != 0) return Fail(off, "pad field not 0");
      if (key != 0 && DescSetsKeyItemId(names, key) < 0)
        return Fail(off, "rule block of a key the names table does not have");
      blocks.emplace_back(key, off);
      if (!Judge(off + offsetof(DESC_RULE_BLOCK, hideJudge)) || !Judge(off + offsetof(DESC_RULE_BLOCK, disableJudge)) ||
          !List(off + offsetof(DESC_RULE_BLOCK, valueRules), kValueRule) ||
          !List(off + offsetof(DESC_RULE_BLOCK, alerts), kAlert) ||
          !List(off + offsetof(DESC_RULE_BLOCK, transactions1), kTransaction) ||
          !List(off + offsetof(DESC_RULE_BLOCK, transactions2), kTransaction))
        return false;
      DWORD next = Ld32(off);
      if (next == 0) {
        rulesEnd = off + sizeof(DESC_RULE_BLOCK);
        return true;
      }
      if (next != off + sizeof(DESC_RULE_BLOCK)) return Fail(off, "rule blocks not contiguous");
      where = off;
      off = next;
    }
  }

  // ---- items

  static Kind DataKind(DWORD dataClass)
  {
    switch (dataClass) {
      case DESC_TYPE_BOOLEAN: return kBooleanRecord;
      case DESC_TYPE_NUMERIC: return kNumericRecord;
      case DESC_TYPE_STRING: return kStringRecord;
      case DESC_TYPE_PICK_PAGE: return kPageNode;
      case DESC_TYPE_PICK_SLOT: return kSlotNode;
      case DESC_TYPE_FONT_TABLE: return kFontNode;
      default: return kValueNode;
    }
  }

  static DWORD NodeSize(Kind kind)
  {
    return kind == kPageNode   ? sizeof(DESC_PAGE_VALUE_NODE)
           : kind == kSlotNode ? sizeof(DESC_SLOT_VALUE_NODE)
           : kind == kFontNode ? sizeof(DESC_FONT_VALUE_NODE)
                               : sizeof(DESC_VALUE_NODE);
  }

  // The printable-area entries of a paper: each lies on the paper, and its condition is
  // none (key and value 0) or an item's key with a value ID (or 1 for True, 0 otherwise).
  bool Geometry(DWORD where, LONG width, LONG length)
  {
    for (DWORD off = Ld32(where); off != 0; off = Ld32(off)) {
      if (!TakeOnce(off, sizeof(DESC_PAPER_GEOMETRY), kGeometry, where)) return false;
      DESC_PAPER_GEOMETRY g;
      memcpy(&g, b + off, sizeof g);
      if (!DescGeometryFitsPaper(width, length, &g)) return Fail(off, "printable area not on its paper");
      if (g.condKey == 0 ? g.condValue != 0
                         : DescSetsKeyItemId(names, g.condKey) < 0 ||
                               (g.condValue > 1 && !DescInSet(names->valueIds, g.condValue)))
        return Fail(off + offsetof(DESC_PAPER_GEOMETRY, condKey), "printable-area condition the compiler never writes");
      where = off;
    }
    return true;
  }

  bool ValueNodes(DWORD where, DWORD dataClass)
  {
    Kind kind = DataKind(dataClass);
    DWORD len = NodeSize(kind);
    DWORD first = Ld32(where);
    for (DWORD off = first; off != 0; off = Ld32(off)) {
      if (!TakeOnce(off, len, kind, where)) return false;
      WORD value = Ld16(off + offsetof(DESC_VALUE_NODE, valueId));
      if (Ld16(off + offsetof(DESC_VALUE_NODE, pad)) != 0) return Fail(off, "pad field not 0");
      if (!DescInSet(names->valueIds, value)) return Fail(off, "value ID the names table does not have");
      // A value is listed once (the compiler keeps the first definition).
      DWORD bit = 1u << (value & 31);
      if ((seenValues[value >> 5] & bit) != 0) return Fail(off, "value listed twice");
      seenValues[value >> 5] |= bit;
      if (!Text(off + offsetof(DESC_VALUE_NODE, command))) return false;
      if (kind == kPageNode) {
        LONG width = (LONG)Ld32(off + offsetof(DESC_PAGE_VALUE_NODE, width));
        LONG length = (LONG)Ld32(off + offsetof(DESC_PAGE_VALUE_NODE, length));
        if (width < 0 || width > DESC_PAPER_MM_MAX || length < 0 || length > DESC_PAPER_MM_MAX)
          return Fail(off + offsetof(DESC_PAGE_VALUE_NODE, width), "paper size outside 0 to 3.2 m");
        if (!Geometry(off + offsetof(DESC_PAGE_VALUE_NODE, geometry), width, length)) return false;
      }
      if (kind == kSlotNode) {
        DWORD count = Ld32(off + offsetof(DESC_SLOT_VALUE_NODE, count));
        DWORD field = off + offsetof(DESC_SLOT_VALUE_NODE, papers);
        DWORD papers = Ld32(field);
        if (count > size / 2) return Fail(off, "paper count larger than the block");
        if (count != 0 && papers == 0) return Fail(off, "paper count without papers");
        if (count == 0 && papers != 0) return Fail(off, "papers without a count");
        if (papers != 0 && !TakeOnce(papers, 2 * count, kPaperArray, field)) return false;
        for (DWORD i = 0; i < count; ++i) {
          if (!DescInSet(names->valueIds, Ld16(papers + 2 * i)))
            return Fail(papers + 2 * i, "value ID the names table does not have");
        }
      }
      if (kind == kFontNode) {
        DWORD count = Ld32(off + offsetof(DESC_FONT_VALUE_NODE, count));
        if (count > size / 4) return Fail(off, "font pair count larger than the block");
        for (DWORD field : {off + (DWORD)offsetof(DESC_FONT_VALUE_NODE, names),
                            off + (DWORD)offsetof(DESC_FONT_VALUE_NODE, substitutes)}) {
          DWORD array = Ld32(field);
          if (count != 0 && array == 0) return Fail(off, "font pair count without its array");
          if (count == 0 && array != 0) return Fail(off, "font pair array without a count");
          if (array == 0) continue;
          if (!TakeOnce(array, 4 * count, kTextArray, field)) return false;
          for (DWORD i = 0; i < count; ++i) {
            if (Ld32(array + 4 * i) == 0) return Fail(array + 4 * i, "font pair without its name");
            if (!Text(array + 4 * i)) return false;
          }
        }
      }
      where = off;
    }
    // Clear what this list set (the list is known to end and to be free of cycles).
    for (DWORD off = first; off != 0; off = Ld32(off))
      seenValues[Ld16(off + offsetof(DESC_VALUE_NODE, valueId)) >> 5] = 0;
    return true;
  }

  bool ValueData(DWORD where, DWORD dataClass)
  {
    DWORD off = Ld32(where);
    switch (dataClass) {
      case DESC_TYPE_BOOLEAN:
        return TakeOnce(off, sizeof(DESC_BOOLEAN_VALUE), kBooleanRecord, where) &&
               Text(off + offsetof(DESC_BOOLEAN_VALUE, trueText)) &&
               Text(off + offsetof(DESC_BOOLEAN_VALUE, falseText));
      case DESC_TYPE_NUMERIC: return TakeOnce(off, sizeof(DESC_NUMERIC_VALUE), kNumericRecord, where);
      case DESC_TYPE_STRING: {
        if (!TakeOnce(off, sizeof(DESC_STRING_VALUE), kStringRecord, where)) return false;
        WORD value = Ld16(off + offsetof(DESC_STRING_VALUE, defaultValue));
        if (value != 0 && !DescInSet(names->valueIds, value))
          return Fail(off, "value ID the names table does not have");
        return (DescIsCharSetWord(Ld16(off + offsetof(DESC_STRING_VALUE, charSet))) &&
                DescIsDisplayWord(Ld16(off + offsetof(DESC_STRING_VALUE, display)))) ||
               Fail(off, "character set or display flags no StringValue line gives");
      }
      default: return ValueNodes(where, dataClass);
    }
  }

  // The stored default of an item must be one its value data offers, as the compiler
  // leaves it: a PickOne-class position inside the value list, a Boolean 0 or 1, a Numeric
  // default inside its range (when the range is not inverted; a text may give one that is,
  // and then no default can be checked against it). A type that is not of the PickOne
  // class keeps its default in its record and 0 in the node. The value data itself was
  // validated by the passes before, so the lists walked here end and are free of cycles.
  bool Default(DWORD node)
  {
    WORD type = Ld16(node + offsetof(DESC_ITEM_NODE, type));
    DWORD where = node + offsetof(DESC_ITEM_NODE, defaultValue);
    if ((type & DESC_TYPE_PICK_ONE) == 0 && Ld16(where) != 0)
      return Fail(where, "default position on a type without a list");
    DWORD data = Ld32(node + offsetof(DESC_ITEM_NODE, values));
    if (data == 0) return true;
    if ((type & 0xFF) == DESC_TYPE_PICK_ONE) {
      DWORD position = Ld16(where), count = 0;
      for (DWORD v = data; v != 0 && count <= position; v = Ld32(v)) ++count;
      return position < count || Fail(where, "default position past the end of the value list");
    }
    switch (DescStoredDataClass(type)) {
      case DESC_TYPE_BOOLEAN:
        return Ld32(data + offsetof(DESC_BOOLEAN_VALUE, defaultValue)) <= 1u ||
               Fail(data + offsetof(DESC_BOOLEAN_VALUE, defaultValue), "Boolean default other than 0 or 1");
      case DESC_TYPE_NUMERIC: {
        LONG value = (LONG)Ld32(data + offsetof(DESC_NUMERIC_VALUE, defaultValue));
        LONG lo = (LONG)Ld32(data + offsetof(DESC_NUMERIC_VALUE, minimum));
        LONG hi = (LONG)Ld32(data + offsetof(DESC_NUMERIC_VALUE, maximum));
        return lo > hi || (value >= lo && value <= hi) ||
               Fail(data + offsetof(DESC_NUMERIC_VALUE, defaultValue), "Numeric default outside its range");
      }
      default: return true;
    }
  }

  // The fields of an item node that the list walk can check alone: a type word an OpenUI
  // line gives, the key of a name with the item ID the names table gives it, pad 0.
  bool ItemFields(DWORD off)
  {
    WORD type = Ld16(off + offsetof(DESC_ITEM_NODE, type));
    WORD key = Ld16(off + offsetof(DESC_ITEM_NODE, key));
    WORD variant = Ld16(off + offsetof(DESC_ITEM_NODE, variant));
    if (!DescIsItemTypeWord(type))
      return Fail(off + offsetof(DESC_ITEM_NODE, type), "item type word no OpenUI line gives");
    LONG itemId = DescSetsKeyItemId(names, key);
    if (itemId < 0) return Fail(off + offsetof(DESC_ITEM_NODE, key), "item key the names table does not have");
    if (Ld16(off + offsetof(DESC_ITEM_NODE, itemId)) != itemId)
      return Fail(off + offsetof(DESC_ITEM_NODE, itemId), "item ID other than the one its key names");
    if (Ld16(off + offsetof(DESC_ITEM_NODE, pad)) != 0) return Fail(off, "pad field not 0");
    if ((type & DESC_TYPE_IDENTITY) != 0 && variant != 0 && DescSetsKeyItemId(names, variant) < 0)
      return Fail(off + offsetof(DESC_ITEM_NODE, variant), "Identity item naming a key the names table does not have");
    return true;
  }

  // The first rule block of a key, 0 when none (the compiler links each item to it).
  DWORD FirstBlockOf(WORD key) const
  {
    auto it = std::lower_bound(blocks.begin(), blocks.end(), std::make_pair(key, (DWORD)0));
    return it != blocks.end() && it->first == key ? it->second : 0;
  }

  bool Items()
  {
    DWORD where = offsetof(DESC_HEADER, items);
    size_t bases = 0;
    bool seenBase = false;
    for (DWORD off = Ld32(where); off != 0; off = Ld32(off)) {
      if (!TakeOnce(off, sizeof(DESC_ITEM_NODE), kItem, where)) return false;
      if (!ItemFields(off)) return false;
      // The serializer stores the list from its last node to its first, and puts every
      // variant and Identity node in front of the base nodes.
      if (where != offsetof(DESC_HEADER, items) && off >= where) return Fail(where, "item list not in stored order");
      bool base = Ld16(off + offsetof(DESC_ITEM_NODE, variant)) == 0;
      if (!base && seenBase) return Fail(where, "variant item after a base item");
      seenBase = seenBase || base;
      bases += base;
      where = off;
    }
    // The list is now known to be inside the block and free of cycles: the passes below
    // walk it again.
    DWORD first = Ld32(offsetof(DESC_HEADER, items));
    // Base nodes own their value data; variant and Identity nodes must point at data of
    // the same shape that a base node of the item they share owns (their own key for a
    // variant, the key in the variant field for an Identity node): data of another item,
    // or a node inside a list, is refused.
    std::vector<std::pair<DWORD, WORD>> owners;  // value data offset, key of its base node
    owners.reserve(bases);
    // Every node's key, kind (base or not) and type word, packed and sorted for the type
    // checks of variant and Identity nodes.
    std::vector<DWORD> types;
    for (DWORD off = first; off != 0; off = Ld32(off))
      types.push_back(TypeKey(Ld16(off + offsetof(DESC_ITEM_NODE, key)),
                              Ld16(off + offsetof(DESC_ITEM_NODE, variant)) == 0,
                              Ld16(off + offsetof(DESC_ITEM_NODE, type))));
    std::sort(types.begin(), types.end());
    for (int pass = 0; pass < 2; ++pass) {
      if (pass == 1) std::sort(owners.begin(), owners.end());
      for (DWORD off = first; off != 0; off = Ld32(off)) {
        WORD variant = Ld16(off + offsetof(DESC_ITEM_NODE, variant));
        bool base = variant == 0;
        if (base != (pass == 0)) continue;
        DWORD field = off + offsetof(DESC_ITEM_NODE, values);
        DWORD data = Ld32(field);
        WORD type = Ld16(off + offsetof(DESC_ITEM_NODE, type));
        WORD key = Ld16(off + offsetof(DESC_ITEM_NODE, key));
        if (!base && !SharedType(off, type, key, variant, types)) return false;
        if (data == 0) continue;
        DWORD dataClass = DescStoredDataClass(type);
        if (dataClass == 0) return Fail(field, "value data on a type that stores none");
        if (base) {
          if (!ValueData(field, dataClass)) return false;
          owners.emplace_back(data, key);
          continue;
        }
        if (!IsStart(data, DataKind(dataClass))) return Fail(field, "shared value data of another shape");
        auto owner = std::lower_bound(owners.begin(), owners.end(), std::make_pair(data, (WORD)0));
        if (owner == owners.end() || owner->first != data) return Fail(field, "shared value data that no item owns");
        if (owner->second != DescShareKey(key, variant, type)) return Fail(field, "value data of another item");
      }
    }
    for (DWORD off = first; off != 0; off = Ld32(off)) {
      if (!Default(off)) return false;
      DWORD field = off + offsetof(DESC_ITEM_NODE, command);
      DWORD command = Ld32(field);
      if (command != 0 && (!TakeOnce(command, sizeof(DESC_OPTION_COMMAND), kOptionCommand, field) ||
                           !Text(command + offsetof(DESC_OPTION_COMMAND, first)) ||
                           !Text(command + offsetof(DESC_OPTION_COMMAND, second))))
        return false;
      field = off + offsetof(DESC_ITEM_NODE, rules);
      DWORD rules = Ld32(field);
      WORD key = Ld16(off + offsetof(DESC_ITEM_NODE, key));
      if (rules != 0) {
        if (!IsStart(rules, kRuleBlock)) return Fail(field, "rule link is not a rule block");
        if (Ld16(rules + offsetof(DESC_RULE_BLOCK, key)) != key) return Fail(field, "rule block of another key");
      }
      if (rules != FirstBlockOf(key)) return Fail(field, "rule link is not the first rule block of its key");
    }
    return true;
  }

  static DWORD TypeKey(WORD key, bool base, WORD type) { return (DWORD)key << 17 | (base ? 1u << 16 : 0) | type; }

  // A variant takes the type of its base item as it was when the variant was opened (a
  // type never changes afterwards); an Identity node takes the type of the first node of
  // the item it names, with the Identity bit, or the Identity bit alone while that item had
  // no node. types holds TypeKey of every node, sorted.
  bool SharedType(DWORD off, WORD type, WORD key, WORD variant, const std::vector<DWORD> &types)
  {
    DWORD where = off + offsetof(DESC_ITEM_NODE, type);
    auto has = [&types](DWORD k) { return std::binary_search(types.begin(), types.end(), k); };
    if ((type & DESC_TYPE_IDENTITY) != 0) {
      if (type == DESC_TYPE_IDENTITY) return true;
      WORD plain = (WORD)(type & ~DESC_TYPE_IDENTITY);
      bool named = has(TypeKey(variant, true, type)) || has(TypeKey(variant, true, plain)) ||
                   has(TypeKey(variant, false, type)) || has(TypeKey(variant, false, plain));
      return named || Fail(where, "Identity item of another type than the item it names");
    }
    return has(TypeKey(key, true, type)) || Fail(where, "variant item without a base item of its type");
  }

  // The direct slots, exactly as the serializer fills them: storing the list from its last
  // node, a base node takes its slot and a variant or Identity node only an empty one, so a
  // slot holds the first base node of its ID in list order, else the last variant or
  // Identity node of it, else nothing.
  bool Slots()
  {
    const DWORD kSlots = (offsetof(DESC_HEADER, uiResDllName) - offsetof(DESC_HEADER, slotsLow)) / 4;
    std::vector<DWORD> expected(kSlots, 0);  // node offset, bit 31 once a base node has it
    for (DWORD off = Ld32(offsetof(DESC_HEADER, items)); off != 0; off = Ld32(off)) {
      DWORD slot = DescSlotOffset(Ld16(off + offsetof(DESC_ITEM_NODE, itemId)));
      if (slot == 0) continue;
      DWORD &e = expected[(slot - offsetof(DESC_HEADER, slotsLow)) / 4];
      if ((e & 0x80000000u) != 0) continue;
      bool base = Ld16(off + offsetof(DESC_ITEM_NODE, variant)) == 0;
      e = base ? off | 0x80000000u : off;
    }
    for (DWORD i = 0; i < kSlots; ++i) {
      DWORD slot = offsetof(DESC_HEADER, slotsLow) + 4 * i;
      DWORD off = Ld32(slot);
      if (off == (expected[i] & 0x7FFFFFFFu)) continue;
      if (off == 0) return Fail(slot, "slot empty although the list holds an item of its ID");
      if (!IsStart(off, kItem)) return Fail(slot, "slot does not point at an item node");
      if (DescSlotOffset(Ld16(off + offsetof(DESC_ITEM_NODE, itemId))) != slot)
        return Fail(slot, "slot holds an item of another ID");
      return Fail(slot, "slot holds another node of its ID than the compiler puts there");
    }
    return true;
  }

  // ---- layout of the items region

  // Bytes of a text with its NUL (the text is known to end inside the block).
  DWORD TextBytes(DWORD off) const { return (DWORD)strlen(reinterpret_cast<const char *>(b + off)) + 1; }

  // Steps *at back over a text stored right before it (nothing for no text): the text
  // must end exactly at *at.
  bool Behind(DWORD *at, DWORD field)
  {
    DWORD text = Ld32(field);
    if (text == 0) return true;
    if (text + TextBytes(text) != *at) return Fail(field, "text not stored right before the node that uses it");
    *at = text;
    return true;
  }

  // Steps *at back over a node of len bytes that must end exactly at *at.
  bool Before(DWORD *at, DWORD node, DWORD len, DWORD field)
  {
    if (node + len != *at) return Fail(field, "node not stored where the compiler stores it");
    *at = node;
    return true;
  }

  // Steps *at back over the value data of a base node, stored as the serializer writes it:
  // records behind their texts, and list nodes from the last to the first, each behind its
  // command text and its own data (geometry entries, paper array, font texts and arrays).
  bool DataLayout(DWORD *at, DWORD field, DWORD dataClass)
  {
    DWORD data = Ld32(field);
    switch (dataClass) {
      case DESC_TYPE_BOOLEAN:
        return Before(at, data, sizeof(DESC_BOOLEAN_VALUE), field) &&
               Behind(at, data + offsetof(DESC_BOOLEAN_VALUE, falseText)) &&
               Behind(at, data + offsetof(DESC_BOOLEAN_VALUE, trueText));
      case DESC_TYPE_NUMERIC: return Before(at, data, sizeof(DESC_NUMERIC_VALUE), field);
      case DESC_TYPE_STRING: return Before(at, data, sizeof(DESC_STRING_VALUE), field);
      default: break;
    }
    DWORD len = NodeSize(DataKind(dataClass));
    for (DWORD v = data; v != 0; field = v, v = Ld32(v)) {
      if (!Before(at, v, len, field) || !Behind(at, v + offsetof(DESC_VALUE_NODE, command))) return false;
      if (dataClass == DESC_TYPE_PICK_PAGE) {
        DWORD link = v + offsetof(DESC_PAGE_VALUE_NODE, geometry);
        for (DWORD g = Ld32(link); g != 0; link = g, g = Ld32(g)) {
          if (!Before(at, g, sizeof(DESC_PAPER_GEOMETRY), link)) return false;
        }
      } else if (dataClass == DESC_TYPE_PICK_SLOT) {
        DWORD papers = Ld32(v + offsetof(DESC_SLOT_VALUE_NODE, papers));
        DWORD count = Ld32(v + offsetof(DESC_SLOT_VALUE_NODE, count));
        if (papers != 0 && !Before(at, papers, 2 * count, v + offsetof(DESC_SLOT_VALUE_NODE, papers))) return false;
      } else if (dataClass == DESC_TYPE_FONT_TABLE) {
        DWORD names = Ld32(v + offsetof(DESC_FONT_VALUE_NODE, names));
        DWORD substitutes = Ld32(v + offsetof(DESC_FONT_VALUE_NODE, substitutes));
        DWORD count = Ld32(v + offsetof(DESC_FONT_VALUE_NODE, count));
        if (count != 0 && (!Before(at, substitutes, 4 * count, v + offsetof(DESC_FONT_VALUE_NODE, substitutes)) ||
                           !Before(at, names, 4 * count, v + offsetof(DESC_FONT_VALUE_NODE, names))))
          return false;
        for (DWORD i = count; i-- > 0;) {
          if (!Behind(at, substitutes + 4 * i) || !Behind(at, names + 4 * i)) return false;
        }
      }
    }
    return true;
  }

  // The items region: the serializer stores the list from its last node to its first,
  // each node right behind its OptionCommand pair (the pair behind its two texts) and, for
  // a base node, behind that its value data. So each node's bytes begin where the node
  // after it in the list ends, the last node's begin the region, and the region begins
  // where the rule data ends (the end of the last rule block; without rule blocks, the
  // rule data is whole 4-byte units).
  bool ItemsLayout()
  {
    DWORD first = Ld32(offsetof(DESC_HEADER, items));
    itemsStart = itemsEnd = rulesEnd != 0 ? rulesEnd : 0;
    if (first == 0) return true;
    itemsEnd = first + sizeof(DESC_ITEM_NODE);
    for (DWORD off = first; off != 0; off = Ld32(off)) {
      DWORD at = off;
      DWORD field = off + offsetof(DESC_ITEM_NODE, command);
      DWORD command = Ld32(field);
      if (command != 0 && (!Before(&at, command, sizeof(DESC_OPTION_COMMAND), field) ||
                           !Behind(&at, command + offsetof(DESC_OPTION_COMMAND, second)) ||
                           !Behind(&at, command + offsetof(DESC_OPTION_COMMAND, first))))
        return false;
      field = off + offsetof(DESC_ITEM_NODE, values);
      if (Ld16(off + offsetof(DESC_ITEM_NODE, variant)) == 0 && Ld32(field) != 0 &&
          !DataLayout(&at, field, DescStoredDataClass(Ld16(off + offsetof(DESC_ITEM_NODE, type)))))
        return false;
      DWORD next = Ld32(off);
      if (next != 0) {
        if (at != next + sizeof(DESC_ITEM_NODE))
          return Fail(off, "item not stored right after the next item of its list");
        continue;
      }
      if (rulesEnd != 0 ? at != rulesEnd : (at - DESC_HEADER_SIZE) % 4 != 0)
        return Fail(off, "items region does not begin where the rule data ends");
      itemsStart = at;
    }
    return true;
  }

  // ---- tail

  // A command block and the ElseIf chain it begins: an else part that is one conditional
  // statement continues the chain at the same depth (link by link, not by recursion); only
  // a conditional statement in a "then" list or in a longer else list nests one deeper.
  bool CommandBlock(DWORD where, DWORD depth)
  {
    if (depth > DESC_MAX_COMMAND_DEPTH) return Fail(where, "command blocks nested too deeply");
    for (;;) {
      DWORD off = Ld32(where);
      if (!TakeOnce(off, sizeof(DESC_COMMAND_BLOCK), kCommandBlock, where)) return false;
      if (!Judge(off + offsetof(DESC_COMMAND_BLOCK, judge)) ||
          !Statements(off + offsetof(DESC_COMMAND_BLOCK, thenList), depth))
        return false;
      DWORD chain = 0;
      if (!Statements(off + offsetof(DESC_COMMAND_BLOCK, elsePart), depth, &chain)) return false;
      if (chain == 0) return true;
      where = chain;
    }
  }

  // A statement list. With chain given, a list of one conditional statement is not entered:
  // *chain receives the field of its block link (checked to be non-zero) for the caller.
  bool Statements(DWORD where, DWORD depth, DWORD *chain = NULL)
  {
    DWORD first = Ld32(where);
    for (DWORD off = first; off != 0; off = Ld32(off)) {
      if (off < DESC_HEADER_SIZE) return Fail(where, "link into the header");
      if (!Inside(off, sizeof(DESC_STATEMENT))) return Fail(where, "link outside the block");
      WORD kind = Ld16(off + offsetof(DESC_STATEMENT, kind));
      DWORD len = kind == DESC_STMT_GROUP     ? sizeof(DESC_STATEMENT_GROUP)
                  : kind == DESC_STMT_STRING  ? sizeof(DESC_STATEMENT_STRING)
                  : kind == DESC_STMT_COMMAND ? sizeof(DESC_STATEMENT_COMMAND)
                  : kind == DESC_STMT_FONT    ? sizeof(DESC_STATEMENT)
                                              : 0;
      if (len == 0) return Fail(off, "unknown statement kind");
      if (!TakeOnce(off, len, kStatement, where)) return false;
      // A list is stored from its last statement to its first, before the block it belongs
      // to; a nested block is stored before its conditional statement.
      if (off >= where) return Fail(where, "statement not stored where the compiler stores it");
      if (!StatementFields(off, kind)) return false;
      if (kind == DESC_STMT_STRING && !CountedText(off + offsetof(DESC_STATEMENT_STRING, text),
                                                   Ld32(off + offsetof(DESC_STATEMENT_STRING, length))))
        return false;
      if (kind == DESC_STMT_COMMAND) {
        DWORD field = off + offsetof(DESC_STATEMENT_COMMAND, block);
        if (Ld32(field) == 0) return Fail(field, "conditional statement without its block");
        if (Ld32(field) >= off) return Fail(field, "command block not stored before its statement");
        if (chain != NULL && off == first && Ld32(off) == 0) {
          *chain = field;
          return true;
        }
        if (!CommandBlock(field, depth + 1)) return false;
      }
      where = off;
    }
    return true;
  }

  // A statement's fields beside its links: a GroupType names an item key of the names
  // table, a StringType without its text keeps the CommandString number (1 or more), and
  // every pad field is 0.
  bool StatementFields(DWORD off, WORD kind)
  {
    WORD key = Ld16(off + offsetof(DESC_STATEMENT, key));
    if (kind != DESC_STMT_GROUP) {
      if (key != 0) return Fail(off, "pad field not 0");
      if (kind == DESC_STMT_STRING && Ld32(off + offsetof(DESC_STATEMENT_STRING, text)) == 0) {
        DWORD number = Ld32(off + offsetof(DESC_STATEMENT_STRING, length));
        if (number == 0 || number > 0x7FFFFFFFu) return Fail(off, "StringType of a number no line gives");
      }
      return true;
    }
    if (DescSetsKeyItemId(names, key) < 0) return Fail(off, "GroupType of a key the names table does not have");
    return Ld16(off + offsetof(DESC_STATEMENT_GROUP, pad)) == 0 || Fail(off, "pad field not 0");
  }

  bool FontList(DWORD countField, DWORD listField)
  {
    DWORD count = Ld32(countField);
    DWORD array = Ld32(listField);
    if (count == 0) return array == 0 || Fail(listField, "font list without a count");
    if (array == 0) return Fail(countField, "font count without a list");
    if (count > size / 4) return Fail(countField, "font count larger than the block");
    if (!TakeOnce(array, 4 * count, kFontArray, listField)) return false;
    // Each entry is stored right behind its name, one after the other, and the array right
    // after the last one. A font ID is a number from 0 and every entry has its name.
    DWORD at = 0;
    for (DWORD i = 0; i < count; ++i) {
      DWORD field = array + 4 * i;
      DWORD entry = Ld32(field);
      if (entry == 0) return Fail(field, "empty font list entry");
      if (!TakeOnce(entry, sizeof(DESC_FONT_ID), kFontId, field) || !Text(entry + offsetof(DESC_FONT_ID, name)))
        return false;
      DWORD name = Ld32(entry + offsetof(DESC_FONT_ID, name));
      if (name == 0) return Fail(entry, "font without its name");
      if (Ld32(entry + offsetof(DESC_FONT_ID, fontId)) > 0x7FFFFFFFu) return Fail(entry, "negative font ID");
      if ((i != 0 && name != at) || name + TextBytes(name) != entry)
        return Fail(field, "font entry not stored where the compiler stores it");
      at = entry + sizeof(DESC_FONT_ID);
    }
    return array == at || Fail(listField, "font list not stored right after its entries");
  }

  bool Tail()
  {
    if (!WideText(offsetof(DESC_HEADER, uiResDllName)) || !WideText(offsetof(DESC_HEADER, excDepDllName))) return false;
    for (DWORD g = 0; g < DESC_GROUP_COUNT; ++g) {
      DWORD where = offsetof(DESC_HEADER, groups) + 4 * g;
      if (Ld32(where) != 0 && !CommandBlock(where, 1)) return false;
    }
    return FontList(offsetof(DESC_HEADER, deviceFontCount), offsetof(DESC_HEADER, deviceFonts)) &&
           FontList(offsetof(DESC_HEADER, cartridgeFontCount), offsetof(DESC_HEADER, cartridgeFonts));
  }

  // TRUE when every byte of [from, to) is claimed.
  bool Covered(DWORD from, DWORD to) const
  {
    for (DWORD at = from; at < to;) {
      DWORD s = Shift(at), used = Group(at)[kUsed] >> s;
      DWORD bits = 32 - s < to - at ? 32 - s : to - at;
      DWORD want = bits == 32 ? ~0u : (1u << bits) - 1;
      if ((used & want) != want) return false;
      at += bits;
    }
    return true;
  }

  // The tail, as the serializer lays it out after the items region: the CommandString
  // texts (some may be named by no StringType), then the DLL names, the command groups
  // and the font lists, with no byte between them that nothing reaches, and after them
  // only the zero bytes of value data that was counted but not stored.
  bool TailLayout()
  {
    if (hi == 0) return true;  // nothing but CommandString texts, if anything
    // The header's links into the tail follow the order in which the tail is stored.
    DWORD previous = 0;
    for (DWORD field = offsetof(DESC_HEADER, uiResDllName); field < offsetof(DESC_HEADER, rules); field += 4) {
      if (field == offsetof(DESC_HEADER, deviceFontCount) || field == offsetof(DESC_HEADER, cartridgeFontCount))
        continue;
      DWORD link = Ld32(field);
      if (link == 0) continue;
      if (link <= previous) return Fail(field, "tail not stored in the order of the header's links");
      previous = link;
    }
    if (itemsEnd != 0 && lo < itemsEnd) return Fail(lo, "tail node before the end of the items");
    if (!Covered(lo, hi)) return Fail(lo, "tail bytes that nothing reaches");
    for (DWORD at = hi; at < size; ++at) {
      if (b[at] != 0) return Fail(at, "bytes after the tail that nothing reaches");
    }
    if (textHi != 0 && (textHi > lo || (itemsEnd != 0 && textLo < itemsEnd)))
      return Fail(textLo, "StringType text outside the CommandString texts");
    // Between the items and the DLL names lie the CommandString texts: each has a NUL at its
    // end and none inside, and none is empty (the compiler refuses a CommandString without
    // a text).
    if (itemsEnd != 0 && lo > itemsEnd) {
      if (b[lo - 1] != 0) return Fail(lo - 1, "CommandString texts not ended");
      if (b[itemsEnd] == 0) return Fail(itemsEnd, "empty CommandString text");
      for (DWORD at = itemsEnd + 1; at < lo; ++at) {
        if (b[at] == 0 && b[at - 1] == 0) return Fail(at, "empty CommandString text");
      }
    }
    if (codeHi > (itemsStart != 0 ? itemsStart : lo)) return Fail(codeHi - 4, "condition code outside the rule data");
    return true;
  }

  bool Run()
  {
    bool versionEnds = false;
    DWORD i = 0;
    for (; i < 16 && !versionEnds; ++i) versionEnds = Ld16(2 * i) == 0;
    if (!versionEnds) return Fail(0, "FileVersion not terminated");
    for (; i < 16; ++i) {
      if (Ld16(2 * i) != 0) return Fail(2 * i, "FileVersion field not 0 after its text");
    }
    track = true;
    if (!Rules()) return false;
    DWORD ruleHi = hi > codeHi ? hi : codeHi;
    // The first block of each key, for the items' rule links: the blocks lie in list order,
    // so the first of a key has the lowest offset of its key.
    std::sort(blocks.begin(), blocks.end());
    blocks.erase(std::unique(blocks.begin(), blocks.end(),
                             [](const std::pair<WORD, DWORD> &x, const std::pair<WORD, DWORD> &y) {
                               return x.first == y.first;
                             }),
                 blocks.end());
    if (!Items() || !Slots() || !ItemsLayout()) return false;
    if (itemsStart != 0 && ruleHi > itemsStart) return Fail(ruleHi - 4, "rule data inside the items region");
    lo = ~0u, hi = 0, codeHi = 0;
    return Tail() && TailLayout();
  }
};

}  // namespace

BOOL WINAPI DescValidateStored(const BYTE *block, DWORD size, DESC_VALIDATE_RESULT *why)
{
  Validator v{};
  v.b = block;
  v.size = size;
  v.why = why;
  v.names = DescNameSets();
  if (why != NULL) memset(why, 0, sizeof *why);
  if (block == NULL) return v.Fail(0, "no block");
  if (size < DESC_HEADER_SIZE) return v.Fail(0, "block smaller than its header");
  if (size > DESC_MAX_BLOCK_SIZE) return v.Fail(0, "block larger than any description");
  if (DescLd32(block, offsetof(DESC_HEADER, totalSize)) != size)
    return v.Fail(offsetof(DESC_HEADER, totalSize), "total size differs from the block size");
  DWORD body = size - DESC_HEADER_SIZE;
  // One allocation for the whole map and the value ID bits, cleared.
  const size_t valueWords = 65536 / 32;
  v.bits = static_cast<DWORD *>(calloc((size_t)kMaps * (body / 32 + 1) + valueWords, sizeof(DWORD)));
  if (v.bits == NULL) return v.Fail(0, "out of memory");
  v.seenValues = v.bits + (size_t)kMaps * (body / 32 + 1);
  BOOL ok = v.Run();
  free(v.bits);
  return ok;
}
