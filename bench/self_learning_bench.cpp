// The whole self-learning (with inertia estimation) on a paced 38400 line in
// real time: its wall time against the line's own time (every frame's wire
// time and turnaround plus the waits the sequence asks for), and against the
// same with a 20 ms silence gap after every reply; the program's CPU share.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

#include "bench/main_window_line.h"
#include "common/notifier.h"
#include "drivelink/drive_link.h"
#include "main/main_window.h"
#include "main/velmo_app.h"
#include "sim/servo_mechanics.h"
#include "sim/servo_station.h"
#include "sim/sim_line.h"
#include "sim/stations.h"
#include "tuning/gain_tuning_window.h"

#include "process_time.h"

namespace {

using velmo::bench::cpu_seconds;

constexpr int kBitsPerSecond = 38400, kTurnaroundUs = 1000;

void SelfLearning(benchmark::State& state) {
  velmo::sim::SimLine sim;
  sim.add(velmo::sim::make_servo(1, 6101, 101));
  auto& servo = dynamic_cast<velmo::sim::ServoStation&>(*sim.station(1));
  servo.set_reg(181, 6001);
  velmo::sim::ServoMechanics m;
  m.load_ratio = 2.0;
  servo.set_mechanics(m);
  sim.set_pace(kBitsPerSecond, kTurnaroundUs);

  velmo::RecordingNotifier notifier;
  velmo::VelmoApp app(notifier);
  velmo::bench::choose_line(app, sim.port_path(), 1)->click();
  app.main_window().N12Click();
  QWidget* form = app.form("TForm3");
  auto* window = qobject_cast<velmo::GainTuningWindow*>(form);
  form->findChild<QComboBox*>("ComboBox6")->setCurrentIndex(1);
  velmo::DriveLink& link = app.link();

  for (auto _ : state) {
    sim.clear_journal();
    const int64_t asked0 = link.delay_asked_ms();
    const double cpu0 = cpu_seconds();
    const auto t0 = std::chrono::steady_clock::now();
    form->findChild<QPushButton*>("Button33")->click();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = cpu_seconds() - cpu0;

    double wire = 0;
    size_t requests = 0, replies = 0;
    for (const velmo::sim::JournalEntry& e : sim.journal()) {
      wire += e.bytes.size() * 11.0 / kBitsPerSecond;
      if (e.is_request) {
        ++requests;
        wire += kTurnaroundUs / 1e6;
      } else {
        ++replies;
      }
    }
    const double model_a = wire + (link.delay_asked_ms() - asked0) / 1000.0;
    const double model_b = model_a + 0.020 * static_cast<double>(replies);
    state.counters["wall_s"] = wall;
    state.counters["exchanges"] = static_cast<double>(requests);
    state.counters["model_a_s"] = model_a;
    state.counters["ratio_to_a"] = wall / model_a;
    state.counters["ratio_to_b"] = wall / model_b;
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
    state.counters["completed"] = window->tuning_state().tuning_stage[2] == 0 ? 0 : 1;
  }
}
BENCHMARK(SelfLearning)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
