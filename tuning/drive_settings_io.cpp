// Reading and writing what the tuning window keeps of the drive: motor
// identity, position, gear and inertia ratio, load settings and gains.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>
#include <tuple>

#include "common/form_access.h"
#include "common/value_marks.h"
#include "link/servo_motor_table.h"
#include "drivelink/drive_link.h"
#include "tuning/drive_snapshot.h"
#include "tuning/filter_registers.h"
#include "tuning/gain_formula.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/numeric_field.h"
#include "tuning/tenths_text.h"
#include "tuning/tuning_report.h"
#include "tuning/tuning_operation.h"
#include "tuning/tuning_sequence.h"

namespace velmo {

namespace {
// A gear term as the drive holds it: only the low byte of the high word counts.
uint32_t gear_term(uint16_t high, uint16_t low) { return (high & 0xFFu) * 10000u + low; }

const char* const kLoadHints[] = {
    "低刚性负载：如同步带传动、齿轮齿条传动、机械臂、机械手等系统",
    "中刚性负载：如普通丝杆传动、伺服滑台、伺服模组等系统",
    "高刚性负载：如高精度有预紧力丝杆传动、机床工作台等系统",
};

// Response requirement: response_mode, the highest rigidity level, and the
// jitter threshold for a low, middle and high rigidity load.
struct ResponseRule {
  uint8_t mode;
  uint32_t rigidity_max;
  int jitter[3];
};
constexpr ResponseRule kResponseRules[] = {{0, 15, {5, 5, 5}}, {1, 22, {5, 5, 6}}, {2, 30, {5, 6, 7}}};
}  // namespace

void GainTuningWindow::set_tenths(const char* name, int64_t tenths) {
  edit(name)->setText(QString::fromStdString(tuning::tenths_text(tenths)));
}

bool GainTuningWindow::write_drive_param() {
  DriveLinkState& st = ctx_.link.st;
  // After a stop nothing is written but what puts the drive back.
  if (stop_requested()) return false;
  // The request's own operands: the record's may be another caller's by the
  // time the reply is in.
  const uint8_t reg = st.param_reg;
  const int32_t value = st.param_value;
  const bool ok = ctx_.link.write_register(node(), reg, value);
  if (operation_) operation_->wrote(reg, value, ok);
  if (ok) {
    confirmed(reg);
    report_->caption(QStringLiteral("参数修改成功"));
    return true;
  }
  report_->failed(QStringLiteral("参数修改失败"));
  if (st.verify_replies) {
    st.comm_error = 1;
    st.tune_error = 1;
  }
  // An operation puts back and shows what it changed itself.
  if (!operation_) read_back_refused(reg);
  return false;
}

void GainTuningWindow::Button23Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  // The whole accepted-reply test: a stray or garbled reply would change
  // the resolution 32-fold.
  const bool ok = ctx_.link.read_registers(node(), tuning::kMotorCode, 1);
  if (st.reply_flag == 0) {
    report_->bare(QStringLiteral("通信失败"));
    return;
  }
  if (!ok) {
    report_->failed(QStringLiteral("电机参数读取失败"));
    return;
  }
  report_->done(QStringLiteral("电机参数读取成功"));
  settings_read(SettingsRead::Motor);
  const uint16_t code = ctx_.link.reply_word(0);
  edit("Edit56")->setText(QStringLiteral("%1.%2").arg(code / 100).arg(code % 100));
  const servo_motors::Identity id = servo_motors::identify(code);
  ts.hold_servo_on = id.hold_servo_on ? 1 : 0;
  tuning_->servo_resolution = id.resolution;
  tuning_->servo_resolution_scale = id.resolution_scale;
  hidden.curve_step = id.curve_step;
  ts.motor_row = static_cast<uint32_t>(id.row);
  hidden.motor_table_index = static_cast<int>(id.row);
  const servo_motors::Row row = servo_motors::row(id.row);
  auto text = [](std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); };
  edit("Edit52")->setText(text(row.rotor_inertia));
  edit("Edit51")->setText(text(row.rated_torque));
  hidden.torque_numerator = text(row.torque_numerator);
  hidden.torque_divisor = text(row.torque_divisor);
}

