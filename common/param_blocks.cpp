#include "common/param_blocks.h"

#include <algorithm>
#include <map>

namespace velmo {

namespace {

constexpr int kMaxBlock = 100;  // registers per request, well inside a Modbus frame

bool readable(const ParamRow& row) { return row.reg >= 0 && !row.has(kNoGroupIO); }

bool writable(const ParamRow& row) {
  return readable(row) && row.kind != RowKind::Display && !row.has(kNoGroupWrite) && !row.has(kDownloadSingly);
}

// "F1-08/09" starts at F1-08 and ends at F1-09.
QString first_code(const QString& code) { return code.section(QLatin1Char('/'), 0, 0); }
QString last_code(const QString& code) {
  if (!code.contains(QLatin1Char('/'))) return code;
  const QString head = code.section(QLatin1Char('/'), 0, 0);
  return head.left(head.lastIndexOf(QLatin1Char('-')) + 1) + code.section(QLatin1Char('/'), 1, 1);
}

// Runs of consecutive registers; each register remembers the row holding it.
std::vector<ParamBlock> runs(const std::map<int, const ParamRow*>& regs, uint8_t function) {
  std::vector<ParamBlock> blocks;
  for (const auto& [reg, row] : regs) {
    (void)row;
    if (!blocks.empty() && blocks.back().start + blocks.back().count == reg && blocks.back().count < kMaxBlock)
      ++blocks.back().count;
    else
      blocks.push_back({reg, 1, function, {}});
  }
  return blocks;
}

}  // namespace

std::vector<const ParamRow*> group_rows(const ParamTable& table, int group, int layout) {
  std::vector<const ParamRow*> rows;
  // A group the layout lacks has no rows in it, whatever its rows say.
  if (layout < 0 || layout >= 32 || !((table.groups[static_cast<size_t>(group)].layouts >> layout) & 1u)) return rows;
  for (const auto& row : table.rows)
    if (row.group == group && row.in_layout(layout)) rows.push_back(&row);
  return rows;
}

std::vector<ParamBlock> read_blocks(const ParamTable& table, int group, int layout) {
  std::map<int, const ParamRow*> regs;
  for (const ParamRow* row : group_rows(table, group, layout))
    if (readable(*row))
      for (int k = 0; k < row->reg_count(); ++k) regs[row->reg + k] = row;
  auto blocks = runs(regs, 3);
  for (auto& b : blocks) b.fail_text = table.groups[group].read_fail;
  return blocks;
}

std::vector<ParamBlock> write_blocks(const ParamTable& table, int group, int layout) {
  std::map<int, const ParamRow*> together;
  std::vector<ParamBlock> alone;
  for (const ParamRow* row : group_rows(table, group, layout)) {
    if (!writable(*row)) continue;
    if (row->written_alone(layout)) {
      alone.push_back({row->reg, 1, 6, {}});
      continue;
    }
    for (int k = 0; k < row->reg_count(); ++k) together[row->reg + k] = row;
  }
  auto blocks = runs(together, 16);
  // Each block in the order of its first register.
  blocks.insert(blocks.end(), alone.begin(), alone.end());
  std::stable_sort(blocks.begin(), blocks.end(), [](const auto& a, const auto& b) { return a.start < b.start; });

  const GroupDef& def = table.groups[group];
  for (auto& b : blocks) {
    b.fail_text = def.write_fail;
    if (def.block_fail_texts && blocks.size() > 1) {
      const ParamRow* first = table.row_by_reg(b.start, layout);
      const ParamRow* last = table.row_by_reg(b.start + b.count - 1, layout);
      if (first && last)
        b.fail_text = first_code(first->code) + QStringLiteral("~") + last_code(last->code) + QStringLiteral("参数修改失败");
    }
  }
  return blocks;
}

std::vector<const ParamRow*> download_singles(const ParamTable& table, int group, int layout) {
  std::vector<const ParamRow*> rows;
  for (const ParamRow* row : group_rows(table, group, layout))
    if (row->has(kDownloadSingly) && readable(*row)) rows.push_back(row);
  return rows;
}

bool group_is_written(const ParamTable& table, int group, int layout) {
  return !write_blocks(table, group, layout).empty() || !download_singles(table, group, layout).empty();
}

std::vector<int> menu_registers(const ParamTable& table, int layout) {
  std::vector<int> regs;
  for (size_t g = 0; g < table.groups.size(); ++g)
    for (const auto& b : read_blocks(table, static_cast<int>(g), layout))
      for (int k = 0; k < b.count; ++k) regs.push_back(b.start + k);
  return regs;
}

}  // namespace velmo
