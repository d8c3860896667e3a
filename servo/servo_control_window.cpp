#include "servo/servo_control_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "common/form_access.h"
#include "common/node_lists.h"
#include "common/status_lamp.h"
#include "common/status_line.h"
#include "common/window_parts.h"
#include "drivelink/drive_link.h"
#include "servo/servo_bus_registers.h"
#include "servo/servo_bus_release.h"
#include "servo/servo_control_inputs.h"
#include "servo/servo_status_table.h"

namespace velmo {

namespace {

namespace regs = servo::bus_regs;

enum class RunEffect : uint8_t { Running, Stopped, Reset };

// Run, stop and fault-reset commands: one write of 0x1004 each.
struct RunRow {
  uint8_t code;
  const char* button;
  CommandKind kind;
  uint16_t value;
  const char* ok;
  const char* failed;
  RunEffect effect;
};
constexpr RunRow kRunRows[] = {
    {ServoControlWindow::kSpeedForward, "Button6", CommandKind::Run, 1, "正转！！", "正转控制失败**", RunEffect::Running},
    {ServoControlWindow::kSpeedReverse, "Button7", CommandKind::Run, 2, "反转！！", "反转控制失败**", RunEffect::Running},
    {ServoControlWindow::kSpeedStop, "Button8", CommandKind::Safety, 0, "电机停止！！", "电机停止控制失败**",
     RunEffect::Stopped},
    {ServoControlWindow::kTorqueForward, "Button10", CommandKind::Run, 1, "正转！！", "正转控制失败**",
     RunEffect::Running},
    {ServoControlWindow::kTorqueReverse, "Button11", CommandKind::Run, 2, "反转！！", "反转控制失败**",
     RunEffect::Running},
    {ServoControlWindow::kTorqueStop, "Button12", CommandKind::Safety, 0, "电机停止！！", "电机停止控制失败**",
     RunEffect::Stopped},
    {ServoControlWindow::kFaultReset, "Button15", CommandKind::Safety, 8, "故障复位成功！！", "故障复位失败**",
     RunEffect::Reset},
};

const RunRow* run_row(uint8_t code) {
  for (const RunRow& row : kRunRows)
    if (row.code == code) return &row;
  return nullptr;
}

// One write of a settings sequence: the value comes from a combo box (item
// index + offset) or from a run-value field (clamped).
struct SettingRow {
  uint16_t reg;
  const char* source;
  int offset;
  const char* ok;
  const char* failed;
};
constexpr SettingRow kSpeedSettingRows[] = {
    {0x006E, "ComboBox6", 1, "失电制动器控制成功！！", "失电制动器控制失败**"},
    {0x1005, "ComboBox2", 0, "锁轴控制成功！！", "锁轴控制失败**"},
    {0x1007, "Edit3", 0, "转矩限制值设置成功！！", "转矩限制值设置失败**"},
    {0x1006, "Edit2", 0, "运转速度值设置成功！！", "运转速度值设置失败**"},
};
constexpr SettingRow kTorqueSettingRows[] = {
    {0x0086, "ComboBox7", 1, "失电制动器控制成功！！", "失电制动器控制失败**"},
    {0x1008, "ComboBox3", 0, "锁轴控制成功！！", "锁轴控制失败**"},
    {0x100A, "Edit5", 0, "转速限制值设置成功！！", "转速限制值设置失败**"},
    {0x1009, "Edit4", 0, "转矩值设置成功！！", "转矩值设置失败**"},
};

// Mode entry: RadioButton2 (speed) and RadioButton3 (torque).
struct ModeRow {
  uint8_t code;
  uint8_t mode;
  uint16_t control_value;
  const char* ok;
  const char* failed;
};
constexpr ModeRow kModeRows[] = {
    {ServoControlWindow::kSpeedModeEntry, ServoControlWindow::kModeSpeed, regs::kSpeedMode,
     "设置为485控制速度模式！！", "485控制速度模式设置失败**"},
    {ServoControlWindow::kTorqueModeEntry, ServoControlWindow::kModeTorque, regs::kTorqueMode,
     "设置为485控制转矩模式！！", "转矩模式设置失败！！"},
};

const QStringList kBrakeItems{QStringLiteral("1、停止时抱闸"), QStringLiteral("2、停止时不抱闸")};
const QStringList kShaftLockItems{QStringLiteral("1、锁轴无效"), QStringLiteral("2、锁轴生效")};

QString utf8(const char* text) { return QString::fromUtf8(text); }

QLabel* caption(QWidget* parent, const QString& text, const QRect& geometry, Qt::Alignment align = Qt::AlignRight) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  label->setAlignment(align | Qt::AlignVCenter);
  return label;
}

}  // namespace

