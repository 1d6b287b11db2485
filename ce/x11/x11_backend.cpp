// The X11 backend: the device screen is an X display (Xvfb for tests, Xephyr on a desktop).
//
// Each top-level window is an X window whose WM_CLASS (name and class) is the window class and whose
// WM_NAME and _NET_WM_NAME (UTF-8) are the title, so any program finds any other's windows by asking
// the X server. Pictures go out with XPutImage; pointer button 1 is the stylus; the foreground is X's
// input focus plus stacking. Errors from requests on windows that may vanish at any moment (another
// program's) are trapped and turned into failures; they never end the process.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ce/device.h"
#include "ce/user/backend.h"
#include "ce/user/factories.h"
#include "ce/user/test_hooks.h"

namespace ce::user {

namespace {

// Xlib reports errors asynchronously through one process-wide handler; it only records which
// request the latest error answers. Serials only grow and errors arrive in request order.
unsigned long lastErrorSerial = 0;

int RecordXError(Display*, XErrorEvent* e) {
  lastErrorSerial = e->serial;
  return 0;
}

// Waits until the server has handled every request sent so far, so that their errors have been
// recorded. When the last request was one with a reply and nothing has been sent since, the wait
// has already happened (errors come back in order, before any later reply), and the round trip
// is left out.
void SyncIfPending(Display* dpy) {
  if (XNextRequest(dpy) - 1 != XLastKnownRequestProcessed(dpy)) XSync(dpy, False);
}

// Brackets requests that may fail on a window that went away: Failed() waits for the server's
// answers and says whether any of them was an error. Errors of requests sent before the trap
// are told apart by their serial rather than waited for when the trap begins.
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* dpy) : dpy_(dpy), first_(XNextRequest(dpy)) {}
  bool Failed() {
    SyncIfPending(dpy_);
    return lastErrorSerial >= first_;
  }

 private:
  Display* dpy_;
  unsigned long first_;  // the serial of the trap's first request
};

struct Channel {
  int shift = 0;
  int bits = 0;
};

Channel FromMask(unsigned long mask) {
  Channel c;
  if (!mask) return c;
  while (!(mask & 1)) {
    mask >>= 1;
    ++c.shift;
  }
  while (mask & 1) {
    mask >>= 1;
    ++c.bits;
  }
  return c;
}

constexpr bool kLittleEndianHost = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;  // the image is LSBFirst

unsigned long Place(unsigned v8, const Channel& c) {
  unsigned long v = c.bits >= 8 ? static_cast<unsigned long>(v8) << (c.bits - 8) : v8 >> (8 - c.bits);
  return v << c.shift;
}

UINT VirtualKey(KeySym ks) {
  if (ks >= XK_a && ks <= XK_z) return static_cast<UINT>('A' + (ks - XK_a));
  if (ks >= XK_A && ks <= XK_Z) return static_cast<UINT>(ks);
  if (ks >= XK_0 && ks <= XK_9) return static_cast<UINT>(ks);
  switch (ks) {
    case XK_Return:
    case XK_KP_Enter:
      return VK_RETURN;
    case XK_Escape:
      return VK_ESCAPE;
    case XK_BackSpace:
      return VK_BACK;
    case XK_Tab:
      return VK_TAB;
    case XK_space:
      return VK_SPACE;
    case XK_Left:
      return VK_LEFT;
    case XK_Up:
      return VK_UP;
    case XK_Right:
      return VK_RIGHT;
    case XK_Down:
      return VK_DOWN;
    case XK_Delete:
      return VK_DELETE;
    case XK_Shift_L:
    case XK_Shift_R:
      return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R:
      return VK_CONTROL;
    default:
      return 0;
  }
}

class X11Backend final : public Backend, public BackendTestHooks {
 public:
  ~X11Backend() override = default;  // the connection lives as long as the process

