// Each window's close box takes its own exit path; the program ends once every
// window has been left (starting no drive meanwhile), or on a second close or
// a signal, which stop every running drive before giving it back.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <functional>
#include <map>

#include "common/menu_editor_window.h"
#include "common/run_control_window.h"
#include "link/clock_timer.h"
#include "main/program_close.h"
#include "main/signal_close.h"
#include "sim/inverter_station.h"
#include "sim/speed_controller_station.h"
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
  // The box tells where each window is to be found: the one left is reopened from the main menu.
  EXPECT_TRUE(t.notifier.messages.last().contains(
      QStringLiteral("请在“驱动器 RS-485通讯控制”中处理后退出；“调速器 RS-485通讯控制”已关闭，请从主菜单重新打开后处理；")))
      << t.notifier.messages.last().toStdString();
  EXPECT_FALSE(qobject_cast<VelmoWindow*>(servo)->program_closing());  // the window works as before
  // The second close tries every window again; servo 1 still refuses, and
  // the program ends after the warning. Nothing goes out after that.
  t.notifier.messages.clear();
  t.sim.clear_journal();
  EXPECT_FALSE(main().close());
  ASSERT_TRUE(testing::wait_for([&] { return closed.count() == 1; }, 20000));
  EXPECT_EQ(t.writes(1).front(), write(1, 0x0000, 9));
  EXPECT_EQ(t.notifier.messages.last(), held + QStringLiteral("的驱动器未能停止或恢复，驱动器可能仍在运行！！程序将退出"));
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

// The second close and any signal end the program; before that each drive
// a window runs is stopped with that window's own stop command, then given
// back. What the drives hold is read from the simulated stations themselves.
struct EveryDriveRunning : LineOfEveryFamily {
  void SetUp() override {
    LineOfEveryFamily::SetUp();
    snapshot = t.restore_writes(1);
    jog_snapshot = t.restore_writes(2);
    // As the stations held them before any window took them over.
    for (int k = 0; k < 4; ++k) inverter_at_search[k] = t.sim.station(3)->reg(kBusRegs[k]);
    speed_controller_at_search = t.sim.station(4)->reg(2);
    // Servo 1 at speed in TForm4, servo 2 jogging in TForm13, the inverter
    // and the speed controller forward in their windows.
    main().N6Click();
    QWidget* servo = t.form("TForm4");
    select_station(servo, "ComboBox4", 1);
    QTest::mouseClick(control<QAbstractButton>(servo, "RadioButton2"), Qt::LeftButton);
    ASSERT_TRUE(testing::wait_for([&] { return line_quiet() && control<QPushButton>(servo, "Button6")->isEnabled(); }));
    testing::click(servo, "Button6");
    main().N2Click();
    QWidget* jog = t.form("TForm13");
    select_station(jog, "ComboBox4", 2);
    testing::click(jog, "Button9");
    testing::click(jog, "Button6");
    main().N8Click();
    testing::click(t.form("TForm9"), "Button3");
    main().RS4851Click();
    testing::click(t.form("TForm19"), "Button3");
    ASSERT_TRUE(testing::wait_for([&] { return line_quiet(); }));
    ASSERT_EQ(t.st().servo_run_state[1], 1);
    ASSERT_EQ(t.st().servo_run_state[2], 1);
    ASSERT_EQ(t.st().bpq_run_state[3], 1);
    ASSERT_EQ(t.st().tsq_run_state[4], 1);
    t.sim.clear_journal();
    t.notifier.messages.clear();
  }
  static void select_station(QWidget* w, const char* list, int station) {
    testing::select_node(control<QComboBox>(w, list), station);
  }
  // Each drive got its stop before its settings went back, holds them now,
  // and nothing went out after the program ended.
  void expect_stopped_then_given_back(QSignalSpy& closed) {
    ASSERT_TRUE(testing::wait_for([&] { return closed.count() == 1; }, 30000));
    EXPECT_TRUE(sent_in_order({write(1, 0x1004, 0), snapshot.front()}));
    EXPECT_TRUE(sent_in_order({write(2, 0x1004, 0), jog_snapshot.front()}));
    EXPECT_TRUE(sent_in_order({write(3, 0x1000, 0), inverter_restore().front()}));
    EXPECT_TRUE(sent_in_order({write(4, 0x1000, 0), write(4, 2, 1)}));
    const size_t sent = t.sim.requests().size();
    testing::pass_time(5000);
    EXPECT_EQ(t.sim.requests().size(), sent);
    // Read from the stations: stopped, and under their own settings again.
    std::map<int, int> last;
    for (const Frame& f : snapshot) last[f.start] = f.values[0];
    for (auto [reg, value] : last) EXPECT_EQ(t.servo(1).reg(static_cast<uint16_t>(reg)), value) << reg;
    std::map<int, int> jog_last;
    for (const Frame& f : jog_snapshot) jog_last[f.start] = f.values[0];
    for (auto [reg, value] : jog_last) EXPECT_EQ(t.servo(2).reg(static_cast<uint16_t>(reg)), value) << reg;
    for (uint8_t a : {1, 2}) EXPECT_EQ(t.servo(a).reg(0x1004), 0);
    EXPECT_EQ(t.sim.station(3)->reg(sim::InverterStation::kRunState), sim::InverterStation::kStateStopped);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(t.sim.station(3)->reg(kBusRegs[k]), inverter_at_search[k]);
    EXPECT_EQ(t.sim.station(4)->reg(sim::SpeedControllerStation::kCommand), 0);
    EXPECT_EQ(t.sim.station(4)->reg(2), speed_controller_at_search);
  }
  static constexpr uint16_t kBusRegs[] = {4, 5, 8, 9};
  std::vector<Frame> snapshot, jog_snapshot;
  std::array<uint16_t, 4> inverter_at_search{};
  uint16_t speed_controller_at_search = 0;
};

