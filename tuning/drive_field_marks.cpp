// Which of the window's fields show a setting of the drive, and whether the
// selected drive gave it: after a node change they still show the last
// node's values until a read or a write of this node settles each one; a
// single write the drive did not take is read back so the field shows
// what the drive holds, or is marked when that read fails too.
#include <QLineEdit>

#include <algorithm>

#include "common/form_access.h"
#include "common/value_marks.h"
#include "drivelink/drive_link.h"
#include "tuning/drive_snapshot.h"
#include "tuning/filter_registers.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/tenths_text.h"
#include "tuning/tuning_report.h"

namespace velmo {

namespace {
using Read = GainTuningWindow::SettingsRead;

// The fields each read of the drive fills.
struct ReadField {
  Read read;
  const char* name;
};
constexpr ReadField kReadFields[] = {
    {Read::Motor, "Edit56"},        {Read::Motor, "Edit52"},        {Read::Motor, "Edit51"},
    {Read::Gear, "Edit28"},         {Read::Gear, "Edit29"},         {Read::LoadSettings, "ComboBox4"},
    {Read::LoadSettings, "ComboBox5"}, {Read::Gains, "Edit20"},     {Read::Gains, "Edit39"},
    {Read::Gains, "Edit40"},        {Read::Gains, "Edit41"},        {Read::Gains, "Edit42"},
    {Read::Notch, "Edit9"},         {Read::Notch, "Edit3"},         {Read::Suppressor, "Edit27"},
    {Read::Suppressor, "Edit26"},
};
}  // namespace

void GainTuningWindow::mark_settings_unread(uint8_t from_node) {
  mark_settings(results_node_ != 0 && results_node_ != from_node
                    ? QStringLiteral("仍是节点%1的值，尚未从节点%2读取").arg(results_node_).arg(from_node)
                    : QStringLiteral("尚未从节点%1读取").arg(from_node));
}

void GainTuningWindow::mark_settings(const QString& why) {
  for (const ReadField& f : kReadFields) {
    QWidget* c = control<QWidget>(this, f.name);
    // A mark the last node's write left says nothing about this one.
    mark_unconfirmed(c, false);
    mark_unread(c, true, why);
  }
}

void GainTuningWindow::settings_read(SettingsRead read) {
  for (const ReadField& f : kReadFields)
    if (f.read == read) {
      QWidget* c = control<QWidget>(this, f.name);
      mark_unread(c, false);
      mark_unconfirmed(c, false);
    }
}

void GainTuningWindow::show_setting(tuning::Held what, int32_t value) {
  const auto f = tuning::held_field(what);
  if (!f) return;
  edit(f->name)->setText(f->tenths ? QString::fromStdString(tuning::tenths_text(value)) : QString::number(value));
  // What the window computes with is what it shows.
  tuning::TuningState& ts = *tuning_;
  const auto v = static_cast<uint32_t>(std::max(value, 0));
  switch (what) {
    case tuning::Held::InertiaRatio:
      ts.inertia_ratio = v;
      pos_dwsj_min_max_set();
      break;
    case tuning::Held::Rigidity: ts.rigidity_level = v; break;
    case tuning::Held::Kp: ts.pos_loop_gain = value; break;
    case tuning::Held::Kv: ts.speed_loop_gain = value; break;
    case tuning::Held::Ti: ts.integral_time = value; break;
    default: break;
  }
}

std::optional<tuning::HeldRegister> GainTuningWindow::held_at(uint16_t reg) const {
  const tuning::TuningState& ts = *tuning_;
  for (const tuning::HeldRegister& r : tuning::held_registers(layout(), tuning::filter_layout(ts.servo_subtype),
                                                              ts.notch_group, ts.suppressor_group))
    if (r.reg == reg && tuning::held_field(r.what)) return r;
  return std::nullopt;
}

void GainTuningWindow::confirmed(uint16_t first, uint16_t count) {
  const tuning::TuningState& ts = *tuning_;
  for (const tuning::HeldRegister& r : tuning::held_registers(layout(), tuning::filter_layout(ts.servo_subtype),
                                                              ts.notch_group, ts.suppressor_group))
    if (r.reg >= first && r.reg < first + count)
      if (const auto f = tuning::held_field(r.what)) {
        mark_unconfirmed(edit(f->name), false);
        mark_unread(edit(f->name), false);
      }
  // The load settings have no held register; their boxes show what was written.
  const auto in = [first, count](uint16_t reg) { return reg != 0 && reg >= first && reg < first + count; };
  for (auto [reg, name] : {std::pair{layout().load_class, "ComboBox4"}, std::pair{layout().response_rule, "ComboBox5"}})
    if (in(reg)) {
      mark_unread(control<QWidget>(this, name), false);
      mark_unconfirmed(control<QWidget>(this, name), false);
    }
}

void GainTuningWindow::read_back_refused(uint16_t reg) {
  const auto held = held_at(reg);
  if (!held) return;
  const ExchangeOutcome write = ctx_.link.last_outcome();
  QLineEdit* field = edit(tuning::held_field(held->what)->name);
  if (!ctx_.link.read_registers(node(), reg, 1)) {
    // The typed value stays, as one the drive never confirmed.
    mark_unconfirmed(field, true, unconfirmed_hint(write, ctx_.link.last_outcome()));
    return;
  }
  show_setting(held->what, ctx_.link.reply_word(0));
  confirmed(reg);
  report_->fail_line(QStringLiteral("驱动器中的%1仍为%2!!").arg(QString::fromUtf8(tuning::held_name(held->what)), field->text()));
}

}  // namespace velmo