  bool Open() override {
    dpy_ = XOpenDisplay(nullptr);
    if (!dpy_) return false;
    XSetErrorHandler(RecordXError);
    fcntl(ConnectionNumber(dpy_), F_SETFD, FD_CLOEXEC);  // programs we start get no copy of it
    screen_ = DefaultScreen(dpy_);
    root_ = RootWindow(dpy_, screen_);
    visual_ = DefaultVisual(dpy_, screen_);
    depth_ = DefaultDepth(dpy_, screen_);
    red_ = FromMask(visual_->red_mask);
    green_ = FromMask(visual_->green_mask);
    blue_ = FromMask(visual_->blue_mask);
    const char* names[] = {"WM_PROTOCOLS", "WM_DELETE_WINDOW", "_NET_WM_NAME",    "UTF8_STRING",
                           "_CE_POST",     "_NET_WM_PID",      "_CE_DIALOG_TEXT", "_CE_DIALOG_BUTTONS"};
    Atom atoms[8];
    XInternAtoms(dpy_, const_cast<char**>(names), 8, False, atoms);
    wmProtocols_ = atoms[0];
    wmDelete_ = atoms[1];
    netWmName_ = atoms[2];
    utf8_ = atoms[3];
    cePost_ = atoms[4];
    netWmPid_ = atoms[5];
    dialogText_ = atoms[6];
    dialogButtons_ = atoms[7];
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return wakeFd_ >= 0;
  }