bool GainTuningWindow::read_position(uint32_t& position) {
  if (!ctx_.link.read_registers(node(), tuning::kPositionLow, 2)) return false;
  position = (uint32_t{ctx_.link.reply_word(1)} << 16) | ctx_.link.reply_word(0);
  return true;
}

void GainTuningWindow::Button6Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  uint32_t p = 0;
  if (!read_position(p)) {
    report_->failed(QStringLiteral("位置信息读取失败"));
    return;
  }
  axis_position_ = p;
  const uint32_t res = tuning_->servo_resolution ? tuning_->servo_resolution : 131072;
  edit("Edit17")->setText(QString::number(p / res));
  edit("Edit34")->setText(QString::number(p % res));
  report_->caption(QStringLiteral("位置信息读取成功！！"));
  report_->done_line(QStringLiteral("位置信息读取成功"));
}

void GainTuningWindow::Button14Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  tuning::TuningState& ts = *tuning_;
  auto* button = control<QPushButton>(this, "Button14");
  button->setEnabled(false);
  const tuning::TuningLayout& regs = layout();

  if (!ctx_.link.read_registers(node(), regs.gear_block, 4)) {
    report_->failed(QStringLiteral("齿轮比读取失败"));
  } else {
    const uint32_t a = gear_term(ctx_.link.reply_word(0), ctx_.link.reply_word(1));
    const uint32_t b = gear_term(ctx_.link.reply_word(2), ctx_.link.reply_word(3));
    if (a == 0 || b == 0) {
      // A zero term would divide every stroke by zero: the old ratio stays.
      report_->failed(QStringLiteral("齿轮比读数%1/%2无效，未采用").arg(a).arg(b));
    } else {
      report_->done(QStringLiteral("齿轮比读取成功"));
      settings_read(SettingsRead::Gear);
      ts.gear_a = a;
      ts.gear_b = b;
      edit("Edit28")->setText(QString::number(a));
      edit("Edit29")->setText(QString::number(b));
    }
  }

  // A layout without load settings leaves them the engineer's choice.
  if (regs.load_class == 0) settings_read(SettingsRead::LoadSettings);
  if (regs.load_class != 0 && !run.stopped()) {
    if (!ctx_.link.read_registers(node(), regs.load_class, 2)) {
      report_->failed(QStringLiteral("参数读取失败"));
    } else {
      load_settings_read(ctx_.link.reply_word(0), ctx_.link.reply_word(1));
    }
  }

  if (!run.stopped()) {
    if (!ctx_.link.read_registers(node(), regs.gain_block, regs.gain_block_words)) {
      report_->failed(QStringLiteral("增益参数读取失败"));
    } else {
      report_->done(QStringLiteral("增益参数读取成功"));
      settings_read(SettingsRead::Gains);
      auto word = [this](uint8_t at) { return ctx_.link.reply_word(at); };
      uint32_t ratio = word(regs.at_ratio);
      if (ratio < tuning::kInertiaRatioMin || ratio > tuning::kInertiaRatioMax) {
        // The formula needs a ratio of 1.0 to 100.0; outside it the gains
        // would be infinite or meaningless.
        const uint32_t used = std::clamp(ratio, tuning::kInertiaRatioMin, tuning::kInertiaRatioMax);
        report_->fail_line(QStringLiteral("惯量比读数%1超出范围，按%2计算!!")
                               .arg(QString::fromStdString(tuning::tenths_text(ratio)),
                                    QString::fromStdString(tuning::tenths_text(used))));
        ratio = used;
      }
      ts.inertia_ratio = ratio;
      pos_dwsj_min_max_set();
      set_tenths("Edit20", ratio);
      if (ratio != word(regs.at_ratio))
        mark_unconfirmed(edit("Edit20"), true,
                         QStringLiteral("驱动器中的惯量比为%1，超出1.0~100.0，按%2计算")
                             .arg(QString::fromStdString(tuning::tenths_text(word(regs.at_ratio))),
                                  QString::fromStdString(tuning::tenths_text(ratio))));
      edit("Edit39")->setText(QString::number(word(regs.at_rigidity)));
      ts.pos_loop_gain = word(regs.at_kp);
      ts.speed_loop_gain = word(regs.at_kv);
      ts.integral_time = word(regs.at_ti);
      set_tenths("Edit40", ts.pos_loop_gain);
      set_tenths("Edit41", ts.speed_loop_gain);
      set_tenths("Edit42", ts.integral_time);
      hidden.speed_filter = word(regs.at_speed_filter);
      hidden.torque_filter = word(regs.at_torque_filter);
    }
  }

  button->setEnabled(true);
  recompute_stroke(tuning::StrokeTrigger::LeaveTrialField);
  ts.move_params_changed = 1;
}

