#pragma once
#include <QComboBox>
#include <QPointer>
#include <vector>

#include "common/form_access.h"
#include "drivelink/drive_link_state.h"
#include "drivelink/node_classification.h"

namespace velmo {

enum class NodeListGroup { All, Servo, Inverter, SpeedController };

// The node list that shows a family's nodes.
NodeListGroup node_list_group(DeviceFamily family);

// Each window marks its node combo box with the group it lists: every node
// in the main window, each family in the windows of that family. `editor`:
// the family's menu editor, the one that renumbers nodes.
void mark_node_list(QComboBox* box, NodeListGroup group, bool editor = false);

// The node list a window marked (nullptr if it has none).
QComboBox* node_list_of(const QWidget* window);

// The marked node lists of a set of windows, found once and then held, so
// that a station found costs the same however many there are.
class NodeListSet {
 public:
  NodeListSet() = default;
  // The marked lists inside these windows.
  explicit NodeListSet(const std::vector<QWidget*>& windows);

  // The lists of a group, in window order.
  std::vector<QComboBox*> lists(NodeListGroup group) const;
  // Empties the items and text of every list.
  void clear() const;
  // Appends a station to the lists of a group, keeping item 0 selected.
  void add(NodeListGroup group, int station) const;
  // Rebuilds the lists of one family and the main window's list from the
  // node registry after a station change: the family's editor keeps its
  // selected position, every other list selects its first node.
  void rebuild(const DriveLinkState& st, NodeListGroup family) const;

 private:
  struct Held {
    QPointer<QComboBox> box;
    NodeListGroup group;
    bool editor;
  };
  std::vector<Held> held_;
};

// The node lists of the windows `forms` knows (a top-level window counts
// when `forms` finds it under its name); searched for on every call.
NodeListSet find_node_lists(const FormLookup& forms);

// Rebuilds, after a station change, the lists of the windows `forms` knows.
void rebuild_node_lists(const FormLookup& forms, const DriveLinkState& st, NodeListGroup family);

}  // namespace velmo
