// The merge of incoming DEVMODEs into the sample printer's context: the public fields one by
// one, the classes of the private part (accepted, upgraded, discarded), foreign, short, huge
// and lying images, the state that never comes from outside, and the quality-set path the
// user print macro reads.
#include <gtest/gtest.h>
#include <string.h>

#include <vector>

#include "devmode/devmode_layout.h"
#include "devmode/dm_merge.h"
#include "devmode_images.h"
#include "files/file_helpers.h"
#include "files/ini.h"
#include "items/item_store.h"
#include "kvplat/control.h"
#include "model/state_items.h"
#include "names/names_paths.h"
#include "rules/rule_caps.h"
#include "sample_context.h"
#include "store/settings_files.h"
#include "store/stored_lists.h"
#include "tables/item_ids.h"

namespace {

constexpr DWORD kDeviceSheet = KV_MERGE_FLAGS_DEVICE_SHEET;

class MergeTest : public SampleContextTest {
 protected:
  void SetUp() override
  {
    SampleContextTest::SetUp();
    if (HasFatalFailure()) return;
    // Settle the context once so each case starts from a merged, legal state.
    ASSERT_EQ(1, DmMergeIncoming(ctx_, nullptr, kDeviceSheet));
  }
  BYTE *Dm() { return ctx_->work; }
  DEVMODEW *Pub() { return reinterpret_cast<DEVMODEW *>(ctx_->work); }
  // An application's DEVMODE: the context's own, as the driver handed it out.
  std::vector<BYTE> Own() { return std::vector<BYTE>(ctx_->work, ctx_->work + KV_DM_TOTAL_SIZE); }
  static DEVMODEW *P(std::vector<BYTE> &dm) { return reinterpret_cast<DEVMODEW *>(dm.data()); }
  LONG Raw(WORD id) { return ItemGetRaw(ctx_, id, nullptr); }
  int Merge(const std::vector<BYTE> &dm, DWORD flags = kDeviceSheet) { return DmMergeIncoming(ctx_, dm.data(), flags); }
};

TEST_F(MergeTest, OnlyCallersWithAnIncomingBufferOrDocumentPropertiesMerge)
{
  std::vector<BYTE> before = Own();
  ctx_->state->mergeFlags = 0x77;
  std::vector<BYTE> in = Own();
  P(in)->dmCopies = 7;
  P(in)->dmFields = DM_COPIES;
  EXPECT_EQ(1, Merge(in, KV_MERGE_OUT_BUFFER | KV_MERGE_IN_PROMPT));
  EXPECT_EQ(0x77u, ctx_->state->mergeFlags);
  EXPECT_EQ(0, memcmp(before.data(), Dm(), KV_DM_TOTAL_SIZE));

  EXPECT_EQ(1, Merge(in, KV_MERGE_FLAGS_DOCPROPS(KV_MERGE_IN_PROMPT)));
  EXPECT_EQ(KV_MERGE_FLAGS_DOCPROPS(KV_MERGE_IN_PROMPT), ctx_->state->mergeFlags);
  EXPECT_EQ(7, Pub()->dmCopies);
  EXPECT_EQ(1, Raw(ITEM_wdmCtrlWorkPrompt));
  EXPECT_EQ(1, Merge(in, KV_MERGE_FLAGS_CONVERT));
  EXPECT_EQ(0, Raw(ITEM_wdmCtrlWorkPrompt));
}

TEST_F(MergeTest, WithoutAWorkingCopyOnlyTheFlagsAndThePromptItemAreSet)
{
  std::vector<BYTE> before = Own();
  std::vector<BYTE> in = Own();
  P(in)->dmCopies = 7;
  P(in)->dmFields = DM_COPIES;
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(0, Merge(in, KV_MERGE_FLAGS_DOCPROPS(KV_MERGE_IN_BUFFER | KV_MERGE_IN_PROMPT)));
  PlatFaultDisarmAll();
  EXPECT_EQ(KV_MERGE_FLAGS_DOCPROPS(KV_MERGE_IN_BUFFER | KV_MERGE_IN_PROMPT), ctx_->state->mergeFlags);
  EXPECT_EQ(1, Raw(ITEM_wdmCtrlWorkPrompt));
  EXPECT_EQ(0, memcmp(before.data(), Dm(), KV_DM_TOTAL_SIZE));
}

TEST_F(MergeTest, NullIncomingRevalidatesTheContextsOwnFields)
{
  Pub()->dmScale = 0;
  Pub()->dmCopies = 1000;
  Pub()->dmFields |= DM_SCALE | DM_COPIES;
  EXPECT_EQ(1, DmMergeIncoming(ctx_, nullptr, KV_MERGE_FLAGS_CONVERT));
  EXPECT_EQ(100, Pub()->dmScale);
  EXPECT_EQ(1, Pub()->dmCopies);
  EXPECT_EQ(0u, Pub()->dmFields & DM_SCALE);
  EXPECT_EQ(Pub()->dmPrintQuality, Pub()->dmYResolution);
}

// One public field of an application's DEVMODE and what the context's DEVMODE holds after.
struct PublicCase {
  const char *what;
  DWORD fields;
  void (*set)(DEVMODEW *);
  bool (*check)(const DEVMODEW *);
};

TEST_F(MergeTest, PublicFieldsAreCheckedAndFallBackOneByOne)
{
  const PublicCase cases[] = {
      {"scale inside the description's range", DM_SCALE, [](DEVMODEW *d) { d->dmScale = 25; },
       [](const DEVMODEW *d) { return d->dmScale == 25 && !(d->dmFields & DM_SCALE); }},
      {"scale 0", DM_SCALE, [](DEVMODEW *d) { d->dmScale = 0; }, [](const DEVMODEW *d) { return d->dmScale == 100; }},
      {"scale 1001", DM_SCALE, [](DEVMODEW *d) { d->dmScale = 1001; },
       [](const DEVMODEW *d) { return d->dmScale == 100 && !(d->dmFields & DM_SCALE); }},
      {"copies 1000", DM_COPIES, [](DEVMODEW *d) { d->dmCopies = 1000; },
       [](const DEVMODEW *d) { return d->dmCopies == 1 && (d->dmFields & DM_COPIES); }},
      {"copies 12", DM_COPIES, [](DEVMODEW *d) { d->dmCopies = 12; },
       [](const DEVMODEW *d) { return d->dmCopies == 12; }},
      {"landscape", DM_ORIENTATION, [](DEVMODEW *d) { d->dmOrientation = DMORIENT_LANDSCAPE; },
       [](const DEVMODEW *d) { return d->dmOrientation == DMORIENT_LANDSCAPE; }},
      {"orientation 9", DM_ORIENTATION, [](DEVMODEW *d) { d->dmOrientation = 9; },
       [](const DEVMODEW *d) { return d->dmOrientation == DMORIENT_PORTRAIT; }},
      {"colour 7", DM_COLOR, [](DEVMODEW *d) { d->dmColor = 7; },
       [](const DEVMODEW *d) { return d->dmColor == CtxGetTemplate()->model->color && (d->dmFields & DM_COLOR); }},
      {"duplex 9", DM_DUPLEX, [](DEVMODEW *d) { d->dmDuplex = 9; },
       [](const DEVMODEW *d) { return d->dmDuplex == CtxGetTemplate()->model->duplex; }},
      {"TrueType option 0: default, bit unchanged", DM_TTOPTION, [](DEVMODEW *d) { d->dmTTOption = 0; },
       [](const DEVMODEW *d) { return d->dmTTOption == CtxGetTemplate()->model->ttOption; }},
      {"print quality DMRES_HIGH", DM_PRINTQUALITY, [](DEVMODEW *d) { d->dmPrintQuality = DMRES_HIGH; },
       [](const DEVMODEW *d) { return d->dmPrintQuality == 600 && d->dmYResolution == 600; }},
      {"print quality 1200", DM_PRINTQUALITY, [](DEVMODEW *d) { d->dmPrintQuality = 1200; },
       [](const DEVMODEW *d) { return d->dmPrintQuality == 1200 && d->dmYResolution == 1200; }},
      {"A4", DM_PAPERSIZE, [](DEVMODEW *d) { d->dmPaperSize = DMPAPER_A4; },
       [](const DEVMODEW *d) {
         return d->dmPaperSize == DMPAPER_A4 && (d->dmFields & DM_PAPERSIZE) &&
                !(d->dmFields & (DM_PAPERLENGTH | DM_PAPERWIDTH)) && d->dmPaperWidth == 2100 &&
                d->dmPaperLength == 2970;
       }},
      {"landscape only: the standard paper's dimensions follow", DM_ORIENTATION,
       [](DEVMODEW *d) { d->dmOrientation = DMORIENT_LANDSCAPE; },
       [](const DEVMODEW *d) {
         return d->dmPaperSize == DMPAPER_A4 && d->dmPaperWidth == 2970 && d->dmPaperLength == 2100;
       }},
      {"paper 9999", DM_PAPERSIZE, [](DEVMODEW *d) { d->dmPaperSize = 9999; },
       [](const DEVMODEW *d) { return d->dmPaperSize != 9999 && d->dmPaperSize > 0 && (d->dmFields & DM_PAPERSIZE); }},
      {"form name with paper size: only the paper case runs", DM_PAPERSIZE | DM_FORMNAME,
       [](DEVMODEW *d) {
         d->dmPaperSize = DMPAPER_A4;
         memcpy(d->dmFormName, u"Other", 12);
       },
       [](const DEVMODEW *d) { return d->dmFormName[0] != u'O'; }},
  };
  std::vector<BYTE> base = Own();
  for (const PublicCase &c : cases) {
    SCOPED_TRACE(c.what);
    memcpy(Dm(), base.data(), base.size());
    std::vector<BYTE> in = base;
    P(in)->dmFields = c.fields;
    c.set(P(in));
    ASSERT_EQ(1, Merge(in));
    EXPECT_TRUE(c.check(Pub())) << "quality " << Pub()->dmPrintQuality << " paper " << Pub()->dmPaperSize << " "
                                << Pub()->dmPaperWidth << "x" << Pub()->dmPaperLength;
  }
}

// Whatever print quality arrives, the resolution items agree after the merge: dmPrintQuality,
// dmYResolution, the device resolution (items 38 and 39), the resolution code (item 152) and
// the paper items computed at that resolution. The sample offers 600 and 1200 dpi; for a
// quality it does not offer, the model hook proposes 300 on plain paper, which the printer
// cannot print either, so the quality ends at the description's default, 600.
TEST_F(MergeTest, ResolutionItemsAgreeWhateverQualityArrives)
{
  struct Case {
    SHORT quality, expected;
  } cases[] = {
      {0, 600},         {300, 600},          {333, 600},        {601, 600}, {DMRES_DRAFT, 600},
      {DMRES_LOW, 600}, {DMRES_MEDIUM, 600}, {DMRES_HIGH, 600}, {600, 600}, {1200, 1200},
  };
  std::vector<BYTE> base = Own();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.quality);
    memcpy(Dm(), base.data(), base.size());
    // A custom page of 210 x 297 mm: its dot counts follow the resolution.
    std::vector<BYTE> in = base;
    P(in)->dmFields = DM_PRINTQUALITY | DM_PAPERLENGTH | DM_PAPERWIDTH;
    P(in)->dmPrintQuality = c.quality;
    P(in)->dmPaperSize = DMPAPER_USER;
    P(in)->dmPaperWidth = 2100;
    P(in)->dmPaperLength = 2970;
    ASSERT_EQ(1, Merge(in));
    EXPECT_EQ(c.expected, Pub()->dmPrintQuality);
    EXPECT_EQ(c.expected, Pub()->dmYResolution);
    EXPECT_EQ(c.expected, Raw(ITEM_kdmDstResolutionW));
    EXPECT_EQ(c.expected, Raw(ITEM_kdmDstResolutionH));
    const RESOLUTION_ROW *code = CapFindResolutionRow((WORD)Raw(ITEM_kdmDstResolutionBoth));
    ASSERT_NE(nullptr, code) << "item 152 holds " << Raw(ITEM_kdmDstResolutionBoth);
    EXPECT_EQ((DWORD)c.expected, (DWORD)code->xDpi);
    EXPECT_EQ((LONG)DmUnitsToDots(1, 2970, (DWORD)c.expected), Raw(ITEM_kdmSrcPaperLengthDot));
    EXPECT_EQ((LONG)DmUnitsToDots(1, 2100, (DWORD)c.expected), Raw(ITEM_kdmSrcPaperWidthDot));
    EXPECT_EQ(Raw(ITEM_kdmSrcPaperLengthDot), Raw(ITEM_kdmDstPaperLengthDot));
    EXPECT_EQ(Raw(ITEM_kdmSrcPaperWidthDot), Raw(ITEM_kdmDstPaperWidthDot));
  }
}

