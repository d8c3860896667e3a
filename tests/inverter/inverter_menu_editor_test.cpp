// The inverter menu editor, driven by objectName against simulated inverters
// of the five model types on a pty: menu reads, single writes (Enter and
// picks), downloads, station changes, menu files, and the fault table. What
// the editors share (own node, blank list values, download renumbering, the
// reset picked directly): the servo editor's tests.
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

#include "documented_menu.h"
#include "inverter/inverter_menu_editor.h"
#include "main/main_window.h"
#include "sim/inverter_station.h"
#include "sim/stations.h"
#include "support/app_on_sim.h"
#include "support/editor_input.h"
#include "support/fake_chooser.h"
#include "support/wait.h"

namespace velmo {
namespace {

using testing::Frame;
using testing::wait_for;

// Station = model type + 1: 4500 type 0 (750 W, 380 V class), 5015 type 1,
// 2150 type 2 (400 W), 2315 type 3, 2915 type 4.
constexpr uint16_t kVersions[] = {4500, 5015, 2150, 2315, 2915};

struct InverterMenuEditorTest : ::testing::Test {
  velmo::testing::AppOnSim t;
  InverterMenuEditor* w = nullptr;
  testing::FakeChooser* chooser = nullptr;
  QTemporaryDir dir;

  void SetUp() override {
    for (int type = 0; type < 5; ++type) t.sim.add(sim::make_inverter(static_cast<uint8_t>(type + 1), kVersions[type]));
    t.search(5);
    ASSERT_EQ(t.st().bpq_count, 5);
    t.st().comm_timeout_ms = 1000;
    w = dynamic_cast<InverterMenuEditor*>(t.form("TForm10"));
    ASSERT_NE(w, nullptr);
    auto fake = std::make_unique<testing::FakeChooser>();
    chooser = fake.get();
    w->set_file_chooser(std::move(fake));
  }

