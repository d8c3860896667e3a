// Notch filters and suppressors on the simulated line: group reads, writes
// of the detected frequency (never the field's), resets of one group, and
// failed writes that leave the fields as the drive holds them.
#include <QRadioButton>

#include "tuning_rig.h"

namespace velmo {
namespace {

using testing::write;

class FilterTest : public GainTuningTest {
 protected:
  void select(int radio) {
    control<QRadioButton>(form, QStringLiteral("RadioButton%1").arg(radio).toLatin1().constData())->setChecked(true);
  }
  void click(const char* name) { QTest::mouseClick(control<QPushButton>(form, name), Qt::LeftButton); }
};

TEST_F(FilterTest, NotchSetOnTheDetectionAndResetInBothLayouts) {
  struct Case {
    uint8_t station;
    int radio;               // group button
    int freq_reg;            // hand-read from the register map
    bool has_depth;
  };
  for (const Case c : {Case{1, 3, 77, true}, Case{2, 4, 86, false}}) {
    SCOPED_TRACE(c.station);
    use(c.station);
    for (int r = 0; r < 3; ++r) rig.servo(c.station).set_reg(static_cast<uint16_t>(c.freq_reg + r), 0);
    rig.servo(c.station).set_reg(static_cast<uint16_t>(c.freq_reg), 700);
    rig.servo(c.station).set_reg(static_cast<uint16_t>(c.freq_reg + 1), 3);
    select(c.radio == 3 ? 2 : 1);  // another group first, then the one under test
    select(c.radio);
    EXPECT_EQ(rig.reads(c.station).back(), testing::read(c.station, c.freq_reg, c.has_depth ? 3 : 2));
    EXPECT_EQ(edit("Edit9")->text(), QStringLiteral("700"));
    EXPECT_EQ(edit("Edit3")->text(), QStringLiteral("3"));

    // Nothing detected: the set button writes nothing.
    tstate().resonance_found = 0;
    rig.sim.clear_journal();
    click("Button8");
    EXPECT_TRUE(rig.writes(c.station).empty());

    // The group read and a typed frequency change the field, not what was detected.
    tstate().resonance_found = 1;
    tstate().resonance_freq = 412;
    edit("Edit44")->setText(QStringLiteral("412"));
    select(c.radio == 3 ? 2 : 1);
    select(c.radio);
    enter("Edit9", "900");
    rig.sim.clear_journal();
    click("Button8");
    std::vector<testing::Frame> expected{write(c.station, c.freq_reg, 412), write(c.station, c.freq_reg + 1, 10)};
    if (c.has_depth) expected.push_back(write(c.station, c.freq_reg + 2, 10));
    EXPECT_EQ(rig.writes(c.station), expected);
    EXPECT_EQ(edit("Edit9")->text(), QStringLiteral("412"));
    EXPECT_EQ(edit("Edit3")->text(), QStringLiteral("10"));
    EXPECT_EQ(tstate().resonance_found, 0);
    EXPECT_EQ(tstate().notch_result, 1);

    rig.sim.clear_journal();
    click("Button9");
    expected = {write(c.station, c.freq_reg, 2500), write(c.station, c.freq_reg + 1, 0)};
    if (c.has_depth) expected.push_back(write(c.station, c.freq_reg + 2, 0));
    EXPECT_EQ(rig.writes(c.station), expected);
    EXPECT_EQ(edit("Edit9")->text(), QStringLiteral("2500"));
    EXPECT_EQ(tstate().notch_result, 0);
  }
}

TEST_F(FilterTest, SuppressorSetResetAndARefusedWrite) {
  use(2);
  rig.servo(2).set_reg(92, 155);
  rig.servo(2).set_reg(93, 30);
  select(6);
  EXPECT_EQ(rig.reads(2).back(), testing::read(2, 92, 2));
  EXPECT_EQ(edit("Edit27")->text(), QStringLiteral("15.5"));
  EXPECT_EQ(edit("Edit26")->text(), QStringLiteral("3.0"));

  tstate().endvib_found = 1;
  tstate().endvib_freq_x10 = 125;
  edit("Edit45")->setText(QStringLiteral("12.5"));
  enter("Edit27", "33.3");
  EXPECT_EQ(rig.writes(2).back(), write(2, 92, 333));
  // The drive refuses the frequency: the fields keep what it holds.
  rig.sim.inject(2, testing::fault(sim::Fault::Exception, 92));
  rig.sim.clear_journal();
  click("Button16");
  EXPECT_EQ(rig.writes(2), std::vector<testing::Frame>{write(2, 92, 125)});
  EXPECT_EQ(rig.reads(2), std::vector<testing::Frame>{testing::read(2, 92, 1)});
  EXPECT_EQ(edit("Edit27")->text(), QStringLiteral("33.3"));
  EXPECT_EQ(tstate().endvib_found, 1);
  const QStringList fails = testing::memo_lines(form, "Memo4");
  ASSERT_GE(fails.size(), 2);
  EXPECT_EQ(fails[fails.size() - 2].section(QStringLiteral("  "), 0, 0), QStringLiteral("节点2：参数修改失败!!"));
  EXPECT_EQ(last("Memo4"), QStringLiteral("节点2：驱动器中的振动抑制频率仍为33.3!!"));

  rig.sim.clear_journal();
  click("Button16");
  EXPECT_EQ(rig.writes(2), (std::vector<testing::Frame>{write(2, 92, 125), write(2, 93, 80)}));
  EXPECT_EQ(edit("Edit27")->text(), QStringLiteral("12.5"));
  EXPECT_EQ(edit("Edit26")->text(), QStringLiteral("8.0"));
  EXPECT_EQ(tstate().endvib_found, 0);

  rig.sim.clear_journal();
  click("Button12");
  EXPECT_EQ(rig.writes(2), (std::vector<testing::Frame>{write(2, 92, 0), write(2, 93, 0)}));
  EXPECT_EQ(edit("Edit27")->text(), QStringLiteral("0.0"));

  // Layout 1 keeps its suppressors three registers apart.
  use(1);
  select(5);
  select(6);
  EXPECT_EQ(rig.reads(1).back(), testing::read(1, 94, 2));
  rig.sim.clear_journal();
  click("Button12");
  EXPECT_EQ(rig.writes(1), (std::vector<testing::Frame>{write(1, 94, 0), write(1, 95, 0)}));
}

}  // namespace
}  // namespace velmo
