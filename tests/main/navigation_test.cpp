// The main menu: preconditions and their messages, what each entry sets, and
// leaving a window.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <functional>

#include "common/notifier.h"
#include "common/velmo_window.h"
#include "drivelink/drive_link.h"
#include "main/main_window.h"
#include "main/velmo_app.h"

namespace velmo {
namespace {

// A menu entry as a plain call: GCC's undefined-behaviour checks misreport
// calls made through member-function pointers.
#define ENTRY(handler) [](MainWindow& m) { m.handler(); }

const QString kSearchFirst = QStringLiteral("请先搜索节点！！");
const QString kNoServo = QStringLiteral("线上没有伺服节点！！");
const QString kNoInverter = QStringLiteral("线上没有变频器节点！！");
const QString kNoSpeedCtl = QStringLiteral("线上没有调速器节点！！");

struct NavigationTest : ::testing::Test {
  RecordingNotifier notifier;
  VelmoApp app{notifier};
  MainWindow& main = app.main_window();
  DriveLinkState& st = app.link().st;

  void SetUp() override { main.show(); }

  VelmoWindow* window(const char* name) { return qobject_cast<VelmoWindow*>(app.form(name)); }
  template <typename T>
  T* ctl(const char* form, const char* name) {
    return app.form(form)->findChild<T*>(QString::fromLatin1(name));
  }
  QStringList shown() {
    QStringList out;
    for (QWidget* w : app.windows())
      if (w != &main && w->isVisible()) out << w->objectName();
    return out;
  }
  // One inverter at station 5 of the given model type, as the search leaves it.
  void line_with_one_inverter(uint8_t model_type) {
    st.connected = 1;
    st.bpq_count = 1;
    st.bpq_nodes[0] = 5;
    st.bpq_model_type_list[0] = model_type;
    for (const char* form : {"TForm9", "TForm10"}) {
      auto* box = ctl<QComboBox>(form, "ComboBox1");
      box->clear();
      box->addItem(QStringLiteral("5"));
      box->setCurrentIndex(0);
    }
  }
};

TEST_F(NavigationTest, BeforeAnySearchDriveEntriesOnlyComplain) {
  struct Case {
    std::function<void(MainWindow&)> entry;
    QStringList messages;
  } cases[] = {
      {ENTRY(N5Click), {kSearchFirst, kNoServo}},     {ENTRY(N2Click), {kSearchFirst, kNoServo}},
      {ENTRY(N6Click), {kSearchFirst, kNoServo}},     {ENTRY(N11Click), {kSearchFirst, kNoServo}},
      {ENTRY(N12Click), {kSearchFirst}},              {ENTRY(N7Click), {kSearchFirst, kNoInverter}},
      {ENTRY(N8Click), {kSearchFirst, kNoInverter}},  {ENTRY(N13Click), {kSearchFirst, kNoSpeedCtl}},
      {ENTRY(RS4851Click), {kSearchFirst, kNoSpeedCtl}},
  };
  int row = 0;
  for (const Case& c : cases) {
    notifier.messages.clear();
    c.entry(main);
    EXPECT_EQ(notifier.messages, c.messages) << "row " << row;
    EXPECT_TRUE(shown().isEmpty()) << "row " << row;
    EXPECT_EQ(st.active_form, 1) << "row " << row;
    EXPECT_FALSE(main.isMinimized()) << "row " << row++;
  }
}

// The last opened window takes the log; leaving either (exit button or close
// box) gives it back to the main window.
TEST_F(NavigationTest, FaultTablesOpenWithoutALineAndLeavingEitherReturnsTheLog) {
  main.N10Click();
  EXPECT_TRUE(notifier.messages.isEmpty());
  EXPECT_EQ(shown(), QStringList({"TForm17"}));
  EXPECT_EQ(st.active_form, 17);
  EXPECT_TRUE(main.isMinimized());
  main.N9Click();
  EXPECT_TRUE(notifier.messages.isEmpty());
  EXPECT_EQ(st.active_form, 16);
  EXPECT_EQ(shown().size(), 2);
  ASSERT_TRUE(window("TForm17")->leave());
  EXPECT_EQ(st.active_form, 1);
  EXPECT_EQ(shown(), QStringList({"TForm16"}));
  EXPECT_FALSE(main.isMinimized());
  ASSERT_TRUE(app.form("TForm16")->close());
  EXPECT_TRUE(shown().isEmpty());
  EXPECT_EQ(st.active_form, 1);
}

TEST_F(NavigationTest, WithOnlyInvertersServoEntriesNameTheMissingFamily) {
  line_with_one_inverter(0);
  using Entry = std::function<void(MainWindow&)>;
  for (const Entry& entry : {Entry(ENTRY(N5Click)), Entry(ENTRY(N2Click)), Entry(ENTRY(N6Click)), Entry(ENTRY(N11Click))}) {
    notifier.messages.clear();
    entry(main);
    EXPECT_EQ(notifier.messages, QStringList({kNoServo}));
  }
  EXPECT_TRUE(shown().isEmpty());
  notifier.messages.clear();
  main.RS4851Click();
  EXPECT_EQ(notifier.messages, QStringList({kNoSpeedCtl}));

  // Gain tuning needs the line only: it opens, with nothing to talk to.
  notifier.messages.clear();
  main.N12Click();
  EXPECT_TRUE(notifier.messages.isEmpty());
  EXPECT_EQ(shown(), QStringList({"TForm3"}));
  EXPECT_EQ(st.active_form, 3);
  EXPECT_TRUE(main.isMinimized());
  EXPECT_EQ(ctl<QLabel>("TForm3", "Panel1")->text(), kNoServo);
}

TEST_F(NavigationTest, InverterControlTakesNodeAndModelType) {
  struct Case {
    uint8_t model_type;
    bool fields_usable;
  } cases[] = {{0, true}, {1, true}, {2, false}, {4, false}};
  for (const Case& c : cases) {
    line_with_one_inverter(c.model_type);
    for (const char* e : {"Edit7", "Edit8"}) ctl<QLineEdit>("TForm9", e)->setText(QStringLiteral("12"));
    main.N8Click();
    EXPECT_TRUE(notifier.messages.isEmpty());
    EXPECT_TRUE(app.form("TForm9")->isVisible());
    EXPECT_EQ(st.active_form, 9);
    for (const char* e : {"Edit7", "Edit8"}) {
      auto* edit = ctl<QLineEdit>("TForm9", e);
      EXPECT_EQ(edit->isEnabled(), c.fields_usable) << int(c.model_type) << e;
      EXPECT_EQ(edit->text().isEmpty(), !c.fields_usable) << int(c.model_type) << e;
    }
    ASSERT_TRUE(window("TForm9")->leave());
    EXPECT_EQ(st.active_form, 1);
  }
}

TEST_F(NavigationTest, SpeedControllerFieldsFollowTheMotorSeries) {
  st.connected = 1;
  st.tsq_count = 1;
  st.tsq_nodes[0] = 7;
  auto* list = ctl<QComboBox>("TForm19", "ComboBox1");
  list->addItem(QStringLiteral("7"));
  list->setCurrentIndex(0);
  struct Case {
    uint8_t series;
    bool speed, torque, brake, run_params;
  } cases[] = {{1, true, false, false, true},  {2, true, false, true, true},   {3, false, true, false, true},
               {4, false, false, true, true},  {5, false, false, false, false}, {0, false, false, false, true}};
  for (const Case& c : cases) {
    st.tsq_reg1[7] = c.series;
    main.RS4851Click();
    EXPECT_EQ(st.active_form, 19);
    EXPECT_EQ(ctl<QLineEdit>("TForm19", "Edit1")->isEnabled(), c.speed) << int(c.series);
    EXPECT_EQ(ctl<QLineEdit>("TForm19", "Edit2")->isEnabled(), c.torque) << int(c.series);
    EXPECT_EQ(ctl<QComboBox>("TForm19", "ComboBox2")->isEnabled(), c.brake) << int(c.series);
    EXPECT_EQ(ctl<QPushButton>("TForm19", "Button2")->isEnabled(), c.run_params) << int(c.series);
    ASSERT_TRUE(window("TForm19")->leave());
  }
}

TEST_F(NavigationTest, SelfLearningOpenerKeepsTheTrafficWhereItWas) {
  st.connected = 1;
  st.servo_count = 1;
  st.servo_nodes[0] = 3;
  st.servo_subtype_list[0] = 1;
  auto* list = ctl<QComboBox>("TForm8", "ComboBox1");
  list->addItem(QStringLiteral("3"));
  list->setCurrentIndex(0);
  main.N11Click();
  EXPECT_TRUE(notifier.messages.isEmpty());
  EXPECT_TRUE(app.form("TForm8")->isVisible());
  EXPECT_EQ(st.active_form, 1);
}

TEST_F(NavigationTest, AnEditorIsNotLeftWhileItWrites) {
  line_with_one_inverter(0);
  VelmoWindow* editor = window("TForm10");
  editor->show();
  st.active_form = 10;
  st.write_busy = 1;
  EXPECT_FALSE(editor->close());
  EXPECT_FALSE(editor->leave());
  EXPECT_TRUE(editor->isVisible());
  EXPECT_EQ(st.active_form, 10);
  st.write_busy = 0;
  EXPECT_TRUE(editor->close());
  EXPECT_EQ(st.active_form, 1);
}

TEST_F(NavigationTest, TuningSideWindowsCloseWithoutTouchingTheLog) {
  for (const char* name : {"TForm22", "TForm6"}) {
    app.form(name)->show();
    st.active_form = 3;
    EXPECT_TRUE(app.form(name)->close());
    EXPECT_FALSE(app.form(name)->isVisible());
    EXPECT_EQ(st.active_form, 3) << name;
  }
}

}  // namespace
}  // namespace velmo
