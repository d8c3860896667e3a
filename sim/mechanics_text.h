#pragma once
#include <optional>
#include <string>

#include "sim/servo_mechanics.h"

namespace velmo::sim {

// A servo axis described on the command line, as comma-separated key=value
// pairs over the defaults:
//   load=RATIO friction=SHARE resonance=HZ@KV end=HZ jitter=KV seed=N
//   script-resonance=RIGIDITY script-jitter=KV script-overshoot=KP script-end=1
// (gains in the drive's register units, tenths of Hz). nullopt on any error.
std::optional<ServoMechanics> parse_mechanics(const std::string& setup);

}  // namespace velmo::sim
