#include "drivelink/late_replies.h"

#include <algorithm>

#include "link/modbus_crc.h"
#include "link/modbus_frame.h"

namespace velmo {

RequestShape RequestShape::of_request(const uint8_t* frame, int bytes_per_register) {
  RequestShape s;
  s.station = frame[0];
  s.function = frame[1];
  s.count = word_at(&frame[4]);
  s.bytes_per_register = bytes_per_register;
  std::copy_n(&frame[2], s.echo.size(), s.echo.begin());
  return s;
}

size_t RequestShape::reply_length() const {
  if (function == 0x03) return 5 + static_cast<size_t>(bytes_per_register) * count;
  if (function == 0x06 || function == 0x10) return 8;
  return 0;
}

bool RequestShape::answered_by(const uint8_t* bytes, size_t len) const {
  if (len < 5 || !frame_crc_ok(bytes, len) || bytes[0] != station) return false;
  if (bytes[1] == (function | 0x80)) return len == 5;
  if (bytes[1] != function) return false;
  const size_t want = reply_length();
  if (want == 0) return expected_reply_length(bytes, len) == len;
  if (len != want) return false;
  if (function == 0x03) return bytes[2] == ((want - 5) & 0xFF);
  return std::equal(echo.begin(), echo.end(), bytes + 2);
}

bool RequestShape::same_reply_as(const RequestShape& other) const {
  if (station != other.station || function != other.function) return false;
  if (reply_length() != other.reply_length()) return false;
  // Write replies echo the request: only the same write is answered alike.
  return (function != 0x06 && function != 0x10) || echo == other.echo;
}

void LateReplies::owe(const RequestShape& shape, int64_t guard_end_ns) { owed_.push_back({shape, guard_end_ns}); }

void LateReplies::expire(int64_t now_ns) {
  std::erase_if(owed_, [now_ns](const Owed& o) { return o.guard_end_ns <= now_ns; });
}

bool LateReplies::answers_owed(const uint8_t* bytes, size_t len) const {
  return std::any_of(owed_.begin(), owed_.end(), [&](const Owed& o) { return o.shape.answered_by(bytes, len); });
}

void LateReplies::pay(const uint8_t* bytes, size_t len) {
  // The oldest first: a drive answers in the order it was asked.
  auto it = std::find_if(owed_.begin(), owed_.end(), [&](const Owed& o) { return o.shape.answered_by(bytes, len); });
  if (it != owed_.end()) owed_.erase(it);
}

int64_t LateReplies::guard_end(const RequestShape& next) const {
  int64_t end = 0;
  for (const Owed& o : owed_)
    if (o.shape.same_reply_as(next)) end = std::max(end, o.guard_end_ns);
  return end;
}

}  // namespace velmo
