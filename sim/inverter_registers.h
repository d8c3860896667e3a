#pragma once
#include <cstdint>
#include <vector>

namespace velmo::sim {

// The inverter's parameter registers 0..200 as its manual documents them per
// model type (0..4, from the program version word), with their ranges and
// power-on values. The simulator's own data: the program's table is checked
// against it, never derived from it.
struct InverterRegister {
  uint16_t reg;
  uint16_t min, max;   // wire values a write may carry
  uint16_t initial;    // power-on and factory value
};

int inverter_model_type(uint16_t program_version);
// Registers of the model type's menu (and F0-11/F0-12 on type 4), ascending.
std::vector<InverterRegister> inverter_registers(int model_type);

}  // namespace velmo::sim
