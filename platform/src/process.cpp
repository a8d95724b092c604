// Processes: the current process and thread, and the programs the driver starts.
// CreateProcessW and ShellExecuteW are recorded; a recorded process has ended at once
// with exit code 0. A program mapped to a host program really runs (posix_spawn).
#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "kvplat/module_control.h"
#include "module_internal.h"
#include "process_internal.h"
#include "win32/process.h"

extern char **environ;

namespace plat {
namespace {

// What the process and thread handles of one started program share.
struct ProcState {
  std::mutex lock;
  pid_t host = 0;  // the host process, 0 for a recorded one
  bool ended = false;
  DWORD exitCode = STILL_ACTIVE;
  // With its last handle closed, an ended host process is reaped; a running one is
  // left to run.
  ~ProcState()
  {
    int status;
    if (host && !ended) waitpid(host, &status, WNOHANG);
  }
};

struct ProcObject : Object {
  ProcObject(ObjKind k, std::shared_ptr<ProcState> s) : Object(k), state(std::move(s)) {}
  std::shared_ptr<ProcState> state;
};

// Updates a host process's state without blocking, reaping it when it has ended.
// Call with the state's lock held.
void Poll(ProcState &s)
{
  if (s.ended || !s.host) return;
  int status = 0;
  pid_t r = waitpid(s.host, &status, WNOHANG);
  if (r == s.host) {
    s.ended = true;
    if (WIFEXITED(status))
      s.exitCode = static_cast<DWORD>(WEXITSTATUS(status));
    else if (WIFSIGNALED(status))
      s.exitCode = 128u + static_cast<DWORD>(WTERMSIG(status));  // the shell's convention
  } else if (r < 0 && errno == ECHILD) {
    s.ended = true;
    if (s.exitCode == STILL_ACTIVE) s.exitCode = 0;
  }
}

struct OptStr {
  bool set = false;
  std::u16string text;
  void Assign(const WCHAR *s)
  {
    set = s != nullptr;
    text = s ? s : u"";
  }
  const WCHAR *Get() const { return set ? text.c_str() : nullptr; }
};

struct Record {
  DWORD call = 0;
  BOOL ok = FALSE;
  DWORD error = 0;
  OptStr app, cmd, dir, op, file, params;
  std::u16string program;
  DWORD flags = 0;
  BOOL inherit = FALSE, env = FALSE;
  DWORD startFlags = 0;
  WORD show = 0;
  DWORD pid = 0;
  BOOL host = FALSE;
};

struct FoldLess {
  bool operator()(const std::u16string &a, const std::u16string &b) const
  {
    return FoldCompare(a.data(), a.size(), b.data(), b.size()) < 0;
  }
};

std::mutex g_lock;
std::deque<Record> g_records;
std::map<std::u16string, std::string, FoldLess> g_hostPrograms;
DWORD g_nextId = 0x1000;

DWORD NewId()
{
  std::lock_guard<std::mutex> guard(g_lock);
  g_nextId += 4;
  if (g_nextId >= 0x00FFFFF0) g_nextId = 0x1004;
  return g_nextId;
}

void Keep(Record r)
{
  std::lock_guard<std::mutex> guard(g_lock);
  g_records.push_back(std::move(r));
}

bool IsBlank(WCHAR c) { return c == u' ' || c == u'\t'; }

bool HasFolder(const std::u16string &s) { return s.find_first_of(u"\\/:") != std::u16string::npos; }

std::u16string WithExe(const std::u16string &name)
{
  size_t cut = name.find_last_of(u"\\/:");
  std::u16string file = cut == std::u16string::npos ? name : name.substr(cut + 1);
  return file.find(u'.') == std::u16string::npos ? name + u".exe" : name;
}

bool HostProgramOf(const std::u16string &full, std::string &hostProgram)
{
  std::lock_guard<std::mutex> guard(g_lock);
  auto it = g_hostPrograms.find(full);
  if (it == g_hostPrograms.end()) return false;
  hostProgram = it->second;
  return true;
}

// A program exists when its file is on the machine or it is mapped to a host program.
bool ProgramExists(const std::u16string &full)
{
  std::string host;
  return WinFileExists(full, host) || HostProgramOf(full, host);
}

// Finds a program name: a path as it stands, a bare name in the search folders.
bool FindProgram(const std::u16string &name, bool addExe, std::u16string &full)
{
  std::u16string n = addExe ? WithExe(name) : name;
  if (n.empty()) return false;
  if (HasFolder(n)) return FullWinPath(n.c_str(), full) && ProgramExists(full);
  for (const auto &folder : SearchFolders(true)) {
    std::u16string candidate;
    if (FullWinPath((folder + u"\\" + n).c_str(), candidate) && ProgramExists(candidate)) {
      full = candidate;
      return true;
    }
  }
  return false;
}

// The program of a command line: a quoted first token, or else the shortest prefix
// ending at a blank that names an existing program, as Win32 tries them. rest receives
// the position after the program token.
bool ProgramFromCommandLine(const std::u16string &cmd, std::u16string &full, size_t &rest)
{
  size_t i = 0;
  while (i < cmd.size() && IsBlank(cmd[i])) ++i;
  if (i < cmd.size() && cmd[i] == u'"') {
    size_t close = cmd.find(u'"', i + 1);
    size_t end = close == std::u16string::npos ? cmd.size() : close;
    rest = close == std::u16string::npos ? cmd.size() : close + 1;
    return FindProgram(cmd.substr(i + 1, end - i - 1), true, full);
  }
  for (size_t j = i; j <= cmd.size(); ++j) {
    if (j < cmd.size() && !IsBlank(cmd[j])) continue;
    if (j > i && FindProgram(cmd.substr(i, j - i), true, full)) {
      rest = j;
      return true;
    }
  }
  return false;
}

// Splits the arguments of a command line by the rules of the C runtime: blanks
// separate, quotes group, 2n backslashes before a quote give n and the quote groups,
// 2n+1 give n and a literal quote, "" inside quotes is a literal quote.
std::vector<std::u16string> SplitArguments(const std::u16string &s, size_t from)
{
  std::vector<std::u16string> args;
  size_t i = from, n = s.size();
  for (;;) {
    while (i < n && IsBlank(s[i])) ++i;
    if (i >= n) break;
    std::u16string a;
    bool quoted = false;
    while (i < n && (quoted || !IsBlank(s[i]))) {
      if (s[i] == u'\\') {
        size_t k = 0;
        while (i < n && s[i] == u'\\') ++k, ++i;
        if (i < n && s[i] == u'"') {
          a.append(k / 2, u'\\');
          if (k % 2) a += u'"', ++i;
        } else {
          a.append(k, u'\\');
        }
      } else if (s[i] == u'"') {
        if (quoted && i + 1 < n && s[i + 1] == u'"') {
          a += u'"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        a += s[i++];
      }
    }
    args.push_back(a);
  }
  return args;
}

// Runs a host program; answers its pid, or 0 with the last error set.
pid_t SpawnHost(const std::string &program, const std::vector<std::u16string> &args, const std::string &cwd)
{
  std::vector<std::string> storage;
  storage.push_back(program);
  for (const auto &a : args) storage.push_back(Utf16ToUtf8(a.data(), a.size()));
  std::vector<char *> argv;
  for (auto &s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  pid_t pid = 0;
  int err = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (err != 0) {
    SetErrorFromErrno(err);
    return 0;
  }
  return pid;
}

bool HostFolder(const WCHAR *winPath, std::string &host)
{
  struct stat st;
  return MapPath(winPath, host) && stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Checks the arguments and finds the program; fills r.program, rest and the working folder.
bool Prepare(LPCWSTR app, LPCWSTR cmd, LPCWSTR dir, Record &r, size_t &rest, std::string &hostDir)
{
  if (!app && !cmd) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::u16string full;
  rest = 0;
  bool found = app ? FindProgram(app, false, full) : ProgramFromCommandLine(cmd, full, rest);
  if (app && cmd) {
    // The command line then begins with the program's name, as argv[0]: its first
    // token is not an argument.
    std::u16string c(cmd);
    size_t i = 0;
    while (i < c.size() && IsBlank(c[i])) ++i;
    if (i < c.size() && c[i] == u'"') {
      size_t close = c.find(u'"', i + 1);
      rest = close == std::u16string::npos ? c.size() : close + 1;
    } else {
      while (i < c.size() && !IsBlank(c[i])) ++i;
      rest = i;
    }
  }
  r.program = found ? full : u"";
  if (!found) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  if (dir) {
    if (!HostFolder(dir, hostDir)) {
      SetLastError(ERROR_DIRECTORY);
      return false;
    }
  } else {
    WCHAR cwd[MAX_PATH];
    DWORD n = GetCurrentDirectoryW(MAX_PATH, cwd);
    if (n == 0 || n >= MAX_PATH || !HostFolder(cwd, hostDir)) hostDir.clear();
  }
  return true;
}

void ResetProcesses()
{
  std::lock_guard<std::mutex> guard(g_lock);
  g_records.clear();
  g_hostPrograms.clear();
}

struct ResetRegistrar {
  ResetRegistrar() { RegisterReset(ResetProcesses); }
} g_registrar;

ProcState *StateOf(HANDLE h, ObjKind kind, std::shared_ptr<Object> &keep)
{
  keep = HandleGet(h, kind);
  auto *p = dynamic_cast<ProcObject *>(keep.get());
  if (!p) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return p->state.get();
}

}  // namespace

DWORD ProcessWait(const std::shared_ptr<Object> &obj, DWORD timeoutMs)
{
  auto *p = dynamic_cast<ProcObject *>(obj.get());
  if (!p) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0xFFFFFFFFu;
  }
  ProcState &s = *p->state;
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    pid_t host;
    {
      std::lock_guard<std::mutex> guard(s.lock);
      Poll(s);
      if (s.ended) return 0;
      host = s.host;
    }
    if (timeoutMs == INFINITE) {
      // Wait for the end without reaping; Poll reaps under the lock.
      siginfo_t info;
      memset(&info, 0, sizeof info);
      waitid(P_PID, static_cast<id_t>(host), &info, WEXITED | WNOWAIT);
      continue;
    }
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    int64_t elapsed = (now.tv_sec - start.tv_sec) * 1000LL + (now.tv_nsec - start.tv_nsec) / 1000000LL;
    if (elapsed >= static_cast<int64_t>(timeoutMs)) return WAIT_TIMEOUT;
    int64_t slice = static_cast<int64_t>(timeoutMs) - elapsed;
    if (slice > 5) slice = 5;
    timespec pause = {0, static_cast<long>(slice) * 1000000L};
    nanosleep(&pause, nullptr);
  }
}

bool ProcessSignaled(const std::shared_ptr<Object> &obj)
{
  auto *p = dynamic_cast<ProcObject *>(obj.get());
  if (!p) return false;
  std::lock_guard<std::mutex> guard(p->state->lock);
  Poll(*p->state);
  return p->state->ended;
}

}  // namespace plat

HANDLE WINAPI GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }
HANDLE WINAPI GetCurrentThread(void) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2)); }
DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }
DWORD WINAPI GetCurrentThreadId(void) { return static_cast<DWORD>(syscall(SYS_gettid)); }

