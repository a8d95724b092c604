// The exchange area of the private DEVMODE behind the "KCOMMON" mark: a settings request
// by simple codes that an application may fill without knowing the private layout, and the
// capability block that tells it which codes the printer offers. Both are used only while
// the job-control switch (JobCtlIsEnabled) is on.
#pragma once

#include "context.h"

// The 32-byte settings request (item 606), at DEVMODE offset 285. Code 0 in a field asks
// for nothing.
typedef struct DM_REQUEST_BLOCK {
  BYTE command;  // 2 defaults; 3 query the printer; 4 defaults, configuration and query
  BYTE valid;    // 1, else the block is ignored
  BYTE duplex;
  BYTE sort;
  BYTE punch;
  BYTE staple;
  BYTE outputTray;
  BYTE resolution;
  BYTE printArea;
  BYTE reserved1;
  BYTE zoom[2];  // unsigned 16-bit, little-endian
  BYTE nup;
  BYTE outputPaper;
  BYTE reserved2[18];
} DM_REQUEST_BLOCK;
static_assert(sizeof(DM_REQUEST_BLOCK) == 32, "DM_REQUEST_BLOCK");

// The 32-byte capability block (item 607), at DEVMODE offset 317; the meaning of each byte
// is in dm_caps_block.cpp. Bytes not named are 0.
typedef struct DM_CAPS_BLOCK {
  BYTE bytes[32];
} DM_CAPS_BLOCK;
static_assert(sizeof(DM_CAPS_BLOCK) == 32, "DM_CAPS_BLOCK");

// Request commands.
enum : BYTE {
  KV_REQUEST_DEFAULTS = 2,
  KV_REQUEST_QUERY = 3,
  KV_REQUEST_DEFAULTS_CONFIG_QUERY = 4,
};

KV_BEGIN_DECLS

// Applies the request block of devmode (the merge's working copy, a whole 1236-byte
// DEVMODE). A block whose valid byte is not 1 is ignored; otherwise the stored merge flags
// gain KV_MERGE_REQUEST_CHANGED. Commands 2 to 4 reset the context to its defaults and/or
// query the printer, and copy the result into devmode; field requests change only devmode
// (the context's DEVMODE is as before afterwards). Answers 0 when a requested printer query
// fails or memory runs out, else 1.
int WINAPI DmApplyRequestBlock(DRIVER_CONTEXT *ctx, BYTE *devmode);

// Writes value into the item (ItemSetRaw) when the item may be changed by a request, and
// answers its bit in the changed-item mask; answers 0 (nothing written) for any other item.
DWORD WINAPI DmRequestSetItem(DRIVER_CONTEXT *ctx, WORD itemId, LONG value);

// Runs the rule transactions of each requested item whose bit is in mask and that has a
// description node.
void WINAPI DmRequestRunRules(DRIVER_CONTEXT *ctx, DWORD mask);

// Writes the capability block into item 607 and clears the request block (item 606); 0 when
// memory runs out (both left as they were), else 1.
int WINAPI DmPublishCapsBlock(DRIVER_CONTEXT *ctx);

// The number of item 53's selectable output trays (values of its PickOne node that no rule
// hides); each one's stored value is written into trays while fewer than capacity were
// written (trays may be NULL). -1 when the item has no PickOne node with values, a value has
// no value symbol, or nothing is selectable.
LONG WINAPI DmCountOutputTrays(DRIVER_CONTEXT *ctx, WORD *trays, DWORD capacity);

KV_END_DECLS
