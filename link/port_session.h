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
  PortSession(int fd, uint64_t id, QObject* receiver, std::shared_ptr<std::atomic<bool>> queue_empty,
              std::shared_ptr<std::atomic<bool>> sent_wanted);
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
  // While the receiver reads the port, what waits is read and reported
  // instead: nobody else has read it.
  void flushInput();

  void readerLoop();
  // While the receiver waits for a reply it may read the port itself, and
  // the reader leaves the port to it: one thread wakes for a reply, not
  // two. Handing the port back wakes the reader. readForWaiter is the
  // reader's read, under the same lock, into the same chunk; false when it
  // found nothing or the line failed (the port goes back to the reader,
  // which tells which).
  void setWaiterReads(bool reads);
  bool readForWaiter();
  void writerLoop();

  // On a virtual clock: the line's byte counters, whose reply side this
  // session opens and closes.
  void keep_time(VirtualClock* clock, std::shared_ptr<LineTraffic> traffic);
  void stop_counting();

 private:
  void post(PortEvent* event);
  void postHangup();
  void postSent();
  void deliver(QByteArray& held, int64_t first_byte_ns);
  // One read into the held chunk, which ends when complete or full. Returns
  // read()'s count, with its errno in error. For the receiver's read,
  // waiter_left_held says whether bytes stay held.
  ssize_t readSome(int& error, bool* waiter_left_held = nullptr);
  // Adds bytes read (at read_ns) to the held chunk, which ends when
  // complete or full. Called with read_mutex_ held.
  void hold(const char* bytes, ssize_t count, int64_t read_ns);
  void pokeReader();
  // Ends a held chunk whose line has been silent for the interval; returns
  // when the one still held times out (kNever: none held).
  int64_t endSilentChunk();
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
  // The chunk being read, by the reader or the waiting receiver.
  QByteArray held_;           // guarded by read_mutex_
  int64_t first_ns_ = 0;      // guarded by read_mutex_
  int64_t last_ns_ = 0;       // guarded by read_mutex_
  uint64_t seen_flush_ = 0;   // guarded by read_mutex_
  // Whether the waiting receiver reads the port, and whether the reader has
  // left it out of its poll for that.
  std::atomic<bool> waiter_reading_{false};
  std::atomic<bool> reader_aside_{false};
  // Wakes the reader: the port is handed back, or bytes the receiver left
  // held start a silence deadline.
  int reader_poke_ = -1;

  std::mutex queue_mutex_;
  std::condition_variable queue_cv_;
  std::deque<QByteArray> queue_;  // guarded by queue_mutex_
  bool stopping_ = false;         // guarded by queue_mutex_
  bool writing_ = false;          // guarded by queue_mutex_: the writer holds a block
  std::shared_ptr<std::atomic<bool>> queue_empty_;
  std::shared_ptr<std::atomic<bool>> sent_wanted_;  // post Sent notices only when true

  VirtualClock* clock_ = nullptr;
  std::shared_ptr<LineTraffic> traffic_;
};

}  // namespace velmo::detail
