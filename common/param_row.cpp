#include "common/param_row.h"

#include <stdexcept>

namespace velmo {

ListItems numbered_items(std::initializer_list<const char*> texts) {
  ListItems items;
  for (const char* t : texts) {
    const QString text = QString::fromUtf8(t);
    int n = 0;
    while (n < text.size() && text[n].isDigit()) ++n;
    if (n == 0) throw std::logic_error("list item without a leading number: " + text.toStdString());
    items.push_back({text, text.left(n).toInt()});
  }
  return items;
}

ListItems number_items(int first, int last) {
  ListItems items;
  for (int v = first; v <= last; ++v) items.push_back({QString::number(v), v});
  return items;
}

ListItems tenths_items(int first_tenths, int last_tenths) {
  ListItems items;
  for (int v = first_tenths; v <= last_tenths; ++v)
    items.push_back({QString::number(v / 10) + QLatin1Char('.') + QString::number(v % 10), v});
  return items;
}

int ParamTable::group_index(const QString& code) const {
  for (size_t g = 0; g < groups.size(); ++g)
    if (groups[g].code == code) return static_cast<int>(g);
  return -1;
}

const ParamRow* ParamTable::row_by_control(const QString& control) const {
  for (const auto& row : rows)
    if (row.control && control == QLatin1String(row.control)) return &row;
  return nullptr;
}

const ParamRow* ParamTable::row_by_reg(int reg, int layout) const {
  for (const auto& row : rows)
    if (row.in_layout(layout) && row.reg >= 0 && reg >= row.reg && reg < row.reg + row.reg_count()) return &row;
  return nullptr;
}

namespace {
ParamRow base_row(const char* code, const char* caption, const char* control, int reg) {
  ParamRow row;
  row.code = QString::fromUtf8(code);
  row.caption = QString::fromUtf8(caption);
  row.control = control;
  row.reg = reg;
  return row;
}
}  // namespace

ParamRow list_row(const char* code, const char* caption, const char* control, int reg, ListItems items,
                  const char* form_text) {
  ParamRow row = base_row(code, caption, control, reg);
  row.kind = RowKind::List;
  row.items = std::move(items);
  row.form_text = QString::fromUtf8(form_text);
  return row;
}

ParamRow int_row(const char* code, const char* caption, const char* control, int reg, double min, double max,
                 const char* empty, const char* form_text, const char* unit, const char* hint) {
  return dec_row(code, caption, control, reg, 0, min, max, empty, form_text, unit, hint);
}

ParamRow dec_row(const char* code, const char* caption, const char* control, int reg, int decimals, double min,
                 double max, const char* empty, const char* form_text, const char* unit, const char* hint) {
  ParamRow row = base_row(code, caption, control, reg);
  row.kind = RowKind::Number;
  row.codec.decimals = static_cast<uint8_t>(decimals);
  row.codec.scale = decimals == 0 ? 1 : decimals == 1 ? 10 : decimals == 2 ? 100 : 1000;
  row.min = min;
  row.max = max;
  row.empty = QString::fromUtf8(empty);
  row.form_text = QString::fromUtf8(form_text);
  row.unit = QString::fromUtf8(unit);
  row.hint = QString::fromUtf8(hint);
  return row;
}

ParamRow display_row(const char* code, const char* caption, const char* control, int reg, DisplayFormat format) {
  ParamRow row = base_row(code, caption, control, reg);
  row.kind = RowKind::Display;
  row.display = format;
  return row;
}

TableSection& TableSection::add(ParamRow row) {
  row.group = group_;
  row.layouts = layouts_;
  table_.rows.push_back(std::move(row));
  return *this;
}

}  // namespace velmo
