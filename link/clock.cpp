#include "link/clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>

namespace velmo {
namespace {

int64_t steady_ns() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

SteadyClock g_steady;
std::atomic<Clock*> g_clock{&g_steady};

}  // namespace

int64_t SteadyClock::now_ns() const { return steady_ns(); }

ScaledClock::ScaledClock(double speed) : speed_(std::max(speed, 1e-3)), origin_ns_(steady_ns()) {}

int64_t ScaledClock::now_ns() const {
  return origin_ns_ + static_cast<int64_t>(static_cast<double>(steady_ns() - origin_ns_) * speed_);
}

int64_t ScaledClock::wall_ns(int64_t ns) const {
  // Rounded up, so a waiter never wakes before the deadline on this clock.
  return static_cast<int64_t>(static_cast<double>(ns) / speed_) + 1;
}

Clock& clock() { return *g_clock.load(std::memory_order_acquire); }

void set_clock(Clock* c) { g_clock.store(c ? c : &g_steady, std::memory_order_release); }

}  // namespace velmo
