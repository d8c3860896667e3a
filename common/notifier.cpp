#include "common/notifier.h"

#include <QApplication>

#include <cstdio>

#include "common/message_box.h"

namespace velmo {

void Notifier::message(QWidget* parent, const QString& text) {
  if (unattended_) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    return;
  }
  show_message_box(parent, QApplication::applicationDisplayName(), text);
}

}  // namespace velmo
