// The gain-tuning window on the simulated line: motor identification, gear
// and inertia ratio, load settings, gains and leaving the window.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "common/status_lamp.h"
#include "tuning_rig.h"

namespace velmo {
namespace {

using testing::Frame;
using testing::write;

TEST_F(GainTuningTest, MotorCodeThroughTheWire) {
  use(1);
  struct Case {
    const char* what;
    std::optional<uint16_t> code;
    std::optional<sim::Fault::Kind> fault;
    const char* shown;          // Edit56, unchanged on failure
    uint32_t resolution, scale;
    int curve_step;
    uint32_t row, hold;
    const char* memo;
    const char* line;
  };
  const Case cases[] = {
      {"4005", 4005, {}, "40.5", 4096, 32, 21, 0, 0, "Memo3", "节点1：电机参数读取成功"},
      {"6002", 6002, {}, "60.2", 131072, 1, 16, 1, 1, "Memo3", "节点1：电机参数读取成功"},
      {"exception", 4005, sim::Fault::Exception, "60.2", 131072, 1, 16, 1, 1, "Memo4", "节点1：电机参数读取失败!!"},
      // A garbled reply must not switch the motor (a 32-fold change of resolution).
      {"bad CRC", 4005, sim::Fault::BadCrc, "60.2", 131072, 1, 16, 1, 1, "Memo4", "节点1：电机参数读取失败!!"},
      {"wrong station", 4005, sim::Fault::WrongAddress, "60.2", 131072, 1, 16, 1, 1, "Memo4", "节点1：电机参数读取失败!!"},
      {"13033", 13033, {}, "130.33", 131072, 1, 16, 9, 0, "Memo3", "节点1：电机参数读取成功"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rig.servo(1).set_reg(181, *c.code);
    if (c.fault) rig.sim.inject(1, testing::fault(*c.fault, 181));
    window->Button23Click();
    rig.sim.clear_faults();
    EXPECT_EQ(edit("Edit56")->text(), QString::fromLatin1(c.shown));
    EXPECT_EQ(tstate().servo_resolution, c.resolution);
    EXPECT_EQ(tstate().servo_resolution_scale, c.scale);
    EXPECT_EQ(window->hidden.curve_step, c.curve_step);
    EXPECT_EQ(tstate().motor_row, c.row);
    EXPECT_EQ(tstate().hold_servo_on, c.hold);
    EXPECT_FALSE(edit("Edit52")->text().isEmpty());
    EXPECT_EQ(last(c.memo), QString::fromUtf8(c.line));
  }
  rig.sim.inject(1, testing::fault(sim::Fault::Silent, 181));
  window->Button23Click();
  EXPECT_EQ(control<QLabel>(form, "Panel1")->text(), QStringLiteral("通信失败"));
}

TEST_F(GainTuningTest, GearAndInertiaRatioRoundTripInBothLayouts) {
  struct Case {
    uint8_t station;
    int gear, ratio;
  };
  for (const Case& c : {Case{1, 28, 43}, Case{2, 29, 52}}) {
    SCOPED_TRACE(c.station);
    use(c.station);
    edit("Edit28")->setText(QStringLiteral("123456"));
    edit("Edit29")->setText(QStringLiteral("1000"));
    edit("Edit20")->setText(QStringLiteral("2.5"));
    window->Button15Click();
    EXPECT_EQ(rig.writes(c.station),
              (std::vector<Frame>{{c.station, 16, c.gear, {12, 3456, 0, 1000}}, write(c.station, c.ratio, 25)}));
    EXPECT_EQ(tstate().gear_a, 123456u);
    EXPECT_EQ(tstate().inertia_ratio, 25u);

    // Only the low byte of a high word counts; a ratio of 1.0 gives 11..34 ms.
    rig.servo(c.station).set_reg(c.gear, 0x0101);
    rig.servo(c.station).set_reg(c.gear + 1, 0x0D80);
    rig.servo(c.station).set_reg(c.ratio, 10);
    window->Button14Click();
    EXPECT_EQ(edit("Edit28")->text(), QStringLiteral("13456"));
    EXPECT_EQ(tstate().gear_a, 13456u);
    EXPECT_EQ(edit("Edit20")->text(), QStringLiteral("1.0"));
    EXPECT_EQ(edit("Edit48")->toolTip(), QStringLiteral("11mS ~ 34mS"));
    EXPECT_EQ(last("Memo3"), QStringLiteral("节点%1：增益参数读取成功").arg(c.station));
  }
}

TEST_F(GainTuningTest, ValuesTheFormulaCannotUseAreRefusedOrClampedWithALogLine) {
  use(2);
  tstate().gear_a = 3;
  rig.servo(2).set_reg(29, 0);
  rig.servo(2).set_reg(30, 0);  // numerator 0 would divide every stroke by zero
  rig.servo(2).set_reg(50, 7);  // no such load class
  rig.servo(2).set_reg(52, 0);  // ratio 0: infinite gains
  window->Button14Click();
  EXPECT_EQ(tstate().gear_a, 3u);
  EXPECT_EQ(control<QComboBox>(form, "ComboBox4")->currentIndex(), 0);
  EXPECT_EQ(tstate().inertia_ratio, 10u);
  const QStringList fails = testing::memo_lines(form, "Memo4");
  EXPECT_EQ(fails.size(), 3);
}

TEST_F(GainTuningTest, GainFormulaAndManualEntryWriteTheLayoutsRegisters) {
  use(2);
  rig.servo(2).set_reg(52, 10);
  window->Button14Click();
  rig.sim.clear_journal();
  QTest::mouseClick(control<QPushButton>(form, "Button21"), Qt::LeftButton);
  EXPECT_EQ(rig.writes(2), (std::vector<Frame>{write(2, 57, 127), write(2, 56, 800), write(2, 55, 50)}));

  rig.sim.clear_journal();
  enter("Edit39", "10");
  EXPECT_EQ(rig.writes(2), (std::vector<Frame>{write(2, 57, 117), write(2, 56, 1400), write(2, 55, 88)}));
  EXPECT_EQ(edit("Edit40")->text(), QStringLiteral("8.8"));

  rig.sim.clear_journal();
  enter("Edit40", "85");
  enter("Edit42", "");
  EXPECT_EQ(rig.writes(2), (std::vector<Frame>{write(2, 55, 800), write(2, 57, 200)}));

  use(1);
  rig.servo(1).set_reg(43, 10);
  window->Button14Click();
  rig.sim.clear_journal();
  enter("Edit39", "10");
  EXPECT_EQ(rig.writes(1), (std::vector<Frame>{write(1, 47, 117), write(1, 46, 1400), write(1, 45, 88)}));
}

TEST_F(GainTuningTest, AGroupOfSettingsWithALostWriteEndsOnTheLostStep) {
  use(2);
  // The gear block refused: the ratio still goes out, but Panel1 ends on the gear.
  rig.sim.inject(2, testing::fault(sim::Fault::Exception, 29, -1));
  rig.sim.clear_journal();
  edit("Edit20")->setText(QStringLiteral("2.5"));
  window->Button15Click();
  EXPECT_EQ(rig.writes(2).back(), write(2, 52, 25));
  EXPECT_EQ(control<QLabel>(form, "Panel1")->text(), QStringLiteral("节点2：齿轮比修改失败"));
  EXPECT_EQ(last("Memo4"), QStringLiteral("节点2：齿轮比修改失败!!"));
  // The integral time of the three gains gets no reply; the other two go out.
  rig.sim.clear_faults();
  rig.sim.inject(2, testing::fault(sim::Fault::Silent, 57, -1));
  rig.sim.clear_journal();
  QTest::mouseClick(control<QPushButton>(form, "Button21"), Qt::LeftButton);
  EXPECT_EQ(rig.writes(2).size(), 3u);
  const QString lost = QStringLiteral("节点2：增益设置未全部成功（积分时间修改失败）");
  EXPECT_EQ(control<QLabel>(form, "Panel1")->text(), lost);
  EXPECT_EQ(last("Memo4"), lost + QStringLiteral("!!"));
}

TEST_F(GainTuningTest, LeavingResetsAFaultBeforeTheRestore) {
  use(1);
  rig.st().servo_restore_flags[1] = 3;  // taken over by this window
  rig.servo(1).set_fault(5);
  QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);
  EXPECT_FALSE(form->isVisible());
  const std::vector<Frame> reads = rig.reads(1);
  ASSERT_FALSE(reads.empty());
  EXPECT_EQ(reads.front(), testing::read(1, 0x3000, 1));
  std::vector<Frame> want = {write(1, 0x1004, 8)};
  for (const Frame& f : rig.restore_writes(1)) want.push_back(f);
  EXPECT_EQ(rig.writes(1), want);
  EXPECT_EQ(rig.st().servo_restore_flags[1], 0);
  EXPECT_EQ(rig.st().active_form, 1);
}

TEST_F(GainTuningTest, LeavingResetsEveryStageAndStopsTheLampTimer) {
  use(1);
  tstate().tuning_stage = {2, 1, 2, 0, 2};
  auto* timer3 = form->findChild<ClockTimer*>(QStringLiteral("Timer3"));
  timer3->start();
  QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);
  EXPECT_FALSE(form->isVisible());
  for (uint8_t stage : tstate().tuning_stage) EXPECT_EQ(stage, 0);
  EXPECT_FALSE(timer3->isActive());
  for (const char* lamp : {"Shape1", "Shape5", "Shape2", "Shape3"}) EXPECT_FALSE(control<StatusLamp>(form, lamp)->lit()) << lamp;
}

}  // namespace
}  // namespace velmo
