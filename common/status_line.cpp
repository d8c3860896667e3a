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

QString found_under_bus_text() { return QStringLiteral("已处于RS485控制（原设置未知，退出时不恢复）"); }

}  // namespace velmo
