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
// A window's list always names the drive the window talks to, and a drive is
// its line, its station and what the search found there (family, version,
// layout; see drivelink/drive_identity.h), never its number alone. When the
// lists are rebuilt (a search, a station change), each family list stays on
// the drive it showed and follows a renumbered drive to its new address.
// Where that drive no longer answers (not listed, or another drive, or
// another line, at its number), an open window's list shows no node and the
// window is told (VelmoWindow::station_gone): it sends nothing, and what it
// kept of that drive (values, layout, resolution) is not taken for the new
// one. Such a list stays empty through later searches and renumberings until
// the engineer picks a node; only that same drive answering again at the
// same station of the same line may fill it (VelmoWindow::station_back). A
// hidden window's list shows its first node, which the window takes when it
// is opened. The main window's list of every node shows the first one found:
// the connect step checks the line with it.
class NodeListSet {
 public:
  NodeListSet() = default;
  // The marked lists inside these windows.
  // The marked lists inside these windows; `st` tells which drive answers where.
  NodeListSet(const std::vector<QWidget*>& windows, const DriveLinkState* st);

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
    int kept = 0;           // the station the list showed before it was emptied
    uint32_t kept_drive = 0;  // and the drive that answered there
    // The list was emptied because this drive went away, and nothing was
    // picked since (0: not waiting).
    int waiting = 0;
    uint32_t waiting_drive = 0;
  };
  // Selects what a refilled list shows, by the rule above.
  void reselect(Held& h);
  // The drive at `station` is still `drive` (any drive when that is unknown).
  bool same_drive(int station, uint32_t drive) const;
  std::vector<Held> held_;
  const DriveLinkState* st_ = nullptr;
};

}  // namespace velmo
