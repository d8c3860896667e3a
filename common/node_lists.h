#pragma once
#include <QComboBox>
#include <QPointer>
#include <vector>

#include "common/form_access.h"
#include "drivelink/drive_link_state.h"
#include "drivelink/node_classification.h"

namespace velmo {

enum class NodeListGroup { All, Servo, Inverter, SpeedController };

// The node list that shows a family's nodes, and the family a list shows
// (the servos' for the list of every node).
NodeListGroup node_list_group(DeviceFamily family);
DeviceFamily device_family(NodeListGroup group);

// Each window marks its node combo box with the group it lists: every node
// in the main window, each family in the windows of that family.
void mark_node_list(QComboBox* box, NodeListGroup group);

// The node list a window marked (nullptr if it has none).
QComboBox* node_list_of(const QWidget* window);

// Selects `station` in a node list without telling its window (false when
// the list does not hold it).
bool show_station(QComboBox* box, int station);

// The marked node lists of a set of windows, found once and then held, so
// that a station found costs the same however many there are.
//
// A window's list always names the drive the window talks to: when the
// lists are rebuilt (a search, a station change), each family list stays on
// the station it showed and follows a renumbered drive to its new address.
// Where that station is no longer listed, an open window's list shows no
// node and the window is told (VelmoWindow::station_gone); a hidden one's
// shows its first node, which the window takes when it is opened. The main
// window's list of every node shows the first one found: the connect step
// checks the line with it.
class NodeListSet {
 public:
  NodeListSet() = default;
  // The marked lists inside these windows.
  explicit NodeListSet(const std::vector<QWidget*>& windows);

  // The lists of a group, in window order.
  std::vector<QComboBox*> lists(NodeListGroup group) const;
  // A search begins: every list remembers its station and is emptied.
  void clear();
  // A station answered the search: it joins the lists of a group.
  void add(NodeListGroup group, int station);
  // The search has ended: lists whose station did not answer are settled.
  void settle();
  // After a station change (`from` now answers at `to`): the lists of one
  // family and the main window's are rebuilt from the node registry.
  void rebuild(const DriveLinkState& st, NodeListGroup family, int from, int to);

 private:
  struct Held {
    QPointer<QComboBox> box;
    NodeListGroup group;
    int kept = 0;  // the station the list showed before it was emptied
  };
  // Selects what a refilled list shows, by the rule above.
  static void reselect(Held& h);
  std::vector<Held> held_;
};

}  // namespace velmo
