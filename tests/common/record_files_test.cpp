// Record files: the chosen log and its companions written beside it, UTF-8
// with CR LF, and every file that could not be written named in the failure.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QWidget>
#include <gtest/gtest.h>

#include "common/log_view.h"
#include "common/record_files.h"
#include "common/status_panel.h"
#include "common/window_parts.h"
#include "support/wait.h"

namespace velmo {
namespace {

struct RecordWindow {
  QWidget window;
  QLabel* panel = make_panel(&window, QRect(0, 0, 300, 20));
  QPlainTextEdit* traffic = make_memo(&window, "Memo1", QRect(0, 20, 300, 50));
  QPlainTextEdit* ok_log = make_memo(&window, "Memo2", QRect(0, 70, 300, 50));
  QPlainTextEdit* fail_log = make_memo(&window, "Memo3", QRect(0, 120, 300, 50));
  bool timed = false;

  void save(const QString& chosen, const QString& ok_name = QStringLiteral("ok.txt")) {
    save_records(&window, [chosen](QWidget*, const QString&) { return chosen; }, QStringLiteral("traffic.txt"),
                 traffic, {{ok_log, ok_name}, {fail_log, QStringLiteral("失败.txt")}}, {ok_log, fail_log, timed});
  }
  QString last(QPlainTextEdit* log) const { return shown_text(log).split('\n').last(); }
  QString shown() const { return static_cast<StatusPanel*>(panel)->shown_text(); }
  bool panel_fits() const { return panel->fontMetrics().horizontalAdvance(shown()) <= panel->contentsRect().width(); }
};

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

const QString kSaved = QStringLiteral("记录已保存到 ");
const QString kFailed = QStringLiteral("记录保存失败：");

TEST(RecordFiles, ChosenLogAndCompanionsWrittenBesideItAsUtf8CrLf) {
  RecordWindow w;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  append_line(w.traffic, QStringLiteral("01 06 10 04 00 01"));
  append_line(w.traffic, QStringLiteral("01 06 10 04 00 01"));
  append_line(w.ok_log, QStringLiteral("节点1：正转！！"));
  // The fail log stays empty: its file is written empty.
  w.save(dir.filePath(QStringLiteral("chosen.txt")));
  EXPECT_TRUE(w.panel->text().startsWith(kSaved)) << w.panel->text().toStdString();
  EXPECT_EQ(w.last(w.ok_log), kSaved + QDir::toNativeSeparators(dir.path()));
  EXPECT_EQ(contents(dir.filePath(QStringLiteral("chosen.txt"))),
            QByteArray("01 06 10 04 00 01\r\n01 06 10 04 00 01\r\n"));
  EXPECT_EQ(contents(dir.filePath(QStringLiteral("ok.txt"))), QStringLiteral("节点1：正转！！\r\n").toUtf8());
  EXPECT_EQ(contents(dir.filePath(QStringLiteral("失败.txt"))), QByteArray());
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);  // no temporary left
  EXPECT_TRUE(shown_text(w.fail_log).isEmpty());
}

TEST(RecordFiles, CancelledWritesNothingAndSaysNothing) {
  RecordWindow w;
  append_line(w.traffic, QStringLiteral("x"));
  w.save(QString());
  EXPECT_TRUE(w.panel->text().isEmpty());
  EXPECT_TRUE(shown_text(w.fail_log).isEmpty());
}

TEST(RecordFiles, EveryFileThatFailedIsNamedAndAGoodFileIsKept) {
  RecordWindow w;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // A folder where the companion should go: that one file cannot be written.
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("ok.txt")));
  QFile old(dir.filePath(QStringLiteral("失败.txt")));
  ASSERT_TRUE(old.open(QIODevice::WriteOnly));
  old.write("old\r\n");
  old.close();
  append_line(w.fail_log, QStringLiteral("节点1：正转控制失败**"));
  w.save(dir.filePath(QStringLiteral("chosen.txt")));
  const QString bad = QDir::toNativeSeparators(dir.filePath(QStringLiteral("ok.txt")));
  EXPECT_TRUE(w.panel->text().startsWith(kFailed));
  EXPECT_EQ(w.last(w.fail_log), kFailed + bad + "**");
  // The others were written whole.
  EXPECT_EQ(contents(dir.filePath(QStringLiteral("失败.txt"))), QStringLiteral("节点1：正转控制失败**\r\n").toUtf8());

  // A missing folder: the chosen file and both companions fail, all named.
  RecordWindow w2;
  w2.save(dir.filePath(QStringLiteral("no-such/chosen.txt")));
  const QStringList named = w2.last(w2.fail_log).mid(kFailed.size()).chopped(2).split(QStringLiteral("，"));
  EXPECT_EQ(named.size(), 3);
  EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("no-such"))));
}

