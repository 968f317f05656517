// bmp_read.cpp: reads uncompressed 8-bit and 24-bit Windows BMP files into
// rows of red, green, blue bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/bmp.h"

int HostIsBigEndian = 0;

namespace {

// The file header after the two signature bytes, as stored on disk.
struct BmpFileHeader {
  uint32_t Size;
  unsigned char Reserved[4];
  uint32_t Offset;
};

// The 40-byte information header that follows the file header.
struct BmpInfoHeader {
  uint32_t HeaderSize;
  uint32_t Width;
  uint32_t Height;
  uint16_t NumberColorPlanes;
  uint16_t BitsPerPixel;
  uint32_t CompressionType;
  unsigned char Unused[20];
};

struct BmpColorTableEntry {
  unsigned char Blue;
  unsigned char Green;
  unsigned char Red;
  unsigned char Reserved;
};

// The records are read whole with fread, so their layout must match the file.
static_assert(sizeof(BmpFileHeader) == 12, "file header must be 12 bytes");
static_assert(sizeof(BmpInfoHeader) == 40, "info header must be 40 bytes");
static_assert(sizeof(BmpColorTableEntry) == 4, "colour entry must be 4 bytes");

// Larger dimensions are refused so that a corrupt header cannot ask for an
// absurd allocation; real bitmaps are far below these.
constexpr uint32_t kMaxDimension = 1u << 20;
constexpr uint64_t kMaxPixelBytes = 256ull << 20;

}  // namespace

void CheckByteOrder() {
  uint16_t one = 1;
  unsigned char first;
  std::memcpy(&first, &one, 1);
  HostIsBigEndian = (first == 0) ? 1 : 0;
}

void SwapLong(uint32_t* value) {
  unsigned char* bytes = reinterpret_cast<unsigned char*>(value);
  unsigned char t = bytes[0];
  bytes[0] = bytes[3];
  bytes[3] = t;
  t = bytes[1];
  bytes[1] = bytes[2];
  bytes[2] = t;
}

void SwapShort(uint16_t* value) {
  unsigned char* bytes = reinterpret_cast<unsigned char*>(value);
  unsigned char t = bytes[0];
  bytes[0] = bytes[1];
  bytes[1] = t;
}

void ReadBmpStream(FILE* file, BmpImage* image) {
  CheckByteOrder();

  unsigned char magic[2];
  if (std::fread(magic, 1, 2, file) != 2 || magic[0] != 'B' || magic[1] != 'M') {
    std::printf("Error reading BMP file, file type incorrect\n");
    return;
  }

  BmpFileHeader header;
  if (std::fread(&header, sizeof header, 1, file) != 1) {
    std::printf("Error reading BMP file header\n");
    return;
  }
  if (HostIsBigEndian) {
    SwapLong(&header.Size);
    SwapLong(&header.Offset);
  }

  BmpInfoHeader info;
  if (std::fread(&info, sizeof info, 1, file) != 1) {
    std::printf("Error reading BMP Information record\n");
    return;
  }
  if (HostIsBigEndian) {
    SwapLong(&info.HeaderSize);
    SwapLong(&info.Width);
    SwapLong(&info.Height);
    SwapShort(&info.NumberColorPlanes);
    SwapShort(&info.BitsPerPixel);
    SwapLong(&info.CompressionType);
  }
  if (info.CompressionType != 0) {
    std::printf("Sorry, this code cannot read compressed image files\n");
    return;
  }

  int colorTableSize;
  uint32_t bytesPerPixel;
  if (info.BitsPerPixel == 8) {
    colorTableSize = 256;
    bytesPerPixel = 1;
  } else if (info.BitsPerPixel == 24) {
    colorTableSize = 0;
    bytesPerPixel = 3;
  } else {
    std::printf("Sorry, this code can only read 8 bit or 24 bit image files\n");
    return;
  }

  // A negative height marks a top-down file. Its rows are turned round, so
  // that every image comes back bottom row first, as the usual file has it.
  const uint32_t width = info.Width;
  uint32_t height = info.Height;
  const bool topDown = static_cast<int32_t>(height) < 0;
  if (topDown) height = 0u - height;

  const uint64_t pixelBytes = uint64_t{width} * height * 3;
  if (width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension ||
      pixelBytes > kMaxPixelBytes) {
    std::printf("Sorry, this code cannot read images of that size\n");
    return;
  }

  // Entries the file does not supply stay black rather than undefined.
  BmpColorTableEntry colorTable[256] = {};
  if (colorTableSize > 0) {
    size_t entries = std::fread(colorTable, sizeof colorTable[0], colorTableSize, file);
    // fread may have left the bytes of a partial last entry behind.
    std::memset(colorTable + entries, 0, (colorTableSize - entries) * sizeof colorTable[0]);
    if (entries == 0) std::printf("Error reading BMP Color Table\n");
  }

  image->Width = width;
  image->Height = height;
  // Zero-filled so that rows a short file never supplies read as black.
  image->Pixels = static_cast<unsigned char*>(std::calloc(static_cast<size_t>(pixelBytes), 1));
  if (image->Pixels == nullptr) {
    std::printf("Error allocating pixel memory\n");
    return;
  }

  const size_t storedRowBytes = size_t{width} * bytesPerPixel;
  const size_t bytesPerRow = (storedRowBytes + 3) / 4 * 4;

  unsigned char* row = static_cast<unsigned char*>(std::malloc(bytesPerRow));
  if (row == nullptr) {
    std::free(image->Pixels);
    image->Pixels = nullptr;
    std::printf("Error allocating pixel memory\n");
    return;
  }

  // Where long is 32 bits an offset above LONG_MAX turns negative here and
  // cannot be sought.
  const long offset = static_cast<long>(header.Offset);
  bool ok = offset >= 0 && std::fseek(file, offset, SEEK_SET) == 0;
  const size_t outRowBytes = size_t{width} * 3;
  for (uint32_t y = 0; ok && y < height; ++y) {
    if (std::fread(row, bytesPerRow, 1, file) != 1) {
      ok = false;
      break;
    }
    unsigned char* out = image->Pixels + (topDown ? height - 1 - y : y) * outRowBytes;
    if (bytesPerPixel == 1) {
      for (size_t x = 0; x < storedRowBytes; ++x) {
        const BmpColorTableEntry& entry = colorTable[row[x]];
        *out++ = entry.Red;
        *out++ = entry.Green;
        *out++ = entry.Blue;
      }
    } else {
      for (size_t x = 0; x < storedRowBytes; x += 3) {
        *out++ = row[x + 2];
        *out++ = row[x + 1];
        *out++ = row[x];
      }
    }
  }
  if (!ok) std::printf("Error reading BMP pixels\n");
  std::free(row);
}

void ReadBmpImage(const char* filename, BmpImage* image) {
  CheckByteOrder();
  FILE* file = std::fopen(filename, "rb");
  if (file == nullptr) {
    std::printf("Could not open file '%s'\n", filename);
    return;
  }
  ReadBmpStream(file, image);
  std::fclose(file);
}
