#include "servo/digit_key_filter.h"

#include <QKeyEvent>

namespace velmo::servo {

bool DigitKeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() == Qt::Key_Backspace) return false;
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) return true;
  // Only printable characters other than digits are dropped; control keys
  // (Tab, Delete, arrows, Escape) keep their meaning.
  for (const QChar c : key->text())
    if (c.isPrint() && (c < u'0' || c > u'9')) return true;
  return false;
}

}  // namespace velmo::servo
