// Validators of the public DEVMODE fields, the standard value sets they fall back to for an
// item the description does not check, classifiers of paper codes and qualities, and the
// selections that other items encode (stamp, user quality, user-size slot).
#include "checks/item_check.h"
#include "items/item_store.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

// The node's answer decides; an item the description does not check takes the standard set.
static int ByNodeOr(WORD itemId, LONG value, DRIVER_CONTEXT *ctx, int(WINAPI *standard)(LONG))
{
  int answer = ItemCheckValueByNode(itemId, (DWORD)value, ctx);
  if (answer == KV_CHECK_UNBOUND || answer == KV_CHECK_NO_NODE) return standard != NULL ? standard(value) : 0;
  return answer == 1;
}

int WINAPI DmValidateDefaultSource(SHORT value, DRIVER_CONTEXT *ctx)
{
  return ByNodeOr(ITEM_dmDefaultSource, value, ctx, DmIsStandardDefaultSource);
}

int WINAPI DmValidateOrientation(SHORT value, DRIVER_CONTEXT *ctx)
{
  int answer = ItemValidateMappedOrReset(ITEM_dmOrientation, (DWORD)(LONG)value, ctx);
  if (answer == KV_CHECK_UNBOUND || answer == KV_CHECK_NO_NODE) return value == 1 || value == 2;
  return answer == 1;
}

int WINAPI DmValidatePaperSize(SHORT value, DRIVER_CONTEXT *ctx)
{
  return ByNodeOr(ITEM_dmPaperSize, value, ctx, NULL);
}

int WINAPI DmValidatePrintQuality(SHORT value, DRIVER_CONTEXT *ctx)
{
  return ByNodeOr(ITEM_dmPrintQuality, value, ctx, DmIsListedPrintQuality);
}

int WINAPI DmValidateDuplex(SHORT value, DRIVER_CONTEXT *ctx)
{
  return ByNodeOr(ITEM_dmDuplex, value, ctx, DmIsStandardDuplex);
}

int WINAPI DmValidateColor(SHORT value, DRIVER_CONTEXT *ctx)
{
  return ByNodeOr(ITEM_dmColor, value, ctx, DmIsStandardColor);
}

int WINAPI DmValidateTTOption(SHORT value, DRIVER_CONTEXT *ctx)
{
  return ByNodeOr(ITEM_dmTTOption, value, ctx, DmIsStandardTTOption);
}

int WINAPI DmValidateICMMethod(DWORD value, DRIVER_CONTEXT *ctx)
{
  return ByNodeOr(ITEM_dmICMMethod, (LONG)value, ctx, DmIsStandardICMMethod);
}

int WINAPI DmValidateICMIntent(DWORD value, DRIVER_CONTEXT *ctx)
{
  return ByNodeOr(ITEM_dmICMIntent, (LONG)value, ctx, DmIsStandardICMIntent);
}

int WINAPI DmValidateMediaType(DWORD value, DRIVER_CONTEXT *ctx)
{
  return ByNodeOr(ITEM_dmMediaType, (LONG)value, ctx, DmIsStandardMediaType);
}

int WINAPI DmValidateDitherType(DWORD value, DRIVER_CONTEXT *ctx)
{
  return ByNodeOr(ITEM_dmDitherType, (LONG)value, ctx, DmIsStandardDitherType);
}

int WINAPI DmValidateFormName(const WCHAR *formName, DRIVER_CONTEXT *ctx)
{
  // A text is checked by its address, as the item's stored value is.
  return ItemCheckValueByNode(ITEM_dmFormName, (DWORD)(ULONG_PTR)formName, ctx) != 0;
}

int WINAPI DmIsStandardDefaultSource(LONG value)
{
  return (value >= 1 && value <= 15) || ItemIsListedValue(ITEM_dmDefaultSource, value);
}

int WINAPI DmIsListedPrintQuality(LONG value) { return ItemIsListedValue(ITEM_dmPrintQuality, value); }
int WINAPI DmIsStandardDuplex(LONG value) { return value >= 1 && value <= 3; }
int WINAPI DmIsStandardColor(LONG value) { return value == 1 || value == 2; }
int WINAPI DmIsStandardTTOption(LONG value) { return value >= 1 && value <= 4; }

int WINAPI DmIsStandardICMMethod(LONG value)
{
  return (value >= 1 && value <= 4) || ItemIsListedValue(ITEM_dmICMMethod, value);
}

int WINAPI DmIsStandardICMIntent(LONG value)
{
  return value == 1 || value == 2 || ItemIsListedValue(ITEM_dmICMIntent, value);
}

int WINAPI DmIsStandardMediaType(LONG value)
{
  return (value >= 1 && value <= 3) || ItemIsListedValue(ITEM_dmMediaType, value);
}

int WINAPI DmIsStandardDitherType(LONG value)
{
  return (value >= 1 && value <= 4) || value == 10 || ItemIsListedValue(ITEM_dmDitherType, value);
}

int WINAPI DmIsStandardPaperSize(LONG value)
{
  return (value >= 1 && value <= 118) || ItemIsListedValue(ITEM_dmPaperSize, value);
}

int WINAPI DmIsOutputSameAsOriginal(LONG value) { return value == 1024; }

int WINAPI DmIsUserSizePaper(LONG value) { return (value >= 384 && value <= 393) || value == 448 || value == 256; }

// The papers of the twelve custom-size slots: the ten user sizes, the document's custom
// size and the output's custom size, as the stored list numbers its slots.
int WINAPI DmIsSlotPaper(LONG value)
{
  for (int slot = 0; slot < KV_PAPER_SLOTS; ++slot)
    if (ListSlotToPaperId(slot, KV_PAPER_SLOTS, NULL) == value) return 1;
  return 0;
}

int WINAPI DmIsSymbolicQuality(LONG value) { return value >= -4 && value <= -1; }

LONG WINAPI ItemGetWatermarkId(DRIVER_CONTEXT *ctx)
{
  if (ItemGetRaw(ctx, ITEM_kdmFuncSelectWaterMark, NULL) == 0) return -1;
  return ItemGetRaw(ctx, ITEM_kdmWmID, NULL);
}

// The user qualities are value IDs 135-150 of item 179; a stored value without one of them
// is no selection rather than an index below 0 or past the sixteen.
LONG WINAPI ItemGetUserMacroIndex(DRIVER_CONTEXT *ctx)
{
  if (ItemGetRaw(ctx, ITEM_kdmUseUserMacro, NULL) != 1) return -1;
  LONG valueId = ItemGetValue(ctx, ITEM_kdmUserPrintMacro, NULL);
  return valueId >= 135 && valueId <= 150 ? valueId - 135 : -1;
}

static LONG UserSizeSlot(LONG paper) { return paper >= 384 && paper <= 393 ? paper - 384 : -1; }

LONG WINAPI ListFreeSizeSlotOfPaper(DRIVER_CONTEXT *ctx)
{
  return UserSizeSlot(ItemGetRaw(ctx, ITEM_dmPaperSize, NULL));
}

LONG WINAPI ListFreeSizeSlotOfOutPaper(DRIVER_CONTEXT *ctx)
{
  return UserSizeSlot(ItemGetRaw(ctx, ITEM_kdmOutPaperSize, NULL));
}
