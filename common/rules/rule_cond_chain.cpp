// Condition chains of the PJL variable table: entries {item, value} joined into terms (AND)
// and clauses (OR of terms), the clauses joined by AND, tested on the items' stored values.
// Feature conditions name printer-configuration codes, which the code ranges map to the
// DEVMODE items that mirror the installed options.
#include "items/item_store.h"
#include "rules/pjl_values.h"
#include "tables/item_ids.h"

const RULE_CODE_RANGE g_kvRuleCodeRanges[6] = {
    {ITEM_kdmSourceOptionTypeDuplex, ITEM_kdmInOptionSupportDuplex},
    {ITEM_kdmOutputOptionTypeSimple, ITEM_kdmOutOptionSupportSimple},
    {ITEM_kdmOutputOption2TypeFin3000NA2, ITEM_kdmOutOption2SupportFin3000NA2},
    {ITEM_kdmOutputOption3TypeFoldingUnit, ITEM_kdmOutOption3SupportFoldingUnit},
    {ITEM_kdmOutputOption4Type0, ITEM_kdmOutOption4Support0},
    {0, 0}};

namespace {

bool JoinsTerm(const RULE_CONDITION *e) { return (e->connector & KV_COND_AND) != 0; }
bool EndsClause(const RULE_CONDITION *e) { return e->connector != 0 && !JoinsTerm(e); }

// One walk over a chain. Entries that a feature condition cannot map are passed over as if
// the chain did not hold them; a chain of more than KV_RULE_CHAIN_MAX entries (a loop among
// them included) is cut at the first entry past the limit and fails.
class ChainWalk {
 public:
  ChainWalk(DRIVER_CONTEXT *ctx, bool feature) : ctx_(ctx), feature_(feature) {}

  int Run(const RULE_CONDITION *chain)
  {
    const RULE_CONDITION *e = Present(chain);
    if (e == NULL) return Answer(1);  // an empty chain holds
    for (;;) {
      if (Holds(e)) {
        if (JoinsTerm(e)) {
          const RULE_CONDITION *next = After(e);
          if (next == NULL) return Answer(1);  // the last term held
          e = next;
          continue;
        }
        // The term held, so its clause holds: pass over the clause's other terms.
        const RULE_CONDITION *last = e;
        while (last != NULL && !EndsClause(last)) last = After(last);
        if (last == NULL) return Answer(1);
        e = After(last);
        if (e == NULL) return Answer(1);
        continue;
      }
      // The entry fails, and with it its term: pass over the term's other entries.
      const RULE_CONDITION *last = e;
      while (JoinsTerm(last)) {
        last = After(last);
        if (last == NULL) return 0;
      }
      if (last->connector != 0) return 0;  // the clause's last term failed
      e = After(last);
      if (e == NULL) return 0;
    }
  }

 private:
  DWORD ItemOf(const RULE_CONDITION *e) const { return feature_ ? RuleMapFeatureCode(e->item) : e->item; }
  bool Holds(const RULE_CONDITION *e) const
  {
    DWORD item = ItemOf(e);
    // An ID beyond the 16-bit item range names no item, whose value reads as 0.
    LONG stored = item <= 0xFFFFu ? ItemGetRaw(ctx_, (WORD)item, NULL) : 0;
    return (DWORD)stored == e->value;
  }
  // The first entry from e on that the walk counts, or NULL.
  const RULE_CONDITION *Present(const RULE_CONDITION *e)
  {
    while (e != NULL && feature_ && ItemOf(e) == 0) e = Step(e);
    return e;
  }
  const RULE_CONDITION *After(const RULE_CONDITION *e) { return Present(Step(e)); }
  // The next entry, counted: the head is entry 1, so a step that would reach entry
  // KV_RULE_CHAIN_MAX + 1 ends the walk instead.
  const RULE_CONDITION *Step(const RULE_CONDITION *e)
  {
    if (e->next == NULL) return NULL;
    if (++entries_ > KV_RULE_CHAIN_MAX) {
      tooLong_ = true;
      return NULL;
    }
    return e->next;
  }
  int Answer(int value) const { return tooLong_ ? 0 : value; }

  DRIVER_CONTEXT *ctx_;
  bool feature_;
  DWORD entries_ = 1;
  bool tooLong_ = false;
};

}  // namespace

DWORD WINAPI RuleMapFeatureCode(DWORD code)
{
  for (const RULE_CODE_RANGE *r = g_kvRuleCodeRanges; r->firstCode != 0; ++r) {
    if (code >= r->firstCode && code - r->firstCode < KV_RULE_CODE_RANGE_SPAN)
      return r->firstItem + (code - r->firstCode);
  }
  return 0;
}

int WINAPI RuleEvalSettingCondition(DRIVER_CONTEXT *ctx, const RULE_CONDITION *chain)
{
  return ChainWalk(ctx, false).Run(chain);
}

int WINAPI RuleEvalFeatureCondition(DRIVER_CONTEXT *ctx, const RULE_CONDITION *chain)
{
  return ChainWalk(ctx, true).Run(chain);
}
