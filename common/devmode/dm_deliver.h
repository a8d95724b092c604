// Handing the context's settings to the caller of a property sheet and keeping them: the
// DEVMODE delivered to the caller's output buffer, and the commits that save the
// document's or the printer's settings where the settings store keeps them.
#pragma once

#include "context.h"

KV_BEGIN_DECLS

// Delivers the working DEVMODE under the sheet's mode word (CONTEXT_STATE.sheetMode):
// without DM_UPDATE or DM_COPY nothing happens. Otherwise the job fields are emptied in
// the working DEVMODE; with DM_COPY (or for a context created for document properties
// without a dialog) the DEVMODE is copied into the caller's output DEVMODE, sized after
// the caller's input DEVMODE, and the output's collation follows the sort item (an input
// that already asks for collation keeps the copied value, unless this is a printer-defaults
// call on a system from Windows 2000 SP4 on); with DM_UPDATE alone the DEVMODE is copied
// to the output when there is one and the working DEVMODE's collation follows the sort
// item. A job that cannot be collated never carries DM_COLLATE. The collation of an output
// is written only when its public part reaches dmCollate. 1; 0 without context or work
// buffer.
int WINAPI DmDeliverToCaller(DRIVER_CONTEXT *ctx);
// DmDeliverToCaller, then the document's stored items are saved (StoreSaveDocumentItems).
// 1; 0 without context or work buffer.
int WINAPI StoreDeliverAndSaveDocument(DRIVER_CONTEXT *ctx);
// The public DEVMODE fields follow the items (DmSyncPublicFieldsFromItems with mode), then
// StoreDeliverAndSaveDocument. 1; 0 without context or work buffer.
int WINAPI StoreCommitDocumentSettingsMode(DRIVER_CONTEXT *ctx, LONG mode);
// StoreCommitDocumentSettingsMode with mode 3.
int WINAPI StoreCommitDocumentSettings(DRIVER_CONTEXT *ctx);
// The user-code INI is written (nothing with the user-code switch off), the public DEVMODE
// fields follow the items (mode), and the printer's configuration items and font lists are
// saved (StoreSavePrinterItems). 1; 0 without context or work buffer.
int WINAPI StoreCommitPrinterSettingsMode(DRIVER_CONTEXT *ctx, LONG mode);
// StoreCommitPrinterSettingsMode with mode 3.
int WINAPI StoreCommitPrinterSettings(DRIVER_CONTEXT *ctx);

KV_END_DECLS
