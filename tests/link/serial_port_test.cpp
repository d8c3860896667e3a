#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>
#include <termios.h>
#include <time.h>

#include <functional>
#include <memory>
#include <vector>

#include "link/comms_error.h"
#include "link/modbus_crc.h"
#include "link/serial_port.h"
#include "support/wait.h"
#include "support/pty_peer.h"

namespace velmo {
namespace {

using testing::Pty;
using testing::with_crc;
using testing::wait_for;

QByteArray bytes_of(const std::vector<uint8_t>& v) {
  return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}

// Collects the chunks a port delivers.
struct ChunkLog {
  explicit ChunkLog(SerialPort& port) {
    QObject::connect(&port, &SerialPort::receiveData, &port,
                     [this](const ReceivedChunk& chunk) { chunks.push_back(chunk); });
  }
  qsizetype total() const {
    qsizetype sum = 0;
    for (const ReceivedChunk& c : chunks) sum += c.bytes.size();
    return sum;
  }
  std::vector<ReceivedChunk> chunks;
};

// Throws the error of OpenPort as its text, or "" when it opened.
std::string open_error(SerialPort& port) {
  try {
    port.OpenPort();
  } catch (const ECommsError& e) {
    return e.what();
  }
  return "";
}

// The real port on a pty; `inspectable`: a pty whose input the test can look into.
template <bool inspectable>
class PortOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    port.CommName = pty.slave();
    // As the main window sets it: Modbus is binary, so no XON/XOFF.
    port.Outx_XonXoffFlow = false;
    port.Inx_XonXoffFlow = false;
  }
  Pty pty{inspectable};
  SerialPort port;
};

class SerialPortTest : public PortOnPty<false> {};

// A pseudo terminal keeps speed, stop bits and flow control as set, but the
// kernel pins it to eight bits without parity; the character format itself
// is checked on the termios the port builds (serial_settings_test).
TEST_F(SerialPortTest, LineSettingsReachTheDevice) {
  struct Row {
    uint32_t baud;
    Parity parity;
    StopBits stop;
    bool cts_flow;
    speed_t speed;
    bool cstopb;
  };
  const Row rows[] = {
      {38400, Parity::Even, StopBits::_1, false, B38400, false},
      {9600, Parity::Odd, StopBits::_2, true, B9600, true},
      {115200, Parity::None, StopBits::_1_5, false, B115200, true},
      {4800, Parity::Mark, StopBits::_1, false, B4800, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.baud);
    port.BaudRate = row.baud;
    port.parity = row.parity;
    port.stopBits = row.stop;
    port.Outx_CtsFlow = row.cts_flow;
    ASSERT_EQ(open_error(port), "");
    termios t;
    ASSERT_EQ(tcgetattr(pty.master(), &t), 0);  // the master reports the slave's settings
    EXPECT_EQ(cfgetospeed(&t), row.speed);
    EXPECT_EQ(cfgetispeed(&t), row.speed);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, row.cstopb);
    EXPECT_EQ((t.c_cflag & CRTSCTS) != 0, row.cts_flow);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);  // raw
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    port.ClosePort();
  }
}

TEST_F(SerialPortTest, SettingsChangedWhileOpenAreApplied) {
  ASSERT_EQ(open_error(port), "");
  port.BaudRate = 57600;
  port.stopBits = StopBits::_2;
  port.ApplyCommState();
  termios t;
  ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B57600);
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  port.BaudRate = 1234;
  EXPECT_THROW(port.ApplyCommState(), ECommsError);
  EXPECT_TRUE(port.isOpen());
  ASSERT_EQ(tcgetattr(pty.master(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B57600) << "a refused change keeps the settings in force";
}

TEST_F(SerialPortTest, OpeningTwiceKeepsThePortOpen) {
  ASSERT_EQ(open_error(port), "");
  EXPECT_EQ(open_error(port), comms_text::kAlreadyOpen);
  EXPECT_TRUE(port.isOpen());
  const uint8_t bytes[] = {0x55};
  ASSERT_TRUE(port.SendBytes(bytes, 1));
  EXPECT_EQ(pty.read(1), QByteArray("\x55"));
}

TEST(SerialPortOpen, RefusesWhatIsNotASerialDevice) {
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("plain"));
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  for (const QString& name : {file, QStringLiteral("/dev/null")}) {
    SCOPED_TRACE(name.toStdString());
    SerialPort port;
    port.CommName = name;
    EXPECT_EQ(open_error(port), comms_text::kNotCommHandle);
    EXPECT_FALSE(port.isOpen());
  }
  SerialPort missing;
  missing.CommName = dir.filePath(QStringLiteral("ttyNONE"));
  EXPECT_EQ(open_error(missing), comms_text::kOpenFailed);
  EXPECT_TRUE(missing.lastOpenErrorDetail().startsWith(missing.CommName));
}

