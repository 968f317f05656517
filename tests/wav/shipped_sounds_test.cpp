// The shipped sounds: playable as they are, pitch, chord notes and brightness.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "audio_analysis.h"
#include "tests/support/wav_read.h"

namespace {

constexpr int kRate = 44100;

WavSound Load(const std::string& name) {
  WavSound sound;
  std::string error;
  EXPECT_TRUE(ReadWav(PLINKAR_WAV_DIR "/" + name, &sound, &error)) << name << ": " << error;
  return sound;
}

double Seconds(const WavSound& s) { return static_cast<double>(FrameCount(s)) / kRate; }

const char* const kPiano[] = {"do", "re", "me", "pa", "sol", "ra", "si", "ddo", "mi"};
const int kPianoNotes[] = {60, 62, 64, 65, 67, 69, 71, 72, 76};
const std::pair<const char*, std::vector<int>> kChords[] = {  // pitch classes, 0 = C
    {"Am", {9, 0, 4}},     {"C", {0, 4, 7}}, {"D", {2, 6, 9}},
    {"E6", {4, 8, 11, 1}}, {"F", {5, 9, 0}}, {"G7", {7, 11, 2, 5}}};
const char* const kDrums[] = {"base", "drum", "snare", "hat", "sim"};

// Stereo 16-bit 44.1 kHz, 0.5-3 s, loud unclipped, within 30 dB of its peak in
// 5 ms (a strum peaks later), dying away to silence without a click.
TEST(EverySound, IsPlayableAsItIs) {
  std::vector<std::string> files;
  for (const char* n : kPiano) files.push_back(std::string("piano/") + n + ".wav");
  for (const auto& c : kChords) files.push_back(std::string("gita/통기타") + c.first + ".wav");
  for (const char* n : kDrums) files.push_back(std::string("drum/") + n + ".wav");
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    const WavSound s = Load(file);
    ASSERT_EQ(s.format, 1);  // PCM
    ASSERT_EQ(s.bits, 16);
    ASSERT_EQ(s.sample_rate, kRate);
    ASSERT_EQ(s.channels, 2);
    EXPECT_GE(Seconds(s), 0.5);
    EXPECT_LE(Seconds(s), 3.0);
    const int peak = PeakSample(s);
    EXPECT_LT(peak, 32767);
    EXPECT_GT(peak, 32768 / 10) << "quieter than -20 dBFS";
    EXPECT_LT(FirstFrameAbove(s, peak / 30), static_cast<size_t>(kRate * 5 / 1000));
    EXPECT_LT(Rms(s, FrameCount(s) - kRate / 50, kRate / 50), Rms(s, 0, kRate / 10) / 30);
    EXPECT_LT(std::abs(s.samples[s.samples.size() - 1]), 8);
  }
}

TEST(PianoSounds, FundamentalWithinTenCentsOfItsNoteAndAboutASecondAndAHalf) {
  for (size_t i = 0; i < std::size(kPiano); i++) {
    const WavSound s = Load(std::string("piano/") + kPiano[i] + ".wav");
    // 0.74 s from 50 ms in, past the hammer's noise; 52 Hz to 2 kHz.
    const double hz = FundamentalHz(Window(s, kRate / 20, 32768), 32, 95);
    EXPECT_NEAR(Cents(hz, NoteHz(kPianoNotes[i])), 0.0, 10.0) << kPiano[i] << ": " << hz << " Hz";
    EXPECT_NEAR(Seconds(s), 1.5, 0.2) << kPiano[i];
  }
}

TEST(GuitarChords, StrongestPitchClassesAreTheChordsAndLastAboutTwoSeconds) {
  for (const auto& [name, pitch_classes] : kChords) {
    const WavSound s = Load(std::string("gita/통기타") + name + ".wav");
    // 0.74 s from 100 ms in, once every string of the strum sounds; 73 Hz to 2 kHz.
    const Frames frames = Window(s, kRate / 10, 32768);
    unsigned want = 0;
    for (int pc : pitch_classes) want |= 1u << pc;
    EXPECT_EQ(StrongestPitchClasses(frames, 38, 95, static_cast<int>(pitch_classes.size())), want)
        << name;
    EXPECT_NEAR(Seconds(s), 2.0, 0.25) << name;
  }
}

// Brightness over the first 200 ms, where each drum's character is, and the
// pitch of its boom (33 Hz to 1 kHz).
TEST(DrumSounds, BrightnessRisesFromBassDrumToCymbalsAndTheDrumsBoomLow) {
  double bright[5], low[5];
  for (int i = 0; i < 5; i++) {
    const WavSound s = Load(std::string("drum/") + kDrums[i] + ".wav");
    bright[i] = CrossingHz(s, 0, kRate / 5);
    low[i] = FundamentalHz(Window(s, 0, 16384), 24, 83);
  }
  EXPECT_LT(bright[0], bright[1]);
  EXPECT_LT(bright[1], bright[2]);
  EXPECT_GT(bright[3], 2 * bright[2]) << "hi-hat";
  EXPECT_GT(bright[4], 2 * bright[2]) << "cymbal";
  EXPECT_GT(bright[3], 5000.0);
  EXPECT_LT(low[0], 100.0);
  EXPECT_GT(low[1], low[0]);
  EXPECT_LT(low[1], 250.0);
}

}  // namespace
