// Start-up, the main window's controls and defaults, the port list, the logs
// and their record files, the search-range field and the wheel filter.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <unistd.h>

#include "common/notifier.h"
#include "drivelink/drive_link.h"
#include "link/port_enumerator.h"
#include "main/main_window.h"
#include "main/qt_translations.h"
#include "main/velmo_app.h"
#include "support/wait.h"

namespace velmo {
namespace {

struct MainWindowTest : ::testing::Test {
  RecordingNotifier notifier;
  VelmoApp app{notifier};
  MainWindow& main = app.main_window();

  template <typename T>
  T* ctl(const char* name) {
    T* w = main.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QStringList items(const char* combo) {
    QStringList out;
    auto* box = ctl<QComboBox>(combo);
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
  }
  // The paths the port list's entries hold.
  QStringList ports() {
    QStringList out;
    auto* box = ctl<QComboBox>("ComboBox1");
    for (int i = 0; i < box->count(); ++i) out << box->itemData(i).toString();
    return out;
  }
};

TEST_F(MainWindowTest, StartsWithHiddenWindowsAndTheDefaultLine) {
  EXPECT_EQ(app.windows().size(), 14);
  for (QWidget* w : app.windows()) {
    EXPECT_EQ(app.form(w->objectName().toLatin1().constData()), w);
    EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();  // shown by main() / the menu only
  }
  EXPECT_EQ(app.form("TForm99"), nullptr);
  EXPECT_EQ(main.windowTitle(), QStringLiteral("Velmo 1.0.0.10"));

  // The line the drives speak out of the box: 38400 8E1, 250 ms.
  EXPECT_EQ(ctl<QComboBox>("ComboBox10")->currentText(), "38400");
  EXPECT_EQ(ctl<QComboBox>("ComboBox2")->currentText(), "8");
  EXPECT_EQ(ctl<QComboBox>("ComboBox3")->currentText(), "Even");
  EXPECT_EQ(ctl<QComboBox>("ComboBox4")->currentText(), "1");
  EXPECT_EQ(ctl<QComboBox>("ComboBox5")->count(), 0);
  EXPECT_EQ(ctl<QLineEdit>("Edit1")->text(), "10");
  for (const char* hidden : {"Button1", "Button2"}) EXPECT_FALSE(ctl<QPushButton>(hidden)->isEnabled()) << hidden;
  EXPECT_FALSE(ctl<QLabel>("Image1")->pixmap().isNull());

  const DriveLinkState& st = app.link().st;
  EXPECT_EQ(st.active_form, 1);
  EXPECT_EQ(st.connected, 0u);
  EXPECT_FALSE(app.link().Comm1.isOpen());

  // The timeout list runs from 250 ms to 10 s; an index past its end keeps the longest.
  auto* timeout = ctl<QComboBox>("ComboBox6");
  EXPECT_EQ(timeout->currentIndex(), 0);
  EXPECT_EQ(st.comm_timeout_ms, 250u);
  timeout->setCurrentIndex(timeout->count() - 1);
  EXPECT_EQ(st.comm_timeout_ms, 10000u);
  timeout->setCurrentIndex(1);
  EXPECT_EQ(st.comm_timeout_ms, 500u);
  main.ComboBox6onchange(9);
  EXPECT_EQ(st.comm_timeout_ms, 10000u);
}

// A virtual line published for the test, removed again at the end.
struct VirtualLine {
  QString name;
  QString path;
  explicit VirtualLine(const QString& kind = QStringLiteral("test"))
      : name(QStringLiteral("velmo-%1-%2").arg(kind).arg(getpid())) {
    const QString dir = ensure_virtual_port_dir();
    if (dir.isEmpty()) return;
    path = QDir(dir).filePath(name);
    QFile::remove(path);
    if (!QFile::link(QStringLiteral("/dev/null"), path)) path.clear();
  }
  ~VirtualLine() {
    if (!path.isEmpty()) QFile::remove(path);
  }
};

TEST_F(MainWindowTest, PortListComesFromTheEnumeratorWithoutDoubles) {
  // Other tests publish and remove simulated lines meanwhile: compare the
  // machine's own devices only.
  auto devices = [](QStringList ports) {
    ports.removeIf([](const QString& p) { return p.startsWith(virtual_port_dir()); });
    return ports;
  };
  EXPECT_EQ(devices(ports()), devices(enumerate_serial_ports()));
  VirtualLine line;
  ASSERT_FALSE(line.path.isEmpty());
  for (int press = 0; press < 2; ++press) {
    main.Button3Click();
    QStringList list = ports();
    EXPECT_EQ(list.count(line.path), 1) << press;
    EXPECT_EQ(list.removeDuplicates(), 0);
    EXPECT_EQ(ctl<QComboBox>("ComboBox1")->currentIndex(), 0);
    EXPECT_EQ(ctl<QLabel>("Panel1")->text(), "串口搜索完成！！");
    EXPECT_TRUE(ctl<QPushButton>("Button3")->isEnabled());
  }
}

// Simulated lines are listed by their names, which tell them apart, while
// the search opens the path each one holds (shown in the tip). A line given
// at start (scripts/run.sh) is chosen, added when the list lacks it.
TEST_F(MainWindowTest, VirtualLinesShowTheirNamesAndAGivenLineIsChosen) {
  VirtualLine a(QStringLiteral("a")), b(QStringLiteral("b"));
  ASSERT_FALSE(a.path.isEmpty());
  ASSERT_FALSE(b.path.isEmpty());
  main.Button3Click();
  auto* box = ctl<QComboBox>("ComboBox1");
  for (const VirtualLine* line : {&a, &b}) {
    main.choose_port(line->path);
    EXPECT_EQ(box->currentText(), line->name);
    EXPECT_EQ(box->toolTip(), line->path);
    EXPECT_EQ(main.port_choice().name, line->path);
    EXPECT_EQ(ports().count(line->path), 1);
  }
  QStyleOptionComboBox option;
  option.initFrom(box);
  const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
  EXPECT_GE(field.width(), QFontMetrics(box->font()).horizontalAdvance(box->currentText())) << "the name fits the box";

  const QString absent = QStringLiteral("/dev/velmo-not-listed");
  main.choose_port(absent);
  EXPECT_EQ(box->currentText(), absent) << "a device shows its path";
  EXPECT_EQ(main.port_choice().name, absent);
  main.choose_port(absent);
  EXPECT_EQ(ports().count(absent), 1);
}

TEST_F(MainWindowTest, ClosingThePortUnlocksTheSettings) {
  app.link().st.connected = 1;
  for (const char* name : {"ComboBox1", "ComboBox2", "ComboBox3", "ComboBox4", "ComboBox10"})
    ctl<QComboBox>(name)->setEnabled(false);
  ctl<QPushButton>("Button4")->setEnabled(false);
  ctl<QPushButton>("Button2")->setEnabled(true);
  main.Button2Click();
  EXPECT_EQ(app.link().st.connected, 0u);
  EXPECT_EQ(ctl<QLabel>("Panel1")->text(), "关闭串口");
  EXPECT_FALSE(ctl<QPushButton>("Button2")->isEnabled());
  EXPECT_FALSE(ctl<QPushButton>("Button1")->isEnabled());
  EXPECT_TRUE(ctl<QPushButton>("Button4")->isEnabled());
  for (const char* name : {"ComboBox1", "ComboBox2", "ComboBox3", "ComboBox4", "ComboBox10"})
    EXPECT_TRUE(ctl<QComboBox>(name)->isEnabled()) << name;
}

TEST_F(MainWindowTest, SearchRangeFilterAndClamp) {
  main.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
  auto* range = ctl<QLineEdit>("Edit1");
  struct Case {
    const char* typed;
    const char* shown;
    const char* after_exit;
  } cases[] = {{"0", "0", "1"}, {"a1b2", "12", "12"}, {"12345", "123", "123"}, {"", "", "1"},
               {"247", "247", "247"}, {"-5", "5", "5"}, {"248", "248", "247"}};
  for (const Case& c : cases) {
    range->clear();
    range->setFocus();
    QTest::keyClicks(range, QString::fromUtf8(c.typed));
    EXPECT_EQ(range->text(), QString::fromUtf8(c.shown)) << c.typed;
    // Leaving the field (Enter moves the focus on) corrects the range.
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(range, &out);
    EXPECT_EQ(range->text(), QString::fromUtf8(c.after_exit)) << c.typed;
  }
  // Backspace passes; Enter moves the focus to the next control and clamps.
  range->setText(QStringLiteral("30"));
  QTest::keyClick(range, Qt::Key_Backspace);
  EXPECT_EQ(range->text(), "3");
  range->setText(QStringLiteral("999"));
  main.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  range->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), range);
  QTest::keyClick(range, Qt::Key_Return);
  EXPECT_NE(QApplication::focusWidget(), range);
  EXPECT_EQ(range->text(), "247");
}

TEST_F(MainWindowTest, WheelNeverChangesTheMainWindowsComboBoxes) {
  auto wheel = [](QWidget* target) {
    QWheelEvent e(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &e);
  };
  for (const char* name : {"ComboBox10", "ComboBox2", "ComboBox3", "ComboBox4"}) {
    auto* box = ctl<QComboBox>(name);
    box->setCurrentIndex(0);
    box->setFocus();
    wheel(box);
    EXPECT_EQ(box->currentIndex(), 0) << name;
  }
  // The wheel still works elsewhere: another window's list follows it.
  auto* other = app.form("TForm19")->findChild<QComboBox*>(QStringLiteral("ComboBox2"));
  ASSERT_NE(other, nullptr);
  other->setCurrentIndex(0);
  wheel(other);
  EXPECT_EQ(other->currentIndex(), 1);
  // Keys still change a main-window list.
  auto* baud = ctl<QComboBox>("ComboBox10");
  baud->setCurrentIndex(0);
  QTest::keyClick(baud, Qt::Key_Down);
  EXPECT_EQ(baud->currentIndex(), 1);
}

// The shared saving is tested on its own; here: which log goes to which file,
// none in the working folder, and the clear button.
TEST_F(MainWindowTest, LogsAreSavedBesideTheChosenFileAndCleared) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  append_line(ctl<QPlainTextEdit>("Memo1"), QStringLiteral("01 03 00 AB 00 01 F5 EA **"));
  append_line(ctl<QPlainTextEdit>("Memo2"), QStringLiteral("搜索到1个伺服节点！！  10:00:00"));
  const QString chosen = dir.filePath(QStringLiteral("line-a.txt"));
  main.set_save_chooser([&](QWidget*, const QString&) { return chosen; });
  QTemporaryDir elsewhere;
  const QString before = QDir::currentPath();
  QDir::setCurrent(elsewhere.path());
  main.Button5Click();
  QDir::setCurrent(before);
  EXPECT_TRUE(QDir(elsewhere.path()).entryList(QDir::Files).isEmpty());
  QFile traffic(chosen), process(dir.filePath(QStringLiteral("过程记录.txt")));
  ASSERT_TRUE(traffic.open(QIODevice::ReadOnly));
  EXPECT_EQ(traffic.readAll(), QByteArray("01 03 00 AB 00 01 F5 EA **\r\n"));
  ASSERT_TRUE(process.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(process.readAll()), QStringLiteral("搜索到1个伺服节点！！  10:00:00\r\n"));
  // The narrow panel names the folder as far as it fits; the log in full.
  auto* panel = ctl<QLabel>("Panel1");
  EXPECT_TRUE(panel->text().startsWith(QStringLiteral("记录已保存到 "))) << panel->text().toStdString();
  EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->text()), panel->contentsRect().width());
  EXPECT_TRUE(shown_text(ctl<QPlainTextEdit>("Memo2")).split('\n').last().startsWith(
      QStringLiteral("记录已保存到 ") + QDir::toNativeSeparators(dir.path()) + "  "));

  QTest::mouseClick(ctl<QPushButton>("Button6"), Qt::LeftButton);
  EXPECT_TRUE(shown_text(ctl<QPlainTextEdit>("Memo1")).isEmpty());
  EXPECT_TRUE(shown_text(ctl<QPlainTextEdit>("Memo2")).isEmpty());
}

