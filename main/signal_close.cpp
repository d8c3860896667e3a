#include "main/signal_close.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace velmo {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int pipe_fds[2] = {-1, -1};

extern "C" void on_close_signal(int number) {
  const int saved = errno;
  const char byte = static_cast<char>(number);
  // A full pipe already holds closes enough.
  [[maybe_unused]] const ssize_t n = ::write(pipe_fds[1], &byte, 1);
  errno = saved;
}

}  // namespace

SignalClose::SignalClose(std::function<void()> close, QObject* parent) : QObject(parent), close_(std::move(close)) {
  if (pipe_fds[0] >= 0 || ::pipe2(pipe_fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(pipe_fds[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SignalClose::take_signals);
  struct sigaction action {};
  action.sa_handler = on_close_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : kSignals) ::sigaction(number, &action, nullptr);
}

SignalClose::~SignalClose() {
  if (!notifier_) return;
  for (int number : kSignals) std::signal(number, SIG_DFL);
  delete notifier_;
  ::close(pipe_fds[0]);
  ::close(pipe_fds[1]);
  pipe_fds[0] = pipe_fds[1] = -1;
}

void SignalClose::take_signals() {
  char bytes[16];
  // Each signal is one close: two in a row are the second close.
  ssize_t n = 0;
  while ((n = ::read(pipe_fds[0], bytes, sizeof bytes)) > 0)
    for (ssize_t k = 0; k < n; ++k) close_();
}

}  // namespace velmo
