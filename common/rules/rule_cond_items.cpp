// Computed condition items: facts that the description's rules need and no single setting
// holds (can the finisher staple or punch the output paper as the trays feed it, does a
// tray hold the job's paper or media, which way does the printed sheet lie). A condition
// that refers to one of items 626-817 reads the answer computed here from the current
// settings; items of the range that compute nothing answer 0.
//
// The inputs are read from the settings on every question (the option row lookup is
// direct, so no per-context cache of rows is kept). Item 738, the resolution check, is 1
// while the page fits the chosen resolution; its answer, the one costly to compute, is kept
// per context while its inputs are unchanged (RuleCondResolutionCheck).
#include "items/item_store.h"
#include "model/model.h"
#include "rules/rule_cond.h"
#include "tables/item_ids.h"

namespace {

LONG Raw(DRIVER_CONTEXT *ctx, WORD id) { return ItemGetRaw(ctx, id, NULL); }
bool On(DRIVER_CONTEXT *ctx, WORD id) { return Raw(ctx, id) != 0; }

// ---- Paper lists (dmPaperSize codes, ended by 0) ----
const SHORT kListA[] = {8, 9, 12, 13, 1, 5, 3, 514, 513, 14, 7, 517, 93, 0};  // also list 1000
const SHORT kListN[] = {9, 11, 13, 5, 1, 6, 514, 513, 14, 7, 93, 0};
const SHORT kListBF[] = {8, 9, 12, 1, 5, 3, 0};
const SHORT kList14[] = {8, 9, 12, 13, 1, 5, 3, 14, 517, 93, 7, 0};
const SHORT kList15[] = {8, 9, 12, 13, 1, 5, 3, 514, 513, 14, 517, 93, 7, 0};
const SHORT kListL[] = {8, 12, 5, 3, 514, 513, 14, 517, 0};

bool InList(const SHORT *list, LONG paper)
{
  for (; *list != 0; ++list)
    if (*list == paper) return true;
  return false;
}

// ---- Finisher groups ----
bool Family2000(DRIVER_CONTEXT *ctx)
{
  return On(ctx, ITEM_kdmOutputOptionTypeFin2000) || On(ctx, ITEM_kdmOutputOptionTypeFin2000NA) ||
         On(ctx, ITEM_kdmOutputOptionTypeFin2000EU) || On(ctx, ITEM_kdmOutputOptionTypeFin2000NE) ||
         On(ctx, ITEM_kdmOutputOptionTypeFin2000NoPunch);
}
bool Family3000(DRIVER_CONTEXT *ctx)
{
  return On(ctx, ITEM_kdmOutputOptionTypeFin3000) || On(ctx, ITEM_kdmOutputOption2TypeFin3000NA2) ||
         On(ctx, ITEM_kdmOutputOption2TypeFin3000EU2) || On(ctx, ITEM_kdmOutputOption2TypeFin3000NA3) ||
         On(ctx, ITEM_kdmOutputOption2TypeFin3000NoPunch);
}
bool GroupA(DRIVER_CONTEXT *ctx) { return Family2000(ctx) || Family3000(ctx); }
bool Group1000(DRIVER_CONTEXT *ctx) { return On(ctx, ITEM_kdmOutputOptionTypeFin1000); }
bool GroupBF(DRIVER_CONTEXT *ctx) { return On(ctx, ITEM_kdmOutputOptionTypeFinBF); }
bool Group14(DRIVER_CONTEXT *ctx) { return On(ctx, ITEM_kdmOutputOptionType14); }
bool Group15(DRIVER_CONTEXT *ctx) { return On(ctx, ITEM_kdmOutputOptionType15); }

// Extended list A: list A, Ledger (11), and Statement (6) with a "2000"-family finisher.
bool InExtendedA(DRIVER_CONTEXT *ctx, LONG paper)
{
  return InList(kListA, paper) || paper == 11 || (paper == 6 && Family2000(ctx));
}

// ---- Trays by source code ----
struct Tray {
  WORD paper;   // item of the paper it holds
  WORD orient;  // item of its orientation bit
  WORD lock;    // item of its lock, 0 = cannot be locked
};
const Tray kTray1 = {ITEM_kdmTray1Paper, ITEM_kdmTrayOrient0, ITEM_kdmTrayLock0};
const Tray kTray2 = {ITEM_kdmTray2Paper, ITEM_kdmTrayOrient1, ITEM_kdmTrayLock1};
const Tray kTray3 = {ITEM_kdmTray3Paper, ITEM_kdmTrayOrient2, ITEM_kdmTrayLock2};
const Tray kTray4 = {ITEM_kdmTray4Paper, ITEM_kdmTrayOrient3, ITEM_kdmTrayLock3};
const Tray kTrayLct = {ITEM_kdmTray26PaperLCT1, ITEM_kdmTrayOrient25, ITEM_kdmTrayLock25};
const Tray kTrayManual = {ITEM_kdmTray28PaperManual, ITEM_kdmTrayOrient27, 0};
const Tray kTrayMulti = {ITEM_kdmTray29PaperMulti, ITEM_kdmTrayOrient28, ITEM_kdmTrayLock28};

bool Unlocked(DRIVER_CONTEXT *ctx, const Tray *t) { return t->lock == 0 || Raw(ctx, t->lock) == 0; }

// The single tray of a source code: code 4 is the manual feed when installed, else the
// multi-purpose tray when installed; NULL for codes without a tray of their own.
const Tray *SingleTray(DRIVER_CONTEXT *ctx, LONG code)
{
  switch (code) {
    case 1: return &kTray1;
    case 3: return &kTray2;
    case 2: return &kTray3;
    case 256: return &kTray4;
    case 11: return &kTrayLct;
    case 4:
      return On(ctx, ITEM_kdmSourceOptionTypeManual)  ? &kTrayManual
             : On(ctx, ITEM_kdmSourceOptionTypeMulti) ? &kTrayMulti
                                                      : NULL;
    default: return NULL;
  }
}

// The trays a source code feeds from: its single tray, or for automatic selection (7) every
// unlocked tray of trays 1-4, the large-capacity tray and the multi-purpose tray.
int TraysOfSource(DRIVER_CONTEXT *ctx, LONG code, const Tray *out[7])
{
  int n = 0;
  if (code == 7) {
    const Tray *fixed[4] = {&kTray1, &kTray2, &kTray3, &kTray4};
    for (const Tray *t : fixed)
      if (Unlocked(ctx, t)) out[n++] = t;
    if (On(ctx, ITEM_kdmSourceOptionTypeLCT1) && Unlocked(ctx, &kTrayLct)) out[n++] = &kTrayLct;
    if (On(ctx, ITEM_kdmSourceOptionTypeMulti) && Unlocked(ctx, &kTrayMulti)) out[n++] = &kTrayMulti;
    return n;
  }
  const Tray *t = SingleTray(ctx, code);
  if (t != NULL) out[n++] = t;
  return n;
}

// Orientation bits (bit 0: a tray holds the paper with orientation bit 0; bit 1: with bit 1)
// of the trays of a source code that hold the paper; 0 when none does.
int PaperOrientations(DRIVER_CONTEXT *ctx, LONG code, LONG paper)
{
  const Tray *trays[7];
  int n = TraysOfSource(ctx, code, trays);
  int bits = 0;
  for (int i = 0; i < n; ++i) {
    if (Raw(ctx, trays[i]->paper) != paper) continue;
    bits |= Raw(ctx, trays[i]->orient) != 0 ? 2 : 1;
  }
  return bits;
}

LONG Selected(DRIVER_CONTEXT *ctx) { return Raw(ctx, ITEM_dmDefaultSource); }

// The whole picture of one question: output paper, sheet orientation, feed orientations.
struct Facts {
  DRIVER_CONTEXT *ctx;
  LONG paper;           // P
  bool sheetLandscape;  // S
  int feed;             // F over the selected source
  bool o0() const { return (feed & 1) != 0; }
  bool o1() const { return (feed & 2) != 0; }
  bool ok(bool a, bool b) const { return (o0() && a) || (o1() && b); }
  bool HeldWithBit(int bit) const { return (feed & (1 << bit)) != 0; }
};

Facts Gather(DRIVER_CONTEXT *ctx)
{
  Facts f;
  f.ctx = ctx;
  f.paper = ItemGetOutputPaperSize(ctx);
  f.sheetLandscape = RuleCondPrintPaperOrient(ctx) == 1;
  f.feed = PaperOrientations(ctx, Selected(ctx), f.paper);
  return f;
}

// Punch types the installed finisher of group A can do.
bool PunchAllowed(DRIVER_CONTEXT *ctx, LONG type)
{
  auto in = [type](LONG lo, LONG hi) { return type >= lo && type <= hi; };
  if (On(ctx, ITEM_kdmOutputOptionTypeFin2000) || On(ctx, ITEM_kdmOutputOptionTypeFin3000) ||
      On(ctx, ITEM_kdmOutputOption2TypeFin3000NA2) || On(ctx, ITEM_kdmOutputOption2TypeFin3000EU2))
    return in(1, 3);
  if (On(ctx, ITEM_kdmOutputOptionTypeFin2000NA)) return in(1, 3) || in(17, 19);
  if (On(ctx, ITEM_kdmOutputOptionTypeFin2000EU)) return in(1, 3) || in(33, 35);
  if (On(ctx, ITEM_kdmOutputOptionTypeFin2000NE)) return in(49, 51);
  if (On(ctx, ITEM_kdmOutputOption2TypeFin3000NA3)) return in(17, 19);
  return false;
}

bool Item629(const Facts &f)
{
  DRIVER_CONTEXT *ctx = f.ctx;
  if (!GroupA(ctx) || On(ctx, ITEM_kdmOutputOptionTypeFin2000NoPunch) ||
      On(ctx, ITEM_kdmOutputOption2TypeFin3000NoPunch) || !InExtendedA(ctx, f.paper) || f.feed == 0)
    return false;
  LONG type = Raw(ctx, ITEM_kdmPunchType);
  if (!PunchAllowed(ctx, type)) return false;
  bool s = f.sheetLandscape;
  bool notN = !InList(kListN, f.paper);
  switch (type) {
    case 1:
    case 49: return f.ok(!s, s);
    case 2:
    case 3:
    case 50:
    case 51: return f.ok(s, !s);
    case 17:
    case 33: return (f.o1() && s) || (f.o0() && !s && notN);
    case 18:
    case 19:
    case 34:
    case 35: return (f.o1() && !s) || (f.o0() && s && notN);
    default: return false;
  }
}

bool Item630(const Facts &f)
{
  if (!GroupA(f.ctx) || !InList(kListA, f.paper) || f.feed == 0) return false;
  bool s = f.sheetLandscape;
  switch (Raw(f.ctx, ITEM_kdmStapleType)) {
    case 1:
    case 2:
    case 34:
    case 66:
    case 67: return f.ok(s, !s);
    case 49:
    case 50: return true;
    case 17:
    case 18:
    case 33:
    case 65: return f.ok(!s, s);
    default: return false;
  }
}

bool Item645(const Facts &f)
{
  if (!Group14(f.ctx) || !InList(kList14, f.paper) || f.feed == 0) return false;
  Facts g = f;
  if (g.paper == 13) g.feed &= 2;  // B5 counts only trays with orientation bit 1
  bool s = f.sheetLandscape;
  switch (Raw(f.ctx, ITEM_kdmStapleType)) {
    case 49: return g.ok(!s, s);
    case 50: return g.ok(s, !s);
    default: return false;
  }
}

bool Item661(const Facts &f)
{
  if (!Group1000(f.ctx) || !InList(kListA, f.paper) || f.feed == 0) return false;
  bool s = f.sheetLandscape;
  LONG type = Raw(f.ctx, ITEM_kdmStapleType);
  return (type == 33 && f.ok(!s, s)) || (type == 34 && f.ok(s, !s));
}

bool Item677(const Facts &f)
{
  if (!Group15(f.ctx) || !InList(kList15, f.paper) || f.feed == 0) return false;
  bool s = f.sheetLandscape;
  switch (Raw(f.ctx, ITEM_kdmStapleType)) {
    case 49:
    case 50: return true;
    case 65: return f.ok(!s, s);
    case 66:
    case 67: return f.ok(s, !s);
    default: return false;
  }
}

bool Item690(const Facts &f) { return GroupBF(f.ctx) && f.paper != 5 && InList(kListL, f.paper) && f.HeldWithBit(0); }
bool Item691(const Facts &f)
{
  return GroupBF(f.ctx) && (f.paper == 1 || f.paper == 9 || f.paper == 13) && f.HeldWithBit(1);
}
bool Item692(const Facts &f)
{
  return GroupBF(f.ctx) && (f.paper == 1 || f.paper == 5 || f.paper == 9) && f.HeldWithBit(0);
}
bool Item693(const Facts &f)
{
  return GroupBF(f.ctx) && f.paper != 5 && (f.paper == 9 || InList(kListL, f.paper)) && f.HeldWithBit(0);
}

bool Item695(const Facts &f)
{
  if (!GroupBF(f.ctx)) return false;
  bool s = f.sheetLandscape;
  switch (Raw(f.ctx, ITEM_kdmStapleType)) {
    case 49:
    case 50: return Item690(f) || Item691(f) || Item692(f);
    case 65: return (Item690(f) && !s) || (Item691(f) && s);
    case 66:
    case 67: return (Item690(f) && s) || (Item691(f) && !s);
    case 68: return Item693(f);
    default: return false;
  }
}

// Items 739-742: the tray named by a job item (cover, mark, back cover, chapter) holds the
// paper and orientation bit of the selected source; automatic selection counts as tray 1.
bool SecondTraySamePaper(DRIVER_CONTEXT *ctx, WORD trayItem)
{
  LONG paper = 0;
  int bit = 0;
  if (!RuleGetTrayPaper(ctx, Raw(ctx, trayItem), &paper, &bit)) return false;
  LONG selected = Selected(ctx);
  if (selected == 7) selected = 1;
  return (PaperOrientations(ctx, selected, paper) & (1 << bit)) != 0;
}

// Trays 1 and 2 carry a media setting; automatic selection asks both unlocked ones.
bool TrayHoldsMedia(DRIVER_CONTEXT *ctx, LONG code, LONG media)
{
  switch (code) {
    case 1: return Raw(ctx, ITEM_kdmTray1Media) == media;
    case 3: return Raw(ctx, ITEM_kdmTray2Media) == media;
    case 7:
      return (Unlocked(ctx, &kTray1) && Raw(ctx, ITEM_kdmTray1Media) == media) ||
             (Unlocked(ctx, &kTray2) && Raw(ctx, ITEM_kdmTray2Media) == media);
    default: return false;
  }
}

}  // namespace