// The panel tells the last save: a success after a failure replaces it and
// names the folder, shown shortened to fit; the log gets the whole path (with the
// time where the window's lines carry it). A cancel leaves the panel alone.
TEST(RecordFiles, ASuccessAfterAFailureSaysSoAndNamesTheFolder) {
  RecordWindow w;
  w.timed = true;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString deep = dir.filePath(QStringLiteral("一个很长的记录文件夹名称/second-level-folder-with-a-long-name"));
  w.save(deep + QStringLiteral("/chosen.txt"));
  EXPECT_TRUE(w.panel->text().startsWith(kFailed));
  EXPECT_TRUE(w.panel_fits()) << w.panel->text().toStdString();
  EXPECT_TRUE(w.last(w.fail_log).startsWith(kFailed + QDir::toNativeSeparators(deep + QStringLiteral("/chosen.txt"))));
  EXPECT_TRUE(w.last(w.fail_log).contains(QStringLiteral("**  ")));  // timed

  ASSERT_TRUE(QDir().mkpath(deep));
  w.save(deep + QStringLiteral("/chosen.txt"));
  EXPECT_TRUE(w.panel->text().startsWith(kSaved)) << w.panel->text().toStdString();
  EXPECT_EQ(w.panel->text(), kSaved + QDir::toNativeSeparators(deep));
  EXPECT_TRUE(w.panel_fits()) << w.shown().toStdString();
  EXPECT_TRUE(w.shown().startsWith(kSaved)) << w.shown().toStdString();
  EXPECT_TRUE(w.shown().contains(QChar(0x2026)));  // the middle of the path left out
  EXPECT_TRUE(w.shown().endsWith(QStringLiteral("name")));
  EXPECT_TRUE(w.last(w.ok_log).startsWith(kSaved + QDir::toNativeSeparators(deep) + QStringLiteral("  ")));
  EXPECT_EQ(contents(deep + QStringLiteral("/chosen.txt")), QByteArray());
  const QString said = w.panel->text();
  w.save(QString());
  EXPECT_EQ(w.panel->text(), said);
}

