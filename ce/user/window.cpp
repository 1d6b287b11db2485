// Windows: handles, creation and destruction, showing, moving, text, long values and search.
#include <algorithm>
#include <cstring>

#include "ce/device.h"
#include "ce/user/core.h"

namespace ce::user {

static_assert(sizeof(void*) == 8, "foreign window handles carry the native id above bit 40");

// ---- handles ----

constexpr uintptr_t kForeignTag = uintptr_t(1) << 40;

bool IsForeignHandle(HWND hwnd) {
  return (reinterpret_cast<uintptr_t>(hwnd) & ~uintptr_t(0xFFFFFFFFFF)) == kForeignTag;
}

HWND MakeForeignHandle(uint32_t nativeId) { return reinterpret_cast<HWND>(kForeignTag | (uintptr_t(nativeId) << 2)); }

uint32_t ForeignNativeId(HWND hwnd) {
  return static_cast<uint32_t>((reinterpret_cast<uintptr_t>(hwnd) & 0xFFFFFFFFFF) >> 2);
}

HWND Normalize(HWND hwnd) { return reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(hwnd) & ~uintptr_t(1)); }

Window* FindLocked(HWND hwnd) {
  auto it = core().windows.find(reinterpret_cast<uintptr_t>(hwnd));
  return it == core().windows.end() ? nullptr : it->second.get();
}

static bool IsLocal(HWND hwnd) {
  std::lock_guard<std::mutex> lock(core().mu);
  return FindLocked(hwnd) != nullptr;
}

std::vector<HWND> VisibleWindowsBottomUp() {
  std::lock_guard<std::mutex> lock(core().mu);
  std::vector<HWND> out;
  for (HWND h : core().stacking) {
    Window* w = FindLocked(h);
    if (w && w->visible && !w->destroying) out.push_back(h);
  }
  return out;
}

bool LocalWindowRect(HWND hwnd, RECT* rect) {
  std::lock_guard<std::mutex> lock(core().mu);
  Window* w = FindLocked(hwnd);
  if (!w) return false;
  *rect = w->rect;
  return true;
}

HWND ActiveLocalWindow() {
  std::lock_guard<std::mutex> lock(core().mu);
  return core().active;
}

HWND ModalWindow() {
  std::lock_guard<std::mutex> lock(core().mu);
  return core().modal.empty() ? nullptr : core().modal.back();
}

LRESULT CallProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC proc = nullptr;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Window* w = FindLocked(hwnd);
    if (w) proc = w->proc;
  }
  return proc ? proc(hwnd, msg, wParam, lParam) : 0;
}

static std::u16string CopyText(LPCWSTR text) {
  return text && !IS_INTRESOURCE(text) ? std::u16string(text) : std::u16string();
}

}  // namespace ce::user

// The Win32 calls live in the global namespace, as the programs call them.
using namespace ce::user;

// ---- windows ----

static std::shared_ptr<Frame> MakeFrame(int width, int height) {
  auto f = std::make_shared<Frame>();
  f->width = width > 0 ? width : 0;
  f->height = height > 0 ? height : 0;
  // At least one pixel, so a DC over an empty window still has memory behind it.
  f->pixels.assign(static_cast<size_t>(f->width > 0 ? f->width : 1) * (f->height > 0 ? f->height : 1), 0);
  return f;
}

