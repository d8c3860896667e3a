#include "speedctl/speedctl_menu_editor.h"

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include "common/node_lists.h"
#include "common/window_parts.h"
#include "drivelink/drive_link.h"

namespace velmo {

SpeedCtlMenuEditor::SpeedCtlMenuEditor(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm18", QStringLiteral("总线型调速器-菜单编辑"), QSize(1100, 760), parent) {
  setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
  make_label(this, "LabelNode", QStringLiteral("节点："), QRect(10, 12, 60, 28));
  mark_node_list(make_combo(this, "ComboBox1", QRect(70, 10, 100, 30)), NodeListGroup::SpeedController, true);
  make_panel(this, QRect(190, 10, 700, 30));
  auto* group = new QGroupBox(QStringLiteral("系统参数"), this);
  group->setObjectName(QStringLiteral("GroupBox1"));
  group->setGeometry(10, 50, 880, 420);
  route_traffic(ctx.link, WindowCode::SpeedCtlMenuEditor, make_memo(this, "Memo1", QRect(10, 480, 290, 150)));
  make_memo(this, "Memo2", QRect(310, 480, 290, 150));
  make_memo(this, "Memo3", QRect(610, 480, 280, 150));
  make_memo(this, "Memo4", QRect(900, 50, 180, 420))->hide();
  auto* anchor = make_button(this, "Button8", QStringLiteral("清空记录"), QRect(900, 640, 100, 34));
  connect(make_button(this, "Button1", QStringLiteral("退出"), QRect(900, 590, 100, 34)), &QPushButton::clicked, this,
          [this] { leave(); });
  apply_screen_scaling(anchor);
}

bool SpeedCtlMenuEditor::exit_guard() {
  // Not while a write of this editor is under way.
  return ctx_.link.st.write_busy == 0;
}

}  // namespace velmo
