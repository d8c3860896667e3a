// How long an exchange takes beyond the reply itself, and what waiting costs.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <vector>

#include "bench/wire_model.h"
#include "drivelink/drive_link.h"
#include "sim/sim_line.h"
#include "support/modbus_master.h"

#include "process_time.h"

namespace {

using velmo::bench::cpu_seconds;
using velmo::bench::median;
using velmo::bench::program_cpu_seconds;

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
  }
};

// Round trip of one function-03 read of one register; median over the run.
void RoundTrip(benchmark::State& state) {
  Line line(state.range(0) != 0);
  std::vector<double> us;
  int failures = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    if (!line.link.read_registers(1, 0x00AB, 1)) ++failures;
    us.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  state.counters["median_us"] = median(us);
  state.counters["failures"] = failures;
  state.SetLabel(state.range(0) ? "complete reply ends the chunk" : "20 ms silence ends the chunk");
}
BENCHMARK(RoundTrip)->Arg(1)->Arg(0)->Iterations(1000)->Unit(benchmark::kMicrosecond);

// Our one-register read and a libmodbus master's, exchange by exchange on two
// identical simulated lines, so both see the same machine load: the round
// trip (median of each run, ratio per run) and the CPU of the master's side
// per exchange (the simulator's thread left out). Arg: the lines paced like
// a 38400 bit/s one, or answering at once.
void RoundTripBesideLibmodbus(benchmark::State& state) {
  const bool paced = state.range(0) != 0;
  velmo::sim::SimLine our_line, their_line;
  our_line.add(velmo::sim::make_servo(1));
  their_line.add(velmo::sim::make_servo(1));
  if (paced) {
    our_line.set_pace(velmo::bench::kLineBitsPerSecond, velmo::bench::kTurnaroundUs);
    their_line.set_pace(velmo::bench::kLineBitsPerSecond, velmo::bench::kTurnaroundUs);
  }
  DriveLink link;
  link.Comm1.CommName = QString::fromStdString(our_line.port_path());
  link.Comm1.OpenPort();
  link.st.comm_timeout_ms = 250;
  velmo::testing::ModbusMaster master(their_line.port_path(), 250);
  constexpr int kBlock = 20;
  const int per_run = paced ? 300 : 2000;
  std::vector<double> ratios, our_us, their_us, our_cpu, their_cpu;
  int failures = 0;
  for (auto _ : state) {
    std::vector<double> ours, theirs;
    double cpu_ours = 0, cpu_theirs = 0;
    // Blocks of a few exchanges each, alternating: both masters see the same
    // load, and reading the threads' CPU costs little beside a block.
    auto block = [&](auto&& exchange, std::vector<double>& into, double& cpu) {
      const double cpu0 = program_cpu_seconds();
      for (int i = 0; i < kBlock; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!exchange()) ++failures;
        into.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
      }
      cpu += program_cpu_seconds() - cpu0;
    };
    for (int i = 0; i < per_run; i += kBlock) {
      block([&] { return link.read_registers(1, 0x00AB, 1); }, ours, cpu_ours);
      block([&] { return master.read(1, 0x00AB).has_value(); }, theirs, cpu_theirs);
    }
    our_us.push_back(median(ours));
    their_us.push_back(median(theirs));
    ratios.push_back(our_us.back() / their_us.back());
    our_cpu.push_back(1e6 * cpu_ours / per_run);
    their_cpu.push_back(1e6 * cpu_theirs / per_run);
  }
  state.counters["ours_median_us"] = median(our_us);
  state.counters["libmodbus_median_us"] = median(their_us);
  state.counters["ratio_median"] = median(ratios);
  state.counters["ratio_max"] = *std::max_element(ratios.begin(), ratios.end());
  state.counters["ours_cpu_us_per_exchange"] = median(our_cpu);
  state.counters["libmodbus_cpu_us_per_exchange"] = median(their_cpu);
  state.counters["failures"] = failures;
  state.SetLabel(paced ? "paced 38400 line" : "unpaced line");
}
BENCHMARK(RoundTripBesideLibmodbus)->Arg(1)->Arg(0)->Iterations(5)->Unit(benchmark::kMillisecond);

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
  for (auto _ : state) {
    const double cpu0 = program_cpu_seconds(), wall0 = wall_seconds();
    for (int i = 0; i < 40; ++i) line.link.read_registers(99, 0x00AB, 1);  // no such station: silent
    state.counters["cpu_percent"] = 100.0 * (program_cpu_seconds() - cpu0) / (wall_seconds() - wall0);
  }
}
BENCHMARK(UnansweredCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
