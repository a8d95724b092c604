// The spooler's printers: their PRINTER_INFO fields, default DEVMODE and printer data,
// kept as one text file per printer (C:\WINDOWS\system32\spool\kvprinters\<id>\printer.txt)
// so that every process using the machine root sees the same printers. Writers work under
// an inter-process lock. A change of a printer's fields replaces its file atomically; a
// change of its data appends one record instead, so that a write costs what its value
// costs (see AppendData). Readers never take the lock: they read the committed part of
// the file (up to its live end marker), and only the records appended since their last
// read. Printer handles live in the shared handle table.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <unordered_map>

#include "kvplat/os_control.h"
#include "kvplat/spool_control.h"
#include "spool_internal.h"
#include "store.h"
#include "win32/system.h"

namespace plat {
namespace spool {
namespace {

const char16_t kPrintersDir[] = u"C:\\WINDOWS\\system32\\spool\\kvprinters";
const char16_t kDriverDataKey[] = u"PrinterDriverData";
constexpr DWORD kMaxDataBytes = 16u << 20;
constexpr size_t kMaxPrinterName = 220;
constexpr DWORD kAdminRights = SERVER_ACCESS_ADMINISTER | PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_MANAGE_LIMITED |
                               0x10000 /*DELETE*/ | 0x40000 /*WRITE_DAC*/ | 0x80000 /*WRITE_OWNER*/;

using OptString = std::optional<std::u16string>;

struct DataValue {
  std::u16string key, name;
  DWORD type = 0;
  std::string data;
};

// A user's own default DEVMODE of a printer (PRINTER_INFO_9W).
struct UserDevMode {
  std::u16string user;  // the logon name, as first written
  std::string devMode;
};

struct Printer {
  std::u16string name, driver;
  OptString server, share, port, comment, location, sepFile, printProcessor, datatype, parameters;
  DWORD attributes = 0, priority = 1, defaultPriority = 0, startTime = 0, untilTime = 0, status = 0;
  bool published = false;
  std::u16string guid;
  std::string devMode;  // empty: no default DEVMODE for all users
  std::vector<UserDevMode> userDevModes;
  std::vector<DataValue> data;
  // The index of the data: folded "key\0name" -> place in data, and the places of the
  // driver's values (key PrinterDriverData) in order, for enumeration by index.
  std::unordered_map<std::u16string, size_t> where;
  std::vector<size_t> driverData;
  size_t records = 0;  // data records in the file, replaced and deleted ones included

  // The user's own default DEVMODE; NULL when the user has none.
  const std::string *UserDevModeOf(const std::u16string &user) const
  {
    for (auto &u : userDevModes)
      if (SameName(u.user, user)) return &u.devMode;
    return nullptr;
  }
  // Stores the user's own default DEVMODE, or removes it when devMode is empty.
  void SetUserDevMode(const std::u16string &user, const std::string &devMode)
  {
    for (size_t i = 0; i < userDevModes.size(); ++i) {
      if (!SameName(userDevModes[i].user, user)) continue;
      if (devMode.empty())
        userDevModes.erase(userDevModes.begin() + static_cast<std::ptrdiff_t>(i));
      else
        userDevModes[i].devMode = devMode;
      return;
    }
    if (!devMode.empty()) userDevModes.push_back({user, devMode});
  }

  static std::u16string Id(const std::u16string &key, const std::u16string &value)
  {
    std::u16string id;
    id.reserve(key.size() + value.size() + 1);
    for (char16_t c : key) id += FoldUpper(c);
    id += u'\0';
    for (char16_t c : value) id += FoldUpper(c);
    return id;
  }
  DataValue *Find(const std::u16string &key, const std::u16string &value)
  {
    auto it = where.find(Id(key, value));
    return it == where.end() ? nullptr : &data[it->second];
  }
  // Sets a value: a known one keeps its place (and the spelling of its names).
  void Put(DataValue d)
  {
    auto [it, added] = where.emplace(Id(d.key, d.name), data.size());
    if (!added) {
      data[it->second].type = d.type;
      data[it->second].data = std::move(d.data);
      return;
    }
    if (SameName(d.key, kDriverDataKey)) driverData.push_back(data.size());
    data.push_back(std::move(d));
  }
  bool Remove(const std::u16string &key, const std::u16string &value)
  {
    auto it = where.find(Id(key, value));
    if (it == where.end()) return false;
    data.erase(data.begin() + static_cast<std::ptrdiff_t>(it->second));
    Reindex();
    return true;
  }
  void Reindex()
  {
    where.clear();
    driverData.clear();
    for (size_t i = 0; i < data.size(); ++i) {
      where.emplace(Id(data[i].key, data[i].name), i);
      if (SameName(data[i].key, kDriverDataKey)) driverData.push_back(i);
    }
  }
};

struct Entry {
  store::Stamp stamp;  // of the file version read
  uint64_t endAt = 0;  // where the live end marker of that version starts
  Printer printer;
};

// The spooler's view of one machine root.
struct Spool {
  std::string dir, lockPath;
  uint64_t generation = 0;
  store::GenerationView generationView;
  store::Stamp dirStamp;
  bool scanned = false;
  std::vector<std::string> folders;       // as last listed, readable or not
  std::map<std::string, Entry> printers;  // the readable ones, by folder name

