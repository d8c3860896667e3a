// The simulated line on the wire: framing, routing, exceptions, faults,
// journal, publishing and hang-up, checked with libmodbus and raw bytes.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "link/modbus_crc.h"
#include "support/modbus_master.h"
#include "sim/sim_line.h"
#include "support/wait.h"

using velmo::sim::Fault;
using velmo::sim::SimLine;
using velmo::testing::ModbusMaster;
using velmo::testing::wait_for;

namespace {

// How long libmodbus waits for an answer: a busy machine may delay the
// line's thread, so only a reply that is never coming should run into it.
constexpr int kAnswerBoundMs = 1000;

class LineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    line.add(velmo::sim::make_servo(1));
    line.add(velmo::sim::make_servo(2, 8005, 102));
    line.add(velmo::sim::make_inverter(3));
    line.add(velmo::sim::make_speed_controller(4));
    ASSERT_TRUE(master.ok());
  }
  // Replies in the journal, in order.
  std::vector<std::vector<uint8_t>> replies() const {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& e : line.journal()) {
      if (!e.is_request) out.push_back(e.bytes);
    }
    return out;
  }
  SimLine line;
  ModbusMaster master{line.port_path()};
};

// Opens the slave side raw, as the program's serial port would.
int open_raw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  termios tio{};
  tcgetattr(fd, &tio);
  cfmakeraw(&tio);
  tcsetattr(fd, TCSANOW, &tio);
  return fd;
}

std::vector<uint8_t> read_available(int fd, size_t want, int bound_ms = 2000) {
  std::vector<uint8_t> got;
  wait_for([&] {
    uint8_t buf[256];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) got.insert(got.end(), buf, buf + n);
    return got.size() >= want;
  }, bound_ms);
  return got;
}

}  // namespace

// Every family answers; block writes are stored (single writes and version
// words are read through the search and editor tests on this line).
TEST_F(LineTest, EveryFamilyAnswersAndBlockWritesAreStored) {
  for (uint8_t a = 1; a <= 4; ++a) EXPECT_TRUE(master.read(a, 0x0001).has_value()) << int(a);
  ASSERT_TRUE(master.write(3, 60, std::vector<uint16_t>{70, 80, 90}));
  EXPECT_EQ(master.read(3, 60, 3), (std::vector<uint16_t>{70, 80, 90}));
}

TEST_F(LineTest, ErrorsOnTheWire) {
  master.set_timeout_ms(kAnswerBoundMs);
  EXPECT_FALSE(master.read(9, 0x00AB));  // nobody at 9: silence
  EXPECT_EQ(master.error(), ETIMEDOUT);
  EXPECT_FALSE(master.read(1, 0x0FFF));  // no such register
  EXPECT_EQ(master.error(), EMBXILADD);
  EXPECT_FALSE(master.read(1, 0x02FF, 2));  // a range running past the defined ones
  EXPECT_EQ(master.error(), EMBXILADD);
  uint16_t v[1];
  modbus_set_slave(master.ctx(), 1);
  EXPECT_EQ(modbus_read_input_registers(master.ctx(), 0, 1, v), -1);  // function 04
  EXPECT_EQ(errno, EMBXILFUN);
  modbus_flush(master.ctx());
  EXPECT_FALSE(master.write(1, 0x00AB, 1));  // version words are read-only
  EXPECT_EQ(master.error(), EMBXSFAIL);
}

