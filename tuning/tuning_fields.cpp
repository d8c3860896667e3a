// The number fields of the gain-tuning window: their key filters and exit
// rules as one table, and what leaving or Enter does in each.
#include <QLineEdit>

#include <cmath>

#include "drivelink/drive_link.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/numeric_field.h"
#include "tuning/tuning_sequence.h"

namespace velmo {

using tuning::FieldRule;
using tuning::NumericField;
using tuning::StrokeTrigger;

namespace {
// A gear term must survive a read: the drive keeps only the low byte of the
// high word, so 255 x 10000 + 9999 is the largest.
constexpr double kGearTermMax = 255 * 10000 + 9999;

constexpr FieldRule kFields[] = {
    {"Edit28", 1, kGearTermMax, "1", false, 8},
    {"Edit29", 1, kGearTermMax, "1", false, 8},
    {"Edit20", 1, 100, "1.0", true},
    {"Edit48", 0, 1e9, "80", false, 4},
    {"Edit39", 1, 30, "1", false, 2, "1~30"},
    {"Edit40", 0.1, 80, "0.1", true, 0, "0.1~80.0"},
    {"Edit41", 0.1, 1000, "0.1", true, 0, "0.1~1000.0"},
    {"Edit42", 1, 400, "20.0", true, 0, "1.0~200.0"},
    {"Edit46", 150, 250, "240", false, 3, "150~250"},
    {"Edit47", 2, 50, "20", false, 3, "2~100"},
    {"Edit64", 10, 200, "50", false, 3, "20~200"},
    {"Edit8", 1, 50, "3", false, 2},
    {"Edit67", 1, 50, "1", false, 2},
    {"Edit35", 1, 50, "3", false, 2, "1~50  请确认安全行程！！"},
    {"Edit66", 1, 50, "1", false, 2, "1~50  请确认安全行程！！"},
    {"Edit68", 10, 5000, "10", false, 4, nullptr, 10},
    {"Edit31", 1, 50, "1", false, 2, "1~99"},
};

int32_t tenths_of(const QLineEdit* e) { return static_cast<int32_t>(std::nearbyint(tuning::field_double(e) * 10)); }
}  // namespace

void GainTuningWindow::wire_fields() {
  for (const FieldRule& rule : kFields) new NumericField(edit(rule.name), rule);
  // The fields' handlers outlive this call; the state lives as long as the window.
  tuning::TuningState* ts = tuning_.get();

  // Each field of a pair that describes the same stroke copies itself into
  // the other when left.
  auto mirror = [this](const char* from, const char* to, StrokeTrigger trigger) {
    field(from)->on_exit = [this, from, to, trigger] {
      edit(to)->setText(edit(from)->text());
      recompute_stroke(trigger);
    };
  };
  mirror("Edit8", "Edit35", StrokeTrigger::LeaveTrialField);
  mirror("Edit67", "Edit66", StrokeTrigger::LeaveTrialField);
  mirror("Edit35", "Edit8", StrokeTrigger::LeaveSelfLearnField);
  mirror("Edit66", "Edit67", StrokeTrigger::LeaveSelfLearnField);
  field("Edit68")->on_exit = [ts] { ts->move_params_changed = 1; };
  auto after_pause = [this](StrokeTrigger trigger) {
    return [this, trigger] {
      ctx_.link.delay(100);
      recompute_stroke(trigger);
    };
  };
  field("Edit8")->on_enter = after_pause(StrokeTrigger::EnterTrialField);
  field("Edit67")->on_enter = after_pause(StrokeTrigger::EnterTrialField);
  field("Edit68")->on_enter = after_pause(StrokeTrigger::EnterFrequency);

  // Gains: leaving stores, Enter writes after a pause.
  field("Edit39")->on_exit = [this, ts] {
    ts->rigidity_level = static_cast<uint32_t>(tuning::field_int(edit("Edit39")));
  };
  field("Edit39")->on_enter = [this] {
    if (sequence_running()) return;
    Sequence run(*this);
    if (!run.ok()) return;
    ctx_.link.delay(100);
    if (!run.stopped()) gain_set();
  };
  field("Edit40")->on_exit = [this, ts] { ts->pos_loop_gain = tenths_of(edit("Edit40")); };
  field("Edit41")->on_exit = [this, ts] { ts->speed_loop_gain = tenths_of(edit("Edit41")); };
  field("Edit42")->on_exit = [this, ts] { ts->integral_time = tenths_of(edit("Edit42")); };
  field("Edit40")->on_enter = [this, ts] { write_after_pause(static_cast<uint8_t>(layout().kp), ts->pos_loop_gain); };
  field("Edit41")->on_enter = [this, ts] { write_after_pause(static_cast<uint8_t>(layout().kv), ts->speed_loop_gain); };
  field("Edit42")->on_enter = [this, ts] { write_after_pause(static_cast<uint8_t>(layout().ti), ts->integral_time); };
}

void GainTuningWindow::write_after_pause(uint8_t set1_reg, int32_t value) {
  if (sequence_running()) return;
  Sequence run(*this);
  if (!run.ok()) return;
  ctx_.link.delay(100);
  if (run.stopped()) return;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  st.param_reg = static_cast<uint8_t>(set1_reg + tuning::kSet2Offset * ts.gain_group);
  st.param_value = value;
  write_drive_param();
}

}  // namespace velmo
