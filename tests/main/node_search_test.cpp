// Node search and connect over the simulated line, through the real windows.
#include <QLabel>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

#include "common/menu_editor_window.h"
#include "link/modbus_frame.h"
#include "main/main_window.h"
#include "support/app_on_sim.h"
#include "support/wait.h"

namespace velmo {
namespace {

using testing::Frame;
using testing::read;

std::vector<Frame> requests_of(const sim::SimLine& sim) { return testing::frames_of(sim); }

QString panel(testing::AppOnSim& t, const char* form) { return t.ctl<QLabel>(form, "Panel1")->text(); }
QStringList memo(testing::AppOnSim& t, const char* form, const char* name) {
  return shown_text(t.ctl<QPlainTextEdit>(form, name)).split('\n', Qt::SkipEmptyParts);
}

TEST(NodeSearch, SearchAndConnectOnTheWire) {
  testing::AppOnSim t;
  t.sim.add(sim::make_servo(1, 6101, 101));
  t.sim.add(sim::make_inverter(2, 4015));
  t.sim.add(sim::make_speed_controller(3, 1015, 0x0123, 0x0102));
  t.search(3);

  std::vector<Frame> expected = {read(1, 0xAB, 1), read(2, 0xAB, 1), read(3, 0xAB, 1),  // search
                                 read(1, 0x01, 1),                                      // line check
                                 read(3, 0x01, 2),                                      // speed controller
                                 read(1, 0xAC, 1)};
  for (int reg : {0, 20, 37, 40, 70, 90, 100, 101, 102, 104, 108, 120, 121, 122, 124, 128, 129, 130, 131, 132})
    expected.push_back(read(1, reg, 1));
  expected.push_back(read(1, 0x37, 1));  // gain switch, layout 1
  for (int reg : {0xAC, 4, 5, 8, 9}) expected.push_back(read(2, reg, 1));
  EXPECT_EQ(requests_of(t.sim), expected);

  const QStringList summary = memo(t, "TForm1", "Memo2");
  ASSERT_EQ(summary.size(), 3);
  EXPECT_TRUE(summary[0].startsWith("搜索到1个伺服节点！！  "));
  EXPECT_TRUE(summary[1].startsWith("搜索到1个变频器节点！！  "));
  EXPECT_TRUE(summary[2].startsWith("搜索到1个调速器节点！！  "));
  EXPECT_EQ(panel(t, "TForm1"), "读取系统参数完毕！！");
  EXPECT_EQ(t.st().connected, 1u);

  EXPECT_EQ(t.items("TForm1", "ComboBox5"), QStringList({"1", "2", "3"}));
  for (auto [form, combo] : {std::pair{"TForm2", "ComboBox45"}, {"TForm3", "ComboBox2"}, {"TForm4", "ComboBox4"},
                             {"TForm8", "ComboBox1"}, {"TForm13", "ComboBox4"}})
    EXPECT_EQ(t.items(form, combo), QStringList({"1"})) << form;
  for (auto form : {"TForm9", "TForm10"}) EXPECT_EQ(t.items(form, "ComboBox1"), QStringList({"2"})) << form;
  for (auto form : {"TForm18", "TForm19"}) EXPECT_EQ(t.items(form, "ComboBox1"), QStringList({"3"})) << form;

  // Speed controller registers above 255 are kept by their low bytes.
  EXPECT_EQ(t.st().tsq_reg1[3], 0x23);
  EXPECT_EQ(t.st().tsq_reg2[3], 0x02u);
  EXPECT_EQ(t.st().servo_subtype_list[0], 1u);
  EXPECT_EQ(t.st().char_time_ms, 700000u / 38400u);
}

struct ClassCase {
  uint16_t w;
  char family;  // 's' servo, 'i' inverter, 't' speed controller
  uint32_t resolution;
  uint8_t high_model, model_type, stop3;
};

TEST(NodeSearch, ClassificationByProgramVersionThroughTheWire) {
  const ClassCase cases[] = {
      {1999, 't', 0, 0, 0, 0},      {2000, 'i', 0, 0, 2, 1},      {2199, 'i', 0, 0, 2, 1},
      {2200, 'i', 0, 0, 3, 1},      {2899, 'i', 0, 0, 3, 1},      {2900, 'i', 0, 0, 4, 1},
      {3999, 'i', 0, 0, 4, 1},      {4000, 'i', 0, 0, 0, 0},      {4999, 'i', 0, 0, 0, 0},
      {5000, 'i', 0, 0, 1, 0},      {6000, 'i', 0, 0, 1, 0},      {6001, 's', 4096, 0, 0, 0},
      {6101, 's', 131072, 0, 0, 0}, {8000, 's', 4096, 0, 0, 0},   {8001, 's', 4096, 1, 0, 0},
      {8101, 's', 131072, 1, 0, 0},
  };
  testing::AppOnSim t;
  int address = 0;
  for (const auto& c : cases) {
    ++address;
    auto station = c.family == 's'   ? sim::make_servo(address, c.w)
                   : c.family == 'i' ? sim::make_inverter(address, c.w)
                                     : sim::make_speed_controller(address, c.w);
    t.sim.add(std::move(station));
  }
  t.search(address);
  const DriveLinkState& st = t.st();
  int s = 0, i = 0, k = 0;
  address = 0;
  for (const auto& c : cases) {
    ++address;
    SCOPED_TRACE(c.w);
    if (c.family == 's') {
      EXPECT_EQ(st.servo_nodes[s], address);
      EXPECT_EQ(st.servo_resolution_list[s], c.resolution);
      EXPECT_EQ(st.servo_high_model[s], c.high_model);
      ++s;
    } else if (c.family == 'i') {
      EXPECT_EQ(st.bpq_nodes[i], address);
      EXPECT_EQ(st.bpq_model_type_list[i], c.model_type);
      EXPECT_EQ(st.bpq_stop3_flags[i], c.stop3);
      EXPECT_EQ(st.bpq_power_code[i], c.w / 100);
      ++i;
    } else {
      EXPECT_EQ(st.tsq_nodes[k], address);
      ++k;
    }
  }
  EXPECT_EQ(st.servo_count, s);
  EXPECT_EQ(st.bpq_count, i);
  EXPECT_EQ(st.tsq_count, k);
}

TEST(NodeSearch, EmptyLine) {
  testing::AppOnSim t;
  t.search(3);
  EXPECT_EQ(panel(t, "TForm1"), "线上无可连接节点！！");
  const QStringList log = memo(t, "TForm1", "Memo2");
  ASSERT_EQ(log.size(), 1);
  EXPECT_TRUE(log[0].startsWith("线上无可连接节点！！  "));
  EXPECT_EQ(t.st().connected, 0u);
  EXPECT_EQ(t.items("TForm1", "ComboBox5"), QStringList());
}

TEST(NodeSearch, InverterAnsweringMenuVersionWithExceptionGetsVariantOne) {
  testing::AppOnSim t;
  t.sim.add(sim::make_inverter(1, 4015, true));
  t.search(1);
  EXPECT_EQ(t.st().connected, 1u);
  EXPECT_EQ(t.st().bpq_subtype_list[0], 1u);
}

TEST(NodeSearch, FailureInTheServoListStillReadsTheGainSwitch) {
  testing::AppOnSim t;
  t.sim.add(sim::make_servo(1, 6101, 101));
  t.sim.add(sim::make_inverter(2, 4015));
  t.sim.inject(1, testing::fault(sim::Fault::Silent, 101, -1));
  t.search(2);

  const auto reqs = requests_of(t.sim);
  auto failed = std::find(reqs.begin(), reqs.end(), read(1, 101, 1));
  ASSERT_NE(failed, reqs.end());
  ASSERT_NE(failed + 1, reqs.end());
  EXPECT_EQ(*(failed + 1), read(1, 0x37, 1));
  EXPECT_EQ(failed + 2, reqs.end());  // no inverter is read after the failure
  EXPECT_EQ(panel(t, "TForm1"), "读取系统参数失败！！");
  EXPECT_TRUE(memo(t, "TForm1", "Memo2").contains("参数读取失败**"));
  EXPECT_EQ(t.st().connected, 0u);
}

TEST(NodeSearch, PortThatCannotBeOpenedIsReported) {
  testing::AppOnSim t;
  t.app.main_window().choose_port("/dev/velmo-no-such-port");
  QTest::mouseClick(t.ctl<QPushButton>("TForm1", "Button4"), Qt::LeftButton);
  EXPECT_TRUE(panel(t, "TForm1").contains("/dev/velmo-no-such-port"));
  EXPECT_TRUE(memo(t, "TForm1", "Memo2").join('\n').contains("/dev/velmo-no-such-port"));
  EXPECT_TRUE(t.ctl<QPushButton>("TForm1", "Button4")->isEnabled());
  EXPECT_EQ(t.st().write_busy, 0);
}

TEST(NodeSearch, SearchUnderBusControlKeepsSnapshotsAndFlagsByStation) {
  testing::AppOnSim t;
  t.sim.add(sim::make_servo(1, 6101, 101));
  t.sim.add(sim::make_inverter(2, 4015));
  t.sim.add(sim::make_inverter(3, 4015));
  t.search(3);
  ASSERT_EQ(t.st().connected, 1u);
  const auto servo_snapshot = t.st().servo_saved_params[1];
  const auto inverter_snapshot = t.st().bpq_rs485_regs[3];

  // Both drives are taken over by the bus: their settings on the drive change.
  t.st().servo_restore_flags[1] = 4;
  t.st().bpq_restore_flags[1] = 1;  // station 3
  t.sim.station(1)->set_reg(0, 9);
  for (int reg : {4, 5, 8, 9}) t.sim.station(3)->set_reg(reg, reg < 8 ? 4 : 8);
  // Station 2 no longer answers: station 3 moves up to position 0.
  t.sim.inject(2, testing::fault(sim::Fault::Silent, std::nullopt, -1));

  t.search(3);
  EXPECT_EQ(t.st().servo_saved_params[1], servo_snapshot);
  EXPECT_EQ(t.st().bpq_rs485_regs[3], inverter_snapshot);
  ASSERT_EQ(t.st().bpq_count, 1);
  EXPECT_EQ(t.st().bpq_nodes[0], 3);
  EXPECT_EQ(t.st().bpq_restore_flags[0], 1);
  EXPECT_EQ(t.st().bpq_restore_flags[1], 0);
}

TEST(NodeSearch, UnpluggedLineIsReportedAndTheMenuLocked) {
  testing::AppOnSim t;
  t.sim.add(sim::make_servo(1));
  t.search(1);
  ASSERT_EQ(t.st().connected, 1u);
  t.sim.hang_up();
  ASSERT_TRUE(testing::wait_for([&] { return !t.link().Comm1.isOpen(); }));
  EXPECT_TRUE(t.ctl<QLabel>("TForm1", "Panel1")->text().startsWith("串口已断开："));
  EXPECT_TRUE(shown_text(t.ctl<QPlainTextEdit>("TForm1", "Memo2")).contains("串口已断开："));
  EXPECT_EQ(t.st().connected, 0u);
  EXPECT_TRUE(t.ctl<QPushButton>("TForm1", "Button4")->isEnabled());
  // The port list searched afresh replaces the line, though no port opened.
  t.app.main_window().Button3Click();
  EXPECT_EQ(t.ctl<QLabel>("TForm1", "Panel1")->text(), QStringLiteral("串口搜索完成！！"));
}

// The main window sits minimised behind the window the engineer uses: every
// open window says the port is lost, on its status line and in its failure
// log; a hidden one is left alone.
TEST(NodeSearch, AnUnpluggedLineIsToldInEveryOpenWindow) {
  testing::AppOnSim t;
  t.sim.add(sim::make_servo(1));
  t.sim.add(sim::make_inverter(3));
  t.search(3);
  ASSERT_EQ(t.st().connected, 1u);
  t.app.main_window().N7Click();  // inverter editor
  t.app.main_window().N9Click();  // inverter fault table
  ASSERT_TRUE(t.form("TForm10")->isVisible());
  const QString hidden_panel = t.ctl<QLabel>("TForm9", "Panel1")->text();

  t.sim.hang_up();
  ASSERT_TRUE(testing::wait_for([&] { return !t.link().Comm1.isOpen(); }));
  const QString lost = QStringLiteral("串口已断开：") + t.link().Comm1.CommName;
  for (const char* form : {"TForm10", "TForm16"})
    EXPECT_EQ(t.ctl<QLabel>(form, "Panel1")->text(), lost) << form;
  EXPECT_TRUE(shown_text(t.ctl<QPlainTextEdit>("TForm10", "Memo2")).contains(lost + QStringLiteral("**")));
  EXPECT_EQ(t.ctl<QLabel>("TForm9", "Panel1")->text(), hidden_panel);
  // An exchange that fails on the lost port does not replace the line.
  auto* editor = static_cast<MenuEditorWindow*>(t.form("TForm10"));
  EXPECT_FALSE(editor->engine().read_menu({}));
  EXPECT_EQ(t.ctl<QLabel>("TForm10", "Panel1")->text(), lost);
  // A new search opens the port afresh: the lines are the windows' own again.
  t.search(3);
  EXPECT_NE(t.ctl<QLabel>("TForm1", "Panel1")->text(), lost);
  EXPECT_FALSE(editor->engine().read_menu({}));
  EXPECT_NE(t.ctl<QLabel>("TForm10", "Panel1")->text(), lost);
}

}  // namespace
}  // namespace velmo
