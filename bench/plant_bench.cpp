// The simulated servo's plant must keep up with the tuning sequences: how many
// simulated seconds one core steps per wall second (goal: 50 or more), with a
// recording running and the resonance and end modes on.
#include <benchmark/benchmark.h>

#include <chrono>

#include "sim/servo_registers.h"
#include "sim/servo_station.h"

namespace {

using namespace velmo::sim::servo_regs;

void PlantRealTimeFactor(benchmark::State& state) {
  velmo::sim::ServoStation s(1, 6101, 102);
  velmo::sim::ServoMechanics m;
  m.load_ratio = 5;
  m.resonances = {{450, 1000}};
  m.end_mode_hz = 15;
  s.set_mechanics(m);
  s.on_write(kTuning2.inertia_ratio, 50);
  s.on_write(kTestPulses, 393);
  s.on_write(kTestRate, 98);
  double simulated = 0, wall = 0;
  int dir = 1;
  for (auto _ : state) {
    s.on_write(kTestRecord, 1);
    s.on_write(kTestArm, 1);
    s.on_write(kTestStart, static_cast<uint16_t>(dir));
    dir = 3 - dir;
    const auto t0 = std::chrono::steady_clock::now();
    s.advance(1.0);  // one move and its settling, recorded at 5 kHz
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    simulated += 1.0;
  }
  state.counters["sim_s_per_wall_s"] = simulated / wall;
}
BENCHMARK(PlantRealTimeFactor)->Unit(benchmark::kMillisecond);

}  // namespace
