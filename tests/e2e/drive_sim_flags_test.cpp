// velmo-drive-sim's own flags: a paced line answers no sooner than the wire time of
// request and reply, the journal file lists both with times; a name is one simulator's.
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "support/modbus_master.h"

TEST(DriveSimFlags, PaceJournalAndMotor) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString journal = dir.filePath("wire.log");
  QProcess sim;
  sim.start(QStringLiteral(VELMO_DRIVE_SIM),
            {"--name", QStringLiteral("velmo-flags-%1").arg(::getpid()), "--station", "servo:1:6101:102", "--pace",
             "--turnaround", "2000", "--journal", journal, "--motor", "1:13043", "--mechanics", "1:load=5,end=15"});
  ASSERT_TRUE(sim.waitForStarted(10000));
  ASSERT_TRUE(sim.waitForReadyRead(10000)) << sim.readAllStandardError().toStdString();
  const std::string pty = QString::fromLocal8Bit(sim.readLine()).trimmed().toStdString();
  {
    velmo::testing::ModbusMaster m{pty};
    ASSERT_TRUE(m.ok());
    EXPECT_EQ(m.read(1, 181), 13043);
  }
  sim.terminate();
  ASSERT_TRUE(sim.waitForFinished(10000));

  std::ifstream in(journal.toStdString());
  std::string line, request, reply;
  double t_request = -1, t_reply = -1;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    double t = 0;
    std::string way;
    if (!(fields >> t >> way)) continue;  // the header line
    std::string bytes;
    std::getline(fields, bytes);
    if (way == "RX") t_request = t, request = bytes;
    if (way == "TX") t_reply = t, reply = bytes;
  }
  EXPECT_EQ(request, " 01 03 00 B5 00 01 95 EC ");
  EXPECT_EQ(reply.substr(0, 10), " 01 03 02 ");
  // 8 + 7 characters of 11 bits at 38400, and the 2 ms turnaround.
  EXPECT_GE(t_reply - t_request, 15 * 11 / 38.4 + 2.0);
}

namespace {

// A simulator on the default line under NAME, started; its printed pty and link.
struct RunningSim {
  QProcess process;
  std::string pty, link;
  // Ended as a user would end it, so that a failed test leaves no link behind.
  ~RunningSim() {
    if (process.state() != QProcess::NotRunning) process.terminate();
    process.waitForFinished(30000);
  }
  void start(const QString& name) {
    process.start(QStringLiteral(VELMO_DRIVE_SIM), {"--name", name});
    // The pty and the link come in one write, but may be read in two.
    while (link.empty()) {
      ASSERT_TRUE(process.canReadLine() || process.waitForReadyRead(30000)) << process.readAllStandardError().toStdString();
      if (process.canReadLine()) (pty.empty() ? pty : link) = process.readLine().trimmed().toStdString();
    }
  }
};

std::string link_target(const std::string& link) { std::error_code e; return std::filesystem::read_symlink(link, e).string(); }

}  // namespace

TEST(DriveSimFlags, ANameIsOneRunningLine) {
  const QString name = QStringLiteral("velmo-name-%1").arg(::getpid());
  RunningSim first;
  ASSERT_NO_FATAL_FAILURE(first.start(name));
  ASSERT_EQ(link_target(first.link), first.pty);
  // A second simulator under the name is refused and leaves the first's line alone.
  QProcess second;
  second.start(QStringLiteral(VELMO_DRIVE_SIM), {"--name", name});
  ASSERT_TRUE(second.waitForFinished(30000));
  EXPECT_EQ(second.exitCode(), 3);
  const QString refusal = QString::fromLocal8Bit(second.readAllStandardError());
  EXPECT_TRUE(refusal.contains(name + " is in use")) << refusal.toStdString();
  EXPECT_TRUE(refusal.contains(QString::number(first.process.processId()))) << refusal.toStdString();
  EXPECT_EQ(velmo::testing::ModbusMaster{first.link}.read(1, 0x00AB), 6101);
  first.process.terminate();
  ASSERT_TRUE(first.process.waitForFinished(30000));
  EXPECT_TRUE(link_target(first.link).empty());
  // One killed outright leaves its link behind; the next one takes the name.
  RunningSim killed;
  ASSERT_NO_FATAL_FAILURE(killed.start(name));
  killed.process.kill();
  ASSERT_TRUE(killed.process.waitForFinished(30000));
  ASSERT_EQ(link_target(killed.link), killed.pty);
  RunningSim next;
  ASSERT_NO_FATAL_FAILURE(next.start(name));
  EXPECT_EQ(next.link, killed.link);
  EXPECT_EQ(velmo::testing::ModbusMaster{next.link}.read(2, 0x00AB), 8005);
}
