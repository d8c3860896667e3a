#pragma once

namespace velmo {

// Call before the QApplication is made. The program runs on Qt's own event
// loop rather than GLib's: a reply's bytes wake the thread that waits for
// them (SerialPort::awaitReply), and Qt's loop takes them from its poll to
// the port's watch through fewer layers. A QT_NO_GLIB the user set (even to
// nothing, which picks GLib's loop) is left as it is.
//
// Qt's own loop stops while a dialog runs a loop of another toolkit (a
// platform theme's native GTK file dialog runs GLib's), and with it every
// timer, the port's watch and the signal pipe. So no native dialog runs:
// every dialog of the program is Qt's own, modal within Qt's loop, on any
// desktop and platform theme.
void use_qt_event_loop();

}  // namespace velmo
