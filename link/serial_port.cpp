#include "link/serial_port.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QMetaMethod>
#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <system_error>
#include <thread>
#include <utility>

#include "link/clock.h"
#include "link/comms_error.h"
#include "link/port_session.h"
#include "link/serial_settings.h"
#include "link/virtual_clock.h"

namespace velmo {

int64_t monotonic_ns() { return clock().now_ns(); }

namespace {

constexpr auto kThreadStopBound = std::chrono::seconds(10);

// Both queues are flushed at open and close. On a virtual clock the output
// stays: request bytes already counted reach the simulated line, which
// reads everything, so no count is left waiting for bytes a flush dropped.
int flush_queues() { return virtual_clock() ? TCIFLUSH : TCIOFLUSH; }

// Closes a half-opened device unless ownership moved on.
class DeviceGuard {
 public:
  explicit DeviceGuard(int fd) : fd_(fd) {}
  ~DeviceGuard() {
    if (fd_ < 0) return;
    if (exclusive_) ioctl(fd_, TIOCNXCL);
    ::close(fd_);
  }
  DeviceGuard(const DeviceGuard&) = delete;
  DeviceGuard& operator=(const DeviceGuard&) = delete;
  void markExclusive() { exclusive_ = true; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
  bool exclusive_ = false;
};

// A thread with a bounded stop: past the bound it is left to finish on its
// own (it holds its session alive) instead of blocking the GUI for good.
struct PortThread {
  std::thread thread;
  std::future<void> done;

  void start(std::function<void()> body) {
    std::promise<void> finished;
    done = finished.get_future();
    thread = std::thread([body = std::move(body), finished = std::move(finished)]() mutable {
      body();
      finished.set_value();
    });
  }

  void stop() {
    if (!thread.joinable()) return;
    if (done.wait_for(kThreadStopBound) == std::future_status::ready) {
      thread.join();
    } else {
      thread.detach();
    }
  }
};

}  // namespace

struct SerialPort::Impl {
  std::shared_ptr<detail::PortSession> session;
  PortThread reader;
  PortThread writer;
  // The waiting thread's watch on the port (see awaitReply): on from the
  // first awaited reply until the event loop is about to sleep with none.
  std::unique_ptr<QSocketNotifier> reply_watch;
  QMetaObject::Connection before_sleep;
  bool reply_awaited = false;

  void hand_back() {
    reply_watch->setEnabled(false);
    session->setWaiterReads(false);
  }
  uint64_t session_id = 0;
  QString last_open_error;
};

SerialPort::SerialPort(QObject* parent)
    : QObject(parent),
      impl_(std::make_unique<Impl>()),
      send_queue_empty_(std::make_shared<std::atomic<bool>>(true)),
      sent_wanted_(std::make_shared<std::atomic<bool>>(false)) {
  qRegisterMetaType<velmo::ReceivedChunk>();
}

SerialPort::~SerialPort() { ClosePort(); }

bool SerialPort::isOpen() const { return impl_->session != nullptr; }

QString SerialPort::lastOpenErrorDetail() const { return impl_->last_open_error; }

void SerialPort::OpenPort() {
  if (isOpen()) throw ECommsError(comms_text::kAlreadyOpen);
  impl_->last_open_error.clear();
  auto fail = [this](const char* text, const QString& why) {
    impl_->last_open_error = CommName + QStringLiteral(": ") + why;
    throw ECommsError(text);
  };
  auto errno_text = [] { return QString::fromLocal8Bit(std::strerror(errno)); };

  const int fd = ::open(CommName.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) fail(comms_text::kOpenFailed, errno_text());
  DeviceGuard guard(fd);
  if (!isatty(fd)) fail(comms_text::kNotCommHandle, QStringLiteral("not a serial device"));
  // TIOCEXCL keeps other openers out, but not root; the lock covers that.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    fail(comms_text::kOpenFailed,
         errno == EWOULDBLOCK ? QStringLiteral("in use by another program") : errno_text());
  }
  if (ioctl(fd, TIOCEXCL) != 0) fail(comms_text::kOpenFailed, errno_text());
  guard.markExclusive();

  tcflush(fd, flush_queues());
  send_queue_empty_->store(true);
  try {
    apply_line_settings(fd, *this);
  } catch (const ECommsError&) {
    fail(comms_text::kSettingsRefused, QStringLiteral("the device refuses these line settings"));
  }

