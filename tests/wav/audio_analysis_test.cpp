// Tests for the spectrum measures on tones made here, where the answer is known.
#include "audio_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Partial {
  double hz;
  double amplitude;
};

// One second of stereo at 44.1 kHz: the same sum of sines on both channels.
WavSound Tone(const std::vector<Partial>& partials, double seconds = 1.0) {
  WavSound s;
  s.format = 1;
  s.channels = 2;
  s.sample_rate = 44100;
  s.bits = 16;
  const size_t frames = static_cast<size_t>(seconds * s.sample_rate);
  for (size_t i = 0; i < frames; ++i) {
    double v = 0;
    for (const Partial& p : partials) {
      v += p.amplitude * std::sin(2 * kPi * p.hz * static_cast<double>(i) / s.sample_rate);
    }
    const auto q = static_cast<int16_t>(std::lround(v * 32767));
    s.samples.push_back(q);
    s.samples.push_back(q);
  }
  return s;
}

// A plucked-string-like note: harmonics falling off as 1/h.
std::vector<Partial> StringNote(int midi_note, double amplitude) {
  std::vector<Partial> out;
  for (int h = 1; h <= 8; ++h) out.push_back({h * NoteHz(midi_note), amplitude / h});
  return out;
}

TEST(AudioAnalysis, NotesAndCents) {
  EXPECT_NEAR(NoteHz(69), 440.0, 1e-9);
  EXPECT_NEAR(NoteHz(60), 261.6256, 1e-3);
  EXPECT_NEAR(Cents(NoteHz(61), NoteHz(60)), 100.0, 1e-9);
  EXPECT_NEAR(Cents(440.0, 880.0), -1200.0, 1e-9);
}

TEST(AudioAnalysis, FundamentalOfPureAndHarmonicTones) {
  // Between bins, so only the interpolation gets within a cent.
  const double hz = 277.18 + 0.1;
  Spectrum pure = PowerSpectrum(Tone({{hz, 0.5}}), 0, 32768, 131072);
  EXPECT_NEAR(Cents(FundamentalHz(pure, 50, 2000), hz), 0.0, 1.0);

  // An overtone louder than the fundamental still reports the fundamental.
  Spectrum loud_octave =
      PowerSpectrum(Tone({{196.0, 0.2}, {392.0, 0.5}, {588.0, 0.2}}), 0, 32768, 131072);
  EXPECT_NEAR(Cents(FundamentalHz(loud_octave, 50, 2000), 196.0), 0.0, 1.0);

  // Nothing in range gives 0.
  EXPECT_EQ(FundamentalHz(pure, 3000, 2000), 0.0);
}

TEST(AudioAnalysis, ChromaOfAChordNamesItsNotes) {
  std::vector<Partial> a_minor;
  for (int note : {45, 52, 57, 60, 64}) {
    for (const Partial& p : StringNote(note, 0.06)) a_minor.push_back(p);
  }
  Spectrum s = PowerSpectrum(Tone(a_minor), 0, 32768, 65536);
  const unsigned a_c_e = (1u << 9) | (1u << 0) | (1u << 4);
  EXPECT_EQ(StrongestPitchClasses(Chroma(s, 70, 2000), 3), a_c_e);

  std::array<double, 12> chroma{};
  chroma[2] = 3;
  chroma[7] = 2;
  chroma[11] = 1;
  EXPECT_EQ(StrongestPitchClasses(chroma, 2), (1u << 2) | (1u << 7));
}

TEST(AudioAnalysis, CentroidLevelsAndOnset) {
  Spectrum low = PowerSpectrum(Tone({{100.0, 0.5}}), 0, 16384, 16384);
  Spectrum high = PowerSpectrum(Tone({{5000.0, 0.5}}), 0, 16384, 16384);
  EXPECT_NEAR(SpectralCentroidHz(low), 100.0, 5.0);
  EXPECT_NEAR(SpectralCentroidHz(high), 5000.0, 5.0);

  WavSound s = Tone({{1000.0, 0.5}});
  EXPECT_NEAR(Rms(s, 0, 44100), 0.5 / std::sqrt(2.0), 1e-3);
  EXPECT_NEAR(PeakSample(s), 16384, 2);
  EXPECT_EQ(Rms(s, 44100, 10), 0.0);

  // Silence, then a step: the onset is the step's frame.
  WavSound step = s;
  std::fill(step.samples.begin(), step.samples.begin() + 2 * 300, 0);
  EXPECT_EQ(FirstFrameAbove(step, 1000), 300u);
  EXPECT_EQ(FirstFrameAbove(step, 20000), FrameCount(step));
}

}  // namespace
