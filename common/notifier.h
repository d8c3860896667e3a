#pragma once
#include <QString>
#include <QStringList>
#include <QWidget>

namespace velmo {

// Every message box of the program goes through one notifier, so tests can
// read the messages without a modal box blocking them.
class Notifier {
 public:
  virtual ~Notifier() = default;
  // A modal box; while nobody may be at the screen (the program is being
  // closed by a signal), a line on the standard error instead, so that no
  // box holds the close up.
  virtual void message(QWidget* parent, const QString& text);
  void set_unattended(bool unattended) { unattended_ = unattended; }

 private:
  bool unattended_ = false;
};

// Records the messages instead of showing them.
class RecordingNotifier : public Notifier {
 public:
  void message(QWidget*, const QString& text) override { messages << text; }
  QStringList messages;
};

}  // namespace velmo