  // A fresh id even for a failed attempt, so nothing it posted is taken later.
  const uint64_t id = ++impl_->session_id;
  auto session = std::make_shared<detail::PortSession>(guard.release(), id, this, send_queue_empty_, sent_wanted_);
  if (!session->createCloseEvent()) fail(comms_text::kNoEvent, errno_text());
  session->interval_ms = ReadIntervalTimeout;
  session->complete_reply_ends_chunk = CompleteReplyEndsChunk;
  if (VirtualClock* timeline = virtual_clock()) {
    char device[PATH_MAX];
    const QByteArray name = CommName.toLocal8Bit();
    session->keep_time(timeline, timeline->traffic(realpath(name.constData(), device) ? device : name.constData()));
  }

  try {
    impl_->reader.start([session] { session->readerLoop(); });
  } catch (const std::system_error&) {
    fail(comms_text::kNoReadThread, QStringLiteral("no thread"));
  }
  session->writer_running = true;
  try {
    impl_->writer.start([session] { session->writerLoop(); });
  } catch (const std::system_error&) {
    session->writer_running = false;
    session->requestClose();
    impl_->reader.stop();
    fail(comms_text::kNoWriteThread, QStringLiteral("no thread"));
  }
  impl_->session = std::move(session);
  if (QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance(thread()); loop && !virtual_clock()) {
    impl_->reply_watch = std::make_unique<QSocketNotifier>(impl_->session->fd(), QSocketNotifier::Read);
    impl_->reply_watch->setEnabled(false);
    connect(impl_->reply_watch.get(), &QSocketNotifier::activated, this, [this] {
      // Nothing read, or a failed line: the reader tells which, and a watch
      // on a line that stays readable without data would never sleep.
      if (!impl_->session->readForWaiter()) impl_->hand_back();
    });
    impl_->before_sleep = connect(loop, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
      if (impl_->reply_watch->isEnabled() && !impl_->reply_awaited) impl_->hand_back();
    });
  }
}

void SerialPort::ClosePort() {
  if (!impl_->session) return;
  disconnect(impl_->before_sleep);
  impl_->reply_watch.reset();  // before its descriptor goes
  impl_->reply_awaited = false;
  std::shared_ptr<detail::PortSession> session = std::move(impl_->session);
  session->requestClose();
  tcflush(session->fd(), flush_queues());
  impl_->reader.stop();
  impl_->writer.stop();
  session->stop_counting();
  send_queue_empty_->store(true);
  // Notices of this session still queued are dropped on arrival (see event()).
}

void SerialPort::ApplyCommState() {
  if (!impl_->session) return;
  apply_line_settings(impl_->session->fd(), *this);
}

void SerialPort::ApplyCommTimeouts() {
  if (!impl_->session) return;
  impl_->session->interval_ms = ReadIntervalTimeout;
  impl_->session->complete_reply_ends_chunk = CompleteReplyEndsChunk;
}

bool SerialPort::FlushInput() {
  if (!impl_->session) return false;
  impl_->session->flushInput();
  return true;
}

bool SerialPort::SendBytes(const uint8_t* buffer, uint16_t length) {
  if (!impl_->session || length == 0 || buffer == nullptr) return false;
  return impl_->session->enqueue(QByteArray(reinterpret_cast<const char*>(buffer), length));
}

void SerialPort::awaitReply(bool awaited) {
  if (!impl_->reply_watch) return;
  impl_->reply_awaited = awaited;
  if (awaited && !impl_->reply_watch->isEnabled()) {
    impl_->session->setWaiterReads(true);
    impl_->reply_watch->setEnabled(true);
  }
}

void SerialPort::connectNotify(const QMetaMethod& signal) {
  if (signal == QMetaMethod::fromSignal(&SerialPort::sendDataEmpty)) sent_wanted_->store(true);
}

bool SerialPort::event(QEvent* e) {
  if (e->type() != detail::PortEvent::eventType()) return QObject::event(e);
  auto* notice = static_cast<detail::PortEvent*>(e);
  if (!impl_->session || notice->session_id != impl_->session_id) return true;  // from a closed session
  // Taken before anything runs: a handler may wait on the timeline.
  notice->taken();
  switch (notice->kind) {
    case detail::PortEvent::Kind::Data:
      emit receiveData(notice->chunk);
      break;
    case detail::PortEvent::Kind::Hangup: emit requestHangup(); break;
    case detail::PortEvent::Kind::Sent: emit sendDataEmpty(); break;
  }
  return true;
}

}  // namespace velmo
