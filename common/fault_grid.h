#pragma once
#include <array>
#include <span>

class QRect;
class QTableWidget;
class QWidget;

namespace velmo {

// One line of a drive's fault or warning reference. A code with several
// causes spans several lines: code and name stand in the first, the
// following lines carry only their cause text.
struct FaultTableRow {
  const char* code;
  const char* name;
  const char* cause;
};

// Header texts of one table's three columns.
struct FaultTableHeader {
  const char* code;
  const char* name;
  const char* cause;
};

using FaultColumnWidths = std::array<int, 3>;

// A read-only reference grid: the header texts in a fixed top row, one text
// line per row and an empty last row on which the selection is parked, so no
// text row shows as selected. Row numbers match the table's own: row 0 is the
// header, texts start at row 1.
QTableWidget* make_fault_grid(QWidget* parent, const char* name, const QRect& geometry, const FaultTableHeader& header,
                              std::span<const FaultTableRow> rows, const FaultColumnWidths& widths);

// Scales the grid's column widths and row heights by M / D, as the window's
// scaling does with its controls.
void scale_fault_grid(QTableWidget* grid, const FaultColumnWidths& widths, int M, int D);

// A disabled grid keeps the normal text colours, so it stays readable.
void keep_colours_when_disabled(QWidget* widget);

}  // namespace velmo
