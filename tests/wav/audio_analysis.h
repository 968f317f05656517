// audio_analysis.h: spectra and the measures the sound checks rest on.
#ifndef PLINKAR_TESTS_WAV_AUDIO_ANALYSIS_H
#define PLINKAR_TESTS_WAV_AUDIO_ANALYSIS_H

#include <array>
#include <cstddef>
#include <vector>

#include "tests/support/wav_read.h"

// A power spectrum: bins 0..size/2 of an FFT of fft_size points.
struct Spectrum {
  int sample_rate = 0;
  size_t fft_size = 0;
  std::vector<double> power;
};

// Hann-windowed frames [start, start + length) of every channel, each zero
// padded to fft_size (a power of two), their power spectra summed. Frames past
// the end count as silence.
Spectrum PowerSpectrum(const WavSound& sound, size_t start, size_t length, size_t fft_size);

// The fundamental in [min_hz, max_hz]: the strongest peak, moved down to the
// lowest subharmonic peak that is still within 20 dB of it, then refined by
// parabolic interpolation of the log power. 0 when the range holds no bins.
double FundamentalHz(const Spectrum& spectrum, double min_hz, double max_hz);

// Power per pitch class (0 = C) of the bins in [min_hz, max_hz], each bin
// going to its nearest equal-tempered note (A4 = 440 Hz). Each bin's power is
// divided by its frequency squared: without that tilt the overtones of the
// lower notes (the third harmonic a fifth up, the fifth a third up) outweigh
// the higher notes' fundamentals.
std::array<double, 12> Chroma(const Spectrum& spectrum, double min_hz, double max_hz);

// The k pitch classes with the most power, as a bit mask (bit 0 = C).
unsigned StrongestPitchClasses(const std::array<double, 12>& chroma, int k);

// The power-weighted mean frequency.
double SpectralCentroidHz(const Spectrum& spectrum);

// Root mean square of frames [start, start + length), all channels, in full
// scale units (1.0 = 32768).
double Rms(const WavSound& sound, size_t start, size_t length);

// The largest absolute sample.
int PeakSample(const WavSound& sound);

// First frame with a sample whose magnitude reaches level; FrameCount when none.
size_t FirstFrameAbove(const WavSound& sound, int level);

// Cents from reference_hz to hz.
double Cents(double hz, double reference_hz);

// Frequency of a MIDI note number (69 = A4 = 440 Hz).
double NoteHz(int midi_note);

#endif  // PLINKAR_TESTS_WAV_AUDIO_ANALYSIS_H
