#include "main/wheel_filter.h"

#include <QComboBox>
#include <QEvent>

namespace velmo {

WheelFilter::WheelFilter(QWidget* window) : QObject(window), window_(window) {}

bool WheelFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Wheel) return false;
  auto* combo = qobject_cast<QComboBox*>(watched);
  return combo && combo->window() == window_;
}

}  // namespace velmo
