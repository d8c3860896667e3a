// Every way a reply can go wrong, against every command that can meet it:
// after a late, garbled, foreign, split or short reply (and a drive's
// exception, for contrast), the interlocks, the shown values and the exit
// guard are checked against what the simulated drive's registers hold.
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "common/bus_control_window.h"
#include "common/menu_editor_window.h"
#include "main/main_window.h"
#include "sim/inverter_station.h"
#include "sim/servo_registers.h"
#include "support/app_on_sim.h"
#include "support/editor_input.h"

namespace velmo {
namespace {

using testing::AppOnSim;
using testing::Frame;
using testing::wait_for;
namespace sr = sim::servo_regs;
using Inverter = sim::InverterStation;

constexpr int kTimeoutMs = 250;
const QString kRestoreFailed = QStringLiteral("恢复相关参数失败！！");

struct FaultRow {
  const char* name;
  sim::Fault::Kind kind;
  bool executes;  // the drive acts on the request before its reply goes wrong
};
const FaultRow kFaults[] = {
    {"LateBeyondTheTimeout", sim::Fault::Late, true},
    {"BadCrc", sim::Fault::BadCrc, true},
    {"WrongStation", sim::Fault::WrongAddress, true},
    {"SplitBeyondTheGap", sim::Fault::Split, true},
    {"Short", sim::Fault::Short, true},
    {"Exception", sim::Fault::Exception, false},
};

sim::Fault fault_on(const FaultRow& row, uint16_t reg, int times = 1) {
  sim::Fault f = testing::fault(row.kind, reg, times);
  if (row.kind == sim::Fault::Late) f.delay_ms = 4 * kTimeoutMs;
  if (row.kind == sim::Fault::Split) f.delay_ms = 100;  // the chunk gap is 20 ms
  return f;
}

// A bus-control window with one drive at station 1.
struct ControlTarget {
  const char* name;
  const char* form;
  std::function<void(AppOnSim&)> line;     // puts the drive on the line and connects
  std::function<void(AppOnSim&)> open;     // opens the window, ready for a forward
  std::function<void(AppOnSim&)> take_over;  // leaves the drive stopped, flagged for the restore
  const char *forward, *reverse, *stop, *status_read;  // reverse: null where a reversal is allowed
  uint16_t command_reg, forward_value, stop_value;
  uint16_t status_reg;
  bool settle_read_faulted;  // the status read after the command meets the same fault
  ByAddr<uint8_t> DriveLinkState::*run_state;
  std::function<bool(sim::Station&)> running;   // by the drive's own status registers
  std::function<uint8_t(AppOnSim&)> restore_flag;
  std::function<uint16_t(AppOnSim&)> restore_reg;  // a write of the restore that the fault meets
  const char* running_text;
  const char* stay_text;  // null: the window is left whatever the restore did
};

void connect_servo(AppOnSim& t) { ASSERT_TRUE(t.connect_servos({{1, 6101, 101}})); }
void connect_inverter(AppOnSim& t) {
  t.sim.add(sim::make_inverter(1, 4015));
  t.search(1);
  ASSERT_EQ(t.st().bpq_count, 1);
}
bool servo_running(sim::Station& s) { return (s.reg(sr::kStatusWord) & (sr::kBitForward | sr::kBitReverse)) != 0; }
bool inverter_running(sim::Station& s) {
  const uint16_t state = s.reg(Inverter::kRunState);
  return state == Inverter::kStateForward || state == Inverter::kStateReverse;
}
// The list's first register is the control source, which the mode writes
// before it also set (under their looser rule): the second one.
uint16_t servo_list_reg(AppOnSim& t) { return static_cast<uint16_t>(t.restore_writes(1)[4].start); }

void enter_servo_speed_mode(AppOnSim& t) {
  QWidget* w = t.form("TForm4");
  QTest::mouseClick(control<QRadioButton>(w, "RadioButton2"), Qt::LeftButton);
  ASSERT_TRUE(wait_for([&] { return control<QPushButton>(w, "Button6")->isEnabled(); }));
}

const ControlTarget kControlTargets[] = {
    {"ServoControl", "TForm4", connect_servo,
     [](AppOnSim& t) {
       t.app.main_window().N6Click();
       enter_servo_speed_mode(t);
       testing::click(t.form("TForm4"), "Button9");
     },
     [](AppOnSim&) {},  // the mode entry on opening took it over
     "Button6", "Button7", "Button8", "Button14", sr::kCommand, sr::kCmdForward, sr::kCmdStop,
     sr::kStatusWord, true, &DriveLinkState::servo_run_state, servo_running,
     [](AppOnSim& t) { return uint8_t{t.st().servo_restore_flags[1] != 0}; }, servo_list_reg,
     "退出前，请确保电机停止且驱动器无故障！！", "请确保驱动器无故障！！"},
    {"InverterControl", "TForm9", connect_inverter, [](AppOnSim& t) { t.app.main_window().N8Click(); },
     [](AppOnSim& t) {
       testing::click(t.form("TForm9"), "Button3");
       testing::click(t.form("TForm9"), "Button5");
     },
     "Button3", nullptr, "Button5", "Button7", Inverter::kCommand, 1, 0, Inverter::kOutputFrequency, true,
     &DriveLinkState::bpq_run_state, inverter_running, [](AppOnSim& t) { return t.st().bpq_restore_flags[0]; },
     [](AppOnSim&) { return uint16_t{4}; }, "退出前，请确保电机停止且变频器无故障！！", "请确保变频器无故障！！"},
    // No status read of its own: the read after the command is the only one.
    {"HomeAndLimits", "TForm13", connect_servo, [](AppOnSim& t) { t.app.main_window().N2Click(); },
     [](AppOnSim& t) { testing::click(t.form("TForm13"), "Button9"); }, "Button6", "Button7", "Button8", nullptr,
     sr::kCommand, sr::kCmdForward, sr::kCmdStop, sr::kStatusWord, false, &DriveLinkState::servo_run_state,
     servo_running, [](AppOnSim& t) { return uint8_t{t.st().servo_restore_flags[1] != 0}; }, servo_list_reg,
     "退出操作前，请先停止运转电机！！", nullptr},
};

enum class Action { Run, Stop, RestoreOnExit, SingleWrite };

struct Cell {
  const ControlTarget* target;  // null: the editor
  Action action;
};

struct FaultMatrix : ::testing::TestWithParam<std::tuple<Cell, FaultRow>> {
  AppOnSim t;
  const ControlTarget* target = std::get<0>(GetParam()).target;
  const FaultRow& f = std::get<1>(GetParam());

