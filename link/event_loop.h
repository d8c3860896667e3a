#pragma once

namespace velmo {

// Call before the QApplication is made: the program runs on Qt's own event
// loop rather than GLib's. A reply's bytes wake the thread that waits for
// them (SerialPort::awaitReply), and Qt's loop takes them from its poll to
// the port's watch through far fewer layers; the program uses nothing that
// needs GLib's loop. QT_NO_GLIB set by the user is left as it is.
void use_qt_event_loop();

}  // namespace velmo
