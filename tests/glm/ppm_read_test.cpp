// Tests for the binary PPM reader: headers worked out by hand, the refusals
// that keep a bad header from looping or allocating wildly, and messages.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "glm/glm.h"
#include "glm/glm_internal.h"

namespace {

struct FreeDeleter {
  void operator()(unsigned char* p) const { free(p); }
};
using Pixels = std::unique_ptr<unsigned char, FreeDeleter>;

std::string ppm_dir() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/plinkar-ppm-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (!made) abort();
    return std::string(made);
  }();
  return dir;
}

std::string write_ppm(const std::string& name, const std::string& bytes) {
  std::string path = ppm_dir() + "/" + name;
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) abort();
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
  return path;
}

// Width and height start at values no read stores, so "untouched" shows.
struct Read {
  Pixels pixels;
  int width = -7;
  int height = -9;
  std::string err;
  std::string path;
};

Read read_file(const std::string& name, const std::string& bytes) {
  Read r;
  r.path = write_ppm(name, bytes);
  testing::internal::CaptureStderr();
  r.pixels.reset(glmReadRawPPM(r.path.c_str(), &r.width, &r.height));
  r.err = testing::internal::GetCapturedStderr();
  return r;
}

// 24 bytes holding a zero, a newline, '#' and high bytes: all pass through.
std::string pixel_bytes(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i)
    s += static_cast<char>(
        "\0\n#\xff"
        "9 a"[i % 7] +
        i / 7);
  return s;
}

void expect_refused(const Read& r, const std::string& message) {
  EXPECT_EQ(r.pixels, nullptr);
  EXPECT_EQ(r.width, -7);
  EXPECT_EQ(r.height, -9);
  EXPECT_EQ(r.err, r.path + ": " + message + "\n");
}

void expect_pixels(const Read& r, int w, int h, const std::string& bytes) {
  ASSERT_NE(r.pixels, nullptr) << r.err;
  EXPECT_EQ(r.width, w);
  EXPECT_EQ(r.height, h);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(r.pixels.get()), bytes.size()), bytes);
  EXPECT_EQ(r.err, "");
}

}  // namespace

TEST(PpmRead, CommentSizeAndMaximumLinesThenPixels) {
  std::string px = pixel_bytes(24);
  Read r = read_file("a.ppm", "P6\n# made by hand\n4 2\n255\n" + px);
  expect_pixels(r, 4, 2, px);
}

TEST(PpmRead, AllThreeValuesOnOneLine) {
  std::string px = pixel_bytes(9);
  expect_pixels(read_file("b.ppm", "P6\n3 1 255\n" + px), 3, 1, px);
}

TEST(PpmRead, CommentLineBetweenSizeAndMaximumIsSkipped) {
  std::string px = pixel_bytes(6);
  expect_pixels(read_file("c.ppm", "P6\n2 1\n# maximum next\n255\n" + px), 2, 1, px);
}

TEST(PpmRead, ValuesOnTheMagicLineAreIgnored) {
  std::string px = pixel_bytes(24);
  expect_pixels(read_file("d.ppm", "P6 9 9 9\n4 2\n255\n" + px), 4, 2, px);
}

TEST(PpmRead, MaximumAbove255StillReadsThreeBytesPerPixel) {
  // Exactly 6 bytes follow: reading two bytes a sample would run short.
  std::string px = pixel_bytes(6);
  expect_pixels(read_file("e.ppm", "P6\n2 1\n65535\n" + px), 2, 1, px);
}

TEST(PpmRead, AsciiP3IsNotRaw) {
  expect_refused(read_file("f.ppm", "P3\n1 1\n255\n0 0 0\n"), "Not a raw PPM file");
}

TEST(PpmRead, EmptyFileIsNotRaw) { expect_refused(read_file("g.ppm", ""), "Not a raw PPM file"); }

TEST(PpmRead, MissingFileIsReportedWithItsName) {
  Read r;
  r.path = ppm_dir() + "/absent.ppm";
  testing::internal::CaptureStderr();
  r.pixels.reset(glmReadRawPPM(r.path.c_str(), &r.width, &r.height));
  r.err = testing::internal::GetCapturedStderr();
  expect_refused(r, strerror(ENOENT));
}