TEST_F(MergeTest, UserPaperBecomesACustomSizeInDots)
{
  std::vector<BYTE> in = Own();
  P(in)->dmFields = DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH;
  P(in)->dmPaperSize = DMPAPER_USER;
  P(in)->dmPaperWidth = 1000;   // 100 mm
  P(in)->dmPaperLength = 1500;  // 150 mm
  ASSERT_EQ(1, Merge(in));
  EXPECT_EQ(DM_PAPERLENGTH | DM_PAPERWIDTH, Pub()->dmFields & (DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH));
  EXPECT_EQ(DMPAPER_USER, Pub()->dmPaperSize);
  EXPECT_EQ((LONG)DmUnitsToDots(1, 1000, 1200), Raw(ITEM_kdmPaperFreeSizeWidth));
  EXPECT_EQ((LONG)DmUnitsToDots(1, 1500, 1200), Raw(ITEM_kdmPaperFreeSizeLength));
}

// A custom-size slot paper takes its slot's size, unless short-edge overflow (item 85) is on.
TEST_F(MergeTest, SlotPaperTakesItsSlotsSize)
{
  const SHORT paper = 384;  // user size 1
  std::vector<BYTE> base = Own();
  for (LONG shortOver : {0, 1}) {
    SCOPED_TRACE(shortOver);
    memcpy(Dm(), base.data(), base.size());
    ItemSetRaw(ctx_, ITEM_kdmFuncSelectFreeShortOver, shortOver);
    // A stored user size of 100 x 150 mm in the slot.
    ASSERT_EQ(1, ListLoadAllFreeSizes(ctx_));
    FREE_SIZE_SLOT &slot = ctx_->state->freeSizeSlots[ListPaperIdToSlot(paper, ctx_)];
    slot.width = (LONG)DmUnitsToDots(1, 1000, 1200);
    slot.length = (LONG)DmUnitsToDots(1, 1500, 1200);
    std::vector<BYTE> in = Own();
    P(in)->dmFields = DM_PAPERSIZE;
    P(in)->dmPaperSize = paper;
    DmMergePublicFields(Pub(), P(in), ctx_);
    EXPECT_EQ(paper, Pub()->dmPaperSize);
    EXPECT_NE(0u, Pub()->dmFields & DM_PAPERSIZE);
    DWORD dims = Pub()->dmFields & (DM_PAPERLENGTH | DM_PAPERWIDTH);
    if (shortOver) {
      EXPECT_EQ(0u, dims);
    } else {
      EXPECT_EQ(DM_PAPERLENGTH | DM_PAPERWIDTH, dims);
      EXPECT_EQ(1000, Pub()->dmPaperWidth);
      EXPECT_EQ(1500, Pub()->dmPaperLength);
    }
  }
}

