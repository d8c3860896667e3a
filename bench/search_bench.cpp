// Node searches. A search of every station with three drives present must
// take the line's own time (244 silent stations x the reply timeout, the two
// pauses around opening the port, and the present nodes' exchanges) at
// almost no CPU. A search and connect over 1, 8 and 32 inverters on a paced
// line must stay within 1.05 of the line's time at every size: a station
// found costs the program no more on a long line than on a short one.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

#include "bench/main_window_line.h"
#include "bench/wire_model.h"
#include "common/notifier.h"
#include "drivelink/drive_link.h"
#include "main/velmo_app.h"
#include "sim/sim_line.h"
#include "sim/stations.h"

#include "process_time.h"

namespace {

using velmo::bench::account;
using velmo::bench::program_cpu_seconds;
using velmo::bench::median;

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
    const double cpu0 = program_cpu_seconds();
    const auto t0 = std::chrono::steady_clock::now();
    search->click();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double line_time = 244 * 0.250 + 2 * 0.250;
    state.counters["wall_s"] = wall;
    state.counters["over_line_time_ms"] = (wall - line_time) * 1000;
    state.counters["exchanges_answered"] = static_cast<double>(sim.request_count() - 244);
    state.counters["cpu_percent"] = 100.0 * (program_cpu_seconds() - cpu0) / wall;
    state.counters["connected"] = app.link().st.connected;
  }
}
BENCHMARK(FullSearch)->Iterations(1)->Unit(benchmark::kSecond);

// Search and connect with inverters at stations 1 .. N, the search ending at N.
void SearchAndConnect(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  velmo::sim::SimLine sim;
  for (int a = 1; a <= n; ++a) sim.add(velmo::sim::make_inverter(static_cast<uint8_t>(a)));
  sim.set_pace(velmo::bench::kLineBitsPerSecond, velmo::bench::kTurnaroundUs);
  velmo::RecordingNotifier notifier;
  velmo::VelmoApp app(notifier);
  velmo::DriveLink& link = app.link();
  QPushButton* search = velmo::bench::choose_line(app, sim.port_path(), n);

  velmo::bench::RequestTimes sent(app.windows());
  velmo::bench::WireRuns runs;
  std::vector<double> per_station;
  int failed = 0;
  for (auto _ : state) {
    sim.clear_journal();
    sent.clear();
    const int64_t asked0 = link.delay_asked_ms();
    const auto t0 = std::chrono::steady_clock::now();
    search->click();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const auto a = account(sim.journal(), (link.delay_asked_ms() - asked0) / 1e3, sent.times_ns());
    if (link.st.connected != 1 || link.st.bpq_count != n || a.answered != a.requests) ++failed;
    runs.add(a, wall);
    per_station.push_back((wall - a.late_s() - a.model_s()) * 1e3 / n);
    state.counters["exchanges"] = a.requests;
  }
  runs.report(state.counters);
  state.counters["program_ms_per_station"] = median(per_station);
  state.counters["failed"] = failed;
  state.SetLabel(std::to_string(n) + " inverters");
}
BENCHMARK(SearchAndConnect)->Arg(1)->Arg(8)->Arg(32)->Iterations(7)->Unit(benchmark::kMillisecond);

}  // namespace
