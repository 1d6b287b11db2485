// The channel's file object: one handle, opened by name in one of the SDK locations. Names are
// narrow (converted with the default code page); a name starting with a backslash is a full
// device path and ignores the location. A resolved path holds at most kSdkPathSize - 1 wide
// characters; a longer one fails the operation.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include "ce/types.h"
#endif

enum SdkFileLocation {
  kSdkCallsFolder = 0,  // shared folder + "SdkFileCalls\"; opening creates both folders
  kSdkRegistryFolder,   // shared folder + "SdkRegistry\"; opening creates both folders
  kSdkSharedFolder,     // the shared folder; opening for writing creates it
  kSdkDocuments,        // documents folder + "TomTom\"; opening for writing creates it
  kSdkScriptFolder,     // where the file search finds the name ("master.script" when writing)
  kSdkProgramFolder,    // the program's own folder (also every other value)
};

class SdkFile {
 public:
  // Results of the file operations besides 0.
  static constexpr int kOpenFailed = -1;
  static constexpr int kEndOfFile = -1;
  static constexpr int kWriteFailed = -23;
  static constexpr int kReadFailed = -9000;

  SdkFile();
  ~SdkFile();  // closes the file
  SdkFile(const SdkFile&) = delete;
  SdkFile& operator=(const SdkFile&) = delete;

  // Opens an existing file for reading with read sharing. 0, or kOpenFailed.
  int OpenForReading(const char* name, int location);
  // Opens for writing with write sharing: created or truncated, or with `append` opened or
  // created and positioned at its end. 0, or kOpenFailed.
  int OpenForWriting(const char* name, int location, bool append);
  // Opens an existing file for writing with write sharing, at its start and with its bytes kept,
  // for writing a new text over the old one (EndHere cuts what a longer old one leaves). 0, or
  // kOpenFailed. (Cutting a file to nothing before writing it again makes ext4 write it out at
  // close, which costs more than the rest of an exchange.)
  int OpenForRewriting(const char* name, int location);
  // Ends the open file at the current position. 0, or kWriteFailed.
  int EndHere();
  // One write call. 0 when all `count` bytes were written, else kWriteFailed.
  int Write(const void* bytes, uint32_t count);
  // Reads at most capacity - 1 bytes; keeps them up to and including the first line feed (the
  // file position moves back to just after it) and stores a NUL after the bytes kept. Returns
  // the number of bytes kept, kEndOfFile when nothing was left, kReadFailed when the read fails
  // (buffer[0] is then NUL). Needs capacity >= 2.
  int ReadLine(char* buffer, int32_t capacity);
  // Size of the open file in bytes (0 when none is open).
  uint32_t Size();
  void Close();
  bool IsOpen() const { return iIsOpen; }
  // The system error of the last failed open (ERROR_SHARING_VIOLATION: another handle has the
  // file open in a way that excludes this one, so the file exists).
  DWORD LastError() const { return iLastError; }

  // Deletes the file, clearing its read-only attribute first. Creates no folder. True when the
  // file was deleted; otherwise GetLastError says why.
  static bool Delete(const char* name, int location);
  // Delete, retrying every millisecond (up to a second) while another handle has the file open.
  static bool DeleteWhenFree(const char* name, int location);
  // Whether an entry of that name is in the location (whatever it is, and whoever holds it).
  static bool Exists(const char* name, int location);
  // Renames a file within the location; fails when `to` exists. True when it was renamed.
  static bool Move(const char* from, const char* to, int location);

  // The full device path of `name` in `location`; `forWriting` picks the script folder's rule.
  // False when the path does not fit `capacity` (at most kSdkPathSize is used). Creates nothing.
  static bool ResolvePath(const char* name, int location, bool forWriting, WCHAR* path, size_t capacity);

 private:
  // Close, then open `name` in `location` (resolved for writing when `forWriting`) with these
  // CreateFileW arguments; with `makeFolders`, the location's folders are made when missing.
  int Open(const char* name, int location, bool forWriting, DWORD access, DWORD share, DWORD disposition,
           bool makeFolders);

  HANDLE iHandle;
  bool iIsOpen;
  DWORD iLastError;
};
