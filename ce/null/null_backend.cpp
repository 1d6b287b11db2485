// The headless backend: nothing leaves the process. Frames are kept per window, input comes from the
// injection hooks, message boxes are recorded and answered from a queue.
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

#include "ce/device.h"
#include "ce/null/null.h"
#include "ce/user/backend.h"
#include "ce/user/core.h"
#include "ce/user/factories.h"
#include "ce/user/test_hooks.h"

namespace ce::user {

namespace {

class NullBackend;
NullBackend* instance = nullptr;

class NullBackend final : public Backend, public BackendTestHooks {
 public:
  std::mutex mu;
  std::condition_variable cv;
  bool woken = false;
  std::map<HWND, ce::null::Frame> frames;
  std::map<HWND, std::vector<DialogButton>> dialogs;
  std::deque<int> answers;
  std::vector<ce::null::MessageBoxRecord> boxes;
  bool realBoxes = false;
  int cursorShape = 0;
  HWND stylusWindow = nullptr;  // where the stylus went down, until it is lifted

  bool Open() override {
    instance = this;
    return true;
  }
  bool CreateNative(HWND, const std::u16string&, const std::u16string&, const RECT&) override { return true; }
  void DestroyNative(HWND hwnd) override {
    std::lock_guard<std::mutex> lock(mu);
    frames.erase(hwnd);
    dialogs.erase(hwnd);
    if (stylusWindow == hwnd) stylusWindow = nullptr;
  }
  void ShowNative(HWND, bool) override {}
  void MoveNative(HWND, const RECT&) override {}
  void SetNativeTitle(HWND, const std::u16string&) override {}
  void Present(HWND hwnd, const uint16_t* pixels, int width, int height) override {
    std::lock_guard<std::mutex> lock(mu);
    auto& f = frames[hwnd];
    f.width = width;
    f.height = height;
    f.pixels.assign(pixels, pixels + static_cast<size_t>(width) * height);
    ++f.count;
  }
  void PumpEvents() override {}
  void WaitEvents(int timeoutMs) override {
    std::unique_lock<std::mutex> lock(mu);
    auto ready = [this] { return woken; };
    if (timeoutMs < 0)
      cv.wait(lock, ready);
    else
      cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    woken = false;
  }
  void Wake() override {
    std::lock_guard<std::mutex> lock(mu);
    woken = true;
    cv.notify_all();
  }
  // The core's activation is the foreground; there are no other programs' windows here.
  bool SetForeground(HWND hwnd) override { return !IsForeignHandle(hwnd); }
  HWND GetForeground() override { return ActiveLocalWindow(); }
  HWND FindForeign(const char16_t*, const char16_t*) override { return nullptr; }
  bool ForeignExists(HWND) override { return false; }
  bool ForeignShow(HWND, int) override { return false; }
  bool ForeignPost(HWND, UINT, WPARAM, LPARAM) override { return false; }
  void SetCursorShape(ce::user::CursorKind shape) override {
    std::lock_guard<std::mutex> lock(mu);
    cursorShape = static_cast<int>(shape);
  }
  bool AnswerMessageBox(HWND owner, const char16_t* text, const char16_t* caption, UINT type, int* answer) override {
    std::lock_guard<std::mutex> lock(mu);
    if (realBoxes) return false;
    if (!answers.empty()) {
      *answer = answers.front();
      answers.pop_front();
    } else {
      *answer = ce::DefaultMessageBoxButton(type);
    }
    boxes.push_back(ce::null::MessageBoxRecord{owner, caption ? caption : u"Error", text ? text : u"", type, *answer});
    return true;
  }
  void DescribeDialog(HWND box, const std::u16string&, const std::vector<DialogButton>& buttons) override {
    std::lock_guard<std::mutex> lock(mu);
    dialogs[box] = buttons;
  }
  void Reset() override {
    std::lock_guard<std::mutex> lock(mu);
    frames.clear();
    dialogs.clear();
    answers.clear();
    boxes.clear();
    realBoxes = false;
    cursorShape = 0;
    stylusWindow = nullptr;
    woken = false;
  }
};

NullBackend* Null() {
  ActiveBackend();
  return instance;
}

// The topmost visible window under a screen point.
HWND WindowAt(int x, int y) {
  auto windows = VisibleWindowsBottomUp();
  for (size_t i = windows.size(); i-- > 0;) {
    RECT r;
    if (LocalWindowRect(windows[i], &r) && x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
      return windows[i];
    }
  }
  return nullptr;
}

bool Stylus(UINT msg, int x, int y) {
  NullBackend* be = Null();
  if (!be) return false;
  HWND target;
  {
    std::lock_guard<std::mutex> lock(be->mu);
    target = be->stylusWindow;
  }
  if (msg == WM_LBUTTONDOWN) {
    target = WindowAt(x, y);
    if (!target) return false;
    HWND modal = ModalWindow();
    if (modal && modal != target) return false;  // the other windows are disabled under a box
  }
  RECT r;
  if (!target || !LocalWindowRect(target, &r)) return false;
  {
    std::lock_guard<std::mutex> lock(be->mu);
    be->stylusWindow = msg == WM_LBUTTONUP ? nullptr : target;
  }
  QueueInput(target, msg, msg == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x - r.left, y - r.top));
  return true;
}

}  // namespace

