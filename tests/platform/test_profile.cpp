// Initialization files: reads, lists, truncation, integers, writes, deletes, code pages,
// UTF-16 files, atomic rewrites, read-only files and the parsed-file cache.
//
// Where Windows behaves oddly the expectation says so in a comment; those answers were
// taken from the documented Win32 behaviour and observed Windows conduct.
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "machine_fixture.h"

namespace {

// The sample file of the read tests (ANSI, CRLF).
const char kSample[] =
    "; leading comment\r\n"
    "orphan=before any section\r\n"
    "[General]\r\n"
    "Plain=value\r\n"
    "Spaced   =   padded value   \r\n"
    "\tTabbed\t=\ttab\t\r\n"
    "DQ=\"  quoted  \"\r\n"
    "SQ='single'\r\n"
    "Mixed=\"half'\r\n"
    "Inner=\"a\"b\"\r\n"
    "Lone=\"\r\n"
    "Empty=\r\n"
    ";Commented=hidden\r\n"
    "  ;Indented=hidden\r\n"
    "NoEquals\r\n"
    "Semi=;not a comment\r\n"
    "Dup=first\r\n"
    "Dup=second\r\n"
    "Eq=a=b\r\n"
    "\r\n"
    "  [ Spaced Section ]  \r\n"
    "k=v\r\n"
    "[Broken\r\n"
    "k=broken\r\n"
    "[Tail]junk=1\r\n"
    "[general]\r\n"
    "Plain=second occurrence\r\n"
    "Only2=x\r\n";

std::u16string W(const char *s) { return U16(s); }

// Splits the first n characters of a list answer at its NULs.
std::vector<std::u16string> SplitAnswer(const WCHAR *buf, DWORD n)
{
  std::vector<std::u16string> out;
  std::u16string cur;
  for (DWORD i = 0; i < n; ++i) {
    if (buf[i] == 0) {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += buf[i];
    }
  }
  return out;
}

std::vector<std::u16string> Strings(std::initializer_list<const char *> l)
{
  std::vector<std::u16string> out;
  for (auto *s : l) out.push_back(U16(s));
  return out;
}

class ProfileTest : public MachineTest {
 protected:
  // Host path of a file in the Windows folder.
  std::string WinFile(const char *name) const { return HostPath((u"C:\\WINDOWS\\" + W(name)).c_str()); }

  // Reads a value through GetPrivateProfileStringW with a roomy buffer.
  std::u16string Get(const WCHAR *app, const WCHAR *key, const WCHAR *def, const WCHAR *file, DWORD *ret = nullptr)
  {
    WCHAR buf[512];
    DWORD r = GetPrivateProfileStringW(app, key, def, buf, 512, file);
    if (ret) *ret = r;
    return std::u16string(buf, r);
  }

  std::vector<std::string> FolderEntries(const std::string &dir) const
  {
    std::vector<std::string> out;
    DIR *d = opendir(dir.c_str());
    if (!d) return out;
    while (auto *e = readdir(d))
      if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) out.push_back(e->d_name);
    closedir(d);
    return out;
  }
};

// ---------------------------------------------------------------- reads

TEST_F(ProfileTest, ReadsValuesByWindowsRules)
{
  WriteHostFile(WinFile("sample.ini"), kSample);
  struct Case {
    const WCHAR *app;
    const WCHAR *key;
    const WCHAR *def;
    const char16_t *want;
    DWORD error;  // ERROR_SUCCESS when the key was found
  } cases[] = {
      {u"General", u"Plain", u"d", u"value", ERROR_SUCCESS},
      // Section and key names match case-insensitively.
      {u"gENERAL", u"PLAIN", u"d", u"value", ERROR_SUCCESS},
      // Spaces around the names passed in are ignored; tabs are not.
      {u"  General ", u"  Plain  ", u"d", u"value", ERROR_SUCCESS},
      {u"\tGeneral", u"Plain", u"d", u"d", ERROR_FILE_NOT_FOUND},
      // Blanks (space, tab) around names and values in the file are dropped.
      {u"General", u"Spaced", u"d", u"padded value", ERROR_SUCCESS},
      {u"General", u"Tabbed", u"d", u"tab", ERROR_SUCCESS},
      // One pair of matching enclosing quotes goes; the blanks inside stay.
      {u"General", u"DQ", u"d", u"  quoted  ", ERROR_SUCCESS},
      {u"General", u"SQ", u"d", u"single", ERROR_SUCCESS},
      {u"General", u"Mixed", u"d", u"\"half'", ERROR_SUCCESS},
      {u"General", u"Inner", u"d", u"a\"b", ERROR_SUCCESS},
      {u"General", u"Lone", u"d", u"\"", ERROR_SUCCESS},
      // A present empty value answers "" (not the default).
      {u"General", u"Empty", u"d", u"", ERROR_SUCCESS},
      // Comment lines (';' after optional blanks) hold no keys.
      {u"General", u"Commented", u"d", u"d", ERROR_FILE_NOT_FOUND},
      {u"General", u";Commented", u"d", u"d", ERROR_FILE_NOT_FOUND},
      {u"General", u"Indented", u"d", u"d", ERROR_FILE_NOT_FOUND},
      // Windows: a line without '=' is not a key; reading it answers the default.
      {u"General", u"NoEquals", u"d", u"d", ERROR_FILE_NOT_FOUND},
      // ';' inside a value is text: there are no trailing comments.
      {u"General", u"Semi", u"d", u";not a comment", ERROR_SUCCESS},
      // The first of duplicate keys wins; a value may hold '='.
      {u"General", u"Dup", u"d", u"first", ERROR_SUCCESS},
      {u"General", u"Eq", u"d", u"a=b", ERROR_SUCCESS},
      // Blanks around the header and inside the brackets are ignored.
      {u"Spaced Section", u"k", u"d", u"v", ERROR_SUCCESS},
      // A header without ']' still opens a section.
      {u"Broken", u"k", u"d", u"broken", ERROR_SUCCESS},
      // Text after ']' on a header line is ignored.
      {u"Tail", u"junk", u"d", u"d", ERROR_FILE_NOT_FOUND},
      // Only the first occurrence of a section is read.
      {u"general", u"Only2", u"d", u"d", ERROR_FILE_NOT_FOUND},
      // Lines before the first section belong to no section.
      {u"", u"orphan", u"d", u"d", ERROR_FILE_NOT_FOUND},
      // The default loses trailing spaces only (leading spaces and tabs stay);
      // GetLastError is ERROR_FILE_NOT_FOUND whenever the default is answered.
      {u"General", u"Missing", u"  dflt \t  ", u"  dflt \t", ERROR_FILE_NOT_FOUND},
      {u"Missing", u"Plain", nullptr, u"", ERROR_FILE_NOT_FOUND},
  };
  for (const auto &c : cases) {
    SetLastError(0xDEAD);
    DWORD ret = 0;
    std::u16string got = Get(c.app, c.key, c.def, u"sample.ini", &ret);
    SCOPED_TRACE(Narrow(c.app) + "/" + Narrow(c.key));
    EXPECT_EQ(got, std::u16string(c.want));
    EXPECT_EQ(ret, std::u16string(c.want).size());
    EXPECT_EQ(GetLastError(), c.error);
  }
}

