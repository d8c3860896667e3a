#include "tuning/tenths_text.h"

namespace velmo::tuning {

std::string tenths_text(int64_t tenths) {
  const bool negative = tenths < 0;
  const uint64_t a = negative ? 0 - static_cast<uint64_t>(tenths) : static_cast<uint64_t>(tenths);
  return (negative ? "-" : "") + std::to_string(a / 10) + "." + std::to_string(a % 10);
}

}  // namespace velmo::tuning