ServoControlWindow::ServoControlWindow(AppContext& ctx, QWidget* parent)
    : BusControlWindow(ctx, "TForm4", QStringLiteral("驱动器 RS-485通讯控制"), QSize(1140, 800),
                       Family{&DriveLinkState::servo_pending_cmd, &DriveLinkState::servo_run_state, DeviceFamily::Servo, true},
                       ExitTexts{QStringLiteral("退出前，请确保电机停止且驱动器无故障！！"),
                                 QStringLiteral("退出485模式并恢复相关参数"), QStringLiteral("恢复相关参数成功！！"),
                                 QStringLiteral("恢复相关参数失败！！"), QStringLiteral("请确保驱动器无故障！！"),
                                 QStringLiteral("线路无应答，驱动器可能仍在运转，请到现场确认！！")},
                       parent) {
  // No close box: the window is left through Button1 only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  build();
  register_commands();
  // FormCreate: both modes unselected, the position group off.
  set_radio(speed_radio_, false);
  set_radio(torque_radio_, false);
  group3_->setEnabled(false);
  group4_->setEnabled(true);
  group5_->setEnabled(true);
  // No node is under bus control yet: no run button is usable.
  enable_run_buttons(kModeNone);
  apply_screen_scaling(group2_);
}

// ---------------------------------------------------------------- building

void ServoControlWindow::build() {
  caption(this, QStringLiteral("节点："), QRect(10, 14, 55, 28));
  node_box_ = make_combo(this, "ComboBox4", QRect(65, 12, 95, 32));
  mark_node_list(node_box_, NodeListGroup::Servo);
  watch_node_list(node_box_);

  group5_ = new QGroupBox(this);
  group5_->setObjectName(QStringLiteral("GroupBox5"));
  group5_->setGeometry(180, 2, 290, 52);
  speed_radio_ = new QRadioButton(QStringLiteral("速度模式"), group5_);
  speed_radio_->setObjectName(QStringLiteral("RadioButton2"));
  speed_radio_->setGeometry(15, 16, 120, 30);
  torque_radio_ = new QRadioButton(QStringLiteral("转矩模式"), group5_);
  torque_radio_->setObjectName(QStringLiteral("RadioButton3"));
  torque_radio_->setGeometry(150, 16, 120, 30);
  connect(speed_radio_, &QRadioButton::clicked, this, [this] { RadioButton2Click(); });
  connect(torque_radio_, &QRadioButton::clicked, this, [this] { RadioButton3Click(); });

  speed_lamp_ = new StatusLamp("Shape11", this);
  speed_lamp_->setGeometry(485, 18, 22, 22);
  caption(this, QStringLiteral("速度模式"), QRect(510, 14, 80, 30), Qt::AlignLeft);
  torque_lamp_ = new StatusLamp("Shape12", this);
  torque_lamp_->setGeometry(595, 18, 22, 22);
  caption(this, QStringLiteral("转矩模式"), QRect(620, 14, 80, 30), Qt::AlignLeft);

  connect(make_button(this, "Button20", QStringLiteral("清空记录"), QRect(800, 12, 100, 34)), &QPushButton::clicked,
          this, [this] { Button20Click(); });
  connect(make_button(this, "Button21", QStringLiteral("保存记录"), QRect(910, 12, 100, 34)), &QPushButton::clicked,
          this, [this] { Button21Click(); });
  exit_button_ = make_button(this, "Button1", QStringLiteral("退出"), QRect(1020, 12, 90, 34));
  exit_button_->setToolTip(QStringLiteral("关闭连续读取功能才可操作！"));
  connect(exit_button_, &QPushButton::clicked, this, [this] { Button1Click(); });

  make_panel(this, QRect(20, 62, 1090, 32));

  group4_ = new QGroupBox(QStringLiteral("驱动器状态信息"), this);
  group4_->setObjectName(QStringLiteral("GroupBox4"));
  group4_->setGeometry(20, 104, 520, 490);
  build_status_group(group4_);

  group3_ = new QGroupBox(QStringLiteral("位置模式"), this);
  group3_->setObjectName(QStringLiteral("GroupBox3"));
  group3_->setGeometry(20, 574, 520, 200);
  build_position_group(group3_);
  group3_->setVisible(false);

  QPlainTextEdit* traffic = make_memo(this, "Memo1", QRect(560, 104, 550, 170));
  route_traffic(ctx_.link, WindowCode::ServoControl, traffic);
  set_logs(traffic, make_memo(this, "Memo2", QRect(560, 282, 270, 110)),
           make_memo(this, "Memo3", QRect(840, 282, 270, 110)));

  group1_ = build_run_group(this, false);
  group1_->setGeometry(560, 400, 550, 150);
  group2_ = build_run_group(this, true);
  group2_->setGeometry(560, 558, 550, 150);

  // Diagnostics, never shown.
  const char* hidden[] = {"Label40", "Label43", "Label44", "Label45", "Label46", "Label47"};
  int x = 20;
  for (const char* name : hidden) {
    make_label(this, name, QStringLiteral("0"), QRect(x, 770, 60, 24))->setVisible(false);
    x += 70;
  }
}

