// Helpers of the stamp and custom-size lists: the serializer run on one named section of a
// file (the section name stands in for the printer's name for the one call) and resource
// strings in the ANSI name fields of the slot records.
#include <string.h>

#include "names/resources.h"
#include "store/list_internal.h"

namespace kvlist {

int SerializeSection(DRIVER_CONTEXT *ctx, const WCHAR *file, const WCHAR *section, DWORD flags, bool write)
{
  if (ctx == NULL || file == NULL) return 0;
  SectionSwap swap(ctx, section);
  if (!swap.ok()) return 0;
  HANDLE printer = ctx->printer;
  return write ? StoreWriteSettingsFile(printer, file, flags, ctx) : StoreReadSettingsFile(printer, file, flags, ctx);
}

void StringToAnsiField(DRIVER_CONTEXT *ctx, UINT id, BOOL withValue, char *field)
{
  WCHAR text[256];
  ResLoadString(ctx, id, text, 256, withValue);
  memset(field, 0, 64);
  StrWideToAnsi(field, text, 63);
  field[63] = 0;
}

}  // namespace kvlist
