// State shared by the window, queue, paint and message-box code. Everything here is guarded by
// Core::mu; window procedures and backend slots are always called with it released, so a procedure
// may call back into any window function.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ce/user.h"
#include "ce/user/backend.h"

namespace ce::user {

using Clock = std::chrono::steady_clock;

// A window's client picture. Shared with the DCs handed out over it, so a DC kept across a resize
// or a destroy still points at live memory.
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<uint16_t> pixels;
};

struct ClassEntry {
  std::u16string name;
  WNDCLASSW wc{};
};

struct Window {
  HWND hwnd = nullptr;
  std::u16string className;
  std::u16string title;
  WNDPROC proc = nullptr;
  UINT classStyle = 0;
  HBRUSH background = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND owner = nullptr;
  LONG id = 0;
  LONG_PTR userData = 0;
  std::vector<uint8_t> extra;  // cbWndExtra bytes
  RECT rect{};                 // screen rectangle (no frame: the client area is the whole window)
  bool visible = false;
  bool native = false;  // the backend made its window
  bool destroying = false;
  bool updatePending = false;  // update region (kept as its bounding box) is not empty
  RECT update{};
  bool erase = false;
  DWORD fullScreen = 0;  // last SHFullScreen state bits
  std::shared_ptr<Frame> frame;
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT period;
  TIMERPROC proc;
  Clock::time_point due;
};

struct QueuedMessage {
  MSG msg;
  char16_t ch;
};

struct Core {
  std::mutex mu;
  std::vector<ClassEntry> classes;
  std::map<uintptr_t, std::unique_ptr<Window>> windows;  // by handle value
  std::vector<HWND> stacking;                            // local windows, bottom first
  uintptr_t nextHandle = 0x10000;
  std::deque<QueuedMessage> posted;
  std::deque<QueuedMessage> input;
  bool quitPending = false;
  int quitCode = 0;
  std::vector<Timer> timers;
  UINT_PTR nextThreadTimerId = 0x7f00;
  HWND active = nullptr;
  std::vector<HWND> modal;  // message boxes being shown, innermost last
  // The key character of the last WM_KEYDOWN retrieved, for TranslateMessage.
  MSG lastKey{};
  char16_t lastKeyChar = 0;
  struct DcEntry {
    HWND hwnd;
    std::shared_ptr<Frame> frame;
  };
  std::map<HDC, DcEntry> dcs;
  HCURSOR cursor = nullptr;
};

Core& core();

// Looks up a local window; call with core().mu held. NULL for a foreign, stale or bad handle.
Window* FindLocked(HWND hwnd);
HWND Normalize(HWND hwnd);  // clears the CE "OR 1" bit
// Milliseconds since the process's first window call; MSG.time and TIMERPROC use it.
DWORD TickMs();

// Internal steps shared between files.
LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Finds a class by name or by the atom RegisterClassW returned; call with core().mu held.
ClassEntry* FindClassLocked(LPCWSTR name);
void RaiseLocked(HWND hwnd);    // puts a local window on top of the stacking; mu held
void ActivateLocal(HWND hwnd);  // moves the activation to hwnd (may be NULL) with WM_ACTIVATE
// Adds r, clipped to the client area, to the update region; mu held.
void AddUpdateLocked(Window* w, const RECT& r, bool erase);
void InvalidateAllLocked(Window* w, bool erase);
void KillTimersOfLocked(HWND hwnd);
void PresentFrame(HWND hwnd);  // hands the window's picture to the backend
void DropDcsOfLocked(HWND hwnd);
void DropAllDcs();                                      // deletes every DC handed out (ResetForTests)
bool EraseWithBrush(HWND hwnd, HDC hdc, HBRUSH brush);  // WM_ERASEBKGND's default
bool FullScreenState(HWND hwnd, DWORD* state);
int RunMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
void EnsureMessageBoxHandler();

}  // namespace ce::user
