#include "inverter/inverter_menu_editor.h"

#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTabWidget>

#include "common/node_lists.h"
#include "common/window_parts.h"
#include "drivelink/drive_link.h"
#include "drivelink/link_events.h"

namespace velmo {

InverterMenuEditor::InverterMenuEditor(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm10", QStringLiteral("Vexa变频器菜单编辑"), QSize(1200, 800), parent) {
  make_label(this, "LabelNode", QStringLiteral("节点："), QRect(10, 12, 60, 28));
  mark_node_list(make_combo(this, "ComboBox1", QRect(70, 10, 100, 30)), NodeListGroup::Inverter, true);
  setAutoFillBackground(true);
  QPalette sky = palette();
  sky.setColor(QPalette::Window, QColor(0xA6, 0xCA, 0xF0));
  setPalette(sky);
  make_panel(this, QRect(190, 10, 780, 30));
  auto* char_time = make_edit(this, "Edit38", QRect(990, 50, 100, 30));
  char_time->setReadOnly(true);
  connect(&ctx.events, &LinkEvents::char_time_changed, char_time,
          [char_time](uint32_t ms) { char_time->setText(QString::number(ms)); });
  auto* pages = new QTabWidget(this);
  pages->setObjectName(QStringLiteral("PageControl1"));
  pages->setGeometry(10, 50, 960, 560);
  make_memo(this, "Memo1", QRect(10, 620, 310, 120));
  make_memo(this, "Memo2", QRect(330, 620, 310, 120));
  route_traffic(ctx.link, WindowCode::InverterMenuEditor, make_memo(this, "Memo3", QRect(650, 620, 320, 120)));
  connect(make_button(this, "Button1", QStringLiteral("退出"), QRect(990, 700, 100, 34)), &QPushButton::clicked, this,
          [this] { leave(); });
  apply_screen_scaling(pages);
}

bool InverterMenuEditor::exit_guard() {
  // Not while a write of this editor is under way.
  return ctx_.link.st.write_busy == 0;
}

}  // namespace velmo