TEST_F(MergeTest, FormNameFollowsTheTwoNames)
{
  struct Case {
    const char16_t *source, *target;
    bool copied;
  } cases[] = {{u"", u"A4", false}, {u"Letter", u"", false}, {u"Letter", u"A4", true}};
  std::vector<BYTE> base = Own();
  for (const Case &c : cases) {
    memcpy(Dm(), base.data(), base.size());
    memset(Pub()->dmFormName, 0, sizeof Pub()->dmFormName);
    memcpy(Pub()->dmFormName, c.target, (lstrlenW(c.target) + 1) * 2);
    std::vector<BYTE> in = Own();
    P(in)->dmFields = DM_FORMNAME;
    memset(P(in)->dmFormName, 0, sizeof P(in)->dmFormName);
    memcpy(P(in)->dmFormName, c.source, (lstrlenW(c.source) + 1) * 2);
    ASSERT_EQ(1, Merge(in));
    EXPECT_EQ(c.copied, (Pub()->dmFields & DM_FORMNAME) != 0);
    EXPECT_EQ(c.copied ? 0 : 1, c.copied ? lstrcmpW(Pub()->dmFormName, c.source) : (Pub()->dmFormName[0] == 0));
  }
}

TEST(DuplexBinding, TypesFollowTheWantedEdge)
{
  struct Case {
    int top;
    LONG before, after;
  } cases[] = {
      {1, 19, 17}, {1, 18, 17}, {1, 21, 20}, {1, 22, 20}, {1, 17, 17}, {1, 20, 20}, {1, 1, 1}, {1, 3, 1},  {1, 0, 1},
      {0, 17, 19}, {0, 20, 22}, {0, 2, 2},   {0, 3, 3},   {0, 18, 18}, {0, 21, 21}, {0, 1, 3}, {0, 99, 3},
  };
  for (const Case &c : cases) EXPECT_EQ(c.after, DmDuplexTypeForBinding(c.top, c.before)) << c.top << " " << c.before;
}

