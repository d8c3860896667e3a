#pragma once
#include <QObject>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>

namespace velmo {

class VirtualClock;

// A timer of the program's windows on the process's clock: a QTimer on real
// time; under a virtual clock (tests) it fires when the timeline reaches its
// deadline, so a poll or a blink takes part in the same discrete time as the
// waits and the simulated drives. Lives on the GUI thread.
class ClockTimer : public QObject {
  Q_OBJECT
 public:
  explicit ClockTimer(QObject* parent = nullptr);
  ~ClockTimer() override;

  void setInterval(int ms);
  int interval() const { return interval_ms_; }
  void setSingleShot(bool single) { single_shot_ = single; }
  bool isSingleShot() const { return single_shot_; }
  bool isActive() const { return active_; }

  void start();
  void start(int ms);
  void stop();

  // Calls fn on context's thread after ms on the process's clock.
  static void singleShot(int ms, QObject* context, std::function<void()> fn);

 signals:
  void timeout();

 protected:
  bool event(QEvent* e) override;

 private:
  void fire();
  void leave_timeline();

  QTimer wall_;
  int interval_ms_ = 0;
  bool single_shot_ = false;
  bool active_ = false;
  VirtualClock* timeline_ = nullptr;
  int id_ = -1;
  int64_t due_ns_ = 0;
  std::atomic<uint64_t> generation_{0};  // read by the clock's wake-up on another thread
};

}  // namespace velmo
