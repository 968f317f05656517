// heard_check FILE.wav piano|chord|both|fade|song: whether a recording of the
// sound output holds what was played; prints what it measured.
//   piano  the piano's C4
//   chord  the Am chord
//   both   C4, then E4 while C4 still rings (with several voices)
//   fade   C4 cut off by a black key, fading out instead of stopping dead
//   song   C4, E4 and G4 a second apart (run where the program's wav/ is)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/wav_read.h"
#include "tests/wav/audio_analysis.h"

namespace {

// Windows of 46 ms every 10 ms: enough to tell C4, E4 and G4 apart.
constexpr size_t kWindow = 2048;

// When the note starts: the first window, from frame `from` on, with a tenth
// of the note's strongest power in the recording. Seconds; -1 when never.
double noteStart(const WavSound& sound, int note, size_t from) {
  const size_t step = static_cast<size_t>(sound.sample_rate) / 100;
  std::vector<double> power;
  for (size_t at = from; at + kWindow <= FrameCount(sound); at += step)
    power.push_back(PowerAt(Window(sound, at, kWindow), NoteHz(note)));
  if (power.empty()) return -1;
  const double strongest = *std::max_element(power.begin(), power.end());
  for (size_t i = 0; i < power.size(); i++)
    if (power[i] >= strongest / 10) return static_cast<double>(from + i * step) / sound.sample_rate;
  return -1;
}

size_t frameAt(const WavSound& sound, double seconds) {
  return static_cast<size_t>(std::max(0.0, seconds) * sound.sample_rate);
}

// The largest |sample| of the first channel in [start, end).
int peakBetween(const WavSound& sound, size_t start, size_t end) {
  int peak = 0;
  for (size_t i = start; i < end && i < FrameCount(sound); i++)
    peak = std::max(peak, std::abs(static_cast<int>(sound.samples[i * sound.channels])));
  return peak;
}

// The last frame of the first channel above level; 0 when none.
size_t lastFrameAbove(const WavSound& sound, int level) {
  for (size_t i = FrameCount(sound); i-- > 0;)
    if (std::abs(static_cast<int>(sound.samples[i * sound.channels])) > level) return i;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* const kinds[] = {"piano", "chord", "both", "fade", "song"};
  if (argc != 3 || std::none_of(std::begin(kinds), std::end(kinds),
                                [&](const char* kind) { return std::strcmp(argv[2], kind) == 0; }))
    return std::fprintf(stderr, "usage: heard_check FILE.wav piano|chord|both|fade|song\n"), 2;
  const std::string kind = argv[2];
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
  const double rms = Rms(sound, onset, rate / 2);
  if (kind == "both") {
    // C4 alone, then 200 to 500 ms after E4 starts: C4 must still be there,
    // where one voice would have cut it off.
    const double e4 = noteStart(sound, 64, onset);
    if (e4 < 0) return std::printf("no E4 heard\n"), 1;
    const size_t during = frameAt(sound, e4 + 0.2);
    const size_t length = frameAt(sound, 0.3);
    const double alone = PowerAt(Window(sound, onset + rate / 20, length), NoteHz(60));
    const double after = PowerAt(Window(sound, during, length), NoteHz(60));
    const double e4Power = PowerAt(Window(sound, during, length), NoteHz(64));
    const double db = 10 * std::log10(std::max(after, 1e-30) / std::max(alone, 1e-30));
    std::printf("E4 starts %.2f s after C4; then C4 at %.1f dB of its start, E4 %.1f dB\n",
                e4 - static_cast<double>(onset) / rate, db,
                10 * std::log10(std::max(e4Power, 1e-30) / std::max(alone, 1e-30)));
    return db > -30 && e4Power > after / 100 ? 0 : 1;
  }
  if (kind == "fade") {
    // The level 15 to 40 ms before the sound ends, and in its last 2 ms:
    // a cut that fades over 5 ms leaves well under two thirds of it there.
    const size_t end = lastFrameAbove(sound, 300);
    const int level = peakBetween(sound, end - rate * 40 / 1000, end - rate * 15 / 1000);
    const int tail = peakBetween(sound, end - rate * 2 / 1000, end + 1);
    const double lasted = static_cast<double>(end - onset) / rate;
    std::printf("stops %.2f s after it starts; peak %d before the end, %d in its last 2 ms\n",
                lasted, level, tail);
    return lasted < 1.0 && level > 1000 && tail < level * 2 / 3 ? 0 : 1;
  }
  if (kind == "song") {
    // Each note is found where its power builds up, which lags its start by
    // a few windows' worth that differs between the samples: that lag,
    // measured on the sample itself after silence, is taken off. A note is
    // looked for from half a second after the one before, whose sound can
    // leak a tenth of a quieter note's power into its band; one that sounds
    // already there is found there, too early.
    const struct {
      int note;
      const char* file;  // run where the program's wav/ is
    } notes[] = {{60, "wav/piano/do.wav"}, {64, "wav/piano/me.wav"}, {67, "wav/piano/sol.wav"}};
    double starts[3];
    for (int i = 0; i < 3; i++) {
      WavSound alone;
      if (!ReadWav(notes[i].file, &alone, &error)) return std::printf("%s\n", error.c_str()), 1;
      alone.samples.insert(
          alone.samples.begin(),
          static_cast<size_t>(alone.sample_rate) * static_cast<size_t>(alone.channels) / 2, 0);
      const size_t from = i == 0 ? 0 : frameAt(sound, starts[i - 1] + 0.5);
      starts[i] =
          noteStart(sound, notes[i].note, from) - (noteStart(alone, notes[i].note, 0) - 0.5);
    }
    std::printf("C4 at %.3f s, E4 at %.3f s, G4 at %.3f s\n", starts[0], starts[1], starts[2]);
    for (int i = 1; i < 3; i++)
      if (std::fabs(starts[i] - starts[i - 1] - 1.0) > 0.05) return 1;
    return 0;
  }
  if (kind == "piano") {
    // 0.74 s from 100 ms past the onset, as the shipped files are checked.
    const Frames frames = Window(sound, onset + rate / 10, 32768);
    const double hz = FundamentalHz(frames, 32, 95);
    const double cents = Cents(hz, NoteHz(60));
    std::printf("rms %.3f, fundamental %.1f Hz (%+.0f cents from C4)\n", rms, hz, cents);
    return rms > 0.01 && cents > -30 && cents < 30 ? 0 : 1;
  }
  // A recording that stalls under load smears one window's spectrum: the
  // chord counts as heard when one of three windows, 0.3 s apart, holds it.
  const unsigned am = 1u << 9 | 1u << 0 | 1u << 4;
  unsigned strongest[3];
  bool found = false;
  for (int w = 0; w < 3; w++) {
    strongest[w] = StrongestPitchClasses(
        Window(sound, onset + rate / 10 + w * rate * 3 / 10, 32768), 38, 95, 3);
    found = found || strongest[w] == am;
  }
  std::printf("rms %.3f, strongest pitch classes 0x%03x 0x%03x 0x%03x (A C E is 0x%03x)\n", rms,
              strongest[0], strongest[1], strongest[2], am);
  return rms > 0.01 && found ? 0 : 1;
}
