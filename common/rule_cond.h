// Computed condition items of the description rules.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// 1 when the printed sheet lies landscape: orientation, N-up and duplex layouts together.
int WINAPI RuleCondPrintPaperOrient(DRIVER_CONTEXT *ctx);

KV_END_DECLS