// The private part's marker: the task-weave word, which no check or rule rewrites.
constexpr DWORD kOwnWeave = 0x11111111, kIncomingWeave = 0x2A2A2A2A;

struct ClassCase {
  const char *what;
  void (*shape)(std::vector<BYTE> &);
  bool privateTaken;
  int versionDelta;  // the context's private version afterwards, against the driver's
};

TEST_F(MergeTest, PrivatePartIsAcceptedUpgradedOrDiscardedByItsClass)
{
  const DWORD version = CtxGetTemplate()->model->privVersion;  // 314
  static DWORD s_version;
  s_version = version;
  const ClassCase cases[] = {
      {"current format", [](std::vector<BYTE> &) {}, true, 0},
      // Taken unchanged: the version stays the incoming one.
      {"newer minor", [](std::vector<BYTE> &d) { SetDword(d, KV_DM_PRIV_VERSION, s_version + 5); }, true, 5},
      {"newer major", [](std::vector<BYTE> &d) { SetDword(d, KV_DM_PRIV_VERSION, s_version + 100); }, true, 100},
      // Upgraded: stamped with the driver's version.
      {"older minor", [](std::vector<BYTE> &d) { SetDword(d, KV_DM_PRIV_VERSION, s_version - 4); }, true, 0},
      {"older major", [](std::vector<BYTE> &d) { SetDword(d, KV_DM_PRIV_VERSION, s_version - 100); }, false, 0},
      {"another model", [](std::vector<BYTE> &d) { SetDword(d, KV_DM_PRIV_SIGNATURE, 0x12345678); }, false, 0},
      {"another machine", [](std::vector<BYTE> &d) { d[KV_DM_MACHINE_ID] ^= 0xFF; }, false, 0},
      {"foreign driver version", [](std::vector<BYTE> &d) { SetWord(d, offsetof(DEVMODEW, dmDriverVersion), 0x0123); },
       false, 0},
      {"foreign private size", [](std::vector<BYTE> &d) { SetWord(d, offsetof(DEVMODEW, dmDriverExtra), 1000); }, false,
       0},
      {"public only", [](std::vector<BYTE> &d) { SetWord(d, offsetof(DEVMODEW, dmDriverExtra), 0); }, false, 0},
  };
  std::vector<BYTE> base = Own();
  for (const ClassCase &c : cases) {
    SCOPED_TRACE(c.what);
    memcpy(Dm(), base.data(), base.size());
    SetDword(base, KV_DM_TASK_WEAVE, 0);
    DmWriteLe32(Dm() + KV_DM_TASK_WEAVE, kOwnWeave);
    std::vector<BYTE> in = base;
    DmWriteLe32(in.data() + KV_DM_TASK_WEAVE, kIncomingWeave);
    P(in)->dmCopies = 3;
    P(in)->dmFields = DM_COPIES;
    c.shape(in);
    ASSERT_EQ(1, Merge(in));
    EXPECT_EQ(c.privateTaken ? kIncomingWeave : kOwnWeave, DmReadLe32(Dm() + KV_DM_TASK_WEAVE));
    EXPECT_EQ(version + c.versionDelta, DmGetPrivVersion(Dm()));
    EXPECT_EQ(3, Pub()->dmCopies);  // the public part is merged in every class
  }
}

