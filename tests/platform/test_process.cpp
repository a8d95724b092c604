// Processes: the current process and thread, recorded CreateProcessW and ShellExecuteW
// calls, programs run on the host, exit codes and waiting.
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "internal.h"
#include "kvplat/module_control.h"
#include "machine_fixture.h"
#include "process_internal.h"

namespace {

class ProcessTest : public MachineTest {
 protected:
  // Starts a program with the usual arguments; the command line is copied, as
  // CreateProcessW may write into it.
  BOOL Start(LPCWSTR app, const std::u16string *cmd, LPCWSTR dir = nullptr, DWORD flags = 0)
  {
    std::u16string line = cmd ? *cmd : u"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    pi_ = PROCESS_INFORMATION{};
    return CreateProcessW(app, cmd ? line.data() : nullptr, nullptr, nullptr, FALSE, flags, nullptr, dir, &si, &pi_);
  }
  void CloseBoth()
  {
    EXPECT_TRUE(CloseHandle(pi_.hThread));
    EXPECT_TRUE(CloseHandle(pi_.hProcess));
  }
  static PLAT_PROCESS_RECORD Last()
  {
    PLAT_PROCESS_RECORD r = {};
    DWORD n = PlatProcessRecordCount();
    EXPECT_GT(n, 0u);
    if (n) PlatProcessRecordGet(n - 1, &r);
    return r;
  }
  static std::string Str(LPCWSTR s) { return s ? Narrow(s) : "(null)"; }
  DWORD ExitCode()
  {
    DWORD code = 12345;
    EXPECT_TRUE(GetExitCodeProcess(pi_.hProcess, &code));
    return code;
  }
  PROCESS_INFORMATION pi_ = {};
};

}  // namespace

// ---------------------------------------------------------------- the current process

