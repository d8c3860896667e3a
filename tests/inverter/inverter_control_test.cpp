// The inverter control window (TForm9) against simulated inverters: run
// commands with the bus takeover, the stop value, status words by model
// type, fault codes and deferred commands. Replies that go wrong: the fault
// matrix (tests/common).
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QCheckBox>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <map>

#include "common/log_view.h"
#include "common/status_lamp.h"
#include "inverter/inverter_control_window.h"
#include "link/clock_timer.h"
#include "main/main_window.h"
#include "sim/inverter_station.h"
#include "inverter_control_rig.h"
#include "support/app_on_sim.h"

namespace velmo {
namespace {

using testing::Frame;
using testing::read;
using testing::write;

std::vector<Frame> takeover(int a) { return {write(a, 4, 4), write(a, 5, 4), write(a, 8, 8), write(a, 9, 8)}; }

struct InverterControlTest : testing::InverterControlRig {
  bool idle() {
    const DriveLinkState& s = t.st();
    return s.read_busy == 0 && s.write_busy == 0 && s.sending == 0 && w->pending().empty();
  }
  void settle() { ASSERT_TRUE(testing::wait_for([&] { return idle(); })); }
  QStringList log() { return testing::memo_lines(w, "Memo2"); }
  QStringList failures() { return testing::memo_lines(w, "Memo3"); }
  sim::InverterStation& station(int a) { return dynamic_cast<sim::InverterStation&>(*t.sim.station(a)); }
};

TEST_F(InverterControlTest, RunAndStopTakeTheDriveOverOnceAndStopByItsVersion) {
  struct Case {
    int station;
    int status_words;
    uint16_t stop;
  };
  for (const Case& c : {Case{1, 6, 0}, Case{2, 4, 3}}) {
    SCOPED_TRACE(c.station);
    select(c.station);
    t.sim.clear_journal();
    click("Button3");
    click("Button5");
    std::vector<Frame> want = takeover(c.station);
    want.push_back(write(c.station, 0x1000, 1));
    want.push_back(write(c.station, 0x1000, c.stop));
    EXPECT_EQ(testing::writes_of(t.sim), want);
    EXPECT_EQ(t.st().bpq_run_state[c.station], 0);
    EXPECT_EQ(t.st().bpq_restore_flags[c.station - 1], 1);

    t.sim.clear_journal();
    click("Button7");
    EXPECT_EQ(testing::frames_of(t.sim), (std::vector<Frame>{read(c.station, 0x2000, c.status_words), read(c.station, 0x3000, 1)}));
    EXPECT_EQ(panel(), QString("节点%1：状态信息读取成功！！").arg(c.station));
    EXPECT_EQ(ctl<QLineEdit>("Edit7")->text().isEmpty(), c.status_words == 4);
    EXPECT_EQ(ctl<QLineEdit>("Edit5")->text(), "无故障");
  }
}

// The line says control by the line is unconfirmed, also through the poll after it.
TEST_F(InverterControlTest, AFailedTakeoverStillSendsTheCommandSaysSoAndIsTriedAgainNextTime) {
  t.sim.inject(1, testing::fault(sim::Fault::Exception, 5));
  click("Button3");
  std::vector<Frame> want = takeover(1);
  want.push_back(write(1, 0x1000, 1));
  EXPECT_EQ(testing::writes_of(t.sim), want);
  EXPECT_EQ(t.st().bpq_rs485_ok[0], 0);
  EXPECT_EQ(t.st().bpq_restore_flags[0], 1);
  const QString unconfirmed = QStringLiteral("节点1：正转命令已发送，但RS485控制设置失败（寄存器5）**");
  EXPECT_EQ(failures().last(), unconfirmed);
  w->Timer1Timer();
  settle();
  EXPECT_EQ(panel(), unconfirmed);
  t.sim.clear_journal();
  click("Button3");
  EXPECT_EQ(testing::writes_of(t.sim), want);
  EXPECT_EQ(t.st().bpq_rs485_ok[0], 1);
  EXPECT_EQ(panel(), QStringLiteral("节点1：正转！！"));
}

TEST_F(InverterControlTest, FaultCodesAboveTheTableShareItsLastText) {
  station(1).set_fault(200);
  click("Button7");
  EXPECT_EQ(ctl<QLineEdit>("Edit5")->text(), "Er-199");
  EXPECT_EQ(ctl<QLineEdit>("Edit6")->text(), "电流偏置电压异常");
  EXPECT_TRUE(control<StatusLamp>(w, "Shape4")->lit());
}

TEST_F(InverterControlTest, ACommandClickedDuringAReadGoesToItsOwnNodeAfterIt) {
  t.sim.set_reply_delay_ms(150);
  uint8_t shown = 0;
  ClockTimer::singleShot(30, w, [&] {
    select(2);
    click("Button3");
    shown = t.st().bpq_pending_cmd;
    select(1);
  });
  click("Button7");
  settle();
  EXPECT_EQ(shown, RunControlWindow::kForward);
  std::vector<Frame> want = {read(1, 0x2000, 6), read(1, 0x3000, 1)};
  for (const Frame& f : takeover(2)) want.push_back(f);
  want.push_back(write(2, 0x1000, 1));
  EXPECT_EQ(testing::frames_of(t.sim), want);
  EXPECT_EQ(t.st().bpq_run_state[2], 1);
}

TEST_F(InverterControlTest, SetFrequencySendsTheClampedTenthsAndLeavesTheRunState) {
  // Exit check: empty 0.0, above 200.0 the bound, one decimal (halves to even).
  const struct {
    const char* typed;
    const char* shown;
    int wire;
  } cases[] = {{"12.34", "12.3", 123}, {"250", "200.0", 2000}, {"", "0.0", 0}, {"0.25", "0.2", 2}, {"0.75", "0.8", 8}};
  t.st().bpq_run_state[1] = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    auto* edit = ctl<QLineEdit>("Edit1");
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromLatin1(c.typed));
    if (QString::fromLatin1(c.typed).isEmpty()) QTest::keyClick(edit, Qt::Key_Delete);
    edit->clearFocus();
    EXPECT_EQ(edit->text(), QString::fromLatin1(c.shown));
    t.sim.clear_journal();
    click("Button2");
    const std::vector<Frame> writes = testing::writes_of(t.sim);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back(), write(1, 0x1001, c.wire));
    EXPECT_EQ(station(1).reg(0x1001), c.wire);
  }
  EXPECT_EQ(t.st().bpq_run_state[1], 1);
  EXPECT_EQ(log().last(), QStringLiteral("节点1：频率设定成功！！"));

  // A replay comes without the exit check: the text is clamped again, and a text that is no number is never sent.
  t.sim.set_reply_delay_ms(150);
  ClockTimer::singleShot(30, w, [&] {
    ctl<QLineEdit>("Edit1")->setText(QStringLiteral("300"));
    click("Button2");
  });
  click("Button7");
  settle();
  t.sim.set_reply_delay_ms(0);
  EXPECT_EQ(testing::writes_of(t.sim).back(), write(1, 0x1001, 2000));
  EXPECT_EQ(ctl<QLineEdit>("Edit1")->text(), "200.0");
  ctl<QLineEdit>("Edit1")->setText(QStringLiteral("."));
  t.sim.clear_journal();
  click("Button2");
  EXPECT_TRUE(testing::writes_of(t.sim).empty());
  EXPECT_EQ(failures().last(), QStringLiteral("节点1：频率设定失败**"));
}

