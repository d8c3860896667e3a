// Position response test: one recorded move judged for peak torque,
// overshoot, response time and peaks and valleys, then handed to the jitter
// and spectrum analysis. A test that could not be judged (the move did not
// start, the capture failed, the torque was not read) shows no result.
#include <QComboBox>
#include <QLineEdit>

#include <span>

#include "common/form_access.h"
#include "drivelink/drive_link.h"
#include "tuning/failure_scope.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/numeric_field.h"
#include "tuning/position_response.h"
#include "tuning/test_parameter_window.h"
#include "tuning/tuning_chart.h"
#include "tuning/tuning_report.h"
#include "tuning/tuning_sequence.h"

namespace velmo {

using tuning::TuningChart;

namespace {
constexpr uint32_t kResponseMoveMaxMs = 400;
constexpr int kResponseSettleMs = 1500;
constexpr size_t kResponseSamples = 4096;
}  // namespace

void GainTuningWindow::Button18Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  tuning::FailureScope failures(st.comm_error);
  response_valid_ = false;
  edit("Edit6")->clear();
  edit("Edit32")->clear();
  ts.overshoot_flag = 0;
  auto* limits_form = qobject_cast<TestParameterWindow*>(ctx_.forms ? ctx_.forms("TForm22") : nullptr);
  ts.overshoot_limit = static_cast<uint32_t>(limits_form ? limits_form->overshoot_limit() : 20);

  const auto khz = static_cast<uint32_t>(std::max(tuning::field_int(edit("Edit68")), 1));
  const uint32_t capped = tuning::capped_test_pulses(hidden.test_pulses, khz, kResponseMoveMaxMs, 2000);
  if (capped != hidden.test_pulses) {
    hidden.test_pulses = capped;
    ts.move_params_changed = 1;
  }
  chart_->show_curve(TuningChart::Positioning);
  for (TuningChart::Series s : {TuningChart::Resonance, TuningChart::Unused}) chart_->clear(s);
  if (ts.servo_on_state == 0) {
    Button19Click();
    ctx_.link.delay(1000);
  }

  GainTuningWindow::TestMove steps;
  steps.record = 1;
  steps.settle_ms = kResponseSettleMs;
  steps.servo_off_before_capture = !hidden.vertical_load && ts.hold_servo_on == 0;
  steps.samples = static_cast<int>(kResponseSamples);
  const bool moved = test_move(steps);
  edit("Edit32")->setText(hidden.peak_torque);

  tuning::ResponseLimits limits;
  limits.target_counts = tuning::stroke_counts(hidden.test_pulses, ts.gear_a, ts.gear_b, tuning_->servo_resolution_scale);
  limits.move_time_ms = tuning::move_time_ms(hidden.test_pulses, khz);
  limits.overshoot_limit = ts.overshoot_limit;
  limits.torque_limit = tuning::field_int(edit("Edit46"));
  limits.response_target_ms = tuning::field_int(edit("Edit64"));
  bool torque_ok = false;
  const int32_t torque = hidden.peak_torque.toInt(&torque_ok);
  const tuning::ResponseEvaluation e =
      moved ? tuning::evaluate_position_response(
                  std::span<const int32_t>(ts.pos_rel.data(), std::min<size_t>(ts.sample_count, ts.pos_rel.size())),
                  torque_ok ? std::optional<int32_t>(torque) : std::nullopt, limits)
            : tuning::ResponseEvaluation{};

  ts.torque_flag = e.torque_flag ? 1 : 0;
  ts.overshoot_flag = e.overshoot_flag ? 1 : 0;
  ts.response_met = e.response_met ? 1 : 0;
  ts.peaks_flag = e.peaks_flag ? 1 : 0;
  for (auto [lamp, lit] : {std::pair{TuningChart::LampTorque, e.torque_flag},
                           std::pair{TuningChart::LampOvershoot, e.overshoot_flag},
                           std::pair{TuningChart::LampResponse, e.response_met},
                           std::pair{TuningChart::LampPeaks, e.peaks_flag}})
    chart_->set_lamp(lamp, lit);
  if (!e.valid) {
    // Nothing was judged: the caller sees a failure, never a slow response.
    edit("Edit5")->clear();
    if (!run.stopped()) {
      st.comm_error = 1;
      report_->failed(e.reason.empty() ? QStringLiteral("位置响应测试失败")
                                       : QStringLiteral("位置响应测试失败：") + QString::fromStdString(e.reason));
    }
    return;
  }
  response_valid_ = true;
  ts.max_position = static_cast<uint32_t>(e.max_position);
  ts.reach_level = static_cast<uint32_t>(e.reach_level);
  ts.response_time = e.response_time;
  edit("Edit5")->setText(QString::number(e.overshoot));
  edit("Edit6")->setText(QString::number(e.response_time));
  if (e.torque_flag) report_->done_line(QStringLiteral("转矩超限"));
  if (e.overshoot_flag) report_->done_line(QStringLiteral("定位过冲"));
  if (e.response_met) report_->done_line(QStringLiteral("响应时间达到目标值"));
  if (e.peaks_flag) report_->done_line(QStringLiteral("位置曲线出现波峰波谷"));

  // The same recording goes to the jitter and resonance analysis.
  ts.resonance_pass = 0;
  hidden.resonance_threshold_db = 30;
  control<QComboBox>(this, "ComboBox1")->setCurrentText(QString::number(kResponseSamples));
  ts.pos_diff2[kResponseSamples - 1] = ts.pos_diff2[kResponseSamples - 2];
  std::copy_n(ts.pos_diff2.begin(), kResponseSamples, ts.analysis_buffer.begin());
  edit("Edit44")->clear();
  ts.sample_rate_hz = 5000;
  ts.endvib_mode = 0;
  qxbdfenxi();
  Button2Click();
}

}  // namespace velmo
