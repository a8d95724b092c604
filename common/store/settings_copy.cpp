// Settings files of a bundle turned into the user's own: the version test and the copy of
// a file through a context.
#include "files/ini.h"
#include "hooks/module_hooks.h"
#include "names/names_paths.h"
#include "store/settings_files.h"
#include "store/settings_setup.h"

namespace {

constexpr DWORD kSectionChars = 30720;
constexpr DWORD kMissingVersion = 0xFFFF;

// Replaces the section of destination by the source's (deleted when the source has none).
void CopySection(const WCHAR *name, WCHAR *buffer, const WCHAR *destination, const WCHAR *source)
{
  IniWriteString(name, NULL, NULL, destination);
  DWORD n = GetPrivateProfileSectionW(name, buffer, kSectionChars, source);
  if (n > 0) WritePrivateProfileSectionW(name, buffer, destination);
}

}  // namespace

int WINAPI StoreHasKstVersion(const WCHAR *path, DRIVER_CONTEXT *ctx)
{
  const WCHAR *section = CtxGetPrinterName(ctx);
  if (section == NULL || path == NULL) return 0;
  return IniGetInt(section, KST_KEY_VERSION, (INT)kMissingVersion, path) != kMissingVersion ? 1 : 0;
}

void WINAPI StoreCopySettingsFile(const WCHAR *destination, const WCHAR *source, DWORD flags, DRIVER_CONTEXT *ctx)
{
  if (destination == NULL || source == NULL || ctx == NULL) return;
  WCHAR *buffer = (WCHAR *)MemAllocZeroed(kSectionChars * sizeof(WCHAR));
  if (buffer == NULL) return;
  // The snapshot comes first, so that a copy that cannot keep the caller's settings
  // changes nothing at all.
  if (!CtxPushDevmodeSnapshot(ctx)) {
    MemFree(buffer);
    return;
  }
  CopySection(u"condition", buffer, destination, source);
  CopySection(u"disable", buffer, destination, source);
  // Read from the source's language section, written to the destination's printer section.
  StoreReadSettingsFile(ctx->printer, source, flags | KST_SECTION_BY_DIRECTION, ctx);
  StoreWriteSettingsFile(ctx->printer, destination, flags | KST_SECTION_BY_DIRECTION, ctx);
  WCHAR readonly[16];
  IniGetString(CtxGetLangSection(ctx), u"Readonly", u"", readonly, 16, source);
  if (readonly[0] != 0) IniWriteString(CtxGetPrinterName(ctx), u"Readonly", readonly, destination);
  CtxPopDevmodeSnapshot(ctx, 1);
  MemFree(buffer);
}
