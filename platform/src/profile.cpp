// Initialization files: the line model of an INI file, a per-file cache of parsed
// files, atomic rewrites, and the private-profile functions built on them.
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "internal.h"

namespace {

// ---------------------------------------------------------------- text model

enum LineKind : uint8_t { LINE_BLANK, LINE_COMMENT, LINE_SECTION, LINE_KEY, LINE_TEXT };
enum Eol : uint8_t { EOL_NONE, EOL_LF, EOL_CRLF };

// One line of the file: where its bytes are (without the end of line) and the end of
// line that follows them, so a rewrite reproduces every line it does not change
// exactly. The bytes live in the image of the file the line was parsed from, or in the
// store of the edit that made the line. Names and values are decoded when asked for:
// a parsed file costs its bytes plus a few words a line, whatever its content.
struct Line {
  const char *raw = nullptr;
  size_t len = 0;
  Eol eol = EOL_NONE;
  LineKind kind = LINE_BLANK;
};

// The decoded parts of a line.
struct LineParts {
  std::u16string text;   // the decoded line without surrounding blanks
  std::u16string name;   // section name or key name
  std::u16string value;  // key value without surrounding blanks (quotes kept)
};

// A name in the index: the hash of the folded name and what bears it (a line, or a
// section). Entries are sorted by hash, then in file order.
struct NameRef {
  uint64_t hash;
  size_t at;
  bool operator<(const NameRef &o) const { return hash != o.hash ? hash < o.hash : at < o.at; }
};

// A section occurrence: its header line, the line after its last line, and its keys.
struct SectionInfo {
  size_t header = 0;
  size_t end = 0;
  std::vector<NameRef> keys;
};

struct IniText {
  bool unicode = false;                      // UTF-16LE with a byte-order mark
  std::shared_ptr<const std::string> image;  // the bytes the lines point into
  std::vector<Line> lines;
  std::vector<SectionInfo> sections;  // in file order, duplicates kept
  std::vector<NameRef> sectionNames;  // at: index in sections
};

// The largest settings file read: a larger one is refused rather than held.
constexpr off_t kMaxIniBytes = 256 * 1024 * 1024;

bool IsFileBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\r'; }

std::u16string TrimFileBlanks(const std::u16string &s, size_t b, size_t e)
{
  while (b < e && IsFileBlank(s[b])) ++b;
  while (e > b && IsFileBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Names passed by callers lose leading and trailing spaces (only spaces), as Windows does.
std::u16string TrimSpaces(const WCHAR *s)
{
  size_t n = plat::WLen(s), b = 0;
  while (b < n && s[b] == u' ') ++b;
  while (n > b && s[n - 1] == u' ') --n;
  return std::u16string(s + b, n - b);
}

bool SameName(const std::u16string &a, const std::u16string &b)
{
  return plat::FoldCompare(a.data(), a.size(), b.data(), b.size()) == 0;
}

// Decodes one line of ANSI text in the active code page. Lines never split a
// double-byte character: LF is not a trail byte in any supported code page.
std::u16string DecodeAnsi(const char *p, size_t n)
{
  std::u16string out;
  bool ascii = true;
  for (size_t i = 0; i < n && ascii; ++i) ascii = static_cast<unsigned char>(p[i]) < 0x80;
  if (ascii || n > 0x7FFFFFFF) {
    out.resize(n);
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(p[i]);
    return out;
  }
  out.resize(n);
  int got = MultiByteToWideChar(CP_ACP, 0, p, static_cast<int>(n), &out[0], static_cast<int>(n));
  if (got <= 0) {
    // Undecodable text still gets a line: each byte as its Latin-1 character.
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(p[i]);
    return out;
  }
  out.resize(static_cast<size_t>(got));
  return out;
}

std::string EncodeAnsi(const std::u16string &s)
{
  std::string out;
  bool ascii = true;
  for (size_t i = 0; i < s.size() && ascii; ++i) ascii = s[i] < 0x80;
  if (ascii) {
    out.resize(s.size());
    for (size_t i = 0; i < s.size(); ++i) out[i] = static_cast<char>(s[i]);
    return out;
  }
  int need = WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), NULL, 0, NULL, NULL);
  if (need <= 0) return std::string(s.size(), '?');
  out.resize(static_cast<size_t>(need));
  WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), &out[0], need, NULL, NULL);
  return out;
}

std::string EncodeUtf16(const std::u16string &s)
{
  std::string out(s.size() * 2, '\0');
  for (size_t i = 0; i < s.size(); ++i) {
    out[2 * i] = static_cast<char>(s[i] & 0xFF);
    out[2 * i + 1] = static_cast<char>(s[i] >> 8);
  }
  return out;
}

std::string Encode(const std::u16string &s, bool unicode) { return unicode ? EncodeUtf16(s) : EncodeAnsi(s); }

const char *EolBytes(Eol eol, bool unicode, size_t *n)
{
  switch (eol) {
    case EOL_LF: *n = unicode ? 2 : 1; return unicode ? "\n\0" : "\n";
    case EOL_CRLF: *n = unicode ? 4 : 2; return unicode ? "\r\0\n\0" : "\r\n";
    default: *n = 0; return "";
  }
}

