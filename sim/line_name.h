#pragma once
#include <string>

namespace velmo::sim {

// A line's name in the virtual-port folder, held while the line runs. Beside
// the link NAME, a lock file .NAME.lock stays flock'ed by the line that owns
// the name; the kernel lets go of it when that process ends however it ends,
// so a held lock means a live line and a free one means that any link left
// under the name is stale.
class LineName {
 public:
  enum class Outcome { Published, InUse, Failed };

  // Claims NAME in FOLDER for the pty and links it there, replacing a stale
  // link. InUse (with who holds it in holder()) when a running line owns it.
  LineName(const std::string& folder, const std::string& name, const std::string& pty);
  // Removes the link only where it still points at this line's pty.
  ~LineName();
  LineName(const LineName&) = delete;
  LineName& operator=(const LineName&) = delete;

  Outcome outcome() const { return outcome_; }
  const std::string& link() const { return link_; }
  const std::string& holder() const { return holder_; }  // "pid PID, PTY" as the owner wrote it

 private:
  bool take_lock();
  Outcome publish();

  std::string lock_path_;
  std::string link_;
  std::string pty_;
  std::string holder_;
  int lock_fd_ = -1;
  Outcome outcome_ = Outcome::Failed;
};

}  // namespace velmo::sim
