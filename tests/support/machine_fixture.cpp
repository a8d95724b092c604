#include "machine_fixture.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <dirent.h>
#include <unistd.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

void MachineTest::SetUp()
{
  PlatResetForTest();
  std::string tmpl = (std::filesystem::temp_directory_path() / "kvroot-XXXXXX").string();
  ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
  root_ = tmpl;
  std::filesystem::create_directories(root_ + "/C/WINDOWS/system32");
  std::filesystem::create_directories(root_ + "/C/WINDOWS/Temp");
  ASSERT_TRUE(PlatSetMachineRoot(root_.c_str()));
}

void MachineTest::TearDown()
{
  PlatResetForTest();
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

std::string MachineTest::HostPath(const WCHAR *winPath) const
{
  char buf[4096];
  if (!PlatMapPath(winPath, buf, sizeof buf)) return std::string();
  return buf;
}

void MachineTest::WriteHostFile(const std::string &hostPath, const std::string &bytes) const
{
  std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
  std::ofstream f(hostPath, std::ios::binary | std::ios::trunc);
  f << bytes;
}

std::string MachineTest::ReadHostFile(const std::string &hostPath) const
{
  std::ifstream f(hostPath, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool MachineTest::HostExists(const std::string &hostPath) const
{
  struct stat st;
  return stat(hostPath.c_str(), &st) == 0;
}

std::u16string U16(const char *ascii)
{
  std::u16string s;
  while (*ascii) s += static_cast<char16_t>(static_cast<unsigned char>(*ascii++));
  return s;
}

std::string Narrow(const WCHAR *s)
{
  std::string out;
  if (!s) return out;
  for (; *s; ++s) out += *s < 0x80 ? static_cast<char>(*s) : '?';
  return out;
}

bool MachineTest::InChildProcess(const std::function<bool()> &body) const
{
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    PlatResetForTest();
    _exit(PlatSetMachineRoot(root_.c_str()) && body() ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> HostFolderEntries(const std::string &dir)
{
  std::vector<std::string> out;
  if (DIR *d = opendir(dir.c_str())) {
    while (struct dirent *e = readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") out.push_back(n);
    }
    closedir(d);
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool HostIsRegularFile(const std::string &path)
{
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
