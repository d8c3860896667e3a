#pragma once
// The whole program (every window, created as at start-up) with its port set
// to a simulated line, for tests that drive the real windows.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "common/notifier.h"
#include "main/drive_link.h"
#include "main/velmo_app.h"
#include "sim/sim_line.h"
#include "sim/stations.h"

namespace velmo::testing {

struct AppOnSim {
  sim::SimLine sim;
  RecordingNotifier notifier;
  VelmoApp app{notifier};

  QWidget* form(const char* name) { return app.form(name); }
  DriveLink& link() { return app.link(); }
  DriveLinkState& st() { return app.link().st; }

  template <typename T>
  T* ctl(const char* form_name, const char* control_name) {
    return form(form_name)->findChild<T*>(QString::fromLatin1(control_name));
  }

  // Chooses the simulated line in 串行端口 and sets the search range.
  void choose_line(int search_range) {
    auto* ports = ctl<QComboBox>("TForm1", "ComboBox1");
    ports->addItem(QString::fromStdString(sim.port_path()));
    ports->setCurrentIndex(ports->count() - 1);
    ctl<QLineEdit>("TForm1", "Edit1")->setText(QString::number(search_range));
  }

  // Presses 搜索节点; the search and connect step run to their end inside.
  void search(int search_range) {
    choose_line(search_range);
    auto* button = ctl<QPushButton>("TForm1", "Button4");
    QTest::mouseClick(button, Qt::LeftButton);
  }

  QStringList items(const char* form_name, const char* combo) {
    QStringList out;
    auto* box = ctl<QComboBox>(form_name, combo);
    for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
    return out;
  }
};

}  // namespace velmo::testing
