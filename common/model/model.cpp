// The model record of this build, the template context and the DEVMODE sizes.
#include "model/model.h"
#include "tables/template_tables.h"

static const MODEL_RECORD s_model = {0x0401,
                                     0x0400,
                                     u"kvmlsets.ini",
                                     u"kvmlcm23.dll",
                                     0x00007F03,
                                     999,
                                     1,
                                     4,
                                     90,
                                     600,
                                     0,
                                     1,
                                     9,
                                     0,
                                     0,
                                     100,
                                     1,
                                     7,
                                     600,
                                     2,
                                     1,
                                     600,
                                     3,
                                     0,
                                     u"A4",
                                     1,
                                     1,
                                     1,
                                     1,
                                     {1, 1000, 1, 999},
                                     (DWORD)'p' | ((DWORD)'r' << 8) | ((DWORD)'i' << 16) | ((DWORD)'v' << 24),
                                     0,
                                     314,
                                     0xC0,
                                     1,
                                     600,
                                     600,
                                     {1, 1, 1, 1, 0, 0},
                                     {16, 32},
                                     u"01.00",
                                     u"01.00",
                                     u"US",
                                     u"",
                                     u"kvmlmodl.ini",
                                     u"tvpkcomn.dll",
                                     u"kvmlrule.DLL",
                                     NULL,
                                     u"tvigdata.dll",
                                     u"",
                                     u"1.41",
                                     314,
                                     4250,
                                     10204,
                                     6992,
                                     61200,
                                     u"TVINSTIG.INI"};

// The template's own copy of the model record: contexts copy it, never change it.
static MODEL_RECORD s_templateModel = s_model;
static WORK_BUFFER s_templateWork;
static CONTEXT_STATE s_templateState;

static TABLE_REF s_itemRef = {0, NULL};
static TABLE_REF s_dialogRef = {0, NULL};
static TABLE_REF s_symbolRef = {0, NULL};
static TABLE_REF s_valueSymbolRef = {0, NULL};
static TABLE_REF s_messageRef = {0, NULL};
static DRIVER_CONTEXT s_template;

// Filled once, on the first call; two threads may ask at once (a description is compiled
// from either), so the filling runs under the guard of a function-local static.
static bool FillTemplate(void)
{
  s_itemRef = {g_kvOptionItemCount, g_kvOptionItems};
  s_dialogRef = {g_kvDialogCount, g_kvDialogs};
  s_symbolRef = {g_kvSymbolCount, (void *)g_kvSymbols};
  s_valueSymbolRef = {g_kvValueSymbolCount, (void *)g_kvValueSymbols};
  s_messageRef = {g_kvMessageCount, (void *)g_kvMessages};
  s_template.items = &s_itemRef;
  s_template.dialogs = &s_dialogRef;
  s_template.symbols = &s_symbolRef;
  s_template.valueSymbols = &s_valueSymbolRef;
  s_template.messages = &s_messageRef;
  s_template.model = &s_templateModel;
  s_template.work = (BYTE *)&s_templateWork;
  s_template.state = &s_templateState;
  return true;
}

DRIVER_CONTEXT *WINAPI CtxGetTemplate(void)
{
  static const bool filled = FillTemplate();
  (void)filled;
  return &s_template;
}

DWORD WINAPI DmGetPublicSize(void) { return 220; }
DWORD WINAPI DmGetPrivateSize(void) { return 1016; }
DWORD WINAPI DmGetTotalSize(void) { return KV_DEVMODE_SIZE; }
DWORD WINAPI DmGetConfigBlockSize(void) { return KV_CONFIG_BLOCK_SIZE; }
DWORD WINAPI DmGetWorkBufferSize(void) { return KV_WORK_BUFFER_SIZE; }

// The offsets the build stamps in every DEVMODE it makes: the DEVMODE block at 0, the
// configuration block behind the DEVMODE, the work block behind the configuration block.
// Any other value in a buffer came from outside and is never used as an offset.
DWORD WINAPI DmGetBlockOffset(DWORD block)
{
  switch (block) {
    case 1: return 0;
    case 2: return DmGetTotalSize();
    case 3: return DmGetTotalSize() + DmGetConfigBlockSize();
    default: return 0xFFFFFFFFu;
  }
}
