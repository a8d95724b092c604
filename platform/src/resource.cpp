// Resources of modules: lookup by type, name and language in a module's resource
// table, resource data, enumeration, and strings of RT_STRING tables.
#include <string.h>

#include <string>
#include <vector>

#include "module_internal.h"
#include "win32/codepage.h"
#include "win32/locale.h"
#include "win32/resource.h"

namespace plat {
namespace {

// A type or name as the caller gives it: a number, "#number", or a name.
struct ResKey {
  bool isId = false;
  WORD id = 0;
  const WCHAR *name = nullptr;
  size_t len = 0;
};

ResKey MakeKey(LPCWSTR v)
{
  ResKey k;
  if (IS_INTRESOURCE(v)) {
    k.isId = true;
    k.id = LOWORD(reinterpret_cast<uintptr_t>(v));
    return k;
  }
  if (v[0] == u'#' && v[1]) {
    DWORD n = 0;
    const WCHAR *p = v + 1;
    while (*p >= u'0' && *p <= u'9' && n <= 0xFFFF) n = n * 10 + static_cast<DWORD>(*p++ - u'0');
    if (!*p && n <= 0xFFFF) {
      k.isId = true;
      k.id = static_cast<WORD>(n);
      return k;
    }
  }
  k.name = v;
  k.len = WLen(v);
  return k;
}

bool KeyMatches(const ResKey &k, const WCHAR *name, WORD id)
{
  if (k.isId) return !name && id == k.id;
  return name && FoldCompare(k.name, k.len, name, WLen(name)) == 0;
}

// Finds the entry of a type and name, trying the languages in order and, when anyLast,
// then the first entry of any language. Sets the Win32 error of the step that failed.
const KVRES_ENTRY *FindEntry(HMODULE h, LPCWSTR type, LPCWSTR name, const WORD *langs, size_t nLangs, bool anyLast)
{
  const KVRES_TABLE *t = ModuleResourceTable(h);
  if (!t) return nullptr;
  ResKey tk = MakeKey(type), nk = MakeKey(name);
  bool typeSeen = false;
  std::vector<const KVRES_ENTRY *> found;
  for (DWORD i = 0; i < t->count; ++i) {
    const KVRES_ENTRY &e = t->entries[i];
    if (!KeyMatches(tk, e.typeName, e.typeId)) continue;
    typeSeen = true;
    if (KeyMatches(nk, e.name, e.nameId)) found.push_back(&e);
  }
  if (!typeSeen) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  if (found.empty()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  for (size_t l = 0; l < nLangs; ++l)
    for (const KVRES_ENTRY *e : found)
      if (e->language == langs[l]) return e;
  if (anyLast) return found.front();
  SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
  return nullptr;
}

// The language order of FindResourceW: neutral, the user-interface language and its
// neutral sub-language, the user's default language and its neutral sub-language,
// US English, then whatever there is.
const KVRES_ENTRY *FindDefault(HMODULE h, LPCWSTR type, LPCWSTR name)
{
  LANGID ui = GetUserDefaultUILanguage(), user = GetUserDefaultLangID();
  const WORD order[] = {MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                        ui,
                        static_cast<WORD>(MAKELANGID(PRIMARYLANGID(ui), SUBLANG_NEUTRAL)),
                        user,
                        static_cast<WORD>(MAKELANGID(PRIMARYLANGID(user), SUBLANG_NEUTRAL)),
                        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)};
  return FindEntry(h, type, name, order, sizeof order / sizeof order[0], true);
}

const BYTE kEmpty[8] = {0};

const void *EntryData(const KVRES_ENTRY *e) { return e->data ? e->data : kEmpty; }

// Locates string id in its RT_STRING block: s points at its characters (not
// terminated), len is their count. False when the block is missing or malformed.
bool FindString(HINSTANCE h, UINT id, const WCHAR *&s, size_t &len)
{
  std::lock_guard<std::recursive_mutex> lock(LoaderLock());
  const KVRES_ENTRY *e = FindDefault(h, RT_STRING, MAKEINTRESOURCEW((LOWORD(id) >> 4) + 1));
  if (!e) return false;
  const BYTE *p = static_cast<const BYTE *>(EntryData(e));
  size_t size = e->size, at = 0;
  for (UINT i = 0;; ++i) {
    WORD n;
    if (at + 2 > size) return false;
    memcpy(&n, p + at, 2);
    at += 2;
    if (at + n * 2u > size) return false;
    if (i == (id & 15)) {
      s = reinterpret_cast<const WCHAR *>(p + at);
      len = n;
      return true;
    }
    at += n * 2u;
  }
}

}  // namespace
}  // namespace plat

HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType)
{
  if (!lpName || !lpType) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  std::lock_guard<std::recursive_mutex> lock(plat::LoaderLock());
  return reinterpret_cast<HRSRC>(const_cast<KVRES_ENTRY *>(plat::FindDefault(hModule, lpType, lpName)));
}

