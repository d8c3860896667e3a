#include "sim/stations.h"

#include "sim/inverter_station.h"
#include "sim/servo_station.h"
#include "sim/speed_controller_station.h"

namespace velmo::sim {

std::unique_ptr<Station> make_servo(uint8_t address, uint16_t program_version, uint16_t menu_version) {
  return std::make_unique<ServoStation>(address, program_version, menu_version);
}

std::unique_ptr<Station> make_inverter(uint8_t address, uint16_t program_version, bool menu_version_exception) {
  return std::make_unique<InverterStation>(address, program_version, menu_version_exception);
}

std::unique_ptr<Station> make_speed_controller(uint8_t address, uint16_t program_version, uint16_t reg1,
                                               uint16_t reg2) {
  return std::make_unique<SpeedControllerStation>(address, program_version, reg1, reg2);
}

void servo_set_fault(Station& station, uint16_t code) {
  if (auto* servo = dynamic_cast<ServoStation*>(&station)) servo->set_fault(code);
}

void servo_set_self_learning(Station& station, int busy_polls, bool fail) {
  if (auto* servo = dynamic_cast<ServoStation*>(&station)) servo->set_self_learning(busy_polls, fail);
}

int factory_reset_count(const Station& station) {
  if (auto* drive = dynamic_cast<const DriveStation*>(&station)) return drive->factory_resets();
  return 0;
}

}  // namespace velmo::sim
