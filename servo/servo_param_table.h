#pragma once
#include "common/param_row.h"

namespace velmo {

// The servo drive's parameters as the servo menu editor presents them, in
// both register layouts. Layout 0 is the layout of menu variant 1, layout 1
// that of every other variant.
inline constexpr int kServoLayout1 = 0;
inline constexpr int kServoLayout2 = 1;
inline constexpr uint32_t kServoL1 = 1u << kServoLayout1;
inline constexpr uint32_t kServoL2 = 1u << kServoLayout2;
inline constexpr uint32_t kServoBoth = kServoL1 | kServoL2;

// Group indices, in read order.
enum ServoGroup : int { kSF0, kSF1, kSF2, kSF3, kSF4, kSF5, kSF6, kSF7, kSFA, kSFB, kSFC, kServoGroupCount };

// What the servo editor's own code knows some rows as (ParamRow::role).
enum ServoRowRole : int {
  kServoRunMode = 1,     // F0-00: kept per node for the bus-control restore
  kServoGainSwitch,      // F2-15: likewise
  kServoProgramVersion,  // FB-01: gives the drive's power text
  kServoStartsLearning,  // any value but the first starts a self-learning run
};

const ParamTable& servo_param_table();
inline int servo_layout_of_variant(uint32_t variant) { return variant == 1 ? kServoLayout1 : kServoLayout2; }

// Rows of the two halves of the table (data files).
void add_servo_rows_f0_f2(ParamTable& table);
void add_servo_rows_f3_fc(ParamTable& table);

// The bus-type variant's lists of F0-00 and F2-15 (per layout) and the
// standard ones they replace.
ListItems servo_run_mode_items(bool bus_type);
ListItems servo_gain_switch_items(int layout, bool bus_type);

}  // namespace velmo
