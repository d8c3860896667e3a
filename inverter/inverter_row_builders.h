#pragma once
// Builders shared by the two halves of the inverter table.
#include "inverter/inverter_param_table.h"

namespace velmo::inverter_rows {

inline ParamRow chars(ParamRow row, int max_length) {
  row.max_length = max_length;
  return row;
}

// The range follows the model type, the rating or F0-13/F0-14.
inline ParamRow ranged(ParamRow row) { return with_inverter_rules(std::move(row)); }

// The list starts with its item `item` (1-based) selected.
inline ParamRow selected(ParamRow row, int item) {
  row.form_text = row.items[static_cast<size_t>(item - 1)].text;
  return row;
}

}  // namespace velmo::inverter_rows
