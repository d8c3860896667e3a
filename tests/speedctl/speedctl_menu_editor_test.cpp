// The speed-controller menu editor against simulated speed controllers on a
// pty: the menu read, single writes, the series' stop lists, downloads,
// station changes, the factory reset and menu files. A single write whose
// reply goes wrong: the fault matrix (tests/common); what the editors share
// (download renumbering, records): the servo editor's tests.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <map>

#include "common/log_view.h"
#include "main/main_window.h"
#include "sim/speed_controller_station.h"
#include "speedctl/speedctl_menu_editor.h"
#include "support/app_on_sim.h"
#include "support/editor_input.h"
#include "support/fake_chooser.h"
#include "support/wait.h"

namespace velmo {
namespace {

using testing::FakeChooser;
using testing::Frame;
using testing::read;
using testing::wait_for;
using testing::write;

struct SpeedCtlEditorTest : ::testing::Test {
  testing::AppOnSim t;
  SpeedCtlMenuEditor* w = nullptr;
  FakeChooser* chooser = nullptr;
  QTemporaryDir dir;

  // Speed controllers at the given stations, series 5 with stop method 3.
  void line(std::vector<uint8_t> stations) {
    for (uint8_t a : stations) {
      t.sim.add(sim::make_speed_controller(a, 1015, 5, 1));
      sim_reg(a, 5) = 3;
    }
    t.search(10);
    t.st().comm_timeout_ms = 300;
    w = dynamic_cast<SpeedCtlMenuEditor*>(t.form("TForm18"));
    auto fake = std::make_unique<FakeChooser>();
    chooser = fake.get();
    w->set_file_chooser(std::move(fake));
  }
  struct RegRef {
    sim::Station& s;
    uint16_t r;
    RegRef& operator=(int v) {
      s.set_reg(r, static_cast<uint16_t>(v));
      return *this;
    }
    operator int() const { return s.reg(r); }
  };
  RegRef sim_reg(uint8_t a, uint16_t r) { return {*t.sim.station(a), r}; }

