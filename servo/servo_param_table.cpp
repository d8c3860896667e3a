#include "servo/servo_param_table.h"

namespace velmo {

namespace {

GroupDef group(const char* code, int tab, std::vector<GroupBoxDef> boxes, bool block_texts = false) {
  GroupDef g;
  g.code = QString::fromLatin1(code);
  g.tab = tab;
  g.boxes = std::move(boxes);
  g.read_fail = g.code + QStringLiteral("组参数读取失败");
  g.write_fail = g.code + QStringLiteral("组参数修改失败");
  g.block_fail_texts = block_texts;
  return g;
}

ParamTable build() {
  ParamTable t;
  t.tabs = {QStringLiteral("基本设置 "),     QStringLiteral("位置模式 "), QStringLiteral("增益参数 "),
            QStringLiteral("机械共振抑制 "), QStringLiteral("末端振动抑制 "), QStringLiteral("速度模式 "),
            QStringLiteral("转矩模式 "),     QStringLiteral("波形输出、通讯、系统及制造参数 ")};
  t.groups = {
      group("F0", 0, {{kServoBoth, "GroupBox1", QStringLiteral("基本设置 ")}}),
      group("F1", 1,
            {{kServoL1, "GroupBox2", QStringLiteral("位置模式基本参数")},
             {kServoL2, "GroupBox13", QStringLiteral("位置模式基本参数")}},
            true),
      group("F2", 2,
            {{kServoL1, "GroupBox3", QStringLiteral("位置模式增益参数")},
             {kServoL2, "GroupBox14", QStringLiteral("位置模式增益参数")}},
            true),
      group("F3", 3,
            {{kServoL1, "GroupBox4", QStringLiteral("位置模式共振抑制参数")},
             {kServoL2, "GroupBox15", QStringLiteral("陷波器共振抑制参数")}}),
      group("F4", 4,
            {{kServoL1, "GroupBox5", QStringLiteral("停止末端振动抑制参数")},
             {kServoL2, "GroupBox16", QStringLiteral("停止末端振动抑制参数")}}),
      group("F5", 5, {{kServoBoth, "GroupBox6", QStringLiteral("速度模式")}}),
      group("F6", 6, {{kServoBoth, "GroupBox7", QStringLiteral("转矩模式")}}),
      group("F7", 7, {{kServoBoth, "GroupBox8", QStringLiteral("F7组 波形输出")}}),
      group("FA", 7, {{kServoBoth, "GroupBox9", QStringLiteral("FA组 通讯参数")}}),
      group("FB", 7, {{kServoBoth, "GroupBox10", QStringLiteral("FB组 系统参数")}}),
      group("FC", 7, {{kServoBoth, "GroupBox11", QStringLiteral("FC组 制造参数")}}),
  };
  add_servo_rows_f0_f2(t);
  add_servo_rows_f3_fc(t);
  return t;
}

}  // namespace

const ParamTable& servo_param_table() {
  static const ParamTable table = build();
  return table;
}

}  // namespace velmo
