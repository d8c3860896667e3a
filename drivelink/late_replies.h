#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmo {

// What the reply to one request must look like: enough to tell whether a
// chunk can answer it.
struct RequestShape {
  uint8_t station = 0;
  uint8_t function = 0;
  uint16_t count = 0;             // registers asked (03) or written (16)
  int bytes_per_register = 2;     // 03: four for the motion recording
  std::array<uint8_t, 4> echo{};  // bytes 2..5 of the request: what a write reply echoes

  // The request in frame[0..5] (station first).
  static RequestShape of_request(const uint8_t* frame, int bytes_per_register);
  // A normal reply's length with its CRC; 0 for a function without a fixed one.
  size_t reply_length() const;
  // The bytes are a CRC-correct reply to this request or its exception reply.
  bool answered_by(const uint8_t* bytes, size_t len) const;
  // A reply to one could be taken for a reply to the other.
  bool same_reply_as(const RequestShape& other) const;
};

// Requests that gave up waiting while their reply may still come. A chunk
// that answers one of them is that late reply; a request whose reply would
// look the same waits until the late one came or its guard ran out.
class LateReplies {
 public:
  void owe(const RequestShape& shape, int64_t guard_end_ns);
  void expire(int64_t now_ns);  // drops the guards that have run out
  // Whether the bytes answer an owed request.
  bool answers_owed(const uint8_t* bytes, size_t len) const;
  // Takes the owed request the bytes answer off the list.
  void pay(const uint8_t* bytes, size_t len);
  // The latest guard end of the owed requests whose reply looks like this
  // one's; 0 when there is none.
  int64_t guard_end(const RequestShape& next) const;
  bool empty() const { return owed_.empty(); }

 private:
  struct Owed {
    RequestShape shape;
    int64_t guard_end_ns;
  };
  std::vector<Owed> owed_;
};

}  // namespace velmo
