// The navigator's screen drawn into a memory bitmap and checked by pixels.
#include "navigator/screen.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "ce/device.h"
#include "tests/navigator/test_util.h"

namespace {

constexpr int kWidth = 240, kHeight = 320;

bool Near(COLORREF got, COLORREF want) {
  return std::abs(int(GetRValue(got)) - int(GetRValue(want))) <= 8 &&
         std::abs(int(GetGValue(got)) - int(GetGValue(want))) <= 8 &&
         std::abs(int(GetBValue(got)) - int(GetBValue(want))) <= 8;
}

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateCompatibleBitmap(dc, kWidth, kHeight);
    old = SelectObject(dc, bitmap);
  }
  void TearDown() override {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  std::unique_ptr<nav::Navigator> Start(nav::GpsMode mode) {
    nav::NavigatorConfig c;
    c.mode = mode;
    c.latitude = 52.128;  // on Park Avenue, driving east
    c.longitude = -1.49;
    c.heading = 90;
    auto n = std::make_unique<nav::Navigator>(c, "\\Program Files\\Navigator\\", [this] { return now; });
    std::vector<std::string> warnings;
    n->Start(warnings);
    return n;
  }
  void Call(nav::Navigator& n, std::vector<std::string> request) {
    std::vector<std::string_view> v(request.begin(), request.end());
    ASSERT_EQ(n.Handle(v), std::vector<std::string>{"0"}) << request[0];
  }
  COLORREF At(int x, int y) { return GetPixel(dc, x, y); }

  navtest::DemoDevice device;
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  double now = 50;
  nav::Screen screen;
};

const COLORREF kMarker = RGB(20, 110, 230), kFlash = RGB(255, 250, 200), kPump = RGB(0, 140, 40);

TEST_F(ScreenTest, MarkerPointsAlongTheHeading) {
  auto n = Start(nav::GpsMode::kFixed);
  screen.Draw(dc, kWidth, kHeight, *n);
  int cx = kWidth / 2, cy = kHeight / 2;
  EXPECT_TRUE(Near(At(cx + 6, cy), kMarker)) << "ahead of the centre: " << std::hex << At(cx + 6, cy);
  EXPECT_FALSE(Near(At(cx - 7, cy), kMarker)) << "behind the notch";
  EXPECT_FALSE(Near(At(cx, cy - 11), kMarker)) << "no arrow pointing north";
}

TEST_F(ScreenTest, NoFixDrawsNoMarker) {
  auto n = Start(nav::GpsMode::kNoFix);
  Call(*n, {"ShowCoordinatesOnMapV01", "-149000", "5212800"});
  screen.Draw(dc, kWidth, kHeight, *n);
  for (int dx = -8; dx <= 8; dx++) EXPECT_FALSE(Near(At(kWidth / 2 + dx, kHeight / 2), kMarker)) << dx;
}

TEST_F(ScreenTest, VisibleCategoriesShowTheirIcons) {
  auto n = Start(nav::GpsMode::kFixed);
  POINT pump = nav::ToScreen(nav::FromDegrees(52.12820, -1.48500), n->ViewCentre(), n->ViewSpanMetres() / kWidth,
                             kWidth, kHeight);
  ASSERT_TRUE(pump.x > 10 && pump.x < kWidth - 10 && pump.y > 30 && pump.y < kHeight - 30);
  // The icon's body covers its centre column from 5 pixels above the middle.
  int x = pump.x - 2, y = pump.y;
  screen.Draw(dc, kWidth, kHeight, *n);
  EXPECT_FALSE(Near(At(x, y), kPump)) << "hidden category drawn";
  Call(*n, {"MakeUserPoiVisibleV01", "Fuel", "1"});
  screen.Draw(dc, kWidth, kHeight, *n);
  EXPECT_TRUE(Near(At(x, y), kPump)) << std::hex << At(x, y);
}

TEST_F(ScreenTest, FlashedMessageShowsForItsDuration) {
  auto n = Start(nav::GpsMode::kFixed);
  Call(*n, {"FlashMessageV01", "'Gatso 50 mph' saved ", "1500"});
  screen.Draw(dc, kWidth, kHeight, *n);
  EXPECT_TRUE(Near(At(20, kHeight / 2 - 20), kFlash));
  now += 1.6;
  screen.Draw(dc, kWidth, kHeight, *n);
  EXPECT_FALSE(Near(At(20, kHeight / 2 - 20), kFlash));
}

}  // namespace
