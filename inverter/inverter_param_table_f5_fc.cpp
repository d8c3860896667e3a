// Inverter parameters, groups F5 to FC, all five model types.
#include "inverter/inverter_param_table.h"
#include "inverter/inverter_row_builders.h"

namespace velmo {

using namespace inverter_rows;

void add_inverter_rows_f5_fc(ParamTable& t) {
  auto add = [&t](int group, uint32_t types, ParamRow row) {
    row.group = group;
    row.layouts = types;
    t.rows.push_back(std::move(row));
  };
  const ListItems off_on = numbered_items({"1、关闭", "2、开启"});

  // ---- F5 ----
  {
    // The motor powers of the inverter's rating; the editor fills them.
    ParamRow power = list_row("F5-00", "电机额定功率", "ComboBox23", 80, {}, "");
    power.unit = QStringLiteral("KW");
    power.mirror = "ComboBox24";  // the default current of the power shown
    // A pick sets F5-01 with the power: a refused one reads both back.
    power.readback_regs = 2;
    add(kIF5, kAllTypes, power);
  }
  add(kIF5, kAllTypes, chars(ranged(dec_row("F5-01", "电机额定电流", "Edit24", 81, 1, 0, 0, "", "", "A", "0.2~11.7A")), 4));
  add(kIF5, kAllTypes, chars(int_row("F5-02", "电机额定转速", "Edit25", 82, 900, 3000, "900", "1400", "rpm", "见电机铭牌"), 4));
  add(kIF5, kT24, chars(int_row("F5-03", "电机过载预警", "Edit46", 83, 75, 100, "75", "90", "%", "75~100%"), 3));
  // Types 0 and 1 take the overload protection only as a single write.
  {
    ParamRow overload = chars(int_row("F5-04", "电机过载保护", "Edit26", 84, 100, 130, "100", "120", "%", "100~130%"), 3);
    overload.alone_layouts = kT01;
    add(kIF5, kAllTypes, overload);
  }
  add(kIF5, kT34, chars(dec_row("F5-05", "电机定子电阻", "Edit47", 85, 3, 0, 9.999, "0.001", "0.001", "Ω", "0.001~9.999"), 5));
  add(kIF5, kT34, chars(dec_row("F5-06", "电机转子电阻", "Edit48", 86, 3, 0, 9.999, "0.001", "0.001", "Ω", "0.001~9.999"), 5));
  add(kIF5, kT34, chars(dec_row("F5-07", "电机定子、转子电感", "Edit49", 87, 3, 0, 9.999, "0.001", "0.1", "mH", "0.1~999.9"), 5));
  add(kIF5, kT34, chars(dec_row("F5-08", "电机定子、转子互感", "Edit50", 88, 3, 0, 9.999, "0.001", "0.1", "mH", "0.1~999.9"), 5));
  add(kIF5, kT34, chars(ranged(dec_row("F5-09", "电机空载电流", "Edit51", 89, 2, 0, 0, "0.5", "0.5", "A", "0.50~40.00")), 5));

  // ---- F6 ----
  add(kIF6, kAllTypes,
      selected(list_row("F6-00", "智能V/F负载类别", "ComboBox17", 90,
                        numbered_items({"1、风机或大惯量负载", "2、轻载", "3、标准", "4、自定义"}), ""),
               3));
  add(kIF6, kAllTypes, chars(ranged(dec_row("F6-01", "50HZ频率时输出电压", "Edit27", 91, 1, 0, 0, "", "", "V", "100.0~380.0")), 5));
  add(kIF6, kAllTypes, chars(dec_row("F6-02", "中间频率", "Edit28", 92, 1, 2, 50, "2.0", "10.0", "HZ", "2.0~50.0"), 4));
  add(kIF6, kAllTypes, chars(ranged(dec_row("F6-03", "中间频率时输出电压", "Edit29", 93, 1, 0, 0, "", "", "V", "40.0~150.0")), 5));
  add(kIF6, kAllTypes, chars(ranged(dec_row("F6-04", "1HZ频率时输出电压", "Edit30", 94, 1, 0, 0, "", "", "V", "15.0~65.0")), 4));
  // Values 2 and 3 start the vector self-learning: a download sends 1.
  add(kIF6, kT34,
      list_row("F6-05", "矢量自学习", "ComboBox47", 95,
               numbered_items({"1、不自学习", "2、脱开负载空载运转自学习", "3、静止自学习"}), "1、不自学习")
          .with(kDownloadSafe));
  add(kIF6, kT34, chars(int_row("F6-06", "速度环比例增益1", "Edit52", 96, 0, 100, "0", "0", "", "0~100"), 4));
  add(kIF6, kT34, chars(dec_row("F6-07", "速度环积分时间1", "Edit53", 97, 2, 0, 10, "0.01", "0.01", "s", "0.01~10.00"), 4));
  add(kIF6, kT34, chars(dec_row("F6-08", "切换频率1", "Edit54", 98, 1, 2, 50, "2.0", "2.0", "HZ", "2.0~50.0"), 4));
  add(kIF6, kT34, chars(int_row("F6-09", "速度环比例增益2", "Edit55", 99, 0, 100, "0", "0", "", "0~100"), 4));
  add(kIF6, kT34, chars(dec_row("F6-10", "速度环积分时间2", "Edit56", 100, 2, 0, 10, "0.01", "0.01", "s", "0.01~10.00"), 4));
  add(kIF6, kT34, chars(dec_row("F6-11", "切换频率2", "Edit57", 101, 1, 2, 50, "2.0", "2.0", "HZ", "2.0~50.0"), 4));
  add(kIF6, kT01 | kT3, list_row("F6-12", "高速电主轴开关", "ComboBox18", 102, off_on, "1、关闭"));
  add(kIF6, kT01 | kT3, chars(int_row("F6-13", "高速电主轴额定频率", "Edit32", 103, 200, 1000, "200", "200", "HZ", "200~1000HZ"), 4));

  // ---- F7: eight segments of frequency (signed, offset 2000) and time ----
  add(kIF7, kT24, list_row("F7-00", "PLC功能开关", "ComboBox48", 110, numbered_items({"1、关", "2、开"}), "1、关"));
  add(kIF7, kT24, list_row("F7-01", "PLC运行模式", "ComboBox50", 111, numbered_items({"1、单次运行", "2、循环运行"}), "1、单次运行"));
  static const char* const kFreqEdits[] = {"Edit58", "Edit60", "Edit62", "Edit64", "Edit66", "Edit68", "Edit70", "Edit72"};
  static const char* const kTimeEdits[] = {"Edit59", "Edit61", "Edit63", "Edit65", "Edit67", "Edit69", "Edit71", "Edit73"};
  static const char* const kFreqCodes[] = {"F7-02", "F7-04", "F7-06", "F7-08", "F7-10", "F7-12", "F7-14", "F7-16"};
  static const char* const kTimeCodes[] = {"F7-03", "F7-05", "F7-07", "F7-09", "F7-11", "F7-13", "F7-15", "F7-17"};
  for (int k = 0; k < 8; ++k) {
    const QByteArray f = QStringLiteral("PLC第%1段频率").arg(k + 1).toUtf8();
    const QByteArray s = QStringLiteral("PLC第%1段运行时间").arg(k + 1).toUtf8();
    ParamRow segment = chars(ranged(dec_row(kFreqCodes[k], f.constData(), kFreqEdits[k], 112 + 2 * k, 1, 0, 0, "0.0", "0.0",
                                            "HZ", "-最高频率~最高频率")), 5);
    segment.codec.negative = true;
    segment.codec.offset = 2000;
    add(kIF7, kT24, segment);
    add(kIF7, kT24, chars(int_row(kTimeCodes[k], s.constData(), kTimeEdits[k], 113 + 2 * k, 0, 9999, "0", "0", "s", "0~9999"), 4));
  }

  // ---- F8 ----
  add(kIF8, kT24, list_row("F8-00", "摆频功能开关", "ComboBox49", 130, off_on, "1、关闭"));
  add(kIF8, kT24, chars(dec_row("F8-01", "摆频幅度", "Edit74", 131, 1, 0, 50, "0.0", "0.0", "%", "0.0~50.0"), 5));
  add(kIF8, kT24, chars(dec_row("F8-02", "摆频突变幅度", "Edit75", 132, 1, 0, 50, "0.0", "0.0", "%", "0.0~50.0"), 4));
  add(kIF8, kT24, chars(dec_row("F8-03", "摆频上升时间", "Edit76", 133, 1, 0.1, 120, "0.1", "0.1", "s", "0.1~120.0"), 4));
  add(kIF8, kT24, chars(dec_row("F8-04", "摆频下降时间", "Edit77", 134, 1, 0.1, 120, "0.1", "0.1", "s", "0.1~120.0"), 4));

  // ---- F9 ----
  add(kIF9, kT24, list_row("F9-00", "PID开关", "ComboBox51", 140, off_on, "1、关闭"));
  add(kIF9, kT2 | kT3,
      list_row("F9-01", "目标值调整", "ComboBox14", 141, numbered_items({"1、变频器操作面板↑↓按钮", "3、RS-485"}),
               "1、变频器操作面板↑↓按钮"));
  add(kIF9, kT4,
      list_row("F9-01", "目标值调整", "ComboBox52", 141,
               numbered_items({"1、变频器操作面板↑↓按钮", "2、模拟量输入端口AD1 0~10V", "3、RS-485"}),
               "1、变频器操作面板↑↓按钮"));
  add(kIF9, kT24, list_row("F9-02", "PID作用方向", "ComboBox53", 142, numbered_items({"1、正作用", "2、反作用"}), "1、正作用"));
  add(kIF9, kT24, chars(dec_row("F9-03", "P值", "Edit78", 143, 1, 0, 100, "0.0", "0.0", "%", "0.0~100.0"), 5));
  add(kIF9, kT24, chars(dec_row("F9-04", "I值", "Edit79", 144, 1, 0.1, 10, "0.1", "0.1", "s", "0.1~10.0S"), 4));
  add(kIF9, kT24, chars(dec_row("F9-05", "D值", "Edit80", 145, 1, 0.1, 10, "0.1", "0.1", "s", "0.1~10.0S"), 4));

  // ---- FA ----
  add(kIFA, kAllTypes, chars(int_row("FA-00", "通讯站号", "Edit31", kInverterStationReg, 1, 247, "1", "1", "", "1~247"), 3).with(kStation));
  add(kIFA, kAllTypes,
      selected(list_row("FA-01", "数据传输速度", "ComboBox19", 161,
                        numbered_items({"1、4800bps", "2、9600bps", "3、19200bps", "4、38400bps", "5、57600bps"}), ""),
               4));
  add(kIFA, kAllTypes,
      selected(list_row("FA-02", "数据传输格式", "ComboBox20", 162,
                        numbered_items({"1、<8 , N , 1>", "2、<8 , E , 1>", "3、<8 , O , 1>", "4、<8 , N , 2>",
                                        "5、<8 , E , 2>", "6、<8 , O , 2>"}),
                        ""),
               2));
  add(kIFA, kAllTypes,
      selected(list_row("FA-03", "Modbus模式", "ComboBox21", 163, numbered_items({"1、 ASCII模式", "2、RTU模式"}), ""), 2));
  add(kIFA, kT0 | kT1 | kT2 | kT3,
      chars(dec_row("FA-04", "通讯超时", "Edit33", 164, 1, 0, 10, "0.0", "0.0", "s", "0.0~10.0S"), 4));
  // Type 4 reads a reaction code here, so it shows its list.
  add(kIFA, kT4,
      list_row("FA-04", "通讯超时", "ComboBox54", 164,
               numbered_items({"1、不警告，继续运转", "2、警告，继续运转", "3、警告并自由停止", "4、警告并减速停止"}),
               "1、不警告，继续运转"));

  // ---- FB, FC ----
  {
    ParamRow reset = list_row("FB-00", "恢复出厂设定", "ComboBox22", kInverterResetReg,
                              numbered_items({"1、不恢复", "2、恢复出厂设定"}), "1、不恢复");
    reset.safe_value = 1;
    add(kIFB, kAllTypes, reset.with(kDownloadSafe | kWriteAlone));
  }
  add(kIFB, kAllTypes, display_row("FB-01", "程序版本", "Edit34", 171, DisplayFormat::Version));
  add(kIFB, kT0 | kT1 | kT2 | kT3, display_row("FB-02", "菜单版本", "Edit35", 172, DisplayFormat::Version));
  add(kIFC, kT01, display_row("FC-00", "变频器型号", "Edit36", kInverterModelReg, DisplayFormat::Plain));
}

}  // namespace velmo
