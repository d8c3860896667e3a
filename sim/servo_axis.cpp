#include "sim/servo_axis.h"

#include <algorithm>
#include <cmath>

#include "link/servo_motor_table.h"
#include "sim/station.h"

namespace velmo::sim {

using namespace servo_regs;

namespace {
constexpr int kRecordDecimation5k = ServoPlant::kRateHz / 5000;
constexpr int kRecordDecimation500 = ServoPlant::kRateHz / 500;
constexpr uint16_t kMaxSamplesPerRead = 25;
constexpr uint8_t kIllegalAddress = 0x02, kIllegalValue = 0x03, kDeviceFailure = 0x04;
}  // namespace

ServoAxis::ServoAxis(Station& regs, const TuningLayout& layout, int layout_number, uint16_t motor_code)
    : regs_(regs), layout_(layout), layout_number_(layout_number) {
  set_motor(motor_code);
}

void ServoAxis::set_motor(uint16_t motor_code) {
  const servo_motors::Identity id = servo_motors::identify(motor_code);
  const servo_motors::Row row = servo_motors::row(id.row);
  const uint32_t at = plant_ ? plant_->encoder() : 0;
  plant_ = std::make_unique<ServoPlant>(mech_, row.rotor_inertia_kgm2(), row.rated_torque_nm(), id.resolution);
  plant_->set_encoder(at);
  dirty_ = true;
}

void ServoAxis::set_mechanics(const ServoMechanics& mechanics) {
  mech_ = mechanics;
  plant_->set_mechanics(mech_);
  dirty_ = true;
}

void ServoAxis::set_position(uint32_t counts) {
  move_.hold(0);
  plant_->set_encoder(counts);
}

void ServoAxis::fault_during_capture(uint16_t code, int after_reads, std::function<void(uint16_t)> trip) {
  trip_ = std::move(trip);
  capture_fault_code_ = code;
  capture_fault_reads_ = after_reads;
}

uint32_t ServoAxis::gear_term(uint16_t first) const {
  return (regs_.reg(first) & 0xFF) * 10000u + regs_.reg(static_cast<uint16_t>(first + 1));
}

LoopSettings ServoAxis::read_settings() const {
  LoopSettings s;
  s.layout = layout_number_;
  s.inertia_ratio_x10 = regs_.reg(layout_.inertia_ratio);
  s.kp_x10 = regs_.reg(layout_.kp);
  s.kv_x10 = regs_.reg(layout_.kp + 1);
  s.ti_x10 = regs_.reg(layout_.kp + 2);
  s.speed_filter_x10 = regs_.reg(layout_.kp + 3);
  s.torque_filter_x10 = regs_.reg(layout_.kp + 4);
  s.load_class = layout_.load_class ? std::clamp(regs_.reg(layout_.load_class) - 1, 0, 2) : mech_.script.load_class;
  for (uint16_t g = 0; g < s.notches.size(); ++g) {
    const uint16_t r = static_cast<uint16_t>(layout_.notch + g * layout_.notch_stride);
    s.notches[g].hz = regs_.reg(r);
    s.notches[g].width = regs_.reg(static_cast<uint16_t>(r + 1));
    s.notches[g].depth = layout_.notch_stride == 3 ? regs_.reg(static_cast<uint16_t>(r + 2)) : 10;
  }
  for (uint16_t g = 0; g < s.suppressors.size(); ++g) {
    const uint16_t r = static_cast<uint16_t>(layout_.suppressor + g * layout_.suppressor_stride);
    s.suppressors[g].hz_x10 = regs_.reg(r);
    s.suppressors[g].depth_x10 = regs_.reg(static_cast<uint16_t>(r + 1));
  }
  return s;
}

std::optional<bool> ServoAxis::on_write(uint16_t r, uint16_t v) {
  switch (r) {
    case kTestStart:
      if (v == 0) {
        move_.stop();
      } else if (v > 2 || !start_move(v)) {
        return false;
      }
      break;
    case kTestPulses:
    case kTestRate:
      break;  // for the next start; a running move keeps its own
    case kTestRecord:
      if (v != 1 && v != 2) return false;
      recorder_.start(v == 1 ? kRecordDecimation5k : kRecordDecimation500);
      break;
    case kTestArm:
      if (v > 1) return false;
      armed_ = v == 1;
      if (armed_) {  // test mode puts the servo on
        engaged_ = true;
        plant_->set_servo_on(true);
      }
      break;
    case kServoOnOff:
      if (v > 1) return false;
      engaged_ = true;
      if (v == 0) move_.hold(plant_->command());
      plant_->set_servo_on(v == 1);
      break;
    default:
      return std::nullopt;
  }
  regs_.set_reg(r, v);
  return true;
}

bool ServoAxis::start_move(uint16_t direction) {
  if (move_.active() || !armed_ || stops_drive(regs_.reg(kFaultCode))) return false;
  const uint32_t numerator = gear_term(layout_.gear), denominator = gear_term(static_cast<uint16_t>(layout_.gear + 2));
  const double pulses = regs_.reg(kTestPulses) * 1000.0;
  const double per_ms = regs_.reg(kTestRate) * 10.0;
  if (pulses <= 0 || per_ms <= 0 || numerator == 0 || denominator == 0) return false;
  armed_ = false;  // every move is armed anew
  if (dirty_) {
    plant_->configure(read_settings());
    dirty_ = false;
  }
  plant_->set_servo_on(true);
  plant_->reset_peak_torque();
  const double counts = pulses * numerator / denominator * (direction == 2 ? -1 : 1);
  move_.start(plant_->command(), counts, pulses / per_ms / 1000.0);
  return true;
}

void ServoAxis::fault() {
  move_.hold(plant_->command());
  plant_->set_servo_on(false);
  armed_ = false;
}

void ServoAxis::advance(double seconds) {
  if (dirty_) {
    plant_->configure(read_settings());
    dirty_ = false;
  }
  pending_s_ += seconds;
  const int64_t steps = static_cast<int64_t>(pending_s_ * ServoPlant::kRateHz);
  pending_s_ -= static_cast<double>(steps) * ServoPlant::kDt;
  for (int64_t k = 0; k < steps; ++k) {
    if (!move_.active() && !recorder_.running() && plant_->idle()) break;  // nothing changes any more
    move_.advance(ServoPlant::kDt);
    if (move_.active() || plant_->servo_on()) plant_->set_command(move_.active() ? move_.position() : plant_->command(), move_.active());
    plant_->step();
    recorder_.sample(plant_->encoder());
  }
}

bool ServoAxis::read_recording(uint16_t start, uint16_t count, std::vector<uint8_t>& data, uint8_t& exception) {
  if (start < kRecording) return false;
  const size_t first = start - kRecording;
  if (count < 1 || count > kMaxSamplesPerRead) {
    exception = kIllegalValue;
    return true;
  }
  if (first + count > MotionRecorder::kCapacity) {
    exception = kIllegalAddress;
    return true;
  }
  if (first + count > recorder_.size()) {
    exception = kDeviceFailure;  // not recorded (yet)
    return true;
  }
  data.clear();
  for (size_t i = first; i < first + count; ++i) {
    const uint32_t v = recorder_.at(i);
    for (int shift = 24; shift >= 0; shift -= 8) data.push_back(static_cast<uint8_t>(v >> shift));
  }
  if (capture_fault_reads_ > 0 && --capture_fault_reads_ == 0 && trip_) trip_(capture_fault_code_);
  return true;
}

}  // namespace velmo::sim
