// The Trapmarker executable on an Xvfb device next to the scripted-navigator executable, which is
// installed under the navigator's name, answers from its replies file and logs every request.
// Each test taps through one run like a finger on the screen and compares the exact requests.
#include <time.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/app/decode.h"
#include "tests/harness/harness.h"
#include "tests/scripted_peer/scripted_peer.h"

namespace {

using Request = std::vector<std::string>;

const char kNavigatorExe[] = "\\Program Files\\Navigator\\TomTom Navigator.exe";
const char kNavigatorDir[] = "\\Program Files\\Navigator\\";
const char kAppExe[] = "\\Program Files\\Trapmarker\\Trapmarker.exe";
const char kAppDir[] = "\\Program Files\\Trapmarker\\";
const char kMapDir[] = "\\TomTom\\Maps\\Demo\\";

const char kReplies[] =
    "GetCurrentPositionV01 0|1|-150000|5211000|90|50|\n"
    "GetDataSetInfoV01 0|Demo|\\TomTom\\Maps\\Demo\\|0|0|\n"
    "GetLocationInfoExV01 0|-150000|5211000|1|Main Road|12|0|Town (North)|\n"
    "* 0|\n";

// Centres of the places on a 240 x 320 screen: two columns of 120, rows of 88 below the 19-pixel
// title.
struct Point {
  int x, y;
};
const Point kPlace[7] = {{0, 0}, {60, 63}, {179, 63}, {60, 150}, {179, 150}, {60, 237}, {179, 237}};

std::string LocalNow() {
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  char text[32];
  strftime(text, sizeof text, "%Y%m%d %H%M%S", &local);
  return text;
}

class ScriptedRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    harness::Profile profile;
    profile.deviceId = "00A1B2C3";
    dev_ = std::make_unique<harness::Device>(profile);
    ASSERT_TRUE(dev_->ok());
    ASSERT_TRUE(dev_->StartScreen());
    ASSERT_TRUE(dev_->Install(SCRIPTED_NAVIGATOR_EXE, kNavigatorExe));
    ASSERT_TRUE(dev_->Install(TRAPMARKER_EXE, kAppExe));
    ASSERT_TRUE(dev_->Install(CAMERA_ICON, std::string(kAppDir) + "Roadwatchcameras.bmp"));
    ASSERT_TRUE(dev_->WriteFile(std::string(kMapDir) + "streets.txt", ""));
    SetReplies(kReplies);
  }

  void SetReplies(const std::string& replies) {
    ASSERT_TRUE(dev_->WriteFile(std::string(kNavigatorDir) + scripted::kRepliesFileName, replies));
  }
  void StartNavigator() {
    ASSERT_NE(dev_->Start(kNavigatorExe), nullptr);
    ASSERT_TRUE(dev_->screen().WaitForWindow("MunichWinClass", "", 5000));
  }
  // Starts the program and waits for its window and the requests of its first paint.
  harness::Program* StartApp(size_t firstRequests) {
    harness::Program* app = dev_->Start(kAppExe);
    EXPECT_NE(app, nullptr);
    if (app == nullptr) return nullptr;
    EXPECT_TRUE(harness::WaitFor([&] { return Log().size() >= firstRequests; }, 5000))
        << "requests so far: " << Log().size() << "\n"
        << app->Output();
    return app;
  }
  std::vector<Request> Log() const {
    return scripted::ReadRequestLog(dev_->HostPath(std::string(kNavigatorDir) + scripted::kLogFileName));
  }
  void Tap(int place) { ASSERT_TRUE(dev_->screen().Tap(kPlace[place].x, kPlace[place].y)); }
  void ExpectEnded(harness::Program* app) {
    ASSERT_TRUE(app->Wait(10000)) << app->Output();
    EXPECT_EQ(app->ExitCode(), 0) << app->Output();
    EXPECT_FALSE(dev_->screen().Find("TRAPMARKER", "Trapmarker"));
  }

  std::unique_ptr<harness::Device> dev_;
};

