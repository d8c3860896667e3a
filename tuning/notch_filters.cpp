// Notch filters and end-vibration suppressors: selecting a group reads it,
// the fields write single registers, the set buttons write what the last
// analysis detected and the reset buttons clear the selected group.
//
// The detected frequency (resonance_freq, endvib_freq_x10) and the fields'
// values are kept apart: reading a group or typing a value never changes
// what the set buttons write.
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "common/form_access.h"
#include "drivelink/drive_link.h"
#include "tuning/filter_registers.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/numeric_field.h"
#include "tuning/tenths_text.h"
#include "tuning/tuning_chart.h"
#include "tuning/tuning_report.h"
#include "tuning/tuning_sequence.h"

namespace velmo {

using tuning::FieldRule;
using tuning::NumericField;

namespace {

constexpr FieldRule kFilterFields[] = {
    {"Edit9", 50, 2500, "2500", false, 4},
    {"Edit3", 0, 10, "0", false, 2, "0~10"},
    {"Edit27", 0, 200, "0.0", true, 0, "0.0~200.0"},
    {"Edit26", 0, 10, "0.0", true, 0, "0.0~10.0"},
};

QString tenths(int64_t v) { return QString::fromStdString(tuning::tenths_text(v)); }

}  // namespace

void GainTuningWindow::wire_filter_fields(QWidget* page) {
  std::map<std::string, NumericField*> fields;
  for (const FieldRule& rule : kFilterFields)
    fields[rule.name] = new NumericField(page->findChild<QLineEdit*>(QString::fromLatin1(rule.name)), rule);
  DriveLinkState& st = ctx_.link.st;
  // Enter writes the field's own value into the selected group after a pause.
  auto write_field = [this, &fields](const char* name, auto reg_of, auto value_of) {
    fields[name]->on_enter = [this, reg_of, value_of] {
      if (sequence_running()) return;
      Sequence run(*this);
      if (!run.ok()) return;
      ctx_.link.delay(100);
      DriveLinkState& s = ctx_.link.st;
      s.param_reg = static_cast<uint8_t>(reg_of());
      s.param_value = value_of();
      write_drive_param();
    };
  };
  auto notch = [this, &st] {
    return tuning::filter_registers(tuning::filter_layout(st.servo_subtype).notch, st.notch_group);
  };
  auto suppressor = [this, &st] {
    return tuning::filter_registers(tuning::filter_layout(st.servo_subtype).suppressor, st.suppressor_group);
  };
  auto whole = [this](const char* name) { return [this, name] { return tuning::field_int(edit(name)); }; };
  auto tenths_of = [this](const char* name) {
    return [this, name] { return static_cast<int32_t>(std::nearbyint(tuning::field_double(edit(name)) * 10)); };
  };
  write_field("Edit9", [notch] { return notch().frequency; }, whole("Edit9"));
  write_field("Edit3", [notch] { return notch().width; }, whole("Edit3"));
  write_field("Edit27", [suppressor] { return suppressor().frequency; }, tenths_of("Edit27"));
  write_field("Edit26", [suppressor] { return suppressor().depth; }, tenths_of("Edit26"));
}

void GainTuningWindow::notch_group_selected(int group) {
  Sequence run(*this);
  if (!run.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  st.notch_group = static_cast<uint8_t>(group);
  const tuning::FilterBank& bank = tuning::filter_layout(st.servo_subtype).notch;
  if (!ctx_.link.read_registers(tuning::filter_registers(bank, group).frequency, bank.read_words)) {
    report_->failed(QStringLiteral("陷波器参数读取失败"));
    return;
  }
  report_->done(QStringLiteral("陷波器参数读取成功"));
  edit("Edit9")->setText(QString::number(ctx_.link.reply_word(0)));
  edit("Edit3")->setText(QString::number(ctx_.link.reply_word(1)));
}

void GainTuningWindow::suppressor_group_selected(int group) {
  Sequence run(*this);
  if (!run.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  st.suppressor_group = static_cast<uint8_t>(group);
  const tuning::FilterBank& bank = tuning::filter_layout(st.servo_subtype).suppressor;
  if (!ctx_.link.read_registers(tuning::filter_registers(bank, group).frequency, bank.read_words)) {
    report_->failed(QStringLiteral("振动抑制器参数读取失败"));
    return;
  }
  report_->done(QStringLiteral("振动抑制器参数读取成功"));
  edit("Edit27")->setText(tenths(ctx_.link.reply_word(0)));
  edit("Edit26")->setText(tenths(ctx_.link.reply_word(1)));
}

namespace {
// Writes in order and stops at the first the drive did not accept, so the
// fields never show a group the drive does not hold.
struct GroupWrite {
  uint16_t reg;
  int32_t value;
};
}  // namespace

void GainTuningWindow::Button8Click() {
  Sequence run(*this);
  DriveLinkState& st = ctx_.link.st;
  if (!run.ok() || st.resonance_found != 1) return;
  const tuning::FilterRegisters r =
      tuning::filter_registers(tuning::filter_layout(st.servo_subtype).notch, st.notch_group);
  // The analysis never reports outside the notch's range; a stale value
  // must not reach the drive either.
  const int32_t hz = std::clamp(st.resonance_freq, 50, 2500);
  std::vector<GroupWrite> writes{{r.frequency, hz}, {static_cast<uint16_t>(r.width), tuning::kNotchSetWidth}};
  if (r.depth >= 0) writes.push_back({static_cast<uint16_t>(r.depth), tuning::kNotchSetDepth});
  for (const GroupWrite& w : writes) {
    st.param_reg = static_cast<uint8_t>(w.reg);
    st.param_value = w.value;
    write_drive_param();
    if (!ctx_.link.last_outcome().ok()) return;
  }
  edit("Edit3")->setText(QString::number(tuning::kNotchSetWidth));
  st.resonance_found = 0;
  edit("Edit9")->setText(QString::number(hz));
  st.notch_result = 1;
}

void GainTuningWindow::Button9Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  const tuning::FilterRegisters r =
      tuning::filter_registers(tuning::filter_layout(st.servo_subtype).notch, st.notch_group);
  std::vector<GroupWrite> writes{{r.frequency, tuning::kNotchResetFrequency}, {static_cast<uint16_t>(r.width), 0}};
  if (r.depth >= 0) writes.push_back({static_cast<uint16_t>(r.depth), 0});
  for (const GroupWrite& w : writes) {
    st.param_reg = static_cast<uint8_t>(w.reg);
    st.param_value = w.value;
    write_drive_param();
    if (!ctx_.link.last_outcome().ok()) return;
  }
  edit("Edit9")->setText(QString::number(tuning::kNotchResetFrequency));
  edit("Edit3")->setText(QStringLiteral("0"));
  st.notch_result = 0;
}

void GainTuningWindow::Button16Click() {
  Sequence run(*this);
  DriveLinkState& st = ctx_.link.st;
  if (!run.ok() || st.endvib_found != 1) return;
  chart_->set_lamp(tuning::TuningChart::LampEndVibration, false);
  auto* button = control<QPushButton>(this, "Button16");
  button->setEnabled(false);
  const tuning::FilterRegisters r =
      tuning::filter_registers(tuning::filter_layout(st.servo_subtype).suppressor, st.suppressor_group);
  const int32_t x10 = std::clamp(st.endvib_freq_x10, 0, 2000);
  bool ok = true;
  for (const GroupWrite& w : {GroupWrite{r.frequency, x10}, GroupWrite{static_cast<uint16_t>(r.depth),
                                                                       tuning::kSuppressorSetDepth}}) {
    st.param_reg = static_cast<uint8_t>(w.reg);
    st.param_value = w.value;
    write_drive_param();
    if (!(ok = ctx_.link.last_outcome().ok())) break;
  }
  button->setEnabled(true);
  if (!ok) return;
  edit("Edit26")->setText(tenths(tuning::kSuppressorSetDepth));
  st.endvib_found = 0;
  edit("Edit27")->setText(tenths(x10));
}

void GainTuningWindow::Button12Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  const tuning::FilterRegisters r =
      tuning::filter_registers(tuning::filter_layout(st.servo_subtype).suppressor, st.suppressor_group);
  for (uint16_t reg : {r.frequency, static_cast<uint16_t>(r.depth)}) {
    st.param_reg = static_cast<uint8_t>(reg);
    st.param_value = 0;
    write_drive_param();
    if (!ctx_.link.last_outcome().ok()) return;
  }
  edit("Edit27")->setText(QStringLiteral("0.0"));
  edit("Edit26")->setText(QStringLiteral("0.0"));
}

}  // namespace velmo
