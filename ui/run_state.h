// Run state shared by the application and the screens: the screen, the preferences, the countdown
// and the navigator's map folder. The application writes most of it; the screens write the logical
// size (computeLayout) and delete the memory context when the drawing objects go. Everything is static and lives for
// the process; the start values are the ones a run begins with.
#pragma once

#include "ce/ce.h"

extern HINSTANCE instanceHandle;  // the module; the button pictures are its bitmap resources
extern HDC memoryDC;              // the off-screen context every page is drawn into

extern int physicalWidth;  // screen size in pixels, read once at start-up
extern int physicalHeight;
extern int logicalWidth;  // size of the page as drawn (computeLayout swaps for orientations 1, 3)
extern int logicalHeight;

extern int orientation;  // 0..3 from the preferences file; the quarter turns of presentFrame
extern int timerOption;  // 1: the auto-save countdown starts after the first paint

extern int countdownValue;         // seconds left before the auto-save (6 at start)
extern UINT_PTR countdownRunning;  // non-zero while the countdown timer runs

// The navigator's current map folder, narrow, ending with a backslash once known. Custom point
// buttons look for their category icon in it.
extern int mapFolderKnown;
extern char mapFolder[128];
