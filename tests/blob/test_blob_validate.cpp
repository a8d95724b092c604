// The stored-block validator: everything the serializer produces is accepted; corrupt
// blocks (a table of targeted mutations, every truncation, single-byte corruptions) are
// refused, and whatever is accepted can be relocated and walked without leaving the block.
#include <string.h>

#include <functional>

#include "blob_support.h"

namespace {

// The rich state's "PickOne | PickMany" item has a value list that is counted but not
// stored: a 12-byte node and its 9-byte text leave that many unreferenced zero bytes at the
// end of the block, which a truncation may cut without harm.
const DWORD kUnstoredTail = 12 + 9;

std::vector<BYTE> RichBlock()
{
  StateBuilder b;
  BuildRichState(b);
  return StoreState(b.state());
}

DWORD Ld(const std::vector<BYTE> &v, DWORD at) { return DescLd32(v.data(), at); }
void St(std::vector<BYTE> &v, DWORD at, DWORD value) { DescSt32(v.data(), at, value); }
void St16(std::vector<BYTE> &v, DWORD at, WORD value) { DescSt16(v.data(), at, value); }

// Stored-form navigation of the rich block.
DWORD ItemNode(const std::vector<BYTE> &v, WORD key, WORD variant)
{
  for (DWORD n = Ld(v, offsetof(DESC_HEADER, items)); n != 0; n = Ld(v, n)) {
    if (DescLd16(v.data(), n + offsetof(DESC_ITEM_NODE, key)) == key &&
        DescLd16(v.data(), n + offsetof(DESC_ITEM_NODE, variant)) == variant)
      return n;
  }
  ADD_FAILURE() << "no item node " << key << "/" << variant;
  return 0;
}
DWORD Field(const std::vector<BYTE> &v, DWORD node, size_t field) { return Ld(v, node + (DWORD)field); }
DWORD FirstBlock(const std::vector<BYTE> &v) { return Ld(v, offsetof(DESC_HEADER, rules)); }
DWORD Untag(DWORD tagged) { return tagged >> 4; }
DWORD JobStart(const std::vector<BYTE> &v) { return Ld(v, offsetof(DESC_HEADER, groups)); }

// Appends bytes at the end of the block (and fixes the total size); answers their offset.
DWORD Append(std::vector<BYTE> &v, const std::vector<BYTE> &bytes)
{
  DWORD at = (DWORD)v.size();
  v.insert(v.end(), bytes.begin(), bytes.end());
  St(v, offsetof(DESC_HEADER, totalSize), (DWORD)v.size());
  return at;
}

struct Mutation {
  const char *name;
  std::function<void(std::vector<BYTE> &)> apply;
};

const Mutation kMutations[] = {
    {"truncated by one byte", [](std::vector<BYTE> &v) { v.pop_back(); }},
    {"truncated with its total size fixed",
     [](std::vector<BYTE> &v) {
       v.erase(v.end() - (std::ptrdiff_t)(kUnstoredTail + 4), v.end());
       St(v, offsetof(DESC_HEADER, totalSize), (DWORD)v.size());
     }},
    {"smaller than the header", [](std::vector<BYTE> &v) { v.erase(v.begin() + 100, v.end()); }},
    {"wrong total size", [](std::vector<BYTE> &v) { St(v, offsetof(DESC_HEADER, totalSize), (DWORD)v.size() + 4); }},
    {"FileVersion without terminator",
     [](std::vector<BYTE> &v) {
       for (DWORD i = 0; i < 16; ++i) St16(v, 2 * i, 'A');
     }},
    {"item list head outside the block", [](std::vector<BYTE> &v) { St(v, offsetof(DESC_HEADER, items), (DWORD)v.size()); }},
    {"item list head into the header", [](std::vector<BYTE> &v) { St(v, offsetof(DESC_HEADER, items), 100); }},
    {"item node running past the end",
     [](std::vector<BYTE> &v) { St(v, offsetof(DESC_HEADER, items), (DWORD)v.size() - 10); }},
    {"item list with a cycle",
     [](std::vector<BYTE> &v) {
       DWORD last = 0;
       for (DWORD n = Ld(v, offsetof(DESC_HEADER, items)); n != 0; n = Ld(v, n)) last = n;
       St(v, last, Ld(v, offsetof(DESC_HEADER, items)));
     }},
    {"value list with a cycle",
     [](std::vector<BYTE> &v) {
       DWORD values = Field(v, ItemNode(v, 238, 0), offsetof(DESC_ITEM_NODE, values));
       St(v, Ld(v, values), values);  // second node's next = first node
     }},
    {"geometry list with a cycle",
     [](std::vector<BYTE> &v) {
       DWORD values = Field(v, ItemNode(v, 71, 0), offsetof(DESC_ITEM_NODE, values));
       DWORD geometry = Field(v, values, offsetof(DESC_PAGE_VALUE_NODE, geometry));
       St(v, geometry, geometry);
     }},
    {"odd offset for the first rule block", [](std::vector<BYTE> &v) { St(v, offsetof(DESC_HEADER, rules), FirstBlock(v) + 1); }},
    {"rule blocks not contiguous",
     [](std::vector<BYTE> &v) { St(v, FirstBlock(v), FirstBlock(v) + 2 * sizeof(DESC_RULE_BLOCK)); }},
    {"plain offset in a tagged field",
     [](std::vector<BYTE> &v) {
       DWORD field = FirstBlock(v) + offsetof(DESC_RULE_BLOCK, transactions1);
       St(v, field, Untag(Ld(v, field)));
     }},
    {"malformed tagged link",
     [](std::vector<BYTE> &v) {
       DWORD field = FirstBlock(v) + offsetof(DESC_RULE_BLOCK, transactions1);
       St(v, field, Ld(v, field) + 2);
     }},
    {"tagged link not aligned",
     [](std::vector<BYTE> &v) {
       DWORD field = FirstBlock(v) + offsetof(DESC_RULE_BLOCK, transactions1);
       St(v, field, DESC_TAG(Untag(Ld(v, field)) + 2));
     }},
    {"tagged link into the header",
     [](std::vector<BYTE> &v) { St(v, FirstBlock(v) + offsetof(DESC_RULE_BLOCK, transactions1), DESC_TAG(4000)); }},
    {"tagged link outside the block",
     [](std::vector<BYTE> &v) { St(v, FirstBlock(v) + offsetof(DESC_RULE_BLOCK, alerts), DESC_TAG(v.size() + 64)); }},
    {"transaction list pointing at a rule block",
     [](std::vector<BYTE> &v) {
       St(v, FirstBlock(v) + offsetof(DESC_RULE_BLOCK, transactions1), DESC_TAG(FirstBlock(v) + 32));
     }},
    {"judge pointing at a transaction entry",
     [](std::vector<BYTE> &v) {
       DWORD block = FirstBlock(v);
       St(v, block + offsetof(DESC_RULE_BLOCK, hideJudge), Ld(v, block + offsetof(DESC_RULE_BLOCK, transactions1)));
     }},
    {"transaction list with a cycle",
     [](std::vector<BYTE> &v) {
       DWORD t = Untag(Ld(v, FirstBlock(v) + offsetof(DESC_RULE_BLOCK, transactions1)));
       St(v, Untag(Ld(v, t)), DESC_TAG(t));  // second entry's next = first entry
     }},
    {"judge code failing its check",
     [](std::vector<BYTE> &v) {
       DWORD code = Untag(Ld(v, FirstBlock(v) + offsetof(DESC_RULE_BLOCK, hideJudge)));
       St16(v, code, RULE_UNIT_OPERATOR);
       St16(v, code + 2, RULE_OP_AND);  // an operator without operands
     }},
    {"judge code with a bad unit kind",
     [](std::vector<BYTE> &v) { St16(v, Untag(Ld(v, FirstBlock(v) + offsetof(DESC_RULE_BLOCK, hideJudge))), 9); }},
    {"judge code without END before the end of the block",
     [](std::vector<BYTE> &v) {
       while (v.size() % 4 != 0) Append(v, {0});
       DWORD code = Append(v, {1, 0, 15, 0, 1, 0, 15, 0});
       St(v, FirstBlock(v) + offsetof(DESC_RULE_BLOCK, hideJudge), DESC_TAG(code));
     }},
    {"text without terminator",
     [](std::vector<BYTE> &v) {
       DWORD text = Append(v, {'a', 'b', 'c'});
       DWORD values = Field(v, ItemNode(v, 238, 0), offsetof(DESC_ITEM_NODE, values));
       St(v, values + offsetof(DESC_VALUE_NODE, command), text);
     }},
    {"UTF-16 DLL name without terminator",
     [](std::vector<BYTE> &v) { St(v, offsetof(DESC_HEADER, uiResDllName), Append(v, {'a', 0, 'b', 0, 0})); }},
    {"StringType text longer than the block",
     [](std::vector<BYTE> &v) {
       DWORD group = Field(v, JobStart(v), offsetof(DESC_COMMAND_BLOCK, thenList));
       DWORD string = Ld(v, group);
       St(v, string + offsetof(DESC_STATEMENT_STRING, length), 100000);
     }},
    {"StringType text not ending in NUL",
     [](std::vector<BYTE> &v) {
       DWORD string = Ld(v, Field(v, JobStart(v), offsetof(DESC_COMMAND_BLOCK, thenList)));
       St(v, string + offsetof(DESC_STATEMENT_STRING, length), Ld(v, string + offsetof(DESC_STATEMENT_STRING, length)) - 1);
     }},
    {"StringType text running over a node behind a shorter text at the same start",
     [](std::vector<BYTE> &v) {
       // The first value node of item 238 is stored right behind its command text; a plain
       // text link has claimed that text up to its NUL before the command groups are read.
       DWORD string = Ld(v, Field(v, JobStart(v), offsetof(DESC_COMMAND_BLOCK, thenList)));
       DWORD values = Field(v, ItemNode(v, 238, 0), offsetof(DESC_ITEM_NODE, values));
       DWORD text = Ld(v, values + offsetof(DESC_VALUE_NODE, command));
       St(v, string + offsetof(DESC_STATEMENT_STRING, text), text);
       St(v, string + offsetof(DESC_STATEMENT_STRING, length), values + (DWORD)sizeof(DESC_VALUE_NODE) - text);
     }},
    {"statement of an unknown kind",
     [](std::vector<BYTE> &v) { St16(v, Field(v, JobStart(v), offsetof(DESC_COMMAND_BLOCK, thenList)) + 4, 9); }},
    {"statement list with a cycle",
     [](std::vector<BYTE> &v) {
       DWORD first = Field(v, JobStart(v), offsetof(DESC_COMMAND_BLOCK, thenList));
       St(v, Ld(v, first), first);
     }},
    {"conditional statement without its block",
     [](std::vector<BYTE> &v) {
       DWORD s = Field(v, JobStart(v), offsetof(DESC_COMMAND_BLOCK, thenList));
       s = Ld(v, Ld(v, s));  // the third statement is the Command
       St(v, s + offsetof(DESC_STATEMENT_COMMAND, block), 0);
     }},
    {"command block nested in itself",
     [](std::vector<BYTE> &v) {
       DWORD s = Ld(v, Ld(v, Field(v, JobStart(v), offsetof(DESC_COMMAND_BLOCK, thenList))));
       DWORD nested = Ld(v, s + offsetof(DESC_STATEMENT_COMMAND, block));
       St(v, nested + offsetof(DESC_COMMAND_BLOCK, thenList), s);
     }},
    {"slot pointing at a value node",
     [](std::vector<BYTE> &v) {
       St(v, DescSlotOffset(15), Field(v, ItemNode(v, 238, 0), offsetof(DESC_ITEM_NODE, values)));
     }},
    {"slot holding an item of another ID", [](std::vector<BYTE> &v) { St(v, DescSlotOffset(16), ItemNode(v, 238, 0)); }},
    {"slot into the header", [](std::vector<BYTE> &v) { St(v, DescSlotOffset(600), 64); }},
    {"slot outside the block", [](std::vector<BYTE> &v) { St(v, DescSlotOffset(1), 0xFFFFFF00u); }},
    {"item rule link not at a rule block",
     [](std::vector<BYTE> &v) { St(v, ItemNode(v, 88, 0) + offsetof(DESC_ITEM_NODE, rules), FirstBlock(v) + 4); }},
    {"item rule link at a block of another key",
     [](std::vector<BYTE> &v) { St(v, ItemNode(v, 88, 0) + offsetof(DESC_ITEM_NODE, rules), FirstBlock(v)); }},
    {"two base items owning one value list",
     [](std::vector<BYTE> &v) {
       St16(v, ItemNode(v, 50, 0) + offsetof(DESC_ITEM_NODE, type), DESC_TYPE_PICK_ONE);
       St(v, ItemNode(v, 50, 0) + offsetof(DESC_ITEM_NODE, values),
          Field(v, ItemNode(v, 238, 0), offsetof(DESC_ITEM_NODE, values)));
     }},
    {"value data on a type that stores none",
     [](std::vector<BYTE> &v) { St16(v, ItemNode(v, 88, 0) + offsetof(DESC_ITEM_NODE, type), 0x20); }},
    {"variant sharing data of another shape",
     [](std::vector<BYTE> &v) { St16(v, ItemNode(v, 238, 3) + offsetof(DESC_ITEM_NODE, type), DESC_TYPE_NUMERIC); }},
    {"variant data not owned by a base",
     [](std::vector<BYTE> &v) {
       DWORD values = Field(v, ItemNode(v, 238, 0), offsetof(DESC_ITEM_NODE, values));
       St(v, ItemNode(v, 238, 3) + offsetof(DESC_ITEM_NODE, values), values + 1);
     }},
    {"variant keeping the Identity bit (its number read as a key)",
     [](std::vector<BYTE> &v) {
       DWORD n = ItemNode(v, 238, 3);
       St16(v, n + offsetof(DESC_ITEM_NODE, type), DESC_TYPE_IDENTITY | DESC_TYPE_PICK_ONE);
     }},
    {"variant sharing the value list of another item",
     [](std::vector<BYTE> &v) {
       DWORD n = ItemNode(v, 238, 3);
       St16(v, n + offsetof(DESC_ITEM_NODE, type), DESC_TYPE_PICK_PAGE);
       St(v, n + offsetof(DESC_ITEM_NODE, values), Field(v, ItemNode(v, 71, 0), offsetof(DESC_ITEM_NODE, values)));
     }},
    {"Identity node sharing the data of an item it does not name",
     [](std::vector<BYTE> &v) { St16(v, ItemNode(v, 70, 238) + offsetof(DESC_ITEM_NODE, variant), 71); }},
    {"variant pointing into the middle of its base's list",
     [](std::vector<BYTE> &v) {
       DWORD values = Field(v, ItemNode(v, 238, 0), offsetof(DESC_ITEM_NODE, values));
       St(v, ItemNode(v, 238, 3) + offsetof(DESC_ITEM_NODE, values), Ld(v, values));
     }},
    {"OptionCommand pair overlapping its item node",
     [](std::vector<BYTE> &v) {
       DWORD n = ItemNode(v, 238, 0);
       St(v, n + offsetof(DESC_ITEM_NODE, command), n + 4);
     }},
    {"text overlapping a link field",
     [](std::vector<BYTE> &v) {
       DWORD n = ItemNode(v, 88, 0);
       DWORD values = Field(v, ItemNode(v, 238, 0), offsetof(DESC_ITEM_NODE, values));
       St(v, values + offsetof(DESC_VALUE_NODE, command), n + 1);  // inside the item node
     }},
    {"paper count larger than the block",
     [](std::vector<BYTE> &v) {
       DWORD values = Field(v, ItemNode(v, 52, 0), offsetof(DESC_ITEM_NODE, values));
       St(v, values + offsetof(DESC_SLOT_VALUE_NODE, count), 0x7FFFFFFF);
     }},
    {"paper array running past the end",
     [](std::vector<BYTE> &v) {
       DWORD values = Field(v, ItemNode(v, 52, 0), offsetof(DESC_ITEM_NODE, values));
       St(v, values + offsetof(DESC_SLOT_VALUE_NODE, count), (DWORD)v.size() / 2 - 10);
     }},
    {"font pair count without arrays",
     [](std::vector<BYTE> &v) {
       DWORD values = Field(v, ItemNode(v, 652, 0), offsetof(DESC_ITEM_NODE, values));
       St(v, values + offsetof(DESC_FONT_VALUE_NODE, names), 0);
     }},
    {"font count times entry size outside the block",
     [](std::vector<BYTE> &v) { St(v, offsetof(DESC_HEADER, deviceFontCount), 0x40000001u); }},
    {"font list with a zero entry",
     [](std::vector<BYTE> &v) { St(v, Ld(v, offsetof(DESC_HEADER, deviceFonts)) + 4, 0); }},
    {"font list entries sharing one font ID",
     [](std::vector<BYTE> &v) {
       DWORD array = Ld(v, offsetof(DESC_HEADER, deviceFonts));
       St(v, array + 4, Ld(v, array));
     }},
    {"font count without a list", [](std::vector<BYTE> &v) { St(v, offsetof(DESC_HEADER, deviceFonts), 0); }},
    {"a byte of the unstored zeros at the end set", [](std::vector<BYTE> &v) { v[v.size() - kUnstoredTail / 2] = 'x'; }},
    // Stored defaults that are not one of their item's values.
    {"PickOne default position past its two values",
     [](std::vector<BYTE> &v) { St16(v, ItemNode(v, 238, 0) + offsetof(DESC_ITEM_NODE, defaultValue), 2); }},
    {"variant default position past the shared list",
     [](std::vector<BYTE> &v) { St16(v, ItemNode(v, 238, 3) + offsetof(DESC_ITEM_NODE, defaultValue), 0xFFFF); }},
    {"PickPage default position past its values",
     [](std::vector<BYTE> &v) { St16(v, ItemNode(v, 71, 0) + offsetof(DESC_ITEM_NODE, defaultValue), 2); }},
    {"Boolean default 2",
     [](std::vector<BYTE> &v) {
       St(v, Field(v, ItemNode(v, 753, 0), offsetof(DESC_ITEM_NODE, values)) + offsetof(DESC_BOOLEAN_VALUE, defaultValue),
          2);
     }},
    {"Numeric default below its minimum",
     [](std::vector<BYTE> &v) {
       St(v, Field(v, ItemNode(v, 88, 0), offsetof(DESC_ITEM_NODE, values)) + offsetof(DESC_NUMERIC_VALUE, defaultValue),
          0);
     }},
    {"Numeric default above its maximum",
     [](std::vector<BYTE> &v) {
       St(v, Field(v, ItemNode(v, 88, 0), offsetof(DESC_ITEM_NODE, values)) + offsetof(DESC_NUMERIC_VALUE, defaultValue),
          1000);
     }},
    {"Numeric default with a high bit set",
     [](std::vector<BYTE> &v) {
       DWORD at =
           Field(v, ItemNode(v, 88, 0), offsetof(DESC_ITEM_NODE, values)) + offsetof(DESC_NUMERIC_VALUE, defaultValue);
       St(v, at, Ld(v, at) | 0x01000000u);
     }},
};

// Defaults at the edges of their item's values are accepted; a Numeric record whose range
// is inverted (a text may give one) has no default that could be checked.
TEST(BlobValidate, DefaultsAtTheEdgesAreAccepted)
{
  const std::vector<BYTE> rich = RichBlock();
  ASSERT_FALSE(rich.empty());
  struct Case {
    const char *name;
    std::function<void(std::vector<BYTE> &)> apply;
  };
  auto numeric = [](std::vector<BYTE> &v, size_t field, DWORD value) {
    St(v, Field(v, ItemNode(v, 88, 0), offsetof(DESC_ITEM_NODE, values)) + (DWORD)field, value);
  };
  const Case cases[] = {
      {"PickOne last value",
       [](std::vector<BYTE> &v) { St16(v, ItemNode(v, 238, 0) + offsetof(DESC_ITEM_NODE, defaultValue), 1); }},
      {"PickOne first value",
       [](std::vector<BYTE> &v) { St16(v, ItemNode(v, 238, 0) + offsetof(DESC_ITEM_NODE, defaultValue), 0); }},
      {"Numeric minimum", [=](std::vector<BYTE> &v) { numeric(v, offsetof(DESC_NUMERIC_VALUE, defaultValue), 1); }},
      {"Numeric maximum", [=](std::vector<BYTE> &v) { numeric(v, offsetof(DESC_NUMERIC_VALUE, defaultValue), 999); }},
      {"Numeric negative range",
       [=](std::vector<BYTE> &v) {
         numeric(v, offsetof(DESC_NUMERIC_VALUE, minimum), (DWORD)-20);
         numeric(v, offsetof(DESC_NUMERIC_VALUE, maximum), (DWORD)-10);
         numeric(v, offsetof(DESC_NUMERIC_VALUE, defaultValue), (DWORD)-15);
       }},
      {"Numeric inverted range",
       [=](std::vector<BYTE> &v) {
         numeric(v, offsetof(DESC_NUMERIC_VALUE, minimum), 50);
         numeric(v, offsetof(DESC_NUMERIC_VALUE, maximum), 5);
         numeric(v, offsetof(DESC_NUMERIC_VALUE, defaultValue), 16777261);
       }},
      {"Boolean 0",
       [](std::vector<BYTE> &v) {
         St(v,
            Field(v, ItemNode(v, 753, 0), offsetof(DESC_ITEM_NODE, values)) +
                offsetof(DESC_BOOLEAN_VALUE, defaultValue),
            0);
       }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<BYTE> v = rich;
    c.apply(v);
    DESC_VALIDATE_RESULT why;
    EXPECT_TRUE(DescValidateStored(v.data(), (DWORD)v.size(), &why)) << why.offset << ": " << why.reason;
  }
}

TEST(BlobValidate, SerializerOutputIsAccepted)
{
  std::vector<BYTE> rich = RichBlock();
  ASSERT_FALSE(rich.empty());
  DESC_VALIDATE_RESULT why;
  EXPECT_TRUE(DescValidateStored(rich.data(), (DWORD)rich.size(), &why)) << why.offset << ": " << why.reason;
  for (const char *name : {"pickone3", "shared_transact", "judges_cmdgroup", "slots_bool_numeric", "no_items"}) {
    SCOPED_TRACE(name);
    DESC_PARSE_STATE *state = ParseText(ReadFixture(std::string(name) + ".kvd"));
    ASSERT_NE(state, nullptr);
    std::vector<BYTE> stored = StoreState(state);
    DescParseStateFree(state);
    EXPECT_TRUE(DescValidateStored(stored.data(), (DWORD)stored.size(), &why)) << why.offset << ": " << why.reason;
  }
}

TEST(BlobValidate, CorruptBlocksAreRefused)
{
  const std::vector<BYTE> rich = RichBlock();
  ASSERT_FALSE(rich.empty());
  for (const Mutation &m : kMutations) {
    SCOPED_TRACE(m.name);
    std::vector<BYTE> v = rich;
    m.apply(v);
    ASSERT_NE(v, rich);
    DESC_VALIDATE_RESULT why;
    memset(&why, 0xCC, sizeof why);
    EXPECT_FALSE(DescValidateStored(v.data(), (DWORD)v.size(), &why));
    EXPECT_NE(why.reason[0], 0);
    EXPECT_NE(memchr(why.reason, 0, sizeof why.reason), nullptr);
    EXPECT_LT(why.offset, v.size() + 1);
  }
}

TEST(BlobValidate, NullBlockAndNullReasonAreHandled)
{
  EXPECT_FALSE(DescValidateStored(NULL, 0, NULL));
  std::vector<BYTE> rich = RichBlock();
  EXPECT_TRUE(DescValidateStored(rich.data(), (DWORD)rich.size(), NULL));
  rich.pop_back();
  EXPECT_FALSE(DescValidateStored(rich.data(), (DWORD)rich.size(), NULL));
}

// Reads everything reachable in a relocated block, as the runtime would; under the address
// sanitizer any read outside the block fails the test.
void TouchAll(const BYTE *blob)
{
  volatile DWORD sink = 0;
  auto text = [&](const BYTE *p) {
    if (p != NULL) sink = sink + (DWORD)strlen(reinterpret_cast<const char *>(p));
  };
  for (const BYTE *n = DESC_FIELDPTR(blob, DESC_HEADER, items); n != NULL; n = DESC_FIELDPTR(n, DESC_ITEM_NODE, next)) {
    const BYTE *command = DESC_FIELDPTR(n, DESC_ITEM_NODE, command);
    if (command != NULL) {
      text(DESC_FIELDPTR(command, DESC_OPTION_COMMAND, first));
      text(DESC_FIELDPTR(command, DESC_OPTION_COMMAND, second));
    }
    const BYTE *rules = DESC_FIELDPTR(n, DESC_ITEM_NODE, rules);
    if (rules != NULL) sink = sink + DESC_FIELD16(rules, DESC_RULE_BLOCK, key);
    const BYTE *data = DESC_FIELDPTR(n, DESC_ITEM_NODE, values);
    if (data == NULL) continue;
    WORD type = DESC_FIELD16(n, DESC_ITEM_NODE, type) & ~DESC_TYPE_FLAGS;
    if (type == DESC_TYPE_BOOLEAN) {
      text(DESC_FIELDPTR(data, DESC_BOOLEAN_VALUE, trueText));
      text(DESC_FIELDPTR(data, DESC_BOOLEAN_VALUE, falseText));
    } else if (type == DESC_TYPE_NUMERIC) {
      sink = sink + DESC_FIELD32(data, DESC_NUMERIC_VALUE, maximum);
    } else if (type == DESC_TYPE_STRING) {
      sink = sink + DESC_FIELD16(data, DESC_STRING_VALUE, display);
    } else {
      for (const BYTE *v = data; v != NULL; v = DESC_FIELDPTR(v, DESC_VALUE_NODE, next)) {
        text(DESC_FIELDPTR(v, DESC_VALUE_NODE, command));
        if (type == DESC_TYPE_PICK_PAGE) {
          for (const BYTE *g = DESC_FIELDPTR(v, DESC_PAGE_VALUE_NODE, geometry); g != NULL;
               g = DESC_FIELDPTR(g, DESC_PAPER_GEOMETRY, next))
            sink = sink + DESC_FIELD32(g, DESC_PAPER_GEOMETRY, b);
        } else if (type == DESC_TYPE_PICK_SLOT) {
          const BYTE *papers = DESC_FIELDPTR(v, DESC_SLOT_VALUE_NODE, papers);
          for (DWORD i = 0; i < DESC_FIELD32(v, DESC_SLOT_VALUE_NODE, count); ++i)
            sink = sink + DescLd16(papers, 2 * i);
        } else if (type == DESC_TYPE_FONT_TABLE) {
          for (DWORD i = 0; i < DESC_FIELD32(v, DESC_FONT_VALUE_NODE, count); ++i) {
            text(DescLdPtr(DESC_FIELDPTR(v, DESC_FONT_VALUE_NODE, names), 4 * i));
            text(DescLdPtr(DESC_FIELDPTR(v, DESC_FONT_VALUE_NODE, substitutes), 4 * i));
          }
        }
      }
    }
  }
  for (DWORD slot = offsetof(DESC_HEADER, slotsLow); slot < offsetof(DESC_HEADER, uiResDllName); slot += 4) {
    const BYTE *n = DescLdPtr(blob, slot);
    if (n != NULL) sink = sink + DESC_FIELD16(n, DESC_ITEM_NODE, itemId);
  }
  auto code = [&](const BYTE *c) {
    if (c == NULL) return;
    const RULE_CODE_UNIT *u = reinterpret_cast<const RULE_CODE_UNIT *>(c);
    while (!(u->kind == RULE_UNIT_OPERATOR && u->operand == RULE_OP_END)) ++u;
  };
  std::function<void(const BYTE *)> transactions = [&](const BYTE *t) {
    for (; t != NULL; t = DESC_FIELDPTR(t, DESC_TRANSACTION, next)) {
      code(DESC_FIELDPTR(t, DESC_TRANSACTION, judge));
      for (const BYTE *a = DESC_FIELDPTR(t, DESC_TRANSACTION, actions); a != NULL;
           a = DESC_FIELDPTR(a, DESC_ACTION, next))
        sink = sink + DESC_FIELD32(a, DESC_ACTION, value);
    }
  };
  for (const BYTE *b = DESC_FIELDPTR(blob, DESC_HEADER, rules); b != NULL;
       b = DESC_FIELDPTR(b, DESC_RULE_BLOCK, next)) {
    code(DESC_FIELDPTR(b, DESC_RULE_BLOCK, hideJudge));
    code(DESC_FIELDPTR(b, DESC_RULE_BLOCK, disableJudge));
    for (const BYTE *r = DESC_FIELDPTR(b, DESC_RULE_BLOCK, valueRules); r != NULL;
         r = DESC_FIELDPTR(r, DESC_VALUE_RULE, next)) {
      code(DESC_FIELDPTR(r, DESC_VALUE_RULE, hideJudge));
      code(DESC_FIELDPTR(r, DESC_VALUE_RULE, disableJudge));
    }
    for (const BYTE *a = DESC_FIELDPTR(b, DESC_RULE_BLOCK, alerts); a != NULL; a = DESC_FIELDPTR(a, DESC_ALERT, next)) {
      code(DESC_FIELDPTR(a, DESC_ALERT, judge));
      for (const BYTE *x = DESC_FIELDPTR(a, DESC_ALERT, answers); x != NULL;
           x = DESC_FIELDPTR(x, DESC_ALERT_ACTION, next))
        transactions(DESC_FIELDPTR(x, DESC_ALERT_ACTION, transactions));
    }
    transactions(DESC_FIELDPTR(b, DESC_RULE_BLOCK, transactions1));
    transactions(DESC_FIELDPTR(b, DESC_RULE_BLOCK, transactions2));
  }
  std::function<void(const BYTE *)> block = [&](const BYTE *c) {
    code(DESC_FIELDPTR(c, DESC_COMMAND_BLOCK, judge));
    for (size_t list : {offsetof(DESC_COMMAND_BLOCK, thenList), offsetof(DESC_COMMAND_BLOCK, elsePart)}) {
      for (const BYTE *s = DescLdPtr(c, list); s != NULL; s = DESC_FIELDPTR(s, DESC_STATEMENT, next)) {
        WORD kind = DESC_FIELD16(s, DESC_STATEMENT, kind);
        if (kind == DESC_STMT_STRING) {
          const BYTE *t = DESC_FIELDPTR(s, DESC_STATEMENT_STRING, text);
          if (t != NULL) sink = sink + t[DESC_FIELD32(s, DESC_STATEMENT_STRING, length) - 1];
        } else if (kind == DESC_STMT_COMMAND) {
          block(DESC_FIELDPTR(s, DESC_STATEMENT_COMMAND, block));
        } else if (kind == DESC_STMT_GROUP) {
          sink = sink + DESC_FIELD16(s, DESC_STATEMENT_GROUP, variant);
        }
      }
    }
  };
  for (DWORD g = 0; g < DESC_GROUP_COUNT; ++g) {
    const BYTE *c = DescLdPtr(blob, offsetof(DESC_HEADER, groups) + 4 * g);
    if (c != NULL) block(c);
  }
  for (size_t countField : {offsetof(DESC_HEADER, deviceFontCount), offsetof(DESC_HEADER, cartridgeFontCount)}) {
    DWORD count = DescLd32(blob, countField);
    const BYTE *array = DescLdPtr(blob, countField + 4);
    for (DWORD i = 0; i < count; ++i) text(DESC_FIELDPTR(DescLdPtr(array, 4 * i), DESC_FONT_ID, name));
  }
  for (size_t field : {offsetof(DESC_HEADER, uiResDllName), offsetof(DESC_HEADER, excDepDllName)}) {
    const BYTE *w = DescLdPtr(blob, field);
    while (w != NULL && DescLd16(w, 0) != 0) w += 2;
  }
}

// Validates; when accepted, relocates a copy of exactly the block's size and walks it.
bool ValidateRelocateWalk(const std::vector<BYTE> &v)
{
  if (!DescValidateStored(v.data(), (DWORD)v.size(), NULL)) return false;
  BYTE *copy = static_cast<BYTE *>(GlobalAlloc(GPTR, v.size()));
  memcpy(copy, v.data(), v.size());
  TouchAll(reinterpret_cast<const BYTE *>(DescRelocate(copy)));
  GlobalFree(copy);
  return true;
}

TEST(BlobValidate, EveryTruncationIsRefused)
{
  const std::vector<BYTE> rich = RichBlock();
  ASSERT_FALSE(rich.empty());
  for (size_t size = rich.size() - 1; size >= DESC_HEADER_SIZE; --size) {
    std::vector<BYTE> v(rich.begin(), rich.begin() + size);
    St(v, offsetof(DESC_HEADER, totalSize), (DWORD)size);
    bool accepted = ValidateRelocateWalk(v);
    if (size >= rich.size() - kUnstoredTail)
      EXPECT_TRUE(accepted) << size;
    else
      EXPECT_FALSE(accepted) << size;
  }
}

// Single-byte corruptions of every byte after the header and of every header link: the
// validator never reads outside the block, and whatever it accepts is safe to relocate and
// walk.
TEST(BlobValidate, SingleByteCorruptionsAreRefusedOrSafe)
{
  const std::vector<BYTE> rich = RichBlock();
  ASSERT_FALSE(rich.empty());
  ASSERT_TRUE(ValidateRelocateWalk(rich));
  std::vector<DWORD> positions;
  for (DWORD at = 32; at < 48; ++at) positions.push_back(at);
  for (DWORD at = 40; at < DESC_HEADER_SIZE; at += 4) {
    if (rich[at] != 0 || rich[at + 1] != 0) positions.push_back(at), positions.push_back(at + 1);
  }
  for (DWORD at = offsetof(DESC_HEADER, uiResDllName); at < DESC_HEADER_SIZE; ++at) positions.push_back(at);
  for (DWORD at = DESC_HEADER_SIZE; at < rich.size(); ++at) positions.push_back(at);
  int accepted = 0;
  for (DWORD at : positions) {
    for (BYTE flip : {0x01, 0x02, 0x10, 0x80}) {
      std::vector<BYTE> v = rich;
      v[at] ^= flip;
      if (ValidateRelocateWalk(v)) ++accepted;
    }
  }
  // Flips inside texts, value IDs and other plain data keep the block valid; flips of
  // links mostly do not.
  EXPECT_GT(accepted, 0);
  EXPECT_LT(accepted, (int)(4 * positions.size()));
}

// Random link rewrites (fixed seed): 32-bit fields anywhere in the block set to offsets,
// tagged offsets or small numbers, one to four at a time. Refused or safe, never a read
// outside the block.
TEST(BlobValidate, RandomLinkRewritesAreRefusedOrSafe)
{
  const std::vector<BYTE> rich = RichBlock();
  ASSERT_FALSE(rich.empty());
  DWORD seed = 12345;
  auto next = [&seed](DWORD bound) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % bound;
  };
  int accepted = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<BYTE> v = rich;
    DWORD writes = 1 + next(4);
    for (DWORD k = 0; k < writes; ++k) {
      DWORD at = next(2) == 0 ? 36 + 4 * next((DESC_HEADER_SIZE - 36) / 4)
                              : DESC_HEADER_SIZE + next((DWORD)v.size() - DESC_HEADER_SIZE - 3);
      DWORD target = next((DWORD)v.size() + 16);
      DWORD value = next(3) == 0 ? DESC_TAG(target) : next(3) == 0 ? next(8) : target;
      St(v, at, value);
    }
    if (ValidateRelocateWalk(v)) ++accepted;
  }
  EXPECT_LT(accepted, 3000);
}

