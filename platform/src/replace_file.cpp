// Whole-file replacement: the one way the layer's own writers (the registry and spooler
// store, the private-profile INI functions, module registration) give a file new
// contents. A temporary file beside it takes the bytes and is renamed over it, so a
// reader never sees half a file, and the rename replaces a link in the file's place
// rather than writing through it: the machine root stays the boundary of what the layer
// writes.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "internal.h"

namespace plat {
namespace {

std::atomic<unsigned> g_replaceCounter{0};

// A host name keeps to this many bytes, so that a long file name with the temporary
// suffix still fits the host's limit on one name.
constexpr size_t kMaxBaseBytes = 200;

bool WriteFully(int fd, const std::string &bytes)
{
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Creates a fresh temporary file in dir named after base, this process and a counter;
// an entry already there under that name (left by a process that had this id before)
// moves on to the next count. Answers the descriptor, or -1 with errno set.
int CreateTemporary(const std::string &dir, const std::string &base, std::string &temp)
{
  std::string stem = dir + "/." + base.substr(0, kMaxBaseBytes) + ".~";
  for (int attempt = 0; attempt < 64; ++attempt) {
    char tail[40];
    snprintf(tail, sizeof tail, "%ld-%u", static_cast<long>(getpid()), ++g_replaceCounter);
    temp = stem + tail;
    // O_EXCL with O_CREAT never follows a link: the file made is always a new one.
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

bool ReplaceHostFile(const std::string &host, const std::string &bytes, const ReplaceOptions &options)
{
  size_t slash = host.rfind('/');
  if (slash == std::string::npos || slash + 1 >= host.size()) {
    SetLastError(ERROR_INVALID_NAME);
    errno = EINVAL;
    return false;
  }
  if (!EntryInsideMachine(host)) return false;
  std::string dir = slash == 0 ? std::string("/") : host.substr(0, slash);
  std::string temp;
  int fd = CreateTemporary(dir, host.substr(slash + 1), temp);
  if (fd < 0) {
    int e = errno;
    if (e == ENOENT || e == ENOTDIR)
      SetLastError(ERROR_PATH_NOT_FOUND);  // a new name: its folder is what is missing
    else
      SetErrorFromErrno(e);
    errno = e;
    return false;
  }
  int err = 0;
  bool faulted = false;
  if (options.keepMode && fchmod(fd, options.mode & 07777) != 0) err = errno;
  if (!err && !WriteFully(fd, bytes)) err = errno;
  if (!err && options.countWriteFault && PlatFaultHit(PLAT_FAULT_FILE_WRITE)) faulted = true;
  if (!err && !faulted && options.durable && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && !err && !faulted) err = errno;
  if (!err && !faulted && rename(temp.c_str(), host.c_str()) != 0) err = errno;
  NoteFolderChange();  // the file may be new
  if (err || faulted) {
    unlink(temp.c_str());
    if (faulted) {
      SetLastError(ERROR_DISK_FULL);  // an injected failure looks like a full disk, as for WriteFile
      err = ENOSPC;
    } else {
      SetErrorFromErrno(err);
    }
    errno = err;
    return false;
  }
  if (options.durable) {
    // Makes the rename itself durable.
    int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
      fsync(dirFd);
      close(dirFd);
    }
  }
  return true;
}

}  // namespace plat
