// Tests for the BMP reader: pixel layout, byte order helpers and refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/bmp.h"

namespace {

using Bytes = std::vector<unsigned char>;

void PutU16(Bytes& b, size_t at, uint16_t v) {
  b[at] = v & 0xff;
  b[at + 1] = v >> 8;
}

void PutU32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xff;
}

// A 54-byte header, then the palette (if any), then the stored rows as given.
Bytes MakeBmp(uint32_t width, int32_t height, uint16_t bits, const Bytes& rows,
              const Bytes& palette = {}, uint32_t compression = 0) {
  Bytes b(54);
  b[0] = 'B';
  b[1] = 'M';
  PutU32(b, 2, 54 + palette.size() + rows.size());
  PutU32(b, 10, 54 + palette.size());
  PutU32(b, 14, 40);
  PutU32(b, 18, width);
  PutU32(b, 22, static_cast<uint32_t>(height));
  PutU16(b, 26, 1);
  PutU16(b, 28, bits);
  PutU32(b, 30, compression);
  b.insert(b.end(), palette.begin(), palette.end());
  b.insert(b.end(), rows.begin(), rows.end());
  return b;
}

// 256 entries, entry i = blue i, green i+1, red i+2.
Bytes Ramp() {
  Bytes p(1024);
  for (int i = 0; i < 256; ++i) {
    p[4 * i] = i;
    p[4 * i + 1] = (i + 1) & 0xff;
    p[4 * i + 2] = (i + 2) & 0xff;
  }
  return p;
}

unsigned char gSentinel[1];

// Filled with values a read never produces, to see what it touched.
BmpImage Untouched() { return BmpImage{77, 88, gSentinel}; }

struct Result {
  BmpImage image;
  std::string out;
  Bytes pixels;  // copy of Pixels, which has been freed
};

Result Finish(BmpImage image, std::string out) {
  Result r{image, std::move(out), {}};
  if (image.Pixels != nullptr && image.Pixels != gSentinel) {
    r.pixels.assign(image.Pixels, image.Pixels + size_t{image.Width} * image.Height * 3);
    std::free(image.Pixels);
  }
  return r;
}

Result Read(Bytes bytes, BmpImage image = BmpImage{0, 0, nullptr}) {
  FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
  EXPECT_NE(f, nullptr);
  testing::internal::CaptureStdout();
  ReadBmpStream(f, &image);
  std::string out = testing::internal::GetCapturedStdout();
  std::fclose(f);
  return Finish(image, out);
}

void ExpectRefused(const Bytes& bytes, const std::string& message) {
  Result r = Read(bytes, Untouched());
  EXPECT_EQ(r.out, message);
  EXPECT_EQ(r.image.Width, 77u);
  EXPECT_EQ(r.image.Height, 88u);
  EXPECT_EQ(r.image.Pixels, gSentinel);
}

}  // namespace

TEST(BmpRead, Width3RowsSkipThreePaddingBytes) {
  Bytes rows = {1,  2,  3,  4,  5,  6,  7,  8,  9,  0xEE, 0xEE, 0xEE,
                11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE};
  Result r = Read(MakeBmp(3, 2, 24, rows));
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.image.Width, 3u);
  EXPECT_EQ(r.image.Height, 2u);
  EXPECT_EQ(r.pixels, (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 13, 12, 11, 16, 15, 14, 19, 18, 17}));
}

TEST(BmpRead, Width4RowsHaveNoPadding) {
  Bytes rows;
  for (int i = 0; i < 24; ++i) rows.push_back(i);
  Result r = Read(MakeBmp(4, 2, 24, rows));
  Bytes want;
  for (int i = 0; i < 24; i += 3) want.insert(want.end(), {rows[i + 2], rows[i + 1], rows[i]});
  EXPECT_EQ(r.pixels, want);
}

TEST(BmpRead, TwentyFourBitBlueGreenRedBecomesRedGreenBlue) {
  Result r = Read(MakeBmp(1, 1, 24, {1, 2, 3, 0}));
  EXPECT_EQ(r.pixels, (Bytes{3, 2, 1}));
}

TEST(BmpRead, PaletteIndexExpandsThroughColorTable) {
  Bytes palette(1024);
  palette[5 * 4] = 10;      // blue
  palette[5 * 4 + 1] = 20;  // green
  palette[5 * 4 + 2] = 30;  // red
  palette[5 * 4 + 3] = 99;  // reserved, ignored
  Result r = Read(MakeBmp(1, 1, 8, {5, 0, 0, 0}, palette));
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.pixels, (Bytes{30, 20, 10}));
}

