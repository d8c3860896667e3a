// Seven windows on line A's servo 2, inverter 3 and speed controller 4; the
// engineer searches line B, whose servo 2 is the same model with other
// settings, whose inverter 3 is another model and which has no station 4.
// Every window treats its drive as gone, stays empty through the next search
// and sends nothing; B's drives keep their settings; line A's own drives
// bring the windows back.
#include <QLabel>

#include <functional>
#include <map>

#include "common/node_lists.h"
#include "common/value_marks.h"
#include "support/app_on_sim.h"

namespace velmo {
namespace {

using testing::Frame;
using testing::settings;

class DriveLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    t.sim.add(sim::make_servo(2, 6001, 102));
    t.sim.add(sim::make_inverter(3, 4015));
    t.sim.add(sim::make_speed_controller(4));
    line_b.add(sim::make_servo(2, 6001, 102));
    line_b.add(sim::make_inverter(3, 5015));
    line_b.add(sim::make_speed_controller(6));
    dynamic_cast<sim::ServoStation&>(*line_b.station(2)).set_reg(2, 4500);
    dynamic_cast<sim::ServoStation&>(*line_b.station(2)).set_reg(3, 300);
    search(t.sim);
  }
  void search(sim::SimLine& line) {
    main.choose_port(QString::fromStdString(line.port_path()));
    t.ctl<QLineEdit>("TForm1", "Edit1")->setText(QStringLiteral("6"));
    main.Button4Click();
    ASSERT_EQ(t.st().connected, 1u);
  }
  void settle() {
    ASSERT_TRUE(testing::wait_for([this] {
      const DriveLinkState& s = t.st();
      return s.sending == 0 && s.write_busy == 0 && s.read_busy == 0;
    }));
  }
  QComboBox* box(const char* form) { return node_list_of(t.form(form)); }
  QString panel(const char* form) { return t.ctl<QLabel>(form, "Panel1")->text(); }
  // Fields of the servo editor marked as not read from the selected drive.
  int unread_fields() {
    int n = 0;
    for (QWidget* w : t.form("TForm2")->findChild<QWidget*>(QStringLiteral("PageControl1"))->findChildren<QLineEdit*>())
      n += is_marked_unread(w);
    return n;
  }

  testing::AppOnSim t;
  MainWindow& main = t.app.main_window();
  sim::SimLine line_b;
  // Each window and the station it works on on line A.
  const std::vector<std::pair<const char*, int>> windows_ = {
      {"TForm2", 2}, {"TForm4", 2}, {"TForm13", 2}, {"TForm10", 3}, {"TForm9", 3}, {"TForm18", 4}, {"TForm19", 4}};
};

TEST_F(DriveLinesTest, WindowsWhoseDrivesAreOnAnotherLineWaitForAPickAndSendNothing) {
  const std::vector<std::function<void()>> openers = {
      [this] { main.N5Click(); }, [this] { main.N6Click(); },  [this] { main.N2Click(); },
      [this] { main.N7Click(); }, [this] { main.N8Click(); },  [this] { main.N13Click(); },
      [this] { main.RS4851Click(); }};
  for (const auto& open : openers) {
    open();
    settle();
  }
  for (const auto& [form, station] : windows_) {
    ASSERT_TRUE(t.form(form)->isVisible()) << form;
    ASSERT_EQ(box(form)->currentText(), QString::number(station)) << form;
  }
  // Inverter 3 runs and stops under TForm9's bus control: its own settings are owed.
  const std::map<int, int> a3 = settings(*t.sim.station(3));
  testing::click(t.form("TForm9"), "Button3");
  settle();
  testing::click(t.form("TForm9"), "Button5");
  settle();
  ASSERT_EQ(t.st().bpq_restore_flags[0], 1);
  ASSERT_NE(settings(*t.sim.station(3)), a3);
  const std::map<int, int> b2 = settings(*line_b.station(2)), b3 = settings(*line_b.station(3));
  EXPECT_EQ(unread_fields(), 0);

  // Line B, twice: no window names a node, each says its drive is gone.
  for (int pass = 0; pass < 2; ++pass) {
    search(line_b);
    settle();
    for (const auto& [form, station] : windows_) {
      EXPECT_EQ(box(form)->currentIndex(), -1) << form << " pass " << pass;
      EXPECT_EQ(panel(form), QStringLiteral("节点%1：已不在线上，请重新选择节点！！").arg(station)) << form;
    }
  }
  EXPECT_EQ(t.ctl<QLabel>("TForm2", "Label240")->text(), QString());
  EXPECT_GT(unread_fields(), 10);

  // Downloads, reads and commands with no node picked send nothing.
  line_b.clear_journal();
  for (const auto& [form, button] : std::vector<std::pair<const char*, const char*>>{
           {"TForm2", "Button5"}, {"TForm2", "Button2"}, {"TForm4", "Button14"}, {"TForm4", "Button15"}}) {
    testing::click(t.form(form), button);
    settle();
  }
  // TForm9 cannot give A's inverter its settings back from line B: it says which drive waits.
  testing::click(t.form("TForm9"), "Button1");
  settle();
  EXPECT_TRUE(t.form("TForm9")->isVisible());
  EXPECT_TRUE(panel("TForm9").startsWith(QStringLiteral("节点3（%1）").arg(QString::fromStdString(t.sim.port_path()))))
      << panel("TForm9").toStdString();
  EXPECT_TRUE(line_b.journal().empty());
  for (const auto& [form, station] : windows_) EXPECT_FALSE(panel(form).contains(QStringLiteral("节点0"))) << form;

  // Picking B's servo 2 reads it, with its own layout, before anything goes to it.
  testing::select_node(box("TForm2"), 2);
  settle();
  EXPECT_EQ(t.ctl<QLabel>("TForm2", "Label240")->text(), "2");
  EXPECT_EQ(unread_fields(), 0);
  testing::click(t.form("TForm2"), "Button5");
  settle();
  EXPECT_EQ(line_b.station(2)->reg(2), 4500);
  EXPECT_EQ(line_b.station(2)->reg(3), 300);
  for (const Frame& f : testing::frames_of(line_b)) EXPECT_EQ(f.station, 2) << f;
  EXPECT_EQ(settings(*line_b.station(3)), b3);

  // Line A: the drives of the windows that did not pick come back to them.
  t.sim.clear_journal();
  search(t.sim);
  settle();
  for (const auto& [form, station] : windows_) {
    if (std::string_view(form) == "TForm2") continue;  // it picked B's servo 2
    EXPECT_EQ(box(form)->currentText(), QString::number(station)) << form;
  }
  EXPECT_EQ(box("TForm2")->currentIndex(), -1);
  for (const Frame& f : testing::frames_of(t.sim)) EXPECT_EQ(f.function, 3) << f;
  // Back on its line, the inverter gets its own settings.
  testing::click(t.form("TForm9"), "Button1");
  settle();
  EXPECT_FALSE(t.form("TForm9")->isVisible());
  EXPECT_EQ(settings(*t.sim.station(3)), a3);
  for (const Frame& f : testing::writes_of(t.sim)) EXPECT_EQ(f.station, 3) << f;
  std::map<int, int> b2_now = settings(*line_b.station(2));
  EXPECT_EQ(b2_now, b2);
}

}  // namespace
}  // namespace velmo
