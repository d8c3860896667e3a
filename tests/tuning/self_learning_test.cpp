// The automatic searches and the self-learning in the window, on the
// simulated servo: scripted detections for exact outcomes, stops and exit at
// each stage, and whole runs on the physical plant.
#include <QComboBox>
#include <QRadioButton>

#include <functional>
#include <iterator>
#include <map>
#include <memory>

#include "common/status_lamp.h"
#include "link/clock_timer.h"
#include "sim/servo_mechanics.h"
#include "support/wait.h"
#include "tuning_rig.h"

namespace velmo {
namespace {

// Layout 1: rigidity 44, Kp/Kv/Ti 45..47, set 2 50..52, first notch 71.
constexpr uint16_t kRigidity = 44, kKp = 45, kKv = 46, kKp2 = 50, kKv2 = 51, kNotch = 71;

class SelfLearningTest : public GainTuningTest {
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
  // Presses `button` once `ready` holds and the wire shows `n` more move starts.
  void press_when(std::function<bool()> ready, int n, const char* button) {
    auto* poll = new ClockTimer(form);
    auto base = std::make_shared<int>(-1);
    QObject::connect(poll, &ClockTimer::timeout, form, [this, ready, n, poll, button, base] {
      if (*base < 0) {
        if (!ready()) return;
        *base = moves();
      }
      if (moves() < *base + n) return;
      poll->stop();
      poll->deleteLater();
      moves_at_press = moves();
      frames_at_press = rig.writes(1).size();
      click(button);
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

TEST_F(SelfLearningTest, SpeedSearchBacksOffALowResonanceAndWritesBothSets) {
  sim::ServoMechanics::Script s;
  s.resonance_rigidity = 12;
  s.resonance_hz = 200;
  script(s);
  start_at(10);
  const uint16_t kv10 = reg(kKv);
  click("Button28");
  EXPECT_EQ(reg(kRigidity), 10);
  EXPECT_EQ(reg(kKv), kv10);
  EXPECT_EQ(reg(kKv2), kv10 * 9 / 10);
  EXPECT_EQ(reg(kKp2), reg(kKp) * 3 / 4);
  EXPECT_EQ(last("Memo3"), QStringLiteral("节点1：速度环增益搜索完毕"));
  EXPECT_EQ(tstate().tuning_stage[1], 2);
  EXPECT_TRUE(control<QPushButton>(form, "Button28")->isEnabled());
}

TEST_F(SelfLearningTest, ABackOffLooksTwiceAtALevelWhereOnlyAJitterWasSeen) {
  // Kv at each level as the formula gives it; a jitter above level 8's Kv.
  std::map<int, uint32_t> level_of_kv;
  for (uint32_t level : {8u, 10u, 12u}) {
    tstate().rigidity_level = level;
    window->gain_set();
    level_of_kv[tstate().speed_loop_gain] = level;
  }
  ASSERT_EQ(level_of_kv.size(), 3u);
  sim::ServoMechanics::Script s;
  s.jitter_kv = (level_of_kv.begin()->first + std::next(level_of_kv.begin())->first) / 2;
  script(s);
  // The system check backed off for a low resonance: the search backs off first.
  start_at(12);
  tstate().notch_result = 2;
  int kv = reg(kKv);
  click("Button28");
  // The level of every move on the wire, by the Kv written before it.
  std::vector<uint32_t> levels;
  for (const testing::Frame& f : rig.writes(1)) {
    if (f.start == kKv) kv = f.values[0];
    if (f.start == 0x8000 && f.values[0] != 0) levels.push_back(level_of_kv.count(kv) ? level_of_kv[kv] : 0);
  }
  // Centring at 12; at 10 both looks see the jitter, at 8 both see nothing.
  ASSERT_GE(levels.size(), 5u) << logs();
  EXPECT_EQ(std::vector<uint32_t>(levels.begin(), levels.begin() + 5), (std::vector<uint32_t>{12, 10, 10, 8, 8}))
      << logs();
}

TEST_F(SelfLearningTest, AnEstimationWithoutARatioLetsTheSelfLearningGoOn) {
  sim::ServoMechanics::Script s;
  s.resonance_rigidity = 7;
  s.end_vibration = true;
  script(s);
  control<QComboBox>(form, "ComboBox6")->setCurrentIndex(1);  // with inertia estimation
  edit("Edit52")->clear();  // no rotor inertia: no ratio can be computed
  const uint16_t ratio = reg(43);
  start_at(10);
  mark_logs();
  click("Button33");
  EXPECT_TRUE(lines_since("Memo3").contains(QStringLiteral("节点1：终止负载惯量推定"))) << logs();
  EXPECT_TRUE(lines_since("Memo3").contains(QStringLiteral("节点1：自学习完成"))) << logs();
  EXPECT_EQ(lines_since("Memo4"), QStringList{QStringLiteral("节点1：电机额定转矩或转子惯量无效!!")});
  for (const testing::Frame& f : rig.writes(1)) EXPECT_NE(f.start, 43) << f;
  EXPECT_EQ(reg(43), ratio);
  EXPECT_EQ(tstate().tuning_stage[0], 0);
  for (size_t stage : {4u, 1u, 2u}) EXPECT_EQ(tstate().tuning_stage[stage], 2) << stage;
  EXPECT_FALSE(control<StatusLamp>(form, "Shape1")->lit());
  EXPECT_TRUE(control<StatusLamp>(form, "Shape4")->lit());
}

TEST_F(SelfLearningTest, PositionSearchEndsBelowTheOvershootGain) {
  sim::ServoMechanics::Script s;
  s.overshoot_kp = 150;
  script(s);
  start_at(10);
  click("Button29");
  EXPECT_EQ(last("Memo3"), QStringLiteral("节点1：位置环增益搜索完成")) << logs();
  const uint16_t kp = reg(kKp);
  EXPECT_LE(kp, 150);
  EXPECT_GE(kp, 1);
  EXPECT_EQ(reg(kKp2), kp * 3 / 4);
  EXPECT_EQ(tstate().pos_loop_gain, kp);
  EXPECT_EQ(tstate().tuning_stage[2], 2);
}

TEST_F(SelfLearningTest, AStoppedSearchWritesSetTwoCentresOnceAndReportsTheStop) {
  struct Case {
    const char* search;
    int after_moves;
    bool vertical;
    const char* line;
    size_t stage;
  };
  const Case cases[] = {
      {"Button28", 2, false, "节点1：速度环增益搜索中断!!", 1},
      {"Button28", 2, true, "节点1：速度环增益搜索中断!!", 1},
      {"Button29", 3, false, "节点1：位置环增益搜索中断!!", 2},
  };
  for (const Case& c : cases) {
    sim::ServoMechanics::Script s;
    s.jitter_kv = 1;  // something to find at every level
    script(s);
    control<QComboBox>(form, "ComboBox7")->setCurrentIndex(c.vertical ? 1 : 0);
    start_at(10);
    press_when([] { return true; }, c.after_moves, "Button38");
    click(c.search);
    const auto after = writes_after_press();
    // One centring move after the stop, nothing else.
    EXPECT_EQ(starts_in(after), 1) << c.search << logs();
    EXPECT_EQ(servo_off_in(after), !c.vertical) << c.search;
    bool set2 = false;
    for (const testing::Frame& f : after) set2 = set2 || f.start == kKp2;
    EXPECT_TRUE(set2) << c.search;
    EXPECT_EQ(last("Memo4"), QString::fromUtf8(c.line)) << c.search;
    EXPECT_EQ(rig.st().comm_error, 0);
    EXPECT_EQ(rig.st().tune_error, 0);
    // A stopped stage is not done: its lamp stays dark.
    EXPECT_EQ(tstate().tuning_stage[c.stage], 0) << c.search;
    EXPECT_FALSE(window->search_running());
    // At rest where the centring move left it.
    const uint32_t at = rig.servo(1).position();
    rig.link().delay(2000);
    EXPECT_LE(std::abs(static_cast<int32_t>(rig.servo(1).position() - at)), 20) << c.search;
  }
}

TEST_F(SelfLearningTest, AStopAtEachStageOfTheSelfLearningReportsTheStop) {
  control<QComboBox>(form, "ComboBox6")->setCurrentIndex(1);  // with inertia estimation
  for (size_t stage : {0u, 4u, 1u, 2u}) {
    sim::ServoMechanics::Script s;
    s.resonance_rigidity = 14;
    script(s);
    // A vertical load is held whatever stops.
    const bool vertical = stage == 2;
    control<QComboBox>(form, "ComboBox7")->setCurrentIndex(vertical ? 1 : 0);
    start_at(10);
    tuning::TuningState& ts = tstate();
    press_when([&ts, stage] { return ts.tuning_stage[stage] == 1; }, 1, "Button30");
    click("Button33");
    const auto after = writes_after_press();
    EXPECT_LE(starts_in(after), 2) << stage << logs();  // the stage's centring, no test move
    EXPECT_EQ(servo_off_in(after), !vertical) << stage;
    EXPECT_EQ(last("Memo4"), QStringLiteral("节点1：自学习中断!!")) << stage;
    EXPECT_EQ(ts.selflearn_running, 0);
    EXPECT_EQ(rig.st().comm_error, 0);
    for (uint8_t v : ts.tuning_stage) EXPECT_EQ(v, 0) << stage;
    EXPECT_FALSE(control<StatusLamp>(form, "Shape4")->lit());
    EXPECT_FALSE(control<QPushButton>(form, "Button30")->isEnabled());
    EXPECT_TRUE(control<QPushButton>(form, "Button33")->isEnabled());
  }
}

TEST_F(SelfLearningTest, LeavingDuringASearchStopsAndSendsNothingAfterTheRestore) {
  sim::ServoMechanics::Script s;
  s.resonance_rigidity = 14;
  script(s);
  start_at(10);
  press_when([] { return true; }, 2, "Button1");
  click("Button28");
  ASSERT_TRUE(testing::wait_for([this] { return !form->isVisible(); }, 20000));
  const auto after = writes_after_press();
  EXPECT_EQ(starts_in(after), 0);
  const size_t frames = rig.sim.journal().size();
  const uint32_t at = rig.servo(1).position();
  rig.link().delay(3000);
  EXPECT_EQ(rig.sim.journal().size(), frames);
  EXPECT_EQ(rig.servo(1).position(), at);
}

TEST_F(SelfLearningTest, FrequencySearchesSetTheirFilterAndReturnToLevelTen) {
  sim::ServoMechanics::Script s;
  s.resonance_rigidity = 7;
  s.resonance_hz = 450;
  s.end_vibration = true;
  s.end_hz = 15;
  script(s);
  start_at(10);
  click("Button47");
  EXPECT_NEAR(reg(kNotch), 450, 5) << logs();
  click("Button37");
  EXPECT_NEAR(reg(91), 150, 3) << logs();  // first suppressor, tenths of Hz
  EXPECT_EQ(tstate().rigidity_level, 10u);
  EXPECT_EQ(last("Memo3"), QStringLiteral("节点1：SERVO_OFF"));
  EXPECT_TRUE(testing::memo_lines(form, "Memo3").join(QString()).contains(QStringLiteral("末端振动自学习完成")));
}

TEST_F(SelfLearningTest, NoStaleFailureGainStepsAndAPositioningTimeInsideItsRange) {
  // What a failed search leaves behind does not end the next operation.
  script({});
  rig.st().comm_error = 1;
  rig.st().tune_error = 1;
  click("Button18");
  EXPECT_TRUE(window->response_valid()) << logs();

  // Gain steps write at once: a small Kp rises by one, a small Kv stays.
  tstate().pos_loop_gain = 9;
  tstate().speed_loop_gain = 9;
  click("Button44");
  click("Button42");
  EXPECT_EQ(reg(kKp), 10);
  EXPECT_EQ(reg(kKv), 9);
  EXPECT_EQ(edit("Edit40")->text(), QStringLiteral("1.0"));

  // The synchronous positioning time follows its range when the ratio is read.
  control<QRadioButton>(form, "RadioButton14")->setChecked(true);
  edit("Edit48")->setText(QStringLiteral("80"));
  window->Button14Click();
  EXPECT_EQ(edit("Edit48")->text(), QString::number(tstate().pos_time_max));
  EXPECT_LT(tstate().pos_time_max, 80u);
}

TEST_F(SelfLearningTest, SelfLearningOnThePhysicalPlantEndsWithVerifiedGains) {
  struct Case {
    int load_class;
    bool estimate;
    double resonance_hz;
  };
  for (const Case c : {Case{0, false, 0}, Case{1, true, 0}, Case{2, false, 450}}) {
    sim::ServoMechanics m;
    m.load_ratio = 2.0;
    if (c.resonance_hz > 0) m.resonances = {{c.resonance_hz, 1500}};
    rig.servo(1).set_mechanics(m);
    control<QComboBox>(form, "ComboBox4")->setCurrentIndex(c.load_class);
    window->ComboBox4Change();
    control<QComboBox>(form, "ComboBox6")->setCurrentIndex(c.estimate ? 1 : 0);
    start_at(10);
    mark_logs();
    click("Button33");
    EXPECT_TRUE(lines_since("Memo3").contains(QStringLiteral("节点1：自学习完成"))) << c.load_class << logs();
    EXPECT_TRUE(lines_since("Memo4").isEmpty()) << c.load_class << logs();
    EXPECT_TRUE(control<StatusLamp>(form, "Shape4")->lit());
    // What the drive holds is what the searches last verified.
    EXPECT_EQ(reg(kKp), tstate().pos_loop_gain);
    EXPECT_EQ(reg(kKv), tstate().speed_loop_gain);
    EXPECT_EQ(reg(kKv2), tstate().speed_loop_gain * 9 / 10);
    if (c.resonance_hz > 0) {
      EXPECT_NEAR(reg(kNotch), c.resonance_hz, 0.02 * c.resonance_hz);
    }
  }
}

// The machine's 28 Hz end mode still rings where the self-learning's
// end-vibration detection looks, and is suppressed (layout 1: first
// suppressor 91, its depth 92).
TEST_F(SelfLearningTest, SelfLearningSuppressesTheMachinesEndVibration) {
  sim::ServoMechanics m;
  m.load_ratio = 2.0;
  m.end_mode_hz = 28;
  rig.servo(1).set_mechanics(m);
  control<QComboBox>(form, "ComboBox4")->setCurrentIndex(1);
  window->ComboBox4Change();
  start_at(10);
  mark_logs();
  click("Button33");
  EXPECT_TRUE(lines_since("Memo3").contains(QStringLiteral("节点1：自学习完成"))) << logs();
  EXPECT_TRUE(lines_since("Memo3").contains(QStringLiteral("节点1：发现停止振动频率！！"))) << logs();
  EXPECT_LE(std::abs(reg(91) - 280), 5);  // one bin is 0.49 Hz
  EXPECT_EQ(reg(92), 80);
}

}  // namespace
}  // namespace velmo
