#include "sim/servo_plant.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace velmo::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kModeMaxCounts = 20;    // a ringing resonance settles at this amplitude
constexpr double kResonanceZeta = 0.05;  // damping of the resonance with the loop open
constexpr double kJitterCounts = 12;
constexpr double kCurrentFilterS = 0.0003;  // the drive's current measurement
constexpr double kLoadTorqueB[3] = {120, 180, 270};  // rigidity step of the gain formula per load class

double first_order(double tau_s) { return tau_s > 0 ? ServoPlant::kDt / (tau_s + ServoPlant::kDt) : 1.0; }

}  // namespace

ServoPlant::ModeStep::ModeStep(double hz, double zeta) {
  const double w = 2 * kPi * hz, wd = w * std::sqrt(1 - zeta * zeta);
  const double e = std::exp(-zeta * w * kDt), c = std::cos(wd * kDt), s = std::sin(wd * kDt);
  xx = e * (c + zeta * w / wd * s);
  xv = e * s / wd;
  vx = -e * w * w / wd * s;
  vv = e * (c - zeta * w / wd * s);
}

ServoPlant::ServoPlant(const ServoMechanics& mechanics, double rotor_inertia, double rated_torque, uint32_t resolution)
    : mech_(mechanics),
      rotor_j_(rotor_inertia > 0 ? rotor_inertia : 1e-5),
      rated_torque_(rated_torque > 0 ? rated_torque : 1.0),
      native_per_rad_(resolution / (2 * kPi)),
      rad_per_native_(2 * kPi / resolution),
      native_per_cmd_(resolution / kCommandCountsPerRev),
      rng_(mechanics.seed * 0x9E3779B97F4A7C15ull + 1) {
  set_mechanics(mechanics);
}

void ServoPlant::set_mechanics(const ServoMechanics& mechanics) {
  mech_ = mechanics;
  rng_ = mechanics.seed * 0x9E3779B97F4A7C15ull + 1;
  rings_.assign(std::min(mech_.resonances.size(), ServoMechanics::kMaxResonances), Ring{});
  for (size_t k = 0; k < rings_.size(); ++k) rings_[k].off = ModeStep(mech_.resonances[k].hz, kResonanceZeta);
  if (mech_.end_mode_hz > 0) {
    end_.ring = ModeStep(mech_.end_mode_hz, std::clamp(mech_.end_mode_zeta, 0.0, 0.5));
    end_.swing = ModeStep(mech_.end_mode_hz, ServoMechanics::kEndSwingZeta);
    end_.w = 2 * kPi * mech_.end_mode_hz;
    end_.per_accel = mech_.end_mode_rad * native_per_rad_ / 1000.0;
    end_.limit = end_.per_accel * ServoMechanics::kEndLimitAccel;
    end_.widest = end_.limit * ServoMechanics::kEndRingShare;
    end_.friction = end_.widest / ServoMechanics::kEndRingStopS * kDt;
  }
  configure(set_);
}

void ServoPlant::configure(const LoopSettings& s) {
  set_ = s;
  for (size_t g = 0; g < notch_.size(); ++g) {
    const LoopSettings::Notch& n = s.notches[g];
    notch_on_[g] = n.width > 0 && n.hz >= 50 && n.hz < 2500 && (s.layout != 1 || n.depth > 0);
    if (!notch_on_[g]) continue;
    const double w0 = 2 * kPi * n.hz / kRateHz;
    const double q = 10.0 / std::clamp(n.width, 1, 10);
    const double alpha = std::sin(w0) / (2 * q);
    const double floor = s.layout == 1 ? 1.0 - std::clamp(n.depth, 0, 10) / 10.0 : 0.0;
    const double a0 = 1 + alpha;
    Biquad& b = notch_[g];
    b.b0 = (1 + alpha * floor) / a0;
    b.b1 = -2 * std::cos(w0) / a0;
    b.b2 = (1 - alpha * floor) / a0;
    b.a1 = b.b1;
    b.a2 = (1 - alpha) / a0;
  }
  for (size_t k = 0; k < shaper_lag_.size(); ++k) {
    const LoopSettings::Suppressor& p = s.suppressors[k];
    const bool on = p.hz_x10 > 0 && p.depth_x10 > 0;
    shaper_lag_[k] = on ? std::clamp(static_cast<int>(std::lround(kRateHz * 10.0 / (2.0 * p.hz_x10))), 1,
                                     kShaperLen / 2 - 1)
                        : 0;
    shaper_mix_[k] = on ? std::min(1.0, p.depth_x10 / 80.0) : 0.0;
  }
  jitter_ = mech_.script.on ? (mech_.script.jitter_kv > 0 && s.kv_x10 > mech_.script.jitter_kv)
                            : (mech_.jitter_kv > 0 && effective_kv() > mech_.jitter_kv);
  script_res_ = mech_.script.on && script_resonance();
  script_end_ = mech_.script.on && script_end_vibration();
  overshoot_ = mech_.script.on && mech_.script.overshoot_kp > 0 && s.kp_x10 > mech_.script.overshoot_kp;
  for (size_t k = 0; k < rings_.size(); ++k) {
    const ServoMechanics::Resonance& r = mech_.resonances[k];
    const double g = r.hz > 0 && r.kv > 0 ? effective_kv() * gain_at(r.hz) / r.kv : 0;
    rings_[k].on = ModeStep(r.hz, std::max(-kResonanceZeta, kResonanceZeta * (1 - g)));
  }
}

