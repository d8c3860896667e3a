// The Modbus exchange over a real serial component on a pty: frames on the
// wire, the accepted-reply rule, strays, waiting, and refused nesting.
#include <QAbstractEventDispatcher>
#include <QStringList>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>

#include "drivelink/drive_link.h"
#include "link/modbus_crc.h"
#include "link/virtual_clock.h"
#include "sim/servo_registers.h"
#include "sim/sim_line.h"
#include "support/pty_peer.h"
#include "support/wait.h"

namespace velmo {
namespace {

using testing::Bytes;
using testing::with_crc;

// A drive at station 1 whose register 0x00AB holds 6101; every other reply is
// whatever the test sets with override_reply.
struct ExchangeFixture : ::testing::Test {
  using Script = std::function<Bytes(const Bytes&)>;
  // Set on the test's thread, run on the peer's.
  std::mutex script_mutex;
  Script script;  // guarded by script_mutex
  void override_reply(Script replacement) {
    std::lock_guard lock(script_mutex);
    script = std::move(replacement);
  }
  testing::ScriptedPeer peer{[this](const Bytes& req) {
    Script current;
    {
      std::lock_guard lock(script_mutex);
      current = script;
    }
    if (current) return current(req);
    if (req[1] == 0x03) return with_crc({req[0], 0x03, 0x02, 0x17, 0xD5});
    if (req[1] == 0x06) return req;  // echo
    return Bytes{};
  }};
  DriveLink link;
  QStringList main_log, editor_log;

  void SetUp() override {
    link.Comm1.CommName = QString::fromStdString(peer.path());
    link.Comm1.OpenPort();
    // The peer answers on wall time from its own thread: the bound leaves a
    // busy machine room to deliver a reply that is coming.
    link.st.comm_timeout_ms = 1000;
    link.set_traffic_log(1, [this](const QString& l) { main_log << l; });
    link.set_traffic_log(2, [this](const QString& l) { editor_log << l; });
  }
  void TearDown() override { link.Comm1.ClosePort(); }

