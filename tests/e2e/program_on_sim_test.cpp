// The real program binary against the real simulator program: a node search
// and connect over the published virtual line, with nothing in-process.
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace {

struct Programs : ::testing::Test {
  QProcess sim;
  QString link;
  QTemporaryDir dir;
  // Every request the line heard, with its time, as the simulator writes it.
  QString journal;

  void SetUp() override {
    const QString name = QStringLiteral("velmo-e2e-%1").arg(::getpid());
    ASSERT_TRUE(dir.isValid());
    journal = dir.filePath(QStringLiteral("journal.txt"));
    sim.start(QStringLiteral(VELMO_DRIVE_SIM), {"--name", name, "--journal", journal});
    ASSERT_TRUE(sim.waitForStarted(10000));
    // The simulator prints the pty path, then the published link.
    QStringList lines;
    while (lines.size() < 2 && sim.waitForReadyRead(10000))
      while (sim.canReadLine()) lines << QString::fromLocal8Bit(sim.readLine()).trimmed();
    ASSERT_EQ(lines.size(), 2) << sim.readAllStandardError().toStdString();
    link = lines[1];
    ASSERT_TRUE(link.endsWith(name));
  }

  void TearDown() override {
    sim.terminate();
    sim.waitForFinished(10000);
  }

  // The program without a screen, with one more variable set.
  static void start_program(QProcess& velmo, const QString& variable, const QString& value) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert(variable, value);
    velmo.setProcessEnvironment(env);
    velmo.start(QStringLiteral(VELMO_PROGRAM), {});
  }

  QString run_program(const QString& port, int* exit_code) {
    QProcess velmo;
    start_program(velmo, "VELMO_SMOKE_SEARCH", port);
    EXPECT_TRUE(velmo.waitForFinished(60000));
    *exit_code = velmo.exitCode();
    return QString::fromUtf8(velmo.readAllStandardOutput());
  }
};

TEST_F(Programs, SearchAndConnectFillTheNodeLists) {
  int code = -1;
  const QString out = run_program(link, &code);
  EXPECT_EQ(code, 0) << out.toStdString();
  EXPECT_TRUE(out.contains("panel: 读取系统参数完毕！！")) << out.toStdString();
  EXPECT_TRUE(out.contains("nodes: 1 2 3 4\n")) << out.toStdString();
  EXPECT_TRUE(out.contains("servo: 1 2\n")) << out.toStdString();
  EXPECT_TRUE(out.contains("inverter: 3\n")) << out.toStdString();
  EXPECT_TRUE(out.contains("speed controller: 4\n")) << out.toStdString();
  EXPECT_TRUE(out.contains("connected: 1\n")) << out.toStdString();
}

TEST_F(Programs, ALineThatWentAwayIsReportedAndTheProgramEnds) {
  sim.terminate();
  ASSERT_TRUE(sim.waitForFinished(10000));
  int code = -1;
  const QString out = run_program(link, &code);
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(out.contains("panel: 打开串口失败")) << out.toStdString();
}

// Logout, shutdown and a terminal end the program through its own close: it
// takes the signal (the kernel lists it as caught once the program is up)
// and ends with status 0 instead of being killed by it.
TEST_F(Programs, TerminateInterruptAndHangUpCloseTheProgramCleanly) {
  for (int number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(number);
    QProcess velmo;
    start_program(velmo, "VELMO_PORT", link);
    ASSERT_TRUE(velmo.waitForStarted(10000));
    auto caught = [&] {
      QFile status(QStringLiteral("/proc/%1/status").arg(velmo.processId()));
      if (!status.open(QIODevice::ReadOnly)) return false;
      for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:")) return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (number - 1) & 1) != 0;
      return false;
    };
    QElapsedTimer waited;
    waited.start();
    while (!caught() && waited.elapsed() < 30000) velmo.waitForFinished(20);
    ASSERT_TRUE(caught());
    ::kill(static_cast<pid_t>(velmo.processId()), number);
    ASSERT_TRUE(velmo.waitForFinished(30000));
    EXPECT_EQ(velmo.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(velmo.exitCode(), 0) << velmo.readAllStandardError().toStdString();
  }
}

// The requests in the journal ("RX" lines), as hex byte strings.
QStringList requests_heard(const QString& journal) {
  QFile file(journal);
  QStringList out;
  if (!file.open(QIODevice::ReadOnly)) return out;
  for (const QByteArray& line : file.readAll().split('\n')) {
    const int rx = line.indexOf(" RX ");
    if (rx >= 0) out << QString::fromLatin1(line.mid(rx + 4).trimmed());
  }
  return out;
}

// A signal from the shell during the search (the default range 1..10; the
// stations from 5 on are silent, each one a reply timeout) cuts it at the
// exchange in flight: no station after it is asked, no connect step runs,
// and the program ends.
TEST_F(Programs, ASignalDuringTheSearchCutsItAtTheExchangeInFlightAndTheProgramEnds) {
  QProcess velmo;
  start_program(velmo, "VELMO_SMOKE_SEARCH", link);
  ASSERT_TRUE(velmo.waitForStarted(10000));
  const QString station5 = QStringLiteral("05 03 00 AB 00 01");
  QElapsedTimer waited;
  waited.start();
  while (!requests_heard(journal).join('\n').contains(station5) && waited.elapsed() < 30000) velmo.waitForFinished(5);
  ASSERT_TRUE(requests_heard(journal).join('\n').contains(station5));
  ::kill(static_cast<pid_t>(velmo.processId()), SIGTERM);
  ASSERT_TRUE(velmo.waitForFinished(30000));
  EXPECT_EQ(velmo.exitStatus(), QProcess::NormalExit);
  int last_asked = 0;
  for (const QString& request : requests_heard(journal)) {
    // The connect step starts with a read of register 1.
    EXPECT_FALSE(request.startsWith(QStringLiteral("01 03 00 01"))) << request.toStdString();
    if (request.mid(3, 11) == QStringLiteral("03 00 AB 00")) last_asked = std::max(last_asked, request.left(2).toInt(nullptr, 16));
  }
  // Cut well before the end of the range, whatever the machine's load.
  EXPECT_GE(last_asked, 5);
  EXPECT_LT(last_asked, 10);
}

}  // namespace
