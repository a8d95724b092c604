// The starting settings of a context's work buffer.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// A new zero-filled WORK_BUFFER for the load kind (0-3), or NULL when memory runs out.
BYTE *WINAPI DmBuildDefault(DRIVER_CONTEXT *ctx, WORD kind);

KV_END_DECLS
