#pragma once
#include "common/param_row.h"

namespace velmo {

// The bus-type speed controller's parameters F-01..F-31 as its menu editor
// presents them: one layout, four groups read in order and stopping at the
// first refused one.
enum SpeedCtlGroup : int { kTsqMotor, kTsqLine, kTsqReset, kTsqVersions, kTsqGroupCount };

// What the speed-controller editor's own code knows some rows as (ParamRow::role).
enum SpeedCtlRowRole : int {
  kTsqSeries = 1,      // F-01: chooses the F-05 list; kept per node for the control window
  kTsqControlMode,     // F-02: kept per node, written back when bus control ends
  kTsqStopMethod,      // F-05, one list per motor series
  kTsqFactoryReset,    // F-29: 2 restores the defaults, station 1 included
};

// Register of the motor series; the station number.
inline constexpr int kTsqSeriesReg = 1;
inline constexpr int kTsqStationReg = 20;

const ParamTable& speedctl_param_table();

}  // namespace velmo
