#pragma once
#include <QObject>
#include <QString>

#include <functional>

class QLineEdit;

namespace velmo::tuning {

// What leaving a number field does: an empty field gets `empty`, a value
// above max becomes max, below min becomes min; decimal fields are then
// shown with one decimal. `step` truncates to a multiple of it.
struct FieldRule {
  const char* name;
  double min;
  double max;
  const char* empty;
  bool decimal = false;
  int max_length = 0;  // characters the user may type, 0: no limit
  const char* hint = nullptr;
  int step = 0;
};

// The exit rule applied to a text; returns the text the field shows.
QString apply_rule(const FieldRule& rule, const QString& text);

// Key filter and exit rule of one field: digits, Backspace and Enter pass
// (one "." in decimal fields), every other printable key is dropped. Enter
// moves the focus on, which runs the exit rule, then calls on_enter.
class NumericField : public QObject {
  Q_OBJECT
 public:
  NumericField(QLineEdit* edit, const FieldRule& rule);
  // Runs after the exit rule rewrote the field.
  std::function<void()> on_exit;
  std::function<void()> on_enter;
  // Bounds that change at run time (Edit48's positioning-time range).
  void set_bounds(double min, double max);
  void apply();
  QLineEdit* edit() const { return edit_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* edit_;
  FieldRule rule_;
};

// The field's value (0 when it is no number).
int field_int(const QLineEdit* edit);
double field_double(const QLineEdit* edit);

}  // namespace velmo::tuning
