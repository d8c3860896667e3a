#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "tuning/filter_registers.h"
#include "tuning/tuning_registers.h"

// What a tuning operation may change on the drive, as it stood when the
// engineer started the operation: read at the start, followed through every
// write, and put back when the operation is stopped or fails.
namespace velmo::tuning {

enum class Held : uint8_t {
  InertiaRatio,
  Rigidity,
  Kp,
  Kv,
  Ti,
  Kp2,
  Kv2,
  Ti2,
  NotchFrequency,
  NotchWidth,
  NotchDepth,
  SuppressorFrequency,
  SuppressorDepth,
  SpeedLimit,
  TorqueLimit,
};

// The name a log line gives the setting (UTF-8).
const char* held_name(Held what);

// The window's field that shows the setting (nullptr: none), and how.
struct HeldField {
  const char* name;
  bool tenths;  // shown with one decimal
};
std::optional<HeldField> held_field(Held what);

struct HeldRegister {
  Held what;
  uint16_t reg;
};

// The registers for this layout and the selected notch and suppressor group
// (a layout without notch depths has none).
std::vector<HeldRegister> held_registers(const TuningLayout& gains, const FilterLayout& filters, int notch_group,
                                         int suppressor_group);

// One function-03 read of the start values.
struct ReadBlock {
  uint16_t first;
  uint16_t count;
};

class DriveSnapshot {
 public:
  explicit DriveSnapshot(const std::vector<HeldRegister>& registers);

  // The reads that take the start values: neighbouring registers in one.
  std::vector<ReadBlock> blocks() const;
  void read(uint16_t reg, uint16_t value);
  bool complete() const;

  // A write of one of the registers during the operation; an unconfirmed one
  // leaves the drive's value unknown.
  void wrote(uint16_t reg, int32_t value, bool accepted);
  bool any_written() const;
  // Each register written since the start with its start value, in register order.
  struct PutBack {
    Held what;
    uint16_t reg;
    int32_t value;
  };
  std::vector<PutBack> put_back() const;
  void put_back_result(uint16_t reg, bool accepted);

  // What the drive holds now, as far as its replies tell; nullopt: unknown.
  std::optional<int32_t> now(Held what) const;
  std::optional<int32_t> at_start(Held what) const;
  // The value the operation last sent, taken or not; nullopt: none sent.
  std::optional<int32_t> last_written(Held what) const;
  std::vector<HeldRegister> registers() const;

 private:
  struct Entry {
    HeldRegister r;
    std::optional<int32_t> start, now, sent;
    bool written = false;
  };
  Entry* find(uint16_t reg);
  const Entry* find(Held what) const;
  std::vector<Entry> entries_;
};

}  // namespace velmo::tuning