HRSRC WINAPI FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage)
{
  if (!lpName || !lpType) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  std::lock_guard<std::recursive_mutex> lock(plat::LoaderLock());
  if (wLanguage == MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL))
    return reinterpret_cast<HRSRC>(const_cast<KVRES_ENTRY *>(plat::FindDefault(hModule, lpType, lpName)));
  const WORD order[] = {wLanguage, static_cast<WORD>(MAKELANGID(PRIMARYLANGID(wLanguage), SUBLANG_NEUTRAL)),
                        MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)};
  const KVRES_ENTRY *e = plat::FindEntry(hModule, lpType, lpName, order, 3, false);
  return reinterpret_cast<HRSRC>(const_cast<KVRES_ENTRY *>(e));
}

HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo)
{
  std::lock_guard<std::recursive_mutex> lock(plat::LoaderLock());
  auto *e = reinterpret_cast<const KVRES_ENTRY *>(hResInfo);
  if (!e || !plat::ModuleOwnsResourceEntry(e)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return NULL;
  }
  return const_cast<void *>(plat::EntryData(e));
}

LPVOID WINAPI LockResource(HGLOBAL hResData) { return hResData; }

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo)
{
  std::lock_guard<std::recursive_mutex> lock(plat::LoaderLock());
  auto *e = reinterpret_cast<const KVRES_ENTRY *>(hResInfo);
  if (!e || !plat::ModuleOwnsResourceEntry(e)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return e->size;
}

BOOL WINAPI FreeResource(HGLOBAL hResData) { return FALSE; }

BOOL WINAPI EnumResourceNamesW(HMODULE hModule, LPCWSTR lpType, ENUMRESNAMEPROCW lpEnumFunc, LONG_PTR lParam)
{
  if (!lpType || !lpEnumFunc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  struct Name {
    bool isId;
    WORD id;
    std::u16string text;
  };
  std::vector<Name> names;
  {
    std::lock_guard<std::recursive_mutex> lock(plat::LoaderLock());
    const KVRES_TABLE *t = plat::ModuleResourceTable(hModule);
    if (!t) return FALSE;
    plat::ResKey tk = plat::MakeKey(lpType);
    bool typeSeen = false;
    for (DWORD i = 0; i < t->count; ++i) {
      const KVRES_ENTRY &e = t->entries[i];
      if (!plat::KeyMatches(tk, e.typeName, e.typeId)) continue;
      typeSeen = true;
      bool seen = false;
      for (const Name &n : names) {
        const char16_t *s = n.text.c_str();
        seen = seen || (e.name ? !n.isId && plat::FoldCompare(s, n.text.size(), e.name, plat::WLen(e.name)) == 0
                               : n.isId && n.id == e.nameId);
      }
      if (!seen) names.push_back(Name{e.name == nullptr, e.nameId, e.name ? std::u16string(e.name) : u""});
    }
    if (!typeSeen) {
      SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
      return FALSE;
    }
  }
  for (Name &n : names) {
    LPWSTR arg = n.isId ? MAKEINTRESOURCEW(n.id) : n.text.data();
    if (!lpEnumFunc(hModule, lpType, arg, lParam)) {
      SetLastError(ERROR_RESOURCE_ENUM_USER_STOP);
      return FALSE;
    }
  }
  return TRUE;
}

int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax)
{
  if (!lpBuffer || cchBufferMax < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const WCHAR *s = nullptr;
  size_t len = 0;
  if (!plat::FindString(hInstance, uID, s, len)) {
    if (cchBufferMax > 0) lpBuffer[0] = 0;
    return 0;
  }
  if (cchBufferMax == 0) {
    // The caller's buffer receives a pointer into the module (it may be only 2-byte aligned).
    memcpy(lpBuffer, &s, sizeof s);
    return static_cast<int>(len);
  }
  size_t n = len < static_cast<size_t>(cchBufferMax) ? len : static_cast<size_t>(cchBufferMax) - 1;
  memcpy(lpBuffer, s, n * sizeof(WCHAR));
  lpBuffer[n] = 0;
  return static_cast<int>(n);
}

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax)
{
  if (!lpBuffer || cchBufferMax <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  lpBuffer[0] = 0;
  const WCHAR *s = nullptr;
  size_t len = 0;
  if (!plat::FindString(hInstance, uID, s, len)) return 0;
  size_t room = static_cast<size_t>(cchBufferMax) - 1, used = 0;
  for (size_t i = 0; i < len;) {
    // One character at a time (a surrogate pair together), so that a cut never splits one.
    size_t units =
        (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < len && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) ? 2 : 1;
    char bytes[8];
    int n;
    n = WideCharToMultiByte(CP_ACP, 0, s + i, static_cast<int>(units), bytes, sizeof bytes, NULL, NULL);
    if (n <= 0) {
      bytes[0] = '?';
      n = 1;
    }
    if (used + static_cast<size_t>(n) > room) break;
    memcpy(lpBuffer + used, bytes, static_cast<size_t>(n));
    used += static_cast<size_t>(n);
    i += units;
  }
  lpBuffer[used] = 0;
  return static_cast<int>(used);
}