// The sheet is landscape when the orientation is not portrait, except that the N-up layouts
// 1-18 and, with a duplex unit installed and duplex on, the duplex layouts above 16 turn
// the sheet: then a portrait orientation gives a landscape sheet.
int WINAPI RuleCondPrintPaperOrient(DRIVER_CONTEXT *ctx)
{
  LONG orientation = ItemGetRaw(ctx, ITEM_dmOrientation, NULL);
  LONG nupType = ItemGetRaw(ctx, ITEM_kdmNUPType, NULL);
  if (ItemGetRaw(ctx, ITEM_kdmFuncSelectNup, NULL) == 1 && nupType >= 1 && nupType <= 18) return orientation == 1;
  if (ItemGetRaw(ctx, ITEM_kdmSourceOptionTypeDuplex, NULL) == 1 &&
      ItemGetRaw(ctx, ITEM_kdmFuncSelectDuplex, NULL) == 1 && ItemGetRaw(ctx, ITEM_kdmDuplexType, NULL) > 16)
    return orientation == 1;
  return orientation != 1;
}

int WINAPI RuleTrayHoldsPaperOriented(DRIVER_CONTEXT *ctx, LONG code, LONG paper, int bit)
{
  return (PaperOrientations(ctx, code, paper) & (1 << (bit != 0 ? 1 : 0))) != 0;
}

