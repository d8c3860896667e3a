#pragma once
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "sim/station.h"

namespace velmo::sim {

// Behaviour every drive family shares: read-only version words, the
// station-number register (the write is answered from the old address, then
// the drive moves), and the factory-reset register.
class DriveStation : public Station {
 public:
  struct Identity {
    uint16_t station_reg;        // holds the drive's own address
    uint16_t factory_reset_reg;  // value 2 restores the defaults
    bool reset_moves_to_station_1;
  };
  using RegValue = std::pair<uint16_t, uint16_t>;

  DriveStation(uint8_t address, Identity identity);

  bool on_write(uint16_t r, uint16_t v) override;
  int factory_resets() const;

  static constexpr uint16_t kProgramVersionReg = 0x00AB;
  static constexpr uint16_t kMenuVersionReg = 0x00AC;
  static constexpr uint16_t kFactoryResetValue = 2;

 protected:
  // The values a factory reset puts back (also the power-on values).
  void set_defaults(std::vector<RegValue> defaults);
  void apply_defaults();
  virtual void after_factory_reset() {}

 private:
  Identity identity_;
  std::vector<RegValue> defaults_;
  int factory_resets_ = 0;
};

}  // namespace velmo::sim
