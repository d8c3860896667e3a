#include "inverter/inverter_control_window.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "common/form_access.h"
#include "common/window_parts.h"
#include "drivelink/batch_writes.h"
#include "drivelink/drive_link.h"

namespace velmo {

InverterControlWindow::InverterControlWindow(AppContext& ctx, QWidget* parent)
    : BusControlWindow(ctx, "TForm9", QStringLiteral("变频器 RS-485通讯控制"), QSize(1000, 700),
                       Family{&DriveLinkState::bpq_pending_cmd, &DriveLinkState::bpq_run_state, DeviceFamily::Inverter},
                       ExitTexts{QStringLiteral("退出前，请确保电机停止且变频器无故障！！"), {}, {},
                                 QStringLiteral("恢复相关参数失败！！"), QStringLiteral("请确保变频器无故障！！")},
                       parent) {
  // No close box: the window is left through Button1 only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
  make_label(this, "LabelNode", QStringLiteral("节点："), QRect(10, 12, 60, 28));
  make_node_list("ComboBox1", QRect(70, 10, 100, 30));
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
  auto* traffic = make_memo(this, "Memo1", QRect(10, 470, 270, 120));
  route_traffic(ctx.link, WindowCode::InverterControl, traffic);
  set_logs(traffic, make_memo(this, "Memo2", QRect(290, 470, 270, 120)),
           make_memo(this, "Memo3", QRect(570, 470, 260, 120)));
  connect(make_button(this, "Button1", QStringLiteral("退出"), QRect(850, 8, 100, 34)), &QPushButton::clicked, this,
          [this] { exit_clicked(); });
  apply_screen_scaling(anchor);
}

void InverterControlWindow::on_open() {
  DriveLinkState& s = st();
  const int picked = control<QComboBox>(this, "ComboBox1")->currentIndex();
  const int i = picked >= 0 && picked < kListSlots ? picked : 0;
  s.bpq_model_type = s.bpq_model_type_list[i];
  // Braking-resistor load and temperature exist on model types 0 and 1 only.
  const bool shown = s.bpq_model_type <= 1;
  for (const char* name : {"Edit7", "Edit8"}) {
    auto* edit = control<QLineEdit>(this, name);
    set_usable(edit, shown);
    if (!shown) edit->clear();
  }
}

bool InverterControlWindow::any_running() {
  const DriveLinkState& s = st();
  for (int k = 0; k < s.bpq_count; ++k)
    if (s.bpq_run_state[s.bpq_nodes[k]] != 0) return true;
  return false;
}

BusControlWindow::RestoreOutcome InverterControlWindow::restore_drives() {
  const DriveLinkState& s = st();
  bool flagged = false;
  for (int k = 0; k < s.bpq_count; ++k) flagged = flagged || s.bpq_restore_flags[k] != 0;
  return restore_flagged(flagged, [this] { ctx_.batch.bpq_parameter_save(); });
}

}  // namespace velmo
