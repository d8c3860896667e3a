#pragma once
#include "common/run_control_window.h"

class QComboBox;
class QLineEdit;

namespace velmo {

// Runs one speed controller under RS-485 bus control: the run commands, the
// run settings that fit its motor series and the run-state read.
class SpeedCtlControlWindow : public RunControlWindow {
  Q_OBJECT
 public:
  explicit SpeedCtlControlWindow(AppContext& ctx, QWidget* parent = nullptr);
  void on_open() override;

  // Node choice: the node and the run settings its series has.
  void ComboBox1Click();
  // Setpoints left: empty -> 0, above the maximum -> the maximum.
  void edit1onchange();
  void edit2onchange();

 protected:
  void send_settings(uint8_t node) override;
  std::optional<uint16_t> read_status_block(uint8_t node) override;
  StateMeaning meaning_of(uint16_t word) const override;

 private:
  QLineEdit* speed_ = nullptr;
  QLineEdit* torque_ = nullptr;
  QComboBox* brake_ = nullptr;
};

}  // namespace velmo
