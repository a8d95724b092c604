// Colour management: profile and transform handles. Profiles are checked when opened
// and transforms tie a colour space to open profiles; nothing is transformed.
#include <unordered_map>

#include "eng_internal.h"
#include "win32/icm.h"

namespace {

enum class Kind { Profile, Transform };

std::unordered_map<uintptr_t, Kind> &Handles()
{
  static auto *t = new std::unordered_map<uintptr_t, Kind>();
  return *t;
}

bool Is(HANDLE h, Kind k)
{
  auto it = Handles().find(reinterpret_cast<uintptr_t>(h));
  return it != Handles().end() && it->second == k;
}

HANDLE Add(Kind k)
{
  uintptr_t h = plat::eng::NewHandle();
  Handles()[h] = k;
  return reinterpret_cast<HANDLE>(h);
}

BOOL Remove(HANDLE h, Kind k)
{
  if (!Is(h, k)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  Handles().erase(reinterpret_cast<uintptr_t>(h));
  return TRUE;
}

void ResetIcm()
{
  std::lock_guard<std::recursive_mutex> g(plat::eng::Lock());
  Handles().clear();
}

struct ResetRegistrar {
  ResetRegistrar() { plat::RegisterReset(ResetIcm); }
} g_registrar;

}  // namespace

HPROFILE WINAPI OpenColorProfileW(PPROFILE pProfile, DWORD dwDesiredAccess, DWORD dwShareMode, DWORD dwCreationMode)
{
  std::lock_guard<std::recursive_mutex> g(plat::eng::Lock());
  if (!pProfile || (dwDesiredAccess != PROFILE_READ && dwDesiredAccess != PROFILE_READWRITE) ||
      !pProfile->pProfileData || !pProfile->cbDataSize) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  if (pProfile->dwType == PROFILE_FILENAME) {
    DWORD attrs = GetFileAttributesW(static_cast<LPCWSTR>(pProfile->pProfileData));
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY)) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return NULL;
    }
  } else if (pProfile->dwType != PROFILE_MEMBUFFER) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  return Add(Kind::Profile);
}

BOOL WINAPI CloseColorProfile(HPROFILE hProfile)
{
  std::lock_guard<std::recursive_mutex> g(plat::eng::Lock());
  return Remove(hProfile, Kind::Profile);
}

HTRANSFORM WINAPI CreateColorTransformW(LPLOGCOLORSPACEW pLogColorSpace, HPROFILE hDestProfile, HPROFILE hTargetProfile,
                                        DWORD dwFlags)
{
  std::lock_guard<std::recursive_mutex> g(plat::eng::Lock());
  if (!pLogColorSpace || pLogColorSpace->lcsSignature != LCS_SIGNATURE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  if (!Is(hDestProfile, Kind::Profile) || (hTargetProfile && !Is(hTargetProfile, Kind::Profile))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return NULL;
  }
  return Add(Kind::Transform);
}

BOOL WINAPI DeleteColorTransform(HTRANSFORM hxform)
{
  std::lock_guard<std::recursive_mutex> g(plat::eng::Lock());
  return Remove(hxform, Kind::Transform);
}

ULONG PlatColorHandleCount(void)
{
  std::lock_guard<std::recursive_mutex> g(plat::eng::Lock());
  return static_cast<ULONG>(Handles().size());
}
