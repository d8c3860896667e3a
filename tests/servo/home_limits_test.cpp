// The home point and limit window: jog takeover, the layout's home and limit
// registers, position display, busy flag and the restore on leaving.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "common/status_lamp.h"
#include "link/clock_timer.h"
#include "main/main_window.h"
#include "servo/home_limits_window.h"
#include "servo/servo_position.h"
#include "support/app_on_sim.h"

namespace velmo {
namespace {

using testing::Frame;
using testing::write;

// ---- Position decoding ----

// Word order and the wrap at both resolutions are checked on the window
// below; here what the drive cannot show: the reply offset of each position
// and a resolution never read.
TEST(ServoPosition, ReplyOffsetsAndTheDefaultResolution) {
  const uint8_t reply[] = {1, 3, 16, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00,
                           0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(servo::positions_from_reply<4>(reply), (std::array<uint32_t, 4>{1, 2, 0x56781234u, 0xFFFFFFFFu}));
  // Never read: the default resolution, no division by zero.
  const servo::Revolutions r = servo::split_position(0xFFFFFFFFu, 0);
  EXPECT_EQ(r.revolutions, 32767u);
  EXPECT_EQ(r.counts, 131071u);
}

// ---- The window on a simulated line ----

class HomeLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.connect_servos());
    app().main_window().N2Click();
    ASSERT_TRUE(form->isVisible());
    rig.sim.clear_journal();
  }
  VelmoApp& app() { return rig.app; }
  QString memo(const char* name) { return shown_text(control<QPlainTextEdit>(form, name)); }
  QString edit(const char* name) { return control<QLineEdit>(form, name)->text(); }
  void select(int station) { testing::select_node(nodes, station); }
  void click(const char* button) { testing::click(form, button); }

  testing::AppOnSim rig;
  QWidget* form = rig.app.form("TForm13");
  QComboBox* nodes = control<QComboBox>(form, "ComboBox4");
};

TEST_F(HomeLimitsTest, FirstForwardTakesOverThenOnlyJogsAndAFailedTakeoverIsRetried) {
  select(1);
  click("Button6");
  const std::vector<Frame> takeover = {write(1, 0x0000, 9), write(1, 0x1003, 1), write(1, 0x1004, 1)};
  EXPECT_EQ(rig.writes(1), takeover);
  EXPECT_EQ(memo("Memo2"), QStringLiteral("节点1：电机正转！！"));
  // The traffic goes to this window's own log.
  EXPECT_TRUE(memo("Memo1").startsWith(QStringLiteral("01 06 00 00 00 09 ")));
  EXPECT_EQ(memo("Memo1").count(QStringLiteral("**")), 3);
  EXPECT_EQ(rig.st().servo_run_state[1], 1);
  EXPECT_EQ(rig.st().servo_jog_mode[1], 1);
  EXPECT_EQ(rig.st().servo_restore_flags[1], 13);  // this window's to restore

  // Running: a second forward sends nothing.
  rig.sim.clear_journal();
  click("Button6");
  EXPECT_TRUE(rig.writes(1).empty());

  click("Button8");
  click("Button7");
  const std::vector<Frame> jogs = {write(1, 0x1004, 0), write(1, 0x1004, 2)};
  EXPECT_EQ(rig.writes(1), jogs);
  EXPECT_EQ(rig.st().servo_run_state[1], 1);
  EXPECT_TRUE(memo("Memo2").endsWith(QStringLiteral("节点1：电机停止！！\n节点1：电机反转！！")));
  EXPECT_TRUE(memo("Memo3").isEmpty());
  EXPECT_TRUE(rig.writes(2).empty());

  // A failed takeover sends no jog and names the failed step; the next jog tries again.
  click("Button8");
  select(2);
  rig.sim.inject(2, testing::fault(sim::Fault::Exception, 0x0000));
  click("Button6");
  EXPECT_EQ(rig.writes(2), std::vector<Frame>{write(2, 0x0000, 9)});
  EXPECT_EQ(control<QLabel>(form, "Panel1")->text(), QStringLiteral("节点2：电机正转控制失败（485控制模式设置失败）**"));
  EXPECT_EQ(memo("Memo3"),
            QStringLiteral("节点2：485控制模式设置失败**\n节点2：电机正转控制失败（485控制模式设置失败）**"));
  EXPECT_EQ(rig.st().servo_jog_mode[2], 0);
  EXPECT_EQ(rig.st().servo_run_state[2], 0);
  rig.sim.clear_journal();
  click("Button6");
  EXPECT_EQ(rig.writes(2).size(), 3u);
}

