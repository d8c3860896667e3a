#pragma once
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include <cstdint>
#include <string>

#include "common/menu_editor_window.h"
#include "main/main_window.h"
#include "main/velmo_app.h"

namespace velmo::bench {

// Chooses the simulated line in the main window's port list and sets the
// highest station the search goes to; the caller presses "搜索节点".
inline QPushButton* choose_line(VelmoApp& app, const std::string& port, int last_station) {
  QWidget* main = app.form("TForm1");
  app.main_window().choose_port(QString::fromStdString(port));
  main->findChild<QLineEdit*>("Edit1")->setText(QString::number(last_station));
  return main->findChild<QPushButton*>("Button4");
}

// The drives whose menu the menu-read benchmarks read, one at station 1.
enum MenuFamily { kServo1, kServo2, kInverter, kSpeedController };

// Inverter program versions by model type 0..4.
inline constexpr uint16_t kInverterVersions[] = {4500, 5015, 2150, 2315, 2915};

// Opens the family's menu editor from the main menu, which reads the menu
// once, and returns it.
inline MenuEditorWindow* open_menu_editor(VelmoApp& app, MenuFamily family) {
  switch (family) {
    case kInverter: app.main_window().N7Click(); return dynamic_cast<MenuEditorWindow*>(app.form("TForm10"));
    case kSpeedController: app.main_window().N13Click(); return dynamic_cast<MenuEditorWindow*>(app.form("TForm18"));
    case kServo1:
    case kServo2: break;
  }
  app.main_window().N5Click();
  return dynamic_cast<MenuEditorWindow*>(app.form("TForm2"));
}

}  // namespace velmo::bench
