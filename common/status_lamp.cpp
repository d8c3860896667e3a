#include "common/status_lamp.h"

#include <QPainter>

namespace velmo {

StatusLamp::StatusLamp(const char* object_name, QWidget* parent) : QWidget(parent) {
  setObjectName(QString::fromLatin1(object_name));
  setMinimumSize(16, 16);
}

void StatusLamp::set_lit(bool on) {
  if (on == lit_) return;
  lit_ = on;
  update();
}

QColor StatusLamp::colour() const { return lit_ ? QColor(Qt::red) : palette().color(QPalette::Button); }

void StatusLamp::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(palette().color(QPalette::Dark));
  painter.setBrush(colour());
  const int side = qMin(width(), height()) - 2;
  painter.drawEllipse((width() - side) / 2, (height() - side) / 2, side, side);
}

}  // namespace velmo