BOOL WINAPI CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                           LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                           LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                           LPPROCESS_INFORMATION lpProcessInformation)
{
  if (!lpStartupInfo || !lpProcessInformation) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  plat::Record r;
  r.call = PLAT_CALL_CREATE_PROCESS;
  r.app.Assign(lpApplicationName);
  r.cmd.Assign(lpCommandLine);
  r.dir.Assign(lpCurrentDirectory);
  r.flags = dwCreationFlags;
  r.inherit = bInheritHandles;
  r.env = lpEnvironment != nullptr;
  r.startFlags = lpStartupInfo->dwFlags;
  r.show = lpStartupInfo->wShowWindow;
  size_t rest = 0;
  std::string hostDir, hostProgram;
  auto fail = [&r]() {
    r.error = GetLastError();
    plat::Keep(r);
    return FALSE;
  };
  if (!plat::Prepare(lpApplicationName, lpCommandLine, lpCurrentDirectory, r, rest, hostDir)) return fail();

  auto state = std::make_shared<plat::ProcState>();
  DWORD pid = 0;
  if (plat::HostProgramOf(r.program, hostProgram)) {
    std::vector<std::u16string> args;
    if (lpCommandLine) args = plat::SplitArguments(lpCommandLine, rest);
    pid_t child = plat::SpawnHost(hostProgram, args, hostDir);
    if (!child) return fail();
    state->host = child;
    pid = static_cast<DWORD>(child);
    r.host = TRUE;
  } else {
    state->ended = true;
    state->exitCode = 0;
    pid = plat::NewId();
  }
  HANDLE process = plat::HandleAdd(std::make_shared<plat::ProcObject>(plat::OBJ_PROCESS, state));
  HANDLE thread = process ? plat::HandleAdd(std::make_shared<plat::ProcObject>(plat::OBJ_THREAD, state)) : NULL;
  if (!thread) {
    DWORD err = GetLastError();
    if (process) plat::HandleClose(process);
    SetLastError(err);
    return fail();
  }
  lpProcessInformation->hProcess = process;
  lpProcessInformation->hThread = thread;
  lpProcessInformation->dwProcessId = pid;
  lpProcessInformation->dwThreadId = plat::NewId();
  r.ok = TRUE;
  r.pid = pid;
  plat::Keep(r);
  return TRUE;
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode)
{
  if (!lpExitCode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (hProcess == GetCurrentProcess()) {
    *lpExitCode = STILL_ACTIVE;
    return TRUE;
  }
  std::shared_ptr<plat::Object> keep;
  plat::ProcState *s = plat::StateOf(hProcess, plat::OBJ_PROCESS, keep);
  if (!s) return FALSE;
  std::lock_guard<std::mutex> guard(s->lock);
  plat::Poll(*s);
  *lpExitCode = s->ended ? s->exitCode : STILL_ACTIVE;
  return TRUE;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode)
{
  if (!lpExitCode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (hThread == GetCurrentThread()) {
    *lpExitCode = STILL_ACTIVE;
    return TRUE;
  }
  std::shared_ptr<plat::Object> keep;
  plat::ProcState *s = plat::StateOf(hThread, plat::OBJ_THREAD, keep);
  if (!s) return FALSE;
  std::lock_guard<std::mutex> guard(s->lock);
  plat::Poll(*s);
  *lpExitCode = s->ended ? s->exitCode : STILL_ACTIVE;
  return TRUE;
}

BOOL WINAPI TerminateProcess(HANDLE hProcess, UINT uExitCode)
{
  if (hProcess == GetCurrentProcess()) {
    SetLastError(ERROR_ACCESS_DENIED);  // this layer never ends its own process
    return FALSE;
  }
  std::shared_ptr<plat::Object> keep;
  plat::ProcState *s = plat::StateOf(hProcess, plat::OBJ_PROCESS, keep);
  if (!s) return FALSE;
  std::lock_guard<std::mutex> guard(s->lock);
  plat::Poll(*s);
  if (s->ended) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  kill(s->host, SIGKILL);
  int status;
  while (waitpid(s->host, &status, 0) < 0 && errno == EINTR) {}
  s->ended = true;
  s->exitCode = uExitCode;
  return TRUE;
}

HINSTANCE WINAPI ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                               LPCWSTR lpDirectory, INT nShowCmd)
{
  plat::Record r;
  r.call = PLAT_CALL_SHELL_EXECUTE;
  r.op.Assign(lpOperation);
  r.file.Assign(lpFile);
  r.params.Assign(lpParameters);
  r.dir.Assign(lpDirectory);
  r.show = static_cast<WORD>(nShowCmd);
  std::u16string file = lpFile ? lpFile : u"";
  bool url = file.find(u"://") != std::u16string::npos || file.compare(0, 7, u"mailto:") == 0;
  bool found = false;
  if (url) {
    r.program = file;
    found = true;
  } else if (!file.empty()) {
    std::u16string full, name = file;
    if (lpDirectory && *lpDirectory && !(name.size() > 1 && (name[1] == u':' || name[0] == u'\\')))
      name = std::u16string(lpDirectory) + u"\\" + name;
    std::string host;
    struct stat st;
    if (plat::HasFolder(name) || (lpDirectory && *lpDirectory)) {
      found =
          plat::FullWinPath(name.c_str(), full) && plat::MapPath(full.c_str(), host) && stat(host.c_str(), &st) == 0;
    } else {
      for (const auto &folder : plat::SearchFolders(true)) {
        if (plat::FullWinPath((folder + u"\\" + name).c_str(), full) && plat::MapPath(full.c_str(), host) &&
            stat(host.c_str(), &st) == 0) {
          found = true;
          break;
        }
      }
    }
    if (found) r.program = full;
  }
  if (!found) {
    r.error = ERROR_FILE_NOT_FOUND;
    plat::Keep(r);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(SE_ERR_FNF));
  }
  r.ok = TRUE;
  plat::Keep(r);
  return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(42));
}

