// Substring helpers of the menu-file readers.
#include <gtest/gtest.h>

#include "common/string_helpers.h"

namespace velmo {
namespace {

TEST(StringHelpers, MidLeftRight) {
  const QString line = QStringLiteral("100          2000");
  struct Case {
    QString got, expected;
  } cases[] = {
      {midstr(line, 1, 3), "100"},
      {midstr(line, 14, 4), "2000"},
      {midstr(line, 14, 100), "2000"},  // fewer at the end
      {midstr(line, 18, 1), ""},        // past the end
      {midstr(line, 1, 0), ""},
      {midstr(line, 0, 3), "100"},      // positions count from 1
      {midstr(QString(), 1, 5), ""},
      {LeftStr(line, 3), "100"},
      {LeftStr(line, 99), line},
      {LeftStr(line, 0), ""},
      {LeftStr(line, -2), ""},
      {rightStr(line, 4), "2000"},
      {rightStr(line, 99), line},
      {rightStr(line, 0), ""},
      {rightStr(QStringLiteral("节点12"), 2), "12"},
  };
  int row = 0;
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << "row " << row++;
}

}  // namespace
}  // namespace velmo
