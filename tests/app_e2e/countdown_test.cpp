// The auto-save countdown on the device screen: it counts down and saves an unclassified
// camera when nobody touches the screen; a touch stops it, a hovering pointer does not.
#include <algorithm>
#include <cstdlib>
#include <map>

#include "tests/app_e2e/e2e.h"
#include "tools/exporter/camera.h"
#include "ui/draw.h"
#include "ui/layout.h"
#include "ui/run_state.h"

namespace e2e {
namespace {

const std::string kTimerOn = "0\r\n1\r\n";
const std::string kUnclassifiedSaved = "1500 ms: 'Unknown type and speed ' saved ";

// The part of the screen that the countdown line's text covers on a 240 x 320 page.
struct LineBand {
  int top = 0, bottom = 0, left = 4, right = 0;
};

std::vector<uint16_t> ScreenBand(const harness::Image& img, const LineBand& b) {
  std::vector<uint16_t> out;
  for (int y = b.top; y < b.bottom; ++y) {
    for (int x = b.left; x < b.right; ++x) {
      const uint32_t c = img.Pixel(x, y);
      out.push_back(static_cast<uint16_t>((((c >> 19) & 31) << 11) | (((c >> 10) & 63) << 5) | ((c >> 3) & 31)));
    }
  }
  return out;
}

// What the line looks like with each count, drawn by the program's own drawing code on the
// page's background: the band, and for 1..5 the band's RGB565 pixels.
struct CountdownPictures {
  LineBand band;
  std::map<int, std::vector<uint16_t>> pictures;
};

CountdownPictures DrawCountdownLines() {
  setenv("CE_BACKEND", "null", 1);
  CountdownPictures out;
  computeLayout(240, 320, 0);
  physicalWidth = 240;
  physicalHeight = 320;
  memoryDC = CreateCompatibleDC(NULL);
  createDrawingObjects();
  SelectObject(memoryDC, defaultFont);  // the status lines' font, as after a page is drawn
  LineBand& b = out.band;
  // The text's own cell: the status line above may reach below its line into the rest.
  SIZE extent = {0, 0};
  GetTextExtentPoint32W(memoryDC, TEXT("Saving in 5 s   "), 16, &extent);
  b.top = logicalHeight - 24 * scale - 2;
  b.bottom = b.top + std::min<int>(extent.cy, 12 * scale);
  b.right = std::min<int>(b.left + extent.cx, logicalWidth - cancelWidth - 4);
  for (int n = 1; n <= 5; ++n) {
    SelectObject(memoryDC, panelPen);
    SelectObject(memoryDC, panelBrush);
    RoundRect(memoryDC, 0, 0, logicalWidth, logicalHeight, 9, 9);
    WCHAR line[32];
    StringCchPrintfW(line, 32, TEXT("Saving in %d s   "), n);
    drawCountdownLine(line);
    const int stride = (logicalWidth * 2 + 3) & ~3;
    const BYTE* bits = static_cast<const BYTE*>(logicalBits);
    std::vector<uint16_t>& picture = out.pictures[n];
    for (int y = b.top; y < b.bottom; ++y) {
      const WORD* row = reinterpret_cast<const WORD*>(bits + static_cast<size_t>(logicalHeight - 1 - y) * stride);
      for (int x = b.left; x < b.right; ++x) picture.push_back(row[x]);
    }
  }
  releaseDrawingObjects();
  return out;
}

class Countdown : public DeviceRun {
 protected:
  // Watches the countdown line until the program ends; the counts seen, in order, each once.
  std::vector<int> WatchCounts(harness::Program* app, int timeoutMs) {
    const CountdownPictures lines = DrawCountdownLines();
    const LineBand& b = lines.band;
    const auto& pictures = lines.pictures;
    EXPECT_GT(b.right - b.left, 40) << "the countdown text has no width";
    std::vector<int> seen;
    harness::WaitFor(
        [&] {
          harness::Image img;
          if (screen().Capture(&img)) {
            const std::vector<uint16_t> now = ScreenBand(img, b);
            for (const auto& [n, picture] : pictures)
              if (now == picture && (seen.empty() || seen.back() != n)) seen.push_back(n);
          }
          return !app->Running();
        },
        timeoutMs, 20);
    return seen;
  }
};

TEST_F(Countdown, UntouchedItCountsDownAndSavesAnUnclassifiedCamera) {
  ASSERT_NO_FATAL_FAILURE(Prepare({}, {}, kTimerOn));
  ASSERT_TRUE(StartNavigator());
  harness::Program* app = StartApp();
  ASSERT_TRUE(app);
  const std::vector<int> counts = WatchCounts(app, 20000);
  EXPECT_EQ(counts, (std::vector<int>{5, 4, 3, 2, 1}));
  ASSERT_EQ(ExitCodeWithin(app, 1000), 0) << app->Output();
  ASSERT_TRUE(WaitForFlash(kUnclassifiedSaved, 5000)) << navigator_->Output();

  const std::vector<StoredPoint> points = StoredPoints(kCameraFile);
  ASSERT_EQ(points.size(), 1u);
  const exporter::DecodedDescription d = exporter::DecodeDescription(points[0].name);
  ASSERT_EQ(d.kind, exporter::DescriptionKind::Camera) << points[0].name;
  EXPECT_EQ(d.camera.typeCode, 0);
  EXPECT_EQ(d.camera.speedCode, 0);
  EXPECT_EQ(d.camera.directionCode, 0);
}

TEST_F(Countdown, ATouchOutsideEveryButtonStopsIt) {
  ASSERT_NO_FATAL_FAILURE(Prepare({}, {}, kTimerOn));
  ASSERT_TRUE(StartNavigator());
  harness::Program* app = StartApp();
  ASSERT_TRUE(app);
  ASSERT_TRUE(screen().Tap(120, 5));  // the title band
  EXPECT_FALSE(app->Wait(8000)) << "the program ended without a tap on a button: " << app->Output();
  EXPECT_FALSE(device().Exists(kCameraFile));
  EXPECT_TRUE(Flashes().empty());
  // The run goes on by hand: Cancel ends it without a save.
  TapPlace(kCancel);
  EXPECT_EQ(ExitCodeWithin(app, 10000), 0) << app->Output();
  EXPECT_FALSE(device().Exists(kCameraFile));
}

TEST_F(Countdown, APointerHoveringWithoutTouchingLetsItRun) {
  ASSERT_NO_FATAL_FAILURE(Prepare({}, {}, kTimerOn));
  ASSERT_TRUE(StartNavigator());
  harness::Program* app = StartApp();
  ASSERT_TRUE(app);
  // Across the buttons and the bands, the button never down.
  const int path[][2] = {{60, 60}, {180, 60}, {180, 200}, {60, 250}, {120, 5}, {200, 300}};
  for (int round = 0; round < 3 && app->Running(); ++round) {
    for (const auto& p : path) {
      ASSERT_TRUE(screen().MoveTo(p[0], p[1]));
      app->Wait(100);
    }
  }
  EXPECT_EQ(ExitCodeWithin(app, 15000), 0) << app->Output();
  EXPECT_TRUE(WaitForFlash(kUnclassifiedSaved, 5000)) << navigator_->Output();
  EXPECT_EQ(StoredPoints(kCameraFile).size(), 1u);
}

}  // namespace
}  // namespace e2e