  sim::InverterStation& drive(int a) { return dynamic_cast<sim::InverterStation&>(*t.sim.station(static_cast<uint8_t>(a))); }
  template <typename T>
  T* ctl(const char* name) {
    T* found = t.ctl<T>("TForm10", name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  void settle() {
    ASSERT_TRUE(wait_for([&] { return t.st().write_busy == 0 && t.st().sending == 0 && !w->engine().busy(); }));
  }
  void open(int station) {
    auto* nodes = ctl<QComboBox>("ComboBox1");
    nodes->setCurrentIndex(nodes->findText(QString::number(station)));
    t.app.main_window().N7Click();
    settle();
  }
  void choose(int station) {
    testing::select_node(ctl<QComboBox>("ComboBox1"), station);
    settle();
  }
  QString panel() { return ctl<QLabel>("Panel1")->text(); }
  QStringList lines(const char* memo) { return testing::memo_lines(w, memo); }
  QString text(const char* edit) { return ctl<QLineEdit>(edit)->text(); }
  QString shown(const char* combo) { return ctl<QComboBox>(combo)->currentText(); }
  std::vector<Frame> frames() { return testing::frames_of(t.sim); }
  void type_and_enter(const char* edit, const QString& keys) {
    testing::type_and_enter(ctl<QLineEdit>(edit), keys);
    settle();
  }
  void pick(const char* combo, int index) {
    testing::pick_item(ctl<QComboBox>(combo), index);
    settle();
  }
  // What the drive holds in every register of its menu.
  std::vector<int> drive_menu(int a, int type) {
    std::vector<int> values;
    for (const auto& [start, count] : kDocumentedReads[type])
      for (int r = start; r < start + count; ++r) values.push_back(drive(a).reg(static_cast<uint16_t>(r)));
    return values;
  }
  QString write_file(const char* name, const QByteArray& bytes) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  }
  void open_file(const QString& path) {
    chooser->open_answer = path;
    w->Button3Click();
    settle();
  }
};

// ------------------------------------------------------------ reading

TEST_F(InverterMenuEditorTest, ReadsTheDocumentedBlocksOfEachModelTypeAndShapesTheWindow) {
  drive(3).set_reg(112, 1985);  // F7-02 = -1.5 Hz
  drive(1).set_reg(13, 1234);
  t.sim.clear_journal();
  open(1);
  for (int type : {0, 2, 4}) {
    SCOPED_TRACE(type);
    if (type != 0) {
      t.sim.clear_journal();
      choose(type + 1);
    }
    std::vector<Frame> want;
    for (const auto& [start, count] : kDocumentedReads[type]) want.push_back(testing::read(type + 1, start, count));
    EXPECT_EQ(frames(), want);
    EXPECT_EQ(panel(), QStringLiteral("节点%1：菜单读取成功").arg(type + 1));
    EXPECT_EQ(lines("Memo4").mid(0, 3), QStringList({"BPQ", QString::number(type), "ADDR    DATA"}));
    // F7..F9 are greyed where the type lacks them, alternatives hidden.
    EXPECT_EQ(ctl<QGroupBox>("GroupBox11")->toolTip(), type <= 1 ? QStringLiteral("该机型无此功能！！") : QString());
    EXPECT_EQ(ctl<QWidget>("Edit58")->isEnabled(), type >= 2);
    EXPECT_FALSE(ctl<QWidget>("ComboBox25")->isHidden());
    EXPECT_EQ(ctl<QWidget>("ComboBox25")->isEnabled(), type >= 3);
    EXPECT_EQ(ctl<QWidget>("ComboBox2")->isHidden() == false, type <= 1);
    EXPECT_EQ(ctl<QWidget>("ComboBox42")->isHidden() == false, type == 4);
    EXPECT_EQ(ctl<QWidget>("ComboBox54")->isHidden() == false, type == 4);
  }
  EXPECT_EQ(lines("Memo4").size(), 3 + 109);
  EXPECT_EQ(text("Edit36"), QString());  // type 4 has no model code: nothing of station 1 stays
  t.sim.clear_journal();
  choose(1);
  // The first request on the wire, CRC worked out by hand.
  EXPECT_EQ(t.sim.requests().front(), (std::vector<uint8_t>{0x01, 0x03, 0x00, 0x01, 0x00, 0x09, 0xD4, 0x0C}));
  EXPECT_EQ(lines("Memo4").size(), 3 + 57);
  EXPECT_EQ(text("Edit3"), "123.4");
  EXPECT_EQ(text("Edit34"), "45.00");  // program version 4500
  EXPECT_EQ(text("Edit40"), "0.00");   // never read: its zero, not -20.00
  // Rating of power code 45: 750 W, 380 V class; the drive's F5-00 = 1 picks 0.37 kW.
  EXPECT_EQ(text("Edit82"), "750W");
  EXPECT_EQ(shown("ComboBox23"), "0.37");
  EXPECT_EQ(text("Edit24"), "1.4");  // outside what 0.37 kW takes: shown as it is, marked
  EXPECT_TRUE(ctl<QWidget>("Edit24")->toolTip().startsWith(QStringLiteral("1.0~1.2A\n此值超出范围1.0~1.2")));
  EXPECT_TRUE(ctl<QWidget>("Edit24")->property("out_of_range").toBool());
  EXPECT_EQ(t.st().bpq_voltage_class, 1);
  // The connect snapshot follows what was read.
  EXPECT_EQ(t.st().bpq_rs485_regs[1], (std::array<uint32_t, 4>{1, 2, 1, 2}));
  choose(3);
  EXPECT_EQ(text("Edit58"), "-1.5");
  EXPECT_EQ(text("Edit82"), "400W");
}

// ------------------------------------------------------------ single writes

TEST_F(InverterMenuEditorTest, EnterAndPicksWriteOneFrameToTheEditorsNode) {
  open(1);
  t.sim.clear_journal();
  type_and_enter("Edit3", "250");
  EXPECT_EQ(text("Edit3"), "200.0");
  type_and_enter("Edit1", "5000");
  EXPECT_EQ(text("Edit1"), "3000.0");
  type_and_enter("Edit12", "0.5");
  pick("ComboBox3", 3);  // "5、Vexa-CAN通讯总线"
  EXPECT_EQ(frames(), (std::vector<Frame>{testing::write(1, 13, 2000), testing::write(1, 2, 30000),
                                          testing::write(1, 15, 50), testing::write(1, 4, 5)}));
  EXPECT_EQ(panel(), QStringLiteral("节点1：参数修改成功"));
  EXPECT_EQ(t.st().bpq_rs485_regs[1][0], 5u);
  EXPECT_EQ(drive(1).reg(13), 2000);

  // Frequency source 5: F1-01 shows "21、无功能" but only F0-08 is sent.
  t.sim.clear_journal();
  pick("ComboBox7", 2);
  EXPECT_EQ(frames(), (std::vector<Frame>{testing::write(1, 8, 5)}));
  EXPECT_EQ(shown("ComboBox11"), QStringLiteral("21、无功能"));
  EXPECT_EQ(w->bpq_param()[31], 21);

  // A motor power sends F5-00 only; F5-01 takes its default current and bounds.
  t.sim.clear_journal();
  pick("ComboBox23", 2);  // 0.75 kW
  EXPECT_EQ(frames(), (std::vector<Frame>{testing::write(1, 80, 3)}));
  EXPECT_EQ(text("Edit24"), "2.0");
  EXPECT_EQ(ctl<QWidget>("Edit24")->toolTip(), "1.8~2.2A");
  EXPECT_EQ(w->bpq_param()[81], 20);
  t.sim.clear_journal();
  type_and_enter("Edit24", "9");
  EXPECT_EQ(frames(), (std::vector<Frame>{testing::write(1, 81, 22)}));
}

TEST_F(InverterMenuEditorTest, StationChangeMovesTheNodeAndItsRecords) {
  open(1);
  t.st().bpq_run_state[1] = 2;
  t.sim.clear_journal();
  type_and_enter("Edit31", "2");  // 2 is held by another inverter: the drive goes to 6
  EXPECT_EQ(frames(), (std::vector<Frame>{testing::write(1, 160, 6)}));
  EXPECT_EQ(w->engine().node(), 6);
  EXPECT_EQ(t.items("TForm10", "ComboBox1"), QStringList({"6", "2", "3", "4", "5"}));
  EXPECT_EQ(t.items("TForm9", "ComboBox1"), QStringList({"6", "2", "3", "4", "5"}));
  EXPECT_EQ(t.st().bpq_rs485_regs[6], (std::array<uint32_t, 4>{1, 2, 1, 2}));
  EXPECT_EQ(t.st().bpq_run_state[6], 2);
  EXPECT_EQ(t.st().bpq_run_state[1], 0);
  // The same number again still rebuilds the lists (the main window starts over).
  t.ctl<QComboBox>("TForm1", "ComboBox5")->setCurrentIndex(2);
  type_and_enter("Edit31", "6");
  EXPECT_EQ(t.ctl<QComboBox>("TForm1", "ComboBox5")->currentIndex(), 0);
}

// ------------------------------------------------------------ download and files

TEST_F(InverterMenuEditorTest, DownloadSendsTheImageInTheDocumentedBlocks) {
  open(2);  // type 1
  drive(2).set_reg(84, 125);
  w->Button2Click();
  settle();
  // A factory reset is never sent by a download.
  w->bpq_param()[170] = 2;
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  std::vector<Frame> want;
  for (const auto& [start, count] : kDocumentedReads[1]) {
    if (start == 180) continue;
    if (start == 84) {
      want.push_back(testing::write(2, 84, 125));
      continue;
    }
    if (start == 170) {
      want.push_back(testing::write(2, 170, 1));
      continue;
    }
    Frame f{2, 16, start, {}};
    for (int r = start; r < start + count; ++r) f.values.push_back(drive(2).reg(static_cast<uint16_t>(r)));
    want.push_back(f);
  }
  EXPECT_EQ(frames(), want);
  EXPECT_EQ(sim::factory_reset_count(drive(2)), 0);
  EXPECT_EQ(shown("ComboBox22"), QStringLiteral("1、不恢复"));

  // Nor does a download start the vector self-learning of type 3.
  drive(4).set_reg(95, 3);
  choose(4);
  w->Button5Click();
  settle();
  EXPECT_EQ(drive(4).reg(95), 1);
  EXPECT_EQ(shown("ComboBox47"), QStringLiteral("1、不自学习"));
}

TEST_F(InverterMenuEditorTest, SavedMenuReopensAndDownloadsUnchangedForEachType) {
  for (int type : {0, 2, 3, 4}) {
    SCOPED_TRACE(type);
    const int a = type + 1;
    drive(a).set_reg(14, 35);
    drive(a).set_reg(90, 1);
    if (type == 0) open(a);
    else choose(a);
    const auto before = drive_menu(a, type);
    const QString path = dir.filePath(QStringLiteral("menu%1.txt").arg(type));
    chooser->save_answer = path;
    w->Button4Click();
    settle();
    EXPECT_EQ(chooser->proposed.last(), QStringLiteral("变频器节点%1菜单.txt").arg(a));
    EXPECT_EQ(panel(), QStringLiteral("节点%1：菜单存盘成功！！").arg(a));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("BPQ\r\n" + QByteArray::number(type) + "\r\nADDR    DATA\r\n"));
    // The drive drifts; the file brings it back.
    drive(a).set_reg(14, 60);
    drive(a).set_reg(90, 4);
    w->Button2Click();
    settle();
    open_file(path);
    EXPECT_EQ(panel(), QStringLiteral("菜单文件打开成功"));
    EXPECT_EQ(text("Edit11"), "3.5");
    w->Button5Click();
    settle();
    EXPECT_EQ(drive_menu(a, type), before);
  }
}

TEST_F(InverterMenuEditorTest, FilesThatAreNotWholeOrOfAnotherTypeChangeNothing) {
  open(3);  // type 2
  const QByteArray head = "BPQ\r\n2\r\nADDR    DATA\r\n";
  const struct {
    const char* name;
    QByteArray bytes;
    bool taken;
  } files[] = {
      {"type3.txt", "BPQ\r\n3\r\nADDR    DATA\r\n13          700\r\n", false},
      {"badline.txt", head + "13          700\r\n14          x\r\n", false},
      {"header_only.txt", head, true},
      {"station_and_300.txt", "\xEF\xBB\xBF" "BPQ\n2\nADDR    DATA\n\n160          9\n300          1\n13          700\n", true},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    w->Button2Click();
    settle();
    const std::vector<int32_t> image = w->bpq_param();
    open_file(write_file(file.name, file.bytes));
    if (!file.taken) {
      EXPECT_EQ(w->bpq_param(), image);
      EXPECT_EQ(panel(), QStringLiteral("文件异常，打开失败！！"));
      EXPECT_TRUE(lines("Memo2").last().startsWith(QStringLiteral("节点3：菜单文件异常，打开失败  ")));
      continue;
    }
    EXPECT_EQ(panel(), QStringLiteral("菜单文件打开成功"));
    EXPECT_EQ(text("Edit31"), "3");
    EXPECT_EQ(w->bpq_param()[160], 3);
    EXPECT_EQ(text("Edit3"), file.bytes.contains("700") ? "70.0" : "50.0");
  }
  EXPECT_TRUE(testing::writes_of(t.sim).empty());
}

// ------------------------------------------------------------ rules on top of the table

TEST_F(InverterMenuEditorTest, ADownloadNeverSendsAValueNobodyReadLoadedOrTyped) {
  // The first read fails: the image holds nothing of this drive.
  t.sim.inject(1, testing::fault(sim::Fault::Exception, std::nullopt, -1));
  open(1);
  t.sim.clear_faults();
  const auto refused = [&](const char* first) {
    t.sim.clear_journal();
    w->Button5Click();
    settle();
    EXPECT_TRUE(frames().empty());
    EXPECT_EQ(t.st().bpq_menu_write_error, 1);
    const QString line = QStringLiteral("节点%1：菜单下载未执行：").arg(w->engine().node()) + QString::fromUtf8(first);
    EXPECT_TRUE(panel().startsWith(line)) << panel().toStdString();
    EXPECT_TRUE(lines("Memo2").last().startsWith(line));
  };
  refused("F0-01、F0-02、F0-03等");
  // A file of part of the menu and the engineer's own entries leave the rest unknown.
  open_file(write_file("part.txt", "BPQ\r\n0\r\nADDR    DATA\r\n1          1\r\n2          500\r\n"));
  pick("ComboBox3", 1);
  refused("F0-03、F0-05、F0-06等");
  // Once read, every register is the drive's: the download goes out, F0-02 as the file gave it.
  w->Button2Click();
  settle();
  open_file(write_file("part.txt", "BPQ\r\n0\r\nADDR    DATA\r\n2          500\r\n"));
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  ASSERT_FALSE(frames().empty());
  EXPECT_EQ(frames().front().start, 1);
  EXPECT_EQ(frames().front().values.at(1), 500);
  EXPECT_EQ(panel(), QStringLiteral("节点1：菜单下载成功"));
  // What was known of station 1 is nothing of station 2, whose read fails.
  t.sim.inject(2, testing::fault(sim::Fault::Exception, std::nullopt, -1));
  choose(2);
  t.sim.clear_faults();
  refused("F0-01、F0-02、F0-03等");
}

TEST_F(InverterMenuEditorTest, RampTimesBelowOneSecondKeepTwoDecimals) {
  // Round(number × 100) after "%.2f" up to 0.9999 s and "%.1f" above (type 4: 1.0..200.0 s).
  const struct {
    int station;
    const char* typed;
    const char* shown;
    int wire;
  } cases[] = {
      {1, "0.95", "0.95", 95},   {1, "0.994", "0.99", 99}, {1, "0.999", "1.00", 100}, {1, "1.04", "1.0", 100},
      {1, "0.05", "0.10", 10},   {1, "", "1.0", 100},      {1, "130", "120.0", 12000}, {5, "0.95", "1.0", 100},
      {5, "250", "200.0", 20000},
  };
  open(1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    if (w->engine().node() != c.station) choose(c.station);
    t.sim.clear_journal();
    type_and_enter("Edit12", QString::fromLatin1(c.typed));
    EXPECT_EQ(text("Edit12"), QString::fromLatin1(c.shown));
    EXPECT_EQ(frames(), (std::vector<Frame>{testing::write(c.station, 15, c.wire)}));
  }
}

TEST_F(InverterMenuEditorTest, ARefusedPowerPickReadsItsCurrentBackWithIt) {
  open(1);  // F5-00 = 1: 0.37 kW, 1.0~1.2 A
  const int current = drive(1).reg(81);
  t.sim.inject(1, testing::fault(sim::Fault::Exception, 80));
  t.sim.clear_journal();
  pick("ComboBox23", 2);  // 0.75 kW: refused
  EXPECT_EQ(frames(), (std::vector<Frame>{testing::write(1, 80, 3), testing::read(1, 80, 2)}));
  EXPECT_EQ(shown("ComboBox23"), "0.37");
  EXPECT_TRUE(ctl<QWidget>("Edit24")->toolTip().startsWith(QStringLiteral("1.0~1.2A")));
  EXPECT_EQ(text("Edit24"), QStringLiteral("%1.%2").arg(current / 10).arg(current % 10));
  EXPECT_EQ(w->bpq_param()[81], current);
  // The next download sends the drive's own pair.
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  bool sent = false;
  for (const Frame& f : frames())
    if (f.start == 80) {
      sent = true;
      EXPECT_EQ(std::vector<int>(f.values.begin(), f.values.begin() + 2), (std::vector<int>{1, current}));
    }
  EXPECT_TRUE(sent);
}

TEST_F(InverterMenuEditorTest, ADownloadRefillsTheMainNodeListAndAnUnknownRatingShowsItsFirstItem) {
  open(1);
  auto* main_list = t.ctl<QComboBox>("TForm1", "ComboBox5");
  main_list->setCurrentIndex(3);
  w->Button5Click();
  settle();
  EXPECT_EQ(panel(), QStringLiteral("节点1：菜单下载成功"));
  EXPECT_EQ(main_list->currentIndex(), 0);
  EXPECT_EQ(t.items("TForm10", "ComboBox1"), QStringList({"1", "2", "3", "4", "5"}));

  // A power code the table lacks: two "0.0" items, the first shown, no rating text.
  t.st().bpq_power_code[1] = 99;
  t.sim.inject(2, testing::fault(sim::Fault::Exception, std::nullopt, -1));
  choose(2);
  t.sim.clear_faults();
  EXPECT_EQ(t.items("TForm10", "ComboBox23"), QStringList({"0.0", "0.0"}));
  EXPECT_EQ(ctl<QComboBox>("ComboBox23")->currentIndex(), 0);
  EXPECT_EQ(text("Edit82"), QString());
  // Its current is held to what the field takes, and the hint says so and why.
  EXPECT_TRUE(ctl<QWidget>("Edit24")->toolTip().startsWith(QStringLiteral("0.0~6553.5A（功率未知）")))
      << ctl<QWidget>("Edit24")->toolTip().toStdString();
  auto* current = ctl<QLineEdit>("Edit24");
  current->selectAll();
  QTest::keyClicks(current, "7000");
  QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
  QApplication::sendEvent(current, &out);
  EXPECT_EQ(text("Edit24"), "6553.5");
}

TEST_F(InverterMenuEditorTest, TheRestoreSnapshotTakesTheEngineersPicksButNoBusValues) {
  open(1);
  auto snapshot = [&] { return t.st().bpq_rs485_regs[1][0]; };  // F0-04
  ASSERT_EQ(snapshot(), 1u);
  t.st().bpq_restore_flags[0] = 1;  // under this program's bus control
  drive(1).set_reg(4, 4);
  w->Button2Click();
  settle();
  EXPECT_EQ(snapshot(), 1u) << "a read under bus control";
  pick("ComboBox3", 1);  // "2、..."
  EXPECT_EQ(drive(1).reg(4), 2);
  EXPECT_EQ(snapshot(), 2u) << "the engineer's pick";
  open_file(write_file("f004.txt", "BPQ\r\n0\r\nADDR    DATA\r\n4          1\r\n"));
  w->Button5Click();
  settle();
  EXPECT_EQ(drive(1).reg(4), 1);
  EXPECT_EQ(snapshot(), 2u) << "a file and a download";
  t.st().bpq_restore_flags[0] = 0;
  w->Button2Click();
  settle();
  EXPECT_EQ(snapshot(), 1u) << "a read off bus control";
}

TEST_F(InverterMenuEditorTest, AnUnconfirmedFieldGetsItsCurrentHintBackWhenItSettles) {
  const struct {
    int station;
    const char* edit;
    int reg;
    const char* typed;
    const char* hint;  // the model type's or rating's, not the designed one
  } cases[] = {
      {5, "Edit12", 15, "5", "1.0~200.0s"},
      {1, "Edit24", 81, "1.1", "1.0~1.2A"},
      {1, "Edit29", 93, "80", "75.0~150.0V"},
  };
  drive(1).set_reg(81, 11);  // a current 0.37 kW takes: the hint alone
  open(1);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.edit);
    if (w->engine().node() != c.station) choose(c.station);
    auto* field = ctl<QLineEdit>(c.edit);
    ASSERT_EQ(field->toolTip(), QString::fromUtf8(c.hint));
    // Neither the write nor its read-back is answered.
    t.sim.inject(static_cast<uint8_t>(c.station), testing::fault(sim::Fault::Silent, static_cast<uint16_t>(c.reg), 2));
    type_and_enter(c.edit, QString::fromLatin1(c.typed));
    EXPECT_TRUE(field->property("unconfirmed").toBool());
    EXPECT_NE(field->toolTip(), QString::fromUtf8(c.hint));
    w->Button2Click();
    settle();
    EXPECT_FALSE(field->property("unconfirmed").toBool());
    EXPECT_EQ(field->toolTip(), QString::fromUtf8(c.hint));
  }
}

