// Opening files and handle I/O: CreateFileW with share modes enforced among the
// process's handles, reading and writing, the file pointer, size, times and handle
// information. Attributes and times are kept on the host as win32/files.h describes.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "file_object.h"

namespace plat {
namespace {

// 100-ns intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochDelta = 116444736000000000LL;
// Host transfers are made in pieces that fit a 32-bit ssize_t.
constexpr size_t kChunk = 1u << 30;

// Every host file that this process has open: its opens and its mapping sections.
struct Node {
  std::vector<FileCore *> opens;
  int sections = 0;
};
using NodeKey = std::pair<dev_t, ino_t>;

std::mutex g_lock;
std::map<NodeKey, Node> &Nodes()
{
  static auto *nodes = new std::map<NodeKey, Node>();
  return *nodes;
}

Node *FindNode(dev_t dev, ino_t ino)
{
  auto it = Nodes().find(NodeKey(dev, ino));
  return it == Nodes().end() ? nullptr : &it->second;
}

bool HasDataAccess(const FileCore &c) { return c.shareRead || c.shareWrite || c.shareDelete; }

// The Windows share check: the new open's access must be allowed by the share mode of
// every open already there, and its share mode must allow their access. Opens without
// data access (attributes only) take no part.
bool ShareConflict(const Node *node, bool r, bool w, bool d, DWORD share)
{
  if (!node || !(r || w || d)) return false;
  for (const FileCore *o : node->opens) {
    if (!HasDataAccess(*o)) continue;
    if ((r && !(o->shareMode & FILE_SHARE_READ)) || (w && !(o->shareMode & FILE_SHARE_WRITE)) ||
        (d && !(o->shareMode & FILE_SHARE_DELETE)))
      return true;
    if ((o->shareRead && !(share & FILE_SHARE_READ)) || (o->shareWrite && !(share & FILE_SHARE_WRITE)) ||
        (o->shareDelete && !(share & FILE_SHARE_DELETE)))
      return true;
  }
  return false;
}

// Deletes the file an open names at its close: the host path is asked of the
// descriptor, so a file renamed since it was opened is still found.
void DeleteByDescriptor(int fd)
{
  char link[64];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char target[PATH_MAX + 1];
  ssize_t n = readlink(link, target, PATH_MAX);
  if (n <= 0) return;
  target[n] = 0;
  static const char kGone[] = " (deleted)";
  size_t len = static_cast<size_t>(n), gone = sizeof kGone - 1;
  if (len > gone && memcmp(target + len - gone, kGone, gone) == 0) return;
  struct stat a, b;
  if (fstat(fd, &a) == 0 && stat(target, &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino) unlink(target);
}

BOOL Fail(DWORD err)
{
  SetLastError(err);
  return FALSE;
}

HANDLE FailHandle(DWORD err)
{
  SetLastError(err);
  return INVALID_HANDLE_VALUE;
}

bool IsSep(WCHAR c) { return c == u'\\' || c == u'/'; }

}  // namespace

FileCore::~FileCore()
{
  if (registered) {
    std::lock_guard<std::mutex> g(g_lock);
    auto it = Nodes().find(NodeKey(dev, ino));
    if (it != Nodes().end()) {
      auto &opens = it->second.opens;
      for (size_t i = 0; i < opens.size(); ++i) {
        if (opens[i] == this) {
          opens.erase(opens.begin() + static_cast<std::ptrdiff_t>(i));
          break;
        }
      }
      if (opens.empty() && it->second.sections <= 0) Nodes().erase(it);
    }
  }
  if (fd >= 0) {
    if (deleteOnClose) DeleteByDescriptor(fd);
    close(fd);
  }
}

std::shared_ptr<FileCore> FileFromHandle(HANDLE h)
{
  auto obj = HandleGetAs<FileObject>(h, OBJ_FILE);
  if (!obj) return nullptr;
  if (!obj->core) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return obj->core;
}

void SectionAdd(const FileCore &core)
{
  std::lock_guard<std::mutex> g(g_lock);
  Nodes()[NodeKey(core.dev, core.ino)].sections++;
}

void SectionRemove(const FileCore &core)
{
  std::lock_guard<std::mutex> g(g_lock);
  auto it = Nodes().find(NodeKey(core.dev, core.ino));
  if (it == Nodes().end()) return;
  if (--it->second.sections <= 0 && it->second.opens.empty()) Nodes().erase(it);
}

std::unique_lock<std::mutex> FileTableLock() { return std::unique_lock<std::mutex>(g_lock); }

DWORD RemoveBlocked(const struct stat &st)
{
  const Node *node = FindNode(st.st_dev, st.st_ino);
  if (!node) return NO_ERROR;
  for (const FileCore *o : node->opens)
    if (HasDataAccess(*o) && !(o->shareMode & FILE_SHARE_DELETE)) return ERROR_SHARING_VIOLATION;
  if (node->sections > 0) return ERROR_ACCESS_DENIED;
  return NO_ERROR;
}

bool HasWildcard(const WCHAR *winPath)
{
  if (!winPath) return false;
  for (const WCHAR *p = winPath; *p; ++p) {
    if (*p == u'*' || *p == u'?') return true;
  }
  return false;
}

BOOL ResolveFilePath(const WCHAR *winPath, std::string &host)
{
  if (HasWildcard(winPath)) return Fail(ERROR_INVALID_NAME);
  return MapPath(winPath, host);
}

BOOL FailMissing(const std::string &host)
{
  size_t slash = host.rfind('/');
  std::string parent = slash == std::string::npos || slash == 0 ? std::string("/") : host.substr(0, slash);
  struct stat st;
  if (stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return Fail(ERROR_FILE_NOT_FOUND);
  return Fail(ERROR_PATH_NOT_FOUND);
}

DWORD AttributesFromStat(const struct stat &st)
{
  DWORD a = 0;
  if (st.st_mode & S_ISVTX) a |= FILE_ATTRIBUTE_HIDDEN;
  if (S_ISDIR(st.st_mode)) return a | FILE_ATTRIBUTE_DIRECTORY;
  if (!(st.st_mode & S_IWUSR)) a |= FILE_ATTRIBUTE_READONLY;
  if (!(st.st_mode & S_IXUSR)) a |= FILE_ATTRIBUTE_ARCHIVE;
  return a ? a : FILE_ATTRIBUTE_NORMAL;
}

mode_t ModeWithAttributes(mode_t mode, DWORD attrs)
{
  mode_t m = mode & 07777;
  if (attrs & FILE_ATTRIBUTE_HIDDEN)
    m |= S_ISVTX;
  else
    m &= ~static_cast<mode_t>(S_ISVTX);
  if (S_ISDIR(mode)) return m;
  if (attrs & FILE_ATTRIBUTE_READONLY)
    m &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  else
    m |= S_IWUSR;
  if (attrs & FILE_ATTRIBUTE_ARCHIVE)
    m &= ~static_cast<mode_t>(S_IXUSR);
  else
    m |= S_IXUSR;
  return m;
}

FILETIME FileTimeFromTimespec(const struct timespec &ts)
{
  int64_t v = kEpochDelta + static_cast<int64_t>(ts.tv_sec) * 10000000LL + ts.tv_nsec / 100;
  if (v < 0) v = 0;
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(v) & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(v) >> 32);
  return ft;
}

bool TimespecFromFileTime(const FILETIME &ft, struct timespec &ts)
{
  uint64_t v = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  if (v > static_cast<uint64_t>(INT64_MAX)) return false;
  int64_t rel = static_cast<int64_t>(v) - kEpochDelta;
  int64_t sec = rel / 10000000LL;
  int64_t rem = rel % 10000000LL;
  if (rem < 0) {
    rem += 10000000LL;
    --sec;
  }
  if (sec < static_cast<int64_t>(INT32_MIN) && sizeof(time_t) == 4) return false;
  if (sec > static_cast<int64_t>(INT32_MAX) && sizeof(time_t) == 4) return false;
  ts.tv_sec = static_cast<time_t>(sec);
  ts.tv_nsec = static_cast<long>(rem * 100);
  return true;
}

}  // namespace plat

using plat::FileCore;

// ---------------------------------------------------------------- opening

namespace {

struct OpenRequest {
  bool read, write, append, del, setTimes;
  DWORD share;
  DWORD disposition;
  DWORD attrs;  // FILE_ATTRIBUTE_* for a created or overwritten file
  bool deleteOnClose, writeThrough;
};

// Opens or creates the host file under the open-file table's lock and registers the
// open. Answers the core, or null with the last error set.
// exactOnly: the host path is the Windows path's names taken as written, not yet looked
// up; the file is opened at once, and null with *retry set (no error) means that the open
// did not find a regular file there, so the caller maps the path and opens again. An
// open that succeeds proves the mapping: the mapping answers the names as written
// whenever they exist.
std::shared_ptr<FileCore> OpenHost(const std::string &host, const OpenRequest &rq, bool trailingSep, bool &existed,
                                   bool exactOnly = false, bool *retry = nullptr)
{
  using plat::Fail;
  auto lock = plat::FileTableLock();
  struct stat st;
  int pre = -1;
  if (exactOnly) {
    const bool writing = rq.write || rq.append;
    // O_NONBLOCK: a FIFO in the file's place answers at once instead of waiting for a
    // writer (for a regular file the flag changes nothing).
    pre = open(host.c_str(), (writing ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
    if (pre >= 0 && (fstat(pre, &st) != 0 || !S_ISREG(st.st_mode))) {
      close(pre);
      pre = -1;
    }
    if (pre < 0) {
      *retry = true;
      return nullptr;
    }
    existed = true;
  } else {
    existed = stat(host.c_str(), &st) == 0;
  }
  if (!existed && errno != ENOENT && errno != ENOTDIR) {
    plat::SetErrorFromErrno(errno);
    return nullptr;
  }
  if (existed && S_ISDIR(st.st_mode)) {
    SetLastError(rq.disposition == CREATE_NEW ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (trailingSep) {
    SetLastError(ERROR_INVALID_NAME);  // a file name cannot end with a separator
    return nullptr;
  }
  const bool writing = rq.write || rq.append;
  bool truncate = false;
  int fd;
  if (existed) {
    if (rq.disposition == CREATE_NEW) {
      SetLastError(ERROR_FILE_EXISTS);
      return nullptr;
    }
    truncate = rq.disposition == CREATE_ALWAYS || rq.disposition == TRUNCATE_EXISTING;
    int flags = (writing || truncate) ? O_RDWR : O_RDONLY;
    fd = pre >= 0 ? pre : open(host.c_str(), flags | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      plat::SetErrorFromErrno(errno);
      return nullptr;
    }
    if (pre < 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
      close(fd);
      SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
    DWORD err = NO_ERROR;
    const plat::Node *node = plat::FindNode(st.st_dev, st.st_ino);
    bool readOnly = !(st.st_mode & S_IWUSR);
    if (readOnly && (writing || rq.del || truncate)) {
      err = ERROR_ACCESS_DENIED;
    } else if (rq.disposition == CREATE_ALWAYS && (st.st_mode & S_ISVTX) && !(rq.attrs & FILE_ATTRIBUTE_HIDDEN)) {
      err = ERROR_ACCESS_DENIED;  // overwriting a hidden file must ask for hidden
    } else if (plat::ShareConflict(node, rq.read, writing, rq.del, rq.share)) {
      err = ERROR_SHARING_VIOLATION;
    } else if (truncate && node && node->sections > 0) {
      err = ERROR_USER_MAPPED_FILE;
    } else if (truncate && ftruncate(fd, 0) != 0) {
      err = plat::SetErrorFromErrno(errno);
    }
    if (err == NO_ERROR && rq.disposition == CREATE_ALWAYS)
      fchmod(fd, plat::ModeWithAttributes(st.st_mode, rq.attrs | FILE_ATTRIBUTE_ARCHIVE));
    if (err != NO_ERROR) {
      close(fd);
      SetLastError(err);
      return nullptr;
    }
  } else {
    if (rq.disposition == OPEN_EXISTING || rq.disposition == TRUNCATE_EXISTING) {
      plat::FailMissing(host);
      return nullptr;
    }
    // A new file is made only inside the machine (ERROR_ACCESS_DENIED for a folder that
    // leads out of it); O_EXCL never follows a link in its place.
    if (!plat::EntryInsideMachine(host)) return nullptr;
    fd = open(host.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) plat::NoteFolderChange();
    if (fd < 0) {
      if (errno == ENOENT || errno == ENOTDIR)
        SetLastError(ERROR_PATH_NOT_FOUND);
      else
        plat::SetErrorFromErrno(errno);
      return nullptr;
    }
    if (fstat(fd, &st) != 0) {
      plat::SetErrorFromErrno(errno);
      close(fd);
      unlink(host.c_str());
      return nullptr;
    }
    mode_t m = plat::ModeWithAttributes(st.st_mode, rq.attrs | FILE_ATTRIBUTE_ARCHIVE);
    if (m != (st.st_mode & 07777)) fchmod(fd, m);
  }
  auto core = std::make_shared<FileCore>();
  core->fd = fd;
  core->dev = st.st_dev;
  core->ino = st.st_ino;
  core->canRead = rq.read;
  core->canWrite = writing;
  core->appendOnly = rq.append && !rq.write;
  core->canSetTimes = rq.setTimes;
  core->shareRead = rq.read;
  core->shareWrite = writing;
  core->shareDelete = rq.del;
  core->shareMode = rq.share;
  core->deleteOnClose = rq.deleteOnClose;
  core->writeThrough = rq.writeThrough;
  plat::Nodes()[plat::NodeKey(st.st_dev, st.st_ino)].opens.push_back(core.get());
  core->registered = true;
  return core;
}

}  // namespace

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile)
{
  using plat::FailHandle;
  if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING ||
      (dwShareMode & ~static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)))
    return FailHandle(ERROR_INVALID_PARAMETER);
  const DWORD a = dwDesiredAccess;
  OpenRequest rq;
  rq.read = (a & (GENERIC_READ | GENERIC_ALL | GENERIC_EXECUTE | FILE_READ_DATA | FILE_EXECUTE)) != 0;
  rq.write = (a & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA)) != 0;
  rq.append = (a & FILE_APPEND_DATA) != 0;
  rq.deleteOnClose = (dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
  rq.del = (a & (DELETE | GENERIC_ALL)) != 0 || rq.deleteOnClose;
  rq.setTimes = rq.write || rq.append || (a & FILE_WRITE_ATTRIBUTES) != 0;
  rq.share = dwShareMode;
  rq.disposition = dwCreationDisposition;
  rq.attrs = dwFlagsAndAttributes & 0xFFFF;
  rq.writeThrough = (dwFlagsAndAttributes & FILE_FLAG_WRITE_THROUGH) != 0;
  if (rq.disposition == TRUNCATE_EXISTING && !rq.write) return FailHandle(ERROR_INVALID_PARAMETER);

  std::string host;
  size_t len = lpFileName ? plat::WLen(lpFileName) : 0;
  bool trailingSep = len > 0 && plat::IsSep(lpFileName[len - 1]);
  bool existed = false;
  std::shared_ptr<FileCore> core;
  // An existing file named as it is written opens with the open itself (and the fstat
  // that identifies it): the mapping's look along the path is needed only when that fails.
  bool retry = false;
  if (rq.disposition == OPEN_EXISTING && !trailingSep && !plat::HasWildcard(lpFileName) &&
      plat::ExactHostPath(lpFileName, host))
    core = OpenHost(host, rq, false, existed, true, &retry);
  if (!core) {
    if (!plat::ResolveFilePath(lpFileName, host)) return INVALID_HANDLE_VALUE;
    core = OpenHost(host, rq, trailingSep, existed);
  }
  if (!core) return INVALID_HANDLE_VALUE;
  auto obj = std::make_shared<plat::FileObject>();
  obj->core = std::move(core);
  HANDLE h = plat::HandleAdd(obj);
  if (!h) return INVALID_HANDLE_VALUE;
  bool reports = dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
  SetLastError(existed && reports ? ERROR_ALREADY_EXISTS : NO_ERROR);
  return h;
}

// ---------------------------------------------------------------- reading and writing

#ifndef ERROR_NOACCESS
#define ERROR_NOACCESS 998L
#endif

namespace {

int64_t OverlappedOffset(const OVERLAPPED *ov)
{
  return static_cast<int64_t>((static_cast<uint64_t>(ov->OffsetHigh) << 32) | ov->Offset);
}

}  // namespace

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped)
{
  using plat::Fail;
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
  auto core = plat::FileFromHandle(hFile);
  if (!core) return FALSE;
  if (!lpNumberOfBytesRead && !lpOverlapped) return Fail(ERROR_INVALID_PARAMETER);
  if (!core->canRead) return Fail(ERROR_ACCESS_DENIED);
  if (!lpBuffer && nNumberOfBytesToRead) return Fail(ERROR_NOACCESS);
  int64_t at = lpOverlapped ? OverlappedOffset(lpOverlapped) : -1;
  if (at < -1) return Fail(ERROR_INVALID_PARAMETER);
  auto *out = static_cast<char *>(lpBuffer);
  size_t done = 0;
  BOOL ok = TRUE;
  while (done < nNumberOfBytesToRead) {
    size_t want = nNumberOfBytesToRead - done;
    if (want > plat::kChunk) want = plat::kChunk;
    ssize_t r =
        at >= 0 ? pread(core->fd, out + done, want, at + static_cast<int64_t>(done)) : read(core->fd, out + done, want);
    if (r < 0) {
      if (errno == EINTR) continue;
      plat::SetErrorFromErrno(errno);
      ok = FALSE;
      break;
    }
    if (r == 0) break;
    done += static_cast<size_t>(r);
  }
  if (lpNumberOfBytesRead) *lpNumberOfBytesRead = static_cast<DWORD>(done);
  if (lpOverlapped) {
    lseek(core->fd, at + static_cast<int64_t>(done), SEEK_SET);
    lpOverlapped->Internal = 0;
    lpOverlapped->InternalHigh = static_cast<ULONG_PTR>(done);
    // A positioned read wholly past the end reports it, as on Windows.
    if (ok && done == 0 && nNumberOfBytesToRead > 0) return Fail(ERROR_HANDLE_EOF);
  }
  return ok;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped)
{
  using plat::Fail;
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
  auto core = plat::FileFromHandle(hFile);
  if (!core) return FALSE;
  if (!lpNumberOfBytesWritten && !lpOverlapped) return Fail(ERROR_INVALID_PARAMETER);
  if (!core->canWrite) return Fail(ERROR_ACCESS_DENIED);
  if (!lpBuffer && nNumberOfBytesToWrite) return Fail(ERROR_NOACCESS);
  int64_t at = lpOverlapped ? OverlappedOffset(lpOverlapped) : -1;
  if (at < -1) return Fail(ERROR_INVALID_PARAMETER);
  // An injected failure stands for a full disk: nothing of this write reaches the file.
  if (PlatFaultHit(PLAT_FAULT_FILE_WRITE)) return Fail(ERROR_DISK_FULL);
  if (core->appendOnly) {
    at = -1;
    lseek(core->fd, 0, SEEK_END);
  }
  const auto *in = static_cast<const char *>(lpBuffer);
  size_t done = 0;
  BOOL ok = TRUE;
  while (done < nNumberOfBytesToWrite) {
    size_t want = nNumberOfBytesToWrite - done;
    if (want > plat::kChunk) want = plat::kChunk;
    ssize_t w =
        at >= 0 ? pwrite(core->fd, in + done, want, at + static_cast<int64_t>(done)) : write(core->fd, in + done, want);
    if (w < 0) {
      if (errno == EINTR) continue;
      plat::SetErrorFromErrno(errno);
      ok = FALSE;
      break;
    }
    done += static_cast<size_t>(w);
  }
  if (ok && core->writeThrough) fdatasync(core->fd);
  if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = static_cast<DWORD>(done);
  if (lpOverlapped) {
    lseek(core->fd, at + static_cast<int64_t>(done), SEEK_SET);
    lpOverlapped->Internal = 0;
    lpOverlapped->InternalHigh = static_cast<ULONG_PTR>(done);
  }
  return ok;
}

// ---------------------------------------------------------------- file pointer and size

namespace {

// Moves the file pointer; FALSE with ERROR_NEGATIVE_SEEK before the start, or
// ERROR_INVALID_PARAMETER for a bad method or an overflow. The pointer stays on failure.
BOOL MovePointer(const FileCore &core, int64_t distance, DWORD method, int64_t &newPos)
{
  int64_t base;
  switch (method) {
    case FILE_BEGIN: base = 0; break;
    case FILE_CURRENT: base = lseek(core.fd, 0, SEEK_CUR); break;
    case FILE_END: {
      struct stat st;
      base = fstat(core.fd, &st) == 0 ? st.st_size : -1;
      break;
    }
    default: return plat::Fail(ERROR_INVALID_PARAMETER);
  }
  if (base < 0) {
    plat::SetErrorFromErrno(errno);
    return FALSE;
  }
  if (__builtin_add_overflow(base, distance, &newPos)) return plat::Fail(ERROR_INVALID_PARAMETER);
  if (newPos < 0) return plat::Fail(ERROR_NEGATIVE_SEEK);
  if (lseek(core.fd, newPos, SEEK_SET) < 0) {
    plat::SetErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}

}  // namespace

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod)
{
  auto core = plat::FileFromHandle(hFile);
  if (!core) return INVALID_SET_FILE_POINTER;
  int64_t distance =
      lpDistanceToMoveHigh
          ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*lpDistanceToMoveHigh)) << 32) |
                                 static_cast<uint32_t>(lDistanceToMove))
          : static_cast<int64_t>(lDistanceToMove);
  int64_t before = lseek(core->fd, 0, SEEK_CUR);
  int64_t pos;
  if (!MovePointer(*core, distance, dwMoveMethod, pos)) return INVALID_SET_FILE_POINTER;
  if (!lpDistanceToMoveHigh && pos > static_cast<int64_t>(0xFFFFFFFFu)) {
    // Without a high part the answer cannot hold the position: refused, pointer kept.
    lseek(core->fd, before, SEEK_SET);
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<uint64_t>(pos) >> 32);
  SetLastError(NO_ERROR);  // lets a caller tell a position of 0xFFFFFFFF from a failure
  return static_cast<DWORD>(static_cast<uint64_t>(pos) & 0xFFFFFFFFu);
}

