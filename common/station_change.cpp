#include "common/station_change.h"

#include <algorithm>

#include "drivelink/drive_identity.h"

namespace velmo {

namespace {

bool held_by_other(const DriveLinkState& st, int address, int own) {
  if (address == own) return false;
  auto in = [address](const auto& nodes, int count) {
    return std::find(nodes.begin(), nodes.begin() + count, address) != nodes.begin() + count;
  };
  return in(st.servo_nodes, st.servo_count) || in(st.bpq_nodes, st.bpq_count) || in(st.tsq_nodes, st.tsq_count);
}

}  // namespace

std::optional<int> free_station(const DriveLinkState& st, int typed, int own) {
  for (int a = std::max(typed, 1); a <= kMaxStation; ++a)
    if (!held_by_other(st, a, own)) return a;
  return std::nullopt;
}

void move_station_records(DriveLinkState& st, int from, int to) {
  if (from == to || from < 1 || to < 1 || from >= kAddrSlots || to >= kAddrSlots) return;
  // The flags kept by list position stay where the drive is listed.
  put_station_records(st, to, take_station_records(st, from, false), false);
}

void renumber_node(DriveLinkState& st, NodeListGroup family, int from, int to) {
  move_station_records(st, from, to);
  drive_renumbered(st, from, to);
  auto replace = [&](auto& nodes, int count) {
    std::replace(nodes.begin(), nodes.begin() + count, static_cast<uint8_t>(from), static_cast<uint8_t>(to));
  };
  switch (family) {
    case NodeListGroup::Servo: replace(st.servo_nodes, st.servo_count); break;
    case NodeListGroup::Inverter: replace(st.bpq_nodes, st.bpq_count); break;
    case NodeListGroup::SpeedController: replace(st.tsq_nodes, st.tsq_count); break;
    case NodeListGroup::All: break;
  }
}

}  // namespace velmo
