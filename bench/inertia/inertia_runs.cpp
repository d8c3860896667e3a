// velmo_inertia_runs: the gain-tuning window's inertia estimation (开始推定)
// on station 2 of a simulated line, as the engineer runs it, from a fresh
// line once per start ratio and seed. Prints one line per run: start, seed,
// estimate (and with --twice the estimate of a second run from the first's
// result). scripts/inertia-table.sh measures the README's table with it.
//
// On the virtual timeline a run is the same to the frame for a seed. Real
// runs differ in when each frame and each wait's end falls against the
// axis's 10 kHz steps: an exchange over the pty costs about 0.15 ms and a
// wait ends 1-2 ms late, a little more or less each time. That moves the
// phase of the end mode's ring left over from one run at the start of the
// next, and which encoder dither each recording sees. So the seed sets the
// dither's sequence and, with --late P, which replies come 1 ms late (each
// with probability P; 0.15 makes the real runs' spread). --real runs on
// real time, as velmo-drive-sim does.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/form_access.h"
#include "common/log_view.h"
#include "common/notifier.h"
#include "link/clock.h"
#include "link/event_loop.h"
#include "link/private_folder.h"
#include "link/virtual_clock.h"
#include "main/main_window.h"
#include "main/velmo_app.h"
#include "sim/mechanics_text.h"
#include "sim/servo_station.h"
#include "sim/sim_line.h"
#include "sim/stations.h"
#include "tuning/gain_tuning_window.h"

namespace {

using namespace velmo;
using Estimate = std::optional<double>;

struct Setup {
  std::string mechanics = "load=5";
  int motor = 0;  // 0: the drive's own (4096 counts)
  std::vector<double> starts = {1.0, 2.5, 4.0, 10.0, 20.0};
  std::vector<int> seeds = {1};
  double late_share = 0;
  bool real = false;
  bool twice = false;
  std::string journal;  // every frame of the last run, with its time
};

// Each reply to station 2 one millisecond late with this probability.
void late_replies(sim::SimLine& line, double share, int seed) {
  if (share <= 0) return;
  std::mt19937 rng(static_cast<uint32_t>(seed));
  std::bernoulli_distribution late(share);
  for (int i = 0; i < 8000; ++i) {  // more than two estimations' exchanges
    sim::Fault f;
    f.kind = sim::Fault::Late;
    f.delay_ms = late(rng) ? 1 : 0;
    line.inject(2, f);
  }
}

Estimate press_start(GainTuningWindow* window, double start, int seed) {
  control<QPushButton>(window, "Button24")->click();  // 开始推定
  const tuning::TuningState& ts = window->tuning_state();
  if (ts.tuning_stage[0] == 2) return ts.inertia_ratio / 10.0;
  // Why it gave none: the failure log's last line.
  const QStringList lines = shown_text(control<QPlainTextEdit>(window, "Memo4")).trimmed().split(QLatin1Char('\n'));
  std::fprintf(stderr, "start %.1f seed %d: %s\n", start, seed, qPrintable(lines.back()));
  return std::nullopt;
}

std::vector<Estimate> estimate(const Setup& s, const sim::ServoMechanics& axis, double start, int seed) {
  std::unique_ptr<VirtualClock> timeline;
  std::unique_ptr<ClockScope> scope;
  if (!s.real) {
    timeline = std::make_unique<VirtualClock>();
    scope = std::make_unique<ClockScope>(*timeline);
  }
  sim::SimLine line;
  line.add(sim::make_servo(1, 6101, 101));
  auto& servo = dynamic_cast<sim::ServoStation&>(line.add(sim::make_servo(2, 8005, 102)));
  if (s.motor) servo.set_motor_code(static_cast<uint16_t>(s.motor));
  sim::ServoMechanics m = axis;
  m.seed = static_cast<uint32_t>(seed);
  servo.set_mechanics(m);
  servo.set_reg(52, static_cast<uint16_t>(start * 10 + 0.5));  // the ratio the drive holds

  RecordingNotifier notifier;
  VelmoApp app(notifier);
  app.main_window().choose_port(QString::fromStdString(line.port_path()));
  control<QLineEdit>(app.form("TForm1"), "Edit1")->setText(QStringLiteral("2"));
  control<QPushButton>(app.form("TForm1"), "Button4")->click();  // 搜索节点
  app.main_window().N12Click();
  auto* window = qobject_cast<GainTuningWindow*>(app.form("TForm3"));
  auto* nodes = control<QComboBox>(window, "ComboBox2");
  const int index = nodes->findText(QStringLiteral("2"));
  if (index < 0) return {std::nullopt};
  nodes->setCurrentIndex(index);
  emit nodes->activated(index);
  late_replies(line, s.late_share, seed);
  if (!s.journal.empty()) line.journal_to(s.journal);

  std::vector<Estimate> found = {press_start(window, start, seed)};
  if (s.twice) found.push_back(found[0] ? press_start(window, *found[0], seed) : std::nullopt);
  return found;
}

std::vector<double> numbers(const char* text) {
  std::vector<double> out;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) out.push_back(std::atof(item.c_str()));
  return out;
}

int usage(const char* argv0) {
  std::fprintf(stderr,
               "usage: %s [--mechanics KEY=VALUE,...] [--motor CODE] [--starts R,R,...] [--seeds N-M]\n"
               "          [--late P] [--twice] [--real] [--journal FILE]\n"
               "  --mechanics and --motor as velmo-drive-sim takes them for a servo (seed= is\n"
               "  set per run; motor 4005: 4096 counts, 6002: 131072; default 4096).\n"
               "  Prints: start seed estimate [second] (- where the estimation gave none).\n",
               argv0);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  provide_runtime_folder();
  use_qt_event_loop();
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qt(argc, argv);
  Setup s;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--real" || arg == "--twice") {
      (arg == "--real" ? s.real : s.twice) = true;
      continue;
    }
    if (i + 1 >= argc) return usage(argv[0]);
    const char* value = argv[++i];
    if (arg == "--mechanics") {
      s.mechanics = value;
    } else if (arg == "--motor") {
      s.motor = std::atoi(value);
    } else if (arg == "--starts") {
      s.starts = numbers(value);
    } else if (arg == "--seeds") {
      int first = 1, last = 1;
      if (std::sscanf(value, "%d-%d", &first, &last) < 1) return usage(argv[0]);
      s.seeds.clear();
      for (int k = first; k <= std::max(first, last); ++k) s.seeds.push_back(k);
    } else if (arg == "--late") {
      s.late_share = std::atof(value);
    } else if (arg == "--journal") {
      s.journal = value;
    } else {
      return usage(argv[0]);
    }
  }
  const std::optional<sim::ServoMechanics> axis = sim::parse_mechanics(s.mechanics);
  if (!axis) return usage(argv[0]);
  for (double start : s.starts) {
    for (int seed : s.seeds) {
      std::printf("%.1f %d", start, seed);
      for (const Estimate& r : estimate(s, *axis, start, seed)) {
        if (r) std::printf(" %.1f", *r);
        else std::printf(" -");
      }
      std::printf("\n");
      std::fflush(stdout);
    }
  }
  return 0;
}
