// Directory listing: FindFirstFileW, FindNextFileW, FindClose, and the wildcard
// matching of Windows names.
#include <dirent.h>
#include <errno.h>
#include <string.h>
#include <sys/stat.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "file_object.h"

namespace plat {
namespace {

// Pattern elements. FindFirstFile hands patterns to the file system in the DOS form:
// '?' becomes DOS_QM, '.' before a wildcard or at the end DOS_DOT, '*' before a '.'
// DOS_STAR, and "*.*" a plain '*'.
enum : int {
  kStar = -1,     // any run of characters
  kDosStar = -2,  // any run of characters up to, not including, the name's last '.'
  kDosQm = -3,    // one character; nothing at a '.' or at the end of the name
  kDosDot = -4,   // a '.', or nothing at the end of the name
};

std::vector<int> CompilePattern(const std::u16string &p)
{
  std::vector<int> out;
  if (p == u"*.*") return {kStar};
  for (size_t i = 0; i < p.size(); ++i) {
    WCHAR c = p[i];
    WCHAR next = i + 1 < p.size() ? p[i + 1] : 0;
    if (c == u'?' || c == u'>')
      out.push_back(kDosQm);
    else if (c == u'<' || (c == u'*' && next == u'.'))
      out.push_back(kDosStar);
    else if (c == u'*')
      out.push_back(kStar);
    else if (c == u'"' || (c == u'.' && (next == 0 || next == u'?' || next == u'*')))
      out.push_back(kDosDot);
    else
      out.push_back(FoldUpper(c));
  }
  return out;
}

// Matches by dynamic programming over (pattern position, name position).
class Matcher {
 public:
  Matcher(const std::vector<int> &pat, const std::u16string &name)
      : pat_(pat), name_(name), memo_((pat.size() + 1) * (name.size() + 1), -1)
  {
    size_t dot = name.rfind(u'.');
    lastDot_ = dot == std::u16string::npos ? name.size() : dot;
  }
  bool Run() { return At(0, 0); }

 private:
  bool At(size_t pi, size_t ni)
  {
    signed char &m = memo_[pi * (name_.size() + 1) + ni];
    if (m < 0) m = Compute(pi, ni) ? 1 : 0;
    return m != 0;
  }
  bool Compute(size_t pi, size_t ni)
  {
    const size_t n = name_.size();
    if (pi == pat_.size()) return ni == n;
    int t = pat_[pi];
    switch (t) {
      case kStar: return At(pi + 1, ni) || (ni < n && At(pi, ni + 1));
      case kDosStar: return At(pi + 1, ni) || (ni < n && ni != lastDot_ && At(pi, ni + 1));
      case kDosQm:
        if (ni == n || name_[ni] == u'.') return At(pi + 1, ni);
        return At(pi + 1, ni + 1);
      case kDosDot:
        if (ni == n) return At(pi + 1, ni);
        return name_[ni] == u'.' && At(pi + 1, ni + 1);
      default: return ni < n && FoldUpper(name_[ni]) == t && At(pi + 1, ni + 1);
    }
  }
  const std::vector<int> &pat_;
  const std::u16string &name_;
  std::vector<signed char> memo_;
  size_t lastDot_;
};

bool IsSep(WCHAR c) { return c == u'\\' || c == u'/'; }

// Host names that no Windows path can name are left out of listings.
bool IsWindowsName(const std::u16string &n)
{
  if (n.empty() || n.size() >= MAX_PATH) return false;
  for (WCHAR c : n) {
    if (c < 0x20 || c == u'\\' || c == u'/' || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' ||
        c == u'>' || c == u'|' || c == 0xFFFD)
      return false;
  }
  return true;
}

void FillFindData(const struct stat &st, const std::u16string &name, WIN32_FIND_DATAW &d)
{
  memset(&d, 0, sizeof d);
  d.dwFileAttributes = AttributesFromStat(st);
  d.ftCreationTime = FileTimeFromTimespec(st.st_ctim);
  d.ftLastAccessTime = FileTimeFromTimespec(st.st_atim);
  d.ftLastWriteTime = FileTimeFromTimespec(st.st_mtim);
  if (!S_ISDIR(st.st_mode)) {
    uint64_t size = static_cast<uint64_t>(st.st_size);
    d.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    d.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  }
  memcpy(d.cFileName, name.data(), name.size() * sizeof(WCHAR));
}

struct FindObject : Object {
  FindObject() : Object(OBJ_FIND) {}
  std::mutex lock;
  std::vector<WIN32_FIND_DATAW> entries;
  size_t next = 0;
};

}  // namespace

bool WildcardMatch(const std::u16string &pattern, const std::u16string &name)
{
  std::vector<int> pat = CompilePattern(pattern);
  return Matcher(pat, name).Run();
}

}  // namespace plat

