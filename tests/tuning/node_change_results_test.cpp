// What the window found on one node is not shown for another: a node change
// or a new search clears the curves, the chart's marks, the lamps, the
// result fields and the frequencies found.
#include <QComboBox>

#include <qcustomplot.h>

#include "common/status_lamp.h"
#include "search_rig.h"
#include "tuning/tuning_chart.h"

namespace velmo {
namespace {

using tuning::TuningChart;

class NodeChangeResultsTest : public SearchRigTest {
 protected:
  // A resonance at 450 Hz with jitter on servo 1, detected.
  void detect_on_servo_1() {
    sim::ServoMechanics::Script s;
    s.resonance_rigidity = 1;
    s.resonance_hz = 450;
    s.jitter_kv = 1;
    script(s);
    start_at(10);
    window->Button13Click();
    ASSERT_TRUE(chart()->lamp(TuningChart::LampJitter)) << logs();
    ASSERT_EQ(found_marks(), 1);
  }
  TuningChart* chart() { return window->chart(); }
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
    for (int l = 0; l <= TuningChart::LampResponse; ++l)
      EXPECT_FALSE(chart()->lamp(static_cast<TuningChart::Lamp>(l))) << l;
    for (int s = TuningChart::Position; s <= TuningChart::EndVibration; ++s)
      EXPECT_EQ(chart()->point_count(static_cast<TuningChart::Series>(s)), 0) << s;
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
  ASSERT_EQ(tstate().station, 2);
  expect_nothing_found("node change");
  EXPECT_TRUE(window->hidden.peak_torque.isEmpty());

  testing::select_node(control<QComboBox>(form, "ComboBox2"), 1);
  detect_on_servo_1();
  rig.search(2);
  ASSERT_EQ(rig.st().servo_count, 2u);
  use(1);
  expect_nothing_found("search");
}

}  // namespace
}  // namespace velmo
