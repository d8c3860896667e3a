// The simulated servo that moves for gain tuning: moves, recordings read over
// the wire by libmodbus (an independent master), and the mechanics that
// notches and suppressors remove, seen in a plain DFT of the recording.
#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "link/virtual_clock.h"
#include "sim/mechanics_text.h"
#include "sim/servo_station.h"
#include "sim/sim_line.h"
#include "support/modbus_master.h"
#include "support/wait.h"

using namespace velmo::sim::servo_regs;
using velmo::sim::ServoMechanics;
using velmo::sim::ServoStation;
using velmo::sim::SimLine;
using velmo::testing::ModbusMaster;

namespace {

constexpr double kPi = 3.14159265358979323846;

// A drive stepped by hand, written to as the tuning window does.
struct Axis {
  Axis(uint16_t version, uint16_t menu, uint16_t motor) : s(1, version, menu) {
    s.set_motor_code(motor);
    tuning = s.layout() == 1 ? kTuning1 : kTuning2;
  }
  void gains(int ratio_x10, int kp, int kv, int ti) {
    write(tuning.inertia_ratio, ratio_x10);
    write(tuning.kp, kp);
    write(tuning.kp + 1, kv);
    write(tuning.kp + 2, ti);
  }
  bool write(int r, int v) { return s.on_write(static_cast<uint16_t>(r), static_cast<uint16_t>(v)); }
  bool start(int dir, int pulses_k, int rate) {
    write(kTestPulses, pulses_k);
    write(kTestRate, rate);
    write(kTestArm, 1);
    return write(kTestStart, dir);
  }
  int32_t pos() const { return static_cast<int32_t>(s.position()); }
  // The recording as the drive stores it, from the wire format's point of view.
  std::vector<int32_t> recording(size_t n) {
    std::vector<int32_t> out;
    std::vector<uint8_t> bytes;
    uint8_t exception = 0;
    for (size_t i = 0; i < n; i += 25) {
      const auto c = static_cast<uint16_t>(std::min<size_t>(25, n - i));
      if (!s.read_wide(static_cast<uint16_t>(kRecording + i), c, bytes, exception) || bytes.size() != 4u * c) break;
      for (size_t k = 0; k < bytes.size(); k += 4)
        out.push_back(static_cast<int32_t>((uint32_t{bytes[k]} << 24) | (bytes[k + 1] << 16) | (bytes[k + 2] << 8) |
                                           bytes[k + 3]));
    }
    return out;
  }
  ServoStation s;
  TuningLayout tuning{};
};

// Magnitude of one frequency in a series sampled at rate (mean removed).
double dft_magnitude(const std::vector<double>& x, double hz, double rate) {
  double mean = 0;
  for (double v : x) mean += v;
  mean /= static_cast<double>(x.size());
  std::complex<double> sum;
  for (size_t n = 0; n < x.size(); ++n) sum += (x[n] - mean) * std::polar(1.0, -2 * kPi * hz * n / rate);
  return 2 * std::abs(sum) / static_cast<double>(x.size());
}

std::vector<double> differences(const std::vector<int32_t>& p, size_t from, size_t to) {
  std::vector<double> d;
  for (size_t i = from + 1; i < to && i < p.size(); ++i) d.push_back(static_cast<double>(p[i] - p[i - 1]));
  return d;
}

// Peak at hz against the median level of the band around it.
double peak_over_band(const std::vector<double>& x, double hz, double rate) {
  std::vector<double> band;
  for (double f = 0.6 * hz; f <= 1.4 * hz; f += 7.0) band.push_back(dft_magnitude(x, f, rate));
  std::nth_element(band.begin(), band.begin() + band.size() / 2, band.end());
  return dft_magnitude(x, hz, rate) / band[band.size() / 2];
}

TEST(ServoMotorCode, ReadFromRegister181AndKeptOverAFactoryReset) {
  SimLine line;
  auto* s4096 = dynamic_cast<ServoStation*>(&line.add(velmo::sim::make_servo(1, 8005, 102)));
  auto* s131k = dynamic_cast<ServoStation*>(&line.add(velmo::sim::make_servo(2, 6101, 101)));
  ModbusMaster m{line.port_path()};
  ASSERT_TRUE(s4096 && s131k && m.ok());
  EXPECT_EQ(m.read(1, kMotorModel), 4005);
  EXPECT_EQ(m.read(2, kMotorModel), 6002);
  s131k->set_motor_code(13043);
  ASSERT_TRUE(m.write(2, kFactoryReset, 2));
  EXPECT_EQ(m.read(2, kMotorModel), 13043);
}

TEST(ServoPlant, MovesOfTheCommandedLengthEndThereForTheMotorRowsUsed) {
  struct Case {
    uint16_t version, menu, motor;
    double load_ratio;
    int pulses_k, rate;
  } const cases[] = {
      {8005, 102, 4005, 1.0, 393, 98},   // 4096-count encoder: 131072 command counts per revolution
      {6101, 101, 6002, 5.0, 393, 98},
      {6101, 102, 13043, 20.0, 262, 65},
  };
  for (const Case& c : cases) {
    Axis a(c.version, c.menu, c.motor);
    ServoMechanics m;
    m.load_ratio = c.load_ratio;
    a.s.set_mechanics(m);
    a.gains(static_cast<int>(c.load_ratio * 10), 150, 1400, 117);
    const int32_t start = a.pos();
    const double scale = a.s.motor_resolution() / 131072.0;
    ASSERT_TRUE(a.start(1, c.pulses_k, c.rate)) << c.motor;
    EXPECT_FALSE(a.start(2, c.pulses_k, c.rate)) << "a start while moving is refused";
    a.s.advance(1.5);
    EXPECT_NEAR(a.pos() - start, c.pulses_k * 1000 * scale, 3) << c.motor;
    EXPECT_TRUE(a.start(2, c.pulses_k, c.rate));
    a.s.advance(1.5);
    EXPECT_NEAR(a.pos() - start, 0, 3) << c.motor;
    EXPECT_GT(a.s.reg(kPeakTorque), 5) << c.motor;
  }
}

TEST(ServoPlant, RecordingReadByLibmodbusDecodesToTheMove) {
  // The recording fills on the timeline while the libmodbus master waits for it.
  velmo::VirtualClock timeline;
  velmo::ClockScope scope(timeline);
  SimLine line;
  auto* s = dynamic_cast<ServoStation*>(&line.add(velmo::sim::make_servo(3, 6101, 102)));
  ASSERT_TRUE(s);
  s->set_position(0x7FFFF000u);  // the move crosses the 2^31 boundary
  ModbusMaster m{line.port_path()};
  ASSERT_TRUE(m.ok());
  for (auto [r, v] : {std::pair{kTestPulses, 131}, {kTestRate, 50}, {kTestArm, 1}, {kTestRecord, 1}, {kTestStart, 1}})
    ASSERT_TRUE(m.write(3, r, static_cast<uint16_t>(v)));
  std::vector<uint32_t> samples;
  for (uint16_t first = 0; first < 4096; first += 25) {
    const int c = std::min(25, 4096 - first);
    const uint16_t address = static_cast<uint16_t>(kRecording + first);
    uint8_t request[6] = {3, 3, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), 0,
                          static_cast<uint8_t>(c)};
    uint8_t reply[MODBUS_RTU_MAX_ADU_LENGTH];
    int n = -1;
    ASSERT_TRUE(velmo::testing::wait_for([&] {  // samples not recorded yet are refused
      modbus_send_raw_request(m.ctx(), request, 6);
      n = modbus_receive_confirmation(m.ctx(), reply);
      return n == 5 + 4 * c;
    })) << first;
    ASSERT_EQ(reply[2], 4 * c);
    for (int k = 0; k < c; ++k)
      samples.push_back((uint32_t{reply[3 + 4 * k]} << 24) | (reply[4 + 4 * k] << 16) | (reply[5 + 4 * k] << 8) |
                        reply[6 + 4 * k]);
  }
  ASSERT_EQ(samples.size(), 4096u);
  EXPECT_NEAR(static_cast<int32_t>(samples.front() - 0x7FFFF000u), 0, 2);
  EXPECT_NEAR(static_cast<int32_t>(samples.back() - 0x7FFFF000u), 131000, 3);
  const auto position = m.read(3, kPosition, 2);
  ASSERT_TRUE(position);
  EXPECT_NEAR(static_cast<int32_t>(((*position)[1] << 16 | (*position)[0]) - samples.back()), 0, 2);
  // Past the area, and more than a block, are refused.
  EXPECT_FALSE(m.read(3, static_cast<uint16_t>(kRecording + 5000), 1));
}