  Entry *FindByName(const std::u16string &name)
  {
    for (auto &[folder, e] : printers)
      if (SameName(e.printer.name, name)) return &e;
    return nullptr;
  }
  std::string FileOf(const std::string &folder) const { return dir + "/" + folder + "/printer.txt"; }
};

std::mutex g_lock;
// Where the printers' folder is when its parents exist as written (the usual case).
FixedHostPath g_printersPath(kPrintersDir);
bool g_denyOpen = false;
bool g_nonAdmin = false;
// The spooler sees a non-administrator when its own switch or the machine-wide one says so.
bool NonAdmin() { return g_nonAdmin || !PlatIsAdministrator(); }
std::map<std::string, Spool> &Spools()
{
  static auto *spools = new std::map<std::string, Spool>();
  return *spools;
}

void ResetSpooler()
{
  std::lock_guard<std::mutex> g(g_lock);
  g_denyOpen = false;
  g_nonAdmin = false;
  Spools().clear();
}
struct ResetRegistrar {
  ResetRegistrar() { RegisterReset(ResetSpooler); }
} g_registrar;

// ---------------------------------------------------------------- DEVMODEs

// The bytes a DEVMODE claims (dmSize + dmDriverExtra), or 0 when its dmSize does not cover
// its header fields up to dmFields: such a DEVMODE is refused wherever it is given.
size_t ClaimedDevModeBytes(const BYTE *p)
{
  WORD size, extra;
  memcpy(&size, p + KV_DEVMODE_OFFSET_SIZE, sizeof size);
  memcpy(&extra, p + KV_DEVMODE_OFFSET_DRIVER_EXTRA, sizeof extra);
  if (size < KV_DEVMODE_OFFSET_DRIVER_EXTRA + 6) return 0;
  return static_cast<size_t>(size) + extra;
}

// Copies a caller's DEVMODE (dmSize + dmDriverExtra bytes, as its header claims; the caller
// answers for its buffer holding them); false when its header is implausible.
bool TakeDevMode(const void *dm, std::string &out)
{
  const BYTE *p = static_cast<const BYTE *>(dm);
  size_t bytes = ClaimedDevModeBytes(p);
  if (bytes == 0) return false;
  out.assign(reinterpret_cast<const char *>(p), bytes);
  return true;
}

// Whether stored DEVMODE bytes are exactly what their header claims. GetPrinterW hands the
// bytes out as a DEVMODE, and a reader takes dmSize + dmDriverExtra bytes from it; a stored
// DEVMODE that claims more (or other) than it holds is damage, never handed out.
bool WholeDevMode(const std::string &dm)
{
  if (dm.size() < KV_DEVMODE_OFFSET_DRIVER_EXTRA + 6) return false;
  return ClaimedDevModeBytes(reinterpret_cast<const BYTE *>(dm.data())) == dm.size();
}

// The logon name of the calling user (GetUserNameW); false, with its last error, when
// there is none.
bool CurrentUser(std::u16string &user)
{
  WCHAR buf[UNLEN + 1];
  DWORD n = UNLEN + 1;
  if (!GetUserNameW(buf, &n) || n == 0) return false;
  user.assign(buf, n - 1);
  return !user.empty();
}

// ---------------------------------------------------------------- printer files

void PutString(std::string &out, const char *field, const OptString &s)
{
  if (s) out += std::string(field) + " " + store::Quote(*s) + "\n";
}

void PutNumber(std::string &out, const char *field, DWORD v, bool hex = false)
{
  char buf[64];
  snprintf(buf, sizeof buf, hex ? "%s 0x%08X\n" : "%s %u\n", field, static_cast<unsigned>(v));
  out += buf;
}

std::string DataRecord(const DataValue &d)
{
  return "data " + store::Quote(d.key) + " " + store::Quote(d.name) + " = " + store::EncodeValue(d.type, d.data) + "\n";
}

std::string DeleteRecord(const std::u16string &key, const std::u16string &name)
{
  return "deldata " + store::Quote(key) + " " + store::Quote(name) + "\n";
}

std::string Serialize(const Printer &p)
{
  std::string out = "kvprinter 1\n";
  PutString(out, "name", p.name);
  PutString(out, "driver", p.driver);
  PutString(out, "server", p.server);
  PutString(out, "share", p.share);
  PutString(out, "port", p.port);
  PutString(out, "comment", p.comment);
  PutString(out, "location", p.location);
  PutString(out, "sepfile", p.sepFile);
  PutString(out, "printprocessor", p.printProcessor);
  PutString(out, "datatype", p.datatype);
  PutString(out, "parameters", p.parameters);
  PutNumber(out, "attributes", p.attributes, true);
  PutNumber(out, "priority", p.priority);
  PutNumber(out, "defaultpriority", p.defaultPriority);
  PutNumber(out, "starttime", p.startTime);
  PutNumber(out, "untiltime", p.untilTime);
  PutNumber(out, "status", p.status, true);
  if (p.published) PutString(out, "published", p.guid);
  if (!p.devMode.empty()) out += "devmode " + store::EncodeValue(REG_BINARY, p.devMode) + "\n";
  for (auto &u : p.userDevModes)
    out += "userdevmode " + store::Quote(u.user) + " " + store::EncodeValue(REG_BINARY, u.devMode) + "\n";
  for (auto &d : p.data) out += DataRecord(d);
  out += std::string(store::kEndMarker) + "\n";
  return out;
}

bool ParseLine(const std::string &field, const char *p, Printer &pr, bool &hasName, bool &hasDriver)
{
  struct StringField {
    const char *word;
    OptString Printer::*member;
  };
  static const StringField kStrings[] = {
      {"server", &Printer::server},
      {"share", &Printer::share},
      {"port", &Printer::port},
      {"comment", &Printer::comment},
      {"location", &Printer::location},
      {"sepfile", &Printer::sepFile},
      {"printprocessor", &Printer::printProcessor},
      {"datatype", &Printer::datatype},
      {"parameters", &Printer::parameters},
  };
  struct NumberField {
    const char *word;
    DWORD Printer::*member;
  };
  static const NumberField kNumbers[] = {
      {"attributes", &Printer::attributes},
      {"priority", &Printer::priority},
      {"defaultpriority", &Printer::defaultPriority},
      {"starttime", &Printer::startTime},
      {"untiltime", &Printer::untilTime},
      {"status", &Printer::status},
  };
  std::u16string s;
  if (field == "name" || field == "driver" || field == "published") {
    if (!store::Unquote(p, s)) return false;
    if (field == "name") {
      pr.name = s;
      hasName = true;
    } else if (field == "driver") {
      pr.driver = s;
      hasDriver = true;
    } else {
      pr.published = true;
      pr.guid = s;
    }
    return store::AtEnd(p);
  }
  for (auto &f : kStrings) {
    if (field == f.word) {
      if (!store::Unquote(p, s)) return false;
      pr.*f.member = s;
      return store::AtEnd(p);
    }
  }
  for (auto &f : kNumbers) {
    if (field == f.word) {
      uint64_t v;
      if (!store::ReadSizedNumber(p, v) || v > 0xFFFFFFFFu) return false;
      pr.*f.member = static_cast<DWORD>(v);
      return store::AtEnd(p);
    }
  }
  if (field == "devmode") {
    DWORD type;
    return store::DecodeValue(p, type, pr.devMode) && store::AtEnd(p) && WholeDevMode(pr.devMode);
  }
  if (field == "userdevmode") {
    DWORD type;
    std::string dm;
    if (!store::Unquote(p, s) || s.empty() || !store::DecodeValue(p, type, dm) || !store::AtEnd(p) || !WholeDevMode(dm))
      return false;
    pr.SetUserDevMode(s, dm);
    return true;
  }
  if (field == "data") {
    DataValue d;
    if (!store::Unquote(p, d.key) || !store::Unquote(p, d.name)) return false;
    store::AtEnd(p);
    if (*p++ != '=') return false;
    if (!store::DecodeValue(p, d.type, d.data) || !store::AtEnd(p)) return false;
    pr.Put(std::move(d));
    ++pr.records;
    return true;
  }
  if (field == "deldata") {
    std::u16string key, name;
    if (!store::Unquote(p, key) || !store::Unquote(p, name) || !store::AtEnd(p)) return false;
    pr.Remove(key, name);
    ++pr.records;
    return true;
  }
  return false;
}

// The line kinds of a printer file that frame its parts.
enum LineKind { LINE_FIELD, LINE_LIVE_END, LINE_SPENT_END };

// A printer file is its fields and data records, then the end marker line; each append
// adds records and a new end marker after the live one, then turns the old marker into
// a comment by writing '#' over its first byte (AppendData). So the committed file is
// everything up to the first live end marker: what follows it is an append not finished
// (or never finished: its writer died), and is not read. A file without a live end
// marker after its last complete record was cut short, and is damaged. (A spent marker
// reads "#nd", a comment line.)

// Reads the lines of text from pos: fields and records into pr, until the first live
// end marker, whose offset goes to endAt. False for a damaged text. With header, the
// text starts with the file's header line.
bool ParseLines(const std::string &text, size_t pos, bool header, Printer &pr, uint64_t &endAt, bool &hasName,
                bool &hasDriver)
{
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) return false;  // the last line was cut
    size_t at = pos;
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.find('\0') != std::string::npos) return false;
    if (line == store::kEndMarker) {
      if (header) return false;
      endAt = at;
      return true;
    }
    const char *p = line.c_str();
    if (store::AtEnd(p) || *p == '#') continue;  // spent end markers are comments too
    std::string word;
    if (!store::ReadWord(p, word)) return false;
    if (header) {
      uint64_t version;
      if (word != "kvprinter" || !store::ReadNumber(p, version) || version != 1 || !store::AtEnd(p)) return false;
      header = false;
      continue;
    }
    if (!ParseLine(word, p, pr, hasName, hasDriver)) return false;
  }
  return false;  // no live end marker
}

// Reads a whole printer file; false for a damaged one (a line it cannot read, a missing
// name or driver, or a file cut short).
bool Parse(const std::string &text, Printer &pr, uint64_t &endAt)
{
  pr = Printer();
  bool hasName = false, hasDriver = false;
  return ParseLines(text, 0, true, pr, endAt, hasName, hasDriver) && hasName && hasDriver && !pr.name.empty();
}

// Records the file version an entry now holds. When the text read went on past its live
// end marker, an append was under way: spending the old marker changes neither the size
// nor (within the clock's grain) the times of the file, so the entry is marked to be
// looked at again rather than taken as current.
void Settle(Entry &e, const store::Stamp &now, bool complete)
{
  e.stamp = now;
  if (!complete) e.stamp.ctimeNsec = -1;  // no file has this time: the next look reads
}

