// The servo menu editor, driven by objectName against simulated servo drives
// on a pty: menu reads per layout, single writes, downloads, station changes,
// the bus-type variant and menu files.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "common/file_chooser.h"
#include "common/log_view.h"
#include "common/param_blocks.h"
#include "link/modbus_frame.h"
#include "main/main_window.h"
#include "servo/servo_menu_editor.h"
#include "servo/servo_param_table.h"
#include "sim/servo_station.h"
#include "sim/stations.h"
#include "support/app_on_sim.h"
#include "support/editor_input.h"
#include "support/fake_chooser.h"
#include "support/page_probe.h"
#include "support/wait.h"

namespace velmo {
namespace {

using velmo::testing::wait_for;

using testing::Frame;

using testing::FakeChooser;

struct ServoMenuEditorTest : ::testing::Test {
  velmo::testing::AppOnSim t;
  ServoMenuEditor* w = nullptr;
  FakeChooser* chooser = nullptr;

  void SetUp() override {
    t.sim.add(sim::make_servo(1, 6101, 101));  // layout 1
    t.sim.add(sim::make_servo(2, 6105, 102));  // layout 2
    t.sim.add(sim::make_servo(4, 8005, 102));  // bus-type, layout 2
    t.search(4);
    ASSERT_EQ(t.st().servo_count, 3);
    // Replies come at once; only injected silences wait this long.
    t.st().comm_timeout_ms = 1000;
    w = dynamic_cast<ServoMenuEditor*>(t.form("TForm2"));
    ASSERT_NE(w, nullptr);
    auto fake = std::make_unique<FakeChooser>();
    chooser = fake.get();
    w->set_file_chooser(std::move(fake));
  }

