#include "tests/support/x_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

static int ignoreXError(Display*, XErrorEvent*) { return 0; }

Display* testDisplay() {
  static Display* d = [] {
    XSetErrorHandler(ignoreXError);
    return XOpenDisplay(nullptr);
  }();
  return d;
}

void closeLikeWindowManager(Window window) {
  Display* d = testDisplay();
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  XSendEvent(d, window, False, NoEventMask, &event);
  XFlush(d);
}

Window searchWindow(const std::string& arguments) {
  FILE* found = popen(("timeout 10 xdotool search " + arguments + " 2>/dev/null").c_str(), "r");
  unsigned long id = 0;
  if (found && fscanf(found, "%lu", &id) != 1) id = 0;
  if (found) pclose(found);
  return id;
}

bool geometry(Window window, int* width, int* height, int* left, int* top) {
  XWindowAttributes attributes;
  Window child;
  if (!XGetWindowAttributes(testDisplay(), window, &attributes)) return false;
  *width = attributes.width;
  *height = attributes.height;
  return XTranslateCoordinates(testDisplay(), window, DefaultRootWindow(testDisplay()), 0, 0, left,
                               top, &child);
}

std::vector<unsigned long> cardinalProperty(Window window, const char* name) {
  Atom type;
  int format;
  unsigned long count = 0, after;
  unsigned char* data = nullptr;
  std::vector<unsigned long> values;
  if (XGetWindowProperty(testDisplay(), window, XInternAtom(testDisplay(), name, False), 0, 1 << 20,
                         False, XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
      format == 32) {
    // Xlib hands 32-bit items over as longs, sign-extended.
    const auto* longs = reinterpret_cast<const long*>(data);
    for (unsigned long k = 0; k < count; k++) values.push_back(longs[k] & 0xffffffffUL);
  }
  if (data) XFree(data);
  return values;
}

std::vector<std::string> windowClass(Window window) {
  XClassHint hint = {nullptr, nullptr};
  if (!XGetClassHint(testDisplay(), window, &hint)) return {};
  std::vector<std::string> names = {hint.res_name, hint.res_class};
  XFree(hint.res_name);
  XFree(hint.res_class);
  return names;
}

// Read from the root window: a window that hangs off the screen edge (the
// player opens at -1, -1 without a window manager) cannot be read directly.
Screenshot grab(Window window) {
  Screenshot shot;
  Display* d = testDisplay();
  int width, height, left, top;
  if (!geometry(window, &width, &height, &left, &top)) return shot;
  const int x0 = std::max(0, -left), y0 = std::max(0, -top);
  const int x1 = std::min(width, DisplayWidth(d, DefaultScreen(d)) - left);
  const int y1 = std::min(height, DisplayHeight(d, DefaultScreen(d)) - top);
  if (x1 <= x0 || y1 <= y0) return shot;
  XImage* image =
      XGetImage(d, DefaultRootWindow(d), left + x0, top + y0, x1 - x0, y1 - y0, AllPlanes, ZPixmap);
  if (!image) return shot;
  shot.width = width;
  shot.height = height;
  shot.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) {
      const unsigned long pixel = XGetPixel(image, x - x0, y - y0);
      uint8_t* out = &shot.rgb[(static_cast<size_t>(y) * width + x) * 3];
      for (int c = 0; c < 3; c++) out[c] = (pixel >> (16 - 8 * c)) & 0xff;
    }
  XDestroyImage(image);
  return shot;
}

int countChanged(const Screenshot& a, const Screenshot& b, double* cx, double* cy) {
  int changed = 0;
  double sx = 0, sy = 0;
  for (int y = 0; y < a.height; y++)
    for (int x = 0; x < a.width; x++) {
      const uint8_t *p = a.at(x, y), *q = b.at(x, y);
      if (std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) > 24) {
        changed++;
        sx += x;
        sy += y;
      }
    }
  if (changed && cx) *cx = sx / changed;
  if (changed && cy) *cy = sy / changed;
  return changed;
}
