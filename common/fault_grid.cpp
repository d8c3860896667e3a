#include "common/fault_grid.h"

#include <QFont>
#include <QHeaderView>
#include <QPalette>
#include <QTableWidget>

#include "common/window_sizing.h"

namespace velmo {
namespace {

constexpr int kRowHeight = 22;

QTableWidgetItem* cell(const char* text) {
  auto* item = new QTableWidgetItem(QString::fromUtf8(text));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

}  // namespace

QTableWidget* make_fault_grid(QWidget* parent, const char* name, const QRect& geometry, const FaultTableHeader& header,
                              std::span<const FaultTableRow> rows, const FaultColumnWidths& widths) {
  const int row_count = static_cast<int>(rows.size()) + 2;  // header + texts + the parking row
  auto* grid = new QTableWidget(row_count, 3, parent);
  grid->setObjectName(QString::fromLatin1(name));
  grid->setGeometry(geometry);

  QFont font(QStringLiteral("宋体"));
  font.setPixelSize(14);
  grid->setFont(font);
  QPalette palette = grid->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Button));
  grid->setPalette(palette);
  grid->setFocusPolicy(Qt::NoFocus);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setShowGrid(true);
  grid->setWordWrap(false);
  grid->verticalHeader()->hide();
  grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
  for (int c = 0; c < 3; ++c) grid->setColumnWidth(c, widths[static_cast<size_t>(c)]);

  // Row 0 holds the header texts like every other row; the grid's own header
  // shows them so they stay in place while the rows scroll.
  const char* titles[] = {header.code, header.name, header.cause};
  for (int c = 0; c < 3; ++c) {
    grid->setItem(0, c, cell(titles[c]));
    grid->setHorizontalHeaderItem(c, cell(titles[c]));
  }
  grid->setRowHidden(0, true);
  grid->horizontalHeader()->setFixedHeight(kRowHeight);
  grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid->horizontalHeader()->setSectionsClickable(false);

  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    grid->setItem(r + 1, 0, cell(rows[r].code));
    grid->setItem(r + 1, 1, cell(rows[r].name));
    grid->setItem(r + 1, 2, cell(rows[r].cause));
  }
  for (int c = 0; c < 3; ++c) grid->setItem(row_count - 1, c, cell(""));
  // Parking the selection must not scroll the rows (now or when shown).
  grid->setAutoScroll(false);
  grid->setCurrentCell(row_count - 1, 0);
  return grid;
}

void scale_fault_grid(QTableWidget* grid, const FaultColumnWidths& widths, int M, int D) {
  for (int c = 0; c < 3; ++c) grid->setColumnWidth(c, scale_length(widths[static_cast<size_t>(c)], M, D));
  const int row_height = scale_length(kRowHeight, M, D);
  grid->verticalHeader()->setMinimumSectionSize(1);
  grid->verticalHeader()->setDefaultSectionSize(row_height);
  grid->horizontalHeader()->setFixedHeight(row_height);
}

void keep_colours_when_disabled(QWidget* widget) {
  QPalette palette = widget->palette();
  for (const QPalette::ColorRole role : {QPalette::Text, QPalette::Base, QPalette::ButtonText, QPalette::WindowText})
    palette.setColor(QPalette::Disabled, role, palette.color(QPalette::Active, role));
  widget->setPalette(palette);
}

}  // namespace velmo