TEST_F(HomeLimitsTest, SettingsTakeOverWithTheModeRegisterSoTheJogSendsOnlyItself) {
  select(2);
  control<QLineEdit>(form, "Edit2")->setText(QStringLiteral("300"));
  click("Button9");
  const std::vector<Frame> settings = {write(2, 0x0000, 9), write(2, 0x1003, 1), write(2, 0x1007, 200),
                                       write(2, 0x1006, 300)};
  EXPECT_EQ(rig.writes(2), settings);
  EXPECT_EQ(memo("Memo2"), QStringLiteral("节点2：设置转矩限制值！！\n节点2：转速值设置成功！！"));

  rig.sim.clear_journal();
  click("Button6");
  EXPECT_EQ(rig.writes(2), std::vector<Frame>{write(2, 0x1004, 1)});
  EXPECT_EQ(rig.st().servo_run_state[2], 1);
  // The drive really runs: it was put in speed mode under bus control.
  EXPECT_TRUE(testing::wait_for([&] { return rig.servo(2).position() != 0; }));
  click("Button8");
}

// The takeover's mode write lost: nothing more goes out, the drive is restored on
// leaving. The torque limit lost: the speed still goes out.
TEST_F(HomeLimitsTest, ASettingsOrTakeoverStepLostEndsOnALineThatNamesIt) {
  select(1);
  rig.sim.inject(1, testing::fault(sim::Fault::Silent, 0x1003, -1));
  click("Button9");
  EXPECT_EQ(rig.writes(1), (std::vector<Frame>{write(1, 0x0000, 9), write(1, 0x1003, 1)}));
  const QString failed = QStringLiteral("节点1：转速值设置失败（485控制速度模式设置失败）**");
  EXPECT_EQ(control<QLabel>(form, "Panel1")->text(), failed);
  EXPECT_EQ(memo("Memo3"), QStringLiteral("节点1：485控制速度模式设置失败**\n") + failed);
  EXPECT_TRUE(memo("Memo2").isEmpty());
  EXPECT_EQ(rig.st().servo_restore_flags[1], 13);
  rig.sim.clear_faults();
  click("Button9");  // takes node 1 over
  rig.sim.clear_journal();
  rig.sim.inject(1, testing::fault(sim::Fault::Silent, 0x1007));
  click("Button9");
  EXPECT_EQ(rig.writes(1), (std::vector<Frame>{write(1, 0x1007, 200), write(1, 0x1006, 100)}));
  const QString incomplete = QStringLiteral("节点1：转速与转矩限制设置未全部成功（转矩限制值设置失败）**");
  EXPECT_EQ(control<QLabel>(form, "Panel1")->text(), incomplete);
  // The summary is a failure line: the success log ends on the step that worked.
  EXPECT_TRUE(memo("Memo2").endsWith(QStringLiteral("节点1：转速值设置成功！！")));
  EXPECT_TRUE(memo("Memo3").endsWith(incomplete));
}

