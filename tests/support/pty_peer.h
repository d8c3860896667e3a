#pragma once
// A scripted other end of a serial line for link tests: a pseudo-terminal
// whose slave the program opens, and whose master the test reads and writes.
#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/modbus_crc.h"
#include "link/modbus_frame.h"

namespace velmo::testing {

using Bytes = std::vector<uint8_t>;

// The frame with its CRC appended.
inline Bytes with_crc(Bytes frame) {
  frame.resize(frame.size() + 2);
  append_crc(frame.data(), frame.size() - 2);
  return frame;
}

// A pseudo terminal: the test keeps the master, the code under test opens the
// slave by its path. With keep_slave the slave stays open too (raw), so the
// master never reads EIO while the program re-opens the port.
class Pty {
 public:
  explicit Pty(bool keep_slave = true) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    path_ = ptsname(master_);
    if (!keep_slave) return;
    keep_slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(keep_slave_, &t);
    cfmakeraw(&t);
    tcsetattr(keep_slave_, TCSANOW, &t);
  }
  ~Pty() {
    if (keep_slave_ >= 0) ::close(keep_slave_);
    close_master();
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool ok() const { return master_ >= 0 && !path_.empty(); }
  const std::string& path() const { return path_; }
  QString slave() const { return QString::fromStdString(path_); }
  int master() const { return master_; }
  void close_master() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  // Bytes written by the master that no reader of the slave has taken yet.
  // The kernel passes written bytes on to the slave's input from a worker;
  // a poll of the slave waits for that, so none is still on its way.
  int input_pending() const {
    pollfd settle{keep_slave_, POLLIN, 0};
    ::poll(&settle, 1, 0);
    int n = 0;
    ioctl(keep_slave_, FIONREAD, &n);
    return n;
  }
  bool write_bytes(const Bytes& b) const { return write_bytes(b.data(), b.size()); }
  bool write_bytes(const uint8_t* bytes, size_t length) const {
    size_t done = 0;
    while (done < length) {
      const ssize_t n = ::write(master_, bytes + done, length - done);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  // Reads until `count` bytes came or the generous bound passed.
  QByteArray read(size_t count, int bound_ms = 10000) const {
    QByteArray got;
    while (static_cast<size_t>(got.size()) < count) {
      pollfd fd{master_, POLLIN, 0};
      if (::poll(&fd, 1, bound_ms) <= 0) break;
      char buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      got.append(buffer, n);
    }
    return got;
  }

 private:
  int master_ = -1;
  int keep_slave_ = -1;
  std::string path_;
};

// Answers each request the program sends with what the script returns.
class ScriptedPeer {
 public:
  // script(request) -> reply bytes (empty: stay silent); delay before the reply.
  using Script = std::function<Bytes(const Bytes& request)>;

  explicit ScriptedPeer(Script script) : script_(std::move(script)) {
    thread_ = std::thread([this] { run(); });
  }
  ~ScriptedPeer() {
    stop_ = true;
    thread_.join();
  }
  const std::string& path() const { return pty_.path(); }
  const Pty& pty() const { return pty_; }
  std::vector<Bytes> requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  std::atomic<int> reply_delay_ms{0};

 private:
  void run() {
    Bytes held;
    while (!stop_) {
      pollfd p{pty_.master(), POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) continue;
      uint8_t buf[512];
      ssize_t n = ::read(pty_.master(), buf, sizeof buf);
      if (n <= 0) continue;
      held.insert(held.end(), buf, buf + n);
      for (;;) {
        size_t want = expected_request_length(held.data(), held.size());
        if (want == 0 || held.size() < want) break;
        Bytes request(held.begin(), held.begin() + static_cast<long>(want));
        held.erase(held.begin(), held.begin() + static_cast<long>(want));
        {
          std::lock_guard<std::mutex> lock(mutex_);
          requests_.push_back(request);
        }
        Bytes reply = script_(request);
        if (reply_delay_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(reply_delay_ms.load()));
        if (!reply.empty()) pty_.write_bytes(reply);
      }
    }
  }

  Pty pty_;
  Script script_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<Bytes> requests_;
  std::thread thread_;
};

// Copies bytes both ways between the masters of two ptys, so two programs that
// each open a serial device path talk to each other.
class PtyBridge {
 public:
  PtyBridge() {
    thread_ = std::thread([this] { run(); });
  }
  ~PtyBridge() {
    stop_ = true;
    thread_.join();
  }
  const std::string& left() const { return a_.path(); }
  const std::string& right() const { return b_.path(); }

 private:
  void run() {
    while (!stop_) {
      pollfd p[2] = {{a_.master(), POLLIN, 0}, {b_.master(), POLLIN, 0}};
      if (::poll(p, 2, 10) <= 0) continue;
      uint8_t buf[512];
      for (int k = 0; k < 2; ++k) {
        if (!(p[k].revents & POLLIN)) continue;
        ssize_t n = ::read(p[k].fd, buf, sizeof buf);
        if (n > 0) (k == 0 ? b_ : a_).write_bytes(Bytes(buf, buf + n));
      }
    }
  }
  Pty a_, b_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace velmo::testing
