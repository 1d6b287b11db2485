// The launcher's tap places must fall inside the buttons the program really draws: every place
// it computes for a screen size and orientation is checked against the program's own layout.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ui/layout.h"
#include "ui/run_state.h"

namespace {

struct Point {
  int x = -1, y = -1;
};

// The launcher's answer: tm_slot_centre from its shell library.
Point LauncherTap(int pw, int ph, int orientation, int place) {
  char command[512];
  std::snprintf(command, sizeof command, "bash -c 'source \"%s\" && tm_slot_centre %d %d %d %d'", TM_EMULATOR_LIB, pw,
                ph, orientation, place);
  Point p;
  if (std::FILE* f = popen(command, "r")) {
    if (std::fscanf(f, "%d %d", &p.x, &p.y) != 2) p = Point{};
    pclose(f);
  }
  return p;
}

// Screen to page, the inverse of the turn the program gives its frame.
Point ToPage(Point s, int orientation) {
  const int W = logicalWidth, H = logicalHeight;
  switch (orientation) {
    case 1:
      return {W - 1 - s.y, s.x};
    case 2:
      return {W - 1 - s.x, H - 1 - s.y};
    case 3:
      return {s.y, H - 1 - s.x};
    default:
      return s;
  }
}

TEST(TapPlaces, EveryTapLandsInsideItsDrawnButton) {
  const struct { int w, h; } screens[] = {{240, 320}, {480, 640}, {320, 240}, {640, 480}};
  for (const auto& s : screens) {
    for (int orientation = 0; orientation < 4; ++orientation) {
      computeLayout(s.w, s.h, orientation);
      for (int place = 1; place <= 6; ++place) {
        const Point tap = LauncherTap(s.w, s.h, orientation, place);
        const Point p = ToPage(tap, orientation);
        const RECT r = placeRect(place);
        EXPECT_TRUE(p.x > r.left && p.x < r.right - 1 && p.y > r.top && p.y < r.bottom - 1)
            << s.w << "x" << s.h << " orientation " << orientation << " place " << place << ": tap at (" << tap.x << ","
            << tap.y << ") is page (" << p.x << "," << p.y << "), button spans (" << r.left << "," << r.top << ")-("
            << r.right << "," << r.bottom << ")";
      }
      // Cancel: the rounded rectangle from (W - cancelWidth - 3, H - statusHeight + 3) to (W - 3, H - 3).
      const Point p = ToPage(LauncherTap(s.w, s.h, orientation, 7), orientation);
      EXPECT_TRUE(p.x > logicalWidth - cancelWidth - 3 && p.x < logicalWidth - 3 &&
                  p.y > logicalHeight - statusHeight + 3 && p.y < logicalHeight - 3)
          << s.w << "x" << s.h << " orientation " << orientation << ": Cancel tap at page (" << p.x << "," << p.y
          << ")";
    }
  }
}

}  // namespace
