// Every editor's menu read beside a libmodbus master that replays the very
// same requests, pass by pass on one paced line in one run, idle and with a
// low-priority busy loop on every CPU. The line is velmo-drive-sim in a
// process of its own, journalling to a file, as it runs beside the program.
// Per row: each side's pass (median), their ratio, and the turnaround of an
// exchange as the simulator sees it (its reply sent -> the next request
// heard) on both sides. Our turnaround is split where it goes: the wake-up
// (reply sent -> read, by the GUI thread that awaits it, or by the reader
// when it had the port), the hand-over (read -> the receive event runs),
// the program (-> the next request handed to the port)
// and the line (-> heard); libmodbus's into the library's part (reply sent
// -> the read call returned) and the line's (the next call -> heard). Goals:
// the turnaround within 0.1 ms of libmodbus's, a read within 1.05 of its.
#include <QEvent>
#include <QObject>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "bench/busy_cores.h"
#include "bench/libmodbus_replay.h"
#include "bench/main_window_line.h"
#include "bench/sim_process.h"
#include "bench/wire_model.h"
#include "common/menu_editor_window.h"
#include "common/notifier.h"
#include "drivelink/drive_link.h"
#include "link/port_session.h"
#include "main/main_window.h"
#include "main/velmo_app.h"

namespace {

using velmo::bench::median;
using velmo::sim::JournalEntry;

constexpr int kPairs = 15;

// When each reply reached the GUI thread, and when the request it answers left.
class ReplyStamps : public QObject {
 public:
  struct Stamp {
    int64_t read_ns, handled_ns, sent_ns;
  };
  explicit ReplyStamps(velmo::DriveLink& link) : link_(link) { link.Comm1.installEventFilter(this); }
  std::vector<Stamp> stamps;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() != velmo::detail::PortEvent::eventType()) return false;
    auto* notice = static_cast<velmo::detail::PortEvent*>(e);
    if (notice->kind == velmo::detail::PortEvent::Kind::Data)
      stamps.push_back({notice->chunk.first_byte_ns, velmo::clock().now_ns(), link_.last_send_ns()});
    return false;
  }

 private:
  velmo::DriveLink& link_;
};

// Microseconds per exchange. libmodbus has no reader or hand-over: its
// program part is the library's, from the reply sent to the call returning.
struct Split {
  std::vector<double> turn, reader, handover, program, line;
};

// Reply sent -> next request heard, per exchange; with our stamps (one per
// reply), where it went; with libmodbus's, its part (reply sent -> the
// library returned it) and the line's (asked to send -> heard).
void add_turnarounds(const std::vector<JournalEntry>& journal, Split& into,
                     const std::vector<ReplyStamps::Stamp>* stamps = nullptr,
                     const velmo::bench::LibmodbusReplay* replay = nullptr) {
  std::vector<const JournalEntry*> replies, requests;
  for (const auto& e : journal) (e.is_request ? requests : replies).push_back(&e);
  const bool one_each = requests.size() == replies.size();
  const bool split = one_each && stamps && stamps->size() == replies.size();
  const bool theirs = one_each && replay && replay->answered_ns.size() == replies.size();
  for (size_t k = 0; k + 1 < requests.size() && k < replies.size(); ++k) {
    const int64_t sent = replies[k]->t_ns, heard = requests[k + 1]->t_ns;
    if (heard < sent) continue;  // not one reply per request: no turnaround to tell
    into.turn.push_back((heard - sent) / 1e3);
    if (theirs) {
      into.program.push_back((replay->answered_ns[k] - sent) / 1e3);
      into.line.push_back((heard - replay->sent_ns[k + 1]) / 1e3);
    }
    if (!split) continue;
    const auto& now = (*stamps)[k];
    const auto& next = (*stamps)[k + 1];
    into.reader.push_back((now.read_ns - sent) / 1e3);
    into.handover.push_back((now.handled_ns - now.read_ns) / 1e3);
    into.program.push_back((next.sent_ns - now.handled_ns) / 1e3);
    into.line.push_back((heard - next.sent_ns) / 1e3);
  }
}

using namespace velmo::bench;  // the menu families

