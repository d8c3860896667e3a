#pragma once
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "common/velmo_window.h"
#include "drivelink/drive_link_state.h"
#include "link/clock_timer.h"
#include "tuning/drive_snapshot.h"
#include "tuning/move_settings.h"
#include "tuning/sequence_stop.h"
#include "tuning/stroke_rule.h"
#include "tuning/tuning_registers.h"
#include "tuning/tuning_state.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace velmo::tuning {
class InputLock;
class NumericField;
class TuningChart;
class TuningReport;
}  // namespace velmo::tuning

namespace velmo {

// The gain-tuning window of one servo drive: motor identification, gear and
// inertia ratio, gains, trial moves, capture of the recorded move and its
// curves. Every operation runs as a sequence with a stop token; leaving the
// window while one runs stops it, and the exit steps follow once it unwound.
class GainTuningWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit GainTuningWindow(AppContext& ctx, QWidget* parent = nullptr);
  ~GainTuningWindow() override;

  // Internal settings the operations read and write (never shown).
  struct Hidden {
    int samples = 4096;              // Edit23: samples a capture reads
    int first_sample = 0;            // Edit24
    int curve_step = 16;             // Edit11
    uint32_t test_pulses = 4000;     // Edit16: pulses of one test move
    int jitter_threshold = 5;        // Edit49
    int resonance_threshold_db = 30; // Edit55
    int endvib_threshold_db = 30;    // Edit59
    int position_band = 20;          // Edit38
    int inertia_rigidity = 5;        // Edit65
    QString torque_numerator;        // Edit57
    QString torque_divisor;          // Edit58
    int speed_filter = 0;            // Edit62, tenths
    int torque_filter = 0;           // Edit63, tenths
    QString peak_torque;             // Edit32
    bool run_inertia_estimation = false;  // CheckBox9
    bool vertical_load = false;      // CheckBox10
    int motor_table_index = 0;       // ComboBox11
    int trackbar10 = -60, trackbar11 = -60;
  } hidden;

  // The reads of the drive's settings, each by the fields it fills.
  enum class SettingsRead { Motor, Gear, LoadSettings, Gains, Notch, Suppressor };

  // ---- Frame ----
  void ComboBox2Change();   // node change
  void Button23Click();     // motor identification
  void Button6Click();      // position read
  void Button14Click();     // ratio and gain read
  void Button15Click();     // ratio write
  void Button7Click();      // fault reset
  void Button3Click();      // clear the logs
  void Button1Click();      // exit
  // param_value to param_reg, function 06; false when not accepted or, once
  // the running operation was stopped, not sent.
  bool write_drive_param();
  void pos_dwsj_min_max_set();
  void ComboBox4Change();
  void ComboBox5Change();
  void gain_set();
  void Button21Click();     // start gains
  void show_help();

  // ---- Capture ----
  void pos_data_read();

  // ---- Trial moves ----
  void Button10Click();     // test settings
  void Button22Click();     // single move
  void run_half();
  void Button40Click();     // forward run
  void Button41Click();     // reverse run
  void Button35Click();     // cyclic run
  void Button48Click();     // stop
  void Button19Click();     // SERVO_ON
  void Button20Click();     // SERVO_OFF
  // Button20 pressed by the user: during a sequence it goes out right after
  // the exchange in flight and ends the sequence as 退出 does.
  void user_servo_off();
  void Button50Click();     // pulse frequency

  // ---- Analyses (jitter, spectrum, resonance and end vibration) ----
  void qxbdfenxi();         // jitter count of analysis_buffer
  void Button2Click();      // spectrum of the window endvib_mode chooses
  void Button13Click();     // resonance detection
  void Button17Click();     // end-vibration detection

  // ---- Notch filters and suppressors ----
  void notch_group_selected(int group);       // RadioButton1..4
  void suppressor_group_selected(int group);  // RadioButton5..6
  void Button8Click();      // notch on the detected resonance
  void Button9Click();      // reset the notch group
  void Button16Click();     // suppressor on the detected end vibration
  void Button12Click();     // reset the suppressor group

  // ---- Position response test ----
  void Button18Click();
  // False when the last test could not be judged (no move, capture or torque).
  bool response_valid() const { return response_valid_; }

  // ---- Load inertia estimation ----
  void Button24Click();
  void Button25Click();     // writes inertia_ratio; true result in ratio_written()
  void Button38Click();     // stops the estimation after its current run
  bool ratio_written() const { return ratio_written_; }

