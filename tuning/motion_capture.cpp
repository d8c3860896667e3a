#include "tuning/motion_capture.h"

#include <QLineEdit>

#include <algorithm>
#include <span>

#include "common/notifier.h"
#include "drivelink/drive_link.h"
#include "tuning/motion_curves.h"
#include "tuning/tuning_chart.h"
#include "tuning/tuning_registers.h"
#include "tuning/tuning_report.h"
#include "tuning/tuning_sequence.h"

namespace velmo::tuning {

CapturePlan capture_plan(int samples, int first_sample) {
  CapturePlan plan;
  samples = std::max(samples, 0);
  plan.counted_blocks = samples / kSamplesPerBlock + 1;
  for (int k = 0; k < plan.counted_blocks; ++k) {
    const int count = std::min(kSamplesPerBlock, samples - kSamplesPerBlock * k);
    if (count <= 0) break;
    plan.blocks.push_back({static_cast<uint16_t>(kRecording + first_sample + kSamplesPerBlock * k),
                           static_cast<uint16_t>(count), kSamplesPerBlock * kBytesPerSample * k});
  }
  return plan;
}

}  // namespace velmo::tuning

namespace velmo {

using tuning::TuningChart;

void GainTuningWindow::pos_data_read() {
  Sequence run(*this);
  if (!run.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  // The state's arrays hold 5001 entries, padded past the last sample.
  const int n = std::clamp(hidden.samples, 0, tuning::kSamples - 11);
  ts.sample_count = static_cast<uint32_t>(n);
  const tuning::CapturePlan plan = tuning::capture_plan(n, hidden.first_sample);
  st.rx_log_off = 1;
  ts.capture_block_ok = 1;
  bool failed = false;
  {
    // A failed try is retried here; only a block given up counts as failed.
    tuning::FlagScope tries_unverified(st.verify_replies, 0);
    for (size_t k = 0; k < plan.blocks.size(); ++k) {
      report_->caption(QStringLiteral("正在读取位置数据 %1%").arg(static_cast<int>(k) * 100 / plan.counted_blocks));
      if (st.comm_error || st.tune_error || run.stopped()) {
        failed = true;
        break;
      }
      const tuning::CaptureBlock& b = plan.blocks[k];
      bool got = false;
      for (int t = 0; t < tuning::kTriesPerBlock && !got && !run.stopped(); ++t) {
        // A reply shorter than its samples, or one the link cannot tell from
        // an earlier block's late reply, is never decoded.
        got = ctx_.link.read_registers(node(), b.address, b.count, tuning::kBytesPerSample);
        if (got) {
          std::copy_n(st.rx_buf.begin() + 3, tuning::kBytesPerSample * b.count, ts.capture_buffer.begin() + b.byte_offset);
        } else {
          report_->caption(QStringLiteral("读取位置数据出错**"));
          report_->fail_line(QStringLiteral("读取位置数据出错!!"));
        }
      }
      if (!got) {
        ts.capture_block_ok = 0;
        failed = true;
        break;
      }
    }
  }
  report_->caption(QStringLiteral("数据读取完毕"));
  st.rx_log_off = 0;
  if (failed) {
    if (!run.stopped()) st.comm_error = 1;
    return;
  }

  if (read_drive_fault() && ts.drive_fault_seen) {
    st.comm_error = 1;
    ctx_.notifier.message(this, QStringLiteral("驱动器出现故障！！"));
    return;
  }
  if (st.comm_error || st.tune_error) return;

  // The curves, with the resolution the motor identification found (the
  // same one the position read-out uses).
  const std::vector<int32_t> samples =
      tuning::recorded_samples(std::span<const uint8_t>(ts.capture_buffer.data(), ts.capture_buffer.size()), n);
  const tuning::MotionCurves c = tuning::derive_motion_curves(samples, hidden.curve_step, tuning_->servo_resolution);
  std::copy(samples.begin(), samples.end(), ts.pos_abs.begin());
  std::copy_n(c.pos_rel.begin(), std::min(c.pos_rel.size(), ts.pos_rel.size()), ts.pos_rel.begin());
  std::copy_n(c.pos_diff.begin(), std::min(c.pos_diff.size(), ts.pos_diff.size()), ts.pos_diff.begin());
  std::copy_n(c.pos_diff.begin(), std::min(c.pos_diff.size(), ts.pos_diff2.size()), ts.pos_diff2.begin());
  std::copy_n(c.speed_rpm.begin(), std::min(c.speed_rpm.size(), ts.speed_rpm.size()), ts.speed_rpm.begin());
  std::copy_n(c.ang_speed.begin(), std::min(c.ang_speed.size(), ts.ang_speed.size()), ts.ang_speed.begin());
  std::copy_n(c.accel.begin(), std::min(c.accel.size(), ts.accel_curve.size()), ts.accel_curve.begin());
  ts.speed_point_count = static_cast<uint32_t>(c.speed_rpm.size());
  ts.peak_accel[0] = c.peak_accel;
  edit("Edit17")->setText(QString::number(c.last_revolutions));
  edit("Edit34")->setText(QString::number(c.last_counts));

  // Speed and acceleration have one point per curve step of the 5 kHz recording.
  const double step_ms = 1000.0 * std::max(hidden.curve_step, 1) / tuning::kRecordingRateHz;
  chart_->set_time_step(TuningChart::Speed, step_ms);
  chart_->set_time_step(TuningChart::Acceleration, step_ms);
  chart_->set_time_step(TuningChart::Evaluation, 1000.0 / tuning::kRecordingRateHz, QStringLiteral("位置变化 (counts/点)"));
  chart_->append(TuningChart::Position, c.pos_rel);
  chart_->append(TuningChart::Speed, c.speed_rpm);
  chart_->append(TuningChart::Evaluation, c.pos_diff);
  chart_->append(TuningChart::Acceleration, c.accel);
  const size_t from = std::min(c.positioning_start, c.pos_rel.size());
  chart_->append(TuningChart::Positioning, std::span<const int32_t>(c.pos_rel).subspan(from));
}

}  // namespace velmo