  void read_version() {
    link.st.tx_buf[1] = 0x03;
    link.st.tx_buf[2] = 0x00;
    link.st.tx_buf[3] = 0xAB;
    link.st.tx_buf[4] = 0x00;
    link.st.tx_buf[5] = 0x01;
    link.st.tx_len = 6;
    ASSERT_TRUE(link.senddata(1));
  }
};

TEST_F(ExchangeFixture, RequestOnTheWireAndLoggedInTheActiveWindow) {
  link.st.active_form = 2;
  // The reply is in the state, flagged and judged, before its line is logged.
  std::vector<bool> decided_when_logged;
  link.set_traffic_log(2, [this, &decided_when_logged](const QString& l) {
    editor_log << l;
    decided_when_logged.push_back(link.st.reply_flag == 1 && link.accepted(0x03));
  });
  read_version();
  EXPECT_EQ(decided_when_logged, (std::vector<bool>{false, true}));
  ASSERT_EQ(peer.requests().size(), 1u);
  EXPECT_EQ(peer.requests()[0], (Bytes{0x01, 0x03, 0x00, 0xAB, 0x00, 0x01, 0xF5, 0xEA}));
  ASSERT_EQ(editor_log.size(), 2);
  EXPECT_EQ(editor_log[0], "01 03 00 AB 00 01 F5 EA **");
  EXPECT_EQ(editor_log[1], QString::fromStdString(hex_line(with_crc({1, 3, 2, 0x17, 0xD5}).data(), 7)));
  EXPECT_TRUE(link.accepted(0x03));
  EXPECT_EQ(link.reply_word(0), 6101);
  EXPECT_TRUE(main_log.isEmpty());

  // The fault tables log nothing, but the exchange works.
  editor_log.clear();
  link.st.active_form = 17;
  read_version();
  EXPECT_TRUE(link.accepted(0x03));
  EXPECT_TRUE(main_log.isEmpty());
  EXPECT_TRUE(editor_log.isEmpty());
}

// The outcome of every kind of exchange, against the simulated drive's own
// misbehaviours. Rows with a `lead` first send that request with a reply late
// beyond its timeout, so that reply arrives while the row's request waits.
struct OutcomeCase {
  const char* name;
  std::vector<sim::Fault> faults;  // for station 1, in order
  std::function<bool(DriveLink&)> lead;
  std::function<bool(DriveLink&)> request;
  ExchangeOutcome expected;
};

sim::Fault fault(sim::Fault::Kind kind, int delay_ms = 0) {
  sim::Fault f;
  f.kind = kind;
  f.delay_ms = delay_ms;
  return f;
}

bool read_speed_limit(DriveLink& l) { return l.read_registers(1, sim::servo_regs::kSpeedLimit, 1); }
bool write_speed_limit(DriveLink& l, int v) { return l.write_register(1, sim::servo_regs::kSpeedLimit, v); }

// The reply, not the deadline, ends the wait, on either event loop: Qt's own
// (the program's) delivers the reply and would then sleep on to the next
// timer unless woken; GLib's (a second registration of this case) ends its
// round with what it delivered.
TEST_F(ExchangeFixture, TheReplyEndsTheWaitLongBeforeTheDeadline) {
  // The second registration names the loop it means to run on.
  if (qEnvironmentVariable("VELMO_EXPECT_LOOP") == QLatin1String("glib"))
    ASSERT_TRUE(QAbstractEventDispatcher::instance()->inherits("QEventDispatcherGlib"));
  link.st.comm_timeout_ms = 10000;
  for (int k = 0; k < 3; ++k) {
    const auto start = std::chrono::steady_clock::now();
    read_version();
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(link.last_outcome().ok());
    EXPECT_LT(waited, std::chrono::seconds(5)) << "exchange " << k;
  }
}

// A reply the line carries in two parts 5 ms apart (as a USB adapter hands
// over a long one) while the GUI thread runs a long handler inside the wait
// (a repaint, another window's timer): one chunk, one accepted reply, no
// stray. The handler runs between the parts, or from before the first byte;
// it ends only once the second part is on the line, and lasts longer than
// the silence that ends a chunk. Also registered on GLib's loop.
TEST_F(ExchangeFixture, AReplyInPartsStaysWholeWhileTheWaitingThreadIsBusy) {
  link.st.active_form = 2;  // strays go to the main window's log
  link.Comm1.ReadIntervalTimeout = 20;
  link.Comm1.ApplyCommTimeouts();
  std::mutex m;
  std::condition_variable changed;
  bool busy = false, rest_sent = false;
  std::atomic<bool> first_sent{false}, busy_first{false};
  override_reply([&](const Bytes& r) {
    const Bytes reply = with_crc({r[0], 0x03, 0x02, 0x17, 0xD5});
    std::unique_lock lock(m);
    if (busy_first) changed.wait_for(lock, std::chrono::seconds(10), [&] { return busy; });
    peer.pty().write_bytes(reply.data(), 3);
    first_sent = true;
    changed.wait_for(lock, std::chrono::seconds(10), [&] { return busy; });
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    peer.pty().write_bytes(reply.data() + 3, reply.size() - 3);
    lock.lock();
    rest_sent = true;
    changed.notify_all();
    return Bytes{};
  });
  struct Case {
    const char* name;
    bool before_first_byte;
    int handler_ms;
  };
  for (const Case& c : {Case{"between the parts", false, 25}, Case{"between the parts", false, 40},
                        Case{"from before the first byte", true, 40}}) {
    SCOPED_TRACE(::testing::Message() << c.name << ", " << c.handler_ms << " ms");
    for (int k = 0; k < 10; ++k) {
      {
        std::lock_guard lock(m);
        busy = rest_sent = false;
      }
      first_sent = false;
      busy_first = c.before_first_byte;
      // The handler: once the first part was read off the line (or at once),
      // it holds the GUI thread for handler_ms and until the rest is sent.
      QTimer handler;
      handler.setTimerType(Qt::PreciseTimer);
      QObject::connect(&handler, &QTimer::timeout, [&] {
        if (!c.before_first_byte && !(first_sent && peer.pty().input_pending() == 0)) return;
        handler.stop();
        const auto start = std::chrono::steady_clock::now();
        std::unique_lock lock(m);
        busy = true;
        changed.notify_all();
        changed.wait_for(lock, std::chrono::seconds(10), [&] { return rest_sent; });
        lock.unlock();
        while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(c.handler_ms)) {
        }
      });
      handler.start(c.before_first_byte ? 0 : 1);
      read_version();
      EXPECT_TRUE(link.last_outcome().ok()) << "exchange " << k << ": " << outcome_text(link.last_outcome()).toStdString();
    }
  }
  EXPECT_TRUE(main_log.isEmpty()) << main_log.join('|').toStdString();
}

TEST(ExchangeOutcomes, OneRowPerKind) {
  using O = ExchangeOutcome;
  using F = sim::Fault;
  const F late = fault(F::Late, 600), lost = fault(F::Silent);
  F exception = fault(F::Exception);
  exception.exception_code = 2;
  const OutcomeCase cases[] = {
      {"accepted", {}, nullptr, read_speed_limit, {O::Accepted}},
      {"no reply", {lost}, nullptr, read_speed_limit, {O::NoReply}},
      {"bad crc", {fault(F::BadCrc)}, nullptr, read_speed_limit, {O::BadCrc}},
      {"short", {fault(F::Short)}, nullptr, read_speed_limit, {O::BadCrc}},
      {"split beyond the gap", {fault(F::Split, 200)}, nullptr, read_speed_limit, {O::BadCrc}},
      {"wrong station", {fault(F::WrongAddress)}, nullptr, read_speed_limit, {O::WrongStation}},
      {"exception", {exception}, nullptr, read_speed_limit, {O::Exception, 2}},
      {"late read during a write", {late, lost}, read_speed_limit, [](DriveLink& l) { return write_speed_limit(l, 7); },
       {O::WrongFunction}},
      {"late one-register read during a two-register read", {late, lost}, read_speed_limit,
       [](DriveLink& l) { return l.read_registers(1, sim::servo_regs::kSpeedLimit, 2); }, {O::WrongLength}},
      // Write A's echo arrives while write B waits: B is not confirmed.
      {"late echo of another write", {late, lost}, [](DriveLink& l) { return write_speed_limit(l, 1500); },
       [](DriveLink& l) { return write_speed_limit(l, 1600); }, {O::EchoMismatch}},
      {"late echo of another block write", {late, lost},
       [](DriveLink& l) { return l.write_registers(1, sim::servo_regs::kSpeedSet, {10, 20}); },
       [](DriveLink& l) { return l.write_registers(1, sim::servo_regs::kSpeedSet, {10}); }, {O::EchoMismatch}},
      {"invalid station", {}, nullptr, [](DriveLink& l) { return l.read_registers(0, sim::servo_regs::kSpeedLimit, 1); },
       {O::InvalidStation}},
  };
  // The simulated drive is in-process: the rows run on one virtual timeline,
  // so late and split replies keep their timing at any machine load.
  VirtualClock timeline;
  ClockScope scope(timeline);
  sim::SimLine line;
  line.add(sim::make_servo(1));
  DriveLink link;
  link.Comm1.CommName = QString::fromStdString(line.port_path());
  link.Comm1.OpenPort();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    link.st.comm_timeout_ms = 250;
    ASSERT_TRUE(read_speed_limit(link));  // leaves crc_ok at 1: each row must set it
    for (const auto& f : c.faults) line.inject(1, f);
    if (c.lead) {
      link.st.comm_timeout_ms = 100;
      ASSERT_FALSE(c.lead(link));
      link.st.comm_timeout_ms = 3000;
    }
    const bool ok = c.request(link);
    EXPECT_EQ(outcome_text(link.last_outcome()).toStdString(), outcome_text(c.expected).toStdString());
    EXPECT_EQ(ok, c.expected.ok());
    // The flags the windows test are filled as before.
    if (c.expected.kind != O::InvalidStation) {
      EXPECT_EQ(link.st.reply_flag, c.expected.kind == O::NoReply ? 0 : 1);
      if (link.st.reply_flag) {
        EXPECT_EQ(link.st.crc_ok, c.expected.kind == O::BadCrc ? 0u : 1u);
      }
    }
    line.clear_faults();
    // Let the rest of a split reply go by before the next row.
    testing::wait_for([] { return false; }, 300);
  }
  // The exception reply passes where a caller accepts it; the texts differ by kind.
  // (The rows' unanswered reads are left behind first: an exception reply
  // could still be one of theirs.)
  testing::pass_time(3000);
  line.inject(1, exception);
  EXPECT_FALSE(read_speed_limit(link));
  EXPECT_TRUE(link.accepted(0x83));
  EXPECT_EQ(outcome_text(link.last_outcome()).toStdString(), "异常应答（代码 02）");
  // A drive that took write A never reads as having taken B.
  EXPECT_EQ(line.station(1)->reg(sim::servo_regs::kSpeedLimit), 1500);
  link.Comm1.ClosePort();
}

