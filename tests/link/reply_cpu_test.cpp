#include <gtest/gtest.h>
#include <sched.h>
#include <sys/types.h>

#include <QDir>
#include <QFile>

#include "link/reply_cpu.h"
#include "link/serial_port.h"
#include "link/virtual_clock.h"
#include "support/pty_peer.h"
#include "support/wait.h"

namespace velmo {
namespace {

using testing::wait_for;

cpu_set_t cpus_of(pid_t tid) {
  cpu_set_t set;
  CPU_ZERO(&set);
  sched_getaffinity(tid, sizeof set, &set);
  return set;
}

bool only_on(pid_t tid, int cpu) {
  const cpu_set_t set = cpus_of(tid);
  return CPU_COUNT(&set) == 1 && CPU_ISSET(cpu, &set);
}

// The port's reader, found by its name; 0 while it has not started.
pid_t reader_tid() {
  for (const QString& task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
    if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "velmo-reader") return task.toInt();
  }
  return 0;
}

class ReplyCpuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    port.CommName = pty.slave();
  }
  testing::Pty pty;
  SerialPort port;
};

TEST_F(ReplyCpuTest, KeepsTheWaiterBesideTheReaderAndLetsItGoAfterAWhile) {
  const cpu_set_t before = cpus_of(0);
  port.OpenPort();
  ReplyCpu near(port);
  near.keep_beside_reader();
  if (near.cpu() < 0) GTEST_SKIP() << "this system keeps no thread on one CPU";
  const int cpu = near.cpu();
  EXPECT_TRUE(only_on(0, cpu));
  EXPECT_TRUE(wait_for([&] { return reader_tid() != 0 && only_on(reader_tid(), cpu); }));
  // A port opened again has a reader of its own, which joins the waiter too.
  port.ClosePort();
  port.OpenPort();
  near.keep_beside_reader();
  const int again = near.cpu();
  ASSERT_GE(again, 0);
  EXPECT_TRUE(wait_for([&] { return reader_tid() != 0 && only_on(reader_tid(), again); }));
  EXPECT_TRUE(wait_for([&] {
    const cpu_set_t now = cpus_of(0);
    return near.cpu() < 0 && CPU_EQUAL(&now, &before);
  }));
}

TEST_F(ReplyCpuTest, LeavesEveryThreadWhereItRunsOnAClosedPortOrAVirtualClock) {
  const cpu_set_t before = cpus_of(0);
  {
    ReplyCpu near(port);
    near.keep_beside_reader();
    EXPECT_EQ(near.cpu(), -1);
  }
  VirtualClock timeline;
  ClockScope scope(timeline);
  port.OpenPort();
  ReplyCpu near(port);
  near.keep_beside_reader();
  EXPECT_EQ(near.cpu(), -1);
  const cpu_set_t after = cpus_of(0);
  EXPECT_TRUE(CPU_EQUAL(&after, &before));
  port.ClosePort();
}

}  // namespace
}  // namespace velmo
