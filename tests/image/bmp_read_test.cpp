// Tests for the BMP reader: pixel layout, byte order helpers and refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "image/bmp.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Stores v little-endian in size bytes at b[at].
void Put(Bytes& b, size_t at, uint32_t v, int size = 4) {
  for (int i = 0; i < size; ++i) b[at + i] = (v >> (8 * i)) & 0xff;
}

// A 54-byte header, then the palette (if any), then the stored rows as given.
Bytes MakeBmp(uint32_t width, int32_t height, uint16_t bits, const Bytes& rows,
              const Bytes& palette = {}, uint32_t compression = 0) {
  Bytes b(54);
  b[0] = 'B';
  b[1] = 'M';
  Put(b, 2, 54 + palette.size() + rows.size());
  Put(b, 10, 54 + palette.size());
  Put(b, 14, 40);
  Put(b, 18, width);
  Put(b, 22, static_cast<uint32_t>(height));
  Put(b, 26, 1, 2);
  Put(b, 28, bits, 2);
  Put(b, 30, compression);
  b.insert(b.end(), palette.begin(), palette.end());
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

// The header's pixel offset (bytes 10-13) replaced.
Bytes WithOffset(Bytes b, uint32_t offset) {
  Put(b, 10, offset);
  return b;
}

// 256 entries, entry n = blue n, green n+1, red n+2 (mod 256), reserved 0.
Bytes Ramp() {
  Bytes p(1024);
  for (int i = 0; i < 1024; ++i) p[i] = i % 4 == 3 ? 0 : i / 4 + i % 4;
  return p;
}

// All black but entry 5: blue 10, green 20, red 30 and a reserved byte to ignore.
Bytes OnlyEntry5() {
  Bytes p(5 * 4);
  p.insert(p.end(), {10, 20, 30, 99});
  p.resize(1024);
  return p;
}

unsigned char gSentinel[1];

struct Result {
  BmpImage image;
  std::string out;
  Bytes pixels;  // copy of Pixels, which has been freed
};

// Runs read with standard output captured, on a record filled with values a
// read never produces, to see what it touched.
template <typename ReadFn>
Result Capture(ReadFn read) {
  BmpImage image{77, 88, gSentinel};
  testing::internal::CaptureStdout();
  read(&image);
  Result r{image, testing::internal::GetCapturedStdout(), {}};
  if (image.Pixels != nullptr && image.Pixels != gSentinel) {
    r.pixels.assign(image.Pixels, image.Pixels + size_t{image.Width} * image.Height * 3);
    std::free(image.Pixels);
  }
  return r;
}

Result Read(Bytes bytes) {
  FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
  EXPECT_NE(f, nullptr);
  Result r = Capture([f](BmpImage* i) { ReadBmpStream(f, i); });
  std::fclose(f);
  return r;
}

Result ReadPath(const std::string& path) {
  return Capture([&path](BmpImage* i) { ReadBmpImage(path.c_str(), i); });
}

// A read that gets past the header: the message (if any), size and pixels.
void ExpectRead(const char* why, const Bytes& file, uint32_t width, uint32_t height,
                const Bytes& want, const std::string& message = "") {
  SCOPED_TRACE(why);
  Result r = Read(file);
  EXPECT_EQ(r.out, message);
  EXPECT_EQ(r.image.Width, width);
  EXPECT_EQ(r.image.Height, height);
  EXPECT_NE(r.image.Pixels, nullptr);  // already freed by Capture
  EXPECT_NE(r.image.Pixels, gSentinel);
  EXPECT_EQ(r.pixels, want);
}

// A refusal prints message and leaves the record as it was.
void ExpectRefused(const std::string& why, const Result& r, const std::string& message) {
  SCOPED_TRACE(why);
  EXPECT_EQ(r.out, message);
  EXPECT_EQ(r.image.Width, 77u);
  EXPECT_EQ(r.image.Height, 88u);
  EXPECT_EQ(r.image.Pixels, gSentinel);
}

}  // namespace

TEST(BmpRead, StoredRowsBecomeRedGreenBlueRowsBottomFirst) {
  ExpectRead("width 3 rows skip three padding bytes",
             MakeBmp(3, 2, 24, {1,  2,  3,  4,  5,  6,  7,  8,  9,  0xEE, 0xEE, 0xEE,  //
                                11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE}),
             3, 2, {3, 2, 1, 6, 5, 4, 9, 8, 7, 13, 12, 11, 16, 15, 14, 19, 18, 17});
  ExpectRead(
      "width 4 rows have no padding",
      MakeBmp(4, 2, 24, {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,  //
                         12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23}),
      4, 2, {2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 17, 16, 15, 20, 19, 18, 23, 22, 21});
  ExpectRead("palette index expands through the colour table",
             MakeBmp(1, 1, 8, {5, 0, 0, 0}, OnlyEntry5()), 1, 1, {30, 20, 10});
  // 5 indices stored in an 8-byte row; the 0xAA padding must not be expanded.
  ExpectRead("palette rows skip padding and use all 256 entries",
             MakeBmp(5, 1, 8, {0, 1, 255, 7, 2, 0xAA, 0xAA, 0xAA}, Ramp()), 5, 1,
             {2, 1, 0, 3, 2, 1, 1, 0, 255, 9, 8, 7, 4, 3, 2});
  ExpectRead("rows keep file order", MakeBmp(1, 3, 24, {1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0}), 1, 3,
             {1, 1, 1, 2, 2, 2, 3, 3, 3});
  ExpectRead("negative height: top-down rows come back bottom row first",
             MakeBmp(2, -3, 24, {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0,  //
                                 13, 14, 15, 16, 17, 18, 0, 0}),
             2, 3, {15, 14, 13, 18, 17, 16, 9, 8, 7, 12, 11, 10, 3, 2, 1, 6, 5, 4});
  // The offset skips the four 0xEE bytes.
  ExpectRead("pixel rows start at the header offset",
             WithOffset(MakeBmp(1, 1, 24, {0xEE, 0xEE, 0xEE, 0xEE, 7, 8, 9, 0}), 58), 1, 1,
             {9, 8, 7});
}

