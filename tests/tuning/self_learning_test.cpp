// The automatic searches and the self-learning in the window, on the
// simulated servo: scripted detections for exact outcomes, stops and exit at
// each stage, and whole runs on the physical plant.
#include <QComboBox>
#include <QRadioButton>

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>

#include "common/status_lamp.h"
#include "link/clock_timer.h"
#include "main/main_window.h"
#include "main/program_close.h"
#include "sim/servo_mechanics.h"
#include "support/wait.h"
#include "search_rig.h"
#include "tuning/tuning_chart.h"

namespace velmo {
namespace {

class SelfLearningTest : public SearchRigTest {};

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
  EXPECT_TRUE(lines_since("Memo3").contains(QStringLiteral("节点1：速度环增益搜索完毕"))) << logs();
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
  EXPECT_TRUE(lines_since("Memo3").contains(QStringLiteral("节点1：位置环增益搜索完成"))) << logs();
  const uint16_t kp = reg(kKp);
  EXPECT_LE(kp, 150);
  EXPECT_GE(kp, 1);
  EXPECT_EQ(reg(kKp2), kp * 3 / 4);
  EXPECT_EQ(tstate().pos_loop_gain, kp);
  EXPECT_EQ(tstate().tuning_stage[2], 2);
}

TEST_F(SelfLearningTest, AStoppedSearchMovesNoMoreWritesNoResultAndPutsTheGainsBack) {
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
    SCOPED_TRACE(c.search);
    sim::ServoMechanics::Script s;
    s.jitter_kv = 1;  // something to find at every level
    script(s);
    control<QComboBox>(form, "ComboBox7")->setCurrentIndex(c.vertical ? 1 : 0);
    start_at(10);
    std::map<uint16_t, uint16_t> before;
    for (uint16_t r : {kRigidity, kKp, kKv, kTi, kKp2, kKv2, kTi2, kNotch}) before[r] = reg(r);
    mark_logs();
    press_when([] { return true; }, c.after_moves, "Button38");
    click(c.search);
    const auto after = writes_after_press();
    // No move, no centring, no result after the stop: the move under way
    // ends first, then only the gains the search changed go back, and a
    // SERVO_OFF at the most.
    EXPECT_EQ(starts_in(after), 0) << logs();
    bool put_back_seen = false;
    for (const testing::Frame& f : after) {
      const bool put_back = before.count(static_cast<uint16_t>(f.start)) && before.at(static_cast<uint16_t>(f.start)) == f.values[0];
      const bool stop = testing::write(1, 0x8000, 0) == f;
      EXPECT_TRUE(put_back || stop || testing::write(1, 0x1020, 0) == f) << f;
      EXPECT_FALSE(stop && put_back_seen) << f;
      put_back_seen = put_back_seen || put_back;
    }
    for (const auto& [r, v] : before) EXPECT_EQ(reg(r), v) << r;
    EXPECT_EQ(last("Memo4"), QString::fromUtf8(c.line));
    EXPECT_TRUE(lines_since("Memo3").contains(QStringLiteral("节点1：已将增益、刚性等级、陷波器、振动抑制器和限制值恢复为开始时的值")))
        << logs();
    EXPECT_EQ(rig.st().comm_error, 0);
    EXPECT_EQ(rig.st().tune_error, 0);
    // A stopped stage is not done: its lamp stays dark.
    EXPECT_EQ(tstate().tuning_stage[c.stage], 0);
    EXPECT_FALSE(window->search_running());
    EXPECT_EQ(control<QLabel>(form, "Panel1")->text(), QString::fromUtf8(c.line).chopped(2));
    // At rest where the move under way left it.
    const uint32_t at = rig.servo(1).position();
    rig.link().delay(2000);
    EXPECT_LE(std::abs(static_cast<int32_t>(rig.servo(1).position() - at)), 20);
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
  for (const bool close_box : {false, true}) {
    SCOPED_TRACE(close_box ? "close box" : "Button1");
    script({.resonance_rigidity = 14});
    start_at(10);
    // In the middle of the search the close box only asks it to stop.
    act_when(nullptr, 2, [this, close_box] { if (close_box) EXPECT_FALSE(form->close()); else click("Button1"); });
    click("Button28");
    ASSERT_TRUE(testing::wait_for([this] { return !form->isVisible(); }, 20000));
    const auto after = writes_after_press();
    EXPECT_EQ(starts_in(after), 0);
    EXPECT_TRUE(servo_off_in(after));
    const size_t frames = rig.sim.journal().size();
    const uint32_t at = rig.servo(1).position();
    rig.link().delay(3000);
    EXPECT_EQ(rig.sim.journal().size(), frames);
    EXPECT_EQ(rig.servo(1).position(), at);
    rig.app.main_window().N12Click();
    use(1);
  }
}

// The first close is held by the inverter window, whose drive runs. A
// self-learning started since is stopped, switched off and put back by the
// second close, which stops the inverter with its window's own stop, gives
// it back and ends the program; nothing goes out after that.
TEST_F(SelfLearningTest, TheSecondCloseStopsASelfLearningStartedSinceAndEndsTheProgram) {
  rig.sim.add(sim::make_inverter(3, 4015));
  rig.servo(1).set_reg(0x0000, 0);
  rig.search(3);
  MainWindow& main = rig.app.main_window();
  QWidget* inverter = rig.app.form("TForm9");
  main.N8Click();
  QTest::mouseClick(control<QPushButton>(inverter, "Button3"), Qt::LeftButton);
  ASSERT_EQ(rig.st().bpq_run_state[3], 1);
  EXPECT_FALSE(main.close());
  ASSERT_TRUE(testing::wait_for([&] { return !main.program_close().leaving(); }, 20000));
  ASSERT_TRUE(inverter->isVisible());
  ASSERT_FALSE(form->isVisible());

  main.N12Click();
  use(1);
  window->Button23Click();
  window->Button14Click();
  script({.resonance_rigidity = 14});
  start_at(10);
  std::optional<size_t> at_end;
  QObject::connect(&main, &MainWindow::closed, form, [&] { at_end = rig.sim.request_count(); });
  act_when(nullptr, 2, [&] { EXPECT_FALSE(main.close()); });
  click("Button33");
  ASSERT_TRUE(testing::wait_for([&] { return at_end.has_value(); }, 60000)) << logs();
  const std::vector<testing::Frame> after = writes_after_press();
  EXPECT_EQ(starts_in(after), 0);
  EXPECT_NE(std::find(after.begin(), after.end(), testing::write(1, 0x8000, 0)), after.end()) << logs();
  EXPECT_TRUE(servo_off_in(after)) << logs();
  const auto last_mode = std::find_if(after.rbegin(), after.rend(), [](const auto& f) { return f.start == 0x0000; });
  ASSERT_NE(last_mode, after.rend());
  EXPECT_EQ(*last_mode, testing::write(1, 0x0000, 0));
  // Every drive stopped and given back: no window is named at the end.
  EXPECT_TRUE(rig.notifier.messages.last().contains(QStringLiteral("程序未关闭"))) << rig.notifier.messages.last().toStdString();
  EXPECT_FALSE(inverter->isVisible());
  const std::vector<testing::Frame> to_inverter = testing::writes_of(rig.sim, 3);
  const auto stop = std::find(to_inverter.begin(), to_inverter.end(), testing::write(3, 0x1000, 0));
  ASSERT_NE(stop, to_inverter.end());
  EXPECT_NE(std::find(stop, to_inverter.end(), testing::write(3, 4, rig.st().bpq_rs485_regs[3][0])), to_inverter.end());
  EXPECT_EQ(rig.sim.station(3)->reg(4), rig.st().bpq_rs485_regs[3][0]);
  testing::pass_time(5000);
  EXPECT_EQ(rig.sim.request_count(), *at_end);
}

TEST_F(SelfLearningTest, ClosingTheProgramMidSelfLearningStopsPutsBackAndEndsOnlyThen) {
  // F0-00 at position mode when the line is searched: the test mode is not its own.
  rig.servo(1).set_reg(0x0000, 0);
  rig.search(2);
  use(1);
  window->Button23Click();
  window->Button14Click();
  script({.resonance_rigidity = 14});
  start_at(10);
  std::map<uint16_t, uint16_t> before;
  for (uint16_t r : {kRigidity, kKp, kKv, kTi, kKp2, kKv2, kTi2, kNotch}) before[r] = reg(r);
  MainWindow& main = rig.app.main_window();
  std::optional<std::vector<testing::Frame>> at_end;
  QObject::connect(&main, &MainWindow::closed, form, [&] { at_end = rig.writes(1); });
  // The main window's close box, two test moves into the self-learning.
  std::map<uint16_t, uint16_t> at_close;
  act_when(nullptr, 2, [&] {
    for (const auto& [r, v] : before) at_close[r] = reg(r);
    EXPECT_FALSE(main.close());
  });
  click("Button33");
  ASSERT_TRUE(testing::wait_for([&] { return at_end.has_value(); }, 60000)) << logs();
  EXPECT_FALSE(form->isVisible());
  const std::vector<testing::Frame> after(at_end->begin() + static_cast<long>(frames_at_press), at_end->end());
  auto index_of = [&after](const testing::Frame& f) { return std::find(after.begin(), after.end(), f) - after.begin(); };
  const auto end = std::ssize(after);
  // The move stopped, the servo off, then the settings back; nothing started.
  EXPECT_EQ(starts_in(after), 0);
  EXPECT_LT(index_of(testing::write(1, 0x8000, 0)), end) << logs();
  const long off = index_of(testing::write(1, 0x1020, 0));
  EXPECT_LT(off, end) << logs();
  int changed = 0;
  for (const auto& [r, v] : before) {
    EXPECT_EQ(reg(r), v) << r;
    changed += at_close[r] != v;
    EXPECT_TRUE(at_close[r] == v || index_of(testing::write(1, r, v)) < end) << r;
  }
  EXPECT_GT(changed, 0) << "the self-learning had changed no gain before the close";
  // F0-00 left test mode (1) for its start value, after the servo off.
  EXPECT_TRUE(std::count(at_end->begin(), at_end->end(), testing::write(1, 0x0000, 1)));
  const auto last_mode = std::find_if(after.rbegin(), after.rend(), [](const auto& f) { return f.start == 0x0000; });
  ASSERT_NE(last_mode, after.rend());
  EXPECT_EQ(*last_mode, testing::write(1, 0x0000, 0));
  EXPECT_LT(off, after.rend() - last_mode - 1);
  const size_t frames = rig.writes(1).size();
  testing::pass_time(3000);
  EXPECT_EQ(rig.writes(1).size(), frames);
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
  // The closing line names what was found and the suppressor the drive holds.
  EXPECT_TRUE(last("Memo3").startsWith(QStringLiteral("节点1：末端振动频率搜索完成：末端振动频率"))) << logs();
  EXPECT_TRUE(last("Memo3").contains(QStringLiteral("振动抑制器第1组%1.%2Hz").arg(reg(91) / 10).arg(reg(91) % 10)))
      << logs();
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

TEST_F(SelfLearningTest, AnInertiaRatioAtItsLimitIsShownSoAndNoLineCallsItSimplyDone) {
  // Load 20 on a motor taken for one of a tenth its inertia: an estimate of 200.
  sim::ServoMechanics m;
  m.load_ratio = 20;
  rig.servo(1).set_mechanics(m);
  edit("Edit52")->setText(QString::number(edit("Edit52")->text().toDouble() / 10));
  control<QComboBox>(form, "ComboBox6")->setCurrentIndex(1);  // with inertia estimation
  start_at(10);
  mark_logs();
  click("Button33");
  EXPECT_EQ(reg(43), 1000) << logs();
  EXPECT_EQ(edit("Edit54")->text(), QStringLiteral("100.0（上限）"));
  const QStringList said = lines_since("Memo3") + lines_since("Memo4");
  for (const QString& done : {QStringLiteral("节点1：负载惯量推定完成"), QStringLiteral("节点1：自学习完成")}) {
    EXPECT_TRUE(lines_since("Memo3").contains(done + QStringLiteral("，但惯量比达到上限100.0，结果不可信"))) << logs();
    for (const QString& line : said.filter(done)) EXPECT_TRUE(line.contains(QStringLiteral("结果不可信"))) << line.toStdString();
  }
}

TEST_F(SelfLearningTest, APositionSearchWhoseKpRoundsToItselfGoesToItsConfirmation) {
  // A clean lag at Kp 3.0: its response time is far above what a change of
  // Kp by one tenth could move.
  script({});
  rig.servo(1).set_reg(kKp, 30);
  window->Button14Click();
  ASSERT_EQ(tstate().pos_loop_gain, 30);
  // The response the search's own moves give, and a target just below it.
  tstate().move_dir = 1;
  window->run_half();
  click("Button18");
  ASSERT_TRUE(window->response_valid()) << logs();
  const int32_t measured = tstate().response_time;
  ASSERT_GT(measured, 100);
  tstate().integral_time = 4 * (measured - 3);
  click("Button3");
  rig.sim.clear_journal();

  click("Button29");
  EXPECT_TRUE(testing::memo_lines(form, "Memo3").join(QString()).contains(QStringLiteral("节点1：位置环增益搜索完成  "))) << logs();
  EXPECT_TRUE(QString::fromStdString(logs()).contains(QStringLiteral("位置环增益确认中"))) << logs();
  // Kp stays, and is not rewritten test after test.
  const std::vector<testing::Frame> writes = rig.writes(1);
  EXPECT_TRUE(std::none_of(writes.begin(), writes.end(), [](const testing::Frame& f) { return f.start == kKp; }));
  EXPECT_EQ(tstate().pos_loop_gain, 30);
  // Centring, one test and its repeat, four confirmations, the last check, centring.
  EXPECT_LE(moves(), 9) << logs();
  // The response stays as measured: slower than its target.
  EXPECT_GT(tstate().response_time, static_cast<int32_t>(tstate().response_target));
  EXPECT_EQ(tstate().response_met, 0);
  EXPECT_FALSE(window->chart()->lamp(tuning::TuningChart::LampResponse));
  EXPECT_FALSE(QString::fromStdString(logs()).contains(QStringLiteral("响应时间达到目标值"))) << logs();
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
