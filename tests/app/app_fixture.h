// The application in-process on the headless screen: a throw-away device, the program's window
// made by InitInstance, a pump that runs its message loop until nothing is left to do, and an
// in-process scripted navigator that records every request the program sends.
//
//   TEST_F(AppTest, Something) {
//     ASSERT_TRUE(StartNavigator());     // "MunichWinClass" window + answering thread
//     ASSERT_TRUE(Launch());             // InitInstance: the main window exists
//     Pump();                            // first paint and the checks after it
//     TapPlace(1);                       // "Gatso"
//     EXPECT_EQ(Requests(), (Texts{"GetCurrentPositionV01|", ...}));
//   }
//
// The executable of these tests lies outside the device's file system, so the program folder is
// the device's root "\": Trapmarker.ini and Roadwatchcameras.bmp go there.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ce/ce.h"
#include "tests/scripted_peer/in_process_peer.h"

namespace apptest {

using Texts = std::vector<std::string>;

// A message box the program showed.
struct ShownBox {
  HWND owner;
  std::u16string text;
  std::u16string caption;
  UINT type;
};

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Rewrites device.ini (screen size, optional identifier as hex bytes) and forgets the cached
  // profile. SetUp makes a 240 x 320 device without identifier.
  void SetDevice(int width, int height, const std::string& deviceIdHex = "");

  // The scripted navigator with its window; false when it cannot start.
  bool StartNavigator();
  // InitInstance as WinMain runs it; true when the main window exists.
  bool Launch();
  // StartNavigator, Launch and the first Pump, as most tests begin; a failure ends the test.
  void Run();
  // Dispatches until no message is ready. True once WM_QUIT has come (now or before).
  bool Pump();
  bool Ended() const { return quit_; }

  // Stylus at the centre of place 1..6 of the page on screen, or of the Cancel button, or at a
  // point of the page (turned to the screen by `orientation`), or at a screen point; then the
  // queue is pumped. Returns what Pump returns.
  bool TapPlace(int place);
  bool TapCancel();
  bool TapPage(int px, int py);
  bool TapAt(int x, int y);

  // The requests the navigator received, each as its fields joined by "|" (every field
  // followed by one).
  Texts Requests() const;
  // Only the call names, in order.
  Texts CallNames() const;

  // Files on the device, by device path without the leading backslash, '/' as separator.
  std::string Host(const std::string& relative) const { return root_ + "/fs/" + relative; }
  void Put(const std::string& relative, const std::string& bytes) const;
  bool Exists(const std::string& relative) const;
  std::string Read(const std::string& relative) const;
  // Names in the calls folder (nothing may be left behind after an exchange).
  Texts CallsFolder() const;

  // Message boxes: what the program showed, and the answers the next ones get (else the default
  // button). `onBox` runs inside MessageBoxW, before the answer is returned.
  const std::vector<ShownBox>& Boxes() const;
  void QueueAnswer(int answer);
  void OnBox(std::function<void(const ShownBox&)> action);

  scripted::ScriptedPeer peer;
  std::string root_;
  bool quit_ = false;
  int exitCode_ = -1;
};

// The screen point that shows point (px, py) of the page in the current orientation.
POINT ScreenPoint(int px, int py);

// The pixels of the last frame presented, for "what shows now" checks: RGB565 at (x, y).
uint16_t FramePixel(HWND window, int x, int y);
int FrameCount(HWND window);

}  // namespace apptest
