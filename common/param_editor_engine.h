#pragma once
#include <QObject>
#include <QPointer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "common/node_lists.h"
#include "common/param_blocks.h"
#include "common/param_codec.h"
#include "common/param_controls.h"
#include "common/param_row.h"
#include "drivelink/drive_link_state.h"
#include "link/clock_timer.h"

class QTabWidget;

namespace velmo {

class DriveLink;

// Where a value shown or written came from.
enum class ValueSource {
  Drive,       // an accepted read
  File,        // a menu file
  Written,     // a single write the drive accepted
  Downloaded,  // a group write (menu download) the drive accepted
};

// What an editor adds to the engine for the rows that need code. Row-level
// rules (ranges, clamps, visibility) sit on the rows; these hooks carry the
// family's own meanings of its rows (ParamRow::role).
class ParamEditorHooks {
 public:
  virtual ~ParamEditorHooks() = default;
  // The exit clamp of a field without a clamp rule of its own.
  virtual QString clamp(const ParamRow& row, const QString& text, const ParamRange& range) {
    return clamp_text(row, text, range);
  }
  // An item is about to be picked: false refuses it (the list goes back to
  // what the image holds and nothing is sent; the hook says why).
  virtual bool pick_allowed(const ParamRow& /*row*/, int32_t /*wire*/) { return true; }
  // An item was picked, before it is written (side effects on other rows).
  virtual void value_picked(const ParamRow& /*row*/, int32_t /*wire*/) {}
  // A row's value was shown in its control or accepted by the drive.
  virtual void value_passed(const ParamRow& /*row*/, int32_t /*wire*/, ValueSource /*source*/) {}
  // An exchange of the editor starts (true) or ends (false).
  virtual void set_busy(bool /*busy*/) {}
  // The drive took a new station number; records and node lists have moved.
  virtual void station_changed(int /*from*/, int /*to*/) {}
};

// When an accepted write of the station number rebuilds the node lists.
enum class StationRefresh {
  WhenChanged,      // only when the drive took another number
  AfterEveryWrite,  // after every accepted write of the register, same number or not
  AfterEveryWriteAndDownload,  // as above, and after a download's accepted write of it too
};

// What differs between the editors. The fields without a value must be
// given: the engine refuses a configuration that leaves them out.
struct EditorConfig {
  std::optional<NodeListGroup> family;    // whose node lists a station change rebuilds
  const char* success_memo = nullptr;
  const char* failure_memo = nullptr;
  const char* dump_memo = nullptr;
  std::optional<StationRefresh> station_refresh;
  uint8_t DriveLinkState::*read_error = nullptr;   // mirrored error flags of the family (where it has them)
  uint8_t DriveLinkState::*write_error = nullptr;
  bool reading_line_names_node = false;  // "节点n：正在读取参数..." rather than the bare text
  int enter_write_delay_ms = 100;
  int pick_write_delay_ms = 100;
  bool single_lines_timed = true;
  bool summary_panel_timed = false;      // the menu read's and download's result on Panel1 carries the time
  QString single_fail_suffix;            // appended to the failure log line of a single write
  bool download_stops_on_failure = true;
  // A group write first takes the controls into the image (clamped); false:
  // the image alone is sent, as the exit handlers and picks keep it.
  bool group_write_takes_controls = true;
  int line_wait_ms = 5000;               // how long a single write waits for a busy line
  // A download refuses to send anything while a register it would send holds
  // a value that came from neither the drive, a menu file nor the engineer.
  bool download_needs_known_values = false;
};

// The table-driven parameter editor: controls built from a table's rows, the
// parameter image, single writes on Enter or a pick, group reads and writes
// and the menu read and download sequences. One engine per menu editor.
//
// An editor window builds the controls into its tab widget, selects its node
// and layout (menu variant, model type) whenever the node changes, runs
// read_menu() and download() through run_menu_operation(), and overrides the
// hooks for the rows that need code. Every exchange holds write_busy, goes to
// the editor's own node and never starts inside another exchange.
class ParamEditorEngine : public QObject {
  Q_OBJECT
 public:
  static constexpr int kImageSize = 201;

