#pragma once
#include <cstdint>

// A test judged on its own failures: comm_error starts clear for it, and an
// earlier failure of the sequence around it comes back when it ends, so a
// test never erases what went wrong before it. Stops are not flags here;
// they travel in the sequence's stop token.
namespace velmo::tuning {

class FailureScope {
 public:
  explicit FailureScope(uint8_t& comm_error) : flag_(comm_error), earlier_(comm_error) { flag_ = 0; }
  ~FailureScope() { flag_ = static_cast<uint8_t>(flag_ | earlier_); }
  FailureScope(const FailureScope&) = delete;
  FailureScope& operator=(const FailureScope&) = delete;

 private:
  uint8_t& flag_;
  uint8_t earlier_;
};

}  // namespace velmo::tuning
