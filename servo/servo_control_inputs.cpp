#include "servo/servo_control_inputs.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include <algorithm>

namespace velmo {

namespace {

constexpr RunValueField kFields[] = {
    {"Edit2", "1000", 4, 4500},  // speed, rpm
    {"Edit3", "300", 3, 350},    // torque limit, %
    {"Edit4", "50", 3, 100},     // torque, %
    {"Edit5", "500", 4, 4500},   // speed limit, rpm
};

bool passes(const QKeyEvent* key) {
  if (key->matches(QKeySequence::Paste)) return false;
  switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Delete:
      return true;
    default:
      break;
  }
  const QString text = key->text();
  if (text.isEmpty()) return true;  // cursor movement, modifiers
  return text.size() == 1 && text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9');
}

}  // namespace

std::span<const RunValueField> servo_run_value_fields() { return kFields; }

const RunValueField* servo_run_value_field(const QString& edit) {
  for (const RunValueField& f : kFields)
    if (edit == QLatin1String(f.edit)) return &f;
  return nullptr;
}

int clamp_run_value(const QString& text, int max_value) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return 0;
  for (QChar c : t)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return 0;
  // Long digit strings cannot overflow: anything past max is max.
  if (t.size() > 9) return max_value;
  return std::min(t.toInt(), max_value);
}

DigitFieldFilter::DigitFieldFilter(QLineEdit* edit, int max_value)
    : QObject(edit), edit_(edit), max_value_(max_value) {
  // Pasting through the context menu is held to digits as well.
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  edit->installEventFilter(this);
}

int DigitFieldFilter::clamp() {
  const int value = clamp_run_value(edit_->text(), max_value_);
  // A number within range keeps the text it was typed with.
  if (edit_->text().trimmed().isEmpty() || value == max_value_ || edit_->text().toInt() != value)
    edit_->setText(QString::number(value));
  return value;
}

bool DigitFieldFilter::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edit_) {
    if (event->type() == QEvent::KeyPress && !passes(static_cast<QKeyEvent*>(event))) return true;
    if (event->type() == QEvent::FocusOut) clamp();
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace velmo
