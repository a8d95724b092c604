// Colour management (mscms): profiles and colour transforms. The platform keeps only
// their handles; no colour is ever transformed.
#pragma once
#include "win32/types.h"

typedef HANDLE HPROFILE;
typedef HANDLE HTRANSFORM;
typedef LONG FXPT2DOT30;
typedef LONG LCSCSTYPE;
typedef LONG LCSGAMUTMATCH;

typedef struct tagCIEXYZ {
  FXPT2DOT30 ciexyzX;
  FXPT2DOT30 ciexyzY;
  FXPT2DOT30 ciexyzZ;
} CIEXYZ;

typedef struct tagCIEXYZTRIPLE {
  CIEXYZ ciexyzRed;
  CIEXYZ ciexyzGreen;
  CIEXYZ ciexyzBlue;
} CIEXYZTRIPLE;

typedef struct tagLOGCOLORSPACEW {
  DWORD lcsSignature;
  DWORD lcsVersion;
  DWORD lcsSize;
  LCSCSTYPE lcsCSType;
  LCSGAMUTMATCH lcsIntent;
  CIEXYZTRIPLE lcsEndpoints;
  DWORD lcsGammaRed;
  DWORD lcsGammaGreen;
  DWORD lcsGammaBlue;
  WCHAR lcsFilename[MAX_PATH];
} LOGCOLORSPACEW, *LPLOGCOLORSPACEW;

#define LCS_SIGNATURE 0x50534F43UL  // "PSOC"
#define LCS_CALIBRATED_RGB 0x00000000L
#define LCS_sRGB 0x73524742L
#define LCS_WINDOWS_COLOR_SPACE 0x57696E20L

typedef struct tagPROFILE {
  DWORD dwType;
  PVOID pProfileData;
  DWORD cbDataSize;
} PROFILE, *PPROFILE;

#define PROFILE_FILENAME 1
#define PROFILE_MEMBUFFER 2
#define PROFILE_READ 1
#define PROFILE_READWRITE 2

// CreateColorTransformW flags.
#define PROOF_MODE 0x00000001
#define NORMAL_MODE 0x00000002
#define BEST_MODE 0x00000003
#define ENABLE_GAMUT_CHECKING 0x00010000
#define USE_RELATIVE_COLORIMETRIC 0x00020000
#define FAST_TRANSLATE 0x00040000

KV_BEGIN_DECLS

// Opens a profile held in memory (PROFILE_MEMBUFFER: data and a non-zero size) or in
// a file (PROFILE_FILENAME: a UTF-16 path of an existing file). NULL with
// ERROR_INVALID_PARAMETER for a bad description or access, ERROR_FILE_NOT_FOUND for a
// missing file.
HPROFILE WINAPI OpenColorProfileW(PPROFILE pProfile, DWORD dwDesiredAccess, DWORD dwShareMode, DWORD dwCreationMode);
BOOL WINAPI CloseColorProfile(HPROFILE hProfile);
// A transform from a logical colour space (lcsSignature LCS_SIGNATURE) to an open
// profile, optionally through a target profile. NULL with ERROR_INVALID_PARAMETER or
// ERROR_INVALID_HANDLE.
HTRANSFORM WINAPI CreateColorTransformW(LPLOGCOLORSPACEW pLogColorSpace, HPROFILE hDestProfile, HPROFILE hTargetProfile,
                                        DWORD dwFlags);
BOOL WINAPI DeleteColorTransform(HTRANSFORM hxform);

KV_END_DECLS

#ifdef __cplusplus
static_assert(sizeof(CIEXYZTRIPLE) == 36 && sizeof(LOGCOLORSPACEW) == 588, "LOGCOLORSPACEW");
static_assert(sizeof(PROFILE) == 12, "PROFILE");
#endif
