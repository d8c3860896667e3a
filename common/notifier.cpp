#include "common/notifier.h"

#include <QApplication>

#include <cstdio>

#include "common/message_box.h"

namespace velmo {

void Notifier::message(QWidget* parent, const QString& text) {
  if (unattended_) {
    log_unattended(text);
    return;
  }
  show_message_box(parent, QApplication::applicationDisplayName(), text);
}

void Notifier::log_unattended(const QString& text) const {
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  if (unattended_log_) unattended_log_(text);
}

}  // namespace velmo
