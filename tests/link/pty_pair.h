#pragma once
#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

namespace velmo::testing {

// A pseudo terminal: the test keeps the master, the port under test opens the
// slave by its path.
class PtyPair {
 public:
  PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) slave_ = QString::fromLocal8Bit(ptsname(master_));
  }
  ~PtyPair() { closeMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool ok() const { return master_ >= 0 && !slave_.isEmpty(); }
  int master() const { return master_; }
  const QString& slave() const { return slave_; }

  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  bool write(const std::vector<uint8_t>& bytes) { return write(bytes.data(), bytes.size()); }
  bool write(const uint8_t* bytes, size_t length) {
    size_t done = 0;
    while (done < length) {
      const ssize_t n = ::write(master_, bytes + done, length - done);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  // Reads until `count` bytes came or the generous bound passed.
  QByteArray read(size_t count, int bound_ms = 10000) {
    QByteArray got;
    while (static_cast<size_t>(got.size()) < count) {
      pollfd fd{master_, POLLIN, 0};
      if (poll(&fd, 1, bound_ms) <= 0) break;
      char buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      got.append(buffer, n);
    }
    return got;
  }

 private:
  int master_ = -1;
  QString slave_;
};

}  // namespace velmo::testing
