#pragma once
#include <QWidget>

namespace velmo {

// A round lamp: red when lit, the button face colour when off. A lamp that
// shows an old state (the last read failed) is hatched with a dashed rim.
class StatusLamp : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool lit READ lit WRITE set_lit)
  Q_PROPERTY(bool stale READ stale WRITE set_stale)
 public:
  explicit StatusLamp(const char* object_name, QWidget* parent = nullptr);
  bool lit() const { return lit_; }
  void set_lit(bool on);
  bool stale() const { return stale_; }
  void set_stale(bool old_state) { set_stale(old_state, {}); }
  // `why` is the tooltip of an old state (empty: the read failed).
  void set_stale(bool old_state, const QString& why);
  QColor colour() const;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  bool lit_ = false;
  bool stale_ = false;
};

// Marks a shown value as left from an earlier read (italic on a pale amber
// field) or as current again. Grey stays the mark of a field not in use:
// a disabled field keeps its colour. `why` is the tooltip of an old value
// (by default: the read failed).
void mark_current(QWidget* field, bool current, const QString& why = {});
bool is_marked_stale(const QWidget* field);

}  // namespace velmo
