#include "link/reply_cpu.h"

#include "link/serial_port.h"
#include "link/virtual_clock.h"

namespace velmo {

ReplyCpu::ReplyCpu(SerialPort& port) : port_(port) {
  CPU_ZERO(&before_);
  let_go_timer_.setSingleShot(true);
  let_go_timer_.setInterval(kHoldMs);
  QObject::connect(&let_go_timer_, &QTimer::timeout, [this] { let_go(); });
}

ReplyCpu::~ReplyCpu() { let_go(); }

void ReplyCpu::keep_beside_reader() {
  if (virtual_clock() || !port_.isOpen()) return;
  if (cpu_ < 0) {
    const int here = sched_getcpu();
    if (here < 0 || sched_getaffinity(0, sizeof before_, &before_) != 0) return;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(here, &one);
    if (sched_setaffinity(0, sizeof one, &one) != 0) return;
    cpu_ = here;
    let_go_timer_.start();
  }
  // A port opened since has a new reader.
  port_.keepReaderOn(cpu_);
}

void ReplyCpu::let_go() {
  let_go_timer_.stop();
  if (cpu_ < 0) return;
  cpu_ = -1;
  sched_setaffinity(0, sizeof before_, &before_);
}

}  // namespace velmo
