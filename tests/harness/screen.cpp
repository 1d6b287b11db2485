// The device screen seen from outside: windows through Xlib, input through XTest, screenshots.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <png.h>

#include <cstdio>
#include <cstring>

#include "tests/harness/harness.h"

namespace harness {

namespace {

Display* D(void* p) { return static_cast<Display*>(p); }

// Errors on windows that vanish while we look at them are expected: they only make the query fail.
int trappedError = 0;
int RecordError(Display*, XErrorEvent* e) {
  trappedError = e->error_code;
  return 0;
}

// Installs the recording handler for the length of a query and puts the previous one back, so a
// test that also runs the programs' X11 code in-process keeps its own handler.
class Trap {
 public:
  explicit Trap(Display* dpy) : dpy_(dpy) {
    XSync(dpy_, False);
    trappedError = 0;
    previous_ = XSetErrorHandler(RecordError);
  }
  ~Trap() {
    XSync(dpy_, False);
    XSetErrorHandler(previous_);
  }
  bool Failed() {
    XSync(dpy_, False);
    return trappedError != 0;
  }

 private:
  Display* dpy_;
  int (*previous_)(Display*, XErrorEvent*);
};

std::string Utf8Property(Display* dpy, Window w, const char* name) {
  Atom prop = XInternAtom(dpy, name, False);
  Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::string out;
  if (XGetWindowProperty(dpy, w, prop, 0, 65536, False, utf8, &type, &format, &count, &after, &data) == Success &&
      data) {
    if (type == utf8 && format == 8) out.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  return out;
}

std::vector<long> CardinalProperty(Display* dpy, Window w, const char* name) {
  Atom prop = XInternAtom(dpy, name, False);
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::vector<long> out;
  if (XGetWindowProperty(dpy, w, prop, 0, 4096, False, XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
      data) {
    if (format == 32) out.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
    XFree(data);
  }
  return out;
}

std::vector<Window> Children(Display* dpy, Window w) {
  Window root, parent, *kids = nullptr;
  unsigned n = 0;
  std::vector<Window> out;
  if (XQueryTree(dpy, w, &root, &parent, &kids, &n) && kids) {
    out.assign(kids, kids + n);
    XFree(kids);
  }
  return out;
}

bool HasClass(Display* dpy, Window w) {
  XClassHint hint{};
  if (!XGetClassHint(dpy, w, &hint)) return false;
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return true;
}

// 8-bit value of a channel taken from a pixel by its mask, widened by bit replication.
unsigned Widen(unsigned long pixel, unsigned long mask) {
  if (!mask) return 0;
  int shift = 0, bits = 0;
  while (!((mask >> shift) & 1)) ++shift;
  while ((mask >> (shift + bits)) & 1) ++bits;
  const unsigned v = static_cast<unsigned>((pixel & mask) >> shift);
  if (bits >= 8) return v >> (bits - 8);
  // Repeat the channel's bits downwards: 5 bits give v << 3 | v >> 2, 6 bits v << 2 | v >> 4.
  const unsigned top = v << (8 - bits);
  unsigned out = top;
  for (int filled = bits; filled < 8; filled += bits) out |= top >> filled;
  return out & 0xFF;
}

}  // namespace

// ---- Image ----

uint32_t Image::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFFu;
  const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
  return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
}

bool Image::SavePng(const std::string& hostPath) const {
  if (width <= 0 || height <= 0) return false;
  FILE* f = std::fopen(hostPath.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
      png_write_row(png, const_cast<png_bytep>(&rgb[static_cast<size_t>(y) * width * 3]));
    }
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) std::remove(hostPath.c_str());
  return ok;
}

const MessageBox::Button* MessageBox::Find(int id) const {
  for (const auto& b : buttons) {
    if (b.id == id) return &b;
  }
  return nullptr;
}

// ---- Screen ----

Screen::~Screen() {
  if (dpy_) XCloseDisplay(D(dpy_));
}

bool Screen::Connect(const std::string& display) {
  display_ = display;
  dpy_ = XOpenDisplay(display.c_str());
  if (!dpy_) return false;
  int event, error, major, minor;
  if (!XTestQueryExtension(D(dpy_), &event, &error, &major, &minor)) {
    std::fprintf(stderr, "harness: the X server has no XTest\n");
    return false;
  }
  return true;
}

bool Screen::ReadWindow(unsigned long id, XWin* out) {
  Display* dpy = D(dpy_);
  XWin w;
  w.id = id;
  XClassHint hint{};
  if (!XGetClassHint(dpy, id, &hint)) return false;
  w.instance = hint.res_name ? hint.res_name : "";
  w.cls = hint.res_class ? hint.res_class : "";
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  w.title = Utf8Property(dpy, id, "_NET_WM_NAME");
  if (w.title.empty()) {
    char* name = nullptr;
    if (XFetchName(dpy, id, &name) && name) {
      w.title = name;
      XFree(name);
    }
  }
  XWindowAttributes attrs;
  if (!XGetWindowAttributes(dpy, id, &attrs)) return false;
  w.viewable = attrs.map_state == IsViewable;
  w.width = attrs.width;
  w.height = attrs.height;
  Window child;
  XTranslateCoordinates(dpy, id, DefaultRootWindow(dpy), 0, 0, &w.x, &w.y, &child);
  std::vector<long> pid = CardinalProperty(dpy, id, "_NET_WM_PID");
  w.pid = pid.empty() ? 0 : pid[0];
  *out = w;
  return true;
}

std::vector<XWin> Screen::Windows() {
  Display* dpy = D(dpy_);
  Trap trap(dpy);
  std::vector<XWin> out;
  for (Window top : Children(dpy, DefaultRootWindow(dpy))) {
    Window client = 0;
    if (HasClass(dpy, top)) {
      client = top;
    } else {
      for (Window kid : Children(dpy, top)) {  // inside a window manager's frame
        if (HasClass(dpy, kid)) {
          client = kid;
          break;
        }
      }
    }
    XWin w;
    if (client && ReadWindow(client, &w)) out.push_back(w);
  }
  return out;
}

bool Screen::Find(const std::string& cls, const std::string& title, XWin* out) {
  std::vector<XWin> all = Windows();
  for (size_t i = all.size(); i-- > 0;) {  // topmost first
    const XWin& w = all[i];
    if (!w.viewable) continue;
    if (!cls.empty() && w.cls != cls && w.instance != cls) continue;
    if (!title.empty() && w.title != title) continue;
    if (out) *out = w;
    return true;
  }
  return false;
}

bool Screen::WaitForWindow(const std::string& cls, const std::string& title, int timeoutMs, XWin* out) {
  if (WaitFor([&] { return Find(cls, title, out); }, timeoutMs)) return true;
  std::fprintf(stderr, "harness: no window of class \"%s\" titled \"%s\" within %d ms\n", cls.c_str(), title.c_str(),
               timeoutMs);
  return false;
}

bool Screen::WaitForNoWindow(const std::string& cls, const std::string& title, int timeoutMs) {
  return WaitFor([&] { return !Find(cls, title, nullptr); }, timeoutMs);
}

unsigned long Screen::Focus() {
  Display* dpy = D(dpy_);
  Window focus;
  int revert;
  XGetInputFocus(dpy, &focus, &revert);
  if (focus == None || focus == PointerRoot) return 0;
  Trap trap(dpy);
  // The focus may sit on a frame or a child: report the program window.
  for (Window cur = focus; cur && cur != DefaultRootWindow(dpy);) {
    if (HasClass(dpy, cur)) return cur;
    Window root, parent, *kids = nullptr;
    unsigned n;
    if (!XQueryTree(dpy, cur, &root, &parent, &kids, &n)) break;
    if (kids) XFree(kids);
    cur = parent;
  }
  for (Window kid : Children(dpy, focus)) {
    if (HasClass(dpy, kid)) return kid;
  }
  return 0;
}

bool Screen::Press(int x, int y) {
  Display* dpy = D(dpy_);
  XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime);
  XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
  XSync(dpy, False);
  return true;
}

