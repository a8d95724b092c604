// The public DEVMODE fields of the defaults: a field that the description binds keeps a value
// that is plausible for its binding; every other field takes the model record's default, and
// the field's dmFields bit is set, cleared or left as each field's rule says.
#include "devmode/devmode_defaults.h"
#include "devmode/devmode_paper.h"
#include "devmode/dm_paper_items.h"
#include "checks/item_check.h"
#include "items/item_store.h"
#include "model/model.h"
#include "blob/desc_runtime.h"
#include "tables/item_ids.h"

namespace {

// The binding of one public field: the masked type of the node of the item in the field's
// row of the option table (0 when unbound) and its numeric record.
struct Binding {
  WORD type = 0;
  const void *numeric = NULL;
  bool Is(WORD t) const { return type == t; }
  bool InRange(LONG v) const { return type == DESC_TYPE_NUMERIC && ItemIsInRange(numeric, v); }
};

Binding BindingOf(DRIVER_CONTEXT *ctx, WORD id)
{
  Binding b;
  const DESC_ITEM_NODE *node = DescGetItemNodeByIndex(ctx, (DWORD)(id - 1));
  if (node == NULL) return b;
  b.type = (WORD)(DESC_FIELD16(node, DESC_ITEM_NODE, type) & ~DESC_TYPE_FLAGS);
  if (b.type == DESC_TYPE_NUMERIC) b.numeric = DESC_FIELDPTR(node, DESC_ITEM_NODE, values);
  return b;
}

struct Fields {
  DRIVER_CONTEXT *ctx;
  DWORD bits;
  LONG Get(WORD id) const { return ItemGetRaw(ctx, id, NULL); }
  void Set(WORD id, LONG v) { ItemSetRaw(ctx, id, v); }
  void Mark(DWORD bit, bool on) { bits = on ? (bits | bit) : (bits & ~bit); }
};

// dmPrintQuality: a symbolic quality, or a resolution the binding allows.
bool QualityKept(const Binding &b, LONG v)
{
  if (!b.Is(DESC_TYPE_PICK_ONE) && !b.Is(DESC_TYPE_NUMERIC)) return false;
  return DmIsSymbolicQuality(v) || (b.Is(DESC_TYPE_PICK_ONE) && v > 0) || b.InRange(v);
}

// A field that keeps its value when kept holds, else takes def; bit set on both when setBit.
void KeepOrDefault(Fields &f, WORD id, bool kept, LONG def, DWORD bit, bool setOnDefault)
{
  if (kept) {
    if (bit != 0) f.Mark(bit, true);
    return;
  }
  f.Set(id, def);
  if (bit != 0 && setOnDefault) f.Mark(bit, true);
}

// The paper length or width: kept at 0 or above; a positive value is announced only while
// the other dimension is positive too.
void PaperDimension(Fields &f, const Binding &b, WORD id, WORD other, DWORD bit)
{
  LONG v = f.Get(id);
  if (b.Is(DESC_TYPE_NUMERIC) && v >= 0) {
    if (v > 0) f.Mark(bit, f.Get(other) > 0);
    return;
  }
  f.Set(id, 0);
  f.Mark(bit, false);
}

}  // namespace

