// Record files: the chosen log and its companions written beside it, UTF-8
// with CR LF, and every file that could not be written named in the failure.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include "common/record_files.h"
#include "common/window_parts.h"

namespace velmo {
namespace {

struct RecordWindow {
  QWidget window;
  QLabel* panel = make_panel(&window, QRect(0, 0, 100, 20));
  QPlainTextEdit* traffic = make_memo(&window, "Memo1", QRect(0, 20, 100, 50));
  QPlainTextEdit* ok_log = make_memo(&window, "Memo2", QRect(0, 70, 100, 50));
  QPlainTextEdit* fail_log = make_memo(&window, "Memo3", QRect(0, 120, 100, 50));

  void save(const QString& chosen, const QString& ok_name = QStringLiteral("ok.txt")) {
    save_records(&window, [chosen](QWidget*, const QString&) { return chosen; }, QStringLiteral("traffic.txt"),
                 traffic, {{ok_log, ok_name}, {fail_log, QStringLiteral("失败.txt")}}, fail_log);
  }
};

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST(RecordFiles, ChosenLogAndCompanionsWrittenBesideItAsUtf8CrLf) {
  RecordWindow w;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  w.traffic->appendPlainText(QStringLiteral("01 06 10 04 00 01"));
  w.traffic->appendPlainText(QStringLiteral("01 06 10 04 00 01"));
  w.ok_log->appendPlainText(QStringLiteral("节点1：正转！！"));
  // The fail log stays empty: its file is written empty.
  w.save(dir.filePath(QStringLiteral("chosen.txt")));
  EXPECT_EQ(w.panel->text(), QStringLiteral("记录保存成功！！"));
  EXPECT_EQ(contents(dir.filePath(QStringLiteral("chosen.txt"))),
            QByteArray("01 06 10 04 00 01\r\n01 06 10 04 00 01\r\n"));
  EXPECT_EQ(contents(dir.filePath(QStringLiteral("ok.txt"))), QStringLiteral("节点1：正转！！\r\n").toUtf8());
  EXPECT_EQ(contents(dir.filePath(QStringLiteral("失败.txt"))), QByteArray());
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);  // no temporary left
  EXPECT_TRUE(w.fail_log->toPlainText().isEmpty());
}

TEST(RecordFiles, CancelledWritesNothingAndSaysNothing) {
  RecordWindow w;
  w.traffic->appendPlainText(QStringLiteral("x"));
  w.save(QString());
  EXPECT_TRUE(w.panel->text().isEmpty());
  EXPECT_TRUE(w.fail_log->toPlainText().isEmpty());
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
  w.fail_log->appendPlainText(QStringLiteral("节点1：正转控制失败**"));
  w.save(dir.filePath(QStringLiteral("chosen.txt")));
  const QString bad = QDir::toNativeSeparators(dir.filePath(QStringLiteral("ok.txt")));
  EXPECT_EQ(w.panel->text(), QStringLiteral("记录保存失败：") + bad);
  EXPECT_EQ(w.fail_log->toPlainText().split('\n').last(), QStringLiteral("记录保存失败：") + bad + "**");
  // The others were written whole.
  EXPECT_EQ(contents(dir.filePath(QStringLiteral("失败.txt"))), QStringLiteral("节点1：正转控制失败**\r\n").toUtf8());

  // A missing folder: the chosen file and both companions fail, all named.
  RecordWindow w2;
  w2.save(dir.filePath(QStringLiteral("no-such/chosen.txt")));
  const QStringList named = w2.panel->text().mid(QStringLiteral("记录保存失败：").size()).split(QStringLiteral("，"));
  EXPECT_EQ(named.size(), 3);
  EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("no-such"))));
}

}  // namespace
}  // namespace velmo
