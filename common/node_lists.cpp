#include "common/node_lists.h"

#include "common/velmo_window.h"
#include "common/window_parts.h"
#include "drivelink/drive_identity.h"

namespace velmo {

namespace {
const char* const kGroupProperty = "velmoNodeListGroup";
}  // namespace

NodeListGroup node_list_group(DeviceFamily family) {
  switch (family) {
    case DeviceFamily::Servo: return NodeListGroup::Servo;
    case DeviceFamily::Inverter: return NodeListGroup::Inverter;
    case DeviceFamily::SpeedController: return NodeListGroup::SpeedController;
  }
  return NodeListGroup::All;
}

DeviceFamily device_family(NodeListGroup group) {
  switch (group) {
    case NodeListGroup::Inverter: return DeviceFamily::Inverter;
    case NodeListGroup::SpeedController: return DeviceFamily::SpeedController;
    case NodeListGroup::Servo:
    case NodeListGroup::All: break;
  }
  return DeviceFamily::Servo;
}

void mark_node_list(QComboBox* box, NodeListGroup group) { box->setProperty(kGroupProperty, static_cast<int>(group)); }

QComboBox* node_list_of(const QWidget* window) {
  if (!window) return nullptr;
  for (QComboBox* box : window->findChildren<QComboBox*>())
    if (box->property(kGroupProperty).isValid()) return box;
  return nullptr;
}

bool show_station(QComboBox* box, int station) {
  const int index = box->findText(QString::number(station));
  if (index < 0) return false;
  const QSignalBlocker quiet(box);
  box->setCurrentIndex(index);
  return true;
}

NodeListSet::NodeListSet(const std::vector<QWidget*>& windows, const DriveLinkState* st) : st_(st) {
  for (QWidget* window : windows) {
    if (!window) continue;
    for (QComboBox* box : window->findChildren<QComboBox*>()) {
      const QVariant group = box->property(kGroupProperty);
      if (group.isValid()) held_.push_back({box, static_cast<NodeListGroup>(group.toInt())});
    }
  }
}

std::vector<QComboBox*> NodeListSet::lists(NodeListGroup group) const {
  std::vector<QComboBox*> boxes;
  for (const Held& h : held_)
    if (h.box && h.group == group) boxes.push_back(h.box);
  return boxes;
}

bool NodeListSet::same_drive(int station, uint32_t drive) const {
  if (station == 0) return false;
  return !st_ || drive == 0 || drive_tag(*st_, station) == drive;
}

void NodeListSet::clear() {
  for (Held& h : held_) {
    if (!h.box) continue;
    // A pick since the list was emptied ends the wait for the drive that went.
    if (h.box->currentIndex() >= 0) h.waiting = 0;
    h.kept = (h.group == NodeListGroup::All || h.waiting != 0) ? 0 : node_of(h.box);
    h.kept_drive = st_ ? drive_tag(*st_, h.kept) : 0;
    const QSignalBlocker quiet(h.box.data());
    h.box->clear();
    h.box->setEditText(QString());
  }
}

void NodeListSet::add(NodeListGroup group, int station) {
  for (Held& h : held_) {
    if (!h.box || h.group != group) continue;
    const QSignalBlocker quiet(h.box.data());
    // An emptied list selects the first item added: a list that had a
    // station, or waits for the engineer's pick, shows nothing but that one
    // meanwhile.
    h.box->addItem(QString::number(station));
    if (station == h.kept)
      h.box->setCurrentIndex(h.box->count() - 1);
    else if ((h.kept != 0 || h.waiting != 0) && h.box->count() == 1)
      h.box->setCurrentIndex(-1);
  }
}

void NodeListSet::reselect(Held& h) {
  if (!h.box) return;
  auto* window = qobject_cast<VelmoWindow*>(h.box->window());
  const bool open = window && window->isVisible();
  const QSignalBlocker quiet(h.box.data());
  if (h.waiting != 0) {
    if (open) {
      // Only the drive that went away, back at its station of its line,
      // ends the wait; anything else waits for the engineer's pick.
      const int back = h.waiting;
      if (h.waiting_drive != 0 && same_drive(back, h.waiting_drive) && show_station(h.box, back)) {
        h.waiting = 0;
        window->station_back(static_cast<uint8_t>(back));
      } else {
        // Still waiting: the window says so again after this search.
        h.box->setCurrentIndex(-1);
        window->station_gone(static_cast<uint8_t>(back));
      }
      h.kept = 0;
      return;
    }
    // A hidden window takes its node when it is opened.
    h.waiting = 0;
  }
  const int kept = h.kept;
  h.kept = 0;
  if (kept != 0 && same_drive(kept, h.kept_drive) && show_station(h.box, kept)) return;
  if (kept != 0 && open) {
    // The drive the window talks to is gone: nothing is chosen for it.
    h.box->setCurrentIndex(-1);
    h.waiting = kept;
    h.waiting_drive = h.kept_drive;
    window->station_gone(static_cast<uint8_t>(kept));
    return;
  }
  h.box->setCurrentIndex(h.box->count() > 0 ? 0 : -1);
}

void NodeListSet::settle() {
  for (Held& h : held_)
    if (h.box && h.group != NodeListGroup::All) reselect(h);
}

void NodeListSet::rebuild(const DriveLinkState& st, NodeListGroup family, int from, int to) {
  auto stations = [](const auto& nodes, int count) { return std::vector<int>(nodes.begin(), nodes.begin() + count); };
  const std::vector<int> servos = stations(st.servo_nodes, st.servo_count);
  const std::vector<int> inverters = stations(st.bpq_nodes, st.bpq_count);
  const std::vector<int> speed_controllers = stations(st.tsq_nodes, st.tsq_count);
  auto refill = [](QComboBox* box, const std::vector<int>& nodes) {
    const QSignalBlocker quiet(box);
    box->clear();
    for (int s : nodes) box->addItem(QString::number(s));
  };
  for (Held& h : held_) {
    if (!h.box || h.group != family || family == NodeListGroup::All) continue;
    const std::vector<int>& nodes = family == NodeListGroup::Servo      ? servos
                                    : family == NodeListGroup::Inverter ? inverters
                                                                        : speed_controllers;
    if (h.waiting != 0 && h.box->currentIndex() < 0) {
      // Still waiting for the engineer's pick: a renumbering on this line
      // does not choose for it.
      refill(h.box, nodes);
      const QSignalBlocker quiet(h.box.data());
      h.box->setCurrentIndex(-1);
      continue;
    }
    h.waiting = 0;
    const int shown = node_of(h.box);
    h.kept = shown == from ? to : shown;
    // The records have moved already: the drive is found at its new number.
    h.kept_drive = st_ ? drive_tag(*st_, h.kept) : 0;
    refill(h.box, nodes);
    reselect(h);
  }
  // The main window lists every node, family by family, from the first.
  std::vector<int> all = servos;
  all.insert(all.end(), inverters.begin(), inverters.end());
  all.insert(all.end(), speed_controllers.begin(), speed_controllers.end());
  for (QComboBox* box : lists(NodeListGroup::All)) {
    refill(box, all);
    const QSignalBlocker quiet(box);
    box->setCurrentIndex(all.empty() ? -1 : 0);
  }
}

}  // namespace velmo
