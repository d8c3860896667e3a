#include "common/status_line.h"

#include <QTime>

namespace velmo {

QString node_line(int station, const QString& message) {
  // Address 0 is the broadcast, never a node: a line for no node names none.
  if (station <= 0) return message;
  return QStringLiteral("节点") + QString::number(station) + QStringLiteral("：") + message;
}

QString timed_line(const QString& text) {
  return text + QStringLiteral("  ") + QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
}

QString port_lost_text(const QString& port) { return QStringLiteral("串口已断开：") + port; }

}  // namespace velmo