  template <typename T>
  T* ctl(const char* name) {
    T* found = t.ctl<T>("TForm2", name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  sim::ServoStation& servo(uint8_t a) { return t.servo(a); }

  void open(int station) {
    auto* nodes = ctl<QComboBox>("ComboBox45");
    nodes->setCurrentIndex(nodes->findText(QString::number(station)));
    t.app.main_window().N5Click();
    settle();
  }
  void choose(int station) {
    testing::select_node(ctl<QComboBox>("ComboBox45"), station);
    settle();
  }
  void settle() {
    ASSERT_TRUE(wait_for([&] { return t.st().write_busy == 0 && t.st().sending == 0 && !w->engine().busy(); }));
  }
  QString panel() { return ctl<QLabel>("Panel1")->text(); }
  QStringList lines(const char* memo) { return testing::memo_lines(w, memo); }
  bool logged(const char* memo, const QString& text) {
    for (const QString& l : lines(memo))
      if (l.startsWith(text)) return true;
    return false;
  }
  QString text(const char* edit) { return ctl<QLineEdit>(edit)->text(); }

  std::vector<Frame> frames() { return testing::frames_of(t.sim); }
  void type_and_enter(const char* edit, const QString& keys) { testing::type_and_enter(ctl<QLineEdit>(edit), keys); }
  void pick(const char* combo, int index) { testing::pick_item(ctl<QComboBox>(combo), index); }
  // Saves the menu through the editor and returns the file's bytes.
  QByteArray save_menu(const QString& path) {
    chooser->save_answer = path;
    w->Button4Click();
    settle();
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  void open_menu(const QString& path) {
    chooser->open_answer = path;
    w->Button3Click();
    settle();
  }
  // Waits for `n` requests in all and for the line to be idle.
  void expect_requests(size_t n) {
    EXPECT_TRUE(wait_for([&] { return t.sim.request_count() >= n; }));
    settle();
    EXPECT_EQ(t.sim.request_count(), n);
  }
  std::vector<Frame> download_frames(int station, int layout) {
    std::vector<Frame> want;
    const ParamTable& table = servo_param_table();
    auto reg = [&](int r) { return static_cast<int>(servo(static_cast<uint8_t>(station)).reg(static_cast<uint16_t>(r))); };
    for (int g = 0; g < kServoGroupCount; ++g) {
      for (const auto& b : write_blocks(table, g, layout)) {
        Frame f{station, b.function, b.start, {}};
        for (int k = 0; k < b.count; ++k) f.values.push_back(reg(b.start + k));
        want.push_back(f);
      }
      for (const ParamRow* row : download_singles(table, g, layout)) want.push_back({station, 6, row->reg, {reg(row->reg)}});
    }
    return want;
  }
};

// ------------------------------------------------------------ reading

TEST_F(ServoMenuEditorTest, ReadsTheWholeMenuGroupByGroupInEachLayout) {
  servo(1).set_reg(2, 3000);
  servo(1).set_reg(41, 65516);  // F2-01 = -20
  servo(1).set_reg(45, 605);
  servo(1).set_reg(28, 12);     // gear numerator 123456
  servo(1).set_reg(29, 3456);
  servo(1).set_reg(171, 6203);
  servo(1).set_reg(180, 1207);
  t.sim.clear_journal();
  open(1);

  for (int layout : {kServoLayout1, kServoLayout2}) {
    const int station = layout == kServoLayout1 ? 1 : 2;
    SCOPED_TRACE(station);
    if (layout == kServoLayout2) {
      t.sim.clear_journal();
      choose(2);
    }
    std::vector<Frame> want;
    for (int g = 0; g < kServoGroupCount; ++g)
      for (const auto& b : read_blocks(servo_param_table(), g, layout)) want.push_back({station, 3, b.start, {b.count}});
    EXPECT_EQ(frames(), want);
    EXPECT_EQ(panel(), QStringLiteral("节点%1：菜单读取成功").arg(station));
    EXPECT_EQ(lines("Memo4").size(), 2 + (layout == kServoLayout1 ? 118 : 106));
    EXPECT_EQ(lines("Memo4").first(), QStringLiteral("SERVO"));
    EXPECT_EQ(ctl<QLabel>("Label240")->text(), layout == kServoLayout1 ? "1" : "2");
    EXPECT_EQ(!ctl<QGroupBox>("GroupBox2")->isHidden(), layout == kServoLayout1);
    EXPECT_EQ(!ctl<QGroupBox>("GroupBox13")->isHidden(), layout == kServoLayout2);
    EXPECT_EQ(t.st().active_form, 2);
    EXPECT_EQ(w->engine().node(), station);
  }
  choose(1);
  EXPECT_EQ(text("Edit1"), "3000");
  EXPECT_EQ(text("Edit11"), "-20");
  EXPECT_EQ(text("Edit14"), "60.5");
  EXPECT_EQ(text("Edit5"), "123456");
  EXPECT_EQ(text("Edit68"), "62.03");
  EXPECT_EQ(text("Edit75"), "400W");
  EXPECT_EQ(text("Edit70"), "12_07");
  EXPECT_EQ(lines("Memo4")[4], QStringLiteral("2          3000"));
}

TEST_F(ServoMenuEditorTest, AFailedGroupEndsTheMenuReadAndChangesNothing) {
  open(1);
  servo(1).set_reg(2, 2222);
  t.st().comm_timeout_ms = 250;
  // A short reply to the F1 read is no reply.
  t.sim.inject(1, {sim::Fault::Short, 0, 4, 3, 2, 1, uint16_t{20}, std::nullopt});
  t.sim.clear_journal();
  w->Button2Click();
  settle();
  EXPECT_EQ(frames().size(), 2u);  // F0 and the refused F1, nothing after
  EXPECT_TRUE(logged("Memo3", QStringLiteral("节点1：F1组参数读取失败")));
  EXPECT_TRUE(logged("Memo3", QStringLiteral("节点1：菜单读取失败")));
  EXPECT_EQ(panel(), QStringLiteral("节点1：菜单读取失败"));
  EXPECT_EQ(t.st().servo_menu_read_error, 1);
  EXPECT_EQ(text("Edit1"), "2222");  // F0 came and was shown
}

// A download sends only what this drive gave, a file held or the engineer
// typed: after a failed first read nothing goes; values of the node shown
// before are marked as that node's and not sent to another.
TEST_F(ServoMenuEditorTest, AfterAFailedReadNothingUnreadIsSentAndUnreadFieldsAreMarked) {
  t.sim.inject(1, {sim::Fault::Silent, 0, 4, 3, 2, -1, std::nullopt, uint8_t{3}});
  open(1);
  t.sim.clear_faults();
  EXPECT_TRUE(panel().startsWith(QStringLiteral("节点1：菜单读取失败")));
  EXPECT_TRUE(ctl<QWidget>("Edit1")->property("unread").toBool());
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  EXPECT_TRUE(frames().empty());
  EXPECT_TRUE(panel().startsWith(QStringLiteral("节点1：菜单下载未执行：F0-0"))) << panel().toStdString();
  EXPECT_EQ(t.st().servo_menu_write_error, 1);

  // Node 2 read whole, node 4 (the same layout) only up to F1.
  choose(2);
  EXPECT_FALSE(ctl<QWidget>("Edit1")->property("unread").toBool());
  t.sim.inject(4, {sim::Fault::Silent, 0, 4, 3, 2, -1, uint16_t{20}, uint8_t{3}});
  choose(4);
  t.sim.clear_faults();
  EXPECT_EQ(panel(), QStringLiteral("节点4：菜单读取失败，标记的参数仍是节点2的值"));
  EXPECT_FALSE(ctl<QWidget>("Edit1")->property("unread").toBool());
  int marked = 0;
  for (QLineEdit* e : w->findChildren<QLineEdit*>())
    if (e->property("unread").toBool()) {
      ++marked;
      EXPECT_TRUE(e->toolTip().contains(QStringLiteral("节点2"))) << e->objectName().toStdString();
    }
  EXPECT_GT(marked, 0);
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  EXPECT_TRUE(frames().empty());
  w->Button2Click();
  settle();
  for (QLineEdit* e : w->findChildren<QLineEdit*>()) EXPECT_FALSE(e->property("unread").toBool()) << e->objectName().toStdString();
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  EXPECT_EQ(panel(), QStringLiteral("节点4：菜单下载成功"));
}

// Locked once for the whole read, not block by block: at every request and
// reply the window is locked, the page is locked as a whole (its enabled
// state never changes),
// a field shows either what it showed before or what the drive answered, and
// after the read what the drive holds.
TEST_F(ServoMenuEditorTest, TheWindowStaysLockedForTheWholeReadAndThenShowsTheDrive) {
  open(1);
  servo(1).set_reg(2, 1234);
  servo(1).set_reg(45, 777);    // F2-05 = 77.7
  servo(1).set_reg(41, 65526);  // F2-01 = -10
  servo(1).set_reg(171, 6305);  // 750W

  struct EnableCounter : QObject {
    int changes = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::EnabledChange) ++changes;
      return false;
    }
  } counter;
  auto* sheet = ctl<QWidget>("TabSheet1");
  sheet->installEventFilter(&counter);
  int seen = 0, unlocked = 0, unconfirmed = 0;
  const QString before = text("Edit1");
  ASSERT_NE(before, "1234");
  auto* traffic = qobject_cast<LogView*>(ctl<QPlainTextEdit>("Memo1"));
  ASSERT_NE(traffic, nullptr);
  QObject context;
  QObject::connect(traffic, &LogView::line_added, &context, [&] {
    ++seen;
    for (const char* name : {"ComboBox45", "Button2", "Button5", "Button4", "Button3", "Button1"})
      if (ctl<QWidget>(name)->isEnabled()) ++unlocked;
    if (testing::takes_keys(ctl<QLineEdit>("Edit1"))) ++unlocked;
    if (text("Edit1") != before && text("Edit1") != "1234") ++unconfirmed;
  });
  t.sim.clear_journal();
  w->Button2Click();
  settle();
  sheet->removeEventFilter(&counter);

  const size_t exchanges = frames().size();
  ASSERT_GT(exchanges, 5u);
  EXPECT_EQ(seen, static_cast<int>(2 * exchanges));  // every request and every reply
  EXPECT_EQ(unlocked, 0);
  EXPECT_EQ(unconfirmed, 0);
  EXPECT_EQ(counter.changes, 0);
  for (const char* name : {"ComboBox45", "TabSheet1", "Button2", "Button5", "Button4", "Button3", "Button1"})
    EXPECT_TRUE(ctl<QWidget>(name)->isEnabled()) << name;
  EXPECT_TRUE(testing::takes_keys(ctl<QLineEdit>("Edit1")));
  EXPECT_EQ(panel(), QStringLiteral("节点1：菜单读取成功"));
  EXPECT_EQ(text("Edit1"), "1234");
  EXPECT_EQ(text("Edit14"), "77.7");
  EXPECT_EQ(text("Edit11"), "-10");
  EXPECT_EQ(text("Edit75"), "750W");
  EXPECT_EQ(lines("Memo4")[4], QStringLiteral("2          1234"));
}

// A field that had the focus when the read began and is left while it runs
// (a click on the logs): the value the read took for it is shown, not the
// one the field showed before.
TEST_F(ServoMenuEditorTest, AFieldLeftDuringTheReadKeepsTheValueRead) {
  open(1);
  servo(1).set_reg(2, 1234);
  auto* field = ctl<QLineEdit>("Edit1");
  ASSERT_NE(field->text(), "1234");
  auto* traffic = qobject_cast<LogView*>(ctl<QPlainTextEdit>("Memo1"));
  ASSERT_NE(traffic, nullptr);
  int seen = 0;
  QObject context;
  QObject::connect(traffic, &LogView::line_added, &context, [&] {
    // Every line of the exchanges after F0's reply: its value taken, perhaps not yet shown.
    if (++seen < 2) return;
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(field, &out);
  });
  w->Button2Click();
  settle();
  EXPECT_EQ(panel(), QStringLiteral("节点1：菜单读取成功"));
  EXPECT_EQ(field->text(), "1234");
  EXPECT_EQ(w->engine().value(2), 1234);
  EXPECT_FALSE(field->property("unread").toBool());
}

// Number fields are as wide as a value needs, lists as wide as their longest
// item: neither stretches across the page.
TEST_F(ServoMenuEditorTest, FieldsAndListsHaveTheirNaturalWidth) {
  open(1);
  w->resize(1600, w->height());
  QTest::qWait(0);
  const int digits = QFontMetrics(ctl<QLineEdit>("Edit1")->font()).horizontalAdvance(QStringLiteral("-00000.00"));
  EXPECT_GE(ctl<QLineEdit>("Edit1")->width(), digits);
  EXPECT_LE(ctl<QLineEdit>("Edit1")->width(), digits + 40);
  auto* list = ctl<QComboBox>("ComboBox1");
  EXPECT_GE(list->width(), list->sizeHint().width());
  EXPECT_LE(list->width(), list->sizeHint().width() + 40);
}

TEST_F(ServoMenuEditorTest, TheLineIsHeldAndTheWindowLockedWhileItRuns) {
  open(1);
  bool node_list = true, sheet_takes_keys = true, exit = true;
  uint8_t busy = 0;
  QTimer::singleShot(0, w, [&] {
    node_list = ctl<QComboBox>("ComboBox45")->isEnabled();
    sheet_takes_keys = testing::takes_keys(ctl<QLineEdit>("Edit1"));
    exit = ctl<QPushButton>("Button1")->isEnabled();
    busy = t.st().write_busy;
    EXPECT_FALSE(w->leave());  // the close box is refused too
  });
  w->Button2Click();
  settle();
  EXPECT_FALSE(node_list);
  EXPECT_FALSE(sheet_takes_keys);
  EXPECT_FALSE(exit);
  EXPECT_EQ(busy, 1);
  EXPECT_TRUE(ctl<QComboBox>("ComboBox45")->isEnabled());
  EXPECT_TRUE(ctl<QPushButton>("Button1")->isEnabled());
}

// ------------------------------------------------------------ single writes

// The clamps and encodings themselves: ParamCodec (tests/common).
TEST_F(ServoMenuEditorTest, EnterOrAListChoiceWritesOneFrameWithTheEncodedValue) {
  open(1);
  const struct {
    const char* name;
    const char* keys;  // null: a list, picked at `index`
    int index, reg, value;
    const char* shown;
  } cases[] = {
      {"Edit1", "5000", 0, 2, 4500, "4500"},       {"Edit14", "60", 0, 45, 600, "60.0"},
      {"Edit11", "-20", 0, 41, 65516, "-20"},      {"Edit76", "7", 0, 22, 7, "7"},
      {"ComboBox2", nullptr, 1, 1, 2, nullptr},     {"ComboBox12", nullptr, 15, 12, 20, nullptr},
      {"ComboBox4", nullptr, 9, 5, 10, nullptr},    {"ComboBox27", nullptr, 1, 100, 2, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    t.sim.clear_journal();
    const size_t before = t.sim.request_count();
    if (c.keys) {
      type_and_enter(c.name, QString::fromLatin1(c.keys));
    } else {
      pick(c.name, c.index);
    }
    expect_requests(before + 1);
    EXPECT_EQ(frames(), (std::vector<Frame>{{1, 6, c.reg, {c.value}}}));
    if (c.shown) {
      EXPECT_EQ(text(c.name), QString::fromLatin1(c.shown));
    }
    EXPECT_EQ(servo(1).reg(static_cast<uint16_t>(c.reg)), c.value);
    EXPECT_EQ(panel(), QStringLiteral("节点1：参数修改成功"));
  }
  EXPECT_EQ(t.st().servo_saved_params[1][6], 2);  // F5-00, slot 6 of layout 1
  // Unchanged, Enter still writes; a gear ratio is two writes, high part first.
  t.sim.clear_journal();
  size_t before = t.sim.request_count();
  type_and_enter("Edit5", QStringLiteral("123456"));
  expect_requests(before + 2);
  EXPECT_EQ(frames(), (std::vector<Frame>{{1, 6, 28, {12}}, {1, 6, 29, {3456}}}));
}

TEST_F(ServoMenuEditorTest, LeavingAFieldClampsAndStagesButSendsNothing) {
  open(1);
  w->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w));
  ctl<QTabWidget>("PageControl1")->setCurrentIndex(0);
  QLineEdit* e = ctl<QLineEdit>("Edit1");
  e->setFocus();
  ASSERT_TRUE(wait_for([&] { return e->hasFocus(); }));
  e->selectAll();
  QTest::keyClick(e, Qt::Key_Backspace);
  QTest::keyClicks(e, QStringLiteral("9x999"));
  const size_t before = t.sim.request_count();
  QTest::keyClick(e, Qt::Key_Tab);
  EXPECT_FALSE(e->hasFocus());
  EXPECT_EQ(text("Edit1"), "4500");
  EXPECT_EQ(w->engine().value(2), 4500);
  EXPECT_EQ(w->engine().staged().reg, 2);
  testing::pass_time(150);
  EXPECT_EQ(t.sim.request_count(), before);
  // Enter moves on too, and writes.
  e->setFocus();
  ASSERT_TRUE(wait_for([&] { return e->hasFocus(); }));
  QTest::keyClick(e, Qt::Key_Return);
  expect_requests(before + 1);
  EXPECT_FALSE(e->hasFocus());
}

TEST_F(ServoMenuEditorTest, TheDaRateFollowsItsFunction) {
  open(1);
  // function index, typed, kept: 4、位置偏差值 / default / 5、定位完成信号
  const struct { int function; const char* typed; const char* kept; } cases[] = {
      {3, "8000", "8000"}, {1, "8000", "500"}, {4, "37", "100"}};
  for (const auto& c : cases) {
    pick("ComboBox39", c.function);
    settle();
    type_and_enter("Edit64", QString::fromLatin1(c.typed));
    settle();
    EXPECT_EQ(text("Edit64"), c.kept) << c.function;
  }
}

TEST_F(ServoMenuEditorTest, TheStagedSingleWriteAndBlockRead) {
  open(2);
  t.st().param_reg = 66;
  t.st().param_value = -3;
  t.sim.clear_journal();
  EXPECT_TRUE(w->RS485_data_modify());
  t.st().block_start = 66;
  t.st().block_count = 1;
  EXPECT_TRUE(w->sf_param_read_block());
  EXPECT_EQ(frames(), (std::vector<Frame>{{2, 6, 66, {65533}}, {2, 3, 66, {1}}}));
  EXPECT_EQ(w->sf_param()[66], 65533);
  EXPECT_EQ(lines("Memo4").last(), QStringLiteral("66          65533"));
  EXPECT_EQ(w->sf_read_ok(), 1);
  t.st().comm_timeout_ms = 250;
  t.sim.inject(2, {sim::Fault::Silent, 0, 4, 3, 2, 1, uint16_t{66}, std::nullopt});
  w->sf_param()[66] = 5;
  EXPECT_FALSE(w->sf_param_read_block());
  EXPECT_EQ(w->sf_read_ok(), 0);
  EXPECT_EQ(w->sf_param()[66], 5);  // a refused read changes nothing
}

TEST_F(ServoMenuEditorTest, AWriteWaitsForTheLineAndGoesToTheEditorsOwnNode) {
  open(1);
  // Another window's exchange is waiting for its reply.
  t.st().sending = 1;
  t.sim.clear_journal();
  const size_t before = t.sim.request_count();
  type_and_enter("Edit1", QStringLiteral("1234"));
  testing::pass_time(100);
  EXPECT_EQ(t.sim.request_count(), before);  // nothing goes out inside the other exchange
  t.st().sending = 0;
  expect_requests(before + 1);
  EXPECT_EQ(frames(), (std::vector<Frame>{{1, 6, 2, {1234}}}));
  EXPECT_EQ(t.st().refused_count, 0u);
}

TEST_F(ServoMenuEditorTest, SnapshotSlotsFollowAcceptedReadsButNotABusControlledDrive) {
  servo(1).set_reg(100, 2);
  open(1);
  EXPECT_EQ(t.st().servo_saved_params[1][6], 2);
  servo(1).set_reg(100, 1);
  servo(1).set_reg(0, 5);
  t.st().servo_restore_flags[1] = 4;
  w->Button2Click();
  settle();
  EXPECT_EQ(t.st().servo_saved_params[1][6], 2);
  EXPECT_NE(t.st().servo_run_mode[1], 5u);
  EXPECT_EQ(ctl<QComboBox>("ComboBox27")->currentIndex(), 0);  // the controls still show the drive
}

// ------------------------------------------------------------ download

TEST_F(ServoMenuEditorTest, DownloadNeverResetsTheDriveNorStartsSelfLearning) {
  open(1);
  for (const char* combo : {"ComboBox44", "ComboBox21", "ComboBox24", "ComboBox25"})
    ctl<QComboBox>(combo)->setCurrentIndex(1);
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  for (const Frame& f : frames()) {
    if (f.start == 170) {
      EXPECT_EQ(f.values, std::vector<int>{1});
    }
    if (f.start == 40 || f.start == 70 || f.start == 90) {
      EXPECT_EQ(f.values.front(), 1) << f;
    }
  }
  EXPECT_EQ(sim::factory_reset_count(servo(1)), 0);
  EXPECT_EQ(servo(1).self_learning_starts(), 0);
  EXPECT_EQ(ctl<QComboBox>("ComboBox44")->currentText(), QStringLiteral("1、不恢复"));
  // Picked directly, they do what they say.
  pick("ComboBox44", 1);
  settle();
  EXPECT_EQ(frames().back(), (Frame{1, 6, 170, {2}}));
  EXPECT_EQ(sim::factory_reset_count(servo(1)), 1);
}

// A list value no item carries (F0-04 has items 1..3; the bus-type run
// modes have no 7), from the drive or a file, shows as its number with the
// look of a number field out of its range and a tip saying why; a download
// sends it as it came, and a pick replaces it.
TEST_F(ServoMenuEditorTest, AValueNoListItemCarriesShowsMarkedAndSurvivesADownload) {
  struct Case {
    int station;
    const char* combo;
    int reg, value;
  };
  const Case cases[] = {{1, "ComboBox3", 4, 7}, {4, "ComboBox1", 0, 7}};
  for (const Case& c : cases) servo(static_cast<uint8_t>(c.station)).set_reg(static_cast<uint16_t>(c.reg), static_cast<uint16_t>(c.value));
  servo(1).set_reg(2, 5000);  // F0-02 above its 100~4500: the number field's look
  auto sent = [&](int reg) {
    std::optional<int> value;
    for (const Frame& f : frames())
      if (f.function != 3 && f.start <= reg && reg < f.start + static_cast<int>(f.values.size()))
        value = f.values[static_cast<size_t>(reg - f.start)];
    return value;
  };
  auto expect_raw = [&](const char* name, int value) {
    auto* combo = ctl<QComboBox>(name);
    EXPECT_EQ(combo->currentIndex(), -1) << name;
    EXPECT_EQ(combo->placeholderText(), QString::number(value)) << name;
    EXPECT_TRUE(combo->property("out_of_range").toBool()) << name;
    EXPECT_TRUE(combo->toolTip().contains(QStringLiteral("不对应任何选项，原样保留"))) << combo->toolTip().toStdString();
  };
  for (int station : {1, 4}) {
    SCOPED_TRACE(station);
    open(station);
    t.sim.clear_journal();
    w->Button5Click();
    settle();
    for (const Case& c : cases) {
      if (c.station != station) continue;
      expect_raw(c.combo, c.value);
      EXPECT_EQ(sent(c.reg), c.value);
      EXPECT_EQ(servo(static_cast<uint8_t>(station)).reg(static_cast<uint16_t>(c.reg)), c.value);
    }
  }
  open(1);
  EXPECT_EQ(ctl<QWidget>("ComboBox3")->styleSheet(), ctl<QWidget>("Edit1")->styleSheet());
  EXPECT_FALSE(ctl<QWidget>("ComboBox3")->styleSheet().isEmpty());
  // From a file: F0-04 = 9.
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QByteArray bytes = save_menu(dir.filePath(QStringLiteral("menu.txt")));
  ASSERT_TRUE(bytes.contains("\r\n4          7\r\n"));
  bytes.replace("\r\n4          7\r\n", "\r\n4          9\r\n");
  QFile file(chooser->save_answer);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
  file.close();
  open_menu(chooser->save_answer);
  expect_raw("ComboBox3", 9);
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  EXPECT_EQ(sent(4), 9);
  // Picked: the item's value is written and the mark goes.
  pick("ComboBox3", 1);
  settle();
  EXPECT_EQ(frames().back(), (Frame{1, 6, 4, {2}}));
  auto* combo = ctl<QComboBox>("ComboBox3");
  EXPECT_EQ(combo->currentIndex(), 1);
  EXPECT_FALSE(combo->property("out_of_range").toBool());
  EXPECT_FALSE(combo->toolTip().contains(QStringLiteral("不对应任何选项")));
}

// Edit1 (F0-02) typed 3000 and left, the drive holding 5000: a refused F0
// block is read back and the field shows 5000; with the read-back unanswered
// too, 3000 stays, marked unconfirmed, until a read settles it. A refused
// block of values read from the drive needs no read-back (DownloadFailures).
TEST_F(ServoMenuEditorTest, ARefusedGroupWriteShowsWhatTheDriveHoldsOrMarksWhatWasSent) {
  servo(1).set_reg(2, 5000);
  open(1);
  t.st().comm_timeout_ms = 250;
  auto* speed = ctl<QLineEdit>("Edit1");
  ASSERT_TRUE(testing::type_and_leave(speed, QStringLiteral("3000")));
  t.sim.inject(1, testing::fault(sim::Fault::Exception, 2, 1, 16));
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  ASSERT_EQ(frames().size(), 2u);
  EXPECT_EQ(frames()[0].values.at(2), 3000);
  EXPECT_EQ(frames()[1], (Frame{1, 3, 0, {13}}));  // F0-00..F0-12 read back
  EXPECT_EQ(servo(1).reg(2), 5000);
  EXPECT_EQ(speed->text(), QStringLiteral("5000"));
  EXPECT_FALSE(speed->property("unconfirmed").toBool());
  EXPECT_EQ(w->engine().value(2), 5000);

  ASSERT_TRUE(testing::type_and_leave(speed, QStringLiteral("3000")));
  t.sim.inject(1, testing::fault(sim::Fault::Silent, 2, 1, 16));
  t.sim.inject(1, testing::fault(sim::Fault::Silent, 2, 1, 3));
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  ASSERT_EQ(frames().size(), 2u);
  EXPECT_EQ(frames()[1], (Frame{1, 3, 0, {13}}));
  EXPECT_EQ(speed->text(), QStringLiteral("3000"));
  EXPECT_TRUE(speed->property("unconfirmed").toBool());
  EXPECT_TRUE(speed->toolTip().startsWith(QStringLiteral("驱动器未确认此值"))) << speed->toolTip().toStdString();
  EXPECT_FALSE(ctl<QWidget>("ComboBox2")->property("unconfirmed").toBool());  // F0-01 as read
  EXPECT_TRUE(panel().startsWith(QStringLiteral("节点1：菜单下载失败")));
  w->Button2Click();
  settle();
  EXPECT_EQ(speed->text(), QStringLiteral("5000"));
  EXPECT_FALSE(speed->property("unconfirmed").toBool());
  // A text the download itself takes from the field is no value of the drive's either.
  speed->setText(QStringLiteral("3000"));
  t.sim.inject(1, testing::fault(sim::Fault::Exception, 2, 1, 16));
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  ASSERT_EQ(frames().size(), 2u);
  EXPECT_EQ(frames()[1], (Frame{1, 3, 0, {13}}));
  EXPECT_EQ(speed->text(), QStringLiteral("5000"));
}

// A failed block ends the download; a refused single gain is logged and the
// download goes on with every other frame. Either way the download fails and
// its last line names the first register the drive did not take.
TEST_F(ServoMenuEditorTest, DownloadFailures) {
  const struct {
    uint16_t reg;
    uint8_t function;
    const char* line;
    size_t frames;  // 0: all of them
    const char* result;
  } cases[] = {{28, 16, "节点1：F1-08~F1-19参数修改失败", 3,  // F0, the two F1 blocks; F2 never starts
                "节点1：菜单下载失败：首个未写入的是寄存器28（F1-08/09）**"},
               {46, 6, "节点1：参数修改失败", 0, "节点1：菜单下载失败：首个未写入的是寄存器46（F2-06）**"}};
  open(1);
  t.st().comm_timeout_ms = 250;
  const auto all = download_frames(1, kServoLayout1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reg);
    clear_log(ctl<QPlainTextEdit>("Memo3"));
    t.sim.inject(1, {sim::Fault::Exception, 0, 4, 3, 2, 1, c.reg, c.function});
    t.sim.clear_journal();
    w->Button5Click();
    settle();
    EXPECT_TRUE(logged("Memo3", QString::fromUtf8(c.line)));
    EXPECT_EQ(panel(), QString::fromUtf8(c.result));
    EXPECT_TRUE(logged("Memo3", QString::fromUtf8(c.result) + QStringLiteral("  ")));
    if (c.frames) {
      EXPECT_EQ(frames().size(), c.frames);
    } else {
      EXPECT_EQ(frames(), all);
    }
    EXPECT_EQ(t.st().servo_menu_write_error, 1);
    t.sim.clear_faults();
  }
}

// ------------------------------------------------------------ values as they came

// Only typing clamps (5000 typed goes out as 4500: above).
TEST_F(ServoMenuEditorTest, ValuesGoBackAsTheyCameAndThoseALostReadLeftAreNotDownloaded) {
  servo(1).set_reg(2, 5000);  // F0-02: 100~4500
  for (uint16_t r : {45, 46, 47, 71}) servo(1).set_reg(r, 0);  // below 0.1 and 50
  open(1);
  EXPECT_EQ(text("Edit14"), "0.0");
  for (const char* name : {"Edit1", "Edit14", "Edit15", "Edit16", "Edit32"})
    EXPECT_TRUE(ctl<QWidget>(name)->property("out_of_range").toBool()) << name;
  EXPECT_TRUE(ctl<QWidget>("Edit1")->toolTip().contains(QStringLiteral("100~4500")));
  ASSERT_TRUE(testing::click_in_and_out(ctl<QLineEdit>("Edit1")));  // no entry
  EXPECT_EQ(text("Edit1"), "5000");
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  EXPECT_EQ(frames(), download_frames(1, kServoLayout1));  // every register as the drive holds it
  EXPECT_EQ(frames().front().values.at(2), 5000);
  // The F0 block refused: the field still shows what the drive holds.
  t.st().comm_timeout_ms = 250;
  t.sim.inject(1, {sim::Fault::Exception, 0, 4, 3, 2, 1, uint16_t{2}, uint8_t{16}});
  w->Button5Click();
  settle();
  EXPECT_EQ(panel(), QStringLiteral("节点1：菜单下载失败：首个未写入的是寄存器0（F0-00）**"));
  // Reopened on a drive that restarted and stays silent.
  t.sim.clear_faults();
  w->Button1Click();
  servo(1).set_reg(2, 1234);
  t.sim.inject(1, {sim::Fault::Silent, 0, 4, 3, 2, -1, std::nullopt, std::nullopt});
  open(1);
  t.sim.clear_faults();
  auto* speed = ctl<QWidget>("Edit1");
  EXPECT_EQ(text("Edit1"), "5000");
  EXPECT_TRUE(speed->property("unconfirmed").toBool());
  EXPECT_TRUE(speed->toolTip().contains(QStringLiteral("最近一次读取菜单失败"))) << speed->toolTip().toStdString();
  EXPECT_FALSE(ctl<QWidget>("Edit66")->property("unconfirmed").toBool());  // the node's own address
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  EXPECT_TRUE(frames().empty());
  EXPECT_TRUE(panel().startsWith(QStringLiteral("节点1：菜单下载未执行：F0-0"))) << panel().toStdString();
  // A read that stops at F1 confirms F0 only.
  t.sim.inject(1, {sim::Fault::Silent, 0, 4, 3, 2, 1, uint16_t{20}, uint8_t{3}});
  w->Button2Click();
  settle();
  EXPECT_EQ(text("Edit1"), "1234");
  EXPECT_FALSE(speed->property("unconfirmed").toBool());
  EXPECT_TRUE(ctl<QWidget>("Edit14")->property("unconfirmed").toBool());  // F2-05
}

// After a node change to a silent drive.
TEST_F(ServoMenuEditorTest, TheDrivesPowerIsMarkedWithTheFieldsItComesFrom) {
  open(1);  // program version 6101: 200W
  auto* power = ctl<QLineEdit>("Edit75");
  ASSERT_EQ(power->text(), "200W");
  t.st().comm_timeout_ms = 250;
  t.sim.inject(4, {sim::Fault::Silent, 0, 4, 3, 2, -1, std::nullopt, std::nullopt});
  choose(4);
  t.sim.clear_faults();
  EXPECT_TRUE(power->property("unread").toBool());
  EXPECT_EQ(power->styleSheet(), ctl<QWidget>("Edit68")->styleSheet());
  w->Button2Click();
  settle();
  EXPECT_EQ(power->text(), "100W");  // 8005
  EXPECT_TRUE(power->styleSheet().isEmpty());
}

// ------------------------------------------------------------ station number

// Moving the records themselves: StationChange (tests/common).
TEST_F(ServoMenuEditorTest, AStationChangeMovesTheNodeAndRefreshesEveryListOrIsRefused) {
  open(1);
  t.st().servo_saved_params[1][0] = 77;
  t.ctl<QComboBox>("TForm4", "ComboBox4")->setCurrentIndex(2);
  t.sim.clear_journal();
  type_and_enter("Edit66", QStringLiteral("2"));  // 2 is taken: 3 is the lowest free
  expect_requests(1);
  EXPECT_EQ(frames(), (std::vector<Frame>{{1, 6, 160, {3}}}));
  EXPECT_EQ(text("Edit66"), "3");
  EXPECT_NE(t.sim.station(3), nullptr);
  EXPECT_EQ(t.st().servo_nodes[0], 3);
  EXPECT_EQ(t.st().servo_saved_params[3][0], 77);
  EXPECT_EQ(t.st().servo_saved_params[1][0], 0);
  EXPECT_EQ(t.items("TForm2", "ComboBox45"), (QStringList{"3", "2", "4"}));
  EXPECT_EQ(ctl<QComboBox>("ComboBox45")->currentText(), "3");
  EXPECT_EQ(t.items("TForm4", "ComboBox4"), (QStringList{"3", "2", "4"}));
  EXPECT_EQ(t.ctl<QComboBox>("TForm4", "ComboBox4")->currentText(), "4");  // another window keeps its drive
  EXPECT_EQ(t.items("TForm1", "ComboBox5"), (QStringList{"3", "2", "4"}));
  // The editor goes on with the node at its new address.
  t.sim.clear_journal();
  w->Button2Click();
  settle();
  EXPECT_EQ(panel(), QStringLiteral("节点3：菜单读取成功"));
  EXPECT_EQ(frames().front().station, 3);

  // The download's FA write takes the same way; FB then goes to the new address.
  ctl<QLineEdit>("Edit66")->setText(QStringLiteral("6"));
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  EXPECT_EQ(frames().back(), (Frame{6, 6, 170, {1}}));
  EXPECT_EQ(t.items("TForm2", "ComboBox45"), (QStringList{"6", "2", "4"}));
  EXPECT_TRUE(t.items("TForm1", "ComboBox5").contains("6"));
  EXPECT_EQ(panel(), QStringLiteral("节点6：菜单下载成功"));

  // No free address at or above the typed one: refused, nothing sent.
  t.st().tsq_count = 1;
  t.st().tsq_nodes[0] = 247;
  const size_t before = t.sim.request_count();
  type_and_enter("Edit66", QStringLiteral("300"));
  testing::pass_time(150);
  EXPECT_EQ(t.sim.request_count(), before);
  EXPECT_EQ(text("Edit66"), "6");
  EXPECT_TRUE(logged("Memo3", QStringLiteral("节点6：参数修改失败")));
}

// The drive renumbered is the same drive: what was read from it stays its own.
TEST_F(ServoMenuEditorTest, AfterAStationChangeTheValuesReadAreStillTheDrives) {
  open(1);
  type_and_enter("Edit66", QStringLiteral("3"));
  settle();
  ASSERT_NE(t.sim.station(3), nullptr);
  ASSERT_EQ(ctl<QComboBox>("ComboBox45")->currentText(), "3");
  for (QLineEdit* e : w->findChildren<QLineEdit*>()) EXPECT_FALSE(e->property("unread").toBool()) << e->objectName().toStdString();
  w->Button5Click();
  settle();
  EXPECT_EQ(panel(), QStringLiteral("节点3：菜单下载成功"));
}

// ------------------------------------------------------------ bus-type variant

TEST_F(ServoMenuEditorTest, BusTypeAndOrdinaryDrivesSwapTheListsAndLocks) {
  servo(4).set_reg(0, 9);
  servo(4).set_reg(65, 3);
  open(4);
  auto* mode = ctl<QComboBox>("ComboBox1");
  EXPECT_EQ(mode->count(), 4);
  EXPECT_EQ(mode->currentText(), QStringLiteral("9、RS-485通讯总线（速度、转矩模式）"));
  EXPECT_EQ(ctl<QComboBox>("ComboBox58")->currentText(), QStringLiteral("3、通讯总线"));
  for (const char* name : {"ComboBox27", "ComboBox46", "Edit82", "ComboBox36", "ComboBox7"})
    EXPECT_FALSE(ctl<QWidget>(name)->isEnabled()) << name;
  t.sim.clear_journal();
  pick("ComboBox1", 2);  // 8、Vexa-CAN
  settle();
  EXPECT_EQ(frames(), (std::vector<Frame>{{4, 6, 0, {8}}}));

  choose(1);
  EXPECT_EQ(mode->count(), 9);
  for (const char* name : {"ComboBox27", "ComboBox46", "Edit82", "ComboBox36", "ComboBox7"})
    EXPECT_TRUE(ctl<QWidget>(name)->isEnabled()) << name;
}

// ------------------------------------------------------------ menu files

// Each layout's download (groups, then the single gains), saved, reopened and sent again.
TEST_F(ServoMenuEditorTest, DownloadSaveOpenDownloadSendsTheSameFrames) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (int station : {1, 2}) {
    SCOPED_TRACE(station);
    open(station);
    t.sim.clear_journal();
    w->Button5Click();
    settle();
    const auto first = frames();
    EXPECT_EQ(first, download_frames(station, station == 1 ? kServoLayout1 : kServoLayout2));
    EXPECT_EQ(panel(), QStringLiteral("节点%1：菜单下载成功").arg(station));
    EXPECT_EQ(t.st().servo_menu_write_error, 0);

    const QByteArray bytes = save_menu(dir.filePath(QStringLiteral("menu%1.txt").arg(station)));
    EXPECT_EQ(panel(), QStringLiteral("节点%1：菜单存盘成功").arg(station));
    EXPECT_TRUE(bytes.startsWith("SERVO\r\nADDR    DATA\r\n0          "));
    EXPECT_EQ(bytes.count("\r\n"), (station == 1 ? 118 : 106) + 2);

    // The controls change; the file brings the drive's values back.
    ctl<QLineEdit>("Edit1")->setText(QStringLiteral("1234"));
    ctl<QComboBox>("ComboBox2")->setCurrentIndex(2);
    t.sim.clear_journal();
    open_menu(chooser->save_answer);
    EXPECT_TRUE(frames().empty());  // nothing goes to the drive until a download
    EXPECT_EQ(panel(), QStringLiteral("节点%1：菜单文件打开成功").arg(station));
    EXPECT_EQ(text("Edit1"), "4500");
    w->Button5Click();
    settle();
    EXPECT_EQ(frames(), first);
  }
}

