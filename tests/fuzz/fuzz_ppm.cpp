// Fuzzes the binary PPM reader through an in-memory stream.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "glm/glm_internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // fmemopen wants a writable buffer, and an empty one is refused.
  std::vector<char> copy(data, data + size);
  copy.push_back('\0');
  FILE* file = fmemopen(copy.data(), size ? size : 1, "rb");
  if (!file) return 0;
  if (!size) fgetc(file);  // leave nothing to read
  int width = 0, height = 0;
  unsigned char* image = glmReadRawPPMStream(file, "fuzz.ppm", &width, &height);
  if (image && (width <= 0 || height <= 0)) abort();
  free(image);
  fclose(file);
  return 0;
}
