#pragma once
#include <QString>
#include <QStringList>

namespace velmo {

// The one folder the drive simulator publishes its lines into:
// /run/user/UID/velmo-ports, or /tmp/velmo-ports-UID where the first does
// not exist.
QString virtual_port_dir();

// Folders whose symlinks are offered as virtual lines.
QStringList default_virtual_port_dirs();

// Creates `dir` when missing; empty when it is not a private folder of this
// user (ensure_private_folder).
QString ensure_virtual_port_dir(const QString& dir = virtual_port_dir());

// What the port list shows for a port: a virtual line by its name (the
// simulator's --name), a device by its path.
QString port_label(const QString& port, const QStringList& virtual_dirs = default_virtual_port_dirs());

// "ttyS2" before "ttyS10": digit runs compare by value.
bool natural_less(const QString& a, const QString& b);

// The machine's serial devices (entries of sys_class_tty_root with a
// `device` link; ttyS* only where the UART type is not 0) as
// dev_root/NAME in natural order, then the symlinks of the virtual folders
// that point at a character device, by their link path.
QStringList enumerate_serial_ports(const QString& sys_class_tty_root = QStringLiteral("/sys/class/tty"),
                                   const QString& dev_root = QStringLiteral("/dev"),
                                   const QStringList& virtual_dirs = default_virtual_port_dirs());

}  // namespace velmo
