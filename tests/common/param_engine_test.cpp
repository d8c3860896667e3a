// The parameter editor engine's pure parts: codecs, key filters, clamps,
// group blocks and the station rule, checked on the servo table's rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>

#include "common/param_blocks.h"
#include "common/param_codec.h"
#include "common/param_editor_engine.h"
#include "drivelink/drive_link.h"
#include "common/station_change.h"
#include "common/window_parts.h"
#include "servo/servo_param_table.h"

namespace velmo {
namespace {

const ParamRow& row(const char* control) {
  const ParamRow* r = servo_param_table().row_by_control(QString::fromLatin1(control));
  if (!r) throw std::logic_error(control);
  return *r;
}

// Typing key by key through the filter, as the edit box does.
QString typed(const ParamRow& r, const QString& keys) {
  QString text;
  for (QChar c : keys)
    if (text_allowed(r, text + c)) text += c;
  return text;
}

struct FieldCase {
  const char* control;
  const char* keys;
  const char* after_filter;
  const char* after_leave;
  std::vector<int32_t> wire;
};

TEST(ParamCodec, KeyFilterClampAndEncodingOverTheRowKinds) {
  const FieldCase cases[] = {
      // integer with a range
      {"Edit1", "12a3", "123", "123", {123}},
      {"Edit1", "5000", "5000", "4500", {4500}},
      {"Edit1", "", "", "100", {100}},
      {"Edit1", "-1.5", "15", "100", {100}},
      // one decimal: tenths, "%.1f", one "." only
      {"Edit14", "60", "60", "60.0", {600}},
      {"Edit14", "", "", "0.1", {1}},
      {"Edit14", "1.2.3", "1.23", "1.2", {12}},
      // halves of the typed decimal text round away from zero, whatever the binary fraction
      {"Edit14", "0.15", "0.15", "0.2", {2}},
      {"Edit13", "1.25", "1.25", "1.3", {13}},
      {"Edit14", "0.14999", "0.14999", "0.1", {1}},
      {"Edit16", "", "", "20.0", {200}},  // the empty value, not the minimum
      {"Edit67", "12.5", "12.5", "10.0", {100}},
      {"Edit17", ".", ".", "0.0", {0}},  // a lone "." holds no number: treated as empty
      // signed 16-bit: a leading "-" only, two's complement on the wire
      {"Edit11", "-20", "-20", "-20", {65516}},
      {"Edit11", "--5", "-5", "-5", {65531}},
      {"Edit11", "5-", "5", "5", {5}},
      {"Edit11", "-80", "-80", "-50", {65486}},
      {"Edit11", "-", "-", "0", {0}},
      // two registers: value div 10000, value mod 10000
      {"Edit5", "123456", "123456", "123456", {12, 3456}},
      {"Edit5", "0", "0", "1", {0, 1}},
      {"Edit5", "99999999999", "99999999999", "16777215", {1677, 7215}},
      // Q value: text kept, halves to even
      {"Edit119", "2.25", "2.25", "2.25", {22}},
      {"Edit119", "2.35", "2.35", "2.35", {24}},
      {"Edit119", "12", "12", "10.0", {100}},
      // clamp decides over the hint
      {"Edit82", "320", "320", "300", {300}},
      {"Edit76", "0", "0", "0", {0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " keys " + c.keys);
    const ParamRow& r = row(c.control);
    const QString text = typed(r, QString::fromLatin1(c.keys));
    EXPECT_EQ(text, QString::fromLatin1(c.after_filter));
    const QString left = clamp_text(r, text, row_range(r));
    EXPECT_EQ(left, QString::fromLatin1(c.after_leave));
    EXPECT_EQ(encode_text(r, left), c.wire);
  }
}

TEST(ParamCodec, MaximumLengthAndPaste) {
  ParamRow r = int_row("F-03", "最大力矩", "Edit1", 3, 50, 100, "50", "80", "%", "50~100");
  r.max_length = 3;
  EXPECT_TRUE(text_allowed(r, QStringLiteral("100")));
  EXPECT_FALSE(text_allowed(r, QStringLiteral("1000")));
  // A pasted text is checked as a whole.
  EXPECT_FALSE(text_allowed(row("Edit11"), QStringLiteral("1-2")));
  EXPECT_FALSE(text_allowed(row("Edit14"), QStringLiteral("1e3")));
  EXPECT_TRUE(text_allowed(row("Edit11"), QStringLiteral("-12")));
}

// The common shapes show through the servo editor's menu read; here the zeros.
TEST(ParamCodec, ShownTexts) {
  EXPECT_EQ(number_text(row("Edit14"), 5), QStringLiteral("0.5"));
  EXPECT_EQ(display_text(row("Edit68"), 7300), QStringLiteral("73.00"));
  EXPECT_EQ(display_text(row("Edit70"), 803), QStringLiteral("08_03"));

  // Signed values with an offset (the inverter's fields).
  ParamRow hundredths = dec_row("F0-12", "倍率值 F", "Edit40", 12, 2, -1, 1, "0.00", "0.00", "", "");
  hundredths.codec.offset = 2000;
  hundredths.codec.negative = true;
  EXPECT_EQ(number_text(hundredths, 1950), QStringLiteral("-0.50"));
  EXPECT_EQ(encode_text(hundredths, QStringLiteral("-0.50")), std::vector<int32_t>{1950});
  ParamRow tenths = dec_row("F7-02", "", "Edit58", 112, 1, -200, 200, "0.0", "0.0", "", "");
  tenths.codec.offset = 2000;
  tenths.codec.negative = true;
  EXPECT_EQ(encode_text(tenths, QStringLiteral("-50.0")), std::vector<int32_t>{1500});
}

TEST(ParamBlocks, ServoGroupsInBothLayouts) {
  const ParamTable& t = servo_param_table();
  struct Expect {
    int group;
    std::vector<std::pair<int, int>> read[2];
    std::vector<std::tuple<int, int, int, const char*>> write[2];  // start, count, function, failure text
  };
  // The groups where the blocks split around gaps, differ by layout, go out
  // as a single write or not at all; the others are one block each.
  const Expect expected[] = {
      {kSF1,
       {{{20, 20}}, {{20, 20}}},
       {{{20, 5, 16, "F1-00~F1-04参数修改失败"}, {28, 12, 16, "F1-08~F1-19参数修改失败"}},
        {{20, 6, 16, "F1-00~F1-05参数修改失败"}, {29, 11, 16, "F1-09~F1-19参数修改失败"}}}},
      {kSF2,
       {{{40, 24}}, {{50, 21}}},
       {{{40, 5, 16, "F2-00~F2-04参数修改失败"}, {48, 2, 16, "F2-08~F2-09参数修改失败"},
         {53, 11, 16, "F2-13~F2-23参数修改失败"}},
        {{50, 5, 16, "F2-00~F2-04参数修改失败"}, {58, 2, 16, "F2-08~F2-09参数修改失败"},
         {63, 8, 16, "F2-13~F2-20参数修改失败"}}}},
      {kSFB, {{{170, 3}}, {{170, 3}}}, {{{170, 1, 6, "FB组参数修改失败"}}, {{170, 1, 6, "FB组参数修改失败"}}}},
      {kSFC, {{{180, 2}}, {{180, 2}}}, {{}, {}}},
  };
  for (const auto& e : expected) {
    for (int layout : {kServoLayout1, kServoLayout2}) {
      SCOPED_TRACE(t.groups[static_cast<size_t>(e.group)].code.toStdString() + " layout " + std::to_string(layout + 1));
      std::vector<std::pair<int, int>> reads;
      for (const auto& b : read_blocks(t, e.group, layout)) reads.emplace_back(b.start, b.count);
      EXPECT_EQ(reads, e.read[layout]);
      std::vector<std::tuple<int, int, int, QString>> writes, want;
      for (const auto& b : write_blocks(t, e.group, layout)) writes.emplace_back(b.start, b.count, b.function, b.fail_text);
      for (const auto& [s, c, f, text] : e.write[layout]) want.emplace_back(s, c, f, QString::fromUtf8(text));
      EXPECT_EQ(writes, want);
    }
  }
  auto singles = [&](int layout) {
    std::vector<int> regs;
    for (const ParamRow* r : download_singles(t, kSF2, layout)) regs.push_back(r->reg);
    return regs;
  };
  EXPECT_EQ(singles(kServoLayout1), (std::vector<int>{45, 46, 47, 50, 51, 52}));
  EXPECT_EQ(singles(kServoLayout2), (std::vector<int>{55, 56, 57, 60, 61, 62}));
}

TEST(ParamBlocks, EveryServoRegisterReadHasOneControlAndNamesAreUnique) {
  const ParamTable& t = servo_param_table();
  for (int layout : {kServoLayout1, kServoLayout2}) {
    std::set<QString> names;
    for (const auto& r : t.rows) {
      if (!r.in_layout(layout) || !r.control) continue;
      EXPECT_TRUE(names.insert(QString::fromLatin1(r.control)).second) << r.control;
    }
    for (int reg : menu_registers(t, layout)) EXPECT_NE(t.row_by_reg(reg, layout), nullptr) << reg;
  }
}

TEST(ParamEngine, AnEditorConfigurationNamesWhatTheEngineCannotGuess) {
  DriveLink link;
  QWidget form;
  ParamEditorHooks hooks;
  EditorConfig config;
  config.success_memo = "Memo2";
  try {
    ParamEditorEngine engine(link, &form, servo_param_table(), hooks, config);
    FAIL() << "a configuration without family, memos and station rule was taken";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "editor configuration lacks family, failure_memo, dump_memo, station_refresh");
  }
}

// Not the node's address, nor a later entry; also after a station move. No line.
TEST(ParamEngine, AFailedReadLeavesTheEarlierValuesUnknownToTheDownload) {
  DriveLink link;
  QWidget form;
  make_panel(&form, QRect());
  for (const char* memo : {"Memo2", "Memo3", "Memo4"}) make_memo(&form, memo, QRect());
  ParamEditorHooks hooks;
  const EditorConfig config{.family = NodeListGroup::Servo, .success_memo = "Memo2", .failure_memo = "Memo3",
                            .dump_memo = "Memo4", .station_refresh = StationRefresh::WhenChanged, .single_fail_suffix = {}};
  ParamEditorEngine engine(link, &form, servo_param_table(), hooks, config);
  engine.select(1, kServoLayout1);
  const std::vector<int> all = engine.unknown_download_registers();
  ASSERT_GT(all.size(), 100u);
  EXPECT_EQ(std::count(all.begin(), all.end(), 160), 0);  // the station is the node's address
  for (int reg : all) engine.take_value(reg, 1, ValueSource::Drive);
  EXPECT_TRUE(engine.unknown_download_registers().empty());
  ASSERT_FALSE(engine.read_menu({}));
  EXPECT_EQ(engine.unknown_download_registers(), all);
  engine.take_value(2, 1234, ValueSource::Entered);
  std::vector<int> left = all;
  left.erase(std::find(left.begin(), left.end(), 2));
  EXPECT_EQ(engine.unknown_download_registers(), left);
  engine.move_station(5);
  EXPECT_EQ(engine.unknown_download_registers(), left);
}

TEST(StationChange, LowestFreeAddressAtOrAboveTheTypedOne) {
  DriveLinkState st;
  st.servo_count = 2;
  st.servo_nodes[0] = 1;
  st.servo_nodes[1] = 2;
  st.bpq_count = 1;
  st.bpq_nodes[0] = 3;
  st.tsq_count = 1;
  st.tsq_nodes[0] = 5;
  EXPECT_EQ(free_station(st, 2, 1), 4);   // 2 and 3 taken
  EXPECT_EQ(free_station(st, 1, 1), 1);   // its own address
  EXPECT_EQ(free_station(st, 4, 1), 4);
  EXPECT_EQ(free_station(st, 5, 1), 6);
  EXPECT_EQ(free_station(st, 1, 2), 2);   // node 2 asking for 1: 1 is taken, 2 is its own
  st.tsq_nodes[0] = 247;
  EXPECT_EQ(free_station(st, 247, 1), std::nullopt);  // never 248
}

TEST(StationChange, RecordsMoveWithTheNode) {
  DriveLinkState st;
  st.servo_saved_params[4][0] = 77;
  st.servo_run_mode[4] = 9;
  st.servo_gain_switch[4] = 2;
  st.servo_restore_flags[4] = 1;
  st.servo_count = 1;
  st.servo_nodes[0] = 4;
  renumber_node(st, NodeListGroup::Servo, 4, 9);
  EXPECT_EQ(st.servo_nodes[0], 9);
  EXPECT_EQ(st.servo_saved_params[9][0], 77);
  EXPECT_EQ(st.servo_run_mode[9], 9u);
  EXPECT_EQ(st.servo_gain_switch[9], 2u);
  EXPECT_EQ(st.servo_restore_flags[9], 1);
  EXPECT_EQ(st.servo_saved_params[4][0], 0);
  EXPECT_EQ(st.servo_restore_flags[4], 0);
}

}  // namespace
}  // namespace velmo
