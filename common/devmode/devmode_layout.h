// The driver's DEVMODE: the 220-byte public DEVMODEW followed by the 1016-byte private part
// (model tag, identification block, exchange block, private header, packed item fields and
// the state block). Every private field is a byte array, so the structures have no padding
// and no alignment; multi-byte fields are little-endian and are read and written through
// DmReadLe16/32 and DmWriteLe16/32 at the KV_DM_* offsets, never through a cast.
#pragma once

#include <stddef.h>

#include "context.h"
#include "model/model.h"
#include "model/state_items.h"

// One byte per state item (609-625), set per call by the entry points and the bridges.
typedef struct DRIVER_STATE_BLOCK {
  BYTE callSrc;           // 609
  BYTE osKind;            // 610
  BYTE batchInst;         // 611
  BYTE printLog;          // 612
  BYTE biDirect;          // 613
  BYTE noPermission;      // 614
  BYTE presentUIMode;     // 615
  BYTE bidiSupport;       // 616
  BYTE serverClientMode;  // 617
  BYTE userCodeFix;       // 618
  BYTE userCodeGet;       // 619
  BYTE twInstalled;       // 620
  BYTE propertyType;      // 621
  BYTE userCodeDll;       // 622
  BYTE tse;               // 623
  BYTE admin;             // 624
  BYTE bidiFunc;          // 625
} DRIVER_STATE_BLOCK;

// The private part, as it stands behind a 220-byte public part.
typedef struct PRIVATE_DEVMODE {
  char modelTag[4];       // "TV00", no terminator
  BYTE taskWeave[4];      // item 608, LE 32-bit
  char iniFileName[16];   // item 601: identification block
  char cdcVersion[16];    // item 602
  char pjlVersion[16];    // item 603
  char kcomMark[8];       // item 604: "KCOMMON" when the exchange block is on
  BYTE kcomVersion;       // item 605
  BYTE requestBlock[32];  // item 606
  BYTE capsBlock[32];     // item 607
  BYTE signature[4];      // LE 32-bit, the model's signature
  BYTE privSize[4];       // LE 32-bit, 1016
  BYTE privVersion[4];    // LE 32-bit, 314
  BYTE block1Offset[2];   // LE 16-bit, 0
  BYTE configOffset[2];   // LE 16-bit, 1236
  BYTE workOffset[2];     // LE 16-bit, 2256
  BYTE reserved;
  BYTE items[697];         // items 35-600, packed at their option-table offsets
  BYTE reservedArea[154];  // no item; 0 in every DEVMODE the driver writes
  DRIVER_STATE_BLOCK state;
} PRIVATE_DEVMODE;

typedef struct DRIVER_DEVMODE {
  DEVMODEW pub;
  PRIVATE_DEVMODE priv;
} DRIVER_DEVMODE;

// Offsets from the start of the DEVMODE (public size 220) of the fields the header
// functions address. The private header words are in model/model.h (KV_DM_PRIV_*).
constexpr DWORD KV_DM_PUBLIC_SIZE = 220;
constexpr DWORD KV_DM_PRIVATE_SIZE = 1016;
constexpr DWORD KV_DM_TOTAL_SIZE = 1236;
constexpr DWORD KV_DM_IDENT_INI = 228;
constexpr DWORD KV_DM_IDENT_CDC = 244;
constexpr DWORD KV_DM_IDENT_PJL = 260;
constexpr DWORD KV_DM_IDENT_FIELD_SIZE = 16;
constexpr DWORD KV_DM_KCOM_MARK = 276;
constexpr DWORD KV_DM_KCOM_MARK_SIZE = 8;
constexpr DWORD KV_DM_KCOM_VERSION = 284;
constexpr DWORD KV_DM_REQUEST_BLOCK = 285;
constexpr DWORD KV_DM_CAPS_BLOCK = 317;
constexpr DWORD KV_DM_EXCHANGE_BLOCK_SIZE = 32;
constexpr DWORD KV_DM_HEADER_RESERVED = 367;
constexpr DWORD KV_DM_ITEMS_FIRST = 368;
constexpr DWORD KV_DM_RESERVED_AREA = 1065;
constexpr DWORD KV_DM_STATE_SIZE = 17;
// The identification block's fields, from the start of the private part.
constexpr DWORD KV_DM_PRIV_IDENT_INI = 8;
constexpr DWORD KV_DM_PRIV_IDENT_CDC = 24;
constexpr DWORD KV_DM_PRIV_IDENT_PJL = 40;
constexpr DWORD KV_DM_PRIV_KCOM_MARK = 56;
constexpr DWORD KV_DM_PRIV_KCOM_VERSION = 64;
constexpr DWORD KV_DM_PRIV_REQUEST_BLOCK = 65;
constexpr DWORD KV_DM_PRIV_CAPS_BLOCK = 97;
// The exchange block's version when it is on.
constexpr DWORD KV_DM_KCOM_VERSION_ON = 5;
// Bytes a DEVMODE must hold for the model test (through the driver-type byte at 811).
constexpr DWORD KV_DM_MODEL_CHECK_EXTENT = 812;

