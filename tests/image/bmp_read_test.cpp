// The BMP reader: pixel layout, byte order helpers and refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/bmp.h"

using Bytes = std::vector<unsigned char>;

// A 54-byte header, the palette, then the rows; offset, given, replaces the pixel offset.
static Bytes MakeBmp(uint32_t width, int32_t height, uint16_t bits, const Bytes& rows,
                     const Bytes& palette = {}, uint32_t compression = 0, int64_t offset = -1) {
  Bytes b(54);
  const uint32_t fields[] = {2,  uint32_t(54 + palette.size() + rows.size()),
                             10, uint32_t(offset < 0 ? 54 + palette.size() : offset),
                             14, 40,
                             18, width,
                             22, uint32_t(height),
                             26, 1 | uint32_t(bits) << 16,
                             30, compression};  // offset, value
  for (int f = 0; f < 14; f += 2)
    for (int i = 0; i < 4; ++i) b[fields[f] + i] = (fields[f + 1] >> (8 * i)) & 0xff;
  b[0] = 'B';
  b[1] = 'M';
  b.insert(b.end(), palette.begin(), palette.end());
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

static unsigned char gSentinel[1];

struct Result {
  BmpImage image;
  std::string out;
  Bytes pixels;  // a copy: Pixels is freed
};

// Reads the bytes (or the file at path) into a record filled with values no read produces.
static Result Read(Bytes bytes, const char* path = nullptr) {
  BmpImage image{77, 88, gSentinel};
  testing::internal::CaptureStdout();
  FILE* f = path ? nullptr : fmemopen(bytes.data(), bytes.size(), "rb");
  path ? ReadBmpImage(path, &image) : ReadBmpStream(f, &image);
  if (f) std::fclose(f);
  Result r{image, testing::internal::GetCapturedStdout(), {}};
  if (image.Pixels != nullptr && image.Pixels != gSentinel) {
    r.pixels.assign(image.Pixels, image.Pixels + size_t{image.Width} * image.Height * 3);
    std::free(image.Pixels);
  }
  return r;
}

// A refusal (77 x 88) leaves the record as it was.
static void Expect(const char* why, const Bytes& file, uint32_t width, uint32_t height,
                   const Bytes& pixels, const std::string& message = "") {
  SCOPED_TRACE(why);
  Result r = Read(file);
  EXPECT_EQ(r.out, message);
  EXPECT_EQ(r.image.Width, width);
  EXPECT_EQ(r.image.Height, height);
  EXPECT_EQ(r.image.Pixels == gSentinel, width == 77);
  EXPECT_NE(r.image.Pixels, nullptr);  // already freed when read
  EXPECT_EQ(r.pixels, pixels);
}

static void Refused(const char* why, const Bytes& file, const std::string& m) {
  Expect(why, file, 77, 88, {}, m);
}

TEST(BmpRead, StoredRowsBecomeRedGreenBlueRowsBottomFirst) {
  Bytes rows, want, ramp(1024);  // 1500 pixels, 4500 stored bytes a row
  // Entry n = blue n, green n+1, red n+2 (mod 256), reserved 0xEE.
  for (int i = 0; i < 1024; ++i) ramp[i] = i % 4 == 3 ? 0xEE : i / 4 + i % 4;
  for (unsigned char y = 1; y <= 2; ++y)
    for (unsigned x = 0; x < 1500; ++x) {
      rows.insert(rows.end(), {0, static_cast<unsigned char>(x % 251), y});
      want.insert(want.end(), {y, static_cast<unsigned char>(x % 251), 0});
    }
  Expect("width 3 rows skip three padding bytes",
         MakeBmp(3, 2, 24, {1,  2,  3,  4,  5,  6,  7,  8,  9,  0xEE, 0xEE, 0xEE,  //
                            11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE}),
         3, 2, {3, 2, 1, 6, 5, 4, 9, 8, 7, 13, 12, 11, 16, 15, 14, 19, 18, 17});
  Expect("width 4 rows have no padding", MakeBmp(4, 1, 24, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}),
         4, 1, {2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9});
  Expect("rows longer than 3072 bytes", MakeBmp(1500, 2, 24, rows), 1500, 2, want);
  Expect("the widest row", MakeBmp(1 << 20, 1, 24, Bytes(3 << 20, 7)), 1 << 20, 1,
         Bytes(3 << 20, 7));
  // 5 indices in an 8-byte row: the 0xAA padding is not expanded.
  Expect("palette rows skip padding and use all 256 entries",
         MakeBmp(5, 1, 8, {0, 1, 255, 7, 2, 0xAA, 0xAA, 0xAA}, ramp), 5, 1,
         {2, 1, 0, 3, 2, 1, 1, 0, 255, 9, 8, 7, 4, 3, 2});
  Expect("negative height: top-down rows come back bottom row first",
         MakeBmp(2, -3, 24, {1,  2,  3,  4,  5,  6,  0, 0, 7, 8, 9, 10, 11, 12, 0, 0,  //
                             13, 14, 15, 16, 17, 18, 0, 0}),
         2, 3, {15, 14, 13, 18, 17, 16, 9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4});
  Expect("pixel rows start at the header offset",
         MakeBmp(1, 1, 24, {0xEE, 0xEE, 0xEE, 0xEE, 7, 8, 9, 0}, {}, 0, 58), 1, 1, {9, 8, 7});
  // Past the header a read error is reported; what could not be read stays black.
  Expect("missing colour table", MakeBmp(4, 1, 8, {9, 9, 9}, {}, 0, 0), 4, 1, Bytes(12, 0),
         "Error reading BMP Color Table\n");
  Expect("second row cut short", MakeBmp(1, 3, 24, {1, 2, 3, 0, 4, 5, 6}), 1, 3,
         {3, 2, 1, 0, 0, 0, 0, 0, 0}, "Error reading BMP pixels\n");
  Expect("offset past the end", MakeBmp(1, 1, 24, {1, 2, 3, 0}, {}, 0, 0x7FFFFFF0), 1, 1, {0, 0, 0},
         "Error reading BMP pixels\n");
}