TEST_F(MergeTest, ShortHugeAndLyingImagesAreReadOnlyAsFarAsTheyClaim)
{
  std::vector<BYTE> base = Own();
  DmWriteLe32(Dm() + KV_DM_TASK_WEAVE, kOwnWeave);
  base = Own();

  // An NT 3.51 DEVMODE (188 bytes) is refused whole: nothing of it is merged.
  std::vector<BYTE> nt351(188 + KV_DM_PRIVATE_SIZE, 0);
  memcpy(nt351.data(), base.data(), 188);
  SetPublicHeader(nt351, 0x320, P(base)->dmDriverVersion, 188, KV_DM_PRIVATE_SIZE);
  reinterpret_cast<DEVMODEW *>(nt351.data())->dmFields = DM_COPIES;
  reinterpret_cast<DEVMODEW *>(nt351.data())->dmCopies = 9;
  SHORT copies = Pub()->dmCopies;
  ASSERT_EQ(1, Merge(nt351));
  EXPECT_EQ(copies, Pub()->dmCopies);

  // A 212-byte public part (Windows 95/NT 4 size) with its private part behind it.
  std::vector<BYTE> w95(212 + KV_DM_PRIVATE_SIZE, 0);
  memcpy(w95.data(), base.data(), 212);
  memcpy(w95.data() + 212, base.data() + 220, KV_DM_PRIVATE_SIZE);
  SetPublicHeader(w95, 0x400, P(base)->dmDriverVersion, 212, KV_DM_PRIVATE_SIZE);
  DmWriteLe32(w95.data() + 212 + (KV_DM_TASK_WEAVE - 220), kIncomingWeave);
  reinterpret_cast<DEVMODEW *>(w95.data())->dmFields = DM_COPIES;
  reinterpret_cast<DEVMODEW *>(w95.data())->dmCopies = 4;
  ASSERT_EQ(1, Merge(w95));
  EXPECT_EQ(4, Pub()->dmCopies);
  EXPECT_EQ(kIncomingWeave, DmReadLe32(Dm() + KV_DM_TASK_WEAVE));

  // A huge public part (a later DEVMODE version): the private part is read behind it.
  DmWriteLe32(Dm() + KV_DM_TASK_WEAVE, kOwnWeave);
  std::vector<BYTE> huge(400 + KV_DM_PRIVATE_SIZE, 0);
  memcpy(huge.data(), base.data(), 220);
  memcpy(huge.data() + 400, base.data() + 220, KV_DM_PRIVATE_SIZE);
  SetPublicHeader(huge, 0x500, P(base)->dmDriverVersion, 400, KV_DM_PRIVATE_SIZE);
  DmWriteLe32(huge.data() + 400 + (KV_DM_TASK_WEAVE - 220), kIncomingWeave);
  reinterpret_cast<DEVMODEW *>(huge.data())->dmFields = DM_COPIES;
  reinterpret_cast<DEVMODEW *>(huge.data())->dmCopies = 5;
  ASSERT_EQ(1, Merge(huge));
  EXPECT_EQ(5, Pub()->dmCopies);
  EXPECT_EQ(kIncomingWeave, DmReadLe32(Dm() + KV_DM_TASK_WEAVE));

  // Lying sizes: a private size that is not the driver's is never read (the image is only
  // as long as its public part), nor is a public size shorter than the header words.
  DmWriteLe32(Dm() + KV_DM_TASK_WEAVE, kOwnWeave);
  std::vector<BYTE> liar(base.begin(), base.begin() + 220);
  SetWord(liar, offsetof(DEVMODEW, dmDriverExtra), 60000);
  P(liar)->dmFields = DM_COPIES;
  P(liar)->dmCopies = 6;
  ASSERT_EQ(1, Merge(liar));
  EXPECT_EQ(6, Pub()->dmCopies);
  EXPECT_EQ(kOwnWeave, DmReadLe32(Dm() + KV_DM_TASK_WEAVE));
  std::vector<BYTE> tiny(base.begin(), base.begin() + 72);
  SetWord(tiny, offsetof(DEVMODEW, dmSize), 40);
  SetWord(tiny, offsetof(DEVMODEW, dmDriverExtra), 0);
  ASSERT_EQ(1, Merge(tiny));
  EXPECT_EQ(6, Pub()->dmCopies);
}

