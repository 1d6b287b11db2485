// Cursors: the arrow and the wait cursor, the only two the programs show.
#include "ce/user/core.h"

using namespace ce::user;

namespace {
int arrowCursor;
int waitCursor;
}  // namespace

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  if (instance || !IS_INTRESOURCE(name)) return nullptr;  // the programs carry no cursor resources
  if (name == IDC_ARROW) return reinterpret_cast<HCURSOR>(&arrowCursor);
  if (name == IDC_WAIT) return reinterpret_cast<HCURSOR>(&waitCursor);
  return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  Backend* be = ActiveBackend();
  HCURSOR old;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    old = core().cursor;
    core().cursor = cursor;
  }
  CursorKind shape = !cursor                                            ? CursorKind::Hidden
                     : cursor == reinterpret_cast<HCURSOR>(&waitCursor) ? CursorKind::Wait
                                                                        : CursorKind::Arrow;
  be->SetCursorShape(shape);
  return old;
}

HCURSOR GetCursor(void) {
  std::lock_guard<std::mutex> lock(core().mu);
  return core().cursor;
}
