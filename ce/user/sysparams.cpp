// Screen metrics and the shell's full-screen state.
#include "ce/device.h"
#include "ce/user/core.h"

using namespace ce::user;

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN:
      return ce::Device().screenWidth;
    case SM_CYSCREEN:
      return ce::Device().screenHeight;
    default:
      return 0;
  }
}

BOOL SHFullScreen(HWND hwnd, DWORD state) {
  constexpr DWORD kKnown = SHFS_SHOWTASKBAR | SHFS_HIDETASKBAR | SHFS_SHOWSIPBUTTON | SHFS_HIDESIPBUTTON |
                           SHFS_SHOWSTARTICON | SHFS_HIDESTARTICON;
  if (state & ~kKnown) return FALSE;
  std::lock_guard<std::mutex> lock(core().mu);
  Window* w = FindLocked(Normalize(hwnd));
  if (!w) return FALSE;
  // There is no task bar, input panel or Start icon on this screen: remember what was asked.
  w->fullScreen = state;
  return TRUE;
}

bool ce::user::FullScreenState(HWND hwnd, DWORD* state) {
  std::lock_guard<std::mutex> lock(core().mu);
  Window* w = FindLocked(hwnd);
  if (!w) return false;
  *state = w->fullScreen;
  return true;
}
