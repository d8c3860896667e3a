#pragma once
#include <cstdint>

namespace velmo {

class VirtualClock;

// Lets a thread that sleeps in poll() keep time with the process's clock.
// Its poll set gets one more descriptor (fd()), readable when the virtual
// clock reaches the deadline it sleeps until, or when poke() is called.
// On a real clock the deadline becomes the poll's timeout.
class PollSleeper {
 public:
  explicit PollSleeper(int rank);  // joins the installed virtual clock, if any
  ~PollSleeper();
  PollSleeper(const PollSleeper&) = delete;
  PollSleeper& operator=(const PollSleeper&) = delete;

  bool on_timeline() const { return clock_ != nullptr; }
  int fd() const { return fd_; }

  // Call right before poll(): the timeout in nanoseconds until the deadline
  // on the clock in use (-1: none). On the timeline it announces the sleep
  // and is always -1; fd() wakes the poll.
  int64_t before_poll(int64_t deadline_ns);
  // Call right after poll(), before reading anything: busy again. woken:
  // whether fd() was among the descriptors poll() found readable.
  void after_poll(bool woken = true);
  // Wakes the poll from another thread (to stop it).
  void poke();

 private:
  VirtualClock* clock_ = nullptr;
  int id_ = -1;
  int fd_ = -1;
};

// A poll() timeout in milliseconds for a nanosecond timeout, rounded up (-1 stays -1).
int poll_ms(int64_t timeout_ns);

}  // namespace velmo
