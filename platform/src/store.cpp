// Persistence shared by the registry and the spooler: atomic file replacement, the
// inter-process write lock with its generation counter, and the text encoding of
// names and typed values.
#include "store.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {
namespace store {

// ---------------------------------------------------------------- files

int OpenRegular(const std::string &path, int flags, mode_t mode, struct stat *info)
{
  // O_NONBLOCK keeps the open of a FIFO from waiting for its other end; it changes
  // nothing for a regular file.
  int fd = open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, mode);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = EINVAL;
    return -1;
  }
  if (info) *info = st;
  return fd;
}

uint64_t ReadGeneration(const std::string &lockPath)
{
  int fd = OpenRegular(lockPath, O_RDONLY);
  if (fd < 0) return 0;
  unsigned char b[8] = {};
  ssize_t n = pread(fd, b, sizeof b, 0);
  close(fd);
  if (n != static_cast<ssize_t>(sizeof b)) return 0;
  uint64_t g = 0;
  for (int i = 7; i >= 0; --i) g = (g << 8) | b[i];
  return g;
}

namespace {
uint64_t Decode(const volatile unsigned char *b)
{
  uint64_t g = 0;
  for (int i = 7; i >= 0; --i) g = (g << 8) | b[i];
  return g;
}
}  // namespace

GenerationView::~GenerationView()
{
  if (map_) munmap(const_cast<unsigned char *>(map_), 8);
}

uint64_t GenerationView::Read(const std::string &lockPath)
{
  if (map_) return Decode(map_);
  int fd = OpenRegular(lockPath, O_RDONLY);
  if (fd < 0) return 0;
  unsigned char b[8] = {};
  ssize_t n = pread(fd, b, sizeof b, 0);
  if (n != static_cast<ssize_t>(sizeof b)) {
    close(fd);
    return 0;
  }
  // Writers only ever rewrite these 8 bytes in place, so the file never shrinks below
  // them again and the mapping stays readable.
  void *m = mmap(nullptr, 8, PROT_READ, MAP_SHARED, fd, 0);
  close(fd);
  if (m != MAP_FAILED) map_ = static_cast<const volatile unsigned char *>(m);
  return Decode(b);
}

void StatFile(const std::string &path, Stamp &stamp)
{
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    stamp.exists = false;
    stamp.dev = stamp.ino = stamp.size = 0;
    stamp.mtimeSec = stamp.mtimeNsec = stamp.ctimeSec = stamp.ctimeNsec = 0;
    return;
  }
  stamp.exists = true;
  stamp.dev = st.st_dev;
  stamp.ino = st.st_ino;
  stamp.size = static_cast<uint64_t>(st.st_size);
  stamp.mtimeSec = st.st_mtim.tv_sec;
  stamp.mtimeNsec = st.st_mtim.tv_nsec;
  stamp.ctimeSec = st.st_ctim.tv_sec;
  stamp.ctimeNsec = st.st_ctim.tv_nsec;
}

bool ReadWholeFile(const std::string &path, std::string &bytes, bool &exists)
{
  bytes.clear();
  exists = false;
  int fd = OpenRegular(path, O_RDONLY);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR;
  exists = true;
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      close(fd);
      errno = e;
      return false;
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return true;
}

bool MakeDirs(const std::string &dir)
{
  if (dir.empty()) return false;
  struct stat st;
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirs(dir.substr(0, slash))) return false;
  return mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST;
}

bool WriteFileAtomic(const std::string &path, const std::string &bytes)
{
  // The folders made for a new file must lie inside the machine as the file does.
  if (!EntryInsideMachine(path)) return false;
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && !MakeDirs(path.substr(0, slash))) return false;
  // The store was never flushed to disk at each change: a crash may lose the last
  // change, but the rename keeps every version whole.
  ReplaceOptions how;
  how.durable = false;
  return ReplaceHostFile(path, bytes, how);
}

WriteLock::WriteLock(const std::string &lockPath)
{
  size_t slash = lockPath.find_last_of('/');
  if (!EntryInsideMachine(lockPath)) {
    refused_ = true;
    return;
  }
  if (slash != std::string::npos && !MakeDirs(lockPath.substr(0, slash))) return;
  // The generation is written into the lock file, so a link in its place (a symbolic
  // link, or a hard link: a second name of a file that may lie anywhere) is never written
  // through: it is removed, and a lock file of its own takes its place.
  struct stat info;
  fd_ = OpenRegular(lockPath, O_RDWR | O_CREAT | O_NOFOLLOW, 0666, &info);
  bool linked = fd_ < 0 ? errno == ELOOP : info.st_nlink > 1;
  if (linked) {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (unlink(lockPath.c_str()) != 0) return;
    NoteFolderChange();
    fd_ = OpenRegular(lockPath, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    // Another writer made the new lock file first: share it.
    if (fd_ < 0 && errno == EEXIST) fd_ = OpenRegular(lockPath, O_RDWR | O_NOFOLLOW, 0666);
  }
  if (fd_ < 0) return;
  while (flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      close(fd_);
      fd_ = -1;
      return;
    }
  }
}