TEST_F(LineTest, RawBytesDamagedRequestIgnoredUnknownFunctionRefusedHangUpSeen) {
  const int fd = open_raw(line.port_path());
  ASSERT_GE(fd, 0);
  uint8_t bad[8] = {1, 3, 0, 0xAB, 0, 1, 0, 0};
  velmo::append_crc(bad, 6);
  bad[7] ^= 0xFF;
  ASSERT_EQ(::write(fd, bad, 8), 8);
  ASSERT_TRUE(wait_for([&] { return line.request_count() == 1; }));
  uint8_t good[8] = {1, 3, 0, 0xAB, 0, 1};
  velmo::append_crc(good, 6);
  ASSERT_EQ(::write(fd, good, 8), 8);
  // Only the good request gets its reply.
  const auto got = read_available(fd, 7);
  ASSERT_EQ(got.size(), 7u);
  EXPECT_EQ(got[4], 6101 & 0xFF);
  const auto journal = line.journal();
  ASSERT_EQ(journal.size(), 3u);
  EXPECT_TRUE(journal[0].is_request);
  EXPECT_TRUE(journal[1].is_request);
  EXPECT_FALSE(journal[2].is_request);
  EXPECT_EQ(journal[2].bytes, got);
  EXPECT_LE(journal[1].t_ns, journal[2].t_ns);

  // Garbage is framed by silence: a function whose length the line cannot tell gets exception 01.
  uint8_t frame[6] = {1, 0x2B, 0x0E, 0x01};
  velmo::append_crc(frame, 4);
  ASSERT_EQ(::write(fd, frame, 6), 6);
  const auto exception = read_available(fd, 5);
  ASSERT_EQ(exception.size(), 5u);
  EXPECT_EQ(exception[1], 0xAB);
  EXPECT_EQ(exception[2], 0x01);
  EXPECT_TRUE(velmo::frame_crc_ok(exception.data(), exception.size()));

  // A hang-up is seen by the reader.
  line.hang_up();
  pollfd p{fd, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 2000), 1);
  EXPECT_TRUE(p.revents & (POLLHUP | POLLERR));
  ::close(fd);
}

TEST_F(LineTest, JournalRecordsRequestAndReply) {
  line.clear_journal();
  ASSERT_TRUE(master.read(1, 0x00AB));
  const auto journal = line.journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[0].bytes, (std::vector<uint8_t>{0x01, 0x03, 0x00, 0xAB, 0x00, 0x01, 0xF5, 0xEA}));
  EXPECT_EQ(journal[1].bytes.size(), 7u);
  EXPECT_EQ(line.request_count(), 1u);
  EXPECT_EQ(line.requests(1).size(), 1u);
  EXPECT_TRUE(line.requests(2).empty());
}

struct FaultCase {
  const char* name;
  Fault fault;
  int expected_errno;  // 0: the read succeeds
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class FaultKinds : public LineTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultKinds, SeenByLibmodbus) {
  const FaultCase& c = GetParam();
  master.set_timeout_ms(kAnswerBoundMs);
  line.inject(1, c.fault);
  const auto value = master.read(1, 0x00AB);
  if (c.expected_errno == 0) {
    EXPECT_EQ(value, 6101);
  } else {
    EXPECT_FALSE(value);
    EXPECT_EQ(master.error(), c.expected_errno);
  }
  // A fault for one request only: the next one is normal again.
  master.set_timeout_ms(kAnswerBoundMs);
  EXPECT_TRUE(wait_for([&] { return master.read(1, 0x00AB) == 6101; }));
}

