// Helpers shared by the kernel's sources; not part of the stand-in's interface.
#pragma once

#include <sys/stat.h>

#include <string>

#include "ce/kernel.h"
#include "ce/kernel/utf.h"

namespace ce::detail {

// Sets the last error and returns the failure value, so a call can end with
// "return Fail(ERROR_x, FALSE);".
template <class T>
T Fail(DWORD error, T result) {
  SetLastError(error);
  return result;
}

// The Win32 error for a host errno. missingPath says whether ENOENT means the folder is missing
// (ERROR_PATH_NOT_FOUND) rather than the file (ERROR_FILE_NOT_FOUND).
DWORD ErrorFromErrno(int err, bool missingPath = false);

// ERROR_FILE_NOT_FOUND when the host path's folder exists, else ERROR_PATH_NOT_FOUND.
DWORD MissingError(const std::string& hostPath);

// Simple case folding to lower case for the scripts the device's file system ignores case in.
char32_t FoldCase(char32_t c);

// Equality of two UTF-8 names with case folded.
bool NamesEqualIgnoringCase(const std::string& a, const std::string& b);
// Case-folded UTF-8 name, for sorting listings.
std::string FoldedName(const std::string& name);

// Device path to host path, setting ERROR_PATH_NOT_FOUND (a relative path, or one climbing out of
// the device) or ERROR_INVALID_NAME (NULL, empty, wildcards or other characters Windows forbids).
bool ResolveDevicePath(LPCWSTR devicePath, std::string& hostPath);

// What resolving a path learnt about its last component, so a call need not look again.
struct PathLookup {
  enum State { kUnknown, kExists, kMissing } state = kUnknown;
  struct stat st = {};  // lstat of the path when kExists
  // Set by the caller when the name is usually not there (a name about to be made): the folder
  // index is asked first, and a look at the path is made only when the index names the entry.
  bool expectMissing = false;
  // Set by the caller that opens the path at once and resolves again only when that fails: the
  // path as spelled, without any look (state stays kUnknown).
  bool asSpelled = false;
};
// ResolveDevicePath that also says what it found: kExists (with the entry's lstat), kMissing (its
// folder exists and holds no entry of that name in any case), or kUnknown.
bool ResolveDevicePath(LPCWSTR devicePath, std::string& hostPath, PathLookup* lookup);

// Share-mode bookkeeping across handles and processes (share.cpp).
// True when the host file (dev/ino) is open through any handle of any process on the device.
bool IsFileOpenAnywhere(const std::string& hostPath);

// Time of a host timespec as FILETIME.
FILETIME FileTimeFromUnix(long long seconds, long nanoseconds);

}  // namespace ce::detail

namespace ce {
// DevicePathToHost that also says what it found (see detail::PathLookup).
bool DevicePathToHost(LPCWSTR devicePath, std::string& hostPath, detail::PathLookup* lookup);
}  // namespace ce