// A close while an exchange waits is not lost: the program ends once the
// exchange is over, without being asked again.
TEST_F(MainWindowTest, ACloseWhileAnExchangeWaitsEndsTheProgramOnceItIsOver) {
  for (const bool sending : {true, false}) {
    VelmoApp program(notifier);
    MainWindow& window = program.main_window();
    QSignalSpy closed(&window, &MainWindow::closed);
    window.show();
    DriveLinkState& st = program.link().st;
    uint8_t& busy = sending ? st.sending : st.write_busy;
    busy = 1;
    EXPECT_FALSE(window.close());
    testing::pass_time(300);
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(window.isVisible());
    busy = 0;
    EXPECT_TRUE(testing::wait_for([&] { return closed.count() == 1; }));
  }
}

// Qt's own buttons and file dialogs speak Chinese once the program has
// loaded Qt's translations, as it does at start-up.
TEST(QtTranslations, StandardButtonsAndFileDialogsInChinese) {
  QObject owner;
  ASSERT_TRUE(install_qt_translations(&owner));
  QMessageBox box(QMessageBox::Information, QStringLiteral("t"), QStringLiteral("x"),
                  QMessageBox::Ok | QMessageBox::Cancel);
  EXPECT_EQ(box.button(QMessageBox::Ok)->text().toStdString(), "确定");
  EXPECT_EQ(box.button(QMessageBox::Cancel)->text().toStdString(), "取消");
  EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:").toStdString(), "查找范围：");
}

}  // namespace
}  // namespace velmo
