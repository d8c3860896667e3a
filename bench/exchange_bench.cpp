// How long an exchange takes beyond the reply itself, and what waiting costs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

#include "drivelink/drive_link.h"
#include "sim/sim_line.h"
#include "support/modbus_master.h"

#include "process_time.h"

namespace {

using velmo::bench::cpu_seconds;

using velmo::DriveLink;

double wall_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Line {
  velmo::sim::SimLine sim;
  DriveLink link;
  explicit Line(bool complete_reply_ends_chunk) {
    sim.add(velmo::sim::make_servo(1));
    link.Comm1.CommName = QString::fromStdString(sim.port_path());
    link.Comm1.CompleteReplyEndsChunk = complete_reply_ends_chunk;
    link.Comm1.OpenPort();
    link.st.comm_timeout_ms = 250;
    link.st.node_addr = 1;
  }
};

// Round trip of one function-03 read of one register; median over the run.
void RoundTrip(benchmark::State& state) {
  Line line(state.range(0) != 0);
  std::vector<double> us;
  int failures = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    if (!line.link.read_registers(0x00AB, 1)) ++failures;
    us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(us.begin(), us.end());
  state.counters["median_us"] = us[us.size() / 2];
  state.counters["failures"] = failures;
  state.SetLabel(state.range(0) ? "complete reply ends the chunk" : "20 ms silence ends the chunk");
}
BENCHMARK(RoundTrip)->Arg(1)->Arg(0)->Iterations(1000)->Unit(benchmark::kMicrosecond);

// Our one-register read and a libmodbus master's, exchange by exchange on two
// identical simulated lines, so both see the same machine load.
void RoundTripBesideLibmodbus(benchmark::State& state) {
  velmo::sim::SimLine our_line, their_line;
  our_line.add(velmo::sim::make_servo(1));
  their_line.add(velmo::sim::make_servo(1));
  DriveLink link;
  link.Comm1.CommName = QString::fromStdString(our_line.port_path());
  link.Comm1.OpenPort();
  link.st.comm_timeout_ms = 250;
  link.st.node_addr = 1;
  velmo::testing::ModbusMaster master(their_line.port_path(), 250);
  std::vector<double> ours, theirs;
  int failures = 0;
  auto timed = [](auto&& exchange, std::vector<double>& into) {
    const auto t0 = std::chrono::steady_clock::now();
    const bool ok = exchange();
    into.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
    return ok ? 0 : 1;
  };
  for (auto _ : state) {
    failures += timed([&] { return link.read_registers(0x00AB, 1); }, ours);
    failures += timed([&] { return master.read(1, 0x00AB).has_value(); }, theirs);
  }
  auto median = [](std::vector<double>& v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  state.counters["ours_median_us"] = median(ours);
  state.counters["libmodbus_median_us"] = median(theirs);
  state.counters["ratio"] = state.counters["ours_median_us"] / state.counters["libmodbus_median_us"];
  state.counters["failures"] = failures;
}
BENCHMARK(RoundTripBesideLibmodbus)->Iterations(3000)->Unit(benchmark::kMicrosecond);

// CPU used while delay waits 10 s.
void DelayCpu(benchmark::State& state) {
  DriveLink link;
  for (auto _ : state) {
    const double cpu0 = cpu_seconds(), wall0 = wall_seconds();
    link.delay(10000);
    state.counters["cpu_percent"] = 100.0 * (cpu_seconds() - cpu0) / (wall_seconds() - wall0);
  }
}
BENCHMARK(DelayCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

// CPU used by 40 requests that nobody answers, 250 ms each.
void UnansweredCpu(benchmark::State& state) {
  Line line(true);
  line.link.st.node_addr = 99;  // no such station: the line stays silent
  for (auto _ : state) {
    const double cpu0 = cpu_seconds(), wall0 = wall_seconds();
    for (int i = 0; i < 40; ++i) line.link.read_registers(0x00AB, 1);
    state.counters["cpu_percent"] = 100.0 * (cpu_seconds() - cpu0) / (wall_seconds() - wall0);
  }
}
BENCHMARK(UnansweredCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
