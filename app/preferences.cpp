#include "app/preferences.h"

#include "ui/buttons.h"
#include "ui/run_state.h"

namespace {

const DWORD kReadLimit = 255;
const int kNamesStart = 6;  // after "d\r\nd\r\n"

// Cuts the custom names out of bytes[kNamesStart .. count - 1] into the custom places. A name is
// the run of bytes 14..127 at the start of a line; any other byte ends it, and the line counts
// only once its line feed arrives. Names longer than a label holds are cut to fit.
void readCustomNames(const BYTE* bytes, DWORD count) {
  WCHAR name[LabelChars];
  int length = 0;
  bool ended = false;
  int place = 1;
  for (DWORD i = kNamesStart; i < count && place <= CustomPlaceCount; ++i) {
    const signed char b = static_cast<signed char>(bytes[i]);
    if (b == '\n') {
      name[length] = 0;
      ButtonSlot* slot = slotAt(CustomPoiPage, place++);
      StringCchCopyW(slot->label, LabelChars, name);
      slot->target = TargetSave;
      length = 0;
      ended = false;
    } else if (b >= 14 && !ended) {
      if (length < LabelChars - 1) name[length++] = static_cast<WCHAR>(b);
    } else {
      ended = true;
    }
  }
}

}  // namespace

void ReadPreferences(LPCWSTR path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  BYTE bytes[kReadLimit];
  DWORD count = 0;
  if (!ReadFile(file, bytes, kReadLimit, &count, NULL)) count = 0;
  if (count > kReadLimit) count = kReadLimit;

  if (count >= 1) orientation = bytes[0] & 3;
  if (count >= 4) timerOption = bytes[3] & 1;
  if (timerOption == 1) StringCchCopyW(slotAt(PreferencesPage, TimerPlace)->label, LabelChars, TEXT("Turn timer off"));
  if (count > static_cast<DWORD>(kNamesStart)) {
    // Any file longer than the two digit lines may hold names, complete or not.
    slotAt(TypePage2, CustomPoiPlace)->target = CustomPoiPage;
    readCustomNames(bytes, count);
  }
  CloseHandle(file);
}

void WritePreferences(LPCWSTR path, int orient, int timer) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  // Only the first four bytes: the names that follow stay as the user wrote them.
  const BYTE digits[4] = {static_cast<BYTE>('0' + (orient & 3)), '\r', '\n', static_cast<BYTE>('0' + (timer & 1))};
  DWORD written = 0;
  WriteFile(file, digits, sizeof digits, &written, NULL);
  CloseHandle(file);
}
