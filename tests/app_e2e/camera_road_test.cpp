// Cameras captured by tapping through the pages, stored by the navigator stand-in and read back
// with GPSBabel and the exporter's decoder.
#include <sys/inotify.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/app_e2e/e2e.h"
#include "tools/exporter/camera.h"

namespace e2e {
namespace {

using Lines = std::vector<std::string>;

Lines SplitLines(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// "yyyy-MM-ddTHH:mm:ss" local time to seconds; -1 when it does not parse.
time_t LocalSeconds(const std::string& text) {
  std::tm tm = {};
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                  &tm.tm_min, &tm.tm_sec) != 6)
    return -1;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

std::string FileBytes(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class CameraRoad : public DeviceRun {
 protected:
  // Runs the program once: taps the places, each but the last turning the page; the last saves.
  // Returns the program's exit code.
  int Capture(const std::vector<int>& places) {
    harness::Program* app = StartApp();
    if (!app) return -1;
    for (size_t i = 0; i + 1 < places.size(); ++i)
      EXPECT_TRUE(TapToPage(places[i])) << "tap " << i + 1 << " (place " << places[i] << ") turned no page";
    TapPlace(places.back());
    const int code = ExitCodeWithin(app, 15000);
    EXPECT_EQ(code, 0) << app->Output();
    return code;
  }

  // The navigator, then the program (app_) on the first page; a failure ends the test.
  void StartBoth() {
    ASSERT_NO_FATAL_FAILURE(Prepare());
    ASSERT_TRUE(StartNavigator());
    app_ = StartApp();
    ASSERT_TRUE(app_);
  }
  // The screen position of a place's centre on the upright first screen.
  Point OnScreen(int place) {
    const harness::Profile& p = device().profile();
    return PlaceCentre(p.width, p.height, 0, place);
  }

  // The camera data of the only point of the camera category.
  exporter::CameraData OnlyCamera() {
    const std::vector<StoredPoint> points = StoredPoints(kCameraFile);
    EXPECT_EQ(points.size(), 1u);
    if (points.empty()) return {};
    const exporter::DecodedDescription d = exporter::DecodeDescription(points[0].name);
    EXPECT_EQ(d.kind, exporter::DescriptionKind::Camera) << points[0].name << ": " << d.error;
    return d.camera;
  }

  harness::Program* app_ = nullptr;
};

TEST_F(CameraRoad, FirstCameraMakesTheCategoryAndIsStoredWithItsData) {
  harness::Profile profile;
  profile.deviceId = "00A1B2C3";
  ASSERT_NO_FATAL_FAILURE(Prepare(profile));
  ASSERT_FALSE(device().Exists(kCameraFile));
  ASSERT_FALSE(device().Exists(kCameraIcon));
  ASSERT_TRUE(StartNavigator());

  const time_t before = std::time(nullptr);
  const int requestsBefore = calls_.Requests();
  ASSERT_EQ(Capture({kPlace1, kPlace3, kPlace1}), 0);  // Gatso, 50 mph, This side
  const time_t after = std::time(nullptr);

  ASSERT_TRUE(WaitForFlash("1500 ms: 'Gatso 50 mph' saved ", 5000)) << navigator_->Output();
  EXPECT_EQ(Flashes(), (Lines{"1500 ms: Reloading map... ", "1500 ms: 'Gatso 50 mph' saved "}));
  // Position and map folder after the first paint; then location, flash, map switch, point,
  // flash and visibility for the save.
  EXPECT_EQ(calls_.Requests() - requestsBefore, 8);
  EXPECT_TRUE(CallsFolderFiles().empty()) << CallsFolderFiles().size() << " files left in the calls folder";

  // The navigator was asked nothing it refused: it reports those on its output.
  for (const std::string& line : SplitLines(navigator_->Output()))
    EXPECT_EQ(line.rfind("flash ", 0), 0u) << "navigator: " << line;

  // The program made the category file empty and put the icon beside it after asking for the
  // address (the save's first request) and before the reload message; the file was first written
  // when the point was added (the sixth request of the run).
  int requests = 0, fileMadeAt = -1, iconMadeAt = -1, fileWrittenAt = -1;
  for (const CallsWatch::Event& e : calls_.Events()) {
    if (e.IsRequest()) ++requests;
    if (e.folder != CallsWatch::kMap) continue;
    if (e.name == "Roadwatchcameras.ov2" && (e.mask & IN_CREATE) && fileMadeAt < 0) fileMadeAt = requests;
    if (e.name == "Roadwatchcameras.ov2" && (e.mask & IN_MODIFY) && fileWrittenAt < 0) fileWrittenAt = requests;
    if (e.name == "Roadwatchcameras.bmp" && (e.mask & (IN_CREATE | IN_MOVED_TO)) && iconMadeAt < 0)
      iconMadeAt = requests;
  }
  EXPECT_EQ(fileMadeAt, 3) << "requests sent before the category file appeared";
  EXPECT_EQ(iconMadeAt, 3) << "requests sent before the icon appeared";
  EXPECT_EQ(fileWrittenAt, 6) << "requests sent before the category file was first written";

  // The icon beside the program was copied into the map folder.
  ASSERT_TRUE(device().Exists(kCameraIcon));
  EXPECT_EQ(FileBytes(Host(kCameraIcon)), FileBytes(Host("\\Program Files\\Trapmarker\\Roadwatchcameras.bmp")));

  const std::vector<StoredPoint> points = StoredPoints(kCameraFile);
  ASSERT_EQ(points.size(), 1u);
  const Gps gps;
  EXPECT_NEAR(points[0].latitude, gps.latitude, 1e-5);
  EXPECT_NEAR(points[0].longitude, gps.longitude, 1e-5);
  const std::string& text = points[0].name;
  EXPECT_EQ(text.rfind("Main Road, Demotown !01", 0), 0u) << text;
  EXPECT_EQ(text.back(), '!') << text;

  const exporter::DecodedDescription d = exporter::DecodeDescription(text);
  ASSERT_EQ(d.kind, exporter::DescriptionKind::Camera) << text << ": " << d.error;
  EXPECT_EQ(d.street, "Main Road");
  EXPECT_EQ(d.place, "Demotown");
  EXPECT_EQ(d.camera.heading, gps.heading);
  EXPECT_EQ(d.camera.speedKmh, gps.speed);
  EXPECT_EQ(d.camera.deviceId, "00A1B2C3");
  const time_t captured = LocalSeconds(d.camera.captured);
  EXPECT_TRUE(captured >= before - 1 && captured <= after + 1)
      << "captured " << d.camera.captured << " outside the run (" << before << " .. " << after << ")";
  EXPECT_EQ(d.camera.typeCode, 1);
  EXPECT_EQ(d.camera.speedCode, 4);
  EXPECT_EQ(d.camera.directionCode, 0);
}

TEST_F(CameraRoad, SecondCameraGoesIntoTheExistingCategory) {
  ASSERT_NO_FATAL_FAILURE(Prepare());
  ASSERT_TRUE(StartNavigator());
  ASSERT_EQ(Capture({kPlace1, kPlace3, kPlace1}), 0);
  ASSERT_TRUE(WaitForFlash("1500 ms: 'Gatso 50 mph' saved ", 5000));
  // A copy of the icon would put the installed picture back over this one.
  ASSERT_TRUE(device().WriteFile(kCameraIcon, "not the installed icon"));
  const size_t flashes = Flashes().size();
  const int requests = calls_.Requests();

  // Mobile, then the speed page's arrow to "70 mph", then "Other side".
  ASSERT_EQ(Capture({kPlace2, kPlace6, kPlace2, kPlace2}), 0);
  ASSERT_TRUE(WaitForFlash("1500 ms: 'Mobile 70 mph' saved ", 5000)) << navigator_->Output();
  EXPECT_EQ(Flashes().size(), flashes + 1) << "only the saved message is flashed";
  EXPECT_EQ(calls_.Requests() - requests, 6) << "no map switch or reload message for a second camera";
  std::string icon;
  EXPECT_TRUE(device().ReadFile(kCameraIcon, &icon));
  EXPECT_TRUE(icon == "not the installed icon") << "the icon was copied again (" << icon.size() << " bytes)";

  const std::vector<StoredPoint> points = StoredPoints(kCameraFile);
  ASSERT_EQ(points.size(), 2u);
  const exporter::DecodedDescription first = exporter::DecodeDescription(points[0].name);
  const exporter::DecodedDescription second = exporter::DecodeDescription(points[1].name);
  ASSERT_EQ(second.kind, exporter::DescriptionKind::Camera) << points[1].name;
  EXPECT_EQ(first.camera.typeCode, 1);
  EXPECT_EQ(second.camera.typeCode, 2);
  EXPECT_EQ(second.camera.speedCode, 6);
  EXPECT_EQ(second.camera.directionCode, 1);
  EXPECT_EQ(second.camera.deviceId, "No Device ID") << "the device has no identifier";
}

// How a run's taps end up as codes: what a page records, and that the stylus's place at lifting
// counts, not where it went down.
TEST_F(CameraRoad, RemoveThenDirectionSavesTypeSevenWithoutSpeed) {
  ASSERT_NO_FATAL_FAILURE(Prepare());
  ASSERT_TRUE(StartNavigator());
  // Page arrow, "Remove", "Reversible".
  ASSERT_EQ(Capture({kPlace6, kPlace2, kPlace3}), 0);
  ASSERT_TRUE(WaitForFlash("1500 ms: 'Remove ' saved ", 5000)) << navigator_->Output();
  const exporter::CameraData c = OnlyCamera();
  EXPECT_EQ(c.typeCode, 7);
  EXPECT_EQ(c.speedCode, 0);
  EXPECT_EQ(c.directionCode, 2);
}

TEST_F(CameraRoad, SlidingFromGatsoToMobileRecordsMobile) {
  ASSERT_NO_FATAL_FAILURE(StartBoth());
  const Point gatso = OnScreen(kPlace1);
  const Point mobile = OnScreen(kPlace2);
  const std::vector<uint8_t> title = TitleBand();
  ASSERT_TRUE(screen().Drag(gatso.x, gatso.y, mobile.x, mobile.y));
  ASSERT_TRUE(harness::WaitFor([&] { return TitleBand() != title; }, 5000, 20)) << "the release turned no page";
  ASSERT_TRUE(TapToPage(kPlace1));  // 30 mph
  TapPlace(kPlace1);                // This side
  EXPECT_EQ(ExitCodeWithin(app_, 15000), 0) << app_->Output();
  ASSERT_TRUE(WaitForFlash("1500 ms: 'Mobile 30 mph' saved ", 5000)) << navigator_->Output();
  const exporter::CameraData c = OnlyCamera();
  EXPECT_EQ(c.typeCode, 2);
  EXPECT_EQ(c.speedCode, 2);
}

TEST_F(CameraRoad, ReleaseOffThePanelDoesNothing) {
  ASSERT_NO_FATAL_FAILURE(StartBoth());
  const Point gatso = OnScreen(kPlace1);
  harness::Image page;
  ASSERT_TRUE(screen().Capture(&page));
  // Down on "Gatso" (it shows pressed), up in the title band.
  ASSERT_TRUE(screen().Press(gatso.x, gatso.y));
  ASSERT_TRUE(harness::WaitFor(
      [&] {
        harness::Image now;
        return screen().Capture(&now) && now.rgb != page.rgb;
      },
      5000, 20))
      << "pressing Gatso did not highlight it";
  ASSERT_TRUE(screen().MoveTo(gatso.x, 10));
  ASSERT_TRUE(screen().MoveTo(device().profile().width / 2, 5));
  ASSERT_TRUE(screen().Release());
  // The highlight goes with the slide off; the page stays, nothing is saved, the program runs on.
  EXPECT_TRUE(harness::WaitFor(
      [&] {
        harness::Image now;
        return screen().Capture(&now) && now.rgb == page.rgb;
      },
      5000, 20))
      << "the first page did not come back unpressed";
  EXPECT_FALSE(app_->Wait(1000)) << "the program ended: " << app_->Output();
  EXPECT_TRUE(Flashes().empty());
  EXPECT_FALSE(device().Exists(kCameraFile));
  // Still on the type page: a tap on "Gatso" turns to the speeds.
  EXPECT_TRUE(TapToPage(kPlace1));
}

}  // namespace
}  // namespace e2e