TEST(ServoPlant, EndVibrationRingsAfterAMoveUnlessSuppressed) {
  ServoMechanics physical, scripted;
  physical.end_mode_hz = 15;
  scripted.script.on = scripted.script.end_vibration = true;
  for (const ServoMechanics& m : {physical, scripted}) for (const int suppressor : {0, 148, 155}) {
    Axis a(6101, 101, 6002);
    a.s.set_mechanics(m);
    a.gains(10, 88, 1400, 117);
    a.write(a.tuning.suppressor + a.tuning.suppressor_stride, suppressor);  // group 2, x10 Hz
    a.write(a.tuning.suppressor + a.tuning.suppressor_stride + 1, 80);
    ASSERT_TRUE(a.start(1, 393, 98));
    a.s.advance(0.6);
    a.write(kTestRecord, 2);
    a.s.advance(3.1);
    std::vector<double> x;
    for (int32_t p : a.recording(1499)) x.push_back(p);
    x.erase(x.begin(), x.begin() + 400);
    const double amplitude = dft_magnitude(x, 15, 500);
    if (suppressor == 0) EXPECT_GT(amplitude, 2.0) << m.script.on;
    else EXPECT_LT(amplitude, 1.0) << suppressor << " " << m.script.on;
  }
}

// The end mode is an angle of the machine: after a fast stop it rings as wide
// on a coarse encoder as on a fine one, at a low and a high frequency and at
// one whose periods the move's ramps last whole (10 Hz for 100 ms ramps), a
// second after the stop; dry friction has stopped it five seconds after.
TEST(ServoPlant, TheEndModeRingsAsWideOnEveryEncoderAndStops) {
  struct Motor {
    uint16_t version, menu, motor;
    double counts_per_rad;
  } const motors[] = {{8005, 102, 4005, 4096 / (2 * kPi)}, {6101, 101, 6002, 131072 / (2 * kPi)}};
  std::vector<double> widths;
  for (const Motor& mo : motors) for (const double hz : {6.0, 10.0, 28.0}) {
    SCOPED_TRACE(::testing::Message() << mo.motor << " " << hz << " Hz");
    Axis a(mo.version, mo.menu, mo.motor);
    ServoMechanics m;
    m.end_mode_hz = hz;
    a.s.set_mechanics(m);
    a.gains(10, 88, 1400, 117);
    ASSERT_TRUE(a.start(1, 393, 98));  // three revolutions at 980 pulses per ms: 100 ms ramps
    a.s.advance(0.6);
    a.write(kTestRecord, 2);
    a.s.advance(3.1);
    const std::vector<int32_t> early = a.recording(1499);
    ASSERT_EQ(early.size(), 1499u);
    // 1.0 to 1.3 s after the stop (the recording starts 0.2 s after it, at 500 Hz).
    const auto [lo, hi] = std::minmax_element(early.begin() + 400, early.begin() + 550);
    widths.push_back((*hi - *lo) / 2.0 / mo.counts_per_rad);
    EXPECT_GT(widths.back(), 5 / (4096 / (2 * kPi)));  // five counts of the coarse encoder
    a.s.advance(1.8);
    a.write(kTestRecord, 2);
    a.s.advance(3.1);
    const std::vector<int32_t> late = a.recording(1499);
    const auto [still_lo, still_hi] = std::minmax_element(late.begin(), late.end());
    EXPECT_LE(*still_hi - *still_lo, 3);  // the encoder's dither (+-1) and rounding only
  }
  const auto [narrowest, widest] = std::minmax_element(widths.begin(), widths.end());
  EXPECT_LT(*widest / *narrowest, 1.3);
}