double ServoPlant::effective_kv() const {
  return set_.kv_x10 * (set_.inertia_ratio_x10 / 10.0) / std::max(mech_.load_ratio, 0.1);
}

double ServoPlant::gain_at(double hz) const {
  const std::complex<double> z = std::polar(1.0, 2 * kPi * hz / kRateHz);
  double g = 1;
  for (size_t k = 0; k < notch_.size(); ++k) {
    if (!notch_on_[k]) continue;
    const Biquad& b = notch_[k];
    g *= std::abs((b.b0 * z * z + b.b1 * z + b.b2) / (z * z + b.a1 * z + b.a2));
  }
  const double tau = set_.torque_filter_x10 * 1e-4;
  return g / std::sqrt(1 + std::pow(2 * kPi * hz * tau, 2));
}

int ServoPlant::script_rigidity() const {
  const double k = std::pow(std::max(set_.inertia_ratio_x10, 1) / 10.0, 0.68);
  const double b = kLoadTorqueB[std::clamp(set_.load_class, 0, 2)];
  return static_cast<int>(std::lround((set_.kv_x10 * k - 200) / b));
}

bool ServoPlant::script_resonance() const {
  const auto& sc = mech_.script;
  if (sc.resonance_rigidity <= 0 || script_rigidity() < sc.resonance_rigidity) return false;
  for (size_t g = 0; g < notch_on_.size(); ++g) {
    if (notch_on_[g] && std::abs(set_.notches[g].hz - sc.resonance_hz) <= 0.1 * sc.resonance_hz) return false;
  }
  return true;
}

bool ServoPlant::script_end_vibration() const {
  const auto& sc = mech_.script;
  if (!sc.end_vibration) return false;
  for (const auto& p : set_.suppressors) {
    if (p.hz_x10 > 0 && p.depth_x10 > 0 && std::abs(p.hz_x10 / 10.0 - sc.end_hz) <= 0.05 * sc.end_hz) return false;
  }
  return true;
}

