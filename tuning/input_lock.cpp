#include "tuning/input_lock.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>
#include <iterator>

namespace velmo::tuning {

namespace {
// The window's own controls, known by their object names, not the parts Qt
// builds inside its widgets such as a tab bar's scroll buttons.
bool is_input(const QWidget* w) {
  static const char* const kinds[] = {"Edit", "ComboBox", "RadioButton", "CheckBox", "Button"};
  const QString name = w->objectName();
  auto named = [&name](const char* kind) { return name.startsWith(QLatin1String(kind)); };
  if (std::none_of(std::begin(kinds), std::end(kinds), named)) return false;
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