// A line is kept at once and shown with the others of its moment: single
// lines and blocks keep their order, the view shows them without being asked,
// and a clear drops what was still to be shown, the view emptying with the
// next pass.
TEST(RecordFiles, LinesAreKeptAtOnceAndShownTogetherInOrder) {
  RecordWindow w;
  auto* log = qobject_cast<LogView*>(w.traffic);
  ASSERT_NE(log, nullptr);
  append_line(w.traffic, QStringLiteral("01 03 00 AB 00 01 F5 EA **"));
  append_lines(w.traffic, {QStringLiteral("节点1：读取成功！！"), QStringLiteral("01 03 02 17 D5")});
  append_line(w.traffic, QStringLiteral("last"));
  const QByteArray all =
      QStringLiteral("01 03 00 AB 00 01 F5 EA **\r\n节点1：读取成功！！\r\n01 03 02 17 D5\r\nlast\r\n").toUtf8();
  EXPECT_EQ(log_record(w.traffic), all);
  EXPECT_EQ(log->waiting(), 4);
  ASSERT_TRUE(testing::wait_for([&] { return log->waiting() == 0; }));
  EXPECT_EQ(w.traffic->toPlainText(),
            QStringLiteral("01 03 00 AB 00 01 F5 EA **\n节点1：读取成功！！\n01 03 02 17 D5\nlast"));

  // A clear drops the record at once; the view empties with its next pass,
  // unasked, and shows only what came after the clear.
  clear_log(w.traffic);
  EXPECT_TRUE(log_record(w.traffic).isEmpty());
  append_line(w.traffic, QStringLiteral("after"));
  ASSERT_TRUE(testing::wait_for([&] { return log->current(); }));
  EXPECT_EQ(w.traffic->toPlainText(), QStringLiteral("after"));
  clear_log(w.traffic);
  ASSERT_TRUE(testing::wait_for([&] { return log->current(); }));
  EXPECT_EQ(w.traffic->toPlainText(), QString());

  append_line(w.traffic, QStringLiteral("dropped"));
  clear_log(w.traffic);
  EXPECT_EQ(shown_text(w.traffic), QString());
  EXPECT_TRUE(log_record(w.traffic).isEmpty());
  // A burst longer than the view is shown as its last lines only.
  for (int i = 0; i < 3 * LogView::kShownLines; ++i) append_line(w.traffic, QString::number(i));
  EXPECT_EQ(log->waiting(), LogView::kShownLines);
  EXPECT_EQ(log->store().size(), 3u * LogView::kShownLines);
  const QStringList shown = shown_text(w.traffic).split(QLatin1Char('\n'));
  ASSERT_EQ(shown.size(), LogView::kShownLines);
  EXPECT_EQ(shown.front(), QString::number(2 * LogView::kShownLines));
  EXPECT_EQ(shown.back(), QString::number(3 * LogView::kShownLines - 1));
}

// A day of polling: the log shows a bounded number of lines, and the record
// saved from it holds every line exactly as it was added.
TEST(RecordFiles, AMillionLinesStayBoundedOnScreenAndWholeInTheRecord) {
  RecordWindow w;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  auto nth = [](int i) {
    const QString k = QString::asprintf("%02X %02X ", (i >> 8) & 0xFF, i & 0xFF);
    switch (i % 5) {
      case 0: return QStringLiteral("01 03 02 ") + k;               // a reply
      case 1: return QStringLiteral("01 06 10 04 ") + k + "**";     // a request
      case 2: return QStringLiteral("节点%1：读取成功！！").arg(i);  // a result
      case 3: return QStringLiteral("01 03 02 0a **");              // not upper-case hex
      default: return QString();
    }
  };
  constexpr int kLines = 1'000'000;
  QByteArray expected;
  QStringList block;
  for (int i = 0; i < kLines; ++i) {
    const QString line = nth(i);
    expected += line.toUtf8() + "\r\n";
    if (i < 3000) {
      append_line(w.traffic, line);  // one by one, as the exchanges log them
      continue;
    }
    block << line;
    if (block.size() == 10000 || i == kLines - 1) {
      append_lines(w.traffic, block);
      block.clear();
    }
  }
  shown_text(w.traffic);
  EXPECT_LE(w.traffic->document()->blockCount(), LogView::kShownLines);
  EXPECT_EQ(w.traffic->document()->lastBlock().text(), nth(kLines - 1));
  w.save(dir.filePath(QStringLiteral("chosen.txt")));
  EXPECT_TRUE(contents(dir.filePath(QStringLiteral("chosen.txt"))) == expected);

  clear_log(w.traffic);
  w.save(dir.filePath(QStringLiteral("chosen.txt")));
  EXPECT_EQ(contents(dir.filePath(QStringLiteral("chosen.txt"))), QByteArray());
}

}  // namespace
}  // namespace velmo