  QWidget* w() { return t.form(target ? target->form : "TForm18"); }
  sim::Station& drive() { return *t.sim.station(target ? 1 : 3); }
  uint8_t& run_state() { return (t.st().*target->run_state)[1]; }
  void click(const char* button) { testing::click(w(), button); }
  // Clicks return once their exchanges are over; a reply sent late or in
  // parts is let through before the next step.
  void quiet() { ASSERT_TRUE(wait_for([&] { return !t.sim.replies_pending() && t.st().sending == 0; })); }
  uint8_t truth() { return target->running(drive()) ? 1 : 0; }

  void prepare() {
    target->line(t);
    t.st().comm_timeout_ms = kTimeoutMs;
    target->open(t);
    ASSERT_TRUE(w()->isVisible());
  }

  // A command meets the fault: the drive's register says whether it acted,
  // the status read follows at once, and the run state is unknown until a
  // read that works settles it.
  void command_meets_the_fault(const char* button, uint16_t value, uint16_t before) {
    t.sim.clear_journal();
    t.sim.inject(1, fault_on(f, target->command_reg));
    if (target->settle_read_faulted) t.sim.inject(1, fault_on(f, target->status_reg));
    click(button);
    quiet();
    EXPECT_EQ(drive().reg(target->command_reg), f.executes ? value : before);

    const std::vector<Frame> sent = testing::frames_of(t.sim);
    const auto command = std::find(sent.begin(), sent.end(), testing::write(1, target->command_reg, value));
    ASSERT_NE(command, sent.end());
    ASSERT_NE(command + 1, sent.end());
    EXPECT_EQ(command[1].function, 3);
    EXPECT_EQ(command[1].start, target->status_reg);

    EXPECT_EQ(run_state(), target->settle_read_faulted ? BusControlWindow::kRunUnknown : truth());
    expect_interlocks();
    if (target->status_read) {
      click(target->status_read);
      EXPECT_EQ(run_state(), truth());
      expect_interlocks();
    }
  }

