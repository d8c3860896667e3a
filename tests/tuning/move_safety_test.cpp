// The gain tuning under the engineer's hand, on the simulated servo's wire:
// no move on a setting the drive did not confirm (a recording trigger and a
// SERVO_ON included), a user's SERVO_OFF during any sequence, the stops of
// every search, honest closing lines, and no pick under a running sequence.
#include <QComboBox>
#include <QRadioButton>

#include <cstdlib>
#include <functional>
#include <memory>

#include "link/clock.h"
#include "sim/servo_mechanics.h"
#include "support/wait.h"
#include "tuning_rig.h"

namespace velmo {
namespace {

using testing::Frame;

constexpr int kMode = 0x0000, kStart = 0x8000, kStroke = 0x8001, kRate = 0x8002, kArm = 0x8004, kServo = 0x1020;

bool is_start(const Frame& f) { return f.function == 6 && f.start == kStart && f.values[0] != 0; }
bool is_write(const Frame& f, int reg) { return f.function == 6 && f.start == reg; }

// True when a move started after the first write of `reg` in `frames` (the
// one the fault spoiled) before `reg` was written again.
bool started_on_unconfirmed(const std::vector<Frame>& frames, int reg) {
  int writes = 0;
  for (const Frame& f : frames) {
    if (is_write(f, reg)) ++writes;
    if (writes == 1 && is_start(f)) return true;
  }
  return false;
}

int starts_in(const std::vector<Frame>& frames) {
  return static_cast<int>(std::count_if(frames.begin(), frames.end(), is_start));
}

class MoveSafetyTest : public GainTuningTest {
 protected:
  void SetUp() override {
    GainTuningTest::SetUp();
    use(1);
    rig.servo(1).set_reg(181, 6001);  // 131072 counts a revolution
    fast_moves();
    window->Button23Click();
    window->Button14Click();
    enter("Edit68", "2000");
    enter("Edit8", "1");
    rig.sim.clear_journal();
  }

  // Every request station 1 received, reads and writes, in order.
  std::vector<Frame> requests() { return testing::frames_of(rig.sim, 1); }
  void click(const char* name) { QTest::mouseClick(control<QPushButton>(form, name), Qt::LeftButton); }
  // Runs `op` from clear logs and journal, with the drive refusing the recording trigger.
  void with_recording_refused(const std::function<void()>& op);
  void script(const sim::ServoMechanics::Script& s) {
    sim::ServoMechanics m;
    m.script = s;
    m.script.on = true;
    rig.servo(1).set_mechanics(m);
  }
  QString memo(const char* name) { return testing::memo_lines(form, name).join(QLatin1Char('\n')); }
  std::string logs() { return (memo("Memo3") + QStringLiteral("\n--\n") + memo("Memo4")).toStdString(); }

  // Runs `action` inside the window's waits once `n` move starts are on the
  // wire; the requests received up to then are kept in `at_press`.
  void after_starts(int n, std::function<void()> action) {
    auto* poll = new ClockTimer(form);
    QObject::connect(poll, &ClockTimer::timeout, form, [this, n, poll, action] {
      const std::vector<Frame> now = requests();
      if (starts_in(now) < n) return;
      poll->stop();
      poll->deleteLater();
      at_press = now.size();
      action();
    });
    poll->start(1);
  }
  std::vector<Frame> since_press() {
    const std::vector<Frame> all = requests();
    return {all.begin() + static_cast<long>(std::min(at_press, all.size())), all.end()};
  }

