// Reading a settings file into a driver context for the commands that take one (settings
// import, check --from, preset save --from): the read with its report, the warning for a
// file cut short and the lines naming the values the read corrected.
#include <stdio.h>

#include <string>

#include "context.h"
#include "host.h"
#include "items/item_store.h"
#include "store/settings_files.h"

namespace host {

SettingsRead ReadSettingsFile(HANDLE printer, DRIVER_CONTEXT *ctx, const std::u16string &file, DWORD flags,
                              const std::string &shown)
{
  SettingsRead read;
  std::vector<KST_CORRECTION> rows(static_cast<size_t>(ctx->items->count));
  KST_READ_REPORT report = {rows.data(), static_cast<DWORD>(rows.size()), 0, 0};
  read.answer = StoreReadSettingsFileReport(printer, file.c_str(), flags, ctx, &report);
  rows.resize(report.corrected < report.capacity ? report.corrected : report.capacity);
  for (const KST_CORRECTION &row : rows) read.corrections[row.itemId] = Narrow(row.text);
  read.cutLine = report.cutLine;
  if (read.cutLine != 0 && read.answer == 1 && CtxGetSettingsFileStatus(ctx) == KST_STATUS_OK)
    fprintf(stderr,
            "kvmlhost: warning: %s is cut short: its line %lu has no line end; the read stopped there and took "
            "the lines before it\n",
            shown.c_str(), static_cast<unsigned long>(read.cutLine));
  return read;
}

void PrintCorrections(DRIVER_CONTEXT *ctx, const SettingsRead &read)
{
  for (const auto &c : read.corrections) {
    OPTION_ITEM *item = ItemFindById(ctx, c.first);
    if (item == nullptr) continue;
    LONG now = ItemReadRaw(ctx, item);
    std::string shown =
        KvItemValueType(item) == KV_VT_U32 ? std::to_string(static_cast<DWORD>(now)) : std::to_string(now);
    printf("corrected %u\t%s\t\"%s\" is out of the item's range; %s taken\n", static_cast<unsigned>(c.first),
           ItemDisplayName(item).c_str(), c.second.c_str(), shown.c_str());
  }
}

}  // namespace host
