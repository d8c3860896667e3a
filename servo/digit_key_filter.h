#pragma once
#include <QObject>

namespace velmo::servo {

// Key filter of the numeric fields: digits and Backspace pass, every other
// printable character is dropped, and so is Enter. Control keys (arrows,
// Tab, Delete) keep their normal meaning.
class DigitKeyFilter : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace velmo::servo
