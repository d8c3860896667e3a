#pragma once
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include <string>

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

}  // namespace velmo::bench
