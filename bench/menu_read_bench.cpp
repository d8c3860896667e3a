// A whole servo menu read against the wire time of its bytes at 38400 baud
// (11 bits a byte: 286 us). On the paced line the read's time is compared
// with that model directly. Unpaced, the simulator answers at once, so the
// program's own share is the read's time less the simulator's (the journal
// model); on a real line that share comes on top of the wire time.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <benchmark/benchmark.h>

#include <chrono>

#include "bench/main_window_line.h"
#include "common/notifier.h"
#include "drivelink/drive_link.h"
#include "main/main_window.h"
#include "main/velmo_app.h"
#include "servo/servo_menu_editor.h"
#include "sim/sim_line.h"
#include "sim/stations.h"

namespace {

constexpr double kByteSeconds = 11.0 / 38400.0;

void MenuRead(benchmark::State& state) {
  const int layout = static_cast<int>(state.range(0));
  const bool paced = state.range(1) != 0;
  velmo::sim::SimLine sim;
  sim.add(velmo::sim::make_servo(1, 6101, layout == 1 ? 101 : 102));
  velmo::RecordingNotifier notifier;
  velmo::VelmoApp app(notifier);
  velmo::bench::choose_line(app, sim.port_path(), 1)->click();
  auto* editor = dynamic_cast<velmo::ServoMenuEditor*>(app.form("TForm2"));
  app.main_window().N5Click();  // opens the editor on station 1
  // Paced: replies held back by the wire time of request and reply, no turnaround.
  if (paced) sim.set_pace(38400, 0);

  double wire = 0, program = 0, wall_sum = 0, turnaround = 0;
  int exchanges = 0;
  for (auto _ : state) {
    sim.clear_journal();
    const auto t0 = std::chrono::steady_clock::now();
    editor->Button2Click();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    double simulator = 0, bytes = 0;
    int64_t asked = 0, answered = 0;
    const int64_t start_ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t0.time_since_epoch()).count();
    for (const auto& e : sim.journal()) {
      bytes += static_cast<double>(e.bytes.size());
      if (e.is_request) {
        turnaround += (e.t_ns - (answered ? answered : start_ns)) / 1e9;
        asked = e.t_ns;
        ++exchanges;
      } else {
        simulator += (e.t_ns - asked) / 1e9;
        answered = e.t_ns;
      }
    }
    wire += bytes * kByteSeconds;
    program += paced ? wall - bytes * kByteSeconds : wall - simulator;
    wall_sum += wall;
  }
  state.counters["wire_ms"] = 1000 * wire / state.iterations();
  state.counters["program_ms"] = 1000 * program / state.iterations();
  state.counters["turnaround_ms"] = 1000 * turnaround / state.iterations();
  state.counters["exchanges"] = static_cast<double>(exchanges) / state.iterations();
  state.counters["ratio_to_wire"] = (wire + program) / wire;
  state.counters["ok"] = app.link().st.servo_menu_read_error == 0;
  state.SetLabel(QStringLiteral("layout %1, %2").arg(layout).arg(paced ? "paced line" : "journal model").toStdString());
}
BENCHMARK(MenuRead)->ArgsProduct({{1, 2}, {0, 1}})->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace
