// The servo RS-485 control window, driven by objectName against simulated
// servo drives on a pty.
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QRegularExpression>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

#include "common/status_lamp.h"
#include "link/modbus_frame.h"
#include "main/main_window.h"
#include "servo/servo_control_window.h"
#include "sim/servo_registers.h"
#include "sim/servo_station.h"
#include "support/app_on_sim.h"
#include "support/wait.h"

namespace velmo {
namespace {

using velmo::testing::wait_for;
namespace sr = sim::servo_regs;

using testing::Frame;
using testing::fault;
using testing::read;
using testing::write;

struct ServoControlTest : ::testing::Test {
  velmo::testing::AppOnSim t;
  ServoControlWindow* w = nullptr;
  QMetaObject::Connection armed;

  void SetUp() override {
    t.sim.add(sim::make_servo(1, 6101, 101));  // layout 1
    t.sim.add(sim::make_servo(2, 6101, 102));  // layout 2
    t.search(2);
    ASSERT_EQ(t.st().connected, 1u);
    ASSERT_EQ(t.st().servo_count, 2);
    // Replies come at once (or 150 ms late where a test says so); failures
    // are injected, so a long timeout costs nothing.
    t.st().comm_timeout_ms = 2000;
    for (uint8_t a : {1, 2}) servo(a).set_ramp(1e6);
    w = dynamic_cast<ServoControlWindow*>(t.form("TForm4"));
    ASSERT_NE(w, nullptr);
    t.app.main_window().N6Click();
    ASSERT_TRUE(w->isVisible());
    settle();
    t.sim.clear_journal();
  }

  void TearDown() override { QObject::disconnect(armed); }

