// Checks on the committed sounds in wav/: what the player needs of every file,
// the piano's pitch, the chords' notes and the drums' spectra.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "audio_analysis.h"
#include "tests/support/wav_read.h"

namespace {

constexpr int kRate = 44100;

std::string WavPath(const std::string& name) { return std::string(PLINKAR_WAV_DIR) + "/" + name; }

WavSound Load(const std::string& name) {
  WavSound sound;
  std::string error;
  EXPECT_TRUE(ReadWav(WavPath(name), &sound, &error)) << name << ": " << error;
  return sound;
}

double Seconds(const WavSound& s) { return static_cast<double>(FrameCount(s)) / kRate; }

// A shipped file and an ASCII name for the test's title.
struct SoundFile {
  const char* path;
  const char* name;
};

void PrintTo(const SoundFile& f, std::ostream* os) { *os << f.name; }

const SoundFile kAllSounds[] = {
    {"piano/do.wav", "piano_do"},     {"piano/re.wav", "piano_re"},
    {"piano/me.wav", "piano_me"},     {"piano/pa.wav", "piano_pa"},
    {"piano/sol.wav", "piano_sol"},   {"piano/ra.wav", "piano_ra"},
    {"piano/si.wav", "piano_si"},     {"piano/ddo.wav", "piano_ddo"},
    {"piano/mi.wav", "piano_mi"},     {"drum/drum.wav", "drum_drum"},
    {"drum/snare.wav", "drum_snare"}, {"drum/base.wav", "drum_base"},
    {"drum/hat.wav", "drum_hat"},     {"drum/sim.wav", "drum_sim"},
    {"gita/통기타Am.wav", "gita_Am"}, {"gita/통기타C.wav", "gita_C"},
    {"gita/통기타D.wav", "gita_D"},   {"gita/통기타E6.wav", "gita_E6"},
    {"gita/통기타F.wav", "gita_F"},   {"gita/통기타G7.wav", "gita_G7"},
};

class EverySound : public testing::TestWithParam<SoundFile> {};

// The player plays these as they are: stereo 16-bit PCM at 44.1 kHz.
TEST_P(EverySound, IsStereo16BitPcmAt44100) {
  const WavSound s = Load(GetParam().path);
  EXPECT_EQ(s.format, 1);
  EXPECT_EQ(s.bits, 16);
  EXPECT_EQ(s.sample_rate, kRate);
  EXPECT_EQ(s.channels, 2);
}

TEST_P(EverySound, LastsHalfASecondToThreeSeconds) {
  const WavSound s = Load(GetParam().path);
  EXPECT_GE(Seconds(s), 0.5);
  EXPECT_LE(Seconds(s), 3.0);
}

TEST_P(EverySound, IsLoudWithoutClipping) {
  const WavSound s = Load(GetParam().path);
  const int peak = PeakSample(s);
  EXPECT_LT(peak, 32767);
  EXPECT_GT(peak, 32768 / 10) << "quieter than -20 dBFS";
}

// A key press should sound at once: within 5 ms the sound is within 30 dB of
// its loudest (a strum peaks later, when its treble strings come in).
TEST_P(EverySound, StartsAtOnce) {
  const WavSound s = Load(GetParam().path);
  EXPECT_LT(FirstFrameAbove(s, PeakSample(s) / 30), static_cast<size_t>(kRate * 5 / 1000));
  EXPECT_GT(Rms(s, 0, kRate / 20), 0.03);
}

// Loudest near the start, then dying away to silence without a cut-off click.
TEST_P(EverySound, DecaysToSilence) {
  const WavSound s = Load(GetParam().path);
  const size_t frames = FrameCount(s);
  const double head = Rms(s, 0, kRate / 10);
  const double tail = Rms(s, frames - kRate / 50, kRate / 50);
  EXPECT_LT(tail, head / 30);
  EXPECT_LT(std::abs(s.samples[s.samples.size() - 1]), 8);
  EXPECT_LT(std::abs(s.samples[s.samples.size() - 2]), 8);
}

INSTANTIATE_TEST_SUITE_P(Wav, EverySound, testing::ValuesIn(kAllSounds),
                         [](const testing::TestParamInfo<SoundFile>& info) {
                           return std::string(info.param.name);
                         });

struct PianoNote {
  const char* file;
  int midi_note;
};

void PrintTo(const PianoNote& n, std::ostream* os) { *os << n.file; }

class PianoSound : public testing::TestWithParam<PianoNote> {};

TEST_P(PianoSound, FundamentalWithinTenCentsOfItsNote) {
  const WavSound s = Load(GetParam().file);
  // 0.74 s from 50 ms in, past the hammer's noise.
  const Spectrum spectrum = PowerSpectrum(s, kRate / 20, 32768, 131072);
  const double hz = FundamentalHz(spectrum, 50, 2000);
  const double want = NoteHz(GetParam().midi_note);
  EXPECT_NEAR(Cents(hz, want), 0.0, 10.0) << GetParam().file << ": " << hz << " Hz, want " << want;
}

TEST_P(PianoSound, LastsAboutASecondAndAHalf) {
  EXPECT_NEAR(Seconds(Load(GetParam().file)), 1.5, 0.2);
}

INSTANTIATE_TEST_SUITE_P(
    Wav, PianoSound,
    testing::Values(PianoNote{"piano/do.wav", 60}, PianoNote{"piano/re.wav", 62},
                    PianoNote{"piano/me.wav", 64}, PianoNote{"piano/pa.wav", 65},
                    PianoNote{"piano/sol.wav", 67}, PianoNote{"piano/ra.wav", 69},
                    PianoNote{"piano/si.wav", 71}, PianoNote{"piano/ddo.wav", 72},
                    PianoNote{"piano/mi.wav", 76}),
    [](const testing::TestParamInfo<PianoNote>& info) {
      std::string name = info.param.file + 6;
      return name.substr(0, name.size() - 4);
    });

struct Chord {
  const char* name;
  std::vector<int> pitch_classes;  // 0 = C
};

void PrintTo(const Chord& c, std::ostream* os) { *os << c.name; }

class GuitarChord : public testing::TestWithParam<Chord> {};

std::string ChordFile(const Chord& c) { return std::string("gita/통기타") + c.name + ".wav"; }

TEST_P(GuitarChord, StrongestPitchClassesAreTheChords) {
  const Chord& chord = GetParam();
  const WavSound s = Load(ChordFile(chord));
  // 0.74 s from 100 ms in, once every string of the strum sounds.
  const Spectrum spectrum = PowerSpectrum(s, kRate / 10, 32768, 65536);
  const std::array<double, 12> chroma = Chroma(spectrum, 70, 2000);
  unsigned want = 0;
  for (int pc : chord.pitch_classes) want |= 1u << pc;
  const int k = static_cast<int>(chord.pitch_classes.size());
  EXPECT_EQ(StrongestPitchClasses(chroma, k), want) << chord.name;
}

TEST_P(GuitarChord, LastsAboutTwoSeconds) {
  EXPECT_NEAR(Seconds(Load(ChordFile(GetParam()))), 2.0, 0.25);
}

INSTANTIATE_TEST_SUITE_P(Wav, GuitarChord,
                         testing::Values(Chord{"Am", {9, 0, 4}}, Chord{"C", {0, 4, 7}},
                                         Chord{"D", {2, 6, 9}}, Chord{"E6", {4, 8, 11, 1}},
                                         Chord{"F", {5, 9, 0}}, Chord{"G7", {7, 11, 2, 5}}),
                         [](const testing::TestParamInfo<Chord>& info) { return info.param.name; });

// Spectral centroid of the first 200 ms, where each drum's character is.
double AttackCentroid(const std::string& file) {
  return SpectralCentroidHz(PowerSpectrum(Load(file), 0, kRate / 5, 16384));
}

TEST(DrumSounds, SpectraRiseFromBassDrumToCymbals) {
  const double base = AttackCentroid("drum/base.wav");
  const double tom = AttackCentroid("drum/drum.wav");
  const double snare = AttackCentroid("drum/snare.wav");
  const double hat = AttackCentroid("drum/hat.wav");
  const double crash = AttackCentroid("drum/sim.wav");
  EXPECT_LT(base, tom);
  EXPECT_LT(tom, snare);
  EXPECT_GT(hat, 2 * snare);
  EXPECT_GT(crash, 2 * snare);
  EXPECT_GT(hat, 5000.0);
}

TEST(DrumSounds, BassDrumAndTomBoomLow) {
  const Spectrum base = PowerSpectrum(Load("drum/base.wav"), 0, 16384, 65536);
  const Spectrum tom = PowerSpectrum(Load("drum/drum.wav"), 0, 16384, 65536);
  const double base_hz = FundamentalHz(base, 30, 1000);
  const double tom_hz = FundamentalHz(tom, 30, 1000);
  EXPECT_LT(base_hz, 100.0);
  EXPECT_GT(tom_hz, base_hz);
  EXPECT_LT(tom_hz, 250.0);
}

}  // namespace
