// Pitch and loudness measures of sounds.
#ifndef PLINKAR_TESTS_WAV_AUDIO_ANALYSIS_H
#define PLINKAR_TESTS_WAV_AUDIO_ANALYSIS_H

#include <vector>

#include "tests/support/wav_read.h"

struct Frames {  // mono under a Hann window
  int rate = 0;
  std::vector<double> x;
};
Frames Window(const WavSound& sound, size_t start, size_t length);

double PowerAt(const Frames& frames, double hz);  // Goertzel
double NoteHz(double midi_note);                  // 69 = A4 = 440 Hz
double Cents(double hz, double reference_hz);     // from reference_hz to hz
// The strongest of notes [low, high], or a subharmonic within 20 dB, to a cent.
double FundamentalHz(const Frames& frames, int low, int high);
// The k strongest pitch classes (bit 0 = C) of notes [low, high], weighted 1/f^2.
unsigned StrongestPitchClasses(const Frames& frames, int low, int high, int k);
double CrossingHz(const WavSound& sound, size_t start, size_t length);  // brightness

double Rms(const WavSound& sound, size_t start, size_t length);  // full scale 1.0
int PeakSample(const WavSound& sound);
size_t FirstFrameAbove(const WavSound& sound, int level);  // FrameCount if none

#endif  // PLINKAR_TESTS_WAV_AUDIO_ANALYSIS_H
