#include "tests/app/app_fixture.h"

#include <stdlib.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/app.h"
#include "ce/device.h"
#include "ce/null/null.h"
#include "ce/user/backend.h"
#include "sdk/navigator_launch.h"
#include "sdk/navigator_link.h"
#include "sdk/transport/file_channel.h"
#include "ui/buttons.h"
#include "ui/draw.h"
#include "ui/layout.h"
#include "ui/run_state.h"

namespace fs = std::filesystem;

namespace apptest {

namespace {

// The instance handle the Linux entry passes: any non-null value names the one resource table.
const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x10000));

std::vector<ShownBox> shownBoxes;
std::deque<int> queuedAnswers;
std::function<void(const ShownBox&)> boxAction;

int RecordBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  ShownBox box{owner, text ? text : u"", caption ? caption : u"", type};
  shownBoxes.push_back(box);
  if (boxAction) boxAction(box);
  if (queuedAnswers.empty()) return ce::DefaultMessageBoxButton(type);
  int answer = queuedAnswers.front();
  queuedAnswers.pop_front();
  return answer;
}

// Every piece of run state back to the value a fresh process starts with.
void ResetRunState() {
  mainWindow = NULL;
  activeLink = NULL;
  programFolder[0] = 0;
  preferencesPath[0] = 0;
  positionTaken = 0;
  capturedPosition = CurrentPositionResult{0, 0, 0, 0, 0};
  mapFolderKnown = 0;
  mapFolder[0] = 0;
  countdownValue = 6;
  countdownRunning = 0;
  orientation = 0;
  timerOption = 0;
  currentPage = TypePage1;
  pressedSlot = 0;
  lastTarget = 0;
  selectedTypeCode = 0;
  selectedSpeedCode = 0;
  selectedDirectionCode = 0;
  StringCchCopyW(typeLabel, SelectionLabelChars, u"Unknown type and speed");
  speedLabel[0] = 0;
  navigatorWindow = NULL;
  navigatorPath[0] = 0;
  buildButtonTable();
}

}  // namespace

void AppTest::SetUp() {
  ce::null::Use();
  ce::user::CurrentBackend();  // starts the headless screen, which installs its own box handler
  ce::SetMessageBoxHandler(&RecordBox);
  shownBoxes.clear();
  queuedAnswers.clear();
  boxAction = nullptr;

  std::string pattern = (fs::temp_directory_path() / "tm-app-XXXXXX").string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  ASSERT_NE(mkdtemp(buffer.data()), nullptr);
  root_ = buffer.data();
  fs::create_directories(root_ + "/fs");
  setenv("CE_DEVICE", root_.c_str(), 1);
  SetDevice(240, 320);
  ForgetCallsFolderWatch();
  ce::user::ResetForTests();
  ResetRunState();
}

void AppTest::TearDown() {
  peer.Stop();
  releaseDrawingObjects();  // a run that ended without its close command leaves them made
  ce::user::ResetForTests();
  boxAction = nullptr;
  ForgetCallsFolderWatch();
  std::error_code ignored;
  fs::remove_all(root_, ignored);
  ce::ResetDeviceForTests();
}

void AppTest::SetDevice(int width, int height, const std::string& deviceIdHex) {
  std::ofstream(root_ + "/device.ini", std::ios::trunc)
      << "[screen]\nwidth=" << width << "\nheight=" << height
      << "\n[system]\nplatform=PocketPC\ndeviceid=" << deviceIdHex << "\n";
  ce::ResetDeviceForTests();
}

bool AppTest::StartNavigator() { return peer.Start(); }

bool AppTest::Launch() {
  quit_ = false;
  if (!InitInstance(kInstance)) return false;
  return mainWindow != NULL && IsWindow(mainWindow);
}

void AppTest::Run() {
  ASSERT_TRUE(StartNavigator());
  ASSERT_TRUE(Launch());
  Pump();
}

bool AppTest::Pump() {
  MSG message;
  for (int n = 0; !quit_ && PeekMessageW(&message, NULL, 0, 0, PM_REMOVE); ++n) {
    if (message.message == WM_QUIT) {
      quit_ = true;
      exitCode_ = static_cast<int>(message.wParam);
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
    if (n > 1000) {
      ADD_FAILURE() << "the queue never runs dry";
      break;
    }
  }
  return quit_;
}

bool AppTest::TapAt(int x, int y) {
  if (!ce::null::Tap(x, y)) ADD_FAILURE() << "no window under (" << x << ", " << y << ")";
  return Pump();
}

POINT ScreenPoint(int px, int py) {
  const int W = logicalWidth, H = logicalHeight;
  switch (orientation) {
    case 1:
      return POINT{py, W - 1 - px};
    case 2:
      return POINT{W - 1 - px, H - 1 - py};
    case 3:
      return POINT{H - 1 - py, px};
    default:
      return POINT{px, py};
  }
}

bool AppTest::TapPage(int px, int py) {
  POINT at = ScreenPoint(px, py);
  return TapAt(at.x, at.y);
}

bool AppTest::TapPlace(int place) {
  RECT r = placeRect(place);
  return TapPage((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

bool AppTest::TapCancel() { return TapPage(logicalWidth - cancelWidth / 2, logicalHeight - statusHeight / 2); }

Texts AppTest::Requests() const {
  Texts texts;
  for (const scripted::RecordedRequest& request : peer.Requests()) texts.push_back(request.Text());
  return texts;
}

Texts AppTest::CallNames() const {
  Texts names;
  for (const scripted::RecordedRequest& request : peer.Requests())
    names.push_back(request.fields.empty() ? std::string() : request.fields[0]);
  return names;
}

void AppTest::Put(const std::string& relative, const std::string& bytes) const {
  fs::path path = Host(relative);
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

bool AppTest::Exists(const std::string& relative) const { return fs::exists(Host(relative)); }

std::string AppTest::Read(const std::string& relative) const {
  std::ifstream in(Host(relative), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Texts AppTest::CallsFolder() const {
  Texts names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(Host("TomTom/SdkFileCalls"), error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

const std::vector<ShownBox>& AppTest::Boxes() const { return shownBoxes; }
void AppTest::QueueAnswer(int answer) { queuedAnswers.push_back(answer); }
void AppTest::OnBox(std::function<void(const ShownBox&)> action) { boxAction = std::move(action); }

uint16_t FramePixel(HWND window, int x, int y) {
  ce::null::Frame frame;
  if (!ce::null::LastFrame(window, &frame) || x < 0 || y < 0 || x >= frame.width || y >= frame.height) return 0;
  return frame.pixels[static_cast<size_t>(y) * frame.width + x];
}

int FrameCount(HWND window) {
  ce::null::Frame frame;
  return ce::null::LastFrame(window, &frame) ? frame.count : 0;
}

}  // namespace apptest
