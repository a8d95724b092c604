// The walk over a compiled description block's node graph (see desc_walk.h) for callers
// with callbacks; the walk itself is in desc_walk_graph.h.
#include "blob/desc_walk.h"

#include "blob/desc_walk_graph.h"

namespace {

// Hands the walk's links and nodes to the caller's callbacks.
struct CallbackVisitor {
  const DESC_WALK_VISITOR *v;
  bool Follow(const DESC_LINK &link, BYTE **target) { return v->follow(v->user, &link, target) != FALSE; }
  bool Visit(const DESC_WALK_NODE &node) { return v->visit == nullptr || v->visit(v->user, &node) != FALSE; }
};

}  // namespace

BOOL WINAPI DescWalkGraph(BYTE *block, const DESC_WALK_VISITOR *visitor)
{
  if (block == NULL || visitor == NULL || visitor->follow == NULL) return FALSE;
  CallbackVisitor callbacks = {visitor};
  descwalk::GraphWalk<CallbackVisitor> walk(block, &callbacks);
  return walk.Run() ? TRUE : FALSE;
}
