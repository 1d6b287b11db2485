// The button table: every page's title and every place's label, code, picture and target, as
// the capture flow and the drawing rely on them.

#include <gtest/gtest.h>

#include <string>

#include "ce/ce.h"
#include "ce/device.h"
#include "ui/buttons.h"

namespace {

std::string Utf8(LPCWSTR text) { return ce::ToUtf8(text); }

struct Place {
  const char* label;
  int code, bitmap, target;
};
struct Page {
  int number;
  const char* title;
  Place places[6];
};

// The table as the pages are meant to look, written out independently of buttons.cpp.
const Page kExpected[] = {
    {1,
     "Select POI type (1/2):",
     {{"Gatso", 1, 112, 3},
      {"Mobile", 2, 113, 3},
      {"Temporary", 3, 127, 3},
      {"Specs", 4, 126, 3},
      {"Redlight", 5, 119, 3},
      {"", 0, 114, 2}}},
    {2,
     "Select POI type (2/2):",
     {{"Truvelo", 6, 129, 3},
      {"Remove", 7, 120, 5},
      {"Unknown type", 0, 131, 3},
      {"Custom POI", 0, 111, 0},
      {"", 0, 104, 0},
      {"", 0, 114, 1}}},
    {3,
     "Select speed (1/2):",
     {{"30 mph", 2, 105, 5},
      {"40 mph", 3, 106, 5},
      {"50 mph", 4, 107, 5},
      {"60 mph", 5, 108, 5},
      {"Unknown speed", 0, 130, 5},
      {"", 0, 114, 4}}},
    {4,
     "Select speed (2/2):",
     {{"20 mph", 1, 104, 5},
      {"70 mph", 6, 109, 5},
      {"Variable speed", 7, 123, 5},
      {"", 0, 104, 0},
      {"", 0, 104, 0},
      {"", 0, 114, 3}}},
    {5,
     "Select camera direction:",
     {{"This side", 0, 128, 10},
      {"Other side", 1, 115, 10},
      {"Reversible", 2, 124, 10},
      {"", 0, 104, 0},
      {"Preferences", 0, 117, 6},
      {"Start over", 0, 118, 1}}},
    {6,
     "Set preferences",
     {{"Turn timer on", 97, 132, 6},
      {"Clear cameras", 98, 122, 6},
      {"Rotate screen", 99, 125, 6},
      {"Version info", 0, 104, 0},
      {"", 0, 104, 0},
      {"Start over", 0, 118, 1}}},
    {7,
     "Select custom POI type:",
     {{"Custom POI", 100, 111, 0},
      {"Custom POI", 101, 111, 0},
      {"Custom POI", 102, 111, 0},
      {"Custom POI", 103, 111, 0},
      {"Custom POI", 104, 111, 0},
      {"", 0, 114, 1}}},
};

// Poisons the table first, so a place that buildButtonTable forgets is caught.
void PoisonAndBuild() {
  for (ScreenPage& page : buttonTable.pages) {
    page.number = -1;
    for (WCHAR& c : page.title) c = u'#';
    for (ButtonSlot& slot : page.slots) {
      for (WCHAR& c : slot.label) c = u'#';
      slot.code = slot.bitmapId = slot.target = -77;
    }
  }
  buildButtonTable();
}

TEST(ButtonTable, EveryPageAndPlaceHoldsItsTitleLabelCodePictureAndTarget) {
  PoisonAndBuild();
  for (const Page& want : kExpected) {
    EXPECT_EQ(buttonTable.pages[want.number - 1].number, want.number);
    EXPECT_EQ(Utf8(pageTitle(want.number)), want.title) << "page " << want.number;
    for (int place = 1; place <= 6; ++place) {
      const Place& w = want.places[place - 1];
      const ButtonSlot* got = slotAt(want.number, place);
      SCOPED_TRACE("page " + std::to_string(want.number) + " place " + std::to_string(place));
      EXPECT_EQ(Utf8(got->label), w.label);
      EXPECT_EQ(got->code, w.code);
      EXPECT_EQ(got->bitmapId, w.bitmap);
      EXPECT_EQ(got->target, w.target);
    }
  }
}

TEST(ButtonTable, SlotAtGivesAnEmptySlotForPlaceZeroAndNumbersOutOfRange) {
  PoisonAndBuild();
  const int cases[][2] = {{1, 0}, {5, 0}, {1, 7}, {0, 1}, {8, 1}, {-1, -1}};
  for (const auto& c : cases) {
    ButtonSlot* slot = slotAt(c[0], c[1]);
    SCOPED_TRACE("page " + std::to_string(c[0]) + " place " + std::to_string(c[1]));
    EXPECT_EQ(Utf8(slot->label), "");
    EXPECT_EQ(slot->code, 0);
    EXPECT_EQ(slot->target, 0);
    // Writing into it lasts only until the next such call, and never reaches the table.
    slot->target = 10;
    slot->label[0] = u'X';
  }
  EXPECT_EQ(slotAt(1, 0)->target, 0);
  EXPECT_EQ(Utf8(slotAt(1, 0)->label), "");
  EXPECT_EQ(Utf8(pageTitle(0)), "");
  EXPECT_EQ(Utf8(pageTitle(8)), "");
}

TEST(ButtonTable, SlotAtIsTheTableItselfSoStartUpChangesLast) {
  PoisonAndBuild();
  slotAt(PreferencesPage, RotateScreenPlace)->target = 0;
  EXPECT_EQ(buttonTable.pages[PreferencesPage - 1].slots[RotateScreenPlace - 1].target, 0);
  EXPECT_EQ(Utf8(slotAt(PreferencesPage, RotateScreenPlace)->label), "Rotate screen");
  // Building again restores the table's own values.
  buildButtonTable();
  EXPECT_EQ(slotAt(PreferencesPage, RotateScreenPlace)->target, PreferencesPage);
}

TEST(ButtonTable, NamedPlacesAndPagesAreTheOnesTheFlowExpects) {
  PoisonAndBuild();
  EXPECT_EQ(slotAt(PreferencesPage, TimerPlace)->code, CodeToggleTimer);
  EXPECT_EQ(slotAt(PreferencesPage, RotateScreenPlace)->code, CodeRotateScreen);
  EXPECT_EQ(Utf8(slotAt(TypePage2, CustomPoiPlace)->label), "Custom POI");
  for (int place = 1; place <= CustomPlaceCount; ++place)
    EXPECT_EQ(slotAt(CustomPoiPage, place)->code, CodeFirstCustom + place - 1);
}

}  // namespace
