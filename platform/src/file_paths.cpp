// Whole files and folders by name: attributes, delete, copy, move, creating and
// removing folders, full path names and free disk space.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "file_object.h"

namespace {

BOOL Fail(DWORD err)
{
  SetLastError(err);
  return FALSE;
}

bool IsSep(WCHAR c) { return c == u'\\' || c == u'/'; }

// Stats a file or folder named by a Windows path; FALSE with ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND (or the mapping's error) when it is not there.
BOOL StatPath(const WCHAR *winPath, std::string &host, struct stat &st)
{
  if (!plat::ResolveFilePath(winPath, host)) return FALSE;
  if (stat(host.c_str(), &st) == 0) return TRUE;
  if (errno == ENOENT || errno == ENOTDIR) return plat::FailMissing(host);
  plat::SetErrorFromErrno(errno);
  return FALSE;
}

// Copies a string out under the path-name buffer protocol.
DWORD CopyOut(const std::u16string &s, LPWSTR buf, DWORD size)
{
  if (!buf || size < s.size() + 1) return static_cast<DWORD>(s.size() + 1);
  memmove(buf, s.c_str(), (s.size() + 1) * sizeof(WCHAR));
  return static_cast<DWORD>(s.size());
}

// The drive letter of a Windows path (0 when it has none that can be worked out).
WCHAR DriveOf(const WCHAR *winPath)
{
  std::u16string full;
  return plat::FullWinPath(winPath, full) ? full[0] : 0;
}

bool IsDriveRoot(const WCHAR *winPath)
{
  std::u16string full;
  return plat::FullWinPath(winPath, full) && full.size() == 3;
}

// Makes a folder's entries durable (MOVEFILE_WRITE_THROUGH).
void SyncFolderOf(const std::string &host)
{
  size_t slash = host.rfind('/');
  if (slash == std::string::npos) return;
  int fd = open(host.substr(0, slash ? slash : 1).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

}  // namespace

// ---------------------------------------------------------------- attributes

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName)
{
  std::string host;
  struct stat st;
  if (!StatPath(lpFileName, host, st)) return INVALID_FILE_ATTRIBUTES;
  return plat::AttributesFromStat(st);
}

BOOL WINAPI SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes)
{
  std::string host;
  struct stat st;
  if (!StatPath(lpFileName, host, st)) return FALSE;
  mode_t m = plat::ModeWithAttributes(st.st_mode, dwFileAttributes);
  if (m != (st.st_mode & 07777) && chmod(host.c_str(), m) != 0) {
    plat::SetErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI GetFileAttributesExW(LPCWSTR lpFileName, GET_FILEEX_INFO_LEVELS fInfoLevelId, LPVOID lpFileInformation)
{
  if (fInfoLevelId != GetFileExInfoStandard || !lpFileInformation) return Fail(ERROR_INVALID_PARAMETER);
  std::string host;
  struct stat st;
  if (!StatPath(lpFileName, host, st)) return FALSE;
  auto *data = static_cast<WIN32_FILE_ATTRIBUTE_DATA *>(lpFileInformation);
  data->dwFileAttributes = plat::AttributesFromStat(st);
  data->ftCreationTime = plat::FileTimeFromTimespec(st.st_ctim);
  data->ftLastAccessTime = plat::FileTimeFromTimespec(st.st_atim);
  data->ftLastWriteTime = plat::FileTimeFromTimespec(st.st_mtim);
  uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  return TRUE;
}

// ---------------------------------------------------------------- delete

BOOL WINAPI DeleteFileW(LPCWSTR lpFileName)
{
  std::string host;
  auto lock = plat::FileTableLock();
  struct stat st;
  if (!StatPath(lpFileName, host, st)) return FALSE;
  if (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR)) return Fail(ERROR_ACCESS_DENIED);
  DWORD err = plat::RemoveBlocked(st);
  if (err != NO_ERROR) return Fail(err);
  // The name goes at once, even while handles that share delete stay open (Windows
  // would keep it until the last of them closes).
  if (unlink(host.c_str()) != 0) {
    plat::SetErrorFromErrno(errno);
    return FALSE;
  }
  plat::NoteFolderChange();
  return TRUE;
}

// ---------------------------------------------------------------- copy

BOOL WINAPI CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists)
{
  if (!lpExistingFileName || !lpNewFileName) return Fail(ERROR_INVALID_PARAMETER);
  HANDLE src = CreateFileW(lpExistingFileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, NULL);
  if (src == INVALID_HANDLE_VALUE) return FALSE;
  auto in = plat::FileFromHandle(src);
  struct stat sst;
  if (fstat(in->fd, &sst) != 0) {
    DWORD e = plat::SetErrorFromErrno(errno);
    CloseHandle(src);
    return Fail(e);
  }
  // The copy takes the source's attributes (and the archive attribute, as every
  // written file does) and its last-write time.
  DWORD attrs = plat::AttributesFromStat(sst) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  HANDLE dst = CreateFileW(lpNewFileName, GENERIC_WRITE, 0, NULL, bFailIfExists ? CREATE_NEW : CREATE_ALWAYS,
                           attrs ? attrs : FILE_ATTRIBUTE_NORMAL, NULL);
  if (dst == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    CloseHandle(src);
    return Fail(e);
  }
  auto out = plat::FileFromHandle(dst);
  DWORD err = NO_ERROR;
  std::vector<char> buf(64 * 1024);
  for (;;) {
    ssize_t r = read(in->fd, buf.data(), buf.size());
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      err = plat::SetErrorFromErrno(errno);
      break;
    }
    if (r == 0) break;
    ssize_t done = 0;
    while (done < r) {
      ssize_t w = write(out->fd, buf.data() + done, static_cast<size_t>(r - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) {
        err = plat::SetErrorFromErrno(errno);
        break;
      }
      done += w;
    }
    if (err != NO_ERROR) break;
  }
  if (err == NO_ERROR) {
    struct timespec ts[2];
    ts[0].tv_sec = 0;
    ts[0].tv_nsec = UTIME_OMIT;
    ts[1] = sst.st_mtim;
    if (futimens(out->fd, ts) != 0) err = plat::SetErrorFromErrno(errno);
  }
  std::string dstHost;
  bool removePartial = err != NO_ERROR && plat::MapPath(lpNewFileName, dstHost);
  out.reset();
  in.reset();
  CloseHandle(dst);
  CloseHandle(src);
  if (err != NO_ERROR) {
    // A failed copy leaves no half-written target behind.
    if (removePartial) unlink(dstHost.c_str());
    return Fail(err);
  }
  SetLastError(NO_ERROR);
  return TRUE;
}

