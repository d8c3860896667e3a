#pragma once
#include <cstdint>

// Registers of the servo drive that gain tuning reads and writes. The
// parameter registers move with the drive's menu layout; the rest are the
// same on every drive.
namespace velmo::tuning {

struct TuningLayout {
  uint16_t gear_block;      // 4 words: numerator high, low, denominator high, low
  uint16_t load_class;      // 0: the layout has none
  uint16_t response_rule;   // 0: the layout has none
  uint16_t gain_block;      // first word of the gain block read
  uint16_t gain_block_words;
  // Positions of the values inside the gain block.
  uint8_t at_ratio, at_rigidity, at_kp, at_kv, at_ti, at_speed_filter, at_torque_filter;
  // Registers of gain set 1; set 2 sits kSet2Offset above.
  uint16_t inertia_ratio, rigidity, kp, kv, ti, speed_filter, torque_filter;
};

inline constexpr uint16_t kSet2Offset = 5;

inline constexpr TuningLayout kTuningLayout1{28, 0, 0, 43, 7, 0, 1, 2, 3, 4, 5, 6, 43, 44, 45, 46, 47, 48, 49};
inline constexpr TuningLayout kTuningLayout2{29, 50, 51, 52, 8, 0, 1, 3, 4, 5, 6, 7, 52, 53, 55, 56, 57, 58, 59};

// Layout 1 for servo_subtype 1, layout 2 for any other value.
inline const TuningLayout& tuning_layout(uint32_t servo_subtype) {
  return servo_subtype == 1 ? kTuningLayout1 : kTuningLayout2;
}

inline constexpr uint16_t kMotorCode = 181;
inline constexpr uint16_t kPositionLow = 0x2010;  // 0x2011 holds the high word
inline constexpr uint16_t kPeakTorque = 0x2007;   // % of rated torque, last move
inline constexpr uint16_t kDriveStatus = 0x3000;  // fault code in the low byte
inline constexpr uint16_t kCommand = 0x1004;
inline constexpr uint16_t kFaultReset = 8;
inline constexpr uint16_t kServoOnOff = 0x1020;
inline constexpr uint16_t kOperatingMode = 0x0000;
inline constexpr uint16_t kDebugMode = 1;
inline constexpr uint16_t kMoveStart = 0x8000;    // 0 stop, 1 forward, 2 reverse
inline constexpr uint16_t kMoveLength = 0x8001;   // thousands of pulses
inline constexpr uint16_t kMoveFrequency = 0x8002;
inline constexpr uint16_t kRecordSelect = 0x8003; // 1 position at 5 kHz, 2 end vibration
inline constexpr uint16_t kTestArm = 0x8004;
inline constexpr uint16_t kRecording = 0x9000;    // one 4-byte sample per address

}  // namespace velmo::tuning
