// Texts the engineer must read whole: the status panel shows every character
// of a message or says, in its tip, what it had to leave out; an information
// box is as wide as its text needs and never leaves a character or two on a
// line of their own.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTextLayout>
#include <QWidget>
#include <gtest/gtest.h>

#include <algorithm>

#include "common/message_box.h"
#include "common/status_line.h"
#include "common/status_panel.h"
#include "common/window_parts.h"

namespace velmo {
namespace {

TEST(ScreenTexts, TheStatusPanelShowsTheWholeTextOrShortensItInTheMiddle) {
  QWidget window;
  // The main window's panel.
  auto* panel = static_cast<StatusPanel*>(make_panel(&window, QRect(340, 10, 350, 40)));
  panel->setText(QStringLiteral("读取系统参数完毕！！"));
  EXPECT_EQ(panel->fit(), StatusPanel::Fit::OneLine);

  // A lost port's line names the whole link: wider than the panel, it is
  // wrapped, nothing cut at either end.
  const int room = panel->contentsRect().width();
  QString link = QStringLiteral("/run/user/1000/velmo-ports/velmo-sim");
  while (panel->fontMetrics().horizontalAdvance(port_lost_text(link)) < room * 5 / 4) link += QStringLiteral("-2");
  const QString lost = port_lost_text(link);
  panel->setText(lost);
  EXPECT_EQ(panel->fit(), StatusPanel::Fit::Wrapped);
  EXPECT_EQ(panel->shown_text(), lost);

  // Longer than two lines: one line, shortened in the middle, both ends kept.
  const QString longer = port_lost_text(QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10KZP1X-if00-port0"
                                                       "/and/a/folder/deeper/still/than/any/panel/holds"));
  panel->setText(longer);
  EXPECT_EQ(panel->text(), longer);
  EXPECT_EQ(panel->fit(), StatusPanel::Fit::Shortened);
  const QString shown = panel->shown_text();
  EXPECT_TRUE(shown.startsWith(QStringLiteral("串口已断开：/dev"))) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(QStringLiteral("holds"))) << shown.toStdString();
  EXPECT_TRUE(shown.contains(QChar(0x2026)));
  EXPECT_LE(panel->fontMetrics().horizontalAdvance(shown), panel->contentsRect().width());
}

// The widths of the lines the box's label lays its text out in.
std::vector<qreal> laid_out_lines(const QLabel* label, int width) {
  QTextLayout layout(label->text(), label->font());
  QTextOption option;
  option.setWrapMode(QTextOption::WordWrap);
  layout.setTextOption(option);
  std::vector<qreal> widths;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(width);
    widths.push_back(line.naturalTextWidth());
  }
  layout.endLayout();
  return widths;
}

TEST(ScreenTexts, AnInformationBoxIsSizedToItsText) {
  const QString one_line = QStringLiteral("退出前，请确保电机停止且变频器无故障！！");
  QString paragraph;
  for (int i = 0; i < 6; ++i) paragraph += QStringLiteral("节点2：伺服控制窗口仍控制着驱动器，参数未能恢复，驱动器可能仍在运行，");
  paragraph += QStringLiteral("请重新选择节点！！");
  for (const QString& text : {one_line, paragraph}) {
    SCOPED_TRACE(text.toStdString());
    QMessageBox box(QMessageBox::Information, QStringLiteral("Velmo"), text, QMessageBox::Ok);
    fit_message_box(box);
    box.show();
    QApplication::processEvents();
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_TRUE(label);
    const std::vector<qreal> lines = laid_out_lines(label, label->contentsRect().width());
    ASSERT_FALSE(lines.empty());
    if (text == one_line) {
      EXPECT_EQ(lines.size(), 1u);
    } else {
      // Even lines: the last holds at least a third of the widest.
      EXPECT_GE(lines.size(), 2u);
      EXPECT_GE(lines.back() * 3, *std::max_element(lines.begin(), lines.end()));
    }
    // And the box shows every line: the label is as tall as they are.
    EXPECT_GE(label->height() + 1, static_cast<int>(lines.size()) * label->fontMetrics().lineSpacing());
    box.done(QMessageBox::Ok);
  }
}

}  // namespace
}  // namespace velmo
