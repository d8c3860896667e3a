#include "servo/self_learning_window.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "common/form_access.h"
#include "common/node_lists.h"
#include "common/status_line.h"
#include "common/window_parts.h"
#include "drivelink/drive_link.h"
#include "common/center_on_screen.h"
#include "servo/link_turn.h"
#include "servo/selected_servo.h"
#include "servo/self_learning_functions.h"

namespace velmo {

namespace {
constexpr int kPollMs = 2000;
constexpr QRect kButtonRects[] = {
    {20, 300, 460, 36},  // Button1
    {20, 346, 460, 36},  // Button6
    {20, 392, 460, 36},  // Button2
    {20, 438, 460, 36},  // Button3: the window is fitted around it
    {20, 484, 460, 36},  // Button5 (hidden)
    {20, 530, 460, 36},  // Button7 (hidden)
};
}  // namespace

SelfLearningWindow::SelfLearningWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm8", QStringLiteral("伺服系统参数自学习"), QSize(510, 584), parent) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);

  make_label(this, "LabelNode", QStringLiteral("节点："), QRect(20, 22, 60, 28));
  nodes_ = make_combo(this, "ComboBox1", QRect(80, 20, 120, 30));
  mark_node_list(nodes_, NodeListGroup::Servo);
  connect(make_button(this, "Button4", QStringLiteral("退出"), QRect(360, 18, 120, 34)), &QPushButton::clicked, this,
          [this] { Button4Click(); });
  panel_ = make_panel(this, QRect(20, 62, 460, 30));
  // Memo1 logs only this window's results; opening it keeps active_form, so
  // the frames stay in the traffic log of the window that had it.
  log_ = make_memo(this, "Memo1", QRect(20, 100, 460, 186));
  set_failure_log(log_, false);

  const auto functions = servo::self_learning_functions();
  for (size_t f = 0; f < functions.size() && f < start_buttons_.size(); ++f) {
    auto* button = make_button(this, functions[f].button, QString::fromUtf8(functions[f].caption), kButtonRects[f]);
    button->setVisible(functions[f].visible);
    connect(button, &QPushButton::clicked, this, [this, f] { start(static_cast<int>(f)); });
    start_buttons_[f] = button;
  }

  poll_timer_ = new ClockTimer(this);
  poll_timer_->setObjectName(QStringLiteral("Timer1"));
  poll_timer_->setInterval(kPollMs);
  connect(poll_timer_, &ClockTimer::timeout, this, [this] { Timer1Timer(); });

  apply_screen_scaling(findChild<QPushButton*>(QStringLiteral("Button3")));
}

void SelfLearningWindow::Button1Click() { start(0); }
void SelfLearningWindow::Button6Click() { start(1); }
void SelfLearningWindow::Button2Click() { start(2); }
void SelfLearningWindow::Button3Click() { start(3); }
void SelfLearningWindow::Button5Click() { start(4); }
void SelfLearningWindow::Button7Click() { start(5); }

void SelfLearningWindow::start(int function) {
  const auto& fn = servo::self_learning_functions()[static_cast<size_t>(function)];
  QPushButton* button = start_buttons_[static_cast<size_t>(function)];
  button->setEnabled(false);
  DriveLinkState& st = ctx_.link.st;

  auto fail = [&] {
    const QString text = QString::fromUtf8(fn.failure_text);
    set_panel_text(panel_, text);
    append_line(log_, text);
    button->setEnabled(true);
  };

  // The layout is the selected drive's own, never another window's: the
  // same value in the other layout's register starts
  // a different function or changes another parameter.
  const servo::SelectedServo drive = servo::selected_servo(st, nodes_);
  // A self-learning function moves the motor: none starts once the program closes.
  if (program_closing()) {
    button->setEnabled(true);
    return;
  }
  servo::LinkTurn turn(st, talking_);
  if (!drive.valid || !turn.held()) return fail();

  const servo::SelfLearningStart& cmd = fn.start_for(drive.subtype);
  if (!ctx_.link.write_register(drive.address, cmd.reg, cmd.value)) return fail();

  // The poll follows the start that was accepted last, on its own drive.
  selflearn_reg_ = static_cast<uint8_t>(cmd.reg);
  selflearn_node_ = drive.address;
  const QString text = node_line(drive.address, QString::fromUtf8(fn.running_text));
  panel_->setText(text);
  append_line(log_, text);
  poll_timer_->start();
}

void SelfLearningWindow::Timer1Timer() {
  DriveLinkState& st = ctx_.link.st;
  if (selflearn_node_ == 0) return;
  // A busy link skips this poll; the next one comes in 2 s.
  servo::LinkTurn turn(st, talking_);
  if (!turn.held()) return;
  if (!ctx_.link.read_registers(selflearn_node_, selflearn_reg_, 1)) return;
  if (st.rx_buf[4] != servo::kSelfLearningDone) return;

  const QString text = node_line(selflearn_node_, QStringLiteral("自学习完成！！"));
  panel_->setText(text);
  append_line(log_, text);
  poll_timer_->stop();
  enable_start_buttons();
}

uint8_t SelfLearningWindow::learning_node() const { return poll_timer_->isActive() ? selflearn_node_ : 0; }

void SelfLearningWindow::Button4Click() { leave(); }

bool SelfLearningWindow::exit_guard() {
  // Not in the middle of this window's own exchange.
  return !talking_;
}

void SelfLearningWindow::on_leave() {
  poll_timer_->stop();
  enable_start_buttons();
}

void SelfLearningWindow::enable_start_buttons() {
  for (QPushButton* b : start_buttons_)
    if (b) b->setEnabled(true);
}

void SelfLearningWindow::showEvent(QShowEvent* event) {
  VelmoWindow::showEvent(event);
  center_on_screen(this);
}

}  // namespace velmo
