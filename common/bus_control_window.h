#pragma once
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

#include "common/pending_commands.h"
#include "common/record_files.h"
#include "common/velmo_window.h"
#include "drivelink/drive_link_state.h"
#include "drivelink/node_classification.h"
#include "link/clock_timer.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;

namespace velmo {

class DriveLink;

// The shape the servo, inverter and speed-controller control windows share:
// commands that meet a busy link wait (with their node) and are replayed by
// the 100 ms Timer2; the 2000 ms Timer1 polls the status while CheckBox1 is
// ticked; the exit is refused while a drive runs or an exchange waits, and
// leaving writes the drives' own control settings back, saying whether that
// worked. Panel1 and the success and failure logs carry the results.
class BusControlWindow : public VelmoWindow {
  Q_OBJECT
 public:
  // The family's fields in the drive-link state, and its rules.
  struct Family {
    uint8_t DriveLinkState::*pending_code;       // deferred-command code shown to the rest
    ByAddr<uint8_t> DriveLinkState::*run_state;  // 0 idle, 1 running, 2 fault
    DeviceFamily device;                         // whose batch-write results this window shows
    // Forward and reverse are refused (and dropped from the replay) while
    // the drive's run state is not 0. A servo's rule; an inverter or speed
    // controller takes a reversal while running.
    bool run_only_when_idle = false;
  };

  // The window's own texts of leaving.
  struct ExitTexts {
    QString running;         // message box: a drive still runs or is faulted
    QString restoring;       // Panel1 while the settings are written back (may be empty)
    QString restored;        // Panel1 after a restore that worked (may be empty)
    QString restore_failed;  // Panel1, and the message when the window is left anyway
    QString stay;            // message box: the window stays after a failed restore
    // Message on leaving while a drive's last known state was running and
    // the line has since fallen silent ("节点" + node + "：" before it; may be
    // empty).
    QString may_still_run = {};
  };

  // What the family's restore did.
  struct RestoreOutcome {
    bool needed = false;     // some drive was flagged
    bool ok = true;          // every flagged drive was written back
    bool line_dead = false;  // the failure was the line's, not a drive's refusal: the user may leave
  };

  // A run state no accepted reply confirmed: a run, stop or reset command
  // got no accepted reply, so the drive may be running. It counts as running
  // for every interlock and the exit guard until a status read settles it.
  static constexpr uint8_t kRunUnknown = 3;

  // Asks where to save the traffic log; an empty answer means cancelled.
  using SaveChooser = RecordChooser;

  BusControlWindow(AppContext& ctx, const char* object_name, const QString& title, QSize design_size,
                   Family family, ExitTexts exit_texts, QWidget* parent = nullptr);

  // Replaces the save dialog (tests).
  void set_save_chooser(SaveChooser chooser) { save_chooser_ = std::move(chooser); }

  // The station chosen in the window's node list (0 when none).
  uint8_t selected_node() const;

  // Runs command `code` for `node` now when the link is free; otherwise it
  // waits for the replay (a forward or reverse for a running drive is
  // dropped where the family says so). Stops and resets already waiting go
  // first.
  void issue(uint8_t code, uint8_t node);

  // One tick of the replay timer: the family's mirror, then the replay.
  void Timer2Timer();
  // One tick of the poll timer: the status read when nothing waits.
  void Timer1Timer();
  // The exit button: refused while an exchange waits or a command is pending.
  void exit_clicked();

  ClockTimer* Timer1() const { return timer1_; }
  ClockTimer* Timer2() const { return timer2_; }
  const PendingCommands& pending() const { return pending_; }
  // True while an exchange of this window is under way.
  bool exchange_waiting() const { return own_exchanges_ > 0; }
  // No exchange of anyone waits and no busy flag is held.
  bool link_idle() const;

  // Stops, with the window's stop command, every drive of its family that
  // may run and that it started or no other window holds.
  void stop_for_end() override;

  // ---- The drives the window holds ----
  bool holds(uint8_t station) const override;
  uint8_t drive_may_run() const override;
  void station_gone(uint8_t station) override;
  void station_back(uint8_t station) override;
  void station_moved(uint8_t from, uint8_t to) override;

 protected:
  struct CommandEntry {
    uint8_t code;
    CommandKind kind;
    QAbstractButton* button;               // disabled while the handler runs (may be null)
    std::function<void(uint8_t node)> run;  // sends; called only with the link free
  };
  // Registers a command; the order of registration is the replay order.
  void add_command(CommandEntry entry);

  // Holds a busy flag of the link for one handler and clears it on every
  // path out of it.
  class Claim {
   public:
    Claim(uint8_t& flag, int& own) : flag_(&flag), own_(&own) { *flag_ = 1; ++*own_; }
    Claim(Claim&& other) noexcept : flag_(other.flag_), own_(other.own_) { other.flag_ = nullptr; }
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;
    ~Claim() {
      if (!flag_) return;
      *flag_ = 0;
      --*own_;
    }

   private:
    uint8_t* flag_;
    int* own_;
  };
  Claim claim_write();
  Claim claim_read();

