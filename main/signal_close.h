#pragma once
#include <QObject>

#include <functional>

class QSocketNotifier;

namespace velmo {

// SIGTERM, SIGINT and SIGHUP are how a desktop's logout or shutdown and a
// terminal ask a program to quit: each one becomes a close of the main
// window, as its close box would (a second one is the second close). The
// handler only writes the signal's number into a pipe; the event loop reads
// it and calls `close`.
class SignalClose : public QObject {
  Q_OBJECT
 public:
  explicit SignalClose(std::function<void()> close, QObject* parent = nullptr);
  ~SignalClose() override;  // the signals end the process again, as by default
  SignalClose(const SignalClose&) = delete;
  SignalClose& operator=(const SignalClose&) = delete;

 private:
  void take_signals();

  std::function<void()> close_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace velmo
