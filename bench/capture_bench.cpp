// Reading back one recorded move of 4096 samples (164 requests of at most 25
// samples) on a line paced like a real 38400 bit/s one, against the line's
// own time (bench/wire_model.h). Every run must stay within 1.05 of it; the
// row with a 20 ms silence ending each reply shows what the complete-reply
// rule saves.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

#include "bench/wire_model.h"
#include "common/notifier.h"
#include "drivelink/drive_link.h"
#include "main/velmo_app.h"
#include "sim/sim_line.h"
#include "sim/stations.h"
#include "tuning/gain_tuning_window.h"

namespace {

using velmo::bench::account;
using velmo::bench::median;

void FullCapture(benchmark::State& state) {
  velmo::sim::SimLine sim;
  sim.add(velmo::sim::make_servo(1));
  velmo::RecordingNotifier notifier;
  velmo::VelmoApp app(notifier);
  velmo::DriveLink& link = app.link();
  link.Comm1.CommName = QString::fromStdString(sim.port_path());
  link.Comm1.CompleteReplyEndsChunk = state.range(0) != 0;
  link.Comm1.OpenPort();
  link.st.comm_timeout_ms = 250;
  // One recorded move to read back, made before the line is paced.
  for (auto [reg, value] : {std::pair{0x8001, 131}, {0x8002, 50}, {0x8004, 1}, {0x8003, 1}, {0x8000, 1}})
    link.write_register(1, static_cast<uint16_t>(reg), value);
  link.delay(1500);
  sim.set_pace(velmo::bench::kLineBitsPerSecond, velmo::bench::kTurnaroundUs);
  auto* window = qobject_cast<velmo::GainTuningWindow*>(app.form("TForm3"));
  window->hidden.samples = 4096;
  window->hidden.first_sample = 0;

  velmo::bench::RequestTimes sent(app.windows());
  velmo::bench::WireRuns runs;
  int failed = 0, over = 0;
  for (auto _ : state) {
    link.st.comm_error = 0;
    sim.clear_journal();
    sent.clear();
    const int64_t asked0 = link.delay_asked_ms();
    const auto t0 = std::chrono::steady_clock::now();
    window->pos_data_read();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const auto a = account(sim.journal(), (link.delay_asked_ms() - asked0) / 1e3, sent.times_ns());
    if (window->tuning_state().capture_block_ok != 1 || link.st.comm_error != 0) ++failed;
    runs.add(a, wall);
    if (runs.ratios.back() > 1.05) ++over;
    state.counters["requests"] = a.requests;
  }
  runs.report(state.counters);
  state.counters["ratio_max"] = *std::max_element(runs.ratios.begin(), runs.ratios.end());
  state.counters["runs_over_1.05"] = over;
  state.counters["failed"] = failed;
  state.SetLabel(state.range(0) ? "complete reply ends the chunk" : "20 ms silence ends the chunk");
}
BENCHMARK(FullCapture)->Arg(1)->Iterations(12)->Unit(benchmark::kMillisecond);
BENCHMARK(FullCapture)->Arg(0)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