TEST(BmpRead, PaletteRowsSkipPaddingAndUseAll256Entries) {
  // 5 indices stored in an 8-byte row; 0xAA padding must not be expanded.
  Bytes rows = {0, 1, 255, 7, 2, 0xAA, 0xAA, 0xAA};
  Result r = Read(MakeBmp(5, 1, 8, rows, Ramp()));
  EXPECT_EQ(r.pixels, (Bytes{2, 1, 0, 3, 2, 1, 1, 0, 255, 9, 8, 7, 4, 3, 2}));
}

TEST(BmpRead, RowsKeepFileOrder) {
  Result r = Read(MakeBmp(1, 3, 24, {1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0}));
  EXPECT_EQ(r.pixels, (Bytes{1, 1, 1, 2, 2, 2, 3, 3, 3}));
}

TEST(BmpRead, NegativeHeightIsTopDownWithAbsoluteHeight) {
  Result r = Read(MakeBmp(1, -2, 24, {1, 2, 3, 0, 4, 5, 6, 0}));
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.image.Height, 2u);
  EXPECT_EQ(r.pixels, (Bytes{3, 2, 1, 6, 5, 4}));
}

TEST(BmpRead, WideImageReadsRowsLongerThan3072Bytes) {
  const uint32_t width = 1500;  // 4500 stored bytes a row
  Bytes rows;
  for (int y = 0; y < 2; ++y)
    for (uint32_t x = 0; x < width; ++x)
      rows.insert(rows.end(),
                  {0, static_cast<unsigned char>(x % 251), static_cast<unsigned char>(y + 1)});
  Result r = Read(MakeBmp(width, 2, 24, rows));
  EXPECT_EQ(r.out, "");
  ASSERT_EQ(r.pixels.size(), size_t{width} * 2 * 3);
  for (uint32_t i = 0; i < 2 * width; ++i) {
    ASSERT_EQ(r.pixels[3 * i], i / width + 1) << i;
    ASSERT_EQ(r.pixels[3 * i + 1], (i % width) % 251) << i;
    ASSERT_EQ(r.pixels[3 * i + 2], 0) << i;
  }
}

TEST(BmpRead, PixelRowsStartAtHeaderOffset) {
  Bytes b = MakeBmp(1, 1, 24, {0xEE, 0xEE, 0xEE, 0xEE, 7, 8, 9, 0});
  PutU32(b, 10, 58);  // skip the four 0xEE bytes
  EXPECT_EQ(Read(b).pixels, (Bytes{9, 8, 7}));
}

TEST(BmpRead, ZeroSizeImageGivesNonNullEmptyBuffer) {
  Result r = Read(MakeBmp(0, 5, 24, {}));
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.image.Width, 0u);
  EXPECT_EQ(r.image.Height, 5u);
  EXPECT_NE(r.image.Pixels, nullptr);  // already freed by Finish
  r = Read(MakeBmp(3, 0, 24, {}));
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.image.Height, 0u);
  EXPECT_NE(r.image.Pixels, nullptr);
}

TEST(BmpRead, ReadBmpImageReadsAFile) {
  std::string path = testing::TempDir() + "plinkar_bmp_read_test.bmp";
  Bytes b = MakeBmp(1, 1, 24, {1, 2, 3, 0});
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(b.data(), 1, b.size(), f);
  std::fclose(f);
  BmpImage image{0, 0, nullptr};
  testing::internal::CaptureStdout();
  ReadBmpImage(path.c_str(), &image);
  std::string out = testing::internal::GetCapturedStdout();
  std::remove(path.c_str());
  Result r = Finish(image, out);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.pixels, (Bytes{3, 2, 1}));
}

TEST(BmpByteOrder, SwapLongReversesFourBytes) {
  uint32_t v = 0x11223344u;
  SwapLong(&v);
  EXPECT_EQ(v, 0x44332211u);
}

TEST(BmpByteOrder, SwapShortExchangesTwoBytes) {
  uint16_t v = 0x1234;
  SwapShort(&v);
  EXPECT_EQ(v, 0x3412);
}

