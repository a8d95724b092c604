// Module loading: which DLLs exist, name forms and the search order, reference counts
// and DllMain, exports, data-file loads, module paths and the controls.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "module_test_support.h"

namespace {

const WCHAR kSystemProbe[] = u"C:\\WINDOWS\\system32\\kvprobe.dll";

HMODULE Bogus() { return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x7F120000)); }

}  // namespace

// ---------------------------------------------------------------- failures

TEST_F(ModuleTest, MissingOrUnusableModulesFailWithTheirError)
{
  WriteHostFile(HostPath(u"C:\\WINDOWS\\system32\\text.dll"), "just some text\n");
  WriteHostFile(HostPath(u"C:\\WINDOWS\\system32\\stale.dll"), "KVSTANDIN /nonexistent/kvml/stale.so\n");
  WriteHostFile(HostPath(u"C:\\WINDOWS\\system32\\empty.dll"), "KVSTANDIN   \n");
  WriteHostFile(HostPath(u"C:\\Pkg\\nottext.txt"), "not a library");
  WriteHostFile(HostPath(u"C:\\WINDOWS\\system32\\notelf.dll"), "KVSTANDIN ../../Pkg/nottext.txt\n");
  std::filesystem::create_directories(HostPath(u"C:\\WINDOWS\\system32\\folder.dll"));
  struct Case {
    const WCHAR *name;
    DWORD error;
  } cases[] = {
      {u"nothere.dll", ERROR_MOD_NOT_FOUND},
      {u"nothere", ERROR_MOD_NOT_FOUND},
      {u"C:\\Nowhere\\x.dll", ERROR_MOD_NOT_FOUND},
      {u"text.dll", ERROR_BAD_EXE_FORMAT},
      {u"empty", ERROR_BAD_EXE_FORMAT},
      {u"stale.dll", ERROR_MOD_NOT_FOUND},
      {u"notelf.dll", ERROR_BAD_EXE_FORMAT},
      {u"C:\\WINDOWS\\system32\\folder.dll", ERROR_ACCESS_DENIED},
      {u"", ERROR_INVALID_PARAMETER},
      {nullptr, ERROR_INVALID_PARAMETER},
      {u"\\\\server\\share\\x.dll", ERROR_BAD_NETPATH},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name ? Narrow(c.name) : "(null)");
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(c.name), nullptr);
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_STRNE(PlatModuleLastLoadError(), "");
  EXPECT_EQ(PlatModuleLoadedCount(), 0u);
  // A file handle is not accepted.
  SetLastError(0);
  EXPECT_EQ(LoadLibraryExW(u"nothere.dll", reinterpret_cast<HANDLE>(0x104), 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// ---------------------------------------------------------------- names and search

TEST_F(ModuleTest, NameFormsFindTheSameModule)
{
  ASSERT_TRUE(PlatModuleRegister(u"KvProbe.dll", KV_PROBE_SO));
  HMODULE h = LoadLibraryW(u"kvprobe.dll");
  ASSERT_NE(h, nullptr);
  // The path is reported as the file is spelt on the machine.
  EXPECT_EQ(PathOf(h), u"C:\\WINDOWS\\system32\\KvProbe.dll");
  const WCHAR *forms[] = {u"kvprobe", u"KVPROBE.DLL", u"C:\\WINDOWS\\system32\\kvprobe.dll",
                          u"c:/windows/SYSTEM32/KvProbe", u"C:\\WINDOWS\\Temp\\..\\system32\\.\\kvprobe.dll"};
  for (const WCHAR *f : forms) {
    SCOPED_TRACE(Narrow(f));
    EXPECT_EQ(GetModuleHandleW(f), h);
    EXPECT_EQ(LoadLibraryW(f), h);
  }
  EXPECT_EQ(PlatModuleRefCount(h), 1u + sizeof forms / sizeof forms[0]);
  EXPECT_EQ(ProbeEvents(), "A");
  // A trailing dot means "no extension": there is no file "kvprobe".
  SetLastError(0);
  EXPECT_EQ(GetModuleHandleW(u"kvprobe."), nullptr);
  EXPECT_EQ(GetModuleHandleW(u"other.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(ModuleTest, BareNamesFollowTheSearchOrder)
{
  ASSERT_TRUE(PlatModuleSetMainPath(u"C:\\App\\host.exe"));
  std::filesystem::create_directories(HostPath(u"C:\\Work"));
  ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\Work"));
  ASSERT_TRUE(SetEnvironmentVariableW(u"PATH", u"C:\\Tools;\"C:\\Quoted Dir\";;C:\\Last\\"));
  struct Case {
    std::vector<const WCHAR *> folders;  // where the DLL exists
    const WCHAR *winner;
  } cases[] = {
      {{u"C:\\App", u"C:\\WINDOWS\\system32"}, u"C:\\App"},
      {{u"C:\\WINDOWS\\system32", u"C:\\WINDOWS\\system", u"C:\\WINDOWS"}, u"C:\\WINDOWS\\system32"},
      {{u"C:\\WINDOWS\\system", u"C:\\WINDOWS"}, u"C:\\WINDOWS\\system"},
      {{u"C:\\WINDOWS", u"C:\\Work"}, u"C:\\WINDOWS"},
      {{u"C:\\Work", u"C:\\Tools"}, u"C:\\Work"},
      {{u"C:\\Tools", u"C:\\Quoted Dir"}, u"C:\\Tools"},
      {{u"C:\\Quoted Dir", u"C:\\Last"}, u"C:\\Quoted Dir"},
      {{u"C:\\Last"}, u"C:\\Last"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(Narrow(c.winner));
    for (const WCHAR *f : c.folders)
      ASSERT_TRUE(PlatModuleRegister((std::u16string(f) + u"\\found.dll").c_str(), KV_PROBE_SO));
    HMODULE h = LoadLibraryW(u"found");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(PathOf(h), std::u16string(c.winner) + u"\\found.dll");
    EXPECT_TRUE(FreeLibrary(h));
    for (const WCHAR *f : c.folders) ASSERT_TRUE(PlatModuleUnregister((std::u16string(f) + u"\\found.dll").c_str()));
  }
  SetLastError(0);
  EXPECT_EQ(LoadLibraryW(u"found"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(ModuleTest, ALoadedModuleAnswersItsFileNameBeforeTheSearch)
{
  ASSERT_TRUE(PlatModuleRegister(u"C:\\Pkg\\dup.dll", KV_PROBE_SO));
  ASSERT_TRUE(PlatModuleRegister(u"dup.dll", KV_RES_SAMPLE_SO));
  HMODULE pkg = LoadLibraryW(u"C:\\Pkg\\dup.dll");
  ASSERT_NE(pkg, nullptr);
  // The system folder holds another dup.dll, but the loaded one is taken by its name.
  EXPECT_EQ(LoadLibraryW(u"dup.dll"), pkg);
  EXPECT_EQ(PlatModuleRefCount(pkg), 2u);
  // A full path to the other file loads it as a second module.
  HMODULE sys = LoadLibraryW(u"C:\\WINDOWS\\system32\\dup.dll");
  ASSERT_NE(sys, nullptr);
  EXPECT_NE(sys, pkg);
  EXPECT_EQ(PlatModuleLoadedCount(), 2u);
}

// ---------------------------------------------------------------- references and DllMain

TEST_F(ModuleTest, ReferenceCountsDecideWhenDllMainDetaches)
{
  ASSERT_TRUE(PlatModuleRegister(u"kvprobe.dll", KV_PROBE_SO));
  HMODULE h = LoadLibraryW(u"kvprobe.dll");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(Env("KVPROBE_SELF"), Narrow(kSystemProbe));  // DllMain got the module's own handle
  ASSERT_EQ(LoadLibraryW(u"kvprobe"), h);
  ASSERT_EQ(LoadLibraryExW(kSystemProbe, NULL, 0), h);
  EXPECT_EQ(PlatModuleRefCount(h), 3u);
  for (DWORD left = 2; left > 0; --left) {
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ(PlatModuleRefCount(h), left);
    EXPECT_EQ(GetModuleHandleW(u"kvprobe.dll"), h);
    EXPECT_NE(GetProcAddress(h, "ProbeAdd"), nullptr);
    EXPECT_EQ(ProbeEvents(), "A");
  }
  EXPECT_TRUE(FreeLibrary(h));
  EXPECT_EQ(ProbeEvents(), "AD");
  EXPECT_EQ(GetModuleHandleW(u"kvprobe.dll"), nullptr);
  EXPECT_EQ(PlatModuleLoadedCount(), 0u);
  SetLastError(0);
  EXPECT_FALSE(FreeLibrary(h));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  // Loading again attaches again.
  HMODULE again = LoadLibraryW(u"kvprobe.dll");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(ProbeEvents(), "ADA");
  EXPECT_TRUE(FreeLibrary(again));
}

TEST_F(ModuleTest, ARefusedAttachFailsTheLoad)
{
  ASSERT_TRUE(PlatModuleRegister(u"kvprobe.dll", KV_PROBE_SO));
  ASSERT_TRUE(SetEnvironmentVariableW(u"KVPROBE_REFUSE", u"1"));
  SetLastError(0);
  EXPECT_EQ(LoadLibraryW(u"kvprobe.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
  EXPECT_EQ(ProbeEvents(), "AD");  // refused, then told to detach
  EXPECT_EQ(PlatModuleLoadedCount(), 0u);
  EXPECT_EQ(GetModuleHandleW(u"kvprobe.dll"), nullptr);
  // Without DllMain (DONT_RESOLVE_DLL_REFERENCES) the module loads.
  HMODULE h = LoadLibraryExW(u"kvprobe.dll", NULL, DONT_RESOLVE_DLL_REFERENCES);
  ASSERT_NE(h, nullptr);
  EXPECT_TRUE(FreeLibrary(h));
  EXPECT_EQ(ProbeEvents(), "AD");
}

// ---------------------------------------------------------------- exports

TEST_F(ModuleTest, GetProcAddressAnswersOnlyTheModulesOwnExports)
{
  ASSERT_TRUE(PlatModuleRegister(u"kvprobe.dll", KV_PROBE_SO));
  HMODULE h = LoadLibraryW(u"kvprobe.dll");
  ASSERT_NE(h, nullptr);
  typedef int(WINAPI * AddProc)(int, int);
  auto add = reinterpret_cast<AddProc>(GetProcAddress(h, "ProbeAdd"));
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add(2, 3), 5);
  auto data = static_cast<const int *>(GetProcAddress(h, "ProbeData"));
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(*data, 1234);
  EXPECT_NE(GetProcAddress(h, "DllMain"), nullptr);
  struct Case {
    HMODULE module;
    LPCSTR name;
    DWORD error;
  } cases[] = {
      {h, "ProbeHidden", ERROR_PROC_NOT_FOUND},   // not exported
      {h, "GetLastError", ERROR_PROC_NOT_FOUND},  // exported by a library the probe uses
      {h, "probeadd", ERROR_PROC_NOT_FOUND},      // export names are case-sensitive
      {h, "", ERROR_PROC_NOT_FOUND},
      {h, MAKEINTRESOURCEA(1), ERROR_PROC_NOT_FOUND},
      {Bogus(), "ProbeAdd", ERROR_MOD_NOT_FOUND},
      {NULL, "ProbeAdd", ERROR_PROC_NOT_FOUND},  // the main program does not export it
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(IS_INTRESOURCE(c.name) ? "ordinal" : c.name);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(c.module, c.name), nullptr);
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_TRUE(FreeLibrary(h));
}

// ---------------------------------------------------------------- data files

TEST_F(ModuleTest, DataFileLoadsGiveResourcesOnly)
{
  ASSERT_TRUE(PlatModuleRegister(u"kvprobe.dll", KV_PROBE_SO));
  HMODULE d = LoadLibraryExW(u"kvprobe.dll", NULL, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(d) & 1, 1u);
  EXPECT_EQ(ProbeEvents(), "");  // no DllMain
  EXPECT_EQ(GetModuleHandleW(u"kvprobe.dll"), nullptr);
  SetLastError(0);
  EXPECT_EQ(GetProcAddress(d, "ProbeAdd"), nullptr);
  EXPECT_EQ(GetModuleFileNameW(d, nullptr, 0), 0u);
  WCHAR text[32];
  EXPECT_EQ(LoadStringW(d, 7, text, 32), 12);
  EXPECT_EQ(std::u16string(text), u"probe string");
  // A second data-file load maps it again; a normal load is a module of its own.
  HMODULE d2 = LoadLibraryExW(u"kvprobe.dll", NULL, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(d2, nullptr);
  EXPECT_NE(d2, d);
  HMODULE m = LoadLibraryW(u"kvprobe.dll");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(m) & 1, 0u);
  EXPECT_EQ(ProbeEvents(), "A");
  // Once loaded normally, data-file loads share the module.
  EXPECT_EQ(LoadLibraryExW(u"kvprobe.dll", NULL, LOAD_LIBRARY_AS_DATAFILE), m);
  EXPECT_EQ(PlatModuleRefCount(m), 2u);
  EXPECT_TRUE(FreeLibrary(d));
  EXPECT_TRUE(FreeLibrary(d2));
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_EQ(ProbeEvents(), "AD");
  EXPECT_EQ(PlatModuleLoadedCount(), 0u);
}

// ---------------------------------------------------------------- module paths

TEST_F(ModuleTest, GetModuleFileNameWFollowsTheSizeProtocol)
{
  const std::u16string path = u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\kvprobe.dll";
  ASSERT_TRUE(PlatModuleRegister(path.c_str(), KV_PROBE_SO));
  HMODULE h = LoadLibraryW(path.c_str());
  ASSERT_NE(h, nullptr);
  const DWORD len = static_cast<DWORD>(path.size());
  struct Case {
    DWORD size;
    DWORD answer;
    DWORD error;  // 0: unchanged
    size_t kept;  // characters of the path in the buffer
  } cases[] = {
      {len + 10, len, 0, len},
      {len + 1, len, 0, len},
      {len, len, ERROR_INSUFFICIENT_BUFFER, len - 1},
      {5, 5, ERROR_INSUFFICIENT_BUFFER, 4},
      {1, 1, ERROR_INSUFFICIENT_BUFFER, 0},
      {0, 0, ERROR_INSUFFICIENT_BUFFER, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.size);
    std::vector<WCHAR> buf(len + 12, u'#');
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(h, buf.data(), c.size), c.answer);
    EXPECT_EQ(GetLastError(), c.error);
    if (c.size > 0) {
      EXPECT_EQ(std::u16string(buf.data()), path.substr(0, c.kept));
    }
    EXPECT_EQ(buf[c.size], u'#');  // nothing written past the buffer
  }
  SetLastError(0);
  WCHAR buf[8];
  EXPECT_EQ(GetModuleFileNameW(Bogus(), buf, 8), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_TRUE(FreeLibrary(h));
}

TEST_F(ModuleTest, TheMainProgramIsAModule)
{
  HMODULE main = GetModuleHandleW(NULL);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(PathOf(NULL), u"C:\\WINDOWS\\system32\\kvhost.exe");
  EXPECT_EQ(PathOf(main), u"C:\\WINDOWS\\system32\\kvhost.exe");
  EXPECT_EQ(GetModuleHandleW(u"KVHOST.EXE"), main);
  ASSERT_TRUE(PlatModuleSetMainPath(u"c:\\program files\\app\\Spool.exe"));
  EXPECT_EQ(PathOf(NULL), u"C:\\program files\\app\\Spool.exe");
  EXPECT_EQ(GetModuleHandleW(u"spool.exe"), main);
  EXPECT_EQ(LoadLibraryW(u"C:\\Program Files\\App\\spool.exe"), main);
  EXPECT_TRUE(FreeLibrary(main));  // never unloaded
  EXPECT_EQ(GetModuleHandleW(NULL), main);
  EXPECT_FALSE(PlatModuleSetMainPath(u""));
}

// ---------------------------------------------------------------- controls

TEST_F(ModuleTest, RegisterWritesALinkFileThatUnregisterRemoves)
{
  ASSERT_TRUE(PlatModuleRegister(u"tvpktsrv", KV_PROBE_SO));
  std::string link = HostPath(u"C:\\WINDOWS\\system32\\tvpktsrv.dll");
  EXPECT_EQ(ReadHostFile(link), std::string("KVSTANDIN ") + KV_PROBE_SO + "\n");
  ASSERT_TRUE(PlatModuleRegister(u"C:\\New\\Deep\\Folder\\x.dll", KV_PROBE_SO));
  EXPECT_TRUE(HostExists(HostPath(u"C:\\New\\Deep\\Folder\\x.dll")));
  EXPECT_TRUE(PlatModuleUnregister(u"TVPKTSRV.DLL"));
  EXPECT_FALSE(HostExists(link));
  SetLastError(0);
  EXPECT_FALSE(PlatModuleUnregister(u"tvpktsrv.dll"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  // Only link files are removed.
  WriteHostFile(HostPath(u"C:\\WINDOWS\\system32\\real.dll"), "other content");
  EXPECT_FALSE(PlatModuleUnregister(u"real.dll"));
  EXPECT_TRUE(HostExists(HostPath(u"C:\\WINDOWS\\system32\\real.dll")));
  EXPECT_FALSE(PlatModuleRegister(u"x.dll", ""));
  EXPECT_FALSE(PlatModuleRegister(nullptr, KV_PROBE_SO));
}

TEST_F(ModuleTest, LinkFilesAndCopiedLibrariesAreModules)
{
  // A link relative to its own folder, a copied link file of the build, and the
  // library itself copied onto the machine.
  std::filesystem::create_directories(HostPath(u"C:\\Pkg\\bin"));
  std::filesystem::create_symlink(KV_PROBE_SO, HostPath(u"C:\\Pkg\\bin") + "/probe.so");
  WriteHostFile(HostPath(u"C:\\Pkg\\rel.dll"), "KVSTANDIN bin/probe.so\r\n");
  std::filesystem::copy_file(std::string(KV_STANDIN_LINKS) + "/kvprobe.dll", HostPath(u"C:\\Pkg\\linked.dll"));
  std::filesystem::copy_file(KV_PROBE_SO, HostPath(u"C:\\Pkg\\copied.dll"));
  for (const WCHAR *name : {u"C:\\Pkg\\rel.dll", u"C:\\Pkg\\linked.dll", u"C:\\Pkg\\copied.dll"}) {
    SCOPED_TRACE(Narrow(name));
    HMODULE h = LoadLibraryW(name);
    ASSERT_NE(h, nullptr) << PlatModuleLastLoadError();
    typedef int(WINAPI * AddProc)(int, int);
    auto add = reinterpret_cast<AddProc>(GetProcAddress(h, "ProbeAdd"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(40, 2), 42);
    EXPECT_EQ(PathOf(h), name);
    EXPECT_TRUE(FreeLibrary(h));
  }
}

TEST_F(ModuleTest, RegisterSelfNamesAnImageAlreadyInTheProcess)
{
  const WCHAR path[] = u"C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\kvmlface.dll";
  void *dl = dlopen(KV_PROBE_SO, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(dl, nullptr);
  HMODULE h = PlatModuleRegisterSelf(path, dl);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(PathOf(h), path);
  EXPECT_EQ(GetModuleHandleW(u"kvmlface.dll"), h);
  EXPECT_NE(GetProcAddress(h, "ProbeAdd"), nullptr);
  WCHAR text[32];
  EXPECT_EQ(LoadStringW(h, 7, text, 32), 12);
  EXPECT_TRUE(DisableThreadLibraryCalls(h));
  EXPECT_EQ(LoadLibraryW(u"kvmlface"), h);  // loaded: found by its name, no file needed
  EXPECT_EQ(PlatModuleRefCount(h), 2u);
  EXPECT_EQ(ProbeEvents(), "");  // the host runs DllMain itself for such images
  EXPECT_TRUE(FreeLibrary(h));
  EXPECT_TRUE(FreeLibrary(h));
  EXPECT_EQ(GetModuleHandleW(u"kvmlface.dll"), nullptr);
  // The image stays open: the registration did not own it.
  EXPECT_NE(dlsym(dl, "ProbeAdd"), nullptr);
  dlclose(dl);
  // The running program's own image under a name.
  HMODULE self = PlatModuleRegisterSelf(u"C:\\Host\\kvmldraw.dll", NULL);
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(PathOf(self), u"C:\\Host\\kvmldraw.dll");
  EXPECT_EQ(PlatModuleRegisterSelf(u"", NULL), nullptr);
}

TEST_F(ModuleTest, ResetForgetsModulesLeftLoaded)
{
  ASSERT_TRUE(PlatModuleRegister(u"kvprobe.dll", KV_PROBE_SO));
  ASSERT_NE(LoadLibraryW(u"kvprobe.dll"), nullptr);
  ASSERT_TRUE(PlatModuleSetMainPath(u"C:\\Other\\x.exe"));
  EXPECT_EQ(PlatModuleLoadedCount(), 1u);
  std::string root = Root();
  PlatResetForTest();
  ASSERT_TRUE(PlatSetMachineRoot(root.c_str()));
  EXPECT_EQ(PlatModuleLoadedCount(), 0u);
  EXPECT_EQ(GetModuleHandleW(u"kvprobe.dll"), nullptr);
  EXPECT_EQ(PathOf(NULL), u"C:\\WINDOWS\\system32\\kvhost.exe");
}

TEST_F(ModuleTest, AnsiAndOtherEntryPoints)
{
  ASSERT_TRUE(PlatModuleRegister(u"kvprobe.dll", KV_PROBE_SO));
  HMODULE h = LoadLibraryA("KVPROBE");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(LoadLibraryA("C:\\WINDOWS\\SYSTEM32\\kvprobe.dll"), h);
  SetLastError(0);
  EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(DisableThreadLibraryCalls(h));
  SetLastError(0);
  EXPECT_FALSE(DisableThreadLibraryCalls(Bogus()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_FALSE(DisableThreadLibraryCalls(NULL));
  EXPECT_TRUE(FreeLibrary(h));
  EXPECT_TRUE(FreeLibrary(h));
}
