#include "tests/app_e2e/e2e.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/harness/shell_quote.h"
#include "ui/layout.h"
#include "ui/run_state.h"

namespace fs = std::filesystem;

namespace e2e {

namespace {

constexpr char kNavigatorExe[] = "\\Program Files\\Navigator\\TomTom Navigator.exe";
constexpr char kReplyPrefix[] = "TomTomNavigationServer.client.";
constexpr char kRequestPrefix[] = "client.TomTomNavigationServer.";
constexpr char kMarkerSuffix[] = ".finished";

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }
bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Runs a shell command; its exit status, with what it printed in `output`.
int RunCommand(const std::string& command, std::string* output) {
  output->clear();
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buf[512];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) output->append(buf, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::string& s) { return harness::ShellQuote(s); }

// One line of GPSBabel's CSV: fields split at commas outside double quotes, "" inside quotes is ".
std::vector<std::string> SplitCsv(const std::string& line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        fields.back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        fields.back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.emplace_back();
    } else if (c != '\r') {
      fields.back() += c;
    }
  }
  return fields;
}

// RGB565 is what the screen holds: compare colours at that precision.
bool SameColour(uint32_t rgb, int r, int g, int b) {
  return ((rgb >> 19) & 31) == (static_cast<uint32_t>(r) >> 3) &&
         ((rgb >> 10) & 63) == (static_cast<uint32_t>(g) >> 2) && ((rgb >> 3) & 31) == (static_cast<uint32_t>(b) >> 3);
}

// Logical page position to screen position, as the program turns its frame.
Point Turn(int x, int y, int orientation) {
  const int W = logicalWidth, H = logicalHeight;
  switch (orientation & 3) {
    case 1:
      return {y, W - 1 - x};
    case 2:
      return {W - 1 - x, H - 1 - y};
    case 3:
      return {H - 1 - y, x};
    default:
      return {x, y};
  }
}

}  // namespace

Point PlaceCentre(int screenWidth, int screenHeight, int orientation, int place) {
  computeLayout(screenWidth, screenHeight, orientation);
  const int W = logicalWidth, H = logicalHeight;
  int x, y;
  if (place == kCancel) {
    x = (W - cancelWidth - 3 + W - 3) / 2;
    y = (H - statusHeight + 3 + H - 3) / 2;
  } else {
    const RECT r = placeRect(place);
    x = (r.left + r.right - 1) / 2;
    y = (r.top + r.bottom - 1) / 2;
  }
  return Turn(x, y, orientation);
}

bool ReadWithGpsbabel(const std::string& hostPath, std::vector<StoredPoint>* points, std::string* error) {
  points->clear();
  std::string out;
  if (RunCommand("gpsbabel -i tomtom -f " + Quote(hostPath) + " -o unicsv -F -", &out) != 0) {
    *error = "gpsbabel failed: " + out;
    return false;
  }
  std::istringstream lines(out);
  std::string line;
  int latitude = -1, longitude = -1, name = -1;
  bool header = true;
  while (std::getline(lines, line)) {
    if (line.empty() || line == "\r") continue;
    const std::vector<std::string> fields = SplitCsv(line);
    if (header) {
      for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i] == "Latitude") latitude = static_cast<int>(i);
        if (fields[i] == "Longitude") longitude = static_cast<int>(i);
        if (fields[i] == "Name") name = static_cast<int>(i);
      }
      if (latitude < 0 || longitude < 0 || name < 0) {
        *error = "unexpected gpsbabel header: " + line;
        return false;
      }
      header = false;
      continue;
    }
    const size_t need = static_cast<size_t>(std::max({latitude, longitude, name}));
    if (fields.size() <= need) {
      *error = "short gpsbabel line: " + line;
      return false;
    }
    StoredPoint p;
    p.latitude = std::atof(fields[latitude].c_str());
    p.longitude = std::atof(fields[longitude].c_str());
    p.name = fields[name];
    points->push_back(p);
  }
  return true;
}

// ---- CallsWatch ----

bool CallsWatch::Event::IsRequest() const {
  return folder == kCalls && StartsWith(name, kRequestPrefix) && EndsWith(name, kMarkerSuffix);
}