TEST_F(ServoMenuEditorTest, ABadFileIsRefusedAndChangesNothing) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  open(1);
  const QByteArray layout1 = save_menu(dir.filePath(QStringLiteral("layout1.txt")));
  open(2);  // layout 2, menu variant 2
  const QByteArray good = save_menu(dir.filePath(QStringLiteral("good.txt")));
  ASSERT_FALSE(good.isEmpty());

  auto with = [&](QByteArray bytes, const char* from, const char* to) { return bytes.replace(from, to); };
  const QString malformed = QStringLiteral("文件异常，打开失败");
  const struct {
    const char* name;
    QByteArray bytes;
    QString refusal;
  } cases[] = {
      {"bad line", with(good, "\r\n2          4500\r\n", "\r\n2          45x0\r\n"), malformed},
      {"short file", good.left(good.indexOf("\r\n100 ")), malformed},
      {"other layout", layout1, QStringLiteral("菜单版本不一致，打开失败")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.filePath(QString::fromLatin1(c.name) + QStringLiteral(".txt"));
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(c.bytes);
    out.close();
    ctl<QLineEdit>("Edit1")->setText(QStringLiteral("1234"));
    const auto image = w->engine().image();
    const QString dump = shown_text(ctl<QPlainTextEdit>("Memo4"));
    t.sim.clear_journal();
    open_menu(path);
    EXPECT_TRUE(frames().empty());
    EXPECT_EQ(panel(), QStringLiteral("节点2：") + c.refusal);
    EXPECT_TRUE(logged("Memo3", QStringLiteral("节点2：") + c.refusal));
    EXPECT_EQ(w->engine().image(), image);
    EXPECT_EQ(text("Edit1"), "1234");
    EXPECT_EQ(shown_text(ctl<QPlainTextEdit>("Memo4")), dump);
  }
}