std::u16string DecodeLine(const char *raw, size_t len, bool unicode)
{
  if (!unicode) return DecodeAnsi(raw, len);
  std::u16string out(len / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(raw[2 * i]) |
                                   (static_cast<unsigned char>(raw[2 * i + 1]) << 8));
  return out;
}

// Sorts a decoded line into its kind and, when asked, fills its parts.
LineKind Classify(const std::u16string &decoded, LineParts *parts)
{
  LineParts local;
  LineParts &p = parts ? *parts : local;
  p.text = TrimFileBlanks(decoded, 0, decoded.size());
  p.name.clear();
  p.value.clear();
  const std::u16string &t = p.text;
  if (t.empty()) return LINE_BLANK;
  if (t[0] == u';') return LINE_COMMENT;
  if (t[0] == u'[') {
    // The name ends at the first ']' or at the end of the line; text after ']' is ignored.
    size_t close = t.find(u']', 1);
    p.name = TrimFileBlanks(t, 1, close == std::u16string::npos ? t.size() : close);
    return LINE_SECTION;
  }
  size_t eq = t.find(u'=');
  if (eq == std::u16string::npos) return LINE_TEXT;
  p.name = TrimFileBlanks(t, 0, eq);
  p.value = TrimFileBlanks(t, eq + 1, t.size());
  return LINE_KEY;
}

LineParts PartsOf(const Line &l, bool unicode)
{
  LineParts p;
  Classify(DecodeLine(l.raw, l.len, unicode), &p);
  return p;
}

std::u16string NameOf(const Line &l, bool unicode) { return PartsOf(l, unicode).name; }

uint64_t NameHash(const std::u16string &name)
{
  uint64_t h = 1469598103934665603ULL;  // FNV-1a over the folded units
  for (char16_t c : name) {
    char16_t f = plat::FoldUpper(c);
    h = (h ^ (f & 0xFF)) * 1099511628211ULL;
    h = (h ^ (f >> 8)) * 1099511628211ULL;
  }
  return h;
}

// Sorts a line of ANSI text whose bytes are all ASCII into its kind, and hashes its section
// or key name, straight from the file's bytes: the answers Classify and NameHash give for
// the decoded line, without decoding it. A parse of a large file makes no string per line.
// Answers false, having done nothing, when the line holds a byte of 0x80 or above.
bool ClassifyAscii(const char *p, size_t n, LineKind *kind, uint64_t *hash)
{
  for (size_t i = 0; i < n; ++i)
    if (static_cast<unsigned char>(p[i]) >= 0x80) return false;
  auto blank = [p](size_t i) { return IsFileBlank(static_cast<char16_t>(p[i])); };
  auto hashOf = [p, blank](size_t b, size_t e) {
    while (b < e && blank(b)) ++b;
    while (e > b && blank(e - 1)) --e;
    uint64_t h = 1469598103934665603ULL;  // as NameHash: the high byte of an ASCII unit is 0
    for (size_t i = b; i < e; ++i) {
      char16_t f = plat::FoldUpper(static_cast<char16_t>(p[i]));
      h = (h ^ (f & 0xFF)) * 1099511628211ULL;
      h = (h ^ (f >> 8)) * 1099511628211ULL;
    }
    return h;
  };
  size_t b = 0, e = n;
  while (b < e && blank(b)) ++b;
  while (e > b && blank(e - 1)) --e;
  *hash = 0;
  if (b == e) {
    *kind = LINE_BLANK;
  } else if (p[b] == ';') {
    *kind = LINE_COMMENT;
  } else if (p[b] == '[') {
    const void *close = memchr(p + b + 1, ']', e - b - 1);
    *kind = LINE_SECTION;
    *hash = hashOf(b + 1, close ? static_cast<size_t>(static_cast<const char *>(close) - p) : e);
  } else {
    const void *eq = memchr(p + b, '=', e - b);
    *kind = eq ? LINE_KEY : LINE_TEXT;
    if (eq) *hash = hashOf(b, static_cast<size_t>(static_cast<const char *>(eq) - p));
  }
  return true;
}

// Makes a line of new text; its bytes go to the edit's store, which keeps them in place.
Line MakeLine(const std::u16string &text, bool unicode, std::deque<std::string> &store)
{
  store.push_back(Encode(text, unicode));
  Line line;
  line.raw = store.back().data();
  line.len = store.back().size();
  line.eol = EOL_CRLF;
  line.kind = Classify(text, nullptr);
  return line;
}

