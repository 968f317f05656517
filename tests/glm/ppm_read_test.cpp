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
#include "test_util.h"

namespace {

using Pixels = std::unique_ptr<unsigned char, void (*)(void*)>;

// Width and height start at values no read stores, so "untouched" shows.
struct Read {
  Pixels pixels{nullptr, free};
  int width = -7, height = -9;
  std::string err, path;
};

Read read_path(const std::string& path) {
  Read r;
  r.path = path;
  testing::internal::CaptureStderr();
  r.pixels.reset(glmReadRawPPM(r.path.c_str(), &r.width, &r.height));
  r.err = testing::internal::GetCapturedStderr();
  return r;
}

// Every read gets a file of its own, left behind for a look after a failure.
Read read_file(const std::string& bytes) {
  static int count = 0;
  return read_path(writeFile(std::to_string(count++) + ".ppm", bytes));
}

// 24 bytes holding a zero, a newline, '#' and high bytes: all pass through.
std::string pixel_bytes(size_t n) {
  const char base[] = {'\0', '\n', '#', '\xff', '9', ' ', 'a'};
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>(base[i % 7] + i / 7);
  return s;
}

void expect_refused(const Read& r, const std::string& message) {
  EXPECT_EQ(r.pixels, nullptr);
  EXPECT_EQ(r.width, -7);
  EXPECT_EQ(r.height, -9);
  EXPECT_EQ(r.err, r.path + ": " + message + "\n");
}

void expect_refused(const char* why, const std::string& bytes, const std::string& message) {
  SCOPED_TRACE(why);
  expect_refused(read_file(bytes), message);
}

// The header, then exactly the w * h * 3 pixel bytes it asks for.
void expect_pixels(const char* why, const std::string& header, int w, int h) {
  SCOPED_TRACE(why);
  std::string px = pixel_bytes(w * h * 3);
  Read r = read_file(header + px);
  ASSERT_NE(r.pixels, nullptr) << r.err;
  EXPECT_EQ(r.width, w);
  EXPECT_EQ(r.height, h);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(r.pixels.get()), px.size()), px);
  EXPECT_EQ(r.err, "");
}

// Header lines are read 69 characters at a time; a comment is skipped to
// its line end whatever its length.
std::string comment(size_t dashes, const std::string& tail = "") {
  return "#" + std::string(dashes, '-') + tail;
}

}  // namespace

TEST(PpmRead, HeaderLayoutsGiveTheSizeAndThePixelsAsStored) {
  expect_pixels("comment, size and maximum lines", "P6\n# made by hand\n4 2\n255\n", 4, 2);
  expect_pixels("all three values on one line", "P6\n3 1 255\n", 3, 1);
  expect_pixels("comment between size and maximum", "P6\n2 1\n# maximum next\n255\n", 2, 1);
  expect_pixels("values on the magic line are ignored", "P6 9 9 9\n4 2\n255\n", 4, 2);
  // Exactly 6 bytes follow: reading two bytes a sample would run short.
  expect_pixels("maximum above 255, still 3 bytes a pixel", "P6\n2 1\n65535\n", 2, 1);
  for (size_t length : {62, 68, 100, 200}) {  // 62: the first piece ends at the line end
    SCOPED_TRACE(length);
    expect_pixels("long comment", "P6\n" + comment(length, " 9 9 9") + "\n4 2\n255\n", 4, 2);
  }
}

TEST(PpmRead, StreamIsLeftOpenJustAfterThePixels) {
  std::string bytes = "P6\n1 1\n255\nabcZ";
  FILE* file = fmemopen(&bytes[0], bytes.size(), "rb");
  ASSERT_NE(file, nullptr);
  int w = 0, h = 0;
  Pixels pixels(glmReadRawPPMStream(file, "mem", &w, &h), free);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(pixels.get()), 3), "abc");
  EXPECT_EQ(fgetc(file), 'Z');
  fclose(file);
}

TEST(PpmRefused, EachBadFileNamesItsFaultAndLeavesTheSizeUntouched) {
  // A missing file is reported with its name, as perror does.
  expect_refused(read_path(testDir() + "/absent.ppm"), strerror(ENOENT));
  expect_refused("ascii P3", "P3\n1 1\n255\n0 0 0\n", "Not a raw PPM file");
  expect_refused("empty file", "", "Not a raw PPM file");

  const std::string ends = "PPM header ends before width, height and maximum";
  expect_refused("ends before the maximum", "P6\n4 2\n", ends);
  expect_refused("only the magic line", "P6", ends);

  const std::string no_value = "PPM header line holds no value";
  expect_refused("blank header line", "P6\n4 2\n\n255\n" + pixel_bytes(24), no_value);
  expect_refused("line without a number", "P6\nwide 2\n255\n" + pixel_bytes(24), no_value);

  expect_refused("zero width", "P6\n0 2\n255\n", "bad PPM size 0 x 2");
  expect_refused("negative height", "P6\n4 -2\n255\n" + pixel_bytes(24), "bad PPM size 4 x -2");
  expect_refused("2147483647 squared", "P6\n2147483647 2147483647 255\n",
                 "bad PPM size 2147483647 x 2147483647");
  expect_refused("65536 squared", "P6\n65536 65536 255\n", "bad PPM size 65536 x 65536");
  // Beyond int: refused, not wrapped round to a width of 2.
  expect_refused("width beyond int", "P6\n4294967298 1 255\n" + pixel_bytes(6),
                 "bad PPM size 4294967298 x 1");
  // 357913942 * 3 = 1073741826 bytes, two over the limit.
  expect_refused("just over one gibibyte", "P6\n357913942 1 255\n", "bad PPM size 357913942 x 1");

  expect_refused("short pixel block", "P6\n4 2\n255\n" + pixel_bytes(23),
                 "PPM pixel data ends early");
}
