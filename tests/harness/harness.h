// End-to-end test harness: an emulated handheld made of a device folder, an Xvfb screen and the
// programs started on it, driven through XTest like a finger on the screen.
//
// It uses plain POSIX, Xlib, XTest and libpng, never the programs' own window code, so a test sees
// the device from outside. Everything it starts dies with the Device object (or with the test process:
// children get SIGKILL when it ends), also when a test fails half-way.
//
// Typical use:
//
//   harness::Device dev({.width = 240, .height = 320});
//   ASSERT_TRUE(dev.StartScreen());
//   ASSERT_TRUE(dev.Install(TRAPMARKER_EXE, "\\Program Files\\Trapmarker\\Trapmarker.exe"));
//   harness::Program* app = dev.Start("\\Program Files\\Trapmarker\\Trapmarker.exe");
//   harness::XWin win;
//   ASSERT_TRUE(dev.screen().WaitForWindow("TRAPMARKER", "Trapmarker", 5000, &win));
//   dev.screen().Tap(60, 100);
//   ASSERT_TRUE(dev.screen().AnswerMessageBox(IDYES_VALUE, /*byKey=*/false));
//   ASSERT_TRUE(app->Wait(5000));
//   EXPECT_EQ(app->ExitCode(), 0);
//
// All calls report failure by their result (and a line on standard error saying why); none throws.
// Every wait has a time limit in milliseconds.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace harness {

// Calls `ready` every `pollMs` until it returns true or `timeoutMs` has passed; returns its last answer.
bool WaitFor(const std::function<bool()>& ready, int timeoutMs, int pollMs = 5);

// The device profile written to device.ini, and the screen depth Xvfb runs at (16 or 24).
struct Profile {
  int width = 240;
  int height = 320;
  std::string platform = "PocketPC";
  std::string deviceId;  // hex bytes, e.g. "00A1B2C3"; empty: none
  int depth = 16;
};

// A screenshot in 8-bit RGB.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // width * height * 3, rows top-down
  // 0xRRGGBB of a pixel; 0xFFFFFFFF outside the image.
  uint32_t Pixel(int x, int y) const;
  bool SavePng(const std::string& hostPath) const;
};

// A top-level program window on the screen (the client, below a window manager's frame if any).
struct XWin {
  unsigned long id = 0;
  std::string instance;                     // WM_CLASS name
  std::string cls;                          // WM_CLASS class
  std::string title;                        // _NET_WM_NAME, else WM_NAME
  int x = 0, y = 0, width = 0, height = 0;  // on the screen
  bool viewable = false;
  long pid = 0;  // _NET_WM_PID, 0 when not set
};

// A message box ("Dialog" window) as it is shown: its caption, text and buttons in screen coordinates.
struct MessageBox {
  struct Button {
    int id;  // 1 OK, 2 Cancel, 6 Yes, 7 No
    int x, y, width, height;
  };
  XWin window;
  std::string caption;
  std::string text;
  std::vector<Button> buttons;
  const Button* Find(int id) const;
};

// The device's X screen: window queries, stylus and keys through XTest, screenshots.
class Screen {
 public:
  ~Screen();
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  const std::string& display() const { return display_; }

  // Program windows (those with WM_CLASS), bottom of the stacking first.
  std::vector<XWin> Windows();
  // A viewable window whose class (WM_CLASS class or name) and title equal the given ones; an
  // empty string matches anything.
  bool Find(const std::string& cls, const std::string& title, XWin* out = nullptr);
  bool WaitForWindow(const std::string& cls, const std::string& title, int timeoutMs, XWin* out = nullptr);
  bool WaitForNoWindow(const std::string& cls, const std::string& title, int timeoutMs);
  // The program window holding the keyboard focus; 0 when none does.
  unsigned long Focus();

  // Stylus (pointer button 1) at screen coordinates.
  bool Tap(int x, int y);
  bool Press(int x, int y);
  bool MoveTo(int x, int y);  // with the stylus down this is a drag step
  bool Release();
  bool Drag(int x0, int y0, int x1, int y1, int steps = 8);
  // A key pressed and released on the focused window, by X keysym name: "y", "n", "Return", "Escape".
  bool Key(const std::string& keysymName);

  // The message box on the screen, once one is viewable and described.
  bool WaitForMessageBox(int timeoutMs, MessageBox* out);
  bool TapButton(const MessageBox& box, int id);
  // Waits for a box and answers it: a tap on the button with `id`, or its key (Y, N, Return for OK,
  // Escape for Cancel) after making sure the box has the focus.
  bool AnswerMessageBox(int id, bool byKey, int timeoutMs = 5000);

  bool Capture(Image* out);
  bool CapturePng(const std::string& hostPath);

 private:
  friend class Device;
  Screen() = default;
  bool Connect(const std::string& display);
  bool ReadWindow(unsigned long id, XWin* out);
  std::string display_;
  void* dpy_ = nullptr;  // Display*
};

// A program started on the device.
class Program {
 public:
  pid_t pid() const { return pid_; }
  const std::string& path() const { return path_; }
  bool Running();
  // Waits up to timeoutMs for the program to end; true once it has.
  bool Wait(int timeoutMs);
  // The exit status; 128 + signal number when a signal ended it; -1 while it runs.
  int ExitCode() const { return exitCode_; }
  // Sends a signal (SIGKILL by default) to the program and everything in its process group.
  void Kill(int signal = 9);
  // What it wrote to standard output and standard error so far.
  std::string Output() const;

 private:
  friend class Device;
  pid_t pid_ = -1;
  std::string path_;
  std::string logPath_;
  int exitCode_ = -1;
  bool reaped_ = false;
};

class Device {
 public:
  // Makes a fresh device folder (device.ini and fs/) under $TMPDIR (or /tmp).
  explicit Device(const Profile& profile = Profile());
  // Ends every program and the screen, then removes the folder (kept when TM_KEEP_DEVICE=1).
  ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  bool ok() const { return ok_; }
  const std::string& root() const { return root_; }
  const Profile& profile() const { return profile_; }

  // "\Program Files\x.exe" -> <root>/fs/Program Files/x.exe (the case given; folders as given).
  std::string HostPath(const std::string& devicePath) const;
  // Copies a host file to a device path, making folders on the way; keeps the execute bits.
  bool Install(const std::string& hostFile, const std::string& devicePath);
  bool WriteFile(const std::string& devicePath, const std::string& data);
  bool ReadFile(const std::string& devicePath, std::string* data) const;
  bool Exists(const std::string& devicePath) const;

  // Starts Xvfb at the profile's size and depth on a free display and connects to it.
  bool StartScreen();
  Screen& screen() { return *screen_; }  // after StartScreen
  const std::string& display() const { return display_; }

  // Starts a program: `path` is a device path (starting with a backslash) or a host path. It gets
  // CE_DEVICE, DISPLAY (once the screen runs; unset before), no CE_BACKEND, and the extra
  // "NAME=value" entries; its output goes to a log file (Program::Output). nullptr on failure.
  Program* Start(const std::string& path, const std::vector<std::string>& args = {},
                 const std::vector<std::string>& env = {});
  // Sets CE_DEVICE (and DISPLAY once the screen runs) in this process, for calls made in-process.
  void SetEnvironment() const;
  // Ends every program started here and whatever they started; the screen stays.
  void StopPrograms();

 private:
  void StopScreen();
  bool ok_ = false;
  Profile profile_;
  std::string root_;
  std::string display_;
  pid_t xvfb_ = -1;
  std::unique_ptr<Screen> screen_;
  std::vector<std::unique_ptr<Program>> programs_;
  int started_ = 0;
};

}  // namespace harness
