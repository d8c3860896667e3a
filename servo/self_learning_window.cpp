#include "servo/self_learning_window.h"

#include <QPushButton>

#include "common/window_parts.h"
#include "main/drive_link.h"

namespace velmo {

SelfLearningWindow::SelfLearningWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm8", QStringLiteral("伺服系统参数自学习"), QSize(600, 420), parent) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
  make_label(this, "LabelNode", QStringLiteral("节点："), QRect(10, 12, 60, 28));
  make_combo(this, "ComboBox1", QRect(70, 10, 100, 30));
  make_panel(this, QRect(190, 10, 390, 30));
  route_traffic(ctx.link, WindowCode::SelfLearning, make_memo(this, "Memo1", QRect(10, 50, 570, 200)));
  auto* anchor = make_button(this, "Button3", QStringLiteral("末端振动抑制自学习"), QRect(10, 260, 440, 34));
  connect(make_button(this, "Button4", QStringLiteral("退出"), QRect(470, 260, 100, 34)), &QPushButton::clicked, this,
          [this] { leave(); });
  apply_screen_scaling(anchor);
}

}  // namespace velmo
