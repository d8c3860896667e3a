// Menu files: written as ASCII with CR LF, read whole (LF, CR LF and a
// byte-order mark accepted) or refused as a whole.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "common/menu_file.h"

namespace velmo {
namespace {

TEST(MenuFile, WrittenAsAsciiWithCrLf) {
  MenuFileContent c;
  c.family = QStringLiteral("SERVO");
  c.entries = {{0, 1}, {2, 4500}, {160, 1}};
  EXPECT_EQ(menu_file_text(c), QByteArray("SERVO\r\nADDR    DATA\r\n0          1\r\n2          4500\r\n160          1\r\n"));
  c.family = QStringLiteral("BPQ");
  c.model_type = 3;
  EXPECT_TRUE(menu_file_text(c).startsWith("BPQ\r\n3\r\nADDR    DATA\r\n"));

  const MenuFileParse back = parse_menu_file(menu_file_text(c), QStringLiteral("BPQ"), true);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(back.content.model_type, 3);
  EXPECT_EQ(back.content.entries, c.entries);
}

TEST(MenuFile, ParsedWholeOrRefused) {
  const struct {
    const char* name;
    QByteArray bytes;
    const char* family;
    bool model_line;
    MenuFileError error;
    size_t entries;
  } cases[] = {
      {"CR LF", "SERVO\r\nADDR    DATA\r\n0          1\r\n1          2\r\n", "SERVO", false, MenuFileError::None, 2},
      {"LF", "SERVO\nADDR    DATA\n0          1\n1          2\n", "SERVO", false, MenuFileError::None, 2},
      {"byte-order mark", "\xEF\xBB\xBFSERVO\r\nADDR    DATA\r\n0          1\r\n", "SERVO", false, MenuFileError::None, 1},
      {"blanks after the word", "SERVO   \r\nADDR    DATA\r\n0          1\r\n", "SERVO", false, MenuFileError::None, 1},
      {"blank lines", "SERVO\r\n\r\nADDR    DATA\r\n\r\n0          1\r\n   \r\n1          2\r\n", "SERVO", false,
       MenuFileError::None, 2},
      {"no last line end", "SERVO\nADDR    DATA\n0          1", "SERVO", false, MenuFileError::None, 1},
      {"register beyond the image", "SERVO\nADDR    DATA\n0          1\n300          5\n", "SERVO", false,
       MenuFileError::None, 1},
      {"header only", "SERVO\r\nADDR    DATA\r\n", "SERVO", false, MenuFileError::None, 0},
      {"empty", "", "SERVO", false, MenuFileError::Header, 0},
      {"other family", "TSQ\r\nADDR    DATA\r\n1          1\r\n", "SERVO", false, MenuFileError::Header, 0},
      {"word with more", "SERVOX\r\nADDR    DATA\r\n1          1\r\n", "SERVO", false, MenuFileError::Header, 0},
      {"no columns line", "SERVO\r\n0          1\r\n", "SERVO", false, MenuFileError::Header, 0},
      {"not a number", "SERVO\r\nADDR    DATA\r\n0          1\r\n1          x\r\n", "SERVO", false,
       MenuFileError::BadLine, 0},
      {"short line", "SERVO\r\nADDR    DATA\r\n0          1\r\n12\r\n", "SERVO", false, MenuFileError::BadLine, 0},
      {"three fields", "SERVO\r\nADDR    DATA\r\n0   1   2\r\n", "SERVO", false, MenuFileError::BadLine, 0},
      {"negative", "SERVO\r\nADDR    DATA\r\n0          -1\r\n", "SERVO", false, MenuFileError::BadLine, 0},
      {"not ASCII", "SERVO\r\nADDR    DATA\r\n0          1\xE4\xB8\x80\r\n", "SERVO", false, MenuFileError::BadLine,
       0},
      {"above 65535", "SERVO\r\nADDR    DATA\r\n0          65536\r\n", "SERVO", false, MenuFileError::OutOfRange, 0},
      {"twice", "SERVO\r\nADDR    DATA\r\n0          1\r\n0          2\r\n", "SERVO", false, MenuFileError::Duplicate,
       0},
      {"model line", "BPQ\r\n4\r\nADDR    DATA\r\n1          5\r\n", "BPQ", true, MenuFileError::None, 1},
      {"model line missing", "BPQ\r\nADDR    DATA\r\n1          5\r\n", "BPQ", true, MenuFileError::Header, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const MenuFileParse p = parse_menu_file(c.bytes, QString::fromLatin1(c.family), c.model_line);
    EXPECT_EQ(p.error, c.error);
    EXPECT_EQ(p.content.entries.size(), c.entries);
  }
}

TEST(MenuFile, ExactRegisterSets) {
  MenuFileContent c;
  c.entries = {{2, 0}, {0, 0}, {1, 0}};
  EXPECT_TRUE(lists_exactly(c, {0, 1, 2}));
  EXPECT_FALSE(lists_exactly(c, {0, 1, 2, 3}));
  EXPECT_FALSE(lists_exactly(c, {0, 1}));
}

TEST(MenuFile, WritesReplaceTheTargetOrLeaveItAlone) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("伺服节点1菜单.txt"));
  ASSERT_TRUE(write_file_atomically(path, "first"));
  ASSERT_TRUE(write_file_atomically(path, "second"));
  QByteArray read;
  ASSERT_TRUE(read_whole_file(path, &read));
  EXPECT_EQ(read, "second");
  QString error;
  EXPECT_FALSE(write_file_atomically(dir.filePath(QStringLiteral("missing/x.txt")), "x", &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(read_whole_file(dir.filePath(QStringLiteral("missing/x.txt")), &read));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("伺服节点1菜单.txt")});
}

TEST(MenuFile, RecordFilesGoBesideTheChosenFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("logs")));
  const QString chosen = dir.filePath(QStringLiteral("logs/any name.txt"));
  ASSERT_TRUE(save_record_files(chosen, QStringLiteral("成功.txt"), QStringLiteral("节点1：参数修改成功\n第二行"),
                                QStringLiteral("失败.txt"), QString()));
  QFile ok(dir.filePath(QStringLiteral("logs/成功.txt")));
  ASSERT_TRUE(ok.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(ok.readAll()), QStringLiteral("节点1：参数修改成功\r\n第二行\r\n"));
  EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("logs/失败.txt"))));
  EXPECT_FALSE(save_record_files(dir.filePath(QStringLiteral("none/x.txt")), QStringLiteral("a.txt"), QStringLiteral("x"),
                                 QStringLiteral("b.txt"), QStringLiteral("y")));
}

}  // namespace
}  // namespace velmo
