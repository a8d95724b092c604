// Model helpers around the paper: the output paper size with the regional paper fit, the
// paper-dependent scale items, the authentication fields, the resolution code and the
// device-information string.
#include <string.h>

#include "items/item_store.h"
#include "model/model.h"
#include "store/stored_lists.h"
#include "devmode/dm_paper_items.h"
#include "tables/item_ids.h"

int WINAPI ItemDefaultPaperIsLetter(DRIVER_CONTEXT *ctx)
{
  bool region = ItemGetRaw(ctx, ITEM_kdmDriverType, NULL) != 0 && ItemGetRaw(ctx, ITEM_kdmLocaleID, NULL) != 0;
  bool hidden = ItemGetRaw(ctx, ITEM_kdmHiddenFunc16, NULL) == 1;
  return region != hidden ? 1 : 0;
}

static LONG RegionalPaper(DRIVER_CONTEXT *ctx) { return ItemDefaultPaperIsLetter(ctx) ? 1 : 9; }

int WINAPI ItemNeedsRegionalPaperFit(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return 0;
  if ((ItemGetRaw(ctx, ITEM_kdmFrontFunc, NULL) & 0x08) == 0) return 0;
  if (ItemGetRaw(ctx, ITEM_kdmExtOutput2A4Fit, NULL) == 0) return 0;
  LONG out = ItemGetRaw(ctx, ITEM_kdmOutPaperSize, NULL);
  if (out < 1024 || out > 1026) return 0;
  LONG method = ItemGetRaw(ctx, ITEM_kdmPrnMethod, NULL);
  if (method == 5 || method == 7) return 0;
  if (ItemGetRaw(ctx, ITEM_kdmFuncSelectScale, NULL) != 0 && ItemGetRaw(ctx, ITEM_kdmScaleType, NULL) != 2) return 0;
  LONG paper = ItemGetRaw(ctx, ITEM_dmPaperSize, NULL);
  if (paper == RegionalPaper(ctx)) return 0;
  return DmIsFitToA4Paper((DWORD)paper);
}

LONG WINAPI ItemGetOutputPaperSize(DRIVER_CONTEXT *ctx)
{
  LONG out = ItemGetRaw(ctx, ITEM_kdmOutPaperSize, NULL);
  if (out == 1024 && !ItemNeedsRegionalPaperFit(ctx)) return ItemGetRaw(ctx, ITEM_dmPaperSize, NULL);
  if (out >= 1024 && out <= 1026) return RegionalPaper(ctx);
  return out;
}

void WINAPI ItemApplyPaperChange(DRIVER_CONTEXT *ctx, SHORT what)
{
  if (ctx == NULL) return;
  // A custom size chosen as the document's paper (3) or the output paper (4) brings its
  // stored slot into the custom-size items.
  if (what == 3 || what == 4) {
    LONG paper = ItemGetRaw(ctx, what == 3 ? ITEM_dmPaperSize : ITEM_kdmOutPaperSize, NULL);
    if (paper >= KV_FREE_SIZE_PAPER_FIRST && paper <= KV_FREE_SIZE_PAPER_LAST)
      ListLoadFreeSize(ctx, (int)(paper - KV_FREE_SIZE_PAPER_FIRST));
    return;
  }
  if (what != 1) return;
  // The source and destination dimension items follow the new paper (custom sizes turned
  // with the sheet); a regional fit prints on the regional default paper. The scale then
  // follows the printable areas.
  LONG out = ItemGetRaw(ctx, ITEM_kdmOutPaperSize, NULL);
  DEVMODEW *dm = (DEVMODEW *)ctx->work;
  if (dm != NULL) {
    DmSetSourcePaperItemsSwapped((SHORT)ItemGetRaw(ctx, ITEM_dmPaperSize, NULL), ITEM_dmPaperSize, ctx, dm);
    LONG output = out == 1025 || out == 1026 ? RegionalPaper(ctx) : out;
    DmSetOutputPaperItemsSwapped((SHORT)output, ITEM_kdmOutPaperSize, ctx, dm);
  }
  LONG scaleOn = ItemGetRaw(ctx, ITEM_kdmFuncSelectScale, NULL);
  LONG type = ItemGetRaw(ctx, ITEM_kdmScaleType, NULL);
  LONG scale = -1;
  if (out == 1025 || out == 1026 || (scaleOn == 1 && type == 2)) {
    LONG byWidth =
        DmRatio(ItemGetRaw(ctx, ITEM_kdmDstPaperWidthDot, NULL), 100, ItemGetRaw(ctx, ITEM_kdmSrcPaperWidthDot, NULL));
    LONG byLength = DmRatio(ItemGetRaw(ctx, ITEM_kdmDstPaperLengthDot, NULL), 100,
                            ItemGetRaw(ctx, ITEM_kdmSrcPaperLengthDot, NULL));
    // A ratio that failed (a zero source dimension) is no scale: the items stay.
    if (byWidth > 0 && byLength > 0) scale = byWidth < byLength ? byWidth : byLength;
  } else if (out == 1024 && (scaleOn == 0 || type == 2)) {
    scale = 100;
  }
  if (scale < 0) return;
  ItemSetValue(ctx, ITEM_kdmScaleH, scale);
  ItemSetValue(ctx, ITEM_kdmScaleV, scale);
}

