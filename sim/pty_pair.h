#pragma once
#include <string>

namespace velmo::sim {

// A pseudo-terminal pair: the line serves the master side, the program under
// test opens the slave path. One slave descriptor stays open here, so the
// master never reads EIO while the program closes and re-opens the port.
class PtyPair {
 public:
  PtyPair();  // throws std::runtime_error when no pty can be had
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  int master_fd() const { return master_; }
  const std::string& slave_path() const { return slave_path_; }
  void close_master();  // the program's side sees a hang-up

 private:
  int master_ = -1;
  int slave_keep_ = -1;
  std::string slave_path_;
};

}  // namespace velmo::sim
