#include "common/param_controls.h"

#include <QFocusEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <map>

#include "common/param_codec.h"

namespace velmo {

QValidator::State RowValidator::validate(QString& input, int&) const {
  return text_allowed(row_, input) ? Acceptable : Invalid;
}

ParamEdit::ParamEdit(const ParamRow& row, QWidget* parent) : QLineEdit(parent), row_(row) {
  setObjectName(QString::fromLatin1(row.control));
  setText(row.form_text);
  setToolTip(row.hint);
  if (row.kind == RowKind::Display) {
    setReadOnly(true);
  } else {
    // The validator limits what is typed; a clamped text the field writes
    // itself ("3000.0" in a five-character field) is never cut short.
    setValidator(new RowValidator(row_, this));
  }
}

void ParamEdit::focus_next() {
  moving_on_ = true;
  focusNextChild();
  moving_on_ = false;
}

void ParamEdit::keyPressEvent(QKeyEvent* event) {
  if (!isReadOnly() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
    event->accept();
    emit entered();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void ParamEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (moving_on_ || isReadOnly()) return;
  if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
  emit left();
}

ParamCombo::ParamCombo(const ParamRow& row, QWidget* parent) : QComboBox(parent), row_(row) {
  setObjectName(QString::fromLatin1(row.control));
  setFocusPolicy(Qt::StrongFocus);
  for (const auto& item : row.items) addItem(item.text, item.value);
  setCurrentIndex(findText(row.form_text));
  setToolTip(row.hint);
  // The only text shown in place of an item is a value none carries: it reads as a value, not as a hint.
  QPalette p = palette();
  for (const auto group : {QPalette::Active, QPalette::Inactive})
    p.setColor(group, QPalette::PlaceholderText, p.color(group, QPalette::ButtonText));
  setPalette(p);
}

void ParamCombo::wheelEvent(QWheelEvent* event) { event->ignore(); }

namespace {

constexpr int kRowsPerColumn = 13;

QGroupBox* box_for(const ParamTable& table, const ParamRow& row, const std::vector<std::vector<QGroupBox*>>& boxes) {
  const auto& defs = table.groups[row.group].boxes;
  for (size_t b = 0; b < defs.size(); ++b)
    if (defs[b].layouts & row.layouts) return boxes[row.group][b];
  return nullptr;
}

}  // namespace

BuiltControls build_param_controls(const ParamTable& table, QWidget* area) {
  BuiltControls built;
  built.by_row.assign(table.rows.size(), nullptr);
  built.labels.assign(table.rows.size(), nullptr);
  built.units.assign(table.rows.size(), nullptr);

  std::vector<QGridLayout*> page_grids;
  std::vector<int> groups_on_page(std::max<size_t>(table.tabs.size(), 1), 0);
  if (auto* tabs = qobject_cast<QTabWidget*>(area)) {
    for (const QString& caption : table.tabs) {
      auto* page = new QWidget;
      page->setObjectName(QStringLiteral("TabSheet%1").arg(built.pages.size() + 1));
      auto* grid = new QGridLayout(page);
      tabs->addTab(page, caption);
      built.pages.push_back(page);
      page_grids.push_back(grid);
    }
  } else {
    // One plain area holds every group box.
    built.pages.push_back(area);
    page_grids.push_back(new QGridLayout(area));
  }

  // Boxes: the alternatives of one group (one per layout) share a place;
  // groups naming the same box share it.
  std::vector<std::vector<QGroupBox*>> boxes(table.groups.size());
  std::map<QGroupBox*, QGridLayout*> box_grid;
  std::map<QString, QGroupBox*> by_name;
  for (size_t g = 0; g < table.groups.size(); ++g) {
    const GroupDef& def = table.groups[g];
    const size_t page = static_cast<size_t>(def.tab) % page_grids.size();
    bool placed = false;
    for (const auto& b : def.boxes) {
      const QString name = QString::fromLatin1(b.name);
      if (auto it = by_name.find(name); it != by_name.end()) {
        boxes[g].push_back(it->second);
        continue;
      }
      const int slot = placed ? groups_on_page[page] - 1 : groups_on_page[page]++;
      placed = true;
      auto* box = new QGroupBox(b.caption);
      box->setObjectName(name);
      box_grid[box] = new QGridLayout(box);
      page_grids[page]->addWidget(box, slot / 2, slot % 2, Qt::AlignTop);
      boxes[g].push_back(box);
      by_name[name] = box;
      built.boxes.push_back({box, b.layouts});
    }
  }

  std::map<QGroupBox*, int> rows_in_box;
  // Alternatives of one register (rows of disjoint layouts) share one place.
  struct Placed {
    QGroupBox* box;
    int reg;
    uint32_t layouts;
    int n;
  };
  std::vector<Placed> placed_rows;

  for (size_t i = 0; i < table.rows.size(); ++i) {
    const ParamRow& row = table.rows[i];
    if (!row.control) continue;
    QGroupBox* box = box_for(table, row, boxes);
    if (!box) continue;
    QGridLayout* grid = box_grid[box];
    int n = -1;
    for (Placed& p : placed_rows)
      if (p.box == box && row.reg >= 0 && p.reg == row.reg && (p.layouts & row.layouts) == 0) {
        n = p.n;
        p.layouts |= row.layouts;
        break;
      }
    if (n < 0) {
      n = rows_in_box[box]++;
      placed_rows.push_back({box, row.reg, row.layouts, n});
    }
    const int line = n % kRowsPerColumn, column = 3 * (n / kRowsPerColumn);

    QWidget* control = nullptr;
    if (row.kind == RowKind::List) {
      auto* combo = new ParamCombo(row, box);
      combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
      control = combo;
    } else {
      // Wide enough for a signed five-digit value with a decimal point, no wider.
      control = new ParamEdit(row, box);
      const QFontMetrics metrics(control->font());
      control->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("-00000.00")) + 16);
    }
    if (row.has(kRowDisabled)) control->setEnabled(false);
    auto* label = new QLabel(row.label(), box);
    auto* unit = new QLabel(row.unit, box);
    grid->addWidget(label, line, column);
    // Each control keeps its natural width; the space left over stays empty.
    grid->addWidget(control, line, column + 1, Qt::AlignLeft);
    grid->addWidget(unit, line, column + 2);
    built.by_row[i] = control;
    built.labels[i] = label;
    built.units[i] = unit;
  }
  for (auto* grid : page_grids) grid->setRowStretch(grid->rowCount(), 1);
  return built;
}

}  // namespace velmo
