#pragma once
#include <QRect>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

#include "common/file_chooser.h"
#include "common/menu_file.h"
#include "common/page_lock.h"
#include "common/param_editor_engine.h"
#include "common/velmo_window.h"

class QComboBox;
class QPushButton;
class QPlainTextEdit;
class QTabWidget;

namespace velmo {

enum class WindowCode : uint8_t;

// What a frame button of a menu editor does.
enum class MenuAction { Read, Download, Save, Open, SaveRecords, ClearRecords, Exit };

// The frame of one menu editor: names, texts and places of the controls
// around its parameters. Everything here is the window's own data.
struct MenuEditorFrame {
  WindowCode code{};                  // routes the traffic log to the window
  const char* node_label = "Label1";
  QString node_caption;               // "伺服节点："
  const char* node_list = nullptr;    // "ComboBox45"
  QRect node_list_at;
  QRect panel_at;
  // The parameter area: a tab widget named PageControl1 with one sheet per
  // table tab, or (no tab caption in the table) one plain area holding the
  // group boxes.
  QRect pages_at;
  QString pages_hint;

  struct Memo {
    const char* name;
    QString caption;  // hint and label
  };
  std::vector<Memo> memos;            // traffic, success, failure and dump logs in display order
  const char* traffic_memo = nullptr;
  QString logs_tab;                   // the logs' tab sheet caption; empty: logs in `logs_at` below
  const char* logs_tab_name = nullptr;
  QRect logs_at;
  std::vector<const char*> hidden_memos;

  struct Button {
    const char* name;
    QString text;
    QString hint;
    MenuAction action;
  };
  std::vector<Button> buttons;        // placed in a row from `buttons_at`, or a column
  QRect buttons_at;                   // first button's place; the others follow at the same step
  int button_step = 145;
  bool buttons_in_column = false;

  // The menu file: family word, the inverter's model-type line, default name.
  QString file_family;
  bool model_line = false;
  QString file_name_prefix;           // "伺服节点" + station text + "菜单.txt"
  QString save_read_failed;           // Panel1 and failure line when the save's read failed

  // Records: the chooser proposes `record_proposed`; `record_chosen_memo`
  // (if any) is written under the chosen name, each `record_files` entry
  // under its own name beside it.
  QString record_proposed;
  const char* record_chosen_memo = nullptr;
  std::vector<std::pair<const char*, QString>> record_files;  // memo, file name
  std::vector<const char*> cleared_memos;

  // The hidden group selection kept for the opener ("全选" / "全不").
  std::vector<QString> group_checks;
};

// Base of the menu editors: the frame (node list, status panel, logs,
// read/download/save/open/records/clear/exit buttons and the hidden group
// selection), menu-file saving and opening and the records, on the shared
// parameter engine. A family editor gives its table, configuration and
// frame, chooses its node and layout, and overrides the hooks its rows need.
class MenuEditorWindow : public VelmoWindow, protected ParamEditorHooks {
  Q_OBJECT
 public:
  MenuEditorWindow(AppContext& ctx, const char* object_name, const QString& title, QSize design_size,
                   const ParamTable& table, EditorConfig config, MenuEditorFrame frame, QWidget* parent = nullptr);

  // Selects the node of the list and its layout, then reads the menu.
  void on_open() override;

  ParamEditorEngine& engine() { return *engine_; }
  const MenuEditorFrame& frame() const { return frame_; }
  void set_file_chooser(std::unique_ptr<FileChooser> chooser) { chooser_ = std::move(chooser); }
  const std::vector<uint8_t>& group_select() const { return group_select_; }

  // ---- The frame's operations ----
  void read_menu();
  void download_menu();
  void save_menu();
  void open_menu_file();
  void save_records();
  void clear_records();
  void select_all_groups(bool on);
  // The user chose another node in the list (by default: take it and read its menu).
  virtual void node_chosen();

 protected:
  bool exit_guard() override;
  // A menu read or download runs to its end before the window is left.
  bool exit_waits() const override;

  // The node of the list and its layout into the engine (the family adds its
  // variant, model type or series).
  virtual void take_node();
  // The lines that head the dump memo (the menu file's header).
  virtual QStringList dump_header() const;
  // What the save writes.
  virtual MenuFileContent menu_content() const;
  // Why a parsed file cannot be taken; none when it can.
  virtual std::optional<QString> file_refusal(const MenuFileParse& parsed) const;
  // Takes an accepted file into the image and the controls.
  virtual void show_menu_file(const MenuFileContent& content);
  // Says how a save or an opening ended (by default as report() does).
  virtual void report_save(bool ok, const QString& message) { report(ok, message); }
  virtual void report_open(bool ok, const QString& message) { report(ok, message); }

  // ParamEditorHooks: the frame is locked while an exchange runs.
  void set_busy(bool busy) override;
  // ParamEditorHooks: a drive another window holds keeps its station number.
  bool station_change_refused() override;
  // The node edited left the line: nothing is sent until one is chosen.
  void station_gone(uint8_t station) override;
  void station_back(uint8_t station) override;
  // The drive being read or written is this editor's meanwhile.
  bool holds(uint8_t station) const override { return engine_->busy() && station == engine_->station(); }

  QComboBox* node_list() const { return node_list_; }
  QWidget* pages() const { return pages_; }
  QPlainTextEdit* memo(const char* name) const;
  // Says a result on Panel1 and in the success or failure log (timed).
  void report(bool ok, const QString& message);

  std::unique_ptr<ParamEditorEngine> engine_;

 private:
  void build_frame();
  void run(MenuAction action);

  MenuEditorFrame frame_;
  std::unique_ptr<FileChooser> chooser_;
  QComboBox* node_list_ = nullptr;
  QWidget* pages_ = nullptr;
  std::vector<QPushButton*> locked_buttons_;  // every frame button but clearing the records
  PageLock page_lock_;                        // the page in view, while busy
  std::vector<uint8_t> group_select_;
};

}  // namespace velmo
