#pragma once
#include <array>
#include <cstdint>

namespace velmo::tuning {

inline constexpr int kSamples = 5001;

// What the gain-tuning window measures, decides and sets: captures, curves,
// spectra, stage lamps, gains and the searches' flags. Owned by the
// GainTuningWindow (one per program) and handed by reference to its searches
// and analyses; no other window reads it.
struct TuningState {
  // The drive under tuning: every exchange of the window goes to this station,
  // with the register layout and encoder of this drive.
  uint8_t station = 1;
  uint32_t servo_subtype = 0, servo_resolution = 131072, servo_resolution_scale = 1;
  std::array<uint8_t, 20001> capture_buffer{};
  std::array<int32_t, kSamples> pos_abs{}, pos_rel{}, pos_diff{}, pos_diff2{}, analysis_buffer{}, speed_rpm{};
  std::array<double, kSamples> ang_speed{}, accel_curve{};
  std::array<int32_t, kSamples> endvib_buffer{};
  std::array<double, kSamples> spectrum_db{}, spectrum_db_copy{}, spectrum_mag{};
  std::array<double, 8> inertia_accel{};
  std::array<int32_t, 8> inertia_torque{};
  std::array<double, 8> peak_accel{};
  uint32_t sample_count = 0, test_pulses = 0, overshoot_limit = 0, move_dir = 0, speed_point_count = 0,
           gear_a = 0, gear_b = 0, rigidity_level = 0, rigidity_max = 0, sample_rate_hz = 0, inertia_ratio = 0;
  int32_t integral_time = 0, pos_loop_gain = 0, speed_loop_gain = 0, resonance_freq = 0, endvib_freq_x10 = 0;
  uint32_t motor_row = 0, hold_servo_on = 0, pos_time_min = 0, pos_time_max = 0, max_position = 0,
           reach_level = 0, response_target = 0;
  int32_t response_time = 0;
  uint8_t move_params_changed = 0, resonance_pass = 0, load_class = 0, capture_block_ok = 0, resonance_found = 0,
          endvib_found = 0, endvib_mode = 0, jitter_found = 0;
  std::array<uint8_t, 5> tuning_stage{};
  uint8_t gain_group = 0, selflearn_running = 0, notch_result = 0, tune_stop = 0, test_run_active = 0,
          sync_positioning = 0, chart_mode = 0, notch_group = 0, suppressor_group = 0, servo_on_state = 0,
          drive_fault_seen = 0, response_mode = 0, search_done = 0, overshoot_flag = 0, peaks_flag = 0,
          torque_flag = 0, response_met = 0;
};

}  // namespace velmo::tuning
