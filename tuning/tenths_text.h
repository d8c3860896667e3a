#pragma once
#include <cstdint>
#include <string>

namespace velmo::tuning {

// A value held in tenths as the fields show it: 875 -> "87.5", 200 -> "20.0".
std::string tenths_text(int64_t tenths);

}  // namespace velmo::tuning
