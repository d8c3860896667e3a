#include "servo/selected_servo.h"

#include <QComboBox>

#include "main/drive_link_state.h"
#include "servo/servo_position.h"

namespace velmo::servo {

SelectedServo selected_servo(const DriveLinkState& st, const QComboBox* nodes) {
  SelectedServo out;
  if (!nodes) return out;
  bool ok = false;
  const int address = nodes->currentText().trimmed().toInt(&ok);
  if (!ok || address < 1 || address > kMaxStation) return out;

  // The values belong to the station, not to the combo's row: an address
  // that is not in the servo list has no known layout and is refused.
  int pos = -1;
  for (int i = 0; i < st.servo_count; ++i)
    if (st.servo_nodes[i] == address) {
      pos = i;
      break;
    }
  if (pos < 0) return out;

  out.valid = true;
  out.address = static_cast<uint8_t>(address);
  out.list_pos = pos;
  out.subtype = st.servo_subtype_list[pos] & 0xFF;
  out.resolution = st.servo_resolution_list[pos] ? st.servo_resolution_list[pos] : kDefaultResolution;
  return out;
}

}  // namespace velmo::servo