// The estimate the tuning window makes from two rates: torque difference over
// the difference of peak accelerations taken from the recording.
TEST(ServoPlant, PeakTorqueAndRecordedAccelerationGiveTheLoadInertia) {
  for (const double ratio : {1.0, 5.0, 20.0}) {
    Axis a(6101, 102, 6002);
    ServoMechanics m;
    m.load_ratio = ratio;
    a.s.set_mechanics(m);
    a.gains(10, 50, 800, 127);
    // Runs at the start rate, then the rate raised until the torque is 50 % higher (as the window does).
    double torque[2] = {0, 0}, accel[2] = {0, 0};
    int dir = 1;
    for (int k = 0, rate = 98; k < 2 && rate < 500; rate += k == 0 ? 0 : 20) {
      a.write(kTestRecord, 1);
      ASSERT_TRUE(a.start(dir, 393, rate));
      dir = 3 - dir;
      a.s.advance(1.0);
      const std::vector<int32_t> p = a.recording(2050);
      const int step = 16;
      std::vector<double> w;
      for (size_t i = 0; i + step < p.size(); i += step)
        w.push_back(2 * kPi * 5000.0 / (step - 1) / 131072 * std::abs(p[i + step - 1] - p[i]));
      accel[k] = 0;
      for (size_t j = 0; j + 1 < w.size(); ++j) accel[k] = std::max(accel[k], std::abs(w[j + 1] - w[j]) * 5000 / step);
      torque[k] = a.s.reg(kPeakTorque);
      if (k == 0 || torque[1] > torque[0] + 50) ++k;
    }
    const double rated = 0.64, rotor = 17e-6;
    const double estimate = rated * (torque[1] - torque[0]) / 100 / (accel[1] - accel[0]) / rotor;
    EXPECT_NEAR(estimate / ratio, 1.0, 0.05) << ratio;
  }
}

