#include "servo/servo_menu_editor.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include "common/window_parts.h"
#include "main/drive_link.h"

namespace velmo {

ServoMenuEditor::ServoMenuEditor(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm2", QStringLiteral("伺服驱动器菜单编辑"), QSize(1200, 800), parent) {
  make_label(this, "LabelNode", QStringLiteral("节点："), QRect(10, 12, 60, 28));
  make_combo(this, "ComboBox45", QRect(70, 10, 100, 30));
  make_panel(this, QRect(190, 10, 780, 30));
  auto* pages = new QTabWidget(this);
  pages->setObjectName(QStringLiteral("PageControl1"));
  pages->setGeometry(10, 50, 960, 560);
  make_memo(this, "Memo1", QRect(10, 620, 320, 120));
  make_memo(this, "Memo2", QRect(340, 620, 310, 120));
  make_memo(this, "Memo3", QRect(660, 620, 310, 120));
  connect(make_button(this, "Button1", QStringLiteral("退出"), QRect(990, 700, 100, 34)), &QPushButton::clicked, this,
          [this] { leave(); });
  route_traffic(ctx.link, WindowCode::ServoMenuEditor, findChild<QPlainTextEdit*>(QStringLiteral("Memo1")));
  apply_screen_scaling(pages);
}

bool ServoMenuEditor::exit_guard() {
  // Not while a write of this editor is under way.
  return ctx_.link.st.write_busy == 0;
}

}  // namespace velmo
