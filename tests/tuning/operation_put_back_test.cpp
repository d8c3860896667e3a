// An operation the engineer started and then stopped (a stop button,
// SERVO_OFF, 退出) or that failed: on the simulated servo's wire nothing moves
// after the stop, what it changed goes back to its values from the start,
// and the logs say so; a completed one says what it found and what the
// drive holds.
#include <QLabel>

#include <algorithm>
#include <climits>
#include <map>

#include "link/clock.h"
#include "search_rig.h"
#include "tuning/drive_snapshot.h"
#include "tuning/operation_outcome.h"
#include "tuning/search_tables.h"

namespace velmo {
namespace {

// What an operation may change on servo 1 (layout 1, first notch and
// suppressor group): the limits, the inertia ratio, rigidity, both gain sets,
// the notch and the suppressor.
constexpr uint16_t kHeld[] = {2, 3, 43, 44, 45, 46, 47, 50, 51, 52, 71, 72, 73, 91, 92};
const QString kPutBack = QStringLiteral("节点1：已将增益、刚性等级、陷波器、振动抑制器和限制值恢复为开始时的值");

class OperationPutBackTest : public SearchRigTest {
 protected:
  void SetUp() override {
    SearchRigTest::SetUp();
    // Limits of its own, so that a put-back to a default would show.
    rig.servo(1).set_reg(2, 3000);
    rig.servo(1).set_reg(3, 250);
  }
  std::map<uint16_t, uint16_t> held() {
    std::map<uint16_t, uint16_t> out;
    for (uint16_t r : kHeld) out[r] = reg(r);
    return out;
  }
  QString panel() { return control<QLabel>(form, "Panel1")->text(); }
  // Every write since the press is the put-back of one of `before`, SERVO_OFF,
  // or the stop of a move under way, which comes before any put-back.
  void expect_only_put_back(const std::vector<testing::Frame>& writes, const std::map<uint16_t, uint16_t>& before) {
    bool put_back_seen = false;
    for (const testing::Frame& f : writes) {
      const auto r = static_cast<uint16_t>(f.start);
      const bool put_back = before.count(r) && before.at(r) == f.values[0];
      const bool stop = f == testing::write(1, 0x8000, 0);
      EXPECT_TRUE(put_back || stop || f == testing::write(1, 0x1020, 0)) << f;
      EXPECT_FALSE(stop && put_back_seen) << "a move stopped after the put-back began";
      put_back_seen = put_back_seen || put_back;
    }
  }
};

TEST_F(OperationPutBackTest, AStopBelowTheResonanceMovesNothingAndPutsEverythingBack) {
  struct Case {
    const char* search;
    uint32_t start_level;
    uint32_t stop_level;  // the stop comes once a detection at this level has started
    const char* line;
  };
  // The axis resonates from level 9; the resonance search would end by
  // writing level 10, the speed search by writing its last level.
  const Case cases[] = {
      {"Button47", 6, 7, "机械共振频率搜索中断"},
      {"Button28", 6, 8, "速度环增益搜索中断"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.search);
    resonance_from(9, 450);
    start_at(c.start_level);
    const auto before = held();
    mark_logs();
    tuning::TuningState& ts = tstate();
    press_when([&ts, &c] { return ts.rigidity_level == c.stop_level; }, 1, "Button38");
    click(c.search);
    ASSERT_GT(moves_at_press, 0) << logs();
    const auto after = writes_after_press();
    EXPECT_EQ(starts_in(after), 0) << logs();
    expect_only_put_back(after, before);
    EXPECT_EQ(held(), before);
    EXPECT_TRUE(lines_since("Memo3").contains(kPutBack)) << logs();
    EXPECT_EQ(panel(), QStringLiteral("节点1：") + QString::fromUtf8(c.line));
    EXPECT_EQ(ts.rigidity_level, c.start_level);
    // The gains of the start leave the axis quiet.
    window->Button13Click();
    EXPECT_EQ(ts.resonance_found, 0) << logs();
    EXPECT_EQ(panel(), QStringLiteral("节点1：共振频率检测完成"));
  }
}

TEST_F(OperationPutBackTest, APutBackTheDriveRefusesLeavesTheGainsUnknownAndSaysWhich) {
  resonance_from(9, 450);
  start_at(6);
  const uint16_t kv = reg(kKv);
  sim::Fault refuse = testing::fault(sim::Fault::Exception, kKv, -1);
  refuse.function = 6;
  tuning::TuningState& ts = tstate();
  auto* poll = new ClockTimer(form);
  QObject::connect(poll, &ClockTimer::timeout, form, [&, this, poll] {
    if (ts.rigidity_level != 7 || moves() == 0) return;
    poll->stop();
    // The drive takes no more Kv from here on.
    rig.sim.inject(1, refuse);
    click("Button38");
  });
  mark_logs();
  poll->start(1);
  click("Button47");
  rig.sim.clear_faults();
  EXPECT_NE(reg(kKv), kv);
  EXPECT_EQ(lines_since("Memo4").back(), QStringLiteral("节点1：恢复开始时的值失败（第一组速度环增益），驱动器增益未知!!"))
      << logs();
  EXPECT_FALSE(lines_since("Memo3").contains(kPutBack));
  // The closing line does not claim a value the drive may not hold.
  EXPECT_TRUE(last("Memo3").contains(QStringLiteral("Kv 未知"))) << logs();
}

TEST_F(OperationPutBackTest, APutBackLostWithTheLineShowsWhatItLeftMarkedUntilTheDriveConfirmsIt) {
  // A notch at 450 Hz from level 5; the line goes once the detection set it.
  resonance_from(5, 450);
  start_at(6);
  std::map<std::string, QString> at_start;
  for (const char* name : {"Edit39", "Edit40", "Edit41", "Edit42", "Edit9", "Edit3"}) at_start[name] = edit(name)->text();
  mark_logs();
  act_when([this] { return tstate().notch_result == tuning::kNotchSet; }, 0,
           [this] { rig.sim.inject(1, testing::fault(sim::Fault::Silent, std::nullopt, -1)); });
  click("Button49");
  ASSERT_TRUE(lines_since("Memo4").join(QString()).contains(QStringLiteral("驱动器增益未知"))) << logs();
  rig.sim.clear_faults();
  // The drive kept what the detection wrote: the fields show that, marked.
  auto marked = [this](const char* name) { return edit(name)->property("unconfirmed").toBool(); };
  const std::pair<const char*, QString> held_now[] = {
      {"Edit40", QString::number(reg(kKp) / 10.0, 'f', 1)}, {"Edit41", QString::number(reg(kKv) / 10.0, 'f', 1)},
      {"Edit42", QString::number(reg(kTi) / 10.0, 'f', 1)}, {"Edit9", QString::number(reg(kNotch))},
      {"Edit3", QString::number(reg(kNotch + 1))}};
  for (const auto& [name, text] : held_now) {
    EXPECT_TRUE(edit(name)->text() == text && text != at_start[name] && marked(name)) << name;
    EXPECT_TRUE(edit(name)->toolTip().startsWith(QStringLiteral("驱动器未确认此值：写入没有得到有效应答"))) << name;
  }
  // Rigidity was shown, never written: its start value is the drive's.
  EXPECT_TRUE(edit("Edit39")->text() == at_start["Edit39"] && !marked("Edit39"));
  // An accepted read takes the mark off what it read, and only that.
  window->Button14Click();
  EXPECT_FALSE(marked("Edit40") || marked("Edit41") || marked("Edit42"));
  EXPECT_TRUE(marked("Edit9") && marked("Edit3"));
  window->notch_group_selected(0);
  EXPECT_FALSE(marked("Edit9") || marked("Edit3"));
}

TEST_F(OperationPutBackTest, AStoppedEstimationLeavesTheTrialSettingsAsTheEngineerLeftThem) {
  script({});
  start_at(10);
  // Three revolutions at 100 pulses a millisecond: about 4 s for 正转.
  stroke(3, 100);
  const QString target = edit("Edit64")->text();
  QString raised;
  act_when([this] { return std::ranges::count(rig.writes(1), 0x8003, &testing::Frame::start) >= 5; }, 0, [&] {
    raised = edit("Edit68")->text();
    click("Button38");
  });
  click("Button24");
  ASSERT_GT(raised.toInt(), 100) << logs();
  EXPECT_EQ(edit("Edit68")->text(), QStringLiteral("100"));
  EXPECT_EQ(edit("Edit64")->text(), target);
  // The next forward run goes out on them: 393 thousand pulses at 10.
  rig.sim.clear_journal();
  click("Button40");
  const auto writes = rig.writes(1);
  EXPECT_NE(std::find(writes.begin(), writes.end(), testing::write(1, 0x8002, 10)), writes.end()) << logs();
  EXPECT_NE(std::find(writes.begin(), writes.end(), testing::write(1, 0x8001, 393)), writes.end()) << logs();
  for (const testing::Frame& f : writes) EXPECT_FALSE(f.start == 0x8002 && f.values[0] != 10) << f;
}

TEST_F(OperationPutBackTest, AnOperationWhoseStartValuesCannotBeReadDoesNotStart) {
  script({});
  start_at(10);
  sim::Fault silent = testing::fault(sim::Fault::Silent, kRigidity);
  silent.function = 3;
  rig.sim.inject(1, silent);
  mark_logs();
  click("Button47");
  EXPECT_TRUE(rig.writes(1).empty());
  EXPECT_EQ(lines_since("Memo4"),
            QStringList{QStringLiteral("节点1：机械共振频率搜索失败：开始时的增益及滤波器参数读取失败，未执行!!")});
  EXPECT_TRUE(control<QPushButton>(form, "Button47")->isEnabled());
  EXPECT_FALSE(window->sequence_running());
}

TEST_F(OperationPutBackTest, AfterAUserServoOffOnlyThePutBackIsWrittenAndOnlyAfterIt) {
  struct Case {
    const char* what;
    int after_moves;
    const char* line;  // the stopped operation's line in Memo4
  };
  const Case cases[] = {
      {"Button28", 2, "节点1：速度环增益搜索中断!!"},
      {"Button33", 3, "节点1：自学习中断!!"},
      {"Button17", 1, "节点1：停止振动频率检测中断!!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::ServoMechanics::Script s;
    s.jitter_kv = 1;  // something to find at every level: the searches go on
    script(s);
    start_at(10);
    const auto before = held();
    mark_logs();
    press_when(nullptr, c.after_moves, "Button20");
    if (std::string(c.what) == "Button17") {
      window->Button17Click();
    } else {
      click(c.what);
    }
    const auto after = writes_after_press();
    ASSERT_FALSE(after.empty()) << logs();
    // SERVO_OFF first, then nothing but the put-back.
    EXPECT_EQ(after.front(), testing::write(1, 0x1020, 0));
    expect_only_put_back({after.begin() + 1, after.end()}, before);
    EXPECT_EQ(held(), before);
    EXPECT_TRUE(lines_since("Memo4").contains(QString::fromUtf8(c.line))) << logs();
    EXPECT_FALSE(lines_since("Memo4").join(QString()).contains(QStringLiteral("失败"))) << logs();
  }
  // Afterwards the engineer's own writes go out as usual.
  rig.sim.clear_journal();
  click("Button44");
  EXPECT_EQ(rig.writes(1).size(), 1u);
}

TEST_F(OperationPutBackTest, ServoOffPressedDuringTheExitStepsIsSent) {
  struct Case {
    const char* what;
    int after_moves;  // 退出 once this many moves started; -1: at rest
  };
  for (const Case c : {Case{"at rest", -1}, Case{"Button33", 2}}) {
    SCOPED_TRACE(c.what);
    if (!form->isVisible()) {
      rig.app.main_window().N12Click();
      use(1);
    }
    window->Button19Click();  // servo on
    rig.sim.clear_journal();
    // SERVO_OFF 600 ms after 退出.
    size_t at_off = SIZE_MAX;
    auto* later = new ClockTimer(form);
    later->setSingleShot(true);
    QObject::connect(later, &ClockTimer::timeout, form, [this, &at_off] {
      at_off = rig.writes(1).size();
      click("Button20");
    });
    if (c.after_moves < 0) {
      later->start(600);
      click("Button1");
    } else {
      sim::ServoMechanics::Script s;
      s.jitter_kv = 1;
      script(s);
      start_at(10);
      auto* poll = new ClockTimer(form);
      QObject::connect(poll, &ClockTimer::timeout, form, [this, poll, later, c] {
        if (moves() < c.after_moves) return;
        poll->stop();
        click("Button1");
        later->start(600);
      });
      poll->start(1);
      click(c.what);
    }
    ASSERT_TRUE(testing::wait_for([this] { return !form->isVisible(); }, 30000));
    const auto writes = rig.writes(1);
    ASSERT_LE(at_off, writes.size()) << "SERVO_OFF was not pressed during the exit";
    EXPECT_NE(std::find(writes.begin() + static_cast<long>(at_off), writes.end(), testing::write(1, 0x1020, 0)),
              writes.end());
    EXPECT_TRUE(testing::memo_lines(form, "Memo3").join(QString()).contains(QStringLiteral("节点1：SERVO_OFF")));
  }
}

TEST_F(OperationPutBackTest, ADetectionStoppedByExitSaysSoAndNotThatTheLineFailed) {
  struct Case {
    const char* what;
    int after_moves;  // the search's first move centres the axis
    const char* stopped;
    const char* failed;
  };
  const Case cases[] = {
      {"Button13", 1, "共振频率检测中断!!", "通信失败"},
      {"Button17", 1, "停止振动频率检测中断!!", "停止振动频率检测失败"},
      {"Button28", 2, "共振频率检测中断!!", "通信失败"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!form->isVisible()) {
      rig.app.main_window().N12Click();
      use(1);
    }
    script({});
    // Moves short enough to end within the exit's wait.
    stroke(1, 2000);
    start_at(10);
    click("Button3");
    press_when(nullptr, c.after_moves, "Button1");
    const std::string what = c.what;
    if (what == "Button13") window->Button13Click();
    if (what == "Button17") window->Button17Click();
    if (what == "Button28") click("Button28");
    ASSERT_TRUE(testing::wait_for([this] { return !form->isVisible(); }, 30000)) << logs();
    const QString failures = testing::memo_lines(form, "Memo4").join(QLatin1Char('\n'));
    EXPECT_TRUE(failures.contains(QString::fromUtf8(c.stopped))) << logs();
    EXPECT_FALSE(failures.contains(QString::fromUtf8(c.failed))) << logs();
    EXPECT_EQ(rig.st().comm_error, 0);
  }
}

TEST_F(OperationPutBackTest, AStrokeStillRunningWhenTheWindowIsLeftIsStopped) {
  script({});
  // Three revolutions at 10 pulses a millisecond: 39 s, far beyond the
  // detection's own waits.
  stroke(3, 10);
  start_at(10);
  // The speed search centres the axis first, with the servo on.
  press_when(nullptr, 1, "Button1");
  click("Button28");
  ASSERT_TRUE(testing::wait_for([this] { return !form->isVisible(); }, 30000)) << logs();
  const auto after = writes_after_press();
  EXPECT_NE(std::find(after.begin(), after.end(), testing::write(1, 0x8000, 0)), after.end()) << logs();
  EXPECT_EQ(starts_in(after), 0);
  // The drive holds no move over: opened again, the window's next move starts.
  rig.app.main_window().N12Click();
  use(1);
  stroke(1, 100);
  mark_logs();
  click("Button40");
  EXPECT_TRUE(lines_since("Memo3").contains(QStringLiteral("节点1：正转完成"))) << logs();
}

// A stop or 退出 during a gain search's test move on a long stroke: the move
// is stopped at once, before any gain goes back onto the axis.
TEST_F(OperationPutBackTest, AMoveUnderWayIsStoppedAtOnceAndBeforeTheGainsGoBack) {
  struct Case {
    const char* search;
    const char* press;
  };
  for (const Case c : {Case{"Button29", "Button30"}, Case{"Button28", "Button1"}}) {
    SCOPED_TRACE(c.press);
    if (!form->isVisible()) {
      rig.app.main_window().N12Click();
      use(1);
    }
    script({});
    start_at(10);
    const auto before = held();
    // Three revolutions at 10 pulses a millisecond: 39 s a stroke.
    stroke(3, 10);
    int64_t pressed_ms = -1;
    // The first move on gains the search has changed.
    act_when([&] { return reg(kKp) != before.at(kKp) || reg(kKv) != before.at(kKv); }, 1, [&] {
      pressed_ms = clock_ms();
      click(c.press);
    });
    click(c.search);
    ASSERT_TRUE(testing::wait_for([&] { return !window->operation_running(); }, 60000));
    ASSERT_GE(pressed_ms, 0) << logs();
    // Over (the exit's steps included) long before the stroke would have
    // ended by itself.
    EXPECT_LT(clock_ms() - pressed_ms, 5000);
    auto after = writes_after_press();
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), testing::write(1, 0x8000, 0)) << logs();
    EXPECT_EQ(starts_in(after), 0);
    // Up to the exit's own restore, where the window was left.
    after.erase(std::find(after.begin(), after.end(), testing::write(1, 0x0000, 9)), after.end());
    expect_only_put_back(after, before);
    EXPECT_TRUE(std::any_of(after.begin(), after.end(), [](const testing::Frame& f) { return f.start == kKp || f.start == kKv; }))
        << "no gain went back";
    EXPECT_EQ(held(), before);
  }
}

// 停止自学习 (Button30) during the end-vibration detection's long stroke stops
// the move at once; no recording is started after it.
TEST_F(OperationPutBackTest, AStopDuringTheEndVibrationStrokeStopsTheMoveAtOnceAndRecordsNothing) {
  script({});
  stroke(3, 10);
  start_at(10);
  int64_t pressed_ms = -1;
  act_when(nullptr, 1, [&] {
    pressed_ms = clock_ms();
    window->Button30Click();
  });
  window->Button17Click();
  ASSERT_GE(pressed_ms, 0) << logs();
  // Over long before the stroke would have ended by itself.
  EXPECT_LT(clock_ms() - pressed_ms, 5000);
  const auto after = writes_after_press();
  ASSERT_FALSE(after.empty());
  EXPECT_EQ(after.front(), testing::write(1, 0x8000, 0)) << logs();
  EXPECT_EQ(starts_in(after), 0);
  for (const testing::Frame& f : after) EXPECT_NE(f.start, 0x8003) << "a recording after the stop";
  for (const testing::Frame& f : testing::frames_of(rig.sim)) EXPECT_LT(f.start, 0x9000) << "a capture after the stop";
  EXPECT_TRUE(testing::memo_lines(form, "Memo4").join(QLatin1Char('\n')).contains(QStringLiteral("停止振动频率检测中断!!")))
      << logs();
}

TEST_F(OperationPutBackTest, TheTrialPagesStopEndsTheSelfLearningAndAnEstimation) {
  struct Case {
    const char* what;
    int after_moves;
    const char* line;
  };
  control<QComboBox>(form, "ComboBox6")->setCurrentIndex(1);  // with inertia estimation
  for (const Case c : {Case{"Button33", 4, "节点1：自学习中断!!"}, Case{"Button24", 3, "节点1：终止负载惯量推定"}}) {
    SCOPED_TRACE(c.what);
    script({});
    start_at(10);
    const auto before = held();
    mark_logs();
    bool usable = false;
    auto* poll = new ClockTimer(form);
    QObject::connect(poll, &ClockTimer::timeout, form, [&, this, poll] {
      if (moves() < c.after_moves) return;
      poll->stop();
      frames_at_press = rig.writes(1).size();
      usable = control<QPushButton>(form, "Button48")->isEnabled();
      click("Button48");
    });
    poll->start(1);
    click(c.what);
    EXPECT_TRUE(usable);
    EXPECT_EQ(starts_in(writes_after_press()), 0) << logs();
    EXPECT_EQ(held(), before);
    const QStringList lines = lines_since("Memo3") + lines_since("Memo4");
    EXPECT_TRUE(lines.contains(QString::fromUtf8(c.line))) << logs();
    for (uint8_t stage : tstate().tuning_stage) EXPECT_EQ(stage, 0);
    EXPECT_FALSE(window->sequence_running());
  }
}

TEST_F(OperationPutBackTest, TheEndLineNamesTheFrequencyFoundAndTheNotchTheDriveHolds) {
  resonance_from(7, 450);
  start_at(10);
  mark_logs();
  click("Button47");
  EXPECT_EQ(panel(), QStringLiteral("节点1：机械共振频率搜索完成"));
  const QString line = last("Memo3");
  const QString found = edit("Edit9")->text();
  EXPECT_EQ(found.toInt(), reg(kNotch));
  EXPECT_NEAR(found.toInt(), 450, 5);
  EXPECT_TRUE(line.startsWith(QStringLiteral("节点1：机械共振频率搜索完成：共振频率%1Hz；").arg(found))) << logs();
  EXPECT_TRUE(line.contains(QStringLiteral("陷波器第1组%1Hz").arg(reg(kNotch)))) << logs();
  EXPECT_TRUE(line.contains(QStringLiteral("刚性等级%1").arg(reg(kRigidity)))) << logs();
  // The search's own closing line stays beside it.
  EXPECT_TRUE(lines_since("Memo3").contains(QStringLiteral("节点1：机械共振自学习完成")));
}

// The registers an operation reads at its start, and what it puts back.
TEST(DriveSnapshot, ReadsEachLayoutsSettingsAndPutsBackOnlyWhatChanged) {
  using tuning::Held;
  struct Case {
    const tuning::TuningLayout& gains;
    const tuning::FilterLayout& filters;
    std::vector<std::pair<int, int>> blocks;  // first, count
  };
  // Layout 1: ratio 43, rigidity 44, sets at 45 and 50, notch 1 at 71..73,
  // suppressor 1 at 91..92; layout 2: 52, 53, sets at 55 and 60, notch 80..81,
  // suppressor 90..91; limits at 2 and 3 in both.
  const Case cases[] = {
      {tuning::kTuningLayout1, tuning::kFilterLayout1, {{2, 2}, {43, 10}, {71, 3}, {91, 2}}},
      {tuning::kTuningLayout2, tuning::kFilterLayout2, {{2, 2}, {52, 11}, {80, 2}, {90, 2}}},
  };
  for (const Case& c : cases) {
    tuning::DriveSnapshot d(tuning::held_registers(c.gains, c.filters, 0, 0));
    std::vector<std::pair<int, int>> blocks;
    for (const tuning::ReadBlock& b : d.blocks()) blocks.emplace_back(b.first, b.count);
    EXPECT_EQ(blocks, c.blocks);
  }
  tuning::DriveSnapshot d(tuning::held_registers(tuning::kTuningLayout1, tuning::kFilterLayout1, 2, 1));
  EXPECT_FALSE(d.complete());
  for (const tuning::ReadBlock& b : d.blocks())
    for (uint16_t k = 0; k < b.count; ++k) d.read(static_cast<uint16_t>(b.first + k), static_cast<uint16_t>(b.first + k));
  EXPECT_TRUE(d.complete());
  d.wrote(45, 45, true);   // the value it had
  d.wrote(46, 300, true);  // changed
  d.wrote(77, 450, false); // notch 3: unanswered
  d.wrote(200, 1, true);   // not a held setting
  EXPECT_EQ(d.now(Held::Kv), 300);
  EXPECT_EQ(d.now(Held::NotchFrequency), std::nullopt);
  const auto back = d.put_back();
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].reg, 46);
  EXPECT_EQ(back[0].value, 46);
  EXPECT_EQ(back[1].reg, 77);
  d.put_back_result(46, true);
  d.put_back_result(77, false);
  EXPECT_EQ(d.now(Held::Kv), 46);
  EXPECT_EQ(d.now(Held::NotchFrequency), std::nullopt);
  EXPECT_EQ(tuning::put_back_line({Held::NotchFrequency}), QStringLiteral("恢复开始时的值失败（陷波频率），驱动器增益未知"));
}

}  // namespace
}  // namespace velmo
