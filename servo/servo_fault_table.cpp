#include "servo/servo_fault_table.h"

#include <QLabel>
#include <QTableWidget>

#include "common/window_parts.h"
#include "main/drive_link.h"

namespace velmo {

ServoFaultTableWindow::ServoFaultTableWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm17", QStringLiteral("伺服故障及警告代码说明"), QSize(1150, 760), parent) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  make_panel(this, QRect(0, 0, 10, 10))->hide();
  auto* faults = new QTableWidget(54, 3, this);
  faults->setObjectName(QStringLiteral("StringGrid1"));
  faults->setGeometry(10, 10, 1110, 450);
  auto* warnings = new QTableWidget(10, 3, this);
  warnings->setObjectName(QStringLiteral("StringGrid2"));
  warnings->setGeometry(10, 470, 1110, 230);
  apply_screen_scaling(warnings, faults, 50, 20);
}

}  // namespace velmo