TEST(BmpRead, EachBadFileOrHeaderIsRefusedWithItsMessage) {
  const std::string type = "Error reading BMP file, file type incorrect\n";
  const std::string bits = "Sorry, this code can only read 8 bit or 24 bit image files\n";
  const std::string size = "Sorry, this code cannot read images of that size\n";
  const Bytes header = MakeBmp(1, 1, 24, {});
  Bytes wrong = MakeBmp(1, 1, 24, {1, 2, 3, 0});
  wrong[1] = 'A';
  Refused("wrong signature", wrong, type);
  Refused("empty", {}, type);
  Refused("short file header", Bytes(header.begin(), header.begin() + 13),
          "Error reading BMP file header\n");
  Refused("short info header", Bytes(header.begin(), header.begin() + 53),
          "Error reading BMP Information record\n");
  Refused("compressed", MakeBmp(1, 1, 8, {0, 0, 0, 0}, Bytes(1024), 1),
          "Sorry, this code cannot read compressed image files\n");
  Refused("16 bit", MakeBmp(1, 1, 16, {1, 2, 3, 4}), bits);
  Refused("12 GiB of pixels", MakeBmp(0x10000, 0x10000, 24, {}), size);
  Refused("row size would wrap", MakeBmp(0xFFFFFFFF, 1, 24, {}), size);
  Refused("wider than 2^20", MakeBmp((1 << 20) + 1, 1, 24, {}), size);
  Refused("zero width", MakeBmp(0, 5, 24, {}), size);
  Refused("zero height", MakeBmp(3, 0, 24, {}), size);
  Refused("|height| = 2^31", MakeBmp(1, INT32_MIN, 24, {}), size);
  Refused("768 MiB", MakeBmp(16384, 16384, 8, {}, Bytes(1024)), size);
  Result r = Read({}, "/nonexistent/plinkar/none.bmp");
  EXPECT_EQ(r.out, "Could not open file '/nonexistent/plinkar/none.bmp'\n");
  EXPECT_EQ(r.image.Pixels, gSentinel);
}

TEST(BmpByteOrder, SwapsReverseTheBytesAndTheHostIsLittleEndian) {
  uint32_t u32 = 0x11223344u;
  uint16_t u16 = 0x1234;
  SwapLong(&u32);
  SwapShort(&u16);
  EXPECT_EQ(u32, 0x44332211u);
  EXPECT_EQ(u16, 0x3412u);
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "test assumes little-endian");
  HostIsBigEndian = 1;
  CheckByteOrder();
  EXPECT_EQ(HostIsBigEndian, 0);
}
