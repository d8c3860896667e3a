// Inverter parameters, groups F0 to F4, all five model types.
#include "inverter/inverter_param_table.h"
#include "inverter/inverter_row_builders.h"

namespace velmo {

namespace {

using namespace inverter_rows;

ParamRow freq(const char* code, const char* caption, const char* control, int reg, const char* hint, int len,
              const char* initial) {
  return chars(ranged(dec_row(code, caption, control, reg, 1, 0, 0, "", initial, "HZ", hint)), len);
}

ParamRow ramp(const char* code, const char* caption, const char* control, int reg) {
  // Hundredths of a second; the clamp writes one decimal above 0.99 s.
  return chars(ranged(dec_row(code, caption, control, reg, 2, 0, 0, "1.0", "1.0", "s", "0.1~120.0S")), 5);
}

}  // namespace

void add_inverter_rows_f0_f4(ParamTable& t) {
  auto add = [&t](int group, uint32_t types, ParamRow row) {
    row.group = group;
    row.layouts = types;
    t.rows.push_back(std::move(row));
  };

  // ---- F0 ----
  const ListItems display_01 = numbered_items({"1、用户设定的频率值HZ", "2、用户设定的频率对应值", "3、电机运转电流值",
                                               "4、变频器实际输出频率值HZ", "5、制动电阻最大负载率≤70%", "6、变频器最高温度"});
  const ListItems display_24 = numbered_items(
      {"1、用户设定的频率值HZ", "2、用户设定的频率对应值", "3、电机运转电流值", "4、变频器实际输出频率值HZ"});
  const ListItems source_01 = numbered_items({"1、FWD、REV端口，上电不可直接运转", "2、FWD、REV端口，上电可直接运转",
                                              "4、RS-485通讯总线", "5、Vexa-CAN通讯总线"});
  const ListItems source_24 = numbered_items({"1、FWD、REV端口，上电不可直接运转", "2、FWD、REV端口，上电可直接运转",
                                              "3、变频器操作面板", "4、RS-485通讯总线"});
  const ListItems speed_01 = numbered_items({"1、变频器操作面板按键", "2、模拟量输入端口", "5、M1多功能输入端口（0~1KHZ脉冲）",
                                             "8、RS-485通讯总线", "9、Vexa-CAN通讯总线"});
  const ListItems speed_23 = numbered_items({"1、变频器操作面板按键", "2、模拟量输入端口 AD1 0~10V",
                                             "5、M1多功能输入端口（0~1KHZ脉冲）", "6、菜单F7组 PLC功能控制",
                                             "7、菜单F9组 PID控制", "8、RS-485通讯总线"});
  const ListItems speed_first_4 = numbered_items(
      {"1、变频器操作面板按键", "2、模拟量输入端口 AD1 0~10V", "3、模拟量输入端口 AD2 0~10V",
       "4、AD1和AD2模拟量函数组合AD1*[1+(AD2-E)*F]", "5、M1多功能输入端口（0~1KHZ脉冲）", "6、菜单F7组 PLC功能控制",
       "7、菜单F9组 PID控制", "8、RS-485通讯总线"});
  const ListItems speed_second_4 = numbered_items(
      {"1、变频器操作面板按键", "2、模拟量输入端口 AD1 0~10V", "3、模拟量输入端口 AD2 0~10V",
       "4、AD1和AD2模拟量函数组合 AD1*[1+(AD2-E)*F]", "5、M1多功能输入端口（0~1KHZ脉冲）", "6、菜单F7组 PLC功能控制",
       "7、菜单F9组 PID控制", "8、RS-485通讯总线"});

  add(kIF0, kT34, list_row("F0-00", "控制模式", "ComboBox25", 0, numbered_items({"1、智能V/F", "2、矢量"}), "1、智能V/F"));
  add(kIF0, kT01, list_row("F0-01", "LED显示内容", "ComboBox2", 1, display_01, "1、用户设定的频率值HZ"));
  add(kIF0, kT24, list_row("F0-01", "LED显示内容", "ComboBox26", 1, display_24, "1、用户设定的频率值HZ"));
  add(kIF0, kAllTypes, chars(dec_row("F0-02", "最高频率对应显示值", "Edit1", 2, 1, 0, 3000, "0.0", "100.0", "", "0.0~3000"), 5));
  add(kIF0, kAllTypes, chars(dec_row("F0-03", "0HZ频率对应显示值", "Edit2", 3, 1, 0, 3000, "0.0", "0.0", "", "0.0~3000"), 5));
  add(kIF0, kT01, selected(list_row("F0-04", "第一运转命令源", "ComboBox3", 4, source_01, ""), 1).with(kSnapshot));
  add(kIF0, kT24, selected(list_row("F0-04", "第一运转命令源", "ComboBox27", 4, source_24, ""), 1).with(kSnapshot));
  add(kIF0, kT01, selected(list_row("F0-05", "第二运转命令源", "ComboBox4", 5, source_01, ""), 1).with(kSnapshot));
  add(kIF0, kT24, selected(list_row("F0-05", "第二运转命令源", "ComboBox28", 5, source_24, ""), 1).with(kSnapshot));
  add(kIF0, kAllTypes,
      list_row("F0-06", "旋转方式", "ComboBox5", 6,
               numbered_items({"1、允许正反转", "2、允许正转，禁止反转", "3、允许反转，禁止正转"}), "1、允许正反转"));
  add(kIF0, kAllTypes, list_row("F0-07", "旋转方向", "ComboBox6", 7, numbered_items({"1、不取反", "2、取反"}), "1、不取反"));
  add(kIF0, kT01, selected(list_row("F0-08", "第一主速频率", "ComboBox7", 8, speed_01, ""), 1).with(kSnapshot));
  add(kIF0, kT2 | kT3, selected(list_row("F0-08", "第一主速频率", "ComboBox29", 8, speed_23, ""), 1).with(kSnapshot));
  add(kIF0, kT4, selected(list_row("F0-08", "第一主速频率", "ComboBox42", 8, speed_first_4, ""), 1).with(kSnapshot));
  add(kIF0, kT01, selected(list_row("F0-09", "第二主速频率", "ComboBox8", 9, speed_01, ""), 1).with(kSnapshot));
  add(kIF0, kT2 | kT3, selected(list_row("F0-09", "第二主速频率", "ComboBox30", 9, speed_23, ""), 1).with(kSnapshot));
  add(kIF0, kT4, selected(list_row("F0-09", "第二主速频率", "ComboBox43", 9, speed_second_4, ""), 1).with(kSnapshot));
  add(kIF0, kT34,
      list_row("F0-10", "AD1模拟量类型", "ComboBox44", 10, numbered_items({"1、0~10V", "2、0~20mA", "3、4~20mA"}), "1、0~10V"));
  // E and F of the AD1/AD2 combination: only single writes reach the drive.
  add(kIF0, kT4, chars(dec_row("F0-11", "偏置值 E", "Edit39", 11, 1, 0, 9.9, "0.0", "0.0", "", "0.0~9.9"), 3).with(kNoGroupIO));
  {
    ParamRow factor = chars(dec_row("F0-12", "倍率值 F", "Edit40", 12, 2, -1, 1, "0.00", "0.00", "", "-1.00~1.00"), 5);
    factor.codec.negative = true;
    factor.codec.offset = 2000;
    add(kIF0, kT4, factor.with(kNoGroupIO));
  }
  add(kIF0, kAllTypes, chars(dec_row("F0-13", "最高频率", "Edit3", 13, 1, 20, 200, "20.0", "50.0", "HZ", "20.0~200.0HZ"), 5));
  add(kIF0, kAllTypes, chars(dec_row("F0-14", "最低频率", "Edit11", 14, 1, 1, 20, "1.0", "2.0", "HZ", "1.0~20.0HZ"), 4));
  add(kIF0, kAllTypes, ramp("F0-15", "第一加速时间", "Edit12", 15));
  add(kIF0, kAllTypes, ramp("F0-16", "第一减速时间", "Edit13", 16));
  add(kIF0, kAllTypes, ramp("F0-17", "第二加速时间", "Edit14", 17));
  add(kIF0, kAllTypes, ramp("F0-18", "第二减速时间", "Edit15", 18));
  add(kIF0, kT01, list_row("F0-19", "安全开关", "ComboBox9", 19, numbered_items({"1、不使用", "2、使用"}), "1、不使用"));

  // ---- F1 ----
  const ListItems inputs_01 = numbered_items({"1、多段速指令1", "2、多段速指令2", "3、故障复位", "4、切换为点动频率",
                                              "5、切换为第二加减速时间", "6、切换为第二主速频率", "7、切换为第二运转命令源",
                                              "8、UP升高频率", "9、DOWN降低频率", "10、正转点动", "11、反转点动", "12、反转",
                                              "13、急停常开", "14、急停常闭", "21、无功能"});
  const ListItems inputs_24 = numbered_items(
      {"1、多段速指令1", "2、多段速指令2", "3、故障复位", "4、切换为点动频率", "5、切换为第二加减速时间",
       "6、切换为第二主速频率", "7、切换为第二运转命令源", "8、UP升高频率", "9、DOWN降低频率", "10、正转点动",
       "11、反转点动", "12、反转", "13、急停常开", "14、急停常闭", "15、计数口", "16、计数器清零", "17、直流制动无效",
       "18、PLC程序暂停运转，断开后继续运转", "19、PID无效，维持当前频率输出", "20、摆频暂停，回到中心点频率", "21、无功能"});
  add(kIF1, kAllTypes,
      list_row("F1-00", "FWD、REV运转端口功能", "ComboBox10", 30, numbered_items({"1、正转/停止、反转/停止", "2、运转/停止"}),
               "1、正转/停止、反转/停止"));
  add(kIF1, kT01, selected(list_row("F1-01", "M1多功能输入端口功能", "ComboBox11", 31, inputs_01, ""), 1));
  add(kIF1, kT24, selected(list_row("F1-01", "M1多功能输入端口功能", "ComboBox31", 31, inputs_24, ""), 1));
  add(kIF1, kT01, selected(list_row("F1-02", "M2多功能输入端口功能", "ComboBox12", 32, inputs_01, ""), 2));
  add(kIF1, kT24, selected(list_row("F1-02", "M2多功能输入端口功能", "ComboBox32", 32, inputs_24, ""), 2));
  add(kIF1, kT0, selected(list_row("F1-03", "M3多功能输入端口功能", "ComboBox13", 33, inputs_01, ""), 3));
  add(kIF1, kT34, selected(list_row("F1-03", "M3多功能输入端口功能", "ComboBox33", 33, inputs_24, ""), 3));
  add(kIF1, kT34, selected(list_row("F1-04", "M4多功能输入端口功能", "ComboBox34", 34, inputs_24, ""), 4));
  add(kIF1, kT4, selected(list_row("F1-05", "M5多功能输入端口功能", "ComboBox35", 35, inputs_24, ""), 5));
  add(kIF1, kT4, selected(list_row("F1-06", "M6多功能输入端口功能", "ComboBox36", 36, inputs_24, ""), 6));

  // ---- F2 ----
  const ListItems outputs = numbered_items({"1、故障", "2、电机过载预警", "3、运行准备完毕", "4、电磁制动频率到达", "5、运转状态",
                                            "6、零频率状态", "7、指定频率到达", "8、计数值到达", "9、PLC循环完成", "10、无功能"});
  add(kIF2, kT24, selected(list_row("F2-00", "R1多功能继电器输出", "ComboBox37", 40, outputs, ""), 1));
  add(kIF2, kT4, selected(list_row("F2-01", "R2多功能继电器输出", "ComboBox38", 41, outputs, ""), 2));
  add(kIF2, kT34, selected(list_row("F2-02", "H1多功能晶体管输出", "ComboBox39", 42, outputs, ""), 3));
  add(kIF2, kT4, selected(list_row("F2-03", "H2多功能晶体管输出", "ComboBox40", 43, outputs, ""), 4));
  // Type 3 reads and writes the DA output too, so it shows it.
  add(kIF2, kT34,
      list_row("F2-04", "DA模拟输出信号设定", "ComboBox41", 44,
               numbered_items({"1、模拟输出频率计 0~最高频率", "2、模拟输出电流计 0~200%额定电流"}), "1、模拟输出频率计 0~最高频率"));
  add(kIF2, kT34, chars(int_row("F2-05", "DA模拟输出信号比例", "Edit23", 45, 0, 200, "0", "100", "%", "0~200%"), 3));
  add(kIF2, kT01, list_row("F2-06", "故障报警", "ComboBox15", 46, numbered_items({"1、常开", "2、常闭"}), "1、常开"));

  // ---- F3 ----
  add(kIF3, kAllTypes, list_row("F3-00", "直流制动功能", "ComboBox16", 50, numbered_items({"1、关闭", "2、开启"}), "1、关闭"));
  add(kIF3, kAllTypes, freq("F3-01", "停止时直流制动起始频率", "Edit4", 51, "最低频率~最高频率", 5, "30.0"));
  add(kIF3, kAllTypes, chars(dec_row("F3-02", "停止时直流制动时间", "Edit5", 52, 1, 0, 10, "0.0", "0.0", "s", "0.0~10.0S"), 4));
  add(kIF3, kAllTypes, chars(dec_row("F3-03", "启动时直流制动时间", "Edit6", 53, 1, 0, 10, "0.0", "0.0", "s", "0.0~10.0S"), 4));
  add(kIF3, kAllTypes, chars(int_row("F3-04", "直流制动电流", "Edit7", 54, 0, 75, "0", "75", "%", "0~75%"), 2));
  add(kIF3, kAllTypes, freq("F3-05", "启动时电磁制动松闸起始频率", "Edit8", 55, "3.0~6.0HZ", 3, "3.5"));
  add(kIF3, kAllTypes, freq("F3-06", "停止时电磁制动抱闸起始频率", "Edit9", 56, "3.0~50.0HZ", 4, "3.5"));

  // ---- F4 ----
  add(kIF4, kAllTypes, chars(dec_row("F4-00", "点动频率", "Edit10", 60, 1, 2, 20, "2.0", "5.0", "HZ", "2.0~20.0HZ"), 4));
  add(kIF4, kAllTypes, chars(dec_row("F4-01", "点动加减速时间", "Edit16", 61, 1, 0.1, 10, "0.1", "2.0", "s", "0.1~10.0S"), 4));
  add(kIF4, kAllTypes, freq("F4-02", "第一段速频率", "Edit17", 62, "最低频率~最高频率", 5, "20.0"));
  add(kIF4, kAllTypes, freq("F4-03", "第二段速频率", "Edit18", 63, "最低频率~最高频率", 5, "30.0"));
  add(kIF4, kAllTypes, freq("F4-04", "第三段速频率", "Edit19", 64, "最低频率~最高频率", 5, "40.0"));
  add(kIF4, kT24, chars(int_row("F4-05", "M2输入端口计数到达值", "Edit41", 65, 0, 9999, "0", "0", "", "0~9999"), 4));
  add(kIF4, kT24, freq("F4-06", "指定到达频率", "Edit42", 66, "0~最高频率", 5, "0.0"));
  add(kIF4, kT24, freq("F4-07", "跳跃频率1", "Edit43", 67, "0~最高频率", 5, "0.0"));
  add(kIF4, kT24, freq("F4-08", "跳跃频率2", "Edit44", 68, "0~最高频率", 5, "0.0"));
  add(kIF4, kT24, chars(dec_row("F4-09", "跳跃频率幅度", "Edit45", 69, 1, 0, 5, "0.0", "0.0", "HZ", "0~最高频率"), 5));
  add(kIF4, kAllTypes, chars(ranged(int_row("F4-10", "载波频率", "Edit81", 70, 0, 0, "", "0", "KHZ", "")), 2));
  add(kIF4, kAllTypes, chars(dec_row("F4-11", "正反转切换时间", "Edit20", 71, 1, 0, 20, "0.0", "0.0", "s", "0.0~20.0S"), 4));
  add(kIF4, kAllTypes,
      chars(dec_row("F4-12", "最高频率对应模拟量电压值", "Edit21", 72, 1, 0, 10, "0.0", "10.0", "V", "0.0~10.0V"), 4));
  add(kIF4, kAllTypes,
      chars(dec_row("F4-13", "0HZ频率对应模拟量电压值", "Edit22", 73, 1, 0, 10, "0.0", "0.0", "V", "0.0~10.0V"), 4));
}

}  // namespace velmo
