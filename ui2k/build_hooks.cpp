// Build hooks of kvmlface: its module table (the user-interface extension modules), its
// feature switches and the hooks the settings core calls into the property sheets.
#include "hooks/build_hooks.h"

#include "files/ini.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "model/model.h"
#include "hooks/model_notify.h"
#include "tables/item_ids.h"

// Reads the printer's gamma values that the bidi query stored under "GammaData" of the
// settings INI into the four gamma items. A missing key keeps the item; a value outside
// the items' signed 8-bit range is refused rather than cut.
static void UiLoadStoredGamma(DRIVER_CONTEXT *ctx)
{
  static const struct {
    WORD item;
    const WCHAR *key;
  } kGamma[] = {{399, u"GammaC"}, {400, u"GammaM"}, {401, u"GammaY"}, {402, u"GammaK"}};
  const WCHAR *ini = CtxGetSettingsIniPath(ctx);
  if (ini == NULL || ini[0] == 0) return;
  const INT missing = 0x7FFFFFFF;
  for (const auto &g : kGamma) {
    INT v = (INT)IniGetInt(u"GammaData", g.key, missing, ini);
    if (v != missing && v >= -128 && v <= 127) ItemSetRaw(ctx, g.item, v);
  }
}

// The model-extras module of the property sheets.
static LONG WINAPI UiModelNotify(DRIVER_CONTEXT *ctx, WORD event, void *data, void *priv)
{
  (void)priv;
  if (event == KV_EVT_MERGE_PRINT_QUALITY) return KvModelChooseResolution(ctx, (KV_EVT_PRINT_QUALITY_DATA *)data);
  if (event == KV_EVT_ITEM_BLOCK_LOADED) UiLoadStoredGamma(ctx);
  return KvModelNotifyCommon(ctx, event, data);
}

// Presets, watermarks, colour, user paper sizes, finishing pictures, model extras. The
// pages' own message and notify hooks join these rows with the property sheets.
static MODULE_HOOK_ROW s_uiModules[KV_MODULE_ROW_COUNT] = {{0, NULL, CtxIsFeatureEnabled, NULL, NULL},
                                                           {0, NULL, CtxIsFeatureEnabled, NULL, NULL},
                                                           {0, NULL, NULL, NULL, NULL},
                                                           {0, NULL, NULL, NULL, NULL},
                                                           {0, NULL, CtxIsFeatureEnabled, NULL, NULL},
                                                           {0, NULL, NULL, NULL, UiModelNotify}};

MODULE_HOOK_ROW *WINAPI CtxGetModuleHooks(LONG *count)
{
  if (count != NULL) *count = KV_MODULE_ROW_COUNT;
  return s_uiModules;
}

LONG WINAPI CtxIsFeatureEnabled(DRIVER_CONTEXT *ctx, WORD feature, void *reserved)
{
  (void)ctx;
  (void)feature;
  (void)reserved;
  return 0;
}

int WINAPI JobCtlIsEnabled(void) { return 1; }
int WINAPI UserCodeIsEnabled(void) { return 0; }

void WINAPI CtxNoOp(LONG value, DRIVER_CONTEXT *ctx)
{
  (void)value;
  (void)ctx;
}

int WINAPI DmGetCustomSizeLimits(DRIVER_CONTEXT *ctx, WORD tray, WORD orientation, LONG *max, LONG *min, LONG axis)
{
  (void)ctx, (void)tray, (void)orientation, (void)max, (void)min, (void)axis;
  return 0;
}

int WINAPI StoreIsEmptyValueItem(WORD id)
{
  (void)id;
  return 0;
}

LONG WINAPI RuleGetJudgeHookValue(LONG a, LONG b)
{
  (void)a;
  (void)b;
  return 0;
}