WriteLock::~WriteLock()
{
  if (fd_ >= 0) {
    flock(fd_, LOCK_UN);
    close(fd_);
  }
}

uint64_t WriteLock::Generation() const
{
  unsigned char b[8] = {};
  if (fd_ < 0 || pread(fd_, b, sizeof b, 0) != static_cast<ssize_t>(sizeof b)) return 0;
  uint64_t g = 0;
  for (int i = 7; i >= 0; --i) g = (g << 8) | b[i];
  return g;
}

void WriteLock::Bump()
{
  if (fd_ < 0) return;
  uint64_t g = Generation() + 1;
  unsigned char b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(g >> (8 * i));
  // A failed bump only costs other readers a stat-based check; the data file is final.
  (void)!pwrite(fd_, b, sizeof b, 0);
}

// ---------------------------------------------------------------- text encoding

namespace {

int HexDigit(char c)
{
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes one UTF-8 sequence at p into UTF-16 units; false for malformed input.
bool TakeUtf8(const char *&p, std::u16string &out)
{
  const unsigned char *s = reinterpret_cast<const unsigned char *>(p);
  uint32_t c;
  int len;
  if (s[0] < 0x80) {
    c = s[0];
    len = 1;
  } else if ((s[0] & 0xE0) == 0xC0) {
    c = s[0] & 0x1F;
    len = 2;
  } else if ((s[0] & 0xF0) == 0xE0) {
    c = s[0] & 0x0F;
    len = 3;
  } else if ((s[0] & 0xF8) == 0xF0) {
    c = s[0] & 0x07;
    len = 4;
  } else {
    return false;
  }
  for (int i = 1; i < len; ++i) {
    if ((s[i] & 0xC0) != 0x80) return false;
    c = (c << 6) | (s[i] & 0x3F);
  }
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
  if (c >= 0x10000) {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  } else {
    out += static_cast<char16_t>(c);
  }
  p += len;
  return true;
}

struct TypeName {
  DWORD type;
  const char *name;
};
const TypeName kTypeNames[] = {
    {0, "none"},     {1, "sz"},   {2, "expand_sz"}, {3, "binary"}, {4, "dword"},
    {5, "dword_be"}, {6, "link"}, {7, "multi_sz"},  {11, "qword"},
};

bool IsStringType(DWORD type) { return type == 1 || type == 2 || type == 6 || type == 7; }

}  // namespace

std::string Quote(const std::u16string &s)
{
  std::string out = "\"";
  for (size_t i = 0; i < s.size(); ++i) {
    char16_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((static_cast<uint32_t>(c) - 0xD800) << 10) + (s[i + 1] - 0xDC00));
      ++i;
      continue;
    }
    switch (c) {
      case u'\\': out += "\\\\"; continue;
      case u'"': out += "\\\""; continue;
      case 0: out += "\\0"; continue;
      case u'\n': out += "\\n"; continue;
      case u'\r': out += "\\r"; continue;
      case u'\t': out += "\\t"; continue;
      default: break;
    }
    if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF)) {
      char buf[8];
      snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    } else {
      AppendUtf8(out, c);
    }
  }
  out += '"';
  return out;
}

bool AtEnd(const char *&p)
{
  while (*p == ' ' || *p == '\t' || *p == '\r') ++p;
  return *p == 0 || *p == '\n';
}

bool Unquote(const char *&p, std::u16string &out)
{
  out.clear();
  AtEnd(p);
  if (*p != '"') return false;
  ++p;
  for (;;) {
    char c = *p;
    if (c == 0 || c == '\n') return false;
    if (c == '"') {
      ++p;
      return true;
    }
    if (c != '\\') {
      if (!TakeUtf8(p, out)) return false;
      continue;
    }
    char e = p[1];
    p += 2;
    switch (e) {
      case '\\': out += u'\\'; break;
      case '"': out += u'"'; break;
      case '0': out += char16_t(0); break;
      case 'n': out += u'\n'; break;
      case 'r': out += u'\r'; break;
      case 't': out += u'\t'; break;
      case 'u': {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
          int d = HexDigit(p[i]);
          if (d < 0) return false;
          v = (v << 4) | static_cast<uint32_t>(d);
        }
        p += 4;
        out += static_cast<char16_t>(v);
        break;
      }
      default: return false;
    }
  }
}

