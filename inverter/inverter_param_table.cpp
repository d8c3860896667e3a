#include "inverter/inverter_param_table.h"

#include <QLocale>

#include "common/param_editor_engine.h"
#include "inverter/inverter_model_types.h"

#include <algorithm>

namespace velmo {

namespace {

GroupDef group(const char* code, int tab, const char* box, const char* caption) {
  GroupDef g;
  g.code = QString::fromLatin1(code);
  g.tab = tab;
  g.boxes = {{~0u, box, QString::fromUtf8(caption)}};
  g.read_fail = g.code + QStringLiteral("组参数读取失败");
  g.write_fail = g.code + QStringLiteral("组参数修改失败");
  return g;
}

ParamTable build() {
  ParamTable t;
  t.tabs = {QStringLiteral("基本设置 "), QStringLiteral("多功能输入 "), QStringLiteral("多功能输出 "),
            QStringLiteral("制动参数 "), QStringLiteral("辅助功能 "),   QStringLiteral("电机参数 "),
            QStringLiteral("控制参数 "), QStringLiteral("PLC功能  "),  QStringLiteral("摆频及PID "),
            QStringLiteral("通讯及其它参数 ")};
  t.groups = {
      group("F0", 0, "GroupBox1", "基本参数设置"),   group("F1", 1, "GroupBox2", "多功能输入端口参数"),
      group("F2", 2, "GroupBox3", "多功能输出端口参数"), group("F3", 3, "GroupBox4", "制动参数设置"),
      group("F4", 4, "GroupBox5", "辅助功能参数"),   group("F5", 5, "GroupBox6", "电机参数设置"),
      group("F6", 6, "GroupBox7", "控制参数"),       group("F7", 7, "GroupBox11", "PLC功能设置"),
      group("F8", 8, "GroupBox13", "摆频功能设置"),  group("F9", 8, "GroupBox14", "PID控制设置"),
      group("FA", 9, "GroupBox8", "通讯参数"),       group("FB", 9, "GroupBox9", "系统参数"),
      group("FC", 9, "GroupBox10", "制造参数"),
  };
  add_inverter_rows_f0_f4(t);
  add_inverter_rows_f5_fc(t);
  // A type that lacks a parameter shows its control greyed, unless another
  // control of the parameter stands in its place for that type.
  for (ParamRow& row : t.rows)
    for (int type = 0; type < kInverterModelTypes; ++type)
      if (row.control && !row.in_layout(type) && bpq_control_state(row.control, false, type) == ControlState::Greyed)
        row.greyed_layouts |= 1u << type;
  return t;
}

bool control_is(const ParamRow& row, std::initializer_list<const char*> names) {
  if (!row.control) return false;
  for (const char* n : names)
    if (qstrcmp(row.control, n) == 0) return true;
  return false;
}

QString one_decimal(double v) { return format_number(v, 1); }

}  // namespace

const ParamTable& inverter_param_table() {
  static const ParamTable table = build();
  return table;
}

InverterRangeRule inverter_range_rule(const ParamRow& row) {
  using R = InverterRangeRule;
  if (control_is(row, {"Edit4", "Edit17", "Edit18", "Edit19"})) return R::MinToMaxFrequency;
  if (control_is(row, {"Edit42", "Edit43", "Edit44"})) return R::ZeroToMaxFrequency;
  if (control_is(row, {"Edit58", "Edit60", "Edit62", "Edit64", "Edit66", "Edit68", "Edit70", "Edit72"}))
    return R::PlusMinusMaxFrequency;
  if (control_is(row, {"Edit8", "Edit9"})) return R::BrakeFrequency;
  if (control_is(row, {"Edit12", "Edit13", "Edit14", "Edit15"})) return R::RampTime;
  if (control_is(row, {"Edit81"})) return R::CarrierFrequency;
  if (control_is(row, {"Edit24"})) return R::RatedCurrent;
  if (control_is(row, {"Edit51"})) return R::NoLoadCurrent;
  if (control_is(row, {"Edit27"})) return R::Voltage50Hz;
  if (control_is(row, {"Edit29"})) return R::VoltageMid;
  if (control_is(row, {"Edit30"})) return R::Voltage1Hz;
  return R::Fixed;
}

ParamRange inverter_range(const ParamRow& row, const InverterRangeInputs& in) {
  using R = InverterRangeRule;
  const bool small_types = in.model_type <= 1;
  switch (inverter_range_rule(row)) {
    case R::Fixed:
      return row_range(row);
    case R::MinToMaxFrequency:
      return {in.min_frequency, in.max_frequency, one_decimal(in.min_frequency)};
    case R::ZeroToMaxFrequency:
      return {0, in.max_frequency, QStringLiteral("0.0")};
    case R::PlusMinusMaxFrequency:
      return {-in.max_frequency, in.max_frequency, QStringLiteral("0.0")};
    case R::BrakeFrequency: {
      const double top = row.reg == 55 ? (in.model_type == 4 ? 5.0 : 6.0) : 50.0;
      if (small_types) return {3.0, top, QStringLiteral("0.0")};
      const double low = in.model_type == 4 ? 2.0 : 3.0;
      return {low, top, one_decimal(low)};
    }
    case R::RampTime:
      return in.model_type == 4 ? ParamRange{1.0, 200.0, QStringLiteral("1.0")}
                                : ParamRange{0.1, 120.0, QStringLiteral("1.0")};
    case R::CarrierFrequency: {
      static constexpr int kLow[] = {6, 6, 3, 3, 3}, kHigh[] = {10, 10, 10, 8, 4};
      const int t = std::clamp(in.model_type, 0, 4);
      return {double(kLow[t]), double(kHigh[t]), QString::number(kLow[t])};
    }
    case R::RatedCurrent:
      // A rating missing from the table has no bounds to hold the current to.
      if (!in.current_known) return {0.0, 6553.5, QStringLiteral("0.0")};
      return {in.current_min, in.current_max, one_decimal(in.current_min)};
    case R::NoLoadCurrent:
      return {0.5, in.current_known ? in.current_max : 40.0, QStringLiteral("0.5")};
    case R::Voltage50Hz: {
      // Both 380 V classes reach 380 V, as the field's hint says.
      const double top = in.voltage_class == 0 ? 220.0 : 380.0;
      return {100.0, top, one_decimal(top)};
    }
    case R::VoltageMid: {
      static constexpr double kLow[] = {40, 75, 60}, kHigh[] = {90, 150, 150};
      const int c = std::clamp(in.voltage_class, 0, 2);
      return {kLow[c], kHigh[c], one_decimal(kLow[c])};
    }
    case R::Voltage1Hz: {
      double low = 10, high = 65;
      if (in.voltage_class != 2) {
        if (small_types) low = 15, high = 65;
        else if (in.voltage_class == 0) low = 15, high = 45;
        else low = 30, high = 75;
      }
      return {low, high, one_decimal(low)};
    }
  }
  return row_range(row);
}

QString inverter_clamp(const ParamRow& row, const QString& text, const ParamRange& range, int model_type) {
  const InverterRangeRule rule = inverter_range_rule(row);
  bool ok = false;
  const double v = QLocale::c().toDouble(text.trimmed(), &ok);
  if (rule == InverterRangeRule::BrakeFrequency && model_type <= 1 && ok && v < range.min)
    return QStringLiteral("0.0");
  if (rule != InverterRangeRule::RampTime) return clamp_text(row, text, range);
  // Ramp times: hundredths of a second, shown with two decimals up to 0.9999 s
  // and with one above. The test is on the number as typed (bounds applied),
  // not on its one-decimal text: 0.95 stays 0.95, never 1.0.
  double n = range.empty.isEmpty() ? 0 : QLocale::c().toDouble(range.empty);
  if (ok) n = std::clamp(v, range.min, range.max);
  ParamRow shown = row;
  shown.codec.decimals = n <= 0.9999 ? 2 : 1;
  return clamp_text(shown, text, range);
}

InverterRangeInputs inverter_range_inputs(const ParamEditorEngine& editor) {
  const DriveLinkState& st = editor.state();
  InverterRangeInputs in;
  in.model_type = editor.layout();
  in.voltage_class = st.bpq_voltage_class;
  in.current_min = st.bpq_current_min;
  in.current_max = st.bpq_current_max;
  // A rating the table lacks leaves both bounds at 0.0.
  in.current_known = st.bpq_current_max > 0;
  // F0-13 and F0-14 as their fields show them; what the image holds while a
  // field shows no number.
  in.max_frequency = editor.shown_number("Edit3").value_or(editor.value(13) / 10.0);
  in.min_frequency = editor.shown_number("Edit11").value_or(editor.value(14) / 10.0);
  return in;
}

ParamRow with_inverter_rules(ParamRow row) {
  row.range_rule = [](const ParamRow& r, const ParamEditorEngine& editor) {
    return inverter_range(r, inverter_range_inputs(editor));
  };
  row.clamp_rule = [](const ParamRow& r, const QString& text, const ParamRange& range, const ParamEditorEngine& editor) {
    return inverter_clamp(r, text, range, editor.layout());
  };
  return row;
}

}  // namespace velmo
