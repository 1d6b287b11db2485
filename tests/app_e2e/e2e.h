// End-to-end runs of Trapmarker on an emulated handheld: an Xvfb screen, the navigator stand-in
// with the demo map, and the program worked by taps at the places its own layout gives.
//
// A test makes a DeviceRun, sets it up (navigator.ini, Trapmarker.ini, screen profile), starts
// the navigator and the program, taps, and then looks at what the navigator stored and flashed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/harness/harness.h"

namespace e2e {

constexpr char kAppExe[] = "\\Program Files\\Trapmarker\\Trapmarker.exe";
constexpr char kAppIni[] = "\\Program Files\\Trapmarker\\Trapmarker.ini";
constexpr char kNavigatorIni[] = "\\Program Files\\Navigator\\navigator.ini";
constexpr char kMapFolder[] = "\\TomTom\\Maps\\Demotown\\";
constexpr char kCameraFile[] = "\\TomTom\\Maps\\Demotown\\Roadwatchcameras.ov2";
constexpr char kCameraIcon[] = "\\TomTom\\Maps\\Demotown\\Roadwatchcameras.bmp";
constexpr char kFuelFile[] = "\\TomTom\\Maps\\Demotown\\Fuel.ov2";
constexpr char kCallsFolder[] = "\\TomTom\\SdkFileCalls";

constexpr char kAppClass[] = "TRAPMARKER";
constexpr char kAppTitle[] = "Trapmarker";
constexpr char kNavigatorClass[] = "MunichWinClass";

// Places of a page, numbered as the program numbers them; 7 is the Cancel button.
enum Place { kPlace1 = 1, kPlace2, kPlace3, kPlace4, kPlace5, kPlace6, kCancel };

struct Point {
  int x = 0, y = 0;
};

// The screen position of the middle of a place (or of Cancel) on a screen of the given size,
// worked out with the program's own layout code and turned by the orientation as its frame is.
Point PlaceCentre(int screenWidth, int screenHeight, int orientation, int place);

// The navigator's GPS as navigator.ini states it.
struct Gps {
  std::string mode = "fixed";  // fixed, track or nofix
  double latitude = 52.11350;  // on Main Road, in Demotown (South)
  double longitude = -1.50000;
  int heading = 123;
  int speed = 47;
};

// One point of a category file, as GPSBabel reads it back.
struct StoredPoint {
  double latitude = 0, longitude = 0;
  std::string name;  // the description the program passed
};

// Puts a window on top and gives it the keyboard focus, as a window manager would.
bool RaiseAndFocus(const std::string& display, unsigned long window);

// Reads an OV2 file with `gpsbabel -i tomtom`; false (with `error`) when GPSBabel fails.
bool ReadWithGpsbabel(const std::string& hostPath, std::vector<StoredPoint>* points, std::string* error);

// What happens in the calls folder and the map folder, in the order it happens (one inotify queue
// for both): the program's requests and the navigator's replies (their markers appearing), and
// files made, changed and removed in the map folder.
class CallsWatch {
 public:
  enum Folder { kCalls, kMap };
  struct Event {
    Folder folder;
    uint32_t mask;  // IN_CREATE, IN_MOVED_TO, IN_MODIFY, IN_CLOSE_WRITE or IN_DELETE
    std::string name;
    bool IsRequest() const;
    bool IsReply() const;
  };

  ~CallsWatch();
  // Watches both folders from now on; events of an earlier start are dropped.
  bool Start(const std::string& callsFolder, const std::string& mapFolder);
  int Replies();
  int Requests();
  bool WaitForReplies(int count, int timeoutMs);
  const std::vector<Event>& Events();

 private:
  void Drain();
  int fd_ = -1;
  int callsWatch_ = -1;
  std::vector<Event> events_;
};

// A device with the navigator and Trapmarker installed on a fresh Xvfb screen.
class DeviceRun : public ::testing::Test {
 protected:
  // Makes the device, starts its screen and installs both programs (the demo map reset, any
  // camera category removed from it). `preferences`: the bytes of Trapmarker.ini, none if unset.
  void Prepare(const harness::Profile& profile = {}, const Gps& gps = {},
               const std::optional<std::string>& preferences = std::nullopt);

  harness::Device& device() { return *device_; }
  harness::Screen& screen() { return device_->screen(); }
  std::string Host(const std::string& devicePath) const { return device_->HostPath(devicePath); }

  // Starts the navigator and waits for its window; nullptr (and a failure) if none comes.
  harness::Program* StartNavigator();
  // Starts Trapmarker and waits for its window, its first page and the navigator's answers to the
  // position and map-folder questions that follow the first paint. nullptr (and a failure) if any
  // of them does not come.
  harness::Program* StartApp();

  // Taps the middle of a place on the program's page (orientation as its preferences say).
  void TapPlace(int place);
  // Taps a place and waits until a new page's title is on the screen; false if none comes.
  bool TapToPage(int place);
  // The page's title band as on the screen now.
  std::vector<uint8_t> TitleBand();

  // The messages the navigator flashed so far: "<ms> ms: <text>" for each, in order.
  std::vector<std::string> Flashes() const;
  bool WaitForFlash(const std::string& line, int timeoutMs) const;
  // The points in a category file of the map folder; an empty list for a missing file.
  std::vector<StoredPoint> StoredPoints(const std::string& devicePath);
  // Files now in the calls folder.
  std::vector<std::string> CallsFolderFiles() const;

  // Waits for the program to end; its exit code, or -1 when it still runs.
  int ExitCodeWithin(harness::Program* program, int timeoutMs);

  int orientation_ = 0;
  std::unique_ptr<harness::Device> device_;
  harness::Program* navigator_ = nullptr;
  CallsWatch calls_;
};

}  // namespace e2e