// Splits a file image into lines and indexes its sections and keys.
IniText Parse(std::shared_ptr<const std::string> image)
{
  IniText ini;
  ini.image = std::move(image);
  const std::string &bytes = *ini.image;
  auto add = [&ini](size_t pos, size_t bodyEnd, Eol eol) {
    Line line;
    line.raw = ini.image->data() + pos;
    line.len = bodyEnd - pos;
    line.eol = eol;
    uint64_t hash = 0;
    LineKind kind;
    if (ini.unicode || !ClassifyAscii(line.raw, line.len, &kind, &hash)) {
      LineParts parts;
      kind = Classify(DecodeLine(line.raw, line.len, ini.unicode), &parts);
      hash = NameHash(parts.name);
    }
    line.kind = kind;
    size_t at = ini.lines.size();
    if (line.kind == LINE_SECTION) {
      if (!ini.sections.empty()) ini.sections.back().end = at;
      SectionInfo s;
      s.header = at;
      ini.sections.push_back(std::move(s));
      ini.sectionNames.push_back({hash, ini.sections.size() - 1});
    } else if (line.kind == LINE_KEY && !ini.sections.empty()) {
      ini.sections.back().keys.push_back({hash, at});
    }
    ini.lines.push_back(line);
  };
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    ini.unicode = true;
    // A stray last byte is half a UTF-16 unit: it is no text and is dropped, so the
    // lines keep their alignment and a rewrite stays readable.
    const size_t size = bytes.size() - (bytes.size() % 2);
    size_t pos = 2;
    while (pos < size) {
      size_t e = pos;
      while (e + 1 < size && !(bytes[e] == '\n' && bytes[e + 1] == '\0')) e += 2;
      bool hasEol = e + 1 < size;
      size_t end = hasEol ? e : size;
      bool cr = hasEol && end >= pos + 2 && bytes[end - 2] == '\r' && bytes[end - 1] == '\0';
      add(pos, cr ? end - 2 : end, hasEol ? (cr ? EOL_CRLF : EOL_LF) : EOL_NONE);
      pos = hasEol ? e + 2 : size;
    }
  } else {
    // One line a line feed, counted first, so the line list is allocated once.
    size_t count = 1;
    for (const char *q = bytes.data(), *end = q + bytes.size();
         (q = static_cast<const char *>(memchr(q, '\n', static_cast<size_t>(end - q)))) != nullptr; ++q)
      ++count;
    ini.lines.reserve(count);
    size_t pos = 0;
    while (pos < bytes.size()) {
      size_t e = bytes.find('\n', pos);
      bool hasEol = e != std::string::npos;
      size_t end = hasEol ? e : bytes.size();
      bool cr = hasEol && end > pos && bytes[end - 1] == '\r';
      add(pos, cr ? end - 1 : end, hasEol ? (cr ? EOL_CRLF : EOL_LF) : EOL_NONE);
      pos = hasEol ? e + 1 : bytes.size();
    }
  }
  if (!ini.sections.empty()) ini.sections.back().end = ini.lines.size();
  for (auto &sec : ini.sections) std::sort(sec.keys.begin(), sec.keys.end());
  std::sort(ini.sectionNames.begin(), ini.sectionNames.end());
  return ini;
}

std::string Serialize(const std::vector<Line> &lines, bool unicode)
{
  std::string out;
  size_t total = unicode ? 2 : 0, n;
  for (const auto &l : lines) total += l.len + (EolBytes(l.eol, unicode, &n), n);
  out.reserve(total);
  if (unicode) out += "\xFF\xFE";
  for (const auto &l : lines) {
    out.append(l.raw, l.len);
    const char *eol = EolBytes(l.eol, unicode, &n);
    out.append(eol, n);
  }
  return out;
}

// Answers the first of the entries of a hash whose name matches, or npos.
template <class Matches>
size_t FindByName(const std::vector<NameRef> &refs, const std::u16string &name, Matches matches)
{
  NameRef key{NameHash(name), 0};
  for (auto it = std::lower_bound(refs.begin(), refs.end(), key); it != refs.end() && it->hash == key.hash; ++it)
    if (matches(it->at)) return it->at;
  return std::string::npos;
}

std::u16string StripQuotes(const std::u16string &v)
{
  if (v.size() >= 2 && (v[0] == u'"' || v[0] == u'\'') && v.back() == v[0]) return v.substr(1, v.size() - 2);
  return v;
}

// ---------------------------------------------------------------- edits
// Each edit works on the line list of the file and answers whether it changed it.
// Lookups use the first section of a name and the first key of a name in it, as reads do.

// The store an edit keeps the bytes of its new lines in.
using LineStore = std::deque<std::string>;

size_t FindSection(const std::vector<Line> &lines, bool unicode, const std::u16string &name)
{
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].kind == LINE_SECTION && SameName(NameOf(lines[i], unicode), name)) return i;
  return std::u16string::npos;
}

size_t SectionEnd(const std::vector<Line> &lines, size_t header)
{
  size_t i = header + 1;
  while (i < lines.size() && lines[i].kind != LINE_SECTION) ++i;
  return i;
}

// Inserts lines at pos, giving the line before them an end of line when it had none.
void InsertLines(std::vector<Line> &lines, size_t pos, const std::vector<Line> &add)
{
  if (pos > 0 && lines[pos - 1].eol == EOL_NONE) lines[pos - 1].eol = EOL_CRLF;
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(pos), add.begin(), add.end());
}

