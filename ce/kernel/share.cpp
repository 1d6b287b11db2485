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
// Ordered so that the bytes a common open checks, and those it takes, lie side by side: a reader
// sharing reads takes "has read" + "denies write" and checks "has write" + "denies read".
enum Byte : off_t { kHasRead = 0, kDeniesWrite = 1, kHasWrite = 2, kDeniesRead = 3, kIsOpen = 4, kBytes = 5 };

// Calls `each(first, length)` once per run of adjacent bytes set in `bytes` (bit i: byte i).
template <class Each>
bool ForEachRun(unsigned bytes, Each each) {
  for (off_t byte = 0; byte < kBytes;) {
    if (!(bytes & (1u << byte))) {
      ++byte;
      continue;
    }
    off_t end = byte;
    while (end < kBytes && (bytes & (1u << end))) ++end;
    if (each(byte, end - byte)) return true;
    byte = end;
  }
  return false;
}

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

// The bytes an open with this access and share mode conflicts with, and those it holds.
struct ShareBytes {
  unsigned checks;
  unsigned takes;
};

ShareBytes BytesFor(DWORD access, DWORD share) {
  const bool read = (access & (GENERIC_READ | GENERIC_ALL)) != 0;
  const bool write = (access & (GENERIC_WRITE | GENERIC_ALL)) != 0;
  const bool sharesRead = (share & FILE_SHARE_READ) != 0;
  const bool sharesWrite = (share & FILE_SHARE_WRITE) != 0;
  auto bit = [](Byte byte) { return 1u << byte; };
  ShareBytes bytes;
  bytes.checks = (read ? bit(kDeniesRead) : 0) | (write ? bit(kDeniesWrite) : 0) | (!sharesRead ? bit(kHasRead) : 0) |
                 (!sharesWrite ? bit(kHasWrite) : 0);
  bytes.takes = (read ? bit(kHasRead) : 0) | (write ? bit(kHasWrite) : 0) | (!sharesRead ? bit(kDeniesRead) : 0) |
                (!sharesWrite ? bit(kDeniesWrite) : 0);
  // A handle that neither reads, writes nor denies still counts as open (for DeleteFileW).
  if (bytes.takes == 0) bytes.takes = bit(kIsOpen);
  return bytes;
}

bool HeldByOthersAny(int fd, unsigned bytes) {
  return ForEachRun(bytes, [fd](off_t byte, off_t length) { return HeldByOthers(fd, byte, length); });
}

void Take(int fd, unsigned bytes, short type) {
  ForEachRun(bytes, [fd, type](off_t byte, off_t length) {
    Lock(fd, type, byte, length);
    return false;
  });
}

}  // namespace

ShareResult AcquireShare(int fd, const std::string& hostPath, const struct stat& opened, DWORD access, DWORD share) {
  if (!Gate(fd, LOCK_EX)) return ShareResult::kOk;
  struct stat now;
  if (stat(hostPath.c_str(), &now) != 0 || !SameFile(now, opened)) {
    Gate(fd, LOCK_UN);
    return ShareResult::kFileReplaced;
  }
  const ShareBytes bytes = BytesFor(access, share);
  const bool conflict = HeldByOthersAny(fd, bytes.checks);
  if (!conflict) Take(fd, bytes.takes, F_RDLCK);
  Gate(fd, LOCK_UN);
  return conflict ? ShareResult::kConflict : ShareResult::kOk;
}

ShareResult AcquireShareOfNewFile(int fd, DWORD access, DWORD share) {
  const ShareBytes bytes = BytesFor(access, share);
  Take(fd, bytes.takes, F_RDLCK);
  if (HeldByOthersAny(fd, bytes.checks)) {
    Take(fd, bytes.takes, F_UNLCK);
    return ShareResult::kConflict;
  }
  // Deleted (or replaced) before the locks were there, by someone who found it not open.
  struct stat now;
  if (fstat(fd, &now) != 0 || now.st_nlink == 0) return ShareResult::kFileReplaced;
  return ShareResult::kOk;
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
