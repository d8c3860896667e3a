#include "inverter/inverter_menu_editor.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPalette>

#include <cmath>

#include "common/form_access.h"
#include "common/status_line.h"
#include "common/window_parts.h"
#include "drivelink/drive_link.h"
#include "inverter/inverter_model_types.h"
#include "inverter/inverter_param_table.h"

namespace velmo {

namespace {

constexpr int kSnapshotRegs[] = {4, 5, 8, 9};  // F0-04, F0-05, F0-08, F0-09: the bus-control sources
constexpr int32_t kPulseSource = 5;           // F0-08/F0-09: the M1 input as pulse frequency source
constexpr int32_t kNoFunction = 21;           // F1-01: M1 has no other function
const QColor kSkyBlue(0xA6, 0xCA, 0xF0);
const QColor kSilver(192, 192, 192);
const QColor kBtnShadow(160, 160, 160);

EditorConfig inverter_config() {
  EditorConfig c;
  c.family = NodeListGroup::Inverter;
  c.success_memo = "Memo1";
  c.failure_memo = "Memo2";
  c.dump_memo = "Memo4";
  // A download's accepted FA block refreshes the lists too, same number or not.
  c.station_refresh = StationRefresh::AfterEveryWriteAndDownload;
  c.read_error = &DriveLinkState::bpq_menu_read_error;
  c.write_error = &DriveLinkState::bpq_menu_write_error;
  c.reading_line_names_node = true;
  c.pick_write_delay_ms = 0;
  c.group_write_takes_controls = false;
  // The image is sent, not the controls: a register nobody read, loaded or
  // typed would go out as whatever the image started with.
  c.download_needs_known_values = true;
  c.download_refusal = QStringLiteral("菜单下载未执行：%1未从变频器读取、载入或输入，请先读取菜单");
  return c;
}

MenuEditorFrame inverter_frame() {
  MenuEditorFrame f;
  f.code = WindowCode::InverterMenuEditor;
  f.node_caption = QStringLiteral("变频器节点：");
  f.node_list = "ComboBox1";
  f.node_list_at = QRect(110, 10, 100, 30);
  f.panel_at = QRect(450, 10, 720, 30);
  f.pages_at = QRect(10, 50, 1160, 650);
  f.pages_hint = QStringLiteral("修改文本框参数，须按下回车键确认修改！！");
  f.memos = {{"Memo3", QStringLiteral("通讯记录")},
             {"Memo1", QStringLiteral("通讯过程记录（成功）")},
             {"Memo2", QStringLiteral("通讯过程记录（失败）")},
             {"Memo4", QStringLiteral("菜单数据")}};
  f.traffic_memo = "Memo3";
  f.logs_tab = QStringLiteral("通讯数据 ");
  f.logs_tab_name = "TabSheet11";
  f.buttons = {
      {"Button2", QStringLiteral("读取菜单"), QStringLiteral("读取变频器菜单"), MenuAction::Read},
      {"Button5", QStringLiteral("下载菜单"), QStringLiteral("将当前菜单下载到变频器上"), MenuAction::Download},
      {"Button4", QStringLiteral("菜单存盘"), QStringLiteral("将变频器菜单保存到电脑上"), MenuAction::Save},
      {"Button3", QStringLiteral("打开菜单文件"), QStringLiteral("打开电脑上的菜单文件"), MenuAction::Open},
      {"Button9", QStringLiteral("保存记录"), {}, MenuAction::SaveRecords},
      {"Button8", QStringLiteral("清空记录"), {}, MenuAction::ClearRecords},
      {"Button1", QStringLiteral("退出"), QStringLiteral("退出菜单编辑页面"), MenuAction::Exit},
  };
  f.buttons_at = QRect(10, 712, 130, 34);
  f.file_family = QStringLiteral("BPQ");
  f.model_line = true;
  f.file_name_prefix = QStringLiteral("变频器节点");
  f.save_read_failed = QStringLiteral("读取菜单出错，存盘失败");
  f.record_proposed = QStringLiteral("变频器菜单编辑通讯执行成功记录.txt");
  f.record_files = {{"Memo1", QStringLiteral("变频器菜单编辑通讯执行成功记录.txt")},
                    {"Memo2", QStringLiteral("变频器菜单编辑通讯执行失败记录.txt")}};
  f.cleared_memos = {"Memo1", "Memo2"};
  for (const char* g : {"F0组", "F1组", "F2组", "F3组", "F4组", "F5组", "F6组", "FA组", "FB组", "FC组", "F7组", "F8组",
                        "F9组"})
    f.group_checks.push_back(QString::fromUtf8(g));
  return f;
}

double number(const QString& text) { return QLocale::c().toDouble(text.trimmed()); }

}  // namespace

InverterMenuEditor::InverterMenuEditor(AppContext& ctx, QWidget* parent)
    : MenuEditorWindow(ctx, "TForm10", QStringLiteral("Vexa变频器菜单编辑"), QSize(1200, 800),
                       inverter_param_table(), inverter_config(), inverter_frame(), parent) {
  setAutoFillBackground(true);
  QPalette sky = palette();
  sky.setColor(QPalette::Window, kSkyBlue);
  setPalette(sky);
  make_label(this, "Label187", QStringLiteral("变频器功率："), QRect(230, 12, 100, 28));
  make_edit(this, "Edit82", QRect(330, 10, 100, 30))->setReadOnly(true);
  // Transfer time of one character on the line, kept for the link.
  make_edit(this, "Edit38", QRect(0, 0, 0, 0))->hide();

  // The labels whose captions follow the model type.
  const ParamTable& table = engine_->table();
  const auto& built = engine_->controls();
  for (size_t i = 0; i < table.rows.size(); ++i) {
    if (!table.rows[i].control || !built.labels[i]) continue;
    if (qstrcmp(table.rows[i].control, "Edit33") == 0) built.labels[i]->setObjectName(QStringLiteral("Label87"));
    if (qstrcmp(table.rows[i].control, "ComboBox44") == 0) built.labels[i]->setObjectName(QStringLiteral("Label101"));
  }
  // The rating lists that run in step with F5-00: default, lowest and highest rated current.
  QWidget* power = engine_->control_of(*table.row_by_control(QStringLiteral("ComboBox23")));
  for (const char* name : {"ComboBox24", "ComboBox45", "ComboBox46"}) make_combo(power->parentWidget(), name, QRect())->hide();
  control<QComboBox>(this, "ComboBox45")->setToolTip(QStringLiteral("额定电流下限值"));
  control<QComboBox>(this, "ComboBox46")->setToolTip(QStringLiteral("额定电流上限值"));
  // F0-12 is never read: its image starts at its zero (2000), not at -20.00.
  engine_->image()[12] = 2000;

  engine_->select(1, 0);
  engine_->apply_layout();
  apply_screen_scaling(pages());
  open_centred();
}

// ---- Node, model type and rating ----

void InverterMenuEditor::take_node() {
  const DriveLinkState& st = ctx_.link.st;
  // No node chosen (its drive left the line): no model type is taken from
  // another drive's row.
  if (node_of(node_list()) == 0) return;
  const int i = std::max(node_list()->currentIndex(), 0);
  const int model_type = st.bpq_model_type_list[static_cast<size_t>(i)];
  const int node = node_of(node_list());
  engine_->select(node > 0 ? node : engine_->node(), std::min<int>(model_type, kInverterModelTypes - 1));
  bpqmenuset();
}

void InverterMenuEditor::bpqmenuset() {
  const int type = engine_->layout();
  engine_->apply_layout();
  // A greyed control shows its designed text, never what another inverter held.
  for (const ParamRow& row : engine_->table().rows) {
    if (row.in_layout(type) || !((row.greyed_layouts >> type) & 1u)) continue;
    QWidget* c = engine_->control_of(row);
    if (auto* edit = qobject_cast<QLineEdit*>(c)) edit->setText(row.form_text);
    if (auto* combo = qobject_cast<QComboBox*>(c)) combo->setCurrentIndex(combo->findText(row.form_text));
  }
  apply_type_texts();
  control<QLineEdit>(this, "Edit31")->setText(node_list()->currentText());
  bpq_power_table();
  for (const TypedText& t : bpq_class_hints(ctx_.link.st.bpq_voltage_class, type))
    control<QWidget>(this, t.control)->setToolTip(t.text);
}

void InverterMenuEditor::apply_type_texts() {
  const int type = engine_->layout();
  for (const TypedText& t : bpq_type_texts(type)) {
    if (t.caption)
      control<QLabel>(this, t.control)->setText(t.text);
    else
      control<QWidget>(this, t.control)->setToolTip(t.text);
  }
  // What a type lacks is greyed: silver on the small models, shadow on the others.
  QPalette p = pages()->palette();
  const QColor grey = type <= 1 ? kSilver : kBtnShadow;
  for (const auto role : {QPalette::Button, QPalette::Base, QPalette::Window})
    p.setColor(QPalette::Disabled, role, grey);
  pages()->setPalette(p);
  // The safety switch of type 0 is usable but coloured as the small models' greyed ones.
  auto* safety = control<QComboBox>(this, "ComboBox9");
  QPalette sp = safety->palette();
  sp.setColor(QPalette::Active, QPalette::Button, type == 0 ? kSilver : pages()->palette().color(QPalette::Active, QPalette::Button));
  safety->setPalette(sp);
}

void InverterMenuEditor::bpq_power_table() {
  DriveLinkState& st = ctx_.link.st;
  const int i = std::max(node_list()->currentIndex(), 0);
  const PowerLists lists = bpq_power_lists(st.bpq_power_code[static_cast<size_t>(i)]);
  ListItems powers;
  for (int k = 0; k < lists.kw.size(); ++k) powers.push_back({lists.kw[k], k + 1});
  const ParamRow& power = *engine_->table().row_by_control(QStringLiteral("ComboBox23"));
  engine_->set_items(power, powers);
  const int last = static_cast<int>(lists.kw.size()) - 1;
  const QStringList* in_step[] = {&lists.current, &lists.current_min, &lists.current_max};
  const char* names[] = {"ComboBox24", "ComboBox45", "ComboBox46"};
  for (int k = 0; k < 3; ++k) {
    auto* box = control<QComboBox>(this, names[k]);
    box->clear();
    box->addItems(*in_step[k]);
  }
  // An unknown code's list is two "0.0" items: the first is shown.
  engine_->select_value(power, lists.known ? last + 1 : 1);
  control<QLineEdit>(this, "Edit82")->setText(lists.rating);
  st.bpq_voltage_class = static_cast<uint8_t>(lists.voltage_class);
  take_power(lists.known ? last : 0);
  // A rating the table lacks has no default current: F5-01 keeps its value.
  if (lists.known) control<QLineEdit>(this, "Edit24")->setText(control<QComboBox>(this, "ComboBox24")->currentText());
}

void InverterMenuEditor::take_power(int index) {
  DriveLinkState& st = ctx_.link.st;
  for (const char* name : {"ComboBox24", "ComboBox45", "ComboBox46"}) control<QComboBox>(this, name)->setCurrentIndex(index);
  const QString low = control<QComboBox>(this, "ComboBox45")->currentText();
  const QString high = control<QComboBox>(this, "ComboBox46")->currentText();
  st.bpq_current_min = static_cast<float>(number(low));
  st.bpq_current_max = static_cast<float>(number(high));
  if (st.bpq_current_max > 0) {
    control<QLineEdit>(this, "Edit24")->setToolTip(low + QStringLiteral("~") + high + QStringLiteral("A"));
    return;
  }
  // A rating the table lacks: the hint says what the field takes and why.
  const ParamRow& current = *engine_->table().row_by_control(QStringLiteral("Edit24"));
  const ParamRange range = current.range_rule(current, *engine_);
  control<QLineEdit>(this, "Edit24")->setToolTip(format_number(range.min, 1) + QStringLiteral("~") +
                                                 format_number(range.max, 1) + QStringLiteral("A（功率未知）"));
}

void InverterMenuEditor::on_open() {
  // The list names no node (its drive left the line): Panel1 says so, and
  // nothing is read until the engineer picks one.
  if (node_of(node_list()) == 0) return;
  take_node();
  control<QLineEdit>(this, "Edit38")->setText(QString::number(ctx_.link.st.char_time_ms));
  Button6Click();
  Button2Click();
}

// ---- Link-level operations on the staged fields ----

bool InverterMenuEditor::bpq_param_write_one() {
  ParamEditorEngine::Hold hold(*engine_);
  const DriveLinkState& st = ctx_.link.st;
  return hold && engine_->write_single(st.param_reg, st.param_value & 0xFFFF);
}

bool InverterMenuEditor::bpq_param_read_block() {
  ParamEditorEngine::Hold hold(*engine_);
  const DriveLinkState& st = ctx_.link.st;
  return hold && engine_->read_block({static_cast<int>(st.block_start), static_cast<int>(st.block_count), 3, {}});
}

// ---- Menu file ----

QStringList InverterMenuEditor::dump_header() const {
  return {QStringLiteral("BPQ"), QString::number(engine_->layout()), QStringLiteral("ADDR    DATA")};
}

MenuFileContent InverterMenuEditor::menu_content() const {
  MenuFileContent content = MenuEditorWindow::menu_content();
  content.model_type = engine_->layout();
  return content;
}

std::optional<QString> InverterMenuEditor::file_refusal(const MenuFileParse& parsed) const {
  // Any subset of the registers is taken, but only whole, valid files of this
  // model type.
  if (!parsed.ok() || parsed.content.model_type != engine_->layout()) return QStringLiteral("菜单文件异常，打开失败");
  return std::nullopt;
}

void InverterMenuEditor::report_save(bool ok, const QString& message) {
  engine_->status(ok ? message + QStringLiteral("！！") : message);
  ok ? engine_->log_success(message) : engine_->log_failure(message);
}

void InverterMenuEditor::report_open(bool ok, const QString& message) {
  // The panel names no node here; the logs do.
  set_panel(this, ok ? message : QStringLiteral("文件异常，打开失败！！"));
  ok ? engine_->log_success(message) : engine_->log_failure(message);
}

// ---- Rows that need code ----

void InverterMenuEditor::value_picked(const ParamRow& row, int32_t wire) {
  if (row.reg == 80) {
    // A motor power brings its default current and current bounds; only F5-00 is sent.
    take_power(wire - 1);
    auto* current = control<QLineEdit>(this, "Edit24");
    current->setText(control<QComboBox>(this, "ComboBox24")->currentText());
    engine_->take_value(81, static_cast<int32_t>(std::lround(number(current->text()) * 10)), ValueSource::Entered);
    return;
  }
  if ((row.reg == 8 || row.reg == 9) && wire == kPulseSource) {
    // The M1 input becomes the frequency source: it has no other function.
    // F1-01 travels with the next download.
    engine_->take_value(31, kNoFunction, ValueSource::Entered);
    for (const char* name : {"ComboBox11", "ComboBox31"})
      engine_->select_value(*engine_->table().row_by_control(QString::fromLatin1(name)), kNoFunction);
  }
}

void InverterMenuEditor::value_passed(const ParamRow& row, int32_t wire, ValueSource source) {
  DriveLinkState& st = ctx_.link.st;
  // The current bounds follow the motor power shown, so a read never leaves
  // F5-01 held to another power's bounds.
  if (row.reg == 80 && wire >= 1 && wire <= control<QComboBox>(this, "ComboBox46")->count()) take_power(wire - 1);
  if (!row.has(kSnapshot)) return;
  // The restore snapshot: what the drive answered to a read while not under
  // this program's bus control, or what the engineer deliberately wrote into
  // these fields (a pick or an Enter), bus control or not. A file or a
  // download never sets it; a read under bus control would give the bus
  // values back.
  if (source == ValueSource::File || source == ValueSource::Downloaded) return;
  const int node = engine_->node();
  if (node < 1 || node >= kAddrSlots) return;
  if (source == ValueSource::Drive)
    for (int i = 0; i < st.bpq_count; ++i)
      if (st.bpq_nodes[static_cast<size_t>(i)] == node && st.bpq_restore_flags[static_cast<size_t>(i)]) return;
  for (size_t slot = 0; slot < 4; ++slot)
    if (kSnapshotRegs[slot] == row.reg) st.bpq_rs485_regs[static_cast<size_t>(node)][slot] = static_cast<uint32_t>(wire);
}

}  // namespace velmo
