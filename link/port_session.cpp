#include "link/port_session.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "link/modbus_frame.h"
#include "link/poll_sleeper.h"
#include "link/virtual_clock.h"

namespace velmo::detail {
namespace {

constexpr int kChunkLimit = 2048;
constexpr int64_t kNsPerMs = 1'000'000;
// Wake-ups in a row that find nothing to read before the line counts as gone
// (a driver that keeps signalling input it never delivers).
constexpr int kEmptyReadsLimit = 1000;

}  // namespace

PortEvent::PortEvent(Kind k, uint64_t id) : QEvent(eventType()), kind(k), session_id(id) {}

PortEvent::~PortEvent() { taken(); }

void PortEvent::hand_over(VirtualClock* clock) {
  if (!clock) return;
  handed_to_ = clock;
  clock->hand_to_program();
}

void PortEvent::taken() {
  if (handed_to_) std::exchange(handed_to_, nullptr)->taken_by_program();
}

QEvent::Type PortEvent::eventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

PortSession::PortSession(int fd, uint64_t id, QObject* receiver, std::shared_ptr<std::atomic<bool>> queue_empty,
                         std::shared_ptr<std::atomic<bool>> sent_wanted)
    : fd_(fd),
      id_(id),
      receiver_(receiver),
      queue_empty_(std::move(queue_empty)),
      sent_wanted_(std::move(sent_wanted)) {}

PortSession::~PortSession() {
  ioctl(fd_, TIOCNXCL);
  ::close(fd_);  // also drops the flock
  for (int end : close_pipe_) {
    if (end >= 0) ::close(end);
  }
  if (reader_poke_ >= 0) ::close(reader_poke_);
}

bool PortSession::createCloseEvent() {
  reader_poke_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return reader_poke_ >= 0 && pipe2(close_pipe_, O_CLOEXEC | O_NONBLOCK) == 0;
}

void PortSession::pokeReader() {
  const uint64_t one = 1;
  (void)!::write(reader_poke_, &one, sizeof one);
}

void PortSession::requestClose() {
  {
    std::lock_guard lock(post_mutex_);
    receiver_ = nullptr;
  }
  {
    std::lock_guard lock(queue_mutex_);
    stopping_ = true;
  }
  queue_cv_.notify_all();
  const char byte = 1;
  if (close_pipe_[1] >= 0) (void)!::write(close_pipe_[1], &byte, 1);
}

void PortSession::post(PortEvent* event) {
  // On a virtual clock every notice holds time still until the GUI thread
  // has taken it (or dropped it).
  event->hand_over(clock_);
  std::lock_guard lock(post_mutex_);
  if (receiver_) {
    QCoreApplication::postEvent(receiver_, event);
  } else {
    delete event;
  }
}

void PortSession::postHangup() {
  // The reader and the writer may both see the same failure: report it once.
  if (!hangup_posted_.exchange(true)) post(new PortEvent(PortEvent::Kind::Hangup, id_));
  // Handed over (or dropped by a closing port): the notice holds time now.
  if (traffic_) traffic_->hangup_unseen.store(false);
}

void PortSession::postSent() {
  if (sent_wanted_->load()) post(new PortEvent(PortEvent::Kind::Sent, id_));
}

void PortSession::deliver(QByteArray& held, int64_t first_byte_ns) {
  if (held.isEmpty()) return;
  auto* event = new PortEvent(PortEvent::Kind::Data, id_);
  event->chunk.bytes = std::move(held);
  event->chunk.first_byte_ns = first_byte_ns;
  held = QByteArray();
  post(event);
}

void PortSession::flushInput() {
  std::lock_guard lock(read_mutex_);
  // Read, not flushed: whoever holds the port, what waited goes out with
  // anything held, begun before the request, and the line's counters (on a
  // virtual clock) see every byte.
  if (readWaiting() > 0) reads_by_others_.fetch_add(1);
  deliver(held_, first_ns_);
}

void PortSession::keep_time(VirtualClock* clock, std::shared_ptr<LineTraffic> traffic) {
  clock_ = clock;
  traffic_ = std::move(traffic);
  if (!traffic_) return;
  traffic_->drop_replies();
  traffic_->hangup_unseen.store(false);
  traffic_->program_open.store(true);
}

void PortSession::stop_counting() {
  if (!traffic_) return;
  traffic_->program_open.store(false);
  traffic_->hangup_unseen.store(false);
}

ssize_t PortSession::readOnce(int& error) {
  char buffer[kChunkLimit];
  const ssize_t count = ::read(fd_, buffer, kChunkLimit - held_.size());
  error = errno;
  if (count > 0) hold(buffer, count, monotonic_ns());
  return count;
}

ssize_t PortSession::readWaiting() {
  ssize_t total = 0;
  int error = 0;
  // Bounded: a line that keeps sending leaves the rest to the next turn.
  for (int k = 0; k < 8; ++k) {
    const ssize_t count = readOnce(error);
    if (count <= 0) break;
    total += count;
  }
  return total;
}

void PortSession::hold(const char* bytes, ssize_t count, int64_t read_ns) {
  if (traffic_) traffic_->replies_read.fetch_add(count);
  if (held_.isEmpty()) first_ns_ = read_ns;
  last_ns_ = read_ns;
  held_.append(bytes, count);
  const auto* held = reinterpret_cast<const uint8_t*>(held_.constData());
  if (held_.size() >= kChunkLimit ||
      (complete_reply_ends_chunk.load() && is_complete_reply(held, static_cast<size_t>(held_.size())))) {
    deliver(held_, first_ns_);
  }
}

int64_t PortSession::endSilentChunk() {
  std::lock_guard lock(read_mutex_);
  if (held_.isEmpty()) return VirtualClock::kNever;
  const int64_t interval = static_cast<int64_t>(interval_ms.load()) * kNsPerMs;
  if (monotonic_ns() < last_ns_ + interval) return last_ns_ + interval;
  // Silent since the last read, or only unread? A waiting thread busy with
  // something else leaves bytes in the kernel: they were on the line.
  readWaiting();
  if (held_.isEmpty()) return VirtualClock::kNever;
  if (monotonic_ns() < last_ns_ + interval) return last_ns_ + interval;
  deliver(held_, first_ns_);
  return VirtualClock::kNever;
}

void PortSession::setWaiterReads(bool reads) {
  if (reads) {
    PortOwner expected = PortOwner::Reader;
    owner_.compare_exchange_strong(expected, PortOwner::Waiter);
    return;
  }
  if (owner_.exchange(PortOwner::Reader) == PortOwner::WaiterAlone) pokeReader();
}

bool PortSession::standAsideIfAsked() {
  // One exchange decides: a port handed back after this finds WaiterAlone and wakes the reader.
  PortOwner seen = PortOwner::Waiter;
  if (owner_.compare_exchange_strong(seen, PortOwner::WaiterAlone)) return true;
  return seen != PortOwner::Reader;
}

bool PortSession::readForWaiter() {
  int error = 0;
  bool still_held = false;
  {
    std::lock_guard lock(read_mutex_);
    if (readOnce(error) <= 0) return false;
    reads_by_others_.fetch_add(1);
    still_held = !held_.isEmpty();
  }
  // The reader sleeps without a deadline when it held nothing: the silence
  // that ends these bytes is its to wait for.
  if (still_held) pokeReader();
  return true;
}

void PortSession::readerLoop() {
  // Named, so that a measurement of the program can tell it from the others.
  pthread_setname_np(pthread_self(), "velmo-reader");
  int empty_reads = 0;
  PollSleeper sleeper(VirtualClock::kReader);

  for (;;) {
    const int64_t deadline = endSilentChunk();
    const bool aside = standAsideIfAsked();
    const uint64_t others_before = reads_by_others_.load();
    // poll() skips a negative descriptor: aside, the port is left out.
    pollfd fds[4] = {{aside ? -1 : fd_, POLLIN, 0},
                     {close_pipe_[0], POLLIN, 0},
                     {sleeper.fd(), POLLIN, 0},
                     {reader_poke_, POLLIN, 0}};
    const int ready = poll(fds, 4, poll_ms(sleeper.before_poll(deadline)));
    sleeper.after_poll(ready > 0 && fds[2].revents != 0);
    if (ready < 0) {
      if (errno == EINTR) continue;
      postHangup();
      return;
    }
    if (fds[1].revents != 0) return;  // closing: held bytes are of no use any more
    if (fds[3].revents != 0) {
      uint64_t pokes = 0;
      (void)!::read(reader_poke_, &pokes, sizeof pokes);
    }
    // Silence, the clock or a poke: the deadline and the port's owner are looked at again.
    if (fds[0].revents == 0) continue;
    if (fds[0].revents & POLLNVAL) return;
    // Woken by bytes the waiting thread now reads: it was given the port meanwhile.
    if (owner_.load() != PortOwner::Reader) continue;

    int error = 0;
    ssize_t count;
    {
      std::lock_guard lock(read_mutex_);
      count = readOnce(error);
    }
    if (count > 0) {
      empty_reads = 0;
      continue;
    }
    const bool line_gone = (fds[0].revents & (POLLHUP | POLLERR)) != 0;
    // With VMIN and VTIME at 0 a read of nothing returns 0, not EAGAIN: bytes
    // flushed between the wake-up, or read by the waiting thread before it
    // handed the port back, leave exactly that. A line that is gone says so
    // with a hang-up or an error.
    const bool nothing = count == 0 || error == EAGAIN || error == EINTR;
    if (nothing && !line_gone) {
      // Only the reader's own empty reads count: bytes another thread took
      // since the wake-up show a line that delivers.
      if (reads_by_others_.load() != others_before) {
        empty_reads = 0;
        continue;
      }
      if (++empty_reads < kEmptyReadsLimit) continue;
    }
    // End of file, an I/O error or a hung-up line: nothing more will come.
    {
      std::lock_guard lock(read_mutex_);
      deliver(held_, first_ns_);
    }
    postHangup();
    return;
  }
}

bool PortSession::enqueue(QByteArray bytes) {
  std::lock_guard lock(queue_mutex_);
  if (stopping_ || !writer_running.load()) return false;
  if (queue_.empty() && !writing_) {
    // Nothing ahead of these bytes: writing them here spares a thread
    // hand-off on every request. The descriptor is non-blocking, so a full
    // line only leaves a remainder for the writer.
    qsizetype offset = 0;
    while (offset < bytes.size()) {
      const ssize_t written = write_counted(bytes.constData() + offset, static_cast<size_t>(bytes.size() - offset));
      if (written > 0) {
        offset += written;
      } else if (written < 0 && errno == EINTR) {
        continue;
      } else if (written < 0 && errno != EAGAIN) {
        postHangup();
        return false;
      } else {
        break;
      }
    }
    if (offset == bytes.size()) {
      postSent();
      return true;
    }
    bytes.remove(0, offset);
  }
  if (traffic_) traffic_->requests_queued.fetch_add(bytes.size());
  queue_.push_back(std::move(bytes));
  queue_empty_->store(false);
  queue_cv_.notify_one();
  return true;
}

ssize_t PortSession::write_counted(const char* bytes, size_t length) {
  if (!traffic_) return ::write(fd_, bytes, length);
  // Counted before the line can carry them, so time waits until the far end
  // has read them; what the line did not take is taken back.
  const auto asked = static_cast<int64_t>(length);
  traffic_->requests_written.fetch_add(asked);
  const ssize_t written = ::write(fd_, bytes, length);
  traffic_->requests_written.fetch_sub(written > 0 ? asked - written : asked);
  return written;
}

bool PortSession::writeWhole(const QByteArray& block) {
  qsizetype offset = 0;
  while (offset < block.size()) {
    const ssize_t written = write_counted(block.constData() + offset, static_cast<size_t>(block.size() - offset));
    if (written > 0) {
      offset += written;
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno != EAGAIN) {
      postHangup();
      return false;
    }
    // Output buffer full: wait until it drains or the port closes.
    pollfd fds[2] = {{fd_, POLLOUT, 0}, {close_pipe_[0], POLLIN, 0}};
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      postHangup();
      return false;
    }
    if (fds[1].revents != 0 || (fds[0].revents & POLLNVAL)) return false;
    if (fds[0].revents & (POLLHUP | POLLERR)) {
      postHangup();
      return false;
    }
  }
  return true;
}

void PortSession::writerLoop() {
  for (;;) {
    QByteArray block;
    {
      std::unique_lock lock(queue_mutex_);
      queue_cv_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) break;
      block = std::move(queue_.front());
      queue_.pop_front();
      writing_ = true;
    }
    const bool whole = writeWhole(block);
    if (traffic_) traffic_->requests_queued.fetch_sub(block.size());
    if (!whole) break;
    bool idle;
    {
      std::lock_guard lock(queue_mutex_);
      idle = queue_.empty();
      writing_ = false;
      if (idle) queue_empty_->store(true);
    }
    if (idle) postSent();
  }
  std::lock_guard lock(queue_mutex_);
  writer_running.store(false);
  writing_ = false;
  if (traffic_) {
    for (const QByteArray& left : queue_) traffic_->requests_queued.fetch_sub(left.size());
  }
  queue_.clear();
  queue_empty_->store(true);
}

}  // namespace velmo::detail