// Sets a key: an existing key keeps its place and the spelling of its name; a new key
// goes after the last entry of its section; a new section goes at the end of the file.
bool EditSetKey(std::vector<Line> &lines, bool unicode, LineStore &store, const std::u16string &sec,
                const std::u16string &key, const std::u16string &value)
{
  size_t h = FindSection(lines, unicode, sec);
  if (h == std::u16string::npos) {
    InsertLines(lines, lines.size(),
                {MakeLine(u"[" + sec + u"]", unicode, store), MakeLine(key + u"=" + value, unicode, store)});
    return true;
  }
  size_t end = SectionEnd(lines, h), insertAt = h + 1;
  for (size_t i = h + 1; i < end; ++i) {
    if (lines[i].kind == LINE_KEY) {
      std::u16string name = NameOf(lines[i], unicode);
      if (SameName(name, key)) {
        Line repl = MakeLine(name + u"=" + value, unicode, store);
        repl.eol = lines[i].eol;
        lines[i] = repl;
        return true;
      }
    }
    if (lines[i].kind == LINE_KEY || lines[i].kind == LINE_TEXT) insertAt = i + 1;
  }
  InsertLines(lines, insertAt, {MakeLine(key + u"=" + value, unicode, store)});
  return true;
}

bool EditDeleteKey(std::vector<Line> &lines, bool unicode, const std::u16string &sec, const std::u16string &key)
{
  size_t h = FindSection(lines, unicode, sec);
  if (h == std::u16string::npos) return false;
  size_t end = SectionEnd(lines, h);
  for (size_t i = h + 1; i < end; ++i) {
    if (lines[i].kind == LINE_KEY && SameName(NameOf(lines[i], unicode), key)) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
      return true;
    }
  }
  return false;
}

// Removes the header and the entries of a section; comments and blank lines stay, as
// they do on Windows. Answers the index where the first removed entry was (or where
// the header was when it had none) through firstAt.
bool EditDeleteSection(std::vector<Line> &lines, bool unicode, const std::u16string &sec, size_t *firstAt)
{
  size_t h = FindSection(lines, unicode, sec);
  if (h == std::u16string::npos) return false;
  size_t end = SectionEnd(lines, h);
  std::vector<Line> kept;
  size_t first = std::u16string::npos;
  for (size_t i = h + 1; i < end; ++i) {
    if (lines[i].kind == LINE_KEY || lines[i].kind == LINE_TEXT) {
      if (first == std::u16string::npos) first = h + kept.size();
    } else {
      kept.push_back(lines[i]);
    }
  }
  if (firstAt) *firstAt = first == std::u16string::npos ? h : first;
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(h), lines.begin() + static_cast<std::ptrdiff_t>(end));
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(h), kept.begin(), kept.end());
  return true;
}

// Replaces the entries of a section by the given lines, in place of its first entry;
// a missing section is added at the end of the file.
bool EditReplaceSection(std::vector<Line> &lines, bool unicode, LineStore &store, const std::u16string &sec,
                        const std::vector<std::u16string> &entries)
{
  std::vector<Line> add;
  for (const auto &e : entries) add.push_back(MakeLine(e, unicode, store));
  size_t h = FindSection(lines, unicode, sec);
  if (h == std::u16string::npos) {
    add.insert(add.begin(), MakeLine(u"[" + sec + u"]", unicode, store));
    InsertLines(lines, lines.size(), add);
    return true;
  }
  Line header = lines[h];
  size_t at = h;
  EditDeleteSection(lines, unicode, sec, &at);
  // The header goes back where it was; the entries follow the comments that preceded
  // the first old entry.
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(h), header);
  InsertLines(lines, at + 1, add);
  return true;
}

// ---------------------------------------------------------------- file cache

struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  struct timespec mtime = {0, 0};
  struct timespec ctime = {0, 0};
  bool operator==(const FileId &o) const
  {
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

FileId IdOf(const struct stat &st)
{
  FileId id;
  id.dev = st.st_dev;
  id.ino = st.st_ino;
  id.size = st.st_size;
  id.mtime = st.st_mtim;
  id.ctime = st.st_ctim;
  return id;
}

// What a read sees of a file: its parsed text, or why there is none.
struct Snapshot {
  bool exists = false;
  bool isDir = false;
  mode_t mode = 0;
  DWORD error = ERROR_FILE_NOT_FOUND;  // when it does not exist or cannot be read
  FileId id;
  IniText ini;
};
using SnapshotPtr = std::shared_ptr<const Snapshot>;

constexpr size_t kCacheLimit = 64;
std::mutex g_cacheLock;
std::map<std::string, SnapshotPtr> *g_cache = new std::map<std::string, SnapshotPtr>();
// Serializes read-modify-write cycles of this process; other processes are kept out
// by a lock on the folder of the file.
std::mutex g_writeLock;

void DropCache()
{
  std::lock_guard<std::mutex> g(g_cacheLock);
  g_cache->clear();
}

struct ResetRegistrar {
  ResetRegistrar() { plat::RegisterReset(DropCache); }
} g_registrar;

void CachePut(const std::string &host, SnapshotPtr snap)
{
  std::lock_guard<std::mutex> g(g_cacheLock);
  if (g_cache->size() >= kCacheLimit && !g_cache->count(host)) g_cache->erase(g_cache->begin());
  (*g_cache)[host] = std::move(snap);
}

SnapshotPtr Missing(DWORD error, bool isDir)
{
  auto s = std::make_shared<Snapshot>();
  s->error = error;
  s->isDir = isDir;
  return s;
}

// Reads to the end of the file; fails past limit bytes (a file that grew while read).
bool ReadAll(int fd, std::string &out, size_t limit)
{
  char buf[16384];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buf, static_cast<size_t>(n));
    if (out.size() > limit) return false;
  }
}