// The engineer's first close keeps the program open with the running
// windows' own boxes; the second one stops and gives back every drive.
TEST_F(EveryDriveRunning, TheSecondCloseStopsEachRunningDriveThenGivesItBackAndEnds) {
  QSignalSpy closed(&main(), &MainWindow::closed);
  EXPECT_FALSE(main().close());
  ASSERT_TRUE(testing::wait_for([&] { return !main().program_close().leaving(); }, 20000));
  EXPECT_EQ(closed.count(), 0);
  EXPECT_EQ(main().program_close().held_windows(), (QStringList{"TForm4", "TForm9", "TForm13", "TForm19"}));
  EXPECT_TRUE(t.writes().empty());  // nothing stopped, nothing given back
  t.notifier.messages.clear();
  EXPECT_FALSE(main().close());
  expect_stopped_then_given_back(closed);
  // Everything went back: no window is named.
  EXPECT_TRUE(t.notifier.messages.isEmpty()) << t.notifier.messages.join('\n').toStdString();
}

// A signal nobody can answer ends the program at once, even while the box
// the engineer's close opened waits for an answer; what the boxes would have
// said goes to the process log.
TEST_F(EveryDriveRunning, ASignalEndsTheProgramWhileABoxWaitsForAnAnswer) {
  QSignalSpy closed(&main(), &MainWindow::closed);
  SignalClose from_signals([this] { main().close_on_signal(); });
  t.notifier.show_boxes = true;
  bool box_seen = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (box_seen || !QApplication::activeModalWidget()) return;
    box_seen = true;
    ::raise(SIGTERM);
  });
  watch.start(5);
  EXPECT_FALSE(main().close());
  expect_stopped_then_given_back(closed);
  EXPECT_TRUE(box_seen);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  const QStringList log = testing::memo_lines(&main(), "Memo2");
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const QString& l) { return l.startsWith(QStringLiteral("收到退出信号")); }));
}

// A signal during the search or the connect step cuts it at the exchange in
// flight: the stations not yet asked are not searched, the connect step
// reads nothing more, and the program ends with nothing sent after.
TEST(SignalDuringTheSearch, CutsTheSearchOrConnectStepAtTheExchangeInFlightAndEnds) {
  struct Case {
    const char* what;
    int signal;
    std::function<bool(const Frame&)> cut_at;  // the request in flight when the signal comes
    const char* line;                           // what the process log says of the cut
  };
  const Case cases[] = {
      {"search", SIGHUP, [](const Frame& f) { return f.function == 3 && f.start == 0x00AB && f.station == 6; },
       "程序关闭，节点搜索已中断**"},
      {"connect step", SIGINT, [](const Frame& f) { return f.function == 3 && f.start == 0x0001; },
       "程序关闭，读取系统参数已中断**"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::AppOnSim t;
    t.sim.add(sim::make_servo(1, 6101, 101));
    t.sim.add(sim::make_inverter(3, 4015));
    // The connect step's line check takes a while: the signal comes inside it.
    sim::Fault slow = testing::fault(sim::Fault::Late, 0x0001);
    slow.delay_ms = 100;
    t.sim.inject(1, slow);
    MainWindow& main = t.app.main_window();
    QSignalSpy closed(&main, &MainWindow::closed);
    SignalClose from_signals([&main] { main.close_on_signal(); });
    auto in_flight = [&] {
      const std::vector<Frame> sent = testing::frames_of(t.sim);
      return std::find_if(sent.begin(), sent.end(), c.cut_at) != sent.end();
    };
    auto* poll = new ClockTimer(&main);
    QObject::connect(poll, &ClockTimer::timeout, poll, [&, poll] {
      if (!in_flight()) return;
      poll->stop();
      ::raise(c.signal);
    });
    poll->start(1);
    t.search(30);
    ASSERT_TRUE(testing::wait_for([&] { return closed.count() == 1; }, 30000));
    const std::vector<Frame> sent = testing::frames_of(t.sim);
    const auto cut = std::find_if(sent.begin(), sent.end(), c.cut_at);
    ASSERT_NE(cut, sent.end());
    EXPECT_EQ(cut + 1, sent.end()) << "asked after the cut: " << cut[1];
    EXPECT_EQ(t.st().connected, 0);
    const QStringList log = testing::memo_lines(&main, "Memo2");
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const QString& l) { return l.startsWith(QString::fromUtf8(c.line)); }))
        << log.join('\n').toStdString();
    const size_t count = t.sim.requests().size();
    testing::pass_time(5000);
    EXPECT_EQ(t.sim.requests().size(), count);
  }
}

