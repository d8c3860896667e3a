#include "servo/servo_menu_editor.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "common/form_access.h"
#include "common/window_parts.h"
#include "drivelink/drive_link.h"
#include "servo/servo_bus_variant.h"
#include "servo/servo_menu_file.h"
#include "servo/servo_param_table.h"

namespace velmo {

namespace {

EditorConfig servo_config() {
  EditorConfig c;
  c.family = NodeListGroup::Servo;
  c.success_memo = "Memo2";
  c.failure_memo = "Memo3";
  c.dump_memo = "Memo4";
  c.station_refresh = StationRefresh::WhenChanged;
  c.read_error = &DriveLinkState::servo_menu_read_error;
  c.write_error = &DriveLinkState::servo_menu_write_error;
  // Every node change reads the node's menu: values of the node shown before
  // are not sent to another.
  c.download_needs_known_values = true;
  c.download_refusal = QStringLiteral("菜单下载未执行：%1未从驱动器读取、载入或输入，请先读取菜单");
  return c;
}

MenuEditorFrame servo_frame() {
  MenuEditorFrame f;
  f.code = WindowCode::ServoMenuEditor;
  f.node_caption = QStringLiteral("伺服节点：");
  f.node_list = "ComboBox45";
  f.node_list_at = QRect(90, 10, 100, 30);
  f.panel_at = QRect(430, 10, 740, 30);
  f.pages_at = QRect(10, 50, 1160, 650);
  f.pages_hint = QStringLiteral("修改文本框参数，须按下回车键确认修改！！");
  f.memos = {{"Memo1", QStringLiteral("通讯记录")},
             {"Memo2", QStringLiteral("通讯过程记录（成功）")},
             {"Memo3", QStringLiteral("通讯过程记录（失败）")},
             {"Memo4", QStringLiteral("菜单数据")}};
  f.traffic_memo = "Memo1";
  f.logs_tab = QStringLiteral("通讯数据 ");
  f.logs_tab_name = "TabSheet9";
  f.buttons = {
      {"Button2", QStringLiteral("读取菜单"), QStringLiteral("读取驱动器菜单"), MenuAction::Read},
      {"Button5", QStringLiteral("下载菜单"), QStringLiteral("将当前菜单下载到驱动器上"), MenuAction::Download},
      {"Button4", QStringLiteral("菜单存盘"), QStringLiteral("将驱动器菜单保存到电脑上"), MenuAction::Save},
      {"Button3", QStringLiteral("打开菜单文件"), QStringLiteral("打开电脑上保存的菜单文件"), MenuAction::Open},
      {"Button9", QStringLiteral("保存记录"), {}, MenuAction::SaveRecords},
      {"Button8", QStringLiteral("清空记录"), {}, MenuAction::ClearRecords},
      {"Button1", QStringLiteral("退出"), {}, MenuAction::Exit},
  };
  f.buttons_at = QRect(10, 712, 130, 34);
  f.file_family = QStringLiteral("SERVO");
  f.file_name_prefix = QStringLiteral("伺服节点");
  f.save_read_failed = QStringLiteral("菜单读取异常，存盘失败");
  f.record_proposed = QStringLiteral("伺服菜单编辑通讯执行成功记录.txt");
  f.record_files = {{"Memo2", QStringLiteral("伺服菜单编辑通讯执行成功记录.txt")},
                    {"Memo3", QStringLiteral("伺服菜单编辑通讯执行失败记录.txt")}};
  f.cleared_memos = {"Memo2", "Memo3"};
  for (const char* g : {"F0组", "F1组", "F2组", "F3组", "F4组", "F5组", "F6组", "F7组", "FA组", "FB组", "FC组"})
    f.group_checks.push_back(QString::fromUtf8(g));
  return f;
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
    : MenuEditorWindow(ctx, "TForm2", QStringLiteral("伺服驱动器菜单编辑"), QSize(1200, 800), servo_param_table(),
                       servo_config(), servo_frame(), parent) {
  make_label(this, "Label239", QStringLiteral("驱动器功率："), QRect(210, 12, 100, 28));
  make_edit(this, "Edit75", QRect(310, 10, 100, 30))->setReadOnly(true);
  auto* variant_label = new QLabel(control<QLabel>(this, "Panel1"));
  variant_label->setObjectName(QStringLiteral("Label240"));
  variant_label->hide();
  engine_->select(1, kServoLayout1);
  engine_->apply_layout();
  apply_screen_scaling(pages());
}

// ---- Node, layout and variant ----

void ServoMenuEditor::take_node() {
  DriveLinkState& st = ctx_.link.st;
  // No node chosen (its drive left the line): no layout is taken from
  // another drive's row, and none is shown.
  if (node_of(node_list()) == 0) {
    if (engine_->node() == 0) control<QLabel>(this, "Label240")->clear();
    return;
  }
  const int i = std::max(node_list()->currentIndex(), 0);
  variant_ = st.servo_subtype_list[static_cast<size_t>(i)];
  control<QLabel>(this, "Label240")->setText(QString::number(variant_));
  const int node = node_of(node_list());
  engine_->select(node > 0 ? node : engine_->node(), servo_layout_of_variant(variant_));
  engine_->apply_layout();
}

void ServoMenuEditor::station_gone(uint8_t station) {
  control<QLabel>(this, "Label240")->clear();
  MenuEditorWindow::station_gone(station);
}

void ServoMenuEditor::on_open() {
  // The list names no node (its drive left the line): Panel1 says so, and
  // nothing is read until the engineer picks one.
  if (node_of(node_list()) == 0) return;
  take_node();
  sfmenuset();
  Button6Click();
  Button2Click();
}

void ServoMenuEditor::sfmenuset() {
  const DriveLinkState& st = ctx_.link.st;
  control<QLineEdit>(this, "Edit66")->setText(node_list()->currentText());
  const int i = std::max(node_list()->currentIndex(), 0);
  const bool bus_type = st.servo_high_model[static_cast<size_t>(i)] == 1;
  apply_servo_bus_variant(*engine_, st, engine_->node(), bus_type);
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

std::optional<QString> ServoMenuEditor::file_refusal(const MenuFileParse& parsed) const {
  switch (check_servo_menu_file(parsed, variant_)) {
    case ServoFileVerdict::Malformed: return QStringLiteral("文件异常，打开失败");
    case ServoFileVerdict::OtherVersion: return QStringLiteral("菜单版本不一致，打开失败");
    case ServoFileVerdict::Ok: break;
  }
  return std::nullopt;
}

// ---- Rows that need code ----

void ServoMenuEditor::value_passed(const ParamRow& row, int32_t wire, ValueSource source) {
  if (row.role == kServoProgramVersion) control<QLineEdit>(this, "Edit75")->setText(servo_power_text(wire));
  // The restore snapshot follows only what the drive itself holds, and never
  // while the drive is under bus control (the snapshot is what it returns to).
  if (source == ValueSource::File) return;
  DriveLinkState& st = ctx_.link.st;
  const int node = engine_->node();
  if (node < 1 || node >= kAddrSlots || st.servo_restore_flags[static_cast<size_t>(node)]) return;
  if (row.role == kServoRunMode) st.servo_run_mode[static_cast<size_t>(node)] = static_cast<uint32_t>(wire);
  if (row.role == kServoGainSwitch) st.servo_gain_switch[static_cast<size_t>(node)] = static_cast<uint32_t>(wire);
  if (!row.has(kSnapshot)) return;
  const int first = st.servo_list_first(variant_), size = st.servo_list_size(variant_);
  for (int slot = 0; slot < size; ++slot)
    if (static_cast<int>(st.servo_param_regs[static_cast<size_t>(first + slot)]) == row.reg)
      st.servo_saved_params[static_cast<size_t>(node)][static_cast<size_t>(slot)] = wire;
}

}  // namespace velmo