TEST_F(InverterControlTest, FaultResetSendsEightWithoutTakingTheDriveOver) {
  station(1).set_fault(3);
  t.st().bpq_run_state[1] = 2;
  click("Button6");
  EXPECT_EQ(testing::writes_of(t.sim), (std::vector<Frame>{write(1, 0x1000, 8)}));
  EXPECT_EQ(t.st().bpq_run_state[1], 0);
  EXPECT_EQ(t.st().bpq_restore_flags[0], 0);
  EXPECT_EQ(station(1).reg(sim::InverterStation::kFaultCode), 0);
  EXPECT_EQ(log().last(), QStringLiteral("节点1：故障复位成功！！"));
}

TEST_F(InverterControlTest, StatusWordsLampsAndWhoseRunStateItIs) {
  using I = sim::InverterStation;
  const struct {
    uint16_t word;
    bool ours;
    int lamp;  // -1: none
    uint8_t state_after;  // from state 1
  } cases[] = {
      {0, false, 2, 0}, {4, false, 2, 0},  // stopped
      {3, true, -1, 1},                    // no state: lamps off, run state unchanged
      {1, false, 0, 0},                    // running from its own panel: not ours to stop
      {1, true, 0, 1},  {2, true, 1, 1}, {8, true, 3, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word);
    t.st().bpq_rs485_ok[0] = c.ours ? 1 : 0;
    t.st().bpq_run_state[1] = c.ours ? 1 : 0;
    station(1).pin_reg(I::kRunState, c.word);
    click("Button7");
    for (int k = 0; k < 4; ++k)
      EXPECT_EQ(control<StatusLamp>(w, (QByteArray("Shape") + QByteArray::number(k + 1)).constData())->lit(), k == c.lamp) << k;
    EXPECT_EQ(t.st().bpq_run_state[1], c.ours ? c.state_after : 0);
  }
}

