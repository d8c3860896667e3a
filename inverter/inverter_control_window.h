#pragma once
#include "common/run_control_window.h"

class QLineEdit;

namespace velmo {

// Runs one inverter under RS-485 bus control: the run commands, the
// frequency setpoint, and the status block and fault code read.
class InverterControlWindow : public RunControlWindow {
  Q_OBJECT
 public:
  explicit InverterControlWindow(AppContext& ctx, QWidget* parent = nullptr);
  void on_open() override;

  // Node choice: node, model type and the fields the type has.
  void ComboBox1Change();
  // Frequency field left: empty -> 0.0, above 200.0 -> 200.0, one decimal.
  void edit1onchange();
  void Button9Click();

 protected:
  uint16_t stop_value(int pos) const override;
  void send_settings(uint8_t node) override;
  std::optional<uint16_t> read_status_block(uint8_t node) override;
  StateMeaning meaning_of(uint16_t word) const override;
  void read_after_status(uint8_t node) override;

 private:
  // The model type of the node at a list position (types 0 and 1 have the
  // braking-resistor load and temperature words).
  uint8_t model_type_of(uint8_t node) const;
  // Edit1 as 0.1 Hz, clamped to 0..200.0 Hz; nullopt when it is no number.
  std::optional<int> frequency_setpoint() const;

  QLineEdit* frequency_ = nullptr;
};

}  // namespace velmo