  void open(int station) {
    auto* nodes = ctl<QComboBox>("ComboBox1");
    nodes->setCurrentIndex(nodes->findText(QString::number(station)));
    t.app.main_window().N13Click();
    settle();
    t.sim.clear_journal();
  }
  void settle() { ASSERT_TRUE(wait_for([&] { return t.st().write_busy == 0 && t.st().sending == 0; })); }
  template <typename T>
  T* ctl(const char* name) {
    return t.ctl<T>("TForm18", name);
  }
  QString text(const char* edit) { return ctl<QLineEdit>(edit)->text(); }
  void type_and_enter(const char* edit, const QString& keys) {
    testing::type_and_enter(ctl<QLineEdit>(edit), keys);
    settle();
  }
  void pick(const char* combo, int index) {
    testing::pick_item(ctl<QComboBox>(combo), index);
    settle();
  }
  std::vector<Frame> frames() { return testing::frames_of(t.sim); }
  QStringList lines(const char* memo) { return testing::memo_lines(w, memo); }
  bool visible(const char* name) { return ctl<QWidget>(name)->isVisibleTo(w); }
};

TEST_F(SpeedCtlEditorTest, ReadsEditsAndDownloadsTheMenu) {
  line({3});
  t.sim.clear_journal();
  t.app.main_window().N13Click();
  settle();
  EXPECT_EQ(frames(), (std::vector<Frame>{read(3, 1, 8), read(3, 20, 5), read(3, 30, 1), read(3, 171, 2)}));
  EXPECT_EQ(lines("Memo4").size(), 2u + 16u);
  EXPECT_EQ(ctl<QComboBox>("ComboBox5")->currentText(), QStringLiteral("3、快速停止"));
  EXPECT_TRUE(visible("ComboBox5"));
  EXPECT_FALSE(visible("ComboBox4"));
  EXPECT_EQ(text("Edit2"), QStringLiteral("1.0"));
  EXPECT_EQ(text("Edit34"), QStringLiteral("10.15"));
  EXPECT_TRUE(ctl<QLabel>("Panel1")->text().startsWith(QStringLiteral("节点3：菜单读取成功  ")));
  t.sim.clear_journal();

  type_and_enter("Edit2", QStringLiteral("2.5"));
  type_and_enter("Edit1", QStringLiteral("30"));  // below 50: 50
  EXPECT_EQ(text("Edit1"), QStringLiteral("50"));
  EXPECT_EQ(lines("Memo2").last(), QStringLiteral("节点3：参数修改成功"));  // single writes carry no time

  // Series 2: its own stop list on its brake method; only F-01 is sent.
  pick("ComboBox2", 1);
  EXPECT_TRUE(visible("ComboBox4"));
  EXPECT_FALSE(visible("ComboBox5"));
  EXPECT_EQ(ctl<QComboBox>("ComboBox4")->currentText(), QStringLiteral("2、失电电磁制动停止"));
  EXPECT_EQ(t.st().tsq_reg1[3], 2);
  EXPECT_EQ(frames(), (std::vector<Frame>{write(3, 4, 25), write(3, 3, 50), write(3, 1, 2)}));
  t.sim.clear_journal();

  // F-29 travels as "1、不恢复" even when the list shows the reset.
  ctl<QComboBox>("ComboBox22")->setCurrentIndex(1);
  w->download_menu();
  settle();
  EXPECT_EQ(frames(), (std::vector<Frame>{{3, 16, 1, {2, 1, 50, 25, 2, 10, 0, 3}}, {3, 16, 20, {3, 4, 2, 2, 0}},
                                          write(3, 30, 1)}));
  EXPECT_EQ(sim_reg(3, 5), 2);
  EXPECT_EQ(ctl<QComboBox>("ComboBox22")->currentIndex(), 0);
}

TEST_F(SpeedCtlEditorTest, StationChangesMoveTheNodeAndItsRecords) {
  line({5, 6, 8});
  open(8);
  t.st().tsq_reg2[8] = 1;
  // 5 and 6 are taken: the lowest free address from 5 is 7.
  type_and_enter("Edit31", QStringLiteral("5"));
  EXPECT_EQ(text("Edit31"), QStringLiteral("7"));
  ASSERT_EQ(frames(), (std::vector<Frame>{write(8, 20, 7)}));
  EXPECT_NE(t.sim.station(7), nullptr);
  EXPECT_EQ(ctl<QComboBox>("ComboBox1")->currentText(), QStringLiteral("7"));
  EXPECT_EQ(t.ctl<QComboBox>("TForm19", "ComboBox1")->itemText(2), QStringLiteral("7"));
  EXPECT_EQ(t.st().tsq_reg2[7], 1u);
  EXPECT_EQ(t.st().tsq_reg1[8], 0);
  t.sim.clear_journal();

  // The factory reset would put this drive beside nothing on 1: it goes.
  pick("ComboBox22", 1);
  EXPECT_EQ(frames(), (std::vector<Frame>{write(7, 30, 2)}));
  EXPECT_NE(t.sim.station(1), nullptr);
  EXPECT_EQ(ctl<QComboBox>("ComboBox1")->currentText(), QStringLiteral("1"));
  EXPECT_EQ(text("Edit31"), QStringLiteral("1"));
  t.sim.clear_journal();

  // Another reset on a node beside station 1 is refused and sends nothing.
  auto* nodes = ctl<QComboBox>("ComboBox1");
  nodes->setCurrentIndex(nodes->findText(QStringLiteral("5")));
  w->node_chosen();
  w->read_menu();
  settle();
  t.sim.clear_journal();
  pick("ComboBox22", 1);
  EXPECT_TRUE(frames().empty());
  EXPECT_TRUE(lines("Memo3").last().startsWith(QStringLiteral("节点5：站号1已被其他节点占用")));
  EXPECT_EQ(ctl<QComboBox>("ComboBox22")->currentIndex(), 0);

  // A download that keeps the station leaves the node lists alone (the inverter's refills them).
  auto* main_list = t.ctl<QComboBox>("TForm1", "ComboBox5");
  main_list->setCurrentIndex(2);
  w->download_menu();
  settle();
  EXPECT_TRUE(ctl<QLabel>("Panel1")->text().startsWith(QStringLiteral("节点5：菜单下载成功")));
  EXPECT_EQ(main_list->currentIndex(), 2);
}

TEST_F(SpeedCtlEditorTest, MenuFilesRoundTripAndBadOnesChangeNothing) {
  line({3});
  open(3);
  chooser->save_answer = chooser->open_answer = dir.filePath(QStringLiteral("tsq.txt"));
  w->save_menu();
  settle();
  QFile saved(chooser->save_answer);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QByteArray bytes = saved.readAll();
  EXPECT_TRUE(bytes.startsWith("TSQ\r\nADDR    DATA\r\n1          5\r\n"));
  std::vector<int> before;
  for (int r : {1, 2, 3, 4, 5, 6, 7, 8, 20, 21, 22, 23, 24, 30}) before.push_back(sim_reg(3, static_cast<uint16_t>(r)));

  // Another drive's values come in; the saved file brings ours back.
  sim_reg(3, 3) = 70;
  w->read_menu();
  settle();
  w->open_menu_file();
  settle();
  EXPECT_EQ(text("Edit1"), QStringLiteral("80"));
  w->download_menu();
  settle();
  std::vector<int> after;
  for (int r : {1, 2, 3, 4, 5, 6, 7, 8, 20, 21, 22, 23, 24, 30}) after.push_back(sim_reg(3, static_cast<uint16_t>(r)));
  EXPECT_EQ(after, before);

  const struct {
    QByteArray text;
    const char* message;
  } bad[] = {
      {QByteArray(bytes).replace("TSQ", "BPQ"), "文件异常，打开失败"},
      {QByteArray(bytes).replace("3          80", "3          70000"), "文件打开失败"},
      {QByteArray(bytes).replace("3          80", "3          8x"), "文件打开失败"},
  };
  for (const auto& b : bad) {
    SCOPED_TRACE(b.message);
    QFile f(chooser->save_answer);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(b.text);
    f.close();
    const auto image = w->tsq_param();
    t.sim.clear_journal();
    w->open_menu_file();
    settle();
    EXPECT_EQ(w->tsq_param(), image);
    EXPECT_TRUE(frames().empty());
    EXPECT_TRUE(lines("Memo3").last().startsWith(QStringLiteral("节点3：") + QString::fromUtf8(b.message)));
  }
}

TEST_F(SpeedCtlEditorTest, AFileMayHoldPartOfTheMenuAndShowsTheVersionsOfItsDrive) {
  line({3});
  open(3);
  chooser->open_answer = dir.filePath(QStringLiteral("part.txt"));
  QFile f(chooser->open_answer);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  // F-03, the station (never taken), F-30, a register beyond the image, F-01.
  f.write("TSQ\r\nADDR    DATA\r\n3          90\r\n20          9\r\n171          1203\r\n250          7\r\n1          2\r\n");
  f.close();
  w->open_menu_file();
  settle();
  EXPECT_TRUE(ctl<QLabel>("Panel1")->text().startsWith(QStringLiteral("节点3：菜单文件打开成功")));
  EXPECT_TRUE(frames().empty());
  EXPECT_EQ(text("Edit1"), QStringLiteral("90"));
  EXPECT_EQ(text("Edit31"), QStringLiteral("3"));
  EXPECT_EQ(w->tsq_param()[20], 3);
  EXPECT_EQ(text("Edit34"), QStringLiteral("12.03"));
  EXPECT_EQ(text("Edit35"), QStringLiteral("1.01"));  // not in the file: the drive's as read
  EXPECT_TRUE(visible("ComboBox4"));                 // the file's series 2
  EXPECT_EQ(t.st().tsq_reg1[3], 5);                  // the drive's series stays on record
  w->download_menu();
  settle();
  EXPECT_EQ(sim_reg(3, 3), 90);
  EXPECT_EQ(sim_reg(3, 1), 2);
}

TEST_F(SpeedCtlEditorTest, RecordsGoUnderTheChosenNameAndTheirFixedNames) {
  line({3});
  open(3);
  chooser->save_answer = dir.filePath(QStringLiteral("chosen.txt"));
  const std::pair<const char*, const char*> files[] = {
      {"Memo1", "chosen.txt"},
      {"Memo2", "调速器菜单编辑通讯执行成功记录.txt"},
      {"Memo3", "调速器菜单编辑通讯执行失败记录.txt"},
  };
  std::map<const char*, QString> before;
  for (const auto& [memo, name] : files) before[memo] = shown_text(ctl<QPlainTextEdit>(memo)).trimmed();
  w->save_records();
  EXPECT_EQ(chooser->proposed.last(), QStringLiteral("调速器通讯记录.txt"));
  for (const auto& [memo, name] : files) {
    SCOPED_TRACE(name);
    const QString written = testing::file_text(dir.filePath(QString::fromUtf8(name)));
    EXPECT_EQ(QString(written).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).trimmed(), before[memo]);
  }
  // The save itself is logged after the files were written.
  EXPECT_TRUE(lines("Memo2").last().startsWith(QStringLiteral("记录已保存到 ") + QDir::toNativeSeparators(dir.path())));
  w->clear_records();
  for (const char* memo : {"Memo1", "Memo2", "Memo3"}) EXPECT_TRUE(lines(memo).isEmpty()) << memo;
  EXPECT_FALSE(lines("Memo4").isEmpty());
}

TEST_F(SpeedCtlEditorTest, AValueTheDriveRefusesIsReadBack) {
  line({3});
  open(3);
  // F-04 has no lower clamp here; the drive takes 0.1 s at least.
  type_and_enter("Edit2", QStringLiteral("0"));
  EXPECT_EQ(frames(), (std::vector<Frame>{write(3, 4, 0), read(3, 4, 1)}));
  EXPECT_EQ(text("Edit2"), QStringLiteral("1.0"));
  EXPECT_EQ(w->tsq_param()[4], 10);
  EXPECT_EQ(lines("Memo3").last(), QStringLiteral("节点3：参数修改失败**"));
  EXPECT_EQ(sim_reg(3, 4), 10);
}

TEST_F(SpeedCtlEditorTest, ARefusedSeriesPickPutsTheStopListItPreselectedBack) {
  line({3});
  sim_reg(3, 1) = 2;  // series 2, stop method 3
  open(3);
  ASSERT_EQ(ctl<QComboBox>("ComboBox4")->currentText(), QStringLiteral("3、快速停止"));
  sim::Fault refused = testing::fault(sim::Fault::Exception, 1);
  refused.exception_code = 2;
  refused.function = 6;
  t.sim.inject(3, refused);
  pick("ComboBox2", 3);  // series 4: the same list, on its brake method
  EXPECT_EQ(frames(), (std::vector<Frame>{write(3, 1, 4), read(3, 1, 1)}));
  EXPECT_EQ(ctl<QComboBox>("ComboBox2")->currentIndex(), 1);
  EXPECT_EQ(ctl<QComboBox>("ComboBox4")->currentText(), QStringLiteral("3、快速停止"));
  t.sim.clear_journal();
  w->download_menu();
  settle();
  ASSERT_FALSE(frames().empty());
  EXPECT_EQ(frames().front().values.at(4), 3);
  EXPECT_EQ(sim_reg(3, 5), 3);
}

TEST_F(SpeedCtlEditorTest, AFailedFirstReadLeavesNothingToDownload) {
  line({3});
  t.sim.inject(3, testing::fault(sim::Fault::Silent, std::nullopt, -1, 3));
  open(3);
  EXPECT_TRUE(ctl<QLabel>("Panel1")->text().startsWith(QStringLiteral("节点3：菜单读取失败")));
  auto* torque = ctl<QWidget>("Edit1");
  EXPECT_TRUE(torque->property("unread").toBool());
  EXPECT_TRUE(torque->toolTip().startsWith(QStringLiteral("50~100\n"))) << torque->toolTip().toStdString();
  w->download_menu();
  settle();
  EXPECT_TRUE(frames().empty());
  EXPECT_TRUE(ctl<QLabel>("Panel1")->text().startsWith(QStringLiteral("节点3：菜单下载未执行：F-01、F-02、F-03等")))
      << ctl<QLabel>("Panel1")->text().toStdString();
  EXPECT_EQ(sim_reg(3, 3), 80);
}

TEST_F(SpeedCtlEditorTest, AnotherNodeShowsTheValuesMarkedAsTheFirstsAndTakesThemByDownload) {
  line({3, 4});
  sim_reg(3, 3) = 95;
  sim_reg(3, 4) = 50;
  t.sim.station(3)->set_reg(171, 1203);
  open(3);
  EXPECT_FALSE(ctl<QWidget>("Edit1")->property("unread").toBool());
  testing::select_node(ctl<QComboBox>("ComboBox1"), 4);
  EXPECT_TRUE(frames().empty());  // choosing a node reads nothing
  EXPECT_TRUE(ctl<QLabel>("Panel1")->text().startsWith(QStringLiteral("节点4：")));
  EXPECT_TRUE(ctl<QLabel>("Panel1")->text().contains(QStringLiteral("节点3的值"))) << ctl<QLabel>("Panel1")->text().toStdString();
  for (const char* name : {"Edit1", "Edit2", "ComboBox2", "Edit34"}) {
    QWidget* c = ctl<QWidget>(name);
    EXPECT_TRUE(c->property("unread").toBool()) << name;
    EXPECT_TRUE(c->toolTip().contains(QStringLiteral("节点3"))) << name;
  }
  EXPECT_EQ(text("Edit34"), QStringLiteral("12.03"));
  EXPECT_FALSE(ctl<QWidget>("Edit31")->property("unread").toBool());  // its own address
  EXPECT_EQ(text("Edit31"), QStringLiteral("4"));
  // The copy: node 3's menu goes to node 4, which keeps its address.
  w->download_menu();
  settle();
  EXPECT_TRUE(ctl<QLabel>("Panel1")->text().startsWith(QStringLiteral("节点4：菜单下载成功")));
  EXPECT_EQ(sim_reg(4, 3), 95);
  EXPECT_EQ(sim_reg(4, 4), 50);
  EXPECT_EQ(sim_reg(4, 20), 4);
  EXPECT_FALSE(ctl<QWidget>("Edit1")->property("unread").toBool());
  EXPECT_TRUE(ctl<QWidget>("Edit34")->property("unread").toBool());  // still node 3's version
}

TEST_F(SpeedCtlEditorTest, TheControlModePickedIsWhatLeavingBusControlRestores) {
  line({3});
  open(3);
  ASSERT_EQ(t.st().tsq_reg2[3], 1u);
  pick("ComboBox3", 1);  // "2、通讯总线", accepted
  EXPECT_EQ(frames(), (std::vector<Frame>{write(3, 2, 2)}));
  EXPECT_EQ(t.st().tsq_reg2[3], 2u);
  // A download is no choice of the mode to return to.
  ctl<QComboBox>("ComboBox3")->setCurrentIndex(0);
  w->download_menu();
  settle();
  EXPECT_EQ(sim_reg(3, 2), 1);
  EXPECT_EQ(t.st().tsq_reg2[3], 2u);
  // Run and stop in the control window; leaving it restores the mode picked.
  t.app.main_window().RS4851Click();
  QWidget* control = t.form("TForm19");
  testing::select_node(t.ctl<QComboBox>("TForm19", "ComboBox1"), 3);
  testing::click(control, "Button3");
  testing::click(control, "Button5");
  testing::click(control, "Button7");
  ASSERT_EQ(t.st().tsq_run_state[3], 0);
  t.sim.clear_journal();
  testing::click(control, "Button1");
  EXPECT_FALSE(control->isVisible());
  EXPECT_EQ(testing::writes_of(t.sim), (std::vector<Frame>{write(3, 2, 2)}));
}

// F-03 = 120 % from the drive (field 50~100), shown and sent as it is; typed,
// clamped. F-05 = 2 under series 5, whose list has only 1 and 3, shows as "2",
// marked, and is sent as 2.
TEST_F(SpeedCtlEditorTest, ValuesGoBackAsTheyCameAndAFailedDownloadNamesWhereItStopped) {
  line({3});
  sim_reg(3, 3) = 120;
  sim_reg(3, 5) = 2;
  open(3);
  auto* torque = ctl<QLineEdit>("Edit1");
  auto panel = [this] { return ctl<QLabel>("Panel1")->text(); };
  EXPECT_EQ(torque->text(), QStringLiteral("120"));
  EXPECT_TRUE(torque->property("out_of_range").toBool());
  EXPECT_TRUE(torque->toolTip().contains(QStringLiteral("50~100"))) << torque->toolTip().toStdString();
  auto* stop = ctl<QComboBox>("ComboBox5");
  EXPECT_EQ(stop->currentIndex(), -1);
  EXPECT_EQ(stop->placeholderText(), QStringLiteral("2"));
  EXPECT_TRUE(stop->property("out_of_range").toBool());
  EXPECT_EQ(stop->styleSheet(), torque->styleSheet());
  ASSERT_TRUE(testing::click_in_and_out(torque));
  EXPECT_EQ(torque->text(), QStringLiteral("120"));
  w->download_menu();
  settle();
  ASSERT_EQ(frames().size(), 3u);
  EXPECT_EQ(frames().front().values.at(2), 120);
  EXPECT_EQ(frames().front().values.at(4), 2);
  EXPECT_TRUE(panel().startsWith(QStringLiteral("节点3：菜单下载失败：首个未写入的是寄存器1（F-01）**  "))) << panel().toStdString();
  type_and_enter("Edit1", QStringLiteral("120"));
  EXPECT_EQ(frames().back(), write(3, 3, 100));
  t.sim.inject(3, testing::fault(sim::Fault::Silent, 20, 1, 16));
  t.sim.clear_journal();
  w->download_menu();
  settle();
  EXPECT_EQ(frames().size(), 3u);  // every request goes
  EXPECT_TRUE(panel().startsWith(QStringLiteral("节点3：菜单下载失败：首个未写入的是寄存器20（F-20）**  ")))
      << panel().toStdString();
  t.sim.clear_faults();
  t.sim.inject(3, testing::fault(sim::Fault::Silent, std::nullopt, -1, 3));
  w->read_menu();
  settle();
  t.sim.clear_faults();
  EXPECT_TRUE(torque->property("unconfirmed").toBool());
  t.sim.clear_journal();
  w->download_menu();
  settle();
  EXPECT_TRUE(frames().empty());
  EXPECT_TRUE(panel().startsWith(QStringLiteral("节点3：菜单下载未执行：F-01"))) << panel().toStdString();
  w->read_menu();
  settle();
  EXPECT_FALSE(torque->property("unconfirmed").toBool());
}

}  // namespace
}  // namespace velmo