TEST_F(ScriptedRunTest, OneCameraFromTapToMap) {
  StartNavigator();
  const std::string before = LocalNow();
  harness::Program* app = StartApp(2);
  ASSERT_NE(app, nullptr);
  Tap(1);  // Gatso
  Tap(3);  // 50 mph
  Tap(1);  // This side
  ExpectEnded(app);
  const std::string after = LocalNow();

  std::vector<Request> log = Log();
  ASSERT_EQ(log.size(), 8u);
  ASSERT_EQ(log[5].size(), 6u);
  const std::string description = log[5][4];
  EXPECT_EQ(log, (std::vector<Request>{
                     {"GetCurrentPositionV01"},
                     {"GetDataSetInfoV01"},
                     {"GetLocationInfoExV01", "-150000", "5211000"},
                     {"FlashMessageV01", "Reloading map... ", "1500"},
                     {"SwitchMapV01", "\\TomTom\\Maps\\Demo\\"},
                     {"AddPoiV01", "Roadwatchcameras", "-150000", "5211000", description, ""},
                     {"FlashMessageV01", "'Gatso 50 mph' saved ", "1500"},
                     {"MakeUserPoiVisibleV01", "Roadwatchcameras", "1"},
                 }));

  apptest::CameraDescription parsed;
  ASSERT_TRUE(apptest::ParseCameraDescription(description, &parsed)) << description;
  EXPECT_EQ(parsed.address, "Main Road, Town");
  EXPECT_EQ(parsed.marker, "01");
  std::vector<std::string> items = apptest::SplitItems(parsed.data);
  ASSERT_GE(items.size(), 8u) << parsed.data;
  EXPECT_EQ(std::vector<std::string>(items.begin(), items.begin() + 4),
            (std::vector<std::string>{"90", "50", "00A1B2C3", "N"}));
  EXPECT_GE(items[4], before);
  EXPECT_LE(items[4], after);
  EXPECT_EQ(std::vector<std::string>(items.begin() + 5, items.begin() + 8), (std::vector<std::string>{"1", "4", "0"}));
  for (size_t i = 8; i < items.size(); ++i) EXPECT_EQ(items[i], "") << "padding only after the codes";

  std::string ov2, icon, source;
  EXPECT_TRUE(dev_->ReadFile(std::string(kMapDir) + "Roadwatchcameras.ov2", &ov2));
  EXPECT_EQ(ov2, "") << "the program creates the category empty; the navigator adds the records";
  EXPECT_TRUE(dev_->ReadFile(std::string(kMapDir) + "Roadwatchcameras.bmp", &icon));
  EXPECT_TRUE(dev_->ReadFile(std::string(kAppDir) + "Roadwatchcameras.bmp", &source));
  EXPECT_FALSE(icon.empty());
  EXPECT_EQ(icon, source);

  // A second camera in the same folder neither creates the file nor reloads the map.
  app = StartApp(10);
  ASSERT_NE(app, nullptr);
  Tap(1);
  Tap(3);
  Tap(2);  // Other side
  ExpectEnded(app);
  log = Log();
  ASSERT_EQ(log.size(), 14u);
  std::vector<std::string> names;
  for (size_t i = 8; i < log.size(); ++i) names.push_back(log[i][0]);
  EXPECT_EQ(names, (std::vector<std::string>{"GetCurrentPositionV01", "GetDataSetInfoV01", "GetLocationInfoExV01",
                                             "AddPoiV01", "FlashMessageV01", "MakeUserPoiVisibleV01"}));
}

TEST_F(ScriptedRunTest, CustomPoint) {
  ASSERT_TRUE(dev_->WriteFile(std::string(kAppDir) + "Trapmarker.ini", "0\r\n0\r\nFuel\r\n"));
  StartNavigator();
  harness::Program* app = StartApp(2);
  ASSERT_NE(app, nullptr);
  Tap(6);  // page arrow
  Tap(4);  // Custom POI
  Tap(1);  // Fuel
  ExpectEnded(app);
  EXPECT_EQ(Log(), (std::vector<Request>{
                       {"GetCurrentPositionV01"},
                       {"GetDataSetInfoV01"},
                       {"GetLocationInfoExV01", "-150000", "5211000"},
                       {"AddPoiV01", "Fuel", "-150000", "5211000", "12 Main Road, Town", ""},
                       {"FlashMessageV01", "'Fuel' saved ", "1500"},
                       {"MakeUserPoiVisibleV01", "Fuel", "1"},
                   }));
  EXPECT_FALSE(dev_->Exists(std::string(kMapDir) + "Roadwatchcameras.ov2"));
}