TEST_F(ExchangeFixture, LateReplyGoesToTheMainLogAndIsNotTakenByTheNextRequest) {
  link.st.active_form = 2;
  int calls = 0;
  override_reply([&](const Bytes& r) {
    // The first answer comes long after the timeout, with another value.
    if (calls++ == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    return with_crc({r[0], 3, 2, 0x00, static_cast<uint8_t>(calls)});
  });
  link.st.comm_timeout_ms = 250;
  read_version();
  EXPECT_EQ(link.st.reply_flag, 0);
  EXPECT_FALSE(link.accepted(0x03));
  ASSERT_TRUE(testing::wait_for([&] { return !main_log.isEmpty(); }));
  EXPECT_EQ(link.st.reply_flag, 1);  // a stray still raises the flag
  EXPECT_EQ(editor_log.size(), 1);   // only the request went to the editor

  link.st.comm_timeout_ms = 1000;
  read_version();
  ASSERT_TRUE(link.accepted(0x03));
  EXPECT_EQ(link.reply_word(0), 2);
}

TEST_F(ExchangeFixture, ChunkThatBeganBeforeTheRequestIsAStray) {
  link.st.active_form = 2;
  peer.reply_delay_ms = 200;
  // A chunk whose first byte was read just before the request went out comes
  // in while the exchange waits: it is logged in the main window only.
  QTimer::singleShot(0, [&] {
    ReceivedChunk junk;
    junk.bytes = QByteArray::fromHex("0103020001");
    junk.first_byte_ns = link.last_send_ns() - 1;
    link.Comm1ReceiveData(junk);
  });
  read_version();
  EXPECT_TRUE(link.accepted(0x03));
  ASSERT_EQ(main_log.size(), 1) << main_log.join('|').toStdString();
  EXPECT_EQ(main_log[0], "01 03 02 00 01 ");
  EXPECT_EQ(link.reply_word(0), 6101);
  EXPECT_EQ(editor_log.size(), 2);
}

TEST_F(ExchangeFixture, NestedExchangeIsRefusedAndTheOuterOneCompletes) {
  peer.reply_delay_ms = 1000;
  link.st.comm_timeout_ms = 5000;
  bool inner_result = true;
  QTimer::singleShot(20, [&] {
    inner_result = link.write_register(1, 0x1004, 1);
  });
  read_version();
  EXPECT_FALSE(inner_result);
  EXPECT_EQ(link.st.refused_count, 1u);
  EXPECT_TRUE(link.accepted(0x03));
  EXPECT_EQ(link.reply_word(0), 6101);
  EXPECT_EQ(peer.requests().size(), 1u);
}

TEST_F(ExchangeFixture, AnIdleStepWaitsForTheExchangeInFlightAndGoesBeforeTheNextRequestOrWait) {
  peer.reply_delay_ms = 1000;
  link.st.comm_timeout_ms = 5000;
  std::vector<int> steps;
  auto step = [&](int reg) {
    return [&, reg] {
      steps.push_back(reg);
      link.write_register(1, static_cast<uint16_t>(reg), 0);
    };
  };
  // Given while the read waits: the read's reply stays the read's.
  QTimer::singleShot(20, [&] { link.when_idle(step(0x1020)); });
  read_version();
  EXPECT_TRUE(steps.empty());
  EXPECT_EQ(link.reply_word(0), 6101);
  peer.reply_delay_ms = 0;
  // The next request goes out as it was built, after the step.
  EXPECT_TRUE(link.write_register(1, 0x8000, 1));
  EXPECT_EQ(steps, std::vector<int>{0x1020});
  std::vector<int> written;
  for (const Bytes& r : peer.requests())
    if (r[1] == 0x06) written.push_back((r[2] << 8 | r[3]) * 10 + r[5]);
  EXPECT_EQ(written, (std::vector<int>{0x1020 * 10, 0x8000 * 10 + 1}));

  // A wait takes it too; given while idle, it runs at once.
  peer.reply_delay_ms = 1000;
  QTimer::singleShot(20, [&] { link.when_idle(step(0x1021)); });
  read_version();
  peer.reply_delay_ms = 0;
  link.delay(0);
  link.when_idle(step(0x1022));
  EXPECT_EQ(steps, (std::vector<int>{0x1020, 0x1021, 0x1022}));
}

TEST_F(ExchangeFixture, CommandSendWritesTwosComplementRefusesWhatCannotBeSentAndReportsFailure) {
  link.st.cmd_reg = 0x1005;
  link.st.cmd_value = static_cast<uint32_t>(-1000) & 0xFFFF;
  link.command_send(1);
  EXPECT_EQ(link.st.cmd_fail, 0);
  EXPECT_EQ(peer.requests().back(), with_crc({1, 6, 0x10, 0x05, 0xFC, 0x18}));

  ASSERT_TRUE(link.write_register(1, 0x1005, -2));
  EXPECT_EQ(peer.requests().back(), with_crc({1, 6, 0x10, 0x05, 0xFF, 0xFE}));
  // A value no register can hold, and the broadcast address, are never sent.
  const size_t sent = peer.requests().size();
  EXPECT_FALSE(link.write_register(1, 0x1005, 70000));
  EXPECT_FALSE(link.write_register(0, 0x1004, 1));
  EXPECT_FALSE(link.read_registers(248, 0x00AB, 1));
  EXPECT_EQ(peer.requests().size(), sent);

  override_reply([](const Bytes&) { return Bytes{}; });
  link.command_send(1);
  EXPECT_EQ(link.st.cmd_fail, 1);
}

TEST_F(ExchangeFixture, VerifyModeSetsFailureFlags) {
  link.st.verify_replies = 1;
  override_reply([](const Bytes& r) { return with_crc({r[0], 0x83, 0x02}); });
  read_version();
  EXPECT_EQ(link.st.cmd_fail, 1);
  EXPECT_EQ(link.st.comm_error, 1);
  override_reply(nullptr);
  read_version();
  EXPECT_EQ(link.st.cmd_fail, 0);
  EXPECT_EQ(link.st.comm_error, 1);  // only the tuning window clears it
}

double process_cpu_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

TEST(Delay, KeepsTimersRunningEndsOnAbortAndZeroRunsPendingEvents) {
  DriveLink link;
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (++ticks == 5) link.st.abort_wait = 1;
  });
  timer.start(10);
  const double cpu = process_cpu_seconds();
  link.delay(60000);  // ends early on abort_wait, not after a minute
  EXPECT_EQ(ticks, 5);
  EXPECT_LT(process_cpu_seconds() - cpu, 2.0);
  // A zero delay still runs what is pending.
  link.st.abort_wait = 0;
  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  link.delay(0);
  EXPECT_TRUE(ran);
}

TEST(ReceiveHandler, LongestChunkStaysInsideTheReplyBuffer) {
  DriveLink link;
  QStringList main_log;
  link.set_traffic_log(1, [&](const QString& l) { main_log << l; });
  ReceivedChunk chunk;
  chunk.bytes = QByteArray(2048, '\x5A');
  link.Comm1ReceiveData(chunk);
  EXPECT_EQ(link.st.rx_len, link.st.rx_buf.size());
  EXPECT_EQ(link.st.rx_count, 2048);
  EXPECT_EQ(link.st.reply_flag, 1);
  EXPECT_EQ(link.st.crc_ok, 0u);  // not tested while no request is out
  ASSERT_EQ(main_log.size(), 1);
  EXPECT_EQ(main_log[0].size(), 2048 * 3);
}

}  // namespace
}  // namespace velmo
