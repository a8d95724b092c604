// The user-code entry points with the user-code switch off, as every deliverable builds
// them: they answer success and touch neither the code items, the provider flags nor the
// shared user-code INI.
#include "files/paths.h"
#include "hooks/build_hooks.h"
#include "items/item_store.h"
#include "model/model.h"
#include "model/state_items.h"
#include "store/user_code.h"
#include "store_items_fixture.h"

TEST_F(SettingsStoreTest, UserCodeEntryPointsWithTheSwitchOffChangeNothing)
{
  ASSERT_EQ(0, UserCodeIsEnabled());
  DRIVER_CONTEXT *ctx = Open();
  ASSERT_NE(nullptr, ctx);
  ItemSetRaw(ctx, ITEM_kdmLogCodeUse, 1);
  ASSERT_NE(nullptr, ItemWriteText(ctx, ItemFindById(ctx, ITEM_kdmLogCode), u"4711"));
  CtxSetUserCodeGet(ctx, 1);
  const std::string before = Bytes(ctx->work, DmGetWorkBufferSize());

  EXPECT_EQ(1, UserCodeSyncIni(ctx));
  EXPECT_EQ(1, UserCodeLoadForDevmode(ctx));
  UserCodeRefreshProviderFlags(ctx);
  UserCodeSaveIni(ctx);

  EXPECT_EQ(before, Bytes(ctx->work, DmGetWorkBufferSize()));
  EXPECT_EQ(1, CtxGetUserCodeGet(ctx));
  EXPECT_EQ("4711", Text(ctx, ITEM_kdmLogCode));
  WCHAR ini[MAX_PATH];
  ASSERT_NE(nullptr, PathInSharedSettingsDir(ini, MAX_PATH, u"tvpkinst.ini", ctx));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(ini));
  Close(ctx);
}
