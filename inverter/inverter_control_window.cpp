#include "inverter/inverter_control_window.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "common/form_access.h"
#include "common/node_lists.h"
#include "common/window_parts.h"
#include "drivelink/batch_writes.h"
#include "drivelink/drive_link.h"
#include "drivelink/link_events.h"

namespace velmo {

InverterControlWindow::InverterControlWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm9", QStringLiteral("变频器 RS-485通讯控制"), QSize(1000, 700), parent) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
  make_label(this, "LabelNode", QStringLiteral("节点："), QRect(10, 12, 60, 28));
  auto* nodes = make_combo(this, "ComboBox1", QRect(70, 10, 100, 30));
  mark_node_list(nodes, NodeListGroup::Inverter);
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

  // Switching to bus control acts on the node chosen here and is shown here.
  ctx.batch.set_selection(DeviceFamily::Inverter, [nodes] { return nodes->currentIndex(); });
  connect(&ctx.events, &LinkEvents::bus_switch_written, this, [this](DeviceFamily family, const QString& text, bool ok) {
    if (family != DeviceFamily::Inverter) return;
    if (ok) {
      add_line(this, "Memo2", text);
      set_panel(this, text);
    } else {
      set_panel(this, text);
      add_line(this, "Memo3", text + QStringLiteral("**"));
    }
  });
}

void InverterControlWindow::on_open() {
  DriveLinkState& st = ctx_.link.st;
  const int picked = control<QComboBox>(this, "ComboBox1")->currentIndex();
  const int i = picked >= 0 && picked < kListSlots ? picked : 0;
  st.bpq_model_type = st.bpq_model_type_list[i];
  // Braking-resistor load and temperature exist on model types 0 and 1 only.
  const bool shown = st.bpq_model_type <= 1;
  for (const char* name : {"Edit7", "Edit8"}) {
    auto* edit = control<QLineEdit>(this, name);
    set_usable(edit, shown);
    if (!shown) edit->clear();
  }
}

}  // namespace velmo
