// The once-per-printer preset refresh that the property sheets trigger: after the device
// options were set up, the stored presets are re-validated once and "PresetRefresh" marks it.
#include "files/ini.h"
#include "items/item_store.h"
#include "model/state_items.h"
#include "names/names_paths.h"
#include "names/ui_messages.h"
#include "store/settings_files.h"
#include "store/settings_store.h"
#include "store/setup_presets.h"

namespace {

constexpr SHORT kRefreshSwitch = 1;

void MarkRefreshed(const WCHAR *ini, const WCHAR *section) { IniWriteString(section, u"PresetRefresh", u"1", ini); }

}  // namespace

int WINAPI SetupRefreshPresetsOnce(DRIVER_CONTEXT *ctx, int mode)
{
  if (!CtxIsBuildSwitchOn(kRefreshSwitch)) return 1;
  if (ctx == NULL || StoreSharedWritesBarred(ctx)) return 0;
  const WCHAR *ini = CtxGetSettingsIniPath(ctx);
  const WCHAR *section = CtxGetPrinterSection(ctx);
  if (ini == NULL || section == NULL) return 0;
  UINT installed = IniGetInt(section, u"PackInstallDone", 0, ini) & 0xFF;
  if (mode == KV_REFRESH_DEVICE_SHEET && installed == 1) return 1;
  if (mode == KV_REFRESH_DOCUMENT_SHEET && (CtxGetBiDirect(ctx) == 1 || installed == 1)) mode = KV_REFRESH_AFTER_COMMIT;
  if ((IniGetInt(section, u"PresetRefresh", 0, ini) & 0xFF) != 0) return 1;
  switch (mode) {
    case KV_REFRESH_DOCUMENT_SHEET:
      UiMessageBoxStyled(ctx, NULL, KV_MSG_PRESET_REFRESH, MB_ICONINFORMATION, MB_OK);
      if (ctx->state != NULL) ctx->state->dialogResult = 0;
      DlgOpen(ctx, 4, KV_DLG_DEVICE_SETTINGS, NULL);
      if (ctx->state != NULL && ctx->state->dialogResult == 1) {
        StoreSaveItemBlock(ctx->printer, ctx, KV_BLOCK_CONFIG, 0);
        SetupRevalidatePresets(ctx, 0);
        MarkRefreshed(ini, section);
      }
      break;
    case KV_REFRESH_AFTER_COMMIT:
      SetupRevalidatePresets(ctx, 0);
      MarkRefreshed(ini, section);
      break;
    case KV_REFRESH_DEVICE_SHEET:
      UiMessageBoxStyled(ctx, NULL, KV_MSG_PRESET_REFRESH, MB_ICONINFORMATION, MB_OK);
      break;
    default: break;
  }
  return 1;
}
