#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <functional>

#include "link/virtual_clock.h"

namespace velmo::testing {

// Processes events until the condition holds or the generous bound passes.
// Under a virtual clock the bound is on the timeline and the condition is
// looked at every millisecond of it (a state of the simulated drives
// changes without waking the program).
inline bool wait_for(const std::function<bool()>& condition, int bound_ms = 10000) {
  if (VirtualClock* timeline = virtual_clock()) {
    const int64_t end = timeline->now_ns() + int64_t{bound_ms} * 1'000'000;
    for (;;) {
      if (wait_on_timeline(*timeline, std::min(timeline->now_ns() + 1'000'000, end), condition)) return true;
      if (timeline->now_ns() >= end) return condition();
    }
  }
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > bound_ms) return condition();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(1);
  }
  return true;
}

// Lets the timeline run for ms (the program's events keep running); on real
// time, processes events for ms.
inline void pass_time(int ms) {
  wait_for([] { return false; }, ms);
}

}  // namespace velmo::testing
