// The query of the printer over the bidirectional channel.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Queries the printer's configuration and status into the context's items; 1 when the
// printer answered. Provisional until the bidirectional bridge is bound: queries nothing and
// answers 0 (the query failed).
int WINAPI BidiQueryV1(DRIVER_CONTEXT *ctx);

KV_END_DECLS
