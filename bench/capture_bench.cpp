// Reading back one recorded move of 4096 samples (164 requests of at most 25
// samples) on a line paced like a real 38400 bit/s one, against the time the
// bytes need on the wire plus the drive's turnarounds, and against the same
// with a 20 ms silence ending each reply. The journal splits each exchange
// into the simulator's share and the program's.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <benchmark/benchmark.h>

#include <chrono>

#include "common/notifier.h"
#include "drivelink/drive_link.h"
#include "main/velmo_app.h"
#include "sim/sim_line.h"
#include "sim/stations.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/motion_capture.h"

namespace {

constexpr double kCharSeconds = 11.0 / 38400;  // 286 us a character
constexpr double kSilenceSeconds = 0.020;
constexpr int kTurnaroundUs = 1000;


// Mean time per exchange spent in the simulator (request in to reply out)
// and on the program's side (reply out to the next request in).
void attribute(const velmo::sim::SimLine& sim, benchmark::State& state) {
  const auto j = sim.journal();
  double in_sim = 0, in_program = 0;
  int n = 0;
  for (size_t k = 1; k + 1 < j.size(); ++k) {
    if (j[k].is_request || !j[k - 1].is_request || !j[k + 1].is_request) continue;
    in_sim += (j[k].t_ns - j[k - 1].t_ns) / 1e6;
    in_program += (j[k + 1].t_ns - j[k].t_ns) / 1e6;
    ++n;
  }
  state.counters["sim_ms_per_exchange"] = n ? in_sim / n : 0;
  state.counters["program_ms_per_exchange"] = n ? in_program / n : 0;
}

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
  link.st.node_addr = 1;
  // One recorded move to read back, made before the line is paced.
  for (auto [reg, value] : {std::pair{0x8001, 131}, {0x8002, 50}, {0x8004, 1}, {0x8003, 1}, {0x8000, 1}})
    link.write_register(static_cast<uint16_t>(reg), value);
  link.delay(1500);
  sim.set_pace(38400, kTurnaroundUs);
  auto* window = qobject_cast<velmo::GainTuningWindow*>(app.form("TForm3"));
  window->hidden.samples = 4096;
  window->hidden.first_sample = 0;

  // Bytes on the wire: the block reads and the status read after them.
  const velmo::tuning::CapturePlan plan = velmo::tuning::capture_plan(4096, 0);
  double bytes = 8 + 7;
  for (const auto& b : plan.blocks) bytes += 8 + 5 + 4.0 * b.count;
  const double exchanges = static_cast<double>(plan.blocks.size()) + 1;
  const double model = bytes * kCharSeconds + exchanges * kTurnaroundUs / 1e6;
  const double model_with_gaps = model + exchanges * kSilenceSeconds;

  state.SetLabel(state.range(0) ? "complete reply ends the chunk" : "20 ms silence ends the chunk");
  for (auto _ : state) {
    link.st.comm_error = 0;
    sim.clear_journal();
    const auto t0 = std::chrono::steady_clock::now();
    window->pos_data_read();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.counters["measured_s"] = wall;
    state.counters["wire_model_s"] = model;
    state.counters["model_with_20ms_gaps_s"] = model_with_gaps;
    state.counters["vs_wire_model_percent"] = 100.0 * (wall - model) / model;
    state.counters["vs_gap_model_percent"] = 100.0 * (wall - model_with_gaps) / model_with_gaps;
    state.counters["requests"] = static_cast<double>(sim.request_count());
    state.counters["captured"] = window->tuning_state().capture_block_ok == 1 && link.st.comm_error == 0;
  }
  attribute(sim, state);
}
BENCHMARK(FullCapture)->Arg(1)->Arg(0)->Iterations(3)->Unit(benchmark::kSecond);

}  // namespace
