#pragma once
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace velmo {

// Every message box of the program goes through one notifier, so tests can
// read the messages without a modal box blocking them.
class Notifier {
 public:
  virtual ~Notifier() = default;
  // A modal box; while nobody may be at the screen (the program is being
  // closed by a signal), a line in the log and on the standard error
  // instead, so that no box holds the close up.
  virtual void message(QWidget* parent, const QString& text);
  void set_unattended(bool unattended) { unattended_ = unattended; }
  bool unattended() const { return unattended_; }
  // Where the lines go while nobody is at the screen (the main window's log).
  void set_unattended_log(std::function<void(const QString&)> log) { unattended_log_ = std::move(log); }

 protected:
  // The line of a box nobody is there to read.
  void log_unattended(const QString& text) const;

 private:
  bool unattended_ = false;
  std::function<void(const QString&)> unattended_log_;
};

// Records the messages instead of showing them (and shows them too when
// `show_boxes` is set, for tests of what an open box does).
class RecordingNotifier : public Notifier {
 public:
  void message(QWidget* parent, const QString& text) override {
    messages << text;
    if (show_boxes)
      Notifier::message(parent, text);
    else if (unattended())
      log_unattended(text);
  }
  QStringList messages;
  bool show_boxes = false;
};

}  // namespace velmo