  ParamEditorEngine(DriveLink& link, QWidget* form, const ParamTable& table, ParamEditorHooks& hooks,
                    EditorConfig config, FormLookup forms);

  void build_controls(QWidget* area);
  const BuiltControls& controls() const { return built_; }
  const ParamTable& table() const { return table_; }
  const EditorConfig& config() const { return config_; }

  // ---- The node and layout the editor works on ----
  void select(int node, int layout);
  // Shows the group boxes and the rows of the selected layout whose
  // visibility rule holds, hides the others.
  void apply_layout();
  // Whether a row is in the layout and its visibility rule holds now.
  bool row_active(const ParamRow& row) const;
  // The active row holding a register.
  const ParamRow* active_row(int reg) const;
  int node() const { return node_; }
  int layout() const { return layout_; }
  std::vector<int> groups_in_layout() const;

  // ---- Image and controls ----
  std::vector<int32_t>& image() { return image_; }
  int32_t value(int reg) const { return reg >= 0 && reg < kImageSize ? image_[reg] : 0; }
  // A value from the drive, a menu file or the engineer's own entry into the
  // image: the register then counts as known.
  void take_value(int reg, int32_t v);
  // Whether the register's value came from the drive, a menu file or the engineer.
  bool known(int reg) const { return reg >= 0 && reg < kImageSize && known_[static_cast<size_t>(reg)] != 0; }
  // The registers a download would send that are not known, in sending order.
  std::vector<int> unknown_download_registers() const;
  QWidget* control_of(const ParamRow& row) const;
  const ParamRow* row_of(const QString& control) const { return table_.row_by_control(control); }
  const ListItems& items_of(const ParamRow& row) const;
  // Swaps a list's items; the list then shows the value it showed before (blank if no item carries it).
  void set_items(const ParamRow& row, ListItems items);
  // Selects the item carrying `value` (blank when none does); the image is untouched.
  void select_value(const ParamRow& row, int32_t value);
  // The value a control shows now: a list's picked item, a field's text as a
  // number; none when it shows nothing or is no row's control.
  std::optional<double> shown_number(const char* control) const;
  const DriveLinkState& state() const { return st_; }
  // Marked when a write failed and the read-back failed too: the field shows
  // the typed value, which the drive never confirmed.
  bool unconfirmed(const ParamRow& row) const;
  void show_row(const ParamRow& row, ValueSource source);
  void show_group(int group, ValueSource source);
  // Controls of a group into the image (number fields clamped first).
  // False when a station number was refused.
  bool take_group(int group);

  // ---- The line ----
  bool busy() const { return busy_; }
  bool line_free() const;
  // Holds the line (write_busy) for an operation of this editor.
  class Hold {
   public:
    explicit Hold(ParamEditorEngine& e) : e_(e), held_(e.take_line()) {}
    ~Hold() {
      if (held_) e_.release_line();
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    explicit operator bool() const { return held_; }

   private:
    ParamEditorEngine& e_;
    bool held_;
  };
  // Runs `action` once the line is free (at once when it is); `give_up` when
  // it stays busy longer than config.line_wait_ms.
  void when_line_free(std::function<void()> action, std::function<void()> give_up = {});
  // Runs a menu-level operation: ignored while write_busy is set, deferred
  // while another exchange waits for its reply.
  void run_menu_operation(std::function<void()> operation);

  // ---- Exchanges (callers hold the line) ----
  bool read_block(const ParamBlock& block);
  // Whether the last block read was accepted.
  bool last_read_ok() const { return last_read_ok_; }
  bool read_group(int group);
  bool write_group(int group, bool download);
  bool write_single(int reg, int32_t wire);
  // A single write of a row's registers from the user; a refused write reads
  // the row back so the field shows what the drive holds.
  bool write_confirmed(const ParamRow& row, const std::vector<int32_t>& values);
  // The node now answers at `to`: records and node lists follow it.
  void move_station(int to);

