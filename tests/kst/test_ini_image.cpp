// The in-memory INI image: key search with the moving cursor, section search, composing a
// section, and the rewrite that puts the composed section at the front of the file.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "context.h"
#include "files/ini.h"
#include "machine_fixture.h"
#include "store/ini_image.h"

namespace {

class IniImageTest : public MachineTest {
 protected:
  void SetUp() override
  {
    MachineTest::SetUp();
    state_.reset(new CONTEXT_STATE());
    ctx_.state = state_.get();
    CreateDirectoryW(u"C:\\kst", nullptr);
  }

  // The value of key in body as UTF-8-free ASCII, read from *cursor.
  std::string Get(const char *key, const char *body, LONG *cursor, WORD capacity = 64, const WCHAR *def = u"<none>")
  {
    std::u16string k = U16(key);
    WCHAR out[300];
    for (WCHAR &c : out) c = 0x7777;
    WORD n = IniImageGetString(k.c_str(), def, out, capacity, body, cursor);
    std::string s = Narrow(out);
    EXPECT_EQ(s.size(), n) << key;
    EXPECT_EQ(0, out[n]) << key;
    return s;
  }

  DRIVER_CONTEXT ctx_{};
  std::unique_ptr<CONTEXT_STATE> state_;
};

const char kText[] =
    "[X]\r\nA=x1\r\n"
    "[Y]\r\nKstVersion=314\r\nB=\r\nC=see\r\nA=first\r\nD=dee\r\nA=second\r\nE=last"
    "\r\n[Z]\r\nE=zed\r\n";

TEST_F(IniImageTest, KeysAreFoundFromTheCursorAndWrapOnce)
{
  char *body = IniImageFindSection(u"y", kText);
  ASSERT_NE(nullptr, body);
  EXPECT_EQ(0, strncmp(body, "KstVersion=314", 14));

  LONG cursor = 0;
  EXPECT_EQ("314", Get("KSTVERSION", body, &cursor));  // other letter case
  EXPECT_EQ(0, strncmp(body + cursor, "B=", 2));
  // The first A at or after the cursor wins; the cursor stands on the line after it.
  EXPECT_EQ("first", Get("A", body, &cursor));
  EXPECT_EQ(0, strncmp(body + cursor, "D=", 2));
  EXPECT_EQ("second", Get("A", body, &cursor));
  // C stands before the cursor: found after one wrap, cursor just after it.
  EXPECT_EQ("see", Get("C", body, &cursor));
  EXPECT_EQ(0, strncmp(body + cursor, "A=first", 7));
  // E is the last line of Y; the key of section Z is never reached.
  EXPECT_EQ("last", Get("E", body, &cursor));
  EXPECT_EQ(0, strncmp(body + cursor, "[Z]", 3));

  // A missing key answers the default; a search that came round to where it started
  // leaves the cursor there, one that started at the section's end resets it.
  cursor = 20;
  EXPECT_EQ("<none>", Get("Missing", body, &cursor));
  EXPECT_EQ(20, cursor);
  cursor = static_cast<LONG>(strstr(body, "[Z]") - body);
  EXPECT_EQ("<none>", Get("Missing", body, &cursor));
  EXPECT_EQ(0, cursor);
  // An empty value is found (and answered as empty), not the default.
  EXPECT_EQ("", Get("B", body, &cursor));
  // A key that only starts another key is not it, nor is a key inside a value.
  EXPECT_EQ("<none>", Get("Kst", body, &cursor));
  EXPECT_EQ("<none>", Get("314", body, &cursor));
}

TEST_F(IniImageTest, ValuesAndDefaultsAreCutToTheCapacity)
{
  char *body = IniImageFindSection(u"Y", kText);
  LONG cursor = 0;
  EXPECT_EQ("se", Get("C", body, &cursor, 3));
  // The cursor still moves to the next line, not into the cut value.
  EXPECT_EQ(0, strncmp(body + cursor, "A=first", 7));
  EXPECT_EQ("<n", Get("Nope", body, &cursor, 3));
  EXPECT_EQ("", Get("Nope", body, &cursor, 3, nullptr));
  WCHAR one[1] = {0x7777};
  EXPECT_EQ(0, IniImageGetString(u"C", u"x", one, 1, body, &cursor));
  EXPECT_EQ(0, one[0]);
}

TEST_F(IniImageTest, KeyMatchingIsStrictAboutTheEqualsSign)
{
  const char text[] = "[S]\r\nKey =blank\r\nkey=good\r\nNum=0042\r\nBig=12345678901234\r\nEmpty=\r\n";
  char *body = IniImageFindSection(u"S", text);
  LONG cursor = 0;
  EXPECT_EQ("good", Get("Key", body, &cursor));
  cursor = 0;
  EXPECT_EQ(42, IniImageGetInt(u"num", -1, body, &cursor));
  EXPECT_EQ(-1, IniImageGetInt(u"Empty", -1, body, &cursor));
  EXPECT_EQ(-1, IniImageGetInt(u"None", -1, body, &cursor));
  EXPECT_EQ(1234567890, IniImageGetInt(u"Big", -1, body, &cursor));  // ten digits are read

  const char *p = "abc=1";
  EXPECT_EQ(0, IniMatchKey("ab", &p));
  EXPECT_EQ(0, IniMatchKey("abcd", &p));
  EXPECT_EQ(1, IniMatchKey("ABC", &p));
  EXPECT_STREQ("1", p);
}

TEST_F(IniImageTest, SectionsMatchWholeNamesOnly)
{
  const char text[] = "x=1\r\n[Print]er]\r\n[Printer] trailing\r\nk=v\r\n[Other]";
  char *body = IniImageFindSection(u"PRINTER", text);
  ASSERT_NE(nullptr, body);
  EXPECT_EQ(0, strncmp(body, "k=v", 3));
  // Text after ']' does not count: "[Print]er]" is section Print, with an empty body.
  char *print = IniImageFindSection(u"Print", text);
  ASSERT_NE(nullptr, print);
  EXPECT_EQ(0, strncmp(print, "[Printer]", 9));
  EXPECT_EQ(nullptr, IniImageFindSection(u"Printe", text));
  // A section on the last line without a line end has an empty body.
  char *other = IniImageFindSection(u"other", text);
  ASSERT_NE(nullptr, other);
  EXPECT_EQ(0, *other);
  LONG cursor = 5;
  EXPECT_EQ("<none>", Get("k", other, &cursor));
  EXPECT_EQ(nullptr, IniImageFindSection(u"x", ""));

  const char *t = "Name]x";
  EXPECT_EQ(1, IniMatchSectionName("name", &t));
  EXPECT_STREQ("x", t);
  t = "Name";
  EXPECT_EQ(0, IniMatchSectionName("name", &t));

  DWORD len = 99;
  const char *found = IniTextFindSection("printer", text, sizeof(text) - 1, &len);
  ASSERT_NE(nullptr, found);
  EXPECT_EQ(std::string("[Printer] trailing\r\nk=v\r\n"), std::string(found, len));
  EXPECT_EQ(nullptr, IniTextFindSection("missing", text, sizeof(text) - 1, &len));
  EXPECT_EQ(0u, len);
  // The length bounds the search: a section past it is not seen.
  EXPECT_EQ(nullptr, IniTextFindSection("Other", text, sizeof(text) - 3, nullptr));
}

TEST_F(IniImageTest, MissingSectionAnswersTheDefault)
{
  LONG cursor = 7;
  EXPECT_EQ("dflt", Get("A", nullptr, &cursor, 64, u"dflt"));
  EXPECT_EQ(0, cursor);
  EXPECT_EQ(5, IniImageGetInt(u"A", 5, nullptr, &cursor));
}

TEST_F(IniImageTest, LineHelpers)
{
  char out[8];
  EXPECT_EQ(3u, IniCopyValue(out, "abc\r\nd", 8));
  EXPECT_STREQ("abc", out);
  EXPECT_EQ(7u, IniCopyValue(out, "0123456789", 8));
  EXPECT_STREQ("0123456", out);
  out[0] = 'q';
  EXPECT_EQ(0u, IniCopyValue(out, "abc", 0));
  EXPECT_EQ('q', out[0]);
  const char *t = "ab\ncd";
  EXPECT_STREQ("cd", IniNextLine(t));
  EXPECT_EQ(0, *IniNextLine(IniNextLine(t)));
}

TEST_F(IniImageTest, ComposedSectionGrowsPastItsFirstSize)
{
  INI_SECTION_BUFFER buffer;
  ASSERT_EQ(1, IniSectionBufferInit(&buffer));
  DWORD length = 0;
  EXPECT_EQ(1, IniImagePutSection(&length, u"Sec", &buffer));
  EXPECT_EQ(1, IniImagePutSection(&length, u"", &buffer));
  EXPECT_EQ(1, IniImagePutString(&length, u"Key", u"Value", &buffer));
  EXPECT_EQ(1, IniImagePutString(&length, u"Empty", u"", &buffer));
  EXPECT_EQ(1, IniImagePutString(&length, u"", u"ignored", &buffer));
  EXPECT_EQ(0, IniImagePutString(nullptr, u"k", u"v", &buffer));
  EXPECT_EQ(0, IniImagePutString(&length, nullptr, u"v", &buffer));
  EXPECT_EQ(0, IniImagePutSection(&length, u"x", nullptr));
  EXPECT_EQ(std::string("[Sec]\r\nKey=Value\r\nEmpty=\r\n"), std::string(buffer.text, length));

  std::u16string big(1000, u'v');
  for (int i = 0; i < 40; ++i) ASSERT_EQ(1, IniImagePutString(&length, u"Big", big.c_str(), &buffer));
  EXPECT_EQ(26u + 40u * 1006u, length);
  EXPECT_GT(buffer.capacity, length);
  EXPECT_EQ(0, buffer.text[length]);

  // A buffer that cannot grow refuses and keeps its text.
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  std::u16string huge(40000, u'h');
  DWORD before = length;
  EXPECT_EQ(0, IniImagePutString(&length, u"Huge", huge.c_str(), &buffer));
  PlatFaultDisarmAll();
  EXPECT_EQ(before, length);
  EXPECT_EQ(0, buffer.text[length]);
  IniSectionBufferFree(&buffer);
  EXPECT_EQ(nullptr, buffer.text);
}

class IniRewriteTest : public IniImageTest {
 protected:
  std::string Rewrite(const char *section, const char *lines, int expect = 1)
  {
    INI_SECTION_BUFFER buffer;
    EXPECT_EQ(1, IniSectionBufferInit(&buffer));
    DWORD length = 0;
    std::u16string s = U16(section);
    IniImagePutSection(&length, s.c_str(), &buffer);
    for (const char *p = lines; *p;) {
      std::string line(p, strcspn(p, ";"));
      p += line.size() + (p[line.size()] ? 1 : 0);
      size_t eq = line.find('=');
      IniImagePutString(&length, U16(line.substr(0, eq).c_str()).c_str(), U16(line.substr(eq + 1).c_str()).c_str(),
                        &buffer);
    }
    EXPECT_EQ(expect, IniImageWriteSection(&ctx_, kPath, s.c_str(), buffer.text, length));
    IniSectionBufferFree(&buffer);
    return HostExists(HostPath(kPath)) ? ReadHostFile(HostPath(kPath)) : std::string("<missing>");
  }
  static constexpr const WCHAR *kPath = u"C:\\kst\\user0001.kst";
};

TEST_F(IniRewriteTest, WrittenSectionMovesToTheFront)
{
  struct Case {
    const char *before, *section, *lines, *after;
  } cases[] = {
      {nullptr, "Y", "k=new", "[Y]\r\nk=new\r\n"},
      {"[X]\r\na=1\r\n[Y]\r\nk=old\r\n[Z]\r\nz=3\r\n", "Y", "k=new", "[Y]\r\nk=new\r\n[X]\r\na=1\r\n[Z]\r\nz=3\r\n"},
      {"[Y]\r\nk=old\r\n[Z]\r\nz=3", "y", "k=new", "[y]\r\nk=new\r\n[Z]\r\nz=3"},
      {"[X]\r\na=1\r\n", "Y", "k=new;m=", "[Y]\r\nk=new\r\nm=\r\n[X]\r\na=1\r\n"},
      {"", "Y", "k=v", "[Y]\r\nk=v\r\n"},
      // Lines in front of the first section belong to none and stay in front: behind the new
      // section they would become its keys. Without a line end they get one.
      {"; comment\r\n[X]\r\n[Y]\r\nold", "Y", "k=v", "; comment\r\n[Y]\r\nk=v\r\n[X]\r\n"},
      {"k=stray\r\nm=1\r\n[Y]\r\nk=old\r\n[Z]\r\n", "Y", "k=new", "k=stray\r\nm=1\r\n[Y]\r\nk=new\r\n[Z]\r\n"},
      {"k=stray", "Y", "k=new", "k=stray\r\n[Y]\r\nk=new\r\n"},
      {"a=1\n\nb]\r\n[X]\r\nx=1\r\n", "Y", "k=v", "a=1\n\nb]\r\n[Y]\r\nk=v\r\n[X]\r\nx=1\r\n"},
  };
  for (const Case &c : cases) {
    if (c.before)
      WriteHostFile(HostPath(kPath), c.before);
    else
      DeleteFileW(kPath);
    EXPECT_EQ(c.after, Rewrite(c.section, c.lines)) << (c.before ? c.before : "(no file)");
  }
  // No temporary file stays.
  EXPECT_EQ(std::vector<std::string>{"user0001.kst"}, HostFolderEntries(HostPath(u"C:\\kst")));
}

TEST_F(IniRewriteTest, ProfileReadsSeeTheRewrittenSection)
{
  WriteHostFile(HostPath(kPath), "[X]\r\na=1\r\n[Y]\r\nk=old\r\n");
  WCHAR out[32];
  IniGetString(u"Y", u"k", u"", out, 32, kPath);
  EXPECT_EQ("old", Narrow(out));
  Rewrite("Y", "k=new");
  IniGetString(u"Y", u"k", u"", out, 32, kPath);
  EXPECT_EQ("new", Narrow(out));
  EXPECT_EQ(1u, IniGetInt(u"X", u"a", 0, kPath));

  // Keys in front of every section never become the written section's.
  WriteHostFile(HostPath(kPath), "stray=1\r\n[X]\r\na=1\r\n");
  Rewrite("Y", "k=new");
  EXPECT_EQ(7u, IniGetInt(u"Y", u"stray", 7, kPath));
  IniGetString(u"Y", u"k", u"", out, 32, kPath);
  EXPECT_EQ("new", Narrow(out));
}

TEST_F(IniRewriteTest, FailedWriteLeavesTheOldFileWhole)
{
  // Three writes: the new section, the text before the old one, the text after it.
  const std::string old = "[X]\r\na=1\r\n[Y]\r\nk=old\r\n[Z]\r\nz=1\r\n";
  for (DWORD nth : {1u, 2u, 3u}) {
    WriteHostFile(HostPath(kPath), old);
    PlatFaultArm(PLAT_FAULT_FILE_WRITE, nth);
    EXPECT_EQ(old, Rewrite("Y", "k=new", 0)) << nth;
    PlatFaultDisarmAll();
    EXPECT_EQ(std::vector<std::string>{"user0001.kst"}, HostFolderEntries(HostPath(u"C:\\kst")));
  }
  // Old text with NUL bytes inside keeps them.
  std::string withNul("[X]\r\na=1\0b\r\n", 12);
  WriteHostFile(HostPath(kPath), withNul);
  EXPECT_EQ(std::string("[Y]\r\nk=v\r\n") + withNul, Rewrite("Y", "k=v"));
}

TEST_F(IniRewriteTest, UncreatableFileRecordsTheError)
{
  state_->settingsFileStatus = 0;
  INI_SECTION_BUFFER buffer;
  ASSERT_EQ(1, IniSectionBufferInit(&buffer));
  DWORD length = 0;
  IniImagePutSection(&length, u"Y", &buffer);
  EXPECT_EQ(0, IniImageWriteSection(&ctx_, u"C:\\no\\such\\dir\\f.kst", u"Y", buffer.text, length));
  EXPECT_NE(0u, state_->settingsFileStatus);
  IniSectionBufferFree(&buffer);
}

// A settings file is rewritten whole through a rename: a link in its place is replaced
// and what it pointed at outside the machine stays as it was; so does a link planted
// where a rewrite once put its temporary file; a folder that leads out is refused.
TEST_F(IniRewriteTest, LinksOutOfTheMachineAreNeverWrittenThrough)
{
  std::string outside = (std::filesystem::temp_directory_path() / "kvoutside-XXXXXX").string();
  ASSERT_NE(mkdtemp(outside.data()), nullptr);
  const std::string precious = "[X]\r\na=1\r\n";
  WriteHostFile(outside + "/linked.kst", precious);
  WriteHostFile(outside + "/planted", precious);
  std::string host = HostPath(kPath);
  ASSERT_EQ(0, symlink((outside + "/linked.kst").c_str(), host.c_str()));
  ASSERT_EQ(0, symlink((outside + "/planted").c_str(), (host + ".~kv").c_str()));
  EXPECT_EQ("[Y]\r\nk=new\r\n" + precious, Rewrite("Y", "k=new"));
  struct stat st;
  ASSERT_EQ(0, lstat(host.c_str(), &st));
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(precious, ReadHostFile(outside + "/linked.kst"));
  EXPECT_EQ(precious, ReadHostFile(outside + "/planted"));

  ASSERT_EQ(0, symlink(outside.c_str(), HostPath(u"C:\\kst\\away").c_str()));
  state_->settingsFileStatus = 0;
  INI_SECTION_BUFFER buffer;
  ASSERT_EQ(1, IniSectionBufferInit(&buffer));
  DWORD length = 0;
  IniImagePutSection(&length, u"Y", &buffer);
  EXPECT_EQ(0, IniImageWriteSection(&ctx_, u"C:\\kst\\away\\linked.kst", u"Y", buffer.text, length));
  EXPECT_EQ((DWORD)ERROR_ACCESS_DENIED, state_->settingsFileStatus);
  EXPECT_EQ(0, IniImageWriteSection(&ctx_, u"C:\\kst\\away\\fresh.kst", u"Y", buffer.text, length));
  IniSectionBufferFree(&buffer);
  EXPECT_EQ(precious, ReadHostFile(outside + "/linked.kst"));
  EXPECT_EQ((std::vector<std::string>{"linked.kst", "planted"}), HostFolderEntries(outside));
  std::filesystem::remove_all(outside);
}

// Rewrites by several processes at once (a caller whose wait for the settings mutex ran
// out goes on without it) never meet in one temporary file: each succeeds and the file
// is always one rewrite's whole text. Updates may be lost; text is never torn.
TEST_F(IniRewriteTest, ConcurrentRewritesLeaveWholeFiles)
{
  constexpr int kProcesses = 4, kRounds = 25;
  auto value = [](int p) { return std::string(20000 + p * 700, static_cast<char>('a' + p)); };
  // A whole file: sections [P<n>] each once, each with its one key of its own value.
  auto whole = [&](const std::string &text) {
    std::vector<bool> seen(kProcesses, false);
    size_t at = 0;
    while (at < text.size()) {
      size_t end = text.find("\r\n", at);
      if (end == std::string::npos || text.compare(at, 2, "[P") != 0) return false;
      int p = text[at + 2] - '0';
      if (p < 0 || p >= kProcesses || seen[p] || text.compare(at + 3, end - at - 3, "]") != 0) return false;
      seen[p] = true;
      at = end + 2;
      end = text.find("\r\n", at);
      if (end == std::string::npos || text.compare(at, end - at, "k=" + value(p)) != 0) return false;
      at = end + 2;
    }
    return true;
  };
  std::vector<pid_t> pids;
  fflush(nullptr);
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = fork();
    if (pid == 0) {
      std::u16string section = U16(("P" + std::to_string(p)).c_str());
      std::u16string v = U16(value(p).c_str());
      bool ok = true;
      for (int r = 0; r < kRounds && ok; ++r) {
        INI_SECTION_BUFFER buffer;
        DWORD length = 0;
        ok = IniSectionBufferInit(&buffer) == 1 && IniImagePutSection(&length, section.c_str(), &buffer) == 1 &&
             IniImagePutString(&length, u"k", v.c_str(), &buffer) == 1 &&
             IniImageWriteSection(&ctx_, kPath, section.c_str(), buffer.text, length) == 1;
        IniSectionBufferFree(&buffer);
      }
      _exit(ok ? 0 : 1);
    }
    pids.push_back(pid);
  }
  int torn = 0;
  for (int i = 0; i < 200; ++i) {
    std::string host = HostPath(kPath);
    if (HostExists(host) && !whole(ReadHostFile(host))) ++torn;
  }
  for (pid_t pid : pids) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a rewrite failed";
  }
  EXPECT_EQ(0, torn);
  EXPECT_TRUE(whole(ReadHostFile(HostPath(kPath))));
  EXPECT_EQ(std::vector<std::string>{"user0001.kst"}, HostFolderEntries(HostPath(u"C:\\kst")));
}

