#pragma once
#include <QTimer>

#include <memory>

#include "drivelink/drive_link.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/input_lock.h"

namespace velmo {

// One operation of the tuning window for as long as it runs. The outermost
// operation gets a fresh stop token that the nested ones share and keeps the
// window's inputs off; when it unwinds, a user's SERVO_OFF still unsent goes
// out and a pending exit runs its steps. After an exit request or a user's
// SERVO_OFF no nested operation starts.
class GainTuningWindow::Sequence {
 public:
  explicit Sequence(GainTuningWindow& w)
      : w_(w), ok_(!w.exiting_ && !w.exit_pending_ && !w.user_servo_off_) {
    if (!ok_ || w_.depth_++ > 0) return;
    w_.stop_ = std::make_unique<tuning::StopToken>();
    w_.confirmed_.operation_started();
    lock_ = w_.lock_inputs();
  }
  ~Sequence() {
    if (!ok_ || --w_.depth_ > 0) return;
    w_.finish_user_servo_off();
    w_.stop_.reset();
    w_.ctx_.link.st.abort_wait = 0;
    lock_.reset();
    if (w_.exit_pending_) {
      // After the stack has unwound, not inside the sequence's last wait.
      GainTuningWindow* w = &w_;
      QTimer::singleShot(0, w, [w] { w->exit_steps(); });
    }
  }
  Sequence(const Sequence&) = delete;
  Sequence& operator=(const Sequence&) = delete;

  bool ok() const { return ok_; }
  bool stopped() const { return w_.stop_requested(); }

 private:
  GainTuningWindow& w_;
  bool ok_;
  std::unique_ptr<tuning::InputLock> lock_;
};

}  // namespace velmo
