// The deployment INI ("KVML.ini" in the system directory) and its per-printer "DrvInstSet"
// key: non-zero while the deployed user code is still to be sent.
#include "store/setup_services.h"
#include "files/ini.h"

const WCHAR *WINAPI SetupGetDeployIniPath(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL || ctx->state == NULL) return NULL;
  WCHAR *path = ctx->state->deployIniPath;
  path[0] = 0;
  WCHAR dir[260] = {0};
  UINT n = GetSystemDirectoryW(dir, 260);
  const WCHAR *name = SetupGetDeployIniName();
  if (n == 0 || (int)n + 1 + lstrlenW(name) >= 260) return path;
  lstrcpyW(path, dir);
  lstrcatW(path, u"\\");
  lstrcatW(path, name);
  return path;
}

int WINAPI SetupIsInstSet(const WCHAR *deployIni, const WCHAR *section)
{
  return IniIsKeySet(deployIni, section, u"DrvInstSet");
}

int WINAPI SetupWriteInstSet(const WCHAR *deployIni, const WCHAR *section, int value)
{
  WCHAR text[16];
  wsprintfW(text, u"%d", value);
  return IniWriteString(section, u"DrvInstSet", text, deployIni) ? 1 : 0;
}
