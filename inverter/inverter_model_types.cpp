#include "inverter/inverter_model_types.h"

#include <cstring>
#include <initializer_list>

namespace velmo {

namespace {

struct Rating {
  std::initializer_list<int> codes;
  const char* text;
  int voltage_class;
  const char* kw;       // motor powers
  const char* current;  // default rated current of each power
  const char* low;      // lowest rated current
  const char* high;     // highest rated current
};

// Lists are written digit for digit as the boxes show them.
const Rating kRatings[] = {
    {{20, 40, 50}, "250W", 0, "0.04 0.06 0.09 0.12 0.18 0.20 0.25", "0.3 0.4 0.6 0.7 1.0 1.1 1.4",
     "0.2 0.3 0.5 0.6 0.9 1.0 1.2", "0.4 0.5 0.7 0.8 1.1 1.2 1.6"},
    {{21, 41, 51}, "400W", 0, "0.25 0.37 0.40", "1.4 1.9 2.1", "1.2 1.7 1.9", "1.6 2.1 2.3"},
    {{22, 42, 52}, "750W", 0, "0.37 0.40 0.75", "1.9 2.1 3.4", "1.7 1.9 3.1", "2.1 2.3 3.7"},
    {{23, 43, 53}, "1.5KW", 0, "0.75 1.10 1.50", "3.4 4.5 6.4", "3.1 4.0 5.8", "3.7 5.0 7.0"},
    {{24}, "2.2KW", 0, "1.50 2.20", "6.4 8.6", "5.8 7.7", "7.0 9.5"},
    {{44}, "3KW", 0, "1.50 2.20 3.00", "6.4 8.6 11.7", "5.8 7.7 10.5", "7.0 9.5 12.8"},
    {{25, 45}, "750W", 1, "0.37 0.40 0.75", "1.1 1.2 2.0", "1.0 1.1 1.8", "1.2 1.3 2.2"},
    {{26, 46}, "1.5KW", 1, "0.75 1.10 1.50", "2.0 2.6 3.7", "1.8 2.3 3.3", "2.2 2.9 4.1"},
    {{27}, "2.2KW", 1, "1.50 2.20", "3.7 5.0", "3.3 4.5", "4.1 5.5"},
    {{28}, "3KW", 1, "2.20 3.00", "5.0 6.7", "4.5 6.0", "5.5 7.4"},
    {{47}, "3KW", 1, "1.50 2.20 3.00", "3.7 5.0 6.7", "3.3 4.5 6.0", "4.1 5.5 7.4"},
    {{48}, "4KW", 1, "3.00 3.70 4.00", "6.7 8.0 8.7", "6.0 7.2 7.8", "7.4 8.8 9.6"},
    {{29}, "4KW", 2, "3.00 4.00", "6.7 8.7", "6.0 7.8", "7.4 9.6"},
    {{30}, "5.5KW", 2, "4.00 5.50", "8.7 11.6", "7.8 10.4", "9.6 12.8"},
    {{31}, "7.5KW", 2, "5.50 7.50", "11.6 15.4", "10.4 13.9", "12.8 16.9"},
    {{32}, "11KW", 2, "7.50 11.0", "15.4 22.6", "13.9 20.3", "16.9 24.9"},
    {{33}, "15KW", 2, "11.0 15.0", "22.4 30.1", "20.3 27.1", "24.9 33.1"},
    {{34}, "18.5KW", 2, "15.0 18.5", "30.1 35.9", "27.1 32.3", "33.1 39.5"},
    {{35}, "22KW", 2, "18.5 22.0", "35.9 42.5", "32.3 38.3", "39.5 46.7"},
};

QStringList words(const char* text) { return QString::fromLatin1(text).split(QLatin1Char(' ')); }

// Alternative controls of one parameter and the model types that show them.
struct Alternative {
  const char* control;
  unsigned types;  // bit t: shown for model type t
};
constexpr unsigned k01 = 0x03, k24 = 0x1C, k23 = 0x0C, k4 = 0x10, k03 = 0x0F;
const Alternative kAlternatives[] = {
    {"ComboBox2", k01},  {"ComboBox3", k01},  {"ComboBox4", k01},  {"ComboBox7", k01},  {"ComboBox8", k01},
    {"ComboBox11", k01}, {"ComboBox12", k01}, {"ComboBox13", k01}, {"ComboBox26", k24}, {"ComboBox27", k24},
    {"ComboBox28", k24}, {"ComboBox31", k24}, {"ComboBox32", k24}, {"ComboBox33", k24}, {"ComboBox29", k23},
    {"ComboBox30", k23}, {"ComboBox42", k4},  {"ComboBox43", k4},  {"ComboBox14", k03}, {"ComboBox52", k4},
    {"Edit33", k03},     {"ComboBox54", k4},
};

}  // namespace

PowerLists bpq_power_lists(int power_code) {
  for (const Rating& r : kRatings)
    for (int code : r.codes)
      if (code == power_code)
        return {true, QString::fromLatin1(r.text), r.voltage_class, words(r.kw), words(r.current), words(r.low),
                words(r.high)};
  const QStringList none = {QStringLiteral("0.0"), QStringLiteral("0.0")};
  return {false, QString(), 0, none, none, none, none};
}

std::vector<int> bpq_power_codes() {
  std::vector<int> codes;
  for (const Rating& r : kRatings) codes.insert(codes.end(), r.codes.begin(), r.codes.end());
  return codes;
}

ControlState bpq_control_state(const char* control, bool parameter_in_type, int model_type) {
  for (const Alternative& a : kAlternatives)
    if (std::strcmp(a.control, control) == 0 && ((a.types >> model_type) & 1u) == 0) return ControlState::Hidden;
  return parameter_in_type ? ControlState::Enabled : ControlState::Greyed;
}

std::vector<TypedText> bpq_type_texts(int model_type) {
  const bool small = model_type <= 1;
  const QString ramp = model_type == 4 ? QStringLiteral("1.0~200.0s") : QStringLiteral("0.1~120.0s");
  const QString brake_start = small ? QStringLiteral("0、3.0~6.0HZ")
                                    : model_type == 4 ? QStringLiteral("2.0~5.0HZ") : QStringLiteral("3.0~6.0HZ");
  const QString brake_stop = small ? QStringLiteral("0、3.0~50.0HZ")
                                   : model_type == 4 ? QStringLiteral("2.0~50.0HZ") : QStringLiteral("3.0~50.0HZ");
  const QString lacking = small ? QStringLiteral("该机型无此功能！！") : QString();
  std::vector<TypedText> texts = {
      {"Edit12", false, ramp},       {"Edit13", false, ramp},       {"Edit14", false, ramp},
      {"Edit15", false, ramp},       {"Edit8", false, brake_start}, {"Edit9", false, brake_stop},
      {"GroupBox11", false, lacking}, {"GroupBox13", false, lacking}, {"GroupBox14", false, lacking},
      {"Label87", true, model_type == 0 ? QStringLiteral("通讯超时") : QStringLiteral("FA-04: 通讯超时")},
  };
  texts.push_back({"Label101", true,
                   model_type == 4 ? QStringLiteral("F0-10: AD2模拟量类型") : QStringLiteral("F0-10: AD1模拟量类型")});
  return texts;
}

std::vector<TypedText> bpq_class_hints(int voltage_class, int model_type) {
  static const char* const k50Hz[] = {"100.0~220.0V", "100.0~380.0V", "100.0~380.0V"};
  static const char* const kMid[] = {"40.0~90.0V", "75.0~150.0V", "60.0~150.0V"};
  static const char* const k1HzSmall[] = {"15.0~65.0V", "15.0~65.0V", "10.0~65.0V"};
  static const char* const k1HzLarge[] = {"15.0~45.0V", "30.0~75.0V", "10.0~65.0V"};
  const int c = voltage_class < 0 || voltage_class > 2 ? 0 : voltage_class;
  return {{"Edit27", false, QString::fromLatin1(k50Hz[c])},
          {"Edit29", false, QString::fromLatin1(kMid[c])},
          {"Edit30", false, QString::fromLatin1(model_type <= 1 ? k1HzSmall[c] : k1HzLarge[c])}};
}

}  // namespace velmo
