#pragma once
#include <cstddef>
#include <cstdint>

namespace velmo {

// CRC-16/MODBUS: initial 0xFFFF, reflected polynomial 0xA001, no final XOR.
// On the wire the low byte goes first.
uint16_t modbus_crc16(const uint8_t* bytes, size_t length);

// True when the last two bytes of a frame are the CRC of the bytes before them.
bool frame_crc_ok(const uint8_t* frame, size_t length);

// Appends the CRC (low byte first) at frame[length], frame[length + 1].
void append_crc(uint8_t* frame, size_t length);

}  // namespace velmo
