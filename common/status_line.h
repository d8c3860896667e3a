#pragma once
#include <QString>

namespace velmo {

// "节点" + station address + "：" + message: the line every window uses for
// messages about one node.
QString node_line(int station, const QString& message);

// A log line: the text, two blanks and the time of day as "hh:mm:ss".
QString timed_line(const QString& text);

// The serial port went away (adapter unplugged, line closed): what every
// open window says.
QString port_lost_text(const QString& port);

// A drive that was under bus control already when the line was searched,
// and not by this program: its own settings are unknown, so none are put back.
QString found_under_bus_text();

}  // namespace velmo
