#pragma once
#include <span>

#include "servo/servo_fault_rows.h"

class QRect;
class QTableWidget;
class QWidget;

namespace velmo::servo {

// A read-only reference grid: the header texts in a fixed top row, one text
// line per row and an empty last row on which the selection is parked, so no
// text row shows as selected. Row numbers match the table's own: row 0 is the
// header, texts start at row 1.
QTableWidget* make_fault_grid(QWidget* parent, const char* name, const QRect& geometry,
                              const FaultTableHeader& header, std::span<const FaultTableRow> rows);

// Scales the grid's column widths and row heights by M / D, as the window's
// scaling does with its controls.
void scale_fault_grid(QTableWidget* grid, int M, int D);

}  // namespace velmo::servo
