// The binary PPM reader: headers, and refusals that keep bad ones from looping or
// allocating wildly.
#include <cerrno>
#include <cstring>

#include "glm/glm_internal.h"
#include "test_util.h"

// Width and height start at values no read stores, so "untouched" shows.
struct Read {
  std::unique_ptr<unsigned char, void (*)(void*)> pixels{nullptr, free};
  int width = -7, height = -9;
  std::string err, path;
};

// Each file its own, left for a look after a failure; or, given, the path.
static Read read_file(const std::string& bytes, const std::string& path = "") {
  static int count = 0;
  Read r;
  r.path = path.empty() ? writeFile(std::to_string(count++) + ".ppm", bytes) : path;
  testing::internal::CaptureStderr();
  r.pixels.reset(glmReadRawPPM(r.path.c_str(), &r.width, &r.height));
  r.err = testing::internal::GetCapturedStderr();
  return r;
}

// Bytes holding a zero, a newline, '#' and high bytes: all pass through.
static std::string pixel_bytes(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>("\0\n#\xff\x39 a"[i % 7] + i / 7);
  return s;
}

// Header lines are read 69 characters at a time; a comment of any length ends at the line end.
TEST(PpmRead, HeaderLayoutsGiveTheSizeAndThePixelsAsStored) {
  const struct {
    std::string header;
    int w, h;
  } cases[] = {
      {"P6\n# made by hand\n4 2\n255\n", 4, 2},
      {"P6\n3 1 255\n", 3, 1},
      {"P6\n2 1\n# maximum next\n255\n", 2, 1},
      {"P6 9 9 9\n4 2\n255\n", 4, 2},  // values on the magic line are ignored
      // Above 255 still 3 bytes a pixel: reading two a sample would run short.
      {"P6\n2 1\n65535\n", 2, 1},
      {"P6\n#" + std::string(62, '-') + " 9 9 9\n4 2\n255\n", 4, 2},
      {"P6\n#" + std::string(68, '-') + " 9 9 9\n4 2\n255\n", 4, 2},
      {"P6\n#" + std::string(200, '-') + " 9 9 9\n4 2\n255\n", 4, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    const std::string px = pixel_bytes(c.w * c.h * 3);
    Read r = read_file(c.header + px);
    ASSERT_NE(r.pixels, nullptr) << r.err;
    EXPECT_EQ(r.width, c.w);
    EXPECT_EQ(r.height, c.h);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(r.pixels.get()), px.size()), px);
    EXPECT_EQ(r.err, "");
  }
  // A stream is left open just after the pixels.
  std::string bytes = "P6\n1 1\n255\nabcZ";
  FILE* file = fmemopen(&bytes[0], bytes.size(), "rb");
  int w = 0, h = 0;
  free(glmReadRawPPMStream(file, "mem", &w, &h));
  EXPECT_EQ(fgetc(file), 'Z');
  fclose(file);
}

TEST(PpmRefused, EachBadFileNamesItsFaultAndLeavesTheSizeUntouched) {
  const std::string ends = "PPM header ends before width, height and maximum";
  const std::string no_value = "PPM header line holds no value";
  const struct {
    std::string bytes, message, path = "";
  } cases[] = {
      {"", strerror(ENOENT), testDir() + "/absent.ppm"},
      {"P3\n1 1\n255\n0 0 0\n", "Not a raw PPM file"},
      {"", "Not a raw PPM file"},
      {"P6\n4 2\n", ends},
      {"P6", ends},
      {"P6\n4 2\n\n255\n" + pixel_bytes(24), no_value},
      {"P6\nwide 2\n255\n" + pixel_bytes(24), no_value},
      {"P6\n0 2\n255\n", "bad PPM size 0 x 2"},
      {"P6\n4 -2\n255\n" + pixel_bytes(24), "bad PPM size 4 x -2"},
      {"P6\n2147483647 2147483647 255\n", "bad PPM size 2147483647 x 2147483647"},
      {"P6\n65536 65536 255\n", "bad PPM size 65536 x 65536"},
      {"P6\n4294967298 1 255\n" + pixel_bytes(6), "bad PPM size 4294967298 x 1"},  // not 2
      {"P6\n357913942 1 255\n", "bad PPM size 357913942 x 1"},  // 2 bytes over the limit
      {"P6\n4 2\n255\n" + pixel_bytes(23), "PPM pixel data ends early"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.substr(0, 30));
    const Read r = read_file(c.bytes, c.path);
    EXPECT_EQ(r.pixels, nullptr);
    EXPECT_EQ(r.width, -7);
    EXPECT_EQ(r.height, -9);
    EXPECT_EQ(r.err, r.path + ": " + c.message + "\n");
  }
}
