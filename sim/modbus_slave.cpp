#include "sim/modbus_slave.h"

#include "link/modbus_crc.h"
#include "link/modbus_frame.h"
#include "sim/station.h"

namespace velmo::sim {
namespace {

constexpr uint8_t kIllegalFunction = 0x01;
constexpr uint8_t kIllegalAddress = 0x02;
constexpr uint8_t kIllegalValue = 0x03;
constexpr uint8_t kDeviceFailure = 0x04;

std::vector<uint8_t> with_crc(std::vector<uint8_t> frame) {
  const size_t n = frame.size();
  frame.resize(n + 2);
  append_crc(frame.data(), n);
  return frame;
}

bool all_defined(const Station& station, uint16_t start, uint16_t count) {
  for (uint32_t r = start; r < uint32_t{start} + count; ++r) {
    if (r > 0xFFFF || !station.has_reg(static_cast<uint16_t>(r))) return false;
  }
  return true;
}

std::vector<uint8_t> read_holding(Station& station, uint8_t address, uint16_t start, uint16_t count) {
  std::vector<uint8_t> wide;
  uint8_t exception = 0;
  if (station.read_wide(start, count, wide, exception)) {
    if (exception != 0) return exception_reply(address, 0x03, exception);
    std::vector<uint8_t> reply{address, 0x03, static_cast<uint8_t>(wide.size())};
    reply.insert(reply.end(), wide.begin(), wide.end());
    return with_crc(std::move(reply));
  }
  if (count < 1 || count > 125) return exception_reply(address, 0x03, kIllegalValue);
  if (!all_defined(station, start, count)) return exception_reply(address, 0x03, kIllegalAddress);
  std::vector<uint8_t> reply{address, 0x03, static_cast<uint8_t>(2 * count)};
  for (uint16_t k = 0; k < count; ++k) station.on_read(static_cast<uint16_t>(start + k));
  for (uint16_t k = 0; k < count; ++k) {
    const uint16_t v = station.reg(static_cast<uint16_t>(start + k));
    reply.push_back(static_cast<uint8_t>(v >> 8));
    reply.push_back(static_cast<uint8_t>(v & 0xFF));
  }
  return with_crc(std::move(reply));
}

std::vector<uint8_t> write_single(Station& station, const uint8_t* frame, uint16_t r) {
  const uint8_t address = frame[0];
  if (!station.has_reg(r)) return exception_reply(address, 0x06, kIllegalAddress);
  if (const uint8_t code = station.write_refusal(r, word_at(frame + 4))) return exception_reply(address, 0x06, code);
  if (!station.on_write(r, word_at(frame + 4))) return exception_reply(address, 0x06, kDeviceFailure);
  return std::vector<uint8_t>(frame, frame + 8);  // echo, CRC included
}

std::vector<uint8_t> write_multiple(Station& station, const uint8_t* frame, size_t length, uint16_t start,
                                    uint16_t count) {
  const uint8_t address = frame[0];
  if (count < 1 || count > 123 || frame[6] != 2 * count || length != 9u + frame[6])
    return exception_reply(address, 0x10, kIllegalValue);
  if (!all_defined(station, start, count)) return exception_reply(address, 0x10, kIllegalAddress);
  // A refused value refuses the whole request: nothing of it is stored.
  for (uint16_t k = 0; k < count; ++k)
    if (const uint8_t code = station.write_refusal(static_cast<uint16_t>(start + k), word_at(frame + 7 + 2 * k)))
      return exception_reply(address, 0x10, code);
  for (uint16_t k = 0; k < count; ++k) {
    if (!station.on_write(static_cast<uint16_t>(start + k), word_at(frame + 7 + 2 * k)))
      return exception_reply(address, 0x10, kDeviceFailure);
  }
  return with_crc({address, 0x10, frame[2], frame[3], frame[4], frame[5]});
}

}  // namespace

RequestSpan request_span(const uint8_t* frame, size_t length) {
  RequestSpan span;
  if (length < 2) return span;
  span.function = frame[1];
  if (length < 6) return span;
  span.start = word_at(frame + 2);
  switch (span.function) {
    case 0x03: case 0x10:
      span.count = word_at(frame + 4);
      span.known = true;
      break;
    case 0x06:
      span.count = 1;
      span.known = true;
      break;
    default:
      break;
  }
  return span;
}

std::vector<uint8_t> exception_reply(uint8_t address, uint8_t function, uint8_t code) {
  return with_crc({address, static_cast<uint8_t>(function | 0x80), code});
}

std::vector<uint8_t> answer_request(Station& station, const uint8_t* frame, size_t length) {
  const uint8_t address = frame[0];
  const RequestSpan span = request_span(frame, length);
  switch (span.function) {
    case 0x03:
      if (length != 8) return exception_reply(address, 0x03, kIllegalValue);
      return read_holding(station, address, span.start, span.count);
    case 0x06:
      if (length != 8) return exception_reply(address, 0x06, kIllegalValue);
      return write_single(station, frame, span.start);
    case 0x10:
      if (length < 9) return exception_reply(address, 0x10, kIllegalValue);
      return write_multiple(station, frame, length, span.start, span.count);
    default:
      return exception_reply(address, span.function, kIllegalFunction);
  }
}

void apply_broadcast(Station& station, const uint8_t* frame, size_t length) {
  const RequestSpan span = request_span(frame, length);
  if (span.function == 0x06 || span.function == 0x10) (void)answer_request(station, frame, length);
}

}  // namespace velmo::sim
