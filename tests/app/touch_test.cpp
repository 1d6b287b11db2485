// Touch input: screen positions to places in the four orientations, the seams between buttons,
// and the highlight that follows the stylus until it is lifted.
#include <string>

#include <gtest/gtest.h>

#include "app/app.h"
#include "ce/null/null.h"
#include "tests/app/app_fixture.h"
#include "ui/buttons.h"
#include "ui/draw.h"
#include "ui/layout.h"
#include "ui/run_state.h"
#include "ui/touch.h"

namespace {

using apptest::AppTest;

// One touch: the screen and its orientation, the position on the screen and what it hits.
struct Hit {
  int width, height, orient;
  int x, y;    // screen position
  int expect;  // 0 nothing, 1..6 place, 7 Cancel
  const char* why;
};

const Hit kHits[] = {
    // 240 x 320 portrait: title 19, status 38, places 120 x 88, Cancel 80 wide.
    {240, 320, 0, 0, 0, 0, "title band"},
    {240, 320, 0, 10, 18, 0, "last title row"},
    {240, 320, 0, 10, 19, 1, "y on titleHeight is the top row"},
    {240, 320, 0, 120, 19, 1, "x on buttonWidth is the left column"},
    {240, 320, 0, 121, 19, 2, "right of the seam"},
    {240, 320, 0, 10, 108, 1, "y on titleHeight + buttonHeight + 1 is still row one"},
    {240, 320, 0, 10, 109, 3, "second row"},
    {240, 320, 0, 239, 196, 4, "last line of row two"},
    {240, 320, 0, 239, 197, 6, "third row"},
    {240, 320, 0, 10, 282, 5, "y on H - statusHeight is still the panel"},
    {240, 320, 0, 10, 283, 0, "status band"},
    {240, 320, 0, 158, 286, 7, "Cancel's first hit pixel"},
    {240, 320, 0, 157, 286, 0, "left of Cancel"},
    {240, 320, 0, 158, 285, 0, "above Cancel's hit area"},
    {240, 320, 0, 239, 319, 7, "bottom-right corner"},
    // 480 x 640 (scale 2): title 33, status 75, places 240 x 178, Cancel 120 wide.
    {480, 640, 0, 240, 33, 1, "x on buttonWidth"},
    {480, 640, 0, 241, 33, 2, "right of the seam"},
    {480, 640, 0, 10, 32, 0, "title band"},
    {480, 640, 0, 10, 212, 1, "row one's last line"},
    {480, 640, 0, 10, 213, 3, "row two"},
    {480, 640, 0, 10, 390, 3, "row two's last line"},
    {480, 640, 0, 10, 391, 5, "row three"},
    {480, 640, 0, 479, 565, 6, "H - statusHeight"},
    {480, 640, 0, 479, 566, 0, "status band above Cancel's hit area"},
    {480, 640, 0, 358, 569, 7, "Cancel"},
    {480, 640, 0, 357, 569, 0, "left of Cancel"},
    // Orientation 1 and 3 turn a 240 x 320 screen into a 320 x 240 landscape page: three columns of
    // 106 and two rows of 91, Cancel 80 wide. Page = (319 - y, x) for 1 and (y, 239 - x) for 3.
    {240, 320, 1, 0, 319, 0, "page (0, 0): title"},
    {240, 320, 1, 239, 0, 7, "page (319, 239): Cancel"},
    {240, 320, 1, 19, 213, 1, "page (106, 19): on the first seam"},
    {240, 320, 1, 19, 212, 2, "page (107, 19)"},
    {240, 320, 1, 19, 107, 2, "page (212, 19): on the second seam"},
    {240, 320, 1, 19, 106, 3, "page (213, 19)"},
    {240, 320, 1, 111, 309, 1, "page (10, 111): row one's last line"},
    {240, 320, 1, 112, 309, 4, "page (10, 112)"},
    {240, 320, 1, 200, 19, 6, "page (300, 200): above Cancel's hit area"},
    {240, 320, 3, 0, 319, 7, "page (319, 239): Cancel"},
    {240, 320, 3, 239, 0, 0, "page (0, 0): title"},
    {240, 320, 3, 220, 10, 1, "page (10, 19)"},
    {240, 320, 3, 221, 10, 0, "page (10, 18)"},
    {240, 320, 3, 220, 107, 2, "page (107, 19)"},
    {240, 320, 3, 128, 10, 1, "page (10, 111): row one's last line"},
    {240, 320, 3, 127, 10, 4, "page (10, 112): row two"},
    {240, 320, 2, 0, 0, 7, "page (239, 319): Cancel"},
    {240, 320, 2, 239, 319, 0, "page (0, 0): title"},
    {240, 320, 2, 119, 300, 1, "page (120, 19)"},
    {240, 320, 2, 118, 300, 2, "page (121, 19)"},
};

TEST(HitTest, LinesSeamsAndTurnedScreens) {
  for (const Hit& h : kHits) {
    computeLayout(h.width, h.height, h.orient);
    orientation = h.orient;
    EXPECT_EQ(hitTest(h.x, h.y), h.expect)
        << h.width << "x" << h.height << " orientation " << h.orient << " at (" << h.x << ", " << h.y << "): " << h.why;
  }
  orientation = 0;
}

// Every pixel of the panel hits a place (no dead seams), and the inside of every drawn button
// hits that button. The inside leaves 5 pixels at each edge: portrait rows are drawn sharing
// their borders, so the third row shows up to four pixels above its hit line.
TEST(HitTest, PanelHasNoGapsAndButtonsHitThemselves) {
  const int sizes[][2] = {{240, 320}, {320, 240}, {480, 640}, {640, 480}, {480, 800}};
  for (const auto& size : sizes) {
    computeLayout(size[0], size[1], 0);
    orientation = 0;
    const int W = logicalWidth, H = logicalHeight;
    int gaps = 0;
    for (int y = titleHeight; y <= H - statusHeight; ++y)
      for (int x = 0; x < W; ++x)
        if (hitTest(x, y) < 1 || hitTest(x, y) > 6) ++gaps;
    EXPECT_EQ(gaps, 0) << W << "x" << H;
    for (int place = 1; place <= 6; ++place) {
      RECT r = placeRect(place);
      int wrong = 0;
      for (int y = r.top + 5; y < r.bottom - 5; ++y)
        for (int x = r.left + 5; x < r.right - 5; ++x)
          if (hitTest(x, y) != place) ++wrong;
      EXPECT_EQ(wrong, 0) << W << "x" << H << " place " << place;
    }
  }
}

// ---- the highlight on a running window ----

const uint16_t kPanelBlue565 = ((96 >> 3) << 11) | ((152 >> 2) << 5) | (200 >> 3);

class StylusTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(Run());
  }
  // A pixel inside place `place` away from its picture and caption: blue when pressed.
  uint16_t PlaceFill(int place) {
    RECT r = placeRect(place);
    return apptest::FramePixel(mainWindow, r.left + 4, (r.top + r.bottom) / 2);
  }
  POINT Centre(int place) {
    RECT r = placeRect(place);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
};

