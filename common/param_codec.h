#pragma once
#include <QString>

#include <cstdint>
#include <vector>

#include "common/param_row.h"

namespace velmo {

// The row's fixed range (min, max and empty text).
ParamRange row_range(const ParamRow& row);

// Text of a number field for its register value(s) (wire values 0..65535;
// `low` is the second register of a split value).
QString number_text(const ParamRow& row, int32_t wire, int32_t low = 0);
// Text of a display-only field.
QString display_text(const ParamRow& row, int32_t wire);
// Position of the item carrying `value`; -1 when no item carries it.
int item_index(const ListItems& items, int32_t value);

// The exit clamp: an empty (or unreadable) text becomes the range's empty
// text, a number above the maximum the maximum, below the minimum the
// minimum; the result is rewritten in the field's format unless the row
// keeps its text.
QString clamp_text(const ParamRow& row, const QString& text, const ParamRange& range);
// Register values (one, or two for a split value) of a clamped text.
std::vector<int32_t> encode_text(const ParamRow& row, const QString& text);
// The key and paste filter: digits; one "." in decimal fields; a leading "-"
// in signed ones; no more than the row's maximum length.
bool text_allowed(const ParamRow& row, const QString& text);

// A number written with `decimals` digits after the point ("%.1f").
QString format_number(double value, int decimals);
// Exact decimal text × 10^digits, rounded as asked (no binary fractions).
bool scale_decimal_text(const QString& text, int digits, Rounding rounding, int64_t* out);

}  // namespace velmo
