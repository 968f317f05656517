// The shipped help-card and About pictures: headers the player's BMP reader
// and the Windows resource compiler both accept, and the colours the help
// card's layout promises.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/bmp.h"
#include "tests/resources/picture_util.h"

namespace {

std::vector<unsigned char> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

uint16_t Le16(const std::vector<unsigned char>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

struct PictureFile {
  const char* Name;
  uint32_t Width;
  uint32_t Height;
};

// The About window places its pieces for exactly these sizes.
const PictureFile kPictures[] = {
    {"backdrop.bmp", 800, 600},  {"about_icon.bmp", 48, 48}, {"about_version.bmp", 240, 24},
    {"about_note.bmp", 240, 20}, {"about_ok.bmp", 84, 26},
};

TEST(HelpCardPictures, AreUncompressed24BitBottomUpWithThePlainHeader) {
  for (const PictureFile& file : kPictures) {
    SCOPED_TRACE(file.Name);
    const std::vector<unsigned char> b = FileBytes(ResourcePath(file.Name));
    const size_t rowBytes = (file.Width * 3 + 3) / 4 * 4;
    ASSERT_EQ(b.size(), 54 + rowBytes * file.Height);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(Le32(b, 2), b.size());
    EXPECT_EQ(Le32(b, 10), 54u);
    EXPECT_EQ(Le32(b, 14), 40u);
    EXPECT_EQ(Le32(b, 18), file.Width);
    EXPECT_EQ(static_cast<int32_t>(Le32(b, 22)), static_cast<int32_t>(file.Height));
    EXPECT_EQ(Le16(b, 26), 1);
    EXPECT_EQ(Le16(b, 28), 24);
    EXPECT_EQ(Le32(b, 30), 0u);

    const Image image = LoadImage(ResourcePath(file.Name));
    ASSERT_NE(image.Pixels, nullptr);
    EXPECT_EQ(image.Width, file.Width);
    EXPECT_EQ(image.Height, file.Height);
  }
  EXPECT_EQ(FileBytes(ResourcePath("backdrop.bmp")).size(), 1440054u);
}

bool IsYellow(Rgb c) { return c.R > 200 && c.G > 180 && c.B < 120; }
bool IsRed(Rgb c) { return c.R > 150 && c.G < 80 && c.B < 80; }
bool IsBlue(Rgb c) { return c.B > 150 && c.R < 100 && c.G < 120; }
bool IsDark(Rgb c) { return c.R < 100 && c.G < 100 && c.B < 100; }

// Counts the pixels of rows [top, bottom) (counted from the top) that pass.
template <typename Test>
int CountInRows(const Image& image, uint32_t top, uint32_t bottom, Test test) {
  int count = 0;
  for (uint32_t y = top; y < bottom; ++y)
    for (uint32_t x = 0; x < image.Width; ++x) count += test(PixelAt(image, x, y)) ? 1 : 0;
  return count;
}

TEST(HelpCardPictures, BackdropIsYellowWithARedTitleAndABlueClosingLine) {
  const Image card = LoadImage(ResourcePath("backdrop.bmp"));
  ASSERT_NE(card.Pixels, nullptr);
  ASSERT_EQ(card.Height, 600u);
  const int all = 800 * 600;
  EXPECT_GT(CountInRows(card, 0, 600, IsYellow), all * 3 / 4);

  // The emblem and heading at the top, under them a red rule.
  EXPECT_GT(CountInRows(card, 0, 130, IsRed), 1000);
  EXPECT_GT(CountInRows(card, 0, 130, IsDark), 2000);
  // The how-to-play title: red, nothing blue.
  EXPECT_GT(CountInRows(card, 165, 220, IsRed), 1500);
  EXPECT_EQ(CountInRows(card, 165, 220, IsBlue), 0);
  // The key lines: dark text only.
  EXPECT_GT(CountInRows(card, 255, 450, IsDark), 5000);
  EXPECT_EQ(CountInRows(card, 255, 450, IsRed), 0);
  EXPECT_EQ(CountInRows(card, 255, 450, IsBlue), 0);
  // The closing cheer near the bottom: blue, nothing red.
  EXPECT_GT(CountInRows(card, 495, 560, IsBlue), 1500);
  EXPECT_EQ(CountInRows(card, 495, 560, IsRed), 0);
  EXPECT_EQ(CountInRows(card, 560, 600, IsYellow), 800 * 40);
}

TEST(HelpCardPictures, AboutPicturesSitOnTheWindowBackground) {
  const Rgb background = {240, 240, 240};
  for (const char* name : {"about_version.bmp", "about_note.bmp", "about_ok.bmp"}) {
    SCOPED_TRACE(name);
    const Image text = LoadImage(ResourcePath(name));
    ASSERT_NE(text.Pixels, nullptr);
    const int all = static_cast<int>(text.Width * text.Height);
    EXPECT_GT(CountInRows(text, 0, text.Height, [&](Rgb c) { return c == background; }), all / 2);
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
