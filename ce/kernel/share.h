// Share modes across every handle of the device, in this process and in others.
//
// Each open host file (by device and inode) has a lock file $CE_DEVICE/locks/<dev>-<ino>. Every file
// handle keeps its own descriptor of that lock file and holds shared (read) byte-range locks of the
// open-file-description kind (F_OFD_SETLK) on the bytes that describe it:
//   byte 1 "has read access", 2 "has write access", 3 "denies read", 4 "denies write".
// A new open asks, with F_OFD_GETLK, whether any other description holds the bytes it conflicts
// with, then takes its own; byte 0 is an exclusive gate held across that check-and-take so two
// opens cannot pass each other. Locks vanish with their descriptor, also when a process dies, so
// nothing needs cleaning after a crash. The last handle to close removes the lock file under the
// gate; an open that waited on the gate of a removed lock file notices (its inode is no longer at
// the path) and starts over.
#pragma once

#include <memory>
#include <string>

#include "ce/kernel.h"

namespace ce::detail {

class ShareLock {
 public:
  enum class Result { kOk, kConflict, kFileReplaced };

  // Registers an open of the host file behind fd (at hostPath) with the given access and share
  // mode. kConflict: another handle's access or share mode forbids it. kFileReplaced: hostPath no
  // longer names fd's file (deleted or replaced since it was opened): open it again. When the lock
  // folder cannot be used, share modes are not enforced and the result is kOk with no lock.
  static Result Acquire(int fd, const std::string& hostPath, DWORD access, DWORD share,
                        std::unique_ptr<ShareLock>& lock);
  ~ShareLock();

  ShareLock(const ShareLock&) = delete;
  ShareLock& operator=(const ShareLock&) = delete;

 private:
  ShareLock(int lockFd, std::string lockPath) : lockFd_(lockFd), lockPath_(std::move(lockPath)) {}
  int lockFd_;
  std::string lockPath_;
};

// Runs action (which returns a Win32 error, 0 for success) unless the file at hostPath is open
// through any handle; ERROR_SHARING_VIOLATION then. No handle can open the file while action runs.
template <class Action>
DWORD UnlessOpen(const std::string& hostPath, Action action);

// The non-template core of UnlessOpen: acquires the gate; returns the lock descriptor (or -1 when
// share modes are not enforced) and whether the file is open.
int GateForExclusiveUse(const std::string& hostPath, bool& open, std::string& lockPath);
// Releases the gate taken by GateForExclusiveUse, removing the unused lock file.
void ReleaseGate(int lockFd, const std::string& lockPath);

template <class Action>
DWORD UnlessOpen(const std::string& hostPath, Action action) {
  bool open = false;
  std::string lockPath;
  int lockFd = GateForExclusiveUse(hostPath, open, lockPath);
  DWORD result = open ? DWORD(ERROR_SHARING_VIOLATION) : action();
  ReleaseGate(lockFd, lockPath);
  return result;
}

}  // namespace ce::detail
