// Files: CreateFile and handle I/O, attributes and times, copy, move, delete,
// folders, full path names, directory listing (FindFirstFile), file mapping and the
// 16-bit _lopen family.
//
// Paths are Windows paths mapped into the machine root (PlatMapPath); names are looked
// up case-insensitively. How the host keeps what Windows keeps in the file system:
// - FILE_ATTRIBUTE_READONLY (files) is the host owner write bit (clear = read-only).
//   The layer enforces it itself, so it holds for a host superuser too.
// - FILE_ATTRIBUTE_ARCHIVE (files) is the host owner execute bit, inverted: a file
//   without that bit has the archive attribute (new files do, as on Windows).
// - FILE_ATTRIBUTE_HIDDEN (files and folders) is the host sticky bit.
// - A file with none of these reports FILE_ATTRIBUTE_NORMAL. Folders report
//   FILE_ATTRIBUTE_DIRECTORY (plus HIDDEN); READONLY and ARCHIVE are not kept for
//   folders, nor SYSTEM, TEMPORARY and the other attributes for anything: they are
//   accepted and dropped.
// - Last-write time is the host modification time, last-access the host access time,
//   creation time the host status-change time (ctime), which the host does not let us
//   set: SetFileTime accepts a creation time and leaves it.
// - Share modes are enforced among the handles of this process, per host file.
#pragma once
#include "win32/types.h"
#include "win32/errors.h"

#ifndef ERROR_NOT_SAME_DEVICE
#define ERROR_NOT_SAME_DEVICE 17L
#endif
#ifndef ERROR_FILE_INVALID
#define ERROR_FILE_INVALID 1006L
#endif
#ifndef ERROR_MAPPED_ALIGNMENT
#define ERROR_MAPPED_ALIGNMENT 1132L
#endif
#ifndef ERROR_USER_MAPPED_FILE
#define ERROR_USER_MAPPED_FILE 1224L
#endif

// File-specific access rights (the standard and generic rights are in types.h).
#ifndef FILE_READ_DATA
#define FILE_READ_DATA 0x0001
#endif
#ifndef FILE_WRITE_DATA
#define FILE_WRITE_DATA 0x0002
#endif
#ifndef FILE_APPEND_DATA
#define FILE_APPEND_DATA 0x0004
#endif
#ifndef FILE_READ_EA
#define FILE_READ_EA 0x0008
#endif
#ifndef FILE_WRITE_EA
#define FILE_WRITE_EA 0x0010
#endif
#ifndef FILE_EXECUTE
#define FILE_EXECUTE 0x0020
#endif
#ifndef FILE_READ_ATTRIBUTES
#define FILE_READ_ATTRIBUTES 0x0080
#endif
#ifndef FILE_WRITE_ATTRIBUTES
#define FILE_WRITE_ATTRIBUTES 0x0100
#endif

// Share modes.
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004

// Creation dispositions.
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

// Attributes.
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_DEVICE 0x00000040
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100
#define FILE_ATTRIBUTE_SPARSE_FILE 0x00000200
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400
#define FILE_ATTRIBUTE_COMPRESSED 0x00000800
#define FILE_ATTRIBUTE_OFFLINE 0x00001000
#define FILE_ATTRIBUTE_NOT_CONTENT_INDEXED 0x00002000
#define FILE_ATTRIBUTE_ENCRYPTED 0x00004000
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)

// Flags of CreateFile (accepted; DELETE_ON_CLOSE and WRITE_THROUGH act, the others
// change nothing on the host).
#define FILE_FLAG_WRITE_THROUGH 0x80000000UL
#define FILE_FLAG_OVERLAPPED 0x40000000UL
#define FILE_FLAG_NO_BUFFERING 0x20000000UL
#define FILE_FLAG_RANDOM_ACCESS 0x10000000UL
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000UL
#define FILE_FLAG_DELETE_ON_CLOSE 0x04000000UL
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000UL
#define FILE_FLAG_POSIX_SEMANTICS 0x01000000UL
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000UL
#define FILE_FLAG_OPEN_NO_RECALL 0x00100000UL

// File pointer.
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)

// MoveFileEx flags.
#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_COPY_ALLOWED 0x00000002
#define MOVEFILE_DELAY_UNTIL_REBOOT 0x00000004
#define MOVEFILE_WRITE_THROUGH 0x00000008

// File mapping.
#define PAGE_NOACCESS 0x01
#define PAGE_READONLY 0x02
#define PAGE_READWRITE 0x04
#define PAGE_WRITECOPY 0x08
#define PAGE_EXECUTE 0x10
#define PAGE_EXECUTE_READ 0x20
#define PAGE_EXECUTE_READWRITE 0x40
#define PAGE_EXECUTE_WRITECOPY 0x80
#define SEC_FILE 0x00800000
#define SEC_IMAGE 0x01000000
#define SEC_RESERVE 0x04000000
#define SEC_COMMIT 0x08000000
#define SEC_NOCACHE 0x10000000
#define FILE_MAP_COPY 0x0001
#define FILE_MAP_WRITE 0x0002
#define FILE_MAP_READ 0x0004
#define FILE_MAP_ALL_ACCESS 0x000F001F