// 1 when the text item holds a non-empty text; a buffer that cannot be had counts as empty.
static bool TextSet(DRIVER_CONTEXT *ctx, WORD id)
{
  OPTION_ITEM *item = ItemFindById(ctx, id);
  if (item == NULL) return false;
  DWORD chars = KvItemSize(item) + 6;
  WCHAR *buf = (WCHAR *)MemAllocZeroed(chars * sizeof(WCHAR));
  if (buf == NULL) return false;
  ItemReadText(ctx, item, buf);
  bool set = buf[0] != 0;
  MemFree(buf);
  return set;
}

DWORD WINAPI ItemGetAuthFieldsSet(DRIVER_CONTEXT *ctx, DWORD mask)
{
  if (ItemGetRaw(ctx, ITEM_kdmPrnFuncAuthenticationMode, NULL) == 0) return 0;
  DWORD result = 0;
  if ((mask & 1) && TextSet(ctx, ITEM_wdmAuthenticationUserName)) result |= 1;
  if ((mask & 2) && TextSet(ctx, ITEM_wdmAuthenticationPassword)) result |= 2;
  if ((mask & 4) && ItemGetRaw(ctx, ITEM_kdmPrnFuncAuthenticationSecureMode, NULL) != 0 &&
      TextSet(ctx, ITEM_wdmAuthenticationNetworkKey))
    result |= 4;
  return result;
}

void WINAPI DmSetResolutionCode(DWORD dpi, DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return;
  if (ctx->state != NULL && ctx->state->pendingPassMode != 0) {
    LONG media = ItemGetRaw(ctx, ITEM_kdmMediaType, NULL);
    switch (ctx->state->pendingPassMode) {
      case 1:
        ItemSetRaw(ctx, ITEM_kdmPassMode, 0);
        if (media == 3) ItemSetRaw(ctx, ITEM_kdmDstResolutionBoth, 36);
        break;
      case 2: ItemSetRaw(ctx, ITEM_kdmPassMode, 1); break;
      case 3: ItemSetRaw(ctx, ITEM_kdmPassMode, 2); break;
      case 4: ItemSetRaw(ctx, ITEM_kdmPassMode, 3); break;
      case 5:
        ItemSetRaw(ctx, ITEM_kdmPassMode, 4);
        if (media == 3) ItemSetRaw(ctx, ITEM_kdmDstResolutionBoth, 17);
        break;
      default: break;
    }
    ctx->state->pendingPassMode = 0;
  }
  LONG code = ItemGetRaw(ctx, ITEM_kdmDstResolutionBoth, NULL);
  switch (dpi) {
    case 150: ItemSetRaw(ctx, ITEM_kdmDstResolutionBoth, 33); break;
    case 300:
      if (code != 34) ItemSetRaw(ctx, ITEM_kdmDstResolutionBoth, 35);
      break;
    case 600:
      if (code != 17) ItemSetRaw(ctx, ITEM_kdmDstResolutionBoth, 36);
      break;
    case 1200: ItemSetRaw(ctx, ITEM_kdmDstResolutionBoth, 37); break;
    default: break;
  }
}

void WINAPI DmSetDeviceInfoString(DRIVER_CONTEXT *ctx)
{
  const WCHAR *base = DmGetDeviceInfoBase((BYTE)ItemGetRaw(ctx, ITEM_kdmDriverType, NULL));
  OPTION_ITEM *item = ItemFindById(ctx, ITEM_kdmOther);
  if (base == NULL || item == NULL || ItemGetAddress(ctx, item) == NULL) return;
  DWORD size = KvItemSize(item);
  char *buf = (char *)MemAllocZeroed(size + 1);
  if (buf == NULL) return;
  for (DWORD i = 0; i < size && base[i] != 0; ++i) buf[i] = (char)base[i];
  LONG memory = ItemGetRaw(ctx, ITEM_kdmPrinterMemory, NULL);
  const char *a = NULL, *b = NULL;
  if (memory == 32) a = "00", b = "05";
  if (memory == 64) a = "01", b = "0a";
  if (a != NULL && size >= 14) {
    memcpy(buf + 6, a, 2);
    memcpy(buf + 12, b, 2);
  }
  ItemWriteRaw(ctx, item, (LONG)(intptr_t)buf);
  MemFree(buf);
}
