#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "tuning/spectrum_analysis.h"

namespace velmo::tuning {

struct MotionCurves;

enum class SpectrumMode { Resonance, EndVibration };

// What differs between the resonance and the end-vibration detection; one
// routine serves both. Texts are UTF-8.
struct SpectrumModeRow {
  SpectrumMode mode;
  std::size_t capture_samples;  // samples recorded for the detection
  int sample_rate_hz;           // of the analysed window
  std::size_t length;           // analysed window and FFT length
  std::size_t first_sample;     // where the window starts in its curve
  bool from_speed;              // per-sample difference (else relative position)
  std::size_t search_width;     // bins a peak must rise above
  int floor_hz;                 // a rounded frequency at or below this is ignored
  int threshold_db;             // default threshold above the average level
  const char* series;           // chart series of the spectrum
  const char* lamp;
  const char* field;            // read-out of the found frequency
  const char* start_caption;
  const char* analysing_caption;
  const char* found_caption;
  const char* found_log;
  const char* failed_caption;
  const char* failed_log;
};

std::span<const SpectrumModeRow> spectrum_modes();
const SpectrumModeRow& spectrum_mode(SpectrumMode mode);

// The analysed window of a capture: row.length values of the row's curve from
// row.first_sample, the last available value repeated where the curve is
// shorter (the difference curve has one value fewer than the samples).
std::vector<int32_t> spectrum_window(const MotionCurves& curves, const SpectrumModeRow& row);

struct SpectrumAnalysis {
  Spectrum spectrum;
  SpectrumPeak peak;
  int average_level = 0;    // average dB rounded
  double threshold_db = 0;  // average + threshold setting
  int threshold_level = 0;  // threshold setting + average_level
  double frequency_hz = 0;  // of the peak bin (0 without a peak)
  int frequency_rounded = 0;
  int frequency_x10 = 0;
  bool found = false;       // peak strictly above the threshold and frequency above the floor
};

// Transforms the window (one FFT kept per length) and judges its spectrum.
// threshold_db_above_average: the detection's setting (row.threshold_db unless
// the caller lowers it for a second pass).
SpectrumAnalysis analyse_spectrum(std::span<const int32_t> window, const SpectrumModeRow& row,
                                  int threshold_db_above_average);

// The peak search and the decision on a spectrum already formed.
SpectrumAnalysis judge_spectrum(Spectrum spectrum, const SpectrumModeRow& row, int threshold_db_above_average);

}  // namespace velmo::tuning
