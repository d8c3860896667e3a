#pragma once
#include <span>

#include "common/fault_grid.h"

namespace velmo {

// The inverter fault codes Er-0 to Er-13 as the inverter's manual words them.
// Er-4 and Er-12 take two lines each.
std::span<const FaultTableRow> inverter_fault_rows();

inline constexpr FaultTableHeader kInverterFaultHeader{"故障码", "故障名称", "故障原因及解决方法"};

}  // namespace velmo