int WINAPI RuleGetFeedOrientations(DRIVER_CONTEXT *ctx, LONG paper)
{
  return PaperOrientations(ctx, Selected(ctx), paper);
}

int WINAPI RuleTrayHoldsPaper(DRIVER_CONTEXT *ctx, LONG code, LONG paper)
{
  return PaperOrientations(ctx, code, paper) != 0;
}

int WINAPI RuleGetTrayPaper(DRIVER_CONTEXT *ctx, LONG code, LONG *paper, int *bit)
{
  const Tray *tray = ctx != NULL ? SingleTray(ctx, code) : NULL;
  if (tray == NULL) return 0;
  if (paper != NULL) *paper = Raw(ctx, tray->paper);
  if (bit != NULL) *bit = Raw(ctx, tray->orient) != 0 ? 1 : 0;
  return 1;
}

int WINAPI RuleTrayHoldsMedia(DRIVER_CONTEXT *ctx, LONG code, LONG media)
{
  return TrayHoldsMedia(ctx, code, media) ? 1 : 0;
}

// 0 nothing demanded, 1 portrait feed, 2 landscape feed, 3 either.
int WINAPI RuleGetFeedDirection(DRIVER_CONTEXT *ctx)
{
  LONG paper = ItemGetOutputPaperSize(ctx);
  bool s = RuleCondPrintPaperOrient(ctx) == 1;
  int turned = s ? 2 : 1;  // "2 when S, else 1"
  int straight = s ? 1 : 2;
  bool stapleOff = Raw(ctx, ITEM_kdmFuncSelectStaple) == 0;
  LONG staple = Raw(ctx, ITEM_kdmStapleType);
  if (GroupA(ctx)) {
    if (!InExtendedA(ctx, paper)) return 0;
    if (!On(ctx, ITEM_kdmOutputOptionTypeFin2000NoPunch) && !On(ctx, ITEM_kdmOutputOption2TypeFin3000NoPunch) &&
        On(ctx, ITEM_kdmFuncSelectPunch)) {
      switch (Raw(ctx, ITEM_kdmPunchType)) {
        case 1:
        case 17:
        case 33:
        case 49: return turned;
        case 2:
        case 3:
        case 18:
        case 19:
        case 34:
        case 35:
        case 50:
        case 51: return straight;
        default: break;
      }
    }
    if (stapleOff) return 3;
    switch (staple) {
      case 33:
      case 65: return turned;
      case 34:
      case 66:
      case 67: return straight;
      case 49:
      case 50: return 3;
      default: return 0;
    }
  }
  if (Group1000(ctx)) {
    if (!InList(kListA, paper)) return 0;
    if (stapleOff) return 3;
    return staple == 33 ? turned : staple == 34 ? straight : 0;
  }
  if (GroupBF(ctx)) {
    if (!InList(kListBF, paper)) return 0;
    if (stapleOff) return 3;
    switch (staple) {
      case 33:
      case 34:
      case 49:
      case 50: return 3;
      case 65: return turned;
      case 66:
      case 67: return straight;
      case 68: return 1;
      default: return 0;
    }
  }
  if (Group14(ctx)) {
    if (!InList(kList14, paper)) return 0;
    if (stapleOff) return 3;
    return staple == 49 ? turned : staple == 50 ? straight : 0;
  }
  if (Group15(ctx)) {
    if (!InList(kList15, paper)) return 0;
    if (stapleOff) return 3;
    switch (staple) {
      case 49:
      case 50: return 3;
      case 65: return turned;
      case 66:
      case 67: return straight;
      default: return 0;
    }
  }
  return 0;
}

