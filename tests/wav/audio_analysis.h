// audio_analysis.h: spectra and the measures the sound checks rest on.
#ifndef PLINKAR_TESTS_WAV_AUDIO_ANALYSIS_H
#define PLINKAR_TESTS_WAV_AUDIO_ANALYSIS_H

#include <array>
#include <cstddef>
#include <vector>

#include "tests/support/wav_read.h"

// A power spectrum: bins 0..fft_size/2.
struct Spectrum {
  int sample_rate = 0;
  size_t fft_size = 0;
  std::vector<double> power;
};

// Hann-windowed frames [start, start + length) of every channel, zero padded
// to fft_size (a power of two), their power spectra summed. Frames past the
// end count as silence.
Spectrum PowerSpectrum(const WavSound& sound, size_t start, size_t length, size_t fft_size);

// The fundamental in [min_hz, max_hz]: the strongest peak, moved down to the
// lowest subharmonic peak within 20 dB of it, refined by parabolic
// interpolation of the log power. 0 when the range holds no bins.
double FundamentalHz(const Spectrum& spectrum, double min_hz, double max_hz);

// Power per pitch class (0 = C) of the bins in [min_hz, max_hz], each bin
// going to its nearest equal-tempered note. Each bin's power is divided by its
// frequency squared, or the lower notes' overtones outweigh the higher notes.
std::array<double, 12> Chroma(const Spectrum& spectrum, double min_hz, double max_hz);

// The k pitch classes with the most power, as a bit mask (bit 0 = C).
unsigned StrongestPitchClasses(const std::array<double, 12>& chroma, int k);

double SpectralCentroidHz(const Spectrum& spectrum);  // power-weighted mean

// Root mean square of frames [start, start + length), full scale 1.0.
double Rms(const WavSound& sound, size_t start, size_t length);
int PeakSample(const WavSound& sound);  // the largest absolute sample
// First frame with a sample whose magnitude reaches level; FrameCount if none.
size_t FirstFrameAbove(const WavSound& sound, int level);
double Cents(double hz, double reference_hz);  // from reference_hz to hz
double NoteHz(int midi_note);                  // 69 = A4 = 440 Hz

#endif  // PLINKAR_TESTS_WAV_AUDIO_ANALYSIS_H