TEST_F(HomeLimitsTest, HomeAndLimitRegistersFollowTheSelectedDrivesLayout) {
  struct Case {
    int station;
    const char* button;
    uint16_t reg;
    const char* text;
  };
  const Case cases[] = {
      {1, "Button2", 0x0019, "原点设置成功！！"},
      {2, "Button2", 0x001A, "原点设置成功！！"},
      {2, "Button3", 0x001B, "正转极限设置成功！！"},
      {1, "Button4", 0x001B, "反转极限设置成功！！"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button + std::string(" on ") + std::to_string(c.station));
    select(c.station);
    rig.sim.clear_journal();
    click(c.button);
    EXPECT_EQ(rig.writes(c.station), std::vector<Frame>{write(c.station, c.reg, 2)});
    EXPECT_TRUE(memo("Memo2").endsWith(QStringLiteral("节点%1：").arg(c.station) + QString::fromUtf8(c.text)));
  }

  // Clearing writes 1, 1, 1 from the layout's home register.
  for (int station : {1, 2}) {
    select(station);
    rig.sim.clear_journal();
    click("Button5");
    const auto w = rig.writes(static_cast<uint8_t>(station));
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0], (Frame{station, 0x10, station == 1 ? 0x19 : 0x1A, {1, 1, 1}}));
    EXPECT_TRUE(memo("Memo2").endsWith(QStringLiteral("节点%1：原点极限清除成功").arg(station)));
  }
}