TEST_F(ProcessTest, TheCurrentProcessAndThread)
{
  EXPECT_EQ(GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)));
  EXPECT_EQ(GetCurrentThread(), reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2)));
  EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(GetCurrentProcess(), &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  EXPECT_TRUE(GetExitCodeThread(GetCurrentThread(), &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  DWORD mine = GetCurrentThreadId(), other = 0;
  EXPECT_EQ(GetCurrentThreadId(), mine);
  std::thread t([&other] { other = GetCurrentThreadId(); });
  t.join();
  EXPECT_NE(other, 0u);
  EXPECT_NE(other, mine);
  SetLastError(0);
  EXPECT_FALSE(TerminateProcess(GetCurrentProcess(), 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

// ---------------------------------------------------------------- recorded programs

TEST_F(ProcessTest, CreateProcessIsRecordedAndEndsAtOnce)
{
  WriteHostFile(HostPath(u"C:\\Drv\\setup.exe"), "MZ");
  std::u16string cmd = u"\"C:\\Drv\\setup.exe\" /s";
  const size_t handles = plat::HandleCount();
  ASSERT_TRUE(Start(u"C:\\Drv\\setup.exe", &cmd, u"C:\\WINDOWS\\system32", CREATE_NO_WINDOW));
  EXPECT_NE(pi_.hProcess, nullptr);
  EXPECT_NE(pi_.hThread, nullptr);
  EXPECT_NE(pi_.hProcess, pi_.hThread);
  EXPECT_NE(pi_.dwProcessId, 0u);
  EXPECT_NE(pi_.dwThreadId, 0u);
  EXPECT_EQ(ExitCode(), 0u);
  DWORD code = 1;
  EXPECT_TRUE(GetExitCodeThread(pi_.hThread, &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(plat::ProcessWait(plat::HandleGet(pi_.hProcess, plat::OBJ_PROCESS), 0), 0u);
  EXPECT_EQ(plat::ProcessWait(plat::HandleGet(pi_.hThread, plat::OBJ_THREAD), INFINITE), 0u);
  EXPECT_TRUE(plat::ProcessSignaled(plat::HandleGet(pi_.hProcess, plat::OBJ_PROCESS)));
  SetLastError(0);
  EXPECT_FALSE(TerminateProcess(pi_.hProcess, 3));  // it has ended
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

  ASSERT_EQ(PlatProcessRecordCount(), 1u);
  PLAT_PROCESS_RECORD r = Last();
  EXPECT_EQ(r.call, static_cast<DWORD>(PLAT_CALL_CREATE_PROCESS));
  EXPECT_TRUE(r.succeeded);
  EXPECT_EQ(Str(r.applicationName), "C:\\Drv\\setup.exe");
  EXPECT_EQ(Str(r.commandLine), "\"C:\\Drv\\setup.exe\" /s");
  EXPECT_EQ(Str(r.currentDirectory), "C:\\WINDOWS\\system32");
  EXPECT_EQ(Str(r.programPath), "C:\\Drv\\setup.exe");
  EXPECT_EQ(r.creationFlags, static_cast<DWORD>(CREATE_NO_WINDOW));
  EXPECT_EQ(r.startupFlags, static_cast<DWORD>(STARTF_USESHOWWINDOW));
  EXPECT_EQ(r.showWindow, SW_HIDE);
  EXPECT_FALSE(r.inheritHandles);
  EXPECT_FALSE(r.hasEnvironment);
  EXPECT_FALSE(r.ranOnHost);
  EXPECT_EQ(r.processId, pi_.dwProcessId);
  CloseBoth();
  EXPECT_EQ(plat::HandleCount(), handles);
  SetLastError(0);
  EXPECT_FALSE(GetExitCodeProcess(pi_.hProcess, &code));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(ProcessTest, CreateProcessFailuresAreRecordedToo)
{
  WriteHostFile(HostPath(u"C:\\Drv\\setup.exe"), "MZ");
  std::u16string empty;
  struct Case {
    LPCWSTR app;
    const WCHAR *cmd;
    LPCWSTR dir;
    DWORD error;
  } cases[] = {
      {u"C:\\Drv\\missing.exe", nullptr, nullptr, ERROR_FILE_NOT_FOUND},
      {u"C:\\Drv\\setup", nullptr, nullptr, ERROR_FILE_NOT_FOUND},  // no extension is added to an application name
      {nullptr, u"missing -x", nullptr, ERROR_FILE_NOT_FOUND},
      {nullptr, u"", nullptr, ERROR_FILE_NOT_FOUND},
      {u"C:\\Drv\\setup.exe", nullptr, u"C:\\NoSuchDir", ERROR_DIRECTORY},
      {u"C:\\Drv\\setup.exe", nullptr, u"C:\\Drv\\setup.exe", ERROR_DIRECTORY},
      {nullptr, nullptr, nullptr, ERROR_INVALID_PARAMETER},
  };
  DWORD n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(Str(c.app) + " / " + Str(c.cmd));
    std::u16string cmd = c.cmd ? c.cmd : u"";
    SetLastError(0);
    EXPECT_FALSE(Start(c.app, c.cmd ? &cmd : nullptr, c.dir));
    EXPECT_EQ(GetLastError(), c.error);
    ASSERT_EQ(PlatProcessRecordCount(), ++n);
    PLAT_PROCESS_RECORD r = Last();
    EXPECT_FALSE(r.succeeded);
    EXPECT_EQ(r.error, c.error);
  }
  STARTUPINFOW si = {};
  SetLastError(0);
  EXPECT_FALSE(
      CreateProcessW(u"C:\\Drv\\setup.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  PlatProcessRecordClear();
  EXPECT_EQ(PlatProcessRecordCount(), 0u);
  PLAT_PROCESS_RECORD r;
  EXPECT_FALSE(PlatProcessRecordGet(0, &r));
}

TEST_F(ProcessTest, TheProgramOfACommandLine)
{
  ASSERT_TRUE(PlatModuleSetMainPath(u"C:\\App\\host.exe"));
  WriteHostFile(HostPath(u"C:\\Program Files\\Tool\\run.exe"), "MZ");
  WriteHostFile(HostPath(u"C:\\WINDOWS\\system32\\tool.exe"), "MZ");
  WriteHostFile(HostPath(u"C:\\WINDOWS\\system32\\both.exe"), "MZ");
  WriteHostFile(HostPath(u"C:\\App\\both.exe"), "MZ");
  WriteHostFile(HostPath(u"C:\\Work\\here.exe"), "MZ");
  WriteHostFile(HostPath(u"C:\\WINDOWS\\here.exe"), "MZ");
  WriteHostFile(HostPath(u"C:\\WINDOWS\\system32\\prog.com"), "MZ");
  ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\Work"));
  struct Case {
    const WCHAR *cmd;
    const char *program;
  } cases[] = {
      {u"\"C:\\Program Files\\Tool\\run.exe\" -x", "C:\\Program Files\\Tool\\run.exe"},
      {u"C:\\Program Files\\Tool\\run.exe -x", "C:\\Program Files\\Tool\\run.exe"},  // blanks tried in turn
      {u"C:\\Program Files\\Tool\\run -x", "C:\\Program Files\\Tool\\run.exe"},
      {u"tool /q", "C:\\WINDOWS\\system32\\tool.exe"},
      {u"  TOOL.EXE", "C:\\WINDOWS\\system32\\TOOL.EXE"},
      {u"both", "C:\\App\\both.exe"},   // the application folder first
      {u"here", "C:\\Work\\here.exe"},  // then the current folder
      {u"prog.com arg", "C:\\WINDOWS\\system32\\prog.com"},
      {u"..\\Program Files\\Tool\\run.exe", "C:\\Program Files\\Tool\\run.exe"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(Narrow(c.cmd));
    std::u16string cmd = c.cmd;
    ASSERT_TRUE(Start(nullptr, &cmd));
    PLAT_PROCESS_RECORD r = Last();
    EXPECT_EQ(Str(r.programPath), c.program);
    EXPECT_EQ(Str(r.commandLine), Narrow(c.cmd));
    EXPECT_EQ(r.applicationName, nullptr);
    CloseBoth();
  }
}

// ---------------------------------------------------------------- ShellExecuteW

TEST_F(ProcessTest, ShellExecuteIsRecorded)
{
  WriteHostFile(HostPath(u"C:\\Drv\\op_guide\\int\\index.htm"), "<html>");
  struct Case {
    LPCWSTR op;
    LPCWSTR file;
    LPCWSTR params;
    LPCWSTR dir;
    bool ok;
    const char *program;
  } cases[] = {
      {u"open", u"C:\\Drv\\op_guide\\int\\index.htm", nullptr, nullptr, true, "C:\\Drv\\op_guide\\int\\index.htm"},
      {nullptr, u"index.htm", u"-a", u"C:\\Drv\\op_guide\\int", true, "C:\\Drv\\op_guide\\int\\index.htm"},
      {u"explore", u"C:\\Drv", nullptr, nullptr, true, "C:\\Drv"},
      {u"open", u"http://example.invalid/help", nullptr, nullptr, true, "http://example.invalid/help"},
      {u"open", u"C:\\Drv\\op_guide\\missing.htm", nullptr, nullptr, false, ""},
      {u"open", u"", nullptr, nullptr, false, ""},
      {u"open", nullptr, nullptr, nullptr, false, ""},
  };
  DWORD n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(Str(c.file));
    HINSTANCE h = ShellExecuteW(NULL, c.op, c.file, c.params, c.dir, SW_SHOWNORMAL);
    uintptr_t v = reinterpret_cast<uintptr_t>(h);
    if (c.ok) {
      EXPECT_GT(v, 32u);
    } else {
      EXPECT_EQ(v, static_cast<uintptr_t>(SE_ERR_FNF));
    }
    ASSERT_EQ(PlatProcessRecordCount(), ++n);
    PLAT_PROCESS_RECORD r = Last();
    EXPECT_EQ(r.call, static_cast<DWORD>(PLAT_CALL_SHELL_EXECUTE));
    EXPECT_EQ(r.succeeded, c.ok ? TRUE : FALSE);
    EXPECT_EQ(Str(r.operation), Str(c.op));
    EXPECT_EQ(Str(r.file), Str(c.file));
    EXPECT_EQ(Str(r.parameters), Str(c.params));
    EXPECT_EQ(Str(r.currentDirectory), Str(c.dir));
    EXPECT_EQ(r.showWindow, SW_SHOWNORMAL);
    EXPECT_EQ(Str(r.programPath), c.program);
  }
}

// ---------------------------------------------------------------- programs run on the host

TEST_F(ProcessTest, AMappedProgramRunsOnTheHost)
{
  ASSERT_TRUE(PlatProcessRunOnHost(u"C:\\Tools\\sh.exe", "/bin/sh"));
  WriteHostFile(HostPath(u"C:\\Work\\keep.txt"), "");
  // Arguments are split by the Win32 rules: quotes group, \" is a quote, "" inside
  // quotes is a quote; the program token is left out.
  std::u16string cmd =
      u"\"C:\\Tools\\sh.exe\" -c \"printf '%s|' \\\"$0\\\" \\\"$1\\\" \\\"$2\\\" \\\"$3\\\" > args.txt; exit 3\" "
      u"first \"sec ond\" back\\\\\\\"slash \"say \"\"hi\"\"\"";
  ASSERT_TRUE(Start(nullptr, &cmd, u"C:\\Work")) << GetLastError();
  EXPECT_EQ(plat::ProcessWait(plat::HandleGet(pi_.hProcess, plat::OBJ_PROCESS), INFINITE), 0u);
  EXPECT_EQ(ExitCode(), 3u);
  EXPECT_EQ(ReadHostFile(HostPath(u"C:\\Work\\args.txt")), "first|sec ond|back\\\"slash|say \"hi\"|");
  PLAT_PROCESS_RECORD r = Last();
  EXPECT_TRUE(r.ranOnHost);
  EXPECT_EQ(r.processId, pi_.dwProcessId);
  CloseBoth();
}

TEST_F(ProcessTest, ARunningProgramCanBeWaitedForAndTerminated)
{
  ASSERT_TRUE(PlatProcessRunOnHost(u"C:\\Tools\\block.exe", "/bin/sh"));
  // The child would run for an hour: it ends only when terminated.
  std::u16string cmd = u"block.exe -c \"exec sleep 3600\"";
  ASSERT_TRUE(PlatModuleSetMainPath(u"C:\\Tools\\host.exe"));
  ASSERT_TRUE(Start(nullptr, &cmd)) << GetLastError();
  EXPECT_EQ(ExitCode(), static_cast<DWORD>(STILL_ACTIVE));
  auto obj = plat::HandleGet(pi_.hProcess, plat::OBJ_PROCESS);
  EXPECT_EQ(plat::ProcessWait(obj, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_FALSE(plat::ProcessSignaled(obj));
  ASSERT_TRUE(TerminateProcess(pi_.hProcess, 9));
  EXPECT_EQ(ExitCode(), 9u);
  EXPECT_EQ(plat::ProcessWait(obj, INFINITE), 0u);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(pi_.hThread, &code));
  EXPECT_EQ(code, 9u);
  SetLastError(0);
  EXPECT_FALSE(TerminateProcess(pi_.hProcess, 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  CloseBoth();
  // Another kind of object is not a process.
  EXPECT_EQ(plat::ProcessWait(nullptr, 0), 0xFFFFFFFFu);
}

TEST_F(ProcessTest, HostMappingsAndRecordsEndWithTheTest)
{
  ASSERT_TRUE(PlatProcessRunOnHost(u"C:\\Tools\\sh.exe", "/bin/sh"));
  std::u16string cmd = u"C:\\Tools\\sh.exe -c \"exit 0\"";
  ASSERT_TRUE(Start(nullptr, &cmd));
  CloseBoth();
  std::string root = Root();
  PlatResetForTest();
  ASSERT_TRUE(PlatSetMachineRoot(root.c_str()));
  EXPECT_EQ(PlatProcessRecordCount(), 0u);
  SetLastError(0);
  EXPECT_FALSE(Start(nullptr, &cmd));  // the mapping is gone and no such file exists
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  // Removing a mapping works the same way.
  ASSERT_TRUE(PlatProcessRunOnHost(u"C:\\Tools\\sh.exe", "/bin/sh"));
  ASSERT_TRUE(PlatProcessRunOnHost(u"c:\\tools\\SH.EXE", nullptr));
  EXPECT_FALSE(Start(nullptr, &cmd));
  EXPECT_FALSE(PlatProcessRunOnHost(nullptr, "/bin/sh"));
}
