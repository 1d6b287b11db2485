#include "sdk/transport/changed_names.h"

#include <cstddef>
#include <cstring>

#include "sdk/transport/file_channel.h"

namespace {

WCHAR FoldAscii(WCHAR c) { return c >= u'A' && c <= u'Z' ? static_cast<WCHAR>(c - u'A' + u'a') : c; }

}  // namespace

bool VisitChangedNames(HANDLE watch, void (*visit)(DWORD action, const WCHAR* name, size_t length, void* context),
                       void* context) {
  DWORD buffer[512];
  const size_t nameOffset = offsetof(FILE_NOTIFY_INFORMATION, FileName);
  for (;;) {
    DWORD returned = 0;
    DWORD available = 0;
    SetLastError(ERROR_SUCCESS);
    if (!CeGetFileNotificationInfo(watch, 0, buffer, sizeof(buffer), &returned, &available)) return false;
    const bool more = GetLastError() == ERROR_MORE_DATA;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(buffer);
    if (returned > sizeof(buffer)) return false;
    for (size_t offset = 0; offset + nameOffset <= returned;) {
      FILE_NOTIFY_INFORMATION head;
      std::memcpy(&head, bytes + offset, nameOffset);
      if (head.FileNameLength > returned - offset - nameOffset) return false;  // not a record we can read
      WCHAR name[kSdkNameSize];
      const size_t length = head.FileNameLength / sizeof(WCHAR);
      // A name longer than any channel file name cannot be one.
      if (length < kSdkNameSize) {
        std::memcpy(name, bytes + offset + nameOffset, length * sizeof(WCHAR));
        visit(head.Action, name, length, context);
      }
      if (head.NextEntryOffset == 0) break;
      offset += head.NextEntryOffset;
    }
    if (!more) return true;
  }
}

namespace {

struct Appearance {
  bool (*wanted)(const WCHAR* name, size_t length, void* context);
  void* context;
  bool appeared;
};

void NoteAppearance(DWORD action, const WCHAR* name, size_t length, void* context) {
  Appearance* appearance = static_cast<Appearance*>(context);
  if ((action == FILE_ACTION_ADDED || action == FILE_ACTION_RENAMED_NEW_NAME) && !appearance->appeared &&
      appearance->wanted(name, length, appearance->context)) {
    appearance->appeared = true;
  }
}

}  // namespace

bool NameMayHaveAppeared(HANDLE watch, bool (*wanted)(const WCHAR* name, size_t length, void* context), void* context) {
  Appearance appearance = {wanted, context, false};
  return !VisitChangedNames(watch, NoteAppearance, &appearance) || appearance.appeared;
}

bool ChangedNameIs(const WCHAR* name, size_t length, const char* channelName, bool prefixOnly) {
  const size_t expected = std::strlen(channelName);
  if (prefixOnly ? length < expected : length != expected) return false;
  for (size_t i = 0; i < expected; ++i) {
    if (FoldAscii(name[i]) != FoldAscii(static_cast<WCHAR>(static_cast<unsigned char>(channelName[i])))) return false;
  }
  return true;
}
