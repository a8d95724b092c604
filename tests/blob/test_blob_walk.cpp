// The node-graph walk: it reaches every node and link of a block, in stored form and in
// relocated form alike, and the relocator converts exactly the links it reports.
#include <string.h>

#include <map>
#include <set>
#include <utility>

#include "blob/desc_walk.h"
#include "blob_support.h"

namespace {

// What one walk saw. Nodes are entered once however many links lead to them (as the
// host's summary counts them); shared links are never entered.
struct Seen {
  const BYTE *base = nullptr;
  bool stored = false;  // links are offsets (tagged in the rule data), not pointers
  std::set<const BYTE *> entered;
  std::map<DESC_NODE_KIND, int> nodes;                  // kind -> nodes visited
  std::map<DESC_NODE_KIND, int> links;                  // kind -> non-empty links
  std::vector<DWORD> linkFields;                        // block offsets of the non-empty link fields
  std::vector<std::pair<DWORD, DESC_NODE_KIND>> order;  // nodes in visit order
  std::map<DWORD, DWORD> targets;                       // link field -> target offset
};

BOOL RecordLink(void *user, const DESC_LINK *link, BYTE **target)
{
  auto *s = static_cast<Seen *>(user);
  *target = nullptr;
  DWORD raw = DescLd32(link->from, link->field);
  if (raw == 0) return TRUE;
  DWORD offset = raw;
  if (s->stored && (link->flags & DESC_LINK_TAGGED) != 0) {
    EXPECT_TRUE(DESC_IS_TAGGED(raw)) << "tagged link field at " << (link->from + link->field - s->base);
    offset = raw / 16;
  } else if (!s->stored) {
    offset = (DWORD)(DescLdPtr(link->from, link->field) - s->base);
  }
  DWORD field = (DWORD)(link->from + link->field - s->base);
  ++s->links[link->kind];
  s->linkFields.push_back(field);
  s->targets[field] = offset;
  BYTE *p = const_cast<BYTE *>(s->base) + offset;
  if ((link->flags & DESC_LINK_SHARED) == 0 && s->entered.insert(p).second) *target = p;
  return TRUE;
}

BOOL RecordNode(void *user, const DESC_WALK_NODE *node)
{
  auto *s = static_cast<Seen *>(user);
  ++s->nodes[node->kind];
  s->order.emplace_back((DWORD)(node->at - s->base), node->kind);
  return TRUE;
}

Seen Walk(BYTE *block, bool stored)
{
  Seen s;
  s.base = block;
  s.stored = stored;
  DESC_WALK_VISITOR visitor = {&s, RecordLink, RecordNode};
  EXPECT_TRUE(DescWalkGraph(block, &visitor));
  return s;
}

// Small descriptions whose parts are counted by hand.
TEST(BlobWalk, VisitsEveryNodeOfSmallDescriptions)
{
  struct Case {
    const char *fixture;
    std::map<DESC_NODE_KIND, int> nodes;
    std::map<DESC_NODE_KIND, int> links;
  } cases[] = {
      // JobStart { Command: Judge2 { StringType 5 } Else { StringType 9 } FontType }; no
      // CommandString 9, so its statement has no text.
      {"judges_cmdgroup",
       {{DESC_NODE_HEADER, 1},
        {DESC_NODE_COMMAND_BLOCK, 2},
        {DESC_NODE_STATEMENT, 4},
        {DESC_NODE_CODE, 1},
        {DESC_NODE_TEXT, 1}},
       {{DESC_NODE_COMMAND_BLOCK, 2}, {DESC_NODE_STATEMENT, 4}, {DESC_NODE_CODE, 1}, {DESC_NODE_TEXT, 1}}},
      // Two rule blocks name one transaction list: two links, one list.
      {"shared_transact",
       {{DESC_NODE_HEADER, 1},
        {DESC_NODE_RULE_BLOCK, 2},
        {DESC_NODE_TRANSACTION, 1},
        {DESC_NODE_ACTION, 1},
        {DESC_NODE_CODE, 1}},
       {{DESC_NODE_RULE_BLOCK, 2}, {DESC_NODE_TRANSACTION, 2}, {DESC_NODE_ACTION, 1}, {DESC_NODE_CODE, 1}}},
      // A Boolean with both texts and a Numeric: two items, each also in its direct slot.
      {"slots_bool_numeric",
       {{DESC_NODE_HEADER, 1},
        {DESC_NODE_ITEM, 2},
        {DESC_NODE_BOOLEAN, 1},
        {DESC_NODE_NUMERIC, 1},
        {DESC_NODE_TEXT, 2}},
       {{DESC_NODE_ITEM, 4}, {DESC_NODE_BOOLEAN, 1}, {DESC_NODE_NUMERIC, 1}, {DESC_NODE_TEXT, 2}}},
      // No items, only the UI resource DLL name.
      {"no_items", {{DESC_NODE_HEADER, 1}, {DESC_NODE_WIDE_TEXT, 1}}, {{DESC_NODE_WIDE_TEXT, 1}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.fixture);
    DESC_PARSE_STATE *state = ParseText(ReadFixture(std::string(c.fixture) + ".kvd"));
    ASSERT_NE(state, nullptr);
    std::vector<BYTE> stored = StoreState(state);
    DescParseStateFree(state);
    ASSERT_FALSE(stored.empty());
    Seen s = Walk(stored.data(), true);
    EXPECT_EQ(s.nodes, c.nodes);
    EXPECT_EQ(s.links, c.links);
  }
}

// A state with every kind of node: the walk meets each kind, the stored and the relocated
// form walk alike, and relocation changes exactly the link fields the walk reports, each
// into a pointer at the node its offset named.
TEST(BlobWalk, RelocationConvertsExactlyTheLinksOfTheWalk)
{
  StateBuilder b;
  BuildRichState(b);
  std::vector<BYTE> stored = StoreState(b.state());
  ASSERT_FALSE(stored.empty());
  Seen before = Walk(stored.data(), true);
  for (int k = DESC_NODE_HEADER; k < DESC_NODE_KIND_COUNT; ++k) {
    if (k == DESC_NODE_OPAQUE) continue;  // no type of the state stores data the runtime ignores
    EXPECT_GT(before.nodes[static_cast<DESC_NODE_KIND>(k)], 0) << "node kind " << k << " not reached";
  }

  BYTE *block = static_cast<BYTE *>(GlobalAlloc(GPTR, stored.size()));
  memcpy(block, stored.data(), stored.size());
  ASSERT_EQ(reinterpret_cast<BYTE *>(DescRelocate(block)), block);
  Seen after = Walk(block, false);
  EXPECT_EQ(after.order, before.order);
  EXPECT_EQ(after.targets, before.targets);

  std::vector<bool> isLink(stored.size(), false);
  for (DWORD field : before.linkFields)
    for (DWORD i = 0; i < 4; ++i) isLink[field + i] = true;
  for (size_t i = 0; i < stored.size(); ++i) {
    if (block[i] == stored[i]) continue;
    ASSERT_TRUE(isLink[i]) << "relocation changed byte " << i << " outside any link";
  }
  for (const auto &t : before.targets)
    EXPECT_EQ(DescLdPtr(block, t.first), block + t.second) << "link field at " << t.first;
  GlobalFree(block);
}

// A callback that answers FALSE ends the walk at once, and the walk says so.
TEST(BlobWalk, StoppingCallbackEndsTheWalk)
{
  StateBuilder b;
  BuildRichState(b);
  std::vector<BYTE> stored = StoreState(b.state());
  ASSERT_FALSE(stored.empty());
  struct Stopper {
    int calls = 0;
    int stopAt = 0;
  };
  for (int stopAt : {1, 5, 40}) {
    Stopper st;
    st.stopAt = stopAt;
    DESC_WALK_VISITOR visitor = {&st,
                                 [](void *user, const DESC_LINK *, BYTE **target) -> BOOL {
                                   auto *s = static_cast<Stopper *>(user);
                                   *target = nullptr;  // enter nothing: header links only
                                   if (++s->calls == s->stopAt) return FALSE;
                                   EXPECT_LT(s->calls, s->stopAt) << "a callback after the stop";
                                   return TRUE;
                                 },
                                 nullptr};
    EXPECT_FALSE(DescWalkGraph(stored.data(), &visitor)) << stopAt;
    EXPECT_EQ(st.calls, stopAt);
  }
}

}  // namespace