// ---------------------------------------------------------------- move

BOOL WINAPI MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags)
{
  const DWORD known = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH;
  // Moves at the next restart have no meaning on this machine.
  if ((dwFlags & ~known) || !lpExistingFileName || !lpNewFileName) return Fail(ERROR_INVALID_PARAMETER);
  bool replace = (dwFlags & MOVEFILE_REPLACE_EXISTING) != 0;
  bool crossDrive = DriveOf(lpExistingFileName) != DriveOf(lpNewFileName);
  std::string srcHost, dstHost;
  struct stat sst, dst;
  bool copyInstead = false;
  {
    auto lock = plat::FileTableLock();
    if (!StatPath(lpExistingFileName, srcHost, sst)) return FALSE;
    // The new name never lies outside the machine: a rename over a link replaces the link,
    // but a folder that leads out of the machine is refused.
    if (!plat::ResolveFilePath(lpNewFileName, dstHost) || !plat::EntryInsideMachine(dstHost)) return FALSE;
    bool isDir = S_ISDIR(sst.st_mode);
    if (crossDrive && (isDir || !(dwFlags & MOVEFILE_COPY_ALLOWED))) return Fail(ERROR_NOT_SAME_DEVICE);
    DWORD err = plat::RemoveBlocked(sst);
    if (err != NO_ERROR) return Fail(err);
    // A link in the new name's place is what the move replaces: its own entry is judged,
    // never the file it points at.
    bool dstExists = lstat(dstHost.c_str(), &dst) == 0;
    if (dstExists && dst.st_dev == sst.st_dev && dst.st_ino == sst.st_ino) {
      // The same file under another spelling: a change of case of its name.
      size_t len = plat::WLen(lpNewFileName);
      while (len > 0 && IsSep(lpNewFileName[len - 1])) --len;
      size_t start = len;
      while (start > 0 && !IsSep(lpNewFileName[start - 1]) && lpNewFileName[start - 1] != u':') --start;
      std::u16string name(lpNewFileName + start, len - start);
      while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
      size_t slash = dstHost.rfind('/');
      if (!name.empty() && slash != std::string::npos)
        dstHost = dstHost.substr(0, slash + 1) + plat::Utf16ToUtf8(name.data(), name.size());
    } else if (dstExists) {
      if (!replace) return Fail(ERROR_ALREADY_EXISTS);
      if (S_ISDIR(dst.st_mode) || isDir || !(dst.st_mode & S_IWUSR)) return Fail(ERROR_ACCESS_DENIED);
      err = plat::RemoveBlocked(dst);
      if (err != NO_ERROR) return Fail(err);
    } else if (errno != ENOENT) {
      return Fail(ERROR_PATH_NOT_FOUND);
    } else {
      size_t slash = dstHost.rfind('/');
      struct stat parent;
      if (slash == std::string::npos || stat(dstHost.substr(0, slash).c_str(), &parent) != 0 ||
          !S_ISDIR(parent.st_mode))
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    plat::NoteFolderChange();
    if (rename(srcHost.c_str(), dstHost.c_str()) != 0) {
      if (errno != EXDEV || isDir) {
        plat::SetErrorFromErrno(errno);
        return FALSE;
      }
      copyInstead = true;  // the host folders lie on different file systems
    }
  }
  if (copyInstead) {
    if (!CopyFileW(lpExistingFileName, lpNewFileName, !replace)) return FALSE;
    // As on Windows, a source that cannot be deleted after the copy stays behind.
    SetFileAttributesW(lpExistingFileName, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(lpExistingFileName);
  }
  if (dwFlags & MOVEFILE_WRITE_THROUGH) SyncFolderOf(dstHost);
  SetLastError(NO_ERROR);
  return TRUE;
}

BOOL WINAPI MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName)
{
  return MoveFileExW(lpExistingFileName, lpNewFileName, MOVEFILE_COPY_ALLOWED);
}

// ---------------------------------------------------------------- folders

BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes)
{
  std::string host;
  if (!plat::ResolveFilePath(lpPathName, host)) return FALSE;
  if (mkdir(host.c_str(), 0777) == 0) {
    plat::NoteFolderChange();
    return TRUE;
  }
  if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
  if (errno == ENOENT || errno == ENOTDIR) return Fail(ERROR_PATH_NOT_FOUND);
  plat::SetErrorFromErrno(errno);
  return FALSE;
}

BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName)
{
  std::string host;
  struct stat st;
  if (!StatPath(lpPathName, host, st)) return FALSE;
  if (!S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY);
  if (IsDriveRoot(lpPathName)) return Fail(ERROR_ACCESS_DENIED);
  // A directory link is removed itself; its target and what it holds are left alone.
  struct stat lst;
  if (lstat(host.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    if (unlink(host.c_str()) == 0) {
      plat::NoteFolderChange();
      return TRUE;
    }
    plat::SetErrorFromErrno(errno);
    return FALSE;
  }
  if (rmdir(host.c_str()) == 0) {
    plat::NoteFolderChange();
    return TRUE;
  }
  if (errno == ENOTEMPTY || errno == EEXIST) return Fail(ERROR_DIR_NOT_EMPTY);
  plat::SetErrorFromErrno(errno);
  return FALSE;
}

// ---------------------------------------------------------------- path names

DWORD WINAPI GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer, LPWSTR *lpFilePart)
{
  if (!lpFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string full;
  if (!plat::FullWinPath(lpFileName, full)) return 0;
  size_t len = plat::WLen(lpFileName);
  // A trailing separator stays, so the answer still names a folder.
  if (len > 0 && IsSep(lpFileName[len - 1]) && full.size() > 3) full += u'\\';
  DWORD n = CopyOut(full, lpBuffer, nBufferLength);
  if (n == full.size() && lpFilePart) {
    size_t slash = full.rfind(u'\\');
    *lpFilePart = slash + 1 < full.size() ? lpBuffer + slash + 1 : NULL;
  }
  return n;
}

namespace {

// The machine keeps no 8.3 names: an existing path answers as written.
DWORD SamePathName(LPCWSTR in, LPWSTR out, DWORD size)
{
  if (!in) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string host;
  struct stat st;
  if (!StatPath(in, host, st)) return 0;
  return CopyOut(std::u16string(in), out, size);
}

}  // namespace

DWORD WINAPI GetShortPathNameW(LPCWSTR lpszLongPath, LPWSTR lpszShortPath, DWORD cchBuffer)
{
  return SamePathName(lpszLongPath, lpszShortPath, cchBuffer);
}

DWORD WINAPI GetLongPathNameW(LPCWSTR lpszShortPath, LPWSTR lpszLongPath, DWORD cchBuffer)
{
  return SamePathName(lpszShortPath, lpszLongPath, cchBuffer);
}

BOOL WINAPI GetDiskFreeSpaceExW(LPCWSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                PULARGE_INTEGER lpTotalNumberOfBytes, PULARGE_INTEGER lpTotalNumberOfFreeBytes)
{
  std::string host;
  struct stat st;
  if (!StatPath(lpDirectoryName ? lpDirectoryName : u".", host, st)) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) SetLastError(ERROR_PATH_NOT_FOUND);  // a folder is asked for
    return FALSE;
  }
  if (!S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY);
  struct statvfs vs;
  if (statvfs(host.c_str(), &vs) != 0) {
    plat::SetErrorFromErrno(errno);
    return FALSE;
  }
  uint64_t unit = vs.f_frsize ? vs.f_frsize : vs.f_bsize;
  if (lpFreeBytesAvailableToCaller) lpFreeBytesAvailableToCaller->QuadPart = unit * vs.f_bavail;
  if (lpTotalNumberOfBytes) lpTotalNumberOfBytes->QuadPart = unit * vs.f_blocks;
  if (lpTotalNumberOfFreeBytes) lpTotalNumberOfFreeBytes->QuadPart = unit * vs.f_bfree;
  return TRUE;
}
