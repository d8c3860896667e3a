// The automatic searches and the self-learning sequence in the tuning
// window: what each button sets up and reports around the search it runs.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <exception>
#include <utility>
#include <vector>

#include "common/form_access.h"
#include "common/status_lamp.h"
#include "drivelink/drive_link.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/numeric_field.h"
#include "tuning/search_run.h"
#include "tuning/tuning_chart.h"
#include "tuning/tuning_operation.h"
#include "tuning/tuning_report.h"
#include "tuning/tuning_sequence.h"

namespace velmo {

using tuning::FlagScope;
using tuning::GainReg;
using tuning::OperationKind;
using tuning::Outcome;

void GainTuningWindow::SearchOpsOnWindow::write_gain(GainReg reg, int32_t value) {
  if (halted()) return;
  DriveLinkState& st = w_.ctx_.link.st;
  const tuning::TuningLayout& regs = w_.layout();
  uint16_t address = 0;
  const char* shown = nullptr;
  switch (reg) {
    case GainReg::Rigidity: address = regs.rigidity; break;
    case GainReg::Kp: address = regs.kp; shown = "Edit40"; break;
    case GainReg::Kv: address = regs.kv; shown = "Edit41"; break;
    case GainReg::Ti: address = regs.ti; shown = "Edit42"; break;
    case GainReg::Kp2: address = regs.kp + tuning::kSet2Offset; break;
    case GainReg::Kv2: address = regs.kv + tuning::kSet2Offset; break;
    case GainReg::Ti2: address = regs.ti + tuning::kSet2Offset; break;
  }
  if (reg == GainReg::Rigidity) w_.edit("Edit39")->setText(QString::number(value));
  if (shown) w_.set_tenths(shown, value);
  st.param_reg = static_cast<uint8_t>(address);
  st.param_value = value;
  w_.write_drive_param();
}

namespace {
// Both ends of a search: its button off while it runs, both stops (Button30,
// Button38) usable, each put back as it was, so a search nested in the
// self-learning leaves its stop on.
struct SearchFrame {
  QPushButton* button;
  std::vector<std::pair<QPushButton*, bool>> stops;
  SearchFrame(QWidget* window, const char* name) : button(control<QPushButton>(window, name)) {
    button->setEnabled(false);
    for (const char* stop : {"Button30", "Button38"}) {
      auto* b = control<QPushButton>(window, stop);
      stops.emplace_back(b, b->isEnabled());
      b->setEnabled(true);
    }
  }
  ~SearchFrame() {
    button->setEnabled(true);
    for (auto [b, was] : stops) b->setEnabled(was);
  }
};
}  // namespace

void GainTuningWindow::Button28Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  Operation op(*this, OperationKind::SpeedSearch);
  if (!op.ok()) return;
  SearchRun search(*this);
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  SearchFrame frame(this, "Button28");
  SearchOpsOnWindow ops(*this);
  try {
    response_rule();
    if (ts.sync_positioning == 1) {
      clamp_positioning_time();
      ts.rigidity_max = tuning::syn_gxdj_search(tuning::field_double(edit("Edit48")), ts.inertia_ratio);
      hidden.jitter_threshold = tuning::jitter_threshold_for(ts.load_class, ts.rigidity_max);
    }
    FlagScope verify(st.verify_replies, 1);
    report_->caption(QStringLiteral("速度环增益搜索中..."));
    report_->done_line(QStringLiteral("开始速度环增益搜索"));
    ts.tuning_stage[1] = 1;
    timer3_->start();
    ts.move_dir = 1;
    run_half();
    tuning::speed_gain_search(ops, ts, tuning::speed_search_variant(ts.load_class));
    tuning::write_speed_search_result(ops, ts);
    // The centring move ends with SERVO_OFF unless the load is vertical.
    if (!search_halted()) run_half();
    const bool halted = op.decide() != Outcome::Completed;
    if (halted) {
      report_->failed(QStringLiteral("速度环增益搜索中断"));
    } else {
      report_->done(QStringLiteral("速度环增益搜索完毕"));
    }
    ts.tuning_stage[1] = halted ? 0 : 2;
  } catch (const std::exception& e) {
    report_->fail_line(QString::fromUtf8(e.what()) + QStringLiteral("!!"));
    op.failed();
  }
}

void GainTuningWindow::Button29Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  Operation op(*this, OperationKind::PositionSearch);
  if (!op.ok()) return;
  SearchRun search(*this);
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  SearchFrame frame(this, "Button29");
  SearchOpsOnWindow ops(*this);
  try {
    hidden.resonance_threshold_db = tuning::kResonanceDbPositionSearch;
    hidden.jitter_threshold = tuning::jitter_threshold_for(ts.load_class, ts.rigidity_level);
    report_->caption(QStringLiteral("位置环增益搜索中..."));
    report_->done_line(QStringLiteral("开始位置环增益搜索"));
    ts.response_target = tuning::response_target_for(ts.integral_time);
    edit("Edit64")->setText(QString::number(ts.response_target));
    ts.tuning_stage[2] = 1;
    FlagScope verify(st.verify_replies, 1);
    timer3_->start();
    tuning::position_gain_search(ops, ts);
    const bool halted = op.decide() != Outcome::Completed;
    if (halted) {
      report_->failed(QStringLiteral("位置环增益搜索中断"));
    } else {
      report_->done(QStringLiteral("位置环增益搜索完成"));
    }
    ts.tuning_stage[2] = halted ? 0 : 2;
  } catch (const std::exception& e) {
    report_->fail_line(QString::fromUtf8(e.what()) + QStringLiteral("!!"));
    op.failed();
  }
  hidden.resonance_threshold_db = tuning::kResonanceDbDefault;
}

