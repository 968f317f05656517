// desktop_window.cpp: WM_CLASS, the process id and the icon on the player's
// X windows. freeglut sets none of them.
#include "platform/desktop_window.h"

#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace {

// resources/plinkar.ico, embedded at build time so the icon needs no data.
const unsigned char kIco[] = {
#include "plinkar_ico.inc"
};

uint32_t le(const unsigned char* p, int bytes) {
  uint32_t v = 0;
  for (int k = bytes - 1; k >= 0; k--) v = v << 8 | p[k];
  return v;
}

}  // namespace

std::vector<unsigned long> iconPropertyFromIco(const unsigned char* ico, size_t size) {
  std::vector<unsigned long> property;
  if (size < 6 || le(ico, 2) != 0 || le(ico + 2, 2) != 1) return property;
  const size_t count = le(ico + 4, 2);
  for (size_t k = 0; k < count; k++) {
    const size_t entry = 6 + 16 * k;
    if (entry + 16 > size) return {};
    const size_t bytes = le(ico + entry + 8, 4), offset = le(ico + entry + 12, 4);
    if (offset > size || bytes > size - offset || bytes < 40) return {};
    // A DIB: a 40-byte header, then rows from the bottom, BGRA at 32 bits;
    // its height counts the colour rows and the mask's.
    const unsigned char* dib = ico + offset;
    const uint32_t width = le(dib + 4, 4), height = le(dib + 8, 4) / 2;
    if (le(dib + 14, 2) != 32 || le(dib, 4) != 40 || le(dib + 16, 4) != 0) continue;
    if (width == 0 || width > 256 || height != width || 40 + 4 * width * height > bytes) return {};
    property.push_back(width);
    property.push_back(height);
    for (uint32_t row = height; row-- > 0;) {
      const unsigned char* p = dib + 40 + 4 * width * row;
      for (uint32_t x = 0; x < width; x++, p += 4)
        property.push_back(static_cast<unsigned long>(le(p, 4)));  // BGRA bytes: ARGB
    }
  }
  return property;
}

void describeWindowToDesktop() {
  Display* display = glXGetCurrentDisplay();
  const Window window = glXGetCurrentDrawable();
  if (display == nullptr || window == 0) return;

  char instance[sizeof kWindowInstanceName], name[sizeof kWindowClassName];
  std::copy(kWindowInstanceName, kWindowInstanceName + sizeof instance, instance);
  std::copy(kWindowClassName, kWindowClassName + sizeof name, name);
  XClassHint hint = {instance, name};
  XSetClassHint(display, window, &hint);

  // Format 32 properties are arrays of long in Xlib, whatever long's size.
  const long pid = static_cast<long>(getpid());
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
  static const std::vector<unsigned long> icon = iconPropertyFromIco(kIco, sizeof kIco);
  if (!icon.empty())
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(icon.data()),
                    static_cast<int>(icon.size()));
  XFlush(display);
}
