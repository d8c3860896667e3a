#pragma once
// The whole program (every window, created as at start-up) with its port set
// to a simulated line, for tests that drive the real windows.
#include <QComboBox>
#include <QLineEdit>
#include <QAbstractButton>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "common/form_access.h"
#include "common/notifier.h"
#include "drivelink/drive_link.h"
#include "link/virtual_clock.h"
#include "main/main_window.h"
#include "main/velmo_app.h"
#include "sim/servo_station.h"
#include "sim/sim_line.h"
#include "sim/stations.h"
#include "support/sim_helpers.h"
#include "support/wait.h"

namespace velmo::testing {

struct SimServo {
  uint8_t address;
  uint16_t program_version;  // 60xx / 80xx: 4096 counts per revolution, else 131072
  uint16_t menu_version;     // % 100 == 1: menu layout 1
};

// Servo 1: layout 1, 131072 counts; servo 2: layout 2, 4096 counts.
inline const std::vector<SimServo> kTwoServos = {{1, 6101, 101}, {2, 6001, 102}};

// A virtual clock installed for a rig's lifetime, or real time.
class RigClock {
 public:
  explicit RigClock(bool virtual_time) {
    if (!virtual_time) return;
    clock_ = std::make_unique<VirtualClock>();
    scope_ = std::make_unique<ClockScope>(*clock_);
  }

 private:
  std::unique_ptr<VirtualClock> clock_;
  std::unique_ptr<ClockScope> scope_;
};

struct AppOnSim {
  enum class Time { Virtual, Real };
  // Virtual: the program and its simulated line share one timeline, so a
  // test gives the same frames and numbers at any machine load. Time moves
  // only inside the program's waits and testing::wait_for / pass_time: act
  // in the middle of a wait with ClockTimer (not QTimer), let time pass
  // with pass_time (not QTest::qWait). Real: for benchmarks of real speed.
  explicit AppOnSim(Time time = Time::Virtual) : rig_clock(time == Time::Virtual) {}

  RigClock rig_clock;
  sim::SimLine sim;
  RecordingNotifier notifier;
  VelmoApp app{notifier};

  QWidget* form(const char* name) { return app.form(name); }
  DriveLink& link() { return app.link(); }
  DriveLinkState& st() { return app.link().st; }
  sim::ServoStation& servo(uint8_t a) { return dynamic_cast<sim::ServoStation&>(*sim.station(a)); }

  template <typename T>
  T* ctl(const char* form_name, const char* control_name) {
    return form(form_name)->findChild<T*>(QString::fromLatin1(control_name));
  }

  // Chooses the simulated line in 串行端口 and sets the search range.
  void choose_line(int search_range) {
    app.main_window().choose_port(QString::fromStdString(sim.port_path()));
    ctl<QLineEdit>("TForm1", "Edit1")->setText(QString::number(search_range));
  }

  // Presses 搜索节点; the search and connect step run to their end inside.
  void search(int search_range) {
    choose_line(search_range);
    auto* button = ctl<QPushButton>("TForm1", "Button4");
    QTest::mouseClick(button, Qt::LeftButton);
  }

  // Puts the servos on the line and connects; true when all were found.
  bool connect_servos(const std::vector<SimServo>& servos = kTwoServos) {
    int last = 0;
    for (const SimServo& s : servos) {
      sim.add(sim::make_servo(s.address, s.program_version, s.menu_version));
      last = std::max<int>(last, s.address);
    }
    search(last);
    sim.clear_journal();
    return st().connected == 1 && st().servo_count == servos.size();
  }

  // The connect snapshot as the restore writes it back to one servo: bus
  // control, stop, speed mode, then the layout's list (registers 40, 70 and 90
  // of layout 1 as 1).
  std::vector<Frame> restore_writes(int a) {
    std::vector<Frame> want = {write(a, 0x0000, 9), write(a, 0x1004, 0), write(a, 0x1003, 1)};
    const DriveLinkState& s = st();
    int i = 0;
    while (s.servo_nodes[i] != a) ++i;
    const uint32_t subtype = s.servo_subtype_list[i];
    const int first = s.servo_list_first(subtype);
    for (int k = 0; k < s.servo_list_size(subtype); ++k) {
      int value = s.servo_saved_params[a][k] & 0xFFFF;
      if (subtype == 1 && k >= 3 && k <= 5) value = 1;
      want.push_back(write(a, static_cast<int>(s.servo_param_regs[first + k]), value));
    }
    return want;
  }

  std::vector<Frame> writes(std::optional<uint8_t> station = std::nullopt) const { return writes_of(sim, station); }
  std::vector<Frame> reads(uint8_t station) const { return reads_of(sim, station); }

  QStringList items(const char* form_name, const char* combo) {
    QStringList out;
    auto* box = ctl<QComboBox>(form_name, combo);
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
  }
};

// Selects a station in a node combo box the way the user does.
inline void select_node(QComboBox* box, int station) {
  const int index = box->findText(QString::number(station));
  ASSERT_GE(index, 0) << "station " << station << " not listed";
  box->setCurrentIndex(index);
  emit box->activated(index);
}

inline void click(QWidget* form, const char* button) {
  QTest::mouseClick(control<QAbstractButton>(form, button), Qt::LeftButton);
}

}  // namespace velmo::testing