// Reads what was appended to a printer file since the version e holds was read: the
// records after its end marker, when that marker was spent. Answers false when the file
// is no longer the one read (replaced, or shorter), or the tail does not read: the
// caller then reads the whole file.
bool ReadAppended(const std::string &path, Entry &e, const store::Stamp &now)
{
  if (!now.exists || now.dev != e.stamp.dev || now.ino != e.stamp.ino || now.size < e.endAt + 4) return false;
  int fd = store::OpenRegular(path, O_RDONLY);
  if (fd < 0) return false;
  std::string tail;
  char buf[65536];
  uint64_t at = e.endAt;
  for (;;) {
    ssize_t n = pread(fd, buf, sizeof buf, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    tail.append(buf, static_cast<size_t>(n));
    at += static_cast<uint64_t>(n);
  }
  struct stat st;
  bool same = fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_ino) == e.stamp.ino &&
              static_cast<uint64_t>(st.st_dev) == e.stamp.dev;
  close(fd);
  if (!same || tail.size() < 4) return false;
  if (tail.compare(0, 4, "end\n") == 0) {
    Settle(e, now, tail.size() == 4);  // nothing new is committed
    return true;
  }
  if (tail.compare(0, 4, "#nd\n") != 0) return false;
  // The tail is read twice: first into a scratch printer, to learn whether it reads whole
  // (whether a line reads never depends on the lines before it), then onto the entry. So
  // a damaged tail leaves the entry as it was, and a reader pays for what was appended,
  // not for a copy of every value the printer holds.
  Printer scratch;
  bool hasName = true, hasDriver = true;
  uint64_t endAt = 0, applied = 0;
  if (!ParseLines(tail, 4, false, scratch, endAt, hasName, hasDriver)) return false;
  ParseLines(tail, 4, false, e.printer, applied, hasName, hasDriver);
  e.endAt += endAt;
  Settle(e, now, endAt + 4 == tail.size());
  return true;
}

// Brings one printer's entry up to date with its file: the appended records when the
// file only grew, else the whole file. False when the file is missing or damaged.
bool ReadPrinter(const std::string &path, Entry &e, bool known)
{
  store::Stamp now;
  store::StatFile(path, now);
  if (!now.exists) return false;
  if (known && now == e.stamp) return true;
  if (known && ReadAppended(path, e, now)) return true;
  std::string text;
  bool exists;
  if (!store::ReadWholeFile(path, text, exists) || !exists) return false;
  if (!Parse(text, e.printer, e.endAt)) return false;
  // The stamp taken before the read: a change made meanwhile shows at the next look.
  Settle(e, now, e.endAt + 4 == text.size());
  return true;
}

// ---------------------------------------------------------------- the spool state

Spool *SpoolForRoot()
{
  std::string dir;
  if (!MapPath(kPrintersDir, dir)) return nullptr;
  Spool &s = Spools()[dir];
  if (s.dir.empty()) {
    s.dir = dir;
    s.lockPath = dir + "/kvspool.lock";
  }
  return &s;
}