  // ---- Automatic searches and self-learning ----
  void Button33Click();     // self-learning
  void Button30Click();     // stop the running operation (Button38, Button48 too)
  void Button28Click();     // speed-loop gain search
  void Button29Click();     // position-loop gain search
  void Button49Click();     // system vibration detection
  void Button47Click();     // resonance frequency search
  void Button37Click();     // end-vibration frequency search
  void gain_step_click(int row);  // Button42..45
  void Timer3Timer();       // stage lamps
  bool search_running() const { return search_running_; }

  // One test move as the analyses use it: settings, test mode, a recording
  // from the start or a later one, start, wait, SERVO_OFF and capture, peak
  // torque. Each caller keeps its own order of the steps.
  struct TestMove {
    uint16_t record = 0;                // 0x8003 value, 0: no recording
    bool record_after_start = false;
    const char* record_caption = nullptr;  // shown once a later recording started
    bool servo_off_before_capture = false;
    bool servo_off_when_recording = false; // right after a later recording started
    bool read_torque = true;            // 0x2007 after the capture; false: the caller reads it
    bool capture = true;
    int samples = 4096;
    int record_delay_ms = 0;            // wait between the start and a later recording
    int settle_ms = -1;                 // wait before the capture; -1: move time + 800
  };
  // True when the move ran, was captured and the drive reports no fault.
  bool test_move(const TestMove& steps);

  // A running sequence is stopped at its next check; false when none runs.
  bool request_stop();
  bool sequence_running() const { return depth_ > 0; }
  bool operation_running() const override { return sequence_running() || exit_waits(); }
  bool stop_requested() const;

  // The drive under tuning belongs to this window while an operation or
  // the exit works on it, and from its first test settings until the exit
  // has put it back.
  bool holds(uint8_t station) const override;
  uint8_t restore_code() const override { return static_cast<uint8_t>(WindowCode::GainTuning); }
  void station_gone(uint8_t station) override;
  void station_back(uint8_t station) override;
  void station_moved(uint8_t from, uint8_t to) override;

  void on_open() override;
  tuning::TuningChart* chart() const { return chart_; }
  // What this window measured and set; its searches and analyses share it.
  tuning::TuningState& tuning_state() { return *tuning_; }

 protected:
  bool exit_guard() override;
  bool exit_waits() const override { return exit_pending_ || exiting_; }
  bool exit_started() const override { return exit_pending_ || exiting_; }
  void on_program_closing(bool closing) override;

 private:
  class Sequence;
  friend class Sequence;
  class Operation;
  friend class Operation;
  class SearchRun;
  class SearchOpsOnWindow;
  friend class SearchRun;
  friend class SearchOpsOnWindow;
  void build_search_controls();
  void frequency_search(int row);  // Button47, Button37
  bool search_halted() const;
  void clamp_positioning_time();

  void open_steps();
  void build_frame();
  QWidget* build_auto_page();
  QWidget* build_manual_page();
  QWidget* build_trial_page();
  QWidget* build_limits_page();
  QWidget* build_log_page();
  void build_analysis_groups(QWidget* manual_page);
  void wire_filter_fields(QWidget* manual_page);
  int analysis_length() const;
  void show_trackbars(int average_level, int threshold_setting);
  bool estimation_runs(uint32_t base_step);
  bool estimation_torque(int32_t& torque);
  void wire_fields();
  // A user's click: refused while another sequence of this window runs.
  void on_click(QPushButton* button, void (GainTuningWindow::*op)());