TEST_F(ServoMenuEditorTest, AFileNeverMovesTheStationOrTheLineSettingsNorNamesAnotherModel) {
  servo(1).set_reg(161, 4);
  servo(1).set_reg(162, 2);
  servo(1).set_reg(163, 2);
  open(1);
  QTemporaryDir dir;
  QByteArray bytes = save_menu(dir.filePath(QStringLiteral("menu.txt")));
  bytes.replace("\r\n160          1\r\n161          4\r\n", "\r\n160          9\r\n161          2\r\n");
  bytes.replace("\r\n170          1\r\n", "\r\n170          2\r\n");  // a factory reset in the file
  // Another drive's model codes.
  const QByteArray model = "\r\n180          " + QByteArray::number(servo(1).reg(180)) + "\r\n";
  ASSERT_TRUE(bytes.contains(model));
  bytes.replace(model, "\r\n180          1207\r\n");
  const QString shown_model = text("Edit70");
  QFile f(chooser->save_answer);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
  f.close();
  open_menu(chooser->save_answer);
  EXPECT_EQ(panel(), QStringLiteral("节点1：菜单文件打开成功"));
  EXPECT_EQ(text("Edit66"), "1");
  EXPECT_EQ(ctl<QComboBox>("ComboBox41")->currentText(), QStringLiteral("4、38400bps"));
  EXPECT_EQ(text("Edit70"), shown_model);  // the drive edited, not the file's
  EXPECT_NE(shown_model, "12_07");
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  const auto sent = frames();
  for (const Frame& f : sent) {
    EXPECT_EQ(f.station, 1);
    if (f.start == 160) {
      EXPECT_EQ(f.values[0], 1);
      EXPECT_EQ(f.values[1], 4);
    }
  }
  EXPECT_EQ(sent.back(), (Frame{1, 6, 170, {1}}));
  EXPECT_EQ(sim::factory_reset_count(servo(1)), 0);
}