  size_t at_press = 0;
};

sim::Fault fault_of(sim::Fault::Kind kind, uint16_t reg, uint8_t code = 4, int times = 1) {
  sim::Fault f = testing::fault(kind, reg, times);
  f.exception_code = code;
  return f;
}

TEST_F(MoveSafetyTest, AShorterStrokeTheDriveDidNotTakeIsNeverRunOnTheOldOne) {
  struct Case {
    int reg;
    sim::Fault::Kind kind;
    uint8_t code;
    const char* line;  // the failed write's line in Memo4
  };
  const Case cases[] = {
      {kStroke, sim::Fault::Silent, 4, "通信失败!!"},
      {kStroke, sim::Fault::Exception, 2, "脉冲数设置失败!!"},
      {kStroke, sim::Fault::Exception, 4, "脉冲数设置失败!!"},
      {kStroke, sim::Fault::BadCrc, 4, "脉冲数设置失败!!"},
      {kRate, sim::Fault::Exception, 2, "脉冲频率设置失败!!"},
      {kMode, sim::Fault::Silent, 4, "通信失败!!"},
      {kArm, sim::Fault::BadCrc, 4, "运转失败!!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.reg) + " fault " + ::testing::PrintToString(int{c.kind}));
    click("Button3");
    // Three revolutions accepted and run, then one asked for.
    enter("Edit8", "3");
    window->Button22Click();
    enter("Edit8", "1");
    enter("Edit68", c.reg == kRate ? "1000" : "2000");
    rig.sim.clear_journal();
    rig.sim.inject(1, fault_of(c.kind, static_cast<uint16_t>(c.reg), c.code));
    const uint32_t before = rig.servo(1).position();
    window->Button22Click();
    EXPECT_EQ(starts_in(requests()), 0) << logs();
    EXPECT_NEAR(static_cast<int32_t>(rig.servo(1).position() - before), 0, 20);
    EXPECT_TRUE(memo("Memo4").contains(QString::fromUtf8(c.line))) << logs();
    EXPECT_TRUE(memo("Memo4").contains(QStringLiteral("运转失败!!")));

    // The next press writes the setting again and runs the stroke asked for.
    rig.sim.clear_faults();
    window->Button22Click();
    const std::vector<Frame> frames = requests();
    EXPECT_FALSE(started_on_unconfirmed(frames, c.reg));
    EXPECT_EQ(starts_in(frames), 1);
    const int32_t moved = std::abs(static_cast<int32_t>(rig.servo(1).position() - before));
    EXPECT_NEAR(moved, 131000, 200) << logs();
  }
}

TEST_F(MoveSafetyTest, EveryKindOfMoveRefusesToStartOnARefusedOrUnconfirmedStroke) {
  script({});
  struct Op {
    const char* name;
    std::function<void()> run;
  };
  const Op ops[] = {
      {"single", [this] { window->Button22Click(); }},
      {"forward", [this] { click("Button40"); }},
      {"cyclic", [this] { click("Button35"); }},
      {"centring", [this] { window->run_half(); }},
      {"resonance detection", [this] { window->Button13Click(); }},
      {"end-vibration detection", [this] { window->Button17Click(); }},
      {"response test", [this] { click("Button18"); }},
      {"system vibration", [this] { click("Button49"); }},
      {"speed search", [this] { click("Button28"); }},
      {"inertia estimation", [this] { click("Button24"); }},
      {"self-learning", [this] { click("Button33"); }},
  };
  const sim::Fault::Kind kinds[] = {sim::Fault::Silent, sim::Fault::Exception, sim::Fault::BadCrc};
  int k = 0;
  for (const Op& op : ops) {
    const sim::Fault::Kind kind = kinds[k++ % 3];
    SCOPED_TRACE(std::string(op.name) + " fault " + ::testing::PrintToString(int{kind}));
    // A new stroke the drive never confirms.
    enter("Edit8", k % 2 ? "2" : "1");
    rig.sim.clear_journal();
    rig.sim.inject(1, fault_of(kind, kStroke, 4, -1));
    const uint32_t before = rig.servo(1).position();
    op.run();
    rig.sim.clear_faults();
    EXPECT_EQ(starts_in(requests()), 0) << logs();
    EXPECT_NEAR(static_cast<int32_t>(rig.servo(1).position() - before), 0, 20);
    EXPECT_FALSE(window->sequence_running());
  }
  // A refused stroke ends the self-learning as a failure.
  EXPECT_EQ(last("Memo4"), QStringLiteral("节点1：自学习失败!!")) << logs();
}

TEST_F(MoveSafetyTest, ARefusedRaiseOfTheFrequencyEndsTheEstimationBeforeAnotherMove) {
  script({});
  // The centring move and the four runs at the start frequency; the next
  // 0x8002 write is the first raise.
  after_starts(5, [this] { rig.sim.inject(1, fault_of(sim::Fault::Exception, kRate, 2)); });
  click("Button24");
  const std::vector<Frame> after = since_press();
  EXPECT_FALSE(started_on_unconfirmed(after, kRate)) << logs();
  EXPECT_TRUE(memo("Memo4").contains(QStringLiteral("脉冲频率设置失败!!"))) << logs();
  EXPECT_TRUE(memo("Memo3").contains(QStringLiteral("节点1：终止负载惯量推定  "))) << logs();
  EXPECT_EQ(tstate().tuning_stage[0], 0);
}

TEST_F(MoveSafetyTest, ServoOffDuringASequenceGoesOutAtOnceAndNothingMovesAfterIt) {
  struct Case {
    const char* button;
    int after;      // move starts before the press
    bool vertical;  // the load is held by the internal steps
    const char* end_line;
  };
  const Case cases[] = {
      {"Button33", 3, false, "自学习中断!!"},
      {"Button28", 2, true, "速度环增益搜索中断!!"},
      {"Button35", 1, false, "循环运转中断!!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    sim::ServoMechanics::Script s;
    s.jitter_kv = 1;  // something to find at every level: the searches go on
    script(s);
    control<QComboBox>(form, "ComboBox7")->setCurrentIndex(c.vertical ? 1 : 0);
    edit("Edit31")->setText(QStringLiteral("20"));
    rig.sim.clear_journal();
    bool usable = false;
    after_starts(c.after, [this, &usable] {
      usable = control<QPushButton>(form, "Button20")->isEnabled();
      click("Button20");
    });
    click(c.button);
    EXPECT_TRUE(usable);
    const std::vector<Frame> after = since_press();
    // Right after the exchange in flight: among the first two requests.
    const auto off = std::find(after.begin(), after.end(), testing::write(1, kServo, 0));
    ASSERT_NE(off, after.end()) << logs();
    EXPECT_LE(off - after.begin(), 1);
    const std::vector<Frame> rest(off + 1, after.end());
    EXPECT_EQ(starts_in(rest), 0) << logs();
    for (int reg : {kMode, kStroke, kRate, kArm})
      EXPECT_TRUE(std::none_of(rest.begin(), rest.end(), [reg](const Frame& f) { return is_write(f, reg); })) << reg;
    EXPECT_TRUE(memo("Memo3").contains(QStringLiteral("节点1：SERVO_OFF")));
    EXPECT_TRUE(memo("Memo4").contains(QString::fromUtf8(c.end_line))) << logs();
    EXPECT_EQ(tstate().servo_on_state, 0);
    EXPECT_FALSE(window->sequence_running());
    // The next start by the user runs again.
    rig.sim.clear_journal();
    window->Button22Click();
    EXPECT_EQ(starts_in(requests()), 1) << logs();
  }
  // Stopped during the system vibration stage, which claims no finish.
  EXPECT_FALSE(memo("Memo3").contains(QStringLiteral("系统振动自学习完成")));
  EXPECT_TRUE(memo("Memo4").contains(QStringLiteral("系统振动自学习中断!!")));
}

TEST_F(MoveSafetyTest, EverySearchStopsAtItsNextIterationAndSaysSo) {
  struct Case {
    const char* search;
    const char* stop;
    const char* stopped_line;
    const char* done_line;
  };
  const Case cases[] = {
      {"Button49", "Button30", "系统振动自学习中断!!", "系统振动自学习完成"},
      {"Button47", "Button38", "机械共振自学习中断!!", "机械共振自学习完成"},
      {"Button37", "Button30", "末端振动自学习中断!!", "末端振动自学习完成"},
  };
  script({});  // nothing is ever found: each would run every iteration
  for (const Case& c : cases) {
    SCOPED_TRACE(c.search);
    click("Button3");
    rig.sim.clear_journal();
    bool stops_usable = false;
    after_starts(3, [this, &c, &stops_usable] {
      stops_usable = control<QPushButton>(form, "Button30")->isEnabled() &&
                     control<QPushButton>(form, "Button38")->isEnabled();
      click(c.stop);
    });
    click(c.search);
    EXPECT_TRUE(stops_usable);
    // The detection under way ends, and the axis is centred once.
    EXPECT_LE(starts_in(since_press()), 2) << logs();
    EXPECT_TRUE(memo("Memo4").contains(QString::fromUtf8(c.stopped_line))) << logs();
    EXPECT_FALSE(memo("Memo3").contains(QString::fromUtf8(c.done_line)));
    EXPECT_FALSE(control<QPushButton>(form, "Button30")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(form, "Button38")->isEnabled());
    EXPECT_TRUE(control<QPushButton>(form, c.search)->isEnabled());
  }
}

TEST_F(MoveSafetyTest, NothingTheSequenceReadsCanBePickedWhileItRuns) {
  const char* const read_by_it[] = {"ComboBox2",     "ComboBox4",     "ComboBox5",    "ComboBox6",    "ComboBox7",
                                    "RadioButton13", "RadioButton14", "RadioButton1", "RadioButton4", "RadioButton5",
                                    "RadioButton6",  "Edit8",         "Edit67",       "Edit68",       "Edit35",
                                    "Edit39",        "Edit40",        "Edit41",       "Edit42",       "Edit31",
                                    "Button18",      "Button33"};
  const char* const always[] = {"Button1", "Button20", "Button48"};
  edit("Edit31")->setText(QStringLiteral("3"));
  auto* nodes = control<QComboBox>(form, "ComboBox2");
  const QString shown = nodes->currentText();
  std::vector<std::string> usable_while_running, locked_while_running;
  after_starts(1, [&] {
    for (const char* name : read_by_it)
      if (form->findChild<QWidget*>(QString::fromLatin1(name))->isEnabled()) usable_while_running.emplace_back(name);
    for (const char* name : always)
      if (!form->findChild<QWidget*>(QString::fromLatin1(name))->isEnabled()) locked_while_running.emplace_back(name);
    // The engineer tries to pick station 2.
    QTest::mouseClick(nodes, Qt::LeftButton);
    QTest::keyClick(nodes, Qt::Key_Down);
    QTest::keyClick(nodes, Qt::Key_Return);
  });
  click("Button35");
  EXPECT_TRUE(usable_while_running.empty()) << ::testing::PrintToString(usable_while_running);
  EXPECT_TRUE(locked_while_running.empty()) << ::testing::PrintToString(locked_while_running);
  EXPECT_EQ(nodes->currentText(), shown);
  for (const Frame& f : testing::frames_of(rig.sim)) EXPECT_EQ(f.station, 1);
  // Afterwards everything is usable again.
  for (const char* name : read_by_it)
    EXPECT_TRUE(form->findChild<QWidget*>(QString::fromLatin1(name))->isEnabled()) << name;
}

// The recording trigger and SERVO_ON a move waits for.
constexpr int kRecord = 0x8003;

void MoveSafetyTest::with_recording_refused(const std::function<void()>& op) {
  click("Button3");
  rig.sim.clear_journal();
  rig.sim.inject(1, fault_of(sim::Fault::Exception, kRecord));
  op();
  rig.sim.clear_faults();
}

bool is_capture(const Frame& f) { return f.function == 3 && f.start >= 0x9000; }

int count_in(const std::vector<Frame>& frames, bool (*pred)(const Frame&)) {
  return static_cast<int>(std::count_if(frames.begin(), frames.end(), pred));
}

// True when a start follows the first recording trigger before test mode is
// armed again: a move on the trigger the fault spoiled.
bool started_on_first_trigger(const std::vector<Frame>& frames) {
  bool after = false;
  for (const Frame& f : frames) {
    if (f.function != 6) continue;
    if (f.start == kRecord && !after) {
      after = true;
    } else if (after && f.start == kArm) {
      return false;
    } else if (after && is_start(f)) {
      return true;
    }
  }
  return false;
}

TEST_F(MoveSafetyTest, ARecordingFromTheStartRefusedStartsNoMove) {
  struct Op {
    const char* name;
    std::function<void()> run;
    const char* outcome;  // its line on a test without a recording
  };
  const Op ops[] = {
      {"resonance detection, first pass", [this] { tstate().resonance_pass = 0; window->Button13Click(); },
       "通信失败!!"},
      {"response test", [this] { click("Button18"); }, "位置响应测试失败"},
      {"inertia estimation", [this] { click("Button24"); }, "终止负载惯量推定"},
  };
  script({});
  for (const Op& op : ops) {
    SCOPED_TRACE(op.name);
    with_recording_refused(op.run);
    EXPECT_GE(count_in(requests(), [](const Frame& f) { return is_write(f, kRecord); }), 1);
    EXPECT_FALSE(started_on_first_trigger(requests())) << logs();
    EXPECT_EQ(count_in(requests(), is_capture), 0);
    EXPECT_TRUE(memo("Memo4").contains(QStringLiteral("位置数据采集触发失败!!"))) << logs();
    EXPECT_TRUE(QString::fromStdString(logs()).contains(QString::fromUtf8(op.outcome))) << logs();
    EXPECT_FALSE(window->sequence_running());
  }
}

TEST_F(MoveSafetyTest, ALaterRecordingRefusedEndsItsTestWithNoFurtherMove) {
  struct Case {
    const char* name;
    std::function<void()> run;
    const char* failure;  // the detection's own failure line
  };
  const Case cases[] = {
      {"end vibration", [this] { window->Button17Click(); }, "停止振动频率检测失败"},
      {"resonance, second pass", [this] { tstate().resonance_pass = 1; window->Button13Click(); }, "通信失败!!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    with_recording_refused(c.run);
    // The one move that was under way, no capture of a recording never made.
    EXPECT_EQ(starts_in(requests()), 1) << logs();
    EXPECT_EQ(count_in(requests(), is_capture), 0);
    EXPECT_TRUE(memo("Memo4").contains(QStringLiteral("位置数据采集触发失败!!"))) << logs();
    EXPECT_TRUE(memo("Memo4").contains(QString::fromUtf8(c.failure))) << logs();
    // The move under way is stopped, then the servo is left off as after a
    // recorded move.
    const auto sent = requests();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[sent.size() - 2], testing::write(1, 0x8000, 0));
    EXPECT_EQ(sent.back(), testing::write(1, kServo, 0));
    EXPECT_EQ(tstate().servo_on_state, 0);
  }
}

TEST_F(MoveSafetyTest, AnUnansweredServoOnEndsTheMoveAndItsSequenceAsFailed) {
  struct Case {
    const char* button;
    sim::Fault::Kind kind;
    const char* failure;    // the move's own failure line
    const char* not_shown;  // what a move that ran would have logged
  };
  const Case cases[] = {
      {"Button40", sim::Fault::Silent, "正转控制失败!!", "正转中..."},
      {"Button41", sim::Fault::Exception, "反转控制失败!!", "反转完成"},
      {"Button35", sim::Fault::Silent, "循环运转中断!!", "正转中..."},
      {"Button18", sim::Fault::Silent, "位置响应测试失败", "响应时间达到目标值"},
      {"Button18", sim::Fault::Exception, "位置响应测试失败", "响应时间达到目标值"},
  };
  script({});
  edit("Edit31")->setText(QStringLiteral("3"));
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.button) + " fault " + ::testing::PrintToString(int{c.kind}));
    window->Button20Click();
    ASSERT_EQ(tstate().servo_on_state, 0);
    click("Button3");
    rig.sim.clear_journal();
    rig.sim.inject(1, fault_of(c.kind, kServo, 2));
    click(c.button);
    rig.sim.clear_faults();
    ASSERT_EQ(requests().front(), testing::write(1, kServo, 1));
    // Neither armed nor started, nor set up for a move that will not come.
    EXPECT_EQ(starts_in(requests()), 0) << logs();
    EXPECT_EQ(count_in(requests(), [](const Frame& f) { return is_write(f, kArm); }), 0);
    EXPECT_EQ(count_in(requests(), [](const Frame& f) { return is_write(f, kStroke); }), 0);
    EXPECT_TRUE(memo("Memo4").contains(QStringLiteral("SERVO_ON控制失败!!"))) << logs();
    EXPECT_TRUE(memo("Memo4").contains(QString::fromUtf8(c.failure))) << logs();
    EXPECT_FALSE(memo("Memo3").contains(QString::fromUtf8(c.not_shown))) << logs();
    EXPECT_FALSE(window->sequence_running());
  }
  // The refusal belonged to those runs: the next one asks again and moves.
  window->Button20Click();
  rig.sim.clear_journal();
  click("Button40");
  EXPECT_EQ(requests().front(), testing::write(1, kServo, 1));
  EXPECT_EQ(starts_in(requests()), 1) << logs();
  EXPECT_TRUE(memo("Memo3").contains(QStringLiteral("正转完成"))) << logs();
}

TEST_F(MoveSafetyTest, AStopWhileARecordedMoveIsArmedIsAStopAndNoFailure) {
  script({});
  click("Button3");
  // Test mode's reply comes late enough for the stop to fall inside its wait.
  sim::Fault slow = fault_of(sim::Fault::Late, kArm);
  slow.delay_ms = 50;
  rig.sim.inject(1, slow);
  auto* poll = new ClockTimer(form);
  QObject::connect(poll, &ClockTimer::timeout, form, [this, poll] {
    const std::vector<Frame> now = requests();
    if (now.empty() || !is_write(now.back(), kArm)) return;
    poll->stop();
    at_press = now.size();
    click("Button48");
  });
  poll->start(1);
  // The first pass records from the start: its trigger would follow test mode.
  tstate().resonance_pass = 0;
  window->Button13Click();
  rig.sim.clear_faults();
  ASSERT_GT(at_press, 0u) << logs();
  for (const Frame& f : since_press()) {
    EXPECT_FALSE(is_write(f, kRecord)) << f;
    EXPECT_FALSE(is_start(f)) << f;
  }
  EXPECT_TRUE(memo("Memo4").contains(QStringLiteral("共振频率检测中断"))) << logs();
  EXPECT_FALSE(memo("Memo4").contains(QStringLiteral("运转失败"))) << logs();
  EXPECT_EQ(rig.st().comm_error, 0);
}

}  // namespace
}  // namespace velmo
