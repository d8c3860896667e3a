#include "link/serial_settings.h"

#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <iterator>

#include "link/comms_error.h"

namespace velmo {
namespace {

struct BaudEntry {
  uint32_t baud;
  speed_t speed;
};

constexpr BaudEntry kBauds[] = {
    {50, B50},         {75, B75},         {110, B110},         {134, B134},
    {150, B150},       {200, B200},       {300, B300},         {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},       {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},     {57600, B57600},
    {115200, B115200}, {230400, B230400}, {460800, B460800},   {500000, B500000},
    {576000, B576000}, {921600, B921600}, {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

constexpr tcflag_t kFramingCflags = CSIZE | PARENB | PARODD | CMSPAR;
constexpr tcflag_t kCheckedCflags = kFramingCflags | CSTOPB | CRTSCTS;
// Device majors of pseudo-terminal slaves: Unix98 (/dev/pts) and the old BSD kind.
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;
constexpr unsigned kBsdPtySlaveMajor = 3;
constexpr tcflag_t kCheckedIflags = IXON | IXOFF;

[[noreturn]] void refuse() { throw ECommsError(comms_text::kSettingsRefused); }

// Modem-line ioctls: pseudo terminals have no modem lines and say so with
// ENOTTY or EINVAL; that is not a failure of the line settings.
void modem_ioctl(int fd, unsigned long request, int bits) {
  if (bits == 0) return;
  if (ioctl(fd, request, &bits) != 0 && errno != ENOTTY && errno != EINVAL) refuse();
}

void apply_modem_lines(int fd, const SerialPort& port) {
  int raise = 0;
  int lower = 0;
  (port.dtrControl == DtrControl::DtrDisable ? lower : raise) |= TIOCM_DTR;
  switch (port.rtsControl) {
    case RtsControl::RtsDisable: lower |= TIOCM_RTS; break;
    case RtsControl::RtsEnable:
    case RtsControl::RtsHandshake: raise |= TIOCM_RTS; break;
    case RtsControl::RtsTransmissionAvailable: break;  // the driver's RS-485 mode drives it
  }
  modem_ioctl(fd, TIOCMBIS, raise);
  modem_ioctl(fd, TIOCMBIC, lower);

  if (port.rtsControl == RtsControl::RtsTransmissionAvailable) {
    serial_rs485 rs485{};
    rs485.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    if (ioctl(fd, TIOCSRS485, &rs485) != 0 && errno != ENOTTY && errno != EINVAL) refuse();
  }
}

}  // namespace

bool baud_to_speed(uint32_t baud, speed_t* speed) {
  for (const BaudEntry& entry : kBauds) {
    if (entry.baud == baud) {
      *speed = entry.speed;
      return true;
    }
  }
  return false;
}

termios line_termios(const termios& base, const SerialPort& port, speed_t speed) {
  termios t = base;
  cfmakeraw(&t);
  cfsetispeed(&t, speed);
  cfsetospeed(&t, speed);

  t.c_cflag &= ~(kCheckedCflags | HUPCL);
  t.c_cflag |= CLOCAL | CREAD;
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[static_cast<int>(port.byteSize)];
  switch (port.parity) {
    case Parity::None: break;
    case Parity::Odd: t.c_cflag |= PARENB | PARODD; break;
    case Parity::Even: t.c_cflag |= PARENB; break;
    case Parity::Mark: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case Parity::Space: t.c_cflag |= PARENB | CMSPAR; break;
  }
  // POSIX knows one or two stop bits; 1.5 exists only with 5-bit characters
  // where the UART sends it for "two".
  if (port.stopBits != StopBits::_1) t.c_cflag |= CSTOPB;
  if (port.Outx_CtsFlow || port.rtsControl == RtsControl::RtsHandshake) t.c_cflag |= CRTSCTS;

  t.c_iflag &= ~(kCheckedIflags | IXANY | INPCK | IGNPAR | PARMRK);
  // A byte with a parity error reads as 0 and fails the frame's CRC.
  if (port.ParityCheck && port.parity != Parity::None) t.c_iflag |= INPCK;
  if (port.Outx_XonXoffFlow) t.c_iflag |= IXON;
  if (port.Inx_XonXoffFlow) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(port.XonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(port.XoffChar);

  // The reader thread times chunks itself; reads never block.
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  return t;
}

bool line_settings_match(const termios& wanted, const termios& actual, bool pseudo_terminal) {
  const tcflag_t checked = pseudo_terminal ? kCheckedCflags & ~kFramingCflags : kCheckedCflags;
  return cfgetispeed(&actual) == cfgetispeed(&wanted) && cfgetospeed(&actual) == cfgetospeed(&wanted) &&
         (actual.c_cflag & checked) == (wanted.c_cflag & checked) &&
         (actual.c_iflag & kCheckedIflags) == (wanted.c_iflag & kCheckedIflags);
}

bool is_pseudo_terminal(int fd) {
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) return false;
  const unsigned device_major = major(info.st_rdev);
  return (device_major >= kPtySlaveMajorFirst && device_major <= kPtySlaveMajorLast) ||
         device_major == kBsdPtySlaveMajor;
}

void apply_line_settings(int fd, const SerialPort& port) {
  speed_t speed;
  if (!baud_to_speed(port.BaudRate, &speed)) refuse();
  termios current;
  if (tcgetattr(fd, &current) != 0) refuse();
  const termios wanted = line_termios(current, port, speed);
  // tcsetattr succeeds when any part of the request was taken, so read back.
  // On a pseudo terminal the kernel drops parity and character size, which
  // glibc reports as EINVAL although everything else was applied; the
  // read-back decides there.
  const bool pseudo = is_pseudo_terminal(fd);
  const bool set_ok = tcsetattr(fd, TCSANOW, &wanted) == 0 || (pseudo && errno == EINVAL);
  termios actual;
  if (!set_ok || tcgetattr(fd, &actual) != 0 || !line_settings_match(wanted, actual, pseudo)) {
    tcsetattr(fd, TCSANOW, &current);
    refuse();
  }
  apply_modem_lines(fd, port);
}

}  // namespace velmo
