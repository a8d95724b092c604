// GDI objects: solid brushes held as handles and their colours.
#include <mutex>
#include <unordered_map>

#include "internal.h"
#include "kvplat/gdi_control.h"
#include "win32/errors.h"
#include "win32/gdi.h"

namespace {

struct GdiObject {
  COLORREF color;
};

std::mutex g_gdiLock;
std::unordered_map<uintptr_t, GdiObject> &Objects()
{
  static auto *objects = new std::unordered_map<uintptr_t, GdiObject>();
  return *objects;
}
// GDI handles are 2 modulo 4, so that none equals a kernel handle (multiples of 4) and
// CloseHandle never takes one for its own.
uintptr_t g_nextGdi = 0x10002;

void ResetGdi()
{
  std::lock_guard<std::mutex> g(g_gdiLock);
  Objects().clear();
}

struct ResetRegistrar {
  ResetRegistrar() { plat::RegisterReset(ResetGdi); }
} g_registrar;

}  // namespace

HBRUSH WINAPI CreateSolidBrush(COLORREF crColor)
{
  std::lock_guard<std::mutex> g(g_gdiLock);
  auto &objects = Objects();
  if (objects.size() >= 10000) {  // the default per-process GDI object quota of Windows
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
  }
  do {
    g_nextGdi += 4;
    if (g_nextGdi >= 0x7FFFFFF0u) g_nextGdi = 0x10006;
  } while (objects.count(g_nextGdi));
  objects[g_nextGdi] = GdiObject{crColor & 0x00FFFFFFu};
  return reinterpret_cast<HBRUSH>(g_nextGdi);
}

BOOL WINAPI DeleteObject(HGDIOBJ ho)
{
  std::lock_guard<std::mutex> g(g_gdiLock);
  if (ho == NULL || Objects().erase(reinterpret_cast<uintptr_t>(ho)) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

DWORD PlatGdiObjectCount(void)
{
  std::lock_guard<std::mutex> g(g_gdiLock);
  return static_cast<DWORD>(Objects().size());
}

BOOL PlatGdiBrushColor(HBRUSH brush, COLORREF *color)
{
  std::lock_guard<std::mutex> g(g_gdiLock);
  auto it = Objects().find(reinterpret_cast<uintptr_t>(brush));
  if (it == Objects().end() || color == NULL) return FALSE;
  *color = it->second.color;
  return TRUE;
}