void GainTuningWindow::Button49Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  Operation op(*this, OperationKind::SystemVibration);
  if (!op.ok()) return;
  SearchRun search(*this);
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  SearchFrame frame(this, "Button49");
  SearchOpsOnWindow ops(*this);
  try {
    FlagScope verify(st.verify_replies, 1);
    timer3_->start();
    ts.tuning_stage[4] = 1;
    tuning::system_vibration_search(ops, ts);
    ts.tuning_stage[4] = op.decide() != Outcome::Completed ? 0 : 2;
  } catch (const std::exception& e) {
    report_->fail_line(QString::fromUtf8(e.what()) + QStringLiteral("!!"));
    op.failed();
  }
}

namespace {
// The two frequency searches: their button, the level they start from.
struct FrequencySearch {
  const char* button;
  OperationKind kind;
  uint32_t first_level;
  void (*search)(tuning::SearchOps&, tuning::TuningState&);
};
constexpr FrequencySearch kFrequencySearches[] = {
    {"Button47", OperationKind::ResonanceSearch, 3, &tuning::resonance_frequency_search},
    {"Button37", OperationKind::EndVibrationSearch, 4, &tuning::end_vibration_search},
};
}  // namespace

void GainTuningWindow::frequency_search(int row) {
  Sequence run(*this);
  if (!run.ok()) return;
  const FrequencySearch& f = kFrequencySearches[row];
  Operation op(*this, f.kind);
  if (!op.ok()) return;
  SearchRun search(*this);
  SearchFrame frame(this, f.button);
  SearchOpsOnWindow ops(*this);
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  FlagScope verify(st.verify_replies, 1);
  ts.rigidity_level = f.first_level;
  gain_set();
  ts.move_dir = 1;
  if (!search_halted()) run_half();
  f.search(ops, ts);
  if (!search_halted()) run_half();
}

void GainTuningWindow::Button47Click() { frequency_search(0); }
void GainTuningWindow::Button37Click() { frequency_search(1); }

void GainTuningWindow::Button33Click() {
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  if (ts.selflearn_running == 1) return;
  Sequence run(*this);
  if (!run.ok()) return;
  Operation op(*this, OperationKind::SelfLearning);
  if (!op.ok()) return;
  SearchRun search(*this);
  auto* stop = control<QPushButton>(this, "Button30");
  auto lamp = [this](const char* name, bool lit) { control<StatusLamp>(this, name)->set_lit(lit); };
  report_->done_line(QStringLiteral("开始自学习"));
  ts.selflearn_running = 1;
  ts.tuning_stage.fill(0);
  edit("Edit5")->clear();
  edit("Edit6")->clear();
  hidden.resonance_threshold_db = tuning::kResonanceDbDefault;
  stop->setEnabled(true);
  for (const tuning::StageLamp& row : tuning::kStageLamps) lamp(row.name, false);
  for (int l = 0; l <= tuning::TuningChart::LampResponse; ++l) chart_->set_lamp(static_cast<tuning::TuningChart::Lamp>(l), false);
  bool closing_steps = true;
  {
    FlagScope verify(st.verify_replies, 1);
    timer3_->start();
    try {
      for (const auto& [reg, value] : tuning::kSelfLearnLimits) {
        if (search_halted()) break;
        st.param_reg = static_cast<uint8_t>(reg);
        st.param_value = value;
        write_drive_param();
        ctx_.link.delay(500);
      }
      if (hidden.run_inertia_estimation && !search_halted()) Button24Click();
      struct Stage {
        size_t index;
        void (GainTuningWindow::*op)();
      };
      for (const Stage s : {Stage{4, &GainTuningWindow::Button49Click}, Stage{1, &GainTuningWindow::Button28Click},
                            Stage{2, &GainTuningWindow::Button29Click}}) {
        if (search_halted()) break;
        ts.tuning_stage[s.index] = 1;
        (this->*s.op)();
        if (search_halted()) break;
        ts.tuning_stage[s.index] = 2;
      }
      const Outcome outcome = op.decide();
      if (outcome != Outcome::Completed) {
        ts.tuning_stage.fill(0);
        for (const tuning::StageLamp& row : tuning::kStageLamps) lamp(row.name, false);
        // A stop is reported as one, not as a failure.
        report_->failed(outcome == Outcome::Stopped ? QStringLiteral("自学习中断") : QStringLiteral("自学习失败"));
      } else {
        lamp("Shape4", true);
        report_->done(op.end_line(Outcome::Completed));
      }
    } catch (const std::exception& e) {
      report_->fail_line(QString::fromUtf8(e.what()) + QStringLiteral("!!"));
      op.failed();
      closing_steps = false;
    }
    if (closing_steps) {
      // A vertical load stays held.
      if (!hidden.vertical_load && ts.hold_servo_on == 0) Button20Click();
      ctx_.link.delay(1000);
    }
    timer3_->stop();
    Timer3Timer();
  }
  st.comm_error = 0;
  st.tune_error = 0;
  ts.selflearn_running = 0;
  stop->setEnabled(false);
}

}  // namespace velmo