  // ---- Menu-level sequences (take the line themselves) ----
  bool read_menu(const QStringList& dump_header);
  bool download();

  // ---- User actions on the controls ----
  void enter(const ParamRow& row);          // Enter in an edit box
  bool leave(const ParamRow& row);          // edit box left: clamp, image, stage
  void pick(const ParamRow& row, int index);  // list item picked

  // ---- Status and logs ----
  void status(const QString& message);                 // Panel1, node line
  void log_success(const QString& message, bool timed = true);
  void log_failure(const QString& message, bool timed = true, const QString& suffix = {});
  void clear_dump(const QStringList& header);

  // Staged single write (register, wire values) from the last left field.
  struct Staged {
    int reg = -1;
    std::vector<int32_t> values;
  };
  const Staged& staged() const { return staged_; }

 signals:
  // A station change moved the node: the editor's node list was rebuilt.
  void node_moved(int from, int to);

 private:
  bool take_line();
  void release_line();
  void take_row(const ParamRow& row);
  bool clamp_station(const ParamRow& row, QString* text);
  void set_flag(uint8_t DriveLinkState::*flag, uint8_t v);
  int32_t download_value(const ParamRow& row, int32_t v) const;
  void mark_known(int reg);
  bool refuse_unknown_download();
  void after_accepted(const std::vector<int>& regs, ValueSource source);
  void put_row(const ParamRow& row);
  void set_unconfirmed(const ParamRow& row, bool on);
  ParamRange range_of(const ParamRow& row) const;
  QString clamp_of(const ParamRow& row, const QString& text);
  void pump_waiting();
  // The window's status panel and memos, looked up once.
  QLabel* panel();
  QPlainTextEdit* memo(QPointer<QPlainTextEdit>& held, const char* name);
  void show_reading();  // "reading parameters" on the panel
  // A menu read only takes each reply into the image; what it read is shown
  // while its next request is on the line, and the rest when it ends, so no
  // request waits for the screen.
  void show_menu_read_so_far();

  DriveLink& link_;
  DriveLinkState& st_;
  QWidget* form_;
  const ParamTable& table_;
  ParamEditorHooks& hooks_;
  EditorConfig config_;
  FormLookup forms_;
  BuiltControls built_;
  std::vector<ListItems> items_;  // current items per row (the bus-type variant swaps some)
  std::vector<int32_t> image_;
  std::vector<uint8_t> known_;    // per register: the value came from the drive, a file or the engineer
  int node_ = 1;
  int layout_ = 0;
  bool busy_ = false;
  bool last_read_ok_ = false;
  Staged staged_;
  QPointer<QWidget> focus_before_;
  std::set<size_t> unconfirmed_;  // rows whose shown value the drive never confirmed
  std::map<size_t, QString> hints_before_;  // the hint an unconfirmed row showed before it was marked
  bool chosen_rows_ = false;      // some rows are shown by another register's value
  QPointer<QLabel> panel_;
  QPointer<QPlainTextEdit> dump_memo_, success_memo_, failure_memo_;

  // What a menu read has read but not shown yet.
  struct MenuRead {
    std::vector<int> groups;                     // accepted whole, in reading order
    std::vector<std::pair<int, int32_t>> dump;   // register and value, in reading order
    bool show_posted = false;
    bool reading_shown = false;
    bool show_failed = false;
  };
  std::optional<MenuRead> menu_read_;

  struct Waiting {
    std::function<void()> action;
    std::function<void()> give_up;
    int64_t deadline_ms;
  };
  std::deque<Waiting> waiting_;
  ClockTimer wait_timer_;
};

}  // namespace velmo