// The reply to the restore's own 0x0000 := 9 comes back garbled: the drive
// is read back, holds the value, and the restore counts as done.
TEST_F(LineOfEveryFamily, ARestoreStepWhoseReplyWasGarbledIsSettledByReadingTheDriveBack) {
  main().N6Click();
  QWidget* servo = t.form("TForm4");
  ASSERT_TRUE(testing::wait_for([&] { return line_quiet(); }));
  t.st().servo_restore_flags[1] = 4;
  const std::vector<Frame> restore = t.restore_writes(1);
  t.sim.inject(1, testing::fault(sim::Fault::BadCrc, 0x0000, 1, 6));
  t.sim.clear_journal();
  testing::click(servo, "Button1");
  ASSERT_TRUE(testing::wait_for([&] { return !servo->isVisible(); }, 10000));
  EXPECT_EQ(t.writes(1), restore);
  EXPECT_EQ(t.st().servo_restore_flags[1], 0);
  EXPECT_FALSE(qobject_cast<VelmoWindow*>(servo)->holds_drive());
  const QStringList log = testing::memo_lines(&main(), "Memo2");
  EXPECT_TRUE(log.contains(QStringLiteral("节点1：寄存器0的写入应答无效，读回为9，已写入"))) << log.join('\n').toStdString();
  EXPECT_FALSE(log.join('\n').contains(QStringLiteral("恢复失败"))) << log.join('\n').toStdString();
  // The last value written to each register is what the drive holds.
  std::map<int, int> last;
  for (const Frame& f : restore) last[f.start] = f.values[0];
  for (auto [reg, value] : last) EXPECT_EQ(t.servo(1).reg(static_cast<uint16_t>(reg)), value) << reg;
  EXPECT_TRUE(t.notifier.messages.isEmpty()) << t.notifier.messages.join('\n').toStdString();
}

// An inverter found under bus control at the search: its own settings are
// unknown, the window says so and gives nothing back on leaving.
// Inverter 3 (4/5/8/9 at 4/4/8/8) and servo 1 (F0-00 at 9) were under bus
// control before the search: each window says so and puts nothing back.
TEST(FoundUnderBusControl, TheWindowSaysSoAndRestoresNothing) {
  testing::AppOnSim t;
  t.sim.add(sim::make_servo(1));
  t.sim.add(sim::make_inverter(3, 4015));
  t.sim.station(1)->set_reg(0, 9);
  for (auto [reg, value] : {std::pair{4, 4}, {5, 4}, {8, 8}, {9, 8}}) t.sim.station(3)->set_reg(reg, value);
  t.search(3);
  ASSERT_EQ(t.st().connected, 1u);
  t.app.main_window().N6Click();
  QWidget* servo = t.form("TForm4");
  testing::click(servo, "RadioButton2");
  ASSERT_TRUE(testing::wait_for([&] { return t.st().write_busy == 0; }));
  EXPECT_EQ(control<QLabel>(servo, "Panel1")->text(), QStringLiteral("节点1：已处于RS485控制（原设置未知，退出时不恢复）"));
  t.sim.clear_journal();
  testing::click(servo, "Button1");
  ASSERT_TRUE(testing::wait_for([&] { return !servo->isVisible(); }));
  EXPECT_TRUE(t.writes(1).empty());
  t.app.main_window().N8Click();
  QWidget* inverter = t.form("TForm9");
  testing::click(inverter, "Button3");
  EXPECT_EQ(control<QLabel>(inverter, "Panel1")->text(), QStringLiteral("节点3：已处于RS485控制（原设置未知，退出时不恢复）"));
  testing::click(inverter, "Button5");
  t.sim.clear_journal();
  testing::click(inverter, "Button1");
  ASSERT_TRUE(testing::wait_for([&] { return !inverter->isVisible(); }));
  EXPECT_TRUE(t.writes(3).empty());
}

}  // namespace
}  // namespace velmo