TEST_F(InverterControlTest, AFailedReadStopsContinuousReadingAndClearZeroesTheCounters) {
  auto* reading = ctl<QCheckBox>("CheckBox1");
  reading->setChecked(true);
  const uint32_t ok_before = t.st().read_ok_count;
  t.sim.inject(1, testing::fault(sim::Fault::Exception, 0x2000));
  click("Button7");
  EXPECT_FALSE(reading->isChecked());
  EXPECT_EQ(t.st().read_fail_count, 1u);
  EXPECT_EQ(t.st().read_ok_count, ok_before + 1);  // the fault read went on and was answered
  EXPECT_EQ(panel(), QStringLiteral("节点1：变频器状态读取失败"));
  click("Button8");
  EXPECT_EQ(t.st().read_ok_count, 0u);
  EXPECT_EQ(t.st().read_fail_count, 0u);
  for (const char* memo : {"Memo1", "Memo2", "Memo3"}) EXPECT_TRUE(testing::memo_lines(w, memo).isEmpty()) << memo;
}

TEST_F(InverterControlTest, RecordsGoUnderTheChosenNameAndTheirFixedNames) {
  QTemporaryDir dir;
  QString proposed;
  w->set_save_chooser([&](QWidget*, const QString& name) {
    proposed = name;
    return dir.filePath(QStringLiteral("chosen.txt"));
  });
  click("Button3");
  station(1).set_fault(3);
  click("Button3");  // refused while faulted: a failure line
  const std::pair<const char*, const char*> files[] = {
      {"Memo1", "chosen.txt"},
      {"Memo2", "变频器RS485通讯控制执行成功记录.txt"},
      {"Memo3", "变频器RS485通讯控制执行失败记录.txt"},
  };
  std::map<const char*, QString> before;
  for (const auto& [memo, name] : files) before[memo] = shown_text(ctl<QPlainTextEdit>(memo)).trimmed();
  click("Button9");
  EXPECT_EQ(proposed, QStringLiteral("变频器RS485通讯控制记录.txt"));
  for (const auto& [memo, name] : files) {
    SCOPED_TRACE(name);
    const QString written = testing::file_text(dir.filePath(QString::fromUtf8(name)));
    EXPECT_FALSE(before[memo].isEmpty());
    EXPECT_EQ(QString(written).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).trimmed(), before[memo]);
  }
  // The save itself is logged after the files were written, without the time as this window's lines.
  EXPECT_EQ(testing::memo_lines(w, "Memo2").last(), QStringLiteral("记录已保存到 ") + QDir::toNativeSeparators(dir.path()));
}

}  // namespace
}  // namespace velmo