bool ReadNumber(const char *&p, uint64_t &value)
{
  AtEnd(p);
  value = 0;
  const char *s = p;
  if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s += 2;
    const char *start = s;
    while (HexDigit(*s) >= 0) {
      if (s - start >= 16) return false;
      value = (value << 4) | static_cast<uint64_t>(HexDigit(*s++));
    }
    if (s == start) return false;
  } else {
    const char *start = s;
    while (*s >= '0' && *s <= '9') {
      if (s - start >= 19) return false;
      value = value * 10 + static_cast<uint64_t>(*s++ - '0');
    }
    if (s == start) return false;
  }
  p = s;
  return true;
}

bool EndsWithMarker(const std::string &text)
{
  if (text.empty() || text.back() != '\n') return false;  // the last line was cut
  size_t end = text.size() - 1;
  size_t start = text.rfind('\n', end - 1);
  start = start == std::string::npos ? 0 : start + 1;
  return text.compare(start, end - start, kEndMarker) == 0;
}

bool ReadFullHex(const char *&p, int digits, uint64_t &value)
{
  AtEnd(p);
  value = 0;
  const char *s = p;
  if (s[0] != '0' || (s[1] != 'x' && s[1] != 'X')) return false;
  s += 2;
  for (int i = 0; i < digits; ++i) {
    if (HexDigit(*s) < 0) return false;
    value = (value << 4) | static_cast<uint64_t>(HexDigit(*s++));
  }
  if (HexDigit(*s) >= 0) return false;
  p = s;
  return true;
}

bool ReadSizedNumber(const char *&p, uint64_t &value)
{
  AtEnd(p);
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) return ReadFullHex(p, 8, value);
  return ReadNumber(p, value);
}

bool ReadWord(const char *&p, std::string &word)
{
  AtEnd(p);
  word.clear();
  while ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') || *p == '_') word += *p++;
  return !word.empty();
}

std::string EncodeValue(DWORD type, const std::string &data)
{
  std::string out;
  const char *name = nullptr;
  for (auto &t : kTypeNames)
    if (t.type == type) name = t.name;
  out = name ? name : std::to_string(type);
  out += ' ';
  if (IsStringType(type) && data.size() % 2 == 0) {
    std::u16string s(data.size() / 2, u'\0');
    for (size_t i = 0; i < s.size(); ++i)
      s[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                   (static_cast<unsigned char>(data[2 * i + 1]) << 8));
    out += Quote(s);
  } else if (type == 4 && data.size() == 4) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data[i]);
    char buf[16];
    snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(v));
    out += buf;
  } else {
    static const char kHex[] = "0123456789abcdef";
    out += "hex:";
    for (unsigned char b : data) {
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

bool DecodeValue(const char *&p, DWORD &type, std::string &data)
{
  data.clear();
  AtEnd(p);
  if (*p >= '0' && *p <= '9') {
    uint64_t t;
    if (!ReadNumber(p, t) || t > 0xFFFFFFFFu) return false;
    type = static_cast<DWORD>(t);
  } else {
    std::string word;
    if (!ReadWord(p, word)) return false;
    bool found = false;
    for (auto &t : kTypeNames) {
      if (word == t.name) {
        type = t.type;
        found = true;
      }
    }
    if (!found) return false;
  }
  AtEnd(p);
  if (*p == '"') {
    std::u16string s;
    if (!Unquote(p, s)) return false;
    for (char16_t c : s) {
      data += static_cast<char>(c & 0xFF);
      data += static_cast<char>(c >> 8);
    }
    return true;
  }
  if (strncmp(p, "hex:", 4) == 0) {
    p += 4;
    while (HexDigit(p[0]) >= 0) {
      if (HexDigit(p[1]) < 0) return false;
      data += static_cast<char>((HexDigit(p[0]) << 4) | HexDigit(p[1]));
      p += 2;
    }
    return true;
  }
  uint64_t v;
  if (!ReadSizedNumber(p, v) || v > 0xFFFFFFFFu) return false;
  for (int i = 0; i < 4; ++i) data += static_cast<char>((v >> (8 * i)) & 0xFF);
  return true;
}

}  // namespace store
}  // namespace plat
