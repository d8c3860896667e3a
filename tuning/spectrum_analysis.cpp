#include "tuning/spectrum_analysis.h"

#include <algorithm>
#include <cmath>

namespace velmo::tuning {

Spectrum spectrum_of(std::span<const int32_t> window, RealFft& fft) {
  const std::size_t n = fft.length();
  Spectrum s;
  if (n < 4 || window.size() < n) return s;
  std::vector<float> x(n), f(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = static_cast<float>(window[i]);
  fft.transform(x, f);

  const std::size_t bins = n / 2;
  s.magnitude.resize(bins);
  s.db.resize(bins);
  double largest = 0;
  for (std::size_t k = 0; k < bins; ++k) {
    const double re = f[k];
    const double im = k == 0 ? 0.0 : f[bins + k];
    double mag = std::sqrt(re * re + im * im) * 2 / static_cast<double>(n);
    if (k == 0) mag /= 2;
    s.magnitude[k] = mag;
    largest = std::max(largest, mag);
  }
  for (std::size_t k = 0; k < bins; ++k) {
    const double mag = s.magnitude[k];
    s.db[k] = largest > 0 && mag > 0 ? std::max(20 * std::log10(mag / largest), kSpectrumFloorDb) : kSpectrumFloorDb;
  }
  const std::size_t m = bins - 1;
  double sum = 0;
  for (std::size_t k = 0; k < m; ++k) sum += s.db[k];
  s.average_db = sum / static_cast<double>(m);
  return s;
}

SpectrumPeak find_spectrum_peak(std::span<const double> db, std::size_t search_width) {
  SpectrumPeak peak;
  if (db.size() < 2 || search_width == 0) return peak;
  const std::size_t last = db.size() - 1;  // bins 0 .. last - 1 are averaged; the search reaches last
  for (std::size_t i = search_width; i <= last; ++i) {
    bool above = true;
    for (std::size_t j = i - search_width; j < i && above; ++j) above = db[i] > db[j];
    if (above) {
      peak = {true, i, db[i]};
      break;
    }
  }
  if (!peak.found) return peak;
  for (std::size_t i = peak.bin + 1; i + 10 <= last; ++i)
    if (db[i] > peak.db) peak = {true, i, db[i]};
  return peak;
}

double bin_frequency_hz(std::size_t bin, int sample_rate_hz, std::size_t length) {
  return length == 0 ? 0.0 : static_cast<double>(sample_rate_hz) * static_cast<double>(bin) / static_cast<double>(length);
}

}  // namespace velmo::tuning