  QLineEdit* edit(const char* name) const;
  tuning::NumericField* field(const char* name) const;
  void set_tenths(const char* name, int64_t tenths);
  const tuning::TuningLayout& layout() const;
  uint8_t node() const;
  // The drive at this position of the node list becomes the one under tuning.
  void take_drive(int index);
  void load_settings_read(uint16_t word1, uint16_t word2);
  // An accepted read or write of registers first..first + count - 1: the
  // fields that show them lose their unread and unconfirmed marks.
  void confirmed(uint16_t first, uint16_t count = 1);
  // Every field that shows a setting of the drive is marked as not read
  // from `from_node` yet.
  void mark_settings_unread(uint8_t from_node);
  // Every field read from the drive marked as not from the selected drive, and why.
  void mark_settings(const QString& why);
  // An accepted read filled the fields of `read`.
  void settings_read(SettingsRead read);
  // A held setting in its field and in what the window computes with.
  void show_setting(tuning::Held what, int32_t value);
  // The held setting at this register that a field shows.
  std::optional<tuning::HeldRegister> held_at(uint16_t reg) const;
  // A single write of reg the drive did not take: the field shows what a
  // read-back finds, or keeps the typed value marked unconfirmed.
  void read_back_refused(uint16_t reg);
  // The same for the gear ratio block.
  void read_back_gear();
  // Everything the window measured or found on its drive: curves, chart
  // marks, lamps, result fields and found frequencies. None of it is the
  // next node's.
  void clear_results();
  void response_rule();
  void write_after_pause(uint8_t reg, int32_t value);
  void exit_steps();
  bool read_drive_fault();
  void fault_reset();

  // Trial moves
  tuning::StrokeInput stroke_input(tuning::StrokeDivisor divisor) const;
  bool recompute_stroke(tuning::StrokeTrigger trigger, bool only_when_different = false);
  bool write_test_reg(uint16_t reg, int32_t value, const char* done, const char* failed);
  // Unconfirmed: nothing started, the drive has not confirmed a setting the
  // move runs on (debug mode, stroke, frequency, SERVO_ON, test arm, a
  // recording from the start).
  enum class Start { Accepted, NotAccepted, Refused, Unconfirmed };
  // 0x8004, then the recording trigger 0x8003 := record (0: none), then 0x8000.
  Start start_move(uint8_t dir, uint16_t record = 0);
  // 0x8003 := record; false (reported) when the drive did not take it.
  bool write_record_trigger(uint16_t record);
  int32_t move_frequency() const;  // 0x8002 value of Edit68
  bool move_settings_confirmed() const;
  void prepare_move_settings();
  void refuse_move(const QString& failure);
  void servo_off();
  void finish_user_servo_off();
  std::unique_ptr<tuning::InputLock> lock_inputs();
  bool settle_unaccepted_start();
  // Ends a test move that may still be running (0x8000 := 0).
  void stop_test_move();
  bool move_may_be_running() const;
  bool write_test_settings();
  uint32_t move_wait_ms() const;
  bool read_position(uint32_t& position);
  void read_peak_torque();
  void run_direction(uint8_t dir);

  QLabel* panel_ = nullptr;
  QComboBox* nodes_ = nullptr;
  QTabWidget* pages_ = nullptr;
  QPlainTextEdit* memo1_ = nullptr;
  QPlainTextEdit* memo3_ = nullptr;
  QPlainTextEdit* memo4_ = nullptr;
  // On the heap: the captures and spectra make it large.
  const std::unique_ptr<tuning::TuningState> tuning_ = std::make_unique<tuning::TuningState>();
  tuning::TuningChart* chart_ = nullptr;
  std::unique_ptr<tuning::TuningReport> report_;

  // Sequences: the outermost one owns the stop token the nested ones share.
  int depth_ = 0;
  std::unique_ptr<tuning::StopToken> stop_;
  bool exit_pending_ = false;
  bool exiting_ = false;
  // The servo may be on: a test move was armed (which switches it on) or
  // SERVO_ON sent, and no SERVO_OFF accepted since.
  bool servo_may_be_on_ = false;
  // A user's SERVO_OFF during a sequence: it ends the sequence, and goes
  // out once no exchange is waiting.
  bool user_servo_off_ = false;
  bool servo_off_unsent_ = false;

  // The test-mode settings the drive confirmed; a move starts on no other.
  tuning::ConfirmedMoveSettings confirmed_;

  // Where the axis stands before the next move (motor counts); unknown after
  // a start whose reply was lost until a position read settles it.
  std::optional<uint32_t> axis_position_;
  // When the last started move has run its stroke (clock_ms), at the latest.
  int64_t move_ends_at_ms_ = 0;

  // A search or the self-learning runs (its stop is the sequence's).
  bool search_running_ = false;
  // The operation the engineer started, while it runs.
  Operation* operation_ = nullptr;
  ClockTimer* timer3_ = nullptr;
  bool lamp_phase_ = false;

  bool response_valid_ = false;
  bool ratio_written_ = false;
  // The node whose results the window shows.
  uint8_t results_node_ = 0;
};

}  // namespace velmo
