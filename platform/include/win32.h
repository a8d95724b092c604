// The Win32 subset the driver calls. On Windows this is <windows.h>; here it is the
// platform layer's own stand-in with the same names, types and behaviour.
#pragma once
#ifdef _WIN32
#include <windows.h>
#else
#include "win32/types.h"
#include "win32/errors.h"
#include "win32/base.h"
#include "win32/system.h"
#if __has_include("win32/strings.h")
#include "win32/strings.h"
#endif
#if __has_include("win32/codepage.h")
#include "win32/codepage.h"
#endif
#if __has_include("win32/files.h")
#include "win32/files.h"
#endif
#if __has_include("win32/profile.h")
#include "win32/profile.h"
#endif
#if __has_include("win32/registry.h")
#include "win32/registry.h"
#endif
#if __has_include("win32/spooler.h")
#include "win32/spooler.h"
#endif
#if __has_include("win32/sync.h")
#include "win32/sync.h"
#endif
#if __has_include("win32/version.h")
#include "win32/version.h"
#endif
#if __has_include("win32/security.h")
#include "win32/security.h"
#endif
#if __has_include("win32/locale.h")
#include "win32/locale.h"
#endif
#if __has_include("win32/module.h")
#include "win32/module.h"
#endif
#if __has_include("win32/process.h")
#include "win32/process.h"
#endif
#if __has_include("win32/resource.h")
#include "win32/resource.h"
#endif
#if __has_include("win32/icm.h")
#include "win32/icm.h"
#endif
#if __has_include("win32/window.h")
#include "win32/window.h"
#endif
#if __has_include("win32/gdi.h")
#include "win32/gdi.h"
#endif
#endif
