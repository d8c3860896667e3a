// Spectrum peak decisions and the jitter count on synthetic signals.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "tuning/jitter_count.h"
#include "tuning/spectrum_modes.h"
#include "tuning/tenths_text.h"

namespace velmo::tuning {
namespace {

// A flat -60 dB spectrum of the row's length with the given peaks.
SpectrumAnalysis judge_flat(SpectrumMode mode, std::vector<std::pair<std::size_t, double>> peaks, int threshold) {
  const SpectrumModeRow& row = spectrum_mode(mode);
  Spectrum s;
  s.db.assign(row.length / 2, -60.0);
  s.magnitude.assign(row.length / 2, 1.0);
  for (auto [bin, db] : peaks) s.db[bin] = db;
  s.average_db = -60.0;
  return judge_spectrum(s, row, threshold);
}

TEST(SpectrumAnalysis, FloorThresholdTiesAndFrequency) {
  struct Case {
    std::vector<std::pair<std::size_t, double>> peaks;
    int threshold;
    bool found;
    std::size_t bin;
  };
  const Case cases[] = {
      {{{82, -10}}, 30, false, 82},              // 100.1 Hz rounds to 100: not above the floor
      {{{83, -10}}, 30, true, 83},               // 101.3 Hz
      {{{500, -30}}, 30, false, 500},            // exactly at the threshold
      {{{500, -34}}, 25, true, 500},             // a second pass with a lower threshold
      {{{300, -20}, {600, -10}, {900, -10}}, 30, true, 600},  // equal maxima: the earlier one
      {{{300, -20}, {2040, 0}}, 30, true, 300},  // the last ten bins are not searched
      {{{79, -10}}, 30, false, 0},               // below the search width nothing starts
  };
  for (const Case& c : cases) {
    const SpectrumAnalysis a = judge_flat(SpectrumMode::Resonance, c.peaks, c.threshold);
    EXPECT_EQ(a.found, c.found) << c.peaks.front().first;
    EXPECT_EQ(a.peak.bin, c.bin) << c.peaks.front().first;
    EXPECT_EQ(a.threshold_level, c.threshold - 60);
  }
  EXPECT_EQ(judge_flat(SpectrumMode::Resonance, {{83, -10}}, 30).frequency_rounded, 101);
  const SpectrumAnalysis end = judge_flat(SpectrumMode::EndVibration, {{41, -5}}, 30);
  ASSERT_TRUE(end.found);
  EXPECT_DOUBLE_EQ(end.frequency_hz, 20.01953125);
  EXPECT_EQ(tenths_text(end.frequency_x10), "20.0");
  EXPECT_FALSE(judge_flat(SpectrumMode::EndVibration, {{4, -5}}, 30).found);  // 1.95 Hz
}

TEST(SpectrumAnalysis, AnEmptyBinIsTheFloorNotTheMaximum) {
  // 1 + z²: every bin carries energy except bin N/4, which is exactly zero.
  const SpectrumModeRow& row = spectrum_mode(SpectrumMode::EndVibration);
  std::vector<int32_t> window(row.length, 0);
  window[0] = window[2] = 1000;
  const SpectrumAnalysis a = analyse_spectrum(window, row, row.threshold_db);
  EXPECT_EQ(a.spectrum.db[256], kSpectrumFloorDb);
  EXPECT_NEAR(a.spectrum.db[1], 0.0, 1e-3);
  EXPECT_FALSE(a.found);
  EXPECT_FALSE(analyse_spectrum(std::vector<int32_t>(row.length, 7), row, 30).found);  // at rest
}

TEST(JitterCount, StepsAndRiseThenFallPatterns) {
  // 20 isolated spikes and a final step: 41 steps above 100/140 + 15.
  std::vector<int32_t> spikes(400, 0);
  for (int k = 0; k < 20; ++k) spikes[10 + 15 * k] = 100;
  spikes[399] = 100;
  const JitterCount j = count_jitter(spikes, 49);
  EXPECT_EQ(j.amplitude_threshold, 15);
  EXPECT_EQ(j.step_count, 41);
  EXPECT_EQ(j.result, 50);
  EXPECT_TRUE(j.found);
  EXPECT_FALSE(count_jitter(spikes, 50).found);
  // Triangle of period 12 over 120 samples: each top counts with its two
  // neighbours, the last one without its right neighbour (the scan ends at 114).
  std::vector<int32_t> tri(120);
  for (int i = 0; i < 120; ++i) tri[i] = 6 - std::abs(i % 12 - 6);
  EXPECT_EQ(count_jitter(tri, 28).result, 29);
}

}  // namespace
}  // namespace velmo::tuning