// A physical resonance rings above its gain unless notched (here in group 2);
// the scripted detections follow their thresholds (notch in group 1).
TEST(ServoPlant, ResonanceJitterAndOvershootFollowTheirThresholds) {
  ServoMechanics physical, scripted;
  physical.resonances = {{450, 1000}};
  scripted.script.on = true;
  scripted.script.resonance_rigidity = 12;  // low-rigidity load, ratio 1.0: Kv 1640 at R = 12
  scripted.script.jitter_kv = 2000;
  scripted.script.overshoot_kp = 150;
  struct Case {
    const ServoMechanics& m;
    int kp, kv, notch_group, notch_hz;
    bool resonance, jitter, overshoot;
  } const cases[] = {
      {physical, 88, 700, 0, 0, false, false, false},
      {physical, 88, 1400, 0, 0, true, false, false},
      {physical, 88, 1400, 1, 430, false, false, false},  // 4 % off
      {scripted, 88, 1520, 0, 0, false, false, false},
      {scripted, 88, 1640, 0, 0, true, false, false},
      {scripted, 88, 1640, 0, 460, false, false, false},
      {scripted, 88, 2100, 0, 460, false, true, false},
      {scripted, 160, 1520, 0, 0, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.m.script.on ? "scripted" : "physical") << " kp " << c.kp << " kv "
                                      << c.kv << " notch " << c.notch_hz);
    Axis a(6101, 102, 6002);
    a.s.set_mechanics(c.m);
    a.gains(10, c.kp, c.kv, 117);
    const int notch = a.tuning.notch + c.notch_group * a.tuning.notch_stride;
    a.write(notch, c.notch_hz ? c.notch_hz : 2500);
    a.write(notch + 1, c.notch_hz ? 10 : 0);
    a.write(kTestRecord, 1);
    ASSERT_TRUE(a.start(1, 131, 50));
    a.s.advance(1.0);
    const std::vector<int32_t> p = a.recording(4096);
    const std::vector<double> d = differences(p, 0, 4096);
    const double ring = peak_over_band(d, 450, 5000);
    if (c.resonance) EXPECT_GT(ring, 30);
    else EXPECT_LT(ring, 10);
    int steps = 0;
    for (size_t i = 1; i < d.size(); ++i) steps += std::abs(d[i] - d[i - 1]) > 16;
    EXPECT_EQ(steps > 40, c.jitter);
    // Past the end by more than a ringing resonance (20 counts) and the dither reach.
    const int32_t top = *std::max_element(p.begin(), p.end() - 1);
    EXPECT_EQ(top - p.front() > 131000 + 25, c.overshoot);
  }
}

