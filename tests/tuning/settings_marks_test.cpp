// The settings fields tell whose values they show: after a node change whose
// reads the drive leaves unanswered they are marked as not read from the new
// node until a read of it fills them; a single write the drive refuses is
// read back, and a field whose read-back fails too is marked unconfirmed.
#include "common/value_marks.h"
#include "tuning_rig.h"

namespace velmo {
namespace {

// Every field that shows a setting read from the drive.
const char* const kSettings[] = {"Edit56", "Edit52", "Edit51", "Edit28",    "Edit29",    "Edit20",
                                 "Edit39", "Edit40", "Edit41", "Edit42",    "Edit9",     "Edit3",
                                 "Edit27", "Edit26", "ComboBox4", "ComboBox5"};

class SettingsMarksTest : public GainTuningTest {
 protected:
  QWidget* w(const char* name) { return control<QWidget>(form, name); }
  bool unread(const char* name) { return w(name)->property("unread").toBool(); }
  bool unconfirmed(const char* name) { return w(name)->property("unconfirmed").toBool(); }
};

TEST_F(SettingsMarksTest, ANodeChangeWithTheDriveSilentMarksEveryReadSettingUntilAReadFillsIt) {
  fast_moves();
  // The opening read servo 1 (layout 1): nothing marked.
  for (const char* name : kSettings) ASSERT_FALSE(unread(name)) << name;
  const QString kp_1 = edit("Edit40")->text();
  // Servo 2 (layout 2) holds its own values: Kp 55, gear 29..32, notch 80.
  // Load class and response at 50, 51: middle, low.
  const std::pair<int, int> held[] = {{55, 333}, {29, 0}, {30, 7}, {31, 0}, {32, 1}, {50, 2}, {51, 1}, {80, 777}};
  for (auto [reg, value] : held) rig.servo(2).set_reg(reg, value);
  ASSERT_NE(kp_1, QStringLiteral("33.3"));
  rig.sim.inject(2, testing::fault(sim::Fault::Silent, std::nullopt, -1));
  testing::select_node(control<QComboBox>(form, "ComboBox2"), 2);
  ASSERT_EQ(tstate().station, 2);
  ASSERT_FALSE(rig.reads(2).empty());
  for (const char* name : kSettings) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(unread(name));
    EXPECT_EQ(w(name)->styleSheet(), QString::fromLatin1(value_mark_style(true, false)));
    EXPECT_TRUE(w(name)->toolTip().contains(QStringLiteral("尚未从节点2读取"))) << w(name)->toolTip().toStdString();
  }
  EXPECT_EQ(edit("Edit40")->text(), kp_1);

  // An accepted read takes the mark off the fields it filled, and only those.
  rig.sim.clear_faults();
  window->Button14Click();
  for (const char* name : {"Edit28", "Edit29", "Edit20", "Edit39", "Edit40", "Edit41", "Edit42", "ComboBox4", "ComboBox5"})
    EXPECT_TRUE(w(name)->styleSheet().isEmpty()) << name;
  EXPECT_EQ(edit("Edit40")->text(), QStringLiteral("33.3"));
  EXPECT_EQ(edit("Edit28")->text(), QStringLiteral("7"));
  for (const char* name : {"Edit56", "Edit9", "Edit27"}) EXPECT_TRUE(unread(name)) << name;
  window->Button23Click();
  window->notch_group_selected(0);
  window->suppressor_group_selected(0);
  EXPECT_EQ(edit("Edit9")->text(), QStringLiteral("777"));
  for (const char* name : kSettings) EXPECT_FALSE(unread(name)) << name;
  // The fields' own hints come back.
  EXPECT_EQ(edit("Edit39")->toolTip(), QStringLiteral("1~30"));
}

TEST_F(SettingsMarksTest, ARefusedWriteShowsWhatTheDriveHoldsOrStaysMarkedWhenTheReadBackFails) {
  fast_moves();
  use(1);
  // Servo 1 (layout 1): Kp at 45, the inertia ratio at 43.
  rig.servo(1).set_reg(45, 456);
  rig.servo(1).set_reg(43, 30);
  window->Button14Click();
  ASSERT_EQ(edit("Edit40")->text(), QStringLiteral("45.6"));

  // Refused, read back: the field shows what the drive kept.
  sim::Fault refuse = testing::fault(sim::Fault::Exception, 45);
  refuse.function = 6;
  rig.sim.inject(1, refuse);
  rig.sim.clear_journal();
  enter("Edit40", "12.3");
  EXPECT_EQ(rig.writes(1), std::vector<testing::Frame>{testing::write(1, 45, 123)});
  ASSERT_FALSE(rig.reads(1).empty());
  EXPECT_EQ(rig.reads(1).back().start, 45);
  EXPECT_EQ(edit("Edit40")->text(), QStringLiteral("45.6"));
  EXPECT_FALSE(unconfirmed("Edit40"));

  // Refused and the read-back unanswered: the typed ratio stays, marked.
  sim::Fault refuse_ratio = testing::fault(sim::Fault::Exception, 43);
  refuse_ratio.function = 6;
  sim::Fault silent = testing::fault(sim::Fault::Silent, 43);
  silent.function = 3;
  rig.sim.inject(1, refuse_ratio);
  rig.sim.inject(1, silent);
  edit("Edit20")->setText(QStringLiteral("7.5"));
  window->Button15Click();
  EXPECT_EQ(edit("Edit20")->text(), QStringLiteral("7.5"));
  EXPECT_EQ(w("Edit20")->styleSheet(), QString::fromLatin1(value_mark_style(false, true)));
  const QString tip = w("Edit20")->toolTip();
  EXPECT_TRUE(tip.startsWith(QStringLiteral("驱动器未确认此值：写入被驱动器拒绝"))) << tip.toStdString();
  EXPECT_TRUE(tip.contains(QStringLiteral("回读没有得到有效应答"))) << tip.toStdString();
  // The next accepted read settles it.
  rig.sim.clear_faults();
  window->Button14Click();
  EXPECT_EQ(edit("Edit20")->text(), QStringLiteral("3.0"));
  EXPECT_FALSE(unconfirmed("Edit20"));
}

}  // namespace
}  // namespace velmo