// ------------------------------------------------------------ a pick and what it changed

// A write of `reg` refused with exception 02 (`times` requests, the read-back among them).
sim::Fault refused(uint16_t reg, int times, std::optional<uint8_t> function = std::nullopt) {
  sim::Fault f = testing::fault(sim::Fault::Exception, reg, times);
  f.exception_code = 2;
  f.function = function;
  return f;
}

TEST_F(InverterMenuEditorTest, ARefusedPulseSourcePickTakesF1_01BackWithIt) {
  drive(1).set_reg(31, 3);  // F1-01: "3、故障复位"
  open(1);
  for (const char* source : {"ComboBox7", "ComboBox8"}) {
    SCOPED_TRACE(source);
    const int reg = QString::fromLatin1(source) == QLatin1String("ComboBox7") ? 8 : 9;
    const int before = drive(1).reg(static_cast<uint16_t>(reg));
    t.sim.inject(1, refused(static_cast<uint16_t>(reg), 1, 6));
    t.sim.clear_journal();
    pick(source, 2);  // "5": the M1 input as frequency source
    EXPECT_EQ(frames(), (std::vector<Frame>{testing::write(1, reg, 5), testing::read(1, reg, 1)}));
    EXPECT_EQ(w->bpq_param()[reg], before);
    EXPECT_EQ(shown("ComboBox11"), QStringLiteral("3、故障复位"));
    EXPECT_EQ(w->bpq_param()[31], 3);
    EXPECT_FALSE(ctl<QWidget>("ComboBox11")->property("unconfirmed").toBool());
    // The next download sends the drive's own F1-01.
    t.sim.clear_journal();
    w->Button5Click();
    settle();
    EXPECT_EQ(panel(), QStringLiteral("节点1：菜单下载成功"));
    EXPECT_EQ(drive(1).reg(31), 3);
    EXPECT_EQ(drive(1).reg(static_cast<uint16_t>(reg)), before);
  }
}

