#include "drivelink/drive_link_state.h"

namespace velmo {

DriveLinkState::DriveLinkState()
    : servo_param_regs{0,   20,  37,  40,  70,  90,  100, 101, 102, 104, 108, 120, 121,
                       122, 124, 128, 129, 130, 131, 132,  // layout 1
                       0,   20,  37,  65,  100, 101, 102, 104, 108, 120, 121, 122, 124,
                       128, 129, 130, 131, 132} {}          // layout 2

}  // namespace velmo
