#include "speedctl/speedctl_control_window.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "common/form_access.h"
#include "common/window_parts.h"
#include "drivelink/batch_writes.h"
#include "drivelink/drive_link.h"

namespace velmo {

SpeedCtlControlWindow::SpeedCtlControlWindow(AppContext& ctx, QWidget* parent)
    : BusControlWindow(ctx, "TForm19", QStringLiteral("调速器 RS-485通讯控制"), QSize(1000, 700),
                       Family{&DriveLinkState::tsq_pending_cmd, &DriveLinkState::tsq_run_state,
                              DeviceFamily::SpeedController},
                       ExitTexts{QStringLiteral("退出前，请确保电机停止且调速器无故障！！"), {}, {},
                                 QStringLiteral("恢复相关参数失败！！"), QStringLiteral("请确保调速器无故障！！")},
                       parent) {
  // No close box: the window is left through Button1 only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
  make_label(this, "LabelNode", QStringLiteral("节点："), QRect(10, 12, 60, 28));
  make_node_list("ComboBox1", QRect(70, 10, 100, 30));
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
  auto* traffic = make_memo(this, "Memo1", QRect(10, 440, 400, 150));
  route_traffic(ctx.link, WindowCode::SpeedCtlControl, traffic);
  // One log for successes and failures.
  auto* results = make_memo(this, "Memo2", QRect(420, 440, 410, 150));
  set_logs(traffic, results, results);
  connect(make_button(this, "Button1", QStringLiteral("退出"), QRect(850, 8, 100, 34)), &QPushButton::clicked, this,
          [this] { exit_clicked(); });
  apply_screen_scaling(anchor);
}

void SpeedCtlControlWindow::on_open() {
  // The run parameters that fit the motor series (F-01) of the node.
  const uint8_t series = ctx_.link.st.tsq_reg1[ctx_.link.st.node_addr];
  set_usable(control<QWidget>(this, "Edit1"), series == 1 || series == 2);
  set_usable(control<QWidget>(this, "Edit2"), series == 3);
  set_usable(control<QWidget>(this, "ComboBox2"), series == 2 || series == 4);
  control<QPushButton>(this, "Button2")->setEnabled(series != 5);
}

bool SpeedCtlControlWindow::any_running() {
  const DriveLinkState& s = st();
  for (int k = 0; k < s.tsq_count; ++k)
    if (s.tsq_run_state[s.tsq_nodes[k]] != 0) return true;
  return false;
}

BusControlWindow::RestoreOutcome SpeedCtlControlWindow::restore_drives() {
  const DriveLinkState& s = st();
  bool flagged = false;
  for (int k = 0; k < s.tsq_count; ++k) flagged = flagged || s.tsq_restore_flags[k] != 0;
  return restore_flagged(flagged, [this] { ctx_.batch.tsq_parameter_save(); });
}

}  // namespace velmo