TEST_F(InverterMenuEditorTest, ARefusedPickGivesAnUnreadRowItChangedItsOwnHintBack) {
  t.sim.inject(1, testing::fault(sim::Fault::Silent, std::nullopt, -1));
  open(1);
  t.sim.clear_faults();
  auto* input = ctl<QWidget>("ComboBox11");
  ASSERT_TRUE(input->property("unread").toBool());
  const QString hint = input->toolTip();
  t.sim.inject(1, refused(8, 1, 6));  // the write refused, its read-back answered
  pick("ComboBox7", 2);
  EXPECT_TRUE(input->property("unread").toBool());
  EXPECT_EQ(input->toolTip(), hint);
}

TEST_F(InverterMenuEditorTest, APickNeitherWrittenNorReadBackStaysWithWhatItChangedAllMarked) {
  open(1);
  auto* source = ctl<QWidget>("ComboBox7");
  auto* input = ctl<QWidget>("ComboBox11");
  // The write and its read-back both refused: the drive answered, with code 02.
  t.sim.inject(1, refused(8, 2));
  pick("ComboBox7", 2);
  EXPECT_EQ(shown("ComboBox7"), ctl<QComboBox>("ComboBox7")->itemText(2));
  EXPECT_EQ(shown("ComboBox11"), QStringLiteral("21、无功能"));
  for (QWidget* c : {source, input}) {
    EXPECT_TRUE(c->property("unconfirmed").toBool()) << c->objectName().toStdString();
    EXPECT_TRUE(c->toolTip().contains(QStringLiteral("拒绝"))) << c->toolTip().toStdString();
    EXPECT_TRUE(c->toolTip().contains(QStringLiteral("02"))) << c->toolTip().toStdString();
    EXPECT_FALSE(c->toolTip().contains(QStringLiteral("应答"))) << c->toolTip().toStdString();
  }
  EXPECT_TRUE(input->toolTip().contains(QStringLiteral("F0-08")));
  // A silent line is told as such; the power and its current stay together.
  t.sim.inject(1, testing::fault(sim::Fault::Silent, 80, 2));
  pick("ComboBox23", 2);
  for (const char* name : {"ComboBox23", "Edit24"}) {
    QWidget* c = ctl<QWidget>(name);
    EXPECT_TRUE(c->property("unconfirmed").toBool()) << name;
    EXPECT_TRUE(c->toolTip().contains(QStringLiteral("没有得到有效应答"))) << c->toolTip().toStdString();
  }
  EXPECT_EQ(text("Edit24"), "2.0");
  // A read settles them all.
  w->Button2Click();
  settle();
  for (const char* name : {"ComboBox7", "ComboBox11", "ComboBox23", "Edit24"})
    EXPECT_FALSE(ctl<QWidget>(name)->property("unconfirmed").toBool()) << name;
}

