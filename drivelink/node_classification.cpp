#include "drivelink/node_classification.h"

namespace velmo {

namespace {
struct InverterBand {
  uint16_t first, last;
  uint8_t model_type, stop3;
};
// Inverter model types by program version word.
constexpr InverterBand kInverterBands[] = {
    {2000, 2199, 2, 1}, {2200, 2899, 3, 1}, {2900, 3999, 4, 1}, {4000, 4999, 0, 0}, {5000, 6000, 1, 0},
};
}  // namespace

NodeClass classify_node(uint16_t w) {
  NodeClass c{DeviceFamily::SpeedController};
  if (w > 6000) {
    c.family = DeviceFamily::Servo;
    c.servo_resolution = (w / 100 == 60 || w / 100 == 80) ? 4096 : 131072;
    c.servo_high_model = w >= 8001 ? 1 : 0;
  } else if (w >= 2000) {
    c.family = DeviceFamily::Inverter;
    for (const auto& band : kInverterBands) {
      if (w >= band.first && w <= band.last) {
        c.bpq_model_type = band.model_type;
        c.bpq_stop3 = band.stop3;
      }
    }
    c.bpq_power_code = static_cast<uint8_t>(w / 100);
  }
  return c;
}

}  // namespace velmo
