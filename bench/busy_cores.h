#pragma once
// A low-priority busy loop on every CPU for the life of the object: the
// machine fully loaded, yet nothing of the program ever waits for a loop.
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

namespace velmo::bench {

class BusyCores {
 public:
  explicit BusyCores(bool on) {
    if (!on) return;
    const unsigned n = std::thread::hardware_concurrency();
    for (unsigned i = 0; i < n; ++i)
      loops_.emplace_back([this] {
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
        volatile unsigned long spins = 0;
        while (!stop_.load(std::memory_order_relaxed)) spins = spins + 1;
      });
  }
  ~BusyCores() {
    stop_ = true;
    for (auto& t : loops_) t.join();
  }
  BusyCores(const BusyCores&) = delete;
  BusyCores& operator=(const BusyCores&) = delete;

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> loops_;
};

}  // namespace velmo::bench