// ------------------------------------------------------------ values nobody chose

TEST_F(InverterMenuEditorTest, AWholeFileDownloadsAfterAFailedReadWithTheNodesOwnAddress) {
  t.sim.inject(3, testing::fault(sim::Fault::Silent, std::nullopt, -1));
  open(3);  // type 2: every read silent
  t.sim.clear_faults();
  EXPECT_TRUE(panel().startsWith(QStringLiteral("节点3：菜单读取失败")));
  QByteArray file = "BPQ\r\n2\r\nADDR    DATA\r\n";
  for (const auto& [start, count] : kDocumentedReads[2])
    for (int r = start; r < start + count; ++r) {
      const int v = r == 13 ? 700 : r == 160 ? 9 : drive(3).reg(static_cast<uint16_t>(r));
      file += QByteArray::number(r) + "          " + QByteArray::number(v) + "\r\n";
    }
  // Clicking into the station field and out changes nothing of its value.
  auto* station = ctl<QLineEdit>("Edit31");
  QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
  QApplication::sendEvent(station, &out);
  open_file(write_file("whole.txt", file));
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  EXPECT_EQ(panel(), QStringLiteral("节点3：菜单下载成功"));
  bool station_sent = false;
  for (const Frame& f : frames())
    if (f.start == 160) {
      station_sent = true;
      EXPECT_EQ(f.values.front(), 3);  // the node's address, not the file's 9
    }
  EXPECT_TRUE(station_sent);
  EXPECT_EQ(drive(3).reg(13), 700);
  EXPECT_NE(t.sim.station(3), nullptr);
}