// Command blocks nest at most DESC_MAX_COMMAND_DEPTH levels: a chain built by hand one level
// deeper is refused, the deepest allowed chain is accepted. The chain is laid out as the
// serializer lays it out: the innermost block's FontType statement and block first, then
// outwards each conditional statement right before the block whose "then" list it is.
std::vector<BYTE> NestedChain(DWORD levels)
{
  std::vector<BYTE> v(DESC_HEADER_SIZE + 8 + 12 + 24 * (levels - 1));
  St(v, offsetof(DESC_HEADER, totalSize), (DWORD)v.size());
  DWORD font = DESC_HEADER_SIZE, inner = font + 8;
  St16(v, font + offsetof(DESC_STATEMENT, kind), DESC_STMT_FONT);
  St(v, inner + offsetof(DESC_COMMAND_BLOCK, thenList), font);
  for (DWORD i = 1; i < levels; ++i) {
    DWORD statement = inner + 12, block = statement + 12;
    St16(v, statement + offsetof(DESC_STATEMENT, kind), DESC_STMT_COMMAND);
    St(v, statement + offsetof(DESC_STATEMENT_COMMAND, block), inner);
    St(v, block + offsetof(DESC_COMMAND_BLOCK, thenList), statement);
    inner = block;
  }
  St(v, offsetof(DESC_HEADER, groups), inner);
  return v;
}

TEST(BlobValidate, CommandNestingIsBounded)
{
  DESC_VALIDATE_RESULT why;
  std::vector<BYTE> ok = NestedChain(DESC_MAX_COMMAND_DEPTH);
  EXPECT_TRUE(DescValidateStored(ok.data(), (DWORD)ok.size(), &why)) << why.offset << ": " << why.reason;
  std::vector<BYTE> deep = NestedChain(DESC_MAX_COMMAND_DEPTH + 1);
  EXPECT_FALSE(DescValidateStored(deep.data(), (DWORD)deep.size(), &why));
  EXPECT_STREQ(why.reason, "command blocks nested too deeply");
}

}  // namespace
