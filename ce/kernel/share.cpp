// Share-mode locks; the scheme is described in share.h.
#include "ce/kernel/share.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ce::detail {
namespace {

// Far past the end of any file the device holds, so the locks never cover real bytes.
constexpr off_t kBase = off_t(1) << 62;
// Ordered so that the bytes a common open checks, and those it takes, lie side by side: a reader
// sharing reads takes "has read" + "denies write" and checks "being removed" + "has write" +
// "denies read"; a writer sharing writes takes the last two and checks the first three.
enum Byte : off_t {
  kHasRead = 0,
  kDeniesWrite = 1,
  kBeingRemoved = 2,
  kHasWrite = 3,
  kDeniesRead = 4,
  kIsOpen = 5,
  kBytes = 6
};

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

// 0 when locked, else the errno of the refusal.
int Lock(int fd, short type, off_t byte, off_t length) {
  struct flock fl = {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = kBase + byte;
  fl.l_len = length;
  for (;;) {
    if (fcntl(fd, F_OFD_SETLK, &fl) == 0) return 0;
    if (errno != EINTR) return errno;
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

void Release(int fd, unsigned bytes) {
  ForEachRun(bytes, [fd](off_t byte, off_t length) {
    Lock(fd, F_UNLCK, byte, length);
    return false;
  });
}

// What taking a handle's bytes came to.
enum class Taken {
  kTaken,
  kGated,      // a delete or move holds the file (its exclusive lock refused ours): nothing taken
  kUnlockable  // the file system keeps no such locks: nothing taken
};

// Takes the bytes as shared locks, all or none.
Taken Take(int fd, unsigned bytes) {
  int refusal = 0;
  unsigned taken = 0;
  ForEachRun(bytes, [&](off_t byte, off_t length) {
    refusal = Lock(fd, F_RDLCK, byte, length);
    if (refusal != 0) return true;
    for (off_t b = byte; b < byte + length; ++b) taken |= 1u << b;
    return false;
  });
  if (refusal == 0) return Taken::kTaken;
  Release(fd, taken);
  return refusal == EAGAIN || refusal == EACCES ? Taken::kGated : Taken::kUnlockable;
}

// What one attempt at taking a file's locks came to.
enum class Attempt {
  kDone,
  kRefused,  // another handle holds what this one conflicts with
  kRemoving  // a delete or move of the file is under way
};

// Repeats attempt until it is done. Of two parties at the same moment at least one sees the
// other; both may see each other and give way, so a refusal is tried once more, and in practice
// only a real holder makes it fail. A delete or move under way (a peer renaming a file into place
// holds it until it closes, a moment after the name appeared) is waited out, for up to 1000
// yields. False when refused twice.
template <class Try>
bool UntilDone(Try attempt) {
  constexpr int kRemovalWaits = 1000;
  for (int round = 0, waits = 0;;) {
    const Attempt outcome = attempt();
    if (outcome == Attempt::kDone) return true;
    if (outcome == Attempt::kRemoving && waits < kRemovalWaits) {
      ++waits;
    } else if (++round > 1) {
      return false;
    }
    sched_yield();
  }
}

// Takes the bytes, then checks the others', giving its own back when they conflict.
ShareResult TakeThenCheck(int fd, unsigned takes, unsigned checks, bool* enforced = nullptr) {
  bool unlockable = false;
  const bool done = UntilDone([&] {
    const Taken taken = Take(fd, takes);
    if (taken == Taken::kUnlockable) {
      unlockable = true;  // share modes are not enforced here
      return Attempt::kDone;
    }
    if (taken == Taken::kTaken) {
      if (!HeldByOthersAny(fd, checks)) return Attempt::kDone;
      Release(fd, takes);
    }
    return taken == Taken::kGated || HeldByOthers(fd, kBeingRemoved, 1) ? Attempt::kRemoving : Attempt::kRefused;
  });
  if (enforced) *enforced = !unlockable;
  return done ? ShareResult::kOk : ShareResult::kConflict;
}

// An open also checks that no delete or move of the file is under way.
ShareResult TakeForOpen(int fd, const ShareBytes& bytes, bool* enforced = nullptr) {
  return TakeThenCheck(fd, bytes.takes, bytes.checks | (1u << kBeingRemoved), enforced);
}

}  // namespace

ShareResult AcquireShare(int fd, const std::string& hostPath, const struct stat& opened, DWORD access, DWORD share,
                         off_t* heldSize) {
  if (heldSize) *heldSize = -1;
  const ShareBytes bytes = BytesFor(access, share);
  bool enforced = false;
  const ShareResult result = TakeForOpen(fd, bytes, &enforced);
  if (result != ShareResult::kOk) return result;
  // A delete or move that ended before the locks were taken: the path no longer names the file.
  struct stat now;
  if (stat(hostPath.c_str(), &now) != 0 || !SameFile(now, opened)) {
    Release(fd, bytes.takes);
    return ShareResult::kFileReplaced;
  }
  // Locks that keep every writer out (no other handle writes, none may start) fix the size.
  const bool writes = (access & (GENERIC_WRITE | GENERIC_ALL)) != 0;
  if (heldSize && enforced && !writes && !(share & FILE_SHARE_WRITE)) *heldSize = now.st_size;
  return ShareResult::kOk;
}

ShareResult AcquireShareOfNewFile(int fd, DWORD access, DWORD share) {
  const ShareBytes bytes = BytesFor(access, share);
  const ShareResult result = TakeForOpen(fd, bytes);
  if (result != ShareResult::kOk) return result;
  // Deleted before the locks were there, by someone who found it not open.
  struct stat now;
  if (fstat(fd, &now) != 0 || now.st_nlink == 0) return ShareResult::kFileReplaced;
  return ShareResult::kOk;
}

bool TakeShareOfUnnamedFile(int fd, DWORD access, DWORD share) {
  return Take(fd, BytesFor(access, share).takes) == Taken::kTaken;
}

int OpenForGate(const std::string& hostPath) {
  // O_NONBLOCK: a FIFO put in the file's place must not block this open.
  const int fd = ::open(hostPath.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd >= 0 || errno == ENOENT || errno == ENOTDIR) return fd;
  // Not writable here (a folder, a read-only file or file system): the slower gate of shared locks.
  return ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

int GateForExclusiveUse(const std::string& hostPath, bool& open, int openedFd) {
  open = false;
  int fd = openedFd >= 0 ? openedFd : OpenForGate(hostPath);
  if (fd < 0) return -1;
  // One exclusive lock over every byte, taken or refused at once: refused while any handle holds
  // the file (or another delete or move runs), and every open meanwhile is refused and gives way.
  bool readOnly = false;
  const bool done = UntilDone([&] {
    const int refusal = Lock(fd, F_WRLCK, 0, kBytes);
    if (refusal == EBADF) readOnly = true;  // opened read-only: see below
    // Taken, or share modes not enforced here.
    if (refusal != EAGAIN && refusal != EACCES) return Attempt::kDone;
    return HeldByOthers(fd, kBeingRemoved, 1) ? Attempt::kRemoving : Attempt::kRefused;
  });
  if (!readOnly) {
    open = !done;
    return fd;
  }
  // A descriptor that cannot write takes no exclusive lock: "being removed" shared, then every
  // other byte checked.
  open = TakeThenCheck(fd, 1u << kBeingRemoved, (1u << kBytes) - 1) == ShareResult::kConflict;
  return fd;
}

void ReleaseGate(int gateFd) {
  if (gateFd >= 0) close(gateFd);  // closing lets go of its locks
}

}  // namespace ce::detail