TEST_F(InverterMenuEditorTest, FocusInAndOutOfAnUnreadFieldIsNoEntry) {
  t.sim.inject(1, testing::fault(sim::Fault::Silent, std::nullopt, -1));
  open(1);
  t.sim.clear_faults();
  // Everything but FA-04 from a file.
  QByteArray file = "BPQ\r\n0\r\nADDR    DATA\r\n";
  for (const auto& [start, count] : kDocumentedReads[0])
    for (int r = start; r < start + count; ++r)
      if (r != 164) file += QByteArray::number(r) + "          " + QByteArray::number(drive(1).reg(static_cast<uint16_t>(r))) + "\r\n";
  EXPECT_TRUE(ctl<QWidget>("Edit3")->property("unread").toBool());
  open_file(write_file("no_fa04.txt", file));
  EXPECT_FALSE(ctl<QWidget>("Edit3")->property("unread").toBool());  // loaded from the file
  auto* timeout = ctl<QLineEdit>("Edit33");
  EXPECT_TRUE(timeout->property("unread").toBool());
  EXPECT_TRUE(timeout->toolTip().startsWith(QStringLiteral("0.0~10.0S\n"))) << timeout->toolTip().toStdString();
  const auto leave = [&] {
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(timeout, &out);
  };
  leave();
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  EXPECT_TRUE(frames().empty());
  EXPECT_TRUE(panel().startsWith(QStringLiteral("节点1：菜单下载未执行：FA-04"))) << panel().toStdString();
  EXPECT_TRUE(timeout->property("unread").toBool());
  // Typed, it is the engineer's.
  timeout->selectAll();
  QTest::keyClicks(timeout, "2.5");
  leave();
  EXPECT_FALSE(timeout->property("unread").toBool());
  EXPECT_EQ(timeout->toolTip(), QStringLiteral("0.0~10.0S"));
  w->Button5Click();
  settle();
  EXPECT_EQ(panel(), QStringLiteral("节点1：菜单下载成功"));
  EXPECT_EQ(drive(1).reg(164), 25);
}

