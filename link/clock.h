#pragma once
#include <cstdint>

namespace velmo {

// The one monotonic time source of the program's waits and the simulated
// drives. The program and velmo-drive-sim run on the steady clock; tests put
// a virtual clock in (link/virtual_clock.h).
class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t now_ns() const = 0;
  // Wall-clock nanoseconds a waiter sleeps while this clock advances by ns.
  virtual int64_t wall_ns(int64_t ns) const = 0;
};

// Real time.
class SteadyClock final : public Clock {
 public:
  int64_t now_ns() const override;
  int64_t wall_ns(int64_t ns) const override { return ns; }
};

// The process's clock (the steady clock unless a test installed another; the
// installed clock must outlive its use). Thread-safe.
Clock& clock();
void set_clock(Clock* clock);  // nullptr restores the steady clock
inline int64_t clock_ms() { return clock().now_ns() / 1000000; }

// Installs a clock for the lifetime of a scope, then puts the earlier one back.
class ClockScope {
 public:
  explicit ClockScope(Clock& c) : previous_(&clock()) { set_clock(&c); }
  ~ClockScope() { set_clock(previous_); }
  ClockScope(const ClockScope&) = delete;
  ClockScope& operator=(const ClockScope&) = delete;

 private:
  Clock* previous_;
};

}  // namespace velmo