TEST_F(SerialPortTest, SendBytes) {
  const uint8_t request[] = {0x01, 0x03, 0x00, 0xAB, 0x00, 0x01, 0xF5, 0xEA};
  EXPECT_FALSE(port.SendBytes(request, sizeof request)) << "closed port";
  EXPECT_FALSE(port.FlushInput());
  ASSERT_EQ(open_error(port), "");
  QSignalSpy empty(&port, &SerialPort::sendDataEmpty);
  EXPECT_FALSE(port.SendBytes(request, 0));
  ASSERT_TRUE(port.SendBytes(request, sizeof request));
  ASSERT_TRUE(port.SendBytes(request, 2));
  EXPECT_EQ(pty.read(sizeof request + 2),
            QByteArray(reinterpret_cast<const char*>(request), sizeof request) + QByteArray("\x01\x03", 2));
  EXPECT_TRUE(wait_for([&] { return port.sendQueueEmpty() && empty.count() >= 1; }));
}

TEST_F(SerialPortTest, LongBurstArrivesInChunksOfAtMost2048) {
  port.ReadIntervalTimeout = 20;
  ASSERT_EQ(open_error(port), "");
  ChunkLog log(port);
  std::vector<uint8_t> burst(3000);
  for (size_t i = 0; i < burst.size(); ++i) burst[i] = static_cast<uint8_t>(i * 7);
  ASSERT_TRUE(pty.write_bytes(burst));
  ASSERT_TRUE(wait_for([&] { return log.total() >= 3000; }));
  QByteArray joined;
  for (const ReceivedChunk& c : log.chunks) {
    EXPECT_LE(c.bytes.size(), 2048);
    EXPECT_EQ(c.bytes.constData()[c.bytes.size()], '\0');  // terminated past its end
    joined += c.bytes;
  }
  EXPECT_EQ(joined, bytes_of(burst));
  EXPECT_GE(log.chunks.size(), 2u);
}

TEST_F(SerialPortTest, CompleteReplyEndsTheChunkWithoutWaitingForSilence) {
  port.ReadIntervalTimeout = 60000;  // silence alone would not end the chunk within the wait
  ASSERT_EQ(open_error(port), "");
  ChunkLog log(port);
  const std::vector<uint8_t> reply = with_crc({0x01, 0x03, 0x02, 0x00, 0x0A});
  const int64_t before = monotonic_ns();
  ASSERT_TRUE(pty.write_bytes(reply));
  ASSERT_TRUE(wait_for([&] { return !log.chunks.empty(); }));
  ASSERT_EQ(log.chunks.size(), 1u);
  EXPECT_EQ(log.chunks[0].bytes, bytes_of(reply));
  EXPECT_GE(log.chunks[0].first_byte_ns, before);
}

TEST_F(SerialPortTest, GapLongerThanTheIntervalSplitsAReply) {
  port.ReadIntervalTimeout = 20;
  ASSERT_EQ(open_error(port), "");
  ChunkLog log(port);
  const std::vector<uint8_t> reply = with_crc({0x01, 0x03, 0x02, 0x00, 0x0A});
  ASSERT_TRUE(pty.write_bytes(reply.data(), 3));
  ASSERT_TRUE(wait_for([&] { return log.chunks.size() == 1; }));
  ASSERT_TRUE(pty.write_bytes(reply.data() + 3, reply.size() - 3));
  ASSERT_TRUE(wait_for([&] { return log.chunks.size() == 2; }));
  EXPECT_EQ(log.chunks[0].bytes, bytes_of(reply).left(3));
  EXPECT_EQ(log.chunks[1].bytes, bytes_of(reply).mid(3));
  EXPECT_LT(log.chunks[0].first_byte_ns, log.chunks[1].first_byte_ns);
}

