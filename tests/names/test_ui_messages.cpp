// The status window and the message boxes, seen through the windowing layer's recorder.
#include "kvplat/window_control.h"
#include "names_fixture.h"
#include "names/ui_messages.h"

namespace {

class UiMessagesTest : public NamesTest {
 protected:
  void SetUp() override
  {
    NamesTest::SetUp();
    app_ = PlatWindowCreateTop(u"Application");
    PlatWindowSetActive(app_);
  }
  PLAT_MSGBOX_RECORD Last()
  {
    PLAT_MSGBOX_RECORD r = {};
    EXPECT_TRUE(PlatMessageBoxGet(PlatMessageBoxCount() - 1, &r));
    return r;
  }
  HWND app_ = nullptr;
};

std::u16string WindowText(HWND h)
{
  WCHAR buf[512];
  int n = GetWindowTextW(h, buf, 512);
  return std::u16string(buf, (size_t)n);
}

}  // namespace

TEST_F(UiMessagesTest, StatusWindowShowsThePrinterAndTheStringInBothLanguages)
{
  struct Case {
    LONG language;
    const char16_t *text;
  } cases[] = {
      {1, u"Please wait while the printer settings are saved..."},
      {0,
       u"\u8A2D\u5B9A\u3092\u4FDD\u5B58\u3057\u3066\u3044\u307E\u3059\u3002\u304A\u5F85\u3061\u304F\u3060\u3055"
       u"\u3044\u3002"},
  };
  for (const Case &c : cases) {
    SetLanguage(c.language);
    ResFreeDlls(ctx_);
    HWND status = UiShowStatusWindow(ctx_, nullptr, 2000);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(GetParent(status), app_);
    EXPECT_EQ(WindowText(status), u"KV Test");
    EXPECT_EQ(WindowText(GetDlgItem(status, 5005)), c.text);
    UiCloseStatusWindow(nullptr, status);
    EXPECT_FALSE(IsWindow(status));
    EXPECT_EQ(PlatWindowCount(), 1u);
  }
  // Without the language DLL there is no template and no window.
  SetUiResDllName(nullptr);
  EXPECT_EQ(UiShowStatusWindow(ctx_, nullptr, 2000), nullptr);
  EXPECT_EQ(PlatWindowCount(), 1u);
}

TEST_F(UiMessagesTest, NumberArgumentsFillThePlaceholdersInOrder)
{
  WORD three[] = {1, 22, 333};
  MSGBOX_REQUEST req = {2003, 0, MB_ICONINFORMATION, MB_OK, nullptr, MSGBOX_ARGS_NUMBERS, 3, three, nullptr};
  EXPECT_EQ(UiMessageBox(ctx_, &req, app_), IDOK);
  PLAT_MSGBOX_RECORD r = Last();
  EXPECT_EQ(S(r.text), u"Copies 1, sets 22, pages 333.");
  EXPECT_EQ(S(r.caption), u"KV Test");
  EXPECT_EQ(r.owner, app_);
  EXPECT_EQ(r.type, (UINT)(MB_OK | MB_ICONINFORMATION));

  WORD eight[] = {1, 2, 3, 4, 5, 6, 7, 65535};
  req = {2005, 2001, MB_ICONEXCLAMATION, MB_OKCANCEL, nullptr, MSGBOX_ARGS_NUMBERS, 8, eight, nullptr};
  PlatMessageBoxScript(IDCANCEL);
  EXPECT_EQ(UiMessageBox(ctx_, &req, nullptr), IDCANCEL);
  r = Last();
  EXPECT_EQ(S(r.text), u"Values 1 2 3 4 5 6 7 65535.");
  EXPECT_EQ(S(r.caption), u"Printer settings");

  SetLanguage(0);
  ResFreeDlls(ctx_);
  req = {2003, 2001, MB_ICONINFORMATION, MB_OK, nullptr, MSGBOX_ARGS_NUMBERS, 3, three, nullptr};
  UiMessageBox(ctx_, &req, app_);
  r = Last();
  EXPECT_EQ(S(r.text), u"\u90E8\u6570 1\u3001\u30BB\u30C3\u30C8 22\u3001\u30DA\u30FC\u30B8 333\u3002");
  EXPECT_EQ(S(r.caption), u"\u30D7\u30EA\u30F3\u30BF\u30FC\u8A2D\u5B9A");
}

