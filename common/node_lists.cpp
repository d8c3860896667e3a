#include "common/node_lists.h"

#include <QApplication>

#include <algorithm>

#include "common/form_access.h"

namespace velmo {

namespace {

const char* const kGroupProperty = "velmoNodeListGroup";
const char* const kEditorProperty = "velmoNodeListEditor";

// Every marked list in the windows of this program (a top-level window
// counts when `forms` finds it under its name).
std::vector<QComboBox*> marked_lists(const FormLookup& forms) {
  std::vector<QComboBox*> boxes;
  if (!forms) return boxes;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    const QByteArray name = window->objectName().toLatin1();
    if (name.isEmpty() || forms(name.constData()) != window) continue;
    for (QComboBox* box : window->findChildren<QComboBox*>())
      if (box->property(kGroupProperty).isValid()) boxes.push_back(box);
  }
  return boxes;
}

NodeListGroup group_of(const QComboBox* box) { return static_cast<NodeListGroup>(box->property(kGroupProperty).toInt()); }

// Refills a list; the selected position is kept where asked, else item 0.
void fill(QComboBox* box, const std::vector<int>& stations, bool keep_position) {
  const int keep = box->currentIndex();
  const QSignalBlocker quiet(box);
  box->clear();
  for (int s : stations) box->addItem(QString::number(s));
  if (!stations.empty()) box->setCurrentIndex(keep_position && keep >= 0 && keep < box->count() ? keep : 0);
}

}  // namespace

NodeListGroup node_list_group(DeviceFamily family) {
  switch (family) {
    case DeviceFamily::Servo: return NodeListGroup::Servo;
    case DeviceFamily::Inverter: return NodeListGroup::Inverter;
    case DeviceFamily::SpeedController: return NodeListGroup::SpeedController;
  }
  return NodeListGroup::All;
}

void mark_node_list(QComboBox* box, NodeListGroup group, bool editor) {
  box->setProperty(kGroupProperty, static_cast<int>(group));
  box->setProperty(kEditorProperty, editor);
}

QComboBox* node_list_of(const QWidget* window) {
  if (!window) return nullptr;
  for (QComboBox* box : window->findChildren<QComboBox*>())
    if (box->property(kGroupProperty).isValid()) return box;
  return nullptr;
}

std::vector<QComboBox*> node_lists(const FormLookup& forms, NodeListGroup group) {
  std::vector<QComboBox*> boxes;
  for (QComboBox* box : marked_lists(forms))
    if (group_of(box) == group) boxes.push_back(box);
  return boxes;
}

void clear_node_lists(const FormLookup& forms) {
  for (auto group : {NodeListGroup::All, NodeListGroup::Servo, NodeListGroup::Inverter, NodeListGroup::SpeedController}) {
    for (QComboBox* box : node_lists(forms, group)) {
      const QSignalBlocker quiet(box);
      box->clear();
      box->setEditText(QString());
    }
  }
}

void add_to_node_lists(const FormLookup& forms, NodeListGroup group, int station) {
  for (QComboBox* box : node_lists(forms, group)) {
    const QSignalBlocker quiet(box);
    box->addItem(QString::number(station));
    box->setCurrentIndex(0);
  }
}

void rebuild_node_lists(const FormLookup& forms, const DriveLinkState& st, NodeListGroup family) {
  auto stations = [](const auto& nodes, int count) { return std::vector<int>(nodes.begin(), nodes.begin() + count); };
  const std::vector<int> servos = stations(st.servo_nodes, st.servo_count);
  const std::vector<int> inverters = stations(st.bpq_nodes, st.bpq_count);
  const std::vector<int> speed_controllers = stations(st.tsq_nodes, st.tsq_count);
  const std::vector<int>* family_nodes = family == NodeListGroup::Servo      ? &servos
                                         : family == NodeListGroup::Inverter ? &inverters
                                                                             : &speed_controllers;
  // The editor that renumbered the node stays on it; the other windows of
  // the family start again from the first node.
  if (family != NodeListGroup::All)
    for (QComboBox* box : node_lists(forms, family)) fill(box, *family_nodes, box->property(kEditorProperty).toBool());

  // The main window lists every node, family by family.
  std::vector<int> all = servos;
  all.insert(all.end(), inverters.begin(), inverters.end());
  all.insert(all.end(), speed_controllers.begin(), speed_controllers.end());
  for (QComboBox* box : node_lists(forms, NodeListGroup::All)) fill(box, all, false);
}

}  // namespace velmo