TEST_F(SerialPortTest, FlushKeepsEarlierBytesApartFromTheReply) {
  port.ReadIntervalTimeout = 60000;
  ASSERT_EQ(open_error(port), "");
  ChunkLog log(port);
  ASSERT_TRUE(pty.write_bytes({0xAA, 0xBB}));
  QThread::msleep(100);  // usually lets the reader take them; the test holds either way
  const int64_t flushed_at = monotonic_ns();
  ASSERT_TRUE(port.FlushInput());
  const std::vector<uint8_t> reply = with_crc({0x01, 0x06, 0x00, 0x10, 0x00, 0x01});
  ASSERT_TRUE(pty.write_bytes(reply));
  ASSERT_TRUE(wait_for([&] {
    return !log.chunks.empty() && log.chunks.back().bytes == bytes_of(reply);
  }));
  ASSERT_EQ(log.chunks.size(), 2u) << "what waited is reported, read or not";
  EXPECT_EQ(log.chunks[0].bytes, QByteArray("\xAA\xBB", 2));
  EXPECT_LT(log.chunks[0].first_byte_ns, flushed_at);
  EXPECT_GE(log.chunks.back().first_byte_ns, flushed_at);
}

int64_t process_cpu_ns() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

TEST_F(SerialPortTest, AFlushBetweenArrivalAndReadIsNoHangup) {
  // Bytes that arrive and are flushed before the reader takes them leave it
  // a read of nothing: the line is still there. Many tries make the race
  // likely; a correct reader never reports a hang-up, whatever the timing.
  ASSERT_EQ(open_error(port), "");
  QSignalSpy hangup(&port, &SerialPort::requestHangup);
  for (int i = 0; i < 5000 && hangup.isEmpty(); ++i) {
    ASSERT_TRUE(pty.write_bytes({0x55}));
    ASSERT_TRUE(port.FlushInput());
    if (i % 50 == 0) QCoreApplication::processEvents();
  }
  ChunkLog log(port);
  const std::vector<uint8_t> reply = with_crc({0x01, 0x06, 0x00, 0x10, 0x00, 0x01});
  ASSERT_TRUE(port.FlushInput());
  ASSERT_TRUE(pty.write_bytes(reply));
  EXPECT_TRUE(wait_for([&] { return log.total() > 0 && log.chunks.back().bytes.endsWith(bytes_of(reply)); }));
  EXPECT_EQ(hangup.count(), 0);
}

TEST_F(SerialPortTest, HangupEndsTheReaderQuietly) {
  ASSERT_EQ(open_error(port), "");
  QSignalSpy hangup(&port, &SerialPort::requestHangup);
  pty.close_master();
  ASSERT_TRUE(wait_for([&] { return hangup.count() >= 1; }));
  const int64_t cpu_before = process_cpu_ns();
  QThread::msleep(500);
  EXPECT_LT(process_cpu_ns() - cpu_before, 250'000'000) << "a thread keeps spinning on the dead line";
  const uint8_t byte = 0;
  port.SendBytes(&byte, 1);  // the writer meets the dead line too
  wait_for([] { return false; }, 100);
  EXPECT_EQ(hangup.count(), 1) << "one hang-up is reported once";
  port.ClosePort();
  EXPECT_FALSE(port.isOpen());
}

