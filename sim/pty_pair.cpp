#include "sim/pty_pair.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace velmo::sim {
namespace {

[[noreturn]] void fail(const char* what) {
  throw std::runtime_error(std::string("pty: ") + what + ": " + std::strerror(errno));
}

}  // namespace

PtyPair::PtyPair() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) fail("posix_openpt");
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
    ::close(master_);
    fail("grantpt/unlockpt");
  }
  char name[128];
  if (ptsname_r(master_, name, sizeof name) != 0) {
    ::close(master_);
    fail("ptsname");
  }
  slave_path_ = name;
  slave_keep_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (slave_keep_ < 0) {
    ::close(master_);
    fail("open slave");
  }
  // Raw on the slave: the bytes the program writes reach the master untouched
  // and our replies are not echoed back to us.
  termios tio{};
  if (tcgetattr(slave_keep_, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetispeed(&tio, B38400);
    cfsetospeed(&tio, B38400);
    tcsetattr(slave_keep_, TCSANOW, &tio);
  }
  const int flags = fcntl(master_, F_GETFL);
  fcntl(master_, F_SETFL, flags | O_NONBLOCK);
}

PtyPair::~PtyPair() {
  close_master();
  if (slave_keep_ >= 0) ::close(slave_keep_);
}

void PtyPair::close_master() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

}  // namespace velmo::sim