QGroupBox* ServoControlWindow::build_run_group(QWidget* parent, bool torque) {
  auto* box = new QGroupBox(torque ? QStringLiteral("转矩模式") : QStringLiteral("速度模式"), parent);
  box->setObjectName(torque ? QStringLiteral("GroupBox2") : QStringLiteral("GroupBox1"));

  caption(box, QStringLiteral("失电制动器："), QRect(5, 28, 105, 28));
  make_combo(box, torque ? "ComboBox7" : "ComboBox6", QRect(110, 26, 160, 32))->addItems(kBrakeItems);
  caption(box, QStringLiteral("锁轴："), QRect(280, 28, 60, 28));
  make_combo(box, torque ? "ComboBox3" : "ComboBox2", QRect(340, 26, 150, 32))->addItems(kShaftLockItems);

  struct FieldPlace {
    const char* edit;
    const char* label;
    const char* unit;
    int x;
  };
  const FieldPlace speed_fields[] = {{"Edit2", "运转速度：", "rpm", 0}, {"Edit3", "转矩限制：", "%", 250}};
  const FieldPlace torque_fields[] = {{"Edit4", "转矩：", "%", 0}, {"Edit5", "转速限制：", "rpm", 250}};
  for (const FieldPlace& place : torque ? torque_fields : speed_fields) {
    const RunValueField* field = servo_run_value_field(QString::fromLatin1(place.edit));
    caption(box, utf8(place.label), QRect(place.x + 5, 68, 100, 28));
    QLineEdit* edit = make_edit(box, place.edit, QRect(place.x + 110, 66, 80, 30), QString::fromLatin1(field->initial));
    edit->setMaxLength(field->max_length);
    new DigitFieldFilter(edit, field->max_value);
    caption(box, QString::fromLatin1(place.unit), QRect(place.x + 195, 68, 40, 28), Qt::AlignLeft);
  }

  struct ButtonPlace {
    const char* name;
    const char* text;
    void (ServoControlWindow::*click)();
  };
  const ButtonPlace speed_buttons[] = {{"Button9", "设置", &ServoControlWindow::Button9Click},
                                       {"Button6", "正转", &ServoControlWindow::Button6Click},
                                       {"Button7", "反转", &ServoControlWindow::Button7Click},
                                       {"Button8", "停止", &ServoControlWindow::Button8Click}};
  const ButtonPlace torque_buttons[] = {{"Button13", "设置", &ServoControlWindow::Button13Click},
                                        {"Button10", "正转", &ServoControlWindow::Button10Click},
                                        {"Button11", "反转", &ServoControlWindow::Button11Click},
                                        {"Button12", "停止", &ServoControlWindow::Button12Click}};
  int x = 10;
  for (const ButtonPlace& place : torque ? torque_buttons : speed_buttons) {
    auto* button = make_button(box, place.name, utf8(place.text), QRect(x, 106, 110, 36));
    connect(button, &QPushButton::clicked, this, place.click);
    x += 125;
  }
  return box;
}