std::vector<std::string> ListFolders(const std::string &dir)
{
  std::vector<std::string> out;
  DIR *d = opendir(dir.c_str());
  if (!d) return out;
  while (struct dirent *e = readdir(d)) {
    std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    struct stat st;
    if (stat((dir + "/" + n).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) out.push_back(n);
  }
  closedir(d);
  return out;
}

// Brings the view up to date: lists the folders again when the folder or the generation
// changed, and re-reads each printer whose file changed. Unreadable printers are left out.
void Refresh(Spool &s)
{
  uint64_t gen = s.generationView.Read(s.lockPath);
  store::Stamp ds;
  store::StatFile(s.dir, ds);
  if (!s.scanned || gen != s.generation || !(ds == s.dirStamp)) {
    s.folders = ListFolders(s.dir);
    s.generation = gen;
    s.dirStamp = ds;
    s.scanned = true;
  }
  std::map<std::string, Entry> next;
  for (auto &folder : s.folders) {
    auto old = s.printers.find(folder);
    bool known = old != s.printers.end();
    Entry e = known ? std::move(old->second) : Entry();
    if (ReadPrinter(s.FileOf(folder), e, known)) next[folder] = std::move(e);
  }
  s.printers = std::move(next);
}

// One change of the spool under the inter-process lock. The change answers a Win32
// error code; its writes go through Save and Remove.
struct Writer {
  Spool &s;
  bool wrote = false;
  bool refused = false;  // a write was refused: the printer's folder leads out of the machine
  // The answer for a failed write.
  DWORD Failure() const { return refused ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE; }
  bool Save(const std::string &folder, const Printer &p)
  {
    std::string path = s.FileOf(folder);
    std::string text = Serialize(p);
    if (!store::WriteFileAtomic(path, text)) {
      refused = GetLastError() == ERROR_ACCESS_DENIED;
      return false;
    }
    if (std::find(s.folders.begin(), s.folders.end(), folder) == s.folders.end()) s.folders.push_back(folder);
    Entry &e = s.printers[folder];
    e.printer = p;
    e.printer.records = p.data.size();
    e.endAt = text.size() - 4;
    store::StatFile(path, e.stamp);
    wrote = true;
    return true;
  }
  // Commits one change of a printer's data: its record is appended to the printer's
  // file and change is applied to the entry. A file that cannot take an append because
  // a link stands in its place (a symbolic link, or a hard link: a second name of a file
  // that may lie anywhere) is rewritten whole with the change instead, which puts a
  // regular file of its own there: an append never writes through a link. False
  // (nothing committed) when a write failed.
  bool CommitData(const std::string &folder, Entry &e, const std::string &record,
                  const std::function<void(Printer &)> &change)
  {
    bool linked = false;
    if (AppendData(folder, e, record, linked)) {
      change(e.printer);
      return true;
    }
    if (!linked) return false;
    Printer copy = e.printer;
    change(copy);
    return Save(folder, copy);
  }
  // Appends one record to a printer's file: the record and a new end marker go after
  // the live marker, then the live marker is spent. A writer that dies between the two
  // leaves an unfinished append, which readers skip and the next append overwrites.
  // False (nothing committed) when a write failed; linked is set when the file is a link
  // (symbolic or hard).
  bool AppendData(const std::string &folder, Entry &e, const std::string &record, bool &linked)
  {
    std::string path = s.FileOf(folder);
    if (!EntryInsideMachine(path)) {
      refused = true;
      return false;
    }
    int fd = store::OpenRegular(path, O_WRONLY | O_NOFOLLOW);
    if (fd < 0) {
      linked = errno == ELOOP;
      return false;
    }
    struct stat st;
    std::string bytes = record + store::kEndMarker + "\n";
    uint64_t at = e.endAt + 4;
    bool ok = fstat(fd, &st) == 0;
    if (ok && st.st_nlink > 1) {  // a second name of a file that may lie anywhere
      close(fd);
      linked = true;
      return false;
    }
    ok = ok && static_cast<uint64_t>(st.st_ino) == e.stamp.ino && static_cast<uint64_t>(st.st_dev) == e.stamp.dev &&
         static_cast<uint64_t>(st.st_size) >= at;
    // An unfinished append of a writer that died goes first.
    if (ok && static_cast<uint64_t>(st.st_size) > at) ok = ftruncate(fd, static_cast<off_t>(at)) == 0;
    if (ok) ok = PwriteAll(fd, bytes, at) && PwriteAll(fd, "#", e.endAt);
    close(fd);
    if (!ok) return false;
    e.endAt = at + record.size();
    e.printer.records++;
    store::StatFile(path, e.stamp);
    wrote = true;
    return true;
  }
  static bool PwriteAll(int fd, const std::string &bytes, uint64_t at)
  {
    size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(at + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  void Remove(const std::string &folder)
  {
    unlink(s.FileOf(folder).c_str());
    rmdir((s.dir + "/" + folder).c_str());
    s.printers.erase(folder);
    s.folders.erase(std::remove(s.folders.begin(), s.folders.end(), folder), s.folders.end());
    wrote = true;
  }
};

DWORD Change(const std::function<DWORD(Spool &, Writer &)> &fn)
{
  Spool *s = SpoolForRoot();
  if (!s) return ERROR_PATH_NOT_FOUND;
  store::WriteLock lock(s->lockPath);
  if (!lock.ok()) return lock.refused() ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE;
  Refresh(*s);
  Writer w{*s};
  DWORD rc = fn(*s, w);
  if (w.wrote) {
    lock.Bump();
    s->generation = lock.Generation();
    store::StatFile(s->dir, s->dirStamp);
  }
  return rc;
}

std::string NewFolder(const Spool &s)
{
  unsigned n = 1;
  for (auto &f : ListFolders(s.dir)) {
    if (f.size() >= 2 && f.size() <= 10 && f[0] == 'p' && f.find_first_not_of("0123456789", 1) == std::string::npos)
      n = std::max(n, static_cast<unsigned>(strtoul(f.c_str() + 1, nullptr, 10)) + 1);
  }
  char buf[16];
  snprintf(buf, sizeof buf, "p%04u", n);
  return buf;
}

// ---------------------------------------------------------------- names and checks

// A printer name: no ',' '!' or controls, at most 220 characters, and a '\' only in the
// "\\server\printer" form of a connection.
bool ValidPrinterName(const std::u16string &name, bool connection)
{
  if (name.empty() || name.size() > kMaxPrinterName) return false;
  size_t start = 0;
  if (connection) {
    if (name.size() < 5 || name[0] != u'\\' || name[1] != u'\\') return false;
    size_t sep = name.find(u'\\', 2);
    if (sep == std::u16string::npos || sep == 2 || sep + 1 >= name.size()) return false;
    start = sep + 1;
  }
  for (size_t i = start; i < name.size(); ++i) {
    char16_t c = name[i];
    if (c < 0x20 || c == u',' || c == u'!' || c == u'\\') return false;
  }
  return true;
}

bool ValidDatatype(const std::u16string &t)
{
  static const char16_t *const kTypes[] = {u"RAW",          u"TEXT",         u"RAW [FF appended]", u"RAW [FF auto]",
                                           u"NT EMF 1.003", u"NT EMF 1.006", u"NT EMF 1.007",      u"NT EMF 1.008"};
  for (auto *k : kTypes)
    if (SameName(t, k)) return true;
  return false;
}

std::u16string MakeGuid(const std::string &folder, const Printer &p)
{
  std::hash<std::string> h;
  uint64_t a = h(folder + std::to_string(GetTickCount())) * 0x9E3779B97F4A7C15ull;
  uint64_t b = h(std::to_string(a) + folder) ^ (static_cast<uint64_t>(p.name.size()) << 40);
  char buf[48];
  snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%04X-%04X%08X}", static_cast<unsigned>(a >> 32),
           static_cast<unsigned>((a >> 16) & 0xFFFF), static_cast<unsigned>(0x4000 | (a & 0x0FFF)),
           static_cast<unsigned>(0x8000 | ((b >> 48) & 0x3FFF)), static_cast<unsigned>((b >> 32) & 0xFFFF),
           static_cast<unsigned>(b & 0xFFFFFFFF));
  std::u16string g;
  for (const char *c = buf; *c; ++c) g += static_cast<char16_t>(*c);
  return g;
}

// ---------------------------------------------------------------- handles

struct PrinterObject : Object {
  PrinterObject() : Object(OBJ_ANY) {}
  bool server = false;
  std::string folder;
  DWORD access = 0;
};

std::shared_ptr<PrinterObject> GetObject(HANDLE h)
{
  if (!h) return nullptr;
  DWORD saved = GetLastError();
  auto obj = std::dynamic_pointer_cast<PrinterObject>(HandleGet(h, OBJ_ANY));
  SetLastError(saved);
  return obj;
}

// The printer behind a printer handle in the refreshed view; ERROR_INVALID_HANDLE for a
// bogus, closed or server handle and for a printer that was deleted.
DWORD Lookup(HANDLE h, std::shared_ptr<PrinterObject> &obj, Spool *&s, Entry *&e)
{
  obj = GetObject(h);
  if (!obj || obj->server) return ERROR_INVALID_HANDLE;
  // A printer read before whose file is unchanged costs one stat. A file found at the
  // exact host path means the printers' folder maps there, and the full refresh would
  // keep this printer's entry as it is (it re-reads a printer only when its file changed).
  std::string exact;
  if (g_printersPath.Get(exact)) {
    auto sit = Spools().find(exact);
    if (sit != Spools().end() && sit->second.scanned) {
      auto it = sit->second.printers.find(obj->folder);
      if (it != sit->second.printers.end()) {
        store::Stamp fs;
        store::StatFile(sit->second.FileOf(obj->folder), fs);
        if (fs.exists && fs == it->second.stamp) {
          s = &sit->second;
          e = &it->second;
          return ERROR_SUCCESS;
        }
      }
    }
  }
  s = SpoolForRoot();
  if (!s) return ERROR_INVALID_HANDLE;
  Refresh(*s);
  auto it = s->printers.find(obj->folder);
  if (it == s->printers.end()) return ERROR_INVALID_HANDLE;
  e = &it->second;
  return ERROR_SUCCESS;
}

bool MayAdminister(const PrinterObject &obj)
{
  return !NonAdmin() &&
         (obj.access & (PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_MANAGE_LIMITED | SERVER_ACCESS_ADMINISTER));
}

BOOL Fail(DWORD error)
{
  SetLastError(error);
  return FALSE;
}

// Runs a change of the printer behind a handle. The check runs on the refreshed state
// before anything is written.
DWORD ChangePrinter(HANDLE h, const std::function<DWORD(Spool &, const std::string &folder, Printer &)> &fn)
{
  auto obj = GetObject(h);
  if (!obj || obj->server) return ERROR_INVALID_HANDLE;
  return Change([&](Spool &s, Writer &w) -> DWORD {
    auto it = s.printers.find(obj->folder);
    if (it == s.printers.end()) return ERROR_INVALID_HANDLE;
    Printer copy = it->second.printer;
    DWORD rc = fn(s, obj->folder, copy);
    if (rc != ERROR_SUCCESS) return rc;
    return w.Save(obj->folder, copy) ? ERROR_SUCCESS : w.Failure();
  });
}

// Runs a change of a printer's data on its refreshed entry. The change appends its
// record; when the file holds many more records than values it is written anew instead,
// so that replaced values cost their space only for a while.
DWORD ChangeData(const std::string &folder, const std::function<DWORD(Writer &, Entry &)> &fn)
{
  return Change([&](Spool &s, Writer &w) -> DWORD {
    auto it = s.printers.find(folder);
    if (it == s.printers.end()) return ERROR_INVALID_HANDLE;
    Entry &e = it->second;
    DWORD rc = fn(w, e);
    if (rc == ERROR_SUCCESS && e.printer.records > 2 * e.printer.data.size() + 64) {
      Printer copy = e.printer;
      if (!w.Save(folder, copy)) return w.Failure();
    }
    return rc;
  });
}

// ---------------------------------------------------------------- answer layouts

void FillInfo1(Packer &pk, const Printer &p, PRINTER_INFO_1W *out)
{
  std::u16string desc = p.name + u"," + p.driver + u"," + p.location.value_or(u"");
  LPWSTR d = pk.Str(desc), n = pk.Str(p.name), c = pk.Str(p.comment);
  if (out) {
    out->Flags = PRINTER_ENUM_ICON8;
    out->pDescription = d;
    out->pName = n;
    out->pComment = c;
  }
}

void FillInfo2(Packer &pk, const Printer &p, PRINTER_INFO_2W *out)
{
  void *dm = pk.Bytes(p.devMode);  // first, so that it keeps its 4-byte boundary
  LPWSTR server = pk.Str(p.server), name = pk.Str(p.name), share = pk.Str(p.share), port = pk.Str(p.port),
         driver = pk.Str(p.driver), comment = pk.Str(p.comment), location = pk.Str(p.location), sep = pk.Str(p.sepFile),
         proc = pk.Str(p.printProcessor), type = pk.Str(p.datatype), params = pk.Str(p.parameters);
  if (!out) return;
  out->pServerName = server;
  out->pPrinterName = name;
  out->pShareName = share;
  out->pPortName = port;
  out->pDriverName = driver;
  out->pComment = comment;
  out->pLocation = location;
  out->pDevMode = static_cast<LPDEVMODEW>(dm);
  out->pSepFile = sep;
  out->pPrintProcessor = proc;
  out->pDatatype = type;
  out->pParameters = params;
  out->pSecurityDescriptor = NULL;
  out->Attributes = p.attributes;
  out->Priority = p.priority;
  out->DefaultPriority = p.defaultPriority;
  out->StartTime = p.startTime;
  out->UntilTime = p.untilTime;
  out->Status = p.status;
  out->cJobs = 0;
  out->AveragePPM = 0;
}

void FillInfo4(Packer &pk, const Printer &p, PRINTER_INFO_4W *out)
{
  LPWSTR name = pk.Str(p.name), server = pk.Str(p.server);
  if (!out) return;
  out->pPrinterName = name;
  out->pServerName = server;
  out->Attributes = p.attributes;
}

void FillInfo7(Packer &pk, const Printer &p, PRINTER_INFO_7W *out)
{
  LPWSTR guid = p.published ? pk.Str(p.guid) : NULL;
  if (!out) return;
  out->pszObjectGUID = guid;
  out->dwAction = p.published ? DSPRINT_PUBLISH : DSPRINT_UNPUBLISH;
}

// Levels 8 and 9: one DEVMODE, or NULL when none is stored (dm NULL or empty).
void FillDevModeLevel(Packer &pk, const std::string *dm, LPDEVMODEW *out)
{
  void *placed = dm != nullptr ? pk.Bytes(*dm) : NULL;
  if (out) *out = static_cast<LPDEVMODEW>(placed);
}

bool LevelSize(DWORD level, DWORD &size)
{
  switch (level) {
    case 1: size = sizeof(PRINTER_INFO_1W); return true;
    case 2: size = sizeof(PRINTER_INFO_2W); return true;
    case 4: size = sizeof(PRINTER_INFO_4W); return true;
    case 7: size = sizeof(PRINTER_INFO_7W); return true;
    case 8: size = sizeof(PRINTER_INFO_8W); return true;
    case 9: size = sizeof(PRINTER_INFO_9W); return true;
    default: return false;
  }
}

// Fills one record of the level; user is the caller's logon name (level 9 only, empty
// when the caller has none).
void FillLevel(DWORD level, Packer &pk, const Printer &p, const std::u16string &user, void *out)
{
  switch (level) {
    case 1: FillInfo1(pk, p, static_cast<PRINTER_INFO_1W *>(out)); break;
    case 2: FillInfo2(pk, p, static_cast<PRINTER_INFO_2W *>(out)); break;
    case 4: FillInfo4(pk, p, static_cast<PRINTER_INFO_4W *>(out)); break;
    case 7: FillInfo7(pk, p, static_cast<PRINTER_INFO_7W *>(out)); break;
    case 8: FillDevModeLevel(pk, &p.devMode, out ? &static_cast<PRINTER_INFO_8W *>(out)->pDevMode : nullptr); break;
    case 9:
      FillDevModeLevel(pk, user.empty() ? nullptr : p.UserDevModeOf(user),
                       out ? &static_cast<PRINTER_INFO_9W *>(out)->pDevMode : nullptr);
      break;
  }
}

// ---------------------------------------------------------------- SetPrinterW levels

DWORD ApplyInfo2(Spool &s, const std::string &folder, Printer &p, const PRINTER_INFO_2W &in)
{
  if (!in.pPrinterName) return ERROR_INVALID_PRINTER_NAME;
  std::u16string name = in.pPrinterName;
  if (!ValidPrinterName(name, p.server.has_value())) return ERROR_INVALID_PRINTER_NAME;
  Entry *other = s.FindByName(name);
  if (other && other != &s.printers[folder]) return ERROR_PRINTER_ALREADY_EXISTS;
  DriverRecord drv;
  if (!in.pDriverName || !LoadDriver(in.pDriverName, drv)) return ERROR_UNKNOWN_PRINTER_DRIVER;
  if (!in.pPortName || !*in.pPortName) return ERROR_UNKNOWN_PORT;
  if (in.pDatatype && !ValidDatatype(in.pDatatype)) return ERROR_INVALID_DATATYPE;
  if (in.Priority < 1 || in.Priority > 99 || in.DefaultPriority > 99) return ERROR_INVALID_PRIORITY;
  std::string dm = p.devMode;
  if (in.pDevMode && !TakeDevMode(in.pDevMode, dm)) return ERROR_INVALID_PARAMETER;
  auto opt = [](LPCWSTR s) { return s ? OptString(s) : OptString(); };
  p.name = name;
  p.driver = drv.name;
  p.port = in.pPortName;
  p.share = opt(in.pShareName);
  p.comment = opt(in.pComment);
  p.location = opt(in.pLocation);
  p.sepFile = opt(in.pSepFile);
  if (in.pPrintProcessor) p.printProcessor = in.pPrintProcessor;
  if (in.pDatatype) p.datatype = in.pDatatype;
  p.parameters = opt(in.pParameters);
  p.devMode = dm;
  p.attributes = (in.Attributes & ~PRINTER_ATTRIBUTE_PUBLISHED) | (p.attributes & PRINTER_ATTRIBUTE_PUBLISHED);
  p.priority = in.Priority;
  p.defaultPriority = in.DefaultPriority;
  p.startTime = in.StartTime;
  p.untilTime = in.UntilTime;
  return ERROR_SUCCESS;
}

DWORD ApplyInfo7(const std::string &folder, Printer &p, const PRINTER_INFO_7W &in)
{
  switch (in.dwAction) {
    case DSPRINT_PUBLISH:
    case DSPRINT_REPUBLISH:
      if (!p.published || in.dwAction == DSPRINT_REPUBLISH) p.guid = MakeGuid(folder, p);
      p.published = true;
      p.attributes |= PRINTER_ATTRIBUTE_PUBLISHED;
      return ERROR_SUCCESS;
    case DSPRINT_UNPUBLISH:
      p.published = false;
      p.guid.clear();
      p.attributes &= ~PRINTER_ATTRIBUTE_PUBLISHED;
      return ERROR_SUCCESS;
    case DSPRINT_UPDATE:  // refreshes what is published; nothing to keep here
      return ERROR_SUCCESS;
    default: return ERROR_INVALID_PARAMETER;
  }
}

// Level 8 (the default for all users) or 9 (the user's own): a copy of the DEVMODE, or no
// stored default for a NULL one.
DWORD ApplyDefaultDevMode(DWORD level, Printer &p, const std::u16string &user, LPDEVMODEW in)
{
  std::string dm;
  if (in && !TakeDevMode(in, dm)) return ERROR_INVALID_PARAMETER;
  if (level == 8)
    p.devMode = dm;
  else
    p.SetUserDevMode(user, dm);
  return ERROR_SUCCESS;
}

DWORD ApplyCommand(Printer &p, DWORD command, const BYTE *data)
{
  switch (command) {
    case PRINTER_CONTROL_PAUSE: p.status |= PRINTER_STATUS_PAUSED; return ERROR_SUCCESS;
    case PRINTER_CONTROL_RESUME: p.status &= ~PRINTER_STATUS_PAUSED; return ERROR_SUCCESS;
    case PRINTER_CONTROL_PURGE: return ERROR_SUCCESS;  // no jobs are kept
    case PRINTER_CONTROL_SET_STATUS:
      if (!data) return ERROR_INVALID_PARAMETER;
      memcpy(&p.status, data, sizeof(DWORD));
      return ERROR_SUCCESS;
    default: return ERROR_INVALID_PRINTER_COMMAND;
  }
}

// ---------------------------------------------------------------- printer data

DWORD GetData(HANDLE h, LPCWSTR key, LPCWSTR value, LPDWORD pType, LPBYTE pData, DWORD nSize, LPDWORD pcbNeeded)
{
  if (!key || !*key || !value || !pcbNeeded) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> g(g_lock);
  std::shared_ptr<PrinterObject> obj;
  Spool *s;
  Entry *e;
  DWORD rc = Lookup(h, obj, s, e);
  if (rc != ERROR_SUCCESS) return rc;
  DataValue *d = e->printer.Find(key, value);
  if (!d) return ERROR_FILE_NOT_FOUND;
  DWORD size = static_cast<DWORD>(d->data.size());
  if (pType) *pType = d->type;
  *pcbNeeded = size;
  if (nSize < size) return ERROR_MORE_DATA;
  if (size && !pData) return ERROR_INVALID_USER_BUFFER;
  if (size) memcpy(pData, d->data.data(), size);
  return ERROR_SUCCESS;
}

DWORD SetData(HANDLE h, LPCWSTR key, LPCWSTR value, DWORD type, const BYTE *pData, DWORD cbData)
{
  if (!key || !*key || !value || (!pData && cbData) || cbData > kMaxDataBytes) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> g(g_lock);
  auto obj = GetObject(h);
  if (!obj || obj->server) return ERROR_INVALID_HANDLE;
  if (!MayAdminister(*obj)) return ERROR_ACCESS_DENIED;
  DataValue d{key, value, type, std::string(reinterpret_cast<const char *>(pData), pData ? cbData : 0)};
  return ChangeData(obj->folder, [&](Writer &w, Entry &e) -> DWORD {
    if (PlatFaultHit(PLAT_FAULT_PRINTER_DATA)) return ERROR_CANTWRITE;
    std::string record = DataRecord(d);
    if (!w.CommitData(obj->folder, e, record, [&](Printer &p) { p.Put(std::move(d)); })) return w.Failure();
    return ERROR_SUCCESS;
  });
}

DWORD DeleteData(HANDLE h, LPCWSTR key, LPCWSTR value)
{
  if (!key || !*key || !value) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> g(g_lock);
  auto obj = GetObject(h);
  if (!obj || obj->server) return ERROR_INVALID_HANDLE;
  if (!MayAdminister(*obj)) return ERROR_ACCESS_DENIED;
  return ChangeData(obj->folder, [&](Writer &w, Entry &e) -> DWORD {
    if (!e.printer.Find(key, value)) return ERROR_FILE_NOT_FOUND;
    if (!w.CommitData(obj->folder, e, DeleteRecord(key, value), [&](Printer &p) { p.Remove(key, value); }))
      return w.Failure();
    return ERROR_SUCCESS;
  });
}

struct KeepLastError {
  DWORD saved = GetLastError();
  ~KeepLastError() { SetLastError(saved); }
};

}  // namespace

