// Relocation: a stored block turned into pointers answers the same as the parse state it
// came from, shared rule lists are converted once, and empty parts stay empty.
#include <string.h>

#include "blob/desc_runtime.h"
#include "blob_support.h"

namespace {

// A GlobalAlloc copy of a stored block, relocated (as the compiler and the cache do it).
struct Relocated {
  BYTE *block = NULL;
  DWORD size = 0;
  explicit Relocated(const std::vector<BYTE> &stored)
  {
    size = (DWORD)stored.size();
    block = static_cast<BYTE *>(GlobalAlloc(GPTR, size));
    memcpy(block, stored.data(), size);
    DescRelocate(block);
  }
  ~Relocated() { GlobalFree(block); }
  const DESC_BLOB *blob() const { return reinterpret_cast<const DESC_BLOB *>(block); }
  bool Inside(const BYTE *p) const { return p >= block && p < block + size; }
};

TEST(BlobRelocate, RichStateReadsBackAsParsed)
{
  StateBuilder b;
  BuildRichState(b);
  std::vector<BYTE> stored = StoreState(b.state());
  ASSERT_FALSE(stored.empty());
  DESC_VALIDATE_RESULT why;
  ASSERT_TRUE(DescValidateStored(stored.data(), (DWORD)stored.size(), &why)) << why.offset << ": " << why.reason;
  Relocated r(stored);
  ExpectMatchesState(r.blob(), b.state());
}

TEST(BlobRelocate, CompiledFixturesReadBackAsParsed)
{
  for (const char *name : {"pickone3", "shared_transact", "judges_cmdgroup", "slots_bool_numeric", "no_items"}) {
    SCOPED_TRACE(name);
    DESC_PARSE_STATE *state = ParseText(ReadFixture(std::string(name) + ".kvd"));
    ASSERT_NE(state, nullptr);
    std::vector<BYTE> stored = StoreState(state);
    ASSERT_FALSE(stored.empty());
    Relocated r(stored);
    ExpectMatchesState(r.blob(), state);
    DescParseStateFree(state);
  }
}

// Both rule blocks of the shared layout hold the same converted list; every link inside it
// is a pointer into the block.
TEST(BlobRelocate, SharedTransactionListIsConvertedOnce)
{
  std::vector<BYTE> stored;
  {
    DESC_PARSE_STATE *state = ParseText(ReadFixture("shared_transact.kvd"));
    ASSERT_NE(state, nullptr);
    stored = StoreState(state);
    DescParseStateFree(state);
  }
  ASSERT_EQ(stored.size(), 6812u);
  Relocated r(stored);
  const BYTE *first = DESC_FIELDPTR(r.block, DESC_HEADER, rules);
  ASSERT_EQ(first, r.block + 6748);
  const BYTE *second = DESC_FIELDPTR(first, DESC_RULE_BLOCK, next);
  ASSERT_EQ(second, r.block + 6780);
  EXPECT_EQ(DESC_FIELDPTR(second, DESC_RULE_BLOCK, next), nullptr);
  const BYTE *list1 = DESC_FIELDPTR(first, DESC_RULE_BLOCK, transactions1);
  const BYTE *list2 = DESC_FIELDPTR(second, DESC_RULE_BLOCK, transactions1);
  EXPECT_EQ(list1, r.block + 6736);
  EXPECT_EQ(list1, list2);
  EXPECT_EQ(DESC_FIELDPTR(list1, DESC_TRANSACTION, judge), r.block + 6708);
  EXPECT_EQ(DESC_FIELDPTR(list1, DESC_TRANSACTION, actions), r.block + 6724);
  EXPECT_EQ(DESC_FIELDPTR(list1, DESC_TRANSACTION, next), nullptr);
  const BYTE *action = DESC_FIELDPTR(list1, DESC_TRANSACTION, actions);
  EXPECT_EQ(DESC_FIELD16(action, DESC_ACTION, target), 12);
  EXPECT_EQ(DESC_FIELDPTR(action, DESC_ACTION, next), nullptr);
}

// The rich state shares its Transact 1 and 2 lists between three blocks and the AlertAction
// entry: after relocation every tagged field holds an even pointer into the block.
TEST(BlobRelocate, NoTaggedValueSurvivesRelocation)
{
  StateBuilder b;
  BuildRichState(b);
  std::vector<BYTE> stored = StoreState(b.state());
  ASSERT_FALSE(stored.empty());
  Relocated r(stored);
  auto check = [&](const BYTE *p) {
    if (p == NULL) return;
    EXPECT_TRUE(r.Inside(p));
    EXPECT_EQ(((ULONG_PTR)p) & 3u, 0u);
  };
  for (const BYTE *block = DESC_FIELDPTR(r.block, DESC_HEADER, rules); block != NULL;
       block = DESC_FIELDPTR(block, DESC_RULE_BLOCK, next)) {
    for (size_t field = 8; field < sizeof(DESC_RULE_BLOCK); field += 4) check(DescLdPtr(block, field));
    for (size_t list : {offsetof(DESC_RULE_BLOCK, transactions1), offsetof(DESC_RULE_BLOCK, transactions2)}) {
      for (const BYTE *t = DescLdPtr(block, list); t != NULL; t = DESC_FIELDPTR(t, DESC_TRANSACTION, next)) {
        check(DESC_FIELDPTR(t, DESC_TRANSACTION, judge));
        for (const BYTE *a = DESC_FIELDPTR(t, DESC_TRANSACTION, actions); a != NULL;
             a = DESC_FIELDPTR(a, DESC_ACTION, next))
          check(a);
      }
    }
  }
}

TEST(BlobRelocate, DescriptionWithoutItemsKeepsItsItemListEmpty)
{
  DESC_PARSE_STATE *state = ParseText(ReadFixture("no_items.kvd"));
  ASSERT_NE(state, nullptr);
  std::vector<BYTE> stored = StoreState(state);
  DescParseStateFree(state);
  ASSERT_FALSE(stored.empty());
  Relocated r(stored);
  EXPECT_EQ(DESC_FIELDPTR(r.block, DESC_HEADER, items), nullptr);
  EXPECT_EQ(DESC_FIELDPTR(r.block, DESC_HEADER, rules), nullptr);
  EXPECT_EQ(DESC_FIELDPTR(r.block, DESC_HEADER, uiResDllName), r.block + 6708);
  for (DWORD slot = offsetof(DESC_HEADER, slotsLow); slot < offsetof(DESC_HEADER, uiResDllName); slot += 4)
    EXPECT_EQ(DescLdPtr(r.block, slot), nullptr);
}

// Variant and Identity nodes point at their base's data after relocation, and the data is
// relocated once (its links are pointers, not offsets converted twice).
TEST(BlobRelocate, SharedValueDataIsRelocatedThroughTheBaseOnly)
{
  StateBuilder b;
  BuildRichState(b);
  std::vector<BYTE> stored = StoreState(b.state());
  ASSERT_FALSE(stored.empty());
  Relocated r(stored);
  const BYTE *base = NULL, *variant = NULL, *identity = NULL;
  for (const BYTE *n = DESC_FIELDPTR(r.block, DESC_HEADER, items); n != NULL;
       n = DESC_FIELDPTR(n, DESC_ITEM_NODE, next)) {
    WORD key = DESC_FIELD16(n, DESC_ITEM_NODE, key);
    WORD v = DESC_FIELD16(n, DESC_ITEM_NODE, variant);
    if (key == 238 && v == 0) base = n;
    if (key == 238 && v == 3) variant = n;
    if (key == 70) identity = n;
  }
  ASSERT_TRUE(base && variant && identity);
  const BYTE *values = DESC_FIELDPTR(base, DESC_ITEM_NODE, values);
  EXPECT_EQ(DESC_FIELDPTR(variant, DESC_ITEM_NODE, values), values);
  EXPECT_EQ(DESC_FIELDPTR(identity, DESC_ITEM_NODE, values), values);
  const BYTE *second = DESC_FIELDPTR(values, DESC_VALUE_NODE, next);
  ASSERT_TRUE(r.Inside(second));
  EXPECT_STREQ(reinterpret_cast<const char *>(DESC_FIELDPTR(second, DESC_VALUE_NODE, command)), "color");
  // Separate OptionCommand pairs for the base and its variant.
  EXPECT_NE(DESC_FIELDPTR(base, DESC_ITEM_NODE, command), DESC_FIELDPTR(variant, DESC_ITEM_NODE, command));
  EXPECT_STREQ(reinterpret_cast<const char *>(
                   DESC_FIELDPTR(DESC_FIELDPTR(variant, DESC_ITEM_NODE, command), DESC_OPTION_COMMAND, second)),
               "@PJL B");
  // The blob default of the PickOne item is the value at position 1.
  EXPECT_EQ(DescGetBlobItemDefault(15, r.blob()), 2019u);
  EXPECT_EQ(DescGetBlobItemDefault(12, r.blob()), 1u);
  EXPECT_EQ(DescGetBlobItemDefault(10175, r.blob()), 3001u);
}

}  // namespace