TEST_F(IniImageTest, LoadImageNeedsAnAbsoluteReadablePath)
{
  WriteHostFile(HostPath(u"C:\\kst\\a.ini"), std::string("[A]\r\nk=v\r\n"));
  char *text = IniLoadImage(u"C:\\kst\\a.ini");
  ASSERT_NE(nullptr, text);
  EXPECT_STREQ("[A]\r\nk=v\r\n", text);
  EXPECT_EQ(1, IniFreeImage(text));
  WriteHostFile(HostPath(u"C:\\kst\\empty.ini"), "");
  text = IniLoadImage(u"C:\\kst\\empty.ini");
  ASSERT_NE(nullptr, text);
  EXPECT_EQ(0, text[0]);
  IniFreeImage(text);
  EXPECT_EQ(nullptr, IniLoadImage(nullptr));
  EXPECT_EQ(nullptr, IniLoadImage(u""));
  EXPECT_EQ(nullptr, IniLoadImage(u"kst\\a.ini"));
  EXPECT_EQ(nullptr, IniLoadImage(u"C:\\kst\\missing.ini"));
  PlatFaultArm(PLAT_FAULT_ALLOC, 1);
  EXPECT_EQ(nullptr, IniLoadImage(u"C:\\kst\\a.ini"));
  PlatFaultDisarmAll();
}

}  // namespace