#define KV_DM_FIELD(f) ((DWORD)(offsetof(DRIVER_DEVMODE, priv) + offsetof(PRIVATE_DEVMODE, f)))
static_assert(sizeof(DRIVER_STATE_BLOCK) == KV_DM_STATE_SIZE, "DRIVER_STATE_BLOCK");
static_assert(sizeof(PRIVATE_DEVMODE) == KV_DM_PRIVATE_SIZE, "PRIVATE_DEVMODE");
static_assert(sizeof(DRIVER_DEVMODE) == KV_DM_TOTAL_SIZE, "DRIVER_DEVMODE");
static_assert(KV_DM_TOTAL_SIZE == KV_DEVMODE_SIZE, "the DEVMODE is the work buffer's first block");
static_assert(offsetof(DRIVER_DEVMODE, priv) == KV_DM_PUBLIC_SIZE, "private part");
static_assert(KV_DM_FIELD(modelTag) == KV_DM_MODEL_TAG, "model tag");
static_assert(KV_DM_FIELD(taskWeave) == KV_DM_TASK_WEAVE, "task weave");
static_assert(KV_DM_FIELD(iniFileName) == KV_DM_IDENT_INI, "INI file name");
static_assert(KV_DM_FIELD(cdcVersion) == KV_DM_IDENT_CDC, "CDC version");
static_assert(KV_DM_FIELD(pjlVersion) == KV_DM_IDENT_PJL, "PJL version");
static_assert(KV_DM_FIELD(kcomMark) == KV_DM_KCOM_MARK, "exchange mark");
static_assert(KV_DM_FIELD(kcomVersion) == KV_DM_KCOM_VERSION, "exchange version");
static_assert(KV_DM_FIELD(requestBlock) == KV_DM_REQUEST_BLOCK, "request block");
static_assert(KV_DM_FIELD(capsBlock) == KV_DM_CAPS_BLOCK, "capability block");
static_assert(KV_DM_FIELD(signature) == KV_DM_PRIV_SIGNATURE, "signature");
static_assert(KV_DM_FIELD(privSize) == KV_DM_PRIV_SIZE, "private size");
static_assert(KV_DM_FIELD(privVersion) == KV_DM_PRIV_VERSION, "private version");
static_assert(KV_DM_FIELD(block1Offset) == KV_DM_BLOCK1_OFFSET, "block-1 offset");
static_assert(KV_DM_FIELD(configOffset) == KV_DM_CONFIG_OFFSET, "configuration-block offset");
static_assert(KV_DM_FIELD(workOffset) == KV_DM_WORK_OFFSET, "work-block offset");
static_assert(KV_DM_FIELD(reserved) == KV_DM_HEADER_RESERVED, "header reserved byte");
static_assert(KV_DM_FIELD(items) == KV_DM_ITEMS_FIRST && KV_DM_ITEMS_FIRST == (DWORD)KV_DM_MACHINE_ID, "item area");
static_assert(KV_DM_FIELD(reservedArea) == KV_DM_RESERVED_AREA, "reserved area");
static_assert(KV_DM_FIELD(state) == KV_DM_STATE_FIRST, "state block");
static_assert((DWORD)KV_DM_PRIV_VERSION - KV_DM_PUBLIC_SIZE == (DWORD)KV_DM_VERSION_IN_PRIVATE, "private version");
static_assert(KV_DM_IDENT_INI - KV_DM_PUBLIC_SIZE == KV_DM_PRIV_IDENT_INI, "identification block");
static_assert(KV_DM_REQUEST_BLOCK - KV_DM_PUBLIC_SIZE == KV_DM_PRIV_REQUEST_BLOCK, "request block");
static_assert(KV_DM_CAPS_BLOCK - KV_DM_PUBLIC_SIZE == KV_DM_PRIV_CAPS_BLOCK, "capability block");
static_assert(KV_DM_DRIVER_TYPE + 1 == KV_DM_MODEL_CHECK_EXTENT, "model test extent");

// Little-endian fields at any byte address.
static inline WORD DmReadLe16(const BYTE *p) { return (WORD)(p[0] | (p[1] << 8)); }
static inline DWORD DmReadLe32(const BYTE *p)
{
  return (DWORD)p[0] | ((DWORD)p[1] << 8) | ((DWORD)p[2] << 16) | ((DWORD)p[3] << 24);
}
static inline void DmWriteLe16(BYTE *p, WORD v)
{
  p[0] = (BYTE)v;
  p[1] = (BYTE)(v >> 8);
}
static inline void DmWriteLe32(BYTE *p, DWORD v)
{
  for (int i = 0; i < 4; ++i) p[i] = (BYTE)(v >> (8 * i));
}

// The public header words of a DEVMODE of any size (they lie in its first 72 bytes).
static inline WORD DmReadSpecVersionField(const BYTE *dm) { return DmReadLe16(dm + offsetof(DEVMODEW, dmSpecVersion)); }
static inline WORD DmReadDriverVersion(const BYTE *dm) { return DmReadLe16(dm + offsetof(DEVMODEW, dmDriverVersion)); }
static inline WORD DmReadSize(const BYTE *dm) { return DmReadLe16(dm + offsetof(DEVMODEW, dmSize)); }
static inline WORD DmReadDriverExtra(const BYTE *dm) { return DmReadLe16(dm + offsetof(DEVMODEW, dmDriverExtra)); }
// dmSize + dmDriverExtra: the extent a DEVMODE claims for itself.
static inline DWORD DmClaimedExtent(const BYTE *dm) { return (DWORD)DmReadSize(dm) + DmReadDriverExtra(dm); }
