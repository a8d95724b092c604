// The answers that the model-extras notify hooks of every deliverable give alike.
#include "hooks/model_notify.h"

#include "files/ini.h"
#include "blob/desc_runtime.h"
#include "items/item_store.h"
#include "model/scale_area.h"
#include "names/names_paths.h"
#include "rules/rule_eval.h"
#include "tables/item_ids.h"

static void SetAnswer(void *data, size_t offset, LONG value)
{
  if (data != NULL) *(LONG *)((BYTE *)data + offset) = value;
}

LONG KvModelNotifyCommon(DRIVER_CONTEXT *ctx, WORD event, void *data)
{
  switch (event) {
    case KV_EVT_SAVE_ITEM_BY_NAME:
    case KV_EVT_LOAD_ITEM_BY_NAME: SetAnswer(data, offsetof(KV_EVT_ITEM_BY_NAME_DATA, answer), 1); return 1;
    case KV_EVT_LIST_RESOLUTIONS: SetAnswer(data, offsetof(KV_EVT_ANSWER_DATA, answer), 1); return 1;
    case KV_EVT_BIN_MODEL_VALUE:
      SetAnswer(data, offsetof(KV_EVT_ANSWER_DATA, answer), ItemGetRaw(ctx, ITEM_kdmSourceOptionType1Step, NULL));
      return 1;
    case KV_EVT_TRAY_DETAILS_WANTED: SetAnswer(data, offsetof(KV_EVT_ANSWER_DATA, answer), 0); return 1;
    case KV_EVT_OPTIONS_READ:
      ItemSetRaw(ctx, ITEM_kdmOutputOptionTypeHDD, 1);
      ItemSetRaw(ctx, ITEM_kdmSourceOptionTypeManual, 1);
      return 1;
    case KV_EVT_ITEM_BLOCK_LOADED: {
      const WCHAR *ini = CtxGetSettingsIniPath(ctx);
      if (ini != NULL && ini[0] != 0) {
        LONG current = ItemGetRaw(ctx, ITEM_wdmHiddenModePrintBox, NULL);
        ItemSetRaw(ctx, ITEM_wdmHiddenModePrintBox, (LONG)IniGetInt(u"PrintBox", u"Mode", current, ini));
      }
      return 1;
    }
    case KV_EVT_JOB_START: {
      // The fit runs only for an option the description offers and the rules show and
      // leave enabled as things stand.
      if (ItemGetRaw(ctx, ITEM_kdmExtOutput29, NULL) == 0) return 1;
      const OPTION_ITEM *row = ItemFindById(ctx, ITEM_kdmExtOutput29);
      const DESC_ITEM_NODE *node = row != NULL && row->symbolKey != 0 ? ItemGetDescNode(ctx, row->symbolKey) : NULL;
      if (node != NULL && RuleIsValueHidden(node, 0, ctx) == 0 && RuleIsValueDisabled(node, 0, ctx) == 0)
        DmFitDuplexScaleArea(ctx);
      return 1;
    }
    default: return 0;
  }
}

LONG KvModelChooseResolution(DRIVER_CONTEXT *ctx, KV_EVT_PRINT_QUALITY_DATA *data)
{
  if (ctx == NULL || data == NULL) return 0;
  LONG media = ItemGetRaw(ctx, ITEM_kdmMediaType, NULL);
  bool plain = media == 1 || media == 257 || media == 274 || media == 276;
  bool high = data->value > 600;
  LONG dpi = plain && !high ? 300 : 600;
  WORD pass = plain ? (high ? 4 : 1) : (high ? 5 : 1);
  // A list item with translated values takes the resolution codes. Whether its description
  // node is a list is asked of the description engine; a row without node keeps the dpi.
  const OPTION_ITEM *row = data->resolutionItem;
  if (row != NULL && row->xlat != NULL && row->symbolKey != 0 && ItemGetDescNode(ctx, row->symbolKey) != NULL)
    dpi = dpi == 300 ? 35 : 36;
  data->value = dpi;
  if (ctx->state != NULL) ctx->state->pendingPassMode = pass;
  return 1;
}
