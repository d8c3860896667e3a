#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmo::sim {

class Station;

// Register range a request touches (functions 03, 06 and 16).
struct RequestSpan {
  uint8_t function = 0;
  uint16_t start = 0;
  uint16_t count = 0;
  bool known = false;  // false for functions without a register range
  bool covers(uint16_t r) const { return known && r >= start && uint32_t{r} < uint32_t{start} + count; }
};
RequestSpan request_span(const uint8_t* frame, size_t length);

// Exception reply [address, function | 0x80, code, CRC].
std::vector<uint8_t> exception_reply(uint8_t address, uint8_t function, uint8_t code);

// The station's answer to one request whose CRC was already checked (frame
// includes the CRC). Runs the station's hooks; the caller holds its lock.
std::vector<uint8_t> answer_request(Station& station, const uint8_t* frame, size_t length);

// Applies a broadcast write (address 0) without building a reply.
void apply_broadcast(Station& station, const uint8_t* frame, size_t length);

}  // namespace velmo::sim
