// Headless windows: dialogs built from templates, their controls and texts, the active
// window, and message boxes answered from a test script and recorded.
#include <string.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "internal.h"
#include "kvplat/window_control.h"
#include "win32/errors.h"
#include "win32/resource.h"
#include "win32/window.h"

namespace plat {
namespace {

struct Window {
  HWND owner = nullptr;  // owner of a top-level window, parent of a child
  bool child = false;
  int id = 0;
  DWORD style = 0;
  std::u16string cls;
  std::u16string text;
  std::vector<HWND> children;
};

struct MsgBoxRecord {
  HWND owner;
  bool hasText, hasCaption;
  std::u16string text, caption;
  UINT type;
  int answer;
};

std::map<uintptr_t, Window> g_windows;
uintptr_t g_nextWindow = 0x10000;
HWND g_active = nullptr;
std::deque<int> g_script;
std::vector<std::unique_ptr<MsgBoxRecord>> g_boxes;

void ResetWindows()
{
  g_windows.clear();
  g_nextWindow = 0x10000;
  g_active = nullptr;
  g_script.clear();
  g_boxes.clear();
}

struct Registrar {
  Registrar() { RegisterReset(ResetWindows); }
} g_registrar;

uintptr_t Key(HWND h) { return reinterpret_cast<uintptr_t>(h); }

Window *Find(HWND h)
{
  auto it = g_windows.find(Key(h));
  return it == g_windows.end() ? nullptr : &it->second;
}

Window *FindOrFail(HWND h)
{
  Window *w = Find(h);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

HWND Add(Window w)
{
  HWND h = reinterpret_cast<HWND>(g_nextWindow);
  g_nextWindow += 4;
  g_windows.emplace(Key(h), std::move(w));
  return h;
}

std::u16string Str(LPCWSTR s) { return s ? std::u16string(s, WLen(s)) : std::u16string(); }

// Reads a dialog template: WORD-aligned fields inside [data, data + size).
class TemplateReader {
 public:
  TemplateReader(const BYTE *data, DWORD size) : data_(data), size_(size) {}
  bool Word(WORD *out)
  {
    if (pos_ + 2 > size_) return false;
    *out = static_cast<WORD>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return true;
  }
  bool Dword(DWORD *out)
  {
    WORD lo, hi;
    if (!Word(&lo) || !Word(&hi)) return false;
    *out = lo | (static_cast<DWORD>(hi) << 16);
    return true;
  }
  bool Skip(DWORD n)
  {
    if (pos_ + n > size_) return false;
    pos_ += n;
    return true;
  }
  bool String(std::u16string *out)
  {
    out->clear();
    for (WORD c; Word(&c);) {
      if (c == 0) return true;
      out->push_back(c);
    }
    return false;
  }
  // A name or an ordinal (0xFFFF and a WORD); an empty name for 0x0000.
  bool NameOrOrdinal(std::u16string *name, WORD *ordinal)
  {
    WORD first;
    *ordinal = 0;
    name->clear();
    if (!Word(&first)) return false;
    if (first == 0) return true;
    if (first == 0xFFFF) return Word(ordinal);
    pos_ -= 2;
    return String(name);
  }
  bool AlignDword() { return Skip((4 - (pos_ & 3)) & 3); }

 private:
  const BYTE *data_;
  DWORD size_;
  DWORD pos_ = 0;
};

std::u16string OrdinalClass(WORD ordinal)
{
  switch (ordinal) {
    case 0x80: return u"Button";
    case 0x81: return u"Edit";
    case 0x82: return u"Static";
    case 0x83: return u"ListBox";
    case 0x84: return u"ScrollBar";
    case 0x85: return u"ComboBox";
    default: return u"#" + Utf8ToUtf16(std::to_string(ordinal));
  }
}

struct ItemTemplate {
  DWORD style;
  int id;
  std::u16string cls, text;
};

// The classic DLGTEMPLATE: header, menu, class, title, [font], then the items.
bool ParseTemplate(const BYTE *data, DWORD size, Window *dlg, std::vector<ItemTemplate> *items)
{
  TemplateReader r(data, size);
  DWORD style, exStyle;
  WORD count, menuOrd, classOrd;
  std::u16string menu, cls;
  if (!r.Dword(&style) || !r.Dword(&exStyle)) return false;
  if ((style & 0xFFFF0000u) == 0xFFFF0000u && (style & 0xFFFF) == 1) return false;  // extended layout
  if (!r.Word(&count) || !r.Skip(8)) return false;
  if (!r.NameOrOrdinal(&menu, &menuOrd) || !r.NameOrOrdinal(&cls, &classOrd) || !r.String(&dlg->text)) return false;
  if (style & DS_SETFONT) {
    std::u16string face;
    if (!r.Skip(2) || !r.String(&face)) return false;
  }
  dlg->style = style;
  for (WORD i = 0; i < count; ++i) {
    ItemTemplate item;
    DWORD itemEx;
    WORD id, ord, extra;
    if (!r.AlignDword() || !r.Dword(&item.style) || !r.Dword(&itemEx) || !r.Skip(8) || !r.Word(&id)) return false;
    item.id = id;
    if (!r.NameOrOrdinal(&item.cls, &ord)) return false;
    if (ord != 0) item.cls = OrdinalClass(ord);
    if (!r.NameOrOrdinal(&item.text, &ord) || !r.Word(&extra) || !r.Skip(extra)) return false;
    items->push_back(std::move(item));
  }
  return true;
}

void DestroyTree(HWND h)
{
  Window *w = Find(h);
  if (!w) return;
  std::vector<HWND> children = w->children;
  for (HWND c : children) DestroyTree(c);
  if (w->child) {
    if (Window *parent = Find(w->owner)) {
      auto &list = parent->children;
      for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] == h) {
          list.erase(list.begin() + static_cast<long>(i));
          break;
        }
      }
    }
  }
  // Top-level windows owned by this one go with it.
  std::vector<HWND> owned;
  for (auto &[key, other] : g_windows) {
    if (!other.child && other.owner == h) owned.push_back(reinterpret_cast<HWND>(key));
  }
  g_windows.erase(Key(h));
  if (g_active == h) g_active = nullptr;
  for (HWND o : owned) DestroyTree(o);
}

