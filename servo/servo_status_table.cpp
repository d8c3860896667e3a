#include "servo/servo_status_table.h"

namespace velmo::servo_status {

namespace {

constexpr ValueRow kValues[] = {
    {0x2004, "Edit6", "当前转速：", "rpm", ValueFormat::SignedSpeed},
    {0x2005, "Edit7", "当前转矩：", "%", ValueFormat::Unsigned},
    {0x2006, "Edit8", "最高转速：", "rpm", ValueFormat::Unsigned},
    {0x2007, "Edit9", "最大转矩：", "%", ValueFormat::Unsigned},
    {0x2008, "Edit10", "驱动器最高温度值：", "℃", ValueFormat::Unsigned},
    {0x2009, "Edit11", "制动电阻最大负载率：", "%", ValueFormat::Unsigned},
    {0x200A, "Edit12", "母线电压最大值：", "V", ValueFormat::Unsigned},
    {0x200B, "Edit13", "母线电压最小值：", "V", ValueFormat::Unsigned},
};

constexpr BitRow kBits[] = {
    {0, "Shape1", "停止", RunEffect::Stopped},
    {1, "Shape2", "正转", RunEffect::Running},
    {2, "Shape3", "反转", RunEffect::Running},
    {3, "Shape4", "故障", RunEffect::Fault},
    {4, "Shape5", "安全开关闭合", RunEffect::None},
    {5, "Shape6", "速度模式转矩到达", RunEffect::None},
    {6, "Shape7", "速度模式锁轴生效", RunEffect::None},
    {7, "Shape8", "转矩模式转速到达", RunEffect::None},
};

constexpr HighByteLamp kHighByte{"Shape9", "转矩模式锁轴生效", 1};

// Index = fault code; codes 27..30 have no text.
constexpr const char* kFaultTexts[] = {
    "",
    "系统参数异常",
    "大幅度过电流",
    "过电流",
    "通讯超时",
    "过电压",
    "输入缺相",
    "低电压",
    "驱动器过热",
    "电机过载保护",
    "电机过热",
    "编码器故障",
    "编码器通讯不稳定",
    "正反转极限设置错误",
    "电机与驱动器不匹配",
    "电机动力线连接异常",
    "电机U、V、W相序接错",
    "失电制动器异常",
    "位置偏差过大",
    "回机械原点异常",
    "制动电阻负载率过高",
    "超正转极限",
    "超反转极限",
    "超极限",
    "电机振动过大",
    "安全开关断开",
    "电流传感器偏置电压异常",
    "",
    "",
    "",
    "",
    "安全开关断开！！",
    "旋转方向限制！！",
    "超极限转速！！",
    "超极限转矩！！",
    "电机过热预警！！",
    "驱动器过热预警！！",
    "未设置机械原点！！",
    "自学习失败！！",
};

}  // namespace

std::span<const ValueRow> value_rows() { return kValues; }
std::span<const BitRow> bit_rows() { return kBits; }
const HighByteLamp& high_byte_lamp() { return kHighByte; }

QString format_value(ValueFormat format, uint16_t word) {
  if (format == ValueFormat::SignedSpeed && word > 32768)
    return QStringLiteral("-") + QString::number(65536 - word);
  return QString::number(word);
}

Lamps lamps_of(uint16_t status_word) {
  Lamps lamps;
  for (const BitRow& row : kBits) lamps.bits[row.bit] = (status_word >> row.bit) & 1;
  lamps.high_byte = (status_word >> 8) == kHighByte.lit_value;
  return lamps;
}

uint8_t run_state_after(uint16_t status_word, bool under_bus_control, uint8_t run_state) {
  for (const BitRow& row : kBits) {
    if (!((status_word >> row.bit) & 1)) continue;
    switch (row.effect) {
      case RunEffect::Stopped: run_state = 0; break;
      case RunEffect::Running: if (under_bus_control) run_state = 1; break;
      case RunEffect::Fault: if (under_bus_control) run_state = 2; break;
      case RunEffect::None: break;
    }
  }
  return run_state;
}

QString servo_fault_texts(uint8_t code) {
  if (code >= std::size(kFaultTexts)) return {};
  return QString::fromUtf8(kFaultTexts[code]);
}

FaultDisplay fault_display(uint8_t code) {
  if (code == 0) return {QStringLiteral("无故障"), QString()};
  return {QStringLiteral("Er-") + QString::number(code - 1), servo_fault_texts(code)};
}

}  // namespace velmo::servo_status
