// Trapmarker's two waits a driver feels, on a 240 x 320 Xvfb device next to the navigator stand-in:
//   start    from starting the process to its first frame on the screen;
//   save     from the stylus lifting off "This side" (the last tap of Gatso, 50 mph, This side) to
//            the camera's record in the category file, and to the end of the process.
// Each is measured with the SDK channel waking on change notification and with the plain 100 ms
// poll (CE_SDK_POLL=1 for the program), in one run.
//   app_bench [runs per mode]        (default 10)
// It measures and prints; it never fails on a figure.
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/harness/harness.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kNavigatorExe[] = "\\Program Files\\Navigator\\TomTom Navigator.exe";
const char kNavigatorIni[] = "\\Program Files\\Navigator\\navigator.ini";
const char kAppExe[] = "\\Program Files\\Trapmarker\\Trapmarker.exe";
const char kCategoryFile[] = "\\TomTom\\Maps\\Demotown\\Roadwatchcameras.ov2";

// Centres of Gatso, 50 mph and This side on a 240 x 320 screen (places 1, 3, 1).
const int kGatso[2] = {60, 63};
const int kFifty[2] = {60, 150};
const int kThisSide[2] = {60, 63};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool Near(uint32_t rgb, uint32_t want) {
  for (int shift = 0; shift <= 16; shift += 8) {
    if (std::abs(static_cast<int>((rgb >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF)) > 8) return false;
  }
  return true;
}
// The title band's blue and the Cancel button's, RGB565 colours as the screen widens them.
bool IsFirstFrame(const harness::Image& image) {
  return Near(image.Pixel(235, 10), 0x639ACE) && Near(image.Pixel(235, 300), 0x31659C);
}

long FileSize(const std::string& hostPath) {
  struct stat info;
  return stat(hostPath.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

bool Fail(const std::string& why) {
  std::fprintf(stderr, "app_bench: %s\n", why.c_str());
  return false;
}

bool Pause(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  return true;
}

struct Sample {
  double firstFrame = -1;
  double recordInFile = -1;
  double processEnd = -1;
};

class Bench {
 public:
  bool SetUp() {
    harness::Profile profile;
    profile.deviceId = "00A1B2C3";
    dev_ = std::make_unique<harness::Device>(profile);
    if (!dev_->ok() || !dev_->StartScreen()) return false;
    std::string install =
        std::string("'") + NAV_INSTALL_SCRIPT + "' '" + NAVIGATOR_EXE + "' '" + dev_->root() + "' --reset > /dev/null";
    if (std::system(install.c_str()) != 0) return false;
    // A fixed position inside the demo town: every run gets the same fix at once.
    std::string ini;
    if (!dev_->ReadFile(kNavigatorIni, &ini)) return false;
    size_t mode = ini.find("mode=track");
    if (mode == std::string::npos) return false;
    ini.replace(mode, 10, "mode=fixed");
    if (!dev_->WriteFile(kNavigatorIni, ini)) return false;
    if (!dev_->Install(TRAPMARKER_EXE, kAppExe)) return false;
    if (!dev_->Install(CAMERA_ICON, "\\Program Files\\Trapmarker\\Roadwatchcameras.bmp")) return false;
    if (dev_->Start(kNavigatorExe) == nullptr) return false;
    return dev_->screen().WaitForWindow("MunichWinClass", "", 10000);
  }

  // One start of the bare Xlib program: from starting it to its frame on the screen, in ms.
  double RunBare() {
    harness::Screen& screen = dev_->screen();
    const Clock::time_point start = Clock::now();
    harness::Program* bare = dev_->Start(BARE_FRAME_EXE);
    if (bare == nullptr) return -1;
    harness::Image image;
    bool shown = false;
    while (!shown && Clock::now() - start < std::chrono::seconds(10)) {
      shown = screen.Capture(&image) && IsFirstFrame(image);
      if (!shown) std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const double ms = Ms(Clock::now() - start);
    bare->Kill();
    bare->Wait(2000);
    return shown ? ms : -1;
  }

  // One run of the program; false when it did not save.
  bool Run(bool poll, Sample* sample) {
    std::vector<std::string> env;
    if (poll) env.push_back("CE_SDK_POLL=1");
    harness::Screen& screen = dev_->screen();
    const std::string category = dev_->HostPath(kCategoryFile);
    const long sizeBefore = FileSize(category);

    const Clock::time_point start = Clock::now();
    harness::Program* app = dev_->Start(kAppExe, {}, env);
    if (app == nullptr) return Fail("the program did not start");
    harness::Image image;
    bool shown = false;
    while (!shown && Clock::now() - start < std::chrono::seconds(10)) {
      shown = screen.Capture(&image) && IsFirstFrame(image);
      if (!shown) std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    if (!shown) {
      char pixels[64];
      snprintf(pixels, sizeof pixels, "%06X %06X", image.Pixel(235, 10), image.Pixel(235, 300));
      return Fail(std::string("no first frame within 10 s; pixels ") + pixels + "\n" + app->Output());
    }
    sample->firstFrame = Ms(Clock::now() - start);

    // Leave the checks after the first paint time to finish, so the last lift starts on an idle
    // program, as it does for a driver.
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    if (!screen.Tap(kGatso[0], kGatso[1]) || !Pause(150) || !screen.Tap(kFifty[0], kFifty[1]) || !Pause(150) ||
        !screen.Press(kThisSide[0], kThisSide[1]))
      return Fail("a tap could not be made");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    std::atomic<bool> stop{false};
    std::atomic<bool> lifted{false};
    std::atomic<double> recorded{-1};
    Clock::time_point lift;
    std::thread watch([&] {
      while (!lifted) std::this_thread::yield();
      while (!stop) {
        if (FileSize(category) > std::max(0L, sizeBefore)) {
          recorded = Ms(Clock::now() - lift);
          return;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    });
    lift = Clock::now();
    lifted = true;
    bool released = screen.Release();
    // Waits for the end without reaping, so the harness still collects the exit status.
    siginfo_t info;
    bool ended = released && waitid(P_PID, static_cast<id_t>(app->pid()), &info, WEXITED | WNOWAIT) == 0;
    sample->processEnd = Ms(Clock::now() - lift);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    stop = true;
    watch.join();
    sample->recordInFile = recorded;
    app->Wait(2000);
    if (!ended) return Fail("the lift could not be made or the end not seen");
    if (app->ExitCode() != 0) return Fail("exit code " + std::to_string(app->ExitCode()) + "\n" + app->Output());
    if (recorded < 0) return Fail("no new record in the category file\n" + app->Output());
    return true;
  }

 private:
  std::unique_ptr<harness::Device> dev_;
};

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[static_cast<size_t>(p / 100.0 * static_cast<double>(values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  unsetenv("CE_SDK_POLL");
  Bench bench;
  if (!bench.SetUp()) {
    std::fprintf(stderr, "app_bench: the device could not be set up\n");
    return 1;
  }
  struct Mode {
    const char* name;
    bool poll;
    std::vector<Sample> samples;
  } modes[] = {{"notification", false, {}}, {"100 ms poll", true, {}}};
  std::vector<double> bare;
  for (Mode& mode : modes) {
    Sample warmUp;  // also makes the category file, so every measured run is a second camera
    if (!bench.Run(mode.poll, &warmUp)) std::fprintf(stderr, "app_bench: warm-up run (%s) did not save\n", mode.name);
    for (int i = 0; i < runs; ++i) {
      Sample sample;
      if (bench.Run(mode.poll, &sample)) {
        mode.samples.push_back(sample);
      } else {
        std::fprintf(stderr, "app_bench: run %d (%s) did not save\n", i + 1, mode.name);
      }
      // The yardstick takes turns with the program, so both see the same load.
      if (!mode.poll) {
        const double ms = bench.RunBare();
        if (ms >= 0)
          bare.push_back(ms);
        else
          std::fprintf(stderr, "app_bench: the bare Xlib program showed no frame\n");
      }
    }
  }

  std::printf("Trapmarker, 240x320 Xvfb device, navigator stand-in; runs per mode: %d\n", runs);
  std::printf("%-34s %22s %22s\n", "", modes[0].name, modes[1].name);
  std::printf("%-34s %11s %10s %11s %10s\n", "milliseconds", "median", "p90", "median", "p90");
  struct Row {
    const char* name;
    double Sample::*field;
  } rows[] = {{"start to first frame", &Sample::firstFrame},
              {"lift to record in category file", &Sample::recordInFile},
              {"lift to process end", &Sample::processEnd}};
  for (const Row& row : rows) {
    std::printf("%-34s", row.name);
    for (const Mode& mode : modes) {
      std::vector<double> values;
      for (const Sample& s : mode.samples) values.push_back(s.*row.field);
      std::printf(" %11.1f %10.1f", Percentile(values, 50), Percentile(values, 90));
    }
    std::printf("\n");
  }
  std::vector<double> firstFrames;
  for (const Sample& s : modes[0].samples) firstFrames.push_back(s.firstFrame);
  const double bareMedian = Percentile(bare, 50);
  std::printf("%-34s %11.1f %10.1f   (bare Xlib program: map, one XPutImage; %zu runs)\n", "bare start to first frame",
              bareMedian, Percentile(bare, 90), bare.size());
  if (bareMedian > 0 && !firstFrames.empty())
    std::printf("ratio   first frame / bare Xlib (medians, notification) %.2f\n",
                Percentile(firstFrames, 50) / bareMedian);
  std::printf("saved runs: %zu of %d (notification), %zu of %d (poll)\n", modes[0].samples.size(), runs,
              modes[1].samples.size(), runs);
  return 0;
}
