// Update regions, WM_PAINT's BeginPaint/EndPaint, window and screen DCs, and presenting frames.
#include <algorithm>

#include "ce/device.h"
#include "ce/gdi.h"
#include "ce/gdi/surface.h"
#include "ce/user/core.h"

namespace ce::user {

namespace {

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (Empty(r)) r = RECT{0, 0, 0, 0};
  return r;
}

RECT ClientOf(const Window* w) { return RECT{0, 0, w->frame->width, w->frame->height}; }

// The screen as GetDC(NULL) sees it: memory of the device's size, so GetDeviceCaps and
// CreateCompatibleDC work the same on every backend.
std::shared_ptr<Frame> ScreenFrame() {
  static std::shared_ptr<Frame> screen = [] {
    auto f = std::make_shared<Frame>();
    f->width = std::max(1, ce::Device().screenWidth);
    f->height = std::max(1, ce::Device().screenHeight);
    f->pixels.assign(static_cast<size_t>(f->width) * f->height, 0);
    return f;
  }();
  return screen;
}

HDC MakeDc(HWND hwnd, const std::shared_ptr<Frame>& frame) {
  const int w = std::max(1, frame->width);
  const int h = std::max(1, frame->height);
  HDC dc = ce::gdi::CreateSurfaceDC(frame->pixels.data(), w, h, w * 2);
  if (!dc) return nullptr;
  std::lock_guard<std::mutex> lock(core().mu);
  core().dcs[dc] = Core::DcEntry{hwnd, frame};
  return dc;
}

// Forgets a DC handed out for hwnd and deletes it; false when it was not one of hwnd's.
bool ReleaseDcOf(HWND hwnd, HDC dc) {
  {
    std::lock_guard<std::mutex> lock(core().mu);
    auto it = core().dcs.find(dc);
    if (it == core().dcs.end()) return false;
    // A DC of a window destroyed meanwhile may still be released by its handle.
    if (it->second.hwnd != hwnd && it->second.hwnd != reinterpret_cast<HWND>(-1)) return false;
    core().dcs.erase(it);
  }
  DeleteDC(dc);
  return true;
}

}  // namespace

void AddUpdateLocked(Window* w, const RECT& r, bool erase) {
  RECT clipped = Intersect(r, ClientOf(w));
  if (Empty(clipped)) return;
  if (!w->updatePending) {
    w->update = clipped;
    w->updatePending = true;
  } else {
    w->update.left = std::min(w->update.left, clipped.left);
    w->update.top = std::min(w->update.top, clipped.top);
    w->update.right = std::max(w->update.right, clipped.right);
    w->update.bottom = std::max(w->update.bottom, clipped.bottom);
  }
  if (erase) w->erase = true;
}

void InvalidateAllLocked(Window* w, bool erase) { AddUpdateLocked(w, ClientOf(w), erase); }

void DropDcsOfLocked(HWND hwnd) {
  // The DCs stay valid (they hold the picture alive); they only stop counting as the window's.
  for (auto& [dc, entry] : core().dcs) {
    if (entry.hwnd == hwnd) entry.hwnd = reinterpret_cast<HWND>(-1);
  }
}

void DropAllDcs() {
  std::map<HDC, Core::DcEntry> all;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    all.swap(core().dcs);
  }
  for (auto& [dc, entry] : all) DeleteDC(dc);
}

bool EraseWithBrush(HWND hwnd, HDC hdc, HBRUSH brush) {
  if (!brush || !hdc) return false;
  RECT rc;
  if (!GetClientRect(hwnd, &rc)) return false;
  return FillRect(hdc, &rc, brush) != 0;
}

void PresentFrame(HWND hwnd) {
  std::shared_ptr<Frame> frame;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Window* w = FindLocked(hwnd);
    if (!w || !w->visible || !w->native) return;
    frame = w->frame;
  }
  ActiveBackend()->Present(hwnd, frame->pixels.data(), frame->width, frame->height);
}

void NativeExposed(HWND hwnd, const RECT& rect) {
  std::lock_guard<std::mutex> lock(core().mu);
  if (Window* w = FindLocked(hwnd)) AddUpdateLocked(w, rect, true);
}

}  // namespace ce::user

using namespace ce::user;

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  std::lock_guard<std::mutex> lock(core().mu);
  if (!hwnd) {  // every window
    for (auto& [handle, w] : core().windows) AddUpdateLocked(w.get(), rect ? *rect : ClientOf(w.get()), erase);
    return TRUE;
  }
  Window* w = FindLocked(hwnd);
  if (!w) return FALSE;
  AddUpdateLocked(w, rect ? *rect : ClientOf(w), erase);
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  std::lock_guard<std::mutex> lock(core().mu);
  Window* w = FindLocked(hwnd);
  if (!w) return FALSE;
  if (!w->updatePending) return TRUE;
  RECT& u = w->update;
  if (!rect || (rect->left <= u.left && rect->top <= u.top && rect->right >= u.right && rect->bottom >= u.bottom)) {
    w->updatePending = false;
    w->erase = false;
    u = RECT{0, 0, 0, 0};
    return TRUE;
  }
  // The update region is kept as one rectangle: cut off a band the rectangle covers fully.
  if (rect->left <= u.left && rect->right >= u.right) {
    if (rect->top <= u.top && rect->bottom > u.top)
      u.top = rect->bottom;
    else if (rect->bottom >= u.bottom && rect->top < u.bottom)
      u.bottom = rect->top;
  } else if (rect->top <= u.top && rect->bottom >= u.bottom) {
    if (rect->left <= u.left && rect->right > u.left)
      u.left = rect->right;
    else if (rect->right >= u.right && rect->left < u.right)
      u.right = rect->left;
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
  std::lock_guard<std::mutex> lock(core().mu);
  Window* w = FindLocked(hwnd);
  if (!w) return FALSE;
  if (rect) *rect = w->updatePending ? w->update : RECT{0, 0, 0, 0};
  return w->updatePending ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd) {
  bool paint;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Window* w = FindLocked(hwnd);
    if (!w) return FALSE;
    paint = w->visible && w->updatePending;
  }
  if (paint) CallProc(hwnd, WM_PAINT, 0, 0);
  return TRUE;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
  if (!ps) return nullptr;
  std::shared_ptr<Frame> frame;
  RECT paint{0, 0, 0, 0};
  bool erase;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Window* w = FindLocked(hwnd);
    if (!w) return nullptr;
    frame = w->frame;
    if (w->updatePending) paint = w->update;
    erase = w->erase;
    w->updatePending = false;
    w->erase = false;
    w->update = RECT{0, 0, 0, 0};
  }
  *ps = PAINTSTRUCT{};
  HDC dc = MakeDc(hwnd, frame);
  if (!dc) return nullptr;
  ps->hdc = dc;
  ps->rcPaint = paint;
  ps->fErase = erase ? TRUE : FALSE;
  if (erase && CallProc(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0)) ps->fErase = FALSE;
  return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  if (!ps || !ReleaseDcOf(hwnd, ps->hdc)) return FALSE;
  PresentFrame(hwnd);
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  ActiveBackend();
  if (!hwnd) return MakeDc(nullptr, ScreenFrame());
  std::shared_ptr<Frame> frame;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Window* w = FindLocked(hwnd);
    if (!w) return nullptr;
    frame = w->frame;
  }
  return MakeDc(hwnd, frame);
}

int ReleaseDC(HWND hwnd, HDC hdc) {
  if (!ReleaseDcOf(hwnd, hdc)) return 0;
  if (hwnd) PresentFrame(hwnd);
  return 1;
}
