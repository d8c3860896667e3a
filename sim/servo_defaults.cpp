#include "sim/servo_defaults.h"

namespace velmo::sim {
namespace {

using Row = DriveStation::RegValue;

// Groups whose registers are the same in both layouts: F0, F5, F6, F7, FB, FC
// (the communication group FA keeps its values over a factory reset).
const std::vector<Row> kCommon = {
    {0, 1}, {1, 1}, {2, 4500}, {3, 300}, {4, 1}, {5, 10}, {6, 500}, {7, 10}, {8, 1}, {9, 1}, {10, 1}, {11, 1},
    {12, 50},
    {100, 1}, {101, 1}, {102, 1}, {103, 1000}, {104, 10}, {105, 100}, {106, 100}, {107, 100}, {108, 1}, {109, 10},
    {110, 1},
    {120, 1}, {121, 1}, {122, 1}, {123, 100}, {124, 10}, {125, 1000}, {126, 1000}, {127, 1000}, {128, 10},
    {129, 10}, {130, 10}, {131, 10}, {132, 1}, {133, 5}, {134, 1},
    {140, 1}, {141, 100}, {142, 1}, {143, 100},
    {170, 1},
    {180, 803}, {181, 101},
};

// F1..F4, layout 1.
const std::vector<Row> kLayout1 = {
    {20, 1}, {21, 1}, {22, 1}, {23, 50}, {24, 10}, {25, 1}, {26, 1}, {27, 1}, {28, 0}, {29, 1}, {30, 0}, {31, 1},
    {32, 10}, {33, 1}, {34, 1}, {35, 30}, {36, 100}, {37, 1}, {38, 100}, {39, 100},
    {40, 1}, {41, 20}, {42, 20}, {43, 40}, {44, 10}, {45, 600}, {46, 600}, {47, 100}, {48, 0}, {49, 0}, {50, 600},
    {51, 600}, {52, 100}, {53, 0}, {54, 0}, {55, 1}, {56, 10}, {57, 60}, {58, 1000}, {59, 0}, {60, 0}, {61, 0},
    {62, 0}, {63, 15},
    {70, 1}, {71, 2500}, {72, 0}, {73, 0}, {74, 2500}, {75, 0}, {76, 0}, {77, 2500}, {78, 0}, {79, 0}, {80, 2500},
    {81, 0}, {82, 0},
    {90, 1}, {91, 0}, {92, 0}, {93, 0}, {94, 0}, {95, 0}, {96, 0}, {97, 1},
};

// F1..F4, layout 2.
const std::vector<Row> kLayout2 = {
    {20, 1}, {21, 1}, {22, 1}, {23, 1}, {24, 50}, {25, 10}, {26, 1}, {27, 1}, {28, 1}, {29, 0}, {30, 1}, {31, 0},
    {32, 1}, {33, 1}, {34, 1}, {35, 30}, {36, 100}, {37, 1}, {38, 100}, {39, 100},
    {40, 1},  // not a parameter here, but the torque-compensation and rigidity runs start from it
    {50, 1}, {51, 1}, {52, 40}, {53, 10}, {54, 1}, {55, 600}, {56, 600}, {57, 100}, {58, 0}, {59, 0}, {60, 600},
    {61, 600}, {62, 100}, {63, 0}, {64, 0}, {65, 1}, {66, 10}, {67, 0}, {68, 0}, {69, 0}, {70, 0},
    {80, 2500}, {81, 0}, {82, 2500}, {83, 0}, {84, 2500}, {85, 0}, {86, 2500}, {87, 0},
    {90, 0}, {91, 0}, {92, 0}, {93, 0},
};

}  // namespace

std::vector<DriveStation::RegValue> servo_default_params(int layout) {
  std::vector<Row> rows;
  // Every parameter register restarts from 0, then the listed values.
  for (uint16_t r = 0; r < 160; ++r) rows.push_back({r, 0});
  for (uint16_t r = 165; r < 170; ++r) rows.push_back({r, 0});
  for (uint16_t r = 173; r < 0x300; ++r) rows.push_back({r, 0});
  rows.insert(rows.end(), kCommon.begin(), kCommon.end());
  const auto& own = layout == 1 ? kLayout1 : kLayout2;
  rows.insert(rows.end(), own.begin(), own.end());
  return rows;
}

}  // namespace velmo::sim