  // Disables a button for one handler and, on every path out of it,
  // enables it again if it was enabled before.
  class ButtonHold {
   public:
    explicit ButtonHold(QAbstractButton* button);
    ~ButtonHold();
    ButtonHold(const ButtonHold&) = delete;
    ButtonHold& operator=(const ButtonHold&) = delete;

   private:
    QPointer<QAbstractButton> button_;
    bool was_enabled_ = false;
  };

  // The window's node list of the family's nodes; switching to bus control
  // acts on the node chosen in it.
  QComboBox* make_node_list(const char* name, const QRect& geometry);
  // The list whose node the window acts on and whose status it shows.
  void watch_node_list(QComboBox* nodes);

  // ---- The status shown ----
  // The notice (LabelStale) that says why the status shown is not the
  // chosen node's current one; hidden while it is.
  void make_stale_notice(QWidget* box, const QRect& geometry);
  // Lamps and fields of the status block, and the fields the fault read
  // after it fills. Both look stale (old, or not yet read for the node
  // chosen) until an accepted read of the node chosen.
  void add_status_view(const std::vector<QWidget*>& block, const std::vector<QWidget*>& fault = {});
  // An accepted or failed read of `node`'s status block, or of its fault.
  void status_block_read(uint8_t node, bool accepted);
  void fault_read(uint8_t node, bool accepted);
  // Runs a batch write that switches the node at list position `pos` to bus
  // control (the batch writes act on the position the node list gives them).
  void switch_to_bus(int pos, void (BatchWrites::*op)());
  // A switch to bus control reported for this family: the success log or
  // the failure log, and Panel1.
  void show_bus_switch(const QString& text, bool ok);

  // CheckBox1 (continuous reading) switches Timer1 and disables the exit
  // button while it is ticked.
  void bind_continuous_reading(QCheckBox* box, QAbstractButton* exit_button);
  // Starts the replay timer unless the window is being left.
  void start_replay_timer();
  // Stores a command for the replay and makes sure the replay timer runs.
  void defer(const PendingCommand& cmd);
  // Replays what waits while the link is free (only stops and resets when
  // safety_only).
  void replay_pending(bool safety_only = false);
  // Pending commands for nodes other than the given one are kept; a fault
  // reset that worked forgets a run or settings command left for its node.
  void forget_pending_for(uint8_t node);

  // ---- Logs ----
  // The window's traffic log (Memo1), success log (Memo2) and failure log
  // (Memo3).
  void set_logs(QPlainTextEdit* traffic, QPlainTextEdit* ok_log, QPlainTextEdit* fail_log);
  QPlainTextEdit* ok_log() const { return ok_log_; }
  // "节点" + node + "：" + text on Panel1 and in the success log.
  void report_ok(uint8_t node, const QString& text);
  // The success line in the success log only.
  void append_ok_line(uint8_t node, const QString& text);
  // The same on Panel1 and in the failure log; without a node (0), the bare
  // text.
  void report_failure(uint8_t node, const QString& text);
  // A read that failed: the node's line on Panel1 (unless `to_panel` is
  // false), with "**" in the failure log.
  void report_read_failure(uint8_t node, const QString& text, bool to_panel = true);
  // A takeover found the drive under bus control already (its own settings
  // unknown, none put back): true the first time for that drive, which is
  // then said so.
  bool first_found_under_bus(uint8_t node);
  // The same said on Panel1 and in the failure log, once, after the
  // command's own line.
  void say_found_under_bus(uint8_t node);
  // Empties the three logs.
  void clear_logs();
  // Saves the traffic log under the name the user picks (offering
  // `proposed`) and the success and failure logs under their fixed names in
  // the same folder; a file that could not be written is named on Panel1
  // and in the failure log.
  void save_logs(const QString& proposed, const QString& ok_name, const QString& fail_name);

  // The restore of a family whose batch write works over every flagged
  // drive (`save` runs it; batch_go tells whether every write was accepted).
  // Only a drive's exception reply keeps the user in the window; no reply
  // or a garbled one lets them leave, told that the restore failed.
  RestoreOutcome restore_flagged(bool any_flagged, const std::function<void()>& save);

  // One function-06 write to `node` through command_send; true when accepted.
  bool write_command(uint8_t node, uint16_t reg, uint16_t value);

  // A sequence of writes to one node, whose later steps run after a failed
  // one unless it is halted. Each step has its own line; Panel1 and the logs
  // end on a line that names the first failed step, so that the success of a
  // later step never reads as the sequence's.
  class StepSequence {
   public:
    // `name`: what the sequence sets ("转矩模式设置"); `halted_head`: the
    // head of the closing line of a halted sequence (by default the name
    // followed by "失败").
    StepSequence(BusControlWindow& window, uint8_t node, QString name, QString halted_head = {});
    // The step's own line; true when it worked. An empty `done` keeps a
    // step that worked out of the logs (a takeover before the command).
    bool step(bool ok, const QString& done, const QString& failed);
    // A failed step ends the sequence here: its remaining steps are not run,
    // and the closing line says the sequence failed.
    void halt() { halted_ = true; }
    // The closing line, where a step failed.
    void finish();