  sim::ServoStation& servo(uint8_t a) { return t.servo(a); }
  template <typename T>
  T* ctl(const char* name) {
    T* found = t.ctl<T>("TForm4", name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  void click(const char* name) { QTest::mouseClick(ctl<QAbstractButton>(name), Qt::LeftButton); }
  QString panel() { return ctl<QLabel>("Panel1")->text(); }
  QStringList lines(const char* memo) { return testing::memo_lines(w, memo); }
  QString text(const char* edit) { return ctl<QLineEdit>(edit)->text(); }
  bool lit(const char* lamp) { return ctl<StatusLamp>(lamp)->lit(); }
  void select_node(int a) {
    auto* box = ctl<QComboBox>("ComboBox4");
    box->setCurrentIndex(box->findText(QString::number(a)));
  }
  void set_field(const char* edit, const QString& value) {
    QLineEdit* e = ctl<QLineEdit>(edit);
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, value);
  }

  bool idle() {
    const DriveLinkState& s = t.st();
    return s.read_busy == 0 && s.write_busy == 0 && s.sending == 0 && w->pending().empty();
  }
  void settle() { ASSERT_TRUE(wait_for([&] { return idle(); })); }

  std::vector<Frame> requests() { return testing::frames_of(t.sim); }
  std::vector<Frame> writes() { return testing::writes_of(t.sim); }

  // Runs the action inside the wait of the window's next request: queued
  // from the moment the request's traffic line is logged, so it runs at the
  // wait's first turn of the event loop, long before the delayed reply.
  void during_next_request(std::function<void()> action) {
    QObject::disconnect(armed);
    auto* memo = qobject_cast<LogView*>(ctl<QPlainTextEdit>("Memo1"));
    ASSERT_NE(memo, nullptr);
    armed = QObject::connect(memo, &LogView::line_added, memo, [this, memo, action](const QString& line) {
      if (!line.endsWith(QStringLiteral("**"))) return;
      QObject::disconnect(armed);
      EXPECT_EQ(t.st().sending, 1);
      QTimer::singleShot(0, memo, action);
    });
  }

  // Every request is answered before the next one goes out, and nobody
  // tried to start an exchange inside another.
  void expect_one_exchange_at_a_time() {
    EXPECT_TRUE(testing::one_request_at_a_time(t.sim));
    EXPECT_EQ(t.st().refused_count, 0u);
  }

  void enter_mode(const char* radio, int node, uint8_t mode) {
    select_node(node);
    click(radio);
    settle();
    ASSERT_EQ(t.st().servo_rs485_mode[node], mode);
  }

  void run_forward_speed(int node) {
    enter_mode("RadioButton2", node, ServoControlWindow::kModeSpeed);
    ASSERT_TRUE(wait_for([&] { return ctl<QPushButton>("Button6")->isEnabled(); }));
    click("Button9");  // the default run values
    settle();
    click("Button6");
    settle();
    ASSERT_EQ(t.st().servo_run_state[node], 1);
  }

  std::vector<Frame> restore_writes(int a) { return t.restore_writes(a); }
};

// ------------------------------------------------------------ opening

TEST_F(ServoControlTest, OpeningReadsTheStatusAndStartsTheReplayTimer) {
  EXPECT_EQ(panel(), QStringLiteral("节点1：伺服状态信息读取成功！！"));
  EXPECT_EQ(text("Edit14"), QStringLiteral("无故障"));
  EXPECT_TRUE(lit("Shape1"));
  EXPECT_GE(t.st().read_ok_count, 2);
  EXPECT_TRUE(w->Timer2()->isActive());
  EXPECT_FALSE(w->Timer1()->isActive());
  EXPECT_EQ(t.st().active_form, 4);
  EXPECT_FALSE(ctl<QGroupBox>("GroupBox3")->isEnabled());
  EXPECT_FALSE(ctl<QPushButton>("Button6")->isEnabled());
  EXPECT_FALSE(ctl<QPushButton>("Button10")->isEnabled());
}

// ------------------------------------------------------------ run and stop

// Each mode end to end, speed on drive 1 and torque on drive 2: entry,
// settings, forward, a reverse while running (ignored), stop, reverse, stop.
TEST_F(ServoControlTest, RunAndStopEndToEndInBothModes) {
  struct Case {
    int node;
    const char* radio;
    uint16_t mode;
    const char *forward, *reverse, *stop, *other_forward, *lamp, *other_lamp, *settings;
    std::function<void()> fill;
    std::vector<Frame> settings_sent;
    QStringList settings_logged;
  };
  const Case cases[] = {
      {1, "RadioButton2", 1, "Button6", "Button7", "Button8", "Button10", "Shape11", "Shape12", "Button9",
       [&] { set_field("Edit2", QStringLiteral("1500")); },
       {write(1, 0x006E, 1), write(1, 0x1005, 0), write(1, 0x1007, 300), write(1, 0x1006, 1500)},
       {QStringLiteral("节点1：运转速度值设置成功！！")}},
      {2, "RadioButton3", 2, "Button10", "Button11", "Button12", "Button6", "Shape12", "Shape11", "Button13",
       [&] {
         set_field("Edit4", QStringLiteral("80"));
         set_field("Edit5", QStringLiteral("1200"));
         ctl<QComboBox>("ComboBox7")->setCurrentIndex(1);
         ctl<QComboBox>("ComboBox3")->setCurrentIndex(1);
       },
       {write(2, 0x0086, 2), write(2, 0x1008, 1), write(2, 0x100A, 1200), write(2, 0x1009, 80)},
       {QStringLiteral("节点2：失电制动器控制成功！！"), QStringLiteral("节点2：锁轴控制成功！！"),
        QStringLiteral("节点2：转速限制值设置成功！！"), QStringLiteral("节点2：转矩值设置成功！！")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.radio);
    const auto a = static_cast<uint8_t>(c.node);
    select_node(c.node);
    t.sim.clear_journal();
    click(c.radio);
    settle();
    EXPECT_EQ(writes(), (std::vector<Frame>{write(a, 0x0000, 9), write(a, 0x1004, 0), write(a, 0x1003, c.mode)}));
    EXPECT_EQ(t.st().servo_restore_flags[c.node], 4);  // this window's to restore
    ASSERT_TRUE(wait_for([&] { return ctl<QPushButton>(c.forward)->isEnabled(); }));
    EXPECT_TRUE(ctl<QRadioButton>(c.radio)->isChecked());
    EXPECT_FALSE(ctl<QPushButton>(c.other_forward)->isEnabled());
    EXPECT_TRUE(lit(c.lamp));
    EXPECT_FALSE(lit(c.other_lamp));

    c.fill();
    t.sim.clear_journal();
    click(c.settings);
    settle();
    EXPECT_EQ(writes(), c.settings_sent);
    const QStringList ok = lines("Memo2");
    EXPECT_EQ(ok.mid(ok.size() - c.settings_logged.size()), c.settings_logged);

    t.sim.clear_journal();
    click(c.forward);
    settle();
    EXPECT_EQ(writes(), std::vector<Frame>{write(a, 0x1004, 1)});
    EXPECT_EQ(t.st().servo_run_state[c.node], 1);
    servo(a).advance(1.0);
    click("Button14");
    settle();
    const QString forward_speed = text("Edit6");
    EXPECT_GT(forward_speed.toInt(), 0);
    EXPECT_TRUE(lit("Shape2"));
    EXPECT_FALSE(lit("Shape1"));

    // Reverse while running: no request, nothing stored, no message.
    t.sim.clear_journal();
    const QString before = panel();
    click(c.reverse);
    EXPECT_TRUE(w->pending().empty());
    EXPECT_EQ(t.st().servo_pending_cmd, 0);
    settle();
    EXPECT_TRUE(requests().empty());
    EXPECT_EQ(panel(), before);

    click(c.stop);
    settle();
    EXPECT_EQ(t.st().servo_run_state[c.node], 0);
    click(c.reverse);
    settle();
    servo(a).advance(1.0);
    click("Button14");
    settle();
    EXPECT_EQ(text("Edit6"), QLatin1Char('-') + forward_speed);
    EXPECT_TRUE(lit("Shape3"));
    click(c.stop);
    settle();
    EXPECT_EQ(t.st().servo_run_state[c.node], 0);
  }
  EXPECT_EQ(lines("Memo2").mid(0, 3),
            (QStringList{QStringLiteral("节点1：设置为485控制模式！！"), QStringLiteral("节点1：停止运转！！"),
                         QStringLiteral("节点1：设置为485控制速度模式！！")}));
  EXPECT_TRUE(lines("Memo3").isEmpty());
}

// The exit is refused while the drive is faulted; once reset it is allowed
// again.
TEST_F(ServoControlTest, FaultWhileRunningShowsLampsTextAndRunStateAndHoldsTheExit) {
  run_forward_speed(1);
  sim::servo_set_fault(*t.sim.station(1), 5);
  click("Button14");
  settle();
  EXPECT_TRUE(lit("Shape4"));
  EXPECT_FALSE(lit("Shape2"));
  EXPECT_FALSE(lit("Shape1"));
  EXPECT_EQ(t.st().servo_run_state[1], 2);
  EXPECT_EQ(text("Edit14"), QStringLiteral("Er-4"));
  EXPECT_EQ(text("Edit15"), QStringLiteral("过电压"));

  t.notifier.messages.clear();
  t.sim.clear_journal();
  click("Button1");
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(t.notifier.messages, QStringList{QStringLiteral("退出前，请确保电机停止且驱动器无故障！！")});
  EXPECT_TRUE(requests().empty());

  click("Button15");
  settle();
  EXPECT_EQ(panel(), QStringLiteral("节点1：故障复位成功！！"));
  EXPECT_EQ(t.st().servo_run_state[1], 0);
  EXPECT_EQ(t.st().servo_rs485_mode[1], 0);
  EXPECT_FALSE(ctl<QRadioButton>("RadioButton2")->isChecked());
  click("Button14");
  settle();
  EXPECT_EQ(text("Edit14"), QStringLiteral("无故障"));
  EXPECT_EQ(text("Edit15"), QString());
  click("Button1");
  settle();
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(t.st().servo_any_running, 0);
}

TEST_F(ServoControlTest, ModeEntryFailuresAndRepeats) {
  // The bus-mode write fails, the control-mode write decides: mode taken.
  t.sim.inject(1, fault(sim::Fault::Exception, 0x0000));
  click("RadioButton2");
  settle();
  const QString entry_incomplete = QStringLiteral("节点1：485控制模式切换未全部成功（485控制模式设置失败）**");
  EXPECT_EQ(lines("Memo3"), (QStringList{QStringLiteral("节点1：485控制模式设置失败**"), entry_incomplete}));
  EXPECT_EQ(panel(), entry_incomplete);
  EXPECT_EQ(t.st().servo_rs485_mode[1], ServoControlWindow::kModeSpeed);

  // Entering the mode the node is in sends nothing; the mirror brings the
  // run buttons back.
  t.sim.clear_journal();
  click("RadioButton2");
  settle();
  EXPECT_TRUE(requests().empty());
  EXPECT_TRUE(wait_for([&] { return ctl<QPushButton>("Button6")->isEnabled(); }));

  // The torque entry fails on the control-mode write: nothing changes.
  t.sim.inject(1, fault(sim::Fault::Exception, 0x1003));
  click("RadioButton3");
  settle();
  // The one step that decides ends it with its own line.
  EXPECT_EQ(lines("Memo3").last(), QStringLiteral("节点1：转矩模式设置失败！！"));
  EXPECT_EQ(panel(), QStringLiteral("节点1：转矩模式设置失败！！"));
  EXPECT_EQ(t.st().servo_rs485_mode[1], ServoControlWindow::kModeSpeed);
  EXPECT_TRUE(wait_for([&] { return ctl<QRadioButton>("RadioButton2")->isChecked(); }));
  EXPECT_FALSE(ctl<QRadioButton>("RadioButton3")->isChecked());
}

// ------------------------------------------------------------ status read

// A failed status read keeps what is shown and stops the continuous reading;
// only the window's own read on a dead line resets the run state.
TEST_F(ServoControlTest, StatusReadFailures) {
  run_forward_speed(1);
  servo(1).advance(1.0);
  click("Button14");
  settle();
  const QString speed = text("Edit6");
  ASSERT_EQ(speed, QStringLiteral("1000"));

  ctl<QComboBox>("ComboBox5")->setCurrentIndex(4);  // 20 s: no poll of its own in this test
  ctl<QCheckBox>("CheckBox1")->setChecked(true);
  EXPECT_TRUE(w->Timer1()->isActive());
  EXPECT_FALSE(ctl<QPushButton>("Button1")->isEnabled());

  // A reply one byte short is not taken as values; the fault read works.
  const int ok = t.st().read_ok_count, failed = t.st().read_fail_count;
  t.sim.inject(1, [] {
    sim::Fault f = fault(sim::Fault::Short, sr::kStatusWord);
    f.short_by = 1;
    return f;
  }());
  w->Button14Click();
  settle();
  EXPECT_EQ(text("Edit6"), speed);
  EXPECT_EQ(lines("Memo3"), QStringList{QStringLiteral("节点1：伺服状态信息读取失败**")});
  EXPECT_EQ(t.st().read_ok_count, ok + 1);
  EXPECT_EQ(t.st().read_fail_count, failed + 1);
  EXPECT_FALSE(ctl<QCheckBox>("CheckBox1")->isChecked());
  EXPECT_FALSE(w->Timer1()->isActive());
  EXPECT_TRUE(ctl<QPushButton>("Button1")->isEnabled());
  EXPECT_EQ(t.st().servo_run_state[1], 1);

  // Fault read failing: its own line.
  t.sim.inject(1, fault(sim::Fault::Exception, sr::kFaultCode));
  w->Button14Click();
  settle();
  EXPECT_EQ(lines("Memo3").last(), QStringLiteral("节点1：伺服故障信息读取失败**"));
  EXPECT_EQ(panel(), QStringLiteral("节点1：伺服故障信息读取失败"));

  // Someone else holds the link and the last exchange got nothing: the
  // skipped read must not touch the run state.
  t.st().write_busy = 1;
  t.st().rx_arrived = 0;
  t.sim.clear_journal();
  w->Button14Click();
  EXPECT_TRUE(requests().empty());
  EXPECT_EQ(t.st().servo_run_state[1], 1);
  EXPECT_TRUE(ctl<QPushButton>("Button14")->isEnabled());
  t.st().write_busy = 0;

  // Its own read on a dead line: the run state falls back to 0.
  t.st().comm_timeout_ms = 250;
  t.sim.inject(1, fault(sim::Fault::Silent, std::nullopt, 2));
  w->Button14Click();
  settle();
  EXPECT_EQ(t.st().rx_arrived, 0);
  EXPECT_EQ(t.st().servo_run_state[1], 0);
}

// ------------------------------------------------------------ stale status

struct ServoStatusMarksTest : ServoControlTest {
  bool stale(const char* name) { return is_marked_stale(ctl<QWidget>(name)); }
  bool lamp_stale(const char* name) { return ctl<StatusLamp>(name)->stale(); }
  QLabel* notice() { return ctl<QLabel>("LabelStale"); }
  // Drive 1 runs forward at 1000 rpm, and the window has read it so.
  void read_running_drive_1() {
    run_forward_speed(1);
    servo(1).advance(1.0);
    click("Button14");
    settle();
    ASSERT_EQ(text("Edit6"), QStringLiteral("1000"));
  }
};

// Another node chosen: what is shown is the old node's, marked as not yet
// read for the new one, also when a read begun before the choice ends
// after it.
TEST_F(ServoStatusMarksTest, ANodeChangeShowsTheStatusAsNotYetReadForTheNewNode) {
  read_running_drive_1();
  ASSERT_TRUE(lit("Shape2"));
  ASSERT_FALSE(stale("Edit6"));
  ASSERT_FALSE(notice()->isVisibleTo(w));

  // Not while drive 1 runs: the list stays on it, so its stop reaches it.
  select_node(2);
  EXPECT_EQ(ctl<QComboBox>("ComboBox4")->currentText(), QStringLiteral("1"));
  EXPECT_EQ(panel(), QStringLiteral("节点1：电机可能仍在运转，请先停止节点1的电机！！"));
  EXPECT_EQ(t.notifier.messages.last(), panel());
  EXPECT_FALSE(stale("Edit6"));
  click("Button8");
  settle();
  select_node(2);
  EXPECT_EQ(panel(), QStringLiteral("节点2：状态尚未读取"));
  EXPECT_EQ(text("Edit6"), QStringLiteral("1000"));
  for (const char* name : {"Edit6", "Edit13", "Edit14", "Edit15"}) EXPECT_TRUE(stale(name)) << name;
  for (const char* name : {"Shape1", "Shape2", "Shape4", "Shape9"}) EXPECT_TRUE(lamp_stale(name)) << name;
  EXPECT_TRUE(notice()->isVisibleTo(w));
  EXPECT_EQ(notice()->text(), QStringLiteral("节点2：状态尚未读取"));

  click("Button14");
  settle();
  EXPECT_EQ(panel(), QStringLiteral("节点2：伺服状态信息读取成功！！"));
  EXPECT_EQ(text("Edit6"), QStringLiteral("0"));
  for (const char* name : {"Edit6", "Edit14"}) EXPECT_FALSE(stale(name)) << name;
  EXPECT_FALSE(lamp_stale("Shape1"));
  EXPECT_FALSE(notice()->isVisibleTo(w));

  // Node 1 chosen again while a read of node 2 waits for its reply: that
  // read's values are node 2's, not node 1's.
  t.sim.set_reply_delay_ms(150);
  during_next_request([&] { select_node(1); });
  click("Button14");
  settle();
  t.sim.set_reply_delay_ms(0);
  EXPECT_EQ(text("Edit6"), QStringLiteral("0"));
  EXPECT_TRUE(stale("Edit6"));
  EXPECT_EQ(notice()->text(), QStringLiteral("节点1：状态尚未读取"));
  click("Button14");
  settle();
  EXPECT_FALSE(stale("Edit6"));
}

TEST_F(ServoStatusMarksTest, OpenedAgainWithTheFirstReadRefusedShowsTheStatusAsNotYetRead) {
  ASSERT_FALSE(stale("Edit6"));  // the read on the first opening
  click("Button1");
  settle();
  t.sim.inject(1, fault(sim::Fault::Exception, sr::kStatusWord));
  t.app.main_window().N6Click();
  settle();
  EXPECT_EQ(panel(), QStringLiteral("节点1：伺服状态信息读取失败"));
  EXPECT_TRUE(stale("Edit6") && lamp_stale("Shape1") && notice()->isVisibleTo(w));
  EXPECT_EQ(notice()->text(), QStringLiteral("节点1：状态尚未读取"));
  click("Button14");
  settle();
  EXPECT_FALSE(stale("Edit6") || lamp_stale("Shape1") || notice()->isVisibleTo(w));
}

// The line goes while a status poll waits for its reply: the last values stay,
// marked; the lost-port line stays on Panel1 whatever fails after it; leaving
// warns that the drive may still run (the restore cannot reach it).
TEST_F(ServoStatusMarksTest, ALineGoneWhilePollingLooksStaleWarnsOnExitAndSaysThePortIsLost) {
  read_running_drive_1();
  t.sim.set_reply_delay_ms(150);
  during_next_request([&] { t.sim.hang_up(); });
  ctl<QCheckBox>("CheckBox1")->setChecked(true);

  ASSERT_TRUE(wait_for([&] { return !ctl<QCheckBox>("CheckBox1")->isChecked(); }));
  settle();
  EXPECT_FALSE(t.link().Comm1.isOpen());
  // The poll's failure came after the lost-port line, and did not replace it.
  const QString failures = lines("Memo3").join('\n');
  EXPECT_TRUE(failures.contains(QRegularExpression(QStringLiteral("(?s)串口已断开：.*\n节点1：伺服状态信息读取失败\\*\\*"))))
      << failures.toStdString();
  EXPECT_EQ(text("Edit6"), QStringLiteral("1000"));
  for (const char* name : {"Edit6", "Edit14"}) EXPECT_TRUE(stale(name)) << name;
  EXPECT_TRUE(lit("Shape2"));
  EXPECT_TRUE(lamp_stale("Shape2"));
  EXPECT_TRUE(notice()->isVisibleTo(w));
  EXPECT_EQ(t.st().servo_run_state[1], 0);

  // A read of the user's own on the lost port: its failure is logged only.
  click("Button14");
  settle();
  EXPECT_EQ(lines("Memo3").last(), QStringLiteral("节点1：伺服故障信息读取失败**"));
  EXPECT_TRUE(panel().startsWith(QStringLiteral("串口已断开："))) << panel().toStdString();
  t.notifier.messages.clear();
  click("Button1");
  settle();
  EXPECT_FALSE(w->isVisible());
  const QString said = t.notifier.messages.join('\n');
  EXPECT_TRUE(said.contains(QStringLiteral("恢复相关参数失败！！"))) << said.toStdString();
  EXPECT_TRUE(said.contains(QStringLiteral("节点1：线路无应答，驱动器可能仍在运转，请到现场确认！！"))) << said.toStdString();
  EXPECT_TRUE(control<QLabel>(&t.app.main_window(), "Panel1")->text().startsWith(QStringLiteral("串口已断开：")));
}

// Every write of the restore counts: the first one unanswered is a failed
// restore (the user may leave: the line did not answer), and refused it
// keeps the window open.
TEST_F(ServoControlTest, ARestoreWithAnyFailedWriteReportsTheFailure) {
  struct Case {
    const char* what;
    sim::Fault::Kind kind;
    bool stays;
  } cases[] = {{"no reply", sim::Fault::Silent, false}, {"refused", sim::Fault::Exception, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!w->isVisible()) t.app.main_window().N6Click();
    settle();
    enter_mode("RadioButton2", 1, ServoControlWindow::kModeSpeed);
    // Unanswered, the write and the read-back that would settle it.
    t.sim.inject(1, fault(c.kind, 0x0000, c.kind == sim::Fault::Silent ? 2 : 1));
    t.sim.clear_journal();
    t.notifier.messages.clear();
    click("Button1");
    settle();
    EXPECT_EQ(writes(), restore_writes(1));  // the rest still went back
    EXPECT_EQ(panel(), QStringLiteral("恢复相关参数失败！！"));
    EXPECT_EQ(w->isVisible(), c.stays);
    EXPECT_FALSE(t.notifier.messages.join('\n').contains(QStringLiteral("恢复相关参数成功！！")));
    EXPECT_TRUE(t.notifier.messages.join('\n').contains(
        c.stays ? QStringLiteral("请确保驱动器无故障！！") : QStringLiteral("恢复相关参数失败！！")));
    EXPECT_EQ(t.st().servo_restore_flags[1], 4);  // not known to be restored
  }
  // A restore that works now clears the flag and leaves.
  click("Button1");
  settle();
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(panel(), QStringLiteral("恢复相关参数成功！！"));
  EXPECT_EQ(t.st().servo_restore_flags[1], 0);
}

// ------------------------------------------------------------ busy protocol

enum class WaitKind { Command, Settings, ModeEntry, StatusRead, Exit };

struct BusyProtocolTest : ServoControlTest, ::testing::WithParamInterface<WaitKind> {
  // Every control and handler a user, a timer or a replay can reach.
  void poke_everything() {
    for (const char* name : {"Button6", "Button7", "Button8", "Button9", "Button10", "Button11", "Button12", "Button13",
                             "Button14", "Button15", "RadioButton2", "RadioButton3", "Button1", "Button20"})
      click(name);
    w->Button6Click();
    w->Button8Click();
    w->Button9Click();
    w->Button14Click();
    w->Button15Click();
    w->RadioButton3Click();
    w->Button1Click();
    w->Timer1Timer();
    w->Timer2Timer();
    select_node(2);
    w->Button12Click();
    w->Button13Click();
    select_node(1);
    ctl<QCheckBox>("CheckBox1")->setChecked(true);
    ctl<QCheckBox>("CheckBox1")->setChecked(false);
  }
};

TEST_P(BusyProtocolTest, AClickDuringAnyWaitNeverStartsASecondExchange) {
  enter_mode("RadioButton2", 1, ServoControlWindow::kModeSpeed);
  t.sim.set_reply_delay_ms(150);
  t.sim.clear_journal();
  during_next_request([&] { poke_everything(); });
  switch (GetParam()) {
    case WaitKind::Command: click("Button8"); break;
    case WaitKind::Settings: click("Button9"); break;
    case WaitKind::ModeEntry: click("RadioButton3"); break;
    case WaitKind::StatusRead: click("Button14"); break;
    case WaitKind::Exit: click("Button1"); break;
  }
  settle();
  expect_one_exchange_at_a_time();
  if (GetParam() == WaitKind::Exit) {
    // Nothing the clicks asked for is sent behind the restore.
    EXPECT_FALSE(w->isVisible()) << panel().toStdString() << " " << t.notifier.messages.join("|").toStdString();
    EXPECT_EQ(writes(), restore_writes(1));
    EXPECT_FALSE(w->Timer2()->isActive());
  } else {
    EXPECT_TRUE(w->isVisible());
    // What waited went out afterwards: the stops and the reset in click
    // order, then the newest other command, each to the node it was given
    // for. (While the stop itself is sent, Button8 is disabled and its
    // handler is reached only directly, after the reset.)
    const std::vector<Frame> all = writes();
    ASSERT_GE(all.size(), 8u);
    const std::vector<Frame> tail(all.end() - 8, all.end());
    const bool stop_waits = GetParam() == WaitKind::Command;
    const std::vector<Frame> want = {write(1, 0x1004, 0), write(1, 0x1004, stop_waits ? 8 : 0),
                                     write(1, 0x1004, stop_waits ? 0 : 8), write(2, 0x1004, 0), write(2, 0x0086, 1),
                                     write(2, 0x1008, 0), write(2, 0x100A, 500), write(2, 0x1009, 50)};
    EXPECT_EQ(tail, want);
  }
}

std::string wait_name(const ::testing::TestParamInfo<WaitKind>& info) {
  static const char* const kNames[] = {"Command", "Settings", "ModeEntry", "StatusRead", "Exit"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(EveryWait, BusyProtocolTest,
                         ::testing::Values(WaitKind::Command, WaitKind::Settings, WaitKind::ModeEntry,
                                           WaitKind::StatusRead, WaitKind::Exit),
                         wait_name);

TEST_F(ServoControlTest, ReplaysComeStopsFirstThenTheNewestCommandEachToItsNode) {
  enter_mode("RadioButton3", 2, ServoControlWindow::kModeTorque);
  enter_mode("RadioButton2", 1, ServoControlWindow::kModeSpeed);
  t.sim.set_reply_delay_ms(150);
  t.sim.clear_journal();
  uint8_t shown = 0;
  during_next_request([&] {
    click("Button9");  // speed settings, node 1: cancelled by the stop after it
    select_node(2);
    click("Button12");  // torque stop, node 2
    select_node(1);
    click("Button8");   // speed stop, node 1
    click("Button6");   // forward, node 1: a run command never displaces the stops
    shown = t.st().servo_pending_cmd;
    // A node change and exit attempts: the read stays on its node, the
    // window stays open.
    select_node(2);
    click("Button1");
    w->Button1Click();
    EXPECT_FALSE(w->leave());
  });
  click("Button14");
  settle();
  EXPECT_EQ(shown, ServoControlWindow::kTorqueStop);
  const std::vector<Frame> want = {read(1, 0x2003, 9), read(1, 0x3000, 1), write(2, 0x1004, 0), write(1, 0x1004, 0),
                                     write(1, 0x1004, 1)};
  EXPECT_EQ(requests(), want);
  EXPECT_TRUE(lines("Memo3").isEmpty());
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(t.st().servo_restore_flags[1], 4);
  expect_one_exchange_at_a_time();
}

// A forward clicked while a status read waits is sent afterwards, to the
// node it was given for, even with its button disabled by then; it is
// dropped when the read shows the drive already runs.
TEST_F(ServoControlTest, ADeferredForwardDuringAStatusRead) {
  for (const bool runs_by_then : {false, true}) {
    SCOPED_TRACE(runs_by_then);
    select_node(1);
    if (runs_by_then) {
      run_forward_speed(1);
      t.st().servo_run_state[1] = 0;  // ... but the window thinks it idle
    } else {
      enter_mode("RadioButton2", 1, ServoControlWindow::kModeSpeed);
      ASSERT_TRUE(wait_for([&] { return ctl<QPushButton>("Button6")->isEnabled(); }));
    }
    t.sim.set_reply_delay_ms(150);
    t.sim.clear_journal();
    during_next_request([&] {
      click("Button6");
      if (!runs_by_then) select_node(2);  // node 2 is in no mode: its run buttons go off
    });
    click("Button14");
    settle();
    EXPECT_EQ(writes(), runs_by_then ? std::vector<Frame>{} : std::vector<Frame>{write(1, 0x1004, 1)});
    EXPECT_EQ(t.st().servo_run_state[1], 1);
    EXPECT_EQ(t.st().servo_pending_cmd, 0);
    expect_one_exchange_at_a_time();
    t.sim.set_reply_delay_ms(0);
    select_node(1);
    click("Button8");
    settle();
  }
}

// ------------------------------------------------------------ input

TEST_F(ServoControlTest, FieldsTakeDigitsAndClampWhenLeftAndWhenSent) {
  struct Case {
    const char *edit, *typed, *shown, *after_leaving;
  };
  const Case cases[] = {
      {"Edit2", "12a3", "123", "123"}, {"Edit2", "", "", "0"},        {"Edit2", "4999", "4999", "4500"},
      {"Edit2", "12345", "1234", "1234"}, {"Edit3", "400", "400", "350"}, {"Edit4", "101", "101", "100"},
      {"Edit5", "5000", "5000", "4500"}, {"Edit5", "-5", "5", "5"},
  };
  for (const Case& c : cases) {
    QLineEdit* e = ctl<QLineEdit>(c.edit);
    set_field(c.edit, QString::fromLatin1(c.typed));
    EXPECT_EQ(e->text(), QString::fromLatin1(c.shown)) << c.edit << " " << c.typed;
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(e, &out);
    EXPECT_EQ(e->text(), QString::fromLatin1(c.after_leaving)) << c.edit << " " << c.typed;
  }

  // Values set without leaving the fields are clamped when sent, and a failed
  // write does not stop the ones after it.
  enter_mode("RadioButton2", 1, ServoControlWindow::kModeSpeed);
  ctl<QLineEdit>("Edit2")->setText(QStringLiteral("9999"));
  ctl<QLineEdit>("Edit3")->setText(QString());
  t.sim.inject(1, fault(sim::Fault::Exception, 0x1005));
  t.sim.clear_journal();
  click("Button9");
  settle();
  EXPECT_EQ(writes(), (std::vector<Frame>{write(1, 0x006E, 1), write(1, 0x1005, 0), write(1, 0x1007, 0),
                                            write(1, 0x1006, 4500)}));
  EXPECT_EQ(text("Edit2"), QStringLiteral("4500"));
  EXPECT_EQ(text("Edit3"), QStringLiteral("0"));
  const QString incomplete = QStringLiteral("节点1：速度模式设置未全部成功（锁轴控制失败）**");
  EXPECT_EQ(lines("Memo3"), (QStringList{QStringLiteral("节点1：锁轴控制失败**"), incomplete}));
  EXPECT_EQ(lines("Memo2").last(), QStringLiteral("节点1：运转速度值设置成功！！"));
  EXPECT_EQ(panel(), incomplete);
}

// The rest goes out; once every step works, the last success line again.
TEST_F(ServoControlTest, ASettingsSequenceWithALostStepEndsOnThatStep) {
  enter_mode("RadioButton3", 2, ServoControlWindow::kModeTorque);
  t.sim.inject(2, fault(sim::Fault::Silent, 0x1008));
  t.sim.clear_journal();
  click("Button13");
  settle();
  EXPECT_EQ(writes(), (std::vector<Frame>{write(2, 0x0086, 1), write(2, 0x1008, 0), write(2, 0x100A, 500),
                                            write(2, 0x1009, 50)}));
  const QString incomplete = QStringLiteral("节点2：转矩模式设置未全部成功（锁轴控制失败）**");
  EXPECT_EQ(panel(), incomplete);
  EXPECT_EQ(lines("Memo3"), (QStringList{QStringLiteral("节点2：锁轴控制失败**"), incomplete}));
  click("Button13");
  settle();
  EXPECT_EQ(panel(), QStringLiteral("节点2：转矩值设置成功！！"));
}

// ------------------------------------------------------------ leaving

TEST_F(ServoControlTest, ExitRestoresTheFlaggedDrivesAndAFailureKeepsTheWindowOpen) {
  enter_mode("RadioButton2", 1, ServoControlWindow::kModeSpeed);
  enter_mode("RadioButton3", 2, ServoControlWindow::kModeTorque);
  t.sim.inject(2, fault(sim::Fault::Exception, 20, -1));
  t.sim.clear_journal();
  click("Button1");
  settle();
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(panel(), QStringLiteral("恢复相关参数失败！！"));
  EXPECT_EQ(t.notifier.messages.last(), QStringLiteral("请确保驱动器无故障！！"));
  EXPECT_EQ(t.st().servo_restore_flags[1], 0);  // written back before the failure
  EXPECT_EQ(t.st().servo_restore_flags[2], 4);
  EXPECT_TRUE(ctl<QPushButton>("Button1")->isEnabled());
  EXPECT_TRUE(ctl<QGroupBox>("GroupBox4")->isEnabled());
  EXPECT_FALSE(ctl<QGroupBox>("GroupBox5")->isEnabled());
  EXPECT_FALSE(w->Timer2()->isActive());
  EXPECT_EQ(t.st().active_form, 4);

  // The drive is fixed; the next try restores exactly the drive still
  // flagged, leaves, and the window comes back usable.
  t.sim.clear_faults();
  t.sim.clear_journal();
  click("Button1");
  settle();
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(writes(), restore_writes(2));
  EXPECT_EQ(t.st().active_form, 1);
  for (int a : {1, 2}) {
    EXPECT_EQ(t.st().servo_restore_flags[a], 0) << a;
    EXPECT_EQ(t.st().servo_rs485_mode[a], 0) << a;
  }
  EXPECT_EQ(panel(), QStringLiteral("恢复相关参数成功！！"));
  EXPECT_TRUE(ctl<QPushButton>("Button1")->isEnabled());
  EXPECT_TRUE(ctl<QGroupBox>("GroupBox4")->isEnabled());
  EXPECT_TRUE(ctl<QGroupBox>("GroupBox5")->isEnabled());
}

// The control source taken, the mode write refused: the drive no longer
// follows its own inputs, so leaving puts it back, and the window ends on
// the mode write's own line.
TEST_F(ServoControlTest, AHalfDoneTakeoverIsRestoredOnLeaving) {
  t.sim.inject(1, fault(sim::Fault::Exception, 0x1003));
  click("RadioButton2");
  settle();
  EXPECT_EQ(panel(), QStringLiteral("节点1：485控制速度模式设置失败**"));
  EXPECT_EQ(t.st().servo_rs485_mode[1], ServoControlWindow::kModeNone);
  EXPECT_EQ(t.st().servo_restore_flags[1], 4);
  t.sim.clear_journal();
  click("Button1");
  settle();
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(writes(), restore_writes(1));
}

// ------------------------------------------------------------ records

// The shared saving is tested on its own; here: which memo goes to which file.
TEST_F(ServoControlTest, RecordsAreSavedBesideTheChosenFileAndCleared) {
  QTemporaryDir dir;
  w->set_save_chooser([&](QWidget*, const QString&) { return dir.filePath(QStringLiteral("traffic.txt")); });
  append_line(ctl<QPlainTextEdit>("Memo2"), QStringLiteral("ok"));
  append_line(ctl<QPlainTextEdit>("Memo3"), QStringLiteral("failed"));
  click("Button21");
  EXPECT_TRUE(testing::file_text(dir.filePath("traffic.txt")).startsWith(QStringLiteral("01 03 20 03 00 09 ")));
  EXPECT_EQ(testing::file_text(dir.filePath(QStringLiteral("伺服RS485通讯控制执行成功记录.txt"))), "ok\r\n");
  EXPECT_EQ(testing::file_text(dir.filePath(QStringLiteral("伺服RS485通讯控制执行失败记录.txt"))), "failed\r\n");

  click("Button20");
  for (const char* memo : {"Memo1", "Memo2", "Memo3"}) EXPECT_TRUE(lines(memo).isEmpty()) << memo;
  EXPECT_EQ(t.st().read_ok_count, 0);
  EXPECT_EQ(t.st().read_fail_count, 0);
}

TEST_F(ServoControlTest, NoCommandGoesOutWithoutAValidStation) {
  // An empty node list must never turn into station 0, the broadcast address.
  auto* box = ctl<QComboBox>("ComboBox4");
  box->clear();
  for (const char* button : {"RadioButton2", "Button6", "Button8", "Button15"}) click(button);
  settle();
  EXPECT_TRUE(t.sim.requests().empty());
}

}  // namespace
}  // namespace velmo