// ---------------------------------------------------------------- shared with the other spooler files

std::u16string ComputerPrefix()
{
  WCHAR buf[64];
  DWORD n = GetEnvironmentVariableW(u"COMPUTERNAME", buf, 64);
  std::u16string name = (n > 0 && n < 64) ? std::u16string(buf, n) : std::u16string(u"KVHOST");
  return u"\\\\" + name;
}

bool IsSpoolHandle(HANDLE h)
{
  if (GetObject(h)) return true;
  SetLastError(ERROR_INVALID_HANDLE);
  return false;
}

bool PrinterDriverName(HANDLE h, std::u16string &driver)
{
  std::lock_guard<std::mutex> g(g_lock);
  std::shared_ptr<PrinterObject> obj;
  Spool *s;
  Entry *e;
  DWORD rc = Lookup(h, obj, s, e);
  if (rc != ERROR_SUCCESS) {
    SetLastError(rc);
    return false;
  }
  driver = e->printer.driver;
  return true;
}

bool DriverInUse(const std::u16string &driver)
{
  std::lock_guard<std::mutex> g(g_lock);
  Spool *s = SpoolForRoot();
  if (!s) return false;
  Refresh(*s);
  for (auto &[folder, e] : s->printers)
    if (SameName(e.printer.driver, driver)) return true;
  return false;
}

}  // namespace spool
}  // namespace plat

