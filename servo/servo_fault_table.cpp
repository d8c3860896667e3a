#include "servo/servo_fault_table.h"

#include <QPalette>
#include <QTableWidget>

#include "common/form_access.h"
#include "common/window_parts.h"
#include "common/window_sizing.h"
#include "common/center_on_screen.h"
#include "common/fault_grid.h"
#include "servo/servo_fault_rows.h"

namespace velmo {

namespace {
constexpr FaultColumnWidths kColumns = {70, 187, 834};
}  // namespace

ServoFaultTableWindow::ServoFaultTableWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm17", QStringLiteral("伺服故障及警告代码说明"), kDesignSize, parent) {
  setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

  faults_ = make_fault_grid(this, "StringGrid1", QRect(10, 10, 1113, 420), servo::kServoFaultHeader,
                                   servo::servo_fault_rows(), kColumns);
  warnings_ = make_fault_grid(this, "StringGrid2", QRect(10, 440, 1113, 202), servo::kServoWarningHeader,
                                     servo::servo_warning_rows(), kColumns);
  // All eight warnings fit: no scrolling, and the grid takes no clicks. Its
  // text keeps the normal colour so it stays readable while disabled.
  warnings_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  warnings_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  keep_colours_when_disabled(warnings_);
  warnings_->setEnabled(false);

  // A reference has no status line; the caption exists like in every window.
  make_panel(this, QRect(0, 0, 0, 0))->hide();

  apply_screen_scaling(warnings_, faults_, 50, 20);
  ScalingInput scaling;
  scaling.screen = primary_screen_size();
  scaling.design = kDesignSize;
  const ScalingResult r = compute_window_scaling(scaling);
  if (r.scaled) {
    scale_fault_grid(faults_, kColumns, r.M, r.D);
    scale_fault_grid(warnings_, kColumns, r.M, r.D);
  }
}

void ServoFaultTableWindow::showEvent(QShowEvent* event) {
  VelmoWindow::showEvent(event);
  center_on_screen(this);
}

}  // namespace velmo
