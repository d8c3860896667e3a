// The main menu: the only way into the other windows.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

#include "common/form_access.h"
#include "common/node_lists.h"
#include "common/notifier.h"
#include "common/velmo_window.h"
#include "common/window_parts.h"
#include "drivelink/drive_link.h"
#include "main/main_window.h"

namespace velmo {

namespace {

const QString kSearchFirst = QStringLiteral("请先搜索节点！！");
const QString kNoServo = QStringLiteral("线上没有伺服节点！！");
const QString kNoInverter = QStringLiteral("线上没有变频器节点！！");
const QString kNoSpeedCtl = QStringLiteral("线上没有调速器节点！！");

}  // namespace

void MainWindow::build_menu() {
  auto* bar = new QMenuBar(this);
  bar->setObjectName(QStringLiteral("MainMenu1"));
  setMenuBar(bar);
  struct Entry {
    const char* name;
    const char* text;
    void (MainWindow::*handler)();
  };
  auto add = [&](const char* menu_name, const char* title, std::initializer_list<Entry> entries) {
    QMenu* menu = bar->addMenu(QString::fromUtf8(title));
    menu->setObjectName(QString::fromLatin1(menu_name));
    for (const Entry& e : entries) {
      QAction* action = menu->addAction(QString::fromUtf8(e.text));
      action->setObjectName(QString::fromLatin1(e.name));
      connect(action, &QAction::triggered, this, e.handler);
    }
  };
  add("MenuServo", "伺服驱动器",
      {{"N5", "菜单编辑", &MainWindow::N5Click},
       {"N2", "原点及极限设定", &MainWindow::N2Click},
       {"N6", "通讯控制 RS-485", &MainWindow::N6Click},
       {"N12", "增益调试", &MainWindow::N12Click},
       {"N10", "故障及警告说明", &MainWindow::N10Click}});
  add("MenuInverter", "变频器",
      {{"N7", "菜单编辑", &MainWindow::N7Click},
       {"N8", "通讯控制 RS-485", &MainWindow::N8Click},
       {"N9", "故障代码说明", &MainWindow::N9Click}});
  add("MenuSpeedCtl", "调速器",
      {{"N13", "菜单编辑", &MainWindow::N13Click}, {"RS4851", "通讯控制 RS-485", &MainWindow::RS4851Click}});
}

bool MainWindow::line_ready(int family_count, const QString& family_message) {
  bool ready = true;
  if (ctx_.link.st.connected != 1) {
    ctx_.notifier.message(this, kSearchFirst);
    ready = false;
  }
  if (!family_message.isEmpty() && family_count <= 0) {
    ctx_.notifier.message(this, family_message);
    ready = false;
  }
  return ready;
}

VelmoWindow* MainWindow::target(const char* name) const {
  auto* w = qobject_cast<VelmoWindow*>(ctx_.forms(name));
  if (!w) throw std::logic_error(std::string("missing window ") + name);
  return w;
}

VelmoWindow* MainWindow::open_target(const char* name, WindowCode code) {
  VelmoWindow* w = target(name);
  showMinimized();
  w->show();
  ctx_.link.st.active_form = static_cast<uint8_t>(code);
  return w;
}

void MainWindow::N5Click() {
  DriveLinkState& st = ctx_.link.st;
  if (!line_ready(st.servo_count, kNoServo)) return;
  open_target("TForm2", WindowCode::ServoMenuEditor)->on_open();
}

void MainWindow::N2Click() {
  DriveLinkState& st = ctx_.link.st;
  if (!line_ready(st.servo_count, kNoServo)) return;
  open_target("TForm13", WindowCode::HomeAndLimits)->on_open();
}

void MainWindow::N6Click() {
  DriveLinkState& st = ctx_.link.st;
  if (!line_ready(st.servo_count, kNoServo)) return;
  VelmoWindow* w = target("TForm4");
  showMinimized();
  st.active_form = static_cast<uint8_t>(WindowCode::ServoControl);
  w->show();
  w->on_open();
}

void MainWindow::N12Click() {
  DriveLinkState& st = ctx_.link.st;
  if (!line_ready(1, {})) return;
  VelmoWindow* w = target("TForm3");
  showMinimized();
  w->show();
  st.active_form = static_cast<uint8_t>(WindowCode::GainTuning);
  // With no servo on the line the window opens, but there is no drive to
  // identify or read.
  if (node_of(node_list_of(w)) == 0) {
    // Its drive left the line: Panel1 already says so, and the engineer picks.
    if (st.servo_count == 0) w->show_status(kNoServo);
    return;
  }
  w->on_open();
}

void MainWindow::N10Click() {
  open_target("TForm17", WindowCode::ServoFaultTable)->on_open();
}

void MainWindow::N7Click() {
  DriveLinkState& st = ctx_.link.st;
  if (!line_ready(st.bpq_count, kNoInverter)) return;
  open_target("TForm10", WindowCode::InverterMenuEditor)->on_open();
}

void MainWindow::N8Click() {
  DriveLinkState& st = ctx_.link.st;
  if (!line_ready(st.bpq_count, kNoInverter)) return;
  open_target("TForm9", WindowCode::InverterControl)->on_open();
}

void MainWindow::N9Click() {
  open_target("TForm16", WindowCode::InverterFaultTable)->on_open();
}

void MainWindow::N13Click() {
  DriveLinkState& st = ctx_.link.st;
  if (!line_ready(st.tsq_count, kNoSpeedCtl)) return;
  VelmoWindow* w = target("TForm18");
  w->show();
  st.active_form = static_cast<uint8_t>(WindowCode::SpeedCtlMenuEditor);
  showMinimized();
  w->on_open();
}

void MainWindow::RS4851Click() {
  DriveLinkState& st = ctx_.link.st;
  if (!line_ready(st.tsq_count, kNoSpeedCtl)) return;
  VelmoWindow* w = target("TForm19");
  w->show();
  st.active_form = static_cast<uint8_t>(WindowCode::SpeedCtlControl);
  showMinimized();
  w->on_open();
}

void MainWindow::N11Click() {
  DriveLinkState& st = ctx_.link.st;
  if (!line_ready(st.servo_count, kNoServo)) return;
  VelmoWindow* w = target("TForm8");
  showMinimized();
  w->show();
  w->on_open();
}

}  // namespace velmo
