#include "inverter/inverter_control_window.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "common/form_access.h"
#include "common/param_codec.h"
#include "common/status_line.h"
#include "common/window_parts.h"
#include "drivelink/batch_writes.h"
#include "drivelink/drive_link.h"

namespace velmo {

namespace {

constexpr uint16_t kFrequencyReg = 0x1001;
constexpr uint16_t kStatusFirst = 0x2000;
constexpr uint16_t kFaultReg = 0x3000;
constexpr int kMaxFrequency = 2000;  // 0.1 Hz

// The status block's words with their fields: value / divisor, digits after the point.
struct StatusField {
  int word;
  const char* edit;
  int divisor;
  int decimals;
};
constexpr StatusField kStatusFields[] = {
    {0, "Edit2", 10, 1}, {2, "Edit3", 100, 2}, {3, "Edit4", 10, 1}, {4, "Edit7", 1, 0}, {5, "Edit8", 1, 0}};

QString scaled(int v, int divisor, int decimals) {
  if (decimals == 0) return QString::number(v);
  return QString::number(v / divisor) + QLatin1Char('.') +
         QString::number(v % divisor).rightJustified(decimals, QLatin1Char('0'));
}

// The fault texts of this window, by code (14 and above share the last).
const char* const kFaultTexts[] = {
    "",           "系统参数异常",     "大幅度过电流",     "过电流",           "通讯超时",
    "过电压",     "输入缺相",         "低电压",           "变频器过热",       "电机过载热保护",
    "旋转方向限制警告", "安全开关断开警告", "安全开关断开报警", "制动电阻负载率过高", "电流偏置电压异常",
};

QString tenths_text(int v) { return scaled(v, 10, 1); }

}  // namespace

InverterControlWindow::InverterControlWindow(AppContext& ctx, QWidget* parent)
    : RunControlWindow(
          ctx, "TForm9", QStringLiteral("变频器 RS-485通讯控制"), QSize(1000, 700),
          Setup{.family = Family{&DriveLinkState::bpq_pending_cmd, &DriveLinkState::bpq_run_state,
                                 DeviceFamily::Inverter},
                .exit_texts = ExitTexts{QStringLiteral("退出前，请确保电机停止且变频器无故障！！"), {}, {},
                                        QStringLiteral("恢复相关参数失败！！"), QStringLiteral("请确保变频器无故障！！"),
                                        QStringLiteral("线路无应答，变频器可能仍在运转，请到现场确认！！")},
                .nodes = &DriveLinkState::bpq_nodes,
                .count = &DriveLinkState::bpq_count,
                .bus_ok = &DriveLinkState::bpq_rs485_ok,
                .restore_flags = &DriveLinkState::bpq_restore_flags,
                .take_over = &BatchWrites::bpq_rs485_set,
                .restore = &BatchWrites::bpq_parameter_save,
                .window_code = WindowCode::InverterControl,
                .status_failed = QStringLiteral("变频器状态读取失败"),
                .failed_read_stops_reading = true,
                .clear_resets_counters = true},
          true, parent) {
  auto* status = new QGroupBox(QStringLiteral("状态指示"), this);
  status->setObjectName(QStringLiteral("GroupBox1"));
  status->setGeometry(10, 50, 820, 240);
  struct Field {
    const char* edit;
    const char* caption;
    const char* unit;
  };
  const Field fields[] = {{"Edit2", "当前频率：", "Hz"},         {"Edit3", "电机电流值：", "A"},
                          {"Edit4", "母线电压值：", "V"},        {"Edit7", "制动电阻最大负载率：", "%"},
                          {"Edit8", "变频器温度：", "℃"},       {"Edit5", "故障代码：", ""}};
  for (int k = 0; k < 6; ++k) {
    const int x = 10 + (k % 2) * 400, y = 30 + (k / 2) * 40;
    make_label(status, (QByteArray("Label") + fields[k].edit).constData(), QString::fromUtf8(fields[k].caption),
               QRect(x, y, 160, 28));
    make_edit(status, fields[k].edit, QRect(x + 160, y, 100, 28))->setReadOnly(true);
    // The fault code has its text beside it instead of a unit.
    if (*fields[k].unit)
      make_label(status, (QByteArray("LabelUnit") + fields[k].edit).constData(), QString::fromUtf8(fields[k].unit),
                 QRect(x + 265, y, 40, 28));
  }
  // Wide enough for the longest fault text.
  make_edit(status, "Edit6", QRect(675, 110, 135, 28))->setReadOnly(true);
  build_status_controls(status, 160, QStringLiteral("故障中"));
  std::vector<QWidget*> block;
  for (const StatusField& f : kStatusFields) block.push_back(control<QLineEdit>(this, f.edit));
  add_status_view(block, {control<QLineEdit>(this, "Edit5"), control<QLineEdit>(this, "Edit6")});
  for (const char* name : {"Label16", "Label17"}) make_label(status, name, QStringLiteral("0"), QRect(0, 0, 40, 20))->hide();

  auto* run = new QGroupBox(QStringLiteral("运转控制"), this);
  run->setObjectName(QStringLiteral("GroupBox2"));
  run->setGeometry(10, 300, 820, 160);
  make_label(run, "LabelEdit1", QStringLiteral("频率设定："), QRect(10, 30, 100, 28));
  frequency_ = make_edit(run, "Edit1", QRect(110, 30, 100, 28), QStringLiteral("20.0"));
  frequency_->setMaxLength(5);
  frequency_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*\\.?[0-9]*")), frequency_));
  connect(frequency_, &QLineEdit::editingFinished, this, &InverterControlWindow::edit1onchange);
  // Enter moves on to the next control, which runs the exit check.
  connect(frequency_, &QLineEdit::returnPressed, this, [this] { focusNextChild(); });
  make_label(run, "LabelUnitEdit1", QStringLiteral("Hz"), QRect(215, 30, 40, 28));
  build_run_controls(run, 80, QStringLiteral("频率设定"), {});
  register_commands();

  connect(make_button(this, "Button9", QStringLiteral("保存记录"), QRect(850, 92, 100, 34)), &QPushButton::clicked,
          this, &InverterControlWindow::Button9Click);
  connect(nodes(), &QComboBox::currentIndexChanged, this, [this] { ComboBox1Change(); });
  apply_screen_scaling(size_anchor());
  open_centred();
}

uint8_t InverterControlWindow::model_type_of(uint8_t node) const {
  const int i = position_of(node);
  return i >= 0 ? st().bpq_model_type_list[i] : 0;
}

void InverterControlWindow::ComboBox1Change() {
  const int picked = nodes()->currentIndex();
  const uint8_t model_type = st().bpq_model_type_list[picked >= 0 && picked < kListSlots ? picked : 0];
  // Braking-resistor load and temperature exist on model types 0 and 1 only.
  const bool shown = model_type <= 1;
  for (const char* name : {"Edit7", "Edit8"}) {
    auto* edit = control<QLineEdit>(this, name);
    set_usable(edit, shown);
    if (!shown) edit->clear();
  }
}

void InverterControlWindow::on_open() {
  // The node's own model type first, so the first status read asks for its words.
  ComboBox1Change();
  Button7Click();
  start_replay_timer();
}

std::optional<int> InverterControlWindow::frequency_setpoint() const {
  const QString text = frequency_->text().trimmed();
  if (text.isEmpty()) return 0;
  int64_t v = 0;
  if (!scale_decimal_text(text, 1, Rounding::HalfEven, &v)) return std::nullopt;
  return static_cast<int>(std::clamp<int64_t>(v, 0, kMaxFrequency));
}

void InverterControlWindow::edit1onchange() {
  if (const std::optional<int> v = frequency_setpoint()) frequency_->setText(tenths_text(*v));
}

uint16_t InverterControlWindow::stop_value(int pos) const { return pos >= 0 && st().bpq_stop3_flags[pos] == 1 ? 3 : 0; }

void InverterControlWindow::send_settings(uint8_t node) {
  // Checked again here: a replay comes without the field's exit check.
  const std::optional<int> v = frequency_setpoint();
  if (!v) return settings_refused(node, QStringLiteral("频率设定失败**"));
  frequency_->setText(tenths_text(*v));
  write_with_lines(node, kFrequencyReg, static_cast<uint16_t>(*v), QStringLiteral("频率设定成功！！"),
                   QStringLiteral("频率设定失败**"));
}

std::optional<uint16_t> InverterControlWindow::read_status_block(uint8_t node) {
  const bool full = model_type_of(node) < 2;
  if (!link().read_registers(node, kStatusFirst, full ? 6 : 4)) return std::nullopt;
  for (const StatusField& f : kStatusFields)
    if (f.word < 4 || full)
      held<QLineEdit>(f.edit)->setText(scaled(link().reply_word(f.word), f.divisor, f.decimals));
  return link().reply_word(1);
}

RunControlWindow::StateMeaning InverterControlWindow::meaning_of(uint16_t word) const {
  switch (word) {
    case 0: case 4: return {2, 0};
    case 1: return {0, 1};
    case 2: return {1, 1};
    case 8: return {3, 2};
    default: return {std::nullopt, 0};
  }
}

void InverterControlWindow::read_after_status(uint8_t node) {
  if (!link().read_registers(node, kFaultReg, 1)) {
    read_failed(node, QStringLiteral("变频器故障信息读取失败"));
    fault_read(node, false);
    return;
  }
  ++st().read_ok_count;
  fault_read(node, true);
  const int c = link().reply_word(0) & 0xFF;
  held<QLineEdit>("Edit5")->setText(c == 0 ? QStringLiteral("无故障") : QStringLiteral("Er-") + QString::number(c - 1));
  held<QLineEdit>("Edit6")->setText(QString::fromUtf8(kFaultTexts[std::min(c, 14)]));
}

void InverterControlWindow::Button9Click() {
  save_logs(QStringLiteral("变频器RS485通讯控制记录.txt"), QStringLiteral("变频器RS485通讯控制执行成功记录.txt"),
            QStringLiteral("变频器RS485通讯控制执行失败记录.txt"));
}

}  // namespace velmo
