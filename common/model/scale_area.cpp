// The duplex scale-area table: per paper, the printable width that duplex scaling fits the
// page into, with overrides read from KVMLAREA.ini in the shared settings directory.
#include "files/ini.h"
#include "items/item_store.h"
#include "model/model.h"
#include "model/scale_area.h"
#include "files/paths.h"
#include "tables/item_ids.h"

namespace {

// Process-wide: a width read from the INI stays in force for later contexts.
DUPLEX_SCALE_ROW g_scaleRows[30] = {{8, 2732},  {9, 1932},   {11, 1258},  {70, 892},  {43, 850},   {82, 1302},
                                    {12, 2364}, {13, 1638},  {88, 1177},  {1, 1987},  {5, 1987},   {6, 1190},
                                    {3, 2567},  {73, 1104},  {74, 827},   {71, 2207}, {91, 966},   {36, 1012},
                                    {7, 1657},  {514, 1869}, {513, 1928}, {14, 1986}, {517, 2456}, {93, 1794},
                                    {20, 964},  {37, 905},   {31, 1048},  {28, 1490}, {27, 1012},  {0, 0}};

struct KeyRow {
  SHORT paper;
  const WCHAR *key;
};
const KeyRow kKeys[30] = {{1, u"ScaleArea_LT"},     {3, u"ScaleArea_TAB"},      {5, u"ScaleArea_LG"},
                          {6, u"ScaleArea_HLT"},    {7, u"ScaleArea_EXEC"},     {8, u"ScaleArea_A3"},
                          {9, u"ScaleArea_A4"},     {11, u"ScaleArea_A5"},      {12, u"ScaleArea_B4"},
                          {13, u"ScaleArea_B5"},    {14, u"ScaleArea_FOLIO"},   {20, u"ScaleArea_ENV10"},
                          {27, u"ScaleArea_ENVDL"}, {28, u"ScaleArea_ENVC5"},   {31, u"ScaleArea_ENVC6"},
                          {36, u"ScaleArea_ITALY"}, {37, u"ScaleArea_ENVMO"},   {43, u"ScaleArea_POST"},
                          {70, u"ScaleArea_A6"},    {71, u"ScaleArea_KAKU2"},   {73, u"ScaleArea_CHOU3"},
                          {74, u"ScaleArea_CHOU4"}, {82, u"ScaleArea_DBLPOST"}, {88, u"ScaleArea_B6"},
                          {91, u"ScaleArea_YOU4"},  {93, u"ScaleArea_P16K"},    {513, u"ScaleArea_FOOL"},
                          {514, u"ScaleArea_FGL"},  {517, u"ScaleArea_8K"},     {0, NULL}};

// Widths from the INI above this (2 m) are refused as nonsense.
const UINT kMaxIniWidth = 20000;

DUPLEX_SCALE_ROW *FindRow(SHORT paper)
{
  if (paper == 0) return NULL;
  for (DUPLEX_SCALE_ROW *row = g_scaleRows; row->paper != 0; ++row)
    if (row->paper == paper) return row;
  return NULL;
}

}  // namespace

DUPLEX_SCALE_ROW *WINAPI DmGetDuplexScaleTable(void) { return g_scaleRows; }

DWORD WINAPI DmGetDuplexScaleArea(SHORT paper)
{
  DUPLEX_SCALE_ROW *row = FindRow(paper);
  return row != NULL ? row->width : 0;
}

void WINAPI DmSetDuplexScaleArea(SHORT paper, DWORD width)
{
  DUPLEX_SCALE_ROW *row = FindRow(paper);
  if (row != NULL) row->width = width;
}

const WCHAR *WINAPI IniGetScaleAreaKeyName(SHORT paper)
{
  if (paper == 0) return NULL;
  for (const KeyRow *row = kKeys; row->paper != 0; ++row)
    if (row->paper == paper) return row->key;
  return NULL;
}

