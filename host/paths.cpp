// The machine root a command runs on, and the files its arguments name: Windows paths on
// the machine root, or host paths reached through the platform's host drive.
#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "host.h"
#include "kvplat/control.h"
#include "kvplat/host_drive.h"

namespace fs = std::filesystem;

namespace host {
namespace {

// The private root of this run, removed at exit and on a terminating signal.
char g_privateRoot[4096];

void RemovePrivateRoot()
{
  if (g_privateRoot[0] == 0) return;
  std::error_code ec;
  fs::remove_all(g_privateRoot, ec);
  g_privateRoot[0] = 0;
}

void OnSignal(int sig)
{
  RemovePrivateRoot();
  signal(sig, SIG_DFL);
  raise(sig);
}

bool IsWindowsPath(const std::string &arg)
{
  bool drive =
      arg.size() >= 2 && arg[1] == ':' && ((arg[0] >= 'A' && arg[0] <= 'Z') || (arg[0] >= 'a' && arg[0] <= 'z'));
  return drive || (!arg.empty() && arg[0] == '\\');
}

}  // namespace

int RequireMachineRoot()
{
  const char *root = PlatGetMachineRoot();
  if (root == nullptr)
    return Fail("no machine root: pass --root DIR or set KVML_ROOT (kvmlhost machine init DIR makes one)");
  struct stat st;
  if (stat(root, &st) != 0 || !S_ISDIR(st.st_mode))
    return Fail(std::string("machine root ") + root + ": no such folder (kvmlhost machine init DIR makes one)");
  return 0;
}

bool UseMachineRootOrPrivate(std::string &err)
{
  err.clear();
  if (PlatGetMachineRoot() != nullptr) return RequireMachineRoot() == 0;  // which said why
  const char *tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/kvmlhost-XXXXXX";
  if (pattern.size() >= sizeof g_privateRoot) {
    err = "the temporary folder's path is too long: " + pattern;
    return false;
  }
  std::string made = pattern;
  if (mkdtemp(made.data()) == nullptr) {
    err = "cannot make a private machine root in " + pattern.substr(0, pattern.rfind('/')) + ": " + strerror(errno);
    return false;
  }
  made.copy(g_privateRoot, made.size());
  g_privateRoot[made.size()] = 0;
  atexit(RemovePrivateRoot);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, OnSignal);
  std::error_code ec;
  fs::create_directories(fs::path(made) / "C" / "WINDOWS" / "Temp", ec);
  fs::create_directories(fs::path(made) / "C" / "WINDOWS" / "system32", ec);
  if (ec || !PlatSetMachineRoot(made.c_str())) {
    err = "cannot prepare the private machine root " + made + ": " + ec.message();
    return false;
  }
  return true;
}

bool FileArgument(const std::string &arg, std::u16string &winPath, std::string &err)
{
  if (arg.empty()) {
    err = "an empty file name";
    return false;
  }
  if (IsWindowsPath(arg)) {
    winPath = Widen(arg);
    return true;
  }
  std::error_code ec;
  fs::path host = fs::path(arg).is_absolute() ? fs::path(arg) : fs::current_path(ec) / arg;
  if (ec) {
    err = arg + ": cannot find the current folder: " + ec.message();
    return false;
  }
  WCHAR buf[MAX_PATH];
  if (!PlatHostPathToWin(host.c_str(), buf, MAX_PATH)) {
    DWORD code = GetLastError();
    std::string why = code == ERROR_INVALID_NAME ? "a name in it cannot be part of a Windows path"
                      : code == ERROR_FILENAME_EXCED_RANGE
                          ? "longer than a Windows path can be (" + std::to_string(MAX_PATH - 1) + " characters)"
                          : "it cannot be named by a Windows path";
    err = arg + ": " + why + ": " + ErrorText(code);
    return false;
  }
  winPath = buf;
  return true;
}

bool WriteWholeFile(const std::string &arg, const BYTE *bytes, DWORD size, std::string &err)
{
  std::u16string path;
  if (!FileArgument(arg, path, err)) return false;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (f == INVALID_HANDLE_VALUE) {
    err = "cannot write " + arg + ": " + ErrorText(GetLastError());
    return false;
  }
  DWORD written = 0;
  BOOL ok = size == 0 || WriteFile(f, bytes, size, &written, NULL);
  DWORD code = ok ? ERROR_SUCCESS : GetLastError();
  if (!CloseHandle(f) && ok) {
    ok = FALSE;
    code = GetLastError();
  }
  if (!ok || written != size) {
    err = "cannot write " + arg + ": " + ErrorText(code != ERROR_SUCCESS ? code : ERROR_WRITE_FAULT);
    return false;
  }
  return true;
}

std::string ShowPath(const std::u16string &winPath)
{
  WCHAR drive = PlatGetHostDrive();
  bool onHost = drive != 0 && winPath.size() >= 3 && (winPath[0] == drive || winPath[0] == drive + 32) &&
                winPath[1] == u':' && winPath[2] == u'\\';
  if (!onHost) return Narrow(winPath);
  std::string host = "/" + Narrow(winPath.substr(3));
  for (char &c : host)
    if (c == '\\') c = '/';
  std::error_code ec;
  std::string cwd = fs::current_path(ec).string();
  if (!ec && cwd != "/" && host.size() > cwd.size() + 1 && host.compare(0, cwd.size(), cwd) == 0 &&
      host[cwd.size()] == '/')
    return host.substr(cwd.size() + 1);
  return host;
}

}  // namespace host
