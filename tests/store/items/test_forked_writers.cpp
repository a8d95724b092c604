// Several processes saving different items of one printer at once lose none of them: the
// block save runs under the settings mutex and writes only what its context changed.
#include <sys/wait.h>
#include <unistd.h>

#include "os/os.h"
#include "store_items_fixture.h"

namespace {

struct Writer {
  WORD id;
  const WCHAR *valueName;
  int bytes;
};
const Writer kWriters[] = {
    {ITEM_kdmTray1Paper, u"Tray1Paper", 2}, {ITEM_kdmTray2Paper, u"Tray2Paper", 2},
    {ITEM_kdmTray1Media, u"Tray1Media", 2}, {ITEM_kdm1StepOptionNum, u"1StepNum", 4},
    {ITEM_kdmLogging, u"Logging", 4},       {ITEM_kdmCoverDefTray, u"CoverTray", 2},
    {ITEM_kdmMPDefTray, u"MarkTray", 2},    {ITEM_kdmOutputOptionTypeHDD, u"HDD", 4},
};
constexpr int kRounds = 3;

DWORD ValueOf(int writer, int round)
{
  return writer == 7 ? static_cast<DWORD>(round % 2) : 100u * (writer + 1) + round;
}

}  // namespace

TEST_F(SettingsStoreTest, EightProcessesSavingDifferentItemsLoseNone)
{
  // The first open stores the font lists; the writers then share one stored state.
  Close(Open());
  int go[2];
  ASSERT_EQ(0, pipe(go));
  pid_t pids[8];
  for (int w = 0; w < 8; ++w) {
    pids[w] = fork();
    ASSERT_GE(pids[w], 0);
    if (pids[w] == 0) {
      close(go[1]);
      char c;
      if (read(go[0], &c, 1) != 1) _exit(90);
      OsSettingsMutexInit();
      for (int round = 1; round <= kRounds; ++round) {
        DRIVER_CONTEXT *ctx = Open();
        if (ctx == nullptr) _exit(91);
        ItemSetRaw(ctx, kWriters[w].id, static_cast<LONG>(ValueOf(w, round)));
        DWORD status = 1;
        int answer = StoreSavePrinterItemsStatus(printer_, ctx, &status);
        Close(ctx);
        if (answer != 1 || status != ERROR_SUCCESS) _exit(92);
      }
      _exit(0);
    }
  }
  close(go[0]);
  char start[8] = {};
  ASSERT_EQ(8, write(go[1], start, 8));
  close(go[1]);
  for (int w = 0; w < 8; ++w) {
    int status = 0;
    ASSERT_EQ(pids[w], waitpid(pids[w], &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "writer " << w;
  }
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  for (int w = 0; w < 8; ++w) {
    SCOPED_TRACE(NarrowW(kWriters[w].valueName));
    EXPECT_EQ(Le(ValueOf(w, kRounds), kWriters[w].bytes), GetData(kWriters[w].valueName));
    EXPECT_EQ(ValueOf(w, kRounds), static_cast<DWORD>(Raw(ctx, kWriters[w].id)));
  }
  Close(ctx);
}