namespace {

HANDLE FailFind(DWORD err)
{
  SetLastError(err);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData)
{
  if (!lpFileName || !lpFindFileData) return FailFind(ERROR_INVALID_PARAMETER);
  std::u16string in(lpFileName);
  if (in.empty()) return FailFind(ERROR_PATH_NOT_FOUND);
  // Split into the folder and the pattern of the last component.
  size_t cut = in.size();
  while (cut > 0 && !plat::IsSep(in[cut - 1])) --cut;
  if (cut == 0 && in.size() >= 2 && in[1] == u':') cut = 2;  // "C:*.ini"
  std::u16string folder = in.substr(0, cut), pattern = in.substr(cut);
  if (pattern.empty()) return FailFind(ERROR_FILE_NOT_FOUND);  // "C:\\folder\\" names no entry
  if (pattern.size() >= MAX_PATH) return FailFind(ERROR_FILENAME_EXCED_RANGE);
  for (WCHAR c : folder)
    if (c == u'*' || c == u'?') return FailFind(ERROR_INVALID_NAME);
  for (WCHAR c : pattern)
    if (c < 0x20 || c == u'|' || c == u':') return FailFind(ERROR_INVALID_NAME);
  if (folder.empty()) folder = u".";
  std::u16string fullFolder;
  std::string host;
  if (!plat::FullWinPath(folder.c_str(), fullFolder) || !plat::MapPath(fullFolder.c_str(), host))
    return INVALID_HANDLE_VALUE;
  struct stat dirSt;
  if (stat(host.c_str(), &dirSt) != 0 || !S_ISDIR(dirSt.st_mode)) return FailFind(ERROR_PATH_NOT_FOUND);

  std::vector<int> pat = plat::CompilePattern(pattern);
  auto find = std::make_shared<plat::FindObject>();
  std::vector<WIN32_FIND_DATAW> named;
  if (DIR *d = opendir(host.c_str())) {
    while (struct dirent *e = readdir(d)) {
      if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
      std::u16string name = plat::Utf8ToUtf16(e->d_name);
      if (!plat::IsWindowsName(name) || !plat::Matcher(pat, name).Run()) continue;
      // A symbolic link is listed with its target's data and the reparse-point attribute, as
      // Windows lists a junction or a directory link, so a tree walk can leave it unfollowed.
      std::string entry = host + "/" + e->d_name;
      struct stat st, lst;
      if (stat(entry.c_str(), &st) != 0) continue;
      named.emplace_back();
      plat::FillFindData(st, name, named.back());
      if (lstat(entry.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode))
        named.back().dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    }
    closedir(d);
  } else {
    plat::SetErrorFromErrno(errno);
    return INVALID_HANDLE_VALUE;
  }
  std::sort(named.begin(), named.end(), [](const WIN32_FIND_DATAW &a, const WIN32_FIND_DATAW &b) {
    return plat::FoldCompare(a.cFileName, plat::WLen(a.cFileName), b.cFileName, plat::WLen(b.cFileName)) < 0;
  });
  // Folders other than a drive's root list "." and ".." first.
  if (fullFolder.size() > 3) {
    struct stat parentSt;
    std::string parent = host.substr(0, host.rfind('/'));
    if (plat::Matcher(pat, u".").Run()) {
      find->entries.emplace_back();
      plat::FillFindData(dirSt, u".", find->entries.back());
    }
    if (plat::Matcher(pat, u"..").Run() && stat(parent.c_str(), &parentSt) == 0) {
      find->entries.emplace_back();
      plat::FillFindData(parentSt, u"..", find->entries.back());
    }
  }
  find->entries.insert(find->entries.end(), named.begin(), named.end());
  if (find->entries.empty()) return FailFind(ERROR_FILE_NOT_FOUND);
  *lpFindFileData = find->entries[0];
  find->next = 1;
  HANDLE h = plat::HandleAdd(find);
  if (!h) return INVALID_HANDLE_VALUE;
  SetLastError(NO_ERROR);
  return h;
}

BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData)
{
  auto find = plat::HandleGetAs<plat::FindObject>(hFindFile, plat::OBJ_FIND);
  if (!find) return FALSE;
  if (!lpFindFileData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> g(find->lock);
  if (find->next >= find->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *lpFindFileData = find->entries[find->next++];
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile)
{
  if (!plat::HandleGet(hFindFile, plat::OBJ_FIND)) return FALSE;
  return plat::HandleClose(hFindFile);
}
