// Activation inside the process and the foreground across the screen.
#include "ce/user/core.h"

using namespace ce::user;

void ce::user::ActivateLocal(HWND hwnd) {
  HWND old;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    if (hwnd && !FindLocked(hwnd)) return;
    old = core().active;
    if (old == hwnd) return;
    core().active = hwnd;
    if (hwnd) RaiseLocked(hwnd);
  }
  if (old) CallProc(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
  if (hwnd) CallProc(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
}

void ce::user::NativeFocus(HWND hwnd, bool gained) {
  if (gained) {
    ActivateLocal(hwnd);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(core().mu);
    if (core().active != hwnd) return;  // already moved on inside this process
  }
  ActivateLocal(nullptr);
}

BOOL SetForegroundWindow(HWND hwnd) {
  Backend* be = ActiveBackend();
  hwnd = Normalize(hwnd);
  if (!hwnd) return FALSE;
  if (IsForeignHandle(hwnd)) return be->SetForeground(hwnd) ? TRUE : FALSE;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Window* w = FindLocked(hwnd);
    if (!w || w->destroying) return FALSE;
  }
  ActivateLocal(hwnd);
  be->SetForeground(hwnd);
  return TRUE;
}

HWND GetForegroundWindow(void) { return ActiveBackend()->GetForeground(); }

HWND GetActiveWindow(void) { return ActiveLocalWindow(); }
