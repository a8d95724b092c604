// The process-wide handle table of kernel objects, and CloseHandle.
#include <mutex>
#include <unordered_map>

#include "internal.h"

namespace plat {
namespace {

std::mutex g_lock;
std::unordered_map<uintptr_t, std::shared_ptr<Object>> &Table()
{
  static auto *table = new std::unordered_map<uintptr_t, std::shared_ptr<Object>>();
  return *table;
}
uintptr_t g_next = 0x100;

}  // namespace

HANDLE HandleAdd(std::shared_ptr<Object> obj)
{
  std::lock_guard<std::mutex> guard(g_lock);
  auto &table = Table();
  if (table.size() >= 0x100000) {
    SetLastError(ERROR_TOO_MANY_OPEN_FILES);
    return NULL;
  }
  // Handles are multiples of 4, never reused while live, and stay far from
  // INVALID_HANDLE_VALUE; they wrap only after a billion allocations.
  do {
    g_next += 4;
    if (g_next >= 0x7FFFFFF0u) g_next = 0x104;
  } while (table.count(g_next));
  table[g_next] = std::move(obj);
  return reinterpret_cast<HANDLE>(g_next);
}

std::shared_ptr<Object> HandleGet(HANDLE h, ObjKind kind)
{
  std::lock_guard<std::mutex> guard(g_lock);
  auto it = Table().find(reinterpret_cast<uintptr_t>(h));
  if (it == Table().end() || (kind != OBJ_ANY && it->second->kind != kind)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second;
}

BOOL HandleClose(HANDLE h)
{
  std::shared_ptr<Object> obj;
  {
    std::lock_guard<std::mutex> guard(g_lock);
    auto it = Table().find(reinterpret_cast<uintptr_t>(h));
    if (it == Table().end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
    obj = std::move(it->second);
    Table().erase(it);
  }
  return obj->Close();
}

size_t HandleCount()
{
  std::lock_guard<std::mutex> guard(g_lock);
  return Table().size();
}

}  // namespace plat

BOOL WINAPI CloseHandle(HANDLE hObject) { return plat::HandleClose(hObject); }
