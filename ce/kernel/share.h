// Share modes across every handle of the device, in this process and in others.
//
// Every file handle's own descriptor holds shared (read) byte-range locks of the open-file-
// description kind (F_OFD_SETLK) on bytes far past any real file's end, one byte per fact:
//   kBase+0 "has read access", +1 "denies write", +3 "has write access", +4 "denies read",
//   +5 "is open" (held by a handle that neither reads, writes nor denies); +2 "being removed" is
// held only by a delete or move across its work.
// Adjacent bytes are checked and taken as one range, so a common open costs one of each.
// An open takes its own bytes first, then asks with F_OFD_GETLK whether any other description
// holds the bytes it conflicts with, and gives its own back if so: of two at the same moment at
// least one sees the other. A delete or move takes every byte with one exclusive lock, which the
// system grants only while no other description holds any of them, and which makes every open
// meanwhile give way (through a descriptor that cannot write: "being removed" shared, then every
// byte checked). An open whose file is no longer at its path once its bytes are held (a delete or
// move ended just before) starts over.
// Locks vanish with their descriptor, also when a process dies; nothing is created or removed
// beside the file, so a handle nobody else holds costs a few system calls.
#pragma once

#include <sys/stat.h>

#include <string>

#include "ce/kernel.h"

namespace ce::detail {

enum class ShareResult { kOk, kConflict, kFileReplaced };

// Registers an open of the host file behind fd (opened from hostPath, fstat'ed as `opened`) with
// the given access and share mode; the locks live as long as fd. kConflict: another handle's
// access or share mode forbids it. kFileReplaced: hostPath no longer names fd's file (deleted or
// replaced since it was opened), or a delete or move is under way: open it again. When the file
// cannot be locked, share modes are not enforced and the result is kOk.
// heldSize (when given): the file's size when the locks now held keep every writer out for as long
// as fd lives (the handle neither writes nor shares writing), else -1.
ShareResult AcquireShare(int fd, const std::string& hostPath, const struct stat& opened, DWORD access, DWORD share,
                         off_t* heldSize = nullptr);

// AcquireShare for a file this open has just made (O_CREAT | O_EXCL), which its path named at
// once. kFileReplaced: it was deleted meanwhile.
ShareResult AcquireShareOfNewFile(int fd, DWORD access, DWORD share);

// Takes the locks of a handle with this access and share mode on a file that has no name yet, so
// that nobody else can hold it: nothing to check. False when the file cannot be locked.
bool TakeShareOfUnnamedFile(int fd, DWORD access, DWORD share);

// Runs action (which returns a Win32 error, 0 for success) unless the file at hostPath is open
// through any handle; ERROR_SHARING_VIOLATION then. No handle can open the file while action runs.
// openedFd: the file opened already (by OpenForGate, or read-only), taken over; -1 to open hostPath.
template <class Action>
DWORD UnlessOpen(const std::string& hostPath, Action action, int openedFd = -1);

// Opens hostPath for UnlessOpen: for writing where it can (its gate then costs one lock), else for
// reading; the descriptor or -1 with errno. Nothing is written through it.
int OpenForGate(const std::string& hostPath);

// The non-template core of UnlessOpen: opens hostPath (unless openedFd is given) and takes its
// gate; returns the descriptor (or -1 when share modes cannot be checked) and whether the file is
// open.
int GateForExclusiveUse(const std::string& hostPath, bool& open, int openedFd = -1);
// Lets go of what GateForExclusiveUse took.
void ReleaseGate(int gateFd);

template <class Action>
DWORD UnlessOpen(const std::string& hostPath, Action action, int openedFd) {
  bool open = false;
  int gateFd = GateForExclusiveUse(hostPath, open, openedFd);
  DWORD result = open ? DWORD(ERROR_SHARING_VIOLATION) : action();
  ReleaseGate(gateFd);
  return result;
}

}  // namespace ce::detail
