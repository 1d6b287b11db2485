// Layout metrics and place positions for the screen sizes and orientations a device can have.

#include <gtest/gtest.h>

#include "ce/ce.h"
#include "ui/layout.h"
#include "ui/run_state.h"

namespace {

struct LayoutCase {
  int width, height, orient;
  int logicalW, logicalH, scale, title, status, cancel, buttonW, buttonH;
  bool landscape;
};

TEST(Layout, MetricsFollowFromTheScreenSizeAndOrientation) {
  const LayoutCase cases[] = {
      // w    h    o   W    H    sc  title status cancel bw   bh   land
      {240, 320, 0, 240, 320, 1, 19, 38, 80, 120, 88, false},
      {480, 640, 0, 480, 640, 2, 33, 75, 120, 240, 178, false},
      {320, 240, 0, 320, 240, 1, 19, 38, 80, 106, 91, true},
      {240, 240, 0, 240, 240, 1, 19, 38, 80, 80, 91, true},     // square counts as landscape
      {480, 480, 0, 480, 480, 2, 33, 75, 120, 160, 186, true},  // 480 - 33 - 75 = 372, /2
      {240, 320, 1, 320, 240, 1, 19, 38, 80, 106, 91, true},    // turned: laid out 320 x 240
      {240, 320, 2, 240, 320, 1, 19, 38, 80, 120, 88, false},
      {240, 320, 3, 320, 240, 1, 19, 38, 80, 106, 91, true},
      {480, 640, 1, 640, 480, 2, 33, 75, 160, 213, 186, true},
      {640, 480, 0, 640, 480, 2, 33, 75, 160, 213, 186, true},
      {800, 480, 0, 800, 480, 3, 47, 112, 200, 266, 160, true},
  };
  for (const LayoutCase& c : cases) {
    scale = titleHeight = statusHeight = buttonWidth = buttonHeight = cancelWidth = -1;
    landscape = -1;
    computeLayout(c.width, c.height, c.orient);
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " orientation " << c.orient);
    EXPECT_EQ(logicalWidth, c.logicalW);
    EXPECT_EQ(logicalHeight, c.logicalH);
    EXPECT_EQ(scale, c.scale);
    EXPECT_EQ(titleHeight, c.title);
    EXPECT_EQ(statusHeight, c.status);
    EXPECT_EQ(cancelWidth, c.cancel);
    EXPECT_EQ(buttonWidth, c.buttonW);
    EXPECT_EQ(buttonHeight, c.buttonH);
    EXPECT_EQ(landscape != 0, c.landscape);
  }
}

struct PlaceCase {
  int width, height, place;
  RECT want;
};

TEST(Layout, PlacesShareBordersInPortraitAndStayAboveTheStatusBand) {
  const PlaceCase cases[] = {
      // Portrait 240 x 320: columns at 1 and 120, rows 88 high sharing one pixel.
      {240, 320, 1, {1, 20, 120, 107}},
      {240, 320, 2, {120, 20, 239, 107}},
      {240, 320, 3, {1, 107, 120, 194}},
      {240, 320, 6, {120, 194, 239, 281}},
      // 480 x 640: the last row would reach the status band (34 + 354 + 178 > 565): moved up one.
      {480, 640, 1, {1, 34, 240, 211}},
      {480, 640, 5, {1, 387, 240, 564}},
      {480, 640, 6, {240, 387, 479, 564}},
      // Landscape 320 x 240: three columns 106 wide, two rows 91 high.
      {320, 240, 1, {1, 20, 106, 110}},
      {320, 240, 3, {213, 20, 318, 110}},
      {320, 240, 4, {1, 111, 106, 201}},
      {320, 240, 6, {213, 111, 318, 201}},
  };
  for (const PlaceCase& c : cases) {
    computeLayout(c.width, c.height, 0);
    RECT got = placeRect(c.place);
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " place " << c.place);
    EXPECT_EQ(got.left, c.want.left);
    EXPECT_EQ(got.top, c.want.top);
    EXPECT_EQ(got.right, c.want.right);
    EXPECT_EQ(got.bottom, c.want.bottom);
    EXPECT_LE(got.bottom, logicalHeight - statusHeight) << "a place reaches into the status band";
  }
}

}  // namespace
