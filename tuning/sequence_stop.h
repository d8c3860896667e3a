#pragma once
#include <cstdint>

// Stop requests of the tuning window's running sequences, kept apart from
// the failure flags (comm_error, tune_error): a later reset of a failure flag
// never erases a stop, and a failure never reads as one.
namespace velmo::tuning {

class StopToken {
 public:
  void request() { requested_ = true; }
  bool requested() const { return requested_; }

 private:
  bool requested_ = false;
};

// Sets a flag (verify_replies, test_run_active) for a scope and puts back
// what was there, so a step nested in a longer sequence does not switch it
// off for the rest of that sequence.
class FlagScope {
 public:
  FlagScope(uint8_t& flag, uint8_t value) : flag_(flag), saved_(flag) { flag_ = value; }
  ~FlagScope() { flag_ = saved_; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  uint8_t& flag_;
  uint8_t saved_;
};

}  // namespace velmo::tuning
