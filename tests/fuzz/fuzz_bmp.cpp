// libFuzzer target for the BMP reader: any byte string is fed to it as a file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // fmemopen wants a writable buffer even for reading, and a null one means
  // something else, so the const input is copied into one of at least a byte.
  std::vector<unsigned char> copy(data, data + size);
  copy.push_back(0);
  FILE* file = fmemopen(copy.data(), size, "rb");
  if (file == nullptr) return 0;
  // The reader refuses images over 256 MiB of pixels, well under libFuzzer's
  // malloc limit, so no size check is needed here.
  BmpImage image;
  std::memset(&image, 0, sizeof image);
  ReadBmpStream(file, &image);
  std::free(image.Pixels);
  std::fclose(file);
  return 0;
}