TEST_F(ServoMenuEditorTest, SavingNeedsAGoodReadAndSaysWhenItFails) {
  QTemporaryDir dir;
  open(1);
  // Cancelled: nothing written, nothing logged.
  chooser->save_answer.clear();
  const int successes = static_cast<int>(lines("Memo2").size());
  w->Button4Click();
  settle();
  EXPECT_EQ(lines("Memo2").size(), successes + 1);  // only the read's own line
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
  // A folder that does not exist.
  chooser->save_answer = dir.filePath(QStringLiteral("missing/menu.txt"));
  w->Button4Click();
  settle();
  EXPECT_EQ(panel(), QStringLiteral("节点1：菜单存盘失败"));
  // A read that fails: no dialog.
  chooser->proposed.clear();
  t.st().comm_timeout_ms = 250;
  t.sim.inject(1, {sim::Fault::Silent, 0, 4, 3, 2, 1, uint16_t{0}, std::nullopt});
  chooser->save_answer = dir.filePath(QStringLiteral("menu.txt"));
  w->Button4Click();
  settle();
  EXPECT_TRUE(chooser->proposed.isEmpty());
  EXPECT_EQ(panel(), QStringLiteral("节点1：菜单读取异常，存盘失败"));
  EXPECT_FALSE(QFile::exists(chooser->save_answer));
}

