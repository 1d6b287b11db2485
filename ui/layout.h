// Layout of a page on the screen. Every metric follows from the logical size through one integer
// `scale`, so the same pages fill a 240- and a 480-pixel-wide screen alike. Touch input uses the
// same metrics to turn taps into places.
#pragma once

#include "ce/ce.h"

extern int scale;         // logicalWidth / 240: size factor for fonts, pictures and margins
extern int titleHeight;   // title band at the top; the button panel starts here
extern int statusHeight;  // status band at the bottom
extern int buttonWidth;   // one button place
extern int buttonHeight;
extern int cancelWidth;  // width of the Cancel button
extern BOOL landscape;   // three columns and two rows; otherwise two columns and three rows

// Sets logicalWidth/logicalHeight (swapped when bit 0 of `orient` is set) and every metric above.
// Called once at creation, after the preferences are read and before the drawing objects exist.
void computeLayout(int physWidth, int physHeight, int orient);

// The rectangle of place 1..6 of the page as drawn (right and bottom exclusive, as RoundRect
// takes them): used by drawButton and by anything that needs to know where a place shows.
RECT placeRect(int place);
