#include "main/velmo_app.h"

#include "common/node_lists.h"
#include "inverter/inverter_control_window.h"
#include "inverter/inverter_fault_table.h"
#include "inverter/inverter_menu_editor.h"
#include "main/main_window.h"
#include "servo/home_limits_window.h"
#include "servo/self_learning_window.h"
#include "servo/servo_control_window.h"
#include "servo/servo_fault_table.h"
#include "servo/servo_menu_editor.h"
#include "speedctl/speedctl_control_window.h"
#include "speedctl/speedctl_menu_editor.h"
#include "tuning/gain_tuning_window.h"
#include "tuning/test_parameter_window.h"
#include "tuning/tuning_help_window.h"

namespace velmo {

VelmoApp::VelmoApp()
    : own_notifier_(std::make_unique<Notifier>()),
      notifier_(*own_notifier_),
      lookup_([this](const char* name) { return form(name); }),
      batch_(link_, events_),
      search_(link_, events_),
      ctx_{link_, batch_, notifier_, lookup_, events_} {
  create_windows();
  connect_node_lists();
}

VelmoApp::VelmoApp(Notifier& notifier)
    : notifier_(notifier),
      lookup_([this](const char* name) { return form(name); }),
      batch_(link_, events_),
      search_(link_, events_),
      ctx_{link_, batch_, notifier_, lookup_, events_} {
  create_windows();
  connect_node_lists();
}

VelmoApp::~VelmoApp() {
  // Later windows may refer to earlier ones; they go first.
  while (!owned_.empty()) {
    windows_.pop_back();
    owned_.pop_back();
  }
}

void VelmoApp::connect_node_lists() {
  // The windows and their lists stay for the program's life: found once.
  node_lists_ = NodeListSet(windows_, &link_.st);
  QObject::connect(&events_, &LinkEvents::node_lists_cleared, [this] { node_lists_.clear(); });
  QObject::connect(&events_, &LinkEvents::node_found, [this](DeviceFamily family, int station) {
    node_lists_.add(NodeListGroup::All, station);
    node_lists_.add(node_list_group(family), station);
  });
  QObject::connect(&events_, &LinkEvents::node_search_ended, [this] { node_lists_.settle(); });
  // After the windows have followed the drive (they connected first).
  QObject::connect(&events_, &LinkEvents::station_moved, [this](DeviceFamily family, int from, int to) {
    node_lists_.rebuild(link_.st, node_list_group(family), from, to);
  });
}

void VelmoApp::create_windows() {
  // Each window finds the ones created before it; the main window is first.
  auto add = [this](QWidget* w) {
    owned_.emplace_back(w);
    windows_.push_back(w);
  };
  add(new MainWindow(ctx_, search_));
  add(new ServoMenuEditor(ctx_));
  add(new GainTuningWindow(ctx_));
  add(new ServoControlWindow(ctx_));
  add(new SelfLearningWindow(ctx_));
  add(new InverterControlWindow(ctx_));
  add(new InverterMenuEditor(ctx_));
  add(new HomeLimitsWindow(ctx_));
  add(new InverterFaultTableWindow(ctx_));
  add(new ServoFaultTableWindow(ctx_));
  add(new SpeedCtlMenuEditor(ctx_));
  add(new SpeedCtlControlWindow(ctx_));
  add(new TestParameterWindow(ctx_));
  add(new TuningHelpWindow(ctx_));
  // Closing the program leaves them in the order they were created.
  std::vector<VelmoWindow*> others;
  for (QWidget* w : windows_)
    if (auto* window = qobject_cast<VelmoWindow*>(w)) others.push_back(window);
  main_window().set_program_windows(std::move(others));
}

QWidget* VelmoApp::form(const char* name) const {
  const QString wanted = QString::fromLatin1(name);
  for (QWidget* w : windows_)
    if (w->objectName() == wanted) return w;
  return nullptr;
}

MainWindow& VelmoApp::main_window() const { return *static_cast<MainWindow*>(windows_.front()); }

}  // namespace velmo