TEST_F(ScriptedRunTest, CountdownSavesAnUnclassifiedCamera) {
  ASSERT_TRUE(dev_->WriteFile(std::string(kAppDir) + "Trapmarker.ini", "0\r\n1\r\n"));
  StartNavigator();
  harness::Program* app = StartApp(2);
  ASSERT_NE(app, nullptr);
  // Five ticks show the seconds left; the sixth, six seconds after the first paint, saves.
  std::this_thread::sleep_for(std::chrono::seconds(4));
  EXPECT_TRUE(app->Running()) << "saved before the countdown ran out";
  EXPECT_EQ(Log().size(), 2u);
  ExpectEnded(app);
  std::vector<Request> log = Log();
  ASSERT_EQ(log.size(), 8u);
  ASSERT_EQ(log[5].size(), 6u);
  EXPECT_EQ(log[6], (Request{"FlashMessageV01", "'Unknown type and speed ' saved ", "1500"}));
  apptest::CameraDescription parsed;
  ASSERT_TRUE(apptest::ParseCameraDescription(log[5][4], &parsed));
  std::vector<std::string> items = apptest::SplitItems(parsed.data);
  ASSERT_GE(items.size(), 8u);
  EXPECT_EQ(std::vector<std::string>(items.begin() + 5, items.begin() + 8), (std::vector<std::string>{"0", "0", "0"}));
}

TEST_F(ScriptedRunTest, NoFixEndsTheRun) {
  SetReplies(std::string(kReplies) + "GetCurrentPositionV01 0|0|0|0|0|0|\n");  // later lines win
  StartNavigator();
  harness::Program* app = StartApp(2);
  ASSERT_NE(app, nullptr);
  ExpectEnded(app);
  EXPECT_EQ(Log(), (std::vector<Request>{
                       {"GetCurrentPositionV01"},
                       {"FlashMessageV01", "No valid GPS signal!  ", "3000"},
                   }));
}

TEST_F(ScriptedRunTest, NavigatorGoneDuringTheSaveIsStartedAgain) {
  SetReplies(std::string(kReplies) + "AddPoiV01 !exit\n");
  StartNavigator();
  harness::Program* app = StartApp(2);
  ASSERT_NE(app, nullptr);
  Tap(1);
  Tap(3);
  Tap(1);
  ExpectEnded(app);  // no call waits for an answer that cannot come
  std::vector<Request> log = Log();
  std::vector<std::string> names;
  for (const Request& request : log) names.push_back(request.empty() ? "" : request[0]);
  // The call that found the navigator gone starts it again before its own request.
  EXPECT_EQ(names,
            (std::vector<std::string>{"GetCurrentPositionV01", "GetDataSetInfoV01", "GetLocationInfoExV01",
                                      "FlashMessageV01", "SwitchMapV01", "AddPoiV01", "BringNavigatorToForegroundV01",
                                      "FlashMessageV01", "MakeUserPoiVisibleV01"}));
}

TEST_F(ScriptedRunTest, NavigatorClosedAndYesStartsIt) {
  harness::Program* app = dev_->Start(kAppExe);
  ASSERT_NE(app, nullptr);
  harness::MessageBox box;
  ASSERT_TRUE(dev_->screen().WaitForMessageBox(5000, &box));
  EXPECT_EQ(box.caption, "Trapmarker - Error");
  EXPECT_EQ(box.text, "TomTom Navigator not running - do you want to start it?");
  EXPECT_NE(box.Find(6), nullptr);
  EXPECT_NE(box.Find(7), nullptr);
  ASSERT_TRUE(dev_->screen().TapButton(box, 6));
  ExpectEnded(app);
  EXPECT_TRUE(dev_->screen().Find("MunichWinClass", "")) << "the navigator was started and runs on";
  // The launch proves the navigator answers with a first exchange, then the call itself goes out.
  EXPECT_EQ(Log(), (std::vector<Request>{{"BringNavigatorToForegroundV01"}, {"BringNavigatorToForegroundV01"}}));
}

TEST_F(ScriptedRunTest, NavigatorClosedAndNoEndsAtOnce) {
  harness::Program* app = dev_->Start(kAppExe);
  ASSERT_NE(app, nullptr);
  ASSERT_TRUE(dev_->screen().AnswerMessageBox(7, /*byKey=*/true));
  ExpectEnded(app);
  EXPECT_FALSE(dev_->screen().Find("MunichWinClass", ""));
  EXPECT_FALSE(dev_->Exists(std::string(kNavigatorDir) + scripted::kLogFileName));
  EXPECT_FALSE(dev_->Exists("\\TomTom\\SdkFileCalls\\")) << "not even the calls folder";
}

}  // namespace
