// The settings fields tell whose values they show; what was found on one node
// is not shown for another.
#include <QComboBox>

#include <qcustomplot.h>

#include "common/value_marks.h"
#include "search_rig.h"
#include "tuning/tuning_chart.h"

namespace velmo {
namespace {

// Every field that shows a setting read from the drive.
const char* const kSettings[] = {"Edit56", "Edit52", "Edit51", "Edit28", "Edit29", "Edit20", "Edit39", "Edit40",
                                 "Edit41", "Edit42", "Edit9",  "Edit3",  "Edit27", "Edit26", "ComboBox4", "ComboBox5"};

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
  // Servo 2 (layout 2): Kp 55, gear 29..32, load class and response 50, 51, notch 80.
  const std::pair<int, int> held[] = {{55, 333}, {29, 0}, {30, 7}, {31, 0}, {32, 1}, {50, 2}, {51, 1}, {80, 777}};
  for (auto [reg, value] : held) rig.servo(2).set_reg(reg, value);
  ASSERT_NE(kp_1, QStringLiteral("33.3"));
  rig.sim.inject(2, testing::fault(sim::Fault::Silent, std::nullopt, -1));
  testing::select_node(control<QComboBox>(form, "ComboBox2"), 2);
  ASSERT_FALSE(rig.reads(2).empty());
  for (const char* name : kSettings) {
    SCOPED_TRACE(name);
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
  for (const char* name : {"Edit56", "Edit9", "Edit27"}) EXPECT_TRUE(unread(name)) << name;
  window->Button23Click();
  window->notch_group_selected(0);
  window->suppressor_group_selected(0);
  EXPECT_EQ(edit("Edit9")->text(), QStringLiteral("777"));
  for (const char* name : kSettings) EXPECT_FALSE(unread(name)) << name;
  EXPECT_EQ(edit("Edit39")->toolTip(), QStringLiteral("1~30"));
}

TEST_F(SettingsMarksTest, ARefusedWriteShowsWhatTheDriveHoldsOrStaysMarkedWhenTheReadBackFails) {
  fast_moves();
  use(1);
  // Servo 1 (layout 1): Kp at 45, the inertia ratio at 43.
  rig.servo(1).set_reg(45, 456);
  rig.servo(1).set_reg(43, 30);
  window->Button14Click();
  // Refused, read back: the field shows what the drive kept.
  rig.sim.inject(1, testing::fault(sim::Fault::Exception, 45, 1, 6));
  rig.sim.clear_journal();
  enter("Edit40", "12.3");
  EXPECT_EQ(rig.writes(1), std::vector<testing::Frame>{testing::write(1, 45, 123)});
  ASSERT_FALSE(rig.reads(1).empty());
  EXPECT_EQ(rig.reads(1).back().start, 45);
  EXPECT_EQ(edit("Edit40")->text(), QStringLiteral("45.6"));
  EXPECT_FALSE(unconfirmed("Edit40"));
  // Refused and the read-back unanswered: the typed ratio stays, marked.
  rig.sim.inject(1, testing::fault(sim::Fault::Exception, 43, 1, 6));
  rig.sim.inject(1, testing::fault(sim::Fault::Silent, 43, 1, 3));
  edit("Edit20")->setText(QStringLiteral("7.5"));
  window->Button15Click();
  EXPECT_EQ(edit("Edit20")->text(), QStringLiteral("7.5"));
  EXPECT_EQ(w("Edit20")->styleSheet(), QString::fromLatin1(value_mark_style(false, true)));
  const QString tip = w("Edit20")->toolTip();
  EXPECT_TRUE(tip.startsWith(QStringLiteral("驱动器未确认此值：写入被驱动器拒绝"))) << tip.toStdString();
  EXPECT_TRUE(tip.contains(QStringLiteral("回读没有得到有效应答"))) << tip.toStdString();
  rig.sim.clear_faults();
  window->Button14Click();
  EXPECT_EQ(edit("Edit20")->text(), QStringLiteral("3.0"));
  EXPECT_FALSE(unconfirmed("Edit20"));
}

class NodeChangeResultsTest : public SearchRigTest {
 protected:
  // A resonance at 450 Hz with jitter on servo 1, detected.
  void detect_on_servo_1() {
    script({.resonance_rigidity = 1, .resonance_hz = 450, .jitter_kv = 1});
    start_at(10);
    window->Button13Click();
    ASSERT_TRUE(chart()->lamp(tuning::TuningChart::LampJitter)) << logs();
    ASSERT_EQ(found_marks(), 1);
  }
  tuning::TuningChart* chart() { return window->chart(); }
  // Visible "检测到 … Hz" marks on the chart.
  int found_marks() {
    int n = 0;
    QCustomPlot* plot = chart()->plot();
    for (int i = 0; i < plot->itemCount(); ++i)
      if (auto* t = qobject_cast<QCPItemText*>(plot->item(i)))
        n += t->visible() && t->text().startsWith(QStringLiteral("检测到"));
    return n;
  }
  void expect_nothing_found(const char* when) {
    SCOPED_TRACE(when);
    for (int l = 0; l <= tuning::TuningChart::LampResponse; ++l)
      EXPECT_FALSE(chart()->lamp(static_cast<tuning::TuningChart::Lamp>(l))) << l;
    for (int s = tuning::TuningChart::Position; s <= tuning::TuningChart::EndVibration; ++s)
      EXPECT_EQ(chart()->point_count(static_cast<tuning::TuningChart::Series>(s)), 0) << s;
    EXPECT_EQ(found_marks(), 0);
    for (const char* name : {"Edit5", "Edit6", "Edit32", "Edit33", "Edit44", "Edit45", "Edit53", "Edit54"})
      EXPECT_TRUE(edit(name)->text().isEmpty()) << name;
    // Node 1's frequency never reaches this node's notch.
    rig.sim.clear_journal();
    window->Button8Click();
    EXPECT_TRUE(testing::writes_of(rig.sim).empty());
  }
};

TEST_F(NodeChangeResultsTest, ANodeChangeAndANewSearchClearWhatWasFound) {
  detect_on_servo_1();
  window->hidden.peak_torque = QStringLiteral("120");
  edit("Edit53")->setText(QStringLiteral("900"));
  edit("Edit54")->setText(QStringLiteral("5.0"));
  testing::select_node(control<QComboBox>(form, "ComboBox2"), 2);
  expect_nothing_found("node change");
  EXPECT_TRUE(window->hidden.peak_torque.isEmpty());
  testing::select_node(control<QComboBox>(form, "ComboBox2"), 1);
  detect_on_servo_1();
  rig.search(2);
  use(1);
  expect_nothing_found("search");
}

}  // namespace
}  // namespace velmo