BOOL WINAPI SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                             DWORD dwMoveMethod)
{
  auto core = plat::FileFromHandle(hFile);
  if (!core) return FALSE;
  int64_t pos;
  if (!MovePointer(*core, liDistanceToMove.QuadPart, dwMoveMethod, pos)) return FALSE;
  if (lpNewFilePointer) lpNewFilePointer->QuadPart = pos;
  return TRUE;
}

BOOL WINAPI SetEndOfFile(HANDLE hFile)
{
  auto core = plat::FileFromHandle(hFile);
  if (!core) return FALSE;
  if (!core->canWrite) return plat::Fail(ERROR_ACCESS_DENIED);
  int64_t pos = lseek(core->fd, 0, SEEK_CUR);
  struct stat st;
  if (pos < 0 || fstat(core->fd, &st) != 0) {
    plat::SetErrorFromErrno(errno);
    return FALSE;
  }
  if (pos < st.st_size) {
    // Cutting a mapped file would pull pages from under its views.
    auto lock = plat::FileTableLock();
    const plat::Node *node = plat::FindNode(core->dev, core->ino);
    if (node && node->sections > 0) return plat::Fail(ERROR_USER_MAPPED_FILE);
  }
  if (ftruncate(core->fd, pos) != 0) {
    plat::SetErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI FlushFileBuffers(HANDLE hFile)
{
  auto core = plat::FileFromHandle(hFile);
  if (!core) return FALSE;
  if (!core->canWrite) return plat::Fail(ERROR_ACCESS_DENIED);
  if (fsync(core->fd) != 0 && errno != EINVAL) {
    plat::SetErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
  auto core = plat::FileFromHandle(hFile);
  if (!core) return INVALID_FILE_SIZE;
  struct stat st;
  if (fstat(core->fd, &st) != 0) {
    plat::SetErrorFromErrno(errno);
    return INVALID_FILE_SIZE;
  }
  uint64_t size = static_cast<uint64_t>(st.st_size);
  if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(NO_ERROR);
  return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize)
{
  auto core = plat::FileFromHandle(hFile);
  if (!core) return FALSE;
  if (!lpFileSize) return plat::Fail(ERROR_INVALID_PARAMETER);
  struct stat st;
  if (fstat(core->fd, &st) != 0) {
    plat::SetErrorFromErrno(errno);
    return FALSE;
  }
  lpFileSize->QuadPart = st.st_size;
  return TRUE;
}

// ---------------------------------------------------------------- times and information

BOOL WINAPI GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                        LPFILETIME lpLastWriteTime)
{
  auto core = plat::FileFromHandle(hFile);
  if (!core) return FALSE;
  struct stat st;
  if (fstat(core->fd, &st) != 0) {
    plat::SetErrorFromErrno(errno);
    return FALSE;
  }
  if (lpCreationTime) *lpCreationTime = plat::FileTimeFromTimespec(st.st_ctim);
  if (lpLastAccessTime) *lpLastAccessTime = plat::FileTimeFromTimespec(st.st_atim);
  if (lpLastWriteTime) *lpLastWriteTime = plat::FileTimeFromTimespec(st.st_mtim);
  return TRUE;
}

namespace {

// A time to set: NULL, zero and all-ones leave the stamp as it is.
bool TimeToSet(const FILETIME *ft, struct timespec &ts, bool &valid)
{
  valid = true;
  if (!ft || (ft->dwLowDateTime == 0 && ft->dwHighDateTime == 0) ||
      (ft->dwLowDateTime == 0xFFFFFFFFu && ft->dwHighDateTime == 0xFFFFFFFFu)) {
    ts.tv_sec = 0;
    ts.tv_nsec = UTIME_OMIT;
    return false;
  }
  valid = plat::TimespecFromFileTime(*ft, ts);
  return valid;
}

}  // namespace

BOOL WINAPI SetFileTime(HANDLE hFile, const FILETIME *lpCreationTime, const FILETIME *lpLastAccessTime,
                        const FILETIME *lpLastWriteTime)
{
  auto core = plat::FileFromHandle(hFile);
  if (!core) return FALSE;
  if (!core->canSetTimes) return plat::Fail(ERROR_ACCESS_DENIED);
  struct timespec ts[2], unused;
  bool validCreation, validAccess, validWrite;
  TimeToSet(lpCreationTime, unused, validCreation);  // the host keeps no creation time
  bool any = TimeToSet(lpLastAccessTime, ts[0], validAccess);
  any = TimeToSet(lpLastWriteTime, ts[1], validWrite) || any;
  if (!validCreation || !validAccess || !validWrite) return plat::Fail(ERROR_INVALID_PARAMETER);
  if (any && futimens(core->fd, ts) != 0) {
    plat::SetErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}

LONG WINAPI CompareFileTime(const FILETIME *lpFileTime1, const FILETIME *lpFileTime2)
{
  auto value = [](const FILETIME *ft) -> uint64_t {
    return ft ? (static_cast<uint64_t>(ft->dwHighDateTime) << 32) | ft->dwLowDateTime : 0;
  };
  uint64_t a = value(lpFileTime1), b = value(lpFileTime2);
  return a < b ? -1 : (a > b ? 1 : 0);
}

BOOL WINAPI GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation)
{
  auto core = plat::FileFromHandle(hFile);
  if (!core) return FALSE;
  if (!lpFileInformation) return plat::Fail(ERROR_INVALID_PARAMETER);
  struct stat st;
  if (fstat(core->fd, &st) != 0) {
    plat::SetErrorFromErrno(errno);
    return FALSE;
  }
  BY_HANDLE_FILE_INFORMATION &info = *lpFileInformation;
  info.dwFileAttributes = plat::AttributesFromStat(st);
  info.ftCreationTime = plat::FileTimeFromTimespec(st.st_ctim);
  info.ftLastAccessTime = plat::FileTimeFromTimespec(st.st_atim);
  info.ftLastWriteTime = plat::FileTimeFromTimespec(st.st_mtim);
  uint64_t dev = static_cast<uint64_t>(st.st_dev), ino = static_cast<uint64_t>(st.st_ino);
  info.dwVolumeSerialNumber = static_cast<DWORD>(dev ^ (dev >> 32));
  info.nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
  info.nFileSizeLow = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) & 0xFFFFFFFFu);
  info.nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
  info.nFileIndexHigh = static_cast<DWORD>(ino >> 32);
  info.nFileIndexLow = static_cast<DWORD>(ino & 0xFFFFFFFFu);
  return TRUE;
}
