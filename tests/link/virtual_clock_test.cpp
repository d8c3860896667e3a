// The virtual timeline: time moves only when every participant sleeps and
// nothing is in flight, to the earliest deadline, one participant at a time.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/clock_timer.h"
#include "link/poll_sleeper.h"
#include "link/virtual_clock.h"

namespace velmo {
namespace {

constexpr int64_t kMs = 1'000'000;

// A thread that sleeps once until its deadline and notes when it woke.
struct Sleeper {
  Sleeper(int rank, int64_t deadline, std::string name, std::vector<std::string>& order, std::mutex& m)
      : sleeper(rank) {
    thread = std::thread([this, deadline, name, &order, &m] {
      for (;;) {
        pollfd p{sleeper.fd(), POLLIN, 0};
        ::poll(&p, 1, poll_ms(sleeper.before_poll(deadline)));
        sleeper.after_poll();
        if (clock().now_ns() >= deadline) break;
      }
      {
        std::lock_guard lock(m);
        order.push_back(name + "@" + std::to_string((clock().now_ns() - deadline) / kMs));
      }
      sleeper.before_poll(VirtualClock::kNever);
    });
  }
  ~Sleeper() { thread.join(); }
  PollSleeper sleeper;
  std::thread thread;
};

TEST(VirtualClock, JumpsToTheEarliestDeadlineAndWakesTiesByRank) {
  VirtualClock timeline;
  ClockScope scope(timeline);
  const int64_t t0 = timeline.now_ns();
  std::vector<std::string> order;
  std::mutex m;
  {
    Sleeper timer(VirtualClock::kTimer, t0 + 7 * kMs, "timer", order, m);
    Sleeper line(VirtualClock::kLine, t0 + 7 * kMs, "line", order, m);
    Sleeper reader(VirtualClock::kReader, t0 + 3 * kMs, "reader", order, m);
    timeline.program_sleep(t0 + 7 * kMs);
    EXPECT_EQ(timeline.now_ns(), t0 + 7 * kMs);
  }
  // Each woke exactly at its deadline; at 7 ms the line before the timer.
  EXPECT_EQ(order, (std::vector<std::string>{"reader@0", "line@0", "timer@0"}));
}

TEST(VirtualClock, ABusyParticipantOrBytesInAPipeHoldTimeStill) {
  VirtualClock timeline;
  ClockScope scope(timeline);
  const int64_t t0 = timeline.now_ns();
  const int busy = timeline.join(VirtualClock::kLine, [] {});
  auto traffic = timeline.traffic("/dev/pts/test");
  traffic->line_open = true;
  traffic->requests_written = 8;
  std::atomic<bool> done{false};
  std::thread program([&] {
    timeline.program_sleep(t0 + 5 * kMs);
    done = true;
  });
  // However long the machine takes, nothing moves while the participant works.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(timeline.now_ns(), t0);
  timeline.sleep_until(busy, VirtualClock::kNever);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(timeline.now_ns(), t0) << "eight request bytes are still unread";
  EXPECT_FALSE(done);
  traffic->requests_read = 8;
  timeline.wake_up(busy);
  timeline.sleep_until(busy, VirtualClock::kNever);  // the reader sleeps again: time may move
  program.join();
  EXPECT_EQ(timeline.now_ns(), t0 + 5 * kMs);
  timeline.leave(busy);
}

TEST(VirtualClock, ATimerFiresOnTheTimelineAtItsIntervalUntilStopped) {
  VirtualClock timeline;
  ClockScope scope(timeline);
  const int64_t t0 = timeline.now_ns();
  ClockTimer timer;
  std::vector<int64_t> fired;
  QObject::connect(&timer, &ClockTimer::timeout, [&] {
    fired.push_back((timeline.now_ns() - t0) / kMs);
    if (fired.size() == 4) timer.stop();
  });
  timer.start(10);
  EXPECT_FALSE(wait_on_timeline(timeline, t0 + 100 * kMs, [] { return false; }));
  EXPECT_EQ(fired, (std::vector<int64_t>{10, 20, 30, 40}));
  EXPECT_FALSE(timer.isActive());
  EXPECT_EQ(timeline.now_ns(), t0 + 100 * kMs);

  // A restart counts from the restart; a single shot fires once.
  fired.clear();
  const int64_t t1 = timeline.now_ns();
  timer.setSingleShot(true);
  timer.start(10);
  EXPECT_FALSE(wait_on_timeline(timeline, t1 + 5 * kMs, [] { return false; }));
  timer.start(10);
  EXPECT_FALSE(wait_on_timeline(timeline, t1 + 100 * kMs, [] { return false; }));
  EXPECT_EQ(fired, std::vector<int64_t>{(t1 - t0) / kMs + 15});
}

TEST(VirtualClock, ScopesRestoreTheEarlierClock) {
  Clock* before = &clock();
  VirtualClock outer, inner;
  {
    ClockScope a(outer);
    {
      ClockScope b(inner);
      EXPECT_EQ(virtual_clock(), &inner);
    }
    EXPECT_EQ(virtual_clock(), &outer);
  }
  EXPECT_EQ(&clock(), before);
  EXPECT_EQ(virtual_clock(), nullptr);
}

}  // namespace
}  // namespace velmo
