#include "ui/layout.h"

#include "ui/run_state.h"

int scale = 0;
int titleHeight = 0, statusHeight = 0;
int buttonWidth = 0, buttonHeight = 0;
int cancelWidth = 0;
BOOL landscape = FALSE;

void computeLayout(int physWidth, int physHeight, int orient) {
  if (orient & 1) {
    logicalWidth = physHeight;
    logicalHeight = physWidth;
  } else {
    logicalWidth = physWidth;
    logicalHeight = physHeight;
  }
  const int W = logicalWidth, H = logicalHeight;
  scale = W / 240;
  cancelWidth = ((W + 80) / 160) * 40;
  titleHeight = 14 * scale + 5;
  statusHeight = 37 * scale + 1;
  const int panel = H - titleHeight - statusHeight;
  landscape = W >= H;
  if (landscape) {
    buttonWidth = W / 3;
    buttonHeight = panel / 2;
  } else {
    buttonWidth = W / 2;
    buttonHeight = (panel + 2) / 3;
  }
}

RECT placeRect(int place) {
  const int i = place - 1;
  int left, top;
  if (landscape) {
    left = (i % 3) * buttonWidth + 1;
    top = titleHeight + (i / 3) * buttonHeight + 1;
  } else {
    // Neighbouring places share their one-pixel border.
    left = (i % 2) * (buttonWidth - 1) + 1;
    top = titleHeight + (i / 2) * (buttonHeight - 1) + 1;
  }
  if (top + buttonHeight > logicalHeight - statusHeight) top -= 1;
  RECT r = {left, top, left + buttonWidth - 1, top + buttonHeight - 1};
  return r;
}