void WINAPI DmFillPublicDefaults(BYTE *devmode, DWORD type, DRIVER_CONTEXT *ctx)
{
  (void)devmode;
  (void)type;
  if (ctx == NULL || ctx->work == NULL || ctx->model == NULL) return;
  const MODEL_RECORD *m = ctx->model;
  Fields f{ctx, 0};
  if (!BindingOf(ctx, ITEM_dmSpecVersion).type) f.Set(ITEM_dmSpecVersion, m->specVersion);
  if (!BindingOf(ctx, ITEM_dmDriverVersion).type) f.Set(ITEM_dmDriverVersion, m->driverVersion);
  if (!BindingOf(ctx, ITEM_dmSize).type) f.Set(ITEM_dmSize, (LONG)DmGetPublicSize());
  if (!BindingOf(ctx, ITEM_dmDriverExtra).type) f.Set(ITEM_dmDriverExtra, (LONG)(DmGetTotalSize() - DmGetPublicSize()));
  if (!BindingOf(ctx, ITEM_dmFields).type) f.Set(ITEM_dmFields, (LONG)m->fields);
  f.bits = (DWORD)f.Get(ITEM_dmFields);

  Binding b = BindingOf(ctx, ITEM_dmOrientation);
  LONG v = f.Get(ITEM_dmOrientation);
  KeepOrDefault(f, ITEM_dmOrientation, b.Is(DESC_TYPE_PICK_ONE) && (v == 1 || v == 2), m->orientation, DM_ORIENTATION,
                true);
  b = BindingOf(ctx, ITEM_dmPaperSize);
  v = f.Get(ITEM_dmPaperSize);
  KeepOrDefault(f, ITEM_dmPaperSize, b.Is(DESC_TYPE_PICK_PAGE) && ((v >= 1 && v <= 118) || v >= 256), m->paperSize,
                DM_PAPERSIZE, true);
  PaperDimension(f, BindingOf(ctx, ITEM_dmPaperLength), ITEM_dmPaperLength, ITEM_dmPaperWidth, DM_PAPERLENGTH);
  PaperDimension(f, BindingOf(ctx, ITEM_dmPaperWidth), ITEM_dmPaperWidth, ITEM_dmPaperLength, DM_PAPERWIDTH);
  b = BindingOf(ctx, ITEM_dmScale);
  v = f.Get(ITEM_dmScale);
  KeepOrDefault(f, ITEM_dmScale, (b.Is(DESC_TYPE_PICK_ONE) && v > 0) || b.InRange(v), m->scale, 0, false);
  b = BindingOf(ctx, ITEM_dmCopies);
  v = f.Get(ITEM_dmCopies);
  KeepOrDefault(f, ITEM_dmCopies, b.InRange(v) && v > 0, m->copies, DM_COPIES, true);
  b = BindingOf(ctx, ITEM_dmDefaultSource);
  v = f.Get(ITEM_dmDefaultSource);
  KeepOrDefault(f, ITEM_dmDefaultSource, b.Is(DESC_TYPE_PICK_SLOT) && ((v >= 1 && v <= 15) || v >= 256),
                m->defaultSource, DM_DEFAULTSOURCE, true);
  Binding quality = BindingOf(ctx, ITEM_dmPrintQuality);
  KeepOrDefault(f, ITEM_dmPrintQuality, QualityKept(quality, f.Get(ITEM_dmPrintQuality)), m->printQuality,
                DM_PRINTQUALITY, true);
  b = BindingOf(ctx, ITEM_dmColor);
  KeepOrDefault(f, ITEM_dmColor, b.Is(DESC_TYPE_PICK_ONE) && f.Get(ITEM_dmColor) > 0, m->color, DM_COLOR, false);
  b = BindingOf(ctx, ITEM_dmDuplex);
  KeepOrDefault(f, ITEM_dmDuplex, (b.Is(DESC_TYPE_PICK_ONE) || b.Is(DESC_TYPE_BOOLEAN)) && f.Get(ITEM_dmDuplex) > 0,
                m->duplex, DM_DUPLEX, true);
  b = BindingOf(ctx, ITEM_dmYResolution);
  v = f.Get(ITEM_dmYResolution);
  if ((b.Is(DESC_TYPE_PICK_ONE) && v > 0) || b.InRange(v)) {
    f.Mark(DM_YRESOLUTION, true);
  } else if (quality.type != 0) {
    // The y resolution follows the print quality, checked once more.
    KeepOrDefault(f, ITEM_dmPrintQuality, QualityKept(quality, f.Get(ITEM_dmPrintQuality)), m->printQuality,
                  DM_PRINTQUALITY, true);
    f.Set(ITEM_dmYResolution, f.Get(ITEM_dmPrintQuality));
  } else {
    f.Set(ITEM_dmYResolution, m->yResolution);
  }
  b = BindingOf(ctx, ITEM_dmTTOption);
  KeepOrDefault(f, ITEM_dmTTOption, b.Is(DESC_TYPE_PICK_ONE) && f.Get(ITEM_dmTTOption) > 0, m->ttOption, DM_TTOPTION,
                true);
  if (DmCanCollate(ctx)) {
    if ((f.bits & DM_COLLATE) == 0) {
      f.Set(ITEM_dmCollate, ItemGetRaw(ctx, ITEM_kdmFuncSelectSort, NULL) != 0 ? 1 : 0);
      f.Mark(DM_COLLATE, true);
    }
  } else {
    f.Set(ITEM_dmCollate, 0);
    f.Mark(DM_COLLATE, false);
  }
  OPTION_ITEM *form = ItemFindById(ctx, ITEM_dmFormName);
  const BYTE *formText = ItemGetAddress(ctx, form);
  bool formSet = formText != NULL && (formText[0] != 0 || formText[1] != 0);
  if (BindingOf(ctx, ITEM_dmFormName).type != 0 && formSet) {
    f.Mark(DM_FORMNAME, true);
  } else {
    ItemWriteText(ctx, form, m->formName != NULL ? m->formName : u"");
    f.Mark(DM_FORMNAME, false);
  }
  struct {
    WORD id;
    DWORD def;
    DWORD bit;
  } icm[] = {{ITEM_dmICMMethod, m->icmMethod, DM_ICMMETHOD},
             {ITEM_dmICMIntent, m->icmIntent, DM_ICMINTENT},
             {ITEM_dmMediaType, m->mediaType, 0},
             {ITEM_dmDitherType, m->ditherType, DM_DITHERTYPE}};
  for (const auto &c : icm)
    KeepOrDefault(f, c.id, BindingOf(ctx, c.id).Is(DESC_TYPE_PICK_ONE) && f.Get(c.id) != 0, (LONG)c.def, c.bit, false);
  f.Set(ITEM_dmFields, (LONG)f.bits);
}
