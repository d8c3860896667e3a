#pragma once
#include <cstdint>

#include "common/menu_file.h"

namespace velmo {

enum class ServoFileVerdict {
  Ok,
  Malformed,     // unreadable, short, or not the registers of the drive's layout
  OtherVersion,  // written by a drive with another menu variant
};

// Checks a parsed servo menu file ("SERVO", "ADDR    DATA", every register of
// the layout's menu read in read order) against the drive it is meant for
// (its menu variant).
ServoFileVerdict check_servo_menu_file(const MenuFileParse& parsed, uint32_t variant);

}  // namespace velmo
