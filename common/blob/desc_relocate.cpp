// Relocation of a stored description block: every offset becomes a pointer into the block,
// in place, over the one walk of the node graph (desc_walk_graph.h, with this file's link
// handling inlined into it). Plain links are converted
// where they are found; links into the shared rule data are converted only while they are
// still tagged (odd), so a list that several rule blocks name is converted once. The block must have passed DescValidateStored when it
// came from outside the process.
#include "blob/desc_store.h"
#include "blob/desc_walk_graph.h"

namespace {

// Plain link: a non-zero offset becomes a pointer. Answers the pointer (NULL for none).
[[gnu::always_inline]] inline BYTE *Fix(BYTE *base, BYTE *node, size_t field)
{
  DWORD v = DescLd32(node, field);
  if (v == 0) return NULL;
  BYTE *p = base + v;
  DescStPtr(node, field, p);
  return p;
}

// Tagged link: converted when still odd; an even value is a pointer already (or 0).
[[gnu::always_inline]] inline BYTE *FixTagged(BYTE *base, BYTE *node, size_t field)
{
  DWORD v = DescLd32(node, field);
  if ((v & 1u) == 0) return reinterpret_cast<BYTE *>((ULONG_PTR)v);
  BYTE *p = base + v / 16u;
  DescStPtr(node, field, p);
  return p;
}

// Converts every link the walk meets. A shared node is relocated through the link that
// owns it, so the walk does not enter it again from here. Nodes need nothing.
struct Relocator {
  BYTE *base;
  [[gnu::always_inline]] bool Follow(const DESC_LINK &link, BYTE **target)
  {
    BYTE *p = (link.flags & DESC_LINK_TAGGED) != 0 ? FixTagged(base, link.from, link.field)
                                                   : Fix(base, link.from, link.field);
    *target = (link.flags & DESC_LINK_SHARED) != 0 ? NULL : p;
    return true;
  }
  bool Visit(const DESC_WALK_NODE &) { return true; }
};

}  // namespace

// The block must start on a 4-byte boundary (GlobalAlloc blocks do): converted links into
// the rule data must come out even to be told apart from tagged ones.
DESC_BLOB *WINAPI DescRelocate(BYTE *block)
{
  if (block == NULL || ((ULONG_PTR)block & 3u) != 0) return NULL;
  Relocator relocator = {block};
  descwalk::GraphWalk<Relocator> walk(block, &relocator);
  walk.Run();
  return reinterpret_cast<DESC_BLOB *>(block);
}
