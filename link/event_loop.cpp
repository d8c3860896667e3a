#include "link/event_loop.h"

#include <QByteArray>
#include <QtGlobal>

namespace velmo {

void use_qt_event_loop() {
  if (qEnvironmentVariableIsEmpty("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
}

}  // namespace velmo