void ServoControlWindow::build_status_group(QGroupBox* box) {
  // The status block's values and lamps, marked together when they are old.
  std::vector<QWidget*> block;
  int y = 28;
  for (const servo_status::ValueRow& row : servo_status::value_rows()) {
    caption(box, utf8(row.caption), QRect(5, y, 175, 28));
    QLineEdit* value = make_edit(box, row.edit, QRect(185, y, 100, 28));
    value->setReadOnly(true);
    block.push_back(value);
    caption(box, utf8(row.unit), QRect(290, y, 45, 28), Qt::AlignLeft);
    y += 34;
  }
  y = 28;
  for (const servo_status::BitRow& row : servo_status::bit_rows()) {
    block.push_back(new StatusLamp(row.lamp, box));
    block.back()->setGeometry(345, y + 4, 20, 20);
    caption(box, utf8(row.label), QRect(372, y, 145, 28), Qt::AlignLeft);
    y += 30;
  }
  const servo_status::HighByteLamp& high = servo_status::high_byte_lamp();
  block.push_back(new StatusLamp(high.lamp, box));
  block.back()->setGeometry(345, y + 4, 20, 20);
  caption(box, utf8(high.label), QRect(372, y, 145, 28), Qt::AlignLeft);

  caption(box, QStringLiteral("故障代码："), QRect(5, 320, 175, 28));
  QLineEdit* fault_code = make_edit(box, "Edit14", QRect(185, 320, 100, 28));
  caption(box, QStringLiteral("故障信息："), QRect(5, 356, 175, 28));
  QLineEdit* fault_text = make_edit(box, "Edit15", QRect(185, 356, 320, 28));
  for (QLineEdit* edit : {fault_code, fault_text}) edit->setReadOnly(true);
  add_status_view(block, {fault_code, fault_text});
  make_stale_notice(box, QRect(10, 448, 500, 28));

  read_button_ = make_button(box, "Button14", QStringLiteral("读取信息"), QRect(20, 404, 130, 36));
  connect(read_button_, &QPushButton::clicked, this, [this] { Button14Click(); });
  connect(make_button(box, "Button15", QStringLiteral("故障复位"), QRect(165, 404, 130, 36)), &QPushButton::clicked,
          this, [this] { Button15Click(); });
  continuous_ = new QCheckBox(QStringLiteral("连续读取"), box);
  continuous_->setObjectName(QStringLiteral("CheckBox1"));
  continuous_->setGeometry(315, 408, 110, 28);
  continuous_->setToolTip(QStringLiteral("读取间隔：2秒"));
  bind_continuous_reading(continuous_, exit_button_);
  QComboBox* interval = make_combo(box, "ComboBox5", QRect(430, 406, 75, 32));
  interval->addItems({QStringLiteral("1s"), QStringLiteral("2s"), QStringLiteral("5s"), QStringLiteral("10s"),
                      QStringLiteral("20s")});
  interval->setCurrentIndex(1);
  interval->setVisible(false);
  connect(interval, &QComboBox::currentIndexChanged, this, [this](int index) { ComboBox5Change(index); });
}

void ServoControlWindow::build_position_group(QGroupBox* box) {
  // Shown by nothing: its controls have no behaviour.
  caption(box, QStringLiteral("脉冲频率："), QRect(5, 28, 100, 28));
  make_combo(box, "ComboBox1", QRect(110, 26, 120, 32));
  caption(box, QStringLiteral("脉冲数："), QRect(240, 28, 80, 28));
  make_edit(box, "Edit1", QRect(325, 26, 120, 30));
  const char* names[] = {"Button2", "Button3", "Button4", "Button5"};
  const char* texts[] = {"设置", "正转", "反转", "停止"};
  for (int i = 0; i < 4; ++i) make_button(box, names[i], utf8(texts[i]), QRect(10 + i * 125, 70, 110, 36));
  const char* point_names[] = {"Button16", "Button17", "Button18", "Button19"};
  const char* point_texts[] = {"设为原点", "设为正转极限", "设为反转极限", "清除原点极限"};
  for (int i = 0; i < 4; ++i)
    make_button(box, point_names[i], utf8(point_texts[i]), QRect(10 + i * 125, 120, 120, 36));
}

