#include "audio_analysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>

namespace {

// In-place iterative radix-2 FFT; the size must be a power of two.
void Fft(std::vector<std::complex<double>>& a) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const std::complex<double> step = std::polar(1.0, -2 * M_PI / static_cast<double>(len));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> w(1);
      for (size_t k = 0; k < len / 2; ++k, w *= step) {
        const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
      }
    }
  }
}

double BinHz(const Spectrum& s, double bin) {
  return bin * s.sample_rate / static_cast<double>(s.fft_size);
}

// Bins [first, last] that lie in [min_hz, max_hz], clamped to the spectrum;
// false when there are none.
bool BinRange(const Spectrum& s, double min_hz, double max_hz, size_t* first, size_t* last) {
  if (s.power.size() < 3 || s.sample_rate <= 0) return false;
  const double per_bin = BinHz(s, 1);
  *first = static_cast<size_t>(std::max(1.0, std::ceil(min_hz / per_bin)));
  *last = static_cast<size_t>(
      std::min(static_cast<double>(s.power.size() - 2), std::floor(max_hz / per_bin)));
  return *first <= *last;
}

size_t StrongestBin(const Spectrum& s, size_t first, size_t last) {
  return std::max_element(s.power.begin() + first, s.power.begin() + last + 1) - s.power.begin();
}

// Vertex of the parabola through the log power of bin and its neighbours.
double RefinedHz(const Spectrum& s, size_t bin) {
  const double a = std::log(s.power[bin - 1] + 1e-300), b = std::log(s.power[bin] + 1e-300),
               c = std::log(s.power[bin + 1] + 1e-300), den = a - 2 * b + c;
  return BinHz(s, static_cast<double>(bin) + (den < 0 ? 0.5 * (a - c) / den : 0.0));
}

}  // namespace

Spectrum PowerSpectrum(const WavSound& sound, size_t start, size_t length, size_t fft_size) {
  Spectrum out{sound.sample_rate, fft_size, std::vector<double>(fft_size / 2 + 1, 0.0)};
  const size_t frames = FrameCount(sound);
  length = std::min(length, fft_size);
  std::vector<std::complex<double>> buf(fft_size);
  for (int ch = 0; ch < sound.channels; ++ch) {
    std::fill(buf.begin(), buf.end(), std::complex<double>(0));
    for (size_t i = 0; i < length && start + i < frames; ++i) {
      const double w = 0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / length);
      buf[i] = w * sound.samples[(start + i) * sound.channels + ch] / 32768.0;
    }
    Fft(buf);
    for (size_t k = 0; k < out.power.size(); ++k) out.power[k] += std::norm(buf[k]);
  }
  return out;
}

double FundamentalHz(const Spectrum& spectrum, double min_hz, double max_hz) {
  size_t first, last, lo, hi;
  if (!BinRange(spectrum, min_hz, max_hz, &first, &last)) return 0.0;
  const size_t peak = StrongestBin(spectrum, first, last);
  // A subharmonic within 20 dB of the strongest peak is the true fundamental;
  // try the deepest one first.
  for (int d = 6; d >= 2; --d) {
    const double f = BinHz(spectrum, peak) / d;
    if (!BinRange(spectrum, std::max(min_hz, f * 0.98), f * 1.02, &lo, &hi)) continue;
    const size_t bin = StrongestBin(spectrum, lo, hi);
    const std::vector<double>& p = spectrum.power;
    if (p[bin] >= p[bin - 1] && p[bin] >= p[bin + 1] && p[bin] >= p[peak] * 0.01)
      return RefinedHz(spectrum, bin);
  }
  return RefinedHz(spectrum, peak);
}

std::array<double, 12> Chroma(const Spectrum& spectrum, double min_hz, double max_hz) {
  std::array<double, 12> chroma{};
  size_t first, last;
  if (!BinRange(spectrum, min_hz, max_hz, &first, &last)) return chroma;
  for (size_t k = first; k <= last; ++k) {
    const double hz = BinHz(spectrum, k);
    const long nearest = std::lround(69 + 12 * std::log2(hz / 440.0));
    chroma[((nearest % 12) + 12) % 12] += spectrum.power[k] / (hz * hz);
  }
  return chroma;
}

unsigned StrongestPitchClasses(const std::array<double, 12>& chroma, int k) {
  unsigned mask = 0;
  for (int n = 0; n < k; ++n) {
    int best = -1;
    for (int pc = 0; pc < 12; ++pc)
      if (!(mask & (1u << pc)) && (best < 0 || chroma[pc] > chroma[best])) best = pc;
    mask |= 1u << best;
  }
  return mask;
}

double SpectralCentroidHz(const Spectrum& spectrum) {
  double weighted = 0, total = 0;
  for (size_t k = 0; k < spectrum.power.size(); ++k) {
    weighted += BinHz(spectrum, k) * spectrum.power[k];
    total += spectrum.power[k];
  }
  return total > 0 ? weighted / total : 0.0;
}

double Rms(const WavSound& sound, size_t start, size_t length) {
  const size_t end = std::min(FrameCount(sound), start + length);
  if (start >= end) return 0.0;
  double sum = 0;
  for (size_t i = start * sound.channels; i < end * sound.channels; ++i)
    sum += std::pow(sound.samples[i] / 32768.0, 2);
  return std::sqrt(sum / static_cast<double>((end - start) * sound.channels));
}

int PeakSample(const WavSound& sound) {
  int peak = 0;
  for (int16_t s : sound.samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  return peak;
}

size_t FirstFrameAbove(const WavSound& sound, int level) {
  for (size_t i = 0; i < sound.samples.size(); ++i)
    if (std::abs(static_cast<int>(sound.samples[i])) >= level) return i / sound.channels;
  return FrameCount(sound);
}

double Cents(double hz, double reference_hz) { return 1200 * std::log2(hz / reference_hz); }

double NoteHz(int midi_note) { return 440.0 * std::pow(2.0, (midi_note - 69) / 12.0); }
