// The shipped pictures through the player's BMP reader, rows counted from the top.
#ifndef PLINKAR_TESTS_RESOURCES_PICTURE_UTIL_H
#define PLINKAR_TESTS_RESOURCES_PICTURE_UTIL_H

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>

#include "image/bmp.h"

struct Rgb {
  int R, G, B;
};
inline bool operator==(Rgb a, Rgb b) { return a.R == b.R && a.G == b.G && a.B == b.B; }
inline std::ostream& operator<<(std::ostream& out, Rgb c) {
  return out << "(" << c.R << "," << c.G << "," << c.B << ")";
}

struct Image {
  uint32_t Width = 0, Height = 0;
  std::unique_ptr<unsigned char, void (*)(void*)> Owned{nullptr, std::free};
  const unsigned char* Pixels = nullptr;  // null when the reader failed
};

inline std::string ResourcePath(const std::string& name) {
  return std::string(PLINKAR_SOURCE_DIR) + "/resources/" + name;
}

inline Image LoadImage(const std::string& path) {
  BmpImage bmp = {0, 0, nullptr};
  ReadBmpImage(path.c_str(), &bmp);
  if (!bmp.Pixels) return Image();
  return {bmp.Width, bmp.Height, {bmp.Pixels, std::free}, bmp.Pixels};
}

// The reader keeps a bottom-up file's bottom row first.
inline Rgb PixelAt(const Image& image, uint32_t x, uint32_t yFromTop) {
  const unsigned char* p = image.Pixels + ((image.Height - 1 - yFromTop) * image.Width + x) * 3;
  return {p[0], p[1], p[2]};
}

#endif  // PLINKAR_TESTS_RESOURCES_PICTURE_UTIL_H
