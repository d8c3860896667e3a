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
// exchange is in flight finishes it first; a search or connect step is cut
// at the exchange in flight. On the engineer's first close, a window that
// stays open (its restore refused, a drive still running) or was left with
// its drive not back keeps the program open and is named. The close that
// ends the program (the next one, one asked for while the windows are being
// left, or a signal) first stops every drive a window runs with that
// window's own stop command, then leaves the windows, and ends after a
// warning that names only the windows still holding a drive.
class ProgramClose : public QObject {
  Q_OBJECT
 public:
  struct Hooks {
    // The main window's Panel1 and process log; `failure`: the log line ends
    // with "**". `detail`, when given, is the log's line instead (Panel1 is
    // narrow).
    std::function<void(const QString& panel, bool failure, const QString& detail)> status;
    std::function<void(const QString&)> message;  // a message box
    std::function<void()> end;                    // every window was left: the program ends
    std::function<void()> cut_search;             // cuts a search or connect step under way
  };

  ProgramClose(const DriveLinkState& st, Hooks hooks, QObject* parent = nullptr);

  // The windows a close leaves, in the order it leaves them.
  void set_windows(std::vector<VelmoWindow*> windows);

  // The main window is being closed: true when the program may end now;
  // false while the open windows are being left or an exchange finishes
  // (hooks.end follows once that is done) or when one of them could not be
  // left. `ending`: nobody can answer (a signal), this close ends the program.
  bool request(bool ending = false);
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
  // The windows open now, none of them stopped or asked yet.
  void take_open_windows();
  // The close that ends the program: the drives of every open window are
  // stopped first; false while the line is busy.
  bool stop_drives();
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
  // The windows open when the close began, whether each had its drives
  // stopped and was asked to leave, and the next one to look at.
  struct Entry {
    QPointer<VelmoWindow> window;
    bool stopped = false;
    bool asked = false;
  };
  std::vector<Entry> to_leave_;
  size_t next_ = 0;
  // The close became the one that ends the program while the windows were
  // being left: those that stayed are stopped and asked again.
  bool restart_ = false;
  std::vector<QPointer<VelmoWindow>> held_;
  Phase phase_ = Phase::Open;
  bool stepping_ = false;
  // Asked again after a close that left a window holding a drive, or while
  // the windows were being left: this close ends the program.
  bool final_ = false;
};

}  // namespace velmo
