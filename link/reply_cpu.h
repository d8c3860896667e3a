#pragma once
#include <QTimer>

#include <sched.h>

namespace velmo {

class SerialPort;

// Keeps the GUI thread and the port's reader on one CPU while replies are
// awaited. A reply then wakes one idle CPU, as a single-threaded master's
// does, and the reader's hand-over to the GUI thread is a switch on a CPU
// already awake rather than the wake-up of a second one. The CPU is the one
// the scheduler put the GUI thread on. The GUI thread is let go again a
// short while later, whatever it is doing, so that the next exchange after
// that starts from wherever the scheduler then puts it; a run of exchanges
// in between pays nothing for this but a look at its CPU.
// Does nothing on a virtual clock, on a closed port, or where the system
// refuses to keep a thread on one CPU.
class ReplyCpu {
 public:
  static constexpr int kHoldMs = 200;

  explicit ReplyCpu(SerialPort& port);
  ~ReplyCpu();  // lets the GUI thread go
  ReplyCpu(const ReplyCpu&) = delete;
  ReplyCpu& operator=(const ReplyCpu&) = delete;

  // Called by the GUI thread as it starts waiting for a reply.
  void keep_beside_reader();
  // The CPU the GUI thread is kept on, -1 when it runs where it may.
  int cpu() const { return cpu_; }

 private:
  void let_go();

  SerialPort& port_;
  QTimer let_go_timer_;
  cpu_set_t before_;  // the GUI thread's CPUs before it was kept
  int cpu_ = -1;
};

}  // namespace velmo
