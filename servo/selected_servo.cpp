#include "servo/selected_servo.h"

#include <QComboBox>

#include "drivelink/drive_link_state.h"
#include "servo/servo_position.h"

namespace velmo::servo {

SelectedServo servo_by_address(const DriveLinkState& st, int address) {
  SelectedServo out;
  if (address < 1 || address > kMaxStation) return out;
  // The values belong to the station, not to a list row: an address that is
  // not in the servo list has no known layout and is refused.
  for (int pos = 0; pos < st.servo_count; ++pos) {
    if (st.servo_nodes[pos] != address) continue;
    out.valid = true;
    out.address = static_cast<uint8_t>(address);
    out.list_pos = pos;
    out.subtype = st.servo_subtype_list[pos] & 0xFF;
    out.resolution = st.servo_resolution_list[pos] ? st.servo_resolution_list[pos] : kDefaultResolution;
    break;
  }
  return out;
}

SelectedServo selected_servo(const DriveLinkState& st, const QComboBox* nodes) {
  if (!nodes) return {};
  bool ok = false;
  const int address = nodes->currentText().trimmed().toInt(&ok);
  return ok ? servo_by_address(st, address) : SelectedServo{};
}

}  // namespace velmo::servo
