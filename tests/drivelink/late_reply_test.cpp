// A reply that comes after its exchange gave up, on a line paced like a real
// 38400 bit/s one: never taken as another exchange's reply. A request whose
// reply would look the same waits for it (a stray then) or for its guard; any
// other request goes at once; a reply that could answer either fails.
#include <QStringList>
#include <gtest/gtest.h>

#include "drivelink/drive_link.h"
#include "link/clock_timer.h"
#include "link/virtual_clock.h"
#include "sim/servo_registers.h"
#include "sim/sim_line.h"
#include "sim/stations.h"
#include "support/wait.h"

namespace velmo {
namespace {

constexpr uint16_t kRegA = sim::servo_regs::kSpeedLimit, kRegB = sim::servo_regs::kSpeedSet;
constexpr int kTimeoutMs = 250;
constexpr int64_t kMs = 1'000'000;

struct LateReplyTest : ::testing::Test {
  VirtualClock timeline;
  ClockScope scope{timeline};
  sim::SimLine line;
  DriveLink link;
  QStringList main_log;

  void SetUp() override {
    line.add(sim::make_servo(1));
    line.set_pace(38400);
    line.station(1)->set_reg(kRegA, 1111);
    line.station(1)->set_reg(kRegB, 2222);
    link.Comm1.CommName = QString::fromStdString(line.port_path());
    link.Comm1.OpenPort();
    link.st.comm_timeout_ms = kTimeoutMs;
    // The exchanges log in another window: the main log shows strays only.
    link.st.active_form = 2;
    link.set_traffic_log(1, [this](const QString& l) { main_log << l; });
  }
  void TearDown() override { link.Comm1.ClosePort(); }

  // A's reply, kind delay_ms after A's request; then A is read and gives up.
  void read_a_failing(sim::Fault::Kind kind, int delay_ms) {
    sim::Fault f;
    f.kind = kind;
    f.delay_ms = delay_ms;
    f.reg = kRegA;
    line.inject(1, f);
    line.clear_journal();
    ASSERT_FALSE(link.read_registers(1, kRegA, 1));
    ASSERT_NE(link.last_outcome().kind, ExchangeOutcome::Accepted);
  }
  // Times of the journal's requests and replies, in order.
  std::vector<int64_t> times(bool requests) const {
    std::vector<int64_t> out;
    for (const sim::JournalEntry& e : line.journal())
      if (e.is_request == requests) out.push_back(e.t_ns);
    return out;
  }
};

TEST_F(LateReplyTest, AReadThatLooksTheSameWaitsForTheLateReplyAndGetsItsOwn) {
  for (int late_ms : {5, 40, 80}) {
    SCOPED_TRACE(late_ms);
    main_log.clear();
    read_a_failing(sim::Fault::Late, kTimeoutMs + late_ms);
    // B's reply has A's length: only the time could tell them apart.
    ASSERT_TRUE(link.read_registers(1, kRegB, 1));
    EXPECT_EQ(link.reply_word(0), 2222);
    // On the wire: A, A's late reply, then B and B's reply.
    std::vector<bool> order;
    for (const sim::JournalEntry& e : line.journal()) order.push_back(e.is_request);
    EXPECT_EQ(order, (std::vector<bool>{true, false, true, false}));
    // The late reply is a stray in the main log; A's value never reads as B's.
    EXPECT_EQ(main_log.size(), 1);
    EXPECT_TRUE(main_log.join('|').contains(QStringLiteral("04 57")));  // 1111
  }
}

TEST_F(LateReplyTest, ALateReplyThatNeverComesHoldsTheNextLookAlikeForItsTimeoutOnly) {
  read_a_failing(sim::Fault::Silent, 0);
  ASSERT_TRUE(link.read_registers(1, kRegB, 1));
  EXPECT_EQ(link.reply_word(0), 2222);
  const auto requests = times(true);
  ASSERT_EQ(requests.size(), 2u);
  // A's own wait, then the guard: the timeout again, and not much more.
  EXPECT_GE(requests[1] - requests[0], 2 * kTimeoutMs * kMs);
  EXPECT_LT(requests[1] - requests[0], (2 * kTimeoutMs + 20) * kMs);

  // Nothing timed out since: the next read goes on the wire's pace.
  line.clear_journal();
  ASSERT_TRUE(link.read_registers(1, kRegA, 1));
  ASSERT_TRUE(link.read_registers(1, kRegB, 1));
  const auto paced = times(true);
  ASSERT_EQ(paced.size(), 2u);
  EXPECT_LT(paced[1] - paced[0], 20 * kMs);
}

TEST_F(LateReplyTest, ARequestThatCannotBeAnsweredLikeTheLateOneGoesAtOnce) {
  read_a_failing(sim::Fault::Late, kTimeoutMs + 80);
  // A write (and a read of another length) cannot be answered by A's reply.
  ASSERT_TRUE(link.write_register(1, kRegB, 3333));
  ASSERT_TRUE(link.read_registers(1, kRegB, 2));
  EXPECT_EQ(link.reply_word(0), 3333);
  const auto requests = times(true), replies = times(false);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_LT(requests[1] - requests[0], (kTimeoutMs + 20) * kMs);
  // The late reply came while they were waiting or in between: a stray.
  testing::pass_time(200);
  EXPECT_EQ(main_log.size(), 1);
  EXPECT_EQ(line.station(1)->reg(kRegB), 3333);
}

TEST_F(LateReplyTest, AReplyThatCouldAnswerEitherFailsItsExchange) {
  // A's late answer is an exception, and an exception reply to a read has
  // one length whatever was asked: it fits the two-register read too.
  read_a_failing(sim::Fault::Exception, kTimeoutMs + 20);
  sim::Fault slow;
  slow.kind = sim::Fault::Late;
  slow.delay_ms = 100;
  line.inject(1, slow);
  EXPECT_FALSE(link.read_registers(1, kRegA, 2));
  EXPECT_EQ(link.last_outcome().kind, ExchangeOutcome::Ambiguous);
  EXPECT_FALSE(link.accepted(0x83));
  EXPECT_EQ(outcome_text(link.last_outcome()), QStringLiteral("应答可能属于前一请求"));
  // Its own reply comes later, a stray; the next look-alike read is its own.
  testing::pass_time(200);
  EXPECT_EQ(main_log.size(), 1);
  ASSERT_TRUE(link.read_registers(1, kRegA, 2));
  EXPECT_EQ(link.reply_word(0), 1111);
}

TEST_F(LateReplyTest, WhatRunsWhileARequestWaitsForALateReplyFindsTheLineBusyAndLeavesTheRequestAlone) {
  read_a_failing(sim::Fault::Silent, 0);
  // Halfway through B's wait for A's reply, a timer of another window tries
  // an exchange of its own on another station.
  bool fired = false, busy = false, nested = true;
  ClockTimer::singleShot(kTimeoutMs / 2, &link, [&] {
    fired = true;
    busy = link.st.sending != 0;
    nested = link.write_register(2, kRegA, 4444);
  });
  ASSERT_TRUE(link.read_registers(1, kRegB, 1));
  ASSERT_TRUE(fired);
  EXPECT_TRUE(busy);
  EXPECT_FALSE(nested);
  // B went out as its caller built it, and nothing else did.
  EXPECT_EQ(link.reply_word(0), 2222);
  EXPECT_EQ(times(true).size(), 2u);
  EXPECT_EQ(line.station(1)->reg(kRegA), 1111);
}

}  // namespace
}  // namespace velmo
