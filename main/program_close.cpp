#include "main/program_close.h"

#include <QStringList>

#include <algorithm>

#include "common/velmo_window.h"
#include "drivelink/drive_link_state.h"
#include "link/clock_timer.h"

namespace velmo {

namespace {
// How often the close looks whether the window it waits for is done.
constexpr int kLookMs = 10;

enum class Which { All, Open, Left };

QString window_names(const std::vector<QPointer<VelmoWindow>>& windows, Which which = Which::All) {
  QStringList names;
  for (const QPointer<VelmoWindow>& w : windows)
    if (w && (which == Which::All || w->isVisible() == (which == Which::Open)))
      names << QStringLiteral("“%1”").arg(w->windowTitle());
  return names.join(QStringLiteral("、"));
}

// Where the engineer finds each held window: an open one is there to act
// in; one already left (its restore got no valid reply) is opened again
// from the main menu.
QString how_to_reach(const std::vector<QPointer<VelmoWindow>>& held) {
  QString how;
  const QString open = window_names(held, Which::Open), left = window_names(held, Which::Left);
  if (!open.isEmpty()) how += QStringLiteral("请在%1中处理后退出；").arg(open);
  if (!left.isEmpty()) how += QStringLiteral("%1已关闭，请从主菜单重新打开后处理；").arg(left);
  return how;
}
}  // namespace

ProgramClose::ProgramClose(const DriveLinkState& st, Hooks hooks, QObject* parent)
    : QObject(parent), st_(st), hooks_(std::move(hooks)), timer_(new ClockTimer(this)) {
  timer_->setInterval(kLookMs);
  connect(timer_, &ClockTimer::timeout, this, [this] { step(); });
}

void ProgramClose::set_windows(std::vector<VelmoWindow*> windows) {
  windows_.assign(windows.begin(), windows.end());
}

QStringList ProgramClose::held_windows() const {
  QStringList names;
  for (const QPointer<VelmoWindow>& w : held_)
    if (w) names << w->objectName();
  return names;
}

bool ProgramClose::link_idle() const { return st_.sending == 0 && st_.read_busy == 0 && st_.write_busy == 0; }

bool ProgramClose::request(bool ending) {
  // A search or connect step ends at the exchange in flight, whoever asks.
  if (hooks_.cut_search) hooks_.cut_search();
  const bool was_final = final_;
  switch (phase_) {
    case Phase::Ending:
      return true;
    case Phase::Leaving:
      // Asked again meanwhile: once the windows are left, the program ends;
      // those that stayed are stopped and asked again.
      final_ = true;
      if (!was_final) restart_ = true;
      hooks_.status(QStringLiteral("正在退出各窗口并恢复驱动器参数"), false, {});
      timer_->start();
      return false;
    case Phase::Held:
      // The second close: every drive is stopped, every window left again,
      // and the program ends whatever they answer.
      final_ = true;
      break;
    case Phase::Open:
      if (ending) final_ = true;
      break;
  }
  take_open_windows();
  held_.clear();
  if (to_leave_.empty()) {
    add_left_holding();
    // An exchange in flight (a search, a window's poll) ends first.
    if (!link_idle()) {
      set_phase(Phase::Leaving);
      timer_->start();
      return false;
    }
    if (held_.empty()) {
      set_phase(Phase::Ending);
      return true;
    }
    return end_or_hold();
  }
  set_phase(Phase::Leaving);
  for (Entry& e : to_leave_) e.window->set_program_closing(true);
  hooks_.status(QStringLiteral("正在退出各窗口并恢复驱动器参数"), false, {});
  timer_->start();
  return false;
}

void ProgramClose::take_open_windows() {
  to_leave_.clear();
  next_ = 0;
  for (const QPointer<VelmoWindow>& w : windows_)
    if (w && w->isVisible()) {
      // A window whose exit began there (a running operation was stopped)
      // is not asked again: its exit steps follow on their own. One whose
      // exchange is in flight is asked once that is done.
      to_leave_.push_back({w, false, w->exit_started()});
    }
}

void ProgramClose::add_left_holding() {
  // Left earlier without its drive back: the engineer hears of it too.
  for (const QPointer<VelmoWindow>& w : windows_)
    if (w && !w->isVisible() && w->holds_drive() && std::find(held_.begin(), held_.end(), w) == held_.end())
      held_.push_back(w);
}

void ProgramClose::set_phase(Phase phase) {
  const bool was_leaving = leaving();
  phase_ = phase;
  if (leaving() != was_leaving) emit leaving_changed(leaving());
}

bool ProgramClose::stop_drives() {
  // Every window first, so that no window's exit finds a drive another one
  // still runs.
  for (size_t k = 0; k < to_leave_.size(); ++k) {
    if (to_leave_[k].stopped) continue;
    VelmoWindow* w = to_leave_[k].window;
    if (!w || !w->isVisible()) {
      to_leave_[k].stopped = true;
      continue;
    }
    if (!link_idle()) return false;
    to_leave_[k].stopped = true;
    w->stop_for_end();
    // The list may have been taken afresh meanwhile.
    if (restart_) return false;
  }
  return true;
}

void ProgramClose::step() {
  // A window's exit waits for the line inside this very step.
  if (stepping_) return;
  stepping_ = true;
  for (;;) {
    if (restart_) {
      restart_ = false;
      take_open_windows();
      held_.clear();
      for (Entry& e : to_leave_) e.window->set_program_closing(true);
    }
    if (final_ && !stop_drives()) {
      if (restart_) continue;
      break;
    }
    if (next_ >= to_leave_.size()) break;
    VelmoWindow* w = to_leave_[next_].window;
    if (!w) {
      ++next_;
      continue;
    }
    // Its exit cannot start yet or is still under way, or another exchange
    // holds the line: look again later.
    if (w->exit_waits() || !link_idle()) break;
    if (to_leave_[next_].asked) {
      // Left with its drive not back where it was counts as not left.
      if (w->isVisible() || w->holds_drive()) held_.push_back(w);
      ++next_;
      continue;
    }
    if (!w->isVisible()) {
      ++next_;
      continue;
    }
    to_leave_[next_].asked = true;
    // The close box: the window's own exit path, with its own messages.
    w->close();
  }
  stepping_ = false;
  if (next_ >= to_leave_.size() && phase_ == Phase::Leaving && !restart_) finish();
}

void ProgramClose::finish() {
  // Nothing ends in the middle of an exchange: its caller would never see the reply.
  if (!link_idle()) return;
  timer_->stop();
  add_left_holding();
  if (end_or_hold()) hooks_.end();
}

bool ProgramClose::end_or_hold() {
  if (held_.empty() || final_) {
    // Only what could not be stopped or given back is named.
    if (!held_.empty())
      hooks_.message(QStringLiteral("%1的驱动器未能停止或恢复，驱动器可能仍在运行！！程序将退出").arg(window_names(held_)));
    set_phase(Phase::Ending);
    return true;
  }
  const QString names = window_names(held_);
  hooks_.status(QStringLiteral("程序未关闭：有窗口仍控制着驱动器"), true,
                QStringLiteral("程序未关闭：%1仍控制着驱动器").arg(names));
  hooks_.message(QStringLiteral("%1仍控制着驱动器（参数未能恢复或驱动器可能仍在运行），程序未关闭。\n"
                                "%2再次关闭程序将先停止各驱动器并恢复其参数，然后退出！！")
                     .arg(names, how_to_reach(held_)));
  // The program stays: the windows work as before.
  for (const Entry& e : to_leave_)
    if (e.window) e.window->set_program_closing(false);
  set_phase(Phase::Held);
  return false;
}

}  // namespace velmo
