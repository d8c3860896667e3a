// A whole menu read of each family on a line paced like a real 38400 bit/s
// one, against the line's own time (bench/wire_model.h): the servo's two
// layouts, the inverter's five model types and the speed controller. Each
// row gives the median of seven reads; the goal is 1.03 at most.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "bench/main_window_line.h"
#include "bench/wire_model.h"
#include "common/menu_editor_window.h"
#include "common/notifier.h"
#include "drivelink/drive_link.h"
#include "main/main_window.h"
#include "main/velmo_app.h"
#include "sim/sim_line.h"
#include "sim/stations.h"

namespace {

using velmo::bench::account;
using velmo::bench::median;

using namespace velmo::bench;  // the menu families

void read_menu_rows(benchmark::State& state, MenuFamily family, int model_type) {
  velmo::sim::SimLine sim;
  switch (family) {
    case kServo1: sim.add(velmo::sim::make_servo(1, 6101, 101)); break;
    case kServo2: sim.add(velmo::sim::make_servo(1, 6101, 102)); break;
    case kInverter: sim.add(velmo::sim::make_inverter(1, kInverterVersions[model_type])); break;
    case kSpeedController: sim.add(velmo::sim::make_speed_controller(1)); break;
  }
  velmo::RecordingNotifier notifier;
  velmo::VelmoApp app(notifier);
  velmo::DriveLink& link = app.link();
  velmo::bench::choose_line(app, sim.port_path(), 1)->click();
  // Opening the editor reads the menu once, before the line is paced.
  velmo::MenuEditorWindow* editor = open_menu_editor(app, family);
  sim.set_pace(velmo::bench::kLineBitsPerSecond, velmo::bench::kTurnaroundUs);

  velmo::bench::RequestTimes sent(app.windows());
  velmo::bench::WireRuns runs;
  std::vector<double> gaps;
  int failed = 0;
  for (auto _ : state) {
    sim.clear_journal();
    sent.clear();
    link.st.comm_error = 0;
    const int64_t asked0 = link.delay_asked_ms();
    const auto t0 = std::chrono::steady_clock::now();
    editor->read_menu();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const auto a = account(sim.journal(), (link.delay_asked_ms() - asked0) / 1e3, sent.times_ns());
    if (a.answered != a.requests || !editor->engine().last_read_ok()) ++failed;
    runs.add(a, wall);
    for (double g : a.gaps_s) gaps.push_back(g * 1e6);
    state.counters["exchanges"] = a.requests;
  }
  runs.report(state.counters);
  state.counters["reply_to_request_us"] = median(gaps);
  std::sort(gaps.begin(), gaps.end());
  state.counters["reply_to_request_us_p90"] = gaps.empty() ? 0 : gaps[gaps.size() * 9 / 10];
  state.counters["failed"] = failed;
}

void ServoMenuRead(benchmark::State& state) {
  read_menu_rows(state, state.range(0) == 1 ? kServo1 : kServo2, 0);
  state.SetLabel(state.range(0) == 1 ? "layout 1" : "layout 2");
}
BENCHMARK(ServoMenuRead)->Arg(1)->Arg(2)->Iterations(7)->Unit(benchmark::kMillisecond);

void InverterMenuRead(benchmark::State& state) {
  read_menu_rows(state, kInverter, static_cast<int>(state.range(0)));
  state.SetLabel("model type " + std::to_string(state.range(0)));
}
BENCHMARK(InverterMenuRead)->DenseRange(0, 4)->Iterations(7)->Unit(benchmark::kMillisecond);

void SpeedControllerMenuRead(benchmark::State& state) { read_menu_rows(state, kSpeedController, 0); }
BENCHMARK(SpeedControllerMenuRead)->Iterations(7)->Unit(benchmark::kMillisecond);

}  // namespace