TEST(BmpByteOrder, CheckByteOrderSaysLittleEndianHost) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "test assumes little-endian");
  HostIsBigEndian = 1;
  CheckByteOrder();
  EXPECT_EQ(HostIsBigEndian, 0);
}

TEST(BmpRefusal, MissingFileSaysCouldNotOpen) {
  BmpImage image = Untouched();
  testing::internal::CaptureStdout();
  ReadBmpImage("/nonexistent/plinkar/none.bmp", &image);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Could not open file '/nonexistent/plinkar/none.bmp'\n");
  EXPECT_EQ(image.Width, 77u);
  EXPECT_EQ(image.Pixels, gSentinel);
}

TEST(BmpRefusal, WrongSignatureIsRefused) {
  Bytes b = MakeBmp(1, 1, 24, {1, 2, 3, 0});
  b[1] = 'A';
  ExpectRefused(b, "Error reading BMP file, file type incorrect\n");
  ExpectRefused({'B'}, "Error reading BMP file, file type incorrect\n");
  ExpectRefused({}, "Error reading BMP file, file type incorrect\n");
}

TEST(BmpRefusal, ShortFileHeaderIsRefused) {
  Bytes b = MakeBmp(1, 1, 24, {});
  b.resize(13);
  ExpectRefused(b, "Error reading BMP file header\n");
}

TEST(BmpRefusal, ShortInfoHeaderIsRefused) {
  Bytes b = MakeBmp(1, 1, 24, {});
  b.resize(53);
  ExpectRefused(b, "Error reading BMP Information record\n");
}

TEST(BmpRefusal, CompressedImageIsRefused) {
  ExpectRefused(MakeBmp(1, 1, 8, {0, 0, 0, 0}, Bytes(1024), 1),
                "Sorry, this code cannot read compressed image files\n");
}

TEST(BmpRefusal, OnlyEightAndTwentyFourBitsAreRead) {
  for (uint16_t bits : {1, 4, 16, 32})
    ExpectRefused(MakeBmp(1, 1, bits, {1, 2, 3, 4}),
                  "Sorry, this code can only read 8 bit or 24 bit image files\n");
}

TEST(BmpRefusal, OversizedImagesAreRefused) {
  const std::string msg = "Sorry, this code cannot read images of that size\n";
  ExpectRefused(MakeBmp(0x10000, 0x10000, 24, {}), msg);          // 12 GiB of pixels
  ExpectRefused(MakeBmp(0xFFFFFFFF, 1, 24, {}), msg);             // row size would wrap
  ExpectRefused(MakeBmp((1u << 20) + 1, 0, 24, {}), msg);         // too wide even if empty
  ExpectRefused(MakeBmp(1, INT32_MIN, 24, {}), msg);              // |height| = 2^31
  ExpectRefused(MakeBmp(16384, 16384, 8, {}, Bytes(1024)), msg);  // 768 MiB
}

TEST(BmpRefusal, MissingColorTableIsReportedAndReadingGoesOn) {
  // No room for a single entry after the info header. The offset points at
  // the start of the file so that the row itself can still be read.
  Bytes b = MakeBmp(4, 1, 8, {9, 9, 9});
  PutU32(b, 10, 0);
  Result r = Read(b);
  EXPECT_EQ(r.out, "Error reading BMP Color Table\n");
  EXPECT_EQ(r.image.Width, 4u);
  EXPECT_EQ(r.pixels, Bytes(12, 0));  // unread entries are black
}

TEST(BmpRefusal, ShortPixelBlockKeepsEarlierRowsAndZeroesTheRest) {
  Bytes b = MakeBmp(1, 3, 24, {1, 2, 3, 0, 4, 5, 6});  // second row cut short
  Result r = Read(b, Untouched());
  EXPECT_EQ(r.out, "Error reading BMP pixels\n");
  EXPECT_EQ(r.image.Width, 1u);
  EXPECT_EQ(r.image.Height, 3u);
  EXPECT_EQ(r.pixels, (Bytes{3, 2, 1, 0, 0, 0, 0, 0, 0}));
}

TEST(BmpRefusal, OffsetPastEndOfFileIsAPixelError) {
  Bytes b = MakeBmp(1, 1, 24, {1, 2, 3, 0});
  PutU32(b, 10, 0x7FFFFFF0);
  Result r = Read(b);
  EXPECT_EQ(r.out, "Error reading BMP pixels\n");
  EXPECT_EQ(r.pixels, (Bytes{0, 0, 0}));
}