// ---------------------------------------------------------------- controls

DWORD PlatProcessRecordCount(void)
{
  std::lock_guard<std::mutex> guard(plat::g_lock);
  return static_cast<DWORD>(plat::g_records.size());
}

BOOL PlatProcessRecordGet(DWORD index, PLAT_PROCESS_RECORD *out)
{
  std::lock_guard<std::mutex> guard(plat::g_lock);
  if (!out || index >= plat::g_records.size()) return FALSE;
  const plat::Record &r = plat::g_records[index];
  memset(out, 0, sizeof *out);
  out->call = r.call;
  out->succeeded = r.ok;
  out->error = r.error;
  out->applicationName = r.app.Get();
  out->commandLine = r.cmd.Get();
  out->currentDirectory = r.dir.Get();
  out->programPath = r.program.c_str();
  out->creationFlags = r.flags;
  out->inheritHandles = r.inherit;
  out->hasEnvironment = r.env;
  out->startupFlags = r.startFlags;
  out->showWindow = r.show;
  out->processId = r.pid;
  out->ranOnHost = r.host;
  out->operation = r.op.Get();
  out->file = r.file.Get();
  out->parameters = r.params.Get();
  return TRUE;
}

void PlatProcessRecordClear(void)
{
  std::lock_guard<std::mutex> guard(plat::g_lock);
  plat::g_records.clear();
}

BOOL PlatProcessRunOnHost(LPCWSTR winProgramPath, const char *hostProgram)
{
  std::u16string full;
  if (!winProgramPath || !plat::FullWinPath(winProgramPath, full)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(plat::g_lock);
  if (hostProgram && *hostProgram)
    plat::g_hostPrograms[full] = hostProgram;
  else
    plat::g_hostPrograms.erase(full);
  return TRUE;
}
