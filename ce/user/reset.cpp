// Putting the window state back to a fresh process, for tests that run many cases in one.
#include "ce/user/core.h"
#include "ce/user/test_hooks.h"

using namespace ce::user;

void ce::user::ResetForTests() {
  Backend* be = ActiveBackend();
  std::vector<HWND> natives;
  std::map<uintptr_t, std::unique_ptr<Window>> dead;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Core& c = core();
    for (auto& [handle, w] : c.windows) {
      if (w->native) natives.push_back(w->hwnd);
    }
    dead.swap(c.windows);
    c.classes.clear();
    c.stacking.clear();
    c.posted.clear();
    c.input.clear();
    c.quitPending = false;
    c.quitCode = 0;
    c.timers.clear();
    c.active = nullptr;
    c.modal.clear();
    c.lastKey = MSG{};
    c.lastKeyChar = 0;
    c.cursor = nullptr;
  }
  DropAllDcs();
  for (HWND h : natives) be->DestroyNative(h);
  be->SetCursorShape(CursorKind::Hidden);
  if (BackendTestHooks* hooks = ActiveTestHooks()) hooks->Reset();
}
