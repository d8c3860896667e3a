#include "common/notifier.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace velmo {

void Notifier::message(QWidget* parent, const QString& text) {
  if (unattended_) {
    log_unattended(text);
    return;
  }
  QMessageBox::information(parent, QApplication::applicationDisplayName(), text);
}

void Notifier::log_unattended(const QString& text) const {
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  if (unattended_log_) unattended_log_(text);
}

}  // namespace velmo
