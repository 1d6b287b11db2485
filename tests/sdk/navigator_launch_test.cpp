// Starting the navigator for real: an Xvfb screen, a device with the scripted navigator installed
// under navigator names, and this process as the client on the X screen.
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "ce/ce.h"
#include "ce/device.h"
#include "ce/user/backend.h"
#include "sdk/navigator_launch.h"
#include "sdk/navigator_link.h"
#include "sdk/sdk_calls.h"
#include "sdk/transport/file_channel.h"
#include "tests/harness/harness.h"
#include "tests/scripted_peer/scripted_peer.h"

namespace {

// Watches this process's cursor from a second thread while the main thread is inside a call.
class CursorWatch {
 public:
  CursorWatch() : iWait(LoadCursorW(nullptr, IDC_WAIT)) {
    iThread = std::thread([this] {
      while (!iDone) {
        if (GetCursor() == iWait) iSawWait = true;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
    });
  }
  bool Finish() {
    iDone = true;
    iThread.join();
    return iSawWait;
  }

 private:
  HCURSOR iWait;
  std::atomic<bool> iDone{false};
  std::atomic<bool> iSawWait{false};
  std::thread iThread;
};

class NavigatorLaunchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    unsetenv("CE_BACKEND");  // the started navigator picks the X screen from DISPLAY
    device = new harness::Device();
    ASSERT_TRUE(device->ok());
    ASSERT_TRUE(device->StartScreen());
    device->SetEnvironment();
    ce::ResetDeviceForTests();
    ASSERT_TRUE(ce::user::UseBackend(ce::user::BackendKind::X11));

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = u"SdkLaunchClient";
    RegisterClassW(&windowClass);
    client = CreateWindowExW(0, u"SdkLaunchClient", u"Client", WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr,
                             nullptr);
    ASSERT_NE(client, nullptr);
  }
  static void TearDownTestSuite() {
    if (client != nullptr) DestroyWindow(client);
    delete device;
    device = nullptr;
  }

  void SetUp() override {
    // Every test starts from an empty file system on the same screen.
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(device->root() + "/fs", ignored)) {
      std::filesystem::remove_all(entry.path(), ignored);
    }
    ForgetCallsFolderWatch();
    ASSERT_TRUE(device->screen().WaitForNoWindow("MunichWinClass", "", 5000));
    ASSERT_TRUE(OpenNavigatorLink(&link));
    navigatorPath[0] = 0;
    SetForegroundWindow(client);
    ASSERT_TRUE(harness::WaitFor([] { return GetForegroundWindow() == client; }, 2000));
  }

  void TearDown() override {
    // A navigator left running would count as running for the next test.
    if (IsNavigatorRunning()) {
      INT status;
      StopApplicationV01(&link, &status);
    }
    EXPECT_TRUE(device->screen().WaitForNoWindow("MunichWinClass", "", 5000));
    CloseNavigatorLink(&link);
  }

  static bool InstallNavigator(const std::string& devicePath) {
    return device->Install(SCRIPTED_NAVIGATOR_EXE, devicePath);
  }
  // The requests a navigator installed in `folder` has logged ("" when it logged none).
  static std::string LogIn(const std::string& folder) {
    std::string log;
    device->ReadFile(folder + "\\scripted-navigator.log", &log);
    return log;
  }

  static harness::Device* device;
  static HWND client;
  NavigatorLink link;
};

harness::Device* NavigatorLaunchTest::device = nullptr;
HWND NavigatorLaunchTest::client = nullptr;