std::unique_ptr<Backend> MakeNullBackend() { return std::make_unique<NullBackend>(); }

}  // namespace ce::user

namespace ce::null {

using namespace ce::user;

bool Use() { return UseBackend(BackendKind::Null); }

bool StylusDown(int x, int y) { return Stylus(WM_LBUTTONDOWN, x, y); }
bool StylusMove(int x, int y) { return Stylus(WM_MOUSEMOVE, x, y); }
bool StylusUp(int x, int y) { return Stylus(WM_LBUTTONUP, x, y); }

bool PointerHover(int x, int y) {
  NullBackend* be = Null();
  if (!be) return false;
  HWND target = WindowAt(x, y);
  RECT r;
  if (!target || !LocalWindowRect(target, &r)) return false;
  QueueInput(target, WM_MOUSEMOVE, 0, MAKELPARAM(x - r.left, y - r.top));
  return true;
}
bool Tap(int x, int y) { return StylusDown(x, y) && StylusUp(x, y); }

bool KeyPress(UINT vk, char16_t ch) {
  if (!Null()) return false;
  HWND target = ModalWindow();
  if (!target) target = ActiveLocalWindow();
  if (!target) return false;
  QueueInput(target, WM_KEYDOWN, vk, 1, ch);
  QueueInput(target, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
  return true;
}

bool LastFrame(HWND hwnd, Frame* frame) {
  NullBackend* be = Null();
  if (!be) return false;
  std::lock_guard<std::mutex> lock(be->mu);
  auto it = be->frames.find(hwnd);
  if (it == be->frames.end()) return false;
  *frame = it->second;
  return true;
}

Frame Screen() {
  Frame screen;
  screen.width = ce::Device().screenWidth;
  screen.height = ce::Device().screenHeight;
  screen.pixels.assign(static_cast<size_t>(screen.width) * screen.height, 0);
  NullBackend* be = Null();
  if (!be) return screen;
  for (HWND h : VisibleWindowsBottomUp()) {
    RECT r;
    Frame f;
    if (!LocalWindowRect(h, &r) || !LastFrame(h, &f)) continue;
    for (int y = 0; y < f.height; ++y) {
      const int sy = r.top + y;
      if (sy < 0 || sy >= screen.height) continue;
      for (int x = 0; x < f.width; ++x) {
        const int sx = r.left + x;
        if (sx < 0 || sx >= screen.width) continue;
        screen.pixels[static_cast<size_t>(sy) * screen.width + sx] = f.pixels[static_cast<size_t>(y) * f.width + x];
      }
    }
  }
  return screen;
}

void QueueMessageBoxAnswer(int answer) {
  NullBackend* be = Null();
  if (!be) return;
  std::lock_guard<std::mutex> lock(be->mu);
  be->answers.push_back(answer);
}

std::vector<MessageBoxRecord> MessageBoxes() {
  NullBackend* be = Null();
  if (!be) return {};
  std::lock_guard<std::mutex> lock(be->mu);
  return be->boxes;
}

std::vector<DialogButton> DialogButtons(HWND box) {
  NullBackend* be = Null();
  if (!be) return {};
  std::lock_guard<std::mutex> lock(be->mu);
  auto it = be->dialogs.find(box);
  return it == be->dialogs.end() ? std::vector<DialogButton>{} : it->second;
}

void SetRealMessageBoxes(bool real) {
  NullBackend* be = Null();
  if (!be) return;
  std::lock_guard<std::mutex> lock(be->mu);
  be->realBoxes = real;
}

long FullScreenState(HWND hwnd) {
  DWORD state;
  return ce::user::FullScreenState(hwnd, &state) ? static_cast<long>(state) : -1;
}

int CursorShape() {
  NullBackend* be = Null();
  if (!be) return 0;
  std::lock_guard<std::mutex> lock(be->mu);
  return be->cursorShape;
}

}  // namespace ce::null
