#include "speedctl/speedctl_control_window.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "common/form_access.h"
#include "common/window_parts.h"
#include "drivelink/batch_writes.h"
#include "drivelink/drive_link.h"

namespace velmo {

namespace {

constexpr uint16_t kSpeedReg = 0x1001, kTorqueReg = 0x1002, kBrakeReg = 0x1003;
constexpr uint16_t kRunStateReg = 0x2001;
constexpr int kMaxSpeed = 1600, kMaxTorque = 100;

// The run settings each motor series (F-01) takes.
struct SeriesControls {
  bool speed, torque, brake;
};
SeriesControls controls_of(uint8_t series) {
  return {series == 1 || series == 2, series == 3, series == 2 || series == 4};
}

// A setpoint as typed: empty is 0, above the maximum the maximum; nullopt
// when it is no number.
std::optional<int> setpoint(const QLineEdit* edit, int max_value) {
  const QString text = edit->text().trimmed();
  if (text.isEmpty()) return 0;
  bool ok = false;
  const int v = text.toInt(&ok);
  if (!ok) return std::nullopt;
  return std::clamp(v, 0, max_value);
}

void clamp_field(QLineEdit* edit, int max_value) {
  if (const std::optional<int> v = setpoint(edit, max_value)) edit->setText(QString::number(*v));
}

}  // namespace

SpeedCtlControlWindow::SpeedCtlControlWindow(AppContext& ctx, QWidget* parent)
    : RunControlWindow(
          ctx, "TForm19", QStringLiteral("调速器 RS-485通讯控制"), QSize(1000, 700),
          Setup{.family = Family{&DriveLinkState::tsq_pending_cmd, &DriveLinkState::tsq_run_state,
                                 DeviceFamily::SpeedController},
                .exit_texts = ExitTexts{QStringLiteral("退出前，请确保电机停止且调速器无故障！！"), {}, {},
                                        QStringLiteral("恢复相关参数失败！！"), QStringLiteral("请确保调速器无故障！！"),
                                        QStringLiteral("线路无应答，调速器可能仍在运转，请到现场确认！！")},
                .nodes = &DriveLinkState::tsq_nodes,
                .count = &DriveLinkState::tsq_count,
                .bus_ok = &DriveLinkState::tsq_rs485_ok,
                .restore_flags = &DriveLinkState::tsq_restore_flags,
                .take_over = &BatchWrites::tsq_rs485_set,
                .restore = &BatchWrites::tsq_parameter_save,
                .window_code = WindowCode::SpeedCtlControl,
                .status_failed = QStringLiteral("调速器状态读取失败"),
                .failed_read_stops_reading = false,
                .clear_resets_counters = false},
          false, parent) {
  auto* box = new QGroupBox(QStringLiteral("状态指示及运转控制"), this);
  box->setObjectName(QStringLiteral("GroupBox1"));
  box->setGeometry(10, 50, 820, 410);
  build_status_controls(box, 40, QStringLiteral("故障中（电机堵转或接线异常）"));

  const QRegularExpression digits(QStringLiteral("[0-9]*"));
  make_label(box, "LabelEdit1", QStringLiteral("转速设定："), QRect(10, 160, 120, 28));
  speed_ = make_edit(box, "Edit1", QRect(130, 160, 100, 28), QStringLiteral("1000"));
  speed_->setMaxLength(4);
  speed_->setToolTip(QStringLiteral("0~1600"));
  make_label(box, "LabelUnitEdit1", QStringLiteral("rpm"), QRect(235, 160, 40, 28));
  make_label(box, "LabelEdit2", QStringLiteral("转矩设定："), QRect(10, 200, 120, 28));
  torque_ = make_edit(box, "Edit2", QRect(130, 200, 100, 28), QStringLiteral("50"));
  torque_->setMaxLength(3);
  make_label(box, "LabelUnitEdit2", QStringLiteral("%"), QRect(235, 200, 40, 28));
  for (QLineEdit* edit : {speed_, torque_}) edit->setValidator(new QRegularExpressionValidator(digits, edit));
  connect(speed_, &QLineEdit::editingFinished, this, &SpeedCtlControlWindow::edit1onchange);
  connect(torque_, &QLineEdit::editingFinished, this, &SpeedCtlControlWindow::edit2onchange);
  make_label(box, "LabelComboBox2", QStringLiteral("抱闸设定："), QRect(10, 240, 120, 28));
  brake_ = make_combo(box, "ComboBox2", QRect(130, 240, 200, 28));
  brake_->addItems({QStringLiteral("1、停止时抱闸"), QStringLiteral("2、停止时不抱闸")});
  brake_->setCurrentIndex(0);
  build_run_controls(box, 300, QStringLiteral("运转参数设定"), QStringLiteral("设定转速、转矩和抱闸"));
  register_commands();

  connect(nodes(), &QComboBox::activated, this, [this] { ComboBox1Click(); });
  apply_screen_scaling(size_anchor());
  open_centred();
}

void SpeedCtlControlWindow::ComboBox1Click() {
  const DriveLinkState& s = st();
  // The run parameters that fit the motor series (F-01) of the node.
  const uint8_t series = s.tsq_reg1[selected_node()];
  const SeriesControls c = controls_of(series);
  set_usable(speed_, c.speed);
  set_usable(torque_, c.torque);
  set_usable(brake_, c.brake);
  control<QPushButton>(this, "Button2")->setEnabled(series != 5);
}

void SpeedCtlControlWindow::on_open() {
  ComboBox1Click();
  start_replay_timer();
}

void SpeedCtlControlWindow::edit1onchange() { clamp_field(speed_, kMaxSpeed); }
void SpeedCtlControlWindow::edit2onchange() { clamp_field(torque_, kMaxTorque); }

void SpeedCtlControlWindow::send_settings(uint8_t node) {
  const uint8_t series = st().tsq_reg1[node];
  if (series < 1 || series > 5) {
    // Unknown series (not read yet, or renumbered): nothing fits it.
    return settings_refused(node, QStringLiteral("电机系列未知，运转参数设定失败**"));
  }
  // Checked again here: a replay comes without the fields' exit checks.
  // Each write has its own line; a failure does not stop the next.
  auto send_setpoint = [&](QLineEdit* edit, int max_value, uint16_t reg, const QString& ok, const QString& failed) {
    const std::optional<int> v = setpoint(edit, max_value);
    if (!v) return settings_refused(node, failed);
    edit->setText(QString::number(*v));
    write_with_lines(node, reg, static_cast<uint16_t>(*v), ok, failed);
  };
  const SeriesControls c = controls_of(series);
  if (c.speed)
    send_setpoint(speed_, kMaxSpeed, kSpeedReg, QStringLiteral("转速设定成功！！"), QStringLiteral("转速设定失败**"));
  if (c.torque)
    send_setpoint(torque_, kMaxTorque, kTorqueReg, QStringLiteral("转矩设定成功！！"), QStringLiteral("转矩设定失败**"));
  if (c.brake)
    write_with_lines(node, kBrakeReg, static_cast<uint16_t>(std::max(brake_->currentIndex(), 0)),
                     QStringLiteral("抱闸设定成功！！"), QStringLiteral("抱闸设定失败**"));
}

std::optional<uint16_t> SpeedCtlControlWindow::read_status_block(uint8_t node) {
  if (!link().read_registers(node, kRunStateReg, 1)) return std::nullopt;
  return link().reply_word(0);
}

RunControlWindow::StateMeaning SpeedCtlControlWindow::meaning_of(uint16_t word) const {
  switch (word) {
    case 0: return {2, 0};
    case 1: return {0, 1};
    case 2: return {1, 1};
    case 8: return {3, 2};
    default: return {std::nullopt, 0};  // 4 and the rest: every lamp off
  }
}

}  // namespace velmo
