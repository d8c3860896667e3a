#include "inverter/inverter_fault_table.h"

#include <QLabel>
#include <QPalette>
#include <QTableWidget>

#include "common/window_parts.h"
#include "drivelink/drive_link.h"

namespace velmo {

InverterFaultTableWindow::InverterFaultTableWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm16", QStringLiteral("变频器故障说明"), QSize(1052, 470), parent) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  setAutoFillBackground(true);
  QPalette sky = palette();
  sky.setColor(QPalette::Window, QColor(0xA6, 0xCA, 0xF0));
  setPalette(sky);
  make_panel(this, QRect(0, 0, 10, 10))->hide();
  auto* grid = new QTableWidget(18, 3, this);
  grid->setObjectName(QStringLiteral("StringGrid1"));
  grid->setGeometry(10, 10, 1025, 400);
  apply_screen_scaling(grid, 50, 20);
}

}  // namespace velmo
