#pragma once
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <vector>

namespace velmo::tuning {

// Turns a window's inputs off while one of its sequences runs, so nothing
// the sequence reads (node, load class, response, gains, stroke, radio
// groups) can be picked or typed under it: what the window shows stays what
// it uses. The named controls (the stops, SERVO_OFF, exit) and everything
// inside `spared` (the chart's display boxes) stay usable. Only what it
// turned off is turned on again.
class InputLock {
 public:
  InputLock(QWidget* window, const QStringList& usable, const QWidget* spared);
  ~InputLock();
  InputLock(const InputLock&) = delete;
  InputLock& operator=(const InputLock&) = delete;

 private:
  std::vector<QPointer<QWidget>> locked_;
};

}  // namespace velmo::tuning
