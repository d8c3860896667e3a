// The servo fault and warning reference: every code shown once with its
// cause, nothing editable (opening and leaving it: navigation_test).
#include <QCoreApplication>
#include <QScrollBar>
#include <QTableWidget>
#include <gtest/gtest.h>

#include "common/form_access.h"
#include "common/notifier.h"
#include "main/main_window.h"
#include "main/velmo_app.h"
#include "servo/servo_fault_rows.h"
#include "servo/servo_fault_table.h"

namespace velmo {
namespace {

QString cell(QTableWidget* grid, int row, int column) {
  const QTableWidgetItem* item = grid->item(row, column);
  return item ? item->text() : QString();
}

class ServoFaultTableTest : public ::testing::Test {
 protected:
  RecordingNotifier notifier;
  VelmoApp app{notifier};
  QWidget* form = app.form("TForm17");
  QTableWidget* faults = control<QTableWidget>(form, "StringGrid1");
  QTableWidget* warnings = control<QTableWidget>(form, "StringGrid2");
};

TEST_F(ServoFaultTableTest, EveryCodeOnceInOrderAndEveryRowHasACause) {
  auto codes = [](QTableWidget* grid) {
    QStringList out;
    for (int r = 1; r < grid->rowCount() - 1; ++r) {
      EXPECT_FALSE(cell(grid, r, 2).isEmpty()) << "row " << r;
      // A name stands only beside a code.
      EXPECT_EQ(cell(grid, r, 0).isEmpty(), cell(grid, r, 1).isEmpty()) << "row " << r;
      if (!cell(grid, r, 0).isEmpty()) out << cell(grid, r, 0);
    }
    return out;
  };
  QStringList want_faults, want_warnings;
  for (int n = 0; n <= 25; ++n) want_faults << QStringLiteral("Er-%1").arg(n);
  for (int n = 30; n <= 37; ++n) want_warnings << QStringLiteral("Er-%1").arg(n);
  EXPECT_EQ(codes(faults), want_faults);
  EXPECT_EQ(codes(warnings), want_warnings);
  // Shown only: nothing in either grid can be edited.
  for (QTableWidget* grid : {faults, warnings})
    for (int r = 0; r < grid->rowCount(); ++r)
      for (int c = 0; c < 3; ++c)
        EXPECT_FALSE(grid->item(r, c) && (grid->item(r, c)->flags() & Qt::ItemIsEditable)) << r << "," << c;
}

TEST_F(ServoFaultTableTest, FaultGridScrollsToItsLastRowsWarningsFitWithoutScrolling) {
  app.main_window().N10Click();
  faults->scrollToItem(faults->item(53, 0));
  QCoreApplication::processEvents();
  EXPECT_GT(faults->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(faults->verticalScrollBar()->value(), faults->verticalScrollBar()->maximum());
  const int last_row_bottom = warnings->rowViewportPosition(8) + warnings->rowHeight(8);
  EXPECT_LE(last_row_bottom, warnings->viewport()->height());
  EXPECT_EQ(warnings->rowViewportPosition(1), 0);  // nothing scrolled away
}

}  // namespace
}  // namespace velmo