void WINAPI IniLoadDuplexScaleArea(DRIVER_CONTEXT *ctx, SHORT paper)
{
  const WCHAR *key = IniGetScaleAreaKeyName(paper);
  if (key == NULL) return;
  WCHAR path[260];
  path[0] = 0;
  PathInSharedSettingsDir(path, 260, u"KVMLAREA.ini", ctx);
  if (path[0] == 0) return;
  if (IniGetInt(u"DuplexScaleArea", u"UseScaleArea", 0, path) != 1) return;
  UINT width = IniGetInt(u"DuplexScaleArea", key, 0, path);
  if (width != 0 && width <= kMaxIniWidth) DmSetDuplexScaleArea(paper, width);
}

void WINAPI DmFitDuplexScaleArea(DRIVER_CONTEXT *ctx)
{
  if (ctx == NULL) return;
  SHORT paper = (SHORT)ItemGetOutputPaperSize(ctx);
  IniLoadDuplexScaleArea(ctx, paper);
  unsigned long long w = DmGetDuplexScaleArea(paper);
  if (w == 0) return;
  w = w * (DWORD)ItemGetRaw(ctx, ITEM_kdmDstResolutionW, NULL) / 254;
  DWORD L = (DWORD)ItemGetRaw(ctx, ITEM_kdmDstPaperPrnLengthDot, NULL);
  DWORD W = (DWORD)ItemGetRaw(ctx, ITEM_kdmDstPaperPrnWidthDot, NULL);
  DWORD X = (DWORD)ItemGetRaw(ctx, ITEM_kdmDstXOffset, NULL);
  DWORD Y = (DWORD)ItemGetRaw(ctx, ITEM_kdmDstYOffset, NULL);
  bool shortIsWidth = L > W;
  DWORD shortSide = shortIsWidth ? W : L;
  DWORD longSide = shortIsWidth ? L : W;
  if (w >= shortSide) return;
  DWORD r = (DWORD)(w * 1000 / shortSide);
  if (r <= 500) return;
  DWORD newLong = (DWORD)((unsigned long long)longSide * r / 1000);
  DWORD dShort = (shortSide - (DWORD)w) / 2;
  DWORD dLong = (longSide - newLong) / 2;
  if (shortIsWidth) {
    ItemSetRaw(ctx, ITEM_kdmDstXOffset, (LONG)(X + dShort));
    ItemSetRaw(ctx, ITEM_kdmDstYOffset, (LONG)(Y + dLong));
    ItemSetRaw(ctx, ITEM_kdmDstPaperPrnWidthDot, (LONG)w);
    ItemSetRaw(ctx, ITEM_kdmDstPaperPrnLengthDot, (LONG)newLong);
  } else {
    ItemSetRaw(ctx, ITEM_kdmDstYOffset, (LONG)(Y + dShort));
    ItemSetRaw(ctx, ITEM_kdmDstXOffset, (LONG)(X + dLong));
    ItemSetRaw(ctx, ITEM_kdmDstPaperPrnLengthDot, (LONG)w);
    ItemSetRaw(ctx, ITEM_kdmDstPaperPrnWidthDot, (LONG)newLong);
  }
  if (ItemGetRaw(ctx, ITEM_kdmFuncSelectScale, NULL) == 0) {
    ItemSetRaw(ctx, ITEM_kdmFuncSelectScale, 1);
    ItemSetRaw(ctx, ITEM_kdmScaleType, 2);
  } else {
    LONG type = ItemGetRaw(ctx, ITEM_kdmScaleType, NULL);
    if (type == 1 || type == 3) {
      // Both are read first: a write of item 89 carries item 90 along while they are kept equal.
      DWORD h = (DWORD)ItemGetRaw(ctx, ITEM_kdmScaleH, NULL);
      DWORD v = (DWORD)ItemGetRaw(ctx, ITEM_kdmScaleV, NULL);
      ItemSetRaw(ctx, ITEM_kdmScaleH, (LONG)((unsigned long long)h * r / 1000));
      ItemSetRaw(ctx, ITEM_kdmScaleV, (LONG)((unsigned long long)v * r / 1000));
    }
  }
  if (ItemGetRaw(ctx, ITEM_kdmOutPaperSize, NULL) == 1024) ItemSetRaw(ctx, ITEM_kdmOutPaperSize, paper);
}
