// The plant on the virtual timeline gives the same wire and the same numbers
// whatever else the machine is doing: an inertia estimation is run alone and
// again beside busy threads on every CPU.
#include <QLineEdit>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "common/form_access.h"
#include "link/modbus_frame.h"
#include "main/main_window.h"
#include "sim/servo_mechanics.h"
#include "support/app_on_sim.h"
#include "tuning/gain_tuning_window.h"

namespace velmo {
namespace {

struct Outcome {
  std::vector<std::string> journal;  // virtual time, direction and bytes of every frame
  int inertia_ratio = 0;
  std::vector<int> gains;
  QStringList log;  // without the wall-clock time each line ends with
};

// Connects, opens the gain-tuning window on station 2 (131072-count motor,
// load 20 times the rotor) and estimates the load inertia.
Outcome estimate_inertia() {
  testing::AppOnSim rig;
  Outcome out;
  if (!rig.connect_servos()) return out;
  rig.app.main_window().N12Click();
  QWidget* form = rig.app.form("TForm3");
  auto* window = qobject_cast<GainTuningWindow*>(form);
  auto* nodes = control<QComboBox>(form, "ComboBox2");
  nodes->setCurrentIndex(nodes->findText(QStringLiteral("2")));
  window->tuning_state().station = 2;
  window->tuning_state().servo_subtype = 2;
  rig.servo(2).set_motor_code(6002);
  window->Button23Click();
  sim::ServoMechanics m;
  m.load_ratio = 20;
  rig.servo(2).set_mechanics(m);
  for (auto [r, v] : {std::pair{52, 10}, {55, 88}, {56, 1400}, {57, 117}})
    rig.servo(2).set_reg(static_cast<uint16_t>(r), static_cast<uint16_t>(v));
  window->Button14Click();
  control<QLineEdit>(form, "Edit8")->setText(QStringLiteral("3"));
  control<QLineEdit>(form, "Edit67")->setText(QStringLiteral("1"));
  control<QLineEdit>(form, "Edit68")->setText(QStringLiteral("980"));
  window->hidden.test_pulses = 3 * 131000;
  window->tuning_state().move_params_changed = 1;
  rig.sim.clear_journal();
  window->Button24Click();

  for (const sim::JournalEntry& e : rig.sim.journal())
    out.journal.push_back(std::to_string(e.t_ns) + (e.is_request ? " RX " : " TX ") + hex_line(e.bytes.data(), e.bytes.size()));
  out.inertia_ratio = window->tuning_state().inertia_ratio;
  for (uint16_t r : {52, 55, 56, 57}) out.gains.push_back(rig.servo(2).reg(r));
  for (const QString& line : testing::memo_lines(form, "Memo4") + testing::memo_lines(form, "Memo3"))
    out.log << line.section(QStringLiteral("  "), 0, 0);
  return out;
}

// Spinning threads on every CPU, stopped at the end and never longer than the bound.
class BusyMachine {
 public:
  BusyMachine() {
    const unsigned n = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < n; ++i) {
      threads_.emplace_back([this] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        volatile uint64_t spin = 0;
        while (!stop_.load(std::memory_order_relaxed) && std::chrono::steady_clock::now() < end) spin = spin + 1;
      });
    }
  }
  ~BusyMachine() {
    stop_ = true;
    for (auto& t : threads_) t.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::thread> threads_;
};

TEST(TimelineDeterminism, AnInertiaEstimationBesideBusyThreadsOnEveryCpuIsTheSameToTheFrame) {
  const Outcome calm = estimate_inertia();
  Outcome busy;
  {
    BusyMachine machine;
    busy = estimate_inertia();
  }
  ASSERT_GT(calm.journal.size(), 100u) << calm.log.join('\n').toStdString();
  EXPECT_NEAR(calm.inertia_ratio / 10.0, 20.0, 20.0 * 0.03);
  EXPECT_EQ(busy.journal, calm.journal);
  EXPECT_EQ(busy.inertia_ratio, calm.inertia_ratio);
  EXPECT_EQ(busy.gains, calm.gains);
  EXPECT_EQ(busy.log, calm.log);
}

}  // namespace
}  // namespace velmo
