// The registry: HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER as key trees, each kept in
// one text file under the machine root (C:\WINDOWS\system32\config\kvreg-<hive>.txt).
// Readers re-read a hive when another process replaced it; writers change it under an
// inter-process lock and replace the file atomically, so no process loses another's
// write. Key names compare case-insensitively and keep the case they were created with.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "kvplat/os_control.h"
#include "kvplat/spool_control.h"
#include "registry_internal.h"
#include "store.h"
#include "win32/registry.h"

namespace plat {
namespace {

// ---------------------------------------------------------------- the key tree

constexpr size_t kMaxKeyNameChars = 255;
// Levels of keys below a hive's root, as on Windows; a deeper key line is damage.
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxValueNameChars = 16383;
constexpr DWORD kMaxValueBytes = 16u << 20;
constexpr DWORD kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | 0x10000 /*DELETE*/ |
                               0x40000 /*WRITE_DAC*/ | 0x80000 /*WRITE_OWNER*/;

struct Value {
  std::u16string name;
  DWORD type = REG_NONE;
  std::string data;
};

struct FoldLess {
  bool operator()(const std::u16string &a, const std::u16string &b) const
  {
    return FoldCompare(a.data(), a.size(), b.data(), b.size()) < 0;
  }
};

// A key: its values in creation order (which RegEnumValueW's indexes follow) with an index
// by name, and its subkeys sorted by name. Lookups cost log n; so does adding a value, and
// a hive file is parsed in n log n (ParseTree) whatever order its lines are in.
struct Key {
  std::u16string name;
  uint64_t lastWrite = 0;
  std::vector<std::unique_ptr<Key>> subkeys;  // sorted case-insensitively

  static int Compare(const std::u16string &a, const std::u16string &b)
  {
    return FoldCompare(a.data(), a.size(), b.data(), b.size());
  }
  Key *FindSub(const std::u16string &n)
  {
    auto it = std::lower_bound(
        subkeys.begin(), subkeys.end(), n,
        [](const std::unique_ptr<Key> &k, const std::u16string &s) { return Compare(k->name, s) < 0; });
    return (it != subkeys.end() && Compare((*it)->name, n) == 0) ? it->get() : nullptr;
  }
  Key *AddSub(const std::u16string &n)
  {
    auto it = std::lower_bound(
        subkeys.begin(), subkeys.end(), n,
        [](const std::unique_ptr<Key> &k, const std::u16string &s) { return Compare(k->name, s) < 0; });
    if (it != subkeys.end() && Compare((*it)->name, n) == 0) return it->get();
    auto k = std::make_unique<Key>();
    k->name = n;
    return subkeys.insert(it, std::move(k))->get();
  }

  const std::vector<Value> &Values() const { return values_; }
  Value *FindValue(const std::u16string &n)
  {
    auto it = index_.find(n);
    return it != index_.end() ? &values_[it->second] : nullptr;
  }
  // Sets a value: an existing one of that name (in any case) takes the new name, type
  // and data in its place; otherwise the value is added at the end.
  void SetValue(Value v)
  {
    if (Value *old = FindValue(v.name)) {
      *old = std::move(v);
      return;
    }
    index_.emplace(v.name, values_.size());
    values_.push_back(std::move(v));
  }
  // Removes a value found by FindValue; the values after it move up one index.
  void EraseValue(Value *v)
  {
    size_t at = static_cast<size_t>(v - values_.data());
    index_.erase(v->name);
    values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(at));
    for (auto &e : index_)
      if (e.second > at) --e.second;
  }
  void ClearValues()
  {
    values_.clear();
    index_.clear();
  }

