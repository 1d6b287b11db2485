// The shell: the start with and without the navigator, the single instance, and the window
// procedure's dispatch table.
#include <string>

#include <gtest/gtest.h>

#include "app/app.h"
#include "ce/null/null.h"
#include "sdk/navigator_link.h"
#include "tests/app/app_fixture.h"
#include "ui/buttons.h"
#include "ui/layout.h"
#include "ui/run_state.h"

namespace {

using apptest::AppTest;
using apptest::Texts;

const char16_t kStartQuestion[] = u"TomTom Navigator not running - do you want to start it?";
const char16_t kErrorCaption[] = u"Trapmarker - Error";

class StartTest : public AppTest {};

TEST_F(StartTest, NavigatorAbsentAndNoClosesWithoutAnything) {
  Put("Trapmarker.ini", "1\r\n1\r\nFuel\r\n");
  QueueAnswer(IDNO);
  EXPECT_FALSE(Launch()) << "the window is gone by the time creation returns";
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].owner, nullptr);
  EXPECT_EQ(Boxes()[0].text, kStartQuestion);
  EXPECT_EQ(Boxes()[0].caption, kErrorCaption);
  EXPECT_EQ(Boxes()[0].type, static_cast<UINT>(MB_YESNO | MB_ICONHAND));
  EXPECT_EQ(FindWindowW(u"TRAPMARKER", u"Trapmarker"), nullptr);
  EXPECT_FALSE(Exists("TomTom/SdkFileCalls")) << "no SDK file was written";
  EXPECT_EQ(Read("Trapmarker.ini"), "1\r\n1\r\nFuel\r\n");
  EXPECT_EQ(orientation, 0) << "the preferences are not read";
  EXPECT_EQ(timerOption, 0);
}

TEST_F(StartTest, NavigatorAbsentAndYesAsksItToComeForward) {
  // The answer starts the navigator, as the device would once the user said Yes.
  OnBox([this](const apptest::ShownBox&) { ASSERT_TRUE(StartNavigator()); });
  QueueAnswer(IDYES);
  EXPECT_FALSE(Launch());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, kStartQuestion);
  EXPECT_EQ(Requests(), (Texts{"BringNavigatorToForegroundV01|"}));
  EXPECT_EQ(FindWindowW(u"TRAPMARKER", nullptr), nullptr) << "the program closes either way";
  EXPECT_EQ(CallsFolder(), Texts{}) << "the exchange leaves nothing behind";
}

TEST_F(StartTest, YesWithNoNavigatorOnTheDeviceStillEnds) {
  QueueAnswer(IDYES);
  EXPECT_FALSE(Launch());
  EXPECT_EQ(CallsFolder(), Texts{});
  EXPECT_EQ(FindWindowW(u"TRAPMARKER", nullptr), nullptr);
  EXPECT_EQ(ce::null::CursorShape(), 0) << "the wait cursor is put back";
}

TEST_F(StartTest, NavigatorRunningMakesTheFullScreenWindow) {
  SetDevice(480, 640);
  Put("Trapmarker.ini", "0\r\n0\r\nFuel\r\n");
  ASSERT_TRUE(StartNavigator());
  ASSERT_TRUE(Launch());
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(mainWindow, FindWindowW(u"TRAPMARKER", u"Trapmarker"));
  RECT rect;
  ASSERT_TRUE(GetWindowRect(mainWindow, &rect));
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right, 480) << "the whole high-resolution screen";
  EXPECT_EQ(rect.bottom, 640);
  EXPECT_EQ(ce::null::FullScreenState(mainWindow), 42);
  EXPECT_EQ(std::u16string(programFolder), u"\\");
  EXPECT_EQ(std::u16string(preferencesPath), u"\\Trapmarker.ini");
  EXPECT_EQ(slotAt(CustomPoiPage, 1)->target, TargetSave) << "the preferences were read";
  EXPECT_EQ(slotAt(PreferencesPage, RotateScreenPlace)->target, 0) << "Rotate screen is inert";
  EXPECT_EQ(Requests(), Texts{}) << "creation itself makes no SDK call";
  Pump();
  EXPECT_EQ(apptest::FrameCount(mainWindow), 1) << "the first paint follows";
}

