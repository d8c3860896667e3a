#pragma once
#include <QComboBox>
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

// The marked lists of a group in the windows `forms` knows.
std::vector<QComboBox*> node_lists(const FormLookup& forms, NodeListGroup group);

// Empties the items and text of every node list.
void clear_node_lists(const FormLookup& forms);

// Appends a station to the lists of a group, keeping item 0 selected.
void add_to_node_lists(const FormLookup& forms, NodeListGroup group, int station);

// Rebuilds the lists of one family and the main window's list from the node
// registry after a station change: the family's editor keeps its selected
// position, every other list selects its first node.
void rebuild_node_lists(const FormLookup& forms, const DriveLinkState& st, NodeListGroup family);

}  // namespace velmo