// A crafted DEVMODE of this driver's format claiming administrator rights and another
// environment: the context's per-call state survives in every class. An older minor version
// is upgraded, and its private part still never supplies that state (the text this was
// built from let the upgraded part replace it).
TEST_F(MergeTest, CraftedStateNeverComesFromAnApplication)
{
  const DWORD version = CtxGetTemplate()->model->privVersion;
  const DWORD versions[] = {version, version - 4, version - 100};
  for (DWORD v : versions) {
    SCOPED_TRACE(v);
    CtxSetAdmin(ctx_, 0);
    CtxSetNoPermission(ctx_, 1);
    CtxSetTSE(ctx_, 0);
    CtxSetCallSrc(ctx_, 1);
    CtxSetOSKind(ctx_, 2);
    CtxSetBatchInst(ctx_, 0);
    CtxSetPrintLog(ctx_, 1);
    CtxSetBiDirect(ctx_, 0);
    CtxSetServerClientMode(ctx_, 0);
    CtxSetPropertyType(ctx_, 1);
    CtxSetBidiFunc(ctx_, 0);
    std::vector<BYTE> in = Own();
    SetDword(in, KV_DM_PRIV_VERSION, v);
    for (DWORD i = 0; i < KV_DM_STATE_SIZE; ++i) in[KV_DM_STATE_FIRST + i] = 0xFF;
    ASSERT_EQ(1, Merge(in));
    EXPECT_EQ(0, CtxGetAdmin(ctx_));
    EXPECT_EQ(1, CtxGetNoPermission(ctx_));
    EXPECT_EQ(0, CtxGetTSE(ctx_));
    EXPECT_EQ(1, CtxGetCallSrc(ctx_));
    EXPECT_EQ(2, CtxGetOSKind(ctx_));
    EXPECT_EQ(0, CtxGetBatchInst(ctx_));
    EXPECT_EQ(1, CtxGetPrintLog(ctx_));
    EXPECT_EQ(0, CtxGetBiDirect(ctx_));
    EXPECT_EQ(1, CtxGetPropertyType(ctx_));
    EXPECT_EQ(0, CtxGetBidiFunc(ctx_));
    EXPECT_EQ(version, DmGetPrivVersion(Dm()));
  }
}

