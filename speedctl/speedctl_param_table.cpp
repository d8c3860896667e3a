#include "speedctl/speedctl_param_table.h"

namespace velmo {

namespace {

ParamRow sized(ParamRow row, int max_length) {
  row.max_length = max_length;
  return row;
}

// F-05's list for the motor series it serves: its items and the series.
ParamRow stop_method(const char* control, ListItems items, std::vector<int32_t> series) {
  return list_row("F-05", "停止方式", control, 5, std::move(items), "1、减速停止")
      .shown_while(kTsqSeriesReg, std::move(series))
      .with_role(kTsqStopMethod);
}

GroupDef group(const char* code, const char* read_fail, const char* write_fail) {
  GroupDef g;
  g.code = QString::fromUtf8(code);
  // Every group sits in the one box of the window.
  g.boxes = {{~0u, "GroupBox1", QStringLiteral("系统参数")}};
  g.read_fail = QString::fromUtf8(read_fail);
  g.write_fail = QString::fromUtf8(write_fail);
  return g;
}

ParamTable make_table() {
  ParamTable t;
  t.groups = {group("F-01", "F-01~F-09参数读取失败", "F-01~F-08参数修改失败"),
              group("F-20", "F-20~F-24参数读取失败", "F-20~F-24参数修改失败"),
              group("F-29", "F-29参数读取失败", "F-29参数修改失败"),
              group("F-30", "F-30~F-31参数读取失败", "")};

  ParamRow series = list_row("F-01", "电机系列", "ComboBox2", 1,
                             numbered_items({"1、XA系列调速电机", "2、XC系列调速电磁制动电机", "3、XD系列力矩电机",
                                             "4、XE系列电磁制动电机", "5、XG系列标准电机/XH系列阻尼电机"}),
                             "1、XA系列调速电机");
  series.hint = QStringLiteral("根据电机系列选择、必须按对应电机系列接线图接线。");

  TableSection(t, kTsqMotor, ~0u)
      .add(series.with_role(kTsqSeries))
      .add(list_row("F-02", "控制模式", "ComboBox3", 2, numbered_items({"1、手动试运转", "2、通讯总线"}), "1、手动试运转")
               .with_role(kTsqControlMode))
      .add(sized(int_row("F-03", "最大力矩", "Edit1", 3, 50, 100, "50", "80", "%", "50~100"), 3))
      // The accelerating and stopping times and F-08 have no lower clamp.
      .add(sized(dec_row("F-04", "加速时间", "Edit2", 4, 1, 0, 10.0, "0.1", "1.0", "s", "0.1~10.0"), 4))
      .add(stop_method("ComboBox4", numbered_items({"1、减速停止", "2、失电电磁制动停止", "3、快速停止"}), {2, 4}))
      // Shown before the first read as well (series 0).
      .add(stop_method("ComboBox5", numbered_items({"1、减速停止", "3、快速停止"}), {0, 1, 5}))
      .add(stop_method("ComboBox6", numbered_items({"1、减速停止"}), {3}))
      .add(sized(dec_row("F-06", "减速停止时间", "Edit3", 6, 1, 0, 10.0, "0.1", "1.0", "s", "0.1~10.0"), 4))
      .add(sized(dec_row("F-07", "失电电磁制动器松闸电机延时起动时间", "Edit11", 7, 1, 0, 2.0, "0.0", "0.0", "s",
                         "0.0~2.0"),
                 3))
      .add(sized(int_row("F-08", "快速停止强度", "Edit4", 8, 0, 5, "1", "3", "", "1~5"), 1));

  TableSection(t, kTsqLine, ~0u)
      .add(sized(int_row("F-20", "通讯站号", "Edit31", kTsqStationReg, 1, 247, "1", "1", "", "1~247"), 3).with(kStation))
      .add(list_row("F-21", "数据传输速度", "ComboBox19", 21,
                    numbered_items({"1、4800bps", "2、9600bps", "3、19200bps", "4、38400bps", "5、57600bps"}),
                    "4、38400bps"))
      .add(list_row("F-22", "数据传输格式", "ComboBox20", 22,
                    numbered_items({"1、<8 , N , 1>", "2、<8 , E , 1>", "3、<8 , O , 1>", "4、<8 , N , 2>",
                                    "5、<8 , E , 2>", "6、<8 , O , 2>"}),
                    "2、<8 , E , 1>"))
      .add(list_row("F-23", "Modbus模式", "ComboBox21", 23, numbered_items({"1、 ASCII模式", "2、RTU模式"}), "2、RTU模式"))
      .add(sized(dec_row("F-24", "通讯超时", "Edit33", 24, 1, 0, 10.0, "0.0", "0.0", "s", "0.0~10.0S"), 4));

  // A download never restores the factory settings: it sends "1、不恢复".
  TableSection(t, kTsqReset, ~0u)
      .add(list_row("F-29", "恢复出厂设定", "ComboBox22", 30, numbered_items({"1、不恢复", "2、恢复出厂设定"}), "1、不恢复")
               .with(kWriteAlone | kDownloadSafe)
               .with_role(kTsqFactoryReset));

  TableSection(t, kTsqVersions, ~0u)
      .add(display_row("F-30", "程序版本", "Edit34", 171, DisplayFormat::Version))
      .add(display_row("F-31", "菜单版本", "Edit35", 172, DisplayFormat::Version));
  return t;
}

}  // namespace

const ParamTable& speedctl_param_table() {
  static const ParamTable table = make_table();
  return table;
}

}  // namespace velmo
