#include "common/menu_editor_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include "common/form_access.h"
#include "common/node_lists.h"
#include "common/param_blocks.h"
#include "common/record_files.h"
#include "common/notifier.h"
#include "common/status_line.h"
#include "common/window_holds.h"
#include "common/window_parts.h"
#include "drivelink/drive_link.h"
#include "drivelink/link_events.h"

namespace velmo {

MenuEditorWindow::MenuEditorWindow(AppContext& ctx, const char* object_name, const QString& title, QSize design_size,
                                   const ParamTable& table, EditorConfig config, MenuEditorFrame frame,
                                   QWidget* parent)
    : VelmoWindow(ctx, object_name, title, design_size, parent),
      frame_(std::move(frame)),
      chooser_(std::make_unique<DialogFileChooser>()),
      group_select_(frame_.group_checks.size(), 0) {
  engine_ = std::make_unique<ParamEditorEngine>(ctx.link, this, table, static_cast<ParamEditorHooks&>(*this),
                                                std::move(config));
  // The other windows and every node list follow a drive this editor renumbered.
  connect(engine_.get(), &ParamEditorEngine::node_moved, this, [this](int from, int to) {
    if (const auto family = engine_->config().family) emit ctx_.events.station_moved(device_family(*family), from, to);
  });
  build_frame();
  set_failure_log(memo(engine_->config().failure_memo), true);
}

void MenuEditorWindow::build_frame() {
  make_label(this, frame_.node_label, frame_.node_caption,
             QRect(10, frame_.node_list_at.y() + 2, frame_.node_list_at.x() - 10, 28));
  node_list_ = make_combo(this, frame_.node_list, frame_.node_list_at);
  if (const auto family = engine_->config().family) mark_node_list(node_list_, *family);
  connect(node_list_, &QComboBox::activated, this, [this] { node_chosen(); });
  make_panel(this, frame_.panel_at);

  const ParamTable& table = engine_->table();
  if (!table.tabs.isEmpty()) {
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("PageControl1"));
    pages_ = tabs;
  } else {
    pages_ = new QWidget(this);
    pages_->setObjectName(QStringLiteral("ParamArea"));
  }
  pages_->setGeometry(frame_.pages_at);
  pages_->setToolTip(frame_.pages_hint);
  engine_->build_controls(pages_);

  // The logs: on their own tab sheet, or side by side below the parameters.
  QWidget* logs = nullptr;
  QGridLayout* grid = nullptr;
  if (auto* tabs = qobject_cast<QTabWidget*>(pages_); tabs && !frame_.logs_tab.isEmpty()) {
    logs = new QWidget;
    logs->setObjectName(QString::fromLatin1(frame_.logs_tab_name));
    grid = new QGridLayout(logs);
  } else {
    logs = new QWidget(this);
    logs->setObjectName(QStringLiteral("LogArea"));
    logs->setGeometry(frame_.logs_at);
    grid = new QGridLayout(logs);
    grid->setContentsMargins(0, 0, 0, 0);
  }
  const bool in_tab = !frame_.logs_tab.isEmpty() && qobject_cast<QTabWidget*>(pages_);
  int shown = 0;
  for (const auto& m : frame_.memos) {
    auto* memo = make_memo(logs, m.name, QRect());
    memo->setToolTip(m.caption);
    const bool hidden =
        std::find_if(frame_.hidden_memos.begin(), frame_.hidden_memos.end(),
                     [&](const char* h) { return qstrcmp(h, m.name) == 0; }) != frame_.hidden_memos.end();
    if (hidden) {
      memo->hide();
      continue;
    }
    const int row = in_tab ? 2 * (shown / 2) : 0, column = in_tab ? shown % 2 : shown;
    grid->addWidget(new QLabel(m.caption, logs), row, column);
    grid->addWidget(memo, row + 1, column);
    ++shown;
  }
  if (in_tab) static_cast<QTabWidget*>(pages_)->addTab(logs, frame_.logs_tab);
  route_traffic(ctx_.link, frame_.code, memo(frame_.traffic_memo));

  QRect at = frame_.buttons_at;
  for (const auto& b : frame_.buttons) {
    auto* button = make_button(this, b.name, b.text, at);
    button->setToolTip(b.hint);
    connect(button, &QPushButton::clicked, this, [this, a = b.action] { run(a); });
    if (b.action != MenuAction::ClearRecords) locked_buttons_.push_back(button);
    at.translate(frame_.buttons_in_column ? 0 : frame_.button_step, frame_.buttons_in_column ? frame_.button_step : 0);
  }

