// The pages of picture buttons and the selection made on them.
//
// Seven pages, each a title and six places. A place is blank (not drawn, ignores taps) while its
// target is 0; otherwise releasing it records its code and then shows page `target`, or saves
// the mark when the target is TargetSave or more. The table is data: buildButtonTable copies the
// fixed rows in buttons.cpp, and the preferences file then adjusts a few places.
#pragma once

#include "ce/ce.h"

enum ScreenPageNumber {
  TypePage1 = 1,
  TypePage2 = 2,
  SpeedPage1 = 3,
  SpeedPage2 = 4,
  DirectionPage = 5,
  PreferencesPage = 6,
  CustomPoiPage = 7,
};

enum {
  PageCount = 7,
  PlacesPerPage = 6,
  TargetSave = 10,   // a target of this or more saves the mark
  CancelButton = 7,  // hit-test result and pressedSlot value of the Cancel button
  LabelChars = 64,   // label field: 63 characters and the terminator
  TitleChars = 32,
  SelectionLabelChars = 32,
};

// Places that start-up and the capture flow change.
enum {
  TimerPlace = 1,         // PreferencesPage: "Turn timer on" / "Turn timer off", code 97
  RotateScreenPlace = 3,  // PreferencesPage: made inert by the creation sequence
  CustomPoiPlace = 4,     // TypePage2: opens CustomPoiPage once the preferences file has names
  CustomPlaceCount = 5,   // CustomPoiPage places 1..5 hold the custom names
};

enum {
  CodeToggleTimer = 97,
  CodeClearCameras = 98,
  CodeRotateScreen = 99,
  CodeFirstCustom = 100,  // codes above 99 are custom points of interest
};

struct ButtonSlot {
  WCHAR label[LabelChars];  // caption; for custom points also the category name
  INT code;                 // recorded on release
  INT bitmapId;             // 78 x 48 picture resource
  INT target;               // 0 blank, 1..7 next page, TargetSave or more: save
};

struct ScreenPage {
  INT number;
  WCHAR title[TitleChars];
  ButtonSlot slots[PlacesPerPage];  // places 1..6
};

struct ButtonTable {
  ScreenPage pages[PageCount];  // pages 1..7
};

extern ButtonTable buttonTable;

// Fills every title and place with the fixed rows. Called once at creation, before the
// preferences file is read.
void buildButtonTable();

// The place `place` (1..6) of page `page` (1..7). Place 0 (nothing pressed) and any number out of
// range give an empty slot: empty label, code 0, target 0. The result is writable: start-up and
// the timer toggle change labels and targets through it.
ButtonSlot* slotAt(int page, int place);

// The title of page `page`; an empty text for a number out of range.
LPCWSTR pageTitle(int page);

// Selection state, written by touch input and the capture flow, read by drawing and the save.
extern int currentPage;  // page on screen, 1..7
extern int pressedSlot;  // last hit-test result: 0 nothing, 1..6 a place, 7 the Cancel button
extern int lastTarget;   // target of the place last released
extern INT selectedTypeCode;
extern INT selectedSpeedCode;
extern INT selectedDirectionCode;
extern WCHAR typeLabel[SelectionLabelChars];
extern WCHAR speedLabel[SelectionLabelChars];
