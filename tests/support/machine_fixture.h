// Test fixture: every test gets a fresh, empty machine root and a reset platform layer.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "kvplat/control.h"
#include "win32.h"

class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Host path of the machine root, and of a Windows path inside it.
  const std::string &Root() const { return root_; }
  std::string HostPath(const WCHAR *winPath) const;
  // Writes and reads host files directly (bypassing the layer under test).
  void WriteHostFile(const std::string &hostPath, const std::string &bytes) const;
  std::string ReadHostFile(const std::string &hostPath) const;
  bool HostExists(const std::string &hostPath) const;
  // Runs body in a forked process of its own on this machine root, with a fresh platform
  // layer, as another program of the machine would; true when body answered true there.
  bool InChildProcess(const std::function<bool()> &body) const;

 private:
  std::string root_;
};

// The names in a host folder ("." and ".." left out), sorted; empty when it cannot be read.
std::vector<std::string> HostFolderEntries(const std::string &dir);
// True when the host path is a regular file itself (a link is not followed).
bool HostIsRegularFile(const std::string &path);

// UTF-16 string helpers for assertions.
std::u16string U16(const char *ascii);
std::string Narrow(const WCHAR *s);
