// The least a program can do to put its first frame on the device screen, as the yardstick for
// Trapmarker's start: open the display, map a window of the screen's size, wait until it is
// visible, put one 16-bit (RGB565) frame with XPutImage and flush. It then stays until killed.
// The frame shows Trapmarker's first-page blues where app_bench looks for them: the top half
// 0x639ACE, the bottom half 0x31659C.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr uint16_t kTop = (0x63 >> 3) << 11 | (0x9A >> 2) << 5 | (0xCE >> 3);
constexpr uint16_t kBottom = (0x31 >> 3) << 11 | (0x65 >> 2) << 5 | (0x9C >> 3);

// 565 widened to 888 by bit replication, placed by the visual's masks (a depth-24 screen).
uint32_t Widen(uint16_t c, const Visual* v) {
  uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
  r = (r << 3) | (r >> 2);
  g = (g << 2) | (g >> 4);
  b = (b << 3) | (b >> 2);
  auto place = [](uint32_t value, unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) mask >>= 1, ++shift;
    return value << shift;
  };
  return place(r, v->red_mask) | place(g, v->green_mask) | place(b, v->blue_mask);
}

}  // namespace

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "bare_frame: no display\n");
    return 1;
  }
  const int screen = DefaultScreen(display);
  const int width = DisplayWidth(display, screen), height = DisplayHeight(display, screen);
  Visual* visual = DefaultVisual(display, screen);
  const int depth = DefaultDepth(display, screen);
  XSetWindowAttributes attributes = {};
  attributes.override_redirect = False;
  attributes.event_mask = ExposureMask;
  Window window = XCreateWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                                static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                CWEventMask, &attributes);
  XMapWindow(display, window);
  XEvent event;
  do XNextEvent(display, &event);
  while (event.type != Expose);

  std::vector<uint16_t> frame(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      frame[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
          y < height / 2 ? kTop : kBottom;
  XImage* image = nullptr;
  std::vector<uint32_t> wide;
  if (depth == 16) {
    image = XCreateImage(display, visual, 16, ZPixmap, 0, reinterpret_cast<char*>(frame.data()),
                         static_cast<unsigned>(width), static_cast<unsigned>(height), 16, 0);
  } else {
    wide.resize(frame.size());
    for (size_t i = 0; i < frame.size(); ++i) wide[i] = Widen(frame[i], visual);
    image =
        XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, reinterpret_cast<char*>(wide.data()),
                     static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
  }
  if (!image) return 1;
  image->byte_order = LSBFirst;
  XPutImage(display, window, DefaultGC(display, screen), image, 0, 0, 0, 0, static_cast<unsigned>(width),
            static_cast<unsigned>(height));
  XSync(display, False);
  image->data = nullptr;  // the pixels belong to the vectors
  XDestroyImage(image);
  for (;;) pause();
}
