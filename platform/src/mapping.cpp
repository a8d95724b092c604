// File mapping: CreateFileMappingW, MapViewOfFile, UnmapViewOfFile, FlushViewOfFile.
// A mapping of a file is a section that holds the file's open (its descriptor and its
// share mode) until the mapping handle and every view are gone; while it lives the
// file cannot be truncated, so a view never loses its pages.
#include <errno.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "file_object.h"

namespace plat {
namespace {

// Views must start on this boundary, as on Windows.
constexpr uint64_t kGranularity = 64 * 1024;

struct Section {
  Section() = default;
  Section(const Section &) = delete;
  Section &operator=(const Section &) = delete;
  ~Section()
  {
    if (file)
      SectionRemove(*file);
    else if (fd >= 0)
      close(fd);
  }
  std::shared_ptr<FileCore> file;  // null for a mapping of memory
  int fd = -1;
  uint64_t size = 0;
  bool writable = false;     // PAGE_READWRITE
  bool copyOnWrite = false;  // PAGE_WRITECOPY
};

struct MappingObject : Object {
  MappingObject() : Object(OBJ_MAPPING) {}
  BOOL Close() override
  {
    section.reset();
    return TRUE;
  }
  std::shared_ptr<Section> section;
};

struct View {
  size_t length;
  std::shared_ptr<Section> section;
};

std::mutex g_viewLock;
std::map<uintptr_t, View> &Views()
{
  static auto *views = new std::map<uintptr_t, View>();
  return *views;
}

// Views a test left mapped are released between tests.
void ResetViews()
{
  std::map<uintptr_t, View> old;
  {
    std::lock_guard<std::mutex> g(g_viewLock);
    old.swap(Views());
  }
  for (auto &v : old) munmap(reinterpret_cast<void *>(v.first), v.second.length);
}

struct ResetRegistrar {
  ResetRegistrar() { RegisterReset(ResetViews); }
} g_registrar;

HANDLE FailNull(DWORD err)
{
  SetLastError(err);
  return NULL;
}

}  // namespace
}  // namespace plat

HANDLE WINAPI CreateFileMappingW(HANDLE hFile, LPSECURITY_ATTRIBUTES lpFileMappingAttributes, DWORD flProtect,
                                 DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow, LPCWSTR lpName)
{
  using plat::FailNull;
  if (lpName) return FailNull(ERROR_NOT_SUPPORTED);
  if (flProtect & SEC_IMAGE) return FailNull(ERROR_NOT_SUPPORTED);
  auto sec = std::make_shared<plat::Section>();
  switch (flProtect & 0xFF) {
    case PAGE_READONLY:
    case PAGE_EXECUTE_READ: break;
    case PAGE_READWRITE:
    case PAGE_EXECUTE_READWRITE: sec->writable = true; break;
    case PAGE_WRITECOPY:
    case PAGE_EXECUTE_WRITECOPY: sec->copyOnWrite = true; break;
    default: return FailNull(ERROR_INVALID_PARAMETER);
  }
  uint64_t size = (static_cast<uint64_t>(dwMaximumSizeHigh) << 32) | dwMaximumSizeLow;
  if (hFile == INVALID_HANDLE_VALUE) {
    // Memory of the given size, zero-filled.
    if (size == 0) return FailNull(ERROR_INVALID_PARAMETER);
    int fd = memfd_create("kvmapping", MFD_CLOEXEC);
    if (fd < 0) {
      plat::SetErrorFromErrno(errno);
      return NULL;
    }
    sec->fd = fd;
    if (size > static_cast<uint64_t>(INT64_MAX) || ftruncate(fd, static_cast<off_t>(size)) != 0)
      return FailNull(ERROR_NOT_ENOUGH_MEMORY);
  } else {
    auto file = plat::FileFromHandle(hFile);
    if (!file) return NULL;
    if (!file->canRead || (sec->writable && !file->canWrite)) return FailNull(ERROR_ACCESS_DENIED);
    struct stat st;
    if (fstat(file->fd, &st) != 0) {
      plat::SetErrorFromErrno(errno);
      return NULL;
    }
    uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    if (size == 0) {
      if (fileSize == 0) return FailNull(ERROR_FILE_INVALID);  // nothing to map
      size = fileSize;
    } else if (size > fileSize) {
      // A larger writable mapping grows the file; a read-only one cannot.
      if (!sec->writable) return FailNull(ERROR_NOT_ENOUGH_MEMORY);
      if (size > static_cast<uint64_t>(INT64_MAX) || ftruncate(file->fd, static_cast<off_t>(size)) != 0)
        return FailNull(ERROR_DISK_FULL);
    }
    sec->fd = file->fd;
    sec->file = std::move(file);
    plat::SectionAdd(*sec->file);
  }
  sec->size = size;
  auto obj = std::make_shared<plat::MappingObject>();
  obj->section = std::move(sec);
  HANDLE h = plat::HandleAdd(obj);
  if (!h) return NULL;
  SetLastError(NO_ERROR);  // a new, unnamed object
  return h;
}

