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
struct ExchangeOutcome;

// Where a value shown or written came from.
enum class ValueSource {
  Drive,       // an accepted read
  File,        // a menu file
  Written,     // a single write the drive accepted
  Downloaded,  // a group write (menu download) the drive accepted
  Entered,     // the engineer's own entry or pick (not yet confirmed by the drive)
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
  // A new station number for the node edited is about to be taken: true
  // (after saying why) when it may not be, another window holding the drive.
  virtual bool station_change_refused() { return false; }
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
  // A group write first takes the controls into the image (see take_group);
  // false: the image alone is sent, as the exit handlers and picks keep it.
  bool group_write_takes_controls = true;
  int line_wait_ms = 5000;               // how long a single write waits for a busy line
  // A download refuses to send anything while a register it would send holds
  // a value that came from neither the drive, a menu file nor the engineer.
  bool download_needs_known_values = false;
  // The refusal on Panel1 and in the failure log; %1 names the first registers.
  QString download_refusal = QStringLiteral("菜单下载未执行：%1未读取、未载入也未输入，请先读取菜单");
  // Values read from the node shown before stay good for a download to the
  // node chosen now (copying a menu from one drive to another).
  bool keep_values_across_nodes = false;
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
  // Where a register's value came from; the drive's values carry its node,
  // and every value when it came, so a later failed read can tell what it did
  // not confirm.
  struct Source {
    bool set = false;
    ValueSource from = ValueSource::Drive;
    int node = 0;
    uint64_t stamp = 0;
    // The drive the values came from (see drivelink/drive_identity.h): the
    // same number on another line, or with another drive, is not this node.
    uint32_t drive = 0;
    bool operator==(const Source&) const = default;
  };

  ParamEditorEngine(DriveLink& link, QWidget* form, const ParamTable& table, ParamEditorHooks& hooks,
                    EditorConfig config);

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
  // The station every exchange of this editor goes to.
  uint8_t station() const { return static_cast<uint8_t>(node_); }
  int layout() const { return layout_; }
  std::vector<int> groups_in_layout() const;

  // ---- Image and controls ----
  std::vector<int32_t>& image() { return image_; }
  int32_t value(int reg) const { return reg >= 0 && reg < kImageSize ? image_[reg] : 0; }
  // A value from the drive, a menu file or the engineer's own entry into the
  // image: the register then counts as known.
  void take_value(int reg, int32_t v, ValueSource source);
  // Whether a download may send the register: its value came from the drive
  // (this node's, or the node shown before where values are kept across
  // nodes), a menu file or the engineer.
  bool known(int reg) const;
  // Whether the value came from the selected drive, a menu file or the
  // engineer; anything else is shown marked.
  bool from_selected(int reg) const;
  // Whether the value came from its drive before that drive's last menu read,
  // which failed: nothing has confirmed it since.
  bool stale(int reg) const;
  // Whether a row's control is marked as showing a value of no known source.
  bool marked(const ParamRow& row) const;
  // Whether a row's control shows a value its clamp would change, or a list
  // a value none of its items carries (as the drive or a file gave it, never
  // clamped but marked).
  bool out_of_range(const ParamRow& row) const;
  // The registers a download would send that are not known, in sending order.
  std::vector<int> unknown_download_registers() const;
  QWidget* control_of(const ParamRow& row) const;
  const ParamRow* row_of(const QString& control) const { return table_.row_by_control(control); }
  const ListItems& items_of(const ParamRow& row) const;
  // Swaps a list's items; the list then shows the value it showed before.
  void set_items(const ParamRow& row, ListItems items);
  // Selects the item carrying `value` (blank when none does, or the number
  // where it is the image's value); the image is untouched.
  void select_value(const ParamRow& row, int32_t value);
  // The value a control shows now: a list's picked item, a field's text as a
  // number; none when it shows nothing or is no row's control.
  std::optional<double> shown_number(const char* control) const;
  const DriveLinkState& state() const { return st_; }
  // Marked when a write failed and the read-back failed too: the field shows
  // the typed value, which the drive never confirmed.
  bool unconfirmed(const ParamRow& row) const;
  // Brings every control's marks (unknown source, unconfirmed) up to date.
  void refresh_marks();
  bool eventFilter(QObject* watched, QEvent* event) override;
  void show_row(const ParamRow& row, ValueSource source);
  void show_group(int group, ValueSource source);
  // Controls of a group into the image: a field showing what the image holds
  // leaves it as it is, another text is clamped first. False when a station
  // number was refused.
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
  bool read_group(int group, const std::vector<ParamBlock>& blocks);
  bool write_group(int group, bool download);
  bool write_single(int reg, int32_t wire);
  // The first register a download could not write (-1: none so far).
  int first_unwritten() const { return first_unwritten_; }
  // A single write of a row's registers from the user; a refused write reads
  // the row back so the field shows what the drive holds.
  // What a pick changed besides its own row, as it was before the pick.
  struct PickEffects {
    struct Reg {
      int reg;
      int32_t value;
      Source source;
    };
    struct Row {
      size_t row;
      int index;      // a list's item
      QString text;   // a field's text
      QString hint;
    };
    std::vector<Reg> regs;
    std::vector<Row> rows;
  };
  // A write the engineer chose: a refused one reads the row back, and the
  // rows a pick changed with it follow its fate.
  bool write_confirmed(const ParamRow& row, const std::vector<int32_t>& values, const PickEffects* effects = nullptr);
  // The node now answers at `to`: records and node lists follow it.
  void move_station(int to);
  // The node list names no node (the node edited left the line): nothing
  // is sent until one is selected.
  void forget_node() {
    node_ = 0;
    drive_ = 0;
    // Every value shown is now another drive's.
    refresh_marks();
  }

