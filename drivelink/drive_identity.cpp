#include "drivelink/drive_identity.h"

#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <utility>

#include <QStringList>

namespace velmo {

namespace {

constexpr char kLineSeparator = '\n';

bool valid_address(int a) { return a >= 1 && a < kAddrSlots; }

int position_of(const ByPos<uint8_t>& nodes, int count, int address) {
  for (int i = 0; i < count; ++i)
    if (nodes[i] == address) return i;
  return -1;
}

template <typename T>
T take(T& field) {
  T value = field;
  field = T{};
  return value;
}

uint32_t new_drive(DriveLinkState& st, int address, DeviceFamily family, uint16_t version, uint16_t layout) {
  st.drives_found.push_back({st.line, static_cast<uint8_t>(address), family, version, layout, ++st.found_stamp});
  return static_cast<uint32_t>(st.drives_found.size());
}

void take_back(DriveLinkState& st, int address, uint32_t tag) {
  const auto parked = st.parked.find(tag);
  if (parked == st.parked.end()) return;
  put_station_records(st, address, parked->second, true);
  st.parked.erase(parked);
}

// The latest drive that answered at this station of the line as found,
// of this layout when one is given.
uint32_t known_drive(const DriveLinkState& st, int address, DeviceFamily family, uint16_t version,
                     std::optional<uint16_t> layout) {
  uint32_t best = 0;
  for (size_t k = 0; k < st.drives_found.size(); ++k) {
    const FoundDrive& d = st.drives_found[k];
    if (d.line != st.line || d.station != address || d.family != family || d.version != version) continue;
    if (layout && d.layout != *layout) continue;
    if (best == 0 || d.seen > st.drives_found[best - 1].seen) best = static_cast<uint32_t>(k + 1);
  }
  return best;
}

// Every record kept per address or per list position, each beside its place
// in StationRecords: one list for setting a drive's records aside and for
// giving them back.
template <typename Each>
void each_record(DriveLinkState& st, int a, StationRecords& r, bool by_position, Each each) {
  each(st.servo_saved_params[a], r.servo_saved_params);
  each(st.servo_run_mode[a], r.servo_run_mode);
  each(st.servo_gain_switch[a], r.servo_gain_switch);
  each(st.bpq_rs485_regs[a], r.bpq_rs485_regs);
  each(st.tsq_reg1[a], r.tsq_reg1);
  each(st.tsq_reg2[a], r.tsq_reg2);
  each(st.servo_restore_flags[a], r.servo_restore_flags);
  each(st.servo_rs485_mode[a], r.servo_rs485_mode);
  each(st.servo_run_state[a], r.servo_run_state);
  each(st.servo_jog_mode[a], r.servo_jog_mode);
  each(st.bpq_run_state[a], r.bpq_run_state);
  each(st.tsq_run_state[a], r.tsq_run_state);
  if (!by_position) return;
  if (const int i = position_of(st.bpq_nodes, st.bpq_count, a); i >= 0) {
    each(st.bpq_restore_flags[i], r.bpq_restore_flags);
    each(st.bpq_rs485_ok[i], r.bpq_rs485_ok);
  }
  if (const int i = position_of(st.tsq_nodes, st.tsq_count, a); i >= 0) {
    each(st.tsq_restore_flags[i], r.tsq_restore_flags);
    each(st.tsq_rs485_ok[i], r.tsq_rs485_ok);
  }
}

}  // namespace

std::string line_identity(const QString& port_name) {
  const QString device = QFileInfo(port_name).canonicalFilePath();
  return (port_name + QChar(kLineSeparator) + device).toStdString();
}

QString line_name(const std::string& line) {
  const QString s = QString::fromStdString(line);
  return s.section(QChar(kLineSeparator), 0, 0);
}

StationRecords take_station_records(DriveLinkState& st, int a, bool by_position) {
  StationRecords r;
  if (!valid_address(a)) return r;
  each_record(st, a, r, by_position, [](auto& kept, auto& aside) { aside = take(kept); });
  return r;
}

void put_station_records(DriveLinkState& st, int a, const StationRecords& r, bool by_position) {
  if (!valid_address(a)) return;
  StationRecords given = r;
  each_record(st, a, given, by_position, [](auto& kept, auto& aside) { kept = aside; });
}

void begin_search(DriveLinkState& st, const std::string& line) {
  for (int a = 1; a < kAddrSlots; ++a) {
    const uint32_t tag = std::exchange(st.drive_at[a], 0u);
    if (tag != 0) st.parked[tag] = take_station_records(st, a, true);
  }
  // What is kept by list position belonged to the lists of the last search.
  st.bpq_restore_flags.fill(0);
  st.bpq_rs485_ok.fill(0);
  st.tsq_restore_flags.fill(0);
  st.tsq_rs485_ok.fill(0);
  st.line = line;
}

uint32_t drive_answered(DriveLinkState& st, int a, DeviceFamily family, uint16_t version) {
  if (!valid_address(a)) return 0;
  uint32_t tag = known_drive(st, a, family, version, std::nullopt);
  if (tag == 0)
    tag = new_drive(st, a, family, version, 0);
  else
    st.drives_found[tag - 1].seen = ++st.found_stamp;
  st.drive_at[a] = tag;
  take_back(st, a, tag);
  return tag;
}

void layout_read(DriveLinkState& st, int a, uint16_t layout) {
  const uint32_t tag = drive_tag(st, a);
  if (tag == 0) return;
  FoundDrive& d = st.drives_found[tag - 1];
  if (d.layout == layout) return;
  if (d.layout == 0 && known_drive(st, a, d.family, d.version, layout) == 0) {
    d.layout = layout;
    return;
  }
  // Another drive than the one the version suggested: what was taken back
  // for that one goes aside again.
  const DeviceFamily family = d.family;
  const uint16_t version = d.version;
  st.parked[tag] = take_station_records(st, a, true);
  uint32_t other = known_drive(st, a, family, version, layout);
  if (other == 0)
    other = new_drive(st, a, family, version, layout);
  else
    st.drives_found[other - 1].seen = ++st.found_stamp;
  st.drive_at[a] = other;
  take_back(st, a, other);
}

void drive_renumbered(DriveLinkState& st, int from, int to) {
  if (!valid_address(from) || !valid_address(to) || from == to) return;
  const uint32_t tag = std::exchange(st.drive_at[from], 0u);
  st.drive_at[to] = tag;
  if (tag == 0) return;
  FoundDrive& d = st.drives_found[tag - 1];
  d.station = static_cast<uint8_t>(to);
  d.seen = ++st.found_stamp;
}

uint32_t drive_tag(const DriveLinkState& st, int address) {
  const uint32_t tag = valid_address(address) ? st.drive_at[address] : 0;
  return tag <= st.drives_found.size() ? tag : 0;
}

uint16_t found_layout(const DriveLinkState& st, uint32_t tag) {
  return tag == 0 || tag > st.drives_found.size() ? 0 : st.drives_found[tag - 1].layout;
}

QString drive_name(const DriveLinkState& st, uint32_t tag) {
  if (tag == 0 || tag > st.drives_found.size()) return {};
  const FoundDrive& d = st.drives_found[tag - 1];
  return QStringLiteral("节点%1（%2）").arg(d.station).arg(line_name(d.line));
}

std::string drive_line(const DriveLinkState& st, uint32_t tag) {
  return tag == 0 || tag > st.drives_found.size() ? std::string() : st.drives_found[tag - 1].line;
}

std::vector<uint32_t> parked_drives(const DriveLinkState& st, const std::function<bool(const StationRecords&)>& owes) {
  std::vector<uint32_t> tags;
  for (const auto& [tag, records] : st.parked)
    if (owes(records)) tags.push_back(tag);
  return tags;
}

QString parked_names(const DriveLinkState& st, const std::vector<uint32_t>& tags) {
  QStringList names;
  for (uint32_t tag : tags) names << drive_name(st, tag);
  return names.join(QStringLiteral("、"));
}

}  // namespace velmo
