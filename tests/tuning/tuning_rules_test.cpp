// Rules of the tuning window that need no drive: the stroke-to-pulse rule,
// the capture's block plan, the number fields' exit rules and values.
#include <QLineEdit>
#include <gtest/gtest.h>

#include <climits>

#include "tuning/motion_capture.h"
#include "tuning/numeric_field.h"
#include "tuning/stroke_rule.h"

namespace velmo::tuning {
namespace {

TEST(StrokeRule, PulsesPerTriggerWithScaleFloorAndRegisterLimit) {
  const StrokeInput plain{3, 1, 131072, 1, 1, 1};
  const StrokeInput small_encoder{3, 1, 4096, 32, 1, 1};  // 4096 counts, 32-fold command scale
  struct Case {
    StrokeTrigger trigger;
    StrokeInput in;
    std::optional<uint32_t> pulses;
  };
  const Case cases[] = {
      {StrokeTrigger::LeaveTrialField, plain, 393000},
      {StrokeTrigger::EnterTrialField, plain, 392000},
      {StrokeTrigger::RunStart, plain, 393000},
      {StrokeTrigger::RunHalf, plain, 392000},
      // The scale counts everywhere: 3 x 4096 x 32 = 393216.
      {StrokeTrigger::LeaveTrialField, small_encoder, 393000},
      {StrokeTrigger::EnterFrequency, small_encoder, 393000},
      // Gear 3 : 2 and a divisor of 2: 3 x 131072 x 2 / 3 / 2 = 131072.
      {StrokeTrigger::RunStart, {3, 2, 131072, 1, 3, 2}, 131000},
      // A stroke that comes out as 0 is floored; after a leave to 1000.
      {StrokeTrigger::LeaveTrialField, {1, 50, 4096, 1, 1000, 1}, 1000},
      {StrokeTrigger::LeaveSelfLearnField, {1, 50, 4096, 1, 1000, 1}, 1000},
      {StrokeTrigger::RunHalf, {1, 50, 4096, 1, 1000, 1}, 2000},
      // 0x8001 carries thousands in 16 bits: 50 revolutions through a 1:100 gear do not fit.
      {StrokeTrigger::RunStart, {50, 1, 131072, 1, 1, 100}, std::nullopt},
      {StrokeTrigger::RunStart, {3, 1, 131072, 1, 0, 1}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.trigger));
    EXPECT_EQ(stroke_pulses(c.trigger, c.in), c.pulses);
  }
  // The settings write cuts a set stroke to the safe one (multiple of 2000).
  EXPECT_EQ(clamp_to_safe_stroke(500000, plain), 392000u);
  EXPECT_EQ(clamp_to_safe_stroke(4000, plain), 4000u);
}

TEST(CapturePlan, BlocksOfTwentyFiveFromTheRecording) {
  struct Case {
    int samples;
    int counted;
    size_t sent;
    uint16_t last_address;
    uint16_t last_count;
  };
  const Case cases[] = {
      {4096, 164, 164, 0x9000 + 4075, 21},
      {2050, 83, 82, 0x9000 + 2025, 25},  // the empty last block sends nothing
      {1499, 60, 60, 0x9000 + 1475, 24},
  };
  for (const Case& c : cases) {
    const CapturePlan plan = capture_plan(c.samples, 0);
    EXPECT_EQ(plan.counted_blocks, c.counted);
    ASSERT_EQ(plan.blocks.size(), c.sent);
    EXPECT_EQ(plan.blocks.back().address, c.last_address);
    EXPECT_EQ(plan.blocks.back().count, c.last_count);
    EXPECT_EQ(plan.blocks.back().byte_offset, 100 * static_cast<int>(c.sent - 1));
  }
}

TEST(NumberFields, ExitRules) {
  const FieldRule ratio{"Edit20", 1, 100, "1.0", true};
  const FieldRule integral{"Edit42", 1, 400, "20.0", true};
  const FieldRule frequency{"Edit68", 10, 5000, "10", false, 4, nullptr, 10};
  const FieldRule gear{"Edit28", 1, 2559999, "1", false, 8};
  struct Case {
    const FieldRule& rule;
    const char* typed;
    const char* shown;
  };
  const Case cases[] = {
      {ratio, "0.5", "1.0"},   {ratio, "250", "100.0"}, {ratio, "", "1.0"},     {ratio, "2.26", "2.3"},
      {integral, "", "20.0"},  {integral, "450", "400.0"}, {frequency, "1234", "1230"},
      {frequency, "5", "10"},  {gear, "0", "1"},          {gear, "99999999", "2559999"},
      // A pasted non-number counts as empty.
      {ratio, "nan", "1.0"},   {frequency, "NaN", "10"},  {gear, "inf", "1"},     {integral, "-inf", "20.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.rule.name) + " " + c.typed);
    EXPECT_EQ(apply_rule(c.rule, QString::fromLatin1(c.typed)), QString::fromLatin1(c.shown));
  }
}

TEST(NumberFields, ValuesReadFromAFieldAreNumbersOrZero) {
  QLineEdit edit;
  struct Case {
    const char* text;
    int as_int;
    double as_double;
  };
  const Case cases[] = {
      {"12.7", 12, 12.7}, {" -3.5 ", -4, -3.5}, {"", 0, 0.0},   {"abc", 0, 0.0},
      {"nan", 0, 0.0},    {"inf", 0, 0.0},      {"-inf", 0, 0.0},
      // Beyond int: the nearest bound, never an undefined cast.
      {"1e30", INT_MAX, 1e30}, {"-1e30", INT_MIN, -1e30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    edit.setText(QString::fromLatin1(c.text));
    EXPECT_EQ(field_int(&edit), c.as_int);
    EXPECT_DOUBLE_EQ(field_double(&edit), c.as_double);
  }
}

}  // namespace
}  // namespace velmo::tuning
