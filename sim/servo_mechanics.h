#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmo::sim {

// What one simulated servo axis is made of, beyond its motor: the load, its
// friction and the mechanical phenomena gain tuning looks for. Gains are in
// the drive's register units (tenths of Hz).
struct ServoMechanics {
  double load_ratio = 1.0;    // (rotor + load) / rotor inertia: what an inertia estimation should find
  double friction = 0.01;     // Coulomb friction, share of the rated torque
  double torque_limit = 3.0;  // share of the rated torque
  int dither_counts = 1;      // encoder dither seen in recordings and position reads, +- counts
  uint32_t seed = 1;

  // Mechanical resonances, each ringing once the speed-loop gain reaching it
  // (after the inertia mismatch, torque filter and notches) passes its kv; a
  // notch on one removes that one only.
  struct Resonance {
    double hz = 0;
    int kv = 0;
  };
  static constexpr std::size_t kMaxResonances = 4;  // as many as the drive has notch groups
  std::vector<Resonance> resonances;
  // A low-frequency mode of the machine excited by the axis's acceleration
  // and rung down after a move; a command suppressor tuned to it removes it.
  double end_mode_hz = 0;  // 0: none
  // Its deflection is an angle of the machine, so that it disturbs every
  // motor alike whatever its encoder's resolution. It grows with the
  // acceleration up to kEndLimitAccel and no further (a harder move deflects
  // the machine no more), so that the inertia estimation's harder runs are
  // pulled less by a ring that grows with them (the README has what it reads).
  double end_mode_rad = 0.072;  // radians per 1000 rad/s^2 of the axis's acceleration
  static constexpr double kEndLimitAccel = 1000;  // rad/s^2
  // Its ring: a swing wider than kEndRingShare of the largest deflection is
  // damped out within a period (kEndSwingZeta), so that a fast stop rings
  // alike at every frequency, even where the move's ramps last whole periods;
  // below that it rings on, brought down in a straight line by dry friction
  // that stops the widest ring kEndRingStopS after the stop. So it is still
  // plain a second after the stop, where the end-vibration analysis looks,
  // and has stopped by the next move's recording, so that a suppressor set in
  // between is seen to remove it.
  static constexpr double kEndRingShare = 0.25;
  static constexpr double kEndSwingZeta = 0.5;
  static constexpr double kEndRingStopS = 4;
  // Viscous damping ratio of the ring beside the dry friction (0: none).
  double end_mode_zeta = 0;
  // Position jitter once the effective speed-loop gain passes this.
  int jitter_kv = 0;  // 0: none

  // Scripted detections for deterministic search tests: the move follows the
  // command as a clean first-order lag, and each phenomenon appears exactly
  // when its condition holds.
  struct Script {
    bool on = false;
    int resonance_rigidity = 0;  // resonance at rigidity >= this (0: never) unless notched
    double resonance_hz = 450;
    int jitter_kv = 0;           // jitter when the speed-loop gain register is above this (0: never)
    int overshoot_kp = 0;        // overshoot when the position-loop gain register is above this (0: never)
    bool end_vibration = false;  // end vibration until a suppressor covers end_hz
    double end_hz = 15;
    int load_class = 0;          // 0..2, for layout 1 drives (layout 2 holds it in a register)
  } script;
};

}  // namespace velmo::sim
