#include "speedctl/speedctl_control_window.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "common/window_parts.h"
#include "drivelink/drive_link.h"

namespace velmo {

SpeedCtlControlWindow::SpeedCtlControlWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm19", QStringLiteral("调速器 RS-485通讯控制"), QSize(1000, 700), parent) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
  make_label(this, "LabelNode", QStringLiteral("节点："), QRect(10, 12, 60, 28));
  make_combo(this, "ComboBox1", QRect(70, 10, 100, 30));
  make_panel(this, QRect(190, 10, 640, 30));
  auto* anchor = new QGroupBox(QStringLiteral("状态指示及运转控制"), this);
  anchor->setObjectName(QStringLiteral("GroupBox1"));
  anchor->setGeometry(10, 50, 820, 380);
  make_label(anchor, "LabelEdit1", QStringLiteral("转速设定："), QRect(10, 200, 120, 28));
  auto* speed = make_edit(anchor, "Edit1", QRect(130, 200, 100, 28), QStringLiteral("1000"));
  speed->setMaxLength(4);
  speed->setToolTip(QStringLiteral("0~1600"));
  make_label(anchor, "LabelEdit2", QStringLiteral("转矩设定："), QRect(10, 240, 120, 28));
  make_edit(anchor, "Edit2", QRect(130, 240, 100, 28), QStringLiteral("50"))->setMaxLength(3);
  make_label(anchor, "LabelComboBox2", QStringLiteral("抱闸设定："), QRect(10, 280, 120, 28));
  auto* brake = make_combo(anchor, "ComboBox2", QRect(130, 280, 200, 28));
  brake->addItems({QStringLiteral("1、停止时抱闸"), QStringLiteral("2、停止时不抱闸")});
  brake->setCurrentIndex(0);
  make_button(anchor, "Button2", QStringLiteral("运转参数设定"), QRect(350, 240, 160, 34))
      ->setToolTip(QStringLiteral("设定转速、转矩和抱闸"));
  route_traffic(ctx.link, WindowCode::SpeedCtlControl, make_memo(this, "Memo1", QRect(10, 440, 400, 150)));
  make_memo(this, "Memo2", QRect(420, 440, 410, 150));
  connect(make_button(this, "Button1", QStringLiteral("退出"), QRect(850, 8, 100, 34)), &QPushButton::clicked, this,
          [this] { leave(); });
  apply_screen_scaling(anchor);
}

}  // namespace velmo
