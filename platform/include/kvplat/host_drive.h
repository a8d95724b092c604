// The host drive: one drive letter that stands for the host's own file system root, the
// way an emulator maps a drive to "/". With it a program names a host file by a Windows
// path ("Z:\home\ann\printer.kvd") and every file function reaches that file where it
// lies, without a copy under the machine root. Off until a program turns it on; driver
// code never does. PlatResetForTest turns it off.
#pragma once
#include "win32/types.h"

KV_BEGIN_DECLS

// Makes letter (A-Z, either case) the host drive; 0 turns the host drive off. FALSE with
// ERROR_INVALID_DRIVE for anything else. While it is on, that drive never maps under the
// machine root, and its paths map even when no machine root is set.
KVAPI BOOL PlatSetHostDrive(WCHAR letter);
// The host drive's letter (upper case), or 0 when it is off.
KVAPI WCHAR PlatGetHostDrive(void);

// The Windows path on the host drive of an absolute POSIX path (UTF-8): "/srv/a b/x.kvd"
// answers "Z:\srv\a b\x.kvd". "." and ".." are resolved by name, as a Windows path's
// are. FALSE with the last error set: ERROR_INVALID_DRIVE when the host drive is off,
// ERROR_INVALID_PARAMETER for a NULL or relative path, ERROR_INVALID_NAME for a name a
// Windows path cannot hold (a '\\', a reserved character, a trailing dot or blank, bytes
// that are not UTF-8), ERROR_FILENAME_EXCED_RANGE past MAX_PATH, ERROR_INSUFFICIENT_BUFFER
// when out cannot hold the answer.
KVAPI BOOL PlatHostPathToWin(const char *posixPath, WCHAR *out, UINT outChars);

KV_END_DECLS
