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
#include "tuning/search_tables.h"
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
    return tuning::filter_registers(tuning::filter_layout(tuning_->servo_subtype).notch, tuning_->notch_group);
  };
  auto suppressor = [this, &st] {
    return tuning::filter_registers(tuning::filter_layout(tuning_->servo_subtype).suppressor, tuning_->suppressor_group);
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
  tuning::TuningState& ts = *tuning_;
  ts.notch_group = static_cast<uint8_t>(group);
  const tuning::FilterBank& bank = tuning::filter_layout(tuning_->servo_subtype).notch;
  if (!ctx_.link.read_registers(node(), tuning::filter_registers(bank, group).frequency, bank.read_words)) {
    report_->failed(QStringLiteral("陷波器参数读取失败"));
    return;
  }
  settings_read(SettingsRead::Notch);
  report_->done(QStringLiteral("陷波器参数读取成功"));
  edit("Edit9")->setText(QString::number(ctx_.link.reply_word(0)));
  edit("Edit3")->setText(QString::number(ctx_.link.reply_word(1)));
}

void GainTuningWindow::suppressor_group_selected(int group) {
  Sequence run(*this);
  if (!run.ok()) return;
  tuning::TuningState& ts = *tuning_;
  ts.suppressor_group = static_cast<uint8_t>(group);
  const tuning::FilterBank& bank = tuning::filter_layout(tuning_->servo_subtype).suppressor;
  if (!ctx_.link.read_registers(node(), tuning::filter_registers(bank, group).frequency, bank.read_words)) {
    report_->failed(QStringLiteral("振动抑制器参数读取失败"));
    return;
  }
  settings_read(SettingsRead::Suppressor);
  report_->done(QStringLiteral("振动抑制器参数读取成功"));
  edit("Edit27")->setText(tenths(ctx_.link.reply_word(0)));
  edit("Edit26")->setText(tenths(ctx_.link.reply_word(1)));
}

namespace {
struct GroupWrite {
  int32_t reg;  // -1: the layout has no such register
  int32_t value;
};
}  // namespace

// Writes in order and stops at the first the drive did not accept, so the
// fields never show a group the drive does not hold.
static bool write_group(GainTuningWindow& w, DriveLink& link, std::initializer_list<GroupWrite> writes) {
  for (const GroupWrite& g : writes) {
    if (g.reg < 0) continue;
    link.st.param_reg = static_cast<uint8_t>(g.reg);
    link.st.param_value = g.value;
    if (!w.write_drive_param()) return false;
  }
  return true;
}

void GainTuningWindow::Button8Click() {
  Sequence run(*this);
  tuning::TuningState& ts = *tuning_;
  if (!run.ok() || ts.resonance_found != 1) return;
  const tuning::FilterRegisters r =
      tuning::filter_registers(tuning::filter_layout(tuning_->servo_subtype).notch, tuning_->notch_group);
  // The analysis never reports outside the notch's range; a stale value
  // must not reach the drive either.
  const int32_t hz = std::clamp(ts.resonance_freq, 50, 2500);
  if (!write_group(*this, ctx_.link, {{r.frequency, hz}, {r.width, tuning::kNotchSetWidth}, {r.depth, tuning::kNotchSetDepth}}))
    return;
  edit("Edit3")->setText(QString::number(tuning::kNotchSetWidth));
  ts.resonance_found = 0;
  edit("Edit9")->setText(QString::number(hz));
  ts.notch_result = tuning::kNotchSet;
}

void GainTuningWindow::Button9Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  tuning::TuningState& ts = *tuning_;
  const tuning::FilterRegisters r =
      tuning::filter_registers(tuning::filter_layout(tuning_->servo_subtype).notch, tuning_->notch_group);
  if (!write_group(*this, ctx_.link, {{r.frequency, tuning::kNotchResetFrequency}, {r.width, 0}, {r.depth, 0}})) return;
  edit("Edit9")->setText(QString::number(tuning::kNotchResetFrequency));
  edit("Edit3")->setText(QStringLiteral("0"));
  ts.notch_result = tuning::kNotchNone;
}

void GainTuningWindow::Button16Click() {
  Sequence run(*this);
  tuning::TuningState& ts = *tuning_;
  if (!run.ok() || ts.endvib_found != 1) return;
  chart_->set_lamp(tuning::TuningChart::LampEndVibration, false);
  auto* button = control<QPushButton>(this, "Button16");
  button->setEnabled(false);
  const tuning::FilterRegisters r =
      tuning::filter_registers(tuning::filter_layout(tuning_->servo_subtype).suppressor, tuning_->suppressor_group);
  const int32_t x10 = std::clamp(ts.endvib_freq_x10, 0, 2000);
  const bool ok = write_group(*this, ctx_.link, {{r.frequency, x10}, {r.depth, tuning::kSuppressorSetDepth}});
  button->setEnabled(true);
  if (!ok) return;
  edit("Edit26")->setText(tenths(tuning::kSuppressorSetDepth));
  ts.endvib_found = 0;
  edit("Edit27")->setText(tenths(x10));
}

void GainTuningWindow::Button12Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  tuning::TuningState& ts = *tuning_;
  const tuning::FilterRegisters r =
      tuning::filter_registers(tuning::filter_layout(tuning_->servo_subtype).suppressor, ts.suppressor_group);
  if (!write_group(*this, ctx_.link, {{r.frequency, 0}, {r.depth, 0}})) return;
  edit("Edit27")->setText(QStringLiteral("0.0"));
  edit("Edit26")->setText(QStringLiteral("0.0"));
}

}  // namespace velmo