namespace {

// Names and values pass through the active code page both ways (1252 and 932).
TEST_F(IniImageTest, TextRoundTripsThroughTheActiveCodePage)
{
  struct Case {
    UINT codePage;
    std::u16string value;
  } cases[] = {{1252, u"Caf\u00e9 \u00c0"}, {932, u"\u65e5\u672c\u8a9e\u30c6\u30b9\u30c8"}};
  for (const Case &c : cases) {
    ASSERT_TRUE(PlatSetAnsiCodePage(c.codePage));
    INI_SECTION_BUFFER buffer;
    ASSERT_EQ(1, IniSectionBufferInit(&buffer));
    DWORD length = 0;
    IniImagePutSection(&length, u"Sec", &buffer);
    IniImagePutString(&length, u"Name", c.value.c_str(), &buffer);
    char *body = IniImageFindSection(u"SEC", buffer.text);
    ASSERT_NE(nullptr, body);
    LONG cursor = 0;
    WCHAR out[32];
    EXPECT_EQ(c.value.size(), IniImageGetString(u"name", u"", out, 32, body, &cursor));
    EXPECT_EQ(c.value, std::u16string(out)) << c.codePage;
    IniSectionBufferFree(&buffer);
  }
  PlatSetAnsiCodePage(1252);
}

}  // namespace
