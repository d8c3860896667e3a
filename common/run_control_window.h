#pragma once
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "common/bus_control_window.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace velmo {

class BatchWrites;
class StatusLamp;

// The control window of a drive that runs from one command register (the
// inverter's and the speed controller's): forward, reverse, stop and fault
// reset on 0x1000, one settings command, a status read with four lamps
// (forward, reverse, stopped, fault) that CheckBox1 repeats every 2 s, and
// the first run command of a node switching it to bus control. A family
// gives its fields, texts and the hooks below; its window adds its own
// controls to the status and run boxes.
class RunControlWindow : public BusControlWindow {
  Q_OBJECT
 public:
  // Deferred-command codes (the family's *_pending_cmd).
  static constexpr uint8_t kForward = 1, kReverse = 2, kStop = 3, kSettings = 4, kFaultReset = 5;
  static constexpr uint16_t kCommandReg = 0x1000;

  struct Setup {
    BusControlWindow::Family family;
    ExitTexts exit_texts;
    ByPos<uint8_t> DriveLinkState::*nodes;
    uint8_t DriveLinkState::*count;
    ByPos<uint8_t> DriveLinkState::*bus_ok;         // switched to bus control (by list position)
    ByPos<uint8_t> DriveLinkState::*restore_flags;  // to be restored on leaving (by list position)
    void (BatchWrites::*take_over)();               // switches the selected node to bus control
    void (BatchWrites::*restore)();                 // writes every flagged node's settings back
    WindowCode window_code;                         // whose traffic Memo1 shows
    QString status_failed;                          // Panel1; the log line adds "**"
    bool failed_read_stops_reading;                 // a failed read unticks CheckBox1
    bool clear_resets_counters;                     // Button8 also zeroes the read counters
  };

  // The window's frame: Panel1, node list, logs and exit; `fail_log`
  // false: failures go to the success log (Memo2) too.
  RunControlWindow(AppContext& ctx, const char* object_name, const QString& title, QSize design_size, Setup setup,
                   bool fail_log, QWidget* parent = nullptr);

  // The handlers of the buttons that are no commands (the commands are
  // clicked through issue()).
  void Button7Click() { status_read(selected_node(), true); }
  void Button8Click();

 protected:
  // ---- Building (the family's constructor calls these in order) ----
  // Lamps Shape1..4 with their captions, Button7 "状态读取", Button6
  // "故障复位" and CheckBox1 "连续读取" at `top` in `box`.
  void build_status_controls(QWidget* box, int top, const QString& fault_lamp_text);
  // Button2 (settings, with its text and hint) and Button3..5 at `top` in `box`.
  void build_run_controls(QWidget* box, int top, const QString& settings_text, const QString& settings_hint);
  // Registers the commands; after the buttons exist.
  void register_commands();

  // ---- Family hooks ----
  // The value 0x1000 gets for a stop of the node at list position `pos`.
  virtual uint16_t stop_value(int /*pos*/) const { return 0; }
  // The settings command, with write_busy held and the node taken over.
  virtual void send_settings(uint8_t node) = 0;
  // Reads the status block of `node` and shows its values; the state word
  // when the read was accepted.
  virtual std::optional<uint16_t> read_status_block(uint8_t node) = 0;
  // The lamp (0..3: forward, reverse, stopped, fault) and run state a state
  // word stands for; nullopt lamp: every lamp off, run state unknown.
  struct StateMeaning {
    std::optional<int> lamp;
    uint8_t run_state = 0;  // 0 stopped, 1 running, 2 fault
  };
  virtual StateMeaning meaning_of(uint16_t word) const = 0;
  // Reads after the status block (the inverter's fault code).
  virtual void read_after_status(uint8_t /*node*/) {}

  // ---- Shared steps for the hooks ----
  // A failed read: Panel1 and the failure log, the failure count, and the
  // family's rule on continuous reading.
  void read_failed(uint8_t node, const QString& text);
  // A settings command refused before anything was sent (a field that is
  // no number, an unknown motor series).
  void settings_refused(uint8_t node, const QString& text);
  // One function-06 write with its own success or failure line.
  bool write_with_lines(uint8_t node, uint16_t reg, uint16_t value, const QString& ok, const QString& failed);
  int position_of(uint8_t node) const;

  QComboBox* nodes() const { return nodes_; }
  // The window's bottom-right control, which its size is fitted around.
  QWidget* size_anchor() const { return last_log_; }
  QCheckBox* continuous() const { return continuous_; }

  // ---- BusControlWindow ----
  uint8_t stop_code() const override { return kStop; }
  void poll() override { status_read(selected_node(), false); }
  void show_poll_counters() override;
  bool any_running() override;
  void enter_leaving() override;
  RestoreOutcome restore_drives() override;
  void restore_failed_stay() override;
  void exit_refused() override;
  void on_leave() override;
  void settle(uint8_t node) override { status_read(node, false); }
  bool under_own_control(uint8_t station) const override;

 public:
  struct RunRow;

 private:
  void run_command(const RunRow& row, uint8_t node);
  void settings_command(uint8_t node);
  // Switches the node to bus control if it is not yet (the command is sent
  // whatever the switch gave); false when the switch failed.
  bool take_over(uint8_t node);
  // A drive the takeover found under bus control already is said so on
  // Panel1 and in the failure log, once, after the command's own line.
  void say_found_under_bus();
  // `by_user`: Button7 itself; a poll or the read after a command keeps a
  // command's failure on Panel1.
  void status_read(uint8_t node, bool by_user);

  Setup setup_;
  QComboBox* nodes_ = nullptr;
  QPushButton* exit_button_ = nullptr;
  QPushButton* read_button_ = nullptr;
  QCheckBox* continuous_ = nullptr;
  QWidget* last_log_ = nullptr;
  QString settings_name_;        // Button2's text
  bool command_failed_ = false;  // Panel1 holds a command's failure
  QString takeover_failed_;      // the first write of the last takeover not accepted
  uint8_t under_bus_notice_ = 0;          // to be said after the command under way
  bool block_failed_ = false;    // Panel1 holds the status block's failure
  bool read_by_user_ = true;
  StatusLamp* lamps_[4] = {};
};

}  // namespace velmo