// The start of a document (code 101 without a context) starts the job utility once the
// printer interface's escapes exist; it always lets the modules see the message.
LONG WINAPI UiStartDocHook(DRIVER_CONTEXT *ctx, DIALOG_RECORD *dialog, CONTROL_RECORD *control, UINT code,
                           WPARAM wParam, LPARAM lParam)
{
  (void)ctx, (void)dialog, (void)control, (void)code, (void)wParam, (void)lParam;
  return 0;
}

LONG WINAPI CtlGetRangeOverride(DRIVER_CONTEXT *ctx, CONTROL_RECORD *control, LONG *max, LONG *min)
{
  (void)ctx, (void)control, (void)max, (void)min;
  return 0;
}

void WINAPI UiRunBuiltInFunc(DRIVER_CONTEXT *ctx, WORD code)
{
  if (ctx == NULL) return;
  switch (code) {
    case 1:
    case 3:
    case 4: ItemApplyPaperChange(ctx, (SHORT)code); break;
    case 2: CtxRaiseUiFlags(ctx, 0x10000000u); break;
    default: CtxModulesAction(ctx, code); break;
  }
}

void WINAPI UiSetSheetItemFlags(DRIVER_CONTEXT *ctx)
{
  static const struct {
    WORD first;
    WORD last;
    DWORD flags;
  } kRanges[] = {{ITEM_dmOrientation, ITEM_dmPaperSize, 0x00030000u},
                 {ITEM_dmDefaultSource, ITEM_dmDefaultSource, 0x00030000u},
                 {ITEM_kdmOutPaperSize, ITEM_kdmOutPaperSize, 0x00030000u},
                 {ITEM_kdmMediaType, ITEM_kdmFuncSelectNup, 0x00030000u},
                 {ITEM_kdmFuncSelectDuplex, ITEM_kdmFuncSelectDuplex, 0x00030000u},
                 {ITEM_kdmNUPPOSTKind, ITEM_kdmNUPPOSTKind, 0x00030000u},
                 {ITEM_kdmDuplexType, ITEM_kdmDuplexType, 0x00030000u},
                 {ITEM_kdmPrnMethod, ITEM_kdmPrnMethod, 0x00030000u},
                 {ITEM_kdmMemoryType, ITEM_kdmSourceOptionTypeDuplex, 0x00030000u},
                 {ITEM_kdmSourceOptionTypeLCT1, ITEM_kdmSourceOptionTypeLCT1, 0x00030000u},
                 {ITEM_kdmSourceOptionTypeBank, ITEM_kdmSourceOptionTypeManual, 0x00030000u},
                 {ITEM_kdmSourceOptionType1Step, ITEM_kdmSourceOptionType1Step, 0x00030000u},
                 {ITEM_kdmOutputOptionTypeOutside, ITEM_kdmOutputOptionTypeFin1000, 0x00030000u},
                 {ITEM_kdmOutputOptionTypeUpperBin, ITEM_kdmOutputOptionTypeFinBF, 0x00030000u},
                 {ITEM_kdmOutputOptionTypeRemote, ITEM_kdmOutputOptionTypeRemote, 0x00030000u},
                 {ITEM_kdmOutputOptionTypeTelLine4, ITEM_kdmOutputOptionTypeHDD, 0x00030000u},
                 {ITEM_kdmTrayOrient0, ITEM_kdmTray32Paper, 0x00030000u},
                 {ITEM_kdmShiftMarginX, ITEM_kdmMarginEven, KV_ITEM_FLAG_DISPLAY_LENGTH},
                 {ITEM_kdmOutputOptionTypeRemote, ITEM_kdmOutputOptionTypeRemote, 0x00100000u},
                 {ITEM_kdmOutputOptionTypeHDD, ITEM_kdmOutputOptionTypeHDD, 0x00100000u}};
  if (ctx == NULL) return;
  for (const auto &r : kRanges) {
    for (DWORD id = r.first; id <= r.last; ++id) {
      OPTION_ITEM *item = ItemFindById(ctx, (WORD)id);
      if (item != NULL) item->flags |= r.flags;
    }
  }
}
