#include "link/event_loop.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QtGlobal>

namespace velmo {

void use_qt_event_loop() {
  if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
  QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
}

}  // namespace velmo
