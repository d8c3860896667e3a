#include "common/node_lists.h"

#include <algorithm>

#include "common/form_access.h"

namespace velmo {

namespace {
struct NodeListPlace {
  NodeListGroup group;
  const char* form;
  const char* combo;
};
constexpr NodeListPlace kNodeLists[] = {
    {NodeListGroup::All, "TForm1", "ComboBox5"},
    {NodeListGroup::Servo, "TForm2", "ComboBox45"},
    {NodeListGroup::Servo, "TForm3", "ComboBox2"},
    {NodeListGroup::Servo, "TForm4", "ComboBox4"},
    {NodeListGroup::Servo, "TForm8", "ComboBox1"},
    {NodeListGroup::Servo, "TForm13", "ComboBox4"},
    {NodeListGroup::Inverter, "TForm9", "ComboBox1"},
    {NodeListGroup::Inverter, "TForm10", "ComboBox1"},
    {NodeListGroup::SpeedController, "TForm18", "ComboBox1"},
    {NodeListGroup::SpeedController, "TForm19", "ComboBox1"},
};

void fill(QComboBox* box, const std::vector<int>& stations) {
  const int keep = box->currentIndex();
  const QSignalBlocker quiet(box);
  box->clear();
  for (int s : stations) box->addItem(QString::number(s));
  if (!stations.empty()) box->setCurrentIndex(keep >= 0 && keep < box->count() ? keep : 0);
}
}  // namespace

std::vector<QComboBox*> node_lists(const FormLookup& forms, NodeListGroup group) {
  std::vector<QComboBox*> boxes;
  for (const auto& place : kNodeLists) {
    if (place.group != group) continue;
    if (QWidget* form = forms(place.form)) {
      if (auto* box = form->findChild<QComboBox*>(QString::fromLatin1(place.combo))) boxes.push_back(box);
    }
  }
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
  auto stations = [](const auto& nodes, int count) {
    return std::vector<int>(nodes.begin(), nodes.begin() + count);
  };
  std::vector<int> family_nodes;
  switch (family) {
    case NodeListGroup::Servo: family_nodes = stations(st.servo_nodes, st.servo_count); break;
    case NodeListGroup::Inverter: family_nodes = stations(st.bpq_nodes, st.bpq_count); break;
    case NodeListGroup::SpeedController: family_nodes = stations(st.tsq_nodes, st.tsq_count); break;
    case NodeListGroup::All: break;
  }
  if (family != NodeListGroup::All)
    for (QComboBox* box : node_lists(forms, family)) fill(box, family_nodes);

  // The main window lists every node; a renumbered one changes in place.
  for (QComboBox* box : node_lists(forms, NodeListGroup::All)) {
    std::vector<int> all;
    for (int i = 0; i < box->count(); ++i) all.push_back(box->itemText(i).toInt());
    auto replace_from = [&](const std::vector<int>& fresh) {
      // Stations of the family that are no longer in the registry were renumbered.
      std::vector<int> gone;
      for (int s : all) {
        bool in_other_family = false;
        for (int k = 0; k < st.servo_count && family != NodeListGroup::Servo; ++k) in_other_family |= st.servo_nodes[k] == s;
        for (int k = 0; k < st.bpq_count && family != NodeListGroup::Inverter; ++k) in_other_family |= st.bpq_nodes[k] == s;
        for (int k = 0; k < st.tsq_count && family != NodeListGroup::SpeedController; ++k) in_other_family |= st.tsq_nodes[k] == s;
        if (!in_other_family && std::find(fresh.begin(), fresh.end(), s) == fresh.end()) gone.push_back(s);
      }
      std::vector<int> added;
      for (int s : fresh)
        if (std::find(all.begin(), all.end(), s) == all.end()) added.push_back(s);
      for (size_t k = 0; k < gone.size() && k < added.size(); ++k)
        std::replace(all.begin(), all.end(), gone[k], added[k]);
    };
    replace_from(family_nodes);
    fill(box, all);
  }
}

}  // namespace velmo
