#include "ui/buttons.h"

#include "resources/resource.h"

ButtonTable buttonTable;

int currentPage = TypePage1;
int pressedSlot = 0;
int lastTarget = 0;
INT selectedTypeCode = 0;
INT selectedSpeedCode = 0;
INT selectedDirectionCode = 0;
WCHAR typeLabel[SelectionLabelChars] = TEXT("Unknown type and speed");
WCHAR speedLabel[SelectionLabelChars] = TEXT("");

namespace {

struct SlotRow {
  LPCWSTR label;
  INT code;
  INT bitmapId;
  INT target;
};

struct PageRow {
  LPCWSTR title;
  SlotRow slots[PlacesPerPage];
};

// One row per page, in page order; one entry per place, in place order. Blank places keep the
// picture id IDB_SPEED20 and an empty label; the page arrows have code 0 and an empty label.
const PageRow kPages[PageCount] = {
    {TEXT("Select POI type (1/2):"),
     {{TEXT("Gatso"), 1, IDB_GATSO, SpeedPage1},
      {TEXT("Mobile"), 2, IDB_MOBILE, SpeedPage1},
      {TEXT("Temporary"), 3, IDB_TEMPORARY, SpeedPage1},
      {TEXT("Specs"), 4, IDB_SPECS, SpeedPage1},
      {TEXT("Redlight"), 5, IDB_REDLIGHT, SpeedPage1},
      {TEXT(""), 0, IDB_ARROW_RIGHT, TypePage2}}},
    {TEXT("Select POI type (2/2):"),
     {{TEXT("Truvelo"), 6, IDB_TRUVELO, SpeedPage1},
      {TEXT("Remove"), 7, IDB_REMOVE, DirectionPage},
      {TEXT("Unknown type"), 0, IDB_UNKNOWN_TYPE, SpeedPage1},
      {TEXT("Custom POI"), 0, IDB_CUSTOM_FRAME, 0},  // opens CustomPoiPage once names may exist
      {TEXT(""), 0, IDB_SPEED20, 0},
      {TEXT(""), 0, IDB_ARROW_RIGHT, TypePage1}}},
    {TEXT("Select speed (1/2):"),
     {{TEXT("30 mph"), 2, IDB_SPEED30, DirectionPage},
      {TEXT("40 mph"), 3, IDB_SPEED40, DirectionPage},
      {TEXT("50 mph"), 4, IDB_SPEED50, DirectionPage},
      {TEXT("60 mph"), 5, IDB_SPEED60, DirectionPage},
      {TEXT("Unknown speed"), 0, IDB_SPEED_UNKNOWN, DirectionPage},
      {TEXT(""), 0, IDB_ARROW_RIGHT, SpeedPage2}}},
    {TEXT("Select speed (2/2):"),
     {{TEXT("20 mph"), 1, IDB_SPEED20, DirectionPage},
      {TEXT("70 mph"), 6, IDB_SPEED70, DirectionPage},
      {TEXT("Variable speed"), 7, IDB_SPEED_VARIABLE, DirectionPage},
      {TEXT(""), 0, IDB_SPEED20, 0},
      {TEXT(""), 0, IDB_SPEED20, 0},
      {TEXT(""), 0, IDB_ARROW_RIGHT, SpeedPage1}}},
    {TEXT("Select camera direction:"),
     {{TEXT("This side"), 0, IDB_THIS_SIDE, TargetSave},
      {TEXT("Other side"), 1, IDB_OTHER_SIDE, TargetSave},
      {TEXT("Reversible"), 2, IDB_REVERSIBLE, TargetSave},
      {TEXT(""), 0, IDB_SPEED20, 0},
      {TEXT("Preferences"), 0, IDB_PREFERENCES, PreferencesPage},
      {TEXT("Start over"), 0, IDB_START_OVER, TypePage1}}},
    {TEXT("Set preferences"),
     {{TEXT("Turn timer on"), CodeToggleTimer, IDB_TIMER, PreferencesPage},
      {TEXT("Clear cameras"), CodeClearCameras, IDB_CLEAR_CAMERAS, PreferencesPage},
      {TEXT("Rotate screen"), CodeRotateScreen, IDB_ROTATE_SCREEN, PreferencesPage},  // made inert at creation
      {TEXT("Version info"), 0, IDB_SPEED20, 0},
      {TEXT(""), 0, IDB_SPEED20, 0},
      {TEXT("Start over"), 0, IDB_START_OVER, TypePage1}}},
    {TEXT("Select custom POI type:"),
     {{TEXT("Custom POI"), CodeFirstCustom + 0, IDB_CUSTOM_FRAME, 0},  // each saves once it has a name
      {TEXT("Custom POI"), CodeFirstCustom + 1, IDB_CUSTOM_FRAME, 0},
      {TEXT("Custom POI"), CodeFirstCustom + 2, IDB_CUSTOM_FRAME, 0},
      {TEXT("Custom POI"), CodeFirstCustom + 3, IDB_CUSTOM_FRAME, 0},
      {TEXT("Custom POI"), CodeFirstCustom + 4, IDB_CUSTOM_FRAME, 0},
      {TEXT(""), 0, IDB_ARROW_RIGHT, TypePage1}}},
};

// What slotAt gives for place 0 and out-of-range numbers. Refilled on every such call, so a
// caller that writes into it changes nothing that lasts.
ButtonSlot emptySlot;

}  // namespace

void buildButtonTable() {
  for (int p = 0; p < PageCount; ++p) {
    ScreenPage& page = buttonTable.pages[p];
    page.number = p + 1;
    StringCchCopyW(page.title, TitleChars, kPages[p].title);
    for (int s = 0; s < PlacesPerPage; ++s) {
      const SlotRow& row = kPages[p].slots[s];
      ButtonSlot& slot = page.slots[s];
      StringCchCopyW(slot.label, LabelChars, row.label);
      slot.code = row.code;
      slot.bitmapId = row.bitmapId;
      slot.target = row.target;
    }
  }
}

ButtonSlot* slotAt(int page, int place) {
  if (page < 1 || page > PageCount || place < 1 || place > PlacesPerPage) {
    emptySlot.label[0] = 0;
    emptySlot.code = 0;
    emptySlot.bitmapId = 0;
    emptySlot.target = 0;
    return &emptySlot;
  }
  return &buttonTable.pages[page - 1].slots[place - 1];
}

LPCWSTR pageTitle(int page) {
  if (page < 1 || page > PageCount) return TEXT("");
  return buttonTable.pages[page - 1].title;
}
