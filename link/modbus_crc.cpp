#include "link/modbus_crc.h"

namespace velmo {

uint16_t modbus_crc16(const uint8_t* bytes, size_t length) {
  uint16_t crc = 0xFFFF;
  for (size_t i = 0; i < length; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) {
      const bool dropped = crc & 1u;
      crc >>= 1;
      if (dropped) crc ^= 0xA001;
    }
  }
  return crc;
}

bool frame_crc_ok(const uint8_t* frame, size_t length) {
  if (length < 3) return false;
  const uint16_t crc = modbus_crc16(frame, length - 2);
  return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

void append_crc(uint8_t* frame, size_t length) {
  const uint16_t crc = modbus_crc16(frame, length);
  frame[length] = crc & 0xFF;
  frame[length + 1] = crc >> 8;
}

}  // namespace velmo