TEST(KeptState, FrontFunctionKeepsItsLowByteAndEachJobBitIsRestoredOnItsOwn)
{
  struct Case {
    DWORD ownFront, ownSupport, inFront, inSupport, front, support;
  } cases[] = {
      {0x00ABCD5A, 0x2, 0xFFFFFFFF, 0xFFFFFFFD, 0x5A, 0xFFFFFFFE},
      {0x1, 0x1, 0x0, 0x2, 0x1, 0x1},
      {0x0, 0x0, 0x80, 0xF3, 0x0, 0xF0},
  };
  for (const Case &c : cases) {
    std::vector<BYTE> own = GoodDevmode(), in = GoodDevmode();
    SetDword(own, KV_DM_FRONT_FUNC, c.ownFront);
    SetDword(own, KV_DM_SUPPORT_FUNC2, c.ownSupport);
    own[KV_DM_STATE_FIRST + 15] = 0;  // administrator: no
    SetDword(in, KV_DM_FRONT_FUNC, c.inFront);
    SetDword(in, KV_DM_SUPPORT_FUNC2, c.inSupport);
    for (DWORD i = 0; i < KV_DM_STATE_SIZE; ++i) in[KV_DM_STATE_FIRST + i] = 0xFF;
    DM_KEPT_STATE kept;
    DmSaveKeptState(own.data(), &kept);
    DmRestoreKeptState(in.data(), &kept);
    EXPECT_EQ(c.front, GetDword(in, KV_DM_FRONT_FUNC));
    EXPECT_EQ(c.support, GetDword(in, KV_DM_SUPPORT_FUNC2));
    EXPECT_EQ(0, DmGetAdmin(in.data()));
    // Items 615, 616, 618-620 and 622 are not kept: they are derived again by the merge.
    EXPECT_EQ(0xFF, in[KV_DM_STATE_FIRST + 6]);
  }
}