TEST_F(StylusTest, HighlightFollowsTheStylusAndTheLiftDecides) {
  ASSERT_EQ(PlaceFill(1), 0xFFFF) << "not pressed at start";
  int frames = apptest::FrameCount(mainWindow);
  POINT gatso = Centre(1), mobile = Centre(2);
  ASSERT_TRUE(ce::null::StylusDown(gatso.x, gatso.y));
  Pump();
  EXPECT_EQ(apptest::FrameCount(mainWindow), frames + 1) << "a new highlight is presented at once";
  EXPECT_EQ(PlaceFill(1), kPanelBlue565);
  EXPECT_EQ(pressedSlot, 1);

  ASSERT_TRUE(ce::null::StylusMove(gatso.x + 3, gatso.y + 3));
  Pump();
  EXPECT_EQ(apptest::FrameCount(mainWindow), frames + 1) << "same place: nothing presented";

  ASSERT_TRUE(ce::null::StylusMove(mobile.x, mobile.y));
  Pump();
  EXPECT_EQ(PlaceFill(1), 0xFFFF);
  EXPECT_EQ(PlaceFill(2), kPanelBlue565);
  ASSERT_TRUE(ce::null::StylusUp(mobile.x, mobile.y));
  Pump();
  EXPECT_EQ(selectedTypeCode, 2) << "the place under the lift counts, not the first one touched";
  EXPECT_EQ(std::u16string(typeLabel), u"Mobile");
  EXPECT_EQ(currentPage, SpeedPage1);
  EXPECT_EQ(pressedSlot, 0);
}

TEST_F(StylusTest, SlidingOffThePanelRecordsNothing) {
  POINT gatso = Centre(1);
  ASSERT_TRUE(ce::null::StylusDown(gatso.x, gatso.y));
  ASSERT_TRUE(ce::null::StylusMove(gatso.x, 5));  // onto the title band
  ASSERT_TRUE(ce::null::StylusUp(gatso.x, 5));
  Pump();
  EXPECT_EQ(PlaceFill(1), 0xFFFF) << "the highlight is gone";
  EXPECT_EQ(currentPage, TypePage1);
  EXPECT_EQ(selectedTypeCode, 0);
  EXPECT_EQ(std::u16string(typeLabel), u"Unknown type and speed");
  EXPECT_FALSE(Ended());
}

TEST_F(StylusTest, BlankPlaceIsNeverHighlightedNorActedOn) {
  ASSERT_FALSE(TapPlace(6));  // page arrow: to TypePage2, whose place 5 is blank
  ASSERT_EQ(currentPage, TypePage2);
  POINT blank = Centre(5);
  int frames = apptest::FrameCount(mainWindow);
  ASSERT_TRUE(ce::null::StylusDown(blank.x, blank.y));
  Pump();
  EXPECT_EQ(apptest::FrameCount(mainWindow), frames + 1) << "a new hit result presents the frame";
  EXPECT_EQ(PlaceFill(5), 0xFFFF) << "but draws no highlight";
  ASSERT_TRUE(ce::null::StylusUp(blank.x, blank.y));
  Pump();
  EXPECT_EQ(currentPage, TypePage2);
  EXPECT_EQ(lastTarget, 0);
  EXPECT_FALSE(Ended());
}

TEST_F(StylusTest, LiftOnCancelClosesWithoutSaving) {
  POINT gatso = Centre(1);
  ASSERT_TRUE(ce::null::StylusDown(gatso.x, gatso.y));
  const int cx = logicalWidth - cancelWidth / 2, cy = logicalHeight - statusHeight / 2;
  ASSERT_TRUE(ce::null::StylusMove(cx, cy));
  ASSERT_TRUE(ce::null::StylusUp(cx, cy));
  EXPECT_TRUE(Pump());
  EXPECT_FALSE(IsWindow(mainWindow));
  EXPECT_EQ(CallNames(), (apptest::Texts{"GetCurrentPositionV01", "GetDataSetInfoV01"}))
      << "no save and no flashed message";
}

}  // namespace