void ce::user::RaiseLocked(HWND hwnd) {
  auto& s = core().stacking;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == hwnd) {
      s.erase(s.begin() + static_cast<long>(i));
      break;
    }
  }
  s.push_back(hwnd);
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  Backend* be = ActiveBackend();
  const int screenW = ce::Device().screenWidth;
  const int screenH = ce::Device().screenHeight;
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) {
    width = screenW - x;
    height = screenH - y;
  }
  if (width < 0) width = 0;
  if (height < 0) height = 0;

  HWND hwnd;
  std::u16string cls;
  std::u16string title = CopyText(windowName);
  {
    std::lock_guard<std::mutex> lock(core().mu);
    ClassEntry* ce = FindClassLocked(className);
    if (!ce) return nullptr;
    core().nextHandle += 4;
    hwnd = reinterpret_cast<HWND>(core().nextHandle);
    auto w = std::make_unique<Window>();
    w->hwnd = hwnd;
    w->className = ce->name;
    w->title = title;
    w->proc = ce->wc.lpfnWndProc;
    w->classStyle = ce->wc.style;
    w->background = ce->wc.hbrBackground;
    w->style = style & ~static_cast<DWORD>(WS_VISIBLE);  // set when it is shown below
    w->exStyle = exStyle;
    w->owner = parent;
    w->id = static_cast<LONG>(reinterpret_cast<uintptr_t>(menu));
    w->extra.assign(static_cast<size_t>(ce->wc.cbWndExtra), 0);
    w->rect = RECT{x, y, x + width, y + height};
    w->frame = MakeFrame(width, height);
    cls = ce->name;
    core().windows[reinterpret_cast<uintptr_t>(hwnd)] = std::move(w);
    core().stacking.push_back(hwnd);
  }
  RECT rect{x, y, x + width, y + height};
  if (!be->CreateNative(hwnd, cls, title, rect)) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(core().mu);
    if (Window* w = FindLocked(hwnd)) w->native = true;
  }

  CREATESTRUCTW cs{.lpCreateParams = param,
                   .hInstance = instance,
                   .hMenu = menu,
                   .hwndParent = parent,
                   .cy = height,
                   .cx = width,
                   .y = y,
                   .x = x,
                   .style = static_cast<LONG>(style),
                   .lpszName = windowName,
                   .lpszClass = className,
                   .dwExStyle = exStyle};
  if (CallProc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (!IsLocal(hwnd)) return nullptr;  // WM_CREATE destroyed it
  CallProc(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
  if ((style & WS_VISIBLE) && IsLocal(hwnd)) ShowWindow(hwnd, SW_SHOW);
  return IsLocal(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND hwnd) {
  Backend* be = ActiveBackend();
  bool wasActive;
  bool wasVisible;
  std::vector<HWND> owned;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Window* w = FindLocked(hwnd);
    if (!w || w->destroying) return FALSE;
    w->destroying = true;
    wasActive = core().active == hwnd;
    wasVisible = w->visible;
    for (auto& [handle, other] : core().windows) {
      if (other->owner == hwnd && !other->destroying) owned.push_back(other->hwnd);
    }
  }
  for (HWND o : owned) DestroyWindow(o);
  if (wasActive) {
    {
      std::lock_guard<std::mutex> lock(core().mu);
      if (core().active == hwnd) core().active = nullptr;
    }
    CallProc(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
  }
  if (wasVisible) be->ShowNative(hwnd, false);
  CallProc(hwnd, WM_DESTROY, 0, 0);
  CallProc(hwnd, WM_NCDESTROY, 0, 0);
  bool native;
  std::unique_ptr<Window> dead;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Core& c = core();
    KillTimersOfLocked(hwnd);
    DropDcsOfLocked(hwnd);
    auto drop = [hwnd](std::deque<QueuedMessage>& q) {
      for (auto it = q.begin(); it != q.end();) it = it->msg.hwnd == hwnd ? q.erase(it) : it + 1;
    };
    drop(c.posted);
    drop(c.input);
    for (size_t i = 0; i < c.stacking.size(); ++i) {
      if (c.stacking[i] == hwnd) {
        c.stacking.erase(c.stacking.begin() + static_cast<long>(i));
        break;
      }
    }
    if (c.active == hwnd) c.active = nullptr;
    auto it = c.windows.find(reinterpret_cast<uintptr_t>(hwnd));
    native = it->second->native;
    dead = std::move(it->second);
    c.windows.erase(it);
  }
  if (native) be->DestroyNative(hwnd);
  return TRUE;
}

LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      if (BeginPaint(hwnd, &ps)) EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = nullptr;
      {
        std::lock_guard<std::mutex> lock(core().mu);
        if (Window* w = FindLocked(hwnd)) brush = w->background;
      }
      return EraseWithBrush(hwnd, reinterpret_cast<HDC>(wParam), brush) ? 1 : 0;
    }
    case WM_SETTEXT:
      return SetWindowTextW(hwnd, reinterpret_cast<LPCWSTR>(lParam));
    case WM_GETTEXT:
      return GetWindowTextW(hwnd, reinterpret_cast<LPWSTR>(lParam), static_cast<int>(wParam));
    case WM_GETTEXTLENGTH: {
      std::lock_guard<std::mutex> lock(core().mu);
      Window* w = FindLocked(hwnd);
      return w ? static_cast<LRESULT>(w->title.size()) : 0;
    }
    default:
      return 0;
  }
}

