#include "common/notifier.h"

#include <QApplication>
#include <QMessageBox>

namespace velmo {

void Notifier::message(QWidget* parent, const QString& text) {
  QMessageBox::information(parent, QApplication::applicationDisplayName(), text);
}

}  // namespace velmo
