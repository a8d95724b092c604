// Headless windows: dialogs from templates, window texts, the active window, message
// boxes with scripted answers and their record, and FormatMessageW.
#include <string.h>

#include <vector>

#include "kvplat/module_control.h"
#include "kvplat/window_control.h"
#include "machine_fixture.h"

namespace {

// Builds a classic dialog template: a caption and (id, ordinal class, text) controls.
struct TemplateBuilder {
  std::vector<BYTE> bytes;
  void Word(WORD w)
  {
    bytes.push_back(static_cast<BYTE>(w));
    bytes.push_back(static_cast<BYTE>(w >> 8));
  }
  void Dword(DWORD d)
  {
    Word(static_cast<WORD>(d));
    Word(static_cast<WORD>(d >> 16));
  }
  void Str(const char16_t *s)
  {
    for (; *s; ++s) Word(*s);
    Word(0);
  }
  void Header(WORD count, const char16_t *caption, bool font)
  {
    Dword(0x80C80000u | (font ? DS_SETFONT : 0));
    Dword(0);
    Word(count);
    for (int i = 0; i < 4; ++i) Word(0);
    Word(0);  // no menu
    Word(0);  // default class
    Str(caption);
    if (font) {
      Word(9);
      Str(u"Tahoma");
    }
  }
  void Control(WORD id, WORD ordinalClass, const char16_t *text)
  {
    while (bytes.size() % 4) bytes.push_back(0);
    Dword(0x50000000u);
    Dword(0);
    for (int i = 0; i < 4; ++i) Word(0);
    Word(id);
    Word(0xFFFF);
    Word(ordinalClass);
    Str(text);
    Word(0);
  }
};

class WindowTest : public MachineTest {
 protected:
  // Gives the main program one RT_DIALOG resource, id 4000, with these bytes.
  void InstallTemplate(const std::vector<BYTE> &bytes)
  {
    data_.assign(bytes.begin(), bytes.end());
    entry_ = {nullptr,
              nullptr,
              5,
              4000,
              0x0409,
              0,
              reinterpret_cast<const BYTE *>(data_.data()),
              static_cast<DWORD>(bytes.size())};
    table_ = {KVRES_MAGIC, KVRES_VERSION, 1, &entry_};
    ASSERT_TRUE(PlatModuleSetResources(nullptr, &table_));
  }
  void TearDown() override
  {
    PlatModuleSetResources(nullptr, nullptr);
    MachineTest::TearDown();
  }
  std::vector<BYTE> data_;
  KVRES_ENTRY entry_ = {};
  KVRES_TABLE table_ = {};
};

std::u16string Text(HWND h)
{
  WCHAR buf[256];
  int n = GetWindowTextW(h, buf, 256);
  return std::u16string(buf, static_cast<size_t>(n));
}

INT_PTR CALLBACK RecordInit(HWND h, UINT msg, WPARAM, LPARAM lp)
{
  if (msg == WM_INITDIALOG) *reinterpret_cast<HWND *>(lp) = h;
  return TRUE;
}

}  // namespace

TEST_F(WindowTest, DialogFromTemplateHasItsCaptionAndControls)
{
  for (bool font : {false, true}) {
    TemplateBuilder t;
    t.Header(2, u"Status", font);
    t.Control(5005, 0x82, u"text");
    t.Control(1, 0x80, u"OK");
    InstallTemplate(t.bytes);
    HWND owner = PlatWindowCreateTop(u"App");
    HWND seen = nullptr;
    HWND dlg = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(4000), owner, RecordInit, reinterpret_cast<LPARAM>(&seen));
    ASSERT_NE(dlg, nullptr) << GetLastError();
    EXPECT_EQ(seen, dlg);
    EXPECT_EQ(Text(dlg), u"Status");
    EXPECT_EQ(GetParent(dlg), owner);
    EXPECT_EQ(std::u16string(PlatWindowClass(dlg)), u"#32770");
    HWND text = GetDlgItem(dlg, 5005);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(GetDlgCtrlID(text), 5005);
    EXPECT_EQ(std::u16string(PlatWindowClass(text)), u"Static");
    EXPECT_EQ(std::u16string(PlatWindowClass(GetDlgItem(dlg, 1))), u"Button");
    EXPECT_EQ(PlatWindowCount(), 4u);

    EXPECT_TRUE(SetDlgItemTextW(dlg, 5005, u"Please wait"));
    WCHAR buf[8];
    EXPECT_EQ(GetDlgItemTextW(dlg, 5005, buf, 8), 7u);
    EXPECT_EQ(std::u16string(buf), u"Please ");  // cut to the buffer, terminated
    EXPECT_EQ(GetWindowTextLengthW(text), 11);

    // Destroying the owner takes the owned dialog and its controls with it.
    EXPECT_TRUE(DestroyWindow(owner));
    EXPECT_FALSE(IsWindow(dlg));
    EXPECT_FALSE(IsWindow(text));
    EXPECT_EQ(PlatWindowCount(), 0u);
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(dlg));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  }
}

