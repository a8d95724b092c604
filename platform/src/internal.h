// Internal services shared by the files of the platform layer: the handle table,
// UTF-8/UTF-16 conversion for host names, and host error mapping.
#pragma once
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
