#pragma once
#include <cstdint>

class QComboBox;

namespace velmo {
struct DriveLinkState;
}

namespace velmo::servo {

// The servo a window's own node list points at, with the values the node
// search and connect step stored for it. Windows take the menu layout and
// encoder resolution from here on every operation: nothing shared says which
// drive is "current".
struct SelectedServo {
  bool valid = false;
  uint8_t address = 0;
  int list_pos = -1;
  uint32_t subtype = 0;     // menu variant (low byte of the stored word)
  uint32_t resolution = 0;  // encoder pulses per revolution, never 0
};

SelectedServo selected_servo(const DriveLinkState& st, const QComboBox* nodes);

// The same for a station address (a command replayed for the drive it was
// given for, whatever the list shows by then).
SelectedServo servo_by_address(const DriveLinkState& st, int address);

}  // namespace velmo::servo