LPVOID WINAPI MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh,
                            DWORD dwFileOffsetLow, SIZE_T dwNumberOfBytesToMap)
{
  auto mapping = plat::HandleGetAs<plat::MappingObject>(hFileMappingObject, plat::OBJ_MAPPING);
  if (!mapping) return NULL;
  std::shared_ptr<plat::Section> sec = mapping->section;
  if (!sec) return plat::FailNull(ERROR_INVALID_HANDLE);
  bool copy = (dwDesiredAccess & FILE_MAP_COPY) != 0 && dwDesiredAccess != FILE_MAP_ALL_ACCESS;
  bool write = (dwDesiredAccess & FILE_MAP_WRITE) != 0;
  bool read = (dwDesiredAccess & FILE_MAP_READ) != 0;
  if (!copy && !write && !read) return plat::FailNull(ERROR_INVALID_PARAMETER);
  if (sec->copyOnWrite && write) copy = true;  // a write-copy section gives private pages
  if (write && !copy && !sec->writable) return plat::FailNull(ERROR_ACCESS_DENIED);
  uint64_t offset = (static_cast<uint64_t>(dwFileOffsetHigh) << 32) | dwFileOffsetLow;
  if (offset % plat::kGranularity) return plat::FailNull(ERROR_MAPPED_ALIGNMENT);
  if (offset >= sec->size) return plat::FailNull(ERROR_ACCESS_DENIED);
  uint64_t length = dwNumberOfBytesToMap ? dwNumberOfBytesToMap : sec->size - offset;
  if (length > sec->size - offset) return plat::FailNull(ERROR_ACCESS_DENIED);
  if (length > SIZE_MAX) return plat::FailNull(ERROR_NOT_ENOUGH_MEMORY);
  int prot = PROT_READ | ((write || copy) ? PROT_WRITE : 0);
  void *base = mmap(NULL, static_cast<size_t>(length), prot, copy ? MAP_PRIVATE : MAP_SHARED, sec->fd,
                    static_cast<off_t>(offset));
  if (base == MAP_FAILED) return plat::FailNull(ERROR_NOT_ENOUGH_MEMORY);
  std::lock_guard<std::mutex> g(plat::g_viewLock);
  plat::Views()[reinterpret_cast<uintptr_t>(base)] = plat::View{static_cast<size_t>(length), std::move(sec)};
  return base;
}

BOOL WINAPI UnmapViewOfFile(LPCVOID lpBaseAddress)
{
  plat::View view;
  {
    std::lock_guard<std::mutex> g(plat::g_viewLock);
    auto it = plat::Views().find(reinterpret_cast<uintptr_t>(lpBaseAddress));
    if (it == plat::Views().end()) {
      SetLastError(ERROR_INVALID_ADDRESS);
      return FALSE;
    }
    view = std::move(it->second);
    plat::Views().erase(it);
  }
  munmap(const_cast<void *>(lpBaseAddress), view.length);
  return TRUE;  // the section goes with the view's reference, outside the lock
}

BOOL WINAPI FlushViewOfFile(LPCVOID lpBaseAddress, SIZE_T dwNumberOfBytesToFlush)
{
  uintptr_t addr = reinterpret_cast<uintptr_t>(lpBaseAddress);
  uintptr_t start = 0;
  size_t length = 0;
  {
    std::lock_guard<std::mutex> g(plat::g_viewLock);
    auto it = plat::Views().upper_bound(addr);
    if (it != plat::Views().begin()) {
      --it;
      if (addr < it->first + it->second.length) {
        start = it->first;
        length = it->second.length;
      }
    }
  }
  if (!length) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  long page = sysconf(_SC_PAGESIZE);
  uintptr_t from = addr - (addr - start) % static_cast<uintptr_t>(page);
  uintptr_t end = start + length;
  if (dwNumberOfBytesToFlush && addr + dwNumberOfBytesToFlush < end) end = addr + dwNumberOfBytesToFlush;
  if (msync(reinterpret_cast<void *>(from), end - from, MS_SYNC) != 0) {
    plat::SetErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}
