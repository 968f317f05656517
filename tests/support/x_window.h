// x_window.h: what the X-driven test suites share.
#ifndef PLINKAR_TESTS_SUPPORT_X_WINDOW_H
#define PLINKAR_TESTS_SUPPORT_X_WINDOW_H

#include <X11/Xlib.h>

// What a window manager sends when the window's close button is used.
inline void closeLikeWindowManager(Display* display, Window window) {
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

#endif  // PLINKAR_TESTS_SUPPORT_X_WINDOW_H