void ServoControlWindow::register_commands() {
  auto button = [this](const char* name) { return control<QPushButton>(this, name); };
  auto add_run = [&](uint8_t code) {
    const RunRow* row = run_row(code);
    add_command({row->code, row->kind, button(row->button), [this, code](uint8_t node) { run_command(code, node); }});
  };
  // Registration order is the replay order.
  add_run(kSpeedForward);
  add_run(kSpeedReverse);
  add_run(kSpeedStop);
  add_run(kTorqueForward);
  add_run(kTorqueReverse);
  add_run(kTorqueStop);
  add_command({kSpeedSettings, CommandKind::Other, button("Button9"), [this](uint8_t node) { send_settings(false, node); }});
  add_command({kTorqueSettings, CommandKind::Other, button("Button13"), [this](uint8_t node) { send_settings(true, node); }});
  add_run(kFaultReset);
  add_command({kSpeedModeEntry, CommandKind::Other, nullptr, [this](uint8_t node) { mode_entry(kSpeedModeEntry, node); }});
  add_command({kTorqueModeEntry, CommandKind::Other, nullptr, [this](uint8_t node) { mode_entry(kTorqueModeEntry, node); }});
}

// ---------------------------------------------------------------- handlers

void ServoControlWindow::Button6Click() { issue(kSpeedForward, selected_node()); }
void ServoControlWindow::Button7Click() { issue(kSpeedReverse, selected_node()); }
void ServoControlWindow::Button8Click() { issue(kSpeedStop, selected_node()); }
void ServoControlWindow::Button10Click() { issue(kTorqueForward, selected_node()); }
void ServoControlWindow::Button11Click() { issue(kTorqueReverse, selected_node()); }
void ServoControlWindow::Button12Click() { issue(kTorqueStop, selected_node()); }
void ServoControlWindow::Button9Click() { issue(kSpeedSettings, selected_node()); }
void ServoControlWindow::Button13Click() { issue(kTorqueSettings, selected_node()); }
void ServoControlWindow::Button15Click() { issue(kFaultReset, selected_node()); }

void ServoControlWindow::RadioButton2Click() {
  start_replay_timer();
  issue(kSpeedModeEntry, selected_node());
}

void ServoControlWindow::RadioButton3Click() {
  start_replay_timer();
  issue(kTorqueModeEntry, selected_node());
}

void ServoControlWindow::Button14Click() { status_read(selected_node()); }

void ServoControlWindow::Button1Click() { exit_clicked(); }

void ServoControlWindow::Button20Click() {
  clear_logs();
  st().read_ok_count = 0;
  st().read_fail_count = 0;
}

void ServoControlWindow::Button21Click() {
  save_logs(QStringLiteral("伺服RS485通讯控制记录.txt"), QStringLiteral("伺服RS485通讯控制执行成功记录.txt"),
            QStringLiteral("伺服RS485通讯控制执行失败记录.txt"));
}

void ServoControlWindow::ComboBox5Change(int index) {
  static constexpr int kIntervals[] = {1000, 2000, 5000, 10000};
  Timer1()->setInterval(index >= 0 && index < 4 ? kIntervals[index] : 20000);
}

void ServoControlWindow::on_open() {
  set_radio(speed_radio_, false);
  set_radio(torque_radio_, false);
  group3_->setEnabled(false);
  Button14Click();
  mirror();
  start_replay_timer();
}

// ---------------------------------------------------------------- exchanges

void ServoControlWindow::run_command(uint8_t code, uint8_t node) {
  const RunRow& row = *run_row(code);
  Claim claim = claim_write();
  if (!write_command(node, regs::kCommand, row.value)) {
    report_failure(node, utf8(row.failed));
    // The drive may have taken it: unknown (counted as running) until the
    // status read that follows.
    mark_run_unknown(node);
    return;
  }
  report_ok(node, utf8(row.ok));
  switch (row.effect) {
    case RunEffect::Running:
      run_state(node) = 1;
      break;
    case RunEffect::Stopped:
      run_state(node) = 0;
      break;
    case RunEffect::Reset:
      // The drive left bus control: its mode and any run or settings
      // command still waiting for it are void.
      st().servo_rs485_mode[node] = kModeNone;
      run_state(node) = 0;
      forget_pending_for(node);
      set_radio(speed_radio_, false);
      set_radio(torque_radio_, false);
      group3_->setEnabled(false);
      break;
  }
}

