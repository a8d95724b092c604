// Persistence shared by the registry and the spooler: text files under the machine
// root, replaced atomically under an inter-process lock, re-read when another process
// changed them, and the readable encoding of names and typed values inside them.
#pragma once
#include <stdint.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <string>

#include "internal.h"

namespace plat {
namespace store {

// What a reader remembers of the file version it parsed: the writers' generation
// counter (kept in the lock file) and the file's identity. Any difference means that
// another process (or a hand edit) changed the file.
struct Stamp {
  uint64_t generation = 0;
  bool exists = false;
  uint64_t dev = 0, ino = 0, size = 0;
  int64_t mtimeSec = 0, mtimeNsec = 0, ctimeSec = 0, ctimeNsec = 0;
  bool operator==(const Stamp &) const = default;
};

// Opens a host file only when it is a regular file: a FIFO, device or folder in its
// place fails at once with EINVAL instead of blocking or reading without end. info
// (optional) receives the open file's status.
int OpenRegular(const std::string &path, int flags, mode_t mode = 0, struct stat *info = nullptr);
// The generation of a lock file (0 when it does not exist yet).
uint64_t ReadGeneration(const std::string &lockPath);
// Reads the generation of one lock file as cheaply as the host allows: once the lock
// file exists it is mapped shared and read from memory, so that a check costs no system
// call; until then every read opens the file. The mapping sees the writers' updates
// because they write through the same page cache.
class GenerationView {
 public:
  GenerationView() = default;
  ~GenerationView();
  GenerationView(const GenerationView &) = delete;
  GenerationView &operator=(const GenerationView &) = delete;
  uint64_t Read(const std::string &lockPath);

 private:
  const volatile unsigned char *map_ = nullptr;
};

// Fills the identity part of a stamp from the host file (exists = false when missing).
void StatFile(const std::string &path, Stamp &stamp);
// Reads a whole host file. A missing file answers true with exists = false and no bytes.
bool ReadWholeFile(const std::string &path, std::string &bytes, bool &exists);
// Replaces a host file atomically through ReplaceHostFile (a temporary file in the same
// folder, then a rename that replaces a link in the file's place rather than writing
// through it); creates the folder when missing. False (errno kept, the last error set;
// ERROR_ACCESS_DENIED for a folder that leads out of the machine) when anything failed;
// the old file is then untouched.
bool WriteFileAtomic(const std::string &path, const std::string &bytes);
// Creates a host folder and its parents.
bool MakeDirs(const std::string &dir);

// An exclusive inter-process lock on a lock file (flock), held for one
// read-modify-write. Bump() advances the generation that readers compare. A link in the
// lock file's place (symbolic or hard) is replaced by a lock file of its own; a lock file
// whose folder leads out of the machine is not taken (ok() false, refused() true).
class WriteLock {
 public:
  explicit WriteLock(const std::string &lockPath);
  ~WriteLock();
  WriteLock(const WriteLock &) = delete;
  WriteLock &operator=(const WriteLock &) = delete;
  bool ok() const { return fd_ >= 0; }
  // The lock was not taken because its folder leads out of the machine.
  bool refused() const { return refused_; }
  uint64_t Generation() const;
  void Bump();

 private:
  int fd_ = -1;
  bool refused_ = false;
};

// ---------------------------------------------------------------- text encoding

// The last line of every store file. A file whose last line lacks its line end, or
// that does not end with this line, was cut short: it is damaged and is not read.
constexpr char kEndMarker[] = "end";
// Whether text ends with the marker line and its line end.
bool EndsWithMarker(const std::string &text);

// A UTF-16 string as a double-quoted token: printable text as UTF-8, with \\ \" \0 \n
// \r \t and \uXXXX (other control units and unpaired surrogates) escapes, so every
// string, embedded NULs included, comes back exactly.
std::string Quote(const std::u16string &s);
// Reads a quoted token at p (after blanks); advances p past it.
bool Unquote(const char *&p, std::u16string &out);

// A typed value as "<type> <payload>": the type is a word (none, sz, expand_sz, binary,
// dword, dword_be, link, multi_sz, qword) or a decimal number; the payload is a quoted
// string for string types of even length, 0xXXXXXXXX for 4-byte dwords, else
// hex:<bytes>. Decoding accepts any payload form for any type.
std::string EncodeValue(DWORD type, const std::string &data);
bool DecodeValue(const char *&p, DWORD &type, std::string &data);

// Skips blanks; true when p now points at the end of the line.
bool AtEnd(const char *&p);
// Reads an unsigned number (decimal or 0x hex) after blanks.
bool ReadNumber(const char *&p, uint64_t &value);
// Reads "0x" and exactly digits hexadecimal digits after blanks: a number written at a
// fixed width that lost digits is refused rather than read as a smaller one.
bool ReadFullHex(const char *&p, int digits, uint64_t &value);
// Reads a 32-bit number as the writers write them: decimal, or "0x" and 8 digits.
bool ReadSizedNumber(const char *&p, uint64_t &value);
// Reads a bare word of letters, digits and '_' after blanks.
bool ReadWord(const char *&p, std::string &word);

}  // namespace store
}  // namespace plat
