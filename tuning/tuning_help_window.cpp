#include "tuning/tuning_help_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPlainTextEdit>

#include "common/window_parts.h"
#include "common/center_on_screen.h"

namespace velmo {

TuningHelpWindow::TuningHelpWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm6", QStringLiteral("位置模式增益调整方法"), QSize(520, 420), parent) {
  auto* memo = make_memo(this, "Memo1", QRect(10, 10, 500, 400));
  memo->setPlainText(QStringLiteral("自学习步骤如下：\n\n    1、选择负载类别\n\n    2、选择性能要求\n\n"
                                    "    3、选择是否为垂直负载\n\n    4、选择是否进行惯量推定\n\n"
                                    "    5、设置电机的旋转圈数\n\n    6、点击“开始自学习”按钮\n\n"
                                    "    7、耐心等待自学习完成，左侧有自学习进程指示。"));
}

// Opened from the gain-tuning window, which stays the active one: closing
// only hides this window.
void TuningHelpWindow::closeEvent(QCloseEvent* event) { event->accept(); }

void TuningHelpWindow::showEvent(QShowEvent* event) {
  VelmoWindow::showEvent(event);
  center_on_screen(this);
}

}  // namespace velmo
