// The file names the player's sound names open.
#include <gtest/gtest.h>

#include <string>

#include "platform/sound_internal.h"

namespace {

TEST(SoundFilePath, AsciiNamesKeepTheirBytesAndGetSlashes) {
  EXPECT_EQ(soundFilePath("wav/piano/do.wav"), "wav/piano/do.wav");
  EXPECT_EQ(soundFilePath("wav\\piano\\do.wav"), "wav/piano/do.wav");
  EXPECT_EQ(soundFilePath("\\\\a\\\\b\\"), "//a//b/");
  EXPECT_EQ(soundFilePath(""), "");
}

TEST(SoundFilePath, Cp949BytesBecomeUtf8) {
  // "통기타" in code page 949.
  EXPECT_EQ(soundFilePath("wav\\gita\\\xC5\xEB\xB1\xE2\xC5\xB8"
                          "Am.wav"),
            u8"wav/gita/통기타Am.wav");
  EXPECT_EQ(soundFilePath("\xC5\xEB"), u8"통");
  // A UHC extension syllable, whose trail byte is an ASCII letter: "갂".
  EXPECT_EQ(soundFilePath("\x81\x41.wav"), u8"갂.wav");
}

TEST(SoundFilePath, BytesThatAreNotCp949PassThrough) {
  EXPECT_EQ(soundFilePath("a\xFF"
                          "b"),
            "a\xFF"
            "b");
  EXPECT_EQ(soundFilePath("\x80\\x"), "\x80/x");
  // A lead byte cut off by the end of the name.
  EXPECT_EQ(soundFilePath("x\xC5"), "x\xC5");
  // Valid syllables around a bad byte still convert.
  EXPECT_EQ(soundFilePath("\xC5\xEB\xFF\xB1\xE2\\"), std::string(u8"통") + "\xFF" + u8"기/");
}

}  // namespace
