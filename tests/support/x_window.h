// x_window.h: what the X-driven test suites share.
#ifndef PLINKAR_TESTS_SUPPORT_X_WINDOW_H
#define PLINKAR_TESTS_SUPPORT_X_WINDOW_H

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

// One connection to $DISPLAY for the program; a failed request fails the
// check that made it, not the whole run.
Display* testDisplay();

struct Screenshot {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // top-down rows
  const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// What a window manager sends when the window's close button is used.
void closeLikeWindowManager(Window window);
// The first window `xdotool search ARGUMENTS` lists, given up after 10 s; 0 when none.
Window searchWindow(const std::string& arguments);
// Size of the window and where it sits on the screen.
bool geometry(Window window, int* width, int* height, int* left, int* top);
// A CARDINAL property's values, empty when the window has none.
std::vector<unsigned long> cardinalProperty(Window window, const char* name);
// WM_CLASS's two strings, instance then class; empty when unset.
std::vector<std::string> windowClass(Window window);
// The window's pixels as the X server has them; empty when it cannot be read.
Screenshot grab(Window window);
// Pixels that differ by more than a little, and their centre.
int countChanged(const Screenshot& a, const Screenshot& b, double* cx = nullptr,
                 double* cy = nullptr);

#endif  // PLINKAR_TESTS_SUPPORT_X_WINDOW_H
