// heard_check FILE.wav piano|chord: whether a recording of the sound output
// holds the piano's C4 or the Am chord; prints what it measured.
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/support/wav_read.h"
#include "tests/wav/audio_analysis.h"

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[2], "piano") != 0 && std::strcmp(argv[2], "chord") != 0))
    return std::fprintf(stderr, "usage: heard_check FILE.wav piano|chord\n"), 2;
  WavSound sound;
  std::string error;
  if (!ReadWav(argv[1], &sound, &error) || sound.samples.empty()) {
    std::printf("no recording: %s\n", error.c_str());
    return 1;
  }
  // Silence on a null sink is exact zeros; a quiet start still counts.
  const size_t onset = FirstFrameAbove(sound, 300);
  if (onset == FrameCount(sound)) {
    std::printf("silent (peak %d)\n", PeakSample(sound));
    return 1;
  }
  const size_t rate = static_cast<size_t>(sound.sample_rate);
  // 0.74 s from 100 ms past the onset, as the shipped files are checked.
  const Frames frames = Window(sound, onset + rate / 10, 32768);
  const double rms = Rms(sound, onset, rate / 2);
  if (argv[2][0] == 'p') {
    const double hz = FundamentalHz(frames, 32, 95);
    const double cents = Cents(hz, NoteHz(60));
    std::printf("rms %.3f, fundamental %.1f Hz (%+.0f cents from C4)\n", rms, hz, cents);
    return rms > 0.01 && cents > -30 && cents < 30 ? 0 : 1;
  }
  const unsigned strongest = StrongestPitchClasses(frames, 38, 95, 3);
  const unsigned am = 1u << 9 | 1u << 0 | 1u << 4;
  std::printf("rms %.3f, strongest pitch classes 0x%03x (A C E is 0x%03x)\n", rms, strongest, am);
  return rms > 0.01 && strongest == am ? 0 : 1;
}
