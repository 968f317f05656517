// The shipped help-card and About pictures: headers the player's BMP reader
// and the Windows resource compiler both accept, and the colours the help
// card's layout promises.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "tests/resources/picture_util.h"
#include "tests/support/files.h"

namespace {

uint32_t Le(const std::string& b, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(b[at + i]);
  return value;
}

// The About window places its pieces for exactly these sizes.
TEST(HelpCardPictures, AreUncompressed24BitBottomUpWithThePlainHeader) {
  const struct {
    const char* name;
    uint32_t width, height;
  } pictures[] = {
      {"backdrop.bmp", 800, 600},  {"about_icon.bmp", 48, 48}, {"about_version.bmp", 240, 24},
      {"about_note.bmp", 240, 20}, {"about_ok.bmp", 84, 26},
  };
  for (const auto& file : pictures) {
    SCOPED_TRACE(file.name);
    const std::string b = readFile(ResourcePath(file.name));
    ASSERT_EQ(b.size(), 54 + (file.width * 3 + 3) / 4 * 4 * file.height);
    EXPECT_EQ(b.substr(0, 2), "BM");
    // size, pixel offset, header size, width, height (positive: bottom-up),
    // one plane, 24 bits, no compression
    const uint32_t fields[][3] = {{2, 4, static_cast<uint32_t>(b.size())},
                                  {10, 4, 54},
                                  {14, 4, 40},
                                  {18, 4, file.width},
                                  {22, 4, file.height},
                                  {26, 2, 1},
                                  {28, 2, 24},
                                  {30, 4, 0}};
    for (const auto& f : fields) EXPECT_EQ(Le(b, f[0], f[1]), f[2]) << "at byte " << f[0];
    const Image image = LoadImage(ResourcePath(file.name));
    ASSERT_NE(image.Pixels, nullptr);
    EXPECT_EQ(image.Width, file.width);
    EXPECT_EQ(image.Height, file.height);
  }
}

bool IsYellow(Rgb c) { return c.R > 200 && c.G > 180 && c.B < 120; }
bool IsRed(Rgb c) { return c.R > 150 && c.G < 80 && c.B < 80; }
bool IsBlue(Rgb c) { return c.B > 150 && c.R < 100 && c.G < 120; }
bool IsDark(Rgb c) { return c.R < 100 && c.G < 100 && c.B < 100; }

// The pixels of rows [top, bottom) (counted from the top) that pass.
int CountInRows(const Image& image, uint32_t top, uint32_t bottom,
                const std::function<bool(Rgb)>& test) {
  int count = 0;
  for (uint32_t y = top; y < bottom; ++y)
    for (uint32_t x = 0; x < image.Width; ++x) count += test(PixelAt(image, x, y));
  return count;
}

TEST(HelpCardPictures, BackdropIsYellowWithARedTitleAndABlueClosingLine) {
  const Image card = LoadImage(ResourcePath("backdrop.bmp"));
  ASSERT_NE(card.Pixels, nullptr);
  ASSERT_EQ(card.Height, 600u);
  EXPECT_GT(CountInRows(card, 0, 600, IsYellow), 800 * 600 * 3 / 4);
  // The emblem and heading at the top, under them a red rule.
  EXPECT_GT(CountInRows(card, 0, 130, IsRed), 1000);
  EXPECT_GT(CountInRows(card, 0, 130, IsDark), 2000);
  // The how-to-play title: red, nothing blue.
  EXPECT_GT(CountInRows(card, 165, 220, IsRed), 1500);
  EXPECT_EQ(CountInRows(card, 165, 220, IsBlue), 0);
  // The key lines: dark text only.
  EXPECT_GT(CountInRows(card, 255, 450, IsDark), 5000);
  EXPECT_EQ(CountInRows(card, 255, 450, IsRed) + CountInRows(card, 255, 450, IsBlue), 0);
  // The closing cheer near the bottom: blue, nothing red.
  EXPECT_GT(CountInRows(card, 495, 560, IsBlue), 1500);
  EXPECT_EQ(CountInRows(card, 495, 560, IsRed), 0);
  EXPECT_EQ(CountInRows(card, 560, 600, IsYellow), 800 * 40);
}

TEST(HelpCardPictures, AboutPicturesSitOnTheWindowBackground) {
  const Rgb background = {240, 240, 240};
  auto isBackground = [&](Rgb c) { return c == background; };
  for (const char* name : {"about_version.bmp", "about_note.bmp", "about_ok.bmp"}) {
    SCOPED_TRACE(name);
    const Image text = LoadImage(ResourcePath(name));
    ASSERT_NE(text.Pixels, nullptr);
    EXPECT_GT(CountInRows(text, 0, text.Height, isBackground), int(text.Width * text.Height / 2));
    EXPECT_GT(CountInRows(text, 0, text.Height, IsDark), 20);
    EXPECT_EQ(CountInRows(text, 0, text.Height, [](Rgb c) { return c.R != c.G || c.G != c.B; }), 0);
  }
  const Image icon = LoadImage(ResourcePath("about_icon.bmp"));
  ASSERT_NE(icon.Pixels, nullptr);
  EXPECT_EQ(PixelAt(icon, 0, 0), background);
  EXPECT_EQ(PixelAt(icon, 47, 47), background);
  EXPECT_GT(CountInRows(icon, 0, 48, IsRed), 200);
  EXPECT_GT(CountInRows(icon, 0, 48, IsYellow), 200);
}

}  // namespace
