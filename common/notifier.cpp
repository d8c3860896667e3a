#include "common/notifier.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace velmo {

void Notifier::message(QWidget* parent, const QString& text) {
  if (unattended_) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    return;
  }
  QMessageBox::information(parent, QApplication::applicationDisplayName(), text);
}

}  // namespace velmo
