#pragma once
#include <cstdint>

#include "common/bus_control_window.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velmo {

class DigitFieldFilter;
class StatusLamp;

// Runs one servo drive at a time under RS-485 bus control, in speed or
// torque mode, and shows its status block and fault.
class ServoControlWindow : public BusControlWindow {
  Q_OBJECT
 public:
  // Deferred-command codes (servo_pending_cmd).
  enum Code : uint8_t {
    kSpeedForward = 4,
    kSpeedReverse = 5,
    kSpeedStop = 6,
    kTorqueForward = 7,
    kTorqueReverse = 8,
    kTorqueStop = 9,
    kSpeedSettings = 11,
    kTorqueSettings = 12,
    kFaultReset = 13,
    kSpeedModeEntry = 15,
    kTorqueModeEntry = 16,
  };
  // servo_rs485_mode values.
  static constexpr uint8_t kModeNone = 0, kModeSpeed = 12, kModeTorque = 13;

  explicit ServoControlWindow(AppContext& ctx, QWidget* parent = nullptr);

  void on_open() override;

  // ---- Event handlers ----
  void Button6Click();   // speed forward
  void Button7Click();   // speed reverse
  void Button8Click();   // speed stop
  void Button10Click();  // torque forward
  void Button11Click();  // torque reverse
  void Button12Click();  // torque stop
  void Button9Click();   // speed settings
  void Button13Click();  // torque settings
  void Button15Click();  // fault reset
  void RadioButton2Click();
  void RadioButton3Click();
  void Button14Click();  // status read
  void Button1Click();   // exit
  void Button20Click();  // clear records
  void Button21Click();  // save records
  void ComboBox5Change(int index);

 protected:
  // Both stops write 0x1004 := 0, whichever mode the drive is in.
  uint8_t stop_code() const override { return kSpeedStop; }
  void mirror() override;
  void poll() override;
  void show_poll_counters() override;
  bool any_running() override;
  void enter_leaving() override;
  RestoreOutcome restore_drives() override;
  void restore_failed_stay() override;
  void on_leave() override;
  void settle(uint8_t node) override { status_read(node); }
  bool under_own_control(uint8_t station) const override;
  uint8_t restore_code() const override { return static_cast<uint8_t>(WindowCode::ServoControl); }

 private:
  void build();
  QGroupBox* build_run_group(QWidget* parent, bool torque);
  void build_status_group(QGroupBox* box);
  void build_position_group(QGroupBox* box);
  void register_commands();

  void run_command(uint8_t code, uint8_t node);
  void send_settings(bool torque, uint8_t node);
  void mode_entry(uint8_t code, uint8_t node);
  void status_read(uint8_t node);

  void set_radio(QRadioButton* radio, bool on);
  void show_mode_lamps(uint8_t mode);
  void enable_run_buttons(uint8_t mode);

  QComboBox* node_box_ = nullptr;
  QGroupBox* group1_ = nullptr;
  QGroupBox* group2_ = nullptr;
  QGroupBox* group3_ = nullptr;
  QGroupBox* group4_ = nullptr;
  QGroupBox* group5_ = nullptr;
  QRadioButton* speed_radio_ = nullptr;
  QRadioButton* torque_radio_ = nullptr;
  StatusLamp* speed_lamp_ = nullptr;
  StatusLamp* torque_lamp_ = nullptr;
  QPushButton* exit_button_ = nullptr;
  QPushButton* read_button_ = nullptr;
  QCheckBox* continuous_ = nullptr;
};

}  // namespace velmo
