#include "inverter/inverter_fault_table.h"

#include <QLabel>
#include <QPalette>
#include <QTableWidget>

#include "common/center_on_screen.h"
#include "common/fault_grid.h"
#include "common/window_parts.h"
#include "common/window_sizing.h"
#include "drivelink/drive_link.h"
#include "inverter/inverter_fault_rows.h"

namespace velmo {

namespace {
constexpr QSize kDesignSize{1052, 470};
constexpr FaultColumnWidths kColumns = {70, 151, 800};
}  // namespace

InverterFaultTableWindow::InverterFaultTableWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm16", QStringLiteral("变频器故障说明"), kDesignSize, parent) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  setAutoFillBackground(true);
  QPalette sky = palette();
  sky.setColor(QPalette::Window, QColor(0xA6, 0xCA, 0xF0));
  setPalette(sky);
  // A reference has no status line; the caption exists like in every window.
  make_panel(this, QRect(0, 0, 0, 0))->hide();

  grid_ = make_fault_grid(this, "StringGrid1", QRect(10, 10, 1025, 400), kInverterFaultHeader, inverter_fault_rows(),
                          kColumns);
  // The rows all fit, and the table takes no clicks: nothing to select or edit.
  keep_colours_when_disabled(grid_);
  grid_->setEnabled(false);

  apply_screen_scaling(grid_, 50, 20);
  ScalingInput scaling;
  scaling.screen = primary_screen_size();
  scaling.design = kDesignSize;
  const ScalingResult r = compute_window_scaling(scaling);
  if (r.scaled) scale_fault_grid(grid_, kColumns, r.M, r.D);
}

void InverterFaultTableWindow::showEvent(QShowEvent* event) {
  VelmoWindow::showEvent(event);
  center_on_screen(this);
}

}  // namespace velmo
