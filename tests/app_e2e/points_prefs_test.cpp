// Custom points, clearing the cameras and the timer preference, worked from the program's pages.
#include <filesystem>

#include "navigator/streets.h"
#include "tests/app_e2e/e2e.h"

namespace e2e {
namespace {

// One OV2 point record (type 2): what the navigator would have stored for an earlier camera.
std::string Ov2Record(int32_t x, int32_t y, const std::string& text) {
  std::string r(1, '\x02');
  auto put = [&](int32_t v) {
    for (int i = 0; i < 4; ++i) r += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
  };
  put(static_cast<int32_t>(13 + text.size() + 1));
  put(x);
  put(y);
  return r + text + '\0';
}

class PointsAndPreferences : public DeviceRun {
 protected:
  // From the first page to the preferences page: a type, a speed, then "Preferences".
  void GoToPreferences() {
    ASSERT_TRUE(TapToPage(kPlace1));
    ASSERT_TRUE(TapToPage(kPlace3));
    ASSERT_TRUE(TapToPage(kPlace5));
  }

  std::string Preferences() {
    std::string bytes;
    device().ReadFile(kAppIni, &bytes);
    return bytes;
  }
};

TEST_F(PointsAndPreferences, CustomPointGoesToItsCategoryWithTheAddress) {
  const Gps gps;  // on Main Road, in the south part of Demotown
  ASSERT_NO_FATAL_FAILURE(Prepare({}, gps, std::string("0\r\n0\r\nFuel\r\nParking\r\n")));
  const size_t fuelBefore = StoredPoints(kFuelFile).size();
  ASSERT_GT(fuelBefore, 0u) << "the demo map's fuel stations are missing";

  // The address the navigator gives for the position, from the same street file.
  nav::StreetMap streets;
  std::vector<std::string> warnings;
  std::string error;
  std::string streetFile;
  ASSERT_TRUE(device().ReadFile(std::string(kMapFolder) + "streets.txt", &streetFile));
  ASSERT_TRUE(streets.Parse(streetFile, warnings, error)) << error;
  nav::LocationInfo here;
  ASSERT_TRUE(streets.Locate(nav::FromDegrees(gps.latitude, gps.longitude), 1000, here));
  ASSERT_EQ(here.street, "Main Road");
  ASSERT_EQ(here.place, "Demotown (South)");
  ASSERT_TRUE(here.houseNumber >= 1 && here.houseNumber <= 79) << here.houseNumber;

  ASSERT_TRUE(StartNavigator());
  harness::Program* app = StartApp();
  ASSERT_TRUE(app);
  ASSERT_TRUE(TapToPage(kPlace6));  // the second type page
  ASSERT_TRUE(TapToPage(kPlace4));  // "Custom POI"
  TapPlace(kPlace1);                // "Fuel"
  ASSERT_EQ(ExitCodeWithin(app, 15000), 0) << app->Output();
  ASSERT_TRUE(WaitForFlash("1500 ms: 'Fuel' saved ", 5000)) << navigator_->Output();
  EXPECT_EQ(Flashes().size(), 1u) << "no map reload for a custom point";

  const std::vector<StoredPoint> fuel = StoredPoints(kFuelFile);
  ASSERT_EQ(fuel.size(), fuelBefore + 1);
  EXPECT_EQ(fuel.back().name, std::to_string(here.houseNumber) + " Main Road, Demotown");
  EXPECT_NEAR(fuel.back().latitude, gps.latitude, 1e-5);
  EXPECT_NEAR(fuel.back().longitude, gps.longitude, 1e-5);
  EXPECT_FALSE(device().Exists(kCameraFile)) << "a custom point made the camera category";
}

TEST_F(PointsAndPreferences, ClearCamerasAnsweredYesDeletesTheCategoryFile) {
  ASSERT_NO_FATAL_FAILURE(Prepare());
  ASSERT_TRUE(device().WriteFile(kCameraFile, Ov2Record(-150000, 5211350, "Main Road, Demotown !01MTI7!")));
  ASSERT_TRUE(device().WriteFile(kCameraIcon, "icon"));
  ASSERT_TRUE(StartNavigator());
  harness::Program* app = StartApp();
  ASSERT_TRUE(app);
  ASSERT_NO_FATAL_FAILURE(GoToPreferences());
  TapPlace(kPlace2);  // "Clear cameras"

  harness::MessageBox box;
  ASSERT_TRUE(screen().WaitForMessageBox(10000, &box));
  EXPECT_EQ(box.caption, "Trapmarker");
  EXPECT_EQ(box.text, "Are you sure you want to delete all collected cameras?");
  EXPECT_TRUE(box.Find(6) && box.Find(7) && box.buttons.size() == 2u) << "expected Yes and No";
  ASSERT_TRUE(screen().TapButton(box, 6));

  ASSERT_EQ(ExitCodeWithin(app, 10000), 0) << app->Output();
  ASSERT_TRUE(WaitForFlash("1500 ms: 'Roadwatchcameras' deleted ", 5000)) << navigator_->Output();
  EXPECT_FALSE(device().Exists(kCameraFile));
  EXPECT_TRUE(device().Exists(kCameraIcon)) << "the icon stays";
}

TEST_F(PointsAndPreferences, ClearCamerasAnsweredNoKeepsThemAndTheRun) {
  ASSERT_NO_FATAL_FAILURE(Prepare());
  const std::string cameras = Ov2Record(-150000, 5211350, "Main Road, Demotown !01MTI7!");
  ASSERT_TRUE(device().WriteFile(kCameraFile, cameras));
  ASSERT_TRUE(StartNavigator());
  harness::Program* app = StartApp();
  ASSERT_TRUE(app);
  ASSERT_NO_FATAL_FAILURE(GoToPreferences());
  TapPlace(kPlace2);
  ASSERT_TRUE(screen().AnswerMessageBox(7, /*byKey=*/true, 10000));
  ASSERT_TRUE(screen().WaitForNoWindow("Dialog", "Trapmarker", 5000));

  EXPECT_FALSE(app->Wait(1000)) << "the program ended: " << app->Output();
  std::string kept;
  EXPECT_TRUE(device().ReadFile(kCameraFile, &kept));
  EXPECT_EQ(kept, cameras);
  EXPECT_TRUE(Flashes().empty());
  // Still on the preferences page: "Start over" goes back to the types, Cancel ends the run.
  ASSERT_TRUE(TapToPage(kPlace6));
  TapPlace(kCancel);
  EXPECT_EQ(ExitCodeWithin(app, 10000), 0) << app->Output();
  EXPECT_TRUE(device().ReadFile(kCameraFile, &kept));
  EXPECT_EQ(kept, cameras);
}

TEST_F(PointsAndPreferences, TimerToggleRewritesOnlyTheFirstFourBytes) {
  const std::string names = "Fuel\r\nParking\r\nSchool\r\n";
  ASSERT_NO_FATAL_FAILURE(Prepare({}, {}, "0\r\n0\r\n" + names));
  ASSERT_TRUE(StartNavigator());
  harness::Program* app = StartApp();
  ASSERT_TRUE(app);
  ASSERT_NO_FATAL_FAILURE(GoToPreferences());

  TapPlace(kPlace1);  // "Turn timer on"
  EXPECT_TRUE(harness::WaitFor([&] { return Preferences() == "0\r\n1\r\n" + names; }, 5000, 10))
      << "after one toggle: " << testing::PrintToString(Preferences());
  TapPlace(kPlace1);  // "Turn timer off"
  EXPECT_TRUE(harness::WaitFor([&] { return Preferences() == "0\r\n0\r\n" + names; }, 5000, 10))
      << "after two toggles: " << testing::PrintToString(Preferences());

  TapPlace(kCancel);
  EXPECT_EQ(ExitCodeWithin(app, 10000), 0) << app->Output();
  EXPECT_FALSE(device().Exists(kCameraFile));
}

}  // namespace
}  // namespace e2e
