// A whole resonance detection (test move, capture of 4096 samples, analysis)
// on a line paced like a real 38400 bit/s one: its time against the line's
// own (every request and reply at 11 bits a character plus the turnaround)
// and the waits the detection itself asks for.
#include <QLineEdit>
#include <benchmark/benchmark.h>

#include <chrono>

#include "main/main_window.h"
#include "sim/servo_mechanics.h"
#include "support/app_on_sim.h"
#include "tuning/gain_tuning_window.h"

namespace {

constexpr int kBitsPerSecond = 38400;
constexpr double kTurnaroundS = 0.001;
// The waits the detection itself asks for: the first pass's settle (500 +
// 900 ms) and the pause after the analysis.
constexpr double kDetectionWaitsS = 1.4 + 0.5;

void ResonanceDetection(benchmark::State& state) {
  velmo::testing::AppOnSim rig(velmo::testing::AppOnSim::Time::Real);  // a real line's speed
  if (!rig.connect_servos()) {
    state.SkipWithError("no servo on the simulated line");
    return;
  }
  rig.app.main_window().N12Click();
  auto* window = qobject_cast<velmo::GainTuningWindow*>(rig.app.form("TForm3"));
  window->tuning_state().station = 2;
  window->tuning_state().servo_subtype = 2;
  velmo::sim::ServoMechanics m;
  m.resonances = {{450, 1000}};
  rig.servo(2).set_mechanics(m);
  rig.servo(2).set_motor_code(6002);
  window->Button23Click();
  window->findChild<QLineEdit*>("Edit68")->setText("500");
  rig.sim.set_pace(kBitsPerSecond, static_cast<int>(kTurnaroundS * 1e6));

  for (auto _ : state) {
    window->hidden.test_pulses = 131000;
    window->tuning_state().move_params_changed = 1;
    rig.sim.clear_journal();
    const auto t0 = std::chrono::steady_clock::now();
    window->Button13Click();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    double wire = 0;
    int replies = 0;
    for (const velmo::sim::JournalEntry& e : rig.sim.journal()) {
      wire += static_cast<double>(e.bytes.size()) * 11 / kBitsPerSecond;
      replies += e.is_request ? 0 : 1;
    }
    const double model = wire + replies * kTurnaroundS + kDetectionWaitsS;
    state.counters["wall_s"] = wall;
    state.counters["model_s"] = model;
    state.counters["over_model"] = wall / model;
    state.counters["exchanges"] = static_cast<double>(replies);
    state.counters["found_hz"] = window->tuning_state().resonance_found ? window->tuning_state().resonance_freq : 0;
  }
}
BENCHMARK(ResonanceDetection)->Iterations(2)->Unit(benchmark::kSecond);

}  // namespace
