// Two windows on two nodes of one line, their exchanges interleaved: every frame
// goes to the station its own window chose.
#include <QCheckBox>

#include <set>

#include "link/clock_timer.h"
#include "support/app_on_sim.h"
#include "support/editor_input.h"

namespace velmo {
namespace {

using testing::Frame;

class StationInterleaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    t.sim.add(sim::make_servo(1, 6101, 101));
    t.sim.add(sim::make_servo(2, 6001, 102));
    t.sim.add(sim::make_inverter(3, 4015));
    t.sim.add(sim::make_speed_controller(4));
    t.search(4);
    ASSERT_EQ(t.st().connected, 1u);
    t.sim.clear_journal();
  }
  void click(const char* form, const char* button) { QTest::mouseClick(control<QAbstractButton>(t.form(form), button), Qt::LeftButton); }
  // Only these stations addressed and written to, taking turns (more than two changes).
  void expect_turns(const std::set<int>& addressed, const std::set<int>& written) const {
    std::set<int> seen, wrote;
    int changes = 0, last = -1;
    for (const Frame& f : testing::frames_of(t.sim)) {
      seen.insert(f.station);
      if (f.function != 3) wrote.insert(f.station);
      changes += last >= 0 && f.station != last;
      last = f.station;
    }
    EXPECT_EQ(seen, addressed);
    EXPECT_EQ(wrote, written);
    EXPECT_GT(changes, 2);
  }

  testing::AppOnSim t;
};

TEST_F(StationInterleaveTest, TheInverterWindowPollsNodeThreeWhileTheServoWindowRunsNodeOne) {
  t.app.main_window().N8Click();
  t.ctl<QCheckBox>("TForm9", "CheckBox1")->setChecked(true);  // polls continuously
  t.app.main_window().N6Click();
  click("TForm4", "RadioButton2");
  testing::pass_time(3000);
  click("TForm4", "Button9");
  click("TForm4", "Button6");
  testing::pass_time(5000);
  click("TForm4", "Button8");
  testing::pass_time(3000);
  expect_turns({1, 3}, {1});
}

TEST_F(StationInterleaveTest, TheSpeedControllerStartsNodeFourWhileTheInverterEditorWritesNodeThree) {
  t.app.main_window().RS4851Click();
  t.ctl<QCheckBox>("TForm19", "CheckBox1")->setChecked(true);
  t.app.main_window().N7Click();  // reads the whole menu of node 3
  testing::pass_time(2500);
  // Forward on node 4 while the editor's Enter write waits its 100 ms.
  ClockTimer::singleShot(50, t.form("TForm19"), [this] { click("TForm19", "Button3"); });
  testing::type_and_enter(t.ctl<QLineEdit>("TForm10", "Edit12"), QStringLiteral("0.5"));
  testing::pass_time(2500);
  click("TForm19", "Button5");  // stop
  testing::pass_time(2500);
  EXPECT_EQ(t.writes(3), std::vector<Frame>{testing::write(3, 15, 50)});
  expect_turns({3, 4}, {3, 4});
}

}  // namespace
}  // namespace velmo