LONG WINAPI RuleGetComputedCondition(DRIVER_CONTEXT *ctx, WORD itemId)
{
  if (ctx == NULL || itemId < KV_COMPUTED_COND_FIRST || itemId > KV_COMPUTED_COND_LAST) return 0;
  const Facts f = Gather(ctx);
  const LONG p = f.paper;
  bool answer = false;
  switch (itemId) {
    case ITEM_work_0_bit0: answer = GroupA(ctx) && InExtendedA(ctx, p) && f.HeldWithBit(0); break;
    case ITEM_work_0_bit1: answer = GroupA(ctx) && InExtendedA(ctx, p) && !InList(kListL, p) && f.HeldWithBit(1); break;
    case ITEM_work_0_bit2: answer = InList(kListA, p); break;
    case ITEM_work_0_bit3: answer = Item629(f); break;
    case ITEM_work_0_bit4: answer = Item630(f); break;
    case ITEM_work_0_bit5: answer = InExtendedA(ctx, p); break;
    case ITEM_work_0_bit6: answer = !InList(kListN, p); break;
    case ITEM_work_0_bit16:
      answer = Group14(ctx) && p != 7 && p != 13 && p != 93 && InList(kList14, p) && f.HeldWithBit(0);
      break;
    case ITEM_work_0_bit17: {
      bool excluded = ctx->model != NULL && ctx->model->machineId == 131 && p == 7;
      answer = Group14(ctx) && !excluded && InList(kList14, p) && !InList(kListL, p) && f.HeldWithBit(1);
      break;
    }
    case ITEM_work_0_bit18: answer = InList(kList14, p); break;
    case ITEM_work_0_bit19: answer = Item645(f); break;
    case ITEM_work_4_bit0: answer = Group1000(ctx) && InList(kListA, p) && f.HeldWithBit(0); break;
    case ITEM_work_4_bit1:
      answer = Group1000(ctx) && InList(kListA, p) && !InList(kListL, p) && f.HeldWithBit(1);
      break;
    case ITEM_work_4_bit2: answer = InList(kListA, p); break;
    case ITEM_work_4_bit3: answer = Item661(f); break;
    case ITEM_work_4_bit16: answer = Group15(ctx) && InList(kList15, p) && f.HeldWithBit(0); break;
    case ITEM_work_4_bit17:
      answer = Group15(ctx) && InList(kList15, p) && !InList(kListL, p) && f.HeldWithBit(1);
      break;
    case ITEM_work_4_bit18: answer = InList(kList15, p); break;
    case ITEM_work_4_bit19: answer = Item677(f); break;
    case ITEM_work_8_bit0: answer = Item690(f); break;
    case ITEM_work_8_bit1: answer = Item691(f); break;
    case ITEM_work_8_bit2: answer = Item692(f); break;
    case ITEM_work_8_bit3: answer = Item693(f); break;
    case ITEM_work_8_bit4: answer = InList(kListBF, p) || (p == 13 && f.HeldWithBit(1)); break;
    case ITEM_work_8_bit5: answer = Item695(f); break;
    case ITEM_KPD_PrintPaperOrient: answer = f.sheetLandscape; break;
    case ITEM_KPD_SameSizeAuto: answer = RuleTrayHoldsPaper(ctx, 7, p) != 0; break;
    case ITEM_KPD_SameSizeTray1: answer = RuleTrayHoldsPaper(ctx, 1, p) != 0; break;
    case ITEM_KPD_SameSizeTray2: answer = RuleTrayHoldsPaper(ctx, 3, p) != 0; break;
    case ITEM_work_12_bit4: answer = RuleTrayHoldsPaper(ctx, 2, p) != 0; break;
    case ITEM_work_12_bit5: answer = RuleTrayHoldsPaper(ctx, 256, p) != 0; break;
    case ITEM_work_12_bit6: answer = RuleTrayHoldsPaper(ctx, 11, p) != 0; break;
    case ITEM_KPD_SameSizeManual: answer = RuleTrayHoldsPaper(ctx, 4, p) != 0; break;
    case ITEM_KPD_ForceFeedPort: answer = RuleGetFeedDirection(ctx) == 1; break;
    case ITEM_KPD_ForceFeedLand: answer = RuleGetFeedDirection(ctx) == 2; break;
    case ITEM_KPD_SamePaperCoverSrcTray: answer = SecondTraySamePaper(ctx, ITEM_kdmCoverInputTray); break;
    case ITEM_KPD_SamePaperMarkSrcTray: answer = SecondTraySamePaper(ctx, ITEM_kdmMPInputTray); break;
    case ITEM_work_12_bit19: answer = SecondTraySamePaper(ctx, ITEM_kdmBackCoverInputTray); break;
    case ITEM_work_12_bit20: answer = SecondTraySamePaper(ctx, ITEM_wdmChapterTray); break;
    case ITEM_KPD_A4FitCondition: answer = ItemNeedsRegionalPaperFit(ctx) != 0; break;
    case ITEM_KPD_SameMediaTray1: answer = TrayHoldsMedia(ctx, 1, Raw(ctx, ITEM_kdmMediaType)); break;
    case ITEM_KPD_SameMediaTray2: answer = TrayHoldsMedia(ctx, 3, Raw(ctx, ITEM_kdmMediaType)); break;
    case ITEM_KPD_ResolutionOverCheck: answer = RuleCondResolutionCheck(ctx) != 0; break;
    default: answer = false; break;
  }
  return answer ? 1 : 0;
}
