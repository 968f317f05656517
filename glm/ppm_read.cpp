// ppm_read.cpp: the binary ("P6") PPM reader used for texture images. It
// hands back the pixel block as it is in the file, 3 bytes per pixel.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "glm/glm_internal.h"

// Refuse images whose pixel block would be larger than this; a header can
// promise any size, and the buffer is allocated before it is read.
static const int64_t kMaxPixelBytes = int64_t(1) << 30;

unsigned char* glmReadRawPPMStream(FILE* file, const char* name, int* width, int* height) {
  // Lines longer than the buffer are taken in pieces, each one a line, but
  // for comments.
  char head[70];

  // Only the first two characters are the magic; the rest of the line is
  // not looked at.
  if (!fgets(head, sizeof head, file) || strncmp(head, "P6", 2) != 0) {
    fprintf(stderr, "%s: Not a raw PPM file\n", name);
    return nullptr;
  }

  // Read wide, so that a value beyond int is refused instead of wrapping
  // into a small, wrong size.
  long long w = 0, h = 0, d = 0;
  int count = 0;
  while (count < 3) {
    if (!fgets(head, sizeof head, file)) {
      fprintf(stderr, "%s: PPM header ends before width, height and maximum\n", name);
      return nullptr;
    }
    if (head[0] == '#') {
      // A comment ends at its line end, however long: text from its tail
      // must never be taken for a header value.
      while (!strchr(head, '\n') && fgets(head, sizeof head, file)) {
      }
      continue;
    }
    int found = 0;
    if (count == 0)
      found = sscanf(head, "%lld %lld %lld", &w, &h, &d);
    else if (count == 1)
      found = sscanf(head, "%lld %lld", &h, &d);
    else
      found = sscanf(head, "%lld", &d);
    // A line without a value would otherwise leave the count where it is.
    if (found <= 0) {
      fprintf(stderr, "%s: PPM header line holds no value\n", name);
      return nullptr;
    }
    count += found;
  }
  (void)d;  // the maximum is read but every sample is one byte

  if (w <= 0 || h <= 0 || w > kMaxPixelBytes || h > kMaxPixelBytes || w * h > kMaxPixelBytes / 3) {
    fprintf(stderr, "%s: bad PPM size %lld x %lld\n", name, w, h);
    return nullptr;
  }
  size_t size = size_t(w) * size_t(h) * 3;
  unsigned char* image = static_cast<unsigned char*>(malloc(size));
  if (!image) {
    fprintf(stderr, "%s: no memory for %lld x %lld PPM pixels\n", name, w, h);
    return nullptr;
  }
  if (fread(image, 1, size, file) != size) {
    fprintf(stderr, "%s: PPM pixel data ends early\n", name);
    free(image);
    return nullptr;
  }

  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return image;
}

unsigned char* glmReadRawPPM(const char* filename, int* width, int* height) {
  FILE* file = fopen(filename, "rb");
  if (!file) {
    perror(filename);
    return nullptr;
  }
  unsigned char* image = glmReadRawPPMStream(file, filename, width, height);
  fclose(file);
  return image;
}
