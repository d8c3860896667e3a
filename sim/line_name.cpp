#include "sim/line_name.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace velmo::sim {
namespace {

std::string link_target(const std::string& link) {
  char target[PATH_MAX];
  const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

std::string read_all(int fd) {
  std::string text;
  char chunk[256];
  ssize_t n;
  while ((n = pread(fd, chunk, sizeof chunk, static_cast<off_t>(text.size()))) > 0) text.append(chunk, n);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
  return text;
}

}  // namespace

LineName::LineName(const std::string& folder, const std::string& name, const std::string& pty) : pty_(pty) {
  if (folder.empty() || name.empty() || name.find('/') != std::string::npos) return;
  lock_path_ = folder + "/." + name + ".lock";
  link_ = folder + "/" + name;
  if (!take_lock()) return;
  outcome_ = publish();
}

LineName::~LineName() {
  if (outcome_ == Outcome::Published && link_target(link_) == pty_) unlink(link_.c_str());
  // Removed while still held: a line that opened the old file before this
  // finds it gone from the folder once it has the lock, and opens it afresh.
  if (lock_fd_ >= 0) {
    unlink(lock_path_.c_str());
    close(lock_fd_);
  }
}

bool LineName::take_lock() {
  for (int attempt = 0; attempt < 8; ++attempt) {
    const int fd = open(lock_path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) {
        holder_ = read_all(fd);
        outcome_ = Outcome::InUse;
      }
      close(fd);
      return false;
    }
    // The file may have been removed by the line that held it between the
    // open and the lock; the lock then guards nothing.
    struct stat held{}, named{};
    if (fstat(fd, &held) == 0 && stat(lock_path_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      lock_fd_ = fd;
      const std::string who = "pid " + std::to_string(getpid()) + ", " + pty_ + "\n";
      if (ftruncate(fd, 0) != 0 || pwrite(fd, who.data(), who.size(), 0) != static_cast<ssize_t>(who.size()))
        holder_.clear();  // the lock holds all the same; only the message would lack its details
      return true;
    }
    close(fd);
  }
  return false;
}

LineName::Outcome LineName::publish() {
  struct stat st{};
  if (lstat(link_.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) return Outcome::Failed;  // not ours to remove
    unlink(link_.c_str());  // left by a line that ended without removing it
  }
  return symlink(pty_.c_str(), link_.c_str()) == 0 ? Outcome::Published : Outcome::Failed;
}

}  // namespace velmo::sim