void ServoControlWindow::send_settings(bool torque, uint8_t node) {
  Claim claim = claim_write();
  StepSequence steps(*this, node, torque ? QStringLiteral("转矩模式设置") : QStringLiteral("速度模式设置"));
  for (const SettingRow& row : torque ? std::span(kTorqueSettingRows) : std::span(kSpeedSettingRows)) {
    const QString source = QString::fromLatin1(row.source);
    int value = 0;
    if (const RunValueField* field = servo_run_value_field(source)) {
      // Clamped again here: the field may not have been left since it was typed.
      auto* edit = control<QLineEdit>(this, row.source);
      value = clamp_run_value(edit->text(), field->max_value);
      if (edit->text() != QString::number(value)) edit->setText(QString::number(value));
    } else {
      value = std::max(control<QComboBox>(this, row.source)->currentIndex(), 0) + row.offset;
    }
    // A failed write does not stop the sequence.
    steps.step(write_command(node, row.reg, static_cast<uint16_t>(value)), utf8(row.ok), utf8(row.failed));
  }
  steps.finish();
}

void ServoControlWindow::mode_entry(uint8_t code, uint8_t node) {
  const ModeRow& row = code == kSpeedModeEntry ? kModeRows[0] : kModeRows[1];
  group3_->setEnabled(false);
  for (const char* name : {"Button6", "Button7", "Button10", "Button11"}) control<QPushButton>(this, name)->setEnabled(false);
  // A node already in this mode is not written again; the next mirror
  // brings its run buttons back.
  if (st().servo_rs485_mode[node] == row.mode) return;

  Claim claim = claim_write();
  StepSequence steps(*this, node, QStringLiteral("485控制模式切换"));
  // A setting write that may have reached the drive (answered or not, but
  // not refused) makes its restore due when the window is left.
  auto setting = [&](uint16_t reg, uint16_t value, const QString& done, const QString& failed) {
    const bool ok = write_command(node, reg, value);
    if (ok || link().last_outcome().may_have_acted()) servo::flag_for_restore(st(), node, restore_code());
    return steps.step(ok, done, failed);
  };
  setting(regs::kControlSource, regs::kBusControl, QStringLiteral("设置为485控制模式！！"),
          QStringLiteral("485控制模式设置失败**"));
  steps.step(write_command(node, regs::kCommand, 0), QStringLiteral("停止运转！！"), QStringLiteral("停止运转控制失败**"));
  link().delay(200);
  // Only the control-mode write decides: where it failed, its own line is
  // the last word; where it worked, an earlier failed step is named.
  if (setting(regs::kMode, row.control_value, utf8(row.ok), utf8(row.failed))) {
    st().servo_rs485_mode[node] = row.mode;
    group3_->setEnabled(false);
    if (node == selected_node()) mirror();
    steps.finish();
  } else {
    if (node == selected_node()) set_radio(row.mode == kModeSpeed ? speed_radio_ : torque_radio_, false);
  }
  if (servo::found_under_bus_control(st(), node)) say_found_under_bus(node);
}

void ServoControlWindow::status_read(uint8_t node) {
  namespace ss = servo_status;
  ButtonHold hold(read_button_);
  if (node == 0 || !link_idle()) return;  // another exchange waits: nothing is read
  Claim claim = claim_read();
  read_status_of(node, [&] {
    const bool block_read = link().read_registers(node, ss::kStatusFirst, ss::kStatusCount);
    status_block_read(node, block_read);
    if (block_read) {
      set_panel(this, node_line(node, QStringLiteral("伺服状态信息读取成功！！")));
      ++st().read_ok_count;
      for (const ss::ValueRow& row : ss::value_rows())
        held<QLineEdit>(row.edit)->setText(ss::format_value(row.format, link().reply_word(row.reg - ss::kStatusFirst)));
      const uint16_t word = link().reply_word(0);
      const ss::Lamps lamps = ss::lamps_of(word);
      held<StatusLamp>(ss::high_byte_lamp().lamp)->set_lit(lamps.high_byte);
      for (const ss::BitRow& row : ss::bit_rows()) held<StatusLamp>(row.lamp)->set_lit(lamps.bits[row.bit]);
      servo::settle_run_state(st(), node, word);
    } else {
      report_read_failure(node, QStringLiteral("伺服状态信息读取失败"));
      ++st().read_fail_count;
      continuous_->setChecked(false);
    }

    // The fault register of the same node, whatever the status read gave.
    const bool fault_read_ok = link().read_registers(node, ss::kFaultRegister, 1);
    fault_read(node, fault_read_ok);
    if (fault_read_ok) {
      ++st().read_ok_count;
      const ss::FaultDisplay fault = ss::fault_display(static_cast<uint8_t>(link().reply_word(0) & 0xFF));
      held<QLineEdit>("Edit14")->setText(fault.code);
      held<QLineEdit>("Edit15")->setText(fault.text);
    } else {
      // After a failed status read Panel1 keeps that failure: the fault
      // read's own would read as a fault of the drive.
      report_read_failure(node, QStringLiteral("伺服故障信息读取失败"), block_read);
      ++st().read_fail_count;
      continuous_->setChecked(false);
    }
  });
}