TEST_F(StartTest, SecondInstanceBringsTheFirstForward) {
  ASSERT_TRUE(StartNavigator());
  ASSERT_TRUE(Launch());
  Pump();
  HWND first = mainWindow;
  SetForegroundWindow(peer.Window());
  ASSERT_EQ(GetForegroundWindow(), peer.Window());
  size_t requests = Requests().size();

  EXPECT_FALSE(Launch());
  EXPECT_EQ(mainWindow, first);
  EXPECT_EQ(GetForegroundWindow(), first);
  EXPECT_EQ(Requests().size(), requests);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(StartTest, WinMainReturnsZeroWhenTheRunEnds) {
  const HINSTANCE instance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x10000));
  WCHAR commandLine[1] = {0};
  // Navigator absent, No: WinMain ends without a message loop.
  QueueAnswer(IDNO);
  EXPECT_EQ(WinMain(instance, NULL, commandLine, SW_SHOW), 0);
  EXPECT_EQ(Boxes().size(), 1u);
  EXPECT_TRUE(Pump()) << "the window's destruction posted the quit message (taken here, as the process would end)";
  // Navigator without a fix: the loop runs the first paint, which ends the run.
  peer.SetReply("GetCurrentPositionV01", "0|0|0|0|0|0|");
  ASSERT_TRUE(StartNavigator());
  EXPECT_EQ(WinMain(instance, NULL, commandLine, SW_SHOW), 0);
  EXPECT_EQ(Requests(), (Texts{"GetCurrentPositionV01|", "FlashMessageV01|No valid GPS signal!  |3000|"}));
  EXPECT_FALSE(IsWindow(mainWindow));
}

// ---- dispatch ----

class DispatchTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(Run());
    first_ = Requests();
    ASSERT_EQ(first_, (Texts{"GetCurrentPositionV01|", "GetDataSetInfoV01|"}));
  }
  bool PaintPending() {
    MSG message;
    return PeekMessageW(&message, mainWindow, WM_PAINT, WM_PAINT, PM_NOREMOVE) != 0;
  }
  Texts first_;
};

TEST_F(DispatchTest, MessagesWithoutAHandlerOfTheirOwn) {
  EXPECT_EQ(SendMessageW(mainWindow, WM_SETTINGCHANGE, 0, 0), 0);
  // Commands other than save and close take the default processing: nothing happens.
  for (WPARAM id : {WPARAM(0), WPARAM(1), WPARAM(40002), WPARAM(40004), WPARAM(MAKEWPARAM(40002, 1))}) {
    EXPECT_EQ(SendMessageW(mainWindow, WM_COMMAND, id, 0), 0) << "command " << id;
    EXPECT_TRUE(IsWindow(mainWindow)) << "command " << id;
  }
  // Unlisted messages reach DefWindowProcW: it sets the title.
  EXPECT_EQ(SendMessageW(mainWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Renamed")), TRUE);
  WCHAR title[32];
  GetWindowTextW(mainWindow, title, 32);
  EXPECT_EQ(std::u16string(title), u"Renamed");
  Pump();
  EXPECT_EQ(Requests(), first_) << "none of these talks to the navigator";
  EXPECT_EQ(currentPage, TypePage1);
}

TEST_F(DispatchTest, CommandIdIsTheLowWord) {
  SendMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(CloseCommand, 1), 0);
  EXPECT_FALSE(IsWindow(mainWindow));
  EXPECT_TRUE(Pump()) << "WM_DESTROY posts the quit message";
  EXPECT_EQ(exitCode_, 0);
  EXPECT_EQ(memoryDC, nullptr) << "the close command releases the drawing objects";
  EXPECT_EQ(Requests(), first_);
}

TEST_F(DispatchTest, ActivationRestoresFullScreenAndRepaints) {
  for (WPARAM state : {WPARAM(WA_INACTIVE), WPARAM(WA_ACTIVE), WPARAM(WA_CLICKACTIVE)}) {
    SHFullScreen(mainWindow, SHFS_SHOWTASKBAR);
    ASSERT_FALSE(PaintPending());
    int frames = apptest::FrameCount(mainWindow);
    EXPECT_EQ(SendMessageW(mainWindow, WM_ACTIVATE, state, 0), 0);
    EXPECT_EQ(ce::null::FullScreenState(mainWindow), 42) << "state " << state;
    EXPECT_TRUE(PaintPending()) << "state " << state;
    Pump();
    EXPECT_EQ(apptest::FrameCount(mainWindow), frames + 1) << "state " << state;
  }
  EXPECT_EQ(Requests(), first_) << "the position is taken once and the map folder is known";
}

TEST_F(DispatchTest, CloseMessageTakesTheDefaultPath) {
  EXPECT_EQ(SendMessageW(mainWindow, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(IsWindow(mainWindow));
  EXPECT_TRUE(Pump());
}

}  // namespace
