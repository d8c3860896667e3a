#pragma once
#include <string>

namespace velmo::sim {

// Folder where virtual lines are published: /run/user/UID/velmo-ports when
// /run/user/UID exists, else /tmp/velmo-ports-UID. Created on demand.
std::string virtual_port_folder();
std::string ensure_virtual_port_folder();  // empty string when it cannot be created

}  // namespace velmo::sim
