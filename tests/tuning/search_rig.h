#pragma once
// The window on servo 1 (layout 1) for the searches and the self-learning:
// scripted mechanics, a start level, a button pressed once the wire shows so
// many move starts, and what was written and logged since.
#include <QComboBox>

#include <functional>
#include <memory>
#include <vector>

#include "link/clock_timer.h"
#include "sim/servo_mechanics.h"
#include "support/wait.h"
#include "tuning_rig.h"

namespace velmo {

// Layout 1: rigidity 44, Kp/Kv/Ti 45..47, set 2 50..52, first notch 71.
inline constexpr uint16_t kRigidity = 44, kKp = 45, kKv = 46, kTi = 47, kKp2 = 50, kKv2 = 51, kTi2 = 52, kNotch = 71;

class SearchRigTest : public GainTuningTest {
 protected:
  void SetUp() override {
    GainTuningTest::SetUp();
    use(1);
    rig.servo(1).set_reg(181, 6001);  // 131072 counts
    rig.st().comm_timeout_ms = 20000;
    window->Button23Click();
    window->Button14Click();
  }
  void script(const sim::ServoMechanics::Script& s) {
    sim::ServoMechanics m;
    m.script = s;
    m.script.on = true;
    rig.servo(1).set_mechanics(m);
  }
  // A resonance of `hz` from rigidity `level` on.
  void resonance_from(int level, double hz) {
    sim::ServoMechanics::Script s;
    s.resonance_rigidity = level;
    s.resonance_hz = hz;
    script(s);
  }
  void start_at(uint32_t level) {
    tstate().rigidity_level = level;
    window->gain_set();
    rig.sim.clear_journal();
  }
  void click(const char* name) { QTest::mouseClick(control<QPushButton>(form, name), Qt::LeftButton); }
  int moves() {
    int n = 0;
    for (const testing::Frame& f : rig.writes(1)) n += f.start == 0x8000 && f.values[0] != 0;
    return n;
  }
  // Presses `button` (or does `act`) once `ready` holds and the wire shows `n`
  // more move starts; without `ready`, `n` starts since the journal was cleared.
  void press_when(std::function<bool()> ready, int n, const char* button) {
    act_when(std::move(ready), n, [this, button] { click(button); });
  }
  void act_when(std::function<bool()> ready, int n, std::function<void()> act) {
    auto* poll = new ClockTimer(form);
    auto base = std::make_shared<int>(-1);
    QObject::connect(poll, &ClockTimer::timeout, form, [this, ready, n, poll, act, base] {
      if (*base < 0) {
        if (ready && !ready()) return;
        *base = ready ? moves() : 0;
      }
      if (moves() < *base + n) return;
      poll->stop();
      poll->deleteLater();
      moves_at_press = moves();
      frames_at_press = rig.writes(1).size();
      act();
    });
    poll->start(1);
  }
  // Writes after the press: move starts, and whether SERVO_OFF was sent.
  std::vector<testing::Frame> writes_after_press() {
    const auto all = rig.writes(1);
    return {all.begin() + static_cast<long>(std::min(frames_at_press, all.size())), all.end()};
  }
  static int starts_in(const std::vector<testing::Frame>& frames) {
    int n = 0;
    for (const testing::Frame& f : frames) n += f.start == 0x8000 && f.values[0] != 0;
    return n;
  }
  static bool servo_off_in(const std::vector<testing::Frame>& frames) {
    for (const testing::Frame& f : frames)
      if (f.start == 0x1020 && f.values[0] == 0) return true;
    return false;
  }
  // Log lines since the mark, without their times.
  void mark_logs() {
    marks[0] = testing::memo_lines(form, "Memo3").size();
    marks[1] = testing::memo_lines(form, "Memo4").size();
  }
  QStringList lines_since(const char* memo) {
    QStringList out;
    const QStringList all = testing::memo_lines(form, memo);
    for (qsizetype i = marks[memo[4] == '3' ? 0 : 1]; i < all.size(); ++i)
      out << all[i].section(QStringLiteral("  "), 0, 0);
    return out;
  }
  qsizetype marks[2] = {0, 0};
  int moves_at_press = -1;
  size_t frames_at_press = 0;
  uint16_t reg(uint16_t r) { return rig.servo(1).reg(r); }
  // The logs, for a failure's message.
  std::string logs() {
    return (testing::memo_lines(form, "Memo3").join(QLatin1Char('\n')) + QStringLiteral("\n--\n") +
            testing::memo_lines(form, "Memo4").join(QLatin1Char('\n')))
        .toStdString();
  }

};

}  // namespace velmo