TEST_F(InverterMenuEditorTest, FieldsOfBlocksNotReadAreMarkedUntilRead) {
  open(1);
  // The F5 block's read is refused: the read stops there.
  t.sim.inject(1, testing::fault(sim::Fault::Exception, 80, 1));
  w->Button2Click();
  settle();
  EXPECT_TRUE(panel().startsWith(QStringLiteral("节点1：菜单读取失败")));
  // Read before: the drive's; the read that failed marks nothing it had read.
  EXPECT_FALSE(ctl<QWidget>("Edit3")->property("unread").toBool());
  // Another drive of the same type: what was not read of it is marked as station 1's.
  t.sim.add(sim::make_inverter(7, kVersions[0]));
  t.st().bpq_nodes[5] = 7;
  t.st().bpq_model_type_list[5] = 0;
  t.st().bpq_power_code[5] = t.st().bpq_power_code[0];
  t.st().bpq_count = 6;
  ctl<QComboBox>("ComboBox1")->addItem(QStringLiteral("7"));
  t.sim.inject(7, testing::fault(sim::Fault::Exception, 80, 1));
  choose(7);
  EXPECT_EQ(panel(), QStringLiteral("节点7：菜单读取失败，标记的参数仍是节点1的值"));
  EXPECT_FALSE(ctl<QWidget>("Edit3")->property("unread").toBool());  // F0, read from 7
  auto* fb = ctl<QWidget>("Edit34");                                  // FB-01, not read
  EXPECT_TRUE(fb->property("unread").toBool());
  EXPECT_TRUE(fb->toolTip().contains(QStringLiteral("节点1"))) << fb->toolTip().toStdString();
  // Not this node's: the download is refused.
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  EXPECT_TRUE(frames().empty());
  w->Button2Click();
  settle();
  EXPECT_FALSE(fb->property("unread").toBool());
}

