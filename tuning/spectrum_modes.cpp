#include "tuning/spectrum_modes.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <utility>

#include "tuning/motion_curves.h"

namespace velmo::tuning {
namespace {

const SpectrumModeRow kModes[] = {
    {SpectrumMode::Resonance, 4096, 5000, 4096, 0, true, 80, 100, 30, "Series5", "Shape6", "Edit44",
     "系统振动检测", "系统共振频率分析中...", "发现系统共振频率！", "发现系统共振频率！！", "通信失败",
     "通信失败!!"},
    // The end-vibration window starts 400 samples (0.8 s at 500 Hz) into the
    // recording, once the move has ended.
    {SpectrumMode::EndVibration, 1499, 500, 1024, 400, false, 10, 2, 30, "Series9", "Shape7", "Edit45",
     "开始末端振动检测", "停止振动频率分析中...", "发现停止振动频率！", "发现停止振动频率！！",
     "停止振动频率检测失败", "停止振动频率检测失败"},
};

// Halves go to the even neighbour (the default rounding mode).
int round_even(double v) { return static_cast<int>(std::nearbyint(v)); }

RealFft& fft_of_length(std::size_t length) {
  thread_local std::map<std::size_t, std::unique_ptr<RealFft>> cache;
  auto& slot = cache[length];
  if (!slot) slot = std::make_unique<RealFft>(length);
  return *slot;
}

}  // namespace

std::span<const SpectrumModeRow> spectrum_modes() { return kModes; }

const SpectrumModeRow& spectrum_mode(SpectrumMode mode) {
  for (const SpectrumModeRow& row : kModes)
    if (row.mode == mode) return row;
  return kModes[0];
}

std::vector<int32_t> spectrum_window(const MotionCurves& curves, const SpectrumModeRow& row) {
  const std::vector<int32_t>& source = row.from_speed ? curves.pos_diff : curves.pos_rel;
  std::vector<int32_t> w(row.length, 0);
  for (std::size_t i = 0; i < row.length && !source.empty(); ++i)
    w[i] = source[std::min(row.first_sample + i, source.size() - 1)];
  return w;
}

SpectrumAnalysis analyse_spectrum(std::span<const int32_t> window, const SpectrumModeRow& row,
                                  int threshold_db_above_average) {
  return judge_spectrum(spectrum_of(window, fft_of_length(row.length)), row, threshold_db_above_average);
}

SpectrumAnalysis judge_spectrum(Spectrum spectrum, const SpectrumModeRow& row, int threshold_db_above_average) {
  SpectrumAnalysis a;
  a.spectrum = std::move(spectrum);
  if (a.spectrum.db.empty()) return a;
  a.average_level = round_even(a.spectrum.average_db);
  a.threshold_db = threshold_db_above_average + a.spectrum.average_db;
  a.threshold_level = threshold_db_above_average + a.average_level;
  a.peak = find_spectrum_peak(a.spectrum.db, row.search_width);
  if (!a.peak.found) return a;
  a.frequency_hz = bin_frequency_hz(a.peak.bin, row.sample_rate_hz, row.length);
  a.frequency_rounded = round_even(a.frequency_hz);
  a.frequency_x10 = round_even(a.frequency_hz * 10);
  a.found = a.peak.db > a.threshold_db && a.frequency_rounded > row.floor_hz;
  return a;
}

}  // namespace velmo::tuning
