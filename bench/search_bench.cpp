// A search of every station with three drives present: the time must be the
// line's own (244 silent stations x the reply timeout, the two pauses around
// opening the port, and the present nodes' exchanges), at almost no CPU.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

#include "bench/main_window_line.h"
#include "common/notifier.h"
#include "main/velmo_app.h"
#include "sim/sim_line.h"
#include "sim/stations.h"

#include "process_time.h"

namespace {

using velmo::bench::cpu_seconds;

void FullSearch(benchmark::State& state) {
  velmo::sim::SimLine sim;
  sim.add(velmo::sim::make_servo(1));
  sim.add(velmo::sim::make_inverter(100));
  sim.add(velmo::sim::make_speed_controller(247));
  velmo::RecordingNotifier notifier;
  velmo::VelmoApp app(notifier);
  QPushButton* search = velmo::bench::choose_line(app, sim.port_path(), 247);

  for (auto _ : state) {
    sim.clear_journal();
    const double cpu0 = cpu_seconds();
    const auto t0 = std::chrono::steady_clock::now();
    search->click();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double line_time = 244 * 0.250 + 2 * 0.250;
    state.counters["wall_s"] = wall;
    state.counters["over_line_time_ms"] = (wall - line_time) * 1000;
    state.counters["exchanges_answered"] = static_cast<double>(sim.request_count() - 244);
    state.counters["cpu_percent"] = 100.0 * (cpu_seconds() - cpu0) / wall;
    state.counters["connected"] = app.link().st.connected;
  }
}
BENCHMARK(FullSearch)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