// A save that fails says so; the next one that succeeds replaces that line
// and names the folder, in the success log in full.
TEST_F(ServoMenuEditorTest, RecordsAreSavedBesideTheChosenFileAndCleared) {
  open(1);
  QTemporaryDir dir;
  chooser->save_answer = dir.filePath(QStringLiteral("missing/chosen.txt"));
  w->Button9Click();
  EXPECT_TRUE(panel().startsWith(QStringLiteral("记录保存失败"))) << panel().toStdString();
  EXPECT_TRUE(lines("Memo3").last().startsWith(QStringLiteral("记录保存失败：")));
  chooser->save_answer = dir.filePath(QStringLiteral("chosen.txt"));
  w->Button9Click();
  EXPECT_TRUE(panel().startsWith(QStringLiteral("记录已保存到 "))) << panel().toStdString();
  EXPECT_TRUE(lines("Memo2").last().startsWith(QStringLiteral("记录已保存到 ") + QDir::toNativeSeparators(dir.path()) + "  "));
  EXPECT_TRUE(testing::file_text(dir.filePath(QStringLiteral("伺服菜单编辑通讯执行成功记录.txt")))
                  .contains(QStringLiteral("节点1：菜单读取成功")));
  EXPECT_TRUE(testing::file_text(dir.filePath(QStringLiteral("伺服菜单编辑通讯执行失败记录.txt")))
                  .startsWith(QStringLiteral("记录保存失败：")));
  w->Button8Click();
  EXPECT_TRUE(lines("Memo2").isEmpty());
  EXPECT_TRUE(lines("Memo3").isEmpty());
}

}  // namespace
}  // namespace velmo
