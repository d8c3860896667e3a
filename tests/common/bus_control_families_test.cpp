// The inverter and speed-controller control windows on the bus-control base:
// the exit guard over the family's run states and the restore of the
// flagged drive's own control settings.
#include <QCheckBox>
#include <gtest/gtest.h>

#include "support/app_on_sim.h"
#include "support/editor_input.h"

namespace velmo {
namespace {

using testing::Frame;
using testing::write;

TEST(BusControlFamilies, TheExitWaitsForStoppedDrivesAndRestoresTheFlaggedOne) {
  testing::AppOnSim t;
  t.sim.add(sim::make_inverter(2, 4015));
  t.sim.add(sim::make_speed_controller(3, 1015, 1, 1));
  t.search(3);
  ASSERT_EQ(t.st().connected, 1u);
  DriveLinkState& st = t.st();
  // The settings read at connection, straight from the simulated drives.
  std::vector<Frame> inverter_restore;
  for (int reg : {4, 5, 8, 9}) inverter_restore.push_back(write(2, reg, t.sim.station(2)->reg(reg)));

  struct Case {
    const char* form;
    uint8_t station;
    ByAddr<uint8_t> DriveLinkState::*run_state;
    ByPos<uint8_t> DriveLinkState::*restore_flags;
    const char* running;
    std::vector<Frame> restore;
  };
  const Case cases[] = {
      {"TForm9", 2, &DriveLinkState::bpq_run_state, &DriveLinkState::bpq_restore_flags,
       "退出前，请确保电机停止且变频器无故障！！", inverter_restore},
      {"TForm19", 3, &DriveLinkState::tsq_run_state, &DriveLinkState::tsq_restore_flags,
       "退出前，请确保电机停止且调速器无故障！！", {write(3, 2, 1)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.form);
    QWidget* w = t.form(c.form);
    w->show();
    t.sim.clear_journal();
    (st.*c.run_state)[c.station] = 1;
    (st.*c.restore_flags)[0] = 1;
    testing::click(w, "Button1");
    EXPECT_EQ(t.notifier.messages.value(t.notifier.messages.size() - 1), QString::fromUtf8(c.running));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(t.writes(c.station).empty());

    // The refusal switched continuous reading on, which holds the exit button.
    auto* reading = control<QCheckBox>(w, "CheckBox1");
    EXPECT_TRUE(reading->isChecked());
    reading->setChecked(false);
    (st.*c.run_state)[c.station] = 0;
    t.sim.clear_journal();
    testing::click(w, "Button1");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(t.writes(c.station), c.restore);
    EXPECT_EQ((st.*c.restore_flags)[0], 0);
  }
}

// Inverter 5 or speed controller 6 runs under its control window: a search
// waits for it, the family's editor renumbers another drive but not this
// one, the window's list stays on it throughout, and its stop reaches it.
TEST(BusControlFamilies, ARunningDriveStaysWithItsWindowThroughSearchesAndRenumberings) {
  testing::AppOnSim t;
  for (uint8_t a : {3, 5}) t.sim.add(sim::make_inverter(a, 4015));
  for (uint8_t a : {4, 6}) t.sim.add(sim::make_speed_controller(a, 1015, 1, 1));
  t.search(6);
  ASSERT_EQ(t.st().connected, 1u);
  MainWindow& main = t.app.main_window();
  struct Case {
    const char* control;
    const char* editor;
    void (MainWindow::*open_control)();
    void (MainWindow::*open_editor)();
    const char* editor_list;
    uint8_t other, running, renumbered;
    int station_reg;
  };
  const Case cases[] = {
      {"TForm9", "TForm10", &MainWindow::N8Click, &MainWindow::N7Click, "ComboBox1", 3, 5, 7, 160},
      {"TForm19", "TForm18", &MainWindow::RS4851Click, &MainWindow::N13Click, "ComboBox1", 4, 6, 8, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    QWidget* w = t.form(c.control);
    const QString title = w->windowTitle();
    auto* list = control<QComboBox>(w, "ComboBox1");
    auto settle = [&] { ASSERT_TRUE(testing::wait_for([&] { return t.st().write_busy == 0 && t.st().sending == 0; })); };
    (main.*c.open_control)();
    settle();
    testing::select_node(list, c.running);
    testing::click(w, "Button3");
    t.sim.clear_journal();
    main.Button4Click();
    EXPECT_TRUE(t.sim.requests().empty());
    EXPECT_EQ(t.notifier.messages.last(),
              QStringLiteral("“%1”启动的节点%2可能仍在运转，请先停止电机再搜索节点！！").arg(title).arg(c.running));

    // Another drive of the family takes a new number: the list keeps this one.
    (main.*c.open_editor)();
    settle();
    QWidget* editor = t.form(c.editor);
    testing::type_and_enter(control<QLineEdit>(editor, "Edit31"), QString::number(c.renumbered));
    settle();
    EXPECT_EQ(t.writes(c.other), std::vector<Frame>{write(c.other, c.station_reg, c.renumbered)});
    EXPECT_EQ(list->currentText(), QString::number(c.running));
    // The running one keeps its number.
    testing::select_node(control<QComboBox>(editor, c.editor_list), c.running);
    settle();
    t.sim.clear_journal();
    testing::type_and_enter(control<QLineEdit>(editor, "Edit31"), QStringLiteral("9"));
    settle();
    EXPECT_TRUE(t.writes(c.running).empty());
    EXPECT_EQ(control<QLineEdit>(editor, "Edit31")->text(), QString::number(c.running));
    EXPECT_EQ(t.notifier.messages.last(), QStringLiteral("节点%1：“%2”正在控制此驱动器，不能修改站号！！").arg(c.running).arg(title));

    testing::click(w, "Button5");
    settle();
    const std::vector<Frame> sent = t.writes();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].station, c.running);
    EXPECT_EQ(sent[0].start, 0x1000);
    // Stopped: the search runs, and the list is still on the drive.
    main.Button4Click();
    EXPECT_EQ(t.st().connected, 1u);
    EXPECT_EQ(list->currentText(), QString::number(c.running));
    for (const char* form : {c.control, c.editor}) t.form(form)->hide();
  }
}

}  // namespace
}  // namespace velmo
