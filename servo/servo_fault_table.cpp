#include "servo/servo_fault_table.h"

#include <QPalette>
#include <QTableWidget>

#include "common/form_access.h"
#include "common/window_parts.h"
#include "common/window_sizing.h"
#include "servo/center_on_screen.h"
#include "servo/fault_grid.h"
#include "servo/servo_fault_rows.h"

namespace velmo {

ServoFaultTableWindow::ServoFaultTableWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm17", QStringLiteral("伺服故障及警告代码说明"), kDesignSize, parent) {
  setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

  faults_ = servo::make_fault_grid(this, "StringGrid1", QRect(10, 10, 1113, 420), servo::kServoFaultHeader,
                                   servo::servo_fault_rows());
  warnings_ = servo::make_fault_grid(this, "StringGrid2", QRect(10, 440, 1113, 202), servo::kServoWarningHeader,
                                     servo::servo_warning_rows());
  // All eight warnings fit: no scrolling, and the grid takes no clicks. Its
  // text keeps the normal colour so it stays readable while disabled.
  warnings_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  warnings_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QPalette palette = warnings_->palette();
  for (const QPalette::ColorRole role : {QPalette::Text, QPalette::Base, QPalette::ButtonText, QPalette::WindowText})
    palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
  warnings_->setPalette(palette);
  warnings_->setEnabled(false);

  // A reference has no status line; the caption exists like in every window.
  make_panel(this, QRect(0, 0, 0, 0))->hide();

  apply_screen_scaling(warnings_, faults_, 50, 20);
  ScalingInput scaling;
  scaling.screen = primary_screen_size();
  scaling.design = kDesignSize;
  const ScalingResult r = compute_window_scaling(scaling);
  if (r.scaled) {
    servo::scale_fault_grid(faults_, r.M, r.D);
    servo::scale_fault_grid(warnings_, r.M, r.D);
  }
}

void ServoFaultTableWindow::showEvent(QShowEvent* event) {
  VelmoWindow::showEvent(event);
  servo::center_on_screen(this);
}

}  // namespace velmo
