#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "sim/servo_mechanics.h"

namespace velmo::sim {

// The drive's settings that shape the loops, as its registers hold them.
struct LoopSettings {
  int kp_x10 = 400;            // position loop gain, 0.1 Hz
  int kv_x10 = 400;            // speed loop gain, 0.1 Hz
  int ti_x10 = 200;            // speed integral time, 0.1 ms
  int speed_filter_x10 = 0;    // 0.1 ms
  int torque_filter_x10 = 0;   // 0.1 ms
  int inertia_ratio_x10 = 10;  // the drive's belief of (rotor + load) / rotor
  int load_class = 0;          // 0..2
  int layout = 2;
  struct Notch {
    int hz = 2500;
    int width = 0;   // 0..10; 0 is off
    int depth = 10;  // 0..10 (layout 1; layout 2 notches are full depth)
  };
  std::array<Notch, 4> notches{};
  struct Suppressor {
    int hz_x10 = 0;  // 0 is off
    int depth_x10 = 0;
  };
  std::array<Suppressor, 2> suppressors{};
};

// One axis: motor with load, its position and speed loops from the drive's
// gains, stepped at a fixed rate. Positions are in command counts (131072 per
// revolution); the encoder reads native counts of the motor row.
class ServoPlant {
 public:
  static constexpr int kRateHz = 10000;
  static constexpr double kDt = 1.0 / kRateHz;
  static constexpr double kCommandCountsPerRev = 131072;

  ServoPlant(const ServoMechanics& mechanics, double rotor_inertia, double rated_torque, uint32_t resolution);

  void configure(const LoopSettings& settings);
  void set_mechanics(const ServoMechanics& mechanics);
  void set_servo_on(bool on);
  bool servo_on() const { return servo_on_; }
  // Absolute command position; move_active tells the scripted overlays
  // whether a move is under way (they act at its end).
  void set_command(double counts, bool move_active);
  void step();
  // Nothing to compute: servo off, at rest and rung down.
  bool idle() const;

  uint32_t encoder() const;  // what the drive records and reports: native counts with dither
  void set_encoder(uint32_t counts);
  double command() const { return cmd_; }
  double position() const;  // where the rigid motor stands, command counts (no dither, no modes)
  double speed() const { return omega_; }  // rad/s
  double torque() const { return torque_meas_; }  // N m, as the drive's current measurement sees it
  void reset_peak_torque() { peak_torque_ = 0; }
  int peak_torque_percent() const;
  double rated_torque() const { return rated_torque_; }

 private:
  struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0, z1 = 0, z2 = 0;
    double run(double x) {
      const double y = b0 * x + z1;
      z1 = b1 * x - a1 * y + z2;
      z2 = b2 * x - a2 * y;
      return y;
    }
  };
  void step_loops();
  void step_modes(double accel);
  void step_end_mode(double accel);  // the machine's acceleration, rad/s^2
  double gain_at(double hz) const;  // speed-loop gain reaching a mode, relative to kv
  double effective_kv() const;
  bool script_resonance() const;
  bool script_end_vibration() const;
  int script_rigidity() const;
  double noise();  // uniform -1..1, deterministic

  ServoMechanics mech_;
  LoopSettings set_;
  double rotor_j_, rated_torque_;
  double native_per_rad_, rad_per_native_, native_per_cmd_;
  uint32_t base_ = 0;
  bool servo_on_ = false;
  bool move_active_ = false;
  double cmd_ = 0;       // command counts
  double theta_ = 0;     // rad from base
  double omega_ = 0;     // rad/s
  int64_t enc_[3] = {0, 0, 0};
  double speed_filt_ = 0, integ_ = 0, torque_filt_ = 0, applied_ = 0, torque_meas_ = 0, peak_torque_ = 0;
  std::array<Biquad, 4> notch_{};
  std::array<bool, 4> notch_on_{};
  // Command suppressors: zero-vibration-derivative shapers on a delay line.
  std::array<int, 2> shaper_lag_{};
  std::array<double, 2> shaper_mix_{};
  static constexpr int kShaperLen = 8192;
  std::array<std::array<double, kShaperLen>, 2> shaper_buf_{};
  int shaper_pos_ = 0;
  double shaped_cmd_ = 0;
  // One mode over a control period with its drive held, stepped exactly: it
  // rings at its frequency and decays at its damping whatever the period.
  struct ModeStep {
    double xx = 1, xv = 0, vx = 0, vv = 1;
    ModeStep() = default;
    ModeStep(double hz, double zeta);  // |zeta| < 1
    // x and v move about rest, where the drive holds the mode.
    void run(double& x, double& v, double rest) const {
      const double d = x - rest;
      x = rest + xx * d + xv * v;
      v = vx * d + vv * v;
    }
  };
  struct Ring {
    double q = 0, qv = 0;
    ModeStep on, off;  // with the loops and without them
  };
  // Modes seen by the encoder, native counts: the resonances' rings (q_ and
  // qv_ are their sum) and the end mode.
  std::vector<Ring> rings_;
  // The end mode, native counts: its ring and its swing beyond the ring's
  // width, the deflection per rad/s^2 and its limit, the widest ring and
  // what dry friction takes off it per period.
  struct EndMode {
    ModeStep ring, swing;
    double w = 1, per_accel = 0, limit = 0, widest = 0, friction = 0;
  } end_;
  double q_ = 0, qv_ = 0, x_ = 0, xv_ = 0;
  // The motion the machine's mode feels: command counts, counts/s.
  double felt_pos_ = 0, felt_vel_ = 0;
  bool jitter_ = false;
  double last_omega_ = 0;
  // Scripted following.
  double lag_pos_ = 0, lag_vel_ = 0, since_end_ = 1e9, t_ = 0;
  bool overshoot_ = false, script_res_ = false, script_end_ = false;
  uint64_t rng_;
  int visible_noise_ = 0;
};

}  // namespace velmo::sim
