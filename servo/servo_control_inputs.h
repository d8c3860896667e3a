#pragma once
#include <QObject>
#include <QString>

#include <span>

class QLineEdit;

namespace velmo {

// The run-value fields of the servo control window: digits only, clamped to
// 0..max when left and again when sent.
struct RunValueField {
  const char* edit;
  const char* initial;
  int max_length;
  int max_value;
};
std::span<const RunValueField> servo_run_value_fields();
const RunValueField* servo_run_value_field(const QString& edit);

// The clamped value of a field's text: empty -> 0, above max -> max.
// Anything that is not a plain number counts as 0.
int clamp_run_value(const QString& text, int max_value);

// Lets digits, Backspace and Enter through (Enter does nothing else); every
// other typed character is dropped. Leaving the field clamps it.
class DigitFieldFilter : public QObject {
  Q_OBJECT
 public:
  DigitFieldFilter(QLineEdit* edit, int max_value);
  // Rewrites the field with its clamped value; returns that value.
  int clamp();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* edit_;
  int max_value_;
};

}  // namespace velmo