Window *DlgItem(HWND dlg, int id, HWND *out)
{
  Window *d = FindOrFail(dlg);
  if (!d) return nullptr;
  for (HWND c : d->children) {
    Window *w = Find(c);
    if (w && w->id == id) {
      if (out) *out = c;
      return w;
    }
  }
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

int CopyText(const std::u16string &text, LPWSTR dst, int cap)
{
  if (!dst || cap <= 0) return 0;
  int n = static_cast<int>(text.size());
  if (n > cap - 1) n = cap - 1;
  memcpy(dst, text.data(), static_cast<size_t>(n) * sizeof(WCHAR));
  dst[n] = 0;
  return n;
}

// The default button's answer of a message-box type.
int DefaultAnswer(UINT type)
{
  static const int kButtons[6][3] = {
      {IDOK, IDOK, IDOK},      {IDOK, IDCANCEL, IDOK}, {IDABORT, IDRETRY, IDIGNORE},
      {IDYES, IDNO, IDCANCEL}, {IDYES, IDNO, IDYES},   {IDRETRY, IDCANCEL, IDRETRY},
  };
  UINT kind = type & MB_TYPEMASK;
  if (kind > 5) kind = 0;
  UINT def = (type & MB_DEFMASK) >> 8;
  if (def > 2) def = 0;
  return kButtons[kind][def];
}

}  // namespace
}  // namespace plat

using namespace plat;

