#include "link/clock.h"

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

Clock& clock() { return *g_clock.load(std::memory_order_acquire); }

void set_clock(Clock* c) { g_clock.store(c ? c : &g_steady, std::memory_order_release); }

}  // namespace velmo
