#pragma once
#include <cstdint>
#include <memory>

#include "sim/station.h"

namespace velmo::sim {

// The three drive families. menu_version % 100 == 1 selects the servo's menu
// layout 1, anything else layout 2.
std::unique_ptr<Station> make_servo(uint8_t address, uint16_t program_version = 6101, uint16_t menu_version = 101);
std::unique_ptr<Station> make_inverter(uint8_t address, uint16_t program_version = 4015,
                                       bool menu_version_exception = false);
std::unique_ptr<Station> make_speed_controller(uint8_t address, uint16_t program_version = 1015, uint16_t reg1 = 1,
                                               uint16_t reg2 = 1);

// Test handles on a station made by the factories above (no effect on other
// stations). Thread-safe.
void servo_set_fault(Station& station, uint16_t code);  // 0 clears; codes 1..26 stop the motor
// Self-learning runs read busy for this many polls, then done, or (fail) stay
// busy and raise warning 38.
void servo_set_self_learning(Station& station, int busy_polls, bool fail = false);
int factory_reset_count(const Station& station);  // factory resets the drive has performed

}  // namespace velmo::sim
