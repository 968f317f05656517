// The shipped pictures: headers both the BMP reader and the resource compiler
// accept, and the colours the help card's layout promises.
#include <gtest/gtest.h>

#include "tests/resources/picture_util.h"
#include "tests/support/files.h"

namespace {

// The About window places its pieces for exactly these sizes.
TEST(HelpCardPictures, AreUncompressed24BitBottomUpWithThePlainHeader) {
  const std::tuple<const char*, uint32_t, uint32_t> pictures[] = {
      {"backdrop.bmp", 800, 600},  {"about_icon.bmp", 48, 48}, {"about_version.bmp", 240, 24},
      {"about_note.bmp", 240, 20}, {"about_ok.bmp", 84, 26},
  };
  for (const auto& [name, width, height] : pictures) {
    SCOPED_TRACE(name);
    const std::string b = readFile(ResourcePath(name));
    const uint32_t size = 54 + (width * 3 + 3) / 4 * 4 * height;
    ASSERT_EQ(b.size(), size);
    // Pixels at 54 after a 40-byte header, bottom-up, 24 bits, uncompressed.
    auto le = [](uint32_t v, int n) { return std::string(reinterpret_cast<const char*>(&v), n); };
    EXPECT_EQ(b.substr(0, 34), "BM" + le(size, 4) + le(0, 4) + le(54, 4) + le(40, 4) +
                                   le(width, 4) + le(height, 4) + le(1, 2) + le(24, 2) + le(0, 4));
    const Image image = LoadImage(ResourcePath(name));
    ASSERT_NE(image.Pixels, nullptr);
    EXPECT_EQ(image.Width, width);
    EXPECT_EQ(image.Height, height);
  }
}

bool IsYellow(Rgb c) { return c.R > 200 && c.G > 180 && c.B < 120; }
bool IsRed(Rgb c) { return c.R > 150 && c.G < 80 && c.B < 80; }
bool IsBlue(Rgb c) { return c.B > 150 && c.R < 100 && c.G < 120; }
bool IsDark(Rgb c) { return c.R < 100 && c.G < 100 && c.B < 100; }
bool IsWindow(Rgb c) { return c == Rgb{240, 240, 240}; }
bool IsGrey(Rgb c) { return c.R == c.G && c.G == c.B; }

// The pixels of rows [top, bottom) (counted from the top) that pass.
int Count(const char* name, bool (*test)(Rgb), uint32_t top = 0, uint32_t bottom = 0) {
  const Image image = LoadImage(ResourcePath(name));
  int count = 0;
  for (uint32_t y = top; y < (bottom ? bottom : image.Height); ++y)
    for (uint32_t x = 0; x < image.Width; ++x) count += test(PixelAt(image, x, y));
  return count;
}

// A yellow card: a red rule and title over dark key lines, a blue closing
// line, a blank margin; the About pieces grey on the window's grey, the icon coloured.
TEST(HelpCardPictures, ShowTheColoursTheLayoutPromises) {
  EXPECT_GT(Count("backdrop.bmp", IsYellow), 800 * 600 * 3 / 4);
  EXPECT_GT(Count("backdrop.bmp", IsRed, 0, 130), 1000);  // the heading's rule
  EXPECT_GT(Count("backdrop.bmp", IsRed, 165, 220), 1500);
  EXPECT_GT(Count("backdrop.bmp", IsDark, 255, 450), 5000);
  EXPECT_EQ(Count("backdrop.bmp", IsRed, 255, 450), 0);
  EXPECT_EQ(Count("backdrop.bmp", IsBlue, 0, 450), 0);
  EXPECT_GT(Count("backdrop.bmp", IsBlue, 495, 560), 1500);
  EXPECT_EQ(Count("backdrop.bmp", IsYellow, 560, 600), 800 * 40);
  for (const char* name : {"about_version.bmp", "about_note.bmp", "about_ok.bmp"}) {
    EXPECT_EQ(Count(name, IsGrey), Count(name, [](Rgb) { return true; })) << name;
    EXPECT_GT(Count(name, IsWindow), Count(name, IsGrey) / 2) << name;
    EXPECT_GT(Count(name, IsDark), 20) << name;
  }
  const Image icon = LoadImage(ResourcePath("about_icon.bmp"));
  EXPECT_EQ(PixelAt(icon, 0, 0), (Rgb{240, 240, 240}));  // the window's grey
  EXPECT_EQ(PixelAt(icon, 47, 47), (Rgb{240, 240, 240}));
  EXPECT_GT(Count("about_icon.bmp", IsRed), 200);
  EXPECT_GT(Count("about_icon.bmp", IsYellow), 200);
}

}  // namespace
