// bring-forward.exe <title>: makes the top-level window of that title the foreground window, as
// a task switcher would. Exit code 0 when the window was found and brought forward.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  HWND window = FindWindowW(nullptr, argv[1]);
  return window != nullptr && SetForegroundWindow(window) ? 0 : 1;
}