TEST_F(HomeLimitsTest, PositionsAcrossTheWrapWithTheSelectedDrivesResolution) {
  struct Case {
    int station;
    uint32_t position;
    const char* revolutions;
    const char* counts;
  };
  const Case cases[] = {
      {1, 0xFFFFFFFFu, "32767", "131071"},
      {2, 0xFFFFFFFFu, "1048575", "4095"},
      {1, 0x00010010u, "0", "65552"},
      {2, 0x00010010u, "16", "16"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    select(c.station);
    rig.servo(static_cast<uint8_t>(c.station)).set_position(c.position);
    rig.sim.clear_journal();
    click("Button10");
    EXPECT_EQ(rig.reads(static_cast<uint8_t>(c.station)), std::vector<Frame>{testing::read(c.station, 0x2010, 8)});
    EXPECT_EQ(edit("Edit1"), QString::fromUtf8(c.revolutions));
    EXPECT_EQ(edit("Edit4"), QString::fromUtf8(c.counts));
    EXPECT_EQ(control<QLabel>(form, "Panel1")->text(), QStringLiteral("节点%1：位置信息读取成功！！").arg(c.station));
  }

  // A home point taken just below the wrap, read back in the home boxes.
  select(2);
  rig.servo(2).set_position(0xFFFFF000u);
  click("Button2");
  rig.servo(2).set_position(0x00000800u);
  click("Button10");
  EXPECT_EQ(edit("Edit1"), QStringLiteral("0"));
  EXPECT_EQ(edit("Edit4"), QStringLiteral("2048"));
  EXPECT_EQ(edit("Edit5"), QStringLiteral("1048575"));
  EXPECT_EQ(edit("Edit6"), QStringLiteral("0"));
  EXPECT_TRUE(memo("Memo2").endsWith(QStringLiteral("节点2：位置信息读取成功")));

  click("Button11");
  for (const char* box : {"Edit1", "Edit4", "Edit5", "Edit6", "Edit7", "Edit8", "Edit9", "Edit10"})
    EXPECT_TRUE(edit(box).isEmpty()) << box;
  EXPECT_TRUE(memo("Memo1").isEmpty());
  EXPECT_TRUE(memo("Memo2").isEmpty());
}

TEST_F(HomeLimitsTest, FailedPositionReadKeepsTheBoxesAndSaysSo) {
  select(1);
  rig.servo(1).set_position(5);
  click("Button10");
  ASSERT_EQ(edit("Edit4"), QStringLiteral("5"));
  rig.sim.inject(1, testing::fault(sim::Fault::Silent));
  click("Button10");
  EXPECT_EQ(edit("Edit4"), QStringLiteral("5"));
  EXPECT_EQ(control<QLabel>(form, "Panel1")->text(), QStringLiteral("节点1：位置信息读取失败"));
  EXPECT_EQ(memo("Memo3"), QStringLiteral("节点1：位置信息读取失败**"));
  EXPECT_TRUE(control<QPushButton>(form, "Button10")->isEnabled());
}

TEST_F(HomeLimitsTest, HoldsWriteBusyWhileTalkingAndNeverOverlapsAnotherExchange) {
  select(1);
  rig.sim.set_reply_delay_ms(150);
  int busy_seen = -1;
  size_t requests_seen = 0;
  // Inside the first exchange's wait the flag is held, and a click of another
  // of the window's buttons waits for the line instead of talking over it.
  ClockTimer::singleShot(50, form, [&] {
    busy_seen = rig.st().write_busy;
    control<QPushButton>(form, "Button10")->click();
    requests_seen = rig.sim.requests(1).size();
  });
  click("Button2");
  EXPECT_EQ(busy_seen, 1);
  EXPECT_EQ(requests_seen, 1u);
  ASSERT_TRUE(testing::wait_for([&] { return rig.reads(1).size() == 1; }));
  ASSERT_TRUE(testing::wait_for([&] { return rig.st().write_busy == 0; }));
  EXPECT_EQ(rig.writes(1), std::vector<Frame>{write(1, 0x19, 2)});
  EXPECT_EQ(rig.st().refused_count, 0u);
  EXPECT_TRUE(testing::one_request_at_a_time(rig.sim));
  rig.sim.set_reply_delay_ms(0);
  EXPECT_TRUE(testing::wait_for([&] { return memo("Memo2").endsWith(QStringLiteral("位置信息读取成功")); }));
}

TEST_F(HomeLimitsTest, AStopThatMeetsABusyLineGoesToItsDriveOnceTheLineIsFree) {
  select(1);
  click("Button6");
  ASSERT_EQ(rig.st().servo_run_state[1], 1);
  rig.sim.clear_journal();
  rig.st().read_busy = 1;  // another window's status read
  click("Button8");
  select(2);               // the stop still belongs to drive 1
  EXPECT_TRUE(rig.writes(1).empty());
  EXPECT_EQ(rig.st().jog_pending_cmd, HomeLimitsWindow::kStop);
  // The exit waits for it too.
  click("Button1");
  EXPECT_TRUE(form->isVisible());
  rig.st().read_busy = 0;
  ASSERT_TRUE(testing::wait_for([&] { return rig.st().servo_run_state[1] == 0; }));
  EXPECT_EQ(rig.writes(1), std::vector<Frame>{write(1, 0x1004, 0)});
  EXPECT_TRUE(rig.writes(2).empty());
}

TEST_F(HomeLimitsTest, FieldsTakeDigitsOnlyAndAreClampedOnLeaving) {
  struct Case {
    const char *edit, *typed, *shown, *after;
  };
  const Case cases[] = {
      {"Edit2", "30", "30", "50"},  {"Edit2", "2500", "2500", "2000"}, {"Edit2", "1x2a", "12", "50"},
      {"Edit2", "", "", "50"},      {"Edit3", "999", "999", "350"},    {"Edit3", "", "", "50"},
      {"Edit3", "120", "120", "120"},
  };
  form->activateWindow();
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.edit) + " " + c.typed);
    QLineEdit* e = control<QLineEdit>(form, c.edit);
    e->setFocus();
    e->clear();
    QTest::keyClicks(e, QString::fromUtf8(c.typed));
    EXPECT_EQ(e->text(), QString::fromUtf8(c.shown));
    QTest::keyClick(e, Qt::Key_Return);
    // Leaving the field: the focus goes elsewhere.
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(e, &out);
    EXPECT_EQ(e->text(), QString::fromUtf8(c.after));
  }
}

TEST_F(HomeLimitsTest, ExitRestoresTheDriveTakenOverAndLeaves) {
  select(1);
  click("Button6");
  click("Button8");
  rig.sim.clear_journal();
  click("Button1");
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(rig.st().active_form, 1);
  EXPECT_EQ(rig.st().servo_restore_flags[1], 0);
  EXPECT_EQ(rig.st().servo_jog_mode[1], 0);
  EXPECT_EQ(rig.st().write_busy, 0);
  EXPECT_EQ(rig.writes(1), rig.restore_writes(1));
  EXPECT_TRUE(rig.writes(2).empty());
  EXPECT_TRUE(rig.notifier.messages.isEmpty());
}

