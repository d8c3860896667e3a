#pragma once
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

#include "tuning/drive_snapshot.h"

// How the operations the engineer starts in the tuning window end: their end
// lines, and the line that says what was found and what the drive holds.
namespace velmo::tuning {

enum class OperationKind : uint8_t {
  SelfLearning,           // Button33
  SystemVibration,        // Button49
  SpeedSearch,            // Button28
  PositionSearch,         // Button29
  ResonanceSearch,        // Button47
  EndVibrationSearch,     // Button37
  InertiaEstimation,      // Button24
  ResonanceDetection,     // Button13
  EndVibrationDetection,  // Button17
};

enum class Outcome : uint8_t { Completed, Stopped, Failed };

// What an operation looks for.
enum Finds : uint8_t { kFindsResonance = 1, kFindsEndVibration = 2, kFindsInertia = 4 };

struct OperationRow {
  OperationKind kind;
  const char* end_line[3];  // by Outcome (UTF-8)
  uint8_t finds;
};

const OperationRow& operation_row(OperationKind kind);

// The last of each the operation found.
struct Findings {
  std::optional<int32_t> resonance_hz;
  std::optional<int32_t> endvib_x10;
  std::optional<uint32_t> inertia_ratio_x10;
  bool inertia_tried = false;
};

// "<what>完成" and the like; a completion that found an inertia ratio at its
// upper limit says that the result is not to be trusted.
QString end_line(const OperationRow& row, Outcome outcome, const Findings& found = {});

// "<end line>：<found>；驱动器现值：<notch>，<suppressor>，<gain set 1>，<level>".
QString outcome_line(const OperationRow& row, Outcome outcome, const Findings& found, const DriveSnapshot& drive,
                     int notch_group, int suppressor_group);

// The put-back's line: done, or which settings failed and that the gains are unknown.
QString put_back_line(const std::vector<Held>& failed);

}  // namespace velmo::tuning
