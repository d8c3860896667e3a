#pragma once
#include <cstdint>
#include <vector>

#include "sim/drive_station.h"

namespace velmo::sim {

// Power-on (and factory-reset) parameter values of a servo drive in menu
// layout 1 or 2; registers not listed read 0.
std::vector<DriveStation::RegValue> servo_default_params(int layout);

}  // namespace velmo::sim
