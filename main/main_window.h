#pragma once
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "common/app_context.h"
#include "common/record_files.h"
#include "drivelink/node_search.h"

class QCloseEvent;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace velmo {

enum class WindowCode : uint8_t;
class ProgramClose;
class VelmoWindow;
class WheelFilter;

// The main window: port settings, the node search, the two main logs and the
// main menu into every other window. It shows the search's progress and the
// restores' results.
class MainWindow : public QMainWindow, public SearchView {
  Q_OBJECT
 public:
  // Asks where to save the traffic log; an empty answer means cancelled.
  using SaveChooser = RecordChooser;

  MainWindow(AppContext& ctx, NodeSearch& search, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Refills the port list (no doubles).
  void Button3Click();
  // The node search and the connect step. Both are refused while another
  // window is in the middle of an operation: they rebuild the node lists
  // that the operation's window took its drive from.
  void Button4Click();
  void Button1Click();
  void Button2Click();
  // The port's reader saw the line go away.
  void Comm1Hangup();
  void Button5Click();
  void Button6Click();
  void ComboBox6onchange(int index);
  // Search range on leaving Edit1: empty or below 1 -> "1", above 247 -> "247".
  void edit1onchange();

  // The port list as the machine offers it.
  void GetComListFromReg();
  // Chooses the port at `path` in the list, adding it when the list lacks it.
  void choose_port(const QString& path);

  // Replaces the save dialog (tests).
  void set_save_chooser(SaveChooser chooser) { save_chooser_ = std::move(chooser); }

  // The windows a close of the program leaves first, in that order.
  void set_program_windows(std::vector<VelmoWindow*> windows);
  // What the close of the program is doing.
  const ProgramClose& program_close() const { return *closer_; }
  // A signal asks the program to quit (logout, shutdown, a terminal): the
  // close that ends the program, at once, whatever box or dialog is open,
  // with what it has to say written to the log and the standard error
  // instead of boxes nobody may be there to read.
  void close_on_signal();

  // The menu entries (see main_menu.cpp).
  void N5Click();
  void N2Click();
  void N6Click();
  void N12Click();
  void N10Click();
  void N7Click();
  void N8Click();
  void N9Click();
  void N13Click();
  void RS4851Click();
  void N11Click();

  // What the node search takes and shows.
  PortChoice port_choice() const override;
  int last_station() const override;
  int connect_station() const override;
  void show_status(const QString& text) override;
  void log(const QString& line) override;
  void log_timed(const QString& text) override;
  void enable(Button button, bool enabled) override;

 signals:
  // The main window was closed, every other window left: the program ends.
  void closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The precondition of the entries that talk to drives; shows the missing
  // conditions in order and returns false when one is missing.
  bool line_ready(int family_count, const QString& family_message);
  // The window of a menu entry, by its name.
  VelmoWindow* target(const char* name) const;
  // Says which window runs an operation, if one does, and returns true then.
  bool refused_for_operation();
  // The usual first steps of an entry: minimise this window, show the
  // target, active_form := code. Entries that take them in another order
  // spell them out.
  VelmoWindow* open_target(const char* name, WindowCode code);

  // Every drive is stopped and given back: nothing is sent any more, and
  // the program ends.
  void end_program();

  void build_controls();
  void build_menu();
  void FormCreate();

  AppContext& ctx_;
  NodeSearch& search_;
  SaveChooser save_chooser_;
  WheelFilter* wheel_filter_ = nullptr;
  ProgramClose* closer_ = nullptr;
  bool ended_ = false;
};

}  // namespace velmo
