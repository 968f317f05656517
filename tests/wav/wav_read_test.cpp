// Tests for the RIFF WAVE reader: header fields, chunk walking and refusals.
#include "wav_read.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void Append(Bytes& b, const char* four) { b.insert(b.end(), four, four + 4); }

void Append32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back((v >> (8 * i)) & 0xff);
}

void Append16(Bytes& b, uint32_t v) {
  b.push_back(v & 0xff);
  b.push_back((v >> 8) & 0xff);
}

struct Layout {
  int format = 1;
  int channels = 2;
  uint32_t rate = 44100;
  int bits = 16;
  int block_align = 4;
  bool fmt_first = true;
  std::string extra;  // body of a "LIST" chunk placed before the data
};

// A RIFF WAVE image with the given header and samples.
Bytes MakeWav(const Layout& l, const std::vector<int16_t>& samples) {
  Bytes fmt;
  Append(fmt, "fmt ");
  Append32(fmt, 16);
  Append16(fmt, l.format);
  Append16(fmt, l.channels);
  Append32(fmt, l.rate);
  Append32(fmt, l.rate * l.block_align);
  Append16(fmt, l.block_align);
  Append16(fmt, l.bits);
  Bytes data;
  Append(data, "data");
  Append32(data, samples.size() * 2);
  for (int16_t s : samples) Append16(data, static_cast<uint16_t>(s));
  Bytes body;
  Append(body, "WAVE");
  const Bytes& first = l.fmt_first ? fmt : data;
  const Bytes& second = l.fmt_first ? data : fmt;
  body.insert(body.end(), first.begin(), first.end());
  if (!l.extra.empty()) {
    Append(body, "LIST");
    Append32(body, l.extra.size());
    body.insert(body.end(), l.extra.begin(), l.extra.end());
    if (l.extra.size() & 1) body.push_back(0);
  }
  body.insert(body.end(), second.begin(), second.end());
  Bytes out;
  Append(out, "RIFF");
  Append32(out, body.size());
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

TEST(WavRead, ReadsHeaderAndInterleavedSamples) {
  Layout l;
  l.extra = "odd";  // an unknown chunk with a pad byte to skip
  WavSound sound;
  std::string error;
  ASSERT_TRUE(ParseWav(MakeWav(l, {1, -2, 32767, -32768}), &sound, &error)) << error;
  EXPECT_EQ(sound.format, 1);
  EXPECT_EQ(sound.channels, 2);
  EXPECT_EQ(sound.sample_rate, 44100);
  EXPECT_EQ(sound.bits, 16);
  EXPECT_EQ(sound.samples, (std::vector<int16_t>{1, -2, 32767, -32768}));
  EXPECT_EQ(FrameCount(sound), 2u);
}

TEST(WavRead, KeepsTheHeaderOfOtherEncodingsWithoutSamples) {
  Layout l;
  l.format = 3;
  l.bits = 32;
  l.block_align = 8;
  WavSound sound;
  std::string error;
  ASSERT_TRUE(ParseWav(MakeWav(l, {0, 0, 0, 0}), &sound, &error)) << error;
  EXPECT_EQ(sound.format, 3);
  EXPECT_EQ(sound.bits, 32);
  EXPECT_TRUE(sound.samples.empty());
}

TEST(WavRead, RefusesBrokenFiles) {
  const Bytes good = MakeWav(Layout(), {1, 2, 3, 4});
  Bytes not_riff = good;
  not_riff[0] = 'X';
  Bytes wrong_size = good;
  wrong_size[4] += 1;
  Bytes truncated(good.begin(), good.end() - 3);
  truncated[4] -= 3;
  Bytes trailing = good;
  trailing.push_back(0);
  trailing[4] += 1;
  Layout data_first;
  data_first.fmt_first = false;
  Layout bad_align;
  bad_align.block_align = 3;
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"empty", {}},
      {"not RIFF", not_riff},
      {"RIFF size off by one", wrong_size},
      {"data cut short", truncated},
      {"byte after the last chunk", trailing},
      {"data before fmt", MakeWav(data_first, {1, 2})},
      {"block align", MakeWav(bad_align, {1, 2})},
      {"half a frame", MakeWav(Layout(), {1, 2, 3})},
  };
  for (const auto& [name, bytes] : cases) {
    WavSound sound;
    std::string error;
    EXPECT_FALSE(ParseWav(bytes, &sound, &error)) << name;
    EXPECT_FALSE(error.empty()) << name;
  }
}

TEST(WavRead, ReportsAMissingFile) {
  WavSound sound;
  std::string error;
  EXPECT_FALSE(ReadWav("/nonexistent/none.wav", &sound, &error));
  EXPECT_EQ(error, "cannot open");
}

}  // namespace