void GainTuningWindow::load_settings_read(uint16_t word1, uint16_t word2) {
  tuning::TuningState& ts = *tuning_;
  const int load = (word1 & 0xFF) - 1;
  const int response = (word2 & 0xFF) - 1;
  if (load < 0 || load > 2 || response < 0 || response > 2) {
    // Out of the three classes the formula knows: the current choice stays.
    report_->failed(QStringLiteral("负载设置读数%1/%2超出范围，未采用").arg(word1 & 0xFF).arg(word2 & 0xFF));
    return;
  }
  settings_read(SettingsRead::LoadSettings);
  auto* load_box = control<QComboBox>(this, "ComboBox4");
  load_box->setCurrentIndex(load);
  control<QComboBox>(this, "ComboBox5")->setCurrentIndex(response);
  ts.load_class = static_cast<uint8_t>(load);
  load_box->setToolTip(QString::fromUtf8(kLoadHints[load]));
  response_rule();
}

void GainTuningWindow::Button15Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  tuning::TuningState& ts = *tuning_;
  auto* button = control<QPushButton>(this, "Button15");
  button->setEnabled(false);
  const tuning::TuningLayout& regs = layout();
  for (const char* name : {"Edit28", "Edit29", "Edit20"}) field(name)->apply();

  const auto a = static_cast<uint32_t>(tuning::field_int(edit("Edit28")));
  const auto b = static_cast<uint32_t>(tuning::field_int(edit("Edit29")));
  const std::vector<int32_t> words = {static_cast<int32_t>(a / 10000), static_cast<int32_t>(a % 10000),
                                      static_cast<int32_t>(b / 10000), static_cast<int32_t>(b % 10000)};
  const bool gear_written = ctx_.link.write_registers(node(), regs.gear_block, words);
  if (gear_written) {
    report_->done(QStringLiteral("齿轮比修改成功"));
    settings_read(SettingsRead::Gear);
    ts.gear_a = a;
    ts.gear_b = b;
  } else {
    report_->failed(QStringLiteral("齿轮比修改失败"));
    read_back_gear();
  }

  const auto ratio = static_cast<uint32_t>(std::nearbyint(tuning::field_double(edit("Edit20")) * 10));
  if (!run.stopped()) {
    if (ctx_.link.write_register(node(), regs.inertia_ratio, static_cast<int32_t>(ratio))) {
      confirmed(regs.inertia_ratio);
      // After a lost gear write Panel1 keeps that failure.
      if (gear_written)
        report_->done(QStringLiteral("惯量比修改成功"));
      else
        report_->done_line(QStringLiteral("惯量比修改成功"));
      ts.inertia_ratio = ratio;
      pos_dwsj_min_max_set();
    } else {
      report_->failed(QStringLiteral("惯量比修改失败"));
      read_back_refused(regs.inertia_ratio);
    }
  } else {
    report_->failed(QStringLiteral("惯量比修改失败"));
  }

  button->setEnabled(true);
  recompute_stroke(tuning::StrokeTrigger::LeaveTrialField);
  ts.move_params_changed = 1;
}

void GainTuningWindow::read_back_gear() {
  const ExchangeOutcome write = ctx_.link.last_outcome();
  const bool read = ctx_.link.read_registers(node(), layout().gear_block, 4);
  const uint32_t a = read ? gear_term(ctx_.link.reply_word(0), ctx_.link.reply_word(1)) : 0;
  const uint32_t b = read ? gear_term(ctx_.link.reply_word(2), ctx_.link.reply_word(3)) : 0;
  if (a != 0 && b != 0) {
    tuning::TuningState& ts = *tuning_;
    ts.gear_a = a;
    ts.gear_b = b;
    edit("Edit28")->setText(QString::number(a));
    edit("Edit29")->setText(QString::number(b));
    settings_read(SettingsRead::Gear);
    report_->fail_line(QStringLiteral("驱动器中的齿轮比仍为%1/%2!!").arg(a).arg(b));
    return;
  }
  // The typed ratio stays, as one the drive never confirmed.
  const QString why = read ? unconfirmed_hint(write) : unconfirmed_hint(write, ctx_.link.last_outcome());
  for (const char* name : {"Edit28", "Edit29"}) mark_unconfirmed(edit(name), true, why);
}

