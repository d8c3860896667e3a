// Memory taken by a window's traffic log after a long polling session.
#include <QPlainTextEdit>
#include <benchmark/benchmark.h>

#include <fstream>
#include <malloc.h>
#include <unistd.h>

#include "common/log_view.h"

namespace {

// Resident memory once the allocator has handed back what it holds free.
double rss_mb() {
  malloc_trim(0);
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// A status poll's two lines: the request and a 32-register reply.
QString traffic_line(int i) {
  if (i % 2 == 0) return QStringLiteral("01 03 20 00 00 20 4E 12 **");
  QString reply = QStringLiteral("01 03 40 ");
  for (int k = 0; k < 64 + 2; ++k) reply += QString::asprintf("%02X ", (i + k) & 0xFF);
  return reply;
}

// Growth of the process after 100 000 lines: the bounded log against an
// unbounded plain one (how every log used to be kept).
void LogMemory(benchmark::State& state) {
  const bool bounded = state.range(0) != 0;
  {
    // Fonts and layout caches are set up by the first lines shown: not the log's cost.
    velmo::LogView warm_up;
    for (int i = 0; i < 2000; ++i) velmo::append_line(&warm_up, traffic_line(i));
  }
  for (auto _ : state) {
    const double before = rss_mb();
    QPlainTextEdit* memo = bounded ? new velmo::LogView : new QPlainTextEdit;
    for (int i = 0; i < 100000; ++i) velmo::append_line(memo, traffic_line(i));
    state.counters["rss_growth_mb"] = rss_mb() - before;
    if (auto* log = qobject_cast<velmo::LogView*>(memo)) {
      state.counters["store_mb"] = log->store().bytes_held() / (1024.0 * 1024.0);
    }
    delete memo;
  }
  state.SetLabel(bounded ? "bounded view, complete store" : "plain unbounded memo");
}
BENCHMARK(LogMemory)->Arg(1)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