TEST_F(ProfileTest, ListsSectionsKeysAndSectionLines)
{
  WriteHostFile(WinFile("sample.ini"), kSample);
  WCHAR buf[1024];
  // Section names in file order; a duplicated section is listed twice.
  DWORD n = GetPrivateProfileStringW(NULL, u"ignored", u"ignored", buf, 1024, u"sample.ini");
  auto want = Strings({"General", "Spaced Section", "Broken", "Tail", "general"});
  EXPECT_EQ(SplitAnswer(buf, n), want);
  EXPECT_EQ(buf[n], 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
  DWORD n2 = GetPrivateProfileSectionNamesW(buf, 1024, u"sample.ini");
  EXPECT_EQ(n2, n);
  EXPECT_EQ(SplitAnswer(buf, n2), want);

  // Key names of the first occurrence of the section; duplicates are listed, comments
  // and lines without '=' are not.
  n = GetPrivateProfileStringW(u"general", NULL, u"ignored", buf, 1024, u"sample.ini");
  EXPECT_EQ(SplitAnswer(buf, n), Strings({"Plain", "Spaced", "Tabbed", "DQ", "SQ", "Mixed", "Inner", "Lone", "Empty",
                                          "Semi", "Dup", "Dup", "Eq"}));
  EXPECT_EQ(buf[n], 0);

  // Section lines as stored (without surrounding blanks, quotes kept), no comments.
  n = GetPrivateProfileSectionW(u"GENERAL", buf, 1024, u"sample.ini");
  EXPECT_EQ(SplitAnswer(buf, n),
            Strings({"Plain=value", "Spaced   =   padded value", "Tabbed\t=\ttab", "DQ=\"  quoted  \"", "SQ='single'",
                     "Mixed=\"half'", "Inner=\"a\"b\"", "Lone=\"", "Empty=", "NoEquals", "Semi=;not a comment",
                     "Dup=first", "Dup=second", "Eq=a=b"}));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);

  // A missing section gives an empty list: two NULs, answer 0.
  buf[0] = buf[1] = u'x';
  SetLastError(0);
  EXPECT_EQ(GetPrivateProfileStringW(u"Nope", NULL, u"dflt", buf, 1024, u"sample.ini"), 0u);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(buf[1], 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  buf[0] = buf[1] = u'x';
  EXPECT_EQ(GetPrivateProfileSectionW(u"Nope", buf, 1024, u"sample.ini"), 0u);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(buf[1], 0);
}

TEST_F(ProfileTest, TruncationAnswers)
{
  WriteHostFile(WinFile("t.ini"), "[ab]\r\nkey=abcdef\r\n[cd]\r\n");
  const WCHAR kGuard = u'#';
  struct Case {
    int kind;  // 0 value, 1 section names, 2 key names, 3 section lines
    DWORD size;
    DWORD ret;
    std::u16string content;  // the first ret+1 (value) or ret+2 (list) characters
    DWORD error;
  } cases[] = {
      // A value answers nSize - 1 when cut, with ERROR_MORE_DATA.
      {0, 7, 6, u"abcdef", ERROR_SUCCESS},
      {0, 6, 5, u"abcde", ERROR_MORE_DATA},
      {0, 2, 1, u"a", ERROR_MORE_DATA},
      {0, 1, 0, u"", ERROR_MORE_DATA},
      // nSize 0 writes nothing and answers 0 with ERROR_MORE_DATA.
      {0, 0, 0, u"", ERROR_MORE_DATA},
      // Lists answer nSize - 2 when cut and end with two NULs; below 2 they answer 0.
      {1, 7, 6, std::u16string(u"ab\0cd\0", 6), ERROR_SUCCESS},
      {1, 6, 4, std::u16string(u"ab\0c", 4), ERROR_MORE_DATA},
      {1, 5, 3, std::u16string(u"ab\0", 3), ERROR_MORE_DATA},
      {1, 3, 1, std::u16string(u"a", 1), ERROR_MORE_DATA},
      {1, 2, 0, u"", ERROR_MORE_DATA},
      {1, 1, 0, u"", ERROR_MORE_DATA},
      {1, 0, 0, u"", ERROR_MORE_DATA},
      {2, 5, 4, std::u16string(u"key\0", 4), ERROR_SUCCESS},
      {2, 4, 2, u"ke", ERROR_MORE_DATA},
      {3, 12, 11, std::u16string(u"key=abcdef\0", 11), ERROR_SUCCESS},
      {3, 11, 9, u"key=abcde", ERROR_MORE_DATA},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind) + " size " + std::to_string(c.size));
    WCHAR buf[32];
    for (auto &ch : buf) ch = kGuard;
    SetLastError(0xDEAD);
    DWORD r = 0;
    switch (c.kind) {
      case 0: r = GetPrivateProfileStringW(u"ab", u"key", u"", buf, c.size, u"t.ini"); break;
      case 1: r = GetPrivateProfileSectionNamesW(buf, c.size, u"t.ini"); break;
      case 2: r = GetPrivateProfileStringW(u"ab", NULL, u"", buf, c.size, u"t.ini"); break;
      case 3: r = GetPrivateProfileSectionW(u"ab", buf, c.size, u"t.ini"); break;
    }
    EXPECT_EQ(r, c.ret);
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(std::u16string(buf, c.content.size()), c.content);
    if (c.size == 0) {
      EXPECT_EQ(buf[0], kGuard);
      continue;
    }
    // Terminators: one after a value, two after a list (when nSize allows two).
    EXPECT_EQ(buf[c.content.size()], 0);
    if (c.kind != 0 && c.size >= 2) {
      EXPECT_EQ(buf[c.size - 1], 0);
    }
    // Nothing is written past nSize.
    EXPECT_EQ(buf[c.size], kGuard);
  }
  // The default is cut the same way as a value.
  WCHAR buf[4];
  EXPECT_EQ(GetPrivateProfileStringW(u"ab", u"none", u"default", buf, 4, u"t.ini"), 3u);
  EXPECT_EQ(std::u16string(buf), u"def");
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_MORE_DATA);
}

