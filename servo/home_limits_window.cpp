#include "servo/home_limits_window.h"

#include <QGroupBox>
#include <QPushButton>

#include "common/window_parts.h"
#include "main/drive_link.h"

namespace velmo {

HomeLimitsWindow::HomeLimitsWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm13", QStringLiteral("伺服原点及极限设定"), QSize(900, 650), parent) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
  make_label(this, "LabelNode", QStringLiteral("节点："), QRect(10, 12, 60, 28));
  make_combo(this, "ComboBox4", QRect(70, 10, 100, 30));
  make_panel(this, QRect(190, 10, 560, 30));
  auto* anchor = new QGroupBox(QStringLiteral("原点及极限设定"), this);
  anchor->setObjectName(QStringLiteral("GroupBox1"));
  anchor->setGeometry(10, 50, 740, 400);
  route_traffic(ctx.link, WindowCode::HomeAndLimits, make_memo(this, "Memo1", QRect(10, 460, 740, 100)));
  connect(make_button(this, "Button1", QStringLiteral("退出"), QRect(770, 8, 100, 34)), &QPushButton::clicked, this,
          [this] { leave(); });
  apply_screen_scaling(anchor);
}

}  // namespace velmo
