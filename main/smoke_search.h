#pragma once
#include <QString>

namespace velmo {

class VelmoApp;

// Unattended check of a line: chooses the port, runs the node search and the
// connect step as the "搜索节点" button does, prints the node lists and
// returns 0 when the connect step read every node. Used by the end-to-end
// test of the program and handy beside a machine without a screen.
int smoke_search(VelmoApp& app, const QString& port);

}  // namespace velmo
