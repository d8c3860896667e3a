// Trial moves in the drive's test mode: the settings write, single and
// half-stroke moves, forward, reverse and cyclic runs, stop, SERVO_ON/OFF.
#include <QLineEdit>
#include <QPushButton>

#include <cstdlib>

#include "common/form_access.h"
#include "drivelink/drive_link.h"
#include "servo/servo_bus_release.h"
#include "link/clock.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/numeric_field.h"
#include "tuning/tuning_chart.h"
#include "tuning/tuning_report.h"
#include "tuning/tuning_sequence.h"

namespace velmo {

using tuning::FlagScope;
using tuning::StrokeDivisor;
using tuning::StrokeTrigger;

namespace {
uint8_t other_direction(uint32_t dir) { return dir == 1 ? 2 : 1; }
}  // namespace

tuning::StrokeInput GainTuningWindow::stroke_input(StrokeDivisor divisor) const {
  const tuning::TuningState& ts = *tuning_;
  return {static_cast<uint32_t>(std::max(tuning::field_int(edit("Edit8")), 0)),
          static_cast<uint32_t>(std::max(tuning::field_int(edit(divisor == StrokeDivisor::Trial ? "Edit67" : "Edit66")), 0)),
          tuning_->servo_resolution, tuning_->servo_resolution_scale, ts.gear_a, ts.gear_b};
}

bool GainTuningWindow::recompute_stroke(StrokeTrigger trigger, bool only_when_different) {
  const auto pulses = tuning::stroke_pulses(trigger, stroke_input(tuning::stroke_row(trigger).divisor));
  if (!pulses) {
    // 0x8001 carries thousands of pulses in 16 bits: a longer stroke would
    // reach the drive cut short.
    report_->failed(QStringLiteral("行程脉冲数超出范围"));
    return false;
  }
  if (only_when_different && *pulses == hidden.test_pulses) return true;
  hidden.test_pulses = *pulses;
  tuning_->move_params_changed = 1;
  return true;
}

uint32_t GainTuningWindow::move_wait_ms() const {
  const int khz = std::max(tuning::field_int(edit("Edit68")), 1);
  return hidden.test_pulses / static_cast<uint32_t>(khz);
}

bool GainTuningWindow::write_test_reg(uint16_t reg, int32_t value, const char* done, const char* failed) {
  DriveLinkState& st = ctx_.link.st;
  if (ctx_.link.write_register(node(), reg, value)) {
    report_->caption(QString::fromUtf8(done));
    return true;
  }
  if (st.reply_flag == 0) {
    report_->caption(QStringLiteral("通信失败"));
    report_->fail_line(QStringLiteral("通信失败!!"));
  } else {
    report_->failed(QString::fromUtf8(failed));
  }
  return false;
}

int32_t GainTuningWindow::move_frequency() const { return tuning::field_int(edit("Edit68")) / 10; }

bool GainTuningWindow::move_settings_confirmed() const {
  return confirmed_.hold(node(), static_cast<int32_t>(hidden.test_pulses / 1000), move_frequency());
}

bool GainTuningWindow::write_test_settings() {
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  hidden.test_pulses = tuning::clamp_to_safe_stroke(hidden.test_pulses, stroke_input(StrokeDivisor::Trial));
  if (hidden.test_pulses / 1000 > 0xFFFF) {
    report_->failed(QStringLiteral("行程脉冲数超出范围"));
    return false;
  }
  servo::flag_for_restore(st, node(), restore_code());
  report_->caption(QStringLiteral("位置响应测试相关参数设置"));
  const uint8_t station = node();
  const auto stroke = static_cast<int32_t>(hidden.test_pulses / 1000);
  const int32_t frequency = move_frequency();
  // After a stop (退出, SERVO_OFF) no further setting is written.
  auto step = [this](uint16_t reg, int32_t value, const char* done, const char* failed) {
    return !stop_requested() && write_test_reg(reg, value, done, failed);
  };
  const bool mode = step(tuning::kOperatingMode, tuning::kDebugMode, "调试模式设置成功", "调试模式设置失败");
  confirmed_.mode(station, mode);
  const bool at_rest = step(tuning::kMoveStart, 0, "停止运转", "停止运转控制失败");
  const bool length = step(tuning::kMoveLength, stroke, "脉冲数设置成功", "脉冲数设置失败");
  confirmed_.stroke(station, length ? std::optional(stroke) : std::nullopt);
  const bool rate = step(tuning::kMoveFrequency, frequency, "脉冲频率设置成功", "脉冲频率设置失败");
  confirmed_.frequency(station, rate ? std::optional(frequency) : std::nullopt);
  if (stop_requested()) return false;
  ts.servo_on_state = 1;
  control<QPushButton>(this, "Button20")->setEnabled(true);
  return mode && at_rest && length && rate;
}

void GainTuningWindow::prepare_move_settings() {
  // Written again whenever they changed or the drive has not confirmed them;
  // a failed write leaves them marked as changed.
  tuning::TuningState& ts = *tuning_;
  if (!ts.move_params_changed && move_settings_confirmed()) return;
  // Nothing moves after a refused SERVO_ON: there is nothing to set up for.
  if (confirmed_.servo_on_refused()) return;
  if (write_test_settings()) ts.move_params_changed = 0;
}

bool GainTuningWindow::write_record_trigger(uint16_t record) {
  if (ctx_.link.write_register(node(), tuning::kRecordSelect, record)) return true;
  report_->failed(QStringLiteral("位置数据采集触发失败"));
  return false;
}

void GainTuningWindow::refuse_move(const QString& failure) {
  // The move did not start; the sequence around it ends as a failure.
  report_->failed(failure);
  ctx_.link.st.comm_error = 1;
}

void GainTuningWindow::Button10Click() {
  Sequence run(*this);
  if (run.ok() && !run.stopped() && write_test_settings()) tuning_->move_params_changed = 0;
}

GainTuningWindow::Start GainTuningWindow::start_move(uint8_t dir, uint16_t record) {
  // After a stop, an exit request or the program's close nothing moves the motor.
  if (stop_requested() || exit_pending_ || exiting_ || program_closing()) return Start::Refused;
  // A lost or refused stroke write would otherwise run the stroke set before it.
  if (!move_settings_confirmed()) return Start::Unconfirmed;
  if (!axis_position_) {
    uint32_t p = 0;
    if (!read_position(p)) {
      report_->failed(QStringLiteral("位置信息读取失败"));
      return Start::Refused;
    }
    axis_position_ = p;
  }
  if (stop_requested()) return Start::Refused;
  servo_may_be_on_ = true;
  if (!ctx_.link.write_register(node(), tuning::kTestArm, 1)) return Start::Unconfirmed;
  if (stop_requested()) return Start::Refused;
  if (record) {
    // A recording from the start is triggered once test mode is on; a move
    // nobody records is not made.
    if (!write_record_trigger(record)) return Start::Unconfirmed;
    if (stop_requested()) return Start::Refused;
  }
  // Until its stroke's time has passed the axis may be moving, whatever the
  // start's reply said.
  move_ends_at_ms_ = clock_ms() + move_wait_ms() + 500;
  if (!ctx_.link.write_register(node(), tuning::kMoveStart, dir)) return Start::NotAccepted;
  // Forward counts up; the drive's counts are the command pulses through the
  // gear and the encoder scale.
  const tuning::TuningState& ts = *tuning_;
  const auto counts = static_cast<int64_t>(tuning::stroke_counts(hidden.test_pulses, ts.gear_a, ts.gear_b) /
                                           std::max<uint32_t>(tuning_->servo_resolution_scale, 1));
  axis_position_ = static_cast<uint32_t>(*axis_position_ + (dir == 1 ? counts : -counts));
  return Start::Accepted;
}

void GainTuningWindow::stop_test_move() {
  if (ctx_.link.write_register(node(), tuning::kMoveStart, 0)) {
    report_->done(QStringLiteral("停止运转"));
  } else {
    report_->failed(QStringLiteral("停止运转控制失败"));
  }
  // Where it stopped is not where the stroke ends.
  axis_position_.reset();
  move_ends_at_ms_ = 0;
}

bool GainTuningWindow::move_may_be_running() const { return clock_ms() < move_ends_at_ms_; }

bool GainTuningWindow::settle_unaccepted_start() {
  // The start's reply was lost: whether the move ran is read from the axis.
  const std::optional<uint32_t> before = axis_position_;
  axis_position_.reset();
  uint32_t p = 0;
  if (!before || !read_position(p)) return false;
  axis_position_ = p;
  const tuning::TuningState& ts = *tuning_;
  const auto counts = static_cast<int64_t>(tuning::stroke_counts(hidden.test_pulses, ts.gear_a, ts.gear_b) /
                                           std::max<uint32_t>(tuning_->servo_resolution_scale, 1));
  const int64_t moved = std::abs(static_cast<int64_t>(static_cast<int32_t>(p - *before)));
  return moved * 2 > counts;
}

void GainTuningWindow::read_peak_torque() {
  if (!ctx_.link.read_registers(node(), tuning::kPeakTorque, 1)) return;
  hidden.peak_torque = QString::number(ctx_.link.reply_word(0));
  edit("Edit33")->setText(hidden.peak_torque);
}

bool GainTuningWindow::test_move(const TestMove& steps) {
  Sequence run(*this);
  if (!run.ok() || run.stopped()) return false;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  // Verified for this move only: what ran before gets its own setting back.
  FlagScope verify(st.verify_replies, 1);
  hidden.peak_torque.clear();
  prepare_move_settings();
  const uint8_t dir = ts.move_dir == 2 ? 2 : 1;
  const Start start = start_move(dir, steps.record_after_start ? 0 : steps.record);
  if (start == Start::Unconfirmed) refuse_move(QStringLiteral("运转失败"));
  if (start == Start::Refused || start == Start::Unconfirmed) return false;
  if (start == Start::Accepted) {
    report_->caption(QStringLiteral("运转成功"));
    ts.move_dir = other_direction(ts.move_dir);
  } else {
    report_->failed(QStringLiteral("运转失败"));
  }
  bool recorded = true;
  if (steps.record && steps.record_after_start) {
    if (steps.record_delay_ms > 0) ctx_.link.delay(steps.record_delay_ms);
    if (run.stopped()) {
      // Stopped before its recording: the move ends at once, nothing is
      // recorded, and the servo goes off as after any test move (refused
      // after 退出 or a user's SERVO_OFF).
      if (move_may_be_running()) stop_test_move();
      if (steps.servo_off_when_recording || steps.servo_off_before_capture) Button20Click();
      if (start == Start::NotAccepted) axis_position_.reset();
      return false;
    }
    recorded = write_record_trigger(steps.record);
    if (recorded && steps.servo_off_when_recording) Button20Click();
    // Shown for the recording's wait, after SERVO_OFF's own caption.
    if (recorded && steps.record_caption) report_->caption(QString::fromUtf8(steps.record_caption));
  }
  // Without its recording the test has nothing to judge and ends without the
  // wait: the move is over by now (the later recordings begin after it).
  if (recorded) ctx_.link.delay(steps.settle_ms >= 0 ? steps.settle_ms : static_cast<int>(move_wait_ms() + 800));
  if (run.stopped()) {
    // Stopped during the move: it ends now, before anything is put back,
    // and nothing is captured.
    if (move_may_be_running()) stop_test_move();
    if (steps.servo_off_before_capture && !steps.servo_off_when_recording) Button20Click();
    if (start == Start::NotAccepted) axis_position_.reset();
    return false;
  }
  // A start whose reply was lost may still have moved the axis: the next
  // move then has to come back, or the axis leaves its stroke.
  if (start == Start::NotAccepted && settle_unaccepted_start()) ts.move_dir = other_direction(ts.move_dir);
  if (!recorded) {
    // Nothing to judge: the move under way ends before the servo goes off.
    if (move_may_be_running()) stop_test_move();
    if (steps.servo_off_when_recording || steps.servo_off_before_capture) Button20Click();
    st.comm_error = 1;
    return false;
  }
  if (!steps.capture) {
    read_peak_torque();
    return start == Start::Accepted;
  }
  if (steps.servo_off_before_capture) Button20Click();
  hidden.samples = steps.samples;
  hidden.first_sample = 0;
  chart_->clear_capture_series();
  pos_data_read();
  if (steps.read_torque) read_peak_torque();
  return start == Start::Accepted && !run.stopped() && st.comm_error == 0 && st.tune_error == 0 &&
         ts.capture_block_ok == 1 && ts.drive_fault_seen == 0;
}

void GainTuningWindow::Button22Click() {
  TestMove single;
  single.capture = false;
  test_move(single);
}

void GainTuningWindow::run_half() {
  Sequence run(*this);
  // After a stop the axis stays where it is.
  if (!run.ok() || run.stopped()) return;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  const auto full = tuning::stroke_pulses(StrokeTrigger::RunHalf, stroke_input(StrokeDivisor::Trial));
  if (!full) {
    report_->failed(QStringLiteral("行程脉冲数超出范围"));
    return;
  }
  hidden.test_pulses = *full / 2;
  const uint32_t khz = std::clamp<uint32_t>(*full / 400, 10, 5000);
  edit("Edit68")->setText(QString::number(khz - khz % 10));
  ts.move_params_changed = 1;
  Button22Click();
  if (!run.stopped()) {
    // From here on every full stroke swings about where the drive started.
    hidden.test_pulses = *full;
    ts.move_params_changed = 1;
    if (write_test_settings()) {
      ts.move_params_changed = 0;
    } else if (!run.stopped()) {
      st.comm_error = 1;
    }
  }
  if (!hidden.vertical_load && ts.hold_servo_on == 0) Button20Click();
}

void GainTuningWindow::Button40Click() { run_direction(1); }
void GainTuningWindow::Button41Click() { run_direction(2); }

void GainTuningWindow::run_direction(uint8_t dir) {
  Sequence run(*this);
  if (!run.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  const bool forward = dir == 1;
  auto* button = control<QPushButton>(this, forward ? "Button40" : "Button41");
  button->setEnabled(false);
  const auto text = [forward](const char* fwd, const char* rev) { return QString::fromUtf8(forward ? fwd : rev); };
  if (ts.servo_on_state == 0) {
    Button19Click();
    ctx_.link.delay(1000);
  }
  if (recompute_stroke(StrokeTrigger::RunStart, true) && !run.stopped()) {
    Start start = Start::Refused;
    {
      FlagScope verify(st.verify_replies, 1);
      hidden.peak_torque.clear();
      prepare_move_settings();
      start = start_move(dir);
      if (start == Start::Unconfirmed) {
        refuse_move(text("正转控制失败", "反转控制失败"));
      } else if (start == Start::NotAccepted) {
        report_->failed(text("正转控制失败", "反转控制失败"));
        // Whether it moved is settled before anything else moves it.
        ctx_.link.delay(static_cast<int>(move_wait_ms() + 500));
        settle_unaccepted_start();
      } else if (start == Start::Accepted) {
        report_->done(text("正转中...", "反转中..."));
        FlagScope active(ts.test_run_active, 1);
        ctx_.link.delay(static_cast<int>(move_wait_ms() + 500));
        read_peak_torque();
        if (!run.stopped()) report_->done(text("正转完成", "反转完成"));
      }
    }
    // Stopped during the wait: the move is ended at once.
    if (start == Start::Accepted && run.stopped()) stop_test_move();
  }
  st.abort_wait = 0;
  button->setEnabled(true);
}

void GainTuningWindow::Button35Click() {
  const bool by_user = !sequence_running();
  Sequence run(*this);
  if (!run.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  auto* button = control<QPushButton>(this, "Button35");
  button->setEnabled(false);
  if (by_user) {
    // What an earlier run left behind must not cut this one short.
    st.comm_error = 0;
    ts.tune_stop = 0;
    st.abort_wait = 0;
  }
  // A stop press counts for the whole run, between passes too.
  FlagScope active(ts.test_run_active, 1);
  ctx_.link.delay(100);
  auto* forward_count = edit("Edit43");
  auto* reverse_count = edit("Edit60");
  forward_count->setText(QStringLiteral("0"));
  reverse_count->setText(QStringLiteral("0"));
  bool interrupted = false;
  if (recompute_stroke(StrokeTrigger::RunStart, true)) {
    const int passes = std::clamp(tuning::field_int(edit("Edit31")), 1, 50);
    auto ended = [&] { return st.comm_error == 1 || run.stopped(); };
    for (int k = 1; k <= passes; ++k) {
      Button40Click();
      forward_count->setText(QString::number(k));
      if (ended()) break;
      Button41Click();
      reverse_count->setText(QString::number(k));
      if (ended()) break;
    }
    if (ended()) {
      st.comm_error = 0;
      interrupted = true;
    }
  }
  // A run cut short by a stop or a failure does not claim to be complete.
  if (interrupted) {
    report_->failed(QStringLiteral("循环运转中断"));
  } else {
    report_->caption(QStringLiteral("循环运转完成"));
  }
  st.abort_wait = 0;
  ts.tune_stop = 0;
  button->setEnabled(true);
}

void GainTuningWindow::Button48Click() {
  tuning::TuningState& ts = *tuning_;
  if (ts.test_run_active == 1) {
    ts.tune_stop = 1;
    request_stop();
    return;
  }
  // Any other operation stops as with the search stops.
  Button30Click();
}

void GainTuningWindow::Button19Click() {
  Sequence run(*this);
  if (!run.ok() || run.stopped()) return;
  servo_may_be_on_ = true;
  const bool on = ctx_.link.write_register(node(), tuning::kServoOnOff, 1);
  // The move it was asked for does not start without it.
  confirmed_.servo_on(node(), on);
  if (!on) {
    report_->failed(QStringLiteral("SERVO_ON控制失败"));
    return;
  }
  report_->done(QStringLiteral("SERVO_ON"));
  tuning_->servo_on_state = 1;
}

void GainTuningWindow::Button20Click() {
  Sequence run(*this);
  if (run.ok()) servo_off();
}

void GainTuningWindow::user_servo_off() {
  if (exiting_) {
    // The exit steps go on; SERVO_OFF goes out after the exchange in flight.
    if (servo_off_unsent_) return;
    servo_off_unsent_ = true;
    ctx_.link.when_idle([this] { finish_user_servo_off(); });
    return;
  }
  if (!sequence_running()) {
    // A start by the user: an earlier failure does not count against it.
    ctx_.link.st.comm_error = 0;
    ctx_.link.st.tune_error = 0;
    Button20Click();
    return;
  }
  if (user_servo_off_) return;
  user_servo_off_ = true;
  servo_off_unsent_ = true;
  request_stop();
  // Not inside the exchange in flight: its caller still reads its reply.
  ctx_.link.when_idle([this] { finish_user_servo_off(); });
}

void GainTuningWindow::finish_user_servo_off() {
  ctx_.link.when_idle(nullptr);
  if (servo_off_unsent_) {
    servo_off_unsent_ = false;
    servo_off();
  }
  if (depth_ == 0) user_servo_off_ = false;
}

void GainTuningWindow::servo_off() {
  tuning::TuningState& ts = *tuning_;
  if (ctx_.link.write_register(node(), tuning::kServoOnOff, 0)) {
    report_->done(QStringLiteral("SERVO_OFF"));
    ts.servo_on_state = 0;
    servo_may_be_on_ = false;
  } else {
    report_->caption(QStringLiteral("SERVO_OFF控制失败"));
    report_->fail_line(QStringLiteral("SERVO_OFF控制失败"));
    ts.servo_on_state = 1;
  }
}

void GainTuningWindow::Button50Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  const int32_t frequency = move_frequency();
  const bool ok = ctx_.link.write_register(node(), tuning::kMoveFrequency, frequency);
  confirmed_.frequency(node(), ok ? std::optional(frequency) : std::nullopt);
  if (!ok) ts.move_params_changed = 1;
  if (ok) {
    report_->caption(QStringLiteral("脉冲频率设置成功"));
  } else if (st.reply_flag == 0) {
    report_->caption(QStringLiteral("通信失败"));
    report_->fail_line(QStringLiteral("通信失败**"));
  } else {
    report_->failed(QStringLiteral("脉冲频率设置失败"));
  }
  ts.servo_on_state = 1;
  control<QPushButton>(this, "Button20")->setEnabled(true);
}

}  // namespace velmo
