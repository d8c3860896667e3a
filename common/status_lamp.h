#pragma once
#include <QWidget>

namespace velmo {

// A round lamp: red when lit, the button face colour when off.
class StatusLamp : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool lit READ lit WRITE set_lit)
 public:
  explicit StatusLamp(const char* object_name, QWidget* parent = nullptr);
  bool lit() const { return lit_; }
  void set_lit(bool on);
  QColor colour() const;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  bool lit_ = false;
};

}  // namespace velmo
