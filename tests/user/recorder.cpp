#include "tests/user/recorder.h"

#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "ce/device.h"

namespace usertest {

std::vector<Rec> seen;
std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> hook;

namespace {

// A device folder with a 320 x 240 profile for the whole test process.
class DeviceEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char dir[] = "/tmp/user-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    root_ = dir;
    std::ofstream ini(root_ + "/device.ini");
    ini << "[screen]\nwidth=" << kScreenW << "\nheight=" << kScreenH << "\n[system]\nplatform=PocketPC\n";
    ini.close();
    setenv("CE_DEVICE", root_.c_str(), 1);
    ce::ResetDeviceForTests();
    ASSERT_TRUE(ce::null::Use()) << "the headless screen must be picked before any window call";
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + root_ + "'";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", root_.c_str());
  }

 private:
  std::string root_;
};

[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new DeviceEnvironment);

}  // namespace

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  seen.push_back(Rec{hwnd, msg, wParam, lParam});
  LRESULT result = 0;
  if (hook && hook(hwnd, msg, wParam, lParam, &result)) return result;
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void ExpectSequence(const std::vector<Rec>& got, const std::vector<Want>& want, const char* what) {
  const size_t n = std::max(got.size(), want.size());
  for (size_t i = 0; i < n; ++i) {
    if (i >= got.size()) {
      ADD_FAILURE() << what << " [" << i << "]: expected " << MessageName(want[i].msg) << ", got nothing more";
      return;
    }
    if (i >= want.size()) {
      ADD_FAILURE() << what << " [" << i << "]: expected no more messages, got " << MessageName(got[i].msg) << " ("
                    << got[i].msg << ")";
      return;
    }
    if (got[i].msg != want[i].msg) {
      ADD_FAILURE() << what << " [" << i << "]: expected " << MessageName(want[i].msg) << ", got "
                    << MessageName(got[i].msg) << " (" << got[i].msg << ")";
      return;
    }
    if (want[i].checkW && got[i].wParam != want[i].wParam) {
      ADD_FAILURE() << what << " [" << i << "] " << MessageName(want[i].msg) << ": expected wParam " << want[i].wParam
                    << ", got " << got[i].wParam;
    }
  }
}

std::vector<Rec> OnlyFor(HWND hwnd) {
  std::vector<Rec> out;
  for (const Rec& r : seen) {
    if (r.hwnd == hwnd) out.push_back(r);
  }
  return out;
}

int PumpIdle() {
  MSG msg;
  int n = 0;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (++n > 1000) {
      ADD_FAILURE() << "the queue never runs dry (a WM_PAINT that is never validated?)";
      break;
    }
  }
  return n;
}

void UserTest::SetUp() {
  ce::user::ResetForTests();
  seen.clear();
  hook = nullptr;
  WNDCLASSW wc{};
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = u"TestWnd";
  ASSERT_NE(RegisterClassW(&wc), 0);
}

void UserTest::TearDown() {
  hook = nullptr;
  ce::user::ResetForTests();
}

HWND UserTest::MakeWindow(const char16_t* title, DWORD style, int x, int y, int w, int h) {
  return CreateWindowExW(0, u"TestWnd", title, style, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace usertest