// ------------------------------------------------------------ values as they came

// The drive's 50.0 Hz jog (field 2.0~20.0 Hz) is shown and sent as it is; typed, clamped.
TEST_F(InverterMenuEditorTest, ValuesGoBackAsTheyCameAndAFailedDownloadNamesWhereItStopped) {
  drive(1).set_reg(60, 500);
  open(1);  // type 0: F5 goes as (80, 3) and register 84 alone
  auto* jog = ctl<QLineEdit>("Edit10");
  EXPECT_EQ(jog->text(), "50.0");
  EXPECT_TRUE(jog->property("out_of_range").toBool());
  EXPECT_TRUE(jog->toolTip().contains(QStringLiteral("2.0~20.0"))) << jog->toolTip().toStdString();
  ASSERT_TRUE(testing::click_in_and_out(jog));
  EXPECT_EQ(jog->text(), "50.0");
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  const auto sent = frames();
  const auto jog_sent = std::find_if(sent.begin(), sent.end(), [](const Frame& f) { return f.start == 60; });
  ASSERT_NE(jog_sent, sent.end());
  EXPECT_EQ(jog_sent->values.front(), 500);
  // This drive takes 20.0 Hz at most by a write: it refuses its own value back.
  EXPECT_EQ(panel(), QStringLiteral("节点1：菜单下载失败：首个未写入的是寄存器60（F4-00）**"));
  t.sim.clear_journal();
  type_and_enter("Edit10", "50");
  EXPECT_EQ(jog->text(), "20.0");
  EXPECT_EQ(frames(), (std::vector<Frame>{testing::write(1, 60, 200)}));
  EXPECT_FALSE(jog->property("out_of_range").toBool());
  t.sim.inject(1, testing::fault(sim::Fault::Silent, 84, 1, 6));
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  const QString line = QStringLiteral("节点1：菜单下载失败：首个未写入的是寄存器84（F5-04）**");
  EXPECT_EQ(panel(), line);
  EXPECT_EQ(frames().back(), testing::write(1, 84, drive(1).reg(84)));
  t.sim.clear_faults();
  auto* max_frequency = ctl<QWidget>("Edit3");
  t.sim.inject(1, testing::fault(sim::Fault::Exception, std::nullopt, -1));
  w->Button2Click();
  settle();
  t.sim.clear_faults();
  EXPECT_TRUE(max_frequency->property("unconfirmed").toBool());
  EXPECT_FALSE(max_frequency->property("unread").toBool());
  t.sim.clear_journal();
  w->Button5Click();
  settle();
  EXPECT_TRUE(frames().empty());
  EXPECT_TRUE(panel().startsWith(QStringLiteral("节点1：菜单下载未执行："))) << panel().toStdString();
  w->Button2Click();
  settle();
  EXPECT_FALSE(max_frequency->property("unconfirmed").toBool());
}

// ------------------------------------------------------------ fault table

TEST_F(InverterMenuEditorTest, AFaultCodeReadsInTheFaultTable) {
  t.app.main_window().N9Click();
  auto* grid = t.ctl<QTableWidget>("TForm16", "StringGrid1");
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->rowCount(), 18);
  EXPECT_FALSE(grid->isEnabled());
  EXPECT_EQ(grid->currentRow(), 17);
  // Fault code 9 from the drive shows as Er-8: the motor overload.
  const QString shown = QStringLiteral("Er-%1").arg(9 - 1);
  int row = 1;
  while (row < grid->rowCount() && grid->item(row, 0)->text() != shown) ++row;
  ASSERT_LT(row, grid->rowCount());
  EXPECT_EQ(grid->item(row, 1)->text(), QStringLiteral("电机过载保护"));
}

}  // namespace
}  // namespace velmo