  bool CreateNative(HWND hwnd, const std::u16string& className, const std::u16string& title,
                    const RECT& rect) override {
    XSetWindowAttributes a{};
    a.background_pixel = BlackPixel(dpy_, screen_);
    a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                   KeyReleaseMask | FocusChangeMask;
    const unsigned w = static_cast<unsigned>(rect.right - rect.left > 0 ? rect.right - rect.left : 1);
    const unsigned h = static_cast<unsigned>(rect.bottom - rect.top > 0 ? rect.bottom - rect.top : 1);
    ::Window xid = XCreateWindow(dpy_, root_, rect.left, rect.top, w, h, 0, CopyFromParent, InputOutput, CopyFromParent,
                                 CWBackPixel | CWEventMask, &a);
    if (!xid) return false;

    std::string cls = ce::ToUtf8(className);
    XClassHint hint;
    hint.res_name = cls.data();
    hint.res_class = cls.data();
    XSetClassHint(dpy_, xid, &hint);
    XWMHints wmHints{};
    wmHints.flags = InputHint | StateHint;
    wmHints.input = True;
    wmHints.initial_state = NormalState;
    XSetWMHints(dpy_, xid, &wmHints);
    XSizeHints size{};
    size.flags = USPosition | USSize;
    size.x = rect.left;
    size.y = rect.top;
    size.width = static_cast<int>(w);
    size.height = static_cast<int>(h);
    XSetWMNormalHints(dpy_, xid, &size);
    XSetWMProtocols(dpy_, xid, &wmDelete_, 1);
    long pid = getpid();
    XChangeProperty(dpy_, xid, netWmPid_, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
    SetTitle(xid, title);
    if (cursorShape_ != CursorKind::Hidden) XDefineCursor(dpy_, xid, CursorFor(cursorShape_));
    natives_[hwnd] = Native{xid, {}};
    byXid_[xid] = hwnd;
    XFlush(dpy_);
    return true;
  }

  void DestroyNative(HWND hwnd) override {
    auto it = natives_.find(hwnd);
    if (it == natives_.end()) return;
    byXid_.erase(it->second.xid);
    XDestroyWindow(dpy_, it->second.xid);
    natives_.erase(it);
    XSync(dpy_, False);  // gone for every other program once DestroyWindow returns
  }

  void ShowNative(HWND hwnd, bool show) override {
    ::Window xid = XidOf(hwnd);
    if (!xid) return;
    if (show) {
      XMapRaised(dpy_, xid);
    } else {
      XUnmapWindow(dpy_, xid);
    }
    // Waiting for the server here puts the first Expose in the queue before the first WM_PAINT is
    // looked for, so a new window paints once.
    XSync(dpy_, False);
  }

  void MoveNative(HWND hwnd, const RECT& rect) override {
    ::Window xid = XidOf(hwnd);
    if (!xid) return;
    const unsigned w = static_cast<unsigned>(rect.right - rect.left > 0 ? rect.right - rect.left : 1);
    const unsigned h = static_cast<unsigned>(rect.bottom - rect.top > 0 ? rect.bottom - rect.top : 1);
    XMoveResizeWindow(dpy_, xid, rect.left, rect.top, w, h);
    XFlush(dpy_);
  }

  void SetNativeTitle(HWND hwnd, const std::u16string& title) override {
    ::Window xid = XidOf(hwnd);
    if (!xid) return;
    SetTitle(xid, title);
    XFlush(dpy_);
  }

  void Present(HWND hwnd, const uint16_t* pixels, int width, int height) override {
    auto it = natives_.find(hwnd);
    if (it == natives_.end() || width <= 0 || height <= 0) return;
    XImage* img = XCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
    if (!img) return;
    img->byte_order = LSBFirst;
    std::vector<char>& buf = it->second.image;
    buf.assign(static_cast<size_t>(img->bytes_per_line) * height, 0);
    img->data = buf.data();
    const int bytes = img->bits_per_pixel / 8;
    // A 565 screen takes the surface's pixels as they are: the widening below would give them back.
    const bool same565 = bytes == 2 && red_.shift == 11 && red_.bits == 5 && green_.shift == 5 && green_.bits == 6 &&
                         blue_.shift == 0 && blue_.bits == 5 && kLittleEndianHost;
    for (int y = 0; same565 && y < height; ++y)
      std::memcpy(buf.data() + static_cast<size_t>(y) * img->bytes_per_line, pixels + static_cast<size_t>(y) * width,
                  static_cast<size_t>(width) * 2);
    for (int y = 0; !same565 && y < height; ++y) {
      const uint16_t* src = pixels + static_cast<size_t>(y) * width;
      unsigned char* dst = reinterpret_cast<unsigned char*>(buf.data()) + static_cast<size_t>(y) * img->bytes_per_line;
      for (int x = 0; x < width; ++x) {
        const unsigned p = src[x];
        const unsigned r5 = p >> 11, g6 = (p >> 5) & 0x3F, b5 = p & 0x1F;
        const unsigned r8 = (r5 << 3) | (r5 >> 2), g8 = (g6 << 2) | (g6 >> 4), b8 = (b5 << 3) | (b5 >> 2);
        const unsigned long v = Place(r8, red_) | Place(g8, green_) | Place(b8, blue_);
        for (int k = 0; k < bytes; ++k) dst[x * bytes + k] = static_cast<unsigned char>(v >> (8 * k));
      }
    }
    XPutImage(dpy_, it->second.xid, DefaultGC(dpy_, screen_), img, 0, 0, 0, 0, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    img->data = nullptr;  // the buffer is ours
    XDestroyImage(img);
    XFlush(dpy_);
  }

  void PumpEvents() override {
    while (XPending(dpy_)) {
      XEvent ev;
      XNextEvent(dpy_, &ev);
      Handle(ev);
    }
  }

  void WaitEvents(int timeoutMs) override {
    if (XPending(dpy_)) return;
    pollfd fds[2] = {{ConnectionNumber(dpy_), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    poll(fds, 2, timeoutMs);
    if (fds[1].revents & POLLIN) {
      uint64_t n;
      while (read(wakeFd_, &n, sizeof n) == static_cast<ssize_t>(sizeof n)) {
      }
    }
  }

  void Wake() override {
    uint64_t one = 1;
    ssize_t ignored = write(wakeFd_, &one, sizeof one);
    (void)ignored;  // a full counter still wakes the poll
  }

  bool SetForeground(HWND hwnd) override {
    ::Window client = IsForeignHandle(hwnd) ? ForeignNativeId(hwnd) : XidOf(hwnd);
    if (!client) return false;
    ErrorTrap trap(dpy_);
    XRaiseWindow(dpy_, TopLevelOf(client));  // the frame, when a window manager reparented it
    XSetInputFocus(dpy_, client, RevertToParent, CurrentTime);
    return !trap.Failed();
  }

  HWND GetForeground() override {
    ::Window focus = 0;
    int revert;
    XGetInputFocus(dpy_, &focus, &revert);
    if (focus == None || focus == PointerRoot || focus == root_) return nullptr;
    ErrorTrap trap(dpy_);
    ::Window client = ClientOf(focus);
    if (trap.Failed() || !client) return nullptr;
    return HandleOf(client);
  }

  HWND FindForeign(const char16_t* className, const char16_t* title) override {
    ErrorTrap trap(dpy_);
    std::vector<::Window> tops = Children(root_);
    HWND found = nullptr;
    for (size_t i = tops.size(); i-- > 0 && !found;) {  // topmost first
      if (byXid_.count(tops[i])) continue;
      // One look at WM_CLASS says both whether this is the client and what its class is.
      std::u16string name, cls;
      ::Window client = tops[i];
      bool classKnown = ClassOf(client, &name, &cls);
      if (!classKnown) {
        client = ClientBelow(tops[i]);
        if (!client || byXid_.count(client)) continue;
        classKnown = className && ClassOf(client, &name, &cls);
      }
      if (className && (!classKnown || !(NamesEqual(cls, className) || NamesEqual(name, className)))) continue;
      if (title && !NamesEqual(TitleOf(client), title)) continue;
      found = MakeForeignHandle(static_cast<uint32_t>(client));
    }
    trap.Failed();  // windows that vanished during the walk simply do not match
    return found;
  }

  bool ForeignExists(HWND hwnd) override {
    ErrorTrap trap(dpy_);
    XWindowAttributes attrs;
    Status ok = XGetWindowAttributes(dpy_, ForeignNativeId(hwnd), &attrs);
    return !trap.Failed() && ok;
  }

  bool ForeignShow(HWND hwnd, int cmd) override {
    ::Window xid = ForeignNativeId(hwnd);
    ErrorTrap trap(dpy_);
    if (cmd == SW_HIDE || cmd == SW_MINIMIZE) {
      XUnmapWindow(dpy_, xid);
    } else {
      XMapRaised(dpy_, xid);
    }
    if (trap.Failed()) return false;
    if (cmd != SW_HIDE && cmd != SW_MINIMIZE && cmd != SW_SHOWNOACTIVATE && cmd != SW_SHOWNA) {
      SetForeground(hwnd);
    }
    return true;
  }

  bool ForeignPost(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = ForeignNativeId(hwnd);
    ev.xclient.format = 32;
    if (msg == WM_CLOSE) {  // the close request every X program understands
      ev.xclient.message_type = wmProtocols_;
      ev.xclient.data.l[0] = static_cast<long>(wmDelete_);
      ev.xclient.data.l[1] = CurrentTime;
    } else {  // 32 bits of each parameter travel
      ev.xclient.message_type = cePost_;
      ev.xclient.data.l[0] = static_cast<long>(msg);
      ev.xclient.data.l[1] = static_cast<long>(static_cast<uint32_t>(wParam));
      ev.xclient.data.l[2] = static_cast<long>(static_cast<uint32_t>(lParam));
    }
    ErrorTrap trap(dpy_);
    Status sent = XSendEvent(dpy_, ev.xclient.window, False, NoEventMask, &ev);
    return !trap.Failed() && sent;
  }

  void SetCursorShape(CursorKind shape) override {
    cursorShape_ = shape;
    for (auto& [hwnd, n] : natives_) {
      if (shape != CursorKind::Hidden) {
        XDefineCursor(dpy_, n.xid, CursorFor(shape));
      } else {
        XUndefineCursor(dpy_, n.xid);
      }
    }
    XFlush(dpy_);
  }

  bool AnswerMessageBox(HWND, const char16_t*, const char16_t*, UINT, int*) override { return false; }

  void DescribeDialog(HWND box, const std::u16string& text, const std::vector<DialogButton>& buttons) override {
    ::Window xid = XidOf(box);
    if (!xid) return;
    std::string utf8 = ce::ToUtf8(text);
    XChangeProperty(dpy_, xid, dialogText_, utf8_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    std::vector<long> v;
    for (const auto& b : buttons) {
      v.insert(v.end(), {static_cast<long>(b.id), static_cast<long>(b.rect.left), static_cast<long>(b.rect.top),
                         static_cast<long>(b.rect.right), static_cast<long>(b.rect.bottom)});
    }
    XChangeProperty(dpy_, xid, dialogButtons_, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(v.data()), static_cast<int>(v.size()));
    XFlush(dpy_);
  }

  void Reset() override {}

 private:
  struct Native {
    ::Window xid;
    std::vector<char> image;  // pixels of the last XImage, reused
  };

  ::Window XidOf(HWND hwnd) const {
    auto it = natives_.find(hwnd);
    return it == natives_.end() ? 0 : it->second.xid;
  }

  HWND HandleOf(::Window client) const {
    auto it = byXid_.find(client);
    return it != byXid_.end() ? it->second : MakeForeignHandle(static_cast<uint32_t>(client));
  }

  Cursor CursorFor(CursorKind shape) {
    const bool wait = shape == CursorKind::Wait;
    Cursor& c = wait ? waitCursor_ : arrowCursor_;
    if (!c) c = XCreateFontCursor(dpy_, wait ? XC_watch : XC_left_ptr);
    return c;
  }

  void SetTitle(::Window xid, const std::u16string& title) {
    std::string utf8 = ce::ToUtf8(title);
    XChangeProperty(dpy_, xid, netWmName_, utf8_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    // WM_NAME is Latin-1 (STRING) when the title fits, else the locale-neutral compound text.
    std::string latin1;
    bool fits = true;
    for (char16_t c : title) {
      if (c > 0xFF) fits = false;
      latin1 += static_cast<char>(c);
    }
    if (fits) {
      XChangeProperty(dpy_, xid, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(latin1.data()), static_cast<int>(latin1.size()));
      return;
    }
    char* list[] = {utf8.data()};
    XTextProperty prop;
    if (Xutf8TextListToTextProperty(dpy_, list, 1, XCompoundTextStyle, &prop) >= Success) {
      XSetWMName(dpy_, xid, &prop);
      XFree(prop.value);
    }
  }

  std::vector<::Window> Children(::Window w) {
    ::Window rootRet, parent, *kids = nullptr;
    unsigned n = 0;
    std::vector<::Window> out;
    if (XQueryTree(dpy_, w, &rootRet, &parent, &kids, &n) && kids) {
      out.assign(kids, kids + n);
      XFree(kids);
    }
    return out;
  }

  ::Window Parent(::Window w) {
    ::Window rootRet = 0, parent = 0, *kids = nullptr;
    unsigned n = 0;
    if (!XQueryTree(dpy_, w, &rootRet, &parent, &kids, &n)) return 0;
    if (kids) XFree(kids);
    return parent;
  }

  bool HasClass(::Window w) {
    XClassHint hint{};
    if (!XGetClassHint(dpy_, w, &hint)) return false;
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return true;
  }

  bool ClassOf(::Window w, std::u16string* name, std::u16string* cls) {
    XClassHint hint{};
    if (!XGetClassHint(dpy_, w, &hint)) return false;
    *name = hint.res_name ? ce::FromUtf8(hint.res_name) : u"";
    *cls = hint.res_class ? ce::FromUtf8(hint.res_class) : u"";
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return true;
  }

  std::u16string TitleOf(::Window w) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, w, netWmName_, 0, 4096, False, utf8_, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
      std::u16string title = type == utf8_ ? ce::FromUtf8(std::string(reinterpret_cast<char*>(data), count)) : u"";
      XFree(data);
      if (type == utf8_) return title;
    }
    XTextProperty prop{};
    if (!XGetWMName(dpy_, w, &prop) || !prop.value) return u"";
    // Xlib decodes every encoding a title may come in (Latin-1 STRING, COMPOUND_TEXT, UTF-8).
    std::string utf8;
    char** list = nullptr;
    int n = 0;
    if (Xutf8TextPropertyToTextList(dpy_, &prop, &list, &n) >= Success && list) {
      if (n > 0 && list[0]) utf8 = list[0];
      XFreeStringList(list);
    }
    XFree(prop.value);
    return ce::FromUtf8(utf8);
  }

  // The first child carrying WM_CLASS: the client inside a window manager's frame.
  ::Window ClientBelow(::Window frame) {
    for (::Window kid : Children(frame)) {
      if (HasClass(kid)) return kid;
    }
    return 0;
  }

  // The top-level window (child of the root) that holds w.
  ::Window TopLevelOf(::Window w) {
    for (int depth = 0; depth < 64; ++depth) {
      ::Window parent = Parent(w);
      if (!parent || parent == root_) return w;
      w = parent;
    }
    return w;
  }

  // The program window that holds the focus window w: w itself or an ancestor with WM_CLASS, or
  // the client inside the frame that holds it.
  ::Window ClientOf(::Window w) {
    for (::Window cur = w; cur && cur != root_; cur = Parent(cur)) {
      if (byXid_.count(cur) || HasClass(cur)) return cur;
    }
    return ClientBelow(TopLevelOf(w));
  }

  void Handle(XEvent& ev) {
    if (ev.type == MappingNotify) {
      XRefreshKeyboardMapping(&ev.xmapping);
      return;
    }
    auto it = byXid_.find(ev.xany.window);
    if (it == byXid_.end()) return;
    HWND hwnd = it->second;
    switch (ev.type) {
      case Expose:
        NativeExposed(
            hwnd, RECT{ev.xexpose.x, ev.xexpose.y, ev.xexpose.x + ev.xexpose.width, ev.xexpose.y + ev.xexpose.height});
        break;
      case ButtonPress:
        if (ev.xbutton.button == Button1) {
          QueueInput(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(ev.xbutton.x, ev.xbutton.y));
        }
        break;
      case ButtonRelease:
        if (ev.xbutton.button == Button1) QueueInput(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(ev.xbutton.x, ev.xbutton.y));
        break;
      case MotionNotify:
        // As on Win32, a pointer moving over the window without the button down is a move too;
        // MK_LBUTTON tells a drag from a hover.
        QueueInput(hwnd, WM_MOUSEMOVE, (ev.xmotion.state & Button1Mask) ? MK_LBUTTON : 0,
                   MAKELPARAM(ev.xmotion.x, ev.xmotion.y));
        break;
      case KeyPress:
      case KeyRelease: {
        char buf[8] = {};
        KeySym ks = NoSymbol;
        int n = XLookupString(&ev.xkey, buf, sizeof buf - 1, &ks, nullptr);
        UINT vk = VirtualKey(ks);
        if (!vk) break;
        if (ev.type == KeyPress) {
          char16_t ch = n == 1 ? static_cast<char16_t>(static_cast<unsigned char>(buf[0])) : 0;
          QueueInput(hwnd, WM_KEYDOWN, vk, 1, ch);
        } else {
          QueueInput(hwnd, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
        }
        break;
      }
      case FocusIn:
      case FocusOut:
        // Focus moving inside the window, or only for the length of a grab, is no activation change.
        if (ev.xfocus.mode == NotifyGrab || ev.xfocus.mode == NotifyUngrab) break;
        if (ev.xfocus.detail == NotifyInferior || ev.xfocus.detail == NotifyPointer) break;
        NativeFocus(hwnd, ev.type == FocusIn);
        break;
      case ClientMessage:
        if (ev.xclient.message_type == wmProtocols_ && static_cast<Atom>(ev.xclient.data.l[0]) == wmDelete_) {
          QueuePosted(hwnd, WM_CLOSE, 0, 0);
        } else if (ev.xclient.message_type == cePost_) {
          QueuePosted(hwnd, static_cast<UINT>(ev.xclient.data.l[0]),
                      static_cast<WPARAM>(static_cast<uint32_t>(ev.xclient.data.l[1])),
                      static_cast<LPARAM>(static_cast<int32_t>(ev.xclient.data.l[2])));
        }
        break;
      default:
        break;
    }
  }

  Display* dpy_ = nullptr;
  int screen_ = 0;
  ::Window root_ = 0;
  Visual* visual_ = nullptr;
  int depth_ = 0;
  Channel red_, green_, blue_;
  Atom wmProtocols_ = 0, wmDelete_ = 0, netWmName_ = 0, utf8_ = 0, cePost_ = 0, netWmPid_ = 0;
  Atom dialogText_ = 0, dialogButtons_ = 0;
  int wakeFd_ = -1;
  CursorKind cursorShape_ = CursorKind::Hidden;
  Cursor arrowCursor_ = 0, waitCursor_ = 0;
  std::map<HWND, Native> natives_;
  std::map<::Window, HWND> byXid_;
};

}  // namespace

std::unique_ptr<Backend> MakeX11Backend() { return std::make_unique<X11Backend>(); }

}  // namespace ce::user
