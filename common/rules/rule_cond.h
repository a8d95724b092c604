// Computed condition items of the description rules: facts that no single setting holds,
// answered from several settings when a condition refers to items 626-817.
#pragma once

#include "context.h"

#define KV_COMPUTED_COND_FIRST 626
#define KV_COMPUTED_COND_LAST 817

KV_BEGIN_DECLS

// The value a condition reads for a computed item (0 or 1); 0 for items that compute
// nothing.
LONG WINAPI RuleGetComputedCondition(DRIVER_CONTEXT *ctx, WORD itemId);

// 1 when the printed sheet lies landscape: orientation, N-up and duplex layouts together.
int WINAPI RuleCondPrintPaperOrient(DRIVER_CONTEXT *ctx);

// Trays by source code (the dmDefaultSource numbering; 7 is automatic selection over every
// unlocked tray): 1 when a tray of the source holds the paper (with that orientation bit).
int WINAPI RuleTrayHoldsPaperOriented(DRIVER_CONTEXT *ctx, LONG code, LONG paper, int bit);
// 1 when a tray of the source holds the paper in either orientation, else 0.
int WINAPI RuleTrayHoldsPaper(DRIVER_CONTEXT *ctx, LONG code, LONG paper);
// Orientation bits of the selected source's trays that hold the paper: bit 0 for trays
// with orientation bit 0, bit 1 for those with orientation bit 1.
int WINAPI RuleGetFeedOrientations(DRIVER_CONTEXT *ctx, LONG paper);
// The paper and orientation bit (0 or 1) that the single tray of a source code holds: codes
// 1, 3, 2 and 256 (trays 1-4), 11 (the large-capacity tray) and 4 (the manual feed when
// installed, else the multi-purpose tray when installed). 1 with both written (either out
// may be NULL); 0 for any other code, automatic selection (7) included, and then nothing
// is written.
int WINAPI RuleGetTrayPaper(DRIVER_CONTEXT *ctx, LONG code, LONG *paper, int *bit);
// 1 when tray 1 (code 1), tray 2 (code 3) or either unlocked one (code 7) holds the media.
int WINAPI RuleTrayHoldsMedia(DRIVER_CONTEXT *ctx, LONG code, LONG media);
// The resolution cap: 600 when the page, recomputed from the DEVMODE (mode 1 at the device
// resolution, mode 0 at the print quality and its custom size), is too large for the print
// quality (above 30708 dots on an edge), else 0; 0 also at 600 dpi. The recomputation runs
// on a scratch state: the settings, their marks and the slots are as before afterwards. 0
// without a work buffer, when memory for the scratch state runs out, and when asked again
// by a rule the recomputation itself consults.
LONG WINAPI RuleGetResolutionCap(DRIVER_CONTEXT *ctx, int mode);
// The resolution check of item 738: 1 when RuleGetResolutionCap (mode 1) answers 0. For a
// custom document or output paper the last answer is kept in the context with a fingerprint
// of the work buffer, the custom-size slots and the description it was computed from, and
// given again while they are unchanged; before the custom sizes are loaded from the settings
// file nothing is kept. A question asked while the cap is being computed (by a rule the
// recomputation consults) answers 1.
LONG WINAPI RuleCondResolutionCheck(DRIVER_CONTEXT *ctx);
// The feed direction the installed finisher demands: 0 none, 1 portrait, 2 landscape, 3 either.
int WINAPI RuleGetFeedDirection(DRIVER_CONTEXT *ctx);

KV_END_DECLS
