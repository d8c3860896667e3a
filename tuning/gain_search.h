#pragma once
#include <QString>

#include <cstdint>

#include "tuning/search_tables.h"
#include "tuning/tuning_state.h"

// The automatic gain searches as state machines over the tuning window's
// operations. They read and write the window's tuning state (the
// rigidity level and gains, the detections' flags, notch_result,
// search_done) and act through SearchOps, so the same code runs against the
// window and against a scripted stand-in.
namespace velmo::tuning {

enum class GainReg { Rigidity, Kp, Kv, Ti, Kp2, Kv2, Ti2 };

class SearchOps {
 public:
  virtual ~SearchOps() = default;
  // A stop request or a failure: every loop ends at its next check, and on
  // the window the operations below write and move nothing from then on.
  virtual bool halted() const = 0;
  // Formula gains for rigidity_level, shown and written to gain set 1.
  virtual void gain_set() = 0;
  // One value to its register; set-1 values are shown too.
  virtual void write_gain(GainReg reg, int32_t value) = 0;
  virtual void detect_resonance() = 0;     // resonance_found, resonance_freq, jitter_found
  virtual void detect_end_vibration() = 0; // endvib_found
  virtual void set_notch() = 0;            // on the resonance just found; notch_result kNotchSet
  virtual void reset_notches() = 0;        // notch_result kNotchNone
  virtual void set_suppressor() = 0;       // on the end vibration just found
  virtual void reset_suppressors() = 0;
  virtual void response_test() = 0;        // the response flags and response_time
  virtual void test_settings() = 0;
  virtual void run_half() = 0;             // back to the middle of the stroke
  virtual void delay(int ms) = 0;
  virtual void set_jitter_threshold(int threshold) = 0;
  virtual void set_resonance_threshold(int db) = 0;
  virtual void log(const QString& line) = 0;
  virtual void log_failure(const QString& line) = 0;
};

// Gain arithmetic with the drive's bounds.
int32_t bounded_kp(int64_t kp);
int32_t bounded_kv(int64_t kv);
int32_t scaled(int32_t value, int num, int den);  // value × num div den
int32_t gain_step(const GainStep& step, int32_t value);
// Kp raised by the square root of measured over target, halves to even.
int32_t kp_for_response(int32_t kp, int32_t response_time_ms, uint32_t target_ms);
// The response target from the integral time (tenths of ms): Ti div 4, at least 1.
uint32_t response_target_for(int32_t integral_time);
// Highest rigidity that still meets a synchronous positioning time (ms).
uint32_t syn_gxdj_search(double positioning_ms, uint32_t inertia_ratio_x10);

// The speed-loop search's four phases (coarse rise, notch check, back-off,
// fine phase), then the rigidity and both gain sets written.
void speed_gain_search(SearchOps& ops, TuningState& ts, const SpeedSearchVariant& variant);
void write_speed_search_result(SearchOps& ops, TuningState& ts);

// The position-loop search from its first centring move to the last one;
// gain set 2 is written even after a stop, the extra check move is not made.
void position_gain_search(SearchOps& ops, TuningState& ts);

// The system vibration check (notch or back-off, suppressor), the resonance
// and the end-vibration frequency searches.
void system_vibration_search(SearchOps& ops, TuningState& ts);
void resonance_frequency_search(SearchOps& ops, TuningState& ts);
void end_vibration_search(SearchOps& ops, TuningState& ts);

}  // namespace velmo::tuning