bool CallsWatch::Event::IsReply() const {
  return folder == kCalls && StartsWith(name, kReplyPrefix) && EndsWith(name, kMarkerSuffix);
}

CallsWatch::~CallsWatch() {
  if (fd_ >= 0) close(fd_);
}

bool CallsWatch::Start(const std::string& callsFolder, const std::string& mapFolder) {
  if (fd_ >= 0) close(fd_);  // a test may set up a second device
  events_.clear();
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return false;
  callsWatch_ = inotify_add_watch(fd_, callsFolder.c_str(), IN_CREATE | IN_MOVED_TO);
  return callsWatch_ >= 0 && inotify_add_watch(fd_, mapFolder.c_str(),
                                               IN_CREATE | IN_MOVED_TO | IN_MODIFY | IN_CLOSE_WRITE | IN_DELETE) >= 0;
}

void CallsWatch::Drain() {
  if (fd_ < 0) return;
  alignas(inotify_event) char buf[8192];
  for (;;) {
    const ssize_t n = read(fd_, buf, sizeof buf);
    if (n <= 0) return;
    for (ssize_t off = 0; off < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buf + off);
      if (e->len > 0) events_.push_back({e->wd == callsWatch_ ? kCalls : kMap, e->mask, std::string(e->name)});
      off += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
}

const std::vector<CallsWatch::Event>& CallsWatch::Events() {
  Drain();
  return events_;
}

int CallsWatch::Replies() {
  const std::vector<Event>& all = Events();
  return static_cast<int>(std::count_if(all.begin(), all.end(), [](const Event& e) { return e.IsReply(); }));
}

int CallsWatch::Requests() {
  const std::vector<Event>& all = Events();
  return static_cast<int>(std::count_if(all.begin(), all.end(), [](const Event& e) { return e.IsRequest(); }));
}

bool CallsWatch::WaitForReplies(int count, int timeoutMs) {
  return harness::WaitFor([&] { return Replies() >= count; }, timeoutMs, 5);
}

// ---- DeviceRun ----

void DeviceRun::Prepare(const harness::Profile& profile, const Gps& gps,
                        const std::optional<std::string>& preferences) {
  navigator_ = nullptr;
  device_.reset();  // the programs and screen of an earlier device first
  device_ = std::make_unique<harness::Device>(profile);
  ASSERT_TRUE(device_->ok());
  ASSERT_TRUE(device_->StartScreen());

  std::string out;
  ASSERT_EQ(RunCommand(std::string("bash " TM_NAVIGATOR_INSTALL " ") + Quote(TM_NAVIGATOR_EXE) + " " +
                           Quote(device_->root()) + " --reset",
                       &out),
            0)
      << out;
  ASSERT_EQ(
      RunCommand(std::string("bash " TM_APP_INSTALL " ") + Quote(TM_APP_EXE) + " " + Quote(device_->root()), &out), 0)
      << out;
  ASSERT_TRUE(device_->Exists("\\Program Files\\Trapmarker\\Roadwatchcameras.bmp"));

  std::ostringstream ini;
  ini << "[gps]\nmode=" << gps.mode << "\nlatitude=" << gps.latitude << "\nlongitude=" << gps.longitude
      << "\nheading=" << gps.heading << "\nspeed=" << gps.speed << "\nrate=1\n[map]\nfolder=" << kMapFolder << "\n";
  ASSERT_TRUE(device_->WriteFile(kNavigatorIni, ini.str()));

  // The camera category must not be there before the first camera.
  std::error_code ec;
  fs::remove(Host(kCameraFile), ec);
  fs::remove(Host(kCameraIcon), ec);
  fs::remove(Host(kAppIni), ec);
  orientation_ = 0;
  if (preferences) {
    ASSERT_TRUE(device_->WriteFile(kAppIni, *preferences));
    if (!preferences->empty()) orientation_ = (*preferences)[0] & 3;
  }

  fs::create_directories(Host(kCallsFolder), ec);
  ASSERT_TRUE(calls_.Start(Host(kCallsFolder), Host(kMapFolder))) << "cannot watch the calls and map folders";
}

harness::Program* DeviceRun::StartNavigator() {
  navigator_ = device_->Start(kNavigatorExe);
  if (!navigator_) {
    ADD_FAILURE() << "cannot start the navigator";
    return nullptr;
  }
  if (!screen().WaitForWindow(kNavigatorClass, "", 10000)) {
    ADD_FAILURE() << "no navigator window; output:\n" << navigator_->Output();
    return nullptr;
  }
  return navigator_;
}

harness::Program* DeviceRun::StartApp() {
  const int replies = calls_.Replies();
  harness::Program* app = device_->Start(kAppExe);
  if (!app) {
    ADD_FAILURE() << "cannot start Trapmarker";
    return nullptr;
  }
  if (!screen().WaitForWindow(kAppClass, kAppTitle, 10000)) {
    ADD_FAILURE() << "no Trapmarker window; output:\n" << app->Output();
    return nullptr;
  }
  // The first page is on the screen once the status band left of Cancel shows its blue.
  const harness::Profile& profile = device_->profile();
  computeLayout(profile.width, profile.height, orientation_);
  const Point probe = Turn(logicalWidth - cancelWidth - 6, logicalHeight - 2, orientation_);
  const bool drawn = harness::WaitFor(
      [&] {
        harness::Image img;
        return screen().Capture(&img) && SameColour(img.Pixel(probe.x, probe.y), 96, 152, 200);
      },
      10000, 20);
  if (!drawn) {
    ADD_FAILURE() << "the first page was not drawn";
    return nullptr;
  }
  if (!calls_.WaitForReplies(replies + 2, 10000)) {
    ADD_FAILURE() << "the navigator did not answer the position and map-folder questions; replies: "
                  << calls_.Replies() - replies;
    return nullptr;
  }
  return app;
}

void DeviceRun::TapPlace(int place) {
  const harness::Profile& profile = device_->profile();
  const Point p = PlaceCentre(profile.width, profile.height, orientation_, place);
  EXPECT_TRUE(screen().Tap(p.x, p.y));
}

std::vector<uint8_t> DeviceRun::TitleBand() {
  const harness::Profile& profile = device_->profile();
  computeLayout(profile.width, profile.height, orientation_);
  harness::Image img;
  std::vector<uint8_t> band;
  if (!screen().Capture(&img)) return band;
  for (int y = 0; y < titleHeight; ++y) {
    for (int x = 0; x < logicalWidth; ++x) {
      const Point p = Turn(x, y, orientation_);
      const uint32_t c = img.Pixel(p.x, p.y);
      band.push_back(static_cast<uint8_t>(c >> 16));
      band.push_back(static_cast<uint8_t>(c >> 8));
      band.push_back(static_cast<uint8_t>(c));
    }
  }
  return band;
}

bool DeviceRun::TapToPage(int place) {
  const std::vector<uint8_t> before = TitleBand();
  TapPlace(place);
  return harness::WaitFor([&] { return TitleBand() != before; }, 5000, 20);
}

std::vector<std::string> DeviceRun::Flashes() const {
  std::vector<std::string> flashes;
  if (!navigator_) return flashes;
  std::istringstream lines(navigator_->Output());
  std::string line;
  while (std::getline(lines, line)) {
    if (StartsWith(line, "flash ")) flashes.push_back(line.substr(6));
  }
  return flashes;
}

bool DeviceRun::WaitForFlash(const std::string& line, int timeoutMs) const {
  return harness::WaitFor(
      [&] {
        for (const std::string& f : Flashes())
          if (f == line) return true;
        return false;
      },
      timeoutMs, 10);
}

std::vector<StoredPoint> DeviceRun::StoredPoints(const std::string& devicePath) {
  std::vector<StoredPoint> points;
  if (!device_->Exists(devicePath)) return points;
  std::string error;
  EXPECT_TRUE(ReadWithGpsbabel(Host(devicePath), &points, &error)) << error;
  return points;
}

std::vector<std::string> DeviceRun::CallsFolderFiles() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(device_->HostPath(kCallsFolder), ec))
    names.push_back(e.path().filename().string());
  return names;
}

int DeviceRun::ExitCodeWithin(harness::Program* program, int timeoutMs) {
  if (!program || !program->Wait(timeoutMs)) return -1;
  return program->ExitCode();
}

}  // namespace e2e