// Up to four resonances, each ringing at its own frequency above its own
// gain; a notch removes the one it is set on and leaves the other ringing.
TEST(ServoPlant, EachResonanceRingsAboveItsOwnGainUntilANotchIsSetOnIt) {
  ServoMechanics m;
  m.resonances = {{300, 1000}, {2000, 1600}};
  struct Case {
    int kv, notch_300, notch_2000;  // notch groups 1..4, 0: none
    bool ring_300, ring_2000;
  } const cases[] = {
      {1400, 0, 0, true, false},
      {1800, 0, 0, true, true},
      {1800, 1, 0, false, true},
      {1800, 1, 4, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "kv " << c.kv << " notches " << c.notch_300 << " " << c.notch_2000);
    Axis a(6101, 102, 6002);
    a.s.set_mechanics(m);
    a.gains(10, 88, c.kv, 117);
    for (auto [group, hz] : {std::pair{c.notch_300, 300}, {c.notch_2000, 2000}}) {
      if (group == 0) continue;
      const int notch = a.tuning.notch + (group - 1) * a.tuning.notch_stride;
      a.write(notch, hz);
      a.write(notch + 1, 10);
    }
    a.write(kTestRecord, 1);
    ASSERT_TRUE(a.start(1, 131, 50));
    a.s.advance(1.0);
    const std::vector<double> d = differences(a.recording(4096), 0, 4096);
    for (auto [hz, rings] : {std::pair{300.0, c.ring_300}, {2000.0, c.ring_2000}}) {
      const double ring = peak_over_band(d, hz, 5000);
      if (rings) EXPECT_GT(ring, 30) << hz;
      else EXPECT_LT(ring, 10) << hz;
    }
  }
}

TEST(ServoPlant, StartNeedsArmingAndNoFaultAndAFaultDuringACaptureTrips) {
  Axis a(6101, 102, 6002);
  EXPECT_FALSE(a.write(kTestStart, 1)) << "not armed";
  a.write(kTestRecord, 1);
  ASSERT_TRUE(a.start(1, 131, 50));
  a.s.advance(1.0);
  a.s.fault_during_capture(9, 3);
  EXPECT_EQ(a.recording(100).size(), 100u) << "the recording stays readable";
  EXPECT_EQ(a.s.reg(kFaultCode), 9);
  a.write(kTestArm, 1);
  EXPECT_FALSE(a.write(kTestStart, 1)) << "faulted";
  EXPECT_TRUE(a.write(kTestStart, 0)) << "a stop is always taken";
}

TEST(ServoPlant, MechanicsFromTheCommandLine) {
  const auto m = velmo::sim::parse_mechanics("load=5,resonance=450@1000,end=15,script-overshoot=150");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->load_ratio, 5.0);
  ASSERT_EQ(m->resonances.size(), 1u);
  EXPECT_EQ(m->resonances[0].hz, 450.0);
  EXPECT_EQ(m->resonances[0].kv, 1000);
  EXPECT_EQ(m->end_mode_hz, 15.0);
  EXPECT_TRUE(m->script.on);
  EXPECT_EQ(m->script.overshoot_kp, 150);
  // Every resonance given is kept, up to the drive's four notch groups; the
  // end mode's size and damping are the machine's too.
  const auto two =
      velmo::sim::parse_mechanics("resonance=300@900,resonance=700@1200,end=6,end-size=0.01,end-damping=0.004");
  ASSERT_TRUE(two);
  ASSERT_EQ(two->resonances.size(), 2u);
  EXPECT_EQ(two->resonances[0].hz, 300.0);
  EXPECT_EQ(two->resonances[1].hz, 700.0);
  EXPECT_EQ(two->resonances[1].kv, 1200);
  EXPECT_EQ(two->end_mode_rad, 0.01);
  EXPECT_EQ(two->end_mode_zeta, 0.004);
  EXPECT_FALSE(two->script.on);
  EXPECT_TRUE(velmo::sim::parse_mechanics("resonance=100@1,resonance=200@1,resonance=300@1,resonance=400@1"));
  for (const char* bad : {"load=0.5", "resonance=450", "end=x", "jitter=-1", "spin=3", "load", "end-damping=0",
                          "end-damping=1", "end-size=-0.1",
                          "resonance=100@1,resonance=200@1,resonance=300@1,resonance=400@1,resonance=500@1"})
    EXPECT_FALSE(velmo::sim::parse_mechanics(bad)) << bad;
}

}  // namespace
