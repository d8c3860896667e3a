// Servo parameters, groups F0 to F2, both register layouts.
#include "servo/servo_param_table.h"

namespace velmo {

namespace {

ParamRow unit(ParamRow row, const char* u) {
  row.unit = QString::fromUtf8(u);
  return row;
}

// A value spread over two registers (the electronic gear ratio).
ParamRow gear_row(const char* code, const char* caption, const char* control, int reg) {
  ParamRow row = int_row(code, caption, control, reg, 1, 16777215, "1", "1", "", "1~16777215");
  row.codec.split = true;
  return row;
}

ParamRow signed_row(ParamRow row) {
  row.codec.negative = true;
  return row;
}

const char* const kMotionSources[] = {"1、由X0端口控制", "2、上电后4秒自动使能", "3、通讯"};

}  // namespace

ListItems servo_run_mode_items(bool bus_type) {
  if (bus_type)
    return numbered_items({"0、该轴号不生效", "1、调试模式", "8、Vexa-CAN通讯总线（所有模式）",
                           "9、RS-485通讯总线（速度、转矩模式）"});
  return numbered_items({"1、调试模式", "2、位置模式", "3、速度模式", "4、转矩模式", "5、第一位置、第二速度切换模式",
                         "6、第一位置、第二转矩切换模式", "7、第一转矩、第二速度切换模式",
                         "8、Vexa-CAN通讯总线（所有模式）", "9、RS-485通讯总线（速度、转矩模式）"});
}

ListItems servo_gain_switch_items(int layout, bool bus_type) {
  if (layout == kServoLayout1) {
    if (bus_type) return numbered_items({"2、位置偏差过大自动切换", "3、低速、高速自动切换"});
    return numbered_items({"1、由X4端口切换", "2、位置偏差过大自动切换", "3、低速、高速自动切换"});
  }
  if (bus_type) return numbered_items({"2、定位完成后自动切换", "3、通讯总线"});
  return numbered_items({"1、由X4端口切换", "2、定位完成后自动切换", "3、通讯总线"});
}

void add_servo_rows_f0_f2(ParamTable& t) {
  const ListItems motion = numbered_items({kMotionSources[0], kMotionSources[1], kMotionSources[2]});
  const ListItems encoder = numbered_items({"1、作为多圈绝对式编码器使用", "2、作为单圈绝对式编码器使用"});
  const ListItems origin = numbered_items({"1、无原点", "2、将当前位置设为原点"});
  const ListItems fwd_limit = numbered_items({"1、无极限", "2、将当前位置设为正转极限位置"});
  const ListItems rev_limit = numbered_items({"1、无极限", "2、将当前位置设为反转极限位置"});
  const ListItems pulse_format = numbered_items({"1、正转CW+反转CCW", "2、脉冲+方向", "3、A相+B相"});
  const ListItems pulse_rate = numbered_items({"1、高速脉冲频率200KHZ以下", "2、高速脉冲频率200KHZ以上"});
  const ListItems torque_limit = numbered_items({"1、内部转矩限制值（F1-16、F1-17）", "2、通讯总线"});
  const uint32_t home_setting = kRowDisabled | kNoGroupWrite;

  TableSection(t, kSF0, kServoBoth)
      .add(list_row("F0-00", "运转模式", "ComboBox1", 0, servo_run_mode_items(false), "1、调试模式").with(kSnapshot).with_role(kServoRunMode))
      .add(list_row("F0-01", "旋转方向", "ComboBox2", 1,
                    numbered_items({"1、允许正反转", "2、允许正转、禁止反转", "3、允许反转、禁止正转"}), "1、允许正反转"))
      .add(int_row("F0-02", "极限转速限制值", "Edit1", 2, 100, 4500, "100", "4500", "rpm", "100~4500"))
      .add(int_row("F0-03", "极限转矩限制值", "Edit2", 3, 10, 350, "10", "300", "%", "10~350"))
      .add(list_row("F0-04", "安全开关", "ComboBox3", 4,
                    numbered_items({"1、不使用", "2、使用", "3、作为正转、反转极限开关使用"}), "1、不使用"))
      .add(unit(list_row("F0-05", "安全开关断开强制减速时间", "ComboBox4", 5, tenths_items(1, 50), "1.0"), "s"))
      .add(int_row("F0-06", "调试模式下的运转速度", "Edit3", 6, 10, 1000, "10", "500", "rpm", "10~1000rpm"))
      .add(unit(list_row("F0-07", "调试模式下的加减速时间", "ComboBox5", 7, tenths_items(1, 50), "1.0"), "s"))
      .add(list_row("F0-08", "LED屏显示的内容", "ComboBox6", 8,
                    numbered_items({"1、按模式显示（输入脉冲数/转速/转矩）", "2、电机转速 rpm", "3、电机转矩 %",
                                    "4、位置偏差值  输入脉冲数", "5、最高转速 rpm", "6、最大转矩 %",
                                    "7、位置偏差最大值 圈", "8、驱动器最高温度 ℃", "9、制动电阻最大负载率 %",
                                    "10、直流母线电压最大值", "11、直流母线电压最小值"}),
                    "1、按模式显示（输入脉冲数/转速/转矩）"))
      .add(list_row("F0-09", "输入端口X5功能", "ComboBox7", 9,
                    numbered_items({"1、转矩模式下的转速限制", "2、速度模式下的转矩限制", "3、位置模式下的转矩限制",
                                    "4、位置模式外部机械抱闸", "5、位置模式失电制动器抱闸"}),
                    "1、转矩模式下的转速限制"))
      .add(list_row("F0-10", "输出端口Y4功能", "ComboBox8", 10,
                    numbered_items({"1、转矩模式下的转速到达", "2、速度模式下的转矩到达", "3、位置模式下的定位完成",
                                    "4、Z相脉冲"}),
                    "1、转矩模式下的转速到达"))
      .add(list_row("F0-11", "故障报警输出端口Y0", "ComboBox9", 11, numbered_items({"1、常开", "2、常闭"}), "1、常开"))
      .add(unit(list_row("F0-12", "Z相脉冲宽度", "ComboBox12", 12, number_items(5, 50), "50"), "ms"));

  TableSection(t, kSF1, kServoL1)
      .add(list_row("F1-00", "伺服使能命令源", "ComboBox10", 20, motion, "1、由X0端口控制").with(kSnapshot))
      .add(list_row("F1-01", "编码器类型", "ComboBox11", 21, encoder, "1、作为多圈绝对式编码器使用"))
      .add(int_row("F1-02", "减速箱速比", "Edit76", 22, 0, 100, "0", "1", "", "0~100"))
      .add(int_row("F1-03", "回机械原点的运转速度", "Edit4", 23, 20, 1000, "20", "50", "rpm", "20~1000"))
      .add(unit(list_row("F1-04", "回机械原点加减速时间", "ComboBox13", 24, tenths_items(1, 50), "1.0"), "s"))
      .add(list_row("F1-05", "机械原点设定", "ComboBox14", 25, origin, "1、无原点").with(home_setting))
      .add(list_row("F1-06", "正转极限设定", "ComboBox15", 26, fwd_limit, "1、无极限").with(home_setting))
      .add(list_row("F1-07", "反转极限设定", "ComboBox16", 27, rev_limit, "1、无极限").with(home_setting))
      .add(gear_row("F1-08/09", "电子齿轮比分子", "Edit5", 28))
      .add(gear_row("F1-10/11", "电子齿轮比分母", "Edit6", 30))
      .add(int_row("F1-12", "斜线平滑器", "Edit7", 32, 0, 1000, "0", "10", "ms", "0~1000"))
      .add(list_row("F1-13", "脉冲格式", "ComboBox17", 33, pulse_format, "1、正转CW+反转CCW"))
      .add(list_row("F1-14", "高速脉冲频率", "ComboBox18", 34, pulse_rate, "1、高速脉冲频率200KHZ以下"))
      .add(unit(list_row("F1-15", "位置偏差过大报警圈数", "ComboBox19", 35, tenths_items(1, 40), "3.0"), "圈"))
      .add(int_row("F1-16", "定位完成允许滞留脉冲数", "Edit8", 36, 1, 9999, "1", "100", "", "1~9999"))
      .add(list_row("F1-17", "转矩限制值", "ComboBox20", 37, torque_limit, "1、内部转矩限制值（F1-16、F1-17）")
               .with(kSnapshot))
      .add(int_row("F1-18", "正转转矩限制值", "Edit9", 38, 10, 350, "10", "100", "%", "10~350"))
      .add(int_row("F1-19", "反转转矩限制值", "Edit10", 39, 10, 350, "10", "100", "%", "10~350"));

  TableSection(t, kSF1, kServoL2)
      .add(list_row("F1-00", "伺服使能命令源", "ComboBox46", 20, motion, "1、由X0端口控制").with(kSnapshot))
      .add(list_row("F1-01", "编码器类型", "ComboBox47", 21, encoder, "1、作为多圈绝对式编码器使用"))
      .add(int_row("F1-02", "电机轴与原点轴传动比分子", "Edit84", 22, 1, 100, "1", "1", "", "1~100"))
      .add(int_row("F1-03", "电机轴与原点轴传动比分母", "Edit80", 23, 0, 100, "1", "1", "", "1~100"))
      .add(int_row("F1-04", "回机械原点的运转速度", "Edit77", 24, 20, 1000, "20", "50", "rpm", "20~1000"))
      .add(unit(list_row("F1-05", "回机械原点加减速时间", "ComboBox48", 25, tenths_items(1, 50), "1.0"), "s"))
      .add(list_row("F1-06", "机械原点设定", "ComboBox49", 26, origin, "1、无原点").with(home_setting))
      .add(list_row("F1-07", "正转极限设定", "ComboBox50", 27, fwd_limit, "1、无极限").with(home_setting))
      .add(list_row("F1-08", "反转极限设定", "ComboBox51", 28, rev_limit, "1、无极限").with(home_setting))
      .add(gear_row("F1-09/10", "电子齿轮比分子", "Edit78", 29))
      .add(gear_row("F1-11/12", "电子齿轮比分母", "Edit79", 31))
      .add(list_row("F1-13", "脉冲格式", "ComboBox52", 33, pulse_format, "1、正转CW+反转CCW"))
      .add(list_row("F1-14", "高速脉冲频率", "ComboBox53", 34, pulse_rate, "1、高速脉冲频率200KHZ以下"))
      .add(unit(list_row("F1-15", "位置偏差过大报警圈数", "ComboBox54", 35, tenths_items(1, 40), "3.0"), "圈"))
      .add(int_row("F1-16", "定位完成允许滞留脉冲数", "Edit81", 36, 1, 9999, "1", "100", "", "1~9999"))
      .add(list_row("F1-17", "转矩限制值选择", "ComboBox55", 37, torque_limit, "1、内部转矩限制值（F1-16、F1-17）")
               .with(kSnapshot))
      .add(int_row("F1-18", "正转转矩限制值", "Edit82", 38, 10, 300, "100", "100", "%", "10~350"))
      .add(int_row("F1-19", "反转转矩限制值", "Edit83", 39, 10, 300, "100", "100", "%", "10~350"));

  TableSection(t, kSF2, kServoL1)
      .add(list_row("F2-00", "负载特性自学习", "ComboBox21", 40,
                    numbered_items({"1、不自学习", "2、开始所有负载特性参数自学习", "3、开始正、反转转矩补偿自学习",
                                    "4、开始惯量比自学习", "5、开始机械刚性自学习"}),
                    "1、不自学习")
               .with(kDownloadSafe).with_role(kServoStartsLearning))
      .add(signed_row(int_row("F2-01", "正转转矩补偿", "Edit11", 41, -50, 50, "0", "20", "%", "-50~50")))
      .add(signed_row(int_row("F2-02", "反转转矩补偿", "Edit12", 42, -50, 50, "0", "20", "%", "-50~50")))
      .add(dec_row("F2-03", "负载惯量比", "Edit13", 43, 1, 1.0, 100.0, "1.0", "4.0", "", "1.0~100.0"))
      .add(list_row("F2-04", "机械刚性", "ComboBox22", 44, number_items(1, 30), "10"))
      .add(dec_row("F2-05", "第一位置环增益", "Edit14", 45, 1, 0.1, 2000.0, "0.1", "60.0", "HZ", "0.1~2000.0")
               .with(kDownloadSingly))
      .add(dec_row("F2-06", "第一速度环增益", "Edit15", 46, 1, 0.1, 2000.0, "0.1", "60.0", "HZ", "0.1~2000.0")
               .with(kDownloadSingly))
      .add(dec_row("F2-07", "第一速度环积分时间", "Edit16", 47, 1, 0.1, 1000.0, "20.0", "10.0", "ms", "0.1~1000.0")
               .with(kDownloadSingly))
      .add(dec_row("F2-08", "第一速度滤波时间", "Edit17", 48, 1, 0, 25.0, "0.0", "0.0", "ms", "0.0~25.0"))
      .add(dec_row("F2-09", "第一转矩滤波时间", "Edit18", 49, 1, 0, 25.0, "0.0", "0.0", "ms", "0.0~25.0"))
      .add(dec_row("F2-10", "第二位置环增益", "Edit19", 50, 1, 0.1, 2000.0, "0.1", "60.0", "HZ", "0.1~2000.0")
               .with(kDownloadSingly))
      .add(dec_row("F2-11", "第二速度环增益", "Edit20", 51, 1, 0.1, 2000.0, "0.1", "60.0", "HZ", "0.1~2000.0")
               .with(kDownloadSingly))
      .add(dec_row("F2-12", "第二速度环积分时间", "Edit21", 52, 1, 0.1, 1000.0, "20.0", "10.0", "ms", "0.1~1000.0")
               .with(kDownloadSingly))
      .add(dec_row("F2-13", "第二速度滤波时间", "Edit22", 53, 1, 0, 25.0, "0.0", "0.0", "ms", "0.0~25.0"))
      .add(dec_row("F2-14", "第二转矩滤波时间", "Edit23", 54, 1, 0, 25.0, "0.0", "0.0", "ms", "0.0~25.0"))
      .add(list_row("F2-15", "增益组切换", "ComboBox23", 55, servo_gain_switch_items(kServoLayout1, false),
                    "1、由X4端口切换")
               .with_role(kServoGainSwitch))
      .add(int_row("F2-16", "增益切换平滑时间", "Edit24", 56, 0, 1000, "0", "10", "ms", "0~1000"))
      // One decimal everywhere (tenths of a degree): typed, shown and group-written alike.
      .add(dec_row("F2-17", "偏差过大切换角度值", "Edit25", 57, 1, 0.1, 360.0, "0.1", "60.0", "度", "0.1~360.0"))
      .add(int_row("F2-18", "低速、高速切换阈值", "Edit26", 58, 300, 3000, "300", "1000", "rpm", "300~3000"))
      .add(int_row("F2-19", "速度前馈增益", "Edit27", 59, 0, 100, "0", "0", "%", "0~100"))
      .add(int_row("F2-20", "速度前馈滤波时间", "Edit28", 60, 0, 64, "0", "0", "ms", "0~64"))
      .add(int_row("F2-21", "转矩前馈增益", "Edit29", 61, 0, 100, "0", "0", "%", "0~100"))
      .add(int_row("F2-22", "转矩前馈滤波时间", "Edit30", 62, 0, 64, "0", "0", "ms", "0~64"))
      .add(int_row("F2-23", "停止刚性", "Edit31", 63, 1, 30, "1", "15", "", "1~30"));

  TableSection(t, kSF2, kServoL2)
      .add(list_row("F2-00", "负载类别", "ComboBox56", 50,
                    numbered_items({"1、低刚性负载", "2、中刚性负载", "3、高刚性负载"}), "1、低刚性负载"))
      .add(list_row("F2-01", "性能要求", "ComboBox62", 51, numbered_items({"1、低响应", "2、中响应", "3、高响应"}),
                    "1、低响应"))
      .add(dec_row("F2-02", "惯量比", "Edit87", 52, 1, 1.0, 100.0, "1.0", "4.0", "", "1.0~100.0"))
      .add(list_row("F2-03", "刚性等级", "ComboBox57", 53, number_items(1, 30), "10"))
      .add(list_row("F2-04", "负载特性自学习", "ComboBox63", 54,
                    numbered_items({"1、不自学习", "2、开始惯量比自学习", "3、开始所有刚性等级、共振抑制、振动抑制自学习",
                                    "4、开始陷波器共振抑制自学习", "5、开始末端振动抑制自学习"}),
                    "1、不自学习")
               .with(kDownloadSafe).with_role(kServoStartsLearning))
      .add(dec_row("F2-05", "第1位置环增益", "Edit88", 55, 1, 0.1, 2000.0, "0.1", "60.0", "HZ", "0.1~2000.0")
               .with(kDownloadSingly))
      .add(dec_row("F2-06", "第1速度环增益", "Edit89", 56, 1, 0.1, 2000.0, "0.1", "60.0", "HZ", "0.1~2000.0")
               .with(kDownloadSingly))
      .add(dec_row("F2-07", "第1速度环积分时间", "Edit90", 57, 1, 0.1, 1000.0, "20.0", "10.0", "ms", "0.1~1000.0")
               .with(kDownloadSingly))
      .add(dec_row("F2-08", "第1速度滤波时间", "Edit91", 58, 1, 0, 25.0, "0.0", "0.0", "ms", "0.0~25.0"))
      .add(dec_row("F2-09", "第1转矩滤波时间", "Edit92", 59, 1, 0, 25.0, "0.0", "0.0", "ms", "0.0~25.0"))
      .add(dec_row("F2-10", "第2位置环增益", "Edit93", 60, 1, 0.1, 2000.0, "0.1", "60.0", "HZ", "0.1~2000.0")
               .with(kDownloadSingly))
      .add(dec_row("F2-11", "第2速度环增益", "Edit94", 61, 1, 0.1, 2000.0, "0.1", "60.0", "HZ", "0.1~2000.0")
               .with(kDownloadSingly))
      .add(dec_row("F2-12", "第2速度环积分时间", "Edit95", 62, 1, 0.1, 1000.0, "20.0", "10.0", "ms", "0.1~1000.0")
               .with(kDownloadSingly))
      .add(dec_row("F2-13", "第2速度滤波时间", "Edit96", 63, 1, 0, 25.0, "0.0", "0.0", "ms", "0.0~25.0"))
      .add(dec_row("F2-14", "第2转矩滤波时间", "Edit97", 64, 1, 0, 25.0, "0.0", "0.0", "ms", "0.0~25.0"))
      .add(list_row("F2-15", "增益组切换", "ComboBox58", 65, servo_gain_switch_items(kServoLayout2, false),
                    "1、由X4端口切换")
               .with(kSnapshot)
               .with_role(kServoGainSwitch))
      .add(int_row("F2-16", "增益切换平滑时间", "Edit98", 66, 0, 1000, "0", "10", "ms", "0~1000"))
      .add(int_row("F2-17", "速度前馈增益", "Edit101", 67, 0, 100, "0", "0", "%", "0~100"))
      .add(int_row("F2-18", "速度前馈滤波时间", "Edit102", 68, 0, 64, "0", "0", "ms", "0~64"))
      .add(int_row("F2-19", "转矩前馈增益", "Edit103", 69, 0, 100, "0", "0", "%", "0~100"))
      .add(int_row("F2-20", "转矩前馈滤波时间", "Edit104", 70, 0, 64, "0", "0", "ms", "0~64"));
}

}  // namespace velmo
