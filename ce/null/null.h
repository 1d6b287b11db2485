// The headless screen: windows, focus, input and frames in memory. Tests select it with Use() (or
// CE_BACKEND=null) and drive it with the hooks below. Injection calls may come from any thread; the
// messages they make are retrieved by the thread that runs the message loop.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ce/user.h"
#include "ce/user/backend.h"
#include "ce/user/test_hooks.h"

namespace ce::null {

// Makes this process use the headless screen. Call before the first window call; false when
// another backend is already running.
bool Use();

// ---- stylus and keys ----
// Screen coordinates. Down goes to the topmost visible window under the point (false when there is
// none, or when a message box is up and the point is not on it); moves and the lift go to that same
// window, in its client coordinates, until the stylus is lifted. A move or lift without a down is
// ignored (false), as a touch screen reports nothing while nothing touches it.
bool StylusDown(int x, int y);
bool StylusMove(int x, int y);
bool StylusUp(int x, int y);
// Down and up at one point.
bool Tap(int x, int y);
// A mouse pointer moving over the topmost visible window at a screen point without a button down:
// WM_MOUSEMOVE without MK_LBUTTON, as a desktop's pointer sends it. False when no window is there.
bool PointerHover(int x, int y);
// A key pressed and released on the active window: WM_KEYDOWN (with ch for TranslateMessage's
// WM_CHAR; 0 for none) and WM_KEYUP. False when no window is active.
bool KeyPress(UINT vk, char16_t ch = 0);

// ---- frames ----
// The last picture presented for a window (EndPaint or ReleaseDC while visible).
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<uint16_t> pixels;  // top-down RGB565
  int count = 0;                 // frames presented so far
};
bool LastFrame(HWND hwnd, Frame* frame);
// The screen as it would show now: the last frames of the visible windows, bottom to top, over black.
Frame Screen();

// ---- message boxes ----
struct MessageBoxRecord {
  HWND owner;
  std::u16string caption;
  std::u16string text;
  UINT type;
  int answer;
};
// The answer the next box gets; without one queued a box takes its default button.
void QueueMessageBoxAnswer(int answer);
// Every box shown since the last reset, in order.
std::vector<MessageBoxRecord> MessageBoxes();
// The buttons of a real box window (client coordinates), as laid out.
std::vector<ce::user::DialogButton> DialogButtons(HWND box);
// true: boxes are real "Dialog" windows, drawn and answered by stylus or keys, instead of recorded.
void SetRealMessageBoxes(bool real);

// ---- shell state ----
// The last SHFullScreen state of a window (0 when never called); -1 for a bad handle.
long FullScreenState(HWND hwnd);
// The cursor shape shown: 0 none, 1 arrow, 2 wait.
int CursorShape();

}  // namespace ce::null