TEST_F(ProfileTest, MissingFilesAndBadNames)
{
  WCHAR buf[16];
  // A missing file reads as an empty one: defaults and empty lists, ERROR_FILE_NOT_FOUND.
  SetLastError(0);
  EXPECT_EQ(GetPrivateProfileStringW(u"s", u"k", u"dflt", buf, 16, u"none.ini"), 4u);
  EXPECT_EQ(std::u16string(buf), u"dflt");
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  buf[0] = buf[1] = u'x';
  EXPECT_EQ(GetPrivateProfileSectionNamesW(buf, 16, u"C:\\WINDOWS\\none.ini"), 0u);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(buf[1], 0);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(GetPrivateProfileIntW(u"s", u"k", -3, u"none.ini"), (UINT)-3);
  // A folder named as the file: ERROR_ACCESS_DENIED, as on Windows.
  EXPECT_EQ(GetPrivateProfileStringW(u"s", u"k", u"d", buf, 16, u"C:\\WINDOWS\\system32"), 1u);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringW(u"s", u"k", u"v", u"C:\\WINDOWS\\system32"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  // Paths that cannot be mapped.
  EXPECT_EQ(GetPrivateProfileStringW(u"s", u"k", u"d", buf, 16, u"\\\\server\\share\\a.ini"), 1u);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_NETPATH);
  EXPECT_FALSE(WritePrivateProfileStringW(u"s", u"k", u"v", u"\\\\server\\share\\a.ini"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_BAD_NETPATH);
  // A folder that does not exist is not created.
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringW(u"s", u"k", u"v", u"C:\\NoSuchDir\\a.ini"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(HostExists(Root() + "/C/NoSuchDir"));
  // NULL buffer with a size is refused.
  EXPECT_EQ(GetPrivateProfileStringW(u"s", u"k", u"d", NULL, 16, u"none.ini"), 0u);
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(ProfileTest, IntegersFollowTheRunTimeConversion)
{
  WriteHostFile(WinFile("n.ini"),
                "[n]\r\ndec=42\r\nneg=-7\r\nplus=+5\r\nhex=0x1F\r\nHEX=0X1f\r\nnhex=-0x10\r\ntail=12abc\r\n"
                "text=abc\r\nempty=\r\nmax=4294967295\r\nwrap=4294967296\r\nbig=4294967301\r\n"
                "quoted=\"15\"\r\noct=0o17\r\nbin=0b101\r\nbare=0x\r\nspaced=  8  \r\n");
  struct Case {
    const WCHAR *key;
    INT def;
    UINT want;
  } cases[] = {
      {u"dec", 1, 42u},
      // Negative values come back as the wrapped UINT.
      {u"neg", 1, (UINT)-7},
      {u"plus", 1, 5u},
      {u"hex", 1, 31u},
      {u"HEX", 1, 31u},
      {u"nhex", 1, (UINT)-16},
      // Conversion stops at the first character that is not a digit.
      {u"tail", 1, 12u},
      // A present value without digits is 0, not the default...
      {u"text", 9, 0u},
      // ...but an empty value answers the default, as a missing key does.
      {u"empty", 9, 9u},
      {u"missing", -1, 0xFFFFFFFFu},
      // Values beyond 32 bits wrap modulo 2^32.
      {u"max", 1, 0xFFFFFFFFu},
      {u"wrap", 1, 0u},
      {u"big", 1, 5u},
      {u"quoted", 1, 15u},
      // The run-time conversion with base 0 also knows "0o" (octal) and "0b" (binary).
      {u"oct", 1, 15u},
      {u"bin", 1, 5u},
      {u"bare", 1, 0u},
      {u"spaced", 1, 8u},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(GetPrivateProfileIntW(u"n", c.key, c.def, u"n.ini"), c.want) << Narrow(c.key);
    EXPECT_EQ(GetPrivateProfileIntA("n", Narrow(c.key).c_str(), c.def, "n.ini"), c.want) << Narrow(c.key);
  }
}

// ---------------------------------------------------------------- writes

TEST_F(ProfileTest, WritesCreateTheFileInTheWindowsFolder)
{
  std::string host = WinFile("new.ini");
  SetLastError(0);
  ASSERT_TRUE(WritePrivateProfileStringW(u"  Sec  ", u"  Key  ", u" Value ", u"new.ini"));
  // Windows answers TRUE and sets ERROR_FILE_NOT_FOUND when it had to create the file.
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
  // Names lose their spaces; the value is written as given (and read back trimmed).
  EXPECT_EQ(ReadHostFile(host), "[Sec]\r\nKey= Value \r\n");
  EXPECT_EQ(Get(u"sec", u"key", u"", u"new.ini"), u"Value");

  ASSERT_TRUE(WritePrivateProfileStringW(u"Sec", u"Second", u"2", u"new.ini"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_SUCCESS);
  ASSERT_TRUE(WritePrivateProfileStringW(u"Other", u"x", u"", u"new.ini"));
  // An existing key keeps its place and the spelling of its name.
  ASSERT_TRUE(WritePrivateProfileStringW(u"SEC", u"KEY", u"new", u"new.ini"));
  EXPECT_EQ(ReadHostFile(host), "[Sec]\r\nKey=new\r\nSecond=2\r\n[Other]\r\nx=\r\n");

  // A full path with a folder is used as given; a relative one against the current folder.
  ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\WINDOWS\\Temp"));
  ASSERT_TRUE(WritePrivateProfileStringW(u"a", u"b", u"c", u".\\rel.ini"));
  EXPECT_EQ(ReadHostFile(Root() + "/C/WINDOWS/Temp/rel.ini"), "[a]\r\nb=c\r\n");
  EXPECT_EQ(Get(u"a", u"b", u"", u"C:\\windows\\temp\\REL.INI"), u"c");
}

TEST_F(ProfileTest, WritesKeepUntouchedLinesByteForByte)
{
  std::string host = WinFile("keep.ini");
  // LF-only lines, comments, blank lines, odd spacing and a last line without newline.
  WriteHostFile(host, "; top\n[A]\nx = 1\n; about the next section\n\n[B]\r\nz=2");
  ASSERT_TRUE(WritePrivateProfileStringW(u"A", u"new", u"3", u"keep.ini"));
  // A new key goes after the last key of its section, before comments and blank lines.
  EXPECT_EQ(ReadHostFile(host), "; top\n[A]\nx = 1\nnew=3\r\n; about the next section\n\n[B]\r\nz=2");
  ASSERT_TRUE(WritePrivateProfileStringW(u"B", u"w", u"4", u"keep.ini"));
  EXPECT_EQ(ReadHostFile(host), "; top\n[A]\nx = 1\nnew=3\r\n; about the next section\n\n[B]\r\nz=2\r\nw=4\r\n");
  ASSERT_TRUE(WritePrivateProfileStringW(u"C", u"c", u"5", u"keep.ini"));
  ASSERT_TRUE(WritePrivateProfileStringW(u"a", u"X", u"9", u"keep.ini"));
  EXPECT_EQ(ReadHostFile(host),
            "; top\n[A]\nx=9\nnew=3\r\n; about the next section\n\n[B]\r\nz=2\r\nw=4\r\n[C]\r\nc=5\r\n");
  EXPECT_EQ(Get(u"A", u"x", u"", u"keep.ini"), u"9");

  // Keys written with a leading ';' become comments; new keys still go after the last
  // real key, so such comments collect at the end of the section in reverse order.
  std::string host2 = WinFile("order.ini");
  WriteHostFile(host2, "");
  for (const char16_t *k : {u"z", u";y", u"a", u";b", u";c"})
    ASSERT_TRUE(WritePrivateProfileStringW(u"s", k, u"", u"order.ini"));
  EXPECT_EQ(ReadHostFile(host2), "[s]\r\nz=\r\na=\r\n;c=\r\n;b=\r\n;y=\r\n");
  EXPECT_EQ(Get(u"s", u";y", u"d", u"order.ini"), u"d");

  // Writing the same value again leaves the file alone.
  struct stat before, after;
  ASSERT_EQ(stat(host2.c_str(), &before), 0);
  ASSERT_TRUE(WritePrivateProfileStringW(u"s", u"z", u"", u"order.ini"));
  ASSERT_EQ(stat(host2.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(ProfileTest, DeletesKeysAndSections)
{
  std::string host = WinFile("del.ini");
  WriteHostFile(host, ";c0\r\n[S]\r\n;c1\r\nk=1\r\nNoEq\r\nk=2\r\nj=3\r\n\r\n[T]\r\n;c2\r\nt=1\r\n[U]\r\nu=1\r\n");
  // NULL value deletes the first key of the name; the next duplicate becomes visible.
  ASSERT_TRUE(WritePrivateProfileStringW(u"s", u"K", NULL, u"del.ini"));
  EXPECT_EQ(Get(u"S", u"k", u"d", u"del.ini"), u"2");
  ASSERT_TRUE(WritePrivateProfileStringW(u"S", u"k", NULL, u"del.ini"));
  ASSERT_TRUE(WritePrivateProfileStringW(u"S", u"j", NULL, u"del.ini"));
  // The emptied section keeps its header.
  EXPECT_EQ(ReadHostFile(host), ";c0\r\n[S]\r\n;c1\r\nNoEq\r\n\r\n[T]\r\n;c2\r\nt=1\r\n[U]\r\nu=1\r\n");
  // Deleting what is not there succeeds and leaves the file alone.
  ASSERT_TRUE(WritePrivateProfileStringW(u"S", u"nothing", NULL, u"del.ini"));
  ASSERT_TRUE(WritePrivateProfileStringW(u"Nothing", NULL, NULL, u"del.ini"));
  ASSERT_TRUE(WritePrivateProfileStringW(u"Nothing", u"k", NULL, u"del.ini"));
  EXPECT_EQ(ReadHostFile(host), ";c0\r\n[S]\r\n;c1\r\nNoEq\r\n\r\n[T]\r\n;c2\r\nt=1\r\n[U]\r\nu=1\r\n");
  // NULL key deletes the section: its header and entries go, but Windows keeps the
  // comments (and blank lines) that were inside it.
  ASSERT_TRUE(WritePrivateProfileStringW(u"s", NULL, u"ignored", u"del.ini"));
  ASSERT_TRUE(WritePrivateProfileStringW(u"T", NULL, NULL, u"del.ini"));
  EXPECT_EQ(ReadHostFile(host), ";c0\r\n;c1\r\n\r\n;c2\r\n[U]\r\nu=1\r\n");
  WCHAR buf[64];
  DWORD n = GetPrivateProfileSectionNamesW(buf, 64, u"del.ini");
  EXPECT_EQ(SplitAnswer(buf, n), Strings({"U"}));
  // Deleting in a missing file does not create it.
  ASSERT_TRUE(WritePrivateProfileStringW(u"S", NULL, NULL, u"absent.ini"));
  EXPECT_FALSE(HostExists(WinFile("absent.ini")));
}

TEST_F(ProfileTest, WritePrivateProfileSectionReplacesEntries)
{
  std::string host = WinFile("sec.ini");
  WriteHostFile(host, "[A]\r\n;keep\r\nold=1\r\nold2=2\r\n\r\n[B]\r\nb=1\r\n");
  ASSERT_TRUE(WritePrivateProfileSectionW(u"a", u"n1=x\0n2 = \"y\"\0", u"sec.ini"));
  EXPECT_EQ(ReadHostFile(host), "[A]\r\n;keep\r\nn1=x\r\nn2 = \"y\"\r\n\r\n[B]\r\nb=1\r\n");
  EXPECT_EQ(Get(u"A", u"n2", u"", u"sec.ini"), u"y");
  EXPECT_EQ(Get(u"A", u"old", u"d", u"sec.ini"), u"d");
  // A missing section is added at the end.
  ASSERT_TRUE(WritePrivateProfileSectionW(u"C", u"c=3\0", u"sec.ini"));
  // An empty list empties the section but keeps it.
  ASSERT_TRUE(WritePrivateProfileSectionW(u"B", u"\0", u"sec.ini"));
  EXPECT_EQ(ReadHostFile(host), "[A]\r\n;keep\r\nn1=x\r\nn2 = \"y\"\r\n\r\n[B]\r\n[C]\r\nc=3\r\n");
  // NULL deletes the section.
  ASSERT_TRUE(WritePrivateProfileSectionW(u"C", NULL, u"sec.ini"));
  EXPECT_EQ(ReadHostFile(host), "[A]\r\n;keep\r\nn1=x\r\nn2 = \"y\"\r\n\r\n[B]\r\n");
  // A section copied with GetPrivateProfileSectionW reads back the same.
  WCHAR buf[128];
  DWORD n = GetPrivateProfileSectionW(u"A", buf, 128, u"sec.ini");
  ASSERT_TRUE(WritePrivateProfileSectionW(u"Copy", buf, u"other.ini"));
  WCHAR buf2[128];
  DWORD n2 = GetPrivateProfileSectionW(u"copy", buf2, 128, u"other.ini");
  EXPECT_EQ(SplitAnswer(buf2, n2), SplitAnswer(buf, n));
  EXPECT_FALSE(WritePrivateProfileSectionW(NULL, u"a=1\0", u"sec.ini"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(ProfileTest, AllNullWriteFlushesAndAnswersFalse)
{
  std::string host = WinFile("flush.ini");
  WriteHostFile(host, "[s]\r\nk=1\r\n");
  EXPECT_EQ(Get(u"s", u"k", u"", u"flush.ini"), u"1");
  // Windows documents that the flush call (section, key and value NULL) answers zero.
  EXPECT_FALSE(WritePrivateProfileStringW(NULL, NULL, NULL, u"flush.ini"));
  EXPECT_FALSE(WritePrivateProfileStringW(NULL, NULL, NULL, NULL));
  EXPECT_EQ(ReadHostFile(host), "[s]\r\nk=1\r\n");
  EXPECT_EQ(Get(u"s", u"k", u"", u"flush.ini"), u"1");
  // A missing section name with a key or value is refused.
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringW(NULL, u"k", u"v", u"flush.ini"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(WritePrivateProfileStringW(NULL, NULL, u"v", u"flush.ini"));
  EXPECT_EQ(ReadHostFile(host), "[s]\r\nk=1\r\n");
}

// ---------------------------------------------------------------- code pages and encodings

TEST_F(ProfileTest, AnsiCodePage1252)
{
  std::string host = WinFile("w.ini");
  WriteHostFile(host, "[CAF\xC9]\r\nPrix=12\x80\r\n");
  // Case folding covers Latin-1 letters: "café" finds "CAFÉ".
  EXPECT_EQ(Get(u"caf\u00e9", u"prix", u"", u"w.ini"), u"12\u20ac");
  ASSERT_TRUE(WritePrivateProfileStringW(u"Caf\u00e9", u"Mot", u"D\u00e9j\u00e0 \u0178", u"w.ini"));
  EXPECT_EQ(ReadHostFile(host), "[CAF\xC9]\r\nPrix=12\x80\r\nMot=D\xE9j\xE0 \x9F\r\n");
  // Characters outside the code page are written as '?'.
  ASSERT_TRUE(WritePrivateProfileStringW(u"x", u"k", u"\u3042", u"w.ini"));
  EXPECT_EQ(Get(u"x", u"k", u"", u"w.ini"), u"?");
}

TEST_F(ProfileTest, AnsiCodePage932KeepsDoubleByteCharactersWhole)
{
  ASSERT_TRUE(PlatSetAnsiCodePage(932));
  std::string host = WinFile("j.ini");
  // 0x83 0x5D is a katakana whose trail byte is ']'; 0x83 0x5C has '\' as trail byte and
  // 0x83 0x5B has '['. None of them may end a section name or split a value.
  WriteHostFile(host, "[\x83\x5D]\r\n\x83\x5C=\x83\x5C\x83\x5B\r\n;\x83\x5D\r\nend=1\r\n");
  EXPECT_EQ(Get(u"\u30BE", u"\u30BD", u"", u"j.ini"), u"\u30BD\u30BC");
  WCHAR buf[32];
  DWORD n = GetPrivateProfileSectionNamesW(buf, 32, u"j.ini");
  EXPECT_EQ(SplitAnswer(buf, n), std::vector<std::u16string>{u"\u30BE"});
  ASSERT_TRUE(WritePrivateProfileStringW(u"\u30BE", u"\u30BC", u"\u30BD]", u"j.ini"));
  EXPECT_EQ(ReadHostFile(host),
            "[\x83\x5D]\r\n\x83\x5C=\x83\x5C\x83\x5B\r\n;\x83\x5D\r\nend=1\r\n\x83\x5B=\x83\x5C]\r\n");
  EXPECT_EQ(Get(u"\u30BE", u"\u30BC", u"", u"j.ini"), u"\u30BD]");

  // The ANSI forms count bytes and never cut a double-byte character in two.
  char a[8];
  memset(a, '#', sizeof a);
  EXPECT_EQ(GetPrivateProfileStringA("\x83\x5D", "\x83\x5C", "", a, 8, "j.ini"), 4u);
  EXPECT_EQ(std::string(a), "\x83\x5C\x83\x5B");
  // Cut at 3 bytes: the second character does not fit whole, so only the first is
  // copied; the answer is still the documented nSize - 1.
  memset(a, '#', sizeof a);
  EXPECT_EQ(GetPrivateProfileStringA("\x83\x5D", "\x83\x5C", "", a, 4, "j.ini"), 3u);
  EXPECT_EQ(std::string(a), "\x83\x5C");
  EXPECT_EQ(a[4], '#');
}

TEST_F(ProfileTest, Utf16FilesStayUtf16)
{
  std::string host = WinFile("u.ini");
  auto utf16 = [](const std::u16string &s) {
    std::string out;
    for (char16_t c : s) {
      out += static_cast<char>(c & 0xFF);
      out += static_cast<char>(c >> 8);
    }
    return out;
  };
  // A file starting with the UTF-16LE byte-order mark is read as UTF-16, whatever the
  // ANSI code page, and written back as UTF-16.
  WriteHostFile(host, "\xFF\xFE" + utf16(u"[Sec]\r\nKey=V\u00e4lue \u3042\r\n; note\n"));
  EXPECT_EQ(Get(u"sec", u"key", u"", u"u.ini"), u"V\u00e4lue \u3042");
  ASSERT_TRUE(WritePrivateProfileStringW(u"\u041a", u"\u043a", u"\u0437\u043d\u0430\u0447", u"u.ini"));
  EXPECT_EQ(ReadHostFile(host), "\xFF\xFE" + utf16(u"[Sec]\r\nKey=V\u00e4lue \u3042\r\n; note\n"
                                                   u"[\u041a]\r\n\u043a=\u0437\u043d\u0430\u0447\r\n"));
  // Names fold across Cyrillic case too.
  EXPECT_EQ(Get(u"\u043a", u"\u041a", u"", u"u.ini"), u"\u0437\u043d\u0430\u0447");
  // The ANSI reader gets the text in its code page.
  char a[32];
  EXPECT_EQ(GetPrivateProfileStringA("Sec", "Key", "", a, 32, "u.ini"), 7u);
  EXPECT_EQ(std::string(a), "V\xE4lue ?");
}

// What the first bytes of a file make of its first line.
TEST_F(ProfileTest, ByteOrderMarksDecideTheFirstLine)
{
  struct Case {
    const char *what;
    std::string bytes;
    const WCHAR *app;
    const char16_t *want;
  } cases[] = {
      {"no mark", "[First]\r\nk=1\r\n[Second]\r\nk=2\r\n", u"First", u"1"},
      {"UTF-16LE mark",
       std::string("\xFF\xFE[\0F\0]\0\r\0\n\0k\0=\0"
                   "1\0",
                   18),
       u"F", u"1"},
      // Deliberate, as on Windows: a UTF-8 mark is no mark to the profile reader. Its
      // bytes start the first line, so "[First]" is no section header and the keys
      // under it belong to no section; the sections after it read normally.
      {"UTF-8 mark", "\xEF\xBB\xBF[First]\r\nk=1\r\n[Second]\r\nk=2\r\n", u"First", u"dflt"},
      {"UTF-8 mark", "\xEF\xBB\xBF[First]\r\nk=1\r\n[Second]\r\nk=2\r\n", u"Second", u"2"},
  };
  for (const Case &c : cases) {
    WriteHostFile(WinFile("mark.ini"), c.bytes);
    WritePrivateProfileStringW(NULL, NULL, NULL, u"mark.ini");  // drops the cached view
    EXPECT_EQ(Get(c.app, u"k", u"dflt", u"mark.ini"), std::u16string(c.want)) << c.what << " " << Narrow(c.app);
  }
}

// A FIFO, or a file too large to hold, where a settings file is expected: reads answer
// their defaults with an error at once, and writes fail and leave the file alone.
TEST_F(ProfileTest, FilesThatCannotBeHeldAreRefused)
{
  ASSERT_EQ(mkfifo(WinFile("fifo.ini").c_str(), 0666), 0);
  std::string big = WinFile("big.ini");
  WriteHostFile(big, "[S]\r\nk=v\r\n");
  ASSERT_EQ(truncate(big.c_str(), 256 * 1024 * 1024 + 1), 0);  // sparse: costs no disk
  struct Case {
    const WCHAR *file;
    DWORD error;
  } cases[] = {{u"fifo.ini", ERROR_ACCESS_DENIED}, {u"big.ini", ERROR_FILE_TOO_LARGE}};
  for (const Case &c : cases) {
    SCOPED_TRACE(Narrow(c.file));
    SetLastError(0);
    EXPECT_EQ(Get(u"S", u"k", u"dflt", c.file), u"dflt");
    EXPECT_EQ(GetLastError(), c.error);
    EXPECT_EQ(GetPrivateProfileIntW(u"S", u"k", 7, c.file), 7u);
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringW(u"S", u"k", u"w", c.file));
    EXPECT_EQ(GetLastError(), c.error);
  }
  struct stat st;
  ASSERT_EQ(stat(big.c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 256 * 1024 * 1024 + 1);
  ASSERT_EQ(lstat(WinFile("fifo.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A large file of random bytes is read whole: its lines cost their bytes and an index.
TEST_F(ProfileTest, LargeFileOfRandomBytesIsRead)
{
  std::string bytes(6 * 1024 * 1024, '\0');
  uint32_t x = 12345;
  for (char &b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<char>(x >> 24);
  }
  bytes += "\r\n[Last]\r\nk=found\r\n";
  WriteHostFile(WinFile("random.ini"), bytes);
  EXPECT_EQ(Get(u"Last", u"k", u"dflt", u"random.ini"), u"found");
  ASSERT_TRUE(WritePrivateProfileStringW(u"Last", u"k2", u"added", u"random.ini"));
  EXPECT_EQ(Get(u"Last", u"k2", u"dflt", u"random.ini"), u"added");
  std::string after = ReadHostFile(WinFile("random.ini"));
  EXPECT_EQ(after.substr(0, bytes.size()), bytes) << "the bytes before the edit are kept";
}

TEST_F(ProfileTest, AnsiFormsMirrorTheUnicodeForms)
{
  ASSERT_TRUE(WritePrivateProfileStringA("Sect", "Name", "caf\xE9", "ansi.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("Sect", "Other", "2", "ansi.ini"));
  EXPECT_EQ(ReadHostFile(WinFile("ansi.ini")), "[Sect]\r\nName=caf\xE9\r\nOther=2\r\n");
  char buf[64];
  EXPECT_EQ(GetPrivateProfileStringA("sect", "name", "", buf, 64, "ansi.ini"), 4u);
  EXPECT_EQ(std::string(buf), "caf\xE9");
  DWORD n = GetPrivateProfileStringA("Sect", NULL, "", buf, 64, "ansi.ini");
  EXPECT_EQ(n, 11u);
  EXPECT_EQ(std::string(buf, n), std::string("Name\0Other\0", 11));
  EXPECT_EQ(buf[n], 0);
  EXPECT_EQ(GetPrivateProfileStringA("Sect", NULL, "", buf, 8, "ansi.ini"), 6u);
  EXPECT_EQ(std::string(buf, 8), std::string("Name\0O\0\0", 8));
  n = GetPrivateProfileSectionA("Sect", buf, 64, "ansi.ini");
  EXPECT_EQ(std::string(buf, n), std::string("Name=caf\xE9\0Other=2\0", 18));
  n = GetPrivateProfileSectionNamesA(buf, 64, "ansi.ini");
  EXPECT_EQ(std::string(buf, n), std::string("Sect\0", 5));
  ASSERT_TRUE(WritePrivateProfileSectionA("Sect", "a=1\0b=2\0", "ansi.ini"));
  EXPECT_EQ(GetPrivateProfileIntA("Sect", "b", 0, "ansi.ini"), 2u);
  ASSERT_TRUE(WritePrivateProfileStringA("Sect", "a", NULL, "ansi.ini"));
  ASSERT_TRUE(WritePrivateProfileSectionA("Gone", NULL, "ansi.ini"));
  EXPECT_EQ(ReadHostFile(WinFile("ansi.ini")), "[Sect]\r\nb=2\r\n");
  EXPECT_FALSE(WritePrivateProfileStringA(NULL, NULL, NULL, "ansi.ini"));
}

TEST_F(ProfileTest, WinIniFunctions)
{
  ASSERT_TRUE(WriteProfileStringW(u"Devices", u"KV Printer", u"winspool,Ne00:"));
  EXPECT_EQ(ReadHostFile(WinFile("win.ini")), "[Devices]\r\nKV Printer=winspool,Ne00:\r\n");
  WCHAR buf[64];
  EXPECT_EQ(GetProfileStringW(u"devices", u"kv printer", u"", buf, 64), 14u);
  EXPECT_EQ(std::u16string(buf), u"winspool,Ne00:");
  // A NULL file name also means win.ini.
  EXPECT_EQ(Get(u"Devices", u"KV Printer", u"", NULL), u"winspool,Ne00:");
  ASSERT_TRUE(WriteProfileSectionW(u"Nums", u"n=0x10\0"));
  EXPECT_EQ(GetProfileIntW(u"Nums", u"n", 0), 16u);
  DWORD n = GetProfileSectionW(u"Nums", buf, 64);
  EXPECT_EQ(SplitAnswer(buf, n), Strings({"n=0x10"}));
}

// ---------------------------------------------------------------- failures

TEST_F(ProfileTest, InjectedWriteFailureLeavesTheOldFile)
{
  std::string host = WinFile("atomic.ini");
  const std::string old = "[s]\r\nk=old\r\n; comment\r\n";
  WriteHostFile(host, old);
  EXPECT_EQ(Get(u"s", u"k", u"", u"atomic.ini"), u"old");
  struct Step {
    const char *what;
    std::function<BOOL()> call;
  } steps[] = {
      {"set", [] { return WritePrivateProfileStringW(u"s", u"k", u"new", u"atomic.ini"); }},
      {"add", [] { return WritePrivateProfileStringW(u"t", u"k", u"new", u"atomic.ini"); }},
      {"delete key", [] { return WritePrivateProfileStringW(u"s", u"k", NULL, u"atomic.ini"); }},
      {"delete section", [] { return WritePrivateProfileStringW(u"s", NULL, NULL, u"atomic.ini"); }},
      {"section", [] { return WritePrivateProfileSectionW(u"s", u"a=1\0", u"atomic.ini"); }},
  };
  for (auto &s : steps) {
    SCOPED_TRACE(s.what);
    PlatFaultArm(PLAT_FAULT_FILE_WRITE, 1);
    SetLastError(0);
    EXPECT_FALSE(s.call());
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_DISK_FULL);
    EXPECT_EQ(ReadHostFile(host), old);
    // No temporary file is left behind, and reads still see the old text.
    EXPECT_EQ(FolderEntries(Root() + "/C/WINDOWS").size(), 3u);  // system32, Temp, atomic.ini
    EXPECT_EQ(Get(u"s", u"k", u"", u"atomic.ini"), u"old");
  }
  // The fault is counted once per write: arming the second write fails only that one.
  PlatFaultArm(PLAT_FAULT_FILE_WRITE, 2);
  EXPECT_TRUE(WritePrivateProfileStringW(u"s", u"k", u"one", u"atomic.ini"));
  EXPECT_FALSE(WritePrivateProfileStringW(u"s", u"k", u"two", u"atomic.ini"));
  EXPECT_EQ(Get(u"s", u"k", u"", u"atomic.ini"), u"one");
  EXPECT_TRUE(WritePrivateProfileStringW(u"s", u"k", u"three", u"atomic.ini"));
  EXPECT_EQ(ReadHostFile(host), "[s]\r\nk=three\r\n; comment\r\n");
  // A failed creation leaves no file.
  PlatFaultArm(PLAT_FAULT_FILE_WRITE, 1);
  EXPECT_FALSE(WritePrivateProfileStringW(u"s", u"k", u"v", u"created.ini"));
  EXPECT_FALSE(HostExists(WinFile("created.ini")));
}

TEST_F(ProfileTest, ReadOnlyFilesStayReadOnly)
{
  std::string host = WinFile("ro.ini");
  WriteHostFile(host, "[s]\r\nk=1\r\n");
  ASSERT_EQ(chmod(host.c_str(), 0444), 0);
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringW(u"s", u"k", u"2", u"ro.ini"));
  EXPECT_EQ(GetLastError(), (DWORD)ERROR_ACCESS_DENIED);
  EXPECT_FALSE(WritePrivateProfileStringW(u"s", NULL, NULL, u"ro.ini"));
  EXPECT_FALSE(WritePrivateProfileSectionW(u"s", u"a=1\0", u"ro.ini"));
  EXPECT_EQ(ReadHostFile(host), "[s]\r\nk=1\r\n");
  struct stat st;
  ASSERT_EQ(stat(host.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
  EXPECT_EQ(Get(u"s", u"k", u"", u"ro.ini"), u"1");
  // A writable file keeps its permission bits across the rewrite.
  ASSERT_EQ(chmod(host.c_str(), 0640), 0);
  EXPECT_TRUE(WritePrivateProfileStringW(u"s", u"k", u"2", u"ro.ini"));
  ASSERT_EQ(stat(host.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(ProfileTest, WritesFollowSymbolicLinks)
{
  std::string target = Root() + "/C/WINDOWS/Temp/target.ini";
  WriteHostFile(target, "[s]\r\nk=1\r\n");
  ASSERT_EQ(symlink(target.c_str(), WinFile("link.ini").c_str()), 0);
  ASSERT_TRUE(WritePrivateProfileStringW(u"s", u"k", u"2", u"link.ini"));
  // The target is rewritten; the link stays a link.
  EXPECT_EQ(ReadHostFile(target), "[s]\r\nk=2\r\n");
  struct stat st;
  ASSERT_EQ(lstat(WinFile("link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(Get(u"s", u"k", u"", u"link.ini"), u"2");
}

// ---------------------------------------------------------------- cache and concurrency

TEST_F(ProfileTest, CacheNoticesChangesMadeOutsideTheLayer)
{
  std::string host = WinFile("c.ini");
  WriteHostFile(host, "[s]\r\nk=one\r\n");
  EXPECT_EQ(Get(u"s", u"k", u"", u"c.ini"), u"one");
  // A different size.
  WriteHostFile(host, "[s]\r\nk=three\r\n");
  EXPECT_EQ(Get(u"s", u"k", u"", u"c.ini"), u"three");
  // The same size in place, with a later modification time.
  struct stat st;
  ASSERT_EQ(stat(host.c_str(), &st), 0);
  WriteHostFile(host, "[s]\r\nk=seven\r\n");
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  times[1].tv_sec += 5;
  ASSERT_EQ(utimensat(AT_FDCWD, host.c_str(), times, 0), 0);
  EXPECT_EQ(Get(u"s", u"k", u"", u"c.ini"), u"seven");
  // The same size and modification time, but a new file renamed into place.
  ASSERT_EQ(stat(host.c_str(), &st), 0);
  std::string other = host + ".new";
  WriteHostFile(other, "[s]\r\nk=eight\r\n");
  struct timespec same[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, other.c_str(), same, 0), 0);
  ASSERT_EQ(rename(other.c_str(), host.c_str()), 0);
  EXPECT_EQ(Get(u"s", u"k", u"", u"c.ini"), u"eight");
  // Removed: reads fall back to defaults.
  ASSERT_EQ(unlink(host.c_str()), 0);
  EXPECT_EQ(Get(u"s", u"k", u"gone", u"c.ini"), u"gone");
}

TEST_F(ProfileTest, AnotherProcessSeesAndMakesChanges)
{
  std::string host = WinFile("p.ini");
  ASSERT_TRUE(WritePrivateProfileStringW(u"s", u"parent", u"1", u"p.ini"));
  EXPECT_EQ(Get(u"s", u"parent", u"", u"p.ini"), u"1");
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // The child sees the parent's write and adds its own key.
    WCHAR buf[8];
    bool ok = GetPrivateProfileStringW(u"s", u"parent", u"", buf, 8, u"p.ini") == 1 && buf[0] == u'1' &&
              WritePrivateProfileStringW(u"s", u"child", u"22", u"p.ini");
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // The parent's cached view gives way to the child's rewrite.
  EXPECT_EQ(Get(u"s", u"child", u"", u"p.ini"), u"22");
  EXPECT_EQ(ReadHostFile(host), "[s]\r\nparent=1\r\nchild=22\r\n");
}

TEST_F(ProfileTest, ConcurrentWritersLoseNothing)
{
  const int kThreads = 4, kKeys = 12;
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      for (int k = 0; k < kKeys; ++k) {
        std::u16string key = U16(("t" + std::to_string(t) + "k" + std::to_string(k)).c_str());
        std::u16string value = U16(std::to_string(t * 100 + k).c_str());
        if (!WritePrivateProfileStringW(u"shared", key.c_str(), value.c_str(), u"mt.ini")) ++failures;
        WCHAR buf[16];
        GetPrivateProfileStringW(u"shared", key.c_str(), u"", buf, 16, u"mt.ini");
        if (std::u16string(buf) != value) ++failures;
      }
    });
  }
  for (auto &th : threads) th.join();
  EXPECT_EQ(failures.load(), 0);
  for (int t = 0; t < kThreads; ++t)
    for (int k = 0; k < kKeys; ++k) {
      std::u16string key = U16(("t" + std::to_string(t) + "k" + std::to_string(k)).c_str());
      EXPECT_EQ(GetPrivateProfileIntW(u"shared", key.c_str(), -1, u"mt.ini"), (UINT)(t * 100 + k));
    }
  WCHAR buf[2048];
  DWORD n = GetPrivateProfileStringW(u"shared", NULL, u"", buf, 2048, u"mt.ini");
  EXPECT_EQ(SplitAnswer(buf, n).size(), (size_t)(kThreads * kKeys));
}

}  // namespace

// A UTF-16 file of odd length: the stray last byte is half a unit and no text. It is
// dropped, so a write lands aligned and reads back (found by the INI fuzz target).
TEST_F(ProfileTest, OddLengthUtf16FileStaysReadableAfterWrite)
{
  WriteHostFile(Root() + "/C/WINDOWS/odd.ini", std::string("\xFF\xFE[\0W", 5));
  ASSERT_TRUE(WritePrivateProfileStringW(u"FuzzWrite", u"Key", u"W", u"odd.ini"));
  WCHAR buf[16];
  EXPECT_EQ(GetPrivateProfileStringW(u"FuzzWrite", u"Key", u"dflt", buf, 16, u"odd.ini"), 1u);
  EXPECT_EQ(std::u16string(buf), u"W");
  EXPECT_EQ(ReadHostFile(Root() + "/C/WINDOWS/odd.ini").size() % 2, 0u);
}
