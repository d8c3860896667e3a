// Servo parameters, groups F3 to FC.
#include "servo/servo_param_table.h"

#include "common/param_editor_engine.h"

namespace velmo {

namespace {

// A Q value of layout 2: one decimal, rounded half to even, the typed text kept.
ParamRow q_row(const char* code, const char* caption, const char* control, int reg) {
  ParamRow row = dec_row(code, caption, control, reg, 1, 0, 10.0, "0.0", "0.0", "", "0.0~10.0");
  row.codec.rounding = Rounding::HalfEven;
  row.codec.keep_text = true;
  return row;
}

// The rate of an analog output: its range follows the output's function
// (the list `function`) at the moment the field is left.
ParamRow da_rate_row(const char* code, const char* caption, const char* control, int reg, const char* function) {
  ParamRow row = int_row(code, caption, control, reg, 30, 500, "30", "100", "%", "");
  return row.with_range([function](const ParamRow&, const ParamEditorEngine& editor) -> ParamRange {
    const int item = static_cast<int>(editor.shown_number(function).value_or(1));
    if (item == 4) return {10, 10000, QStringLiteral("10")};
    if (item == 5) return {100, 100, QStringLiteral("100")};
    return {30, 500, QStringLiteral("30")};
  });
}

}  // namespace

void add_servo_rows_f3_fc(ParamTable& t) {
  const ListItems learn = numbered_items({"1、不自学习", "2、开始自学习"});
  const ListItems run_source = numbered_items({"1、FWD、REV端口", "2、通讯总线"});
  const ListItems lock_source = numbered_items({"1、不锁轴", "2、自动锁轴", "3、由X0端口控制", "4、通讯总线"});
  const ListItems brake = numbered_items({"1、停止时失电制动器抱闸", "2、停止时失电制动器不抱闸"});
  const ListItems da_function =
      numbered_items({"1、输出转速", "2、输出转矩", "3、命令转速", "4、位置偏差值", "5、定位完成信号"});

  TableSection(t, kSF3, kServoL1)
      .add(list_row("F3-00", "共振抑制自学习", "ComboBox24", 70, learn, "1、不自学习").with(kDownloadSafe).with_role(kServoStartsLearning))
      .add(int_row("F3-01", "第一陷波频率", "Edit32", 71, 50, 2500, "50", "2500", "HZ", "50~2500"))
      .add(int_row("F3-02", "第一陷波宽度", "Edit33", 72, 0, 10, "0", "0", "", "0~10"))
      .add(int_row("F3-03", "第一陷波深度", "Edit34", 73, 0, 20, "0", "0", "", "0~20"))
      .add(int_row("F3-04", "第二陷波频率", "Edit35", 74, 50, 2500, "50", "2500", "HZ", "50~2500"))
      .add(int_row("F3-05", "第二陷波宽度", "Edit36", 75, 0, 10, "0", "0", "", "0~10"))
      .add(int_row("F3-06", "第二陷波深度", "Edit37", 76, 0, 20, "0", "0", "", "0~20"))
      .add(int_row("F3-07", "第三陷波频率", "Edit38", 77, 50, 2500, "50", "2500", "HZ", "50~2500"))
      .add(int_row("F3-08", "第三陷波宽度", "Edit39", 78, 0, 10, "0", "0", "", "0~10"))
      .add(int_row("F3-09", "第三陷波深度", "Edit40", 79, 0, 20, "0", "0", "", "0~20"))
      .add(int_row("F3-10", "第四陷波频率", "Edit41", 80, 50, 2500, "50", "2500", "HZ", "50~2500"))
      .add(int_row("F3-11", "第四陷波宽度", "Edit42", 81, 0, 10, "0", "0", "", "0~10"))
      .add(int_row("F3-12", "第四陷波深度", "Edit43", 82, 0, 20, "0", "0", "", "0~20"));

  TableSection(t, kSF3, kServoL2)
      .add(int_row("F3-00", "第1陷波滤波器频率", "Edit106", 80, 50, 2500, "50", "2500", "HZ", "50~2500"))
      .add(int_row("F3-01", "第1陷波滤波器Q值", "Edit107", 81, 0, 10, "0", "0", "", "0~10"))
      .add(int_row("F3-02", "第2陷波滤波器频率", "Edit109", 82, 50, 2500, "50", "2500", "HZ", "50~2500"))
      .add(int_row("F3-03", "第2陷波滤波器Q值", "Edit110", 83, 0, 10, "0", "0", "", "0~10"))
      .add(int_row("F3-04", "第3陷波滤波器频率", "Edit112", 84, 50, 2500, "50", "2500", "HZ", "50~2500"))
      .add(int_row("F3-05", "第3陷波滤波器Q值", "Edit113", 85, 0, 10, "0", "0", "", "0~10"))
      .add(int_row("F3-06", "第4陷波滤波器频率", "Edit115", 86, 50, 2500, "50", "2500", "HZ", "50~2500"))
      .add(int_row("F3-07", "第4陷波滤波器Q值", "Edit116", 87, 0, 10, "0", "0", "", "0~10"));

  TableSection(t, kSF4, kServoL1)
      .add(list_row("F4-00", "停止末端振动抑制自学习", "ComboBox25", 90, learn, "1、不自学习").with(kDownloadSafe).with_role(kServoStartsLearning))
      .add(dec_row("F4-01", "第一振动抑制陷波频率", "Edit44", 91, 1, 0, 200.0, "0.0", "0.0", "HZ", "0.0~200.0"))
      .add(dec_row("F4-02", "第一振动抑制陷波衰减", "Edit45", 92, 1, 0, 100.0, "0.0", "0.0", "db", "0.0~100.0"))
      .add(dec_row("F4-03", "第一振动抑制滤波器", "Edit46", 93, 1, 0, 200.0, "0.0", "0.0", "HZ", "0.0~200.0"))
      .add(dec_row("F4-04", "第二振动抑制陷波频率", "Edit47", 94, 1, 0, 200.0, "0.0", "0.0", "HZ", "0.0~200.0"))
      .add(dec_row("F4-05", "第二振动抑制陷波衰减", "Edit48", 95, 1, 0, 100.0, "0.0", "0.0", "db", "0.0~100.0"))
      .add(dec_row("F4-06", "第二振动抑制滤波器", "Edit49", 96, 1, 0, 200.0, "0.0", "0.0", "HZ", "0.0~200.0"))
      .add(list_row("F4-07", "切换振动抑制器", "ComboBox26", 97,
                    numbered_items({"1、第一振动抑制器", "2、自动切换第一、第二振动抑制器"}), "1、第一振动抑制器"));

  TableSection(t, kSF4, kServoL2)
      .add(dec_row("F4-00", "第1振动抑制陷波频率", "Edit118", 90, 1, 0, 200.0, "0.0", "0.0", "HZ", "0.0~200.0"))
      .add(q_row("F4-01", "第1振动抑制陷波Q值", "Edit119", 91))
      .add(dec_row("F4-02", "第2振动抑制陷波频率", "Edit121", 92, 1, 0, 200.0, "0.0", "0.0", "HZ", "0.0~200.0"))
      .add(q_row("F4-03", "第2振动抑制陷波Q值", "Edit122", 93));

  TableSection(t, kSF5, kServoBoth)
      .add(list_row("F5-00", "运转命令源", "ComboBox27", 100, run_source, "1、FWD、REV端口").with(kSnapshot))
      .add(list_row("F5-01", "转速值来源", "ComboBox28", 101,
                    numbered_items({"1、外部模拟量AD1 0~10V", "2、内部转速值", "3、通讯总线"}), "1、外部模拟量AD1 0~10V")
               .with(kSnapshot))
      .add(list_row("F5-02", "转矩限制源", "ComboBox29", 102,
                    numbered_items({"1、外部模拟量AD2 0~10V", "2、内部转矩限制值", "3、通讯总线"}),
                    "1、外部模拟量AD2 0~10V")
               .with(kSnapshot))
      .add(int_row("F5-03", "内部转速值", "Edit50", 103, 5, 4500, "5", "1000", "rpm", "5~4500"))
      .add(dec_row("F5-04", "加减速时间", "Edit51", 104, 1, 0.1, 20.0, "0.1", "1.0", "s", "0.1~20.0").with(kSnapshot))
      // The hints name 10~400; the drive's own limit of 350 decides.
      .add(int_row("F5-05", "内部正转转矩限制值", "Edit52", 105, 10, 350, "10", "100", "%", "10~400"))
      .add(int_row("F5-06", "内部反转转矩限制值", "Edit53", 106, 10, 350, "10", "100", "%", "10~400"))
      .add(int_row("F5-07", "转矩到达值", "Edit54", 107, 10, 350, "10", "100", "%", "10~400"))
      .add(list_row("F5-08", "锁轴命令源", "ComboBox30", 108, lock_source, "1、不锁轴").with(kSnapshot))
      .add(list_row("F5-09", "锁轴力", "ComboBox31", 109, number_items(1, 20), "10"))
      .add(list_row("F5-10", "失电制动器动作选择", "ComboBox32", 110, brake, "1、停止时失电制动器抱闸"));

  TableSection(t, kSF6, kServoBoth)
      .add(list_row("F6-00", "运转命令源", "ComboBox33", 120, run_source, "1、FWD、REV端口").with(kSnapshot))
      .add(list_row("F6-01", "转矩值来源", "ComboBox34", 121,
                    numbered_items({"1、外部模拟量AD2 0~10V", "2、内部转矩值", "3、通讯总线"}), "1、外部模拟量AD2 0~10V")
               .with(kSnapshot))
      .add(list_row("F6-02", "转速限制源", "ComboBox35", 122,
                    numbered_items({"1、外部模拟量AD1 0~10V", "2、内部转速限制值", "3、通讯总线"}),
                    "1、外部模拟量AD1 0~10V")
               .with(kSnapshot))
      .add(int_row("F6-03", "内部转矩值", "Edit55", 123, 10, 350, "10", "100", "%", "10~400"))
      .add(dec_row("F6-04", "加减转矩时间", "Edit56", 124, 1, 0.1, 20.0, "0.1", "1.0", "s", "0.1~20.0").with(kSnapshot))
      .add(int_row("F6-05", "内部正转转速限制值", "Edit57", 125, 5, 4500, "5", "1000", "rpm", "5~4500"))
      .add(int_row("F6-06", "内部反转转速限制值", "Edit58", 126, 5, 4500, "5", "1000", "rpm", "5~4500"))
      .add(int_row("F6-07", "转速到达值", "Edit59", 127, 5, 4500, "5", "1000", "rpm", "5~4500"))
      .add(dec_row("F6-08", "正转加速时间", "Edit60", 128, 1, 0.1, 20.0, "0.1", "1.0", "s", "0.1~20.0").with(kSnapshot))
      .add(dec_row("F6-09", "正转减速时间", "Edit61", 129, 1, 0.1, 20.0, "0.1", "1.0", "s", "0.1~20.0").with(kSnapshot))
      .add(dec_row("F6-10", "反转加速时间", "Edit62", 130, 1, 0.1, 20.0, "0.1", "1.0", "s", "0.1~20.0").with(kSnapshot))
      .add(dec_row("F6-11", "反转减速时间", "Edit63", 131, 1, 0.1, 20.0, "0.1", "1.0", "s", "0.1~20.0").with(kSnapshot))
      .add(list_row("F6-12", "锁轴命令源", "ComboBox36", 132, lock_source, "1、不锁轴").with(kSnapshot))
      .add(list_row("F6-13", "锁轴力", "ComboBox37", 133, number_items(1, 15), "5"))
      .add(list_row("F6-14", "失电制动器动作选择", "ComboBox38", 134, brake, "1、停止时失电制动器抱闸"));

  TableSection(t, kSF7, kServoBoth)
      .add(list_row("F7-00", "DA1功能", "ComboBox39", 140, da_function, "1、输出转速"))
      .add(da_rate_row("F7-01", "DA1倍率", "Edit64", 141, "ComboBox39"))
      .add(list_row("F7-02", "DA2功能", "ComboBox40", 142, da_function, "1、输出转速"))
      .add(da_rate_row("F7-03", "DA2倍率", "Edit65", 143, "ComboBox40"));

  TableSection(t, kSFA, kServoBoth)
      .add(int_row("FA-00", "通讯站号", "Edit66", 160, 1, 247, "1", "1", "", "").with(kStation))
      .add(list_row("FA-01", "数据传输速度", "ComboBox41", 161,
                    numbered_items({"1、4800bps", "2、9600bps", "3、19200bps", "4、38400bps", "5、57600bps"}),
                    "4、38400bps")
               .with(kLineSetting))
      .add(list_row("FA-02", "数据传输格式", "ComboBox42", 162,
                    numbered_items({"1、< 8 , N , 1 >", "2、< 8 , E , 1 >", "3、< 8 , O , 1 >", "4、< 8 , N , 2 >",
                                    "5、< 8 , E , 2 >", "6、< 8 , O , 2 >"}),
                    "2、< 8 , E , 1 >")
               .with(kLineSetting))
      .add(list_row("FA-03", "Modbus模式", "ComboBox43", 163, numbered_items({"1、ASCII", "2、RTU"}), "2、RTU")
               .with(kLineSetting))
      .add(dec_row("FA-04", "通讯超时", "Edit67", 164, 1, 0, 10.0, "0.0", "0.0", "s", "0.0~10.0"));

  TableSection(t, kSFB, kServoBoth)
      .add(list_row("FB-00", "恢复出厂设置", "ComboBox44", 170, numbered_items({"1、不恢复", "2、恢复出厂设置"}),
                    "1、不恢复")
               .with(kWriteAlone | kDownloadSafe))
      .add(display_row("FB-01", "程序版本", "Edit68", 171, DisplayFormat::Version)
                .with_role(kServoProgramVersion)
                .marked_with("Edit75"))
      .add(display_row("FB-02", "菜单版本", "Edit69", 172, DisplayFormat::Version));

  TableSection(t, kSFC, kServoBoth)
      .add(display_row("FC-00", "驱动器型号代号", "Edit70", 180, DisplayFormat::ModelCode))
      .add(display_row("FC-01", "当前伺服电机型号代号", "Edit71", 181, DisplayFormat::Version))
      .add(display_row("FC-02", "可驱动的电机型号代号", "Edit72", -1, DisplayFormat::Plain));
}

}  // namespace velmo