HWND WINAPI CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                               LPARAM dwInitParam)
{
  if (hWndParent && !FindOrFail(hWndParent)) return nullptr;
  HRSRC res = FindResourceW(hInstance, lpTemplateName, RT_DIALOG);
  if (!res) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const BYTE *data = static_cast<const BYTE *>(LockResource(LoadResource(hInstance, res)));
  DWORD size = SizeofResource(hInstance, res);
  Window dlg;
  std::vector<ItemTemplate> items;
  if (!data || !ParseTemplate(data, size, &dlg, &items)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  dlg.owner = hWndParent;
  dlg.cls = u"#32770";
  HWND h = Add(std::move(dlg));
  for (ItemTemplate &item : items) {
    Window c;
    c.owner = h;
    c.child = true;
    c.id = item.id;
    c.style = item.style;
    c.cls = std::move(item.cls);
    c.text = std::move(item.text);
    HWND ch = Add(std::move(c));
    Find(h)->children.push_back(ch);
  }
  if (lpDialogFunc) lpDialogFunc(h, WM_INITDIALOG, 0, dwInitParam);
  return h;
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
  if (!FindOrFail(hWnd)) return FALSE;
  DestroyTree(hWnd);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) { return Find(hWnd) != nullptr; }

HWND WINAPI GetParent(HWND hWnd)
{
  Window *w = FindOrFail(hWnd);
  return w ? w->owner : nullptr;
}

HWND WINAPI GetActiveWindow(void) { return Find(g_active) ? g_active : nullptr; }

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem)
{
  HWND out = nullptr;
  DlgItem(hDlg, nIDDlgItem, &out);
  return out;
}

int WINAPI GetDlgCtrlID(HWND hWnd)
{
  Window *w = FindOrFail(hWnd);
  return w && w->child ? w->id : 0;
}

BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString)
{
  Window *w = FindOrFail(hWnd);
  if (!w) return FALSE;
  w->text = Str(lpString);
  return TRUE;
}

int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount)
{
  Window *w = FindOrFail(hWnd);
  if (!w) {
    if (lpString && nMaxCount > 0) lpString[0] = 0;
    return 0;
  }
  return CopyText(w->text, lpString, nMaxCount);
}

int WINAPI GetWindowTextLengthW(HWND hWnd)
{
  Window *w = FindOrFail(hWnd);
  return w ? static_cast<int>(w->text.size()) : 0;
}

BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString)
{
  Window *w = DlgItem(hDlg, nIDDlgItem, nullptr);
  if (!w) return FALSE;
  w->text = Str(lpString);
  return TRUE;
}

UINT WINAPI GetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPWSTR lpString, int nMaxCount)
{
  Window *w = DlgItem(hDlg, nIDDlgItem, nullptr);
  if (!w) {
    if (lpString && nMaxCount > 0) lpString[0] = 0;
    return 0;
  }
  return static_cast<UINT>(CopyText(w->text, lpString, nMaxCount));
}

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType)
{
  if (hWnd && !FindOrFail(hWnd)) return 0;
  int answer = DefaultAnswer(uType);
  if (!g_script.empty()) {
    answer = g_script.front();
    g_script.pop_front();
  }
  auto rec = std::make_unique<MsgBoxRecord>(
      MsgBoxRecord{hWnd, lpText != nullptr, lpCaption != nullptr, Str(lpText), Str(lpCaption), uType, answer});
  g_boxes.push_back(std::move(rec));
  return answer;
}

HWND PlatWindowCreateTop(LPCWSTR text)
{
  Window w;
  w.cls = u"KvAppWindow";
  w.text = Str(text);
  return Add(std::move(w));
}

BOOL PlatWindowSetActive(HWND hWnd)
{
  if (hWnd && !Find(hWnd)) return FALSE;
  g_active = hWnd;
  return TRUE;
}

DWORD PlatWindowCount(void) { return static_cast<DWORD>(g_windows.size()); }

LPCWSTR PlatWindowClass(HWND hWnd)
{
  Window *w = Find(hWnd);
  return w ? w->cls.c_str() : nullptr;
}

void PlatMessageBoxScript(int answer) { g_script.push_back(answer); }

void PlatMessageBoxClearScript(void) { g_script.clear(); }

DWORD PlatMessageBoxCount(void) { return static_cast<DWORD>(g_boxes.size()); }

BOOL PlatMessageBoxGet(DWORD index, PLAT_MSGBOX_RECORD *out)
{
  if (!out || index >= g_boxes.size()) return FALSE;
  const MsgBoxRecord &r = *g_boxes[index];
  out->owner = r.owner;
  out->text = r.hasText ? r.text.c_str() : nullptr;
  out->caption = r.hasCaption ? r.caption.c_str() : nullptr;
  out->type = r.type;
  out->answer = r.answer;
  return TRUE;
}

void PlatMessageBoxClearRecord(void) { g_boxes.clear(); }
