// desktop_window.h: what a window tells the desktop about its program, so a
// taskbar can tie it to the menu entry and show the program's icon.
#ifndef PLINKAR_PLATFORM_DESKTOP_WINDOW_H
#define PLINKAR_PLATFORM_DESKTOP_WINDOW_H

#include <cstddef>
#include <vector>

// The window class every window of the player carries; the desktop entry's
// StartupWMClass names the class part.
inline constexpr char kWindowInstanceName[] = "plinkar";
inline constexpr char kWindowClassName[] = "Plinkar";

// The 32-bit pictures of a Windows icon file as the _NET_WM_ICON property
// holds them: for each, width, height, then ARGB pixels row by row from the
// top. Empty when the file holds none or is damaged.
std::vector<unsigned long> iconPropertyFromIco(const unsigned char* ico, size_t size);

// Sets WM_CLASS, _NET_WM_PID and _NET_WM_ICON on the GLUT window that is
// current. Does nothing without an X window.
void describeWindowToDesktop();

#endif  // PLINKAR_PLATFORM_DESKTOP_WINDOW_H
