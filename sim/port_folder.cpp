#include "sim/port_folder.h"

#include <sys/stat.h>
#include <cerrno>
#include <unistd.h>

namespace velmo::sim {

std::string virtual_port_folder() {
  const std::string uid = std::to_string(getuid());
  const std::string run_user = "/run/user/" + uid;
  struct stat st{};
  if (stat(run_user.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return run_user + "/velmo-ports";
  return "/tmp/velmo-ports-" + uid;
}

std::string ensure_virtual_port_folder() {
  const std::string folder = virtual_port_folder();
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st{};
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
  return folder;
}

}  // namespace velmo::sim
