#include "common/node_lists.h"

#include <QApplication>

#include <algorithm>

namespace velmo {

namespace {

const char* const kGroupProperty = "velmoNodeListGroup";
const char* const kEditorProperty = "velmoNodeListEditor";

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

NodeListSet::NodeListSet(const std::vector<QWidget*>& windows) {
  for (QWidget* window : windows) {
    if (!window) continue;
    for (QComboBox* box : window->findChildren<QComboBox*>()) {
      const QVariant group = box->property(kGroupProperty);
      if (group.isValid())
        held_.push_back({box, static_cast<NodeListGroup>(group.toInt()), box->property(kEditorProperty).toBool()});
    }
  }
}

std::vector<QComboBox*> NodeListSet::lists(NodeListGroup group) const {
  std::vector<QComboBox*> boxes;
  for (const Held& h : held_)
    if (h.box && h.group == group) boxes.push_back(h.box);
  return boxes;
}

void NodeListSet::clear() const {
  for (const Held& h : held_) {
    if (!h.box) continue;
    const QSignalBlocker quiet(h.box.data());
    h.box->clear();
    h.box->setEditText(QString());
  }
}

void NodeListSet::add(NodeListGroup group, int station) const {
  for (QComboBox* box : lists(group)) {
    const QSignalBlocker quiet(box);
    box->addItem(QString::number(station));
    box->setCurrentIndex(0);
  }
}

void NodeListSet::rebuild(const DriveLinkState& st, NodeListGroup family) const {
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
    for (const Held& h : held_)
      if (h.box && h.group == family) fill(h.box, *family_nodes, h.editor);

  // The main window lists every node, family by family.
  std::vector<int> all = servos;
  all.insert(all.end(), inverters.begin(), inverters.end());
  all.insert(all.end(), speed_controllers.begin(), speed_controllers.end());
  for (QComboBox* box : lists(NodeListGroup::All)) fill(box, all, false);
}

NodeListSet find_node_lists(const FormLookup& forms) {
  std::vector<QWidget*> windows;
  if (forms) {
    for (QWidget* window : QApplication::topLevelWidgets()) {
      const QByteArray name = window->objectName().toLatin1();
      if (!name.isEmpty() && forms(name.constData()) == window) windows.push_back(window);
    }
  }
  return NodeListSet(windows);
}

void rebuild_node_lists(const FormLookup& forms, const DriveLinkState& st, NodeListGroup family) {
  find_node_lists(forms).rebuild(st, family);
}

}  // namespace velmo
