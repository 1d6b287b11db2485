// How a run starts and ends when things are not as they should be: no GPS fix, no navigator, a
// navigator that goes away, a second start; and the program on other screens.
#include <algorithm>

#include "tests/app_e2e/e2e.h"
#include "tools/exporter/camera.h"

namespace e2e {
namespace {

class Start : public DeviceRun {
 protected:
  // A window of the given class and title on the screen; its id, 0 when none.
  unsigned long WindowOf(const std::string& cls, const std::string& title) {
    harness::XWin w;
    return screen().Find(cls, title, &w) ? w.id : 0;
  }

  // The message box now on the screen, checked for its caption, text and buttons.
  void ExpectBox(const std::string& text, std::vector<int> buttons, harness::MessageBox* box) {
    ASSERT_TRUE(screen().WaitForMessageBox(10000, box)) << "no message box";
    EXPECT_EQ(box->caption, "Trapmarker - Error");
    EXPECT_EQ(box->text, text);
    std::vector<int> ids;
    for (const auto& b : box->buttons) ids.push_back(b.id);
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, buttons);
  }

  // Starts the program with no navigator running and gives its question (start the navigator?)
  // the answer `button` (6 Yes, 7 No).
  void AnswerNavigatorQuestion(int button, harness::Program** app) {
    ASSERT_NO_FATAL_FAILURE(Prepare());
    *app = device().Start(kAppExe);
    ASSERT_TRUE(*app);
    harness::MessageBox box;
    ASSERT_NO_FATAL_FAILURE(ExpectBox("TomTom Navigator not running - do you want to start it?", {6, 7}, &box));
    ASSERT_TRUE(screen().TapButton(box, button));
  }
};

TEST_F(Start, NoGpsFixIsFlashedAndEndsTheRun) {
  Gps gps;
  gps.mode = "nofix";
  ASSERT_NO_FATAL_FAILURE(Prepare({}, gps));
  ASSERT_TRUE(StartNavigator());
  harness::Program* app = device().Start(kAppExe);
  ASSERT_TRUE(app);
  EXPECT_EQ(ExitCodeWithin(app, 15000), 0) << app->Output();
  ASSERT_TRUE(WaitForFlash("3000 ms: No valid GPS signal!  ", 5000)) << navigator_->Output();
  EXPECT_EQ(Flashes().size(), 1u);
  EXPECT_FALSE(device().Exists(kCameraFile));
}

TEST_F(Start, NavigatorAbsentAnsweredNoEndsWithoutACall) {
  harness::Program* app = nullptr;
  ASSERT_NO_FATAL_FAILURE(AnswerNavigatorQuestion(7, &app));
  EXPECT_EQ(ExitCodeWithin(app, 10000), 0) << app->Output();
  EXPECT_EQ(calls_.Requests(), 0);
  EXPECT_TRUE(CallsFolderFiles().empty()) << CallsFolderFiles().front();
  EXPECT_EQ(WindowOf(kNavigatorClass, ""), 0u) << "a navigator was started";
  EXPECT_FALSE(device().Exists(kAppIni)) << "the preferences file was written";
}

TEST_F(Start, NavigatorAbsentAnsweredYesStartsIt) {
  harness::Program* app = nullptr;
  ASSERT_NO_FATAL_FAILURE(AnswerNavigatorQuestion(6, &app));
  EXPECT_TRUE(screen().WaitForWindow(kNavigatorClass, "", 30000)) << "no navigator window";
  EXPECT_EQ(ExitCodeWithin(app, 30000), 0) << app->Output();
  EXPECT_EQ(WindowOf(kAppClass, kAppTitle), 0u);
  // The navigator answered the call that brought it forward, and it holds the foreground.
  EXPECT_GE(calls_.Replies(), 1);
  EXPECT_EQ(screen().Focus(), WindowOf(kNavigatorClass, ""));
}

TEST_F(Start, NavigatorGoneAtSaveIsReportedAndNothingIsStored) {
  ASSERT_NO_FATAL_FAILURE(Prepare());
  ASSERT_TRUE(StartNavigator());
  harness::Program* app = StartApp();  // position and map folder known
  ASSERT_TRUE(app);
  navigator_->Kill();
  ASSERT_TRUE(navigator_->Wait(5000));
  ASSERT_TRUE(screen().WaitForNoWindow(kNavigatorClass, "", 5000));

  ASSERT_TRUE(TapToPage(kPlace1));
  ASSERT_TRUE(TapToPage(kPlace3));
  TapPlace(kPlace1);
  harness::MessageBox box;
  ASSERT_NO_FATAL_FAILURE(ExpectBox("TomTom Not Running Any More.", {1}, &box));
  ASSERT_TRUE(screen().TapButton(box, 1));
  EXPECT_EQ(ExitCodeWithin(app, 10000), 0) << app->Output();
  EXPECT_FALSE(device().Exists(kCameraFile));
  EXPECT_EQ(WindowOf(kNavigatorClass, ""), 0u) << "the save started a navigator";
}

TEST_F(Start, SecondInstanceBringsTheFirstForwardAndEnds) {
  ASSERT_NO_FATAL_FAILURE(Prepare());
  ASSERT_TRUE(StartNavigator());
  harness::Program* first = StartApp();
  ASSERT_TRUE(first);
  const unsigned long firstWindow = WindowOf(kAppClass, kAppTitle);
  const unsigned long navigatorWindow = WindowOf(kNavigatorClass, "");
  ASSERT_NE(firstWindow, 0u);

  // Put the navigator in front, as if the driver had switched to it.
  ASSERT_TRUE(RaiseAndFocus(device().display(), navigatorWindow));
  ASSERT_TRUE(harness::WaitFor([&] { return screen().Focus() == navigatorWindow; }, 5000));

  harness::Program* second = device().Start(kAppExe);
  ASSERT_TRUE(second);
  EXPECT_EQ(ExitCodeWithin(second, 10000), 0) << second->Output();
  EXPECT_TRUE(first->Running());
  EXPECT_TRUE(harness::WaitFor([&] { return screen().Focus() == firstWindow; }, 5000))
      << "focus on " << screen().Focus() << ", first instance " << firstWindow;
  int windows = 0;
  for (const harness::XWin& w : screen().Windows()) windows += w.cls == kAppClass || w.instance == kAppClass;
  EXPECT_EQ(windows, 1);
  // Topmost of the program windows.
  const std::vector<harness::XWin> stack = screen().Windows();
  ASSERT_FALSE(stack.empty());
  EXPECT_EQ(stack.back().id, firstWindow);
}

TEST_F(Start, TurnedHalfwayTheScreenOriginIsCancel) {
  ASSERT_NO_FATAL_FAILURE(Prepare({}, {}, std::string("2\r\n0\r\n")));
  ASSERT_TRUE(StartNavigator());
  harness::Program* app = StartApp();
  ASSERT_TRUE(app);
  ASSERT_TRUE(screen().Tap(0, 0));
  EXPECT_EQ(ExitCodeWithin(app, 10000), 0) << app->Output();
  EXPECT_FALSE(device().Exists(kCameraFile));
  EXPECT_TRUE(Flashes().empty());
}

TEST_F(Start, QuarterTurnedPagesTakeACameraRoad) {
  for (const char* preferences : {"1\r\n0\r\n", "3\r\n0\r\n"}) {
    SCOPED_TRACE(testing::Message() << "orientation " << preferences[0]);
    ASSERT_NO_FATAL_FAILURE(Prepare({}, {}, std::string(preferences)));
    ASSERT_TRUE(StartNavigator());
    harness::Program* app = StartApp();
    ASSERT_TRUE(app);
    ASSERT_TRUE(TapToPage(kPlace5));  // Redlight
    ASSERT_TRUE(TapToPage(kPlace4));  // 60 mph
    TapPlace(kPlace2);                // Other side
    EXPECT_EQ(ExitCodeWithin(app, 15000), 0) << app->Output();
    ASSERT_TRUE(WaitForFlash("1500 ms: 'Redlight 60 mph' saved ", 5000)) << navigator_->Output();
    const std::vector<StoredPoint> points = StoredPoints(kCameraFile);
    ASSERT_EQ(points.size(), 1u);
    const exporter::DecodedDescription d = exporter::DecodeDescription(points[0].name);
    EXPECT_EQ(d.camera.typeCode, 5);
    EXPECT_EQ(d.camera.speedCode, 5);
    EXPECT_EQ(d.camera.directionCode, 1);
  }
}

TEST_F(Start, HighResolutionScreenIsCoveredAndACameraIsStored) {
  harness::Profile profile;
  profile.width = 480;
  profile.height = 640;
  ASSERT_NO_FATAL_FAILURE(Prepare(profile));
  ASSERT_TRUE(StartNavigator());
  harness::Program* app = StartApp();
  ASSERT_TRUE(app);
  harness::XWin w;
  ASSERT_TRUE(screen().Find(kAppClass, kAppTitle, &w));
  EXPECT_EQ(w.x, 0);
  EXPECT_EQ(w.y, 0);
  EXPECT_EQ(w.width, 480);
  EXPECT_EQ(w.height, 640);

  ASSERT_TRUE(TapToPage(kPlace4));  // Specs
  ASSERT_TRUE(TapToPage(kPlace2));  // 40 mph
  TapPlace(kPlace3);                // Reversible
  EXPECT_EQ(ExitCodeWithin(app, 15000), 0) << app->Output();
  ASSERT_TRUE(WaitForFlash("1500 ms: 'Specs 40 mph' saved ", 5000)) << navigator_->Output();
  const std::vector<StoredPoint> points = StoredPoints(kCameraFile);
  ASSERT_EQ(points.size(), 1u);
  const exporter::DecodedDescription d = exporter::DecodeDescription(points[0].name);
  ASSERT_EQ(d.kind, exporter::DescriptionKind::Camera) << points[0].name;
  EXPECT_EQ(d.address, "Main Road, Demotown");
  EXPECT_EQ(d.camera.typeCode, 4);
  EXPECT_EQ(d.camera.speedCode, 3);
  EXPECT_EQ(d.camera.directionCode, 2);
}

}  // namespace
}  // namespace e2e
