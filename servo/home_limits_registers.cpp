#include "servo/home_limits_registers.h"

namespace velmo::servo {
namespace {

constexpr HomeLimitLayout kLayout1{0x0019, 0x001A, 0x001B};
constexpr HomeLimitLayout kLayout2{0x001A, 0x001B, 0x001C};

}  // namespace

uint16_t HomeLimitLayout::register_of(HomeLimitPoint point) const {
  switch (point) {
    case HomeLimitPoint::Home: return home;
    case HomeLimitPoint::ForwardLimit: return forward_limit;
    case HomeLimitPoint::ReverseLimit: return reverse_limit;
  }
  return home;
}

const HomeLimitLayout& home_limit_layout(uint32_t servo_subtype) {
  return servo_subtype == 1 ? kLayout1 : kLayout2;
}

}  // namespace velmo::servo
