// bmp.h: a reader for uncompressed 8-bit and 24-bit Windows BMP files.
#ifndef PLINKAR_IMAGE_BMP_H
#define PLINKAR_IMAGE_BMP_H

#include <cstdint>
#include <cstdio>

struct BmpImage {
  uint32_t Width;
  uint32_t Height;
  unsigned char* Pixels;  // Width * Height * 3 bytes, red, green, blue; free() it
};

// Reads the file into image. Problems are printed to standard output; a
// caller that needs the outcome clears image->Pixels first.
void ReadBmpImage(const char* filename, BmpImage* image);

// Byte order of the host, set by CheckByteOrder at the start of every read.
extern int HostIsBigEndian;
void CheckByteOrder();
void SwapLong(uint32_t* value);
void SwapShort(uint16_t* value);

// The reader over an open stream (it does not close it). For tests and
// fuzzing; ReadBmpImage opens and closes the file around it.
void ReadBmpStream(FILE* file, BmpImage* image);

#endif  // PLINKAR_IMAGE_BMP_H
