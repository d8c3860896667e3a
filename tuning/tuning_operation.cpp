#include "tuning/tuning_operation.h"

#include <QLineEdit>

#include "drivelink/drive_link.h"
#include "tuning/filter_registers.h"
#include "tuning/tuning_report.h"

namespace velmo {

using tuning::Outcome;

namespace {
// The fields that show the settings an operation may change.
const char* const kShownSettings[] = {"Edit20", "Edit39", "Edit40", "Edit41", "Edit42",
                                      "Edit9",  "Edit3",  "Edit27", "Edit26"};
}  // namespace

GainTuningWindow::Operation::Operation(GainTuningWindow& w, tuning::OperationKind kind)
    : w_(w), row_(tuning::operation_row(kind)), outermost_(w.operation_ == nullptr) {
  if (!outermost_) return;
  DriveLink& link = w_.ctx_.link;
  const tuning::TuningState& ts = *w_.tuning_;
  drive_ = std::make_unique<tuning::DriveSnapshot>(tuning::held_registers(
      w_.layout(), tuning::filter_layout(w_.tuning_->servo_subtype), ts.notch_group, ts.suppressor_group));
  for (const tuning::ReadBlock& b : drive_->blocks()) {
    if (!link.read_registers(w_.node(), b.first, b.count)) break;
    for (uint16_t k = 0; k < b.count; ++k) drive_->read(static_cast<uint16_t>(b.first + k), link.reply_word(k));
  }
  if (!drive_->complete()) {
    // What it would change could not be put back: it does not start.
    ok_ = false;
    w_.report_->failed(end_line(Outcome::Failed) +
                       QStringLiteral("：开始时的增益及滤波器参数读取失败，未执行"));
    return;
  }
  for (const char* name : kShownSettings) shown_[QString::fromLatin1(name)] = w_.edit(name)->text();
  rigidity_level_ = ts.rigidity_level;
  inertia_ratio_ = ts.inertia_ratio;
  kp_ = ts.pos_loop_gain;
  kv_ = ts.speed_loop_gain;
  ti_ = ts.integral_time;
  notch_result_ = ts.notch_result;
  w_.operation_ = this;
}

Outcome GainTuningWindow::Operation::judge() const {
  const DriveLinkState& st = w_.ctx_.link.st;
  if (w_.stop_requested()) return Outcome::Stopped;
  if (failed_ || st.comm_error || st.tune_error) return Outcome::Failed;
  return Outcome::Completed;
}

Outcome GainTuningWindow::Operation::decide() {
  if (!outermost_) return judge();
  if (!decided_) decided_ = judge();
  return *decided_;
}

void GainTuningWindow::Operation::wrote(uint16_t reg, int32_t value, bool accepted) {
  if (drive_) drive_->wrote(reg, value, accepted);
}

GainTuningWindow::Operation::~Operation() {
  if (!outermost_ || !ok_) return;
  w_.operation_ = nullptr;
  const Outcome outcome = decide();
  if (outcome != Outcome::Completed) take_back();
  const tuning::TuningState& ts = *w_.tuning_;
  w_.report_->caption(end_line(outcome));
  w_.report_->done_line(tuning::outcome_line(row_, outcome, findings, *drive_, ts.notch_group, ts.suppressor_group));
}

void GainTuningWindow::Operation::take_back() {
  // A user's SERVO_OFF goes out first.
  w_.finish_user_servo_off();
  DriveLink& link = w_.ctx_.link;
  std::vector<tuning::Held> failed;
  const auto writes = drive_->put_back();
  for (const auto& p : writes) {
    const bool ok = link.write_register(w_.node(), p.reg, p.value);
    drive_->put_back_result(p.reg, ok);
    if (!ok) failed.push_back(p.what);
  }
  tuning::TuningState& ts = *w_.tuning_;
  ts.rigidity_level = rigidity_level_;
  ts.inertia_ratio = inertia_ratio_;
  ts.pos_loop_gain = kp_;
  ts.speed_loop_gain = kv_;
  ts.integral_time = ti_;
  ts.notch_result = notch_result_;
  for (const auto& [name, text] : shown_) w_.edit(name.toLatin1().constData())->setText(text);
  w_.pos_dwsj_min_max_set();
  if (writes.empty()) return;
  if (failed.empty()) {
    w_.report_->done_line(tuning::put_back_line(failed));
  } else {
    w_.report_->fail_line(tuning::put_back_line(failed) + QStringLiteral("!!"));
  }
}

}  // namespace velmo