// Answers the parsed file at a host path, from the cache while the file keeps its
// identity (device, inode, size, modification and change times).
SnapshotPtr Load(const std::string &host)
{
  struct stat st;
  if (stat(host.c_str(), &st) != 0) {
    int err = errno;
    return Missing(err == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND, false);
  }
  if (S_ISDIR(st.st_mode)) return Missing(ERROR_ACCESS_DENIED, true);
  // Only a regular file is read: a FIFO or a device would block or never end.
  if (!S_ISREG(st.st_mode)) return Missing(ERROR_ACCESS_DENIED, false);
  {
    std::lock_guard<std::mutex> g(g_cacheLock);
    auto it = g_cache->find(host);
    if (it != g_cache->end() && it->second->id == IdOf(st)) return it->second;
  }
  int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    int err = errno;
    return Missing(err == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED, false);
  }
  // A file too large to hold is refused: reads answer their defaults with the error,
  // and writes fail rather than replace it.
  std::shared_ptr<std::string> bytes;
  DWORD error = ERROR_SUCCESS;
  if (fstat(fd, &st) != 0) {
    error = ERROR_READ_FAULT;
  } else if (!S_ISREG(st.st_mode)) {
    error = ERROR_ACCESS_DENIED;
  } else if (st.st_size > kMaxIniBytes) {
    error = ERROR_FILE_TOO_LARGE;
  } else {
    try {
      bytes = std::make_shared<std::string>();
      bytes->reserve(static_cast<size_t>(st.st_size));
      if (!ReadAll(fd, *bytes, static_cast<size_t>(kMaxIniBytes))) error = ERROR_READ_FAULT;
    } catch (const std::bad_alloc &) {
      error = ERROR_NOT_ENOUGH_MEMORY;
    }
  }
  close(fd);
  if (error == ERROR_READ_FAULT && bytes && bytes->size() > static_cast<size_t>(kMaxIniBytes))
    error = ERROR_FILE_TOO_LARGE;
  if (error != ERROR_SUCCESS) return Missing(error, false);
  auto snap = std::make_shared<Snapshot>();
  snap->exists = true;
  snap->mode = st.st_mode;
  snap->error = ERROR_SUCCESS;
  snap->id = IdOf(st);
  try {
    snap->ini = Parse(std::move(bytes));
  } catch (const std::bad_alloc &) {
    return Missing(ERROR_NOT_ENOUGH_MEMORY, false);
  }
  CachePut(host, snap);
  return snap;
}

// ---------------------------------------------------------------- file names

// A name without a folder lives in the Windows folder; NULL stands for win.ini.
bool ResolveFile(const WCHAR *file, std::string &host)
{
  std::u16string name = file ? std::u16string(file) : std::u16string(u"win.ini");
  if (name.find_first_of(u"\\/:") == std::u16string::npos) {
    WCHAR dir[MAX_PATH];
    UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return false;
    }
    name = std::u16string(dir, n) + u"\\" + name;
  }
  return plat::MapPath(name.c_str(), host) != FALSE;
}

// Holds an exclusive lock on the folder of a file for a read-modify-write cycle.
struct FolderLock {
  int fd = -1;
  ~FolderLock()
  {
    if (fd >= 0) close(fd);  // closing releases the lock
  }
};

enum EditKind { EDIT_SET_KEY, EDIT_DELETE_KEY, EDIT_DELETE_SECTION, EDIT_REPLACE_SECTION };

struct Edit {
  EditKind kind;
  std::u16string section, key, value;
  std::vector<std::u16string> entries;
};

