#include "servo/servo_menu_editor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include <exception>

#include "common/form_access.h"
#include "common/menu_file.h"
#include "common/param_blocks.h"
#include "common/status_line.h"
#include "common/window_parts.h"
#include "drivelink/drive_link.h"
#include "servo/servo_bus_variant.h"
#include "servo/servo_menu_file.h"
#include "servo/servo_param_table.h"

namespace velmo {

namespace {

const QStringList kDumpHeader = {QStringLiteral("SERVO"), QStringLiteral("ADDR    DATA")};
const QString kSuccessRecord = QStringLiteral("伺服菜单编辑通讯执行成功记录.txt");
const QString kFailureRecord = QStringLiteral("伺服菜单编辑通讯执行失败记录.txt");

EditorConfig servo_config() {
  EditorConfig c;
  c.family = NodeListGroup::Servo;
  c.success_memo = "Memo2";
  c.failure_memo = "Memo3";
  c.dump_memo = "Memo4";
  c.read_error = &DriveLinkState::servo_menu_read_error;
  c.write_error = &DriveLinkState::servo_menu_write_error;
  return c;
}

}  // namespace

QString servo_power_text(int program_version) {
  switch (program_version / 100) {
    case 60: case 80: return QStringLiteral("100W");
    case 61: case 81: return QStringLiteral("200W");
    case 62: case 82: return QStringLiteral("400W");
    case 63: case 83: return QStringLiteral("750W");
    case 64: case 68: case 84: return QStringLiteral("1KW");
    case 65: case 69: return QStringLiteral("1.5W");
    case 66: case 70: return QStringLiteral("2KW");
    case 67: case 71: return QStringLiteral("3KW");
    case 72: return QStringLiteral("5KW");
    case 73: return QStringLiteral("7.5W");
    default: return {};
  }
}

ServoMenuEditor::ServoMenuEditor(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm2", QStringLiteral("伺服驱动器菜单编辑"), QSize(1200, 800), parent),
      chooser_(std::make_unique<DialogFileChooser>()) {
  engine_ = std::make_unique<ParamEditorEngine>(ctx.link, this, servo_param_table(), static_cast<ParamEditorHooks&>(*this), servo_config(), ctx.forms);
  build_frame();
  engine_->select(1, kServoLayout1);
  show_layout();
  apply_screen_scaling(pages_);
}

void ServoMenuEditor::build_frame() {
  make_label(this, "Label1", QStringLiteral("伺服节点："), QRect(10, 12, 80, 28));
  node_list_ = make_combo(this, "ComboBox45", QRect(90, 10, 100, 30));
  connect(node_list_, &QComboBox::activated, this, [this] { ComboBox45Click(); });
  make_label(this, "Label239", QStringLiteral("驱动器功率："), QRect(210, 12, 100, 28));
  auto* power = make_edit(this, "Edit75", QRect(310, 10, 100, 30));
  power->setReadOnly(true);
  QLabel* panel = make_panel(this, QRect(430, 10, 740, 30));
  auto* variant_label = new QLabel(panel);
  variant_label->setObjectName(QStringLiteral("Label240"));
  variant_label->hide();

  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("PageControl1"));
  pages_->setGeometry(10, 50, 1160, 650);
  pages_->setToolTip(QStringLiteral("修改文本框参数，须按下回车键确认修改！！"));
  engine_->build_controls(pages_);

  // The last sheet: traffic, success and failure logs and the menu text.
  auto* logs = new QWidget;
  logs->setObjectName(QStringLiteral("TabSheet9"));
  auto* grid = new QGridLayout(logs);
  const struct {
    const char* name;
    const char* caption;
  } memos[] = {{"Memo1", "通讯记录"}, {"Memo2", "通讯过程记录（成功）"}, {"Memo3", "通讯过程记录（失败）"},
               {"Memo4", "菜单数据"}};
  for (int i = 0; i < 4; ++i) {
    auto* memo = make_memo(logs, memos[i].name, QRect());
    memo->setToolTip(QString::fromUtf8(memos[i].caption));
    grid->addWidget(new QLabel(QString::fromUtf8(memos[i].caption), logs), 2 * (i / 2), i % 2);
    grid->addWidget(memo, 2 * (i / 2) + 1, i % 2);
  }
  pages_->addTab(logs, QStringLiteral("通讯数据 "));
  route_traffic(ctx_.link, WindowCode::ServoMenuEditor, control<QPlainTextEdit>(this, "Memo1"));

  const struct {
    const char* name;
    const char* text;
    const char* hint;
    void (ServoMenuEditor::*handler)();
  } buttons[] = {
      {"Button2", "读取菜单", "读取驱动器菜单", &ServoMenuEditor::Button2Click},
      {"Button5", "下载菜单", "将当前菜单下载到驱动器上", &ServoMenuEditor::Button5Click},
      {"Button4", "菜单存盘", "将驱动器菜单保存到电脑上", &ServoMenuEditor::Button4Click},
      {"Button3", "打开菜单文件", "打开电脑上保存的菜单文件", &ServoMenuEditor::Button3Click},
      {"Button9", "保存记录", "", &ServoMenuEditor::Button9Click},
      {"Button8", "清空记录", "", &ServoMenuEditor::Button8Click},
      {"Button1", "退出", "", &ServoMenuEditor::Button1Click},
  };
  int x = 10;
  for (const auto& b : buttons) {
    auto* button = make_button(this, b.name, QString::fromUtf8(b.text), QRect(x, 712, 130, 34));
    button->setToolTip(QString::fromUtf8(b.hint));
    connect(button, &QPushButton::clicked, this, [this, h = b.handler] { (this->*h)(); });
    x += 145;
  }

  // Group selection: kept for the opener, never shown.
  auto* select = new QGroupBox(QStringLiteral("选择参数组"), this);
  select->setObjectName(QStringLiteral("GroupBox12"));
  select->hide();
  const char* const groups[] = {"F0组", "F1组", "F2组", "F3组", "F4组", "F5组", "F6组", "F7组", "FA组", "FB组", "FC组"};
  for (int i = 0; i < 11; ++i) {
    auto* box = new QCheckBox(QString::fromUtf8(groups[i]), select);
    box->setObjectName(QStringLiteral("CheckBox%1").arg(i + 1));
    connect(box, &QCheckBox::clicked, this, [this, i](bool on) { sf_group_select_[static_cast<size_t>(i)] = on ? 1 : 0; });
  }
  connect(make_button(select, "Button6", QStringLiteral("全选"), QRect()), &QPushButton::clicked, this,
          [this] { Button6Click(); });
  connect(make_button(select, "Button7", QStringLiteral("全不"), QRect()), &QPushButton::clicked, this,
          [this] { Button7Click(); });
}

// ---- Node, layout and variant ----

void ServoMenuEditor::take_node() {
  DriveLinkState& st = ctx_.link.st;
  const int i = std::max(node_list_->currentIndex(), 0);
  variant_ = st.servo_subtype_list[static_cast<size_t>(i)];
  st.servo_subtype = static_cast<uint8_t>(variant_);
  control<QLabel>(this, "Label240")->setText(QString::number(variant_));
  st.servo_bus_type = st.servo_high_model[static_cast<size_t>(i)] == 1 ? 1 : 0;
  const int node = node_of(node_list_);
  if (node > 0) st.node_addr = static_cast<uint8_t>(node);
  engine_->select(node > 0 ? node : engine_->node(), servo_layout_of_variant(variant_));
  show_layout();
}

void ServoMenuEditor::show_layout() { engine_->apply_layout(); }

void ServoMenuEditor::on_open() {
  take_node();
  sfmenuset();
  Button6Click();
  Button2Click();
}

void ServoMenuEditor::ComboBox45Click() {
  if (engine_->busy()) return;
  on_open();
}

void ServoMenuEditor::sfmenuset() {
  DriveLinkState& st = ctx_.link.st;
  const int node = node_of(node_list_);
  if (node > 0) st.node_addr = static_cast<uint8_t>(node);
  control<QLineEdit>(this, "Edit66")->setText(node_list_->currentText());
  const int i = std::max(node_list_->currentIndex(), 0);
  const bool bus_type = st.servo_high_model[static_cast<size_t>(i)] == 1;
  st.servo_bus_type = bus_type ? 1 : 0;
  apply_servo_bus_variant(*engine_, st, engine_->node(), bus_type);
}

void ServoMenuEditor::Button6Click() {
  sf_group_select_.fill(1);
  for (auto* box : findChildren<QCheckBox*>()) box->setChecked(true);
}

void ServoMenuEditor::Button7Click() {
  sf_group_select_.fill(0);
  for (auto* box : findChildren<QCheckBox*>()) box->setChecked(false);
}

bool ServoMenuEditor::RS485_data_modify() {
  ParamEditorEngine::Hold hold(*engine_);
  const DriveLinkState& st = ctx_.link.st;
  return hold && engine_->write_single(st.param_reg, st.param_value & 0xFFFF);
}

bool ServoMenuEditor::sf_param_read_block() {
  ParamEditorEngine::Hold hold(*engine_);
  const DriveLinkState& st = ctx_.link.st;
  return hold && engine_->read_block({static_cast<int>(st.block_start), static_cast<int>(st.block_count), 3, {}});
}

// ---- Menu operations ----

void ServoMenuEditor::Button2Click() {
  engine_->run_menu_operation([this] { engine_->read_menu(kDumpHeader); });
}

void ServoMenuEditor::Button5Click() {
  engine_->run_menu_operation([this] { engine_->download(); });
}

void ServoMenuEditor::Button4Click() {
  engine_->run_menu_operation([this] {
    const bool read = engine_->read_menu(kDumpHeader);
    ParamEditorEngine::Hold hold(*engine_);
    if (!hold) return;
    if (!read) {
      engine_->status(QStringLiteral("菜单读取异常，存盘失败"));
      engine_->log_failure(QStringLiteral("菜单读取异常，存盘失败"));
      return;
    }
    const QString name = QStringLiteral("伺服节点") + node_list_->currentText() + QStringLiteral("菜单.txt");
    const QString path = chooser_->save_file(this, name, QStringLiteral("txt"));
    if (path.isEmpty()) return;
    if (write_file_atomically(path, menu_file_text(servo_menu_content(engine_->image(), engine_->layout())))) {
      engine_->status(QStringLiteral("菜单存盘成功"));
      engine_->log_success(QStringLiteral("菜单存盘成功"));
    } else {
      engine_->status(QStringLiteral("菜单存盘失败"));
      engine_->log_failure(QStringLiteral("菜单存盘失败"));
    }
  });
}

void ServoMenuEditor::Button3Click() {
  engine_->run_menu_operation([this] {
    ParamEditorEngine::Hold hold(*engine_);
    if (!hold) return;
    const QString path = chooser_->open_file(this, QStringLiteral("txt"));
    if (path.isEmpty()) return;
    QByteArray bytes;
    MenuFileParse parsed;
    if (read_whole_file(path, &bytes)) parsed = parse_menu_file(bytes, QStringLiteral("SERVO"), false);
    else parsed.error = MenuFileError::Header;
    switch (check_servo_menu_file(parsed, variant_)) {
      case ServoFileVerdict::Malformed:
        engine_->status(QStringLiteral("文件异常，打开失败"));
        engine_->log_failure(QStringLiteral("文件异常，打开失败"));
        return;
      case ServoFileVerdict::OtherVersion:
        engine_->status(QStringLiteral("菜单版本不一致，打开失败"));
        engine_->log_failure(QStringLiteral("菜单版本不一致，打开失败"));
        return;
      case ServoFileVerdict::Ok:
        break;
    }
    show_menu_file(parsed.content);
    engine_->status(QStringLiteral("菜单文件打开成功"));
    engine_->log_success(QStringLiteral("菜单文件打开成功"));
  });
}

void ServoMenuEditor::show_menu_file(const MenuFileContent& content) {
  const ParamTable& table = servo_param_table();
  for (const auto& [reg, value] : content.entries) {
    // The station number and the line settings stay those of the drive edited.
    const ParamRow* row = table.row_by_reg(reg, engine_->layout());
    if (row && (row->has(kStation) || row->has(kLineSetting))) continue;
    engine_->image()[static_cast<size_t>(reg)] = value;
  }
  engine_->clear_dump(kDumpHeader);
  for (const auto& [reg, value] : content.entries)
    add_line(this, "Memo4", QString::number(reg) + QString(10, QLatin1Char(' ')) + QString::number(value));
  ctx_.link.st.menu_file_loading = 1;
  // A group the editor never writes (the manufacturing data) describes the
  // drive the file came from: the controls keep showing the drive edited.
  for (int g : engine_->groups_in_layout())
    if (group_is_written(table, g, engine_->layout())) engine_->show_group(g, ValueSource::File);
  ctx_.link.st.menu_file_loading = 0;
}

void ServoMenuEditor::Button9Click() {
  const QString path = chooser_->save_file(this, kSuccessRecord, QStringLiteral("txt"));
  if (path.isEmpty()) return;
  if (!save_record_files(path, kSuccessRecord, control<QPlainTextEdit>(this, "Memo2")->toPlainText(), kFailureRecord,
                         control<QPlainTextEdit>(this, "Memo3")->toPlainText())) {
    set_panel(this, QStringLiteral("记录保存失败"));
    add_line(this, "Memo3", timed_line(QStringLiteral("记录保存失败")));
  }
}

void ServoMenuEditor::Button8Click() {
  control<QPlainTextEdit>(this, "Memo2")->clear();
  control<QPlainTextEdit>(this, "Memo3")->clear();
}

void ServoMenuEditor::Button1Click() { leave(); }

bool ServoMenuEditor::exit_guard() { return !engine_->busy() && ctx_.link.st.write_busy == 0; }

// ---- Rows that need code ----

ParamRange ServoMenuEditor::dynamic_range(const ParamRow& row) {
  // DA rate: the range follows the output's function at the moment the field is left.
  const char* function = row.code == QLatin1String("F7-01") ? "ComboBox39" : "ComboBox40";
  const auto* combo = findChild<QComboBox*>(QString::fromLatin1(function));
  const int item = combo ? combo->currentIndex() + 1 : 1;
  if (item == 4) return {10, 10000, QStringLiteral("10")};
  if (item == 5) return {100, 100, QStringLiteral("100")};
  return {30, 500, QStringLiteral("30")};
}

void ServoMenuEditor::value_passed(const ParamRow& row, int32_t wire, ValueSource source) {
  if (row.has(kPowerText)) control<QLineEdit>(this, "Edit75")->setText(servo_power_text(wire));
  // The restore snapshot follows only what the drive itself holds, and never
  // while the drive is under bus control (the snapshot is what it returns to).
  if (source == ValueSource::File) return;
  DriveLinkState& st = ctx_.link.st;
  const int node = engine_->node();
  if (node < 1 || node >= kAddrSlots || st.servo_restore_flags[static_cast<size_t>(node)]) return;
  if (row.code == QLatin1String("F0-00")) st.servo_run_mode[static_cast<size_t>(node)] = static_cast<uint32_t>(wire);
  if (row.code == QLatin1String("F2-15")) st.servo_gain_switch[static_cast<size_t>(node)] = static_cast<uint32_t>(wire);
  if (!row.has(kSnapshot)) return;
  const int first = st.servo_list_first(variant_), size = st.servo_list_size(variant_);
  for (int slot = 0; slot < size; ++slot)
    if (static_cast<int>(st.servo_param_regs[static_cast<size_t>(first + slot)]) == row.reg)
      st.servo_saved_params[static_cast<size_t>(node)][static_cast<size_t>(slot)] = wire;
}

void ServoMenuEditor::set_busy(bool busy) {
  node_list_->setEnabled(!busy);
  for (int i = 0; i + 1 < pages_->count(); ++i) pages_->widget(i)->setEnabled(!busy);
  for (const char* name : {"Button1", "Button2", "Button3", "Button4", "Button5", "Button9"})
    control<QPushButton>(this, name)->setEnabled(!busy);
}

}  // namespace velmo
