// audio_analysis.h: pitch and loudness measures the sound checks rest on.
#ifndef PLINKAR_TESTS_WAV_AUDIO_ANALYSIS_H
#define PLINKAR_TESTS_WAV_AUDIO_ANALYSIS_H

#include <cstddef>
#include <vector>

#include "tests/support/wav_read.h"

// Frames [start, start + length) mixed to mono under a Hann window, past the
// end as silence; with the sound's rate.
struct Frames {
  int rate = 0;
  std::vector<double> x;
};
Frames Window(const WavSound& sound, size_t start, size_t length);

double PowerAt(const Frames& frames, double hz);  // Goertzel
double NoteHz(double midi_note);                  // 69 = A4 = 440 Hz
double Cents(double hz, double reference_hz);     // from reference_hz to hz
// The fundamental among notes [low, high]: the strongest, moved down to a
// subharmonic within 20 dB of it, then to the nearest cent.
double FundamentalHz(const Frames& frames, int low, int high);
// The k pitch classes (bit 0 = C) with the most power over notes [low, high],
// each weighted down by its frequency squared so overtones do not outweigh.
unsigned StrongestPitchClasses(const Frames& frames, int low, int high, int k);
// Zero crossings per second over two: a noise's brightness.
double CrossingHz(const WavSound& sound, size_t start, size_t length);

// Root mean square of frames [start, start + length), full scale 1.0.
double Rms(const WavSound& sound, size_t start, size_t length);
int PeakSample(const WavSound& sound);  // the largest absolute sample
// First frame with a sample whose magnitude reaches level; FrameCount if none.
size_t FirstFrameAbove(const WavSound& sound, int level);

#endif  // PLINKAR_TESTS_WAV_AUDIO_ANALYSIS_H
