#include "servo/servo_menu_file.h"

#include "common/param_blocks.h"
#include "servo/servo_param_table.h"

namespace velmo {

namespace {
constexpr int kMenuVersionReg = 172;  // FB-02
}

ServoFileVerdict check_servo_menu_file(const MenuFileParse& parsed, uint32_t variant) {
  if (!parsed.ok()) return ServoFileVerdict::Malformed;
  const auto version = parsed.content.value(kMenuVersionReg);
  if (!version) return ServoFileVerdict::Malformed;
  if (static_cast<uint32_t>(*version % 100) != variant) return ServoFileVerdict::OtherVersion;
  if (!lists_exactly(parsed.content, menu_registers(servo_param_table(), servo_layout_of_variant(variant))))
    return ServoFileVerdict::Malformed;
  return ServoFileVerdict::Ok;
}

}  // namespace velmo
