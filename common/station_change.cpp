#include "common/station_change.h"

#include <algorithm>

namespace velmo {

namespace {

bool held_by_other(const DriveLinkState& st, int address, int own) {
  if (address == own) return false;
  auto in = [address](const auto& nodes, int count) {
    return std::find(nodes.begin(), nodes.begin() + count, address) != nodes.begin() + count;
  };
  return in(st.servo_nodes, st.servo_count) || in(st.bpq_nodes, st.bpq_count) || in(st.tsq_nodes, st.tsq_count);
}

template <typename T>
void move(ByAddr<T>& records, int from, int to) {
  records[to] = records[from];
  records[from] = T{};
}

}  // namespace

std::optional<int> free_station(const DriveLinkState& st, int typed, int own) {
  for (int a = std::max(typed, 1); a <= kMaxStation; ++a)
    if (!held_by_other(st, a, own)) return a;
  return std::nullopt;
}

void move_station_records(DriveLinkState& st, int from, int to) {
  if (from == to || from < 1 || to < 1 || from >= kAddrSlots || to >= kAddrSlots) return;
  move(st.servo_saved_params, from, to);
  move(st.servo_run_mode, from, to);
  move(st.servo_gain_switch, from, to);
  move(st.bpq_rs485_regs, from, to);
  move(st.tsq_reg1, from, to);
  move(st.tsq_reg2, from, to);
  move(st.servo_restore_flags, from, to);
  move(st.servo_rs485_mode, from, to);
  move(st.servo_run_state, from, to);
  move(st.servo_jog_mode, from, to);
  move(st.bpq_run_state, from, to);
  move(st.tsq_run_state, from, to);
}

void renumber_node(DriveLinkState& st, NodeListGroup family, int from, int to) {
  move_station_records(st, from, to);
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
