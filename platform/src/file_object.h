// Open files of the platform layer: the host descriptor behind a file handle, the
// process-wide table of open files that enforces share modes, and helpers shared by
// the file, find, mapping and 16-bit file sources.
#pragma once
#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <mutex>
#include <string>

#include "internal.h"

namespace plat {

// One open of a host file. Shared by its file handle and by the file mappings made
// from it, so that the descriptor and the open's share mode outlive the handle while a
// mapping or a view needs them, as the file object does on Windows.
struct FileCore {
  FileCore() = default;
  FileCore(const FileCore &) = delete;
  FileCore &operator=(const FileCore &) = delete;
  ~FileCore();  // leaves the open-file table, closes the descriptor, deletes on close

  int fd = -1;
  dev_t dev = 0;
  ino_t ino = 0;
  bool canRead = false;      // ReadFile allowed
  bool canWrite = false;     // WriteFile, SetEndOfFile, FlushFileBuffers allowed
  bool appendOnly = false;   // FILE_APPEND_DATA without FILE_WRITE_DATA: writes go to the end
  bool canSetTimes = false;  // SetFileTime allowed (write access or FILE_WRITE_ATTRIBUTES)
  bool shareRead = false;    // data access that takes part in share checks
  bool shareWrite = false;
  bool shareDelete = false;
  DWORD shareMode = 0;  // FILE_SHARE_* granted to later opens
  bool deleteOnClose = false;
  bool writeThrough = false;
  bool registered = false;  // entered in the open-file table
};

struct FileObject : Object {
  FileObject() : Object(OBJ_FILE) {}
  BOOL Close() override
  {
    core.reset();
    return TRUE;
  }
  std::shared_ptr<FileCore> core;
};

// The open file behind a file handle; ERROR_INVALID_HANDLE and null when there is none.
std::shared_ptr<FileCore> FileFromHandle(HANDLE h);

// Mapping sections of a host file: a file with a section cannot be truncated
// (ERROR_USER_MAPPED_FILE) nor deleted or replaced (ERROR_ACCESS_DENIED).
void SectionAdd(const FileCore &core);
void SectionRemove(const FileCore &core);

// The lock of the open-file table, for work that must check the table and change the
// host file at once (delete, rename).
std::unique_lock<std::mutex> FileTableLock();
// With the lock held: the error that deleting or renaming this host file meets from the
// process's opens (ERROR_SHARING_VIOLATION when one does not share delete,
// ERROR_ACCESS_DENIED when it is mapped), or NO_ERROR.
DWORD RemoveBlocked(const struct stat &st);

// Whether a Windows path holds a wildcard character ('*' or '?').
bool HasWildcard(const WCHAR *winPath);
// Checks a Windows path for a file function: wildcards give ERROR_INVALID_NAME, then
// maps it (PlatMapPath's errors). Answers the host path.
BOOL ResolveFilePath(const WCHAR *winPath, std::string &host);
// Sets ERROR_FILE_NOT_FOUND when the folder of a missing host path exists, else
// ERROR_PATH_NOT_FOUND; answers FALSE.
BOOL FailMissing(const std::string &host);

// Win32 attributes of a host file or folder, and the host mode that keeps attrs.
DWORD AttributesFromStat(const struct stat &st);
mode_t ModeWithAttributes(mode_t mode, DWORD attrs);
// FILETIME of a host time stamp, and back (FALSE when out of range).
FILETIME FileTimeFromTimespec(const struct timespec &ts);
bool TimespecFromFileTime(const FILETIME &ft, struct timespec &ts);

// Case-insensitive match of a name against a wildcard pattern by the Windows rules.
bool WildcardMatch(const std::u16string &pattern, const std::u16string &name);

}  // namespace plat
