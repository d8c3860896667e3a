#pragma once
#include <termios.h>

#include "link/serial_port.h"

namespace velmo {

// termios speed constant for a baud rate; false when POSIX offers no such rate.
bool baud_to_speed(uint32_t baud, speed_t* speed);

// Raw termios for the component's line settings, built on top of `base` so
// fields the component does not own keep the driver's values.
termios line_termios(const termios& base, const SerialPort& port, speed_t speed);

// True when the device reports the settings that matter for the line
// (speed, character size, parity, stop bits, flow control) as asked. A pseudo
// terminal carries whole bytes, not framed characters: the kernel pins it to
// eight bits without parity, so for it those two are not compared.
bool line_settings_match(const termios& wanted, const termios& actual, bool pseudo_terminal);

// True for the slave side of a pseudo terminal (the simulated line).
bool is_pseudo_terminal(int fd);

// Applies the line settings and the DTR/RTS states to an open device and
// checks that the device took them. Throws ECommsError otherwise.
void apply_line_settings(int fd, const SerialPort& port);

}  // namespace velmo