  // ---- Menu-level sequences (take the line themselves) ----
  bool read_menu(const QStringList& dump_header);
  bool download();

  // ---- User actions on the controls ----
  void enter(const ParamRow& row);          // Enter in an edit box
  // Edit box left: an edited text is the engineer's entry (clamped, into the
  // image, staged); focus alone changes nothing and stages what is shown.
  bool leave(const ParamRow& row, bool edited = true);
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
  // Whether an edit box shows the text of what the image holds.
  bool shows_image(const ParamRow& row) const;
  // Stages the row's image values as they are for a single write.
  void stage_image(const ParamRow& row);
  void note_unwritten(int reg);
  // Whether the drive is known to hold the register's value (read, written or
  // downloaded on this node, and not left by a failed menu read).
  bool drive_holds(int reg) const;
  // Registers a group write did not get into the drive: read back where they
  // held values the drive never confirmed, else those rows marked unconfirmed.
  void settle_unwritten(int start, int count, const ExchangeOutcome& write);
  // A station number typed for the node edited: taken (the text becomes the
  // first free address at or above it), none free, or refused because
  // another window holds the drive (that refusal has been told).
  enum class StationEntry { Taken, NoneFree, Held };
  StationEntry clamp_station(const ParamRow& row, QString* text);
  // Selects the item carrying `value`; the image's own value that no item
  // carries shows as its number (blank for none or another value).
  void show_list_value(const ParamRow& row, QComboBox* combo, std::optional<int32_t> value);
  // Whether a list shows the image's value as a number, no item carrying it.
  bool shows_raw(const ParamRow& row, const QComboBox& combo) const;
  void set_flag(uint8_t DriveLinkState::*flag, uint8_t v);
  int32_t download_value(const ParamRow& row, int32_t v) const;
  void set_source(int reg, ValueSource source);
  bool refuse_unknown_download();
  // The node whose earlier values some shown row still holds (0: none).
  int other_node_shown() const;
  QString other_shown_name() const;
  // The drive edited gave this value (or it came from no drive at all).
  bool from_this_drive(const Source& s) const { return s.node == 0 || (s.node == node_ && s.drive == drive_); }
  // Values of another node that a download may still copy (same line).
  bool copyable(const Source& s) const;
  // How a value's drive is named where it is not the drive edited: its node,
  // and its line where the number is the same.
  QString source_name(const Source& s) const;
  QString unread_reason(const ParamRow& row) const;
  QString stale_reason(const ParamRow& row) const;
  // The note of a row (index i) whose field shows a value out of its range.
  QString range_reason(size_t i);
  void update_look(size_t i);
  struct Shown {
    int index = -1;
    QString text;
    QString hint;
  };
  Shown shown_state(size_t i) const;
  PickEffects pick_effects(const ParamRow& picked, const std::vector<int32_t>& image_before,
                           const std::vector<Source>& sources_before, const std::vector<Shown>& shown_before) const;
  void undo_effects(const PickEffects& effects);
  void after_accepted(const std::vector<int>& regs, ValueSource source);
  void put_row(const ParamRow& row);
  void set_unconfirmed(const ParamRow& row, bool on, const QString& why = {});
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
  BuiltControls built_;
  std::vector<ListItems> items_;  // current items per row (the bus-type variant swaps some)
  std::vector<int32_t> image_;
  std::vector<Source> sources_;   // per register: where its value came from
  uint64_t stamp_ = 0;            // counts the values taken and the menu reads begun
  std::map<int, uint64_t> failed_read_;  // node → when its last menu read, a failed one, began
  int first_unwritten_ = -1;
  int node_ = 1;
  uint32_t drive_ = 0;  // the drive at node_ when it was selected
  int layout_ = 0;
  bool busy_ = false;
  bool last_read_ok_ = false;
  Staged staged_;
  QPointer<QWidget> focus_before_;
  std::map<size_t, QString> unconfirmed_;  // rows whose shown value the drive never confirmed, and why
  // What each control's marks look like now, and the hint they decorate.
  struct Look {
    bool unread = false;
    bool unconfirmed = false;  // a write's or a failed read's
    bool out_of_range = false;
    QString why;    // every reason, one a line
    QString base_hint;
    QString hint;  // the tooltip as last set
    bool set = false;
    // The last range check: the text and range it was made on, and its note.
    QString range_text;
    ParamRange range;
    QString range_note;
  };
  std::vector<Look> looks_;
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
