#include "servo/servo_control_window.h"

#include <QGroupBox>
#include <QPushButton>

#include "common/window_parts.h"
#include "main/drive_link.h"

namespace velmo {

ServoControlWindow::ServoControlWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm4", QStringLiteral("驱动器 RS-485通讯控制"), QSize(1000, 700), parent) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  make_label(this, "LabelNode", QStringLiteral("节点："), QRect(10, 12, 60, 28));
  make_combo(this, "ComboBox4", QRect(70, 10, 100, 30));
  make_panel(this, QRect(190, 10, 640, 30));
  auto* anchor = new QGroupBox(QStringLiteral("转矩模式"), this);
  anchor->setObjectName(QStringLiteral("GroupBox2"));
  anchor->setGeometry(10, 50, 820, 440);
  route_traffic(ctx.link, WindowCode::ServoControl, make_memo(this, "Memo1", QRect(10, 500, 820, 100)));
  connect(make_button(this, "Button1", QStringLiteral("退出"), QRect(850, 8, 100, 34)), &QPushButton::clicked, this,
          [this] { leave(); });
  apply_screen_scaling(anchor);
}

}  // namespace velmo
