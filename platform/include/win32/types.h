// Basic Win32 types, constants and macros of the platform layer.
// Sizes follow the 32-bit Windows ABI: the project is built with -m32.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdarg.h>

#ifdef __cplusplus
#define KV_EXTERN_C extern "C"
#define KV_BEGIN_DECLS extern "C" {
#define KV_END_DECLS }
#else
#define KV_EXTERN_C
#define KV_BEGIN_DECLS
#define KV_END_DECLS
#endif

// Calling conventions. The same declarations serve the caller and the implementer.
#if defined(__i386__)
#define WINAPI __attribute__((stdcall))
#else
#define WINAPI
#endif
#define CALLBACK WINAPI
#define APIENTRY WINAPI
#define WINAPIV

// Symbols of the platform layer are exported from its shared library.
#define KVAPI KV_EXTERN_C __attribute__((visibility("default")))

typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned long DWORD;
typedef long LONG;
typedef unsigned long ULONG;
typedef short SHORT;
typedef unsigned short USHORT;
typedef int INT;
typedef unsigned int UINT;
typedef int BOOL;
typedef BYTE BOOLEAN;
typedef char CHAR;
typedef unsigned char UCHAR;
typedef char16_t WCHAR;
typedef WCHAR TCHAR;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef uint64_t DWORDLONG;
typedef uint32_t UINT32;
typedef int32_t INT32;
typedef int INT_PTR;
typedef unsigned int UINT_PTR;
typedef long LONG_PTR;
typedef unsigned long ULONG_PTR;
typedef ULONG_PTR DWORD_PTR;
typedef ULONG_PTR SIZE_T;
typedef LONG_PTR SSIZE_T;
typedef float FLOAT;
typedef double DOUBLE;
typedef void VOID;
typedef void *PVOID;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef DWORD LCID;
typedef WORD LANGID;
typedef LONG HRESULT;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef DWORD COLORREF;
typedef DWORD ACCESS_MASK;
typedef WORD ATOM;

typedef BYTE *PBYTE;
typedef BYTE *LPBYTE;
typedef WORD *PWORD;
typedef WORD *LPWORD;
typedef DWORD *PDWORD;
typedef DWORD *LPDWORD;
typedef LONG *PLONG;
typedef LONG *LPLONG;
typedef BOOL *PBOOL;
typedef BOOL *LPBOOL;
typedef INT *LPINT;
typedef UINT *PUINT;
typedef ULONG *PULONG;
typedef SHORT *PSHORT;

typedef CHAR *LPSTR;
typedef CHAR *PSTR;
typedef const CHAR *LPCSTR;
typedef const CHAR *PCSTR;
typedef WCHAR *LPWSTR;
typedef WCHAR *PWSTR;
typedef WCHAR *PWCHAR;
typedef const WCHAR *LPCWSTR;
typedef const WCHAR *PCWSTR;
typedef LPWSTR LPTSTR;
typedef LPCWSTR LPCTSTR;

typedef void *HANDLE;
typedef HANDLE *PHANDLE;
typedef HANDLE *LPHANDLE;
#define KV_DECLARE_HANDLE(name) \
  struct name##__ {             \
    int unused;                 \
  };                            \
  typedef struct name##__ *name
KV_DECLARE_HANDLE(HINSTANCE);
typedef HINSTANCE HMODULE;
KV_DECLARE_HANDLE(HKEY);
KV_DECLARE_HANDLE(HWND);
KV_DECLARE_HANDLE(HDC);
KV_DECLARE_HANDLE(HRSRC);
KV_DECLARE_HANDLE(HGLOBAL_TAG);
KV_DECLARE_HANDLE(HBITMAP);
KV_DECLARE_HANDLE(HICON);
KV_DECLARE_HANDLE(HFONT);
KV_DECLARE_HANDLE(HBRUSH);
KV_DECLARE_HANDLE(HPEN);
KV_DECLARE_HANDLE(HMENU);
KV_DECLARE_HANDLE(HGDIOBJ_TAG);
typedef HANDLE HGLOBAL;
typedef HANDLE HLOCAL;
typedef void *HGDIOBJ;
typedef HICON HCURSOR;
typedef HKEY *PHKEY;
typedef int HFILE;
typedef void *FARPROC;
typedef void *PSID;
typedef void *PSECURITY_DESCRIPTOR;

