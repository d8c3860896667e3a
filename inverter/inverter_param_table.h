#pragma once
#include <QString>

#include "common/param_codec.h"
#include "common/param_row.h"

namespace velmo {

// The inverter's parameters as the inverter menu editor presents them. The
// layout of a row is the model type 0..4 of the inverter: bit t of a row's
// layouts says that type t reads, shows and group-writes the parameter.
inline constexpr int kInverterModelTypes = 5;
inline constexpr uint32_t kT0 = 1u << 0, kT1 = 1u << 1, kT2 = 1u << 2, kT3 = 1u << 3, kT4 = 1u << 4;
inline constexpr uint32_t kT01 = kT0 | kT1, kT24 = kT2 | kT3 | kT4, kT34 = kT3 | kT4, kAllTypes = kT01 | kT24;

// Group indices, in read order.
enum InverterGroup : int { kIF0, kIF1, kIF2, kIF3, kIF4, kIF5, kIF6, kIF7, kIF8, kIF9, kIFA, kIFB, kIFC, kInverterGroupCount };

// Registers with a meaning of their own.
inline constexpr int kInverterStationReg = 160;  // FA-00
inline constexpr int kInverterResetReg = 170;    // FB-00: 2 restores the factory settings
inline constexpr int kInverterModelReg = 180;    // FC-00, read-only

const ParamTable& inverter_param_table();

// Rows of the two halves of the table (data files).
void add_inverter_rows_f0_f4(ParamTable& table);
void add_inverter_rows_f5_fc(ParamTable& table);

// What the ranges of some fields depend on when the field is left.
struct InverterRangeInputs {
  int model_type = 0;
  int voltage_class = 0;     // 0: 220 V class, 1 and 2: 380 V classes
  double current_min = 0;    // F5-01 bounds of the chosen motor power (A)
  double current_max = 0;
  bool current_known = false;  // false: the power code is not in the rating table
  double max_frequency = 50;   // F0-13 and F0-14 as their fields show them (Hz)
  double min_frequency = 2;
};

// How a field's range is found: by the fixed columns of its row, or by one of
// these rules (which the row names through inverter_range_rule()).
enum class InverterRangeRule {
  Fixed,
  MinToMaxFrequency,  // F3-01, F4-02..F4-04: F0-14 .. F0-13
  ZeroToMaxFrequency, // F4-06..F4-08: 0 .. F0-13
  PlusMinusMaxFrequency,  // F7 segment frequencies: -F0-13 .. F0-13
  BrakeFrequency,     // F3-05, F3-06 by model type (types 0, 1 also take 0)
  RampTime,           // F0-15..F0-18 by model type
  CarrierFrequency,   // F4-10 by model type
  RatedCurrent,       // F5-01: the bounds of the chosen motor power
  NoLoadCurrent,      // F5-09: 0.5 .. the upper bound of the rated current
  Voltage50Hz,        // F6-01 by voltage class
  VoltageMid,         // F6-03 by voltage class
  Voltage1Hz,         // F6-04 by voltage class and model type
};
InverterRangeRule inverter_range_rule(const ParamRow& row);

// The range a field is kept in when it is left, and the text an empty field gets.
ParamRange inverter_range(const ParamRow& row, const InverterRangeInputs& in);

// A row whose range follows the rules above, asked of the editor when the
// field is left (model type, voltage class, rating, F0-13 and F0-14).
class ParamEditorEngine;
InverterRangeInputs inverter_range_inputs(const ParamEditorEngine& editor);
ParamRow with_inverter_rules(ParamRow row);

// The exit clamp of an inverter field: the common clamp plus the rules of the
// ramp times (two decimals up to 0.99 s, else one decimal) and of the brake
// frequencies of types 0 and 1 (a value below 3.0 Hz becomes 0.0).
QString inverter_clamp(const ParamRow& row, const QString& text, const ParamRange& range, int model_type);

}  // namespace velmo
