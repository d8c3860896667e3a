// Each window's close box takes its own exit path; the program ends once every
// window has been left (starting no drive meanwhile), or on a second close.
#include <QLabel>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>

#include "common/menu_editor_window.h"
#include "common/run_control_window.h"
#include "link/clock_timer.h"
#include "main/program_close.h"
#include "main/signal_close.h"
#include "support/app_on_sim.h"

namespace velmo {
namespace {

using testing::Frame;
using testing::write;

// Servos 1 and 2, an inverter at 3 and a speed controller at 4, connected.
struct LineOfEveryFamily : ::testing::Test {
  void SetUp() override {
    t.sim.add(sim::make_servo(1, 6101, 101));
    t.sim.add(sim::make_servo(2, 6001, 102));
    t.sim.add(sim::make_inverter(3, 4015));
    t.sim.add(sim::make_speed_controller(4, 1015, 1, 1));
    t.search(4);
    ASSERT_EQ(t.st().connected, 1u);
    t.sim.clear_journal();
  }
  MainWindow& main() { return t.app.main_window(); }
  bool line_quiet() { return t.st().sending == 0 && t.st().write_busy == 0 && t.st().read_busy == 0; }
  // The inverter's four bus-control registers back as they were at the search.
  std::vector<Frame> inverter_restore() {
    std::vector<Frame> out;
    for (int reg : {4, 5, 8, 9}) out.push_back(write(3, reg, t.sim.station(3)->reg(reg)));
    return out;
  }
  // Whether `want` went out to its station in this order (other frames between).
  bool sent_in_order(const std::vector<Frame>& want) {
    const std::vector<Frame> sent = t.writes(want.front().station);
    return std::search(sent.begin(), sent.end(), want.begin(), want.end()) != sent.end();
  }
  testing::AppOnSim t;
};

TEST_F(LineOfEveryFamily, TheCloseBoxOfEachWindowTakesItsOwnExitPath) {
  DriveLinkState& st = t.st();
  struct Case {
    const char* form;
    std::function<void()> open;
    uint8_t* taken_over;  // what leaving must put back; null: nothing
    uint8_t by;           // the window that took it over, as its flag says
    std::vector<Frame> restore;
  };
  const Case cases[] = {
      {"TForm3", [&] { main().N12Click(); }, &st.servo_restore_flags[1], 3, t.restore_writes(1)},
      {"TForm4", [&] { main().N6Click(); }, &st.servo_restore_flags[1], 4, t.restore_writes(1)},
      {"TForm13", [&] { main().N2Click(); }, &st.servo_restore_flags[1], 13, t.restore_writes(1)},
      {"TForm9", [&] { main().N8Click(); }, &st.bpq_restore_flags[0], 1, inverter_restore()},
      {"TForm19", [&] { main().RS4851Click(); }, &st.tsq_restore_flags[0], 1, {write(4, 2, 1)}},
      {"TForm8", [&] { main().N11Click(); }, nullptr, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.form);
    QWidget* w = t.form(c.form);
    c.open();
    ASSERT_TRUE(w->isVisible());
    ASSERT_TRUE(testing::wait_for([&] { return line_quiet(); }));
    if (c.taken_over) *c.taken_over = c.by;
    t.sim.clear_journal();
    w->close();
    ASSERT_TRUE(testing::wait_for([&] { return !w->isVisible(); }, 10000));
    EXPECT_EQ(st.active_form, 1);
    EXPECT_FALSE(main().isMinimized());
    if (c.taken_over) {
      EXPECT_TRUE(sent_in_order(c.restore));
      EXPECT_EQ(*c.taken_over, 0);
    } else {
      EXPECT_TRUE(t.sim.requests().empty());
    }
  }
  EXPECT_TRUE(t.notifier.messages.isEmpty()) << t.notifier.messages.join(QLatin1Char('\n')).toStdString();
}

// Refused (servo 1), the window stays; unanswered (speed controller 4), it goes.
TEST_F(LineOfEveryFamily, ARefusedOrUnansweredRestoreKeepsTheProgramOpenUntilASecondCloseWarnsAndEnds) {
  QSignalSpy closed(&main(), &MainWindow::closed);
  DriveLinkState& st = t.st();
  main().show();
  main().N6Click();
  main().N8Click();
  main().RS4851Click();
  QWidget *servo = t.form("TForm4"), *inverter = t.form("TForm9"), *speed = t.form("TForm19");
  ASSERT_TRUE(testing::wait_for([&] { return line_quiet(); }));
  st.servo_restore_flags[1] = 4;
  st.bpq_restore_flags[0] = st.tsq_restore_flags[0] = 1;
  t.sim.inject(1, testing::fault(sim::Fault::Exception, 0x0000, -1));  // F0-00
  t.sim.inject(4, testing::fault(sim::Fault::Silent, 2, -1));         // F-02
  t.sim.clear_journal();
  // Another exchange holds the line: the exits wait for it.
  st.write_busy = 1;
  EXPECT_FALSE(main().close());
  st.write_busy = 0;
  // A forward clicked meanwhile in a window not yet left starts nothing.
  qobject_cast<BusControlWindow*>(inverter)->issue(RunControlWindow::kForward, 3);
  ASSERT_TRUE(testing::wait_for([&] { return !main().program_close().leaving(); }, 20000));
  EXPECT_TRUE(servo->isVisible());
  EXPECT_EQ(control<QLabel>(servo, "Panel1")->text(), QStringLiteral("恢复相关参数失败！！"));
  EXPECT_FALSE(inverter->isVisible());
  EXPECT_EQ(t.writes(3), inverter_restore());
  EXPECT_FALSE(speed->isVisible());
  EXPECT_EQ(closed.count(), 0);
  EXPECT_EQ(control<QLabel>(&main(), "Panel1")->text(), QStringLiteral("程序未关闭：有窗口仍控制着驱动器"));
  const QString held = QStringLiteral("“驱动器 RS-485通讯控制”、“调速器 RS-485通讯控制”");
  EXPECT_TRUE(testing::memo_lines(&main(), "Memo2").last().startsWith(QStringLiteral("程序未关闭：") + held + "仍控制着驱动器**"));
  EXPECT_TRUE(t.notifier.messages.last().startsWith(held + QStringLiteral("仍控制着驱动器（")));
  EXPECT_FALSE(qobject_cast<VelmoWindow*>(servo)->program_closing());  // the window works as before
  // The second close tries every window again; servo 1 still refuses, and
  // the program ends after the warning. Nothing goes out after that.
  t.notifier.messages.clear();
  t.sim.clear_journal();
  EXPECT_FALSE(main().close());
  ASSERT_TRUE(testing::wait_for([&] { return closed.count() == 1; }, 20000));
  EXPECT_EQ(t.writes(1).front(), write(1, 0x0000, 9));
  EXPECT_EQ(t.notifier.messages.last(), held + QStringLiteral("仍控制着驱动器，驱动器可能仍在运行！！程序将退出"));
  const size_t sent = t.sim.requests().size();
  testing::pass_time(5000);
  EXPECT_EQ(t.sim.requests().size(), sent);
}

// The close lands in the middle of the servo editor's download: the
// download goes to its end, then every window is left as usual (the stopped
// inverter gets its settings back) and the program ends.
TEST_F(LineOfEveryFamily, ACloseDuringADownloadWaitsForItThenLeavesEveryWindowAndEnds) {
  QSignalSpy closed(&main(), &MainWindow::closed);
  main().N8Click();
  t.st().bpq_restore_flags[0] = 1;
  main().N5Click();
  auto* editor = qobject_cast<MenuEditorWindow*>(t.form("TForm2"));
  ASSERT_TRUE(testing::wait_for([&] { return line_quiet(); }));
  t.sim.clear_journal();
  auto* poll = new ClockTimer(editor);
  QObject::connect(poll, &ClockTimer::timeout, editor, [&, poll] {
    if (t.writes(1).size() < 3) return;
    poll->stop();
    EXPECT_FALSE(main().close());
  });
  poll->start(1);
  editor->download_menu();
  ASSERT_TRUE(testing::wait_for([&] { return closed.count() == 1; }, 20000));
  EXPECT_EQ(control<QLabel>(editor, "Panel1")->text(), QStringLiteral("节点1：菜单下载成功"));
  EXPECT_FALSE(editor->isVisible());
  EXPECT_TRUE(sent_in_order(inverter_restore()));
  EXPECT_TRUE(t.notifier.messages.isEmpty()) << t.notifier.messages.join('\n').toStdString();
}

// Signals close the program as the close box does: the first, while the
// inverter runs, leaves the program held by its window; the engineer stops
// it, and the second one leaves the window, restoring the drive, and ends.
TEST_F(LineOfEveryFamily, ASignalClosesAsTheCloseBoxAndASecondOneAsTheSecondClose) {
  QSignalSpy closed(&main(), &MainWindow::closed);
  SignalClose from_signals([this] { main().close_on_signal(); });
  main().N8Click();
  QWidget* inverter = t.form("TForm9");
  testing::click(inverter, "Button3");
  ASSERT_EQ(t.st().bpq_run_state[3], 1);
  ::raise(SIGTERM);
  ASSERT_TRUE(testing::wait_for([&] { return main().program_close().held_windows() == QStringList{"TForm9"}; }));
  EXPECT_EQ(closed.count(), 0);
  EXPECT_TRUE(inverter->isVisible());
  testing::click(inverter, "Button5");
  t.sim.clear_journal();
  ::raise(SIGINT);
  ASSERT_TRUE(testing::wait_for([&] { return closed.count() == 1; }));
  EXPECT_FALSE(inverter->isVisible());
  EXPECT_TRUE(sent_in_order(inverter_restore()));
}

}  // namespace
}  // namespace velmo
