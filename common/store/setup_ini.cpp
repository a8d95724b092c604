// The small INI helpers of the printer setup: a path-sized key read and a number write.
#include "files/ini.h"
#include "store/setup_services.h"

int WINAPI IniReadPathKey(const WCHAR *file, const WCHAR *section, const WCHAR *key, WCHAR *out)
{
  if (file == NULL || section == NULL || key == NULL || out == NULL) return 0;
  return IniGetString(section, key, u"", out, 260, file) > 0 && out[0] != 0 ? 1 : 0;
}

int WINAPI IniWriteInt(const WCHAR *file, const WCHAR *section, int value, const WCHAR *key)
{
  if (file == NULL || section == NULL || key == NULL) return 0;
  WCHAR text[16];
  wsprintfW(text, u"%d", value);
  return IniWriteString(section, key, text, file) ? 1 : 0;
}