TEST(BmpRead, WideImageReadsRowsLongerThan3072Bytes) {
  const uint32_t width = 1500;  // 4500 stored bytes a row
  Bytes rows, want;
  for (unsigned char y = 1; y <= 2; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      const unsigned char green = x % 251;
      rows.insert(rows.end(), {0, green, y});
      want.insert(want.end(), {y, green, 0});
    }
  ExpectRead("1500 pixels wide", MakeBmp(width, 2, 24, rows), width, 2, want);
}

TEST(BmpRead, ReadBmpImageReadsAFile) {
  const std::string path = testing::TempDir() + "plinkar_bmp_read_test.bmp";
  const Bytes b = MakeBmp(1, 1, 24, {1, 2, 3, 0});
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
  Result r = ReadPath(path);
  std::remove(path.c_str());
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.pixels, (Bytes{3, 2, 1}));
}

TEST(BmpByteOrder, SwapsReverseTheBytes) {
  uint32_t u32 = 0x11223344u;
  SwapLong(&u32);
  EXPECT_EQ(u32, 0x44332211u);
  uint16_t u16 = 0x1234;
  SwapShort(&u16);
  EXPECT_EQ(u16, 0x3412);
}

TEST(BmpByteOrder, CheckByteOrderSaysLittleEndianHost) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "test assumes little-endian");
  HostIsBigEndian = 1;
  CheckByteOrder();
  EXPECT_EQ(HostIsBigEndian, 0);
}

TEST(BmpRefusal, EachBadFileOrHeaderLeavesTheRecordUntouched) {
  const std::string type = "Error reading BMP file, file type incorrect\n";
  const std::string size = "Sorry, this code cannot read images of that size\n";
  const Bytes header = MakeBmp(1, 1, 24, {});
  Bytes wrongSignature = MakeBmp(1, 1, 24, {1, 2, 3, 0});
  wrongSignature[1] = 'A';
  ExpectRefused("missing file", ReadPath("/nonexistent/plinkar/none.bmp"),
                "Could not open file '/nonexistent/plinkar/none.bmp'\n");
  ExpectRefused("wrong signature", Read(wrongSignature), type);
  ExpectRefused("one byte", Read({'B'}), type);
  ExpectRefused("empty", Read({}), type);
  ExpectRefused("short file header", Read(Bytes(header.begin(), header.begin() + 13)),
                "Error reading BMP file header\n");
  ExpectRefused("short info header", Read(Bytes(header.begin(), header.begin() + 53)),
                "Error reading BMP Information record\n");
  ExpectRefused("compressed", Read(MakeBmp(1, 1, 8, {0, 0, 0, 0}, Bytes(1024), 1)),
                "Sorry, this code cannot read compressed image files\n");
  for (uint16_t bits : {1, 4, 16, 32})
    ExpectRefused(std::to_string(bits) + " bit", Read(MakeBmp(1, 1, bits, {1, 2, 3, 4})),
                  "Sorry, this code can only read 8 bit or 24 bit image files\n");
  ExpectRefused("12 GiB of pixels", Read(MakeBmp(0x10000, 0x10000, 24, {})), size);
  ExpectRefused("row size would wrap", Read(MakeBmp(0xFFFFFFFF, 1, 24, {})), size);
  ExpectRefused("zero width", Read(MakeBmp(0, 5, 24, {})), size);
  ExpectRefused("zero height", Read(MakeBmp(3, 0, 24, {})), size);
  ExpectRefused("|height| = 2^31", Read(MakeBmp(1, INT32_MIN, 24, {})), size);
  ExpectRefused("768 MiB", Read(MakeBmp(16384, 16384, 8, {}, Bytes(1024))), size);
}

// Past the header a read error is reported, but the image is kept with
// whatever could not be read left black.
TEST(BmpRefusal, UnreadableTablesAndPixelsAreReportedAndLeftBlack) {
  // No room for a single entry after the info header. The offset points at
  // the start of the file so that the row itself can still be read.
  ExpectRead("missing colour table", WithOffset(MakeBmp(4, 1, 8, {9, 9, 9}), 0), 4, 1, Bytes(12, 0),
             "Error reading BMP Color Table\n");
  // The second row is cut short: the first is kept.
  ExpectRead("short pixel block", MakeBmp(1, 3, 24, {1, 2, 3, 0, 4, 5, 6}), 1, 3,
             {3, 2, 1, 0, 0, 0, 0, 0, 0}, "Error reading BMP pixels\n");
  ExpectRead("offset past the end of the file",
             WithOffset(MakeBmp(1, 1, 24, {1, 2, 3, 0}), 0x7FFFFFF0), 1, 1, {0, 0, 0},
             "Error reading BMP pixels\n");
}
