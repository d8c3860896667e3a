#pragma once
#include <QComboBox>
#include <vector>

#include "common/form_access.h"
#include "drivelink/drive_link_state.h"

namespace velmo {

enum class NodeListGroup { All, Servo, Inverter, SpeedController };

// The node combo boxes the search fills: every node in the main window, each
// family in the windows of that family.
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
