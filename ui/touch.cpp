#include "ui/touch.h"

#include "ui/buttons.h"
#include "ui/draw.h"
#include "ui/layout.h"
#include "ui/run_state.h"

int hitTest(int x, int y) {
  const int W = logicalWidth;
  const int H = logicalHeight;
  // Screen to page coordinates: the inverse of the turn presentFrame applies.
  int px = x, py = y;
  switch (orientation) {
    case 1:
      px = W - 1 - y;
      py = x;
      break;
    case 2:
      px = W - 1 - x;
      py = H - 1 - y;
      break;
    case 3:
      px = y;
      py = H - 1 - x;
      break;
    default:
      break;
  }
  if (px > W - cancelWidth - 3 && py > H - statusHeight + 3) return CancelButton;
  if (py < titleHeight || py > H - statusHeight) return 0;
  int column = 1;
  if (landscape) {
    if (px > buttonWidth) ++column;
    if (px > 2 * buttonWidth) ++column;
    return column + (py > titleHeight + buttonHeight + 1 ? 3 : 0);
  }
  if (px > buttonWidth) ++column;
  int place = column;
  if (py > titleHeight + buttonHeight + 1) place += 2;
  if (py > titleHeight + 2 * buttonHeight + 1) place += 2;
  return place;
}

static bool isLivePlace(int place) { return place >= 1 && place <= 6 && slotAt(currentPage, place)->target != 0; }

void onStylusDown(HWND window, int x, int y) {
  int hit = hitTest(x, y);
  if (hit == pressedSlot) return;
  if (hit == CancelButton) {
    if (isLivePlace(pressedSlot)) drawButton(pressedSlot, FALSE);
    drawCancelButton(TRUE);
  } else {
    if (pressedSlot == CancelButton)
      drawCancelButton(FALSE);
    else if (isLivePlace(pressedSlot))
      drawButton(pressedSlot, FALSE);
    if (isLivePlace(hit)) drawButton(hit, TRUE);
  }
  pressedSlot = hit;
  HDC windowDC = GetDC(window);
  presentFrame(windowDC);
  ReleaseDC(window, windowDC);
}

void onStylusMove(HWND window, int x, int y) { onStylusDown(window, x, y); }

void onStylusUp(int x, int y) { pressedSlot = hitTest(x, y); }
