// The program's serial component and the simulated line on one virtual
// timeline: paced wire times, a reply split by a gap the reader waits out,
// and a wait that ends before a late reply, each at its exact instant.
#include <gtest/gtest.h>

#include <vector>

#include "link/modbus_crc.h"
#include "link/serial_port.h"
#include "link/virtual_clock.h"
#include "sim/sim_line.h"
#include "sim/stations.h"

namespace velmo {
namespace {

constexpr int64_t kMs = 1'000'000;

struct Arrival {
  int64_t at_ns;         // when the GUI thread took it
  ReceivedChunk chunk;
};

class TimelineExchange : public ::testing::Test {
 protected:
  void SetUp() override {
    line.add(sim::make_servo(1));
    port.CommName = QString::fromStdString(line.port_path());
    port.BaudRate = 38400;
    port.ReadIntervalTimeout = 20;
    QObject::connect(&port, &SerialPort::receiveData,
                     [this](const ReceivedChunk& c) { arrivals.push_back({timeline.now_ns(), c}); });
    port.OpenPort();
  }
  void TearDown() override { port.ClosePort(); }

  // Sends a read of one register and returns the instant it went out.
  int64_t send_read() {
    uint8_t request[8] = {1, 3, 0, 0xB5, 0, 1, 0, 0};
    append_crc(request, 6);
    const int64_t sent = timeline.now_ns();
    port.SendBytes(request, 8);
    return sent;
  }
  // Waits on the timeline until n chunks came or the deadline.
  bool wait_chunks(size_t n, int64_t deadline) {
    return wait_on_timeline(timeline, deadline, [&] { return arrivals.size() >= n; });
  }
  // Wire time of bytes at 38400 bit/s, 11 bits a character.
  static int64_t wire(int bytes) { return int64_t{bytes} * 11 * 1'000'000'000 / 38400; }

  VirtualClock timeline;
  ClockScope scope{timeline};
  sim::SimLine line;
  SerialPort port;
  std::vector<Arrival> arrivals;
};

TEST_F(TimelineExchange, APacedReplyComesAfterBothWireTimesAndTheTurnaroundToTheNanosecond) {
  line.set_pace(38400, 1000);
  const int64_t sent = send_read();
  ASSERT_TRUE(wait_chunks(1, sent + 100 * kMs));
  const int64_t due = sent + wire(8) + 1000 * 1000 + wire(7);
  EXPECT_EQ(arrivals[0].chunk.bytes.size(), 7);
  EXPECT_EQ(arrivals[0].chunk.first_byte_ns, due);
  EXPECT_EQ(arrivals[0].at_ns, due) << "the wait ends on the reply, not later";
  const auto journal = line.journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[0].t_ns, sent);  // heard from its first byte
  EXPECT_EQ(journal[1].t_ns, due);
}

TEST_F(TimelineExchange, ASplitReplyIsTwoChunksEachEndedByTheReadersSilence) {
  sim::Fault split;
  split.kind = sim::Fault::Split;
  split.split_at = 3;
  split.delay_ms = 30;  // longer than the reader's 20 ms of silence
  line.inject(1, split);
  const int64_t sent = send_read();
  ASSERT_TRUE(wait_chunks(2, sent + 500 * kMs));
  ASSERT_EQ(arrivals.size(), 2u);
  EXPECT_EQ(arrivals[0].chunk.bytes.size(), 3);
  EXPECT_EQ(arrivals[0].chunk.first_byte_ns, sent);
  EXPECT_EQ(arrivals[0].at_ns, sent + 20 * kMs);
  EXPECT_EQ(arrivals[1].chunk.bytes.size(), 4);
  EXPECT_EQ(arrivals[1].chunk.first_byte_ns, sent + 30 * kMs);
  EXPECT_EQ(arrivals[1].at_ns, sent + 50 * kMs);
}

TEST_F(TimelineExchange, AWaitEndsAtItsDeadlineBeforeALateReplyWhichThenComesOnTime) {
  line.set_reply_delay_ms(150);
  const int64_t sent = send_read();
  EXPECT_FALSE(wait_chunks(1, sent + 100 * kMs));
  EXPECT_EQ(timeline.now_ns(), sent + 100 * kMs);
  EXPECT_TRUE(arrivals.empty());
  ASSERT_TRUE(wait_chunks(1, sent + 1000 * kMs));
  EXPECT_EQ(arrivals[0].chunk.first_byte_ns, sent + 150 * kMs);
  EXPECT_EQ(arrivals[0].at_ns, sent + 150 * kMs);
}

TEST_F(TimelineExchange, BytesLeftOnTheLineByAClosedPortNeverHoldTimeAndAReopenedPortTalksAgain) {
  line.set_reply_delay_ms(50);
  const int64_t sent = send_read();
  port.ClosePort();  // the reply will find nobody reading
  EXPECT_FALSE(wait_on_timeline(timeline, sent + 200 * kMs, [] { return false; }));
  EXPECT_EQ(timeline.now_ns(), sent + 200 * kMs);
  ASSERT_EQ(line.journal().size(), 2u) << "the late reply went out to the closed port";

  port.OpenPort();
  line.set_reply_delay_ms(0);
  const int64_t again = send_read();
  ASSERT_TRUE(wait_chunks(1, again + 100 * kMs));
  EXPECT_EQ(arrivals[0].chunk.bytes.size(), 7);
  EXPECT_EQ(arrivals[0].at_ns, again);
}

}  // namespace
}  // namespace velmo
