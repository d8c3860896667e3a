#pragma once
#include <optional>

#include "common/node_lists.h"
#include "drivelink/drive_link_state.h"

namespace velmo {

// The station number a node may take when `typed` is asked for: the lowest
// address at or above it (1..247) that no other node on the line holds; the
// node's own address counts as free. None when every address up to 247 is
// taken.
std::optional<int> free_station(const DriveLinkState& st, int typed, int own);

// Moves every per-address record of the node (connect snapshot, restore and
// run flags, family registers) from one address to another and clears the old.
void move_station_records(DriveLinkState& st, int from, int to);

// The drive accepted its new station: its records move and its entry in the
// family's node list changes. The lists of the windows follow it through
// LinkEvents::station_moved, which the caller emits.
void renumber_node(DriveLinkState& st, NodeListGroup family, int from, int to);

}  // namespace velmo
