// The inverter parameter table as data: the register blocks it yields for
// each model type against the inverter's documented block lists, the rows
// whose ranges follow other fields, the type or the rating, and the ratings.
#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <vector>

#include "common/param_blocks.h"
#include "inverter/inverter_model_types.h"
#include "inverter/inverter_param_table.h"
#include "documented_menu.h"

namespace velmo {
namespace {

using Block = std::tuple<int, int, int>;  // start, count, function

TEST(InverterTable, BlocksOfEveryModelTypeAreTheDocumentedOnes) {
  const ParamTable& t = inverter_param_table();
  for (int type = 0; type < kInverterModelTypes; ++type) {
    SCOPED_TRACE(type);
    std::vector<std::pair<int, int>> reads;
    std::vector<Block> writes, want_writes;
    for (int g = 0; g < kInverterGroupCount; ++g) {
      for (const auto& b : read_blocks(t, g, type)) reads.emplace_back(b.start, b.count);
      for (const auto& b : write_blocks(t, g, type)) writes.emplace_back(b.start, b.count, b.function);
    }
    EXPECT_EQ(reads, kDocumentedReads[type]);
    // Writes: the same blocks as function 16, but the overload protection of
    // types 0 and 1 and the factory-reset word go alone with function 06, and
    // the version words and the model code are never written.
    for (const auto& [start, count] : kDocumentedReads[type]) {
      if (start == 170) want_writes.emplace_back(170, 1, 6);
      else if (start == 84) want_writes.emplace_back(84, 1, 6);
      else if (start != 180) want_writes.emplace_back(start, count, 16);
    }
    EXPECT_EQ(writes, want_writes);
    EXPECT_TRUE(download_singles(t, kIF0, type).empty());
  }
  EXPECT_EQ(menu_registers(t, 0).size(), 57u);
}

TEST(InverterTable, OneParameterPerCodeAndOneControlPerName) {
  const ParamTable& t = inverter_param_table();
  std::set<QString> codes, controls;
  for (const auto& row : t.rows) {
    codes.insert(row.code);
    EXPECT_TRUE(controls.insert(QString::fromLatin1(row.control)).second) << row.control;
  }
  EXPECT_EQ(codes.size(), 117u);
  for (int type = 0; type < kInverterModelTypes; ++type)
    for (int reg : menu_registers(t, type)) EXPECT_NE(t.row_by_reg(reg, type), nullptr) << type << " " << reg;
}

// Typed text → clamped text → register value, for the fields whose range
// comes from other fields, the model type, the voltage class or the rating.
TEST(InverterTable, RangesThatFollowOtherFieldsTheTypeOrTheRating) {
  const ParamTable& t = inverter_param_table();
  InverterRangeInputs rated;  // a 750 W 380 V rating, 0.75 kW chosen: 1.8..2.2 A
  rated.voltage_class = 1;
  rated.current_min = 1.8;
  rated.current_max = 2.2;
  rated.current_known = true;
  const struct {
    const char* control;
    int type;
    int voltage_class;
    bool known_rating;
    const char* typed;
    const char* shown;
    int wire;
  } cases[] = {
      {"Edit3", 0, 0, true, "", "20.0", 200},        {"Edit3", 0, 0, true, "250", "200.0", 2000},
      {"Edit1", 0, 0, true, "5000", "3000.0", 30000}, {"Edit8", 0, 0, true, "2.5", "0.0", 0},
      {"Edit8", 2, 0, true, "2.5", "3.0", 30},       {"Edit8", 4, 0, true, "1.5", "2.0", 20},
      {"Edit8", 4, 0, true, "5.5", "5.0", 50},       {"Edit9", 1, 0, true, "", "0.0", 0},
      {"Edit17", 0, 0, true, "60", "50.0", 500},     {"Edit17", 0, 0, true, "0.5", "2.0", 20},
      {"Edit17", 0, 0, true, "", "2.0", 20},         {"Edit42", 2, 0, true, "", "0.0", 0},
      {"Edit58", 2, 0, true, "-70", "-50.0", 1500},  {"Edit58", 2, 0, true, "", "0.0", 2000},
      {"Edit58", 2, 0, true, "-12.5", "-12.5", 1875}, {"Edit40", 4, 0, true, "-0.25", "-0.25", 1975},
      {"Edit40", 4, 0, true, "-0.001", "0.00", 2000}, {"Edit12", 0, 0, true, "0.5", "0.50", 50},
      {"Edit12", 0, 0, true, "12.34", "12.3", 1230}, {"Edit12", 4, 0, true, "0.5", "1.0", 100},
      {"Edit12", 4, 0, true, "250", "200.0", 20000}, {"Edit81", 4, 0, true, "9", "4", 4},
      {"Edit81", 0, 0, true, "", "6", 6},            {"Edit24", 0, 1, true, "0.3", "1.8", 18},
      {"Edit24", 0, 1, true, "9", "2.2", 22},        {"Edit24", 0, 0, false, "9", "9.0", 90},
      {"Edit51", 3, 1, true, "0.2", "0.50", 50},     {"Edit51", 3, 1, true, "5", "2.20", 220},
      {"Edit27", 0, 1, true, "300", "300.0", 3000},  {"Edit27", 0, 0, true, "300", "220.0", 2200},
      {"Edit27", 0, 2, true, "", "380.0", 3800},     {"Edit29", 0, 1, true, "", "75.0", 750},
      {"Edit30", 2, 1, true, "80", "75.0", 750},     {"Edit30", 0, 1, true, "80", "65.0", 650},
      {"Edit47", 3, 0, true, "1.5", "1.500", 1500},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " type " + std::to_string(c.type) + " typed " + c.typed);
    const ParamRow* row = t.row_by_control(QString::fromLatin1(c.control));
    ASSERT_NE(row, nullptr);
    InverterRangeInputs in = rated;
    in.model_type = c.type;
    in.voltage_class = c.voltage_class;
    in.current_known = c.known_rating;
    const ParamRange range = inverter_range(*row, in);
    const QString shown = inverter_clamp(*row, QString::fromUtf8(c.typed), range, c.type);
    EXPECT_EQ(shown, QString::fromUtf8(c.shown));
    EXPECT_EQ(encode_text(*row, shown).front(), c.wire);
  }
}

TEST(InverterTable, RatingsByPowerCode) {
  EXPECT_EQ(bpq_power_codes().size(), 29u);
  for (int code : bpq_power_codes()) {
    const PowerLists p = bpq_power_lists(code);
    EXPECT_TRUE(p.known && p.kw.size() == p.current.size() && p.kw.size() == p.current_min.size() &&
                p.kw.size() == p.current_max.size()) << code;
  }
  for (int code : {36, 39, 49, 54, 60}) EXPECT_FALSE(bpq_power_lists(code).known) << code;
}

}  // namespace
}  // namespace velmo