BOOL IsWindow(HWND hwnd) {
  if (!hwnd) return FALSE;
  Backend* be = ActiveBackend();
  if (IsForeignHandle(hwnd)) return be->ForeignExists(hwnd) ? TRUE : FALSE;
  std::lock_guard<std::mutex> lock(core().mu);
  return FindLocked(hwnd) != nullptr;  // also while WM_DESTROY runs, as under Windows
}

BOOL IsWindowVisible(HWND hwnd) {
  std::lock_guard<std::mutex> lock(core().mu);
  Window* w = FindLocked(hwnd);
  return w && w->visible;
}

BOOL ShowWindow(HWND hwnd, int cmd) {
  Backend* be = ActiveBackend();
  if (IsForeignHandle(hwnd)) {
    bool was = be->ForeignExists(hwnd);
    be->ForeignShow(hwnd, cmd);
    return was;
  }
  const bool show = cmd != SW_HIDE && cmd != SW_MINIMIZE;
  const bool activate = show && cmd != SW_SHOWNOACTIVATE && cmd != SW_SHOWNA;
  bool wasVisible;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Window* w = FindLocked(hwnd);
    if (!w || w->destroying) return FALSE;
    wasVisible = w->visible;
  }
  if (show != wasVisible) {
    CallProc(hwnd, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    bool hideActive = false;
    {
      std::lock_guard<std::mutex> lock(core().mu);
      Window* w = FindLocked(hwnd);
      if (!w) return wasVisible;
      w->visible = show;
      if (show) {
        w->style |= WS_VISIBLE;
        RaiseLocked(hwnd);
        InvalidateAllLocked(w, true);
      } else {
        w->style &= ~static_cast<DWORD>(WS_VISIBLE);
        hideActive = core().active == hwnd;
      }
    }
    be->ShowNative(hwnd, show);
    if (hideActive) ActivateLocal(nullptr);
  }
  if (activate) SetForegroundWindow(hwnd);
  return wasVisible;
}

// Gives a window a new size: a new picture keeping what fits of the old one; the uncovered parts
// (and with CS_HREDRAW/CS_VREDRAW and repaint, everything) must be drawn again.
static void ResizeLocked(Window* w, int width, int height, bool repaintAll) {
  auto old = w->frame;
  auto f = MakeFrame(width, height);
  const int rows = std::min(old->height, f->height);
  const int cols = std::min(old->width, f->width);
  for (int y = 0; y < rows; ++y) {
    std::memcpy(&f->pixels[static_cast<size_t>(y) * f->width], &old->pixels[static_cast<size_t>(y) * old->width],
                static_cast<size_t>(cols) * sizeof(uint16_t));
  }
  w->frame = f;
  w->rect.right = w->rect.left + f->width;
  w->rect.bottom = w->rect.top + f->height;
  if (w->updatePending) {
    w->update.right = std::min<LONG>(w->update.right, f->width);
    w->update.bottom = std::min<LONG>(w->update.bottom, f->height);
    if (w->update.right <= w->update.left || w->update.bottom <= w->update.top) w->updatePending = false;
  }
  if (!w->visible) return;
  if (repaintAll) {
    InvalidateAllLocked(w, true);
    return;
  }
  AddUpdateLocked(w, RECT{old->width, 0, f->width, f->height}, true);
  AddUpdateLocked(w, RECT{0, old->height, f->width, f->height}, true);
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  Backend* be = ActiveBackend();
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  bool sized;
  RECT rect{x, y, x + width, y + height};
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Window* w = FindLocked(hwnd);
    if (!w) return FALSE;
    sized = w->frame->width != width || w->frame->height != height;
    w->rect = rect;
    if (sized) {
      ResizeLocked(w, width, height, repaint && (w->classStyle & (CS_HREDRAW | CS_VREDRAW)));
    }
  }
  be->MoveNative(hwnd, rect);
  if (sized) CallProc(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
  return TRUE;
}

