// Share-mode locks; the scheme is described in share.h.
#include "ce/kernel/share.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "ce/device.h"

namespace ce::detail {
namespace {

enum Byte : off_t { kGate = 0, kHasRead = 1, kHasWrite = 2, kDeniesRead = 3, kDeniesWrite = 4 };

bool Lock(int fd, short type, off_t start, off_t length, bool wait) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = length;
  for (;;) {
    if (fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl) == 0) return true;
    if (errno != EINTR) return false;
  }
}

// Whether any other open file description holds a lock within [start, start + length).
bool HeldByOthers(int fd, off_t start, off_t length) {
  struct flock fl = {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = length;
  if (fcntl(fd, F_OFD_GETLK, &fl) != 0) return false;
  return fl.l_type != F_UNLCK;
}

std::string LockPathFor(const struct stat& st) {
  char name[64];
  snprintf(name, sizeof name, "/%llx-%llx", (unsigned long long)st.st_dev, (unsigned long long)st.st_ino);
  return DeviceRoot() + "/locks" + name;
}

// Opens the lock file at path and takes its gate; -1 when the lock folder cannot be used.
int OpenGated(const std::string& path) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 && errno == ENOENT) {
      mkdir((DeviceRoot() + "/locks").c_str(), 0777);
      fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    }
    if (fd < 0) return -1;
    if (!Lock(fd, F_WRLCK, kGate, 1, true)) {
      close(fd);
      return -1;
    }
    // The last closer may have removed this lock file while we waited for its gate.
    struct stat held, current;
    if (fstat(fd, &held) == 0 && stat(path.c_str(), &current) == 0 && held.st_ino == current.st_ino &&
        held.st_dev == current.st_dev)
      return fd;
    close(fd);
  }
  return -1;
}

// Removes the lock file when no handle holds it any more, then lets go of the gate.
void CloseGated(int fd, const std::string& path) {
  if (!HeldByOthers(fd, kHasRead, 5)) unlink(path.c_str());
  close(fd);
}

}  // namespace

ShareLock::Result ShareLock::Acquire(int fd, const std::string& hostPath, DWORD access, DWORD share,
                                     std::unique_ptr<ShareLock>& lock) {
  lock.reset();
  struct stat st, now;
  if (fstat(fd, &st) != 0) return Result::kFileReplaced;
  std::string path = LockPathFor(st);
  int lockFd = OpenGated(path);
  if (stat(hostPath.c_str(), &now) != 0 || now.st_ino != st.st_ino || now.st_dev != st.st_dev) {
    if (lockFd >= 0) CloseGated(lockFd, path);
    return Result::kFileReplaced;
  }
  if (lockFd < 0) return Result::kOk;
  bool read = (access & (GENERIC_READ | GENERIC_ALL)) != 0;
  bool write = (access & (GENERIC_WRITE | GENERIC_ALL)) != 0;
  bool sharesRead = (share & FILE_SHARE_READ) != 0;
  bool sharesWrite = (share & FILE_SHARE_WRITE) != 0;
  bool conflict = (read && HeldByOthers(lockFd, kDeniesRead, 1)) || (write && HeldByOthers(lockFd, kDeniesWrite, 1)) ||
                  (!sharesRead && HeldByOthers(lockFd, kHasRead, 1)) ||
                  (!sharesWrite && HeldByOthers(lockFd, kHasWrite, 1));
  if (conflict) {
    close(lockFd);  // others hold the file, so the lock file stays
    return Result::kConflict;
  }
  if (read) Lock(lockFd, F_RDLCK, kHasRead, 1, false);
  if (write) Lock(lockFd, F_RDLCK, kHasWrite, 1, false);
  if (!sharesRead) Lock(lockFd, F_RDLCK, kDeniesRead, 1, false);
  if (!sharesWrite) Lock(lockFd, F_RDLCK, kDeniesWrite, 1, false);
  // A handle that neither reads, writes nor denies still counts as open (for DeleteFileW).
  if (!read && !write && sharesRead && sharesWrite) Lock(lockFd, F_RDLCK, 5, 1, false);
  Lock(lockFd, F_UNLCK, kGate, 1, false);
  lock.reset(new ShareLock(lockFd, std::move(path)));
  return Result::kOk;
}

ShareLock::~ShareLock() {
  if (!Lock(lockFd_, F_WRLCK, kGate, 1, true)) {
    close(lockFd_);
    return;
  }
  Lock(lockFd_, F_UNLCK, kHasRead, 5, false);
  CloseGated(lockFd_, lockPath_);
}

int GateForExclusiveUse(const std::string& hostPath, bool& open, std::string& lockPath) {
  open = false;
  struct stat st;
  if (stat(hostPath.c_str(), &st) != 0) return -1;
  lockPath = LockPathFor(st);
  int fd = OpenGated(lockPath);
  if (fd >= 0) open = HeldByOthers(fd, kHasRead, 5);
  return fd;
}

void ReleaseGate(int lockFd, const std::string& lockPath) {
  if (lockFd >= 0) CloseGated(lockFd, lockPath);
}

}  // namespace ce::detail
