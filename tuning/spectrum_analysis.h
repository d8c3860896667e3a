#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "tuning/real_fft.h"

namespace velmo::tuning {

// A bin with no energy is shown this far below the maximum rather than at
// 0 dB, where it would read as the strongest peak.
inline constexpr double kSpectrumFloorDb = -150.0;

struct Spectrum {
  std::vector<double> magnitude;  // length/2 bins, amplitude of each component
  std::vector<double> db;         // relative to the largest magnitude, ≥ the floor
  double average_db = 0;          // over bins 0 .. length/2 - 2
};

// Magnitude spectrum of the first fft.length() values of window, no window
// function and no mean removal. Needs a length of at least 4.
Spectrum spectrum_of(std::span<const int32_t> window, RealFft& fft);

struct SpectrumPeak {
  bool found = false;
  std::size_t bin = 0;
  double db = kSpectrumFloorDb;
};

// The first bin (from search_width on) strictly above each of its
// search_width predecessors, then the highest bin after it up to 10 bins
// before the last one compared; ties keep the earlier bin.
SpectrumPeak find_spectrum_peak(std::span<const double> db, std::size_t search_width);

double bin_frequency_hz(std::size_t bin, int sample_rate_hz, std::size_t length);

}  // namespace velmo::tuning
