#include "tuning/tuning_operation.h"

#include <QLineEdit>

#include <algorithm>

#include "common/value_marks.h"
#include "drivelink/drive_link.h"
#include "tuning/filter_registers.h"
#include "tuning/tenths_text.h"
#include "tuning/tuning_report.h"

namespace velmo {

using tuning::Outcome;

namespace {
// The window's own fields an operation changes for its moves and their
// judging: the pulse frequency and the response target.
const char* const kOwnFields[] = {"Edit68", "Edit64"};
// The hidden ones: the stroke, the capture's span, the analyses' thresholds.
using Hidden = GainTuningWindow::Hidden;
constexpr int Hidden::*kOwnHidden[] = {&Hidden::samples, &Hidden::first_sample, &Hidden::jitter_threshold,
                                       &Hidden::resonance_threshold_db};
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
  for (const tuning::HeldRegister& r : drive_->registers())
    if (const auto f = tuning::held_field(r.what)) {
      // The start read is this node's: a field still showing another's takes it.
      if (is_marked_unread(w_.edit(f->name))) {
        w_.show_setting(r.what, *drive_->at_start(r.what));
        w_.confirmed(r.reg);
      }
      shown_[QString::fromLatin1(f->name)] = w_.edit(f->name)->text();
    }
  for (const char* name : kOwnFields) own_fields_[QString::fromLatin1(name)] = w_.edit(name)->text();
  own_hidden_ = w_.hidden;
  rigidity_level_ = ts.rigidity_level;
  inertia_ratio_ = ts.inertia_ratio;
  kp_ = ts.pos_loop_gain;
  kv_ = ts.speed_loop_gain;
  ti_ = ts.integral_time;
  notch_result_ = ts.notch_result;
  w_.operation_ = this;
}

const tuning::Findings& GainTuningWindow::Operation::found() const {
  return w_.operation_ && w_.operation_ != this ? w_.operation_->findings : findings;
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
  // A move under way ends before its gains change under it; a user's
  // SERVO_OFF goes out next.
  if (w_.move_may_be_running()) w_.stop_test_move();
  w_.finish_user_servo_off();
  DriveLink& link = w_.ctx_.link;
  std::vector<tuning::Held> failed;
  // What the fields showed at the start, unless a put-back below says otherwise.
  for (const auto& [name, text] : shown_) w_.edit(name.toLatin1().constData())->setText(text);
  tuning::TuningState& ts = *w_.tuning_;
  ts.rigidity_level = rigidity_level_;
  ts.inertia_ratio = inertia_ratio_;
  ts.pos_loop_gain = kp_;
  ts.speed_loop_gain = kv_;
  ts.integral_time = ti_;
  ts.notch_result = notch_result_;
  const auto writes = drive_->put_back();
  for (const auto& p : writes) {
    const bool ok = link.write_register(w_.node(), p.reg, p.value);
    drive_->put_back_result(p.reg, ok);
    show_put_back(p, ok);
    if (!ok) failed.push_back(p.what);
  }
  w_.pos_dwsj_min_max_set();
  put_back_own_settings();
  if (writes.empty()) return;
  if (failed.empty()) {
    w_.report_->done_line(tuning::put_back_line(failed));
  } else {
    w_.report_->fail_line(tuning::put_back_line(failed) + QStringLiteral("!!"));
  }
}

void GainTuningWindow::Operation::show_put_back(const tuning::DriveSnapshot::PutBack& p, bool accepted) {
  const auto f = tuning::held_field(p.what);
  if (!f) return;
  QLineEdit* field = w_.edit(f->name);
  // Taken: the drive holds its value from the start again. Not taken: neither
  // that nor the operation's value is sure; it shows what the operation
  // left, marked as the drive never confirmed it.
  const std::optional<int32_t> shown = accepted ? std::optional(p.value) : drive_->last_written(p.what);
  if (shown) w_.show_setting(p.what, *shown);
  if (accepted) {
    mark_unconfirmed(field, false);
  } else {
    mark_unconfirmed(field, true, unconfirmed_hint(w_.ctx_.link.last_outcome()));
  }
}

void GainTuningWindow::Operation::put_back_own_settings() {
  Hidden& h = w_.hidden;
  tuning::TuningState& ts = *w_.tuning_;
  const bool stroke_changed = h.test_pulses != own_hidden_.test_pulses ||
                              w_.edit("Edit68")->text() != own_fields_[QStringLiteral("Edit68")];
  for (const auto& [name, text] : own_fields_) w_.edit(name.toLatin1().constData())->setText(text);
  h.test_pulses = own_hidden_.test_pulses;
  for (int Hidden::*m : kOwnHidden) h.*m = own_hidden_.*m;
  // The drive's test registers still hold the operation's stroke and rate.
  if (stroke_changed) ts.move_params_changed = 1;
}

}  // namespace velmo
