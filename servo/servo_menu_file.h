#pragma once
#include <QByteArray>

#include <cstdint>
#include <vector>

#include "common/menu_file.h"

namespace velmo {

// The servo menu file: "SERVO", "ADDR    DATA", then every register of the
// layout's menu read in read order.
MenuFileContent servo_menu_content(const std::vector<int32_t>& image, int layout);

enum class ServoFileVerdict {
  Ok,
  Malformed,     // unreadable, short, or not the registers of the drive's layout
  OtherVersion,  // written by a drive with another menu variant
};

// Checks a parsed file against the drive it is meant for (its menu variant).
ServoFileVerdict check_servo_menu_file(const MenuFileParse& parsed, uint32_t variant);

}  // namespace velmo