void GainTuningWindow::pos_dwsj_min_max_set() {
  tuning::TuningState& ts = *tuning_;
  const float k = std::pow(static_cast<float>(ts.inertia_ratio) / 10.0f, 0.68f);
  ts.pos_time_min = static_cast<uint32_t>(std::nearbyint(5.0f * k + 6.25f));
  ts.pos_time_max = static_cast<uint32_t>(std::nearbyint(27.4f * k + 6.25f));
  edit("Edit48")->setToolTip(QStringLiteral("%1mS ~ %2mS").arg(ts.pos_time_min).arg(ts.pos_time_max));
  field("Edit48")->set_bounds(ts.pos_time_min, ts.pos_time_max);
  clamp_positioning_time();
}

void GainTuningWindow::ComboBox4Change() {
  Sequence run(*this);
  if (!run.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  auto* box = control<QComboBox>(this, "ComboBox4");
  const int index = std::clamp(box->currentIndex(), 0, 2);
  ts.load_class = static_cast<uint8_t>(index);
  box->setToolTip(QString::fromUtf8(kLoadHints[index]));
  if (layout().load_class == 0) return;
  ctx_.link.delay(100);
  st.param_reg = static_cast<uint8_t>(layout().load_class);
  st.param_value = index + 1;
  write_drive_param();
}

void GainTuningWindow::response_rule() {
  tuning::TuningState& ts = *tuning_;
  const int index = std::clamp(control<QComboBox>(this, "ComboBox5")->currentIndex(), 0, 2);
  const ResponseRule& rule = kResponseRules[index];
  ts.response_mode = rule.mode;
  ts.rigidity_max = rule.rigidity_max;
  hidden.jitter_threshold = rule.jitter[std::min<int>(ts.load_class, 2)];
}

void GainTuningWindow::ComboBox5Change() {
  Sequence run(*this);
  if (!run.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  response_rule();
  if (layout().response_rule == 0) return;
  ctx_.link.delay(100);
  st.param_reg = static_cast<uint8_t>(layout().response_rule);
  st.param_value = control<QComboBox>(this, "ComboBox5")->currentIndex() + 1;
  write_drive_param();
}

void GainTuningWindow::gain_set() {
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  if (stop_requested()) return;
  const tuning::GainFormulaResult g = tuning::gain_formula(ts.rigidity_level, ts.load_class, ts.inertia_ratio);
  if (!g.note.empty()) report_->fail_line(QString::fromStdString(g.note) + QStringLiteral("!!"));
  if (!g.ok) return;
  ts.rigidity_level = g.rigidity_level;
  ts.integral_time = g.gains.integral_time;
  ts.speed_loop_gain = g.gains.speed_loop_gain;
  ts.pos_loop_gain = g.gains.pos_loop_gain;
  edit("Edit39")->setText(QString::number(ts.rigidity_level));
  set_tenths("Edit40", ts.pos_loop_gain);
  set_tenths("Edit41", ts.speed_loop_gain);
  set_tenths("Edit42", ts.integral_time);
  const tuning::TuningLayout& regs = layout();
  // A lost write does not stop the others, but Panel1 and the failure log
  // end on the first one: a later write's success is not the three's.
  const char* first_failed = nullptr;
  for (auto [reg, value, name] : {std::tuple{regs.ti, ts.integral_time, "积分时间"},
                                  std::tuple{regs.kv, ts.speed_loop_gain, "速度环增益"},
                                  std::tuple{regs.kp, ts.pos_loop_gain, "位置环增益"}}) {
    if (stop_requested()) return;
    st.param_reg = static_cast<uint8_t>(reg);
    st.param_value = value;
    if (!write_drive_param() && !first_failed) first_failed = name;
  }
  if (first_failed)
    report_->failed(QStringLiteral("增益设置未全部成功（%1修改失败）").arg(QString::fromUtf8(first_failed)));
}

void GainTuningWindow::Button21Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  tuning_->rigidity_level = 5;
  gain_set();
}

}  // namespace velmo
