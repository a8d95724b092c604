// Constant tables of the driver package and the model: package files, papers fitted to the
// regional default paper, finisher trays and device-information strings; the getters of
// the work buffer's blocks; small text helpers.
#include <string.h>

#include "items/item_store.h"
#include "model/model.h"
#include "tables/item_ids.h"

static const SIBLING_FILE_ROW s_siblings[13] = {{1, u"kvmltoo0.exe"},
                                                {2, u"kvmltoo1.exe"},
                                                {3, u"kvmlcmZ0.dll"},
                                                {4, u"kvmlcmY0.dll"},
                                                {5, u"kvmlcmY1.dll"},
                                                {6, u"kvmlaux0.dat"},
                                                {7, u"kvmlaux1.dat"},
                                                {8, u"kvmldata.dat"},
                                                {9, u"TVINSTIG.dll"},
                                                {10, u"TVINSTM.ini"},
                                                {11, u"kvmlhelp.hlp"},
                                                {12, u"kvmlhelp.cnt"},
                                                {0, NULL}};

// A3, B4, Tabloid, Legal, Kaku2 envelope, A4, Letter, 514, Folio, 513.
static const DWORD s_fitToA4[11] = {8, 12, 3, 5, 71, 9, 1, 514, 14, 513, 0};

static FINISHER_TRAY_ROW s_finishers[15] = {{ITEM_kdmOutputOptionTypeFin1000, 0xFFFF, 5},
                                            {ITEM_kdmOutputOptionTypeFin3000, 0xFFFF, 7},
                                            {ITEM_kdmOutputOptionTypeFin2000, 31, 32},
                                            {ITEM_kdmOutputOptionTypeFinBF, 33, 34},
                                            {ITEM_kdmOutputOptionType14, 0xFFFF, 36},
                                            {ITEM_kdmOutputOptionType15, 37, 38},
                                            {ITEM_kdmOutputOptionTypeFin2000NA, 31, 32},
                                            {ITEM_kdmOutputOptionTypeFin2000EU, 31, 32},
                                            {ITEM_kdmOutputOptionTypeFin2000NE, 31, 32},
                                            {ITEM_kdmOutputOptionTypeFin2000NoPunch, 31, 32},
                                            {ITEM_kdmOutputOption2TypeFin3000NA2, 6, 7},
                                            {ITEM_kdmOutputOption2TypeFin3000EU2, 6, 7},
                                            {ITEM_kdmOutputOption2TypeFin3000NA3, 6, 7},
                                            {ITEM_kdmOutputOption2TypeFin3000NoPunch, 6, 7},
                                            {0xFFFF, 0xFFFF, 0xFFFF}};

static WCHAR s_deviceInfo0[] = u"8303890207d014";
static WCHAR s_deviceInfo1[] = u"8302890207d014";

BYTE *WINAPI CtxGetDevmode(DRIVER_CONTEXT *ctx) { return ctx != NULL ? ctx->work : NULL; }

BYTE *WINAPI CtxGetPrivatePart(DRIVER_CONTEXT *ctx)
{
  BYTE *dm = CtxGetDevmode(ctx);
  if (dm == NULL) return NULL;
  WORD size;
  memcpy(&size, dm + offsetof(DEVMODEW, dmSize), sizeof size);
  // A public size that leaves no room for the private part inside the buffer is refused.
  if ((DWORD)size + DmGetPrivateSize() > KV_DEVMODE_SIZE) return NULL;
  return dm + size;
}

BYTE *WINAPI CtxLocatePrivatePart(DRIVER_CONTEXT *ctx) { return CtxGetPrivatePart(ctx); }

BYTE *WINAPI CtxGetConfigBlock(DRIVER_CONTEXT *ctx)
{
  BYTE *dm = CtxGetDevmode(ctx);
  if (dm == NULL) return NULL;
  WORD offset;
  memcpy(&offset, dm + KV_DM_CONFIG_OFFSET, sizeof offset);
  // Only the offset the build stamps is followed; anything else came from outside.
  if (offset != DmGetBlockOffset(2)) return NULL;
  return dm + offset;
}

const SIBLING_FILE_ROW *WINAPI FileGetSiblingTable(void) { return s_siblings; }

const WCHAR *WINAPI FileGetSiblingName(WORD number)
{
  if (number == 0) return NULL;
  for (const SIBLING_FILE_ROW *row = s_siblings; row->number != 0; ++row)
    if (row->number == number) return row->name;
  return NULL;
}

const DWORD *WINAPI DmGetFitToA4PaperList(void) { return s_fitToA4; }

int WINAPI DmIsFitToA4Paper(DWORD paper)
{
  if (paper == 0) return 0;
  for (const DWORD *p = s_fitToA4; *p != 0; ++p)
    if (*p == paper) return 1;
  return 0;
}

const FINISHER_TRAY_ROW *WINAPI DmGetInstalledFinisher(DRIVER_CONTEXT *ctx)
{
  const FINISHER_TRAY_ROW *row = s_finishers;
  for (; row->finisherItem != 0xFFFF; ++row)
    if (ItemGetRaw(ctx, row->finisherItem, NULL) != 0) return row;
  return row;
}

// 0xFFFF marks a finisher without second tray; it is no tray id.
int WINAPI DmIsFinisherTray(WORD tray, BYTE which)
{
  if (tray == 0xFFFF) return 0;
  for (const FINISHER_TRAY_ROW *row = s_finishers; row->finisherItem != 0xFFFF; ++row) {
    WORD id = which == ' ' ? row->firstTray : row->secondTray;
    if (id == tray) return 1;
  }
  return 0;
}

const WCHAR *WINAPI DmGetDeviceInfoBase(BYTE driverType) { return driverType == 0 ? s_deviceInfo0 : s_deviceInfo1; }

const char *WINAPI StrNextLine(const char *text, int *length)
{
  if (text == NULL) {
    if (length != NULL) *length = 0;
    return NULL;
  }
  int n = 0;
  while (text[n] != 0 && text[n] != '\n') ++n;
  ++n;  // the line feed or the terminating NUL
  if (length != NULL) *length = n;
  return text + n;
}

char *WINAPI StrCopyN(char *dst, const char *src, size_t n)
{
  if (dst == NULL || src == NULL) return dst;
  return strncpy(dst, src, n);
}
