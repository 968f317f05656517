// The spectrum measures on tones made here, where the answer is known.
#include "audio_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// Stereo at 44.1 kHz, {hz, amplitude} pairs summed on both channels.
WavSound Tone(const std::vector<std::pair<double, double>>& partials) {
  WavSound s;
  s.format = 1;
  s.channels = 2;
  s.sample_rate = 44100;
  s.bits = 16;
  for (int i = 0; i < 44100; ++i) {
    double v = 0;
    for (const auto& [hz, amplitude] : partials)
      v += amplitude * std::sin(2 * M_PI * hz * i / 44100);
    s.samples.insert(s.samples.end(), 2, static_cast<int16_t>(std::lround(v * 32767)));
  }
  return s;
}

TEST(AudioAnalysis, PitchChromaCentroidLevelsAndOnset) {
  EXPECT_NEAR(NoteHz(60), 261.6256, 1e-3);
  EXPECT_NEAR(Cents(440.0, 880.0), -1200.0, 1e-9);
  // Between bins, so only the interpolation gets within a cent; an overtone
  // louder than the fundamental still gives the fundamental.
  const Spectrum pure = PowerSpectrum(Tone({{277.28, 0.5}}), 0, 32768, 131072);
  EXPECT_NEAR(Cents(FundamentalHz(pure, 50, 2000), 277.28), 0.0, 1.0);
  const Spectrum octave =
      PowerSpectrum(Tone({{196, 0.2}, {392, 0.5}, {588, 0.2}}), 0, 32768, 131072);
  EXPECT_NEAR(Cents(FundamentalHz(octave, 50, 2000), 196.0), 0.0, 1.0);
  EXPECT_EQ(FundamentalHz(pure, 3000, 2000), 0.0);

  std::vector<std::pair<double, double>> a_minor;  // string-like: harmonics at 1/h
  for (int note : {45, 52, 57, 60, 64})
    for (int h = 1; h <= 8; ++h) a_minor.push_back({h * NoteHz(note), 0.06 / h});
  const Spectrum chord = PowerSpectrum(Tone(a_minor), 0, 32768, 65536);
  EXPECT_EQ(StrongestPitchClasses(Chroma(chord, 70, 2000), 3), 1u << 9 | 1u << 0 | 1u << 4);

  EXPECT_NEAR(SpectralCentroidHz(PowerSpectrum(Tone({{100, 0.5}}), 0, 16384, 16384)), 100, 5);
  EXPECT_NEAR(SpectralCentroidHz(PowerSpectrum(Tone({{5000, 0.5}}), 0, 16384, 16384)), 5000, 5);
  WavSound s = Tone({{1000.0, 0.5}});
  EXPECT_NEAR(Rms(s, 0, 44100), 0.5 / std::sqrt(2.0), 1e-3);
  EXPECT_EQ(Rms(s, 44100, 10), 0.0);
  EXPECT_NEAR(PeakSample(s), 16384, 2);
  std::fill(s.samples.begin(), s.samples.begin() + 2 * 300, 0);  // silence, then a step
  EXPECT_EQ(FirstFrameAbove(s, 1000), 300u);
  EXPECT_EQ(FirstFrameAbove(s, 20000), FrameCount(s));
}

}  // namespace
