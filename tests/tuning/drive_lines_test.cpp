// Gain tuning took line A's servo 2 over for a trial move. The engineer then
// searches line B (its servo 2 a layout-1 drive) and line C (whose servo 5,
// the same model as A's servo 2, is renumbered 2), and comes back to line A:
// nothing of A's servo 2 reaches another drive, and it gets its own settings
// back on line A.
#include <QLabel>

#include <map>
#include <set>

#include "support/editor_input.h"
#include "support/wait.h"
#include "tuning_rig.h"

namespace velmo {
namespace {

using testing::Frame;
using testing::settings;

// Stations and functions of every request a line saw.
std::set<std::pair<int, int>> traffic(const sim::SimLine& line) {
  std::set<std::pair<int, int>> seen;
  for (const Frame& f : testing::frames_of(line)) seen.insert({f.station, f.function});
  return seen;
}

struct DriveLinesTest : GainTuningTest {
  void search(sim::SimLine& line, int range) {
    main.choose_port(QString::fromStdString(line.port_path()));
    control<QLineEdit>(rig.form("TForm1"), "Edit1")->setText(QString::number(range));
    main.Button4Click();
    ASSERT_EQ(rig.st().connected, 1u);
  }
  QString panel() { return control<QLabel>(form, "Panel1")->text(); }
  QComboBox* nodes() { return control<QComboBox>(form, "ComboBox2"); }
  void settle() {
    ASSERT_TRUE(testing::wait_for([this] {
      const DriveLinkState& s = rig.st();
      return s.sending == 0 && s.write_busy == 0 && s.read_busy == 0;
    }));
  }

  MainWindow& main = rig.app.main_window();
  sim::SimLine line_b, line_c;
};

TEST_F(DriveLinesTest, ATakenOverDriveIsRestoredOnlyOnItsOwnLineWhateverAnswersAtItsNumberElsewhere) {
  // Servo 2 runs in position mode (F0-00 = 2) when the engineer starts.
  rig.servo(2).set_reg(0, 2);
  search(rig.sim, 2);
  const std::map<int, int> a2_before = settings(*rig.sim.station(2));
  fast_moves();
  use(2);
  window->Button23Click();
  edit("Edit8")->setText(QStringLiteral("1"));
  edit("Edit67")->setText(QStringLiteral("1"));
  edit("Edit68")->setText(QStringLiteral("2000"));
  window->Button22Click();
  ASSERT_EQ(rig.st().servo_restore_flags[2], 3);
  ASSERT_EQ(rig.sim.station(2)->reg(0), 1);

  line_b.add(sim::make_servo(2, 6101, 101));
  line_c.add(sim::make_servo(5, 6001, 102));
  const std::map<int, int> b2 = settings(*line_b.station(2)), c5 = settings(*line_c.station(5));
  rig.sim.clear_journal();

  // Line B: station 2 is another drive. The window names none and sends nothing.
  search(line_b, 5);
  EXPECT_EQ(nodes()->currentIndex(), -1);
  EXPECT_EQ(panel(), QStringLiteral("节点2：已不在线上，请重新选择节点！！"));
  EXPECT_EQ(rig.st().servo_restore_flags[2], 0);
  edit("Edit20")->setText(QStringLiteral("25.0"));
  QTest::mouseClick(control<QPushButton>(form, "Button15"), Qt::LeftButton);
  EXPECT_FALSE(panel().contains(QStringLiteral("节点0")));

  // Line C: the box still waits for a pick. C's servo 5 becomes 2.
  search(line_c, 5);
  EXPECT_EQ(nodes()->currentIndex(), -1);
  EXPECT_EQ(panel(), QStringLiteral("节点2：已不在线上，请重新选择节点！！"));
  main.N12Click();  // opened again from the menu: still no node
  EXPECT_EQ(nodes()->currentIndex(), -1);
  EXPECT_EQ(panel(), QStringLiteral("节点2：已不在线上，请重新选择节点！！"));
  main.N5Click();
  settle();
  QWidget* editor = rig.app.form("TForm2");
  testing::type_and_enter(control<QLineEdit>(editor, "Edit66"), QStringLiteral("2"));
  settle();
  ASSERT_NE(line_c.station(2), nullptr);
  EXPECT_EQ(nodes()->currentIndex(), -1);

  // Leaving tuning now would restore a drive that is not on this line: it
  // says which one waits and writes nothing.
  rig.notifier.messages.clear();
  const size_t c_frames = line_c.request_count();
  QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);
  settle();
  EXPECT_TRUE(form->isVisible());
  const QString waits = QStringLiteral("节点2（%1）").arg(QString::fromStdString(rig.sim.port_path()));
  EXPECT_TRUE(panel().contains(waits) && panel().contains(QStringLiteral("仍待恢复"))) << panel().toStdString();
  EXPECT_EQ(rig.notifier.messages.size(), 1u);
  EXPECT_EQ(line_c.request_count(), c_frames);

  // Line A again: the same drive, so the window goes on with it, and its
  // exit switches it off and restores it there.
  search(rig.sim, 2);
  EXPECT_EQ(nodes()->currentText(), "2");
  EXPECT_EQ(rig.st().servo_restore_flags[2], 3);
  rig.sim.clear_journal();
  QTest::mouseClick(control<QPushButton>(form, "Button1"), Qt::LeftButton);
  ASSERT_TRUE(testing::wait_for([&] { return !form->isVisible(); }));
  const std::vector<Frame> restored = rig.restore_writes(2), sent = rig.writes(2);
  EXPECT_NE(std::search(sent.begin(), sent.end(), restored.begin(), restored.end()), sent.end());
  EXPECT_EQ(rig.sim.station(2)->reg(0), a2_before.at(0));
  EXPECT_EQ(rig.st().servo_restore_flags[2], 0);
  EXPECT_TRUE(rig.writes(1).empty());

  // B saw reads only; C only the renumbering write to station 5. Their
  // drives hold what they held, but C's new address.
  for (const auto& [station, function] : traffic(line_b)) EXPECT_EQ(function, 3) << station;
  for (const auto& [station, function] : traffic(line_c)) EXPECT_TRUE(function == 3 || station == 5) << station;
  EXPECT_EQ(settings(*line_b.station(2)), b2);
  std::map<int, int> c2 = settings(*line_c.station(2));
  for (const auto& [reg, value] : c5)
    if (value != 5) EXPECT_EQ(c2[reg], value) << reg;
}

}  // namespace
}  // namespace velmo