// The 16-bit file functions.
#define OF_READ 0x00000000
#define OF_WRITE 0x00000001
#define OF_READWRITE 0x00000002
#define OF_SHARE_COMPAT 0x00000000
#define OF_SHARE_EXCLUSIVE 0x00000010
#define OF_SHARE_DENY_WRITE 0x00000020
#define OF_SHARE_DENY_READ 0x00000030
#define OF_SHARE_DENY_NONE 0x00000040
#define OF_PARSE 0x00000100
#define OF_DELETE 0x00000200
#define OF_VERIFY 0x00000400
#define OF_CANCEL 0x00000800
#define OF_CREATE 0x00001000
#define OF_PROMPT 0x00002000
#define OF_EXIST 0x00004000
#define OF_REOPEN 0x00008000
#define OFS_MAXPATHNAME 128

typedef struct _OFSTRUCT {
  BYTE cBytes;
  BYTE fFixedDisk;
  WORD nErrCode;
  WORD Reserved1;
  WORD Reserved2;
  CHAR szPathName[OFS_MAXPATHNAME];
} OFSTRUCT, *POFSTRUCT, *LPOFSTRUCT;

typedef struct _OVERLAPPED {
  ULONG_PTR Internal;
  ULONG_PTR InternalHigh;
  DWORD Offset;
  DWORD OffsetHigh;
  HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

typedef struct _WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
} WIN32_FIND_DATAW, *PWIN32_FIND_DATAW, *LPWIN32_FIND_DATAW;

typedef struct _BY_HANDLE_FILE_INFORMATION {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD dwVolumeSerialNumber;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD nNumberOfLinks;
  DWORD nFileIndexHigh;
  DWORD nFileIndexLow;
} BY_HANDLE_FILE_INFORMATION, *PBY_HANDLE_FILE_INFORMATION, *LPBY_HANDLE_FILE_INFORMATION;

typedef struct _WIN32_FILE_ATTRIBUTE_DATA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
} WIN32_FILE_ATTRIBUTE_DATA, *LPWIN32_FILE_ATTRIBUTE_DATA;

typedef enum _GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard = 0, GetFileExMaxInfoLevel = 1 } GET_FILEEX_INFO_LEVELS;

#ifndef KV_ULARGE_INTEGER_DEFINED
#define KV_ULARGE_INTEGER_DEFINED
typedef union _ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
  ULONGLONG QuadPart;
} ULARGE_INTEGER, *PULARGE_INTEGER;
#endif

#ifdef __cplusplus
static_assert(sizeof(OFSTRUCT) == 136, "OFSTRUCT as on 32-bit Windows");
static_assert(sizeof(OVERLAPPED) == 20, "OVERLAPPED as on 32-bit Windows");
static_assert(sizeof(WIN32_FIND_DATAW) == 592, "WIN32_FIND_DATAW as on 32-bit Windows");
static_assert(sizeof(BY_HANDLE_FILE_INFORMATION) == 52, "BY_HANDLE_FILE_INFORMATION as on 32-bit Windows");
static_assert(sizeof(WIN32_FILE_ATTRIBUTE_DATA) == 36, "WIN32_FILE_ATTRIBUTE_DATA as on 32-bit Windows");
static_assert(sizeof(ULARGE_INTEGER) == 8, "ULARGE_INTEGER is 64-bit");
#endif

KV_BEGIN_DECLS

// Opening. On success the last error is ERROR_ALREADY_EXISTS when CREATE_ALWAYS or
// OPEN_ALWAYS found the file, else 0. Fails with ERROR_INVALID_NAME for wildcards,
// ERROR_PATH_NOT_FOUND / ERROR_FILE_NOT_FOUND for a missing folder / file,
// ERROR_FILE_EXISTS (CREATE_NEW), ERROR_ACCESS_DENIED for a folder (folder handles
// are not supported, FILE_FLAG_BACKUP_SEMANTICS or not), for write or delete access to
// a read-only file and for CREATE_ALWAYS over a hidden file without FILE_ATTRIBUTE_HIDDEN, ERROR_SHARING_VIOLATION against the share modes
// of the process's other handles, ERROR_USER_MAPPED_FILE when truncating a mapped file.
// A new file is made only inside the machine: ERROR_ACCESS_DENIED when its folder is
// reached through a host link that leads out of the machine root (the host drive aside).
// hTemplateFile and the security attributes are ignored.
HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
// The same with the name in the active ANSI code page.
HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// Handle I/O. An OVERLAPPED on these synchronous handles gives the file offset of the
// transfer; the file pointer then moves past it. A write that the fault injection
// (PLAT_FAULT_FILE_WRITE) fails writes nothing and answers FALSE with ERROR_DISK_FULL.
BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
                     LPOVERLAPPED lpOverlapped);
BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
                      LPOVERLAPPED lpOverlapped);
DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod);
BOOL WINAPI SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                             DWORD dwMoveMethod);
BOOL WINAPI SetEndOfFile(HANDLE hFile);
BOOL WINAPI FlushFileBuffers(HANDLE hFile);
DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);
BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize);
BOOL WINAPI GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime,
                        LPFILETIME lpLastWriteTime);
BOOL WINAPI SetFileTime(HANDLE hFile, const FILETIME *lpCreationTime, const FILETIME *lpLastAccessTime,
                        const FILETIME *lpLastWriteTime);
LONG WINAPI CompareFileTime(const FILETIME *lpFileTime1, const FILETIME *lpFileTime2);
BOOL WINAPI GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation);

// Attributes by name.
DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName);
BOOL WINAPI SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes);
BOOL WINAPI GetFileAttributesExW(LPCWSTR lpFileName, GET_FILEEX_INFO_LEVELS fInfoLevelId, LPVOID lpFileInformation);

// Whole files and folders. DeleteFileW removes the name at once, also while handles
// that share delete are open. CopyFileW keeps the source's attributes (plus ARCHIVE) and
// last-write time and removes a half-written target; MoveFileW allows moves between
// drives, MoveFileExW needs MOVEFILE_COPY_ALLOWED for them (ERROR_NOT_SAME_DEVICE) and
// refuses MOVEFILE_DELAY_UNTIL_REBOOT (ERROR_INVALID_PARAMETER). A move over a host link
// replaces the link itself, not what it points at; a new name whose folder leads out of
// the machine root through a link is refused with ERROR_ACCESS_DENIED.
BOOL WINAPI DeleteFileW(LPCWSTR lpFileName);
BOOL WINAPI CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists);
BOOL WINAPI MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName);
BOOL WINAPI MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags);
BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes);
BOOL WINAPI RemoveDirectoryW(LPCWSTR lpPathName);

// Path names. Answers follow the buffer protocol: the length without the terminator
// when it fits, else the size needed including it; 0 on failure.
DWORD WINAPI GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer, LPWSTR *lpFilePart);
// The machine has no 8.3 names: both answer an existing path as given.
DWORD WINAPI GetShortPathNameW(LPCWSTR lpszLongPath, LPWSTR lpszShortPath, DWORD cchBuffer);
DWORD WINAPI GetLongPathNameW(LPCWSTR lpszShortPath, LPWSTR lpszLongPath, DWORD cchBuffer);
BOOL WINAPI GetDiskFreeSpaceExW(LPCWSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                PULARGE_INTEGER lpTotalNumberOfBytes, PULARGE_INTEGER lpTotalNumberOfFreeBytes);

// Directory listing with the wildcards * and ?, matched case-insensitively by the DOS
// rules of Windows ("*.*" is everything, "*." the names without a dot, '?' may match
// nothing before a dot or at the end). There are no 8.3 names to match. Entries come in
// case-insensitive name order, "." and ".." first in folders other than a drive's root;
// the listing is taken at FindFirstFileW.
HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData);
BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData);
BOOL WINAPI FindClose(HANDLE hFindFile);

// File mapping. A mapping of a file keeps the file's sharing in force until the
// mapping and all its views are gone; views stay valid after the mapping handle and
// the file handle are closed. hFile INVALID_HANDLE_VALUE gives an unnamed mapping of
// zero-filled memory; named mappings are not supported (ERROR_NOT_SUPPORTED).
HANDLE WINAPI CreateFileMappingW(HANDLE hFile, LPSECURITY_ATTRIBUTES lpFileMappingAttributes, DWORD flProtect,
                                 DWORD dwMaximumSizeHigh, DWORD dwMaximumSizeLow, LPCWSTR lpName);
LPVOID WINAPI MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess, DWORD dwFileOffsetHigh,
                            DWORD dwFileOffsetLow, SIZE_T dwNumberOfBytesToMap);
BOOL WINAPI UnmapViewOfFile(LPCVOID lpBaseAddress);
BOOL WINAPI FlushViewOfFile(LPCVOID lpBaseAddress, SIZE_T dwNumberOfBytesToFlush);

// The 16-bit file functions on ANSI paths in the active code page. The HFILE is the
// handle value of the shared handle table (CloseHandle and the handle functions accept
// it); HFILE_ERROR on failure with the last error set.
HFILE WINAPI _lopen(LPCSTR lpPathName, int iReadWrite);
HFILE WINAPI _lcreat(LPCSTR lpPathName, int iAttribute);
LONG WINAPI _llseek(HFILE hFile, LONG lOffset, int iOrigin);
UINT WINAPI _lread(HFILE hFile, LPVOID lpBuffer, UINT uBytes);
long WINAPI _hread(HFILE hFile, LPVOID lpBuffer, long lBytes);
UINT WINAPI _lwrite(HFILE hFile, LPCSTR lpBuffer, UINT uBytes);
long WINAPI _hwrite(HFILE hFile, LPCSTR lpBuffer, long lBytes);
HFILE WINAPI _lclose(HFILE hFile);

KV_END_DECLS
