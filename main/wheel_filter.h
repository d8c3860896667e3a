#pragma once
#include <QObject>

class QWidget;

namespace velmo {

// Application-wide filter: the mouse wheel never changes a combo box of the
// given window (a setting changed by a stray wheel turn would go unnoticed).
class WheelFilter : public QObject {
  Q_OBJECT
 public:
  explicit WheelFilter(QWidget* window);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
};

}  // namespace velmo
