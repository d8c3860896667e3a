#include "inverter/inverter_control_window.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "common/window_parts.h"
#include "drivelink/drive_link.h"

namespace velmo {

InverterControlWindow::InverterControlWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm9", QStringLiteral("变频器 RS-485通讯控制"), QSize(1000, 700), parent) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
  make_label(this, "LabelNode", QStringLiteral("节点："), QRect(10, 12, 60, 28));
  make_combo(this, "ComboBox1", QRect(70, 10, 100, 30));
  make_panel(this, QRect(190, 10, 640, 30));
  auto* status = new QGroupBox(QStringLiteral("状态指示"), this);
  status->setObjectName(QStringLiteral("GroupBox1"));
  status->setGeometry(10, 50, 820, 200);
  make_label(status, "LabelEdit7", QStringLiteral("制动电阻最大负载率："), QRect(10, 30, 200, 28));
  make_edit(status, "Edit7", QRect(210, 30, 100, 28))->setReadOnly(true);
  make_label(status, "LabelEdit8", QStringLiteral("变频器温度："), QRect(10, 70, 200, 28));
  make_edit(status, "Edit8", QRect(210, 70, 100, 28))->setReadOnly(true);
  auto* anchor = new QGroupBox(QStringLiteral("运转控制"), this);
  anchor->setObjectName(QStringLiteral("GroupBox2"));
  anchor->setGeometry(10, 260, 820, 200);
  route_traffic(ctx.link, WindowCode::InverterControl, make_memo(this, "Memo1", QRect(10, 470, 270, 120)));
  make_memo(this, "Memo2", QRect(290, 470, 270, 120));
  make_memo(this, "Memo3", QRect(570, 470, 260, 120));
  connect(make_button(this, "Button1", QStringLiteral("退出"), QRect(850, 8, 100, 34)), &QPushButton::clicked, this,
          [this] { leave(); });
  apply_screen_scaling(anchor);
}

}  // namespace velmo
