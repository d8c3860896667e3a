#include "link/poll_sleeper.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "link/virtual_clock.h"

namespace velmo {

PollSleeper::PollSleeper(int rank) : clock_(virtual_clock()), fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (clock_) {
    const int fd = fd_;
    id_ = clock_->join(rank, [fd] {
      const uint64_t one = 1;
      (void)!::write(fd, &one, sizeof one);
    });
  }
}

PollSleeper::~PollSleeper() {
  if (clock_) clock_->leave(id_);
  if (fd_ >= 0) ::close(fd_);
}

int64_t PollSleeper::before_poll(int64_t deadline_ns) {
  if (clock_) {
    clock_->sleep_until(id_, deadline_ns);
    return -1;
  }
  if (deadline_ns == VirtualClock::kNever) return -1;
  const int64_t left = deadline_ns - clock().now_ns();
  return left <= 0 ? 0 : clock().wall_ns(left);
}

void PollSleeper::after_poll(bool woken) {
  if (clock_) clock_->wake_up(id_);
  // A read that finds nothing still costs a system call on every wake-up.
  if (!woken) return;
  uint64_t count = 0;
  (void)!::read(fd_, &count, sizeof count);
}

void PollSleeper::poke() {
  const uint64_t one = 1;
  (void)!::write(fd_, &one, sizeof one);
}

int poll_ms(int64_t timeout_ns) {
  if (timeout_ns < 0) return -1;
  return static_cast<int>(std::min<int64_t>((timeout_ns + 999'999) / 1'000'000, INT_MAX));
}

}  // namespace velmo
