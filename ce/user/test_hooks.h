// The seam tests reach the screen through, apart from the backend contract (backend.h), which
// holds only what a platform does. A backend that serves tests implements this interface too:
// the null backend answers boxes and records them, the X11 one publishes each box's layout for
// the test harness that taps it.
#pragma once

#include <string>
#include <vector>

#include "ce/user.h"

namespace ce::user {

// A button of a message box as laid out on its window, in client coordinates.
struct DialogButton {
  int id;  // IDOK, IDCANCEL, IDYES, IDNO
  RECT rect;
};

class BackendTestHooks {
 public:
  virtual ~BackendTestHooks() = default;
  // Called by MessageBoxW first: true (with *answer set) when the backend answers the box itself.
  virtual bool AnswerMessageBox(HWND owner, const char16_t* text, const char16_t* caption, UINT type, int* answer) = 0;
  // Called once a message box window is laid out: publishes its text and buttons for test tools.
  virtual void DescribeDialog(HWND box, const std::u16string& text, const std::vector<DialogButton>& buttons) = 0;
  // Called by ResetForTests after every window is gone: drop recorded state.
  virtual void Reset() = 0;
};

// The running backend's test hooks, or null when it has none.
BackendTestHooks* ActiveTestHooks();

}  // namespace ce::user
