// Load inertia estimation: four recorded moves at the start frequency, the
// frequency raised until the peak torque clearly grows, four more moves,
// and the inertia from the torque difference over the acceleration
// difference. Any run without its capture or torque ends the estimation
// and writes nothing.
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <exception>

#include "common/form_access.h"
#include "drivelink/drive_link.h"
#include "tuning/failure_scope.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/inertia_estimate.h"
#include "tuning/numeric_field.h"
#include "tuning/position_response.h"
#include "tuning/sequence_stop.h"
#include "tuning/tuning_chart.h"
#include "tuning/tuning_operation.h"
#include "tuning/tuning_registers.h"
#include "tuning/tuning_report.h"
#include "tuning/tuning_sequence.h"

namespace velmo {

using tuning::TuningChart;

namespace {
constexpr int kRunSettleMs = 400;
constexpr int kRecordingMarginMs = 100;
constexpr int kRunSamples = 2050;
constexpr int kRaiseSettleMs = 1000;
constexpr int kMaxRaises = 31;
constexpr int kEstimationRigidity = 5;
}  // namespace

bool GainTuningWindow::estimation_torque(int32_t& torque) {
  bool ok = false;
  torque = hidden.peak_torque.toInt(&ok);
  return ok;
}

// The eight runs with the raising between them; false when one failed or
// the estimation was stopped.
bool GainTuningWindow::estimation_runs(uint32_t base_step) {
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  auto ended = [&] { return st.comm_error || st.tune_error || ts.tune_stop || stop_requested(); };
  uint32_t step = base_step;
  for (int k = 0; k < tuning::kInertiaRuns; ++k) {
    if (ended()) return false;
    GainTuningWindow::TestMove run;
    run.record = 1;
    // The recording must be complete before it is read: a fast line would
    // otherwise catch up with it.
    run.settle_ms = std::max(kRunSettleMs, kRunSamples / tuning::kSamplesPerMs + kRecordingMarginMs);
    run.samples = kRunSamples;
    const bool ok = test_move(run);
    int32_t torque = 0;
    if (!ok || !estimation_torque(torque)) return false;
    ts.inertia_accel[k] = ts.peak_accel[0];
    ts.inertia_torque[k] = torque;
    if (k != tuning::kInertiaRuns / 2 - 1) continue;

    const int32_t threshold = tuning::raise_threshold(ts.inertia_torque);
    for (int i = 0; i < kMaxRaises; ++i) {
      if (ended()) return false;
      const uint32_t f = std::min<uint32_t>(static_cast<uint32_t>(tuning::field_int(edit("Edit68"))) + step,
                                            tuning::kMaxPulseRate);
      edit("Edit68")->setText(QString::number(f));
      Button50Click();
      // No move on a frequency the drive did not take.
      if (!move_settings_confirmed()) {
        st.comm_error = 1;
        return false;
      }
      ts.move_params_changed = 0;
      Button22Click();
      ctx_.link.delay(kRaiseSettleMs);
      int32_t trial = 0;
      if (!estimation_torque(trial)) return false;
      if (trial > threshold) break;
      step = tuning::next_frequency_step(threshold, trial, base_step);
      if (f == tuning::kMaxPulseRate) break;
    }
  }
  return !ended();
}

void GainTuningWindow::Button24Click() {
  const bool by_user = !sequence_running();
  Sequence run(*this);
  if (!run.ok()) return;
  Operation op(*this, tuning::OperationKind::InertiaEstimation);
  if (!op.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  tuning::FlagScope verify(st.verify_replies, 1);
  tuning::FailureScope failures(st.comm_error);
  if (by_user) ts.tune_stop = 0;
  ts.tuning_stage[0] = 1;
  timer3_->start();  // Shape1 blinks while it runs
  auto* stop = control<QPushButton>(this, "Button38");
  stop->setEnabled(true);
  chart_->clear(TuningChart::Unused);
  chart_->clear(TuningChart::Positioning2);
  report_->caption(QStringLiteral("负载惯量推定中..."));
  report_->done_line(QStringLiteral("开始推定负载惯量"));

  bool estimated = false;
  // The runs completed but gave no ratio (no rise in acceleration or torque,
  // no motor data): nothing went wrong on the line.
  bool no_ratio = false;
  try {
    ts.rigidity_level = static_cast<uint32_t>(hidden.inertia_rigidity > 0 ? hidden.inertia_rigidity : kEstimationRigidity);
    gain_set();
    const uint32_t base = tuning::frequency_step_base(ts.gear_a, ts.gear_b);
    ts.move_dir = 1;
    if (!search_halted()) run_half();
    chart_->clear_capture_series();
    chart_->show_curve(TuningChart::Acceleration);
    if (operation_) operation_->findings.inertia_tried = true;
    const bool runs_ok = estimation_runs(base);
    // Back to the centre of the stroke, unless it was stopped or failed:
    // then nothing moves any more.
    if (runs_ok) run_half();
    if (runs_ok && st.comm_error == 0 && st.tune_error == 0) {
      const tuning::InertiaEstimate e = tuning::estimate_inertia(
          ts.inertia_accel, ts.inertia_torque,
          {hidden.torque_numerator.trimmed().toLongLong(), hidden.torque_divisor.trimmed().toLongLong()},
          tuning::field_double(edit("Edit52")));
      if (e.ok) {
        edit("Edit53")->setText(QString::number(e.system_inertia_rounded));
        ts.inertia_ratio = e.inertia_ratio;
        if (operation_) operation_->findings.inertia_ratio_x10 = e.inertia_ratio;
        edit("Edit54")->setText(tuning::ratio_text(ts.inertia_ratio));
        edit("Edit54")->setToolTip(tuning::ratio_at_limit(ts.inertia_ratio)
                                       ? QStringLiteral("推定值达到上限，实际惯量比可能更大，结果不可信")
                                       : QString());
        Button25Click();
        if (ratio_written_) {
          report_->done(op.end_line(tuning::Outcome::Completed));
          ts.tuning_stage[0] = 2;
          ts.rigidity_level = kEstimationRigidity;
          gain_set();
          estimated = true;
        }
      } else {
        report_->fail_line(QString::fromStdString(e.reason) + QStringLiteral("!!"));
        no_ratio = true;
      }
    }
  } catch (const std::exception& ex) {
    report_->fail_line(QString::fromUtf8(ex.what()) + QStringLiteral("!!"));
  }
  if (!estimated) {
    report_->done(QStringLiteral("终止负载惯量推定"));
    ts.tuning_stage[0] = 0;
    op.failed();
    // A failure ends a self-learning around it (a stop does so by itself);
    // an estimation without a ratio leaves it going on with the ratio the
    // drive has.
    if (!no_ratio && !run.stopped()) st.comm_error = 1;
  }
  if (by_user) ts.tune_stop = 0;
  stop->setEnabled(false);
}

void GainTuningWindow::Button25Click() {
  Sequence run(*this);
  ratio_written_ = false;
  if (!run.ok() || run.stopped()) return;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  const bool written = ctx_.link.write_register(node(), layout().inertia_ratio, static_cast<int32_t>(ts.inertia_ratio));
  if (operation_) operation_->wrote(layout().inertia_ratio, static_cast<int32_t>(ts.inertia_ratio), written);
  if (!written) {
    report_->failed(QStringLiteral("惯量比修改失败"));
    if (st.verify_replies) st.comm_error = 1;
    return;
  }
  ratio_written_ = true;
  confirmed(layout().inertia_ratio);
  report_->done(QStringLiteral("惯量比修改成功"));
  pos_dwsj_min_max_set();
  Button14Click();
}

void GainTuningWindow::Button38Click() {
  // Ends the estimation after the current run; nothing moves after it.
  if (sequence_running()) tuning_->tune_stop = 1;
}

}  // namespace velmo