   private:
    BusControlWindow& window_;
    uint8_t node_;
    QString name_;
    QString halted_head_;
    QString first_failed_;
    int failures_ = 0;
    bool halted_ = false;
  };

  // The command under way left the node's run state unknown: once the
  // command's handler has ended, settle() reads the status.
  void mark_run_unknown(uint8_t node);
  // Reads the status of a node a command left unknown, now, if the link is
  // free (a handler that waits after its command calls this before it).
  void settle_unknown();
  // One status read of `node` made by `read`: a read that got no byte at
  // all (a dead line) leaves the node's run state 0, so that the line never
  // traps the user behind the exit guard.
  void read_status_of(uint8_t node, const std::function<void()>& read);
  // An accepted reply settled the node's run state: what a silent line hid
  // before is known again.
  void state_confirmed(uint8_t node);

  // True from the start of an exit until the window is left or stays.
  bool leaving() const { return leaving_; }

  DriveLinkState& st() const;
  DriveLink& link() const { return ctx_.link; }
  uint8_t& run_state(uint8_t node) const { return (st().*family_.run_state)[node]; }

  // ---- Family parts ----
  virtual uint8_t stop_code() const = 0;  // the command that stops a drive
  virtual void mirror() {}          // first step of each replay tick
  virtual void poll() = 0;          // the status read started by Timer1
  virtual void show_poll_counters() {}  // every Timer1 tick
  virtual bool any_running() = 0;   // exit scan over the listed drives
  virtual void enter_leaving() {}   // controls off before the restore
  virtual RestoreOutcome restore_drives() = 0;
  // This window still owes the drive of these records its own settings.
  bool owes(const StationRecords& records) const;
  // True when the window is left even though the restore failed on a line
  // that still answers (otherwise it stays so that the user can try again).
  virtual bool leave_after_failed_restore() const { return false; }
  virtual void restore_failed_stay() {}  // what stays usable after a failed restore
  virtual void exit_refused() {}          // after the running message
  virtual void settle(uint8_t /*node*/) {}  // a status read after a command left the run state unknown
  // The window took the drive under its own bus control (a restore of its
  // own is due, or its mode or takeover is in force).
  virtual bool under_own_control(uint8_t /*station*/) const { return false; }
  // What Panel1 and the stale notice say of a node whose status the window
  // has not read since it was chosen.
  virtual QString unread_message() const { return QStringLiteral("状态尚未读取"); }

  bool exit_guard() override;
  // Opened: what the status block shows is not yet the chosen node's.
  void showEvent(QShowEvent* event) override;
  bool exit_waits() const override { return exchange_waiting() || in_command_ > 0 || !pending_.empty() || leaving_; }

 private:
  std::vector<uint8_t> found_under_bus_;  // drives said to be under bus control already
  const CommandEntry* find_command(uint8_t code) const;
  // Another node was chosen: what is shown is not its status.
  void node_chosen();
  // What is shown is not yet the status of `node`, chosen now.
  void show_unread(uint8_t node);
  void mark_shown(const std::vector<QWidget*>& shown, bool current, const QString& why) const;
  void mark_shown(const std::vector<QWidget*>& shown, bool current) const;
  void show_stale_notice();
  QString unread_notice(uint8_t node) const;
  // A drive this window started (or is about to start, its run command
  // waiting) that may still be running: the window's list stays on it.
  bool started_may_run(uint8_t node) const;
  // The command under way works on this node; the window holds it meanwhile.
  class WorkingOn;
  // A run command the family refuses for this node now.
  bool refused_run(const CommandEntry& entry, uint8_t node) const;
  // A run command while the program closes.
  bool refused_while_closing(const CommandEntry& entry) const;
  void execute(const CommandEntry& entry, uint8_t node);
  void publish_pending();

  Family family_;
  ExitTexts exit_texts_;
  std::vector<CommandEntry> commands_;
  PendingCommands pending_;
  ClockTimer* timer1_;
  ClockTimer* timer2_;
  SaveChooser save_chooser_;
  QPlainTextEdit* traffic_log_ = nullptr;
  QPlainTextEdit* ok_log_ = nullptr;
  QPlainTextEdit* fail_log_ = nullptr;
  int own_exchanges_ = 0;
  bool replaying_ = false;
  uint8_t unsettled_ = 0;
  int switching_pos_ = -1;
  bool leaving_ = false;
  // Nodes last known running (or unknown) whose line then gave no byte.
  std::vector<uint8_t> silent_running_;
  // Nodes a command of this window left running or unknown.
  std::vector<uint8_t> started_;
  uint8_t working_on_ = 0;
  int in_command_ = 0;
  QComboBox* node_list_ = nullptr;
  QLabel* stale_notice_ = nullptr;
  std::vector<QWidget*> block_view_;
  std::vector<QWidget*> fault_view_;
  uint8_t chosen_node_ = 0;
  uint8_t unread_node_ = 0;  // chosen, but its status not read since
  bool block_old_ = false;
};

}  // namespace velmo