void read_beside_libmodbus(benchmark::State& state, MenuFamily family, int model_type) {
  const bool busy = state.range(1) != 0;
  QString station = QStringLiteral("servo:1:6101:101");
  switch (family) {
    case kServo1: break;
    case kServo2: station = QStringLiteral("servo:1:6101:102"); break;
    case kInverter: station = QStringLiteral("inverter:1:%1").arg(kInverterVersions[model_type]); break;
    case kSpeedController: station = QStringLiteral("speed:1"); break;
  }
  velmo::bench::SimProcess sim({station});
  if (!sim.ok()) {
    state.SkipWithError("velmo-drive-sim did not start");
    return;
  }
  velmo::RecordingNotifier notifier;
  velmo::VelmoApp app(notifier);
  velmo::DriveLink& link = app.link();
  velmo::bench::choose_line(app, sim.port(), 1)->click();
  // Opening the editor reads the menu once.
  velmo::MenuEditorWindow* editor = open_menu_editor(app, family);
  sim.take_journal();
  editor->read_menu();
  const auto requests = velmo::bench::LibmodbusReplay::requests_of(sim.take_journal());
  velmo::bench::LibmodbusReplay replay(sim.port());
  ReplyStamps stamps(link);
  velmo::bench::BusyCores loops(busy);

  std::vector<double> ours_ms, theirs_ms, ratios;
  Split ours, theirs;
  int failed = 0;
  auto our_pass = [&] {
    stamps.stamps.clear();
    const auto t0 = std::chrono::steady_clock::now();
    editor->read_menu();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!editor->engine().last_read_ok()) ++failed;
    add_turnarounds(sim.take_journal(), ours, &stamps.stamps);
    return wall;
  };
  auto their_pass = [&] {
    link.Comm1.ClosePort();
    const double wall = replay.pass(requests);
    if (wall < 0) ++failed;
    add_turnarounds(sim.take_journal(), theirs, nullptr, &replay);
    link.Comm1.OpenPort();
    return wall;
  };
  for (auto _ : state) {
    for (int i = 0; i < kPairs; ++i) {
      // Either side goes first in turn, so neither always follows the other's port change.
      double mine, lib;
      if (i % 2) {
        lib = their_pass();
        mine = our_pass();
      } else {
        mine = our_pass();
        lib = their_pass();
      }
      ours_ms.push_back(mine * 1e3);
      theirs_ms.push_back(lib * 1e3);
      ratios.push_back(mine / lib);
    }
  }
  auto& c = state.counters;
  c["exchanges"] = static_cast<double>(requests.size());
  c["ours_ms"] = median(ours_ms);
  c["libmodbus_ms"] = median(theirs_ms);
  c["ratio_median"] = median(ratios);
  c["turn_ours_us"] = median(ours.turn);
  c["turn_libmodbus_us"] = median(theirs.turn);
  c["turn_over_us"] = median(ours.turn) - median(theirs.turn);
  auto p90 = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() * 9 / 10];
  };
  c["turn_ours_p90_us"] = p90(ours.turn);
  c["turn_libmodbus_p90_us"] = p90(theirs.turn);
  c["ours_reader_us"] = median(ours.reader);
  c["ours_handover_us"] = median(ours.handover);
  c["ours_program_us"] = median(ours.program);
  c["ours_line_us"] = median(ours.line);
  c["libmodbus_reply_us"] = median(theirs.program);
  c["libmodbus_line_us"] = median(theirs.line);
  c["failed"] = failed;
}

void ServoReadBesideLibmodbus(benchmark::State& state) {
  read_beside_libmodbus(state, state.range(0) == 1 ? kServo1 : kServo2, 0);
  state.SetLabel(std::string(state.range(0) == 1 ? "layout 1" : "layout 2") + (state.range(1) ? ", busy" : ", idle"));
}
BENCHMARK(ServoReadBesideLibmodbus)
    ->ArgsProduct({{1, 2}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void InverterReadBesideLibmodbus(benchmark::State& state) {
  read_beside_libmodbus(state, kInverter, static_cast<int>(state.range(0)));
  state.SetLabel("model type " + std::to_string(state.range(0)) + (state.range(1) ? ", busy" : ", idle"));
}
BENCHMARK(InverterReadBesideLibmodbus)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void SpeedControllerReadBesideLibmodbus(benchmark::State& state) {
  read_beside_libmodbus(state, kSpeedController, 0);
  state.SetLabel(state.range(1) ? "busy" : "idle");
}
BENCHMARK(SpeedControllerReadBesideLibmodbus)->ArgsProduct({{0}, {0, 1}})->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