#define HFILE_ERROR ((HFILE)-1)

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef NULL
#define NULL 0
#endif

#define MAX_PATH 260
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define INFINITE 0xFFFFFFFFUL

// Standard and generic access rights, shared by files, mutexes, tokens, registry keys
// and printers.
#define DELETE 0x00010000UL
#define READ_CONTROL 0x00020000UL
#define WRITE_DAC 0x00040000UL
#define WRITE_OWNER 0x00080000UL
#define SYNCHRONIZE 0x00100000UL
#define STANDARD_RIGHTS_REQUIRED 0x000F0000UL
#define STANDARD_RIGHTS_READ READ_CONTROL
#define STANDARD_RIGHTS_WRITE READ_CONTROL
#define STANDARD_RIGHTS_EXECUTE READ_CONTROL
#define STANDARD_RIGHTS_ALL 0x001F0000UL
#define SPECIFIC_RIGHTS_ALL 0x0000FFFFUL
#define ACCESS_SYSTEM_SECURITY 0x01000000UL
#define MAXIMUM_ALLOWED 0x02000000UL
#define GENERIC_READ 0x80000000UL
#define GENERIC_WRITE 0x40000000UL
#define GENERIC_EXECUTE 0x20000000UL
#define GENERIC_ALL 0x10000000UL

// UTF-16 text literal: WTEXT("abc") is a const WCHAR[4].
#define KV_WIDEN2(s) u##s
#define WTEXT(s) KV_WIDEN2(s)

#define LOBYTE(w) ((BYTE)(((DWORD_PTR)(w)) & 0xff))
#define HIBYTE(w) ((BYTE)((((DWORD_PTR)(w)) >> 8) & 0xff))
#define LOWORD(l) ((WORD)(((DWORD_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((DWORD_PTR)(l)) >> 16) & 0xffff))
#define MAKEWORD(a, b) ((WORD)(((BYTE)(a)) | ((WORD)((BYTE)(b))) << 8))
#define MAKELONG(a, b) ((LONG)(((WORD)(a)) | ((DWORD)((WORD)(b))) << 16))
#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define PRIMARYLANGID(lgid) ((WORD)(lgid)&0x3ff)
#define SUBLANGID(lgid) ((WORD)(lgid) >> 10)
#define MAKELCID(lgid, srtid) ((DWORD)((((DWORD)((WORD)(srtid))) << 16) | ((DWORD)((WORD)(lgid)))))
#define LANGIDFROMLCID(lcid) ((WORD)(lcid))
#define MAKEINTRESOURCEW(i) ((LPWSTR)((ULONG_PTR)((WORD)(i))))
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

typedef struct _RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
} RECT, *PRECT, *LPRECT;
typedef const RECT *LPCRECT;

typedef struct _RECTL {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
} RECTL, *PRECTL;

typedef struct _POINT {
  LONG x;
  LONG y;
} POINT, *PPOINT, *LPPOINT;

typedef struct _POINTL {
  LONG x;
  LONG y;
} POINTL, *PPOINTL;

typedef struct _SIZE {
  LONG cx;
  LONG cy;
} SIZE, *PSIZE, *LPSIZE;
typedef SIZE SIZEL;

typedef struct _POINTS {
  SHORT x;
  SHORT y;
} POINTS;

typedef struct _FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
} FILETIME, *PFILETIME, *LPFILETIME;

typedef struct _SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
} SYSTEMTIME, *PSYSTEMTIME, *LPSYSTEMTIME;

typedef union _LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *PSECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

#ifdef __cplusplus
static_assert(sizeof(BYTE) == 1 && sizeof(WORD) == 2 && sizeof(DWORD) == 4, "Win32 integer sizes");
static_assert(sizeof(LONG) == 4 && sizeof(ULONG) == 4 && sizeof(SHORT) == 2, "Win32 integer sizes");
static_assert(sizeof(WCHAR) == 2, "WCHAR is 16-bit");
static_assert(sizeof(void *) == 4, "the driver is built 32-bit (-m32)");
static_assert(sizeof(RECT) == 16 && sizeof(POINT) == 8 && sizeof(SIZE) == 8, "geometry sizes");
static_assert(sizeof(FILETIME) == 8 && sizeof(SYSTEMTIME) == 16, "time structure sizes");
#endif