TEST_F(UiMessagesTest, PrefixStringArgumentAndSuffixAreLaidOutWithBlankLines)
{
  MSGBOX_REQUEST req = {
      2002, 0, MB_ICONHAND, MB_OK, u"Saving failed.", MSGBOX_ARGS_STRING, 0, u"kv.ini", u"Ask your administrator."};
  UiMessageBox(ctx_, &req, app_);
  EXPECT_EQ(S(Last().text),
            u"Saving failed.\r\n\r\nThe file kv.ini could not be opened.\r\n\r\nAsk your administrator.\r\n\r\n");

  // A long prefix, argument and suffix all arrive whole.
  std::u16string longText(3000, u'p'), longArg(2000, u'a'), longSuffix(3000, u's');
  req = {2002, 0, MB_ICONHAND, MB_OK, longText.c_str(), MSGBOX_ARGS_STRING, 0, longArg.c_str(), longSuffix.c_str()};
  UiMessageBox(ctx_, &req, app_);
  std::u16string text = S(Last().text);
  EXPECT_EQ(text.substr(0, 3004), longText + u"\r\n\r\n");
  EXPECT_EQ(text.substr(text.size() - 3004), longSuffix + u"\r\n\r\n");

  // A missing string shows an empty message.
  req = {3999, 0, MB_ICONHAND, MB_OK, nullptr, MSGBOX_ARGS_NONE, 0, nullptr, nullptr};
  UiMessageBox(ctx_, &req, app_);
  EXPECT_EQ(S(Last().text), u"");
}

TEST_F(UiMessagesTest, InconsistentRequestsShowNothing)
{
  WORD nums[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  MSGBOX_REQUEST bad[] = {
      {2003, 0, 0, MB_OK, nullptr, MSGBOX_ARGS_NONE, 3, nums, nullptr},     // arguments without a kind
      {2003, 0, 0, MB_OK, nullptr, MSGBOX_ARGS_NUMBERS, 0, nums, nullptr},  // no numbers
      {2003, 0, 0, MB_OK, nullptr, MSGBOX_ARGS_NUMBERS, 9, nums, nullptr},  // more than eight
      {2003, 0, 0, MB_OK, nullptr, MSGBOX_ARGS_NUMBERS, 3, nullptr, nullptr},
      {2002, 0, 0, MB_OK, nullptr, MSGBOX_ARGS_STRING, 0, nullptr, nullptr},
      {2002, 0, 0, MB_OK, nullptr, 3, 1, nums, nullptr},
  };
  for (const MSGBOX_REQUEST &req : bad) EXPECT_EQ(UiMessageBox(ctx_, &req, app_), 0);
  EXPECT_EQ(UiMessageBox(ctx_, nullptr, app_), 0);
  EXPECT_EQ(PlatMessageBoxCount(), 0u);
  // Out of memory for the second work buffer: nothing shown, nothing leaked.
  MSGBOX_REQUEST ok = {2004, 0, 0, MB_OK, nullptr, MSGBOX_ARGS_NONE, 0, nullptr, nullptr};
  PlatFaultArm(PLAT_FAULT_ALLOC, 2);
  EXPECT_EQ(UiMessageBox(ctx_, &ok, app_), 0);
  PlatFaultDisarmAll();
  EXPECT_EQ(PlatMessageBoxCount(), 0u);
  EXPECT_EQ(UiMessageBox(ctx_, &ok, app_), IDOK);
  EXPECT_EQ(PlatMessageBoxCount(), 1u);
}

TEST_F(UiMessagesTest, WarningWrappers)
{
  EXPECT_EQ(UiWarnBox(ctx_, nullptr, 2004, MB_OK), IDOK);
  PLAT_MSGBOX_RECORD r = Last();
  EXPECT_EQ(r.owner, app_);  // the active window
  EXPECT_EQ(r.type, (UINT)(MB_OK | MB_ICONEXCLAMATION));
  EXPECT_EQ(S(r.caption), u"KV Test");
  EXPECT_EQ(S(r.text), u"The settings of this printer were changed by the administrator.");

  PlatMessageBoxScript(IDCANCEL);
  EXPECT_EQ(UiWarnOkCancel(ctx_, app_, 2004), IDCANCEL);
  EXPECT_EQ(Last().type, (UINT)(MB_OKCANCEL | MB_ICONEXCLAMATION));

  UiWarnBoxWithText(ctx_, app_, 2002, u"C:\\x.ini");
  EXPECT_EQ(S(Last().text), u"The file C:\\x.ini could not be opened.");
  EXPECT_EQ(Last().type, (UINT)(MB_OK | MB_ICONEXCLAMATION));
  EXPECT_EQ(UiWarnBoxWithText(ctx_, app_, 2002, nullptr), 0);

  UiMessageBoxStyled(ctx_, app_, 2004, MB_ICONQUESTION, MB_YESNO);
  EXPECT_EQ(Last().type, (UINT)(MB_YESNO | MB_ICONQUESTION));
}

TEST_F(UiMessagesTest, SystemErrorBoxShowsTheSystemsText)
{
  EXPECT_EQ(UiSystemErrorBox(ctx_, ERROR_ACCESS_DENIED, app_), 1);
  ASSERT_EQ(PlatMessageBoxCount(), 1u);
  PLAT_MSGBOX_RECORD r = Last();
  EXPECT_EQ(S(r.text), u"Access is denied.\r\n");
  EXPECT_EQ(S(r.caption), u"KV Test");
  EXPECT_EQ(r.type, (UINT)MB_ICONEXCLAMATION);
  EXPECT_EQ(UiSystemErrorBox(ctx_, 0x12345678, app_), 1);
  EXPECT_EQ(PlatMessageBoxCount(), 1u);
}
