#pragma once
#include <cstdint>

#include "common/bus_control_window.h"
#include "servo/home_limits_registers.h"
#include "servo/selected_servo.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace velmo {

// Jogs a servo drive under bus control in speed mode, stores its current
// position as home point or limit, clears them, reads the positions back and
// writes the drives' own settings back when it is left.
class HomeLimitsWindow : public BusControlWindow {
  Q_OBJECT
 public:
  // Deferred-command codes (jog_pending_cmd).
  enum Code : uint8_t {
    kForward = 1,
    kReverse = 2,
    kStop = 3,
    kSettings = 4,
    kSetHome = 5,
    kSetForwardLimit = 6,
    kSetReverseLimit = 7,
    kClearPoints = 8,
    kReadPositions = 9,
  };

  explicit HomeLimitsWindow(AppContext& ctx, QWidget* parent = nullptr);

  void on_open() override;

  // Handlers, by the controls that run them.
  void Button6Click();   // 正转
  void Button7Click();   // 反转
  void Button8Click();   // 停止
  void Button9Click();   // speed and torque limit
  void Button2Click();   // home point
  void Button3Click();   // forward limit
  void Button4Click();   // reverse limit
  void Button5Click();   // clear home point and limits
  void Button10Click();  // read positions
  void Button11Click();  // clear the displays
  void Button1Click();   // exit

  // The station shown in ComboBox4 (0 when none).
  uint8_t selected_node() const;

 protected:
  uint8_t stop_code() const override { return kStop; }
  void poll() override {}  // no status polling here
  bool any_running() override;
  void enter_leaving() override;
  RestoreOutcome restore_drives() override;
  // This window is left whatever the restore did; a failure is said on the
  // way out.
  bool leave_after_failed_restore() const override { return true; }
  void on_leave() override;
  // A jog left the run state unknown: the drive's status word says.
  void settle(uint8_t node) override;
  bool under_own_control(uint8_t station) const override;
  uint8_t restore_code() const override { return static_cast<uint8_t>(WindowCode::HomeAndLimits); }
  // The positions are what this window shows of a node.
  QString unread_message() const override { return QStringLiteral("位置信息尚未读取"); }

 private:
  void register_commands();
  void jog(servo::JogCommand command, uint8_t node);
  void send_settings(uint8_t node);
  void set_point(servo::HomeLimitPoint point, uint8_t node);
  void clear_points(uint8_t node);
  void read_positions(uint8_t node);
  // Bus control and speed mode for the drive, once per takeover.
  bool take_over(const servo::SelectedServo& drive, StepSequence& steps);
  // The wait a button stays disabled after its command.
  void hold_after_command();

  static void clamp_edit(QLineEdit* edit, int low, int high);

  QComboBox* nodes_ = nullptr;
  QLineEdit* speed_ = nullptr;         // Edit2
  QLineEdit* torque_limit_ = nullptr;  // Edit3
  QLineEdit* position_boxes_[8] = {};  // Edit1, Edit4, Edit5 ... Edit10
  QWidget* group1_ = nullptr;
  QWidget* group2_ = nullptr;
};

}  // namespace velmo