  if (frame_.group_checks.empty()) return;
  // Group selection: kept for the opener, never shown.
  auto* select = new QGroupBox(QStringLiteral("选择参数组"), this);
  select->setObjectName(QStringLiteral("GroupBox12"));
  select->hide();
  for (size_t i = 0; i < frame_.group_checks.size(); ++i) {
    auto* box = new QCheckBox(frame_.group_checks[i], select);
    box->setObjectName(QStringLiteral("CheckBox%1").arg(i + 1));
    connect(box, &QCheckBox::clicked, this, [this, i](bool on) { group_select_[i] = on ? 1 : 0; });
  }
  connect(make_button(select, "Button6", QStringLiteral("全选"), QRect()), &QPushButton::clicked, this,
          [this] { select_all_groups(true); });
  connect(make_button(select, "Button7", QStringLiteral("全不"), QRect()), &QPushButton::clicked, this,
          [this] { select_all_groups(false); });
}

void MenuEditorWindow::run(MenuAction action) {
  switch (action) {
    case MenuAction::Read: read_menu(); break;
    case MenuAction::Download: download_menu(); break;
    case MenuAction::Save: save_menu(); break;
    case MenuAction::Open: open_menu_file(); break;
    case MenuAction::SaveRecords: save_records(); break;
    case MenuAction::ClearRecords: clear_records(); break;
    case MenuAction::Exit: leave(); break;
  }
}

QPlainTextEdit* MenuEditorWindow::memo(const char* name) const { return control<QPlainTextEdit>(this, name); }

void MenuEditorWindow::report(bool ok, const QString& message) {
  engine_->status(message);
  ok ? engine_->log_success(message) : engine_->log_failure(message);
}

// ---- Node and layout ----

void MenuEditorWindow::take_node() {
  const int node = node_of(node_list_);
  if (node == 0) return;  // none chosen: nothing is taken
  engine_->select(node, engine_->layout());
  engine_->apply_layout();
}

void MenuEditorWindow::on_open() {
  // The list names no node (its drive left the line): Panel1 says so, and
  // nothing is taken or read until the engineer picks one.
  if (node_of(node_list_) == 0 && engine_->node() == 0) return;
  take_node();
  read_menu();
}

void MenuEditorWindow::node_chosen() {
  if (engine_->busy()) return;
  on_open();
}

void MenuEditorWindow::select_all_groups(bool on) {
  std::fill(group_select_.begin(), group_select_.end(), on ? 1 : 0);
  for (auto* box : findChildren<QCheckBox*>()) box->setChecked(on);
}

// ---- Menu operations ----

QStringList MenuEditorWindow::dump_header() const { return {frame_.file_family, QStringLiteral("ADDR    DATA")}; }

void MenuEditorWindow::read_menu() {
  engine_->run_menu_operation([this] { engine_->read_menu(dump_header()); });
}

void MenuEditorWindow::download_menu() {
  engine_->run_menu_operation([this] { engine_->download(); });
}

MenuFileContent MenuEditorWindow::menu_content() const {
  MenuFileContent content;
  content.family = frame_.file_family;
  const auto& image = engine_->image();
  for (int reg : menu_registers(engine_->table(), engine_->layout()))
    content.entries.emplace_back(reg, reg < static_cast<int>(image.size()) ? image[static_cast<size_t>(reg)] : 0);
  return content;
}

void MenuEditorWindow::save_menu() {
  engine_->run_menu_operation([this] {
    const bool read = engine_->read_menu(dump_header());
    ParamEditorEngine::Hold hold(*engine_);
    if (!hold) return;
    if (!read) {
      report(false, frame_.save_read_failed);
      return;
    }
    const QString name = frame_.file_name_prefix + node_list_->currentText() + QStringLiteral("菜单.txt");
    const QString path = chooser_->save_file(this, name, QStringLiteral("txt"));
    if (path.isEmpty()) return;
    const bool saved = write_file_atomically(path, menu_file_text(menu_content()));
    report_save(saved, saved ? QStringLiteral("菜单存盘成功") : QStringLiteral("菜单存盘失败"));
  });
}

std::optional<QString> MenuEditorWindow::file_refusal(const MenuFileParse& parsed) const {
  // Only a whole file of this drive's layout is taken.
  if (!parsed.ok() || !lists_exactly(parsed.content, menu_registers(engine_->table(), engine_->layout())))
    return QStringLiteral("文件异常，打开失败");
  return std::nullopt;
}