// ---------------------------------------------------------------- timers

void ServoControlWindow::mirror() {
  const uint8_t node = selected_node();
  const uint8_t mode = st().servo_rs485_mode[node];
  set_radio(speed_radio_, mode == kModeSpeed);
  set_radio(torque_radio_, mode == kModeTorque);
  enable_run_buttons(mode);
  group3_->setEnabled(false);
  show_mode_lamps(mode);

  held<QLabel>("Label40")->setText(QString::number(st().servo_pending_cmd));
  held<QLabel>("Label43")->setText(QString::number(run_state(node)));
  held<QLabel>("Label44")->setText(QString::number(st().read_busy));
  held<QLabel>("Label45")->setText(QString::number(st().write_busy));
}

void ServoControlWindow::poll() { Button14Click(); }

void ServoControlWindow::show_poll_counters() {
  held<QLabel>("Label46")->setText(QString::number(st().read_ok_count));
  held<QLabel>("Label47")->setText(QString::number(st().read_fail_count));
}

void ServoControlWindow::set_radio(QRadioButton* radio, bool on) {
  if (radio->isChecked() == on) return;
  // Both buttons may be off: exclusivity would keep one of them on.
  radio->setAutoExclusive(false);
  radio->setChecked(on);
  radio->setAutoExclusive(true);
}

void ServoControlWindow::show_mode_lamps(uint8_t mode) {
  speed_lamp_->set_lit(mode == kModeSpeed);
  torque_lamp_->set_lit(mode == kModeTorque);
}

void ServoControlWindow::enable_run_buttons(uint8_t mode) {
  held<QPushButton>("Button6")->setEnabled(mode == kModeSpeed);
  held<QPushButton>("Button7")->setEnabled(mode == kModeSpeed);
  held<QPushButton>("Button10")->setEnabled(mode == kModeTorque);
  held<QPushButton>("Button11")->setEnabled(mode == kModeTorque);
}

// ---------------------------------------------------------------- leaving

bool ServoControlWindow::any_running() { return servo::any_servo_running(st()); }

void ServoControlWindow::enter_leaving() {
  continuous_->setChecked(false);
  exit_button_->setEnabled(false);
  for (QGroupBox* box : {group1_, group2_, group3_, group4_, group5_}) box->setEnabled(false);
}

bool ServoControlWindow::under_own_control(uint8_t station) const {
  return st().servo_restore_flags[station] == restore_code() || st().servo_rs485_mode[station] != kModeNone;
}

BusControlWindow::RestoreOutcome ServoControlWindow::restore_drives() {
  const RestoreOutcome outcome =
      servo::restore_own_servos(st(), ctx_.batch, restore_code(), [this](uint8_t a) { return held_elsewhere(a); });
  // The window's bus modes end with it, on every drive.
  DriveLinkState& s = st();
  for (int i = 0; i < s.servo_count; ++i) s.servo_rs485_mode[s.servo_nodes[i]] = kModeNone;
  return outcome;
}

void ServoControlWindow::restore_failed_stay() {
  // The user can read the status, reset the fault and try again.
  exit_button_->setEnabled(true);
  group4_->setEnabled(true);
  group1_->setEnabled(true);
  group2_->setEnabled(true);
  mirror();
}

void ServoControlWindow::on_leave() {
  exit_button_->setEnabled(true);
  for (QGroupBox* box : {group1_, group2_, group4_, group5_}) box->setEnabled(true);
}

}  // namespace velmo
