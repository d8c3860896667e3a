#pragma once
#include <span>

#include "common/fault_grid.h"

namespace velmo::servo {

using velmo::FaultTableHeader;
using velmo::FaultTableRow;

// Faults Er-0 to Er-25 and warnings Er-30 to Er-37, as the drive's manual
// words them (its typos included: the texts must match the printed manual).
std::span<const FaultTableRow> servo_fault_rows();
std::span<const FaultTableRow> servo_warning_rows();

inline constexpr FaultTableHeader kServoFaultHeader{"故障码", "故障名称", "故障原因及解决方法"};
inline constexpr FaultTableHeader kServoWarningHeader{"警告码", "警告名称", "警告原因及解决方法"};

}  // namespace velmo::servo
