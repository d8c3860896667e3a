#include "tuning/numeric_field.h"

#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace velmo::tuning {

namespace {
// A pasted "nan" or "inf" is no number: it counts as empty.
std::optional<double> number_in(const QString& text) {
  bool ok = false;
  const double v = text.trimmed().toDouble(&ok);
  if (!ok || !std::isfinite(v)) return std::nullopt;
  return v;
}
}  // namespace

QString apply_rule(const FieldRule& rule, const QString& text) {
  const std::optional<double> number = number_in(text);
  if (!number) return QString::fromLatin1(rule.empty);
  double v = *number;
  if (v > rule.max) v = rule.max;
  if (v < rule.min) v = rule.min;
  if (rule.step > 0) v = std::floor(v / rule.step) * rule.step;
  if (rule.decimal) return QString::asprintf("%.1f", v);
  return QString::number(static_cast<long long>(std::floor(v)));
}

NumericField::NumericField(QLineEdit* edit, const FieldRule& rule) : QObject(edit), edit_(edit), rule_(rule) {
  if (rule.max_length > 0) edit->setMaxLength(rule.max_length);
  if (rule.hint) edit->setToolTip(QString::fromUtf8(rule.hint));
  edit->installEventFilter(this);
}

void NumericField::set_bounds(double min, double max) {
  rule_.min = min;
  rule_.max = max;
}

void NumericField::apply() {
  edit_->setText(apply_rule(rule_, edit_->text()));
  if (on_exit) on_exit();
}

bool NumericField::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    apply();
    return false;
  }
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    // Moving on runs the exit rule; a field that keeps the focus (the last
    // one of its window) applies it here.
    QWidget* next = edit_->nextInFocusChain();
    if (edit_->hasFocus() && next && next != edit_) next->setFocus(Qt::TabFocusReason);
    if (edit_->hasFocus() || !edit_->window()->isActiveWindow()) apply();
    if (on_enter) on_enter();
    return true;
  }
  if (key->key() == Qt::Key_Backspace) return false;
  for (const QChar c : key->text()) {
    if (!c.isPrint() || (c >= u'0' && c <= u'9')) continue;
    if (rule_.decimal && c == u'.' && !edit_->text().contains(u'.')) continue;
    return true;
  }
  return false;
}

int field_int(const QLineEdit* edit) {
  const std::optional<double> v = number_in(edit->text());
  if (!v) return 0;
  // Beyond int the cast is undefined: such a value holds the nearest bound.
  return static_cast<int>(std::clamp(std::floor(*v), static_cast<double>(std::numeric_limits<int>::min()),
                                     static_cast<double>(std::numeric_limits<int>::max())));
}

double field_double(const QLineEdit* edit) { return number_in(edit->text()).value_or(0.0); }

}  // namespace velmo::tuning