Fault make(Fault::Kind kind) {
  Fault f;
  f.kind = kind;
  return f;
}
Fault with_delay(Fault f, int ms) {
  f.delay_ms = ms;
  return f;
}
Fault with_code(Fault f, uint8_t code) {
  f.exception_code = code;
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Sim, FaultKinds,
    ::testing::Values(FaultCase{"silent", make(Fault::Silent), ETIMEDOUT},
                      FaultCase{"bad_crc", make(Fault::BadCrc), EMBBADCRC},
                      FaultCase{"wrong_address", make(Fault::WrongAddress), EMBBADSLAVE},
                      FaultCase{"exception4", make(Fault::Exception), EMBXSFAIL},
                      FaultCase{"exception2", with_code(make(Fault::Exception), 2), EMBXILADD},
                      FaultCase{"short", make(Fault::Short), ETIMEDOUT},
                      FaultCase{"late_beyond_timeout", with_delay(make(Fault::Late), 2 * kAnswerBoundMs), ETIMEDOUT},
                      FaultCase{"split_small_gap", with_delay(make(Fault::Split), 20), 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LineTest, LateSplitAndDelayedRepliesKeepTheirTiming) {
  line.inject(1, with_delay(make(Fault::Late), 80));
  ASSERT_EQ(master.read(1, 0x00AB), 6101);
  auto journal = line.journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_GE(journal[1].t_ns - journal[0].t_ns, 80'000'000);

  line.clear_journal();
  Fault split = with_delay(make(Fault::Split), 30);
  split.split_at = 2;
  line.inject(1, split);
  ASSERT_EQ(master.read(1, 0x00AB), 6101);
  journal = line.journal();
  ASSERT_EQ(journal.size(), 3u);
  EXPECT_EQ(journal[1].bytes.size(), 2u);
  EXPECT_EQ(journal[2].bytes.size(), 5u);
  EXPECT_GE(journal[2].t_ns - journal[1].t_ns, 30'000'000);

  // A reply delay holds back every reply.
  line.clear_journal();
  line.set_reply_delay_ms(60);
  ASSERT_TRUE(master.read(2, 0x00AB));
  journal = line.journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_GE(journal[1].t_ns - journal[0].t_ns, 60'000'000);
}

TEST_F(LineTest, ShortReplyLosesItsTail) {
  Fault f = make(Fault::Short);
  f.short_by = 3;
  line.inject(1, f);
  master.set_timeout_ms(kAnswerBoundMs);
  EXPECT_FALSE(master.read(1, 0x00AB));
  ASSERT_FALSE(replies().empty());
  EXPECT_EQ(replies().back().size(), 4u);
}

TEST_F(LineTest, FaultMatchesRegisterFunctionAndCount) {
  master.set_timeout_ms(kAnswerBoundMs);
  Fault f = make(Fault::Exception);
  f.reg = 0x0014;
  f.times = -1;
  line.inject(1, f);
  EXPECT_TRUE(master.read(1, 0x0000, 0x14));       // 0..19 does not cover 20
  EXPECT_FALSE(master.read(1, 0x0010, 8));         // 16..23 does
  EXPECT_EQ(master.error(), EMBXSFAIL);
  EXPECT_FALSE(master.write(1, 0x0014, 3));
  EXPECT_FALSE(master.read(1, 0x0014));
  EXPECT_TRUE(master.read(2, 0x0014));             // another station
  line.clear_faults();
  EXPECT_TRUE(master.read(1, 0x0014));

  Fault g = make(Fault::Silent);
  g.function = 0x06;
  g.times = 2;
  line.inject(1, g);
  EXPECT_TRUE(master.read(1, 0x0014));
  EXPECT_FALSE(master.write(1, 103, 1));
  EXPECT_FALSE(master.write(1, 103, 2));
  EXPECT_TRUE(master.write(1, 103, 3));
  EXPECT_EQ(master.read(1, 103), 3);  // the silent writes were lost
}

TEST_F(LineTest, StationNumberChangeIsAnsweredFromTheOldAddress) {
  master.set_timeout_ms(kAnswerBoundMs);
  line.clear_journal();
  ASSERT_TRUE(master.write(1, 160, 9));  // libmodbus checks the reply came from 1
  EXPECT_EQ(replies().back()[0], 1);
  EXPECT_FALSE(master.read(1, 0x00AB));
  EXPECT_EQ(master.read(9, 0x00AB), 6101);
  EXPECT_EQ(master.read(9, 160), 9);
  // Function 16 over the communication block moves the speed controller.
  ASSERT_TRUE(master.write(4, 20, std::vector<uint16_t>{12, 4, 2, 2, 0}));
  EXPECT_EQ(replies().back()[0], 4);
  EXPECT_EQ(master.read(12, 0x00AB), 1015);
  // Out of range numbers are refused and nothing moves.
  EXPECT_FALSE(master.write(3, 160, 248));
  EXPECT_EQ(master.error(), EMBXILVAL);
  EXPECT_FALSE(master.write(3, 160, 0));
  EXPECT_EQ(master.read(3, 160), 3);
}

TEST(SimLinePublish, LinkPointsAtThePortAndGoesWithTheLine) {
  std::string link;
  std::string port;
  {
    SimLine line;
    port = line.port_path();
    link = line.publish("sim-test-" + std::to_string(getpid()));
    ASSERT_FALSE(link.empty());
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(port, target);
    const std::string folder = link.substr(0, link.rfind('/'));
    const std::string uid = std::to_string(getuid());
    EXPECT_TRUE(folder == "/run/user/" + uid + "/velmo-ports" || folder == "/tmp/velmo-ports-" + uid) << folder;
    EXPECT_TRUE(line.publish("bad/name").empty());
  }
  struct stat st{};
  EXPECT_NE(lstat(link.c_str(), &st), 0);
}

TEST(SimLinePort, ReopeningThePortKeepsTheLineAlive) {
  SimLine line;
  line.add(velmo::sim::make_servo(5));
  for (int round = 0; round < 3; ++round) {
    ModbusMaster m(line.port_path());
    ASSERT_TRUE(m.ok());
    EXPECT_EQ(m.read(5, 0x00AB), 6101) << round;
  }
}
