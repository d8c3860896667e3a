// Every window of the program, sized for the common screens with one pinned
// font: each shown control lies inside its window (and its group), no two
// controls lie on each other, and no caption is wider than its control.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QFont>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <gtest/gtest.h>

#include "common/notifier.h"
#include "common/window_sizing.h"
#include "drivelink/drive_link.h"
#include "common/menu_editor_window.h"
#include "inverter/inverter_menu_editor.h"
#include "main/velmo_app.h"
#include "support/layout_check.h"

namespace velmo {
namespace {

// WenQuanYi Micro Hei is installed with the program's dependencies; the
// families the windows name themselves map to it, so every machine measures
// the same glyphs.
struct PinnedFont {
  QFont saved = QApplication::font();
  PinnedFont() {
    const QString family = QStringLiteral("WenQuanYi Micro Hei");
    for (const char* named : {"微软雅黑", "宋体", "Sans Serif", "DejaVu Sans"})
      QFont::insertSubstitution(QString::fromUtf8(named), family);
    QApplication::setFont(QFont(family, 9));
  }
  ~PinnedFont() { QApplication::setFont(saved); }
  static bool available() {
    return QFontDatabase::families().contains(QStringLiteral("WenQuanYi Micro Hei"));
  }
};

struct ScreenSize {
  explicit ScreenSize(QSize size) { set_screen_size_override(size); }
  ~ScreenSize() { set_screen_size_override(QSize()); }
};

QStringList faults_of_shown(QWidget* window) {
  window->show();
  QApplication::processEvents();
  QStringList faults = layout_check::faults_of(window);
  window->hide();
  return faults;
}

struct WindowLayoutTest : ::testing::TestWithParam<QSize> {
  void SetUp() override {
    if (!PinnedFont::available()) GTEST_SKIP() << "fonts-wqy-microhei is not installed";
  }
};

TEST_P(WindowLayoutTest, EveryWindowShowsEverythingItHolds) {
  PinnedFont font;
  ScreenSize screen(GetParam());
  RecordingNotifier notifier;
  VelmoApp app(notifier);
  ASSERT_EQ(app.windows().size(), 14u);
  // The longest fault text the inverter control window shows beside its code.
  app.form("TForm9")->findChild<QLineEdit*>(QStringLiteral("Edit6"))->setText(QStringLiteral("制动电阻负载率过高"));
  // The control windows' notice of an old status, shown as after a failed read.
  for (const char* name : {"TForm4", "TForm9", "TForm19"})
    app.form(name)->findChild<QLabel*>(QStringLiteral("LabelStale"))->show();
  for (QWidget* window : app.windows()) {
    const QStringList faults = faults_of_shown(window);
    EXPECT_TRUE(faults.isEmpty()) << window->objectName().toStdString() << " on " << GetParam().width() << "x"
                                  << GetParam().height() << ":\n  " << faults.join(QStringLiteral("\n  ")).toStdString();
  }
  // The inverter editor shows other controls for each model type.
  auto* inverter = qobject_cast<InverterMenuEditor*>(app.form("TForm10"));
  DriveLinkState& st = app.link().st;
  st.bpq_count = 1;
  st.bpq_nodes[0] = 5;
  inverter->findChild<QComboBox*>(QStringLiteral("ComboBox1"))->addItem(QStringLiteral("5"));
  for (uint8_t type = 0; type < 5; ++type) {
    st.bpq_model_type_list[0] = type;
    inverter->ComboBox1Click();
    ASSERT_EQ(inverter->model_type(), type);
    const QStringList faults = faults_of_shown(inverter);
    EXPECT_TRUE(faults.isEmpty()) << "TForm10, model type " << int(type) << ":\n  "
                                  << faults.join(QStringLiteral("\n  ")).toStdString();
  }
}

// The longest lines each menu editor puts on Panel1, made by the editors
// themselves on a three-digit node: the download refused for values nobody
// read, the note that the values shown are another node's, a failed read
// that leaves them, and a failed download naming its first unwritten register.
TEST_P(WindowLayoutTest, EveryEditorShowsItsLongestStatusLinesWhole) {
  PinnedFont font;
  ScreenSize screen(GetParam());
  RecordingNotifier notifier;
  VelmoApp app(notifier);
  for (const char* name : {"TForm2", "TForm10", "TForm18"}) {
    SCOPED_TRACE(name);
    auto* editor = qobject_cast<MenuEditorWindow*>(app.form(name));
    ASSERT_NE(editor, nullptr);
    ParamEditorEngine& engine = editor->engine();
    auto* panel = editor->findChild<QLabel*>(QStringLiteral("Panel1"));
    const int layout = engine.layout();
    const ParamRow* shown = nullptr;
    for (const ParamRow& row : engine.table().rows)
      if (!shown && row.control && row.reg >= 0 && engine.row_active(row) && !row.has(kStation)) shown = &row;
    ASSERT_NE(shown, nullptr);
    QStringList texts;
    engine.select(247, layout);
    ASSERT_FALSE(engine.download());
    texts << panel->text();
    engine.select(246, layout);
    engine.take_value(shown->reg, 1, ValueSource::Drive);
    engine.select(247, layout);
    texts << panel->text();
    ASSERT_FALSE(engine.read_menu({}));
    texts << panel->text();
    // Everything known, the download meets no drive: it names where it stopped.
    for (int reg : engine.unknown_download_registers()) engine.take_value(reg, 1, ValueSource::File);
    ASSERT_FALSE(engine.download());
    texts << panel->text();
    for (const QString& text : texts) {
      SCOPED_TRACE(text.toStdString());
      EXPECT_TRUE(text.startsWith(QStringLiteral("节点247：")));
      panel->setText(text);
      const QStringList faults = faults_of_shown(editor);
      EXPECT_TRUE(faults.isEmpty()) << faults.join(QStringLiteral("\n  ")).toStdString();
    }
    EXPECT_TRUE(texts[0].contains(QStringLiteral("菜单下载未执行")));
    EXPECT_TRUE(texts[1].contains(QStringLiteral("节点246")));
    EXPECT_TRUE(texts[2].contains(QStringLiteral("节点246")));
    EXPECT_TRUE(texts[3].contains(QStringLiteral("首个未写入的是寄存器"))) << texts[3].toStdString();
  }
}

// The longest lines the other windows put on Panel1, on a three-digit node (a
// shorter line of the same window fits where these do).
TEST_P(WindowLayoutTest, EveryOtherWindowShowsItsLongestStatusLinesWhole) {
  PinnedFont font;
  ScreenSize screen(GetParam());
  RecordingNotifier notifier;
  VelmoApp app(notifier);
  const std::pair<const char*, const char*> cases[] = {
      {"TForm4", "节点247：485控制模式切换未全部成功（485控制模式设置失败等3项）**"},
      {"TForm13", "节点247：转速与转矩限制设置未全部成功（转矩限制值设置失败等2项）**"},
      {"TForm9", "节点247：停止运转命令已发送，但RS485控制设置失败（寄存器9）**"},
      {"TForm19", "节点247：运转参数设定命令已发送，但RS485控制设置失败（寄存器2）**"},
      {"TForm1", "另一窗口正在运行，未搜索节点！！"},
      {"TForm1", "程序未关闭：有窗口仍控制着驱动器"},
      {"TForm3", "节点247：机械共振频率搜索失败：开始时的增益及滤波器参数读取失败，未执行"},
  };
  for (const auto& [name, text] : cases) {
    SCOPED_TRACE(text);
    QWidget* window = app.form(name);
    control<QLabel>(window, "Panel1")->setText(QString::fromUtf8(text));
    const QStringList faults = faults_of_shown(window);
    EXPECT_TRUE(faults.isEmpty()) << name << ":\n  " << faults.join(QStringLiteral("\n  ")).toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowLayoutTest,
                         ::testing::Values(QSize(1920, 1080), QSize(1600, 1000), QSize(1366, 768)),
                         [](const auto& info) {
                           return std::to_string(info.param.width()) + "x" + std::to_string(info.param.height());
                         });

TEST(WindowPlacement, TheWindowsMeantToBeCentredOpenCentred) {
  RecordingNotifier notifier;
  VelmoApp app(notifier);
  for (const char* name : {"TForm9", "TForm10", "TForm18", "TForm19", "TForm6", "TForm8", "TForm16", "TForm17", "TForm22"}) {
    QWidget* window = app.form(name);
    ASSERT_NE(window, nullptr) << name;
    window->show();
    QApplication::processEvents();
    const QPoint middle = window->screen()->availableGeometry().center();
    const QPoint centre = window->frameGeometry().center();
    EXPECT_LE((centre - middle).manhattanLength(), 2) << name;
    window->hide();
  }
}

// The standard dialogs the windows open: the message box with the longest
// message and the record-saving dialog.
TEST_F(WindowLayoutTest, TheDialogsShowEverythingTheyHold) {
  PinnedFont font;
  QMessageBox box(QMessageBox::Information, QStringLiteral("Velmo 1.0.0.10"),
                  QStringLiteral("恢复相关参数失败！！\n节点1：线路无应答，变频器可能仍在运转，请到现场确认！！\n"
                                 "节点2：线路无应答，变频器可能仍在运转，请到现场确认！！"));
  QFileDialog save(nullptr, QStringLiteral("保存记录"), QString(), QStringLiteral("文本文件（*.txt）(*.txt)"));
  save.setOption(QFileDialog::DontUseNativeDialog);
  save.setAcceptMode(QFileDialog::AcceptSave);
  for (QWidget* dialog : std::initializer_list<QWidget*>{&box, &save}) {
    const QStringList faults = faults_of_shown(dialog);
    EXPECT_TRUE(faults.isEmpty()) << faults.join(QStringLiteral("\n  ")).toStdString();
  }
}

// The check itself finds each kind of fault it is there for.
TEST_F(WindowLayoutTest, FindsAMisplacedControl) {
  PinnedFont font;
  ScreenSize screen(QSize(1366, 768));
  RecordingNotifier notifier;
  VelmoApp app(notifier);
  QWidget* window = app.form("TForm9");
  ASSERT_TRUE(faults_of_shown(window).isEmpty());
  auto* exit = window->findChild<QPushButton*>(QStringLiteral("Button1"));
  auto* clear = window->findChild<QPushButton*>(QStringLiteral("Button8"));
  const QRect exit_at = exit->geometry();

  struct Case {
    const char* what;
    std::function<void()> spoil;
    const char* expected;
  } cases[] = {
      {"cut off", [&] { exit->move(window->width() - exit->width() / 2, exit_at.y()); }, "Button1 "},
      {"on another", [&] { exit->move(clear->pos() + QPoint(5, 5)); }, "overlaps"},
      {"text too wide", [&] { exit->setText(QStringLiteral("退出并恢复全部驱动器的参数")); }, "text needs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    exit->setGeometry(exit_at);
    exit->setText(QStringLiteral("退出"));
    c.spoil();
    const QStringList faults = faults_of_shown(window);
    ASSERT_FALSE(faults.isEmpty());
    EXPECT_TRUE(faults.join('\n').contains(QString::fromLatin1(c.expected))) << faults.join('\n').toStdString();
  }
}

}  // namespace
}  // namespace velmo
