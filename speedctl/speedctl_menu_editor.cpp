#include "speedctl/speedctl_menu_editor.h"

#include <QComboBox>
#include <QLineEdit>

#include "common/form_access.h"
#include "common/param_blocks.h"
#include "common/station_change.h"
#include "common/window_parts.h"
#include "drivelink/drive_link.h"
#include "speedctl/speedctl_param_table.h"

namespace velmo {

namespace {

EditorConfig speedctl_config() {
  EditorConfig c;
  c.family = NodeListGroup::SpeedController;
  c.success_memo = "Memo2";
  c.failure_memo = "Memo3";
  c.dump_memo = "Memo4";
  // The lists are rebuilt after every accepted single write of F-20.
  c.station_refresh = StationRefresh::AfterEveryWrite;
  c.read_error = &DriveLinkState::tsq_menu_read_error;
  c.reading_line_names_node = true;
  c.enter_write_delay_ms = 100;
  c.pick_write_delay_ms = 0;  // a pick writes at once
  c.single_lines_timed = false;
  c.summary_panel_timed = true;
  c.single_fail_suffix = QStringLiteral("**");
  c.download_stops_on_failure = false;  // the download sends all three requests
  // The image is sent as the controls show it; a design value nobody read,
  // loaded or typed is not.
  c.download_needs_known_values = true;
  c.download_refusal = QStringLiteral("菜单下载未执行：%1未从调速器读取、载入或输入，请先读取菜单");
  // Choosing a node reads nothing: a menu read from one node may be copied
  // to another by a download.
  c.keep_values_across_nodes = true;
  return c;
}

MenuEditorFrame speedctl_frame() {
  MenuEditorFrame f;
  f.code = WindowCode::SpeedCtlMenuEditor;
  f.node_label = "LabelNode";
  f.node_caption = QStringLiteral("节点：");
  f.node_list = "ComboBox1";
  f.node_list_at = QRect(70, 10, 100, 30);
  f.panel_at = QRect(190, 10, 700, 30);
  f.pages_at = QRect(10, 50, 880, 420);
  f.pages_hint = QStringLiteral("修改文本框参数，须按下回车键确认修改！！");
  f.memos = {{"Memo1", QStringLiteral("通讯记录")},
             {"Memo2", QStringLiteral("通讯过程记录（成功）")},
             {"Memo3", QStringLiteral("通讯过程记录（失败）")},
             {"Memo4", QStringLiteral("存盘数据")}};
  f.traffic_memo = "Memo1";
  f.logs_at = QRect(10, 480, 1070, 200);
  f.buttons = {
      {"Button2", QStringLiteral("读取菜单"), QStringLiteral("读取调速器菜单"), MenuAction::Read},
      {"Button5", QStringLiteral("下载菜单"), QStringLiteral("将当前的菜单下载到调速器上"), MenuAction::Download},
      {"Button4", QStringLiteral("菜单存盘"), QStringLiteral("将调速器菜单保存到电脑上"), MenuAction::Save},
      {"Button3", QStringLiteral("打开菜单文件"), QStringLiteral("打开电脑上保存的调速器菜单文件"), MenuAction::Open},
      {"Button9", QStringLiteral("保存记录"), {}, MenuAction::SaveRecords},
      {"Button8", QStringLiteral("清空记录"), {}, MenuAction::ClearRecords},
      {"Button1", QStringLiteral("退出"), {}, MenuAction::Exit},
  };
  f.buttons_at = QRect(910, 50, 150, 34);
  f.button_step = 50;
  f.buttons_in_column = true;
  f.file_family = QStringLiteral("TSQ");
  f.file_name_prefix = QStringLiteral("调速器节点");
  f.save_read_failed = QStringLiteral("菜单存盘失败");
  f.record_proposed = QStringLiteral("调速器通讯记录.txt");
  f.record_chosen_memo = "Memo1";
  f.record_files = {{"Memo2", QStringLiteral("调速器菜单编辑通讯执行成功记录.txt")},
                    {"Memo3", QStringLiteral("调速器菜单编辑通讯执行失败记录.txt")}};
  f.cleared_memos = {"Memo1", "Memo2", "Memo3"};
  return f;
}

// The F-05 item a series starts from when it is picked.
int32_t first_stop_method(int32_t series) { return series == 2 || series == 4 ? 2 : 1; }

}  // namespace

SpeedCtlMenuEditor::SpeedCtlMenuEditor(AppContext& ctx, QWidget* parent)
    : MenuEditorWindow(ctx, "TForm18", QStringLiteral("总线型调速器-菜单编辑"), QSize(1100, 760),
                       speedctl_param_table(), speedctl_config(), speedctl_frame(), parent) {
  setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
  engine_->select(1, 0);
  engine_->apply_layout();
  // The logs run furthest right and lowest: the window is fitted around them.
  apply_screen_scaling(control<QWidget>(this, "LogArea"));
  open_centred();
}

void SpeedCtlMenuEditor::node_chosen() {
  if (engine_->busy()) return;
  take_node();
  control<QLineEdit>(this, "Edit31")->setText(node_list()->currentText());
}

std::optional<QString> SpeedCtlMenuEditor::file_refusal(const MenuFileParse& parsed) const {
  if (parsed.error == MenuFileError::Header) return QStringLiteral("文件异常，打开失败");
  if (!parsed.ok()) return QStringLiteral("文件打开失败");
  // Any registers after the header are taken (the station excepted): a file
  // may hold a part of the menu.
  return std::nullopt;
}

void SpeedCtlMenuEditor::show_menu_file(const MenuFileContent& content) {
  MenuEditorWindow::show_menu_file(content);
  // The versions are shown too: they name the drive the file came from.
  engine_->show_group(kTsqVersions, ValueSource::File);
}

bool SpeedCtlMenuEditor::pick_allowed(const ParamRow& row, int32_t wire) {
  if (row.role != kTsqFactoryReset || wire != 2) return true;
  // The reset puts the drive on station 1: never beside another node there.
  if (free_station(ctx_.link.st, 1, engine_->node()) == 1) return true;
  const QString refused = QStringLiteral("站号1已被其他节点占用，未恢复出厂设定");
  engine_->status(refused);
  engine_->log_failure(refused, false, engine_->config().single_fail_suffix);
  return false;
}

void SpeedCtlMenuEditor::value_picked(const ParamRow& row, int32_t wire) {
  if (row.role != kTsqSeries) return;
  // The series' own stop list comes up on its first method; that choice is
  // not sent until a download, and it is the engineer's as the pick is.
  for (const ParamRow& r : engine_->table().rows)
    if (r.role == kTsqStopMethod && engine_->row_active(r)) {
      engine_->select_value(r, first_stop_method(wire));
      engine_->take_value(r.reg, first_stop_method(wire), ValueSource::Entered);
    }
}

void SpeedCtlMenuEditor::value_passed(const ParamRow& row, int32_t wire, ValueSource source) {
  if (source == ValueSource::File) return;
  DriveLinkState& st = ctx_.link.st;
  const int node = engine_->node();
  if (node < 1 || node >= kAddrSlots) return;
  if (row.role == kTsqSeries) st.tsq_reg1[static_cast<size_t>(node)] = static_cast<uint8_t>(wire);
  // The mode the control window gives back: the drive's own (never read
  // while the window controls it) or the engineer's accepted pick or Enter,
  // never a download.
  if (row.role == kTsqControlMode && source == ValueSource::Written) st.tsq_reg2[static_cast<size_t>(node)] = static_cast<uint32_t>(wire);
  if (row.role == kTsqControlMode && source == ValueSource::Drive) {
    const auto* pos = std::find(st.tsq_nodes.begin(), st.tsq_nodes.begin() + st.tsq_count, node);
    const bool restoring = pos != st.tsq_nodes.begin() + st.tsq_count &&
                           st.tsq_restore_flags[static_cast<size_t>(pos - st.tsq_nodes.begin())] != 0;
    if (!restoring) st.tsq_reg2[static_cast<size_t>(node)] = static_cast<uint32_t>(wire);
  }
  if (row.role == kTsqFactoryReset && wire == 2 && source == ValueSource::Written) {
    // The drive took its defaults, station 1 among them.
    engine_->image()[kTsqStationReg] = 1;
    control<QLineEdit>(this, "Edit31")->setText(QStringLiteral("1"));
    engine_->move_station(1);
  }
}

}  // namespace velmo
