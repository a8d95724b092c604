// Internal services shared by the files of the platform layer: the handle table,
// UTF-8/UTF-16 conversion for host names, and host error mapping.
#pragma once
#include <sys/types.h>

#include <memory>
#include <string>

#include "kvplat/control.h"
#include "win32.h"

namespace plat {

// Kinds of kernel objects kept in the handle table.
enum ObjKind {
  OBJ_ANY = 0,
  OBJ_FILE = 1,
  OBJ_MAPPING = 2,
  OBJ_FIND = 3,
  OBJ_MUTEX = 4,
  OBJ_PROCESS = 5,
  OBJ_TOKEN = 6,
  OBJ_EVENT = 7,
  OBJ_THREAD = 8,
  OBJ_PRINTER_CHANGE = 9,
};

// A kernel object. The table owns it; Close runs when its last handle is closed.
struct Object {
  explicit Object(ObjKind k) : kind(k) {}
  virtual ~Object() = default;
  virtual BOOL Close() { return TRUE; }
  ObjKind kind;
};

// Adds an object and answers its handle (never NULL or INVALID_HANDLE_VALUE); NULL when the table is full.
HANDLE HandleAdd(std::shared_ptr<Object> obj);
// Looks a handle up; an unknown handle or a wrong kind sets ERROR_INVALID_HANDLE and answers null.
std::shared_ptr<Object> HandleGet(HANDLE h, ObjKind kind);
template <class T>
std::shared_ptr<T> HandleGetAs(HANDLE h, ObjKind kind)
{
  return std::static_pointer_cast<T>(HandleGet(h, kind));
}
// Removes a handle and closes its object.
BOOL HandleClose(HANDLE h);
// Number of live handles (tests look for leaks with it).
size_t HandleCount();

// UTF-16 <-> UTF-8 for host file names; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const WCHAR *s, size_t n);
std::string Utf16ToUtf8(const WCHAR *s);
std::u16string Utf8ToUtf16(const std::string &s);
// Appends one code point (at most U+10FFFF) in UTF-8.
void AppendUtf8(std::string &out, uint32_t c);

// Length of a NUL-terminated UTF-16 string.
size_t WLen(const WCHAR *s);

// Sets the last error from a host errno value and answers it.
DWORD SetErrorFromErrno(int err);

// Maps a Windows path to a host path (see PlatMapPath); std::string form.
BOOL MapPath(const WCHAR *winPath, std::string &out);

// Whether a new entry at a host path (a file about to be created, or put in place by a
// rename) lies inside the machine: its folder, links followed, is the machine root or a
// folder below it. A folder that does not exist yet is judged by its nearest existing
// ancestor. Paths outside the machine root's name (the host drive's) are not bound by it.
// False, with ERROR_ACCESS_DENIED and errno EACCES, when a link leads the folder out of
// the machine.
bool EntryInsideMachine(const std::string &host);

// Whether a writer may follow the link at host path link to target, the path it resolves
// to (every link in it followed): a link under the machine root only when target lies
// inside the machine root too; a link reached through the host drive always.
bool MayFollowLink(const std::string &link, const std::string &target);

// How ReplaceHostFile writes.
struct ReplaceOptions {
  bool keepMode = false;  // the new file takes mode's permission bits (the old file's)
  mode_t mode = 0;
  bool durable = true;           // flushed to disk before the rename, and the folder after it
  bool countWriteFault = false;  // a write that PLAT_FAULT_FILE_WRITE fails (ERROR_DISK_FULL)
};

// Replaces the host file whole with bytes: they go to a temporary file in the same folder,
// named for this process and call and created only where no entry has that name, then
// the temporary file is renamed over the file. Readers see the old file or the new one,
// never a mix; concurrent writers never share a temporary file; a link in the file's place
// is replaced itself, never written through; and a folder that leads out of the machine
// is refused (EntryInsideMachine). False with the last error set (errno kept too) when
// anything failed: the old file is then untouched and no temporary file stays.
bool ReplaceHostFile(const std::string &host, const std::string &bytes, const ReplaceOptions &options);

// Tells the path mapping that the layer added, removed or renamed a folder entry, so that
// no remembered lookup outlives it (entries changed elsewhere show in the folder's times).
void NoteFolderChange();

// TRUE when drive is the host drive (kvplat/host_drive.h), which maps to the host's root.
bool IsHostDrive(WCHAR drive);

// The host path of a Windows path with every name taken exactly as written, without
// looking at the disk. It equals MapPath's answer whenever that path exists on the host
// (a caller that finds it there by stat needs no MapPath).
BOOL ExactHostPath(const WCHAR *winPath, std::string &out);

// ExactHostPath of a fixed absolute Windows path, computed again only when the machine
// root is set anew. Not thread-safe: use it under the owner's lock.
class FixedHostPath {
 public:
  explicit FixedHostPath(const WCHAR *winPath) : win_(winPath) {}
  bool Get(std::string &out);

 private:
  const WCHAR *win_;
  unsigned version_ = 0;
  std::string path_;
};

// Waits on a printer change notification (spooler.cpp): WAIT_OBJECT_0 once it is
// signaled, WAIT_TIMEOUT when the time ran out first.
DWORD PrinterChangeWait(const std::shared_ptr<Object> &obj, DWORD timeoutMs);

// Called by PlatResetForTest: each file with process-wide state registers a reset.
void RegisterReset(void (*fn)());

}  // namespace plat

namespace plat {
// Upper-case folding used for case-insensitive names (files, registry keys, INI names):
// ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and full-width Latin letters.
WCHAR FoldUpper(WCHAR c);
// Case-insensitive comparison of two UTF-16 strings under FoldUpper: <0, 0, >0.
int FoldCompare(const WCHAR *a, size_t na, const WCHAR *b, size_t nb);
// Turns a Windows path into its full normalized form ("C:\\A\\b.ini"), resolving
// relative paths against the current folder and "." and ".." components.
BOOL FullWinPath(const WCHAR *winPath, std::u16string &full);
}  // namespace plat