bool Screen::MoveTo(int x, int y) {
  Display* dpy = D(dpy_);
  XTestFakeMotionEvent(dpy, -1, x, y, CurrentTime);
  XSync(dpy, False);
  return true;
}

bool Screen::Release() {
  Display* dpy = D(dpy_);
  XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
  XSync(dpy, False);
  return true;
}

bool Screen::Tap(int x, int y) { return Press(x, y) && Release(); }

bool Screen::Drag(int x0, int y0, int x1, int y1, int steps) {
  if (steps < 1) steps = 1;
  Press(x0, y0);
  for (int i = 1; i <= steps; ++i) MoveTo(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
  return Release();
}

bool Screen::Key(const std::string& keysymName) {
  Display* dpy = D(dpy_);
  KeySym ks = XStringToKeysym(keysymName.c_str());
  if (ks == NoSymbol) {
    std::fprintf(stderr, "harness: no key named \"%s\"\n", keysymName.c_str());
    return false;
  }
  KeyCode code = XKeysymToKeycode(dpy, ks);
  if (!code) return false;
  XTestFakeKeyEvent(dpy, code, True, CurrentTime);
  XTestFakeKeyEvent(dpy, code, False, CurrentTime);
  XSync(dpy, False);
  return true;
}

bool Screen::WaitForMessageBox(int timeoutMs, MessageBox* out) {
  Display* dpy = D(dpy_);
  auto look = [&] {
    XWin w;
    if (!Find("Dialog", "", &w)) return false;
    Trap trap(dpy);
    std::vector<long> b = CardinalProperty(dpy, w.id, "_CE_DIALOG_BUTTONS");
    if (b.empty() || b.size() % 5) return false;  // not described yet
    MessageBox box;
    box.window = w;
    box.caption = w.title;
    box.text = Utf8Property(dpy, w.id, "_CE_DIALOG_TEXT");
    for (size_t i = 0; i + 4 < b.size(); i += 5) {
      box.buttons.push_back(MessageBox::Button{static_cast<int>(b[i]), w.x + static_cast<int>(b[i + 1]),
                                               w.y + static_cast<int>(b[i + 2]), static_cast<int>(b[i + 3] - b[i + 1]),
                                               static_cast<int>(b[i + 4] - b[i + 2])});
    }
    *out = box;
    return true;
  };
  if (WaitFor(look, timeoutMs)) return true;
  std::fprintf(stderr, "harness: no message box within %d ms\n", timeoutMs);
  return false;
}

bool Screen::TapButton(const MessageBox& box, int id) {
  const MessageBox::Button* b = box.Find(id);
  if (!b) {
    std::fprintf(stderr, "harness: the box \"%s\" has no button %d\n", box.caption.c_str(), id);
    return false;
  }
  return Tap(b->x + b->width / 2, b->y + b->height / 2);
}

bool Screen::AnswerMessageBox(int id, bool byKey, int timeoutMs) {
  MessageBox box;
  if (!WaitForMessageBox(timeoutMs, &box)) return false;
  if (!byKey) return TapButton(box, id);
  const char* key = id == 6 ? "y" : id == 7 ? "n" : id == 1 ? "Return" : id == 2 ? "Escape" : nullptr;
  if (!key || !box.Find(id)) return false;
  if (!WaitFor([&] { return Focus() == box.window.id; }, 1000)) {
    Display* dpy = D(dpy_);
    Trap trap(dpy);
    XSetInputFocus(dpy, box.window.id, RevertToParent, CurrentTime);
    if (trap.Failed()) return false;
  }
  return Key(key);
}

bool Screen::Capture(Image* out) {
  Display* dpy = D(dpy_);
  const int screen = DefaultScreen(dpy);
  const int w = DisplayWidth(dpy, screen);
  const int h = DisplayHeight(dpy, screen);
  XImage* img = XGetImage(dpy, RootWindow(dpy, screen), 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h),
                          AllPlanes, ZPixmap);
  if (!img) return false;
  Visual* v = DefaultVisual(dpy, screen);
  out->width = w;
  out->height = h;
  out->rgb.assign(static_cast<size_t>(w) * h * 3, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const unsigned long p = XGetPixel(img, x, y);
      uint8_t* d = &out->rgb[(static_cast<size_t>(y) * w + x) * 3];
      d[0] = static_cast<uint8_t>(Widen(p, v->red_mask));
      d[1] = static_cast<uint8_t>(Widen(p, v->green_mask));
      d[2] = static_cast<uint8_t>(Widen(p, v->blue_mask));
    }
  }
  XDestroyImage(img);
  return true;
}

bool Screen::CapturePng(const std::string& hostPath) {
  Image img;
  return Capture(&img) && img.SavePng(hostPath);
}

}  // namespace harness
