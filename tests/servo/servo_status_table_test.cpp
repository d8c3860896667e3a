// The servo status block: value formats, lamps, run state and fault texts.
#include <QMap>
#include <gtest/gtest.h>

#include "servo/servo_fault_rows.h"
#include "servo/servo_status_table.h"

namespace velmo::servo_status {
namespace {

TEST(ServoStatusTable, SpeedSignAndUnsignedValues) {
  struct Case {
    ValueFormat format;
    uint16_t word;
    const char* shown;
  };
  const Case cases[] = {
      {ValueFormat::SignedSpeed, 0xFF9C, "-100"}, {ValueFormat::SignedSpeed, 0x8000, "32768"},
      {ValueFormat::SignedSpeed, 0x8001, "-32767"}, {ValueFormat::SignedSpeed, 1500, "1500"},
      {ValueFormat::SignedSpeed, 0, "0"},          {ValueFormat::Unsigned, 0xFF9C, "65436"},
  };
  for (const Case& c : cases) EXPECT_EQ(format_value(c.format, c.word), QString::fromLatin1(c.shown)) << c.word;
}

TEST(ServoStatusTable, LampsFollowBitsAndTheWholeHighByte) {
  Lamps l = lamps_of(0x0108);
  EXPECT_TRUE(l.bits[3]);
  EXPECT_TRUE(l.high_byte);
  for (int b : {0, 1, 2, 4, 5, 6, 7}) EXPECT_FALSE(l.bits[b]) << b;
  // The high byte is compared as a whole: 3 is not 1.
  EXPECT_FALSE(lamps_of(0x0300).high_byte);
  EXPECT_TRUE(lamps_of(0x00FF).bits[7]);
}

TEST(ServoStatusTable, RunStateAfterStatusWord) {
  struct Case {
    uint16_t word;
    bool bus;
    uint8_t before;
    uint8_t after;
  };
  const Case cases[] = {
      {0x0003, true, 0, 1},   // bit 1 applied after bit 0
      {0x0003, false, 1, 0},  // not under bus control: only lowered
      {0x0108, true, 0, 2},  {0x0108, false, 1, 1}, {0x000F, true, 0, 2},
      {0x0010, true, 2, 2},  // none of bits 0..3: unchanged
      {0x0001, false, 2, 0}, {0x0004, true, 0, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(run_state_after(c.word, c.bus, c.before), c.after) << std::hex << c.word << " bus " << c.bus;
}

TEST(ServoStatusTable, FaultDisplay) {
  struct Case {
    uint8_t code;
    const char* shown;
    const char* text;
  };
  const Case cases[] = {
      {0, "无故障", ""},           {1, "Er-0", "系统参数异常"},   {5, "Er-4", "过电压"},
      {16, "Er-15", "电机U、V、W相序接错"}, {26, "Er-25", "电流传感器偏置电压异常"},
      {28, "Er-27", ""},           {31, "Er-30", "安全开关断开！！"}, {38, "Er-37", "自学习失败！！"},
      {39, "Er-38", ""},           {200, "Er-199", ""},
  };
  for (const Case& c : cases) {
    const FaultDisplay d = fault_display(c.code);
    EXPECT_EQ(d.code, QString::fromUtf8(c.shown)) << int(c.code);
    EXPECT_EQ(d.text, QString::fromUtf8(c.text)) << int(c.code);
  }
}

// The control window's fault texts and the reference table's names describe
// the same codes: the same words, except that warnings end in "！！" here and
// two names are worded differently in the reference.
TEST(ServoStatusTable, FaultTextsMatchTheReferenceNamesWithTheirKnownDifferences) {
  QMap<QString, QString> reference;  // "Er-n" -> name
  for (const auto rows : {servo::servo_fault_rows(), servo::servo_warning_rows()})
    for (const servo::FaultTableRow& row : rows)
      if (*row.code) reference.insert(QString::fromUtf8(row.code), QString::fromUtf8(row.name));

  const QMap<int, QString> worded_apart = {
      {13, QStringLiteral("正反转极限设置错误")},   // reference: "正、反转极限设置错误"
      {37, QStringLiteral("未设置机械原点！！")},  // reference: "未设机械原点"
  };
  for (int code = 1; code <= 255; ++code) {
    SCOPED_TRACE(code);
    const FaultDisplay d = fault_display(static_cast<uint8_t>(code));
    const QString name = reference.value(d.code);
    if (worded_apart.contains(code)) {
      EXPECT_EQ(d.text, worded_apart.value(code));
      EXPECT_NE(d.text, name);
    } else if (code <= 26) {
      EXPECT_EQ(d.text, name);
    } else if (code >= 31 && code <= 38) {
      EXPECT_EQ(d.text, name + QStringLiteral("！！"));
    } else {
      EXPECT_TRUE(d.text.isEmpty());
      EXPECT_TRUE(name.isEmpty());
    }
    EXPECT_EQ(d.text, servo_fault_texts(static_cast<uint8_t>(code)));
  }
}

}  // namespace
}  // namespace velmo::servo_status