using namespace plat;
using namespace plat::spool;

// ---------------------------------------------------------------- controls

BOOL PlatSpoolAddPrinter(const PLAT_PRINTER_SETUP *setup)
{
  if (!setup || !setup->printerName || !setup->driverName) return Fail(ERROR_INVALID_PARAMETER);
  Printer p;
  p.name = setup->printerName;
  if (setup->serverName) {
    p.server = setup->serverName;
    if (p.name.size() < 2 || p.name[0] != u'\\' || p.name[1] != u'\\') p.name = *p.server + u"\\" + p.name;
  }
  if (!ValidPrinterName(p.name, p.server.has_value())) return Fail(ERROR_INVALID_PRINTER_NAME);
  DriverRecord drv;
  if (!LoadDriver(setup->driverName, drv)) return Fail(ERROR_UNKNOWN_PRINTER_DRIVER);
  if (setup->devMode && !TakeDevMode(setup->devMode, p.devMode)) return Fail(ERROR_INVALID_PARAMETER);
  p.driver = drv.name;
  p.port = setup->portName ? setup->portName : u"LPT1:";
  if (setup->shareName) p.share = setup->shareName;
  if (setup->comment) p.comment = setup->comment;
  if (setup->location) p.location = setup->location;
  p.printProcessor = u"WinPrint";
  p.datatype = u"RAW";
  p.attributes = setup->attributes | (p.server ? PRINTER_ATTRIBUTE_NETWORK : PRINTER_ATTRIBUTE_LOCAL);
  std::lock_guard<std::mutex> g(g_lock);
  DWORD rc = Change([&](Spool &s, Writer &w) -> DWORD {
    if (s.FindByName(p.name)) return ERROR_PRINTER_ALREADY_EXISTS;
    return w.Save(NewFolder(s), p) ? ERROR_SUCCESS : w.Failure();
  });
  return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}

BOOL PlatSpoolRenamePrinter(const WCHAR *oldName, const WCHAR *newName)
{
  if (!oldName || !newName) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> g(g_lock);
  DWORD rc = Change([&](Spool &s, Writer &w) -> DWORD {
    Entry *e = s.FindByName(oldName);
    if (!e) return ERROR_INVALID_PRINTER_NAME;
    if (!ValidPrinterName(newName, e->printer.server.has_value())) return ERROR_INVALID_PRINTER_NAME;
    Entry *other = s.FindByName(newName);
    if (other && other != e) return ERROR_PRINTER_ALREADY_EXISTS;
    std::string folder;
    for (auto &[f, entry] : s.printers)
      if (&entry == e) folder = f;
    Printer p = e->printer;
    p.name = newName;
    return w.Save(folder, p) ? ERROR_SUCCESS : w.Failure();
  });
  return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}

BOOL PlatSpoolDeletePrinter(const WCHAR *name)
{
  if (!name) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard<std::mutex> g(g_lock);
  DWORD rc = Change([&](Spool &s, Writer &w) -> DWORD {
    for (auto &[folder, e] : s.printers) {
      if (SameName(e.printer.name, name)) {
        std::string f = folder;
        w.Remove(f);
        return ERROR_SUCCESS;
      }
    }
    return ERROR_INVALID_PRINTER_NAME;
  });
  return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}