  // A drive that may run is never reversed (where the servo rule holds) and
  // keeps the user in the window; one known stopped lets them leave.
  void expect_interlocks() {
    if (run_state() == 0) return;
    t.sim.clear_journal();
    if (target->reverse) click(target->reverse);
    const int messages = t.notifier.messages.size();
    click("Button1");
    EXPECT_TRUE(w()->isVisible());
    EXPECT_EQ(t.notifier.messages.mid(messages), QStringList{QString::fromUtf8(target->running_text)});
    EXPECT_TRUE(testing::writes_of(t.sim).empty());
    // The refusal may switch continuous reading on; it is not part of the case.
    if (auto* reading = w()->findChild<QCheckBox*>(QStringLiteral("CheckBox1"))) reading->setChecked(false);
  }
};

TEST_P(FaultMatrix, LeavesNothingTheDriveDidNotConfirm) {
  switch (std::get<0>(GetParam()).action) {
    case Action::Run:
      prepare();
      command_meets_the_fault(target->forward, target->forward_value, target->stop_value);
      break;
    case Action::Stop:
      prepare();
      click(target->forward);
      ASSERT_EQ(run_state(), 1);
      command_meets_the_fault(target->stop, target->stop_value, target->forward_value);
      if (run_state() == 0) {
        click("Button1");
        EXPECT_FALSE(w()->isVisible());
      }
      break;
    case Action::RestoreOnExit: {
      prepare();
      target->take_over(t);
      ASSERT_EQ(run_state(), 0);
      ASSERT_EQ(target->restore_flag(t), 1);
      // The write's reply goes wrong, and so does the read-back that would
      // settle it.
      const uint16_t reg = target->restore_reg(t);
      t.sim.inject(1, fault_on(f, reg, 2));
      t.sim.clear_journal();
      click("Button1");

      quiet();
      // Only the drive's refusal keeps the user in; a line that gave no
      // valid reply lets them go, told that the restore failed.
      const bool stays = !f.executes && target->stay_text;
      EXPECT_EQ(w()->isVisible(), stays);
      EXPECT_EQ(t.notifier.messages.value(t.notifier.messages.size() - 1), stays ? QString::fromUtf8(target->stay_text) : kRestoreFailed);
      EXPECT_EQ(target->restore_flag(t), 1);
      if (!f.executes || w()->isVisible()) break;

      // Once more with only the write's reply wrong: the read-back finds the
      // drive holding the value, and the restore is done.
      t.sim.clear_faults();
      target->open(t);
      ASSERT_TRUE(w()->isVisible());
      quiet();
      t.sim.inject(1, fault_on(f, reg));
      t.sim.clear_journal();
      const qsizetype messages = t.notifier.messages.size();
      click("Button1");
      quiet();
      EXPECT_FALSE(w()->isVisible());
      EXPECT_EQ(t.notifier.messages.mid(messages), QStringList());
      EXPECT_EQ(target->restore_flag(t), 0);
      const std::vector<Frame> sent = testing::writes_of(t.sim);
      const auto last = std::find_if(sent.rbegin(), sent.rend(), [reg](const Frame& w) { return w.start == reg; });
      ASSERT_NE(last, sent.rend());
      EXPECT_EQ(drive().reg(reg), last->values[0]);
      break;
    }
    case Action::SingleWrite: {
      t.sim.add(sim::make_speed_controller(3, 1015, 5, 1));
      t.search(3);
      t.st().comm_timeout_ms = kTimeoutMs;
      t.app.main_window().N13Click();
      auto* editor = dynamic_cast<MenuEditorWindow*>(w());
      ASSERT_NE(editor, nullptr);
      auto* field = control<QLineEdit>(w(), "Edit1");
      const ParamRow& row = *editor->engine().row_of(QStringLiteral("Edit1"));
      // The write's reply goes wrong, the read-back works: the field shows
      // what the drive holds.
      drive().set_reg(3, 80);
      t.sim.inject(3, fault_on(f, 3));
      testing::type_and_enter(field, QStringLiteral("90"));
      quiet();
      EXPECT_EQ(drive().reg(3), f.executes ? 90 : 80);
      EXPECT_EQ(field->text(), QString::number(drive().reg(3)));
      EXPECT_FALSE(editor->engine().unconfirmed(row));
      // The read-back goes wrong too: the typed value, marked.
      drive().set_reg(3, 80);
      t.sim.inject(3, fault_on(f, 3, 2));
      testing::type_and_enter(field, QStringLiteral("70"));
      quiet();
      EXPECT_EQ(drive().reg(3), f.executes ? 70 : 80);
      EXPECT_EQ(field->text(), QStringLiteral("70"));
      EXPECT_TRUE(editor->engine().unconfirmed(row));
      EXPECT_TRUE(field->property("unconfirmed").toBool());
      // A read that works settles it.
      editor->read_menu();
      quiet();
      EXPECT_EQ(field->text(), QString::number(drive().reg(3)));
      EXPECT_FALSE(editor->engine().unconfirmed(row));
      EXPECT_FALSE(field->property("unconfirmed").toBool());
      break;
    }
  }
}

std::vector<Cell> cells() {
  std::vector<Cell> out;
  for (const ControlTarget& target : kControlTargets)
    for (Action a : {Action::Run, Action::Stop, Action::RestoreOnExit}) out.push_back({&target, a});
  out.push_back({nullptr, Action::SingleWrite});
  return out;
}

std::string cell_name(const ::testing::TestParamInfo<std::tuple<Cell, FaultRow>>& info) {
  static const char* const kActions[] = {"Run", "Stop", "RestoreOnExit", "SingleWrite"};
  const Cell& cell = std::get<0>(info.param);
  return std::string(cell.target ? cell.target->name : "SpeedCtlEditor") + "_" +
         kActions[static_cast<int>(cell.action)] + "_" + std::get<1>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(EveryFault, FaultMatrix, ::testing::Combine(::testing::ValuesIn(cells()), ::testing::ValuesIn(kFaults)),
                         cell_name);

}  // namespace
}  // namespace velmo
