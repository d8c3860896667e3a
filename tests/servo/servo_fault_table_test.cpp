// The servo fault and warning reference: opened without a line, its two
// tables exactly as the drive's manual prints them.
#include <QCoreApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableWidget>
#include <gtest/gtest.h>

#include "common/form_access.h"
#include "common/notifier.h"
#include "main/main_window.h"
#include "main/velmo_app.h"
#include "common/window_sizing.h"
#include "servo/servo_fault_rows.h"
#include "servo/servo_fault_table.h"

namespace velmo {
namespace {

// A design length as the window's screen scaling turns it out.
int scaled(int length) {
  ScalingInput in;
  in.screen = primary_screen_size();
  in.design = ServoFaultTableWindow::kDesignSize;
  const ScalingResult r = compute_window_scaling(in);
  return r.scaled ? scale_length(length, r.M, r.D) : length;
}

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

TEST_F(ServoFaultTableTest, OpensWithoutALineAndSendsNothing) {
  app.main_window().N10Click();
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(notifier.messages.isEmpty());
  EXPECT_EQ(app.link().st.active_form, 17);
  EXPECT_FALSE(app.link().Comm1.isOpen());
  EXPECT_EQ(app.link().st.sending, 0);

  // The close box leaves it like every window's exit.
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(app.link().st.active_form, 1);
}

TEST_F(ServoFaultTableTest, GridShapesHeadersAndParkedSelection) {
  struct Shape {
    QTableWidget* grid;
    int rows;
    const char* headers[3];
  };
  const Shape shapes[] = {
      {faults, 54, {"故障码", "故障名称", "故障原因及解决方法"}},
      {warnings, 10, {"警告码", "警告名称", "警告原因及解决方法"}},
  };
  for (const Shape& s : shapes) {
    SCOPED_TRACE(s.grid->objectName().toStdString());
    ASSERT_EQ(s.grid->rowCount(), s.rows);
    ASSERT_EQ(s.grid->columnCount(), 3);
    const int widths[] = {70, 187, 834};
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(cell(s.grid, 0, c), QString::fromUtf8(s.headers[c]));
      EXPECT_EQ(s.grid->horizontalHeaderItem(c)->text(), QString::fromUtf8(s.headers[c]));
      EXPECT_EQ(s.grid->columnWidth(c), scaled(widths[c]));
      EXPECT_TRUE(cell(s.grid, s.rows - 1, c).isEmpty());
    }
    EXPECT_EQ(s.grid->currentRow(), s.rows - 1);
    EXPECT_EQ(s.grid->currentColumn(), 0);
    EXPECT_EQ(s.grid->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(s.grid->verticalHeader()->defaultSectionSize(), scaled(22));
    EXPECT_EQ(s.grid->editTriggers(), QAbstractItemView::NoEditTriggers);
  }
  EXPECT_TRUE(faults->isEnabled());
  EXPECT_FALSE(warnings->isEnabled());
  EXPECT_EQ(warnings->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(warnings->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(ServoFaultTableTest, RowsAsPrinted) {
  struct Row {
    QTableWidget* grid;
    int row;
    const char* code;
    const char* name;
    const char* cause;
  };
  const Row rows[] = {
      {faults, 1, "Er-0", "系统参数异常", "参数异常，可通过Fb.00恢复出厂设置，若无法恢复，需返厂维修。"},
      // The manual's own slip ("U、V、端口") stays as printed.
      {faults, 2, "Er-1", "大幅度过电流",
       "1、驱动器U、V、端口至电机端口连接线短路、对地短路或电机烧毁，检查电机与变频器之间的连接线和电机。"},
      {faults, 4, "", "",
       "3、驱动器故障；可断开驱动器与电机动力线，若报Er-14报警，则驱动器正常，若仍报Er-1，可判断驱动器故障，需更换驱动器。"},
      {faults, 22, "", "", "   2KW以上驱动器可采用外接制动电阻。"},
      {faults, 23, "Er-8", "电机过载保护", "1、负载太大，可减轻负载，加大加减速时间你，选择更大功率电机及驱动器。"},
      {faults, 31, "Er-12", "正、反转极限设置错误", "1、设定正转极限时，必须用面板UP键或FWD使电机正转至正转极限位置；"},
      {faults, 35, "Er-14", "电机动力线连接异常", "电机与驱动器之间动力线未连接、漏接或解除不良。可检查接线。"},
      {faults, 46, "", "",
       "2、可将电源电压相同或者使用同一单相电源的多台驱动器P+,P-并接，参考P4-14页。2KW以上驱动器可采用外接制动电阻。"},
      {faults, 52, "Er-25", "电流传感器偏置电压异常", "返厂维修。"},
      {warnings, 1, "Er-30", "安全开关断开", "未运转前断开，SAFE灯熄灭，驱动器不接收任何运转命令，参考P4-15页。"},
      {warnings, 7, "Er-36", "未设机械原点", "驱动器收到回机械原点命令，但菜单F1-05未设机械原点。检查菜单补设机械原点。"},
      {warnings, 8, "Er-37", "自学习失败", "分析自学习失败原因，修改后重新进行自学习。"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.grid->objectName().toStdString() + " row " + std::to_string(r.row));
    EXPECT_EQ(cell(r.grid, r.row, 0), QString::fromUtf8(r.code));
    EXPECT_EQ(cell(r.grid, r.row, 1), QString::fromUtf8(r.name));
    EXPECT_EQ(cell(r.grid, r.row, 2), QString::fromUtf8(r.cause));
  }
}

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
  EXPECT_EQ(servo::servo_fault_rows().size(), 52u);
  EXPECT_EQ(servo::servo_warning_rows().size(), 8u);
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

TEST_F(ServoFaultTableTest, WindowAndGridLook) {
  EXPECT_EQ(form->windowTitle(), QStringLiteral("伺服故障及警告代码说明"));
  const Qt::WindowFlags flags = form->windowFlags();
  EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  for (QTableWidget* grid : {faults, warnings}) {
    SCOPED_TRACE(grid->objectName().toStdString());
    EXPECT_EQ(grid->font().family(), QStringLiteral("宋体"));
    EXPECT_EQ(grid->font().pixelSize(), scaled(14));
    EXPECT_TRUE(grid->showGrid());
    EXPECT_EQ(grid->palette().color(QPalette::Active, QPalette::Base),
              grid->palette().color(QPalette::Active, QPalette::Button));
    EXPECT_FALSE(grid->verticalHeader()->isVisibleTo(form));  // no fixed column
    // Nothing in the grid can be edited.
    for (int r = 0; r < grid->rowCount(); ++r) {
      for (int c = 0; c < 3; ++c) {
        const QTableWidgetItem* item = grid->item(r, c);
        ASSERT_NE(item, nullptr) << r << "," << c;
        EXPECT_FALSE(item->flags() & Qt::ItemIsEditable);
      }
    }
  }
}

}  // namespace
}  // namespace velmo
