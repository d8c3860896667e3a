#pragma once
#include <QString>

#include <cstdint>
#include <vector>

#include "common/param_row.h"

namespace velmo {

// One request of a group read or write: `count` registers from `start` with
// function 03, 16 or 06, and the text a refused request logs.
struct ParamBlock {
  int start = 0;
  int count = 0;
  uint8_t function = 3;
  QString fail_text;
  bool operator==(const ParamBlock&) const = default;
};

// Rows of a group that belong to a layout, in table order.
std::vector<const ParamRow*> group_rows(const ParamTable& table, int group, int layout);

// The group's reads: every run of consecutive registers of its rows.
std::vector<ParamBlock> read_blocks(const ParamTable& table, int group, int layout);
// The group's writes: runs of its writable registers as function-16 blocks;
// a row written alone becomes its own function-06 request.
std::vector<ParamBlock> write_blocks(const ParamTable& table, int group, int layout);
// Rows the download sends with single writes right after the group.
std::vector<const ParamRow*> download_singles(const ParamTable& table, int group, int layout);
// True when a download sends anything of the group (its blocks or singles).
bool group_is_written(const ParamTable& table, int group, int layout);

// Every register of the layout's read blocks, in read order (the menu file's lines).
std::vector<int> menu_registers(const ParamTable& table, int layout);

}  // namespace velmo
