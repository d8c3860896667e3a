// Jitter and spectrum analysis of a captured move, and the two detections
// that make a move, capture it and analyse it: mechanical resonance while
// the motor moves, end vibration after it has stopped.
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>

#include <algorithm>
#include <span>

#include "common/form_access.h"
#include "drivelink/drive_link.h"
#include "servo/servo_bus_release.h"
#include "tuning/failure_scope.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/jitter_count.h"
#include "tuning/numeric_field.h"
#include "tuning/position_response.h"
#include "tuning/spectrum_modes.h"
#include "tuning/tenths_text.h"
#include "tuning/tuning_chart.h"
#include "tuning/tuning_operation.h"
#include "tuning/tuning_report.h"
#include "tuning/tuning_sequence.h"

namespace velmo {

using tuning::SpectrumMode;
using tuning::TuningChart;

namespace {
// A detection's move is kept short enough for its recording.
constexpr uint32_t kDetectionMoveMaxMs = 400;
// Resonance: the second pass records 500 ms into the move, with a lower threshold.
constexpr int kSecondPassDelayMs = 500, kSecondPassThresholdDb = 25, kThresholdDb = 30;
constexpr int kResonanceSettleMs = 900;
// End vibration: recorded 200 ms after the commanded move ends, for 3 s at 500 Hz.
constexpr int kEndVibrationDelayMs = 200, kEndVibrationSettleMs = 3300;
}  // namespace

int GainTuningWindow::analysis_length() const {
  return std::clamp(control<QComboBox>(this, "ComboBox1")->currentText().toInt(), 4, 4096);
}

void GainTuningWindow::show_trackbars(int average_level, int threshold_setting) {
  hidden.trackbar11 = average_level;
  hidden.trackbar10 = threshold_setting + average_level;
  for (auto [name, value] : {std::pair{"TrackBar11", hidden.trackbar11}, std::pair{"TrackBar10", hidden.trackbar10}}) {
    auto* bar = control<QSlider>(this, name);
    bar->setValue(value);
    bar->setToolTip(QStringLiteral("%1db").arg(bar->value()));
  }
}

void GainTuningWindow::qxbdfenxi() {
  tuning::TuningState& ts = *tuning_;
  ts.resonance_found = 0;
  ts.endvib_found = 0;
  const auto n = static_cast<size_t>(analysis_length());
  const tuning::JitterCount j =
      tuning::count_jitter(std::span<const int32_t>(ts.analysis_buffer.data(), n), hidden.jitter_threshold);
  ts.jitter_found = j.found ? 1 : 0;
  chart_->set_lamp(TuningChart::LampJitter, j.found);
  if (j.found) report_->done_line(QStringLiteral("位置抖动"));
}

void GainTuningWindow::Button2Click() {
  tuning::TuningState& ts = *tuning_;
  ts.resonance_found = 0;
  ts.endvib_found = 0;
  const bool endvib = ts.endvib_mode == 1;
  tuning::SpectrumModeRow row = tuning::spectrum_mode(endvib ? SpectrumMode::EndVibration : SpectrumMode::Resonance);
  row.length = static_cast<size_t>(analysis_length());
  if (ts.sample_rate_hz > 0) row.sample_rate_hz = static_cast<int>(ts.sample_rate_hz);
  const int threshold = endvib ? hidden.endvib_threshold_db : hidden.resonance_threshold_db;
  const auto& window = endvib ? ts.endvib_buffer : ts.analysis_buffer;
  const tuning::SpectrumAnalysis a =
      tuning::analyse_spectrum(std::span<const int32_t>(window.data(), row.length), row, threshold);

  const size_t bins = a.spectrum.db.size();
  std::vector<double> hz(bins);
  for (size_t k = 0; k < bins; ++k) {
    ts.spectrum_mag[k] = a.spectrum.magnitude[k];
    ts.spectrum_db[k] = ts.spectrum_db_copy[k] = a.spectrum.db[k];
    hz[k] = tuning::bin_frequency_hz(k, row.sample_rate_hz, row.length);
  }
  const TuningChart::Series series = endvib ? TuningChart::EndVibration : TuningChart::Resonance;
  chart_->set_points(series, hz, a.spectrum.db);
  chart_->set_spectrum_marks(series, a.threshold_db, a.found ? std::optional(a.frequency_hz) : std::nullopt);
  show_trackbars(a.average_level, threshold);

  if (endvib) {
    ts.endvib_found = a.found ? 1 : 0;
    ts.endvib_freq_x10 = a.found ? a.frequency_x10 : 0;
    edit("Edit45")->setText(a.found ? QString::fromStdString(tuning::tenths_text(a.frequency_x10)) : QString());
    chart_->set_lamp(TuningChart::LampEndVibration, a.found);
  } else {
    ts.resonance_found = a.found ? 1 : 0;
    ts.resonance_freq = a.found ? a.frequency_rounded : 0;
    edit("Edit44")->setText(a.found ? QString::number(a.frequency_rounded) : QString());
    chart_->set_lamp(TuningChart::LampResonance, a.found);
  }
  if (a.found) {
    report_->caption(QString::fromUtf8(row.found_caption));
    report_->done_line(QString::fromUtf8(row.found_log));
    if (operation_) {
      if (endvib) {
        operation_->findings.endvib_x10 = a.frequency_x10;
      } else {
        operation_->findings.resonance_hz = a.frequency_rounded;
      }
    }
  }
  // A lowered threshold holds for one analysis only.
  hidden.resonance_threshold_db = kThresholdDb;
}

void GainTuningWindow::Button13Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  Operation op(*this, tuning::OperationKind::ResonanceDetection);
  if (!op.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  tuning::FailureScope failures(st.comm_error);
  const tuning::SpectrumModeRow& row = tuning::spectrum_mode(SpectrumMode::Resonance);
  const auto khz = static_cast<uint32_t>(std::max(tuning::field_int(edit("Edit68")), 1));
  const uint32_t capped = tuning::capped_test_pulses(hidden.test_pulses, khz, kDetectionMoveMaxMs, 1000);
  if (capped != hidden.test_pulses) {
    hidden.test_pulses = capped;
    ts.move_params_changed = 1;
  }
  ts.endvib_mode = 0;
  for (const char* name : {"Edit5", "Edit44", "Edit32"}) edit(name)->clear();
  servo::flag_for_restore(st, node(), restore_code());
  chart_->clear_capture_series();
  chart_->clear(TuningChart::Resonance);
  chart_->show_curve(TuningChart::Resonance);
  ts.test_pulses = hidden.test_pulses;
  report_->caption(QString::fromUtf8(row.start_caption));

  GainTuningWindow::TestMove steps;
  steps.record = 1;
  steps.samples = static_cast<int>(row.capture_samples);
  // The peak torque is read once the spectrum is shown.
  steps.read_torque = false;
  steps.servo_off_before_capture = !hidden.vertical_load && ts.hold_servo_on == 0;
  if (ts.resonance_pass == 1) {
    hidden.resonance_threshold_db = kSecondPassThresholdDb;
    steps.record_after_start = true;
    steps.record_delay_ms = kSecondPassDelayMs;
    steps.settle_ms = kResonanceSettleMs;
  } else {
    hidden.resonance_threshold_db = kThresholdDb;
    steps.settle_ms = kSecondPassDelayMs + kResonanceSettleMs;
  }
  if (!test_move(steps)) {
    if (run.stopped()) {
      // Stopped by the engineer: not a fault of the line.
      report_->failed(op.end_line(tuning::Outcome::Stopped));
      return;
    }
    st.comm_error = 1;
    report_->failed(QString::fromUtf8(row.failed_caption));
    return;
  }

  control<QComboBox>(this, "ComboBox1")->setCurrentText(QString::number(row.length));
  const size_t n = row.length;
  ts.pos_diff2[n - 1] = ts.pos_diff2[n - 2];
  std::copy_n(ts.pos_diff2.begin(), n, ts.analysis_buffer.begin());
  ts.sample_rate_hz = static_cast<uint32_t>(row.sample_rate_hz);
  qxbdfenxi();
  report_->caption(QString::fromUtf8(row.analysing_caption));
  Button2Click();
  ctx_.link.delay(500);
  if (run.stopped()) return;
  read_peak_torque();
  edit("Edit32")->setText(hidden.peak_torque);
}

void GainTuningWindow::Button17Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  Operation op(*this, tuning::OperationKind::EndVibrationDetection);
  if (!op.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  tuning::FailureScope failures(st.comm_error);
  const tuning::SpectrumModeRow& row = tuning::spectrum_mode(SpectrumMode::EndVibration);
  edit("Edit45")->clear();
  servo::flag_for_restore(st, node(), restore_code());
  chart_->clear_capture_series();
  chart_->clear(TuningChart::EndVibration);
  chart_->show_curve(TuningChart::EndVibration);
  ts.test_pulses = hidden.test_pulses;
  report_->caption(QString::fromUtf8(row.start_caption));

  GainTuningWindow::TestMove steps;
  steps.record = 2;
  steps.record_after_start = true;
  steps.record_delay_ms = static_cast<int>(move_wait_ms()) + kEndVibrationDelayMs;
  steps.settle_ms = kEndVibrationSettleMs;
  steps.record_caption = "位置数据采集中...";
  // The axis rings out without the loops holding it.
  steps.servo_off_when_recording = !hidden.vertical_load && ts.hold_servo_on == 0;
  steps.read_torque = false;
  steps.samples = static_cast<int>(row.capture_samples);
  if (!test_move(steps)) {
    if (run.stopped()) {
      report_->failed(op.end_line(tuning::Outcome::Stopped));
      return;
    }
    st.comm_error = 1;
    report_->caption(QString::fromUtf8(row.failed_caption));
    report_->fail_line(QString::fromUtf8(row.failed_log));
    return;
  }

  control<QComboBox>(this, "ComboBox1")->setCurrentText(QString::number(row.length));
  chart_->clear(TuningChart::Evaluation);
  // The whole recording after the move's end is kept; the analysis takes
  // its first row.length values.
  const size_t available = std::min<size_t>(ts.sample_count, ts.pos_rel.size());
  std::fill(ts.endvib_buffer.begin(), ts.endvib_buffer.end(), 0);
  for (size_t i = 0; row.first_sample + i < available; ++i) ts.endvib_buffer[i] = ts.pos_rel[row.first_sample + i];
  chart_->set_time_step(TuningChart::Evaluation, 1000.0 / row.sample_rate_hz, QStringLiteral("位置 (counts)"));
  chart_->append(TuningChart::Evaluation, std::span<const int32_t>(ts.endvib_buffer.data(), row.length));
  ts.sample_rate_hz = static_cast<uint32_t>(row.sample_rate_hz);
  ts.endvib_mode = 1;
  report_->caption(QString::fromUtf8(row.analysing_caption));
  Button2Click();
}

}  // namespace velmo