// The quality-set file that the user print macro names is read only from the settings
// INI's own folder.
TEST_F(MergeTest, QualityListPathsComeOnlyFromTheSettingsFolder)
{
  const WCHAR *ini = CtxGetSettingsIniPath(ctx_);
  ASSERT_NE(nullptr, ini);
  ASSERT_NE(0, ini[0]);
  std::u16string folder(ini);
  folder = folder.substr(0, folder.rfind(u'\\') + 1);
  ASSERT_TRUE(FileEnsureDir(folder.substr(0, folder.size() - 1).c_str()));
  struct Case {
    std::u16string value;
    bool accepted;
    std::u16string expected;
  } cases[] = {
      {u"q0.kst", true, folder + u"q0.kst"},
      {folder + u"q1.kst", true, folder + u"q1.kst"},
      {u"C:\\WINDOWS\\system32\\q.kst", false, u""},
      {folder + u"..\\q.kst", false, u""},
      {folder + u"sub\\q.kst", false, u""},
      {u"..", false, u""},
      {u"", false, u""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(NarrowW(c.value.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(CtxGetPrinterSection(ctx_), u"QualityList3", c.value.c_str(), ini));
    WCHAR path[MAX_PATH];
    EXPECT_EQ(c.accepted ? 1 : 0, DmGetQualityListPath(ctx_, 3, path, MAX_PATH));
    EXPECT_EQ(c.expected, std::u16string(path));
  }
  // A path that does not fit the caller's buffer is refused, not cut.
  WCHAR small[4];
  ASSERT_TRUE(WritePrivateProfileStringW(CtxGetPrinterSection(ctx_), u"QualityList3", u"q0.kst", ini));
  EXPECT_EQ(0, DmGetQualityListPath(ctx_, 3, small, 4));
  EXPECT_EQ(0, small[0]);
}

// The user print macro's quality set is read from the file the settings INI names in its
// own folder; the same file named elsewhere is not read. (The read takes the work-block
// quality items only, so the answer is what shows whether the file was read.)
TEST_F(MergeTest, UserMacroQualitySetIsReadFromTheSettingsFolderOnly)
{
  const WCHAR *ini = CtxGetSettingsIniPath(ctx_);
  ASSERT_NE(nullptr, ini);
  std::u16string folder(ini);
  folder = folder.substr(0, folder.rfind(u'\\') + 1);
  ASSERT_TRUE(FileEnsureDir(folder.substr(0, folder.size() - 1).c_str()));
  std::u16string file = folder + u"quality5.kst";
  ASSERT_EQ(1, StoreWriteSettingsFile(ctx_->printer, file.c_str(), KST_QUALITY_ITEMS, ctx_));
  ASSERT_TRUE(CreateDirectoryW(u"C:\\elsewhere", nullptr));
  ASSERT_TRUE(CopyFileW(file.c_str(), u"C:\\elsewhere\\quality5.kst", FALSE));
  ItemSetRaw(ctx_, ITEM_kdmUseUserMacro, 1);
  ItemSetRaw(ctx_, ITEM_kdmUserPrintMacro, 37);  // quality set 5

  struct Case {
    const WCHAR *value;
    int read;
  } cases[] = {{u"C:\\elsewhere\\quality5.kst", 0}, {u"quality5.kst", 1}, {u"missing.kst", 0}};
  for (const Case &c : cases) {
    ASSERT_TRUE(WritePrivateProfileStringW(CtxGetPrinterSection(ctx_), u"QualityList5", c.value, ini));
    EXPECT_EQ(c.read, ListLoadUserMacroQuality(ctx_)) << NarrowW(c.value);
  }
  ASSERT_TRUE(WritePrivateProfileStringW(CtxGetPrinterSection(ctx_), u"QualityList5", file.c_str(), ini));
  EXPECT_EQ(1, ListLoadUserMacroQuality(ctx_));
  ItemSetRaw(ctx_, ITEM_kdmUseUserMacro, 0);  // the macro off: nothing is read
  EXPECT_EQ(0, ListLoadUserMacroQuality(ctx_));
}

// While a document sheet is about to be shown, the user print macro's quality set decides the
// print quality; its file is read only from the settings folder.
TEST_F(MergeTest, UserMacroQualitySetDecidesThePrintQualityOfADocumentSheet)
{
  const WCHAR *ini = CtxGetSettingsIniPath(ctx_);
  ASSERT_NE(nullptr, ini);
  std::u16string folder(ini);
  folder = folder.substr(0, folder.rfind(u'\\') + 1);
  ASSERT_TRUE(FileEnsureDir(folder.substr(0, folder.size() - 1).c_str()));
  std::u16string file = folder + u"quality2.kst";
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 1200);
  ASSERT_EQ(1, StoreWriteSettingsFile(ctx_->printer, file.c_str(), KST_QUALITY_ITEMS, ctx_));
  ASSERT_TRUE(CreateDirectoryW(u"C:\\elsewhere", nullptr));
  ASSERT_TRUE(CopyFileW(file.c_str(), u"C:\\elsewhere\\quality2.kst", FALSE));
  ItemSetRaw(ctx_, ITEM_kdmDstResolutionW, 600);
  std::vector<BYTE> base = Own();

  struct Case {
    const WCHAR *path;
    DWORD flags;
    SHORT quality;
  } cases[] = {
      {u"quality2.kst", KV_MERGE_FLAGS_DOCPROPS(KV_MERGE_IN_BUFFER | KV_MERGE_IN_PROMPT), 1200},
      {u"C:\\elsewhere\\quality2.kst", KV_MERGE_FLAGS_DOCPROPS(KV_MERGE_IN_BUFFER | KV_MERGE_IN_PROMPT), 600},
      {u"quality2.kst", KV_MERGE_FLAGS_DOCPROPS(KV_MERGE_IN_BUFFER), 600},  // no sheet
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(NarrowW(c.path));
    memcpy(Dm(), base.data(), base.size());
    ASSERT_TRUE(WritePrivateProfileStringW(CtxGetPrinterSection(ctx_), u"QualityList2", c.path, ini));
    ItemSetRaw(ctx_, ITEM_kdmUseUserMacro, 1);
    ItemSetRaw(ctx_, ITEM_kdmUserPrintMacro, 34);  // quality set 2
    std::vector<BYTE> in = Own();
    P(in)->dmFields = DM_PRINTQUALITY;
    P(in)->dmPrintQuality = 600;
    ASSERT_EQ(1, Merge(in, c.flags));
    EXPECT_EQ(c.quality, Pub()->dmPrintQuality);
  }
}

TEST_F(MergeTest, UserMacroQualityIndexFollowsItems176And179)
{
  struct Case {
    LONG use, macro;
    int index;
  } cases[] = {{1, 32, 0}, {1, 39, 7}, {1, 160, 128}, {1, 40, -1}, {1, 31, -1}, {0, 33, -1}};
  for (const Case &c : cases) {
    ItemSetRaw(ctx_, ITEM_kdmUseUserMacro, c.use);
    ItemSetRaw(ctx_, ITEM_kdmUserPrintMacro, c.macro);
    EXPECT_EQ(c.index, DmUserMacroQualityIndex(ctx_)) << c.use << " " << c.macro;
  }
}

}  // namespace
