#include <gtest/gtest.h>

#include "link/serial_port.h"
#include "link/serial_settings.h"

namespace velmo {
namespace {

TEST(SerialSettings, BaudRatesOffered) {
  speed_t speed;
  for (uint32_t baud : {4800u, 9600u, 19200u, 38400u, 57600u, 115200u}) {
    SCOPED_TRACE(baud);
    EXPECT_TRUE(baud_to_speed(baud, &speed));
  }
  ASSERT_TRUE(baud_to_speed(38400, &speed));
  EXPECT_EQ(speed, static_cast<speed_t>(B38400));
  EXPECT_FALSE(baud_to_speed(0, &speed));
  EXPECT_FALSE(baud_to_speed(12345, &speed));
}

TEST(SerialSettings, CharacterFormatAndFlowControl) {
  struct Row {
    const char* what;
    ByteSize size;
    Parity parity;
    StopBits stop;
    tcflag_t cflags;  // of CSIZE | PARENB | PARODD | CMSPAR | CSTOPB
  };
  const Row rows[] = {
      {"8E1", ByteSize::_8, Parity::Even, StopBits::_1, CS8 | PARENB},
      {"7O2", ByteSize::_7, Parity::Odd, StopBits::_2, CS7 | PARENB | PARODD | CSTOPB},
      {"6M1", ByteSize::_6, Parity::Mark, StopBits::_1, CS6 | PARENB | PARODD | CMSPAR},
      {"5S1.5", ByteSize::_5, Parity::Space, StopBits::_1_5, CS5 | PARENB | CMSPAR | CSTOPB},
      {"8N1", ByteSize::_8, Parity::None, StopBits::_1, CS8},
  };
  termios base{};
  base.c_cflag = CS7 | PARENB | HUPCL;  // the driver's previous state must not leak through
  base.c_lflag = ICANON | ECHO;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SerialPort port;
    port.byteSize = row.size;
    port.parity = row.parity;
    port.stopBits = row.stop;
    const termios t = line_termios(base, port, B9600);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | PARODD | CMSPAR | CSTOPB), row.cflags);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
  }

  SerialPort defaults;  // the component's defaults: XON/XOFF both ways, no hardware flow
  termios t = line_termios(base, defaults, B9600);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(t.c_cc[VSTART], 17);
  EXPECT_EQ(t.c_cc[VSTOP], 19);

  SerialPort line;  // the main window's line: binary, hardware flow off, parity checked
  line.Outx_XonXoffFlow = false;
  line.Inx_XonXoffFlow = false;
  line.ParityCheck = true;
  line.parity = Parity::Even;
  line.rtsControl = RtsControl::RtsHandshake;
  t = line_termios(base, line, B38400);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
  EXPECT_NE(t.c_iflag & INPCK, 0u);
  EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
}

TEST(SerialSettings, ReadBackCatchesWhatTheDeviceDropped) {
  SerialPort port;
  port.parity = Parity::Even;
  port.BaudRate = 38400;
  const termios wanted = line_termios(termios{}, port, B38400);
  EXPECT_TRUE(line_settings_match(wanted, wanted, false));

  termios no_parity = wanted;
  no_parity.c_cflag &= ~PARENB;
  EXPECT_FALSE(line_settings_match(wanted, no_parity, false));
  EXPECT_TRUE(line_settings_match(wanted, no_parity, true)) << "a pty has no parity to set";

  termios slower = wanted;
  cfsetospeed(&slower, B9600);
  EXPECT_FALSE(line_settings_match(wanted, slower, true));

  termios one_stop = wanted;
  one_stop.c_cflag ^= CSTOPB;
  EXPECT_FALSE(line_settings_match(wanted, one_stop, true));
}

}  // namespace
}  // namespace velmo
