// One run between creation and close: the checks after each paint, the auto-save countdown, and
// what a release on a button records and does.
#include <string.h>

#include "app/app.h"
#include "app/preferences.h"
#include "sdk/navigator_launch.h"
#include "ui/buttons.h"
#include "ui/draw.h"
#include "ui/run_state.h"

int positionTaken = 0;
CurrentPositionResult capturedPosition = {0, 0, 0, 0, 0};

static const UINT_PTR kCountdownTimer = 1;

// Presents what was drawn into the logical surface outside of a paint.
static void PresentNow() {
  HDC windowDC = GetDC(mainWindow);
  presentFrame(windowDC);
  ReleaseDC(mainWindow, windowDC);
}

// Asks for the map folder. It counts as known only when the navigator answered the full record
// with result code 0 and a non-empty folder; anything less is asked again after the next paint,
// so a camera is never filed under an empty prefix.
static void LearnMapFolder() {
  DataSetInfoResult info;
  memset(&info, 0, sizeof info);
  INT status = -1;
  if (GetDataSetInfoV01(activeLink, &status, &info) != 0 || status != 0) return;
  info.currentMapFolder[sizeof info.currentMapFolder - 1] = 0;
  if (info.currentMapFolder[0] == 0) return;
  StringCchCopyA(mapFolder, sizeof mapFolder, info.currentMapFolder);
  mapFolderKnown = 1;
}

void AfterPaintChecks() {
  if (!positionTaken) {
    INT status;
    GetCurrentPositionV01(activeLink, &status, &capturedPosition);
    if (capturedPosition.fix == 0) {
      ShowNavigator();
      FlashMessageV01(activeLink, &status, "No valid GPS signal!  ", 3000);
      CloseNavigatorLink(activeLink);
      SendMessageW(mainWindow, WM_CLOSE, 0, 0);
      return;
    }
    positionTaken = 1;
    if (timerOption == 1) countdownRunning = SetTimer(mainWindow, kCountdownTimer, 1000, NULL);
  }
  if (!mapFolderKnown) LearnMapFolder();
}

void CountdownTick() {
  int previous = countdownValue;
  countdownValue = countdownValue - 1;
  if (previous > 1) {
    WCHAR line[32];
    StringCchPrintfW(line, 32, TEXT("Saving in %d s   "), countdownValue);
    drawCountdownLine(line);
    PresentNow();
    return;
  }
  KillTimer(mainWindow, kCountdownTimer);
  SendMessageW(mainWindow, WM_COMMAND, SaveCommand, 0);
}

void CancelCountdown() {
  if (!countdownRunning) return;
  KillTimer(mainWindow, kCountdownTimer);
  drawCountdownLine(TEXT("                            "));
  countdownRunning = 0;
}

void ToggleTimerOption() {
  timerOption = (timerOption - 1) & 1;
  ButtonSlot* slot = slotAt(currentPage, pressedSlot);
  StringCchCopyW(slot->label, LabelChars, timerOption == 1 ? TEXT("Turn timer off") : TEXT("Turn timer on"));
  WritePreferences(preferencesPath, orientation, timerOption);
}

// Records the released place's code (and label) as the selection its page stands for.
static void RecordSelection(const ButtonSlot* slot) {
  switch (currentPage) {
    case TypePage1:
    case TypePage2:
      selectedTypeCode = slot->code;
      StringCchCopyW(typeLabel, SelectionLabelChars, slot->label);
      break;
    case SpeedPage1:
    case SpeedPage2:
      selectedSpeedCode = slot->code;
      StringCchCopyW(speedLabel, SelectionLabelChars, slot->label);
      break;
    case DirectionPage:
      selectedDirectionCode = slot->code;
      break;
    default:
      break;
  }
}

void ApplySlotRelease() {
  if (pressedSlot == 0) return;
  if (pressedSlot == CancelButton) {
    SendMessageW(mainWindow, WM_COMMAND, CloseCommand, 0);
    return;
  }
  ButtonSlot* slot = slotAt(currentPage, pressedSlot);
  lastTarget = slot->target;
  if (lastTarget == 0) return;
  RecordSelection(slot);

  if (slot->code == CodeToggleTimer) {
    ToggleTimerOption();
  } else if (slot->code == CodeClearCameras) {
    int answer = MessageBoxW(mainWindow, TEXT("Are you sure you want to delete all collected cameras?"),
                             TEXT("Trapmarker"), MB_YESNO);
    if (answer == IDYES) ClearCameraStore();
    return;
  }

  if (lastTarget >= TargetSave) {
    SendMessageW(mainWindow, WM_COMMAND, SaveCommand, 0);
    return;
  }
  currentPage = lastTarget;
  pressedSlot = 0;
  InvalidateRect(mainWindow, NULL, FALSE);
}