// The common road of every write: resolve, lock, load, edit, rewrite, refresh the cache.
BOOL ApplyEdit(const WCHAR *file, const Edit &edit)
{
  std::string host;
  if (!ResolveFile(file, host)) return FALSE;
  // A symbolic link that stays inside the machine is followed, so that the rewrite
  // replaces its target, as Windows writes through a link. One that leads out of the
  // machine (or nowhere) is not: the rewrite replaces the link itself with a regular file,
  // and whatever it pointed at stays as it was.
  struct stat lst;
  if (lstat(host.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    if (char *real = realpath(host.c_str(), nullptr)) {
      std::string target = real;
      free(real);
      if (plat::MayFollowLink(host, target)) host = target;
    }
  }
  std::string dir = host.substr(0, host.rfind('/'));
  std::lock_guard<std::mutex> wl(g_writeLock);
  FolderLock lock;
  lock.fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (lock.fd < 0) {
    SetLastError(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  while (flock(lock.fd, LOCK_EX) != 0 && errno == EINTR) {}
  SnapshotPtr snap = Load(host);
  if (snap->isDir || (!snap->exists && snap->error != ERROR_FILE_NOT_FOUND)) {
    SetLastError(snap->isDir ? ERROR_ACCESS_DENIED : snap->error);
    return FALSE;
  }
  // A read-only file stays read-only: the owner write bit decides, whoever we run as.
  if (snap->exists && !(snap->mode & S_IWUSR)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  bool unicode = snap->ini.unicode;
  std::vector<Line> lines = snap->ini.lines;
  LineStore store;
  bool changed = false;
  switch (edit.kind) {
    case EDIT_SET_KEY: changed = EditSetKey(lines, unicode, store, edit.section, edit.key, edit.value); break;
    case EDIT_DELETE_KEY: changed = EditDeleteKey(lines, unicode, edit.section, edit.key); break;
    case EDIT_DELETE_SECTION: changed = EditDeleteSection(lines, unicode, edit.section, nullptr); break;
    case EDIT_REPLACE_SECTION: changed = EditReplaceSection(lines, unicode, store, edit.section, edit.entries); break;
  }
  std::string bytes = Serialize(lines, unicode);
  // Nothing to delete, or the same text again: the file is left alone. The old text is
  // its image (less the stray last byte a UTF-16 file may have), so no second copy of a
  // large file is made to compare.
  bool same = false;
  if (snap->exists && snap->ini.image) {
    const std::string &old = *snap->ini.image;
    size_t n = unicode ? old.size() - old.size() % 2 : old.size();
    same = bytes.size() == n && old.compare(0, n, bytes) == 0;
  }
  if (!changed || same) {
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  }
  plat::ReplaceOptions how;
  how.keepMode = snap->exists;
  how.mode = snap->mode;
  how.countWriteFault = true;
  if (!plat::ReplaceHostFile(host, bytes, how)) return FALSE;
  struct stat st;
  if (stat(host.c_str(), &st) == 0) {
    auto fresh = std::make_shared<Snapshot>();
    fresh->exists = true;
    fresh->mode = st.st_mode;
    fresh->error = ERROR_SUCCESS;
    fresh->id = IdOf(st);
    fresh->ini = Parse(std::make_shared<const std::string>(std::move(bytes)));
    CachePut(host, fresh);
  }
  // Windows answers ERROR_FILE_NOT_FOUND after creating the file, with success.
  SetLastError(snap->exists ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
  return TRUE;
}

// Drops the cached view of one file, or of all files when file is NULL.
void Flush(const WCHAR *file)
{
  if (!file) {
    DropCache();
    return;
  }
  std::string host;
  if (!ResolveFile(file, host)) return;
  std::lock_guard<std::mutex> g(g_cacheLock);
  g_cache->erase(host);
}

// ---------------------------------------------------------------- queries

// The full answer of a read before it is fitted into the caller's buffer. A list holds
// each string followed by its NUL; the final NUL is added when copying.
struct Answer {
  std::u16string text;
  bool list = false;
  DWORD error = ERROR_SUCCESS;
};

const SectionInfo *FindSectionInfo(const IniText &ini, const std::u16string &name)
{
  size_t at = FindByName(ini.sectionNames, name, [&](size_t i) {
    return SameName(NameOf(ini.lines[ini.sections[i].header], ini.unicode), name);
  });
  return at == std::string::npos ? nullptr : &ini.sections[at];
}

Answer QueryString(const WCHAR *app, const WCHAR *key, const WCHAR *def, const WCHAR *file)
{
  Answer a;
  a.list = !app || !key;
  std::string host;
  SnapshotPtr snap;
  if (ResolveFile(file, host)) {
    snap = Load(host);
  } else {
    snap = Missing(GetLastError(), false);
  }
  const IniText &ini = snap->ini;
  if (!app) {
    for (const auto &s : ini.sections) {
      a.text += NameOf(ini.lines[s.header], ini.unicode);
      a.text += u'\0';
    }
    a.error = snap->exists ? ERROR_SUCCESS : snap->error;
    return a;
  }
  const SectionInfo *sec = FindSectionInfo(ini, TrimSpaces(app));
  if (!key) {
    if (sec) {
      for (size_t i = sec->header + 1; i < sec->end; ++i) {
        if (ini.lines[i].kind != LINE_KEY) continue;
        a.text += NameOf(ini.lines[i], ini.unicode);
        a.text += u'\0';
      }
    }
    a.error = sec ? ERROR_SUCCESS : (snap->exists ? ERROR_FILE_NOT_FOUND : snap->error);
    return a;
  }
  if (sec) {
    std::u16string want = TrimSpaces(key);
    LineParts parts;
    size_t at = FindByName(sec->keys, want, [&](size_t i) {
      parts = PartsOf(ini.lines[i], ini.unicode);
      return SameName(parts.name, want);
    });
    if (at != std::string::npos) {
      a.text = StripQuotes(parts.value);
      return a;
    }
  }
  // The default loses its trailing spaces (only spaces).
  a.text = def ? std::u16string(def) : std::u16string();
  while (!a.text.empty() && a.text.back() == u' ') a.text.pop_back();
  a.error = snap->exists ? ERROR_FILE_NOT_FOUND : snap->error;
  return a;
}

Answer QuerySection(const WCHAR *app, const WCHAR *file)
{
  Answer a;
  a.list = true;
  if (!app) {
    a.error = ERROR_INVALID_PARAMETER;
    return a;
  }
  std::string host;
  SnapshotPtr snap = ResolveFile(file, host) ? Load(host) : Missing(GetLastError(), false);
  const IniText &ini = snap->ini;
  const SectionInfo *sec = FindSectionInfo(ini, TrimSpaces(app));
  if (sec) {
    for (size_t i = sec->header + 1; i < sec->end; ++i) {
      const Line &l = ini.lines[i];
      if (l.kind != LINE_KEY && l.kind != LINE_TEXT) continue;
      a.text += PartsOf(l, ini.unicode).text;
      a.text += u'\0';
    }
  }
  a.error = sec ? ERROR_SUCCESS : (snap->exists ? ERROR_FILE_NOT_FOUND : snap->error);
  return a;
}

// Fits an answer into a UTF-16 buffer with the Win32 truncation rules.
DWORD CopyOutW(const Answer &a, LPWSTR buf, DWORD n)
{
  if (n == 0) {
    SetLastError(ERROR_MORE_DATA);
    return 0;
  }
  if (!buf) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t len = a.text.size();
  if (!a.list) {
    if (len + 1 <= n) {
      memcpy(buf, a.text.data(), len * sizeof(WCHAR));
      buf[len] = 0;
      SetLastError(a.error);
      return static_cast<DWORD>(len);
    }
    memcpy(buf, a.text.data(), (n - 1) * sizeof(WCHAR));
    buf[n - 1] = 0;
    SetLastError(ERROR_MORE_DATA);
    return n - 1;
  }
  if (len + 1 <= n) {
    memcpy(buf, a.text.data(), len * sizeof(WCHAR));
    buf[len] = 0;
    if (len == 0 && n >= 2) buf[1] = 0;
    SetLastError(a.error);
    return static_cast<DWORD>(len);
  }
  if (n < 2) {
    buf[0] = 0;
    SetLastError(ERROR_MORE_DATA);
    return 0;
  }
  memcpy(buf, a.text.data(), (n - 2) * sizeof(WCHAR));
  buf[n - 2] = 0;
  buf[n - 1] = 0;
  SetLastError(ERROR_MORE_DATA);
  return n - 2;
}

// Encodes the longest run of whole characters of s that fits in max bytes.
std::string EncodeFitting(const std::u16string &s, size_t max)
{
  std::string out;
  for (size_t i = 0; i < s.size();) {
    size_t n = (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size()) ? 2 : 1;
    std::string piece = EncodeAnsi(s.substr(i, n));
    if (out.size() + piece.size() > max) break;
    out += piece;
    i += n;
  }
  return out;
}

// Fits an answer into an ANSI buffer: the same rules counted in bytes, never splitting
// a double-byte character.
DWORD CopyOutA(const Answer &a, LPSTR buf, DWORD n)
{
  if (n == 0) {
    SetLastError(ERROR_MORE_DATA);
    return 0;
  }
  if (!buf) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string whole = EncodeAnsi(a.text);
  if (whole.size() + 1 <= n) {
    memcpy(buf, whole.data(), whole.size());
    buf[whole.size()] = 0;
    if (a.list && whole.empty() && n >= 2) buf[1] = 0;
    SetLastError(a.error);
    return static_cast<DWORD>(whole.size());
  }
  size_t room = a.list ? (n >= 2 ? n - 2 : 0) : n - 1;
  std::string part = EncodeFitting(a.text, room);
  memcpy(buf, part.data(), part.size());
  memset(buf + part.size(), 0, n - part.size());
  SetLastError(ERROR_MORE_DATA);
  return static_cast<DWORD>(room);
}

// Converts a number the way the NT run-time library does with base 0: blanks, a sign,
// then "0x" (hex), "0o" (octal), "0b" (binary) or decimal digits up to the first
// character that is not one; the value wraps modulo 2^32.
UINT ParseProfileInt(const std::u16string &s)
{
  size_t i = 0;
  while (i < s.size() && s[i] <= u' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) neg = s[i++] == u'-';
  UINT base = 10;
  if (i + 1 < s.size() && s[i] == u'0') {
    char16_t p = s[i + 1];
    if (p == u'x' || p == u'X') base = 16;
    if (p == u'o' || p == u'O') base = 8;
    if (p == u'b' || p == u'B') base = 2;
    if (base != 10) i += 2;
  }
  UINT v = 0;
  for (; i < s.size(); ++i) {
    char16_t c = s[i];
    UINT d;
    if (c >= u'0' && c <= u'9')
      d = c - u'0';
    else if (c >= u'a' && c <= u'f')
      d = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
      d = c - u'A' + 10;
    else
      break;
    if (d >= base) break;
    v = v * base + d;
  }
  return neg ? 0u - v : v;
}

UINT IntFromAnswer(const Answer &a, INT nDefault)
{
  SetLastError(a.error);
  // An empty value counts as missing; a list is read up to its first NUL.
  std::u16string first = a.text.substr(0, a.text.find(u'\0'));
  if (first.empty()) return static_cast<UINT>(nDefault);
  return ParseProfileInt(first);
}

// Splits a double-NUL list of strings.
std::vector<std::u16string> SplitList(const WCHAR *p)
{
  std::vector<std::u16string> out;
  while (*p) {
    size_t n = plat::WLen(p);
    out.emplace_back(p, n);
    p += n + 1;
  }
  return out;
}

BOOL WriteString(const WCHAR *app, const WCHAR *key, const WCHAR *value, const WCHAR *file)
{
  if (!app && !key && !value) {
    // Windows flushes its cache of the file and answers FALSE.
    Flush(file);
    return FALSE;
  }
  if (!app) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Edit e;
  e.section = TrimSpaces(app);
  if (!key) {
    e.kind = EDIT_DELETE_SECTION;
  } else {
    e.key = TrimSpaces(key);
    if (value) {
      e.kind = EDIT_SET_KEY;
      e.value = value;
    } else {
      e.kind = EDIT_DELETE_KEY;
    }
  }
  return ApplyEdit(file, e);
}

BOOL WriteSection(const WCHAR *app, const WCHAR *list, const WCHAR *file)
{
  if (!app) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Edit e;
  e.section = TrimSpaces(app);
  if (!list) {
    e.kind = EDIT_DELETE_SECTION;
  } else {
    e.kind = EDIT_REPLACE_SECTION;
    e.entries = SplitList(list);
  }
  return ApplyEdit(file, e);
}

// ANSI arguments turned into UTF-16 with the active code page; NULL stays NULL.
struct WideArg {
  explicit WideArg(const char *s) : null(s == nullptr)
  {
    if (s) text = DecodeAnsi(s, strlen(s));
  }
  const WCHAR *get() const { return null ? nullptr : text.c_str(); }
  std::u16string text;
  bool null;
};

}  // namespace

// ---------------------------------------------------------------- UTF-16 entry points

DWORD WINAPI GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault, LPWSTR lpReturnedString,
                                      DWORD nSize, LPCWSTR lpFileName)
{
  return CopyOutW(QueryString(lpAppName, lpKeyName, lpDefault, lpFileName), lpReturnedString, nSize);
}

UINT WINAPI GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault, LPCWSTR lpFileName)
{
  return IntFromAnswer(QueryString(lpAppName, lpKeyName, u"", lpFileName), nDefault);
}

DWORD WINAPI GetPrivateProfileSectionW(LPCWSTR lpAppName, LPWSTR lpReturnedString, DWORD nSize, LPCWSTR lpFileName)
{
  return CopyOutW(QuerySection(lpAppName, lpFileName), lpReturnedString, nSize);
}

DWORD WINAPI GetPrivateProfileSectionNamesW(LPWSTR lpszReturnBuffer, DWORD nSize, LPCWSTR lpFileName)
{
  return CopyOutW(QueryString(NULL, NULL, NULL, lpFileName), lpszReturnBuffer, nSize);
}

BOOL WINAPI WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString, LPCWSTR lpFileName)
{
  return WriteString(lpAppName, lpKeyName, lpString, lpFileName);
}

BOOL WINAPI WritePrivateProfileSectionW(LPCWSTR lpAppName, LPCWSTR lpString, LPCWSTR lpFileName)
{
  return WriteSection(lpAppName, lpString, lpFileName);
}

DWORD WINAPI GetProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpDefault, LPWSTR lpReturnedString,
                               DWORD nSize)
{
  return GetPrivateProfileStringW(lpAppName, lpKeyName, lpDefault, lpReturnedString, nSize, u"win.ini");
}

UINT WINAPI GetProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault)
{
  return GetPrivateProfileIntW(lpAppName, lpKeyName, nDefault, u"win.ini");
}