 private:
  std::vector<Value> values_;                         // in creation order
  std::map<std::u16string, size_t, FoldLess> index_;  // name -> position in values_
};

uint64_t Now()
{
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// ---------------------------------------------------------------- hive files

enum HiveId { HIVE_MACHINE = 0, HIVE_USER = 1, HIVE_COUNT = 2 };
const char16_t *const kHiveFiles[HIVE_COUNT] = {u"C:\\WINDOWS\\system32\\config\\kvreg-HKLM.txt",
                                                u"C:\\WINDOWS\\system32\\config\\kvreg-HKCU.txt"};

struct Hive {
  std::string path, lockPath;
  Key root;
  store::Stamp stamp;
  store::GenerationView generation;
  uint64_t content = 0;  // see reg::MachineContentVersion
  bool loaded = false;
  bool corrupt = false;
};

std::mutex g_lock;
bool g_admin = true;
// Hands out the hives' content numbers: never twice in a process, so a number names one
// version of one hive of one machine root.
uint64_t g_contentCounter = 0;
// Where each hive file is when its folders exist as written (the usual case).
FixedHostPath g_hivePaths[HIVE_COUNT] = {FixedHostPath(kHiveFiles[HIVE_MACHINE]), FixedHostPath(kHiveFiles[HIVE_USER])};
std::map<std::string, Hive> &Hives()
{
  static auto *hives = new std::map<std::string, Hive>();
  return *hives;
}

void ResetRegistry()
{
  std::lock_guard<std::mutex> g(g_lock);
  g_admin = true;
  Hives().clear();
}
struct ResetRegistrar {
  ResetRegistrar() { RegisterReset(ResetRegistry); }
} g_registrar;

// Key paths in the file: components joined by '\', with %XXXX escapes for the
// characters that would break the line ('%', '[', ']', '\', controls, lone surrogates).
std::string EncodeKeyName(const std::u16string &name)
{
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    char16_t c = name[i];
    bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF;
    if (pair) {
      std::string q = store::Quote(name.substr(i, 2));
      out += q.substr(1, q.size() - 2);
      ++i;
    } else if (c < 0x20 || c == 0x7F || c == u'%' || c == u'[' || c == u']' || c == u'\\' || c == u'"' ||
               (c >= 0xD800 && c <= 0xDFFF)) {
      char buf[8];
      snprintf(buf, sizeof buf, "%%%04X", static_cast<unsigned>(c));
      out += buf;
    } else {
      std::string q = store::Quote(std::u16string(1, c));
      out += q.substr(1, q.size() - 2);
    }
  }
  return out;
}

void SerializeKey(const Key &k, const std::string &path, std::string &out)
{
  char stamp[24];
  snprintf(stamp, sizeof stamp, " @%016llx", static_cast<unsigned long long>(k.lastWrite));
  out += "[" + path + "]" + stamp + "\n";
  for (auto &v : k.Values()) out += store::Quote(v.name) + " = " + store::EncodeValue(v.type, v.data) + "\n";
  for (auto &s : k.subkeys)
    SerializeKey(*s, path.empty() ? EncodeKeyName(s->name) : path + "\\" + EncodeKeyName(s->name), out);
}

std::string Serialize(const Key &root)
{
  std::string out = "kvreg 1\n";
  SerializeKey(root, "", out);
  out += std::string(store::kEndMarker) + "\n";
  return out;
}

int Hex(char c)
{
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The subkeys met while a hive file is parsed. Key lines may come in any order (a hand
// edit), so a key's subkeys are appended as they come and found again through this index,
// then sorted once when the whole file has been read: n log n for any order of lines.
class ParseIndex {
 public:
  Key *Sub(Key *parent, const std::u16string &name)
  {
    auto it = subs_.find(Entry{parent, name});
    if (it != subs_.end()) return it->second;
    auto k = std::make_unique<Key>();
    k->name = name;
    Key *made = k.get();
    parent->subkeys.push_back(std::move(k));
    subs_.emplace(Entry{parent, name}, made);
    return made;
  }
  // Sorts the subkeys of every key of the tree (without recursion: a hive may nest deep).
  static void SortTree(Key &root)
  {
    std::vector<Key *> pending{&root};
    while (!pending.empty()) {
      Key *k = pending.back();
      pending.pop_back();
      std::sort(k->subkeys.begin(), k->subkeys.end(), [](const std::unique_ptr<Key> &a, const std::unique_ptr<Key> &b) {
        return Key::Compare(a->name, b->name) < 0;
      });
      for (auto &sub : k->subkeys) pending.push_back(sub.get());
    }
  }

 private:
  struct Entry {
    const Key *parent;
    std::u16string name;
  };
  struct EntryLess {
    bool operator()(const Entry &a, const Entry &b) const
    {
      if (a.parent != b.parent) return std::less<const Key *>()(a.parent, b.parent);
      return Key::Compare(a.name, b.name) < 0;
    }
  };
  std::map<Entry, Key *, EntryLess> subs_;
};

// Parses "[path] @stamp" at p (just after '['); answers the key, creating the path.
Key *ParseKeyLine(const char *p, Key &root, ParseIndex &index)
{
  std::string raw;
  while (*p && *p != ']' && *p != '\n') raw += *p++;
  if (*p != ']') return nullptr;
  ++p;
  // Decode the escapes and UTF-8 into UTF-16 components.
  std::vector<std::u16string> parts(1);
  for (size_t i = 0; i < raw.size();) {
    if (raw[i] == '\\') {
      parts.emplace_back();
      ++i;
    } else if (raw[i] == '%') {
      int v = 0;
      for (int j = 1; j <= 4; ++j) {
        int d = i + j < raw.size() ? Hex(raw[i + j]) : -1;
        if (d < 0) return nullptr;
        v = (v << 4) | d;
      }
      parts.back() += static_cast<char16_t>(v);
      i += 5;
    } else {
      size_t j = i;
      while (j < raw.size() && raw[j] != '\\' && raw[j] != '%') ++j;
      std::string quoted = "\"" + raw.substr(i, j - i) + "\"";
      const char *q = quoted.c_str();
      std::u16string s;
      if (!store::Unquote(q, s) || *q) return nullptr;
      parts.back() += s;
      i = j;
    }
  }
  Key *k = &root;
  if (parts.size() > kMaxKeyDepth) return nullptr;
  if (!(parts.size() == 1 && parts[0].empty())) {
    for (auto &c : parts) {
      if (c.empty() || c.size() > kMaxKeyNameChars) return nullptr;
      k = index.Sub(k, c);
    }
  }
  if (!store::AtEnd(p)) {
    if (*p != '@') return nullptr;
    ++p;
    // The stamp is written with all 16 digits; fewer mean a damaged line.
    uint64_t t = 0;
    int n = 0;
    while (Hex(*p) >= 0 && n < 16) {
      t = (t << 4) | static_cast<uint64_t>(Hex(*p++));
      ++n;
    }
    if (n != 16 || !store::AtEnd(p)) return nullptr;
    k->lastWrite = t;
  }
  return k;
}

// The lines of a hive file that ends with its marker; false at the first damaged line.
bool ParseLines(const std::string &text, Key &root, ParseIndex &index)
{
  size_t pos = 0;
  bool header = false, ended = false;
  Key *cur = nullptr;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.find('\0') != std::string::npos) return false;
    const char *p = line.c_str();
    if (store::AtEnd(p) || *p == '#') continue;
    if (ended) return false;
    if (header && strncmp(p, store::kEndMarker, sizeof store::kEndMarker - 1) == 0) {
      p += sizeof store::kEndMarker - 1;
      if (!store::AtEnd(p)) return false;
      ended = true;
      continue;
    }
    if (!header) {
      if (strncmp(p, "kvreg 1", 7) != 0) return false;
      p += 7;
      if (!store::AtEnd(p)) return false;
      header = true;
      continue;
    }
    if (*p == '[') {
      cur = ParseKeyLine(p + 1, root, index);
      if (!cur) return false;
      continue;
    }
    if (!cur) return false;
    Value v;
    if (!store::Unquote(p, v.name) || v.name.size() > kMaxValueNameChars) return false;
    store::AtEnd(p);
    if (*p != '=') return false;
    ++p;
    if (!store::DecodeValue(p, v.type, v.data) || !store::AtEnd(p)) return false;
    cur->SetValue(std::move(v));
  }
  return ended;
}

// Reads a hive file; false for a damaged one (a line it cannot read, or a file cut
// short: every hive the writers write ends with the end marker line).
bool Parse(const std::string &text, Key &root)
{
  root = Key();
  if (text.empty()) return true;
  if (!store::EndsWithMarker(text)) return false;
  ParseIndex index;
  bool ok = ParseLines(text, root, index);
  ParseIndex::SortTree(root);
  return ok;
}

// The hive's entry for the current machine root, or null (ERROR_PATH_NOT_FOUND when
// no root is set).
Hive *HiveFor(HiveId id)
{
  std::string host;
  if (!MapPath(kHiveFiles[id], host)) return nullptr;
  Hive &h = Hives()[host];
  if (h.path.empty()) {
    h.path = host;
    h.lockPath = host + ".lock";
  }
  return &h;
}

// Brings the in-memory tree up to date with the file.
void Refresh(Hive &h)
{
  store::Stamp now;
  now.generation = h.generation.Read(h.lockPath);
  store::StatFile(h.path, now);
  if (h.loaded && now == h.stamp) return;
  std::string text;
  bool exists = false;
  h.loaded = false;
  if (!store::ReadWholeFile(h.path, text, exists)) {
    h.corrupt = true;
    return;
  }
  h.corrupt = !Parse(text, h.root);
  if (h.corrupt) h.root = Key();
  h.stamp = now;
  h.content = ++g_contentCounter;
  h.loaded = true;
}

// Opens the hive for reading: ERROR_SUCCESS or the error to answer.
LONG ReadHive(HiveId id, Hive *&out)
{
  // A hive read before and unchanged since costs one stat: when its file exists at the
  // exact host path, that path is also what mapping the hive's name would answer.
  std::string exact;
  if (g_hivePaths[id].Get(exact)) {
    auto it = Hives().find(exact);
    if (it != Hives().end() && it->second.loaded) {
      Hive &h = it->second;
      store::Stamp now;
      now.generation = h.generation.Read(h.lockPath);
      store::StatFile(h.path, now);
      if (now.exists && now == h.stamp) {
        out = &h;
        return h.corrupt ? ERROR_REGISTRY_CORRUPT : ERROR_SUCCESS;
      }
    }
  }
  out = HiveFor(id);
  if (!out) return ERROR_CANTOPEN;
  Refresh(*out);
  if (!out->loaded) return ERROR_CANTREAD;
  if (out->corrupt) return ERROR_REGISTRY_CORRUPT;
  return ERROR_SUCCESS;
}

// Runs one change of a hive as a read-modify-write under the inter-process lock. The
// change answers its result and sets changed when the tree must be written; when
// writing fails nothing is kept and the answer is ERROR_CANTWRITE.
LONG WriteHive(HiveId id, const std::function<LONG(Key &root, bool &changed)> &change)
{
  Hive *h = HiveFor(id);
  if (!h) return ERROR_CANTOPEN;
  store::WriteLock lock(h->lockPath);
  if (!lock.ok()) return lock.refused() ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE;
  Refresh(*h);
  if (!h->loaded) return ERROR_CANTREAD;
  if (h->corrupt) return ERROR_REGISTRY_CORRUPT;
  bool changed = false;
  LONG rc = change(h->root, changed);
  h->content = ++g_contentCounter;
  if (!changed) return rc;
  if (!store::WriteFileAtomic(h->path, Serialize(h->root))) {
    h->loaded = false;  // drop the change: the next access re-reads the file
    // A hive whose folder leads out of the machine is never written there.
    return GetLastError() == ERROR_ACCESS_DENIED ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE;
  }
  lock.Bump();
  h->stamp.generation = lock.Generation();
  store::StatFile(h->path, h->stamp);
  return rc;
}

Key *Resolve(Key &root, const std::vector<std::u16string> &path)
{
  Key *k = &root;
  for (auto &c : path) {
    k = k->FindSub(c);
    if (!k) return nullptr;
  }
  return k;
}

// ---------------------------------------------------------------- handles

struct KeyObject : Object {
  KeyObject() : Object(OBJ_ANY) {}
  HiveId hive = HIVE_MACHINE;
  std::vector<std::u16string> path;
  REGSAM access = 0;
};

struct KeyRef {
  HiveId hive = HIVE_MACHINE;
  std::vector<std::u16string> path;
  REGSAM access = 0;
};

// Registry functions answer error codes and keep the caller's last error.
struct KeepLastError {
  DWORD saved = GetLastError();
  ~KeepLastError() { SetLastError(saved); }
};

LONG GetKeyRef(HKEY h, KeyRef &out)
{
  if (h == HKEY_LOCAL_MACHINE || h == HKEY_CURRENT_USER) {
    out.hive = h == HKEY_LOCAL_MACHINE ? HIVE_MACHINE : HIVE_USER;
    out.path.clear();
    out.access = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  if (!h) return ERROR_INVALID_HANDLE;
  auto obj = HandleGet(reinterpret_cast<HANDLE>(h), OBJ_ANY);
  auto *key = dynamic_cast<KeyObject *>(obj.get());
  if (!key) return ERROR_INVALID_HANDLE;
  out.hive = key->hive;
  out.path = key->path;
  out.access = key->access;
  return ERROR_SUCCESS;
}

// HKLM is barred to writers when either the registry switch or the machine-wide
// administrator switch says the caller is not an administrator.
bool Barred(HiveId hive) { return hive == HIVE_MACHINE && (!g_admin || !PlatIsAdministrator()); }

// Splits a subkey path; a leading '\' or an empty component is a bad path.
LONG SplitPath(LPCWSTR sub, std::vector<std::u16string> &parts)
{
  parts.clear();
  if (!sub || !*sub) return ERROR_SUCCESS;
  if (*sub == u'\\') return ERROR_BAD_PATHNAME;
  std::u16string cur;
  for (const WCHAR *p = sub;; ++p) {
    if (*p == u'\\' || *p == 0) {
      if (cur.empty()) {
        if (*p == 0) break;  // one trailing '\' is accepted
        return ERROR_BAD_PATHNAME;
      }
      if (cur.size() > kMaxKeyNameChars) return ERROR_INVALID_PARAMETER;
      parts.push_back(cur);
      cur.clear();
      if (*p == 0) break;
    } else {
      cur += *p;
    }
  }
  return ERROR_SUCCESS;
}

REGSAM MapGeneric(REGSAM sam)
{
  if (sam & 0x80000000UL) sam |= KEY_READ;        // GENERIC_READ
  if (sam & 0x40000000UL) sam |= KEY_WRITE;       // GENERIC_WRITE
  if (sam & 0x20000000UL) sam |= KEY_EXECUTE;     // GENERIC_EXECUTE
  if (sam & 0x10000000UL) sam |= KEY_ALL_ACCESS;  // GENERIC_ALL
  return sam & 0x00FFFFFFUL;
}

// The rights a new handle gets, or ERROR_ACCESS_DENIED.
LONG Grant(HiveId hive, REGSAM sam, REGSAM &granted)
{
  if (sam & MAXIMUM_ALLOWED) {
    granted = Barred(hive) ? KEY_READ : KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  granted = MapGeneric(sam) & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
  if ((granted & kWriteRights) && Barred(hive)) return ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

LONG NewHandle(HiveId hive, std::vector<std::u16string> path, REGSAM access, PHKEY out)
{
  auto obj = std::make_shared<KeyObject>();
  obj->hive = hive;
  obj->path = std::move(path);
  obj->access = access;
  HANDLE h = HandleAdd(obj);
  if (!h) return ERROR_TOO_MANY_OPEN_FILES;
  *out = reinterpret_cast<HKEY>(h);
  return ERROR_SUCCESS;
}

// Copies a name (without terminator) into a buffer of cch characters following the
// enumeration protocol: ERROR_MORE_DATA when it does not fit with its terminator.
LONG CopyName(const std::u16string &name, LPWSTR buf, LPDWORD cch)
{
  if (*cch <= name.size()) return ERROR_MORE_DATA;
  memcpy(buf, name.data(), name.size() * sizeof(WCHAR));
  buf[name.size()] = 0;
  *cch = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

LONG OpenKey(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, PHKEY phkResult)
{
  KeyRef base;
  LONG rc = GetKeyRef(hKey, base);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<std::u16string> parts;
  if ((rc = SplitPath(lpSubKey, parts)) != ERROR_SUCCESS) return rc;
  REGSAM granted;
  if ((rc = Grant(base.hive, samDesired, granted)) != ERROR_SUCCESS) return rc;
  std::lock_guard<std::mutex> g(g_lock);
  Hive *h;
  if ((rc = ReadHive(base.hive, h)) != ERROR_SUCCESS) return rc;
  Key *b = Resolve(h->root, base.path);
  if (!b) return ERROR_KEY_DELETED;
  std::vector<std::u16string> full = base.path;
  Key *k = b;
  for (auto &c : parts) {
    k = k->FindSub(c);
    if (!k) return ERROR_FILE_NOT_FOUND;
    full.push_back(k->name);
  }
  return NewHandle(base.hive, std::move(full), granted, phkResult);
}

LONG CreateKey(HKEY hKey, LPCWSTR lpSubKey, DWORD dwOptions, REGSAM samDesired, PHKEY phkResult,
               LPDWORD lpdwDisposition)
{
  KeyRef base;
  LONG rc = GetKeyRef(hKey, base);
  if (rc != ERROR_SUCCESS) return rc;
  if (dwOptions & ~(REG_OPTION_VOLATILE | REG_OPTION_BACKUP_RESTORE)) return ERROR_INVALID_PARAMETER;
  std::vector<std::u16string> parts;
  if ((rc = SplitPath(lpSubKey, parts)) != ERROR_SUCCESS) return rc;
  REGSAM granted;
  if ((rc = Grant(base.hive, samDesired, granted)) != ERROR_SUCCESS) return rc;
  std::lock_guard<std::mutex> g(g_lock);
  // An existing key only opens: no write, no lock.
  Hive *h;
  if ((rc = ReadHive(base.hive, h)) != ERROR_SUCCESS) return rc;
  Key *b = Resolve(h->root, base.path);
  if (!b) return ERROR_KEY_DELETED;
  std::vector<std::u16string> full = base.path;
  Key *k = b;
  for (auto &c : parts) {
    if (!(k = k->FindSub(c))) break;
    full.push_back(k->name);
  }
  DWORD disposition = REG_OPENED_EXISTING_KEY;
  if (!k) {
    if (Barred(base.hive) || !(base.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
    rc = WriteHive(base.hive, [&](Key &root, bool &changed) -> LONG {
      Key *cur = Resolve(root, base.path);
      if (!cur) return ERROR_KEY_DELETED;
      full = base.path;
      uint64_t now = Now();
      for (auto &c : parts) {
        Key *next = cur->FindSub(c);
        if (!next) {
          next = cur->AddSub(c);
          next->lastWrite = now;
          cur->lastWrite = now;
          changed = true;
          disposition = REG_CREATED_NEW_KEY;
        }
        full.push_back(next->name);
        cur = next;
      }
      return ERROR_SUCCESS;
    });
    if (rc != ERROR_SUCCESS) return rc;
  }
  if ((rc = NewHandle(base.hive, std::move(full), granted, phkResult)) != ERROR_SUCCESS) return rc;
  if (lpdwDisposition) *lpdwDisposition = disposition;
  return ERROR_SUCCESS;
}

// Looks up a value of the key behind a handle, for the query functions.
LONG FindKeyForRead(const KeyRef &ref, Key *&key)
{
  Hive *h;
  LONG rc = ReadHive(ref.hive, h);
  if (rc != ERROR_SUCCESS) return rc;
  key = Resolve(h->root, ref.path);
  return key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

}  // namespace

// ---------------------------------------------------------------- inside the layer

namespace reg {

std::string StringData(const std::u16string &s)
{
  std::string d;
  for (char16_t c : s) {
    d += static_cast<char>(c & 0xFF);
    d += static_cast<char>(c >> 8);
  }
  d.append(2, '\0');
  return d;
}

std::u16string DataString(const std::string &data)
{
  std::u16string s;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    char16_t c =
        static_cast<char16_t>(static_cast<unsigned char>(data[i]) | (static_cast<unsigned char>(data[i + 1]) << 8));
    if (c == 0) break;
    s += c;
  }
  return s;
}

LONG WriteMachineKey(const std::u16string &path, const std::vector<ValueInit> &values)
{
  std::vector<std::u16string> parts;
  LONG rc = SplitPath(path.c_str(), parts);
  if (rc != ERROR_SUCCESS) return rc;
  std::lock_guard<std::mutex> g(g_lock);
  return WriteHive(HIVE_MACHINE, [&](Key &root, bool &changed) -> LONG {
    Key *k = &root;
    uint64_t now = Now();
    for (auto &c : parts) {
      if (!k->FindSub(c)) k->lastWrite = now;
      k = k->AddSub(c);
    }
    k->ClearValues();
    for (auto &v : values) k->SetValue(Value{v.name, v.type, v.data});
    k->lastWrite = now;
    changed = true;
    return ERROR_SUCCESS;
  });
}

LONG ReadMachineKey(const std::u16string &path, std::vector<ValueInit> &values, std::u16string *keyName)
{
  std::vector<std::u16string> parts;
  LONG rc = SplitPath(path.c_str(), parts);
  if (rc != ERROR_SUCCESS) return rc;
  std::lock_guard<std::mutex> g(g_lock);
  Hive *h;
  if ((rc = ReadHive(HIVE_MACHINE, h)) != ERROR_SUCCESS) return rc;
  Key *k = Resolve(h->root, parts);
  if (!k) return ERROR_FILE_NOT_FOUND;
  if (keyName) *keyName = k->name;
  values.clear();
  for (auto &v : k->Values()) values.push_back(ValueInit{v.name, v.type, v.data});
  return ERROR_SUCCESS;
}

LONG MachineContentVersion(uint64_t &version)
{
  std::lock_guard<std::mutex> g(g_lock);
  Hive *h;
  LONG rc = ReadHive(HIVE_MACHINE, h);
  if (rc != ERROR_SUCCESS) return rc;
  version = h->content;
  return ERROR_SUCCESS;
}

LONG DeleteMachineKey(const std::u16string &path)
{
  std::vector<std::u16string> parts;
  LONG rc = SplitPath(path.c_str(), parts);
  if (rc != ERROR_SUCCESS) return rc;
  if (parts.empty()) return ERROR_ACCESS_DENIED;
  std::lock_guard<std::mutex> g(g_lock);
  return WriteHive(HIVE_MACHINE, [&](Key &root, bool &changed) -> LONG {
    std::vector<std::u16string> parentPath(parts.begin(), parts.end() - 1);
    Key *parent = Resolve(root, parentPath);
    Key *k = parent ? parent->FindSub(parts.back()) : nullptr;
    if (!k) return ERROR_FILE_NOT_FOUND;
    if (!k->subkeys.empty()) return ERROR_ACCESS_DENIED;
    auto &subs = parent->subkeys;
    subs.erase(std::find_if(subs.begin(), subs.end(), [&](const std::unique_ptr<Key> &p) { return p.get() == k; }));
    parent->lastWrite = Now();
    changed = true;
    return ERROR_SUCCESS;
  });
}

}  // namespace reg
}  // namespace plat

using namespace plat;

// ---------------------------------------------------------------- controls

void PlatRegSetAdministrator(BOOL isAdministrator)
{
  std::lock_guard<std::mutex> g(g_lock);
  g_admin = isAdministrator != FALSE;
}

// ---------------------------------------------------------------- keys

LONG WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
  KeepLastError keep;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  *phkResult = NULL;
  return OpenKey(hKey, lpSubKey, samDesired, phkResult);
}

LONG WINAPI RegOpenKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult)
{
  KeepLastError keep;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  if (!lpSubKey || !*lpSubKey) {
    // The old form hands back the same handle for an empty subkey.
    KeyRef ref;
    LONG rc = GetKeyRef(hKey, ref);
    *phkResult = rc == ERROR_SUCCESS ? hKey : NULL;
    return rc;
  }
  *phkResult = NULL;
  return OpenKey(hKey, lpSubKey, MAXIMUM_ALLOWED, phkResult);
}

LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition)
{
  KeepLastError keep;
  if (!phkResult || !lpSubKey) return ERROR_INVALID_PARAMETER;
  *phkResult = NULL;
  return CreateKey(hKey, lpSubKey, dwOptions, samDesired, phkResult, lpdwDisposition);
}

LONG WINAPI RegCreateKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult)
{
  KeepLastError keep;
  if (!phkResult) return ERROR_INVALID_PARAMETER;
  if (!lpSubKey || !*lpSubKey) {
    KeyRef ref;
    LONG rc = GetKeyRef(hKey, ref);
    *phkResult = rc == ERROR_SUCCESS ? hKey : NULL;
    return rc;
  }
  *phkResult = NULL;
  return CreateKey(hKey, lpSubKey, 0, MAXIMUM_ALLOWED, phkResult, NULL);
}

LONG WINAPI RegCloseKey(HKEY hKey)
{
  KeepLastError keep;
  KeyRef ref;
  LONG rc = GetKeyRef(hKey, ref);
  if (rc != ERROR_SUCCESS) return rc;
  if (hKey == HKEY_LOCAL_MACHINE || hKey == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  return HandleClose(reinterpret_cast<HANDLE>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG WINAPI RegFlushKey(HKEY hKey)
{
  // Every change is on disk when its call returns.
  KeepLastError keep;
  KeyRef ref;
  return GetKeyRef(hKey, ref);
}

LONG WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey)
{
  KeepLastError keep;
  if (!lpSubKey) return ERROR_INVALID_PARAMETER;
  KeyRef base;
  LONG rc = GetKeyRef(hKey, base);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<std::u16string> parts;
  if ((rc = SplitPath(lpSubKey, parts)) != ERROR_SUCCESS) return rc;
  std::vector<std::u16string> target = base.path;
  target.insert(target.end(), parts.begin(), parts.end());
  if (target.empty() || Barred(base.hive)) return ERROR_ACCESS_DENIED;  // the hive's root stays
  std::lock_guard<std::mutex> g(g_lock);
  return WriteHive(base.hive, [&](Key &root, bool &changed) -> LONG {
    if (!Resolve(root, base.path)) return ERROR_KEY_DELETED;
    std::vector<std::u16string> parentPath(target.begin(), target.end() - 1);
    Key *parent = Resolve(root, parentPath);
    Key *k = parent ? parent->FindSub(target.back()) : nullptr;
    if (!k) return ERROR_FILE_NOT_FOUND;
    if (!k->subkeys.empty()) return ERROR_ACCESS_DENIED;  // NT deletes only leaf keys
    auto &subs = parent->subkeys;
    subs.erase(std::find_if(subs.begin(), subs.end(), [&](const std::unique_ptr<Key> &p) { return p.get() == k; }));
    parent->lastWrite = Now();
    changed = true;
    return ERROR_SUCCESS;
  });
}

// ---------------------------------------------------------------- values

LONG WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData)
{
  KeepLastError keep;
  if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  KeyRef ref;
  LONG rc = GetKeyRef(hKey, ref);
  if (rc != ERROR_SUCCESS) return rc;
  if (!(ref.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::lock_guard<std::mutex> g(g_lock);
  Key *k;
  if ((rc = FindKeyForRead(ref, k)) != ERROR_SUCCESS) return rc;
  Value *v = k->FindValue(lpValueName ? std::u16string(lpValueName) : std::u16string());
  if (!v) return ERROR_FILE_NOT_FOUND;
  if (lpType) *lpType = v->type;
  DWORD size = static_cast<DWORD>(v->data.size());
  if (!lpcbData) return ERROR_SUCCESS;
  if (!lpData) {
    *lpcbData = size;
    return ERROR_SUCCESS;
  }
  DWORD room = *lpcbData;
  *lpcbData = size;
  if (room < size) return ERROR_MORE_DATA;
  if (size) memcpy(lpData, v->data.data(), size);
  return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE *lpData,
                           DWORD cbData)
{
  KeepLastError keep;
  KeyRef ref;
  LONG rc = GetKeyRef(hKey, ref);
  if (rc != ERROR_SUCCESS) return rc;
  if (!(ref.access & KEY_SET_VALUE) || Barred(ref.hive)) return ERROR_ACCESS_DENIED;
  if (!lpData && cbData) return ERROR_NOACCESS;
  std::u16string name = lpValueName ? std::u16string(lpValueName) : std::u16string();
  if (name.size() > kMaxValueNameChars || cbData > kMaxValueBytes) return ERROR_INVALID_PARAMETER;
  if (PlatFaultHit(PLAT_FAULT_REG_WRITE)) return ERROR_CANTWRITE;
  std::string data(reinterpret_cast<const char *>(lpData), lpData ? cbData : 0);
  std::lock_guard<std::mutex> g(g_lock);
  return WriteHive(ref.hive, [&](Key &root, bool &changed) -> LONG {
    Key *k = Resolve(root, ref.path);
    if (!k) return ERROR_KEY_DELETED;
    if (Value *v = k->FindValue(name)) {
      v->type = dwType;
      v->data = data;
    } else {
      k->SetValue(Value{name, dwType, data});
    }
    k->lastWrite = Now();
    changed = true;
    return ERROR_SUCCESS;
  });
}

LONG WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName)
{
  KeepLastError keep;
  KeyRef ref;
  LONG rc = GetKeyRef(hKey, ref);
  if (rc != ERROR_SUCCESS) return rc;
  if (!(ref.access & KEY_SET_VALUE) || Barred(ref.hive)) return ERROR_ACCESS_DENIED;
  std::u16string name = lpValueName ? std::u16string(lpValueName) : std::u16string();
  std::lock_guard<std::mutex> g(g_lock);
  return WriteHive(ref.hive, [&](Key &root, bool &changed) -> LONG {
    Key *k = Resolve(root, ref.path);
    if (!k) return ERROR_KEY_DELETED;
    Value *v = k->FindValue(name);
    if (!v) return ERROR_FILE_NOT_FOUND;
    k->EraseValue(v);
    k->lastWrite = Now();
    changed = true;
    return ERROR_SUCCESS;
  });
}

// ---------------------------------------------------------------- enumeration

LONG WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                          LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
  KeepLastError keep;
  if (!lpName || !lpcchName || lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  KeyRef ref;
  LONG rc = GetKeyRef(hKey, ref);
  if (rc != ERROR_SUCCESS) return rc;
  if (!(ref.access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  std::lock_guard<std::mutex> g(g_lock);
  Key *k;
  if ((rc = FindKeyForRead(ref, k)) != ERROR_SUCCESS) return rc;
  if (dwIndex >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  const Key &sub = *k->subkeys[dwIndex];
  if ((rc = CopyName(sub.name, lpName, lpcchName)) != ERROR_SUCCESS) return rc;
  if (lpClass) {
    if (*lpcchClass < 1) return ERROR_MORE_DATA;
    lpClass[0] = 0;
    *lpcchClass = 0;
  }
  if (lpftLastWriteTime) {
    lpftLastWriteTime->dwLowDateTime = static_cast<DWORD>(sub.lastWrite);
    lpftLastWriteTime->dwHighDateTime = static_cast<DWORD>(sub.lastWrite >> 32);
  }
  return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD cchName)
{
  DWORD cch = cchName;
  return RegEnumKeyExW(hKey, dwIndex, lpName, &cch, NULL, NULL, NULL, NULL);
}

LONG WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
  KeepLastError keep;
  if (!lpValueName || !lpcchValueName || lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
  KeyRef ref;
  LONG rc = GetKeyRef(hKey, ref);
  if (rc != ERROR_SUCCESS) return rc;
  if (!(ref.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::lock_guard<std::mutex> g(g_lock);
  Key *k;
  if ((rc = FindKeyForRead(ref, k)) != ERROR_SUCCESS) return rc;
  if (dwIndex >= k->Values().size()) return ERROR_NO_MORE_ITEMS;
  const Value &v = k->Values()[dwIndex];
  if ((rc = CopyName(v.name, lpValueName, lpcchValueName)) != ERROR_SUCCESS) return rc;
  if (lpType) *lpType = v.type;
  DWORD size = static_cast<DWORD>(v.data.size());
  if (!lpcbData) return ERROR_SUCCESS;
  DWORD room = *lpcbData;
  *lpcbData = size;
  if (!lpData) return ERROR_SUCCESS;
  if (room < size) return ERROR_MORE_DATA;
  if (size) memcpy(lpData, v.data.data(), size);
  return ERROR_SUCCESS;
}

LONG WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                             LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                             LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime)
{
  KeepLastError keep;
  if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
  KeyRef ref;
  LONG rc = GetKeyRef(hKey, ref);
  if (rc != ERROR_SUCCESS) return rc;
  if (!(ref.access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  std::lock_guard<std::mutex> g(g_lock);
  Key *k;
  if ((rc = FindKeyForRead(ref, k)) != ERROR_SUCCESS) return rc;
  if (lpClass) {
    if (*lpcchClass < 1) return ERROR_MORE_DATA;
    lpClass[0] = 0;
  }
  if (lpcchClass) *lpcchClass = 0;
  DWORD maxSub = 0, maxName = 0, maxData = 0;
  for (auto &s : k->subkeys) maxSub = std::max<DWORD>(maxSub, static_cast<DWORD>(s->name.size()));
  for (auto &v : k->Values()) {
    maxName = std::max<DWORD>(maxName, static_cast<DWORD>(v.name.size()));
    maxData = std::max<DWORD>(maxData, static_cast<DWORD>(v.data.size()));
  }
  if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(k->subkeys.size());
  if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSub;
  if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
  if (lpcValues) *lpcValues = static_cast<DWORD>(k->Values().size());
  if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
  if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
  if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
  if (lpftLastWriteTime) {
    lpftLastWriteTime->dwLowDateTime = static_cast<DWORD>(k->lastWrite);
    lpftLastWriteTime->dwHighDateTime = static_cast<DWORD>(k->lastWrite >> 32);
  }
  return ERROR_SUCCESS;
}
