// The device screen behind the window calls: one contract, two implementations, both always built.
//
//   x11  — the real screen: every top-level window is an X window (WM_CLASS = window class, WM_NAME
//          and _NET_WM_NAME = title), frames go out with XPutImage, the stylus is pointer button 1,
//          the foreground is X's input focus plus stacking, and FindWindowW sees every program's windows.
//   null — headless and in-process: windows, focus, injected input and presented frames live in
//          memory; FindWindowW sees this process's windows only. Test hooks are in ce/null/null.h.
//
// How a process picks its backend (at the first window call, once):
//   1. UseBackend() (or ce::null::Use()) called before that wins;
//   2. otherwise CE_BACKEND=null or CE_BACKEND=x11;
//   3. otherwise x11 when DISPLAY is set and not empty, null when it is not.
// When x11 is picked and the display cannot be opened, the process prints one line saying so and
// ends with status 2.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ce/user.h"

namespace ce::user {

enum class BackendKind { Null, X11 };

// The pointer shape over this process's windows (the values are what ce::null::CursorShape reports).
enum class CursorKind { Hidden = 0, Arrow = 1, Wait = 2 };

// Picks the backend before the first window call. True when none runs yet or the one running is
// of this kind; false when a backend of the other kind already runs.
bool UseBackend(BackendKind kind);

// The backend in use (starting it by the rule above when none runs yet).
BackendKind CurrentBackend();

// Native side of the windows. The core calls every slot on the user-interface thread, without its
// own lock held, except Wake(), which any thread may call.
class Backend {
 public:
  virtual ~Backend() = default;
  // Called once, when the backend is picked; false when the screen cannot be reached.
  virtual bool Open() = 0;
  // Called by CreateWindowExW after WM_CREATE succeeded: make the native window (still hidden).
  virtual bool CreateNative(HWND hwnd, const std::u16string& className, const std::u16string& title,
                            const RECT& rect) = 0;
  // Called by DestroyWindow after WM_NCDESTROY: drop the native window.
  virtual void DestroyNative(HWND hwnd) = 0;
  // Called when a local window becomes visible (show) or hidden.
  virtual void ShowNative(HWND hwnd, bool show) = 0;
  // Called by MoveWindow with the new screen rectangle.
  virtual void MoveNative(HWND hwnd, const RECT& rect) = 0;
  // Called by SetWindowTextW.
  virtual void SetNativeTitle(HWND hwnd, const std::u16string& title) = 0;
  // Called by EndPaint and ReleaseDC: the client picture (top-down RGB565) goes to the screen.
  virtual void Present(HWND hwnd, const uint16_t* pixels, int width, int height) = 0;
  // Called at the start of every queue look-up: turn pending native events into messages; never blocks.
  virtual void PumpEvents() = 0;
  // Called by GetMessageW when nothing is ready: block until a native event, Wake() or the timeout
  // (milliseconds; negative: no timeout).
  virtual void WaitEvents(int timeoutMs) = 0;
  // Called from any thread by PostMessageW and input injection: end a WaitEvents early.
  virtual void Wake() = 0;
  // Called by SetForegroundWindow after the core updated its own activation: raise and focus
  // (a local or another process's window).
  virtual bool SetForeground(HWND hwnd) = 0;
  // Called by GetForegroundWindow when the foreground may lie outside this process.
  virtual HWND GetForeground() = 0;
  // Called by FindWindowW after this process's windows did not match (NULL names match any).
  virtual HWND FindForeign(const char16_t* className, const char16_t* title) = 0;
  // Called by IsWindow, ShowWindow and PostMessageW for a handle of another process.
  virtual bool ForeignExists(HWND hwnd) = 0;
  virtual bool ForeignShow(HWND hwnd, int cmd) = 0;
  virtual bool ForeignPost(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
  // Called by SetCursor and ResetForTests.
  virtual void SetCursorShape(CursorKind shape) = 0;
};

Backend* ActiveBackend();  // starts the backend on first use

// ---- what a backend tells the core (any of these from PumpEvents; the Queue* ones from any thread) ----

// Stylus and key input for a local window, in client coordinates. ch is the key's character (0: none),
// handed to WM_CHAR by TranslateMessage.
void QueueInput(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, char16_t ch = 0);
// A message another process posted to a local window.
void QueuePosted(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Part of a local window's client area must be drawn again.
void NativeExposed(HWND hwnd, const RECT& rect);
// The screen gave a local window the focus (true) or took it away (false).
void NativeFocus(HWND hwnd, bool gained);

// Window names compare as Windows compares class names and titles in FindWindowW: ignoring case.
bool NamesEqual(const std::u16string& a, const char16_t* b);

// ---- handles ----
// Local windows have small handle values; a window of another process carries its native id.
bool IsForeignHandle(HWND hwnd);
HWND MakeForeignHandle(uint32_t nativeId);
uint32_t ForeignNativeId(HWND hwnd);
// Local windows in stacking order, bottom first, visible ones only (for hit testing in memory).
std::vector<HWND> VisibleWindowsBottomUp();
bool LocalWindowRect(HWND hwnd, RECT* rect);  // screen rectangle of a local window
HWND ActiveLocalWindow();                     // the local window holding the activation, or NULL
HWND ModalWindow();                           // the message box being shown, or NULL

// Destroys every window without calling window procedures, forgets classes, queue, timers, activation
// and cursor, and resets the backend's recorded state. For tests that run many cases in one process.
void ResetForTests();

}  // namespace ce::user
