#pragma once
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace velmo {

struct DriveLinkState;
class ClockTimer;
class VelmoWindow;

// Closing the program. Every open window is first left through its own exit
// path, one after the other, as if the engineer had closed it: a running
// operation stops, the drives get their settings back. A window whose
// exchange is in flight finishes it first. A window that stays open (its
// restore refused, a drive still running) or was left with its drive not
// back keeps the program open and is named. Every close does all this; the
// next one (or one asked for while the windows are being left) then ends the
// program after a warning that names the windows still holding a drive.
class ProgramClose : public QObject {
  Q_OBJECT
 public:
  struct Hooks {
    // The main window's Panel1 and process log; `failure`: the log line ends
    // with "**". `detail`, when given, is the log's line instead (Panel1 is
    // narrow).
    std::function<void(const QString& panel, bool failure, const QString& detail)> status;
    std::function<void(const QString&)> message;  // a message box
    std::function<void()> end;                    // every window was left: close the main window again
  };

  ProgramClose(const DriveLinkState& st, Hooks hooks, QObject* parent = nullptr);

  // The windows a close leaves, in the order it leaves them.
  void set_windows(std::vector<VelmoWindow*> windows);

  // The main window is being closed: true when the program may end now;
  // false while the open windows are being left (hooks.end follows once all
  // of them are) or when one of them could not be left.
  bool request();
  // The open windows are being left.
  bool leaving() const { return phase_ == Phase::Leaving; }
  // The windows the last close could not leave.
  QStringList held_windows() const;

 signals:
  // The open windows began (true) or ended (false) being left.
  void leaving_changed(bool leaving);

 private:
  enum class Phase { Open, Leaving, Held, Ending };

  void step();
  // Every window has been left (or tried): the program ends, or stays held.
  void finish();
  void add_left_holding();
  // True when the program may end now; otherwise it stays, held, and says why.
  bool end_or_hold();
  void set_phase(Phase phase);
  bool link_idle() const;

  const DriveLinkState& st_;
  Hooks hooks_;
  ClockTimer* timer_;
  std::vector<QPointer<VelmoWindow>> windows_;
  // The windows open when the close began, whether each was asked to leave,
  // and the next one to look at.
  std::vector<QPointer<VelmoWindow>> to_leave_;
  std::vector<bool> asked_;
  size_t next_ = 0;
  std::vector<QPointer<VelmoWindow>> held_;
  Phase phase_ = Phase::Open;
  bool stepping_ = false;
  // Asked again after a close that left a window holding a drive, or while
  // the windows were being left: this close ends the program.
  bool final_ = false;
};

}  // namespace velmo
