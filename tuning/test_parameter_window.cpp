#include "tuning/test_parameter_window.h"

#include <QCloseEvent>
#include <QLabel>

#include "common/window_parts.h"
#include "drivelink/drive_link.h"

namespace velmo {

TestParameterWindow::TestParameterWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm22", QStringLiteral("测试参数设置"), QSize(520, 420), parent) {
  make_panel(this, QRect(0, 0, 10, 10))->hide();
}

// Opened from the gain-tuning window, which stays the active one: closing
// only hides this window.
void TestParameterWindow::closeEvent(QCloseEvent* event) { event->accept(); }

}  // namespace velmo
