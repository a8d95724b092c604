// Whether the job can be collated: asked of the sort variable's allowed values.
#include "devmode/devmode_paper.h"
#include "rules/pjl_values.h"

int WINAPI DmCanCollate(DRIVER_CONTEXT *ctx) { return ctx != NULL && PjlIsSortSelectable(ctx) == 1 ? 1 : 0; }
