// What the program costs while the engineer looks at a window: the CPU of
// the whole program (the simulated line left out) over a fixed wall time,
// idle in the servo menu editor after its read, and in the servo RS-485
// control window polling the status (Timer1) on a line paced like a real
// 38400 bit/s one.
#include <QCheckBox>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>

#include "bench/main_window_line.h"
#include "bench/wire_model.h"
#include "common/notifier.h"
#include "drivelink/drive_link.h"
#include "main/main_window.h"
#include "main/velmo_app.h"
#include "sim/sim_line.h"
#include "sim/stations.h"

#include "process_time.h"

namespace {

using velmo::bench::program_cpu_seconds;

constexpr int kWatchMs = 10000;

void WindowCpu(benchmark::State& state) {
  const bool polling = state.range(0) != 0;
  velmo::sim::SimLine sim;
  sim.add(velmo::sim::make_servo(1));
  velmo::RecordingNotifier notifier;
  velmo::VelmoApp app(notifier);
  velmo::bench::choose_line(app, sim.port_path(), 1)->click();
  sim.set_pace(velmo::bench::kLineBitsPerSecond, velmo::bench::kTurnaroundUs);
  if (polling) {
    app.main_window().N6Click();
    app.form("TForm4")->findChild<QCheckBox*>("CheckBox1")->setChecked(true);
  } else {
    app.main_window().N5Click();
  }
  for (auto _ : state) {
    sim.clear_journal();
    QEventLoop watching;
    QTimer::singleShot(kWatchMs, &watching, &QEventLoop::quit);
    const double cpu0 = program_cpu_seconds();
    const auto t0 = std::chrono::steady_clock::now();
    watching.exec();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    state.counters["cpu_percent"] = 100.0 * (program_cpu_seconds() - cpu0) / wall;
    state.counters["requests"] = static_cast<double>(sim.request_count());
  }
  state.SetLabel(polling ? "servo RS-485 control, polling" : "servo menu editor, idle");
}
BENCHMARK(WindowCpu)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
