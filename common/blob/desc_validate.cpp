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
// The validator itself reads only inside [block, block + size).
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "blob/desc_store.h"

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
  const BYTE *b;
  DWORD size;
  DWORD *bits;  // per 32 bytes after the header, one word of each map (see Group)
  DESC_VALIDATE_RESULT *why;

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
    Claim c = Take(off, length, kText, where);
    if (c == kBad) return false;
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
    }
    return true;
  }

  bool Rules()
  {
    DWORD where = offsetof(DESC_HEADER, rules);
    DWORD off = Ld32(where);
    if (off == 0) return true;
    if (off % 4 != 0) return Fail(where, "rule block not 4-byte aligned");
    for (;;) {
      if (!TakeOnce(off, sizeof(DESC_RULE_BLOCK), kRuleBlock, where)) return false;
      if (!Judge(off + offsetof(DESC_RULE_BLOCK, hideJudge)) || !Judge(off + offsetof(DESC_RULE_BLOCK, disableJudge)) ||
          !List(off + offsetof(DESC_RULE_BLOCK, valueRules), kValueRule) ||
          !List(off + offsetof(DESC_RULE_BLOCK, alerts), kAlert) ||
          !List(off + offsetof(DESC_RULE_BLOCK, transactions1), kTransaction) ||
          !List(off + offsetof(DESC_RULE_BLOCK, transactions2), kTransaction))
        return false;
      DWORD next = Ld32(off);
      if (next == 0) return true;
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

  bool Geometry(DWORD where)
  {
    for (DWORD off = Ld32(where); off != 0; off = Ld32(off)) {
      if (!TakeOnce(off, sizeof(DESC_PAPER_GEOMETRY), kGeometry, where)) return false;
      where = off;
    }
    return true;
  }

  bool ValueNodes(DWORD where, DWORD dataClass)
  {
    Kind kind = DataKind(dataClass);
    DWORD len = kind == kPageNode   ? sizeof(DESC_PAGE_VALUE_NODE)
                : kind == kSlotNode ? sizeof(DESC_SLOT_VALUE_NODE)
                : kind == kFontNode ? sizeof(DESC_FONT_VALUE_NODE)
                                    : sizeof(DESC_VALUE_NODE);
    for (DWORD off = Ld32(where); off != 0; off = Ld32(off)) {
      if (!TakeOnce(off, len, kind, where)) return false;
      if (!Text(off + offsetof(DESC_VALUE_NODE, command))) return false;
      if (kind == kPageNode && !Geometry(off + offsetof(DESC_PAGE_VALUE_NODE, geometry))) return false;
      if (kind == kSlotNode) {
        DWORD count = Ld32(off + offsetof(DESC_SLOT_VALUE_NODE, count));
        DWORD field = off + offsetof(DESC_SLOT_VALUE_NODE, papers);
        DWORD papers = Ld32(field);
        if (count > size / 2) return Fail(off, "paper count larger than the block");
        if (count != 0 && papers == 0) return Fail(off, "paper count without papers");
        if (papers != 0 && !TakeOnce(papers, 2 * count, kPaperArray, field)) return false;
      }
      if (kind == kFontNode) {
        DWORD count = Ld32(off + offsetof(DESC_FONT_VALUE_NODE, count));
        if (count > size / 4) return Fail(off, "font pair count larger than the block");
        for (DWORD field : {off + (DWORD)offsetof(DESC_FONT_VALUE_NODE, names),
                            off + (DWORD)offsetof(DESC_FONT_VALUE_NODE, substitutes)}) {
          DWORD array = Ld32(field);
          if (count != 0 && array == 0) return Fail(off, "font pair count without its array");
          if (array == 0) continue;
          if (!TakeOnce(array, 4 * count, kTextArray, field)) return false;
          for (DWORD i = 0; i < count; ++i) {
            if (!Text(array + 4 * i)) return false;
          }
        }
      }
      where = off;
    }
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
      case DESC_TYPE_STRING: return TakeOnce(off, sizeof(DESC_STRING_VALUE), kStringRecord, where);
      default: return ValueNodes(where, dataClass);
    }
  }

  // The stored default of an item must be one its value data offers, as the compiler
  // leaves it: a PickOne-class position inside the value list, a Boolean 0 or 1, a Numeric
  // default inside its range (when the range is not inverted; a text may give one that is,
  // and then no default can be checked against it). The value data itself was validated
  // by the passes before, so the lists walked here end and are free of cycles.
  bool Default(DWORD node)
  {
    DWORD data = Ld32(node + offsetof(DESC_ITEM_NODE, values));
    if (data == 0) return true;
    WORD type = Ld16(node + offsetof(DESC_ITEM_NODE, type));
    DWORD where = node + offsetof(DESC_ITEM_NODE, defaultValue);
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

  bool Items()
  {
    DWORD where = offsetof(DESC_HEADER, items);
    size_t bases = 0;
    for (DWORD off = Ld32(where); off != 0; off = Ld32(off)) {
      if (!TakeOnce(off, sizeof(DESC_ITEM_NODE), kItem, where)) return false;
      bases += Ld16(off + offsetof(DESC_ITEM_NODE, variant)) == 0 && Ld32(off + offsetof(DESC_ITEM_NODE, values)) != 0;
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
    for (int pass = 0; pass < 2; ++pass) {
      if (pass == 1) std::sort(owners.begin(), owners.end());
      for (DWORD off = first; off != 0; off = Ld32(off)) {
        WORD variant = Ld16(off + offsetof(DESC_ITEM_NODE, variant));
        bool base = variant == 0;
        if (base != (pass == 0)) continue;
        DWORD field = off + offsetof(DESC_ITEM_NODE, values);
        DWORD data = Ld32(field);
        if (data == 0) continue;
        WORD type = Ld16(off + offsetof(DESC_ITEM_NODE, type));
        WORD key = Ld16(off + offsetof(DESC_ITEM_NODE, key));
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
      if (rules != 0) {
        if (!IsStart(rules, kRuleBlock)) return Fail(field, "rule link is not a rule block");
        if (Ld16(rules + offsetof(DESC_RULE_BLOCK, key)) != Ld16(off + offsetof(DESC_ITEM_NODE, key)))
          return Fail(field, "rule block of another key");
      }
    }
    return true;
  }

  bool Slots()
  {
    for (DWORD slot = offsetof(DESC_HEADER, slotsLow); slot < offsetof(DESC_HEADER, uiResDllName); slot += 4) {
      DWORD off = Ld32(slot);
      if (off == 0) continue;
      if (!IsStart(off, kItem)) return Fail(slot, "slot does not point at an item node");
      if (DescSlotOffset(Ld16(off + offsetof(DESC_ITEM_NODE, itemId))) != slot)
        return Fail(slot, "slot holds an item of another ID");
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
      if (kind == DESC_STMT_STRING && !CountedText(off + offsetof(DESC_STATEMENT_STRING, text),
                                                   Ld32(off + offsetof(DESC_STATEMENT_STRING, length))))
        return false;
      if (kind == DESC_STMT_COMMAND) {
        DWORD field = off + offsetof(DESC_STATEMENT_COMMAND, block);
        if (Ld32(field) == 0) return Fail(field, "conditional statement without its block");
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

  bool FontList(DWORD countField, DWORD listField)
  {
    DWORD count = Ld32(countField);
    DWORD array = Ld32(listField);
    if (count == 0) return array == 0 || Fail(listField, "font list without a count");
    if (array == 0) return Fail(countField, "font count without a list");
    if (count > size / 4) return Fail(countField, "font count larger than the block");
    if (!TakeOnce(array, 4 * count, kFontArray, listField)) return false;
    for (DWORD i = 0; i < count; ++i) {
      DWORD field = array + 4 * i;
      DWORD entry = Ld32(field);
      if (entry == 0) return Fail(field, "empty font list entry");
      if (!TakeOnce(entry, sizeof(DESC_FONT_ID), kFontId, field) || !Text(entry + offsetof(DESC_FONT_ID, name)))
        return false;
    }
    return true;
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

  bool Run()
  {
    bool versionEnds = false;
    for (DWORD i = 0; i < 16 && !versionEnds; ++i) versionEnds = Ld16(2 * i) == 0;
    if (!versionEnds) return Fail(0, "FileVersion not terminated");
    return Rules() && Items() && Slots() && Tail();
  }
};

}  // namespace

BOOL WINAPI DescValidateStored(const BYTE *block, DWORD size, DESC_VALIDATE_RESULT *why)
{
  Validator v = {block, size, NULL, why};
  if (why != NULL) memset(why, 0, sizeof *why);
  if (block == NULL) return v.Fail(0, "no block");
  if (size < DESC_HEADER_SIZE) return v.Fail(0, "block smaller than its header");
  if (size > DESC_MAX_BLOCK_SIZE) return v.Fail(0, "block larger than any description");
  if (DescLd32(block, offsetof(DESC_HEADER, totalSize)) != size)
    return v.Fail(offsetof(DESC_HEADER, totalSize), "total size differs from the block size");
  // One allocation for the whole map, cleared.
  DWORD body = size - DESC_HEADER_SIZE;
  v.bits = static_cast<DWORD *>(calloc((size_t)kMaps * (body / 32 + 1), sizeof(DWORD)));
  if (v.bits == NULL) return v.Fail(0, "out of memory");
  BOOL ok = v.Run();
  free(v.bits);
  return ok;
}