// Runs the event loop as a wait does, sleeping in it, for ms.
void sleep_in_event_loop(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// While a reply is awaited the waiting thread reads the port in the
// reader's place: the chunks are the reader's, the reader takes the port
// back once the loop sleeps with no reply awaited, and a line that hangs up
// under the waiting thread is reported once and leaves nothing spinning.
TEST_F(SerialPortTest, TheThreadAwaitingAReplyReadsItByTheReadersRules) {
  port.ReadIntervalTimeout = 20;
  ASSERT_EQ(open_error(port), "");
  ChunkLog log(port);
  QSignalSpy hangup(&port, &SerialPort::requestHangup);
  const std::vector<uint8_t> reply = with_crc({0x01, 0x03, 0x02, 0x00, 0x0A});
  const QByteArray whole = bytes_of(reply);

  port.awaitReply(true);
  ASSERT_TRUE(pty.write_bytes(reply));
  ASSERT_TRUE(wait_for([&] { return log.chunks.size() == 1; }));
  EXPECT_EQ(log.chunks[0].bytes, whole) << "a complete reply ends its chunk at once";
  // A part followed by silence ends after the interval, as the reader's would.
  ASSERT_TRUE(pty.write_bytes(reply.data(), 3));
  ASSERT_TRUE(wait_for([&] { return log.chunks.size() == 2; }));
  ASSERT_TRUE(pty.write_bytes(reply.data() + 3, reply.size() - 3));
  ASSERT_TRUE(wait_for([&] { return log.chunks.size() == 3; }));
  EXPECT_EQ(log.chunks[1].bytes, whole.left(3));
  EXPECT_EQ(log.chunks[2].bytes, whole.mid(3));

  // The reader has left the port: bytes wait for the waiting thread, and
  // the time they are read at says so.
  int64_t written = monotonic_ns();
  ASSERT_TRUE(pty.write_bytes(reply));
  QThread::msleep(300);
  ASSERT_TRUE(wait_for([&] { return log.chunks.size() == 4; }));
  EXPECT_GE(log.chunks[3].first_byte_ns - written, 300'000'000);
  // Bytes that came while the waiting thread was busy are not flushed
  // unseen: they go out on their own, begun before the flush.
  ASSERT_TRUE(pty.write_bytes({0xAA, 0xBB}));
  QThread::msleep(50);
  ASSERT_TRUE(port.FlushInput());
  const int64_t flushed_at = monotonic_ns();  // a request would go out now
  ASSERT_TRUE(pty.write_bytes(reply));
  ASSERT_TRUE(wait_for([&] { return log.chunks.size() == 6; }));
  EXPECT_EQ(log.chunks[4].bytes, QByteArray("\xAA\xBB", 2));
  EXPECT_LT(log.chunks[4].first_byte_ns, flushed_at);
  EXPECT_EQ(log.chunks[5].bytes, whole);
  EXPECT_GT(log.chunks[5].first_byte_ns, flushed_at);

  // No reply awaited and the loop asleep: the reader reads again, at once.
  port.awaitReply(false);
  sleep_in_event_loop(10);
  written = monotonic_ns();
  ASSERT_TRUE(pty.write_bytes(reply));
  QThread::msleep(300);
  ASSERT_TRUE(wait_for([&] { return log.chunks.size() == 7; }));
  EXPECT_EQ(log.chunks[6].bytes, whole);
  EXPECT_LT(log.chunks[6].first_byte_ns - written, 300'000'000);

  port.awaitReply(true);
  pty.close_master();
  ASSERT_TRUE(wait_for([&] { return hangup.count() >= 1; }));
  const int64_t cpu_before = process_cpu_ns();
  sleep_in_event_loop(500);
  EXPECT_LT(process_cpu_ns() - cpu_before, 250'000'000) << "a watch keeps firing on the dead line";
  EXPECT_EQ(hangup.count(), 1);
}

// Who reads the port, with a pty whose input the test can look into.
class PortOwnerTest : public PortOnPty<true> {
 protected:
  void SetUp() override {
    PortOnPty::SetUp();
    if (HasFatalFailure()) return;
    port.ReadIntervalTimeout = 60000;  // silence never ends a chunk here
    ASSERT_EQ(open_error(port), "");
  }
};

// An input flush treats what waits the same whoever reads the port: what
// was held and what still waited in the kernel go out as one chunk begun
// before the flush, and the reply after it is a chunk of its own.
TEST_F(PortOwnerTest, AFlushReportsWhatWaitedWhoeverReadsThePort) {
  ChunkLog log(port);
  const std::vector<uint8_t> reply = with_crc({0x01, 0x06, 0x00, 0x10, 0x00, 0x01});
  for (bool waiting_thread : {false, true}) {
    SCOPED_TRACE(waiting_thread ? "the waiting thread reads" : "the reader reads");
    log.chunks.clear();
    port.awaitReply(waiting_thread);
    ASSERT_TRUE(pty.write_bytes({0xAA, 0xBB}));
    ASSERT_TRUE(wait_for([&] { return pty.input_pending() == 0; }));  // read and held
    ASSERT_TRUE(pty.write_bytes({0xCC, 0xDD}));
    pty.input_pending();  // on the slave's input, read or not
    ASSERT_TRUE(port.FlushInput());
    const int64_t flushed_at = monotonic_ns();
    ASSERT_TRUE(pty.write_bytes(reply));
    ASSERT_TRUE(wait_for([&] { return log.chunks.size() >= 2; }));
    ASSERT_EQ(log.chunks.size(), 2u);
    EXPECT_EQ(log.chunks[0].bytes, QByteArray("\xAA\xBB\xCC\xDD", 4));
    EXPECT_LT(log.chunks[0].first_byte_ns, flushed_at);
    EXPECT_EQ(log.chunks[1].bytes, bytes_of(reply));
    EXPECT_GT(log.chunks[1].first_byte_ns, flushed_at);
    port.awaitReply(false);
    sleep_in_event_loop(10);
  }
}

// A line that hangs up while the waiting thread holds part of a chunk: the
// part goes out, then one hang-up.
TEST_F(PortOwnerTest, AHangUpUnderTheWaitingThreadDeliversWhatWasHeldFirst) {
  ChunkLog log(port);
  std::vector<QString> order;
  QObject::connect(&port, &SerialPort::receiveData, &port, [&] { order.push_back("data"); });
  QObject::connect(&port, &SerialPort::requestHangup, &port, [&] { order.push_back("hangup"); });
  port.awaitReply(true);
  ASSERT_TRUE(pty.write_bytes({0x01, 0x03, 0x02}));
  ASSERT_TRUE(wait_for([&] { return pty.input_pending() == 0; }));
  pty.close_master();
  ASSERT_TRUE(wait_for([&] { return order.size() >= 2; }));
  sleep_in_event_loop(100);
  EXPECT_EQ(order, (std::vector<QString>{"data", "hangup"}));
  ASSERT_EQ(log.chunks.size(), 1u);
  EXPECT_EQ(log.chunks[0].bytes, QByteArray("\x01\x03\x02", 3));
}

TEST_F(SerialPortTest, NoticesOfAClosedSessionAreDropped) {
  ASSERT_EQ(open_error(port), "");
  QSignalSpy hangup(&port, &SerialPort::requestHangup);
  pty.close_master();
  port.ClosePort();
  wait_for([] { return false; }, 300);
  EXPECT_EQ(hangup.count(), 0);
}

// Every way a port lets go of the device leaves it free for the next open,
// and a failed attempt never leaves a port half open.
TEST_F(SerialPortTest, EveryWayOfLettingGoFreesTheDevice) {
  using Release = std::function<void(std::unique_ptr<SerialPort>&)>;
  const std::vector<std::pair<const char*, Release>> cases = {
      {"closed twice", [](auto& p) { p->ClosePort(); p->ClosePort(); }},
      {"destroyed while open", [](auto& p) { p.reset(); }},
      {"closed with a writer stuck on a full line",
       [](auto& p) {
         std::vector<uint8_t> block(60000, 0x5A);
         for (int i = 0; i < 4; ++i) ASSERT_TRUE(p->SendBytes(block.data(), static_cast<uint16_t>(block.size())));
         // Nobody reads the master: the writer is left waiting for room on the line.
         wait_for([] { return false; }, 100);
         EXPECT_FALSE(p->sendQueueEmpty());
         p->ClosePort();
         EXPECT_TRUE(p->sendQueueEmpty());
       }},
  };
  for (const auto& [name, release] : cases) {
    SCOPED_TRACE(name);
    auto first = std::make_unique<SerialPort>();
    first->CommName = pty.slave();
    ASSERT_EQ(open_error(*first), "");
    SerialPort second;
    second.CommName = pty.slave();
    EXPECT_EQ(open_error(second), comms_text::kOpenFailed) << "the open is exclusive";
    EXPECT_FALSE(second.isOpen());
    EXPECT_TRUE(second.lastOpenErrorDetail().contains(pty.slave()));
    release(first);
    ASSERT_EQ(open_error(second), "");
    second.ClosePort();
  }

  port.BaudRate = 12345;
  EXPECT_EQ(open_error(port), comms_text::kSettingsRefused);
  EXPECT_FALSE(port.isOpen());
  port.BaudRate = 9600;
  ASSERT_EQ(open_error(port), "") << "the failed attempt kept the device locked";
  port.ClosePort();
  // Reopened after close, it receives again.
  ASSERT_EQ(open_error(port), "");
  ChunkLog log(port);
  const std::vector<uint8_t> reply = with_crc({0x05, 0x06, 0x00, 0x01, 0x00, 0x02});
  ASSERT_TRUE(pty.write_bytes(reply));
  ASSERT_TRUE(wait_for([&] { return log.chunks.size() == 1; }));
  EXPECT_EQ(log.chunks[0].bytes, bytes_of(reply));
}

}  // namespace
}  // namespace velmo