void PlatSpoolSetAccess(BOOL denyOpen, BOOL nonAdministrator)
{
  std::lock_guard<std::mutex> g(g_lock);
  g_denyOpen = denyOpen != FALSE;
  g_nonAdmin = nonAdministrator != FALSE;
}

// ---------------------------------------------------------------- printers

BOOL WINAPI OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault)
{
  if (!phPrinter) return Fail(ERROR_INVALID_PARAMETER);
  *phPrinter = NULL;
  std::lock_guard<std::mutex> g(g_lock);
  if (g_denyOpen) return Fail(ERROR_ACCESS_DENIED);
  if (pDefault && pDefault->pDatatype && !ValidDatatype(pDefault->pDatatype)) return Fail(ERROR_INVALID_DATATYPE);
  DWORD want = pDefault ? pDefault->DesiredAccess : 0;
  std::u16string name = pPrinterName ? std::u16string(pPrinterName) : std::u16string();
  std::u16string prefix = ComputerPrefix();
  bool server = name.empty() || SameName(name, prefix);
  auto obj = std::make_shared<PrinterObject>();
  obj->server = server;
  if (!server) {
    Spool *s = SpoolForRoot();
    if (!s) return Fail(ERROR_INVALID_PRINTER_NAME);
    Refresh(*s);
    Entry *e = s->FindByName(name);
    if (!e && name.size() > prefix.size() + 1 && SameName(name.substr(0, prefix.size()), prefix) &&
        name[prefix.size()] == u'\\')
      e = s->FindByName(name.substr(prefix.size() + 1));
    if (!e || name.find(u',') != std::u16string::npos) return Fail(ERROR_INVALID_PRINTER_NAME);
    for (auto &[folder, entry] : s->printers)
      if (&entry == e) obj->folder = folder;
  }
  // Generic rights map onto the object's own; no request means use (or read) access.
  DWORD readAll = server ? SERVER_READ : PRINTER_READ;
  DWORD writeAll = server ? SERVER_WRITE : PRINTER_WRITE;
  DWORD all = server ? SERVER_ALL_ACCESS : PRINTER_ALL_ACCESS;
  if (want & MAXIMUM_ALLOWED) want = NonAdmin() ? readAll : all;
  if (want & 0x80000000UL) want |= readAll;
  if (want & 0x40000000UL) want |= writeAll;
  if (want & 0x20000000UL) want |= readAll;
  if (want & 0x10000000UL) want |= all;
  want &= 0x00FFFFFFUL;
  if (want == 0) want = server ? SERVER_READ : PRINTER_ACCESS_USE;
  if ((want & kAdminRights) && NonAdmin()) return Fail(ERROR_ACCESS_DENIED);
  obj->access = want;
  HANDLE h = HandleAdd(obj);
  if (!h) return FALSE;
  *phPrinter = h;
  return TRUE;
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter)
{
  if (!GetObject(hPrinter)) return Fail(ERROR_INVALID_HANDLE);
  return HandleClose(hPrinter);
}

BOOL WINAPI GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded)
{
  if (!pcbNeeded) return Fail(ERROR_INVALID_PARAMETER);
  // The caller's name is read before the spooler's lock is taken; a caller without one
  // has no default of its own.
  std::u16string user;
  if (Level == 9) {
    KeepLastError keep;
    if (!CurrentUser(user)) user.clear();
  }
  std::lock_guard<std::mutex> g(g_lock);
  std::shared_ptr<PrinterObject> obj;
  Spool *s;
  Entry *e;
  DWORD rc = Lookup(hPrinter, obj, s, e);
  if (rc != ERROR_SUCCESS) return Fail(rc);
  DWORD size;
  if (!LevelSize(Level, size)) return Fail(ERROR_INVALID_LEVEL);
  const Printer &p = e->printer;
  return PackAnswer(1, size, pPrinter, cbBuf, pcbNeeded,
                    [&](Packer &pk, DWORD, void *out) { FillLevel(Level, pk, p, user, out); });
}

BOOL WINAPI SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command)
{
  std::u16string user;
  DWORD userError = ERROR_SUCCESS;
  if (Level == 9 && !CurrentUser(user)) userError = GetLastError() ? GetLastError() : ERROR_NONE_MAPPED;
  std::lock_guard<std::mutex> g(g_lock);
  auto obj = GetObject(hPrinter);
  if (!obj || obj->server) return Fail(ERROR_INVALID_HANDLE);
  // A user's own default concerns only that user: any handle on the printer may set it.
  // Every other change of the printer is administration.
  if (Level != 9 && !MayAdminister(*obj)) return Fail(ERROR_ACCESS_DENIED);
  if (Level != 0 && Level != 2 && Level != 7 && Level != 8 && Level != 9) return Fail(ERROR_INVALID_LEVEL);
  if (Level != 0 && (Command != 0 || !pPrinter)) return Fail(ERROR_INVALID_PARAMETER);
  if (userError != ERROR_SUCCESS) return Fail(userError);
  DWORD rc = ChangePrinter(hPrinter, [&](Spool &s, const std::string &folder, Printer &p) -> DWORD {
    DWORD r;
    if (Level == 8 || Level == 9) {
      LPDEVMODEW dm;
      memcpy(&dm, pPrinter, sizeof dm);  // PRINTER_INFO_8W and 9W are this one pointer
      r = ApplyDefaultDevMode(Level, p, user, dm);
    } else if (Level == 2) {
      PRINTER_INFO_2W in;
      memcpy(&in, pPrinter, sizeof in);
      r = ApplyInfo2(s, folder, p, in);
    } else if (Level == 7) {
      PRINTER_INFO_7W in;
      memcpy(&in, pPrinter, sizeof in);
      r = ApplyInfo7(folder, p, in);
    } else {
      r = ApplyCommand(p, Command, pPrinter);
    }
    if (r == ERROR_SUCCESS && PlatFaultHit(PLAT_FAULT_PRINTER_DATA)) r = ERROR_CANTWRITE;
    return r;
  });
  return rc == ERROR_SUCCESS ? TRUE : Fail(rc);
}

BOOL WINAPI EnumPrintersW(DWORD Flags, LPWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf, LPDWORD pcbNeeded,
                          LPDWORD pcReturned)
{
  if (!pcbNeeded || !pcReturned) return Fail(ERROR_INVALID_PARAMETER);
  *pcReturned = 0;
  DWORD size;
  if (!LevelSize(Level, size) || Level >= 7) return Fail(ERROR_INVALID_LEVEL);
  if (Name && *Name && !SameName(Name, ComputerPrefix())) return Fail(ERROR_INVALID_NAME);
  std::lock_guard<std::mutex> g(g_lock);
  std::vector<const Printer *> list;
  Spool *s = SpoolForRoot();
  if (s) {
    Refresh(*s);
    bool local = Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_NAME);
    bool connections = Flags & PRINTER_ENUM_CONNECTIONS;
    for (auto &[folder, e] : s->printers) {
      bool isConnection = e.printer.server.has_value();
      if ((isConnection && connections) || (!isConnection && local)) list.push_back(&e.printer);
    }
  }
  std::sort(list.begin(), list.end(), [](const Printer *a, const Printer *b) {
    return FoldCompare(a->name.data(), a->name.size(), b->name.data(), b->name.size()) < 0;
  });
  BOOL ok = PackAnswer(static_cast<DWORD>(list.size()), size, pPrinterEnum, cbBuf, pcbNeeded,
                       [&](Packer &pk, DWORD i, void *out) { FillLevel(Level, pk, *list[i], u"", out); });
  if (ok) *pcReturned = static_cast<DWORD>(list.size());
  return ok;
}

// ---------------------------------------------------------------- printer data

DWORD WINAPI GetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, LPDWORD pType, LPBYTE pData,
                               DWORD nSize, LPDWORD pcbNeeded)
{
  KeepLastError keep;
  return GetData(hPrinter, pKeyName, pValueName, pType, pData, nSize, pcbNeeded);
}

