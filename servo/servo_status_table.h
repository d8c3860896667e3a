#pragma once
#include <QString>

#include <array>
#include <cstdint>
#include <span>

namespace velmo::servo_status {

// The servo's status block: function 03 from 0x2003, nine words. Word 0 is
// the status word (lamps); words 1..8 are shown in the value fields.
inline constexpr uint16_t kStatusFirst = 0x2003;
inline constexpr uint16_t kStatusCount = 9;
// The fault register: only the low byte of its one word is the code.
inline constexpr uint16_t kFaultRegister = 0x3000;

enum class ValueFormat : uint8_t { Unsigned, SignedSpeed };

struct ValueRow {
  uint16_t reg;
  const char* edit;     // objectName of the field
  const char* caption;  // label in front of the field
  const char* unit;     // label behind it
  ValueFormat format;
};

// What a status bit does to the node's run state.
enum class RunEffect : uint8_t { None, Stopped, Running, Fault };

struct BitRow {
  int bit;
  const char* lamp;
  const char* label;
  RunEffect effect;
};

struct HighByteLamp {
  const char* lamp;
  const char* label;
  uint8_t lit_value;  // the whole high byte equals this
};

std::span<const ValueRow> value_rows();
std::span<const BitRow> bit_rows();
const HighByteLamp& high_byte_lamp();

// The text a status word of a value row shows: signed speeds above 32768
// are negative (32768 itself is not), everything else unsigned decimal.
QString format_value(ValueFormat format, uint16_t word);

// Lamp states of a status word: bits 0..7 of the low byte (index = bit) and
// the high-byte lamp.
struct Lamps {
  std::array<bool, 8> bits{};
  bool high_byte = false;
};
Lamps lamps_of(uint16_t status_word);

// The run state after a status word: bits 0..3 applied in bit order (the
// last one set wins); running and fault count only for nodes under this
// program's bus control. A word with none of them set leaves it as it was.
uint8_t run_state_after(uint16_t status_word, bool under_bus_control, uint8_t run_state);

// Fault display: Edit14 shows "无故障" for code 0, else "Er-" + (code - 1);
// Edit15 the code's text, empty where there is none.
struct FaultDisplay {
  QString code;
  QString text;
};
FaultDisplay fault_display(uint8_t code);

// The control window's own fault and warning texts by code (1..38); empty
// where the code has none.
QString servo_fault_texts(uint8_t code);

}  // namespace velmo::servo_status
