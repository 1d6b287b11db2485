// Share modes across every handle of the device, in this process and in others.
//
// Every file handle's own descriptor holds shared (read) byte-range locks of the open-file-
// description kind (F_OFD_SETLK) on bytes far past any real file's end, one byte per fact:
//   kBase+0 "has read access", +1 "denies write", +2 "has write access", +3 "denies read",
//   +4 "is open" (held by a handle that neither reads, writes nor denies).
// Adjacent bytes are checked and taken as one range, so a common open costs one of each.
// A new open asks, with F_OFD_GETLK, whether any other description holds the bytes it conflicts
// with, then takes its own. flock(LOCK_EX) on the same file is the gate held across that
// check-and-take, so two opens cannot pass each other (flock and byte-range locks do not meet).
// A file the open has just created needs no gate: its locks go first and the check after.
// Locks vanish with their descriptor, also when a process dies; nothing is created or removed
// beside the file, so a handle nobody else holds costs a few system calls. An open that waited on
// the gate while the file was deleted or replaced notices (its inode is no longer at the path)
// and starts over.
#pragma once

#include <sys/stat.h>

#include <string>

#include "ce/kernel.h"

namespace ce::detail {

enum class ShareResult { kOk, kConflict, kFileReplaced };

// Registers an open of the host file behind fd (opened from hostPath, fstat'ed as `opened`) with
// the given access and share mode; the locks live as long as fd. kConflict: another handle's
// access or share mode forbids it. kFileReplaced: hostPath no longer names fd's file (deleted or
// replaced since it was opened): open it again. When the file cannot be locked, share modes are
// not enforced and the result is kOk.
ShareResult AcquireShare(int fd, const std::string& hostPath, const struct stat& opened, DWORD access, DWORD share);

// AcquireShare for a file this open has just made (O_CREAT | O_EXCL): no open can have checked
// against it before, so its locks are taken first and the conflicts checked after, without the
// gate; a concurrent open then sees them, or is seen. kFileReplaced: it was deleted meanwhile.
ShareResult AcquireShareOfNewFile(int fd, DWORD access, DWORD share);

// Runs action (which returns a Win32 error, 0 for success) unless the file at hostPath is open
// through any handle; ERROR_SHARING_VIOLATION then. No handle can open the file while action runs.
template <class Action>
DWORD UnlessOpen(const std::string& hostPath, Action action);

// The non-template core of UnlessOpen: opens hostPath and takes its gate; returns the descriptor
// (or -1 when share modes cannot be checked) and whether the file is open.
int GateForExclusiveUse(const std::string& hostPath, bool& open);
// Releases the gate taken by GateForExclusiveUse.
void ReleaseGate(int gateFd);

template <class Action>
DWORD UnlessOpen(const std::string& hostPath, Action action) {
  bool open = false;
  int gateFd = GateForExclusiveUse(hostPath, open);
  DWORD result = open ? DWORD(ERROR_SHARING_VIOLATION) : action();
  ReleaseGate(gateFd);
  return result;
}

}  // namespace ce::detail