// A restore that drive 2 refuses still lets the user leave: drive 1, written
// back, loses its flag; drive 2 keeps its own.
TEST_F(HomeLimitsTest, LeavingWithAFailedRestoreKeepsTheFlagOfTheDriveNotRestored) {
  select(1);
  click("Button9");
  select(2);
  click("Button2");  // no takeover: nothing to restore yet
  EXPECT_EQ(rig.st().servo_restore_flags[2], 0);
  click("Button9");  // takes node 2 over
  ASSERT_EQ(rig.st().servo_restore_flags[2], 13);
  const auto list_reg = static_cast<uint16_t>(rig.st().servo_param_regs[20 + 1]);  // one of layout 2
  sim::Fault refused = testing::fault(sim::Fault::Exception, list_reg, -1);
  refused.function = 0x06;
  rig.sim.inject(2, refused);
  click("Button1");
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(rig.st().active_form, 1);
  EXPECT_EQ(rig.st().servo_restore_flags[1], 0);
  EXPECT_EQ(rig.st().servo_restore_flags[2], 13);
  EXPECT_EQ(rig.st().servo_jog_mode[2], 0);
  EXPECT_EQ(rig.st().write_busy, 0);
  EXPECT_EQ(rig.notifier.messages, QStringList{QStringLiteral("恢复相关参数失败！！")});
  EXPECT_EQ(control<QLabel>(form, "Panel1")->text(), QStringLiteral("恢复相关参数失败！！"));
}

// A search waits for a jogged drive: while it runs, and through the hold
// after its stop.
TEST_F(HomeLimitsTest, ASearchWaitsForTheJoggedDriveAndTheHoldAfterItsStop) {
  select(1);
  click("Button6");
  MainWindow& main = app().main_window();
  rig.sim.clear_journal();
  main.Button4Click();
  EXPECT_EQ(rig.notifier.messages.last(), QStringLiteral("“伺服原点及极限设定”启动的节点1可能仍在运转，请先停止电机再搜索节点！！"));
  ClockTimer::singleShot(100, form, [&] { main.Button4Click(); });
  click("Button8");
  EXPECT_EQ(rig.notifier.messages.last(), QStringLiteral("“伺服原点及极限设定”正在运行，请先结束其操作再搜索节点！！"));
  EXPECT_EQ(rig.writes(1), std::vector<Frame>{write(1, 0x1004, 0)});
  EXPECT_TRUE(rig.reads(2).empty());
}

// The positions shown are the node's they were read from: another node
// chosen, they look stale until it is read. A takeover whose first write was
// garbled may have reached the drive: it is put back on leaving.
TEST_F(HomeLimitsTest, AnotherNodesPositionsLookStaleAndAHalfDoneTakeoverIsRestored) {
  select(2);
  click("Button10");
  ASSERT_EQ(control<QLabel>(form, "Panel1")->text(), QStringLiteral("节点2：位置信息读取成功！！"));
  auto* position = control<QLineEdit>(form, "Edit1");
  EXPECT_FALSE(is_marked_stale(position));
  const QString shown = position->text();
  select(1);
  EXPECT_EQ(control<QLabel>(form, "Panel1")->text(), QStringLiteral("节点1：位置信息尚未读取"));
  EXPECT_TRUE(is_marked_stale(position));
  EXPECT_EQ(position->toolTip(), QStringLiteral("节点1：位置信息尚未读取"));
  EXPECT_EQ(position->text(), shown);

  rig.sim.inject(1, testing::fault(sim::Fault::BadCrc, 0x0000));
  click("Button6");
  EXPECT_EQ(rig.writes(1), std::vector<Frame>{write(1, 0x0000, 9)});
  EXPECT_EQ(rig.st().servo_restore_flags[1], 13);
  rig.sim.clear_journal();
  click("Button1");
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(rig.writes(1), rig.restore_writes(1));
}

}  // namespace
}  // namespace velmo
