#include "link/clock_timer.h"

#include <QCoreApplication>
#include <QEvent>

#include <algorithm>

#include "link/virtual_clock.h"

namespace velmo {
namespace {

constexpr int64_t kNsPerMs = 1'000'000;

QEvent::Type due_event_type() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

// The timeline reached a timer's deadline; a restart or stop since makes it stale.
struct DueEvent : QEvent {
  explicit DueEvent(uint64_t g) : QEvent(due_event_type()), generation(g) {}
  uint64_t generation;
};

}  // namespace

ClockTimer::ClockTimer(QObject* parent) : QObject(parent) {
  connect(&wall_, &QTimer::timeout, this, [this] {
    if (single_shot_) active_ = false;
    emit timeout();
  });
}

ClockTimer::~ClockTimer() { leave_timeline(); }

void ClockTimer::setInterval(int ms) {
  interval_ms_ = std::max(ms, 0);
  wall_.setInterval(interval_ms_);
  if (active_) start();
}

void ClockTimer::start(int ms) {
  interval_ms_ = std::max(ms, 0);
  start();
}

void ClockTimer::start() {
  VirtualClock* timeline = virtual_clock();
  if (timeline != timeline_) leave_timeline();
  active_ = true;
  if (!timeline) {
    wall_.setSingleShot(single_shot_);
    wall_.start(interval_ms_);
    return;
  }
  wall_.stop();
  if (id_ < 0) {
    timeline_ = timeline;
    // Called under the clock's lock; the clock holds time still until the
    // posted event has run (the participant stays busy till then).
    id_ = timeline->join(VirtualClock::kTimer,
                         [this] { QCoreApplication::postEvent(this, new DueEvent(generation_.load())); });
  }
  ++generation_;
  due_ns_ = timeline->now_ns() + interval_ms_ * kNsPerMs;
  timeline->sleep_until(id_, due_ns_);
}

void ClockTimer::stop() {
  active_ = false;
  ++generation_;
  wall_.stop();
  if (timeline_) timeline_->sleep_until(id_, VirtualClock::kNever);
}

void ClockTimer::leave_timeline() {
  if (!timeline_) return;
  timeline_->leave(id_);
  timeline_ = nullptr;
  id_ = -1;
}

bool ClockTimer::event(QEvent* e) {
  if (e->type() != due_event_type()) return QObject::event(e);
  if (static_cast<DueEvent*>(e)->generation == generation_.load()) fire();
  return true;
}

void ClockTimer::fire() {
  if (!timeline_ || !active_) return;
  if (single_shot_) {
    active_ = false;
    timeline_->sleep_until(id_, VirtualClock::kNever);
  } else {
    due_ns_ = std::max(due_ns_ + interval_ms_ * kNsPerMs, timeline_->now_ns() + kNsPerMs / 10);
    timeline_->sleep_until(id_, due_ns_);
  }
  emit timeout();
}

void ClockTimer::singleShot(int ms, QObject* context, std::function<void()> fn) {
  auto* timer = new ClockTimer(context);
  timer->setSingleShot(true);
  connect(timer, &ClockTimer::timeout, context, [timer, fn = std::move(fn)] {
    timer->deleteLater();
    fn();
  });
  timer->start(ms);
}

}  // namespace velmo