DWORD WINAPI GetProfileSectionW(LPCWSTR lpAppName, LPWSTR lpReturnedString, DWORD nSize)
{
  return GetPrivateProfileSectionW(lpAppName, lpReturnedString, nSize, u"win.ini");
}

BOOL WINAPI WriteProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName, LPCWSTR lpString)
{
  return WritePrivateProfileStringW(lpAppName, lpKeyName, lpString, u"win.ini");
}

BOOL WINAPI WriteProfileSectionW(LPCWSTR lpAppName, LPCWSTR lpString)
{
  return WritePrivateProfileSectionW(lpAppName, lpString, u"win.ini");
}

// ---------------------------------------------------------------- ANSI entry points

DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                                      DWORD nSize, LPCSTR lpFileName)
{
  WideArg app(lpAppName), key(lpKeyName), def(lpDefault), file(lpFileName);
  return CopyOutA(QueryString(app.get(), key.get(), def.get(), file.get()), lpReturnedString, nSize);
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault, LPCSTR lpFileName)
{
  WideArg app(lpAppName), key(lpKeyName), file(lpFileName);
  return IntFromAnswer(QueryString(app.get(), key.get(), u"", file.get()), nDefault);
}

DWORD WINAPI GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName)
{
  WideArg app(lpAppName), file(lpFileName);
  return CopyOutA(QuerySection(app.get(), file.get()), lpReturnedString, nSize);
}

DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize, LPCSTR lpFileName)
{
  WideArg file(lpFileName);
  return CopyOutA(QueryString(NULL, NULL, NULL, file.get()), lpszReturnBuffer, nSize);
}

BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString, LPCSTR lpFileName)
{
  WideArg app(lpAppName), key(lpKeyName), value(lpString), file(lpFileName);
  return WriteString(app.get(), key.get(), value.get(), file.get());
}

BOOL WINAPI WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName)
{
  WideArg app(lpAppName), file(lpFileName);
  if (!lpString) return WriteSection(app.get(), NULL, file.get());
  // Convert the double-NUL list string by string.
  std::u16string list;
  for (const char *p = lpString; *p; p += strlen(p) + 1) {
    list += DecodeAnsi(p, strlen(p));
    list += u'\0';
  }
  list += u'\0';
  return WriteSection(app.get(), list.c_str(), file.get());
}
