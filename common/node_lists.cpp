#include "common/node_lists.h"

#include <algorithm>

#include "common/form_access.h"

namespace velmo {

namespace {
struct NodeListPlace {
  NodeListGroup group;
  const char* form;
  const char* combo;
  bool editor;  // the family's menu editor: the one that renumbers nodes
};
constexpr NodeListPlace kNodeLists[] = {
    {NodeListGroup::All, "TForm1", "ComboBox5", false},
    {NodeListGroup::Servo, "TForm2", "ComboBox45", true},
    {NodeListGroup::Servo, "TForm3", "ComboBox2", false},
    {NodeListGroup::Servo, "TForm4", "ComboBox4", false},
    {NodeListGroup::Servo, "TForm8", "ComboBox1", false},
    {NodeListGroup::Servo, "TForm13", "ComboBox4", false},
    {NodeListGroup::Inverter, "TForm9", "ComboBox1", false},
    {NodeListGroup::Inverter, "TForm10", "ComboBox1", true},
    {NodeListGroup::SpeedController, "TForm18", "ComboBox1", true},
    {NodeListGroup::SpeedController, "TForm19", "ComboBox1", false},
};

QComboBox* find_list(const FormLookup& forms, const NodeListPlace& place) {
  QWidget* form = forms(place.form);
  return form ? form->findChild<QComboBox*>(QString::fromLatin1(place.combo)) : nullptr;
}

// Refills a list; the selected position is kept where asked, else item 0.
void fill(QComboBox* box, const std::vector<int>& stations, bool keep_position) {
  const int keep = box->currentIndex();
  const QSignalBlocker quiet(box);
  box->clear();
  for (int s : stations) box->addItem(QString::number(s));
  if (!stations.empty()) box->setCurrentIndex(keep_position && keep >= 0 && keep < box->count() ? keep : 0);
}

}  // namespace

std::vector<QComboBox*> node_lists(const FormLookup& forms, NodeListGroup group) {
  std::vector<QComboBox*> boxes;
  for (const auto& place : kNodeLists)
    if (place.group == group)
      if (QComboBox* box = find_list(forms, place)) boxes.push_back(box);
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
    for (const auto& place : kNodeLists)
      if (place.group == family)
        if (QComboBox* box = find_list(forms, place)) fill(box, *family_nodes, place.editor);

  // The main window lists every node, family by family.
  std::vector<int> all = servos;
  all.insert(all.end(), inverters.begin(), inverters.end());
  all.insert(all.end(), speed_controllers.begin(), speed_controllers.end());
  for (QComboBox* box : node_lists(forms, NodeListGroup::All)) fill(box, all, false);
}

}  // namespace velmo
