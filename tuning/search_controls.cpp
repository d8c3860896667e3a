// The automatic searches' controls: the self-learning group with its stage
// lamps and Timer3, the search and stop buttons, the gain steps.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "common/form_access.h"
#include "common/status_lamp.h"
#include "common/window_parts.h"
#include "drivelink/drive_link.h"
#include "tuning/gain_search.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/numeric_field.h"
#include "tuning/search_run.h"
#include "tuning/tenths_text.h"
#include "tuning/tuning_sequence.h"

namespace velmo {

namespace {
struct ButtonRow {
  const char* name;
  const char* caption;
  void (GainTuningWindow::*op)();
};
constexpr ButtonRow kSearchButtons[] = {
    {"Button33", "开始自学习", &GainTuningWindow::Button33Click},
    {"Button49", "系统振动检测", &GainTuningWindow::Button49Click},
    {"Button28", "速度环增益搜索", &GainTuningWindow::Button28Click},
    {"Button29", "位置环增益搜索", &GainTuningWindow::Button29Click},
    {"Button47", "机械共振频率搜索", &GainTuningWindow::Button47Click},
    {"Button37", "末端振动频率搜索", &GainTuningWindow::Button37Click},
};
}  // namespace

void GainTuningWindow::build_search_controls() {
  QWidget* auto_page = pages_->widget(0);
  auto* group = new QGroupBox(QStringLiteral("自学习进程及信息显示"), auto_page);
  group->setObjectName(QStringLiteral("GroupBox9"));
  group->setGeometry(10, 410, 1140, 220);
  int x = 20;
  for (const tuning::StageLamp& row : tuning::kStageLamps) {
    auto* lamp = new StatusLamp(row.name, group);
    lamp->setGeometry(x + 50, 30, 28, 28);
    auto* text = new QLabel(QString::fromUtf8(row.caption), group);
    text->setAlignment(Qt::AlignHCenter);
    text->setGeometry(x, 62, 130, 24);
    x += 150;
  }
  x = 20;
  for (const ButtonRow& row : kSearchButtons) {
    auto* b = make_button(group, row.name, QString::fromUtf8(row.caption), QRect(x, 110, 170, 34));
    on_click(b, row.op);
    x += 180;
  }
  control<QPushButton>(this, "Button33")->setToolTip(QStringLiteral("开始自学习前，请先正确设置负载类别及相关设置！！"));
  // The stop is taken while a sequence runs.
  auto* stop = make_button(group, "Button30", QStringLiteral("停止自学习"), QRect(20, 160, 170, 34));
  stop->setEnabled(false);
  connect(stop, &QPushButton::clicked, this, [this] { Button30Click(); });
  if (auto* search_stop = findChild<QPushButton*>(QStringLiteral("Button38")))
    connect(search_stop, &QPushButton::clicked, this, [this] { Button30Click(); });

  auto* gains = findChild<QGroupBox*>(QStringLiteral("GroupBox4"));
  int y = 30;
  for (int row = 0; row < static_cast<int>(std::size(tuning::kGainSteps)); ++row) {
    const tuning::GainStep& step = tuning::kGainSteps[row];
    auto* b = make_button(gains ? static_cast<QWidget*>(gains) : pages_->widget(1), step.button,
                          QString::fromUtf8(step.caption), QRect(290, y, 120, 34));
    connect(b, &QPushButton::clicked, this, [this, row] {
      if (!sequence_running() && !exiting_) gain_step_click(row);
    });
    y += 40;
  }

  timer3_ = new ClockTimer(this);
  timer3_->setObjectName(QStringLiteral("Timer3"));
  timer3_->setInterval(tuning::kLampBlinkMs);
  connect(timer3_, &ClockTimer::timeout, this, [this] { Timer3Timer(); });
}

void GainTuningWindow::Timer3Timer() {
  lamp_phase_ = !lamp_phase_;
  const tuning::TuningState& ts = *tuning_;
  for (const tuning::StageLamp& row : tuning::kStageLamps) {
    if (row.stage < 0) continue;
    const uint8_t state = ts.tuning_stage[static_cast<size_t>(row.stage)];
    control<StatusLamp>(this, row.name)->set_lit(state == 2 || (state == 1 && lamp_phase_));
  }
}

bool GainTuningWindow::search_halted() const {
  const DriveLinkState& st = ctx_.link.st;
  return stop_requested() || st.comm_error || st.tune_error;
}

void GainTuningWindow::Button30Click() {
  // Ends the running operation now: the wait under way is cut short, a move
  // under way is stopped, nothing more is written or moved, and what it
  // wrote is put back.
  if (!sequence_running()) return;
  tuning_->tune_stop = 1;  // an inertia estimation in the sequence ends too
  request_stop();
}

void GainTuningWindow::gain_step_click(int row) {
  Sequence run(*this);
  if (!run.ok()) return;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  const tuning::GainStep& step = tuning::kGainSteps[row];
  const bool kp = step.kind == tuning::GainKind::Kp;
  int32_t& gain = kp ? ts.pos_loop_gain : ts.speed_loop_gain;
  gain = tuning::gain_step(step, gain);
  set_tenths(kp ? "Edit40" : "Edit41", gain);
  st.param_reg = static_cast<uint8_t>(kp ? layout().kp : layout().kv);
  st.param_value = gain;
  write_drive_param();
}

void GainTuningWindow::clamp_positioning_time() {
  // The range follows the inertia ratio; a time left outside it would give
  // a meaningless rigidity bound.
  const tuning::TuningState& ts = *tuning_;
  if (ts.pos_time_max == 0 || ts.pos_time_min > ts.pos_time_max) return;
  const int t = tuning::field_int(edit("Edit48"));
  const int clamped = std::clamp(t, static_cast<int>(ts.pos_time_min), static_cast<int>(ts.pos_time_max));
  if (clamped != t) edit("Edit48")->setText(QString::number(clamped));
}

}  // namespace velmo
