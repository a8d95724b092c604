// Build hooks of kvmlface: its module table (the user-interface extension modules), its
// feature switches and the hooks the settings core calls into the property sheets.
#include "hooks/build_hooks.h"

#include "files/ini.h"
#include "items/item_store.h"
#include "names/names_paths.h"
#include "model/model.h"
#include "model/model_notify.h"
#include "hooks/pjl_vars.h"

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

static PJL_VARIABLE_ROW s_pjlRows[KV_PJL_VARIABLE_ROWS];
static PJL_VARIABLE_TABLE s_pjlTable = {KV_PJL_VARIABLE_ROWS, s_pjlRows};

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

PJL_VARIABLE_TABLE *WINAPI PjlGetVariableTable(void) { return &s_pjlTable; }

void WINAPI UiSetSheetItemFlags(DRIVER_CONTEXT *ctx)
{
  static const struct {
    WORD first;
    WORD last;
    DWORD flags;
  } kRanges[] = {{7, 8, 0x00030000u},         {13, 13, 0x00030000u},       {46, 46, 0x00030000u},
                 {54, 56, 0x00030000u},       {58, 58, 0x00030000u},       {91, 91, 0x00030000u},
                 {94, 94, 0x00030000u},       {209, 209, 0x00030000u},     {10013, 10014, 0x00030000u},
                 {10018, 10018, 0x00030000u}, {10020, 10021, 0x00030000u}, {10023, 10023, 0x00030000u},
                 {10047, 10049, 0x00030000u}, {10056, 10059, 0x00030000u}, {10062, 10062, 0x00030000u},
                 {10066, 10070, 0x00030000u}, {10143, 10206, 0x00030000u}, {96, 99, KV_ITEM_FLAG_DISPLAY_LENGTH},
                 {10062, 10062, 0x00100000u}, {10070, 10070, 0x00100000u}};
  if (ctx == NULL) return;
  for (const auto &r : kRanges) {
    for (DWORD id = r.first; id <= r.last; ++id) {
      OPTION_ITEM *item = ItemFindById(ctx, (WORD)id);
      if (item != NULL) item->flags |= r.flags;
    }
  }
}
