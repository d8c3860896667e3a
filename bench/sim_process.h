#pragma once
// velmo-drive-sim as a process of its own, paced and journalling to a file,
// as an engineer or a measuring script runs it beside the program. The
// journal is read back as the simulator writes it, its times on the steady
// clock that both processes share.
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <unistd.h>

#include "sim/sim_line.h"

namespace velmo::bench {

class SimProcess {
 public:
  // stations: --station values, e.g. "servo:1:6101:101".
  explicit SimProcess(const QStringList& stations) {
    journal_.setFileName(dir_.filePath(QStringLiteral("journal.txt")));
    QStringList args{QStringLiteral("--pace"), QStringLiteral("--journal"), journal_.fileName(),
                     QStringLiteral("--name"), QStringLiteral("velmo-bench-%1").arg(getpid())};
    for (const QString& s : stations) args << QStringLiteral("--station") << s;
    process_.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../sim/velmo-drive-sim"), args);
    // It prints its pty first.
    while (process_.waitForReadyRead(5000) && !process_.canReadLine()) {
    }
    port_ = QString::fromLocal8Bit(process_.readLine()).trimmed().toStdString();
    if (journal_.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) origin_ns_ = read_origin();
  }
  ~SimProcess() {
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill();
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool ok() const { return !port_.empty() && origin_ns_ > 0; }
  const std::string& port() const { return port_; }

  // What the simulator journalled since the last call: once every request
  // taken has its reply (or a generous bound passed), as the simulator writes
  // a reply's line only after the reply.
  std::vector<sim::JournalEntry> take_journal() {
    std::vector<sim::JournalEntry> taken;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    for (;;) {
      while (journal_.canReadLine() || journal_.bytesAvailable() > 0) {
        held_ += journal_.readAll();
        qsizetype end;
        while ((end = held_.indexOf('\n')) >= 0) {
          add_line(held_.left(end), taken);
          held_.remove(0, end + 1);
        }
      }
      if (balanced(taken) || std::chrono::steady_clock::now() > give_up) return taken;
      QThread::usleep(200);
    }
  }

 private:
  int64_t read_origin() {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!journal_.canReadLine() && std::chrono::steady_clock::now() < give_up) QThread::usleep(200);
    // "# ms since start (ORIGIN ns on the steady clock), ..."
    const QByteArray header = journal_.readLine();
    const qsizetype open = header.indexOf('(');
    return open < 0 ? 0 : header.mid(open + 1, header.indexOf(' ', open) - open - 1).toLongLong();
  }
  void add_line(const QByteArray& line, std::vector<sim::JournalEntry>& into) const {
    const QList<QByteArray> parts = line.simplified().split(' ');
    if (parts.size() < 3 || parts[0].startsWith('#')) return;
    sim::JournalEntry e{origin_ns_ + static_cast<int64_t>(parts[0].toDouble() * 1e6), parts[1] == "RX", {}};
    for (qsizetype i = 2; i < parts.size(); ++i) e.bytes.push_back(static_cast<uint8_t>(parts[i].toUInt(nullptr, 16)));
    into.push_back(std::move(e));
  }
  static bool balanced(const std::vector<sim::JournalEntry>& entries) {
    int requests = 0, replies = 0;
    for (const auto& e : entries) (e.is_request ? requests : replies) += 1;
    return replies >= requests;
  }

  QTemporaryDir dir_;
  QFile journal_;
  QProcess process_;
  std::string port_;
  int64_t origin_ns_ = 0;
  QByteArray held_;
};

}  // namespace velmo::bench
