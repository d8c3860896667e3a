#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "link/clock.h"

namespace velmo {

// Bytes on their way over one line, counted where they are written and where
// they are read: while any are in the pipe, time stands still.
struct LineTraffic {
  std::atomic<int64_t> requests_written{0};
  std::atomic<int64_t> requests_read{0};
  std::atomic<int64_t> requests_queued{0};  // handed to the port's writer, not written yet
  std::atomic<int64_t> replies_written{0};
  std::atomic<int64_t> replies_read{0};
  std::atomic<bool> line_open{false};     // a simulated line serves the device
  std::atomic<bool> program_open{false};  // the program's port is open on it
  // The line was closed under the program's open port and the program's
  // reader has not yet handed the hang-up over: the hang-up lands at the
  // instant of the close, not wherever a busy machine lets the reader see it.
  std::atomic<bool> hangup_unseen{false};

  bool in_flight() const;
  // Bytes the other end will never read (a flush, a close) no longer count.
  void drop_requests() { requests_read.store(requests_written.load()); }
  void drop_replies() { replies_read.store(replies_written.load()); }
};

// Time for tests as one discrete timeline. Every thread on the exchange path
// takes part: it is busy while it works and announces a deadline when it
// sleeps. Time moves only when every participant sleeps, no byte is in a
// pipe and nothing handed to the program's thread is waiting there; it then
// jumps to the earliest deadline and wakes that one participant alone. The
// same seed gives the same frames and numbers at any machine load.
//
// The thread that creates the clock is the program's (GUI) thread, busy
// except while it sleeps in program_sleep. Install the clock (ClockScope)
// before the line and the port start, and let it outlive them.
class VirtualClock final : public Clock {
 public:
  // Who goes first when several sleep until the same instant: the line
  // answers, the reader takes the reply, timers fire, then the program's wait ends.
  enum Rank : int { kLine = 0, kReader = 1, kTimer = 2, kProgram = 3 };
  static constexpr int64_t kNever = INT64_MAX;

  explicit VirtualClock(int64_t start_ns = 1'000'000'000);
  ~VirtualClock() override;
  VirtualClock(const VirtualClock&) = delete;
  VirtualClock& operator=(const VirtualClock&) = delete;

  int64_t now_ns() const override { return now_.load(std::memory_order_acquire); }
  int64_t wall_ns(int64_t) const override { return 0; }

  // A participant starts busy. wake is called under the clock's lock when
  // the participant's deadline has come; it must only signal. A kTimer
  // participant's wake posts to the program's thread, which is woken with it.
  int join(int rank, std::function<void()> wake);
  void leave(int id);
  void sleep_until(int id, int64_t deadline_ns);
  void wake_up(int id);  // woken by its own input: busy again

  // The byte counters of a device (the path of the pty's slave side).
  std::shared_ptr<LineTraffic> traffic(const std::string& device);

  // Work handed to the program's thread from another thread (a reply chunk)
  // holds time still until the program's thread takes it.
  void hand_to_program();
  void taken_by_program();

  // The program's thread sleeps until the deadline or until work is handed to it.
  void program_sleep(int64_t deadline_ns);

 private:
  struct Participant {
    int rank;
    std::function<void()> wake;
    bool idle = false;
    int64_t deadline = kNever;
  };
  void advance_locked();
  std::string state_locked() const;

  std::atomic<int64_t> now_;
  mutable std::mutex mutex_;
  std::condition_variable program_cv_;
  std::map<int, Participant> participants_;
  std::map<std::string, std::shared_ptr<LineTraffic>> traffic_;
  int next_id_ = 0;
  int program_ = -1;
  bool program_woken_ = false;
  int64_t handed_ = 0;
};

// The installed clock when it is a virtual one, else null.
VirtualClock* virtual_clock();

// Runs the events the program's thread has queued for itself (zero-delay
// timers, queued calls, repaints) until none is left.
void run_pending_events();

// A wait of the program's thread on the timeline: runs its events and sleeps
// until done() holds or the clock reaches the deadline. True when done.
bool wait_on_timeline(VirtualClock& clock, int64_t deadline_ns, const std::function<bool()>& done);

}  // namespace velmo
