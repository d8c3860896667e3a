#pragma once
#include <optional>
#include <string>

#include "sim/servo_mechanics.h"

namespace velmo::sim {

// A servo axis described on the command line, as comma-separated key=value
// pairs over the defaults:
//   load=RATIO friction=SHARE resonance=HZ@KV (up to four times) end=HZ
//   end-size=RAD end-damping=ZETA jitter=KV seed=N
//   script-resonance=RIGIDITY script-jitter=KV script-overshoot=KP script-end=1
// (gains in the drive's register units, tenths of Hz; the end mode's size in
// radians per 1000 rad/s^2 of the axis's acceleration). nullopt on any error.
std::optional<ServoMechanics> parse_mechanics(const std::string& setup);

}  // namespace velmo::sim
