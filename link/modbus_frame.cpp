#include "link/modbus_frame.h"

#include "link/modbus_crc.h"

namespace velmo {

size_t expected_reply_length(const uint8_t* bytes, size_t held) {
  if (held < 2) return 0;
  const uint8_t function = bytes[1];
  if (function & 0x80) return 5;  // exception: addr, fn|0x80, code, CRC
  switch (function) {
    case 0x01: case 0x02: case 0x03: case 0x04:
      return held < 3 ? 0 : 5 + static_cast<size_t>(bytes[2]);
    case 0x05: case 0x06: case 0x0F: case 0x10:
      return 8;
    default:
      return 0;
  }
}

size_t expected_request_length(const uint8_t* bytes, size_t held) {
  if (held < 2) return 0;
  switch (bytes[1]) {
    case 0x01: case 0x02: case 0x03: case 0x04: case 0x05: case 0x06:
      return 8;
    case 0x0F: case 0x10:
      return held < 7 ? 0 : 9 + static_cast<size_t>(bytes[6]);
    default:
      return 0;
  }
}

bool is_complete_reply(const uint8_t* bytes, size_t held) {
  const size_t want = expected_reply_length(bytes, held);
  return want != 0 && want == held && frame_crc_ok(bytes, held);
}

std::string hex_line(const uint8_t* bytes, size_t length) {
  static const char digits[] = "0123456789ABCDEF";
  std::string line;
  line.reserve(length * 3);
  for (size_t i = 0; i < length; ++i) {
    line += digits[bytes[i] >> 4];
    line += digits[bytes[i] & 0x0F];
    line += ' ';
  }
  return line;
}

}  // namespace velmo
