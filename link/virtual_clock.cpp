#include "link/virtual_clock.h"

#include <QCoreApplication>
#include <QEvent>

#include <chrono>
#include <cstdio>
#include <tuple>

namespace velmo {
namespace {

// A program thread that sleeps this long in wall time without the clock
// moving is stuck: say who holds time still.
constexpr auto kStuckReport = std::chrono::seconds(30);
constexpr int kEventRounds = 100;

}  // namespace

bool LineTraffic::in_flight() const {
  return (line_open.load() && requests_written.load() > requests_read.load()) ||
         (program_open.load() &&
          (hangup_unseen.load() || requests_queued.load() > 0 || replies_written.load() > replies_read.load()));
}

VirtualClock::VirtualClock(int64_t start_ns) : now_(start_ns) {
  program_ = join(kProgram, [this] {
    program_woken_ = true;
    program_cv_.notify_all();
  });
}

VirtualClock::~VirtualClock() = default;

int VirtualClock::join(int rank, std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  const int id = next_id_++;
  participants_.emplace(id, Participant{rank, std::move(wake)});
  return id;
}

void VirtualClock::leave(int id) {
  std::lock_guard lock(mutex_);
  participants_.erase(id);
  advance_locked();
}

void VirtualClock::sleep_until(int id, int64_t deadline_ns) {
  std::lock_guard lock(mutex_);
  auto it = participants_.find(id);
  if (it == participants_.end()) return;
  it->second.idle = true;
  it->second.deadline = deadline_ns;
  advance_locked();
}

void VirtualClock::wake_up(int id) {
  std::lock_guard lock(mutex_);
  auto it = participants_.find(id);
  if (it != participants_.end()) it->second.idle = false;
}

std::shared_ptr<LineTraffic> VirtualClock::traffic(const std::string& device) {
  std::lock_guard lock(mutex_);
  auto& slot = traffic_[device];
  if (!slot) slot = std::make_shared<LineTraffic>();
  return slot;
}

void VirtualClock::hand_to_program() {
  std::lock_guard lock(mutex_);
  ++handed_;
  program_cv_.notify_all();
}

void VirtualClock::taken_by_program() {
  std::lock_guard lock(mutex_);
  --handed_;
  advance_locked();
}

void VirtualClock::program_sleep(int64_t deadline_ns) {
  std::unique_lock lock(mutex_);
  Participant& me = participants_.at(program_);
  program_woken_ = false;
  me.idle = true;
  me.deadline = deadline_ns;
  advance_locked();
  bool reported = false;
  while (!program_woken_ && handed_ == 0) {
    if (program_cv_.wait_for(lock, kStuckReport) == std::cv_status::timeout && !reported) {
      std::fprintf(stderr, "virtual clock: no progress for %llds at %lld ns: %s\n",
                   static_cast<long long>(kStuckReport.count()), static_cast<long long>(now_ns()),
                   state_locked().c_str());
      reported = true;
    }
  }
  me.idle = false;
}

void VirtualClock::advance_locked() {
  if (handed_ > 0) return;
  const Participant* next = nullptr;
  for (const auto& [id, p] : participants_) {
    if (!p.idle) return;
    // Ties go by rank, then by who joined first.
    if (!next || std::tie(p.deadline, p.rank) < std::tie(next->deadline, next->rank)) next = &p;
  }
  for (const auto& [device, t] : traffic_) {
    if (t->in_flight()) return;
  }
  if (!next || next->deadline == kNever) return;
  if (next->deadline > now_ns()) now_.store(next->deadline, std::memory_order_release);
  auto& woken = const_cast<Participant&>(*next);
  woken.idle = false;
  woken.wake();
  if (woken.rank == kTimer) {
    // A timer fires on the program's thread: wake it to run the timer's event.
    program_woken_ = true;
    program_cv_.notify_all();
  }
}

std::string VirtualClock::state_locked() const {
  std::string out;
  for (const auto& [id, p] : participants_) {
    out += "#" + std::to_string(id) + " rank " + std::to_string(p.rank) + (p.idle ? " sleeps" : " busy");
    if (p.idle && p.deadline != kNever) out += " until " + std::to_string(p.deadline);
    out += "; ";
  }
  for (const auto& [device, t] : traffic_) {
    if (t->in_flight()) out += device + " has bytes in flight; ";
  }
  if (handed_ > 0) out += std::to_string(handed_) + " handed to the program; ";
  return out;
}

VirtualClock* virtual_clock() { return dynamic_cast<VirtualClock*>(&clock()); }

namespace {

// Counts what the program's thread delivers, to tell when its queue is empty.
class EventCounter : public QObject {
 public:
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent*) override {
    ++count;
    return false;
  }
};

}  // namespace

void run_pending_events() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  EventCounter counter;
  app->installEventFilter(&counter);
  // Events posted while a round runs wait for the next round.
  for (int round = 0; round < kEventRounds; ++round) {
    counter.count = 0;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (counter.count == 0) break;
  }
  app->removeEventFilter(&counter);
}

bool wait_on_timeline(VirtualClock& clock, int64_t deadline_ns, const std::function<bool()>& done) {
  for (;;) {
    run_pending_events();
    if (done()) return true;
    if (clock.now_ns() >= deadline_ns) return false;
    clock.program_sleep(deadline_ns);
  }
}

}  // namespace velmo
