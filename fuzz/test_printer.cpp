#include "test_printer.h"

#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "blob/desc_cache.h"
#include "blob/desc_compile.h"
#include "files/paths.h"
#include "kvplat/control.h"
#include "kvplat/spool_control.h"

namespace {

std::string g_root;

void RemoveRoot()
{
  std::error_code ec;
  if (!g_root.empty()) std::filesystem::remove_all(g_root, ec);
}

[[noreturn]] void Fail(const char *target, const char *what)
{
  fprintf(stderr, "%s: %s\n", target, what);
  abort();
}

}  // namespace

HANDLE FuzzInstallTestPrinter(const char *target, const std::vector<std::string> &folders, std::string *root)
{
  std::string tmpl = (std::filesystem::temp_directory_path() / "kvfuzz-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) Fail(target, "no temporary folder");
  g_root = tmpl;
  atexit(RemoveRoot);
  std::filesystem::create_directories(g_root + "/C/WINDOWS/system32");
  for (const std::string &folder : folders) std::filesystem::create_directories(g_root + "/C/" + folder);
  PlatResetForTest();
  if (!PlatSetMachineRoot(g_root.c_str())) Fail(target, "the machine root cannot be set");
  PLAT_DRIVER_SETUP d = {};
  d.name = u"KV Test Driver";
  d.driverFile = u"kvmldraw.dll";
  d.dataFile = u"kvtest.kdt";
  d.configFile = u"kvmlface.dll";
  d.helpFile = u"kvmlhelpus.hlp";
  PLAT_PRINTER_SETUP p = {};
  p.printerName = u"KV Test";
  p.driverName = u"KV Test Driver";
  PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  WCHAR name[] = u"KV Test";
  HANDLE printer = nullptr;
  if (!PlatSpoolAddDriver(&d) || !PlatSpoolAddPrinter(&p) || !OpenPrinterW(name, &printer, &defaults))
    Fail(target, "the test printer cannot be installed");
  WCHAR *path = PathGetDriverDataFile(printer);
  auto *blob = static_cast<struct DESC_BLOB *>(GlobalAlloc(GPTR, 6708));
  if (path == nullptr || blob == nullptr || !DescCacheAdd(blob, path)) Fail(target, "no description");
  GlobalFree(path);
  *root = g_root;
  return printer;
}

struct DESC_BLOB *FuzzCompileSample(const std::string &root, const char *samplePath)
{
  std::filesystem::create_directories(root + "/C/sample");
  std::ifstream in(samplePath, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::ofstream(root + "/C/sample/KVSAMPLE.KVD", std::ios::binary) << text.str();
  return DescCompileEx(nullptr, u"C:\\sample\\KVSAMPLE.KVD", FALSE, nullptr);
}
