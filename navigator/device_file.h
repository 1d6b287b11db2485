// The stand-in's files, through the Win32 file calls alone: device paths (UTF-8 here, with
// backslashes) are converted to UTF-16 and handed to CreateFileW and friends, so the same code
// runs on the device stand-in and on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ce/ce.h"

namespace nav {

using WideString = std::basic_string<WCHAR>;
WideString Wide(std::string_view utf8);
std::string Narrow(const WCHAR* wide);

// "access denied (Win32 error 5)" for the errors the stand-in meets, the number for the rest.
std::string ErrorText(DWORD error);

enum class ReadResult { kOk, kMissing, kTooLarge, kFailed };

// Reads a whole regular file of at most `maxBytes`. A file that is missing, larger, not a regular
// file or unreadable is refused with `error` naming it and saying why.
ReadResult ReadDeviceFile(const std::string& path, uint64_t maxBytes, std::string& bytes, std::string& error);

// Replaces the file in one step: the bytes go to "<path>.tmp", are flushed to the disk, and the
// temporary file is renamed over `path` with write-through. Nothing is left behind on failure.
bool ReplaceDeviceFile(const std::string& path, std::string_view bytes, std::string& error);

// What identifies a file's version: which file (volume, index), its size and last write.
struct FileStamp {
  uint64_t volume = 0, index = 0, size = 0, writeTime = 0;
  bool exists = false;
  bool operator==(const FileStamp&) const = default;
};
FileStamp StampOfHandle(HANDLE file);
// The stamp of the file at a path; `exists` false when there is none.
FileStamp StampOf(const std::string& path);

// The names (not paths) of the entries of a folder (a device path ending in '\') that match a
// pattern such as "*.ov2"; folders are left out.
std::vector<std::string> ListFiles(const std::string& folder, const char* pattern);

bool IsFolder(const std::string& path);

}  // namespace nav
