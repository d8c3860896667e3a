#pragma once
#include <cstdint>
#include <optional>

// The test-mode settings a move runs on (debug mode, stroke, pulse
// frequency, and a SERVO_ON asked for before it) as one drive last confirmed
// them. A write that failed, a node change or anything that may have reset
// the drive's test registers drops what it touched, so a move never starts
// on a value the drive did not take.
namespace velmo::tuning {

class ConfirmedMoveSettings {
 public:
  void forget() { *this = {}; }

  void mode(uint8_t node, bool confirmed) { of(node).debug_mode_ = confirmed; }
  void stroke(uint8_t node, std::optional<int32_t> thousands) { of(node).stroke_ = thousands; }
  void frequency(uint8_t node, std::optional<int32_t> value) { of(node).frequency_ = value; }
  // A SERVO_ON the drive did not take holds back every move of the
  // operation that asked for it; a move without one relies on the test arm,
  // which puts the servo on by itself.
  void servo_on(uint8_t node, bool confirmed) { of(node).servo_on_refused_ = !confirmed; }
  void operation_started() { servo_on_refused_ = false; }
  bool servo_on_refused() const { return servo_on_refused_; }

  // True when `node` confirmed debug mode and exactly this stroke and
  // frequency, and refused no SERVO_ON since.
  bool hold(uint8_t node, int32_t stroke_thousands, int32_t frequency) const {
    return node != 0 && node == node_ && debug_mode_ && stroke_ == stroke_thousands && frequency_ == frequency &&
           !servo_on_refused_;
  }

 private:
  ConfirmedMoveSettings& of(uint8_t node) {
    if (node != node_) {
      forget();
      node_ = node;
    }
    return *this;
  }

  uint8_t node_ = 0;
  bool debug_mode_ = false;
  std::optional<int32_t> stroke_;
  std::optional<int32_t> frequency_;
  bool servo_on_refused_ = false;
};

}  // namespace velmo::tuning
