#pragma once
#include <cstdint>

namespace velmo {

enum class DeviceFamily { Servo, Inverter, SpeedController };

// What the program version word (register 0x00AB) says about a node.
struct NodeClass {
  DeviceFamily family;
  uint32_t servo_resolution = 0;  // servo: encoder pulses per revolution
  uint8_t servo_high_model = 0;   // servo: 1 = bus-type drive
  uint8_t bpq_model_type = 0;     // inverter: model type 0..4
  uint8_t bpq_stop3 = 0;          // inverter: stop command is 3
  uint8_t bpq_power_code = 0;     // inverter: power rating code
};

NodeClass classify_node(uint16_t program_version);

}  // namespace velmo
