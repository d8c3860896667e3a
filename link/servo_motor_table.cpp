#include "link/servo_motor_table.h"

#include <algorithm>
#include <charconv>

namespace velmo::servo_motors {

// Rotor inertia and rated torque per flange class and power:
// 40 100 W; 60 200 W, 400 W; 80 750 W, 1 kW; 100 1 kW, 1.5 kW, 2 kW;
// 130 1 kW, 1.5 kW, 2 kW, 3 kW; 180 2.9 kW, 4.4 kW.
const std::array<std::string_view, kRowCount> kRows = {
    "    7  0.32     32   100",
    "   17  0.64     64   100",
    "   30  1.27    127   100",
    "  105  2.39    239   100",
    "  160  3.18    318   100",
    "  260  3.18    318   100",
    "  380  4.77    477   100",
    "  500  6.37    637   100",
    "  850  4.77    477   100",
    " 1200  7.16    716   100",
    " 1500  9.55    955   100",
    " 2000  14.3    143    10",
    " 3400  18.6    186    10",
    " 6700  28.4    284    10",
};

namespace {

// Characters first..last (1-based, inclusive) of a row, blanks trimmed.
std::string_view field(std::string_view text, size_t first, size_t last) {
  if (text.size() < first) return {};
  std::string_view f = text.substr(first - 1, std::min(last, text.size()) - first + 1);
  while (!f.empty() && f.front() == ' ') f.remove_prefix(1);
  while (!f.empty() && f.back() == ' ') f.remove_suffix(1);
  return f;
}

int to_int(std::string_view s) {
  int v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  return v;
}

bool one_of(int b, std::initializer_list<int> set) { return std::find(set.begin(), set.end(), b) != set.end(); }

}  // namespace

int Row::rotor_inertia_e6() const { return to_int(rotor_inertia); }
int Row::numerator() const { return to_int(torque_numerator); }
int Row::divisor() const { return to_int(torque_divisor); }
double Row::rated_torque_nm() const { return divisor() > 0 ? static_cast<double>(numerator()) / divisor() : 0.0; }

Row row(size_t index) {
  const std::string_view text = kRows[std::min(index, kRowCount - 1)];
  return {field(text, 1, 5), field(text, 8, 11), field(text, 16, 18), field(text, 22, 24)};
}

Identity identify(uint16_t code) {
  const int a = code / 100, b = code % 100;
  Identity id{131072, 1, 16, 13, b % 2 == 0};
  switch (a) {
    case 40:
      id.resolution = 4096;
      id.resolution_scale = 32;
      id.curve_step = 21;
      id.row = 0;
      break;
    case 60:
      id.row = one_of(b, {1, 2}) ? 1 : 2;
      break;
    case 80:
      id.row = one_of(b, {1, 2}) ? 3 : 4;
      break;
    case 100:
      id.row = one_of(b, {1, 2, 7, 8}) ? 5 : one_of(b, {3, 4, 9, 10}) ? 6 : 7;
      break;
    case 130:
      id.row = one_of(b, {31, 32, 39, 40}) ? 8 : one_of(b, {33, 34, 41, 42}) ? 9 : one_of(b, {35, 36, 43, 44}) ? 10 : 11;
      break;
    default:
      id.row = one_of(b, {31, 32}) ? 12 : 13;
      break;
  }
  return id;
}

}  // namespace velmo::servo_motors
