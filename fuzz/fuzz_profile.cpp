// Fuzz target: INI text through the private-profile functions.
//
// Input: byte 0 picks the code page (bit 0: 932, else 1252), the buffer size (bits 1-3)
// and the write operations (bits 4-7); the rest is the file's bytes. Every answer is
// checked against the buffer it was given: the count stays inside the buffer and the
// text is terminated there; lists end with two NULs; a written value reads back as written.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>
#include <vector>

#include "kvplat/control.h"
#include "win32.h"

namespace {

std::string g_root;
std::string g_file;  // host path of C:\WINDOWS\fuzz.ini
const WCHAR *const kWinFile = u"C:\\WINDOWS\\fuzz.ini";

void RemoveRoot()
{
  std::error_code ec;
  if (!g_root.empty()) std::filesystem::remove_all(g_root, ec);
}

int g_call = 0;  // which check of the target failed

void Fail(const char *what, DWORD got, DWORD size)
{
  fprintf(stderr, "fuzz_profile: check %d: %s (answer %lu, buffer %lu)\n", g_call, what, (unsigned long)got,
          (unsigned long)size);
  abort();
}

void Setup()
{
  PlatResetForTest();
  if (g_root.empty()) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kvfuzz-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) abort();
    g_root = tmpl;
    std::filesystem::create_directories(g_root + "/C/WINDOWS/system32");
    atexit(RemoveRoot);
    g_file = g_root + "/C/WINDOWS/fuzz.ini";
  }
  if (!PlatSetMachineRoot(g_root.c_str())) abort();
}

void WriteFileBytes(const uint8_t *data, size_t size)
{
  FILE *f = fopen(g_file.c_str(), "wb");
  if (f == nullptr) abort();
  if (size > 0 && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
}

// A value answer: at most nSize - 1 units, terminated inside the buffer.
void CheckValue(const WCHAR *buf, DWORD got, DWORD nSize, int call)
{
  g_call = call;
  if (nSize == 0) {
    if (got != 0) Fail("answer for an empty buffer", got, nSize);
    return;
  }
  if (got > nSize - 1) Fail("value answer past the buffer", got, nSize);
  if (buf[got] != 0) Fail("value not terminated at its length", got, nSize);
}

// A list answer: strings each ending in NUL, the last followed by a second NUL, all
// inside the buffer.
void CheckList(const WCHAR *buf, DWORD got, DWORD nSize, int call)
{
  g_call = call;
  if (nSize < 2) {
    if (got > 0 && got > nSize) Fail("list answer past a tiny buffer", got, nSize);
    return;
  }
  // A complete list counts every string with its NUL, so it may end at nSize - 1.
  if (got > nSize - 1) Fail("list answer past the buffer", got, nSize);
  if (buf[got] != 0) Fail("list not terminated at its length", got, nSize);
  // Complete lists count up to the last string's NUL; a truncated one answers nSize - 2
  // with both NULs behind the count.
  bool complete = got == 0 || buf[got - 1] == 0;
  bool truncated = got == nSize - 2 && buf[got + 1] == 0;
  if (!complete && !truncated) Fail("list without its final double NUL", got, nSize);
}

// First string of a list, or empty.
std::u16string First(const WCHAR *list) { return std::u16string(list); }

const DWORD kSizes[8] = {0, 1, 2, 3, 8, 31, 256, 4096};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  if (size < 1) return 0;
  const uint8_t control = data[0];
  Setup();
  PlatSetAnsiCodePage((control & 1) ? 932 : 1252);
  WriteFileBytes(data + 1, size - 1);

  const DWORD nSize = kSizes[(control >> 1) & 7];
  // Exactly nSize units on the heap: a write past the end is caught by the sanitizer.
  std::vector<WCHAR> small(nSize == 0 ? 1 : nSize);
  WCHAR *buf = nSize == 0 ? nullptr : small.data();
  std::vector<WCHAR> big(8192);

  // Section names, keys of the first section, its lines, one value and an integer.
  DWORD got = GetPrivateProfileSectionNamesW(buf, nSize, kWinFile);
  if (buf != nullptr) CheckList(buf, got, nSize, 1);
  got = GetPrivateProfileStringW(nullptr, nullptr, u"dflt", buf, nSize, kWinFile);
  if (buf != nullptr) CheckList(buf, got, nSize, 2);

  got = GetPrivateProfileSectionNamesW(big.data(), (DWORD)big.size(), kWinFile);
  CheckList(big.data(), got, (DWORD)big.size(), 3);
  std::u16string section = First(big.data());

  got = GetPrivateProfileStringW(section.c_str(), nullptr, u"", big.data(), (DWORD)big.size(), kWinFile);
  CheckList(big.data(), got, (DWORD)big.size(), 4);
  std::u16string key = First(big.data());
  got = GetPrivateProfileStringW(section.c_str(), nullptr, u"", buf, nSize, kWinFile);
  if (buf != nullptr) CheckList(buf, got, nSize, 5);

  got = GetPrivateProfileSectionW(section.c_str(), buf, nSize, kWinFile);
  if (buf != nullptr) CheckList(buf, got, nSize, 6);

  got = GetPrivateProfileStringW(section.c_str(), key.c_str(), u"default", buf, nSize, kWinFile);
  if (buf != nullptr) CheckValue(buf, got, nSize, 7);
  got = GetPrivateProfileStringW(section.c_str(), key.c_str(), u"default", big.data(), (DWORD)big.size(), kWinFile);
  CheckValue(big.data(), got, (DWORD)big.size(), 8);
  (void)GetPrivateProfileIntW(section.c_str(), key.c_str(), -7, kWinFile);

  // The ANSI forms over the same file.
  std::vector<char> abuf(nSize == 0 ? 1 : nSize);
  DWORD agot = GetPrivateProfileStringA(nullptr, nullptr, "", nSize == 0 ? nullptr : abuf.data(), nSize, "fuzz.ini");
  if (nSize >= 2 && agot > nSize - 1) Fail("ANSI list answer past the buffer", agot, nSize);

  // Writes: a value built from plain letters and digits reads back unchanged (also in a
  // UTF-16 file of odd length, whose stray last byte is dropped).
  if (control & 0x10) {
    std::u16string value;
    for (size_t i = 1; i < size && value.size() < 40; ++i)
      if ((data[i] >= '0' && data[i] <= '9') || (data[i] >= 'A' && data[i] <= 'Z') ||
          (data[i] >= 'a' && data[i] <= 'z'))
        value.push_back((char16_t)data[i]);
    if (WritePrivateProfileStringW(u"FuzzWrite", u"Key", value.c_str(), kWinFile)) {
      got = GetPrivateProfileStringW(u"FuzzWrite", u"Key", u"<none>", big.data(), (DWORD)big.size(), kWinFile);
      if (std::u16string(big.data(), got) != value) Fail("written value did not read back", got, (DWORD)value.size());
    }
  }
  if ((control & 0x20) && !key.empty()) WritePrivateProfileStringW(section.c_str(), key.c_str(), nullptr, kWinFile);
  if ((control & 0x40) && !section.empty()) WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, kWinFile);
  if (control & 0x80) WritePrivateProfileSectionW(u"FuzzSection", u"a=1\0b=2\0", kWinFile);

  // The file after the writes still parses within its buffers.
  got = GetPrivateProfileStringW(nullptr, nullptr, u"", buf, nSize, kWinFile);
  if (buf != nullptr) CheckList(buf, got, nSize, 9);
  return 0;
}
