// velmo-drive-sim's own flags: a paced line answers no sooner than the wire
// time of request and reply, and the journal file lists both with times.
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
