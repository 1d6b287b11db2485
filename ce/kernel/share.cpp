// Share-mode locks; the scheme is described in share.h.
#include "ce/kernel/share.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace ce::detail {
namespace {

// Far past the end of any file the device holds, so the locks never cover real bytes.
constexpr off_t kBase = off_t(1) << 62;
enum Byte : off_t { kHasRead = 0, kHasWrite = 1, kDeniesRead = 2, kDeniesWrite = 3, kIsOpen = 4, kBytes = 5 };

bool Lock(int fd, short type, off_t byte, off_t length) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = kBase + byte;
  fl.l_len = length;
  for (;;) {
    if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return true;
    if (errno != EINTR) return false;
  }
}

// Whether any other open file description holds a lock within the given bytes.
bool HeldByOthers(int fd, off_t byte, off_t length) {
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = kBase + byte;
  fl.l_len = length;
  if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

bool Gate(int fd, int operation) {
  for (;;) {
    if (flock(fd, operation) == 0) return true;
    if (errno != EINTR) return false;
  }
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_ino == b.st_ino && a.st_dev == b.st_dev; }

}  // namespace

ShareResult AcquireShare(int fd, const std::string& hostPath, const struct stat& opened, DWORD access, DWORD share) {
  if (!Gate(fd, LOCK_EX)) return ShareResult::kOk;
  struct stat now;
  if (stat(hostPath.c_str(), &now) != 0 || !SameFile(now, opened)) {
    Gate(fd, LOCK_UN);
    return ShareResult::kFileReplaced;
  }
  bool read = (access & (GENERIC_READ | GENERIC_ALL)) != 0;
  bool write = (access & (GENERIC_WRITE | GENERIC_ALL)) != 0;
  bool sharesRead = (share & FILE_SHARE_READ) != 0;
  bool sharesWrite = (share & FILE_SHARE_WRITE) != 0;
  bool conflict = (read && HeldByOthers(fd, kDeniesRead, 1)) || (write && HeldByOthers(fd, kDeniesWrite, 1)) ||
                  (!sharesRead && HeldByOthers(fd, kHasRead, 1)) || (!sharesWrite && HeldByOthers(fd, kHasWrite, 1));
  if (!conflict) {
    if (read) Lock(fd, F_RDLCK, kHasRead, 1);
    if (write) Lock(fd, F_RDLCK, kHasWrite, 1);
    if (!sharesRead) Lock(fd, F_RDLCK, kDeniesRead, 1);
    if (!sharesWrite) Lock(fd, F_RDLCK, kDeniesWrite, 1);
    // A handle that neither reads, writes nor denies still counts as open (for DeleteFileW).
    if (!read && !write && sharesRead && sharesWrite) Lock(fd, F_RDLCK, kIsOpen, 1);
  }
  Gate(fd, LOCK_UN);
  return conflict ? ShareResult::kConflict : ShareResult::kOk;
}

int GateForExclusiveUse(const std::string& hostPath, bool& open) {
  open = false;
  // O_NONBLOCK: a FIFO put in the file's place must not block this open.
  int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  if (!Gate(fd, LOCK_EX)) {
    close(fd);
    return -1;
  }
  open = HeldByOthers(fd, kHasRead, kBytes);
  return fd;
}

void ReleaseGate(int gateFd) {
  if (gateFd >= 0) close(gateFd);  // closing lets go of the gate
}

}  // namespace ce::detail