TEST_F(NavigatorLaunchTest, StartsTheFirstCandidateAndGivesTheForegroundBack) {
  struct Case {
    const char* label;
    std::vector<std::string> installed;
    std::string started;  // the folder of the one that must start
  } cases[] = {
      {"root folder before a deeper one", {"\\A\\TomTom Mobile.exe", "\\TomTom Navigator.exe"}, ""},
      {"a folder's own file before its subfolders",
       {"\\Apps\\A\\TomTom Navigator.exe", "\\Apps\\GPS Navigation.exe"},
       "\\Apps"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SetUp();
    for (const std::string& path : c.installed) {
      ASSERT_TRUE(InstallNavigator(path));
      // A slow start keeps the wait cursor up long enough to be seen from the watching thread.
      std::string folder = path.substr(0, path.rfind('\\'));
      ASSERT_TRUE(device->WriteFile(folder + "\\scripted-navigator.replies", "@window-delay 200\n"));
    }
    HCURSOR before = GetCursor();

    CursorWatch cursor;
    EXPECT_EQ(EnsureNavigatorRunning(&link), 0);
    EXPECT_TRUE(cursor.Finish()) << "no wait cursor while the navigator came up";

    EXPECT_NE(navigatorWindow, nullptr);
    EXPECT_TRUE(device->screen().Find("MunichWinClass", ""));
    EXPECT_EQ(GetCursor(), before);
    EXPECT_EQ(GetForegroundWindow(), client) << "the foreground was not given back";
    // The first exchange reached the started navigator, and only that one.
    EXPECT_EQ(LogIn(c.started), "BringNavigatorToForegroundV01|\n");
    for (const std::string& path : c.installed) {
      std::string folder = path.substr(0, path.rfind('\\'));
      if (folder != c.started) {
        EXPECT_EQ(LogIn(folder), "") << folder << " was started too";
      }
    }
    TearDown();
  }
}

TEST_F(NavigatorLaunchTest, NoCandidateStartsNothing) {
  // The same program, but not under a navigator's name.
  ASSERT_TRUE(InstallNavigator("\\Windows\\calc.exe"));
  HCURSOR before = GetCursor();
  EXPECT_EQ(EnsureNavigatorRunning(&link), -5);
  EXPECT_EQ(navigatorWindow, nullptr);
  EXPECT_EQ(GetCursor(), before);
  EXPECT_FALSE(device->screen().WaitForWindow("MunichWinClass", "", 300));
  EXPECT_EQ(navigatorPath[0], 0);
}

TEST_F(NavigatorLaunchTest, RunningNavigatorIsLeftAlone) {
  ASSERT_TRUE(InstallNavigator("\\TomTom Navigator.exe"));
  ASSERT_EQ(EnsureNavigatorRunning(&link), 0);
  std::u16string found(navigatorPath);
  navigatorPath[0] = 0;

  CursorWatch cursor;
  EXPECT_EQ(EnsureNavigatorRunning(&link), 0);
  EXPECT_FALSE(cursor.Finish());
  EXPECT_EQ(navigatorPath[0], 0) << "searched although the navigator runs";
  EXPECT_EQ(LogIn(""), "BringNavigatorToForegroundV01|\n") << "a second exchange was made";
  EXPECT_EQ(found, u"\\TomTom Navigator.exe");
}

TEST_F(NavigatorLaunchTest, CallsAfterAStartReachTheNavigator) {
  ASSERT_TRUE(InstallNavigator("\\Program Files\\Navigator\\TomTom Navigator.exe"));
  ASSERT_TRUE(device->WriteFile("\\Program Files\\Navigator\\scripted-navigator.replies",
                                "GetCurrentPositionV01 0|1|512345|-12345|90|50|\n"));
  INT status = -99;
  // The call's own request reaches the navigator after the first exchange of the start.
  EXPECT_EQ(BringNavigatorToForegroundV01(&link, &status), 0);
  EXPECT_EQ(status, 0);
  CurrentPositionResult position = {};
  EXPECT_EQ(GetCurrentPositionV01(&link, &status, &position), 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(position.fix, 1);
  EXPECT_EQ(position.x, 512345);
  EXPECT_EQ(position.y, -12345);
  FlashMessageV01(&link, &status, "'Gatso 50 mph' saved ", 1500);
  std::vector<std::vector<std::string>> expected = {{"BringNavigatorToForegroundV01"},
                                                    {"BringNavigatorToForegroundV01"},
                                                    {"GetCurrentPositionV01"},
                                                    {"FlashMessageV01", "'Gatso 50 mph' saved ", "1500"}};
  EXPECT_EQ(scripted::ReadRequestLog(device->HostPath("\\Program Files\\Navigator\\scripted-navigator.log")), expected);
}

TEST_F(NavigatorLaunchTest, FirstExchangeThatCannotBeWrittenGivesMinusOne) {
  ASSERT_TRUE(InstallNavigator("\\Program Files\\Navigator\\TomTom Navigator.exe"));
  // A file where the shared folder belongs: no request can be written.
  ASSERT_TRUE(device->WriteFile("\\TomTom", "in the way"));
  INT status = -99;
  EXPECT_EQ(FlashMessageV01(&link, &status, "x", 1500), -1);
  EXPECT_EQ(status, -1);
  EXPECT_TRUE(IsNavigatorRunning()) << "the navigator was not started";
  // The navigator takes the foreground just after its window appears, so it may not have yet.
  for (int wait = 0; wait < 200 && GetForegroundWindow() == client; ++wait) Sleep(10);
  EXPECT_NE(GetForegroundWindow(), client) << "the foreground is only given back after an answer";

  // Clear the way so the navigator can be stopped.
  std::filesystem::remove(device->HostPath("\\TomTom"));
  EXPECT_EQ(StopApplicationV01(&link, &status), 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(LogIn("\\Program Files\\Navigator"), "StopApplicationV01|\n");
}

TEST_F(NavigatorLaunchTest, NavigatorThatGoesAwayEndsTheCall) {
  ASSERT_TRUE(InstallNavigator("\\TomTom Navigator.exe"));
  ASSERT_TRUE(device->WriteFile("\\scripted-navigator.replies", "GetRouteInfoV01 !exit\n"));
  RouteInfoResult route;
  route.value[0] = -7;
  INT status = -99;
  EXPECT_EQ(GetRouteInfoV01(&link, &status, &route), -2);
  EXPECT_EQ(status, -2);
  EXPECT_EQ(route.value[0], -7);
  EXPECT_EQ(LogIn(""), "BringNavigatorToForegroundV01|\nGetRouteInfoV01|\n");
  EXPECT_FALSE(IsNavigatorRunning());
}

}  // namespace
