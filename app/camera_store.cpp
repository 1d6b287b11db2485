// Saving the captured point through the navigator, and clearing the camera category.
#include <string.h>

#include "app/app.h"
#include "app/camera_record.h"
#include "sdk/navigator_launch.h"
#include "ui/buttons.h"
#include "ui/run_state.h"

static const INT kFlashMilliseconds = 1500;

static void Flash(const char* text) {
  INT status;
  FlashMessageV01(activeLink, &status, text, kFlashMilliseconds);
}

// Makes sure the camera category file exists in the map folder. A new one is created empty with
// the category icon beside it, and the navigator reloads the map to pick it up.
static void EnsureCameraCategoryFile() {
  WCHAR wideFolder[MAX_PATH];
  WCHAR wideCategory[64];
  WCHAR categoryPath[MAX_PATH];
  NarrowToWide(mapFolder, wideFolder, MAX_PATH);
  NarrowToWide(cameraCategory, wideCategory, 64);
  StringCchPrintfW(categoryPath, MAX_PATH, TEXT("%s%s.ov2"), wideFolder, wideCategory);

  HANDLE file = CreateFileW(categoryPath, GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return;
  }
  file = CreateFileW(categoryPath, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);

  WCHAR iconSource[MAX_PATH];
  WCHAR iconTarget[MAX_PATH];
  StringCchPrintfW(iconSource, MAX_PATH, TEXT("%s%s.bmp"), programFolder, wideCategory);
  StringCchPrintfW(iconTarget, MAX_PATH, TEXT("%s%s.bmp"), wideFolder, wideCategory);
  CopyFileW(iconSource, iconTarget, FALSE);

  Flash("Reloading map... ");
  INT status;
  SwitchMapV01(activeLink, &status, mapFolder);
}

void SaveCapturedPoint() {
  if (!IsNavigatorRunning()) {
    MessageBoxW(NULL, TEXT("TomTom Not Running Any More."), TEXT("Trapmarker - Error"), MB_ICONHAND);
    SendMessageW(mainWindow, WM_COMMAND, CloseCommand, 0);
    return;
  }
  ShowNavigator();

  LocationInfoExResult location;
  memset(&location, 0, sizeof location);
  INT status;
  GetLocationInfoExV01(activeLink, &status, &location, capturedPosition.x, capturedPosition.y);
  location.street[sizeof location.street - 1] = 0;
  location.place[sizeof location.place - 1] = 0;
  char placeText[128];
  CutPlaceText(location.place, placeText, sizeof placeText);

  char category[256];
  char description[kDescriptionSize];
  char message[512];
  const ButtonSlot* slot = slotAt(currentPage, pressedSlot);
  if (slot->code > 99) {
    WideToNarrow(slot->label, category, sizeof category);
    // A name from the preferences file may hold the SDK's field separator, which would split
    // every request that carries it: it travels as '_'.
    for (char* c = category; *c; ++c)
      if (*c == '|') *c = '_';
    BuildCustomDescription(location.houseNumber, location.street, placeText, description, sizeof description);
    StringCchPrintfA(message, sizeof message, "'%s' saved ", category);
  } else {
    StringCchCopyA(category, sizeof category, cameraCategory);

    WCHAR deviceId[kDeviceIdSize];
    ReadDeviceId(deviceId, kDeviceIdSize);
    SYSTEMTIME now;
    GetLocalTime(&now);
    WCHAR time[16];
    WCHAR date[16];
    GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, 0, &now, TEXT("HHmmss"), time, 16);
    GetDateFormatW(LOCALE_SYSTEM_DEFAULT, 0, &now, TEXT("yyyyMMdd"), date, 16);

    CameraData data = {capturedPosition.heading, capturedPosition.speed, deviceId, date, time, selectedTypeCode,
                       selectedSpeedCode,        selectedDirectionCode};
    char dataText[kDataTextSize];
    BuildCameraDataText(data, dataText, sizeof dataText);
    BuildCameraDescription(location.street, placeText, dataText, description, sizeof description);

    if (!mapFolderKnown) {
      Flash("Cannot find map folder.");
      SendMessageW(mainWindow, WM_COMMAND, CloseCommand, 0);
      return;
    }
    EnsureCameraCategoryFile();

    WCHAR labels[80];
    StringCchPrintfW(labels, 80, TEXT("%s %s"), typeLabel, speedLabel);
    char narrowLabels[256];
    WideToNarrow(labels, narrowLabels, sizeof narrowLabels);
    StringCchPrintfA(message, sizeof message, "'%s' saved ", narrowLabels);
  }

  AddPoiV01(activeLink, &status, category, capturedPosition.x, capturedPosition.y, description, "");
  Flash(message);
  MakeUserPoiVisibleV01(activeLink, &status, category, 1);
  RunCloseCommand();
}

void ClearCameraStore() {
  ShowNavigator();
  char message[512];
  if (mapFolderKnown) {
    char path[MAX_PATH * 3];
    StringCchPrintfA(path, sizeof path, "%s%s.ov2", mapFolder, cameraCategory);
    WCHAR widePath[MAX_PATH];
    NarrowToWide(path, widePath, MAX_PATH);
    if (DeleteFileW(widePath))
      StringCchPrintfA(message, sizeof message, "'%s' deleted ", cameraCategory);
    else
      StringCchPrintfA(message, sizeof message, "Failed to delete '%s'.", path);
  } else {
    StringCchCopyA(message, sizeof message, "Cannot find map folder");
  }
  Flash(message);
  SendMessageW(mainWindow, WM_COMMAND, CloseCommand, 0);
}
