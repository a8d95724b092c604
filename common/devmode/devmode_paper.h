// The paper, resolution and collation items that follow the DEVMODE's public fields (the
// paper and resolution functions are declared in dm_paper_items.h), and whether the job can
// be collated.
#pragma once

#include "context.h"
#include "devmode/dm_paper_items.h"

KV_BEGIN_DECLS

// 1 when the job can be collated: the sort type (item 119) offers a choice other than
// sorting off (PjlIsSortSelectable); else 0, and 0 without context.
int WINAPI DmCanCollate(DRIVER_CONTEXT *ctx);

KV_END_DECLS
