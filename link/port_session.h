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

// Who reads the port, as the reader and the waiting thread see it.
enum class PortOwner : uint8_t {
  // The reader polls the port and reads it. Always so while no reply is awaited.
  Reader,
  // The thread that waits for a reply reads the port in its event loop; the
  // reader has not yet left the port out of its poll, and a wake-up it gets
  // from the port is ignored.
  Waiter,
  // As Waiter, and the reader sleeps without the port: handing the port back
  // must wake it.
  WaiterAlone,
};

// Everything one open port shares between the GUI thread, the reader and the
// writer. Held by shared pointers, so a thread that outlives a bounded close
// never touches freed memory; the device is closed when the last holder lets go.
//
// Who reads the port (the one rule; owner_ holds the state):
//  - The reader thread reads it (Reader), except while the GUI thread waits
//    for a reply: then that thread reads it from its own event loop, so the
//    reply wakes one thread, not two (Waiter, then WaiterAlone once the
//    reader has stood aside). It takes the port when a reply is awaited and
//    hands it back when its loop is about to sleep with none awaited, or when
//    its read finds nothing or fails (the reader then tells a hang-up from
//    nothing and reports it).
//  - Whoever reads, it reads under read_mutex_ into the one held chunk, by
//    the same rules: a chunk ends on a complete reply, at the 2048-byte
//    limit, or after the interval of silence on the line. The silence
//    deadline is always the reader's to keep, and before it ends a chunk
//    for silence it reads what waits in the kernel: bytes there were on the
//    line, so a busy GUI thread never cuts a reply. Silence counts from the
//    read that found the last bytes, never earlier than they arrived.
//  - An input flush, in any state, reads what waits and reports it with
//    anything held as one chunk begun before the request: a stray, never
//    dropped unseen.
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

  // Input flush: what waits is read and goes out with anything held as one
  // chunk, so nothing read after it is glued to bytes from before it.
  void flushInput();

  void readerLoop();
  // The waiting thread takes the port (Reader -> Waiter) or hands it back
  // (-> Reader, waking a reader that stood aside). readForWaiter is its read,
  // under the same lock into the same chunk; false when it found nothing or
  // the line failed: the caller then hands the port back.
  void setWaiterReads(bool reads);
  bool readForWaiter();
  PortOwner owner() const { return owner_.load(); }
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
  // One read into the held chunk. Returns read()'s count, with its errno in
  // error. Called with read_mutex_ held.
  ssize_t readOnce(int& error);
  // Reads until nothing waits; returns the bytes read. Called with read_mutex_ held.
  ssize_t readWaiting();
  // Adds bytes read (at read_ns) to the held chunk, which ends when
  // complete or full. Called with read_mutex_ held.
  void hold(const char* bytes, ssize_t count, int64_t read_ns);
  void pokeReader();
  // The reader's turn before it sleeps: leaves the port to a waiting thread
  // that took it. True when the port is not the reader's.
  bool standAsideIfAsked();
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
  // The chunk being read, by whoever reads the port.
  QByteArray held_;           // guarded by read_mutex_
  int64_t first_ns_ = 0;      // guarded by read_mutex_
  int64_t last_ns_ = 0;       // guarded by read_mutex_
  std::atomic<PortOwner> owner_{PortOwner::Reader};
  // Reads of bytes by another thread than the reader (the waiting thread, a
  // flush): an empty read of the reader after one of them is not its own.
  std::atomic<uint64_t> reads_by_others_{0};
  // Wakes the reader: the port is handed back, or bytes the waiting thread
  // left held start a silence deadline.
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