TEST(PpmRead, StreamIsLeftOpenJustAfterThePixels) {
  std::string bytes = "P6\n1 1\n255\nabcZ";
  FILE* file = fmemopen(&bytes[0], bytes.size(), "rb");
  ASSERT_NE(file, nullptr);
  int w = 0, h = 0;
  Pixels pixels(glmReadRawPPMStream(file, "mem", &w, &h));
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(pixels.get()), 3), "abc");
  EXPECT_EQ(fgetc(file), 'Z');
  fclose(file);
}

// A line is read 69 characters at a time, and each piece is a line of its
// own: the piece after a long comment's first 69 is not a comment.
TEST(PpmLongLine, CommentOf68CharactersIsOneLine) {
  std::string px = pixel_bytes(6);
  std::string comment = "#" + std::string(67, '-');
  expect_pixels(read_file("h.ppm", "P6\n" + comment + "\n2 1\n255\n" + px), 2, 1, px);
}

TEST(PpmLongLine, TailOfA75CharacterCommentIsReadForValues) {
  std::string px = pixel_bytes(6);
  std::string comment = "#" + std::string(68, '-') + "2 1 99";
  ASSERT_EQ(comment.size(), 75u);
  expect_pixels(read_file("i.ppm", "P6\n" + comment + "\n" + px), 2, 1, px);
}

TEST(PpmLongLine, TailOfA75CharacterCommentWithoutValuesIsRefused) {
  std::string comment = "#" + std::string(74, '-');
  Read r = read_file("j.ppm", "P6\n" + comment + "\n2 1\n255\n" + pixel_bytes(6));
  expect_refused(r, "PPM header line holds no value");
}

TEST(PpmLongLine, CommentOf69CharactersLeavesAnEmptyPiece) {
  std::string comment = "#" + std::string(68, '-');
  Read r = read_file("k.ppm", "P6\n" + comment + "\n2 1\n255\n" + pixel_bytes(6));
  expect_refused(r, "PPM header line holds no value");
}

TEST(PpmRefused, HeaderEndsBeforeTheMaximum) {
  expect_refused(read_file("l.ppm", "P6\n4 2\n"),
                 "PPM header ends before width, height and maximum");
}

TEST(PpmRefused, OnlyTheMagicLine) {
  expect_refused(read_file("m.ppm", "P6"), "PPM header ends before width, height and maximum");
}

TEST(PpmRefused, BlankHeaderLine) {
  Read r = read_file("n.ppm", "P6\n4 2\n\n255\n" + pixel_bytes(24));
  expect_refused(r, "PPM header line holds no value");
}

TEST(PpmRefused, HeaderLineWithoutANumber) {
  Read r = read_file("o.ppm", "P6\nwide 2\n255\n" + pixel_bytes(24));
  expect_refused(r, "PPM header line holds no value");
}

TEST(PpmRefused, ZeroWidth) {
  expect_refused(read_file("p.ppm", "P6\n0 2\n255\n"), "bad PPM size 0 x 2");
}

TEST(PpmRefused, NegativeHeight) {
  expect_refused(read_file("q.ppm", "P6\n4 -2\n255\n" + pixel_bytes(24)), "bad PPM size 4 x -2");
}

TEST(PpmRefused, SizeWhoseByteCountOverflows) {
  expect_refused(read_file("r.ppm", "P6\n2147483647 2147483647 255\n"),
                 "bad PPM size 2147483647 x 2147483647");
  expect_refused(read_file("s.ppm", "P6\n65536 65536 255\n"), "bad PPM size 65536 x 65536");
  // Beyond int: refused, not wrapped round to a width of 2.
  expect_refused(read_file("s2.ppm", "P6\n4294967298 1 255\n" + pixel_bytes(6)),
                 "bad PPM size 4294967298 x 1");
}

TEST(PpmRefused, SizeJustOverOneGibibyte) {
  // 357913942 * 3 = 1073741826 bytes, two over the limit.
  expect_refused(read_file("t.ppm", "P6\n357913942 1 255\n"), "bad PPM size 357913942 x 1");
}

TEST(PpmRefused, ShortPixelBlock) {
  expect_refused(read_file("u.ppm", "P6\n4 2\n255\n" + pixel_bytes(23)),
                 "PPM pixel data ends early");
}
