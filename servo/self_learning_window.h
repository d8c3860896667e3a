#pragma once
#include <array>
#include <cstdint>

#include "common/velmo_window.h"
#include "link/clock_timer.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace velmo {

// Starts one of a servo drive's own self-learning functions and polls its
// register every 2 s until the drive reports it done.
class SelfLearningWindow : public VelmoWindow {
  Q_OBJECT
 public:
  explicit SelfLearningWindow(AppContext& ctx, QWidget* parent = nullptr);

  // Start buttons, in the window's order of the function table.
  void Button1Click();
  void Button6Click();
  void Button2Click();
  void Button3Click();
  void Button5Click();
  void Button7Click();
  void Timer1Timer();    // completion poll
  void Button4Click();   // exit

  // The register and station the poll reads: those of the last accepted start.
  uint8_t selflearn_reg() const { return selflearn_reg_; }
  uint8_t selflearn_node() const { return selflearn_node_; }

  // The drive whose self-learning function runs (it moves the motor) is
  // this window's until the drive reports it done.
  bool holds(uint8_t station) const override { return station != 0 && station == learning_node(); }
  uint8_t drive_may_run() const override { return learning_node(); }
  void station_moved(uint8_t from, uint8_t to) override {
    if (selflearn_node_ == from) selflearn_node_ = to;
  }

 protected:
  bool exit_guard() override;
  bool exit_waits() const override { return talking_; }
  void on_leave() override;
  void showEvent(QShowEvent* event) override;

 private:
  void start(int function);
  void enable_start_buttons();
  // The node a started function still runs on (0: none).
  uint8_t learning_node() const;

  QComboBox* nodes_ = nullptr;
  QLabel* panel_ = nullptr;
  QPlainTextEdit* log_ = nullptr;
  ClockTimer* poll_timer_ = nullptr;
  std::array<QPushButton*, 6> start_buttons_{};
  uint8_t selflearn_reg_ = 0;
  uint8_t selflearn_node_ = 0;
  bool talking_ = false;  // an exchange of this window is waiting
};

}  // namespace velmo
