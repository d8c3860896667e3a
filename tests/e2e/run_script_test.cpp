// scripts/run.sh in a terminal: Ctrl-C is the program's to answer. The
// simulated line runs in a session of its own, so the terminal's interrupt
// never reaches it, and the script ends it only once the program has left.
#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// What /proc/PID/stat says of a process's place among the terminal's groups.
struct ProcessPlace {
  pid_t pid = 0;
  QByteArray name;
  pid_t parent = 0;
  pid_t group = 0;
  pid_t session = 0;
  pid_t terminal_group = 0;  // the terminal's foreground process group
};

std::optional<ProcessPlace> place_of(pid_t pid) {
  QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray stat = file.readAll();
  const qsizetype open = stat.indexOf('('), close = stat.lastIndexOf(')');
  if (open < 0 || close < open) return std::nullopt;
  // After the name: state ppid pgrp session tty_nr tpgid ...
  const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
  if (fields.size() < 6) return std::nullopt;
  return ProcessPlace{pid, stat.mid(open + 1, close - open - 1), fields[1].toInt(), fields[2].toInt(),
                      fields[3].toInt(), fields[5].toInt()};
}

std::optional<ProcessPlace> child_named(pid_t parent, const QByteArray& name) {
  for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    bool number = false;
    const pid_t pid = entry.toInt(&number);
    if (!number) continue;
    const auto place = place_of(pid);
    if (place && place->parent == parent && place->name == name) return place;
  }
  return std::nullopt;
}

bool catches(pid_t pid, int number) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("SigCgt:")) return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (number - 1) & 1) != 0;
  return false;
}

TEST(RunScript, CtrlCEndsTheProgramBeforeTheSimulatedLine) {
  std::vector<std::string> env_text = {"QT_QPA_PLATFORM=offscreen", "VELMO_NO_BUILD=1",
                                       std::string("VELMO_BUILD_DIR=") + VELMO_BINARY_DIR,
                                       std::string("PATH=") + (getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin"),
                                       std::string("HOME=") + (getenv("HOME") ? getenv("HOME") : "/tmp")};
  if (const char* runtime = getenv("XDG_RUNTIME_DIR")) env_text.push_back(std::string("XDG_RUNTIME_DIR=") + runtime);
  std::vector<char*> env;
  for (std::string& line : env_text) env.push_back(line.data());
  env.push_back(nullptr);
  const std::string script = std::string(VELMO_SOURCE_DIR) + "/scripts/run.sh";
  char* const args[] = {const_cast<char*>("bash"), const_cast<char*>(script.c_str()), nullptr};

  int terminal = -1;
  const pid_t shell = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(shell, 0);
  if (shell == 0) {
    execve("/bin/bash", args, env.data());
    _exit(127);
  }
  QByteArray said;
  auto read_terminal = [&] {
    char buffer[512];
    ssize_t n;
    while ((n = ::read(terminal, buffer, sizeof buffer)) > 0) said.append(buffer, n);
  };
  fcntl(terminal, F_SETFL, fcntl(terminal, F_GETFL) | O_NONBLOCK);
  auto wait_for = [&](auto&& ready) {
    QElapsedTimer waited;
    waited.start();
    while (!ready() && waited.elapsed() < 60000) {
      read_terminal();
      QThread::msleep(10);
    }
    return ready();
  };

  std::optional<ProcessPlace> program, line;
  const bool up = wait_for([&] {
    program = child_named(shell, "velmo");
    line = child_named(shell, "velmo-drive-sim");
    return program && line && catches(program->pid, SIGINT);
  });
  if (!up) {
    ::kill(shell, SIGKILL);
    waitpid(shell, nullptr, 0);
  }
  ASSERT_TRUE(up) << said.toStdString();
  const auto shell_place = place_of(shell);
  ASSERT_TRUE(shell_place);
  // The program is in the terminal's foreground group; the line is not even
  // in its session.
  EXPECT_EQ(program->group, shell_place->terminal_group);
  EXPECT_NE(line->session, shell_place->session);

  ASSERT_EQ(::write(terminal, "\x03", 1), 1);  // Ctrl-C, as the terminal's line discipline takes it
  int status = -1;
  bool reaped = false;
  const bool ended = wait_for([&] { return reaped || (reaped = waitpid(shell, &status, WNOHANG) == shell); });
  if (!ended) {
    ::kill(shell, SIGKILL);
    waitpid(shell, &status, 0);
  }
  ::close(terminal);
  ASSERT_TRUE(ended) << said.toStdString();
  // The program left through its own close (status 0), and the script took
  // the line down after it.
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << said.toStdString();
  EXPECT_FALSE(place_of(line->pid).has_value());
  EXPECT_FALSE(said.contains("串口已断开")) << said.toStdString();
}

}  // namespace
