#pragma once
#include <cstdint>
#include <span>

namespace velmo::servo {

// One of the drive's self-learning functions: the start value goes into the
// function's parameter register, which reads 1 once the drive has finished.
struct SelfLearningStart {
  uint16_t reg;
  uint16_t value;
};

struct SelfLearningFunction {
  const char* button;        // objectName of its start button
  const char* caption;
  bool visible;
  SelfLearningStart layout1;  // menu variant 1
  SelfLearningStart layout2;  // every other variant
  const char* running_text;
  const char* failure_text;

  const SelfLearningStart& start_for(uint32_t servo_subtype) const {
    return servo_subtype == 1 ? layout1 : layout2;
  }
};

// The start buttons in the window's order.
std::span<const SelfLearningFunction> self_learning_functions();

// The register value that reports a finished run (low byte only).
inline constexpr uint8_t kSelfLearningDone = 1;

}  // namespace velmo::servo
