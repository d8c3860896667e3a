#pragma once
#include <QByteArray>
#include <QEvent>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include <sys/types.h>

#include "link/serial_port.h"

namespace velmo {
class VirtualClock;
struct LineTraffic;
}  // namespace velmo

namespace velmo::detail {

// What the port threads hand to the GUI thread, as one posted event type.
class PortEvent : public QEvent {
 public:
  enum class Kind { Data, Hangup, Sent };
  PortEvent(Kind kind, uint64_t session_id);
  ~PortEvent() override;
  static QEvent::Type eventType();
  // On a virtual clock a notice holds time still until the GUI thread
  // takes it (or the event is dropped).
  void hand_over(VirtualClock* clock);
  void taken();

  Kind kind;
  uint64_t session_id;
  ReceivedChunk chunk;

 private:
  VirtualClock* handed_to_ = nullptr;
};

// Everything one open port shares between the GUI thread, the reader and the
// writer. Held by shared pointers, so a thread that outlives a bounded close
// never touches freed memory; the device is closed when the last holder lets go.
class PortSession {
 public:
  PortSession(int fd, uint64_t id, QObject* receiver, std::shared_ptr<std::atomic<bool>> queue_empty);
  ~PortSession();  // releases exclusive use, closes the device and the close pipe
  PortSession(const PortSession&) = delete;
  PortSession& operator=(const PortSession&) = delete;

  // Creates the close pipe: once written, it stays readable for both threads.
  bool createCloseEvent();
  // Stops both threads: no more notices reach the receiver after this.
  void requestClose();

  int fd() const { return fd_; }

  // Chunk timing, changed by the GUI thread while the reader runs.
  std::atomic<uint32_t> interval_ms{100};
  std::atomic<bool> complete_reply_ends_chunk{true};

  // Writer side. When nothing is queued or being written, the caller's thread
  // writes what the line takes at once; only a remainder goes to the writer.
  bool enqueue(QByteArray bytes);
  std::atomic<bool> writer_running{false};

  // Input flush: bumps the flush count under the read lock so the reader
  // never glues bytes read after the flush to a chunk begun before it.
  void flushInput();

  // Data chunks handed to the receiver so far: lets a thread that waits for
  // a reply see it coming before the posted event wakes it.
  std::atomic<uint64_t> chunks_posted{0};

  void readerLoop();
  void writerLoop();

  // On a virtual clock: the line's byte counters, whose reply side this
  // session opens and closes.
  void keep_time(VirtualClock* clock, std::shared_ptr<LineTraffic> traffic);
  void stop_counting();

 private:
  void post(PortEvent* event);
  void postHangup();
  void deliver(QByteArray& held, int64_t first_byte_ns);
  bool writeWhole(const QByteArray& block);
  ssize_t write_counted(const char* bytes, size_t length);

  const int fd_;
  const uint64_t id_;
  int close_pipe_[2] = {-1, -1};

  std::mutex post_mutex_;
  QObject* receiver_;  // guarded by post_mutex_; null once closing
  std::atomic<bool> hangup_posted_{false};

  std::mutex read_mutex_;
  uint64_t flush_count_ = 0;  // guarded by read_mutex_

  std::mutex queue_mutex_;
  std::condition_variable queue_cv_;
  std::deque<QByteArray> queue_;  // guarded by queue_mutex_
  bool stopping_ = false;         // guarded by queue_mutex_
  bool writing_ = false;          // guarded by queue_mutex_: the writer holds a block
  std::shared_ptr<std::atomic<bool>> queue_empty_;

  VirtualClock* clock_ = nullptr;
  std::shared_ptr<LineTraffic> traffic_;
};

}  // namespace velmo::detail
