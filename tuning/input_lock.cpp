#include "tuning/input_lock.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

namespace velmo::tuning {

namespace {
// The window's own controls, not the parts Qt builds inside its widgets.
bool is_input(const QWidget* w) {
  const QString name = w->objectName();
  if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) return false;
  if (const auto* e = qobject_cast<const QLineEdit*>(w)) return !e->isReadOnly();
  return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w);
}
}  // namespace

InputLock::InputLock(QWidget* window, const QStringList& usable, const QWidget* spared) {
  for (QWidget* w : window->findChildren<QWidget*>()) {
    // A control turned off on purpose keeps its own state.
    if (w->testAttribute(Qt::WA_ForceDisabled) || !is_input(w) || usable.contains(w->objectName())) continue;
    if (spared && spared->isAncestorOf(w)) continue;
    w->setEnabled(false);
    locked_.emplace_back(w);
  }
}

InputLock::~InputLock() {
  for (const QPointer<QWidget>& w : locked_)
    if (w) w->setEnabled(true);
}

}  // namespace velmo::tuning
