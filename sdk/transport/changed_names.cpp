#include "sdk/transport/changed_names.h"

#include <cstddef>
#include <cstring>

#include "sdk/transport/file_channel.h"

namespace {

WCHAR FoldAscii(WCHAR c) { return c >= u'A' && c <= u'Z' ? static_cast<WCHAR>(c - u'A' + u'a') : c; }

}  // namespace

bool NameMayHaveAppeared(HANDLE watch, bool (*wanted)(const WCHAR* name, size_t length, void* context), void* context) {
  DWORD buffer[512];
  const size_t nameOffset = offsetof(FILE_NOTIFY_INFORMATION, FileName);
  for (;;) {
    DWORD returned = 0;
    DWORD available = 0;
    SetLastError(ERROR_SUCCESS);
    if (!CeGetFileNotificationInfo(watch, 0, buffer, sizeof(buffer), &returned, &available)) return true;
    const bool more = GetLastError() == ERROR_MORE_DATA;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer);
    if (returned > sizeof(buffer)) return true;
    for (size_t offset = 0; offset + nameOffset <= returned;) {
      FILE_NOTIFY_INFORMATION head;
      std::memcpy(&head, bytes + offset, nameOffset);
      if (head.FileNameLength > returned - offset - nameOffset) return true;  // not a record we can read
      if (head.Action == FILE_ACTION_ADDED || head.Action == FILE_ACTION_RENAMED_NEW_NAME) {
        WCHAR name[kSdkNameSize];
        const size_t length = head.FileNameLength / sizeof(WCHAR);
        // A name longer than any channel file name cannot be one.
        if (length < kSdkNameSize) {
          std::memcpy(name, bytes + offset + nameOffset, length * sizeof(WCHAR));
          if (wanted(name, length, context)) return true;
        }
      }
      if (head.NextEntryOffset == 0) break;
      offset += head.NextEntryOffset;
    }
    if (!more) return false;
  }
}

bool ChangedNameIs(const WCHAR* name, size_t length, const char* channelName) {
  const size_t expected = std::strlen(channelName);
  if (length != expected) return false;
  for (size_t i = 0; i < length; ++i) {
    if (FoldAscii(name[i]) != FoldAscii(static_cast<WCHAR>(static_cast<unsigned char>(channelName[i])))) return false;
  }
  return true;
}
