// The main window's picture travels inside the program as a Qt resource, so
// nothing needs to be installed beside it.
#include <QFile>

#include "main/jpeg_picture.h"

namespace velmo {

QByteArray main_window_picture() {
  QFile file(QStringLiteral(":/velmo/picture.jpg"));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace velmo