void MenuEditorWindow::open_menu_file() {
  engine_->run_menu_operation([this] {
    ParamEditorEngine::Hold hold(*engine_);
    if (!hold) return;
    const QString path = chooser_->open_file(this, QStringLiteral("txt"));
    if (path.isEmpty()) return;
    QByteArray bytes;
    MenuFileParse parsed;
    if (read_whole_file(path, &bytes))
      parsed = parse_menu_file(bytes, frame_.file_family, frame_.model_line);
    else
      parsed.error = MenuFileError::Header;
    if (const auto refusal = file_refusal(parsed)) {
      report_open(false, *refusal);
      return;
    }
    show_menu_file(parsed.content);
    report_open(true, QStringLiteral("菜单文件打开成功"));
  });
}

void MenuEditorWindow::show_menu_file(const MenuFileContent& content) {
  const ParamTable& table = engine_->table();
  for (const auto& [reg, value] : content.entries) {
    // The station number and the line settings stay those of the drive edited.
    const ParamRow* row = engine_->active_row(reg);
    if (row && (row->has(kStation) || row->has(kLineSetting))) continue;
    engine_->take_value(reg, value, ValueSource::File);
  }
  QStringList dump = dump_header();
  for (const auto& [reg, value] : content.entries)
    dump << QString::number(reg) + QString(10, QLatin1Char(' ')) + QString::number(value);
  engine_->clear_dump(dump);
  ctx_.link.st.menu_file_loading = 1;
  // A group the editor never writes (versions, manufacturing data) describes
  // the drive the file came from: the controls keep showing the drive edited.
  for (int g : engine_->groups_in_layout())
    if (group_is_written(table, g, engine_->layout())) engine_->show_group(g, ValueSource::File);
  ctx_.link.st.menu_file_loading = 0;
}

// ---- Records ----

void MenuEditorWindow::save_records() {
  std::vector<RecordFile> beside;
  for (const auto& [name, file] : frame_.record_files) beside.push_back({memo(name), file});
  const auto choose = [this](QWidget* parent, const QString& proposed) {
    return chooser_->save_file(parent, proposed, QStringLiteral("txt"));
  };
  const EditorConfig& c = engine_->config();
  velmo::save_records(this, choose, frame_.record_proposed,
                      frame_.record_chosen_memo ? memo(frame_.record_chosen_memo) : nullptr, beside,
                      {memo(c.success_memo), memo(c.failure_memo), true});
}

void MenuEditorWindow::clear_records() {
  for (const char* name : frame_.cleared_memos) clear_log(memo(name));
}

bool MenuEditorWindow::station_change_refused() {
  const int node = engine_->node();
  const VelmoWindow* holder = holder_of(ctx_.forms, static_cast<uint8_t>(node), this);
  if (!holder) return false;
  const QString text = QStringLiteral("“%1”正在控制此驱动器，不能修改站号！！").arg(holder->windowTitle());
  engine_->status(text);
  engine_->log_failure(text);
  ctx_.notifier.message(this, node_line(node, text));
  return true;
}

void MenuEditorWindow::station_gone(uint8_t station) {
  engine_->forget_node();
  VelmoWindow::station_gone(station);
}

void MenuEditorWindow::station_back(uint8_t station) {
  // The same drive: its layout and the values read from it stand.
  if (!engine_->busy()) take_node();
  VelmoWindow::station_back(station);
}

bool MenuEditorWindow::exit_guard() { return !engine_->busy() && ctx_.link.st.write_busy == 0; }

bool MenuEditorWindow::exit_waits() const { return engine_->busy(); }

void MenuEditorWindow::set_busy(bool busy) {
  node_list_->setEnabled(!busy);
  if (auto* tabs = qobject_cast<QTabWidget*>(pages_)) {
    // Only the page in view is locked, and the other parameter tabs can't
    // be chosen. The logs stay readable.
    const int params = frame_.logs_tab.isEmpty() ? tabs->count() : tabs->count() - 1;
    for (int i = 0; i < params; ++i) tabs->tabBar()->setTabEnabled(i, !busy || i == tabs->currentIndex());
    if (busy && tabs->currentIndex() < params) page_lock_.lock(tabs->currentWidget());
  } else if (busy) {
    page_lock_.lock(pages_);
  }
  if (!busy) page_lock_.release();
  for (QPushButton* button : locked_buttons_) button->setEnabled(!busy);
}

}  // namespace velmo
