#pragma once
#include <array>
#include <cstdint>
#include <string_view>

// Facts about the servo motors the drives support, shared by the gain-tuning
// window (motor identification) and the simulated drive (its rotor).
namespace velmo::servo_motors {

// One fixed-width text per motor row, as the window lists them:
// columns 1..5 rotor inertia (10^-6 kg m^2), 8..11 rated torque as text
// (N m), 16..18 rated torque numerator, 22..24 its divisor (100 or 10).
constexpr size_t kRowCount = 14;
extern const std::array<std::string_view, kRowCount> kRows;

// A row's fields as text (blanks trimmed) and as numbers.
struct Row {
  std::string_view rotor_inertia;  // 10^-6 kg m^2
  std::string_view rated_torque;   // N m
  std::string_view torque_numerator;
  std::string_view torque_divisor;
  int rotor_inertia_e6() const;
  int numerator() const;
  int divisor() const;
  double rotor_inertia_kgm2() const { return rotor_inertia_e6() * 1e-6; }
  double rated_torque_nm() const;  // numerator / divisor
};
Row row(size_t index);  // index past the table gives the last row

// What a motor code (register 181: class * 100 + variant) tells about the
// motor: encoder counts per revolution, the factor from encoder counts to the
// drive's 131072 command counts, the curve step of the capture, the table row,
// and whether the drive keeps the servo on after a test move (even variant).
struct Identity {
  uint32_t resolution;
  uint32_t resolution_scale;
  int curve_step;
  size_t row;
  bool hold_servo_on;
};
Identity identify(uint16_t code);

}  // namespace velmo::servo_motors