TEST_F(WindowTest, MissingOrMalformedTemplatesFailClearly)
{
  TemplateBuilder t;
  t.Header(1, u"Status", false);
  t.Control(5005, 0x82, u"text");
  std::vector<BYTE> cut(t.bytes.begin(), t.bytes.end() - 6);
  InstallTemplate(cut);
  SetLastError(0);
  EXPECT_EQ(CreateDialogParamW(nullptr, MAKEINTRESOURCEW(4000), nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(CreateDialogParamW(nullptr, MAKEINTRESOURCEW(4001), nullptr, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
  InstallTemplate(t.bytes);
  HWND gone = PlatWindowCreateTop(u"x");
  DestroyWindow(gone);
  EXPECT_EQ(CreateDialogParamW(nullptr, MAKEINTRESOURCEW(4000), gone, nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  HWND dlg = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(4000), nullptr, nullptr, 0);
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(GetDlgItem(dlg, 77), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));
  EXPECT_FALSE(SetDlgItemTextW(dlg, 77, u"x"));
  EXPECT_EQ(PlatWindowCount(), 2u);
}

TEST_F(WindowTest, ActiveWindowIsSetByTheControlAndForgottenWhenDestroyed)
{
  EXPECT_EQ(GetActiveWindow(), nullptr);
  HWND app = PlatWindowCreateTop(u"App");
  EXPECT_TRUE(PlatWindowSetActive(app));
  EXPECT_EQ(GetActiveWindow(), app);
  DestroyWindow(app);
  EXPECT_EQ(GetActiveWindow(), nullptr);
  EXPECT_FALSE(PlatWindowSetActive(app));
}

TEST_F(WindowTest, MessageBoxAnswersTheDefaultButtonOrTheScript)
{
  struct Case {
    UINT type;
    int answer;
  } cases[] = {
      {MB_OK, IDOK},
      {MB_OKCANCEL, IDOK},
      {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
      {MB_YESNOCANCEL, IDYES},
      {MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION, IDNO},
      {MB_RETRYCANCEL, IDRETRY},
  };
  for (const Case &c : cases) EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", c.type), c.answer) << c.type;

  PlatMessageBoxClearRecord();
  PlatMessageBoxScript(IDCANCEL);
  PlatMessageBoxScript(IDNO);
  HWND owner = PlatWindowCreateTop(u"App");
  EXPECT_EQ(MessageBoxW(owner, u"first", u"Caption", MB_OKCANCEL | MB_ICONEXCLAMATION), IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, u"third", u"c", MB_OK), IDOK);  // script used up
  ASSERT_EQ(PlatMessageBoxCount(), 3u);
  PLAT_MSGBOX_RECORD r;
  ASSERT_TRUE(PlatMessageBoxGet(0, &r));
  EXPECT_EQ(r.owner, owner);
  EXPECT_EQ(std::u16string(r.text), u"first");
  EXPECT_EQ(std::u16string(r.caption), u"Caption");
  EXPECT_EQ(r.type, static_cast<UINT>(MB_OKCANCEL | MB_ICONEXCLAMATION));
  EXPECT_EQ(r.answer, IDCANCEL);
  ASSERT_TRUE(PlatMessageBoxGet(1, &r));
  EXPECT_EQ(r.text, nullptr);
  EXPECT_EQ(r.caption, nullptr);
  EXPECT_FALSE(PlatMessageBoxGet(3, &r));

  DestroyWindow(owner);
  EXPECT_EQ(MessageBoxW(owner, u"x", u"y", MB_OK), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(PlatMessageBoxCount(), 3u);
}

namespace {
DWORD FormatV(DWORD flags, const WCHAR *fmt, WCHAR *buf, DWORD size, ...)
{
  va_list ap;
  va_start(ap, size);
  DWORD n = FormatMessageW(flags, fmt, 0, 0, buf, size, &ap);
  va_end(ap);
  return n;
}
}  // namespace

TEST_F(WindowTest, FormatMessageWordsSystemErrors)
{
  WCHAR *text = nullptr;
  DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;
  DWORD n = FormatMessageW(flags, nullptr, ERROR_ACCESS_DENIED, 0x0400, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::u16string(text), u"Access is denied.\r\n");
  EXPECT_EQ(n, 19u);
  LocalFree(text);

  text = reinterpret_cast<WCHAR *>(1);
  SetLastError(0);
  EXPECT_EQ(FormatMessageW(flags, nullptr, 99999, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr), 0u);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));

  WCHAR buf[64];
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0, buf, 64, nullptr), 44u);
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0, buf, 44, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(WindowTest, FormatMessageFillsInsertsFromArraysAndLists)
{
  WCHAR buf[128];
  DWORD_PTR args[] = {reinterpret_cast<DWORD_PTR>(u"file.ini"), static_cast<DWORD_PTR>(-5), 255};
  DWORD flags = FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY;
  ASSERT_NE(FormatMessageW(flags, u"%2!d! %3!04X! %1 %1!s!%n100%% %t.%0ignored", 0, 0, buf, 128,
                           reinterpret_cast<va_list *>(args)),
            0u);
  EXPECT_EQ(std::u16string(buf), u"-5 00FF file.ini file.ini\r\n100% \t.");

  ASSERT_NE(FormatV(FORMAT_MESSAGE_FROM_STRING, u"<%1> <%2!lu!>", buf, 128, u"a", 42u), 0u);
  EXPECT_EQ(std::u16string(buf), u"<a> <42>");

  ASSERT_NE(FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS, u"keep %1 and %2!d!", 0, 0, buf,
                           128, nullptr),
            0u);
  EXPECT_EQ(std::u16string(buf), u"keep %1 and %2!d!");

  // An unterminated or refused conversion is a clear failure.
  EXPECT_EQ(FormatMessageW(flags, u"%1!d", 0, 0, buf, 128, reinterpret_cast<va_list *>(args)), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(FormatMessageW(flags, u"%2!*d!", 0, 0, buf, 128, reinterpret_cast<va_list *>(args)), 0u);
  EXPECT_EQ(FormatMessageW(flags, u"%1", 0, 0, nullptr, 128, reinterpret_cast<va_list *>(args)), 0u);
}
