// Answers of the model-extras module shared by the deliverables' model notify hooks.
#pragma once

#include "hooks/module_hooks.h"

// Events 4 and 5 (no item is saved or loaded by its own name) and 30 (list the
// resolutions) answer 1; event 33 answers item 10023; event 21 answers 0 (no tray
// details); event 22 marks the hard disk and the manual feed installed; event 18 reads the
// print-box mode of the settings INI into item 1062; event 37 fits the duplex scale area
// when item 390 asks for it. Returns 1 when the event was one of these.
LONG KvModelNotifyCommon(DRIVER_CONTEXT *ctx, WORD event, void *data);

// Event 32: the resolution for an incoming print quality by the media type (item 54) and
// the requested dpi; sets the context's pending pass-mode code. Returns 1.
LONG KvModelChooseResolution(DRIVER_CONTEXT *ctx, KV_EVT_PRINT_QUALITY_DATA *data);
