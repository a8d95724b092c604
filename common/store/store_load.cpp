// Loading the stored settings of a printer when a context opens. Reading printer data and
// the settings INI comes with the settings store; until then nothing is loaded and both
// answer 0.
#include "store/settings_store.h"

int WINAPI StoreLoadAtOpen(DRIVER_CONTEXT *ctx)
{
  (void)ctx;
  return 0;
}

int WINAPI StoreLoadItemByName(HANDLE printer, DRIVER_CONTEXT *ctx, OPTION_ITEM *item)
{
  (void)printer;
  (void)ctx;
  (void)item;
  return 0;
}

BOOL WINAPI StoreGetAdminChange(HANDLE hPrinter, DWORD *value)
{
  if (!value) return FALSE;
  DWORD type = 0, needed = 0;
  DWORD read = 0;
  if (GetPrinterDataW(hPrinter, const_cast<LPWSTR>(u"AdminChange"), &type, reinterpret_cast<LPBYTE>(&read),
                      sizeof(read), &needed) != ERROR_SUCCESS) {
    return FALSE;
  }
  *value = read;
  return read != 0;
}
