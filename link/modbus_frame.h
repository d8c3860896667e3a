#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace velmo {

// Modbus RTU framing rules shared by the master's reader, the accepted-reply
// test and the simulator. Lengths include the two CRC bytes.

// Length a reply starting with these bytes must have, or 0 while the bytes
// held are not yet enough to tell (or the function is unknown).
size_t expected_reply_length(const uint8_t* bytes, size_t held);

// The same for a request as a slave receives it (functions 03, 06, 16).
size_t expected_request_length(const uint8_t* bytes, size_t held);

// True when the bytes held are exactly one complete reply with a correct CRC.
bool is_complete_reply(const uint8_t* bytes, size_t held);

// Traffic-log text: each byte as two upper-case hex digits and one blank.
std::string hex_line(const uint8_t* bytes, size_t length);

// A register value as it travels: 16-bit two's complement, high byte first.
inline uint8_t value_hi(int32_t value) { return static_cast<uint8_t>((static_cast<uint32_t>(value) >> 8) & 0xFF); }
inline uint8_t value_lo(int32_t value) { return static_cast<uint8_t>(static_cast<uint32_t>(value) & 0xFF); }
inline uint16_t word_at(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }

}  // namespace velmo
