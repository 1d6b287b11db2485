// Touch input: screen positions to button places, and the highlight that follows the stylus.
//
// Hit areas follow the layout's lines, not the drawn rounded rectangles, so a touch on the seam
// between two buttons still hits one. The release itself is acted on by the capture flow.
#pragma once

#include "ce/ce.h"

// 0 nothing, 1..6 a place of the current page (blank ones included), 7 the Cancel button.
int hitTest(int x, int y);

// Stylus down and stylus move: moves the highlight to the place under the stylus and presents
// the frame on `window` when it changed.
void onStylusDown(HWND window, int x, int y);
void onStylusMove(HWND window, int x, int y);

// Stylus up: pressedSlot := the place under the stylus. Nothing is redrawn.
void onStylusUp(int x, int y);
