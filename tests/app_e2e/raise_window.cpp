// Kept apart from the tests: Xlib's macros (None, Bool, Status) clash with GoogleTest's names.
#include <X11/Xlib.h>

#include <string>

namespace e2e {

bool RaiseAndFocus(const std::string& display, unsigned long window) {
  Display* dpy = XOpenDisplay(display.c_str());
  if (!dpy) return false;
  XRaiseWindow(dpy, window);
  XSetInputFocus(dpy, window, RevertToParent, CurrentTime);
  XSync(dpy, False);
  XCloseDisplay(dpy);
  return true;
}

}  // namespace e2e
