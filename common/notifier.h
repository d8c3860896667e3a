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
  virtual void message(QWidget* parent, const QString& text);  // modal box
};

// Records the messages instead of showing them.
class RecordingNotifier : public Notifier {
 public:
  void message(QWidget*, const QString& text) override { messages << text; }
  QStringList messages;
};

}  // namespace velmo