// Copies a rectangle of a window out under the lock: the client area or the window's own.
static BOOL ReadWindowRect(HWND hwnd, LPRECT rect, bool client) {
  if (!rect) return FALSE;
  std::lock_guard<std::mutex> lock(core().mu);
  const Window* w = FindLocked(hwnd);
  if (!w) return FALSE;
  *rect = client ? RECT{0, 0, w->frame->width, w->frame->height} : w->rect;
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) { return ReadWindowRect(hwnd, rect, true); }
BOOL GetWindowRect(HWND hwnd, LPRECT rect) { return ReadWindowRect(hwnd, rect, false); }

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  Backend* be = ActiveBackend();
  std::u16string title = CopyText(text);
  {
    std::lock_guard<std::mutex> lock(core().mu);
    Window* w = FindLocked(hwnd);
    if (!w) return FALSE;
    w->title = title;
    if (!w->native) return TRUE;
  }
  be->SetNativeTitle(hwnd, title);
  return TRUE;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount) {
  if (!buffer || maxCount <= 0) return 0;
  std::lock_guard<std::mutex> lock(core().mu);
  Window* w = FindLocked(hwnd);
  if (!w) {
    buffer[0] = 0;
    return 0;
  }
  size_t n = std::min(w->title.size(), static_cast<size_t>(maxCount - 1));
  std::memcpy(buffer, w->title.data(), n * sizeof(char16_t));
  buffer[n] = 0;
  return static_cast<int>(n);
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
  std::lock_guard<std::mutex> lock(core().mu);
  Window* w = FindLocked(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWL_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_ID:
      return w->id;
    case GWL_STYLE:
      return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(w->exStyle);
    case GWL_USERDATA:
      return w->userData;
    default:
      break;
  }
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) return 0;
  LONG_PTR v;
  std::memcpy(&v, &w->extra[static_cast<size_t>(index)], sizeof v);
  return v;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  std::lock_guard<std::mutex> lock(core().mu);
  Window* w = FindLocked(hwnd);
  if (!w) return 0;
  LONG_PTR old = 0;
  switch (index) {
    case GWL_WNDPROC:
      if (!value) return 0;
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWL_ID:
      old = w->id;
      w->id = static_cast<LONG>(value);
      return old;
    case GWL_STYLE:
      old = static_cast<LONG_PTR>(w->style);
      w->style = static_cast<DWORD>(value);
      return old;
    case GWL_EXSTYLE:
      old = static_cast<LONG_PTR>(w->exStyle);
      w->exStyle = static_cast<DWORD>(value);
      return old;
    case GWL_USERDATA:
      old = w->userData;
      w->userData = value;
      return old;
    default:
      break;
  }
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) return 0;
  std::memcpy(&old, &w->extra[static_cast<size_t>(index)], sizeof old);
  std::memcpy(&w->extra[static_cast<size_t>(index)], &value, sizeof value);
  return old;
}

LONG GetWindowLongW(HWND hwnd, int index) {
  if (index == GWL_WNDPROC) return 0;  // a pointer does not fit: GetWindowLongPtrW
  return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
}

LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
  if (index == GWL_WNDPROC) return 0;
  return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  Backend* be = ActiveBackend();
  std::u16string atomClass;
  {
    std::lock_guard<std::mutex> lock(core().mu);
    if (className && IS_INTRESOURCE(className)) {
      ClassEntry* e = FindClassLocked(className);
      if (!e) return nullptr;
      atomClass = e->name;
      className = atomClass.c_str();
    }
    auto& s = core().stacking;
    for (size_t i = s.size(); i-- > 0;) {
      Window* w = FindLocked(s[i]);
      if (!w || w->destroying) continue;
      if (className && !NamesEqual(w->className, className)) continue;
      if (windowName && !NamesEqual(w->title, windowName)) continue;
      return w->hwnd;
    }
  }
  return be->FindForeign(className, windowName);
}
