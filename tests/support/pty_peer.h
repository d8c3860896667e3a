#pragma once
// A scripted other end of a serial line for link tests: a pseudo-terminal
// whose slave the program opens, and whose master the test reads and writes.
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

#include "link/modbus_frame.h"

namespace velmo::testing {

using Bytes = std::vector<uint8_t>;

// Opens a pty pair in raw mode; the slave stays open too, so the master never
// reads EIO while the program re-opens the port.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master_);
    unlockpt(master_);
    path_ = ptsname(master_);
    keep_slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(keep_slave_, &t);
    cfmakeraw(&t);
    tcsetattr(keep_slave_, TCSANOW, &t);
  }
  ~Pty() {
    if (keep_slave_ >= 0) ::close(keep_slave_);
    if (master_ >= 0) ::close(master_);
  }
  const std::string& path() const { return path_; }
  int master() const { return master_; }
  // Bytes written by the master that no reader of the slave has taken yet.
  int input_pending() const {
    int n = 0;
    ioctl(keep_slave_, FIONREAD, &n);
    return n;
  }
  void write_bytes(const Bytes& b) const {
    size_t done = 0;
    while (done < b.size()) {
      ssize_t n = ::write(master_, b.data() + done, b.size() - done);
      if (n > 0) done += static_cast<size_t>(n);
    }
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
