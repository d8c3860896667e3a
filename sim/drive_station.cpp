#include "sim/drive_station.h"

namespace velmo::sim {

DriveStation::DriveStation(uint8_t address, Identity identity) : Station(address), identity_(identity) {}

int DriveStation::factory_resets() const {
  std::lock_guard guard(lock());
  return factory_resets_;
}

void DriveStation::set_defaults(std::vector<RegValue> defaults) {
  std::lock_guard guard(lock());
  defaults_ = std::move(defaults);
}

void DriveStation::apply_defaults() {
  std::lock_guard guard(lock());
  for (const auto& [r, v] : defaults_) {
    if (has_reg(r)) set_reg(r, v);
  }
}

bool DriveStation::on_write(uint16_t r, uint16_t v) {
  std::lock_guard guard(lock());
  if (r == kProgramVersionReg || r == kMenuVersionReg) return false;  // read-only
  if (r == identity_.station_reg) {
    if (v < 1 || v > 247) return false;
    set_reg(r, v);
    if (v != address()) move_address_after_reply(static_cast<uint8_t>(v));
    return true;
  }
  if (r == identity_.factory_reset_reg && v == kFactoryResetValue) {
    const uint16_t station = reg(identity_.station_reg);
    apply_defaults();
    ++factory_resets_;
    set_reg(r, 1);
    if (identity_.reset_moves_to_station_1) {
      set_reg(identity_.station_reg, 1);
      if (address() != 1) move_address_after_reply(1);
    } else {
      set_reg(identity_.station_reg, station);
    }
    after_factory_reset();
    return true;
  }
  set_reg(r, v);
  return true;
}

}  // namespace velmo::sim
