#pragma once
// A program connected to a simulated line of servo drives: the real search
// and connect step over the simulator's pty, then the windows by objectName.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/form_access.h"
#include "common/notifier.h"
#include "main/drive_link.h"
#include "main/velmo_app.h"
#include "sim/servo_station.h"
#include "sim/sim_line.h"
#include "sim/stations.h"
#include "support/wait.h"

namespace velmo::testing {

struct SimServo {
  uint8_t address;
  uint16_t program_version;  // 60xx / 80xx: 4096 counts per revolution, else 131072
  uint16_t menu_version;     // % 100 == 1: menu layout 1
};

// Servo 1: layout 1, 131072 counts; servo 2: layout 2, 4096 counts.
inline const std::vector<SimServo> kTwoServos = {{1, 6101, 101}, {2, 6001, 102}};

class ServoSimRig {
 public:
  explicit ServoSimRig(const std::vector<SimServo>& servos = kTwoServos) {
    int last = 0;
    for (const SimServo& s : servos) {
      line.add(sim::make_servo(s.address, s.program_version, s.menu_version));
      last = std::max<int>(last, s.address);
    }
    QWidget* main = app.form("TForm1");
    auto* port = control<QComboBox>(main, "ComboBox1");
    port->addItem(QString::fromStdString(line.port_path()));
    port->setCurrentIndex(port->count() - 1);
    control<QLineEdit>(main, "Edit1")->setText(QString::number(last));
    app.search().Button4Click();
    connected = app.link().st.connected == 1 && app.link().st.servo_count == servos.size();
    line.clear_journal();
  }

  DriveLinkState& st() { return app.link().st; }
  sim::ServoStation& servo(uint8_t address) { return *dynamic_cast<sim::ServoStation*>(line.station(address)); }

  // Function-06 and -16 requests the line received for one station, as
  // (function, register, first value).
  struct Write {
    uint8_t function;
    uint16_t reg;
    uint16_t value;
    bool operator==(const Write&) const = default;
  };
  std::vector<Write> writes(uint8_t address) const {
    std::vector<Write> out;
    for (const auto& r : line.requests(address)) {
      if (r.size() < 6 || (r[1] != 0x06 && r[1] != 0x10)) continue;
      const uint16_t reg = static_cast<uint16_t>(r[2] << 8 | r[3]);
      const uint16_t value = r[1] == 0x06 ? static_cast<uint16_t>(r[4] << 8 | r[5])
                                          : (r.size() >= 9 ? static_cast<uint16_t>(r[7] << 8 | r[8]) : 0);
      out.push_back({r[1], reg, value});
    }
    return out;
  }
  // Requests of one station with function 03, as (register, count).
  std::vector<std::pair<uint16_t, uint16_t>> reads(uint8_t address) const {
    std::vector<std::pair<uint16_t, uint16_t>> out;
    for (const auto& r : line.requests(address))
      if (r.size() >= 6 && r[1] == 0x03)
        out.emplace_back(static_cast<uint16_t>(r[2] << 8 | r[3]), static_cast<uint16_t>(r[4] << 8 | r[5]));
    return out;
  }

  RecordingNotifier notifier;
  sim::SimLine line;
  VelmoApp app{notifier};
  bool connected = false;
};

// Selects a station in a node combo box the way the user does.
inline void select_node(QComboBox* box, int station) {
  const int index = box->findText(QString::number(station));
  ASSERT_GE(index, 0) << "station " << station << " not listed";
  box->setCurrentIndex(index);
  emit box->activated(index);
}

inline void click(QWidget* form, const char* button) {
  QTest::mouseClick(control<QPushButton>(form, button), Qt::LeftButton);
}

}  // namespace velmo::testing