double ServoPlant::noise() {
  rng_ ^= rng_ << 13;
  rng_ ^= rng_ >> 7;
  rng_ ^= rng_ << 17;
  return static_cast<double>(rng_ >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

void ServoPlant::set_servo_on(bool on) {
  if (on == servo_on_) return;
  servo_on_ = on;
  integ_ = speed_filt_ = torque_filt_ = applied_ = 0;
  cmd_ = shaped_cmd_ = lag_pos_ = felt_pos_ = position();
  lag_vel_ = felt_vel_ = 0;
  for (auto& buf : shaper_buf_) buf.fill(cmd_);
  for (auto& b : notch_) b.z1 = b.z2 = 0;
}

void ServoPlant::set_command(double counts, bool move_active) {
  if (move_active_ && !move_active) since_end_ = 0;
  move_active_ = move_active;
  cmd_ = counts;
}

double ServoPlant::position() const {
  if (mech_.script.on) return lag_pos_;
  return theta_ * native_per_rad_ / native_per_cmd_;
}

void ServoPlant::set_encoder(uint32_t counts) {
  base_ = counts;
  theta_ = omega_ = 0;
  cmd_ = shaped_cmd_ = lag_pos_ = lag_vel_ = felt_pos_ = felt_vel_ = 0;
  enc_[0] = enc_[1] = enc_[2] = 0;
  for (auto& buf : shaper_buf_) buf.fill(0);
}

uint32_t ServoPlant::encoder() const {
  const double native = position() * native_per_cmd_ + q_ + x_;
  return base_ + static_cast<uint32_t>(static_cast<int64_t>(std::llround(native)) + visible_noise_);
}

bool ServoPlant::idle() const {
  const bool rung_down =
      std::all_of(rings_.begin(), rings_.end(), [](const Ring& r) { return std::abs(r.q) < 0.01 && std::abs(r.qv) < 0.1; });
  return !servo_on_ && omega_ == 0 && rung_down && std::abs(q_) + std::abs(x_) < 0.01 &&
         std::abs(qv_) + std::abs(xv_) < 0.1;
}

int ServoPlant::peak_torque_percent() const {
  return static_cast<int>(std::min(65535.0, std::lround(peak_torque_ / rated_torque_ * 100.0) * 1.0));
}

void ServoPlant::step() {
  const double omega_before = omega_;
  step_loops();
  step_modes((omega_ - omega_before) / kDt);
  t_ += kDt;
  if (since_end_ < 1e9) since_end_ += kDt;
  // Jitter is the loop's doing; the encoder dithers by itself.
  const double spread = jitter_ && servo_on_ ? kJitterCounts : mech_.script.on ? 0.0 : mech_.dither_counts;
  visible_noise_ = spread > 0 ? static_cast<int>(std::lround(spread * noise())) : 0;
}

void ServoPlant::step_loops() {
  const double tmax = mech_.torque_limit * rated_torque_;
  double applied = 0;
  if (servo_on_) {
    // Command suppressors shape the command the loops follow.
    double c = cmd_;
    for (size_t k = 0; k < shaper_lag_.size(); ++k) {
      auto& buf = shaper_buf_[k];
      buf[shaper_pos_] = c;
      const int lag = shaper_lag_[k];
      if (lag == 0) continue;
      const double shaped = 0.25 * c + 0.5 * buf[(shaper_pos_ - lag) & (kShaperLen - 1)] +
                            0.25 * buf[(shaper_pos_ - 2 * lag) & (kShaperLen - 1)];
      c += shaper_mix_[k] * (shaped - c);
    }
    shaper_pos_ = (shaper_pos_ + 1) & (kShaperLen - 1);
    shaped_cmd_ = c;

    enc_[2] = enc_[1];
    enc_[1] = enc_[0];
    enc_[0] = std::llround(theta_ * native_per_rad_);
    const double err = (shaped_cmd_ * native_per_cmd_ - static_cast<double>(enc_[0])) * rad_per_native_;
    const double w_ref = 2 * kPi * set_.kp_x10 / 10.0 * err;
    const double w_meas = static_cast<double>(enc_[0] - enc_[2]) * rad_per_native_ / (2 * kDt);
    speed_filt_ += first_order(set_.speed_filter_x10 * 1e-4) * (w_meas - speed_filt_);
    const double e = w_ref - speed_filt_;
    const double j_est = rotor_j_ * std::max(set_.inertia_ratio_x10, 1) / 10.0;
    const double kw = j_est * 2 * kPi * set_.kv_x10 / 10.0;
    const double ti = set_.ti_x10 * 1e-4;
    const double integ = ti > 0 ? integ_ + e * kDt / ti : 0;
    double t = kw * (e + integ);
    torque_filt_ += first_order(set_.torque_filter_x10 * 1e-4) * (t - torque_filt_);
    t = torque_filt_;
    for (size_t k = 0; k < notch_.size(); ++k) {
      if (notch_on_[k]) t = notch_[k].run(t);
    }
    if (std::abs(t) > tmax) {
      t = std::copysign(tmax, t);  // saturated: the integral holds
    } else {
      integ_ = integ;
    }
    applied = applied_;  // one control period of delay
    applied_ = t;
  }

  // Rigid motor and load with Coulomb friction.
  const double j = rotor_j_ * std::max(mech_.load_ratio, 0.1);
  const double fc = mech_.friction * rated_torque_;
  if (omega_ != 0 || std::abs(applied) > fc) {
    const double dir = omega_ != 0 ? std::copysign(1.0, omega_) : std::copysign(1.0, applied);
    const double w = omega_ + (applied - fc * dir) / j * kDt;
    omega_ = (omega_ != 0 && w * omega_ < 0) ? 0 : w;  // friction stops it, never reverses it
  }
  theta_ += omega_ * kDt;

  // The drive's current measurement, with what a ringing resonance adds.
  const double res_torque =
      !rings_.empty()
          ? rotor_j_ * std::max(set_.inertia_ratio_x10, 1) / 10.0 * 2 * kPi * set_.kv_x10 / 10.0 * qv_ * rad_per_native_
          : 0;
  torque_meas_ += first_order(kCurrentFilterS) * (applied + res_torque - torque_meas_);
  peak_torque_ = std::max(peak_torque_, std::abs(torque_meas_));

  // Scripted following: a clean lag of the command, underdamped above the overshoot gain.
  if (mech_.script.on) {
    if (!servo_on_) {
      lag_pos_ = theta_ * native_per_rad_ / native_per_cmd_;
      lag_vel_ = 0;
    } else {
      const double wp = 2 * kPi * std::max(set_.kp_x10, 1) / 10.0;
      if (overshoot_) {
        const double wn = 2 * wp;
        lag_vel_ += (wn * wn * (shaped_cmd_ - lag_pos_) - 2 * 0.3 * wn * lag_vel_) * kDt;
        lag_pos_ += lag_vel_ * kDt;
      } else {
        lag_pos_ += (shaped_cmd_ - lag_pos_) * (1 - std::exp(-wp * kDt));
      }
    }
  }
}

void ServoPlant::step_modes(double accel) {
  if (mech_.script.on) {
    const double wr = 2 * kPi * mech_.script.resonance_hz;
    q_ = script_res_ && servo_on_ ? kModeMaxCounts * std::sin(wr * t_) : 0;
    const double we = 2 * kPi * mech_.script.end_hz;
    x_ = script_end_ && since_end_ < 1e9 ? 50 * std::exp(-0.01 * we * since_end_) * std::sin(we * since_end_) : 0;
    return;
  }
  q_ = qv_ = 0;
  for (size_t k = 0; k < rings_.size(); ++k) {
    Ring& r = rings_[k];
    const double hz = mech_.resonances[k].hz;
    if (hz <= 0 || mech_.resonances[k].kv <= 0) continue;
    const double wr = 2 * kPi * hz;
    const double drive = 0.0005 * accel + (servo_on_ ? 0.02 * noise() : 0);
    (servo_on_ ? r.on : r.off).run(r.q, r.qv, drive);  // without the loop nothing feeds it
    const double amp = std::hypot(r.q, r.qv / wr);
    if (amp > kModeMaxCounts) {
      r.q *= kModeMaxCounts / amp;
      r.qv *= kModeMaxCounts / amp;
    }
    q_ += r.q;
    qv_ += r.qv;
  }
  // A drive's feed-forward makes a real motor follow its command closely;
  // the simulated loops have none, and the ripple of their speed estimate
  // would ring a lightly damped mode as no suppressor could. So while the
  // loops run, the machine feels the acceleration the drive commands (after
  // its suppressors); with the servo off, the motor's own.
  const double rad_per_cmd = 2 * kPi / kCommandCountsPerRev;
  double machine_accel = accel;
  if (servo_on_) {
    const double v = (shaped_cmd_ - felt_pos_) / kDt;
    machine_accel = (v - felt_vel_) / kDt * rad_per_cmd;
    felt_vel_ = v;
    felt_pos_ = shaped_cmd_;
  } else {
    felt_pos_ = position();
    felt_vel_ = omega_ / rad_per_cmd;
  }
  if (mech_.end_mode_hz > 0) step_end_mode(machine_accel);
}

void ServoPlant::step_end_mode(double accel) {
  const double rest = std::clamp(-end_.per_accel * accel, -end_.limit, end_.limit);
  const double swing = std::hypot(x_ - rest, xv_ / end_.w);
  (swing > end_.widest ? end_.swing : end_.ring).run(x_, xv_, rest);
  // Dry friction takes the same angle off the ring every period of the loop.
  const double left = std::hypot(x_ - rest, xv_ / end_.w);
  const double keep = left > end_.friction ? (left - end_.friction) / left : 0;
  x_ = rest + (x_ - rest) * keep;
  xv_ *= keep;
}

}  // namespace velmo::sim
