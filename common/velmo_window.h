#pragma once
#include <QSize>
#include <QString>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <unordered_map>

#include "common/app_context.h"
#include "common/form_access.h"

class QCloseEvent;
class QPlainTextEdit;
class QShowEvent;

namespace velmo {

// Base of every window but the main one: a top-level window that is created
// once at start-up, shown by the main menu and hidden when left. The close
// box and Alt+F4 run the same exit path as the window's "退出" button.
class VelmoWindow : public QWidget {
  Q_OBJECT
 public:
  VelmoWindow(AppContext& ctx, const char* object_name, const QString& title, QSize design_size,
              QWidget* parent = nullptr);

  // The exit path: asks exit_guard(), hides the window, restores the main
  // window and sends the traffic log back to it (active_form := 1).
  // Returns false when the window refused to be left.
  bool leave();

  // The window's own steps when the main menu opens it, after the menu's
  // common steps (precondition, minimise, show, active_form, node).
  virtual void on_open() {}

  // Shows a status line in the window's Panel1.
  void show_status(const QString& text);

  // The program is being closed (true), or stays open after all (false).
  // While it closes, nothing the window does starts a motor; a running
  // operation is stopped as its own stop would stop it.
  void set_program_closing(bool closing);
  bool program_closing() const { return program_closing_; }
  // True while the window cannot be asked to leave yet (an exchange or a
  // command of its own still waits) or its exit is still under way (a
  // stopped operation unwinds, the exit steps run): the close waits.
  virtual bool exit_waits() const { return false; }
  // The program ends (the line is free): every drive this window runs is
  // stopped now with the window's own stop command, before any window's
  // exit gives settings back.
  virtual void stop_for_end() {}
  // True once the window's exit has begun on its own (a running operation
  // was asked to stop and its exit steps follow when it has unwound): the
  // close waits for it instead of asking again.
  virtual bool exit_started() const { return false; }
  // True while the window is in the middle of a sequence of exchanges with
  // its drive (an operation, a menu read or download, a takeover or a
  // restore): a node search meanwhile would rebuild the node lists under it.
  // Most windows run one exactly while their exit has to wait.
  virtual bool operation_running() const { return exit_waits(); }
  // The window was left last time without getting its drive back to where
  // it was: a restore or SERVO_OFF went unanswered, or a drive may still run.
  bool holds_drive() const { return holds_drive_; }

  // ---- The drives the window holds ----
  // True while the drive at `station` belongs to this window: an exchange
  // or operation of its own works on it, it started it and has not seen it
  // stop, or it took it under its own bus control. A search, a renumbering
  // and another window's restore leave such a drive to this window.
  virtual bool holds(uint8_t /*station*/) const { return false; }
  // A drive this window started that may still be running (0: none): a
  // search would take the line from under the stop for up to a minute.
  virtual uint8_t drive_may_run() const { return 0; }
  // What a servo's restore flag holds when this window took the drive over:
  // its window code (0: the window takes no servo over).
  virtual uint8_t restore_code() const { return 0; }
  // The restore code of another open window that holds `station`: 0 when
  // it holds it but restores no servo, nullopt when no other window does.
  std::optional<uint8_t> held_elsewhere(uint8_t station) const;

  // The station this window talks to did not answer the new search: its
  // node list shows no node, and the window sends nothing until the
  // engineer picks one. By default Panel1 says so.
  virtual void station_gone(uint8_t station);
  // The drive that went away answers again at `station` (same line, same
  // drive) before the engineer picked another: the node list shows it again
  // and the window goes on with it. By default Panel1 says so.
  virtual void station_back(uint8_t station);
  // The drive at `from` answers at `to` now (its family's editor
  // renumbered it): what the window keeps of it follows.
  virtual void station_moved(uint8_t /*from*/, uint8_t /*to*/) {}

 protected:
  // Refuses the exit (with the window's own message) when it returns false.
  virtual bool exit_guard() { return true; }
  void set_holds_drive(bool holds) { holds_drive_ = holds; }
  // Runs after the guard passed, before the window is hidden.
  virtual void on_leave() {}
  // The window's own part of set_program_closing.
  virtual void on_program_closing(bool /*closing*/) {}

  // The log where the window tells a failure that belongs to no node (the
  // port lost); `timed`: its lines end with the time of day.
  void set_failure_log(QPlainTextEdit* log, bool timed);

  // The screen-scaling rule of every window, anchored on one control.
  void apply_screen_scaling(QWidget* anchor, int margin_height = 90, int margin_width = 30);
  // The same with one control for the height and another for the width.
  void apply_screen_scaling(QWidget* height_anchor, QWidget* width_anchor, int margin_height, int margin_width);

  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  // The window opens in the middle of the screen each time it is shown.
  void open_centred() { centred_ = true; }

  // A control of this window by its objectName, looked up once and then
  // held: status polls and the mirror timer update the same controls many
  // times a second. `name` must outlive the window (a literal or table text).
  template <typename T>
  T* held(const char* name) {
    QPointer<QObject>& slot = held_[name];
    if (!slot) slot = control<T>(this, name);
    return static_cast<T*>(slot.data());
  }

  AppContext& ctx_;

 private:
  // The port went away: an open window says so where the engineer looks,
  // not only the main window behind it.
  void port_lost();

  std::unordered_map<const char*, QPointer<QObject>> held_;
  QPointer<QPlainTextEdit> failure_log_;
  bool failure_log_timed_ = false;
  bool centred_ = false;
  bool program_closing_ = false;
  bool holds_drive_ = false;
};

}  // namespace velmo