DWORD WINAPI GetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, LPDWORD pType, LPBYTE pData, DWORD nSize,
                             LPDWORD pcbNeeded)
{
  KeepLastError keep;
  return GetData(hPrinter, kDriverDataKey, pValueName, pType, pData, nSize, pcbNeeded);
}

DWORD WINAPI SetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, DWORD Type, LPBYTE pData,
                               DWORD cbData)
{
  KeepLastError keep;
  return SetData(hPrinter, pKeyName, pValueName, Type, pData, cbData);
}

DWORD WINAPI SetPrinterDataW(HANDLE hPrinter, LPWSTR pValueName, DWORD Type, LPBYTE pData, DWORD cbData)
{
  KeepLastError keep;
  return SetData(hPrinter, kDriverDataKey, pValueName, Type, pData, cbData);
}

DWORD WINAPI DeletePrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName)
{
  KeepLastError keep;
  return DeleteData(hPrinter, pKeyName, pValueName);
}

DWORD WINAPI DeletePrinterDataW(HANDLE hPrinter, LPWSTR pValueName)
{
  KeepLastError keep;
  return DeleteData(hPrinter, kDriverDataKey, pValueName);
}

DWORD WINAPI EnumPrinterDataW(HANDLE hPrinter, DWORD dwIndex, LPWSTR pValueName, DWORD cbValueName,
                              LPDWORD pcbValueName, LPDWORD pType, LPBYTE pData, DWORD cbData, LPDWORD pcbData)
{
  KeepLastError keep;
  if (!pcbValueName || !pcbData) return ERROR_INVALID_PARAMETER;
  std::lock_guard<std::mutex> g(g_lock);
  std::shared_ptr<PrinterObject> obj;
  Spool *s;
  Entry *e;
  DWORD rc = Lookup(hPrinter, obj, s, e);
  if (rc != ERROR_SUCCESS) return rc;
  const Printer &pr = e->printer;
  size_t count = pr.driverData.size();
  if (count == 0 || (dwIndex >= count && (cbValueName || cbData))) return ERROR_NO_MORE_ITEMS;
  if (cbValueName == 0 && cbData == 0) {
    // The size question: room for the longest name and the largest value.
    DWORD maxName = 0, maxData = 0;
    for (size_t i : pr.driverData) {
      const DataValue *d = &pr.data[i];
      maxName = std::max<DWORD>(maxName, static_cast<DWORD>((d->name.size() + 1) * sizeof(WCHAR)));
      maxData = std::max<DWORD>(maxData, static_cast<DWORD>(d->data.size()));
    }
    *pcbValueName = maxName;
    *pcbData = maxData;
    return ERROR_SUCCESS;
  }
  const DataValue &d = pr.data[pr.driverData[dwIndex]];
  DWORD nameBytes = static_cast<DWORD>((d.name.size() + 1) * sizeof(WCHAR));
  DWORD size = static_cast<DWORD>(d.data.size());
  *pcbValueName = nameBytes;
  *pcbData = size;
  if (pType) *pType = d.type;
  if (cbValueName < nameBytes || cbData < size) return ERROR_MORE_DATA;
  if (!pValueName || (size && !pData)) return ERROR_INVALID_USER_BUFFER;
  memcpy(pValueName, d.name.c_str(), nameBytes);
  if (size) memcpy(pData, d.data.data(), size);
  return ERROR_SUCCESS;
}

// ---------------------------------------------------------------- change notifications

namespace plat {
namespace spool {
namespace {

// A printer change notification. Every change of the spool through this layer, in any
// process, advances the generation kept in the spool's lock file, which the notification
// reads through a shared mapping: a wait on it costs no system call. It watches the
// printer handle too, so a closed (or reused) handle signals it. Changes made to the
// spool's files by hand, outside the layer, do not signal it.
struct ChangeObject : Object {
  ChangeObject() : Object(OBJ_PRINTER_CHANGE) {}
  std::mutex m;
  HANDLE printerHandle = NULL;
  std::weak_ptr<PrinterObject> printer;
  std::string lockPath;
  store::GenerationView view;
  uint64_t armedAt = 0;
  DWORD filter = 0;

  // Whether anything changed since the object was armed (m held).
  bool Signaled()
  {
    auto live = printer.lock();
    if (!live || GetObject(printerHandle) != live) return true;
    return view.Read(lockPath) != armedAt;
  }
};

std::shared_ptr<ChangeObject> GetChange(HANDLE h)
{
  auto obj = HandleGet(h, OBJ_PRINTER_CHANGE);
  return obj ? std::static_pointer_cast<ChangeObject>(obj) : nullptr;
}

}  // namespace

void NoteSpoolChange()
{
  std::lock_guard<std::mutex> g(g_lock);
  Change([](Spool &, Writer &w) -> DWORD {
    w.wrote = true;
    return ERROR_SUCCESS;
  });
}

}  // namespace spool

DWORD PrinterChangeWait(const std::shared_ptr<Object> &obj, DWORD timeoutMs)
{
  auto change = std::static_pointer_cast<spool::ChangeObject>(obj);
  DWORD start = GetTickCount();
  for (;;) {
    {
      std::lock_guard<std::mutex> g(change->m);
      if (change->Signaled()) return WAIT_OBJECT_0;
    }
    DWORD waited = GetTickCount() - start;
    if (timeoutMs != INFINITE && waited >= timeoutMs) return WAIT_TIMEOUT;
    // Writers of other processes leave no event to wait on: look again shortly.
    struct timespec ts = {0, 5 * 1000000L};
    nanosleep(&ts, nullptr);
  }
}

}  // namespace plat

HANDLE WINAPI FindFirstPrinterChangeNotification(HANDLE hPrinter, DWORD fdwFilter, DWORD fdwOptions,
                                                 LPVOID pPrinterNotifyOptions)
{
  (void)fdwOptions;
  if (pPrinterNotifyOptions) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return INVALID_HANDLE_VALUE;
  }
  if ((fdwFilter & PRINTER_CHANGE_ALL) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  auto change = std::make_shared<ChangeObject>();
  {
    std::lock_guard<std::mutex> g(g_lock);
    auto obj = GetObject(hPrinter);
    if (!obj || obj->server) {
      SetLastError(ERROR_INVALID_HANDLE);
      return INVALID_HANDLE_VALUE;
    }
    Spool *s = SpoolForRoot();
    if (!s) {
      SetLastError(ERROR_INVALID_HANDLE);
      return INVALID_HANDLE_VALUE;
    }
    change->printerHandle = hPrinter;
    change->printer = obj;
    change->lockPath = s->lockPath;
    change->filter = fdwFilter & PRINTER_CHANGE_ALL;
    change->armedAt = change->view.Read(change->lockPath);
  }
  HANDLE h = HandleAdd(change);
  return h ? h : INVALID_HANDLE_VALUE;
}

BOOL WINAPI FindNextPrinterChangeNotification(HANDLE hChange, PDWORD pdwChange, LPVOID pvReserved,
                                              LPVOID *ppPrinterNotifyInfo)
{
  (void)pvReserved;
  if (ppPrinterNotifyInfo) *ppPrinterNotifyInfo = NULL;
  auto change = GetChange(hChange);
  if (!change) return Fail(ERROR_INVALID_HANDLE);
  std::lock_guard<std::mutex> g(change->m);
  auto live = change->printer.lock();
  if (!live || GetObject(change->printerHandle) != live) return Fail(ERROR_INVALID_HANDLE);
  uint64_t now = change->view.Read(change->lockPath);
  // The generation says that something changed, not what: the answer is every kind the
  // caller asked to hear about, and the caller looks at what it cares for.
  if (pdwChange) *pdwChange = now != change->armedAt ? change->filter : 0;
  change->armedAt = now;
  return TRUE;
}

BOOL WINAPI FindClosePrinterChangeNotification(HANDLE hChange)
{
  if (!GetChange(hChange)) return Fail(ERROR_INVALID_HANDLE);
  return HandleClose(hChange);
}
