#include "main/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QGuiApplication>
#include <QRegularExpressionValidator>

#include "common/form_access.h"
#include "common/node_lists.h"
#include "common/notifier.h"
#include "common/record_files.h"
#include "common/status_line.h"
#include "common/velmo_window.h"
#include "common/window_holds.h"
#include "common/window_parts.h"
#include "common/window_sizing.h"
#include "drivelink/drive_link.h"
#include "drivelink/link_events.h"
#include "drivelink/node_search.h"
#include "link/port_enumerator.h"
#include "main/jpeg_picture.h"
#include "main/dismiss_dialogs.h"
#include "main/program_close.h"
#include "main/wheel_filter.h"

namespace velmo {

namespace {

const QColor kSkyBlue(0xA6, 0xCA, 0xF0);

QComboBox* setting_combo(QWidget* group, const char* name, const QString& label, int y, const QStringList& items,
                         const QString& current) {
  auto* caption = make_label(group, (QByteArray("Label") + name).constData(), label, QRect(15, y + 3, 100, 30));
  QFont bold = caption->font();
  bold.setBold(true);
  caption->setFont(bold);
  auto* combo = make_combo(group, name, QRect(120, y, 180, 34));
  combo->addItems(items);
  if (!current.isEmpty()) combo->setCurrentText(current);
  return combo;
}

}  // namespace

MainWindow::MainWindow(AppContext& ctx, NodeSearch& search, QWidget* parent)
    : QMainWindow(parent), ctx_(ctx), search_(search), save_chooser_(ask_record_path) {
  setObjectName(QStringLiteral("TForm1"));
  setWindowTitle(QStringLiteral("Velmo 1.0.0.10"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  QFont font;
  font.setFamilies({QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei"),
                    QStringLiteral("Noto Sans CJK SC")});
  font.setPixelSize(20);
  setFont(font);
  setAutoFillBackground(true);
  QPalette sky = palette();
  sky.setColor(QPalette::Window, kSkyBlue);
  setPalette(sky);
  resize(1173, 823);
  build_controls();
  build_menu();
  FormCreate();
  connect(&ctx_.link, &DriveLink::hangup, this, &MainWindow::Comm1Hangup);
  // A search opens the port afresh: its lines may replace the lost-port line.
  connect(&ctx_.events, &LinkEvents::node_lists_cleared, this, [this] { release_port_lost_line(this); });
  search_.set_view(this);
  ProgramClose::Hooks hooks;
  hooks.status = [this](const QString& panel, bool failure, const QString& detail) {
    show_status(panel);
    const QString line = detail.isEmpty() ? panel : detail;
    log_timed(failure ? line + QStringLiteral("**") : line);
  };
  hooks.message = [this](const QString& text) { ctx_.notifier.message(this, text); };
  // Every window has been left: the program ends.
  hooks.end = [this] { end_program(); };
  hooks.cut_search = [this] { search_.cut(); };
  closer_ = new ProgramClose(ctx_.link.st, std::move(hooks), this);
  // The boxes of a close nobody can answer end up in the process log.
  ctx_.notifier.set_unattended_log([this](const QString& text) {
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) log_timed(line);
  });
  // No window opens while the others are being left; a close that ends
  // held hands the screen back to the engineer.
  connect(closer_, &ProgramClose::leaving_changed, this, [this](bool leaving) {
    menuBar()->setEnabled(!leaving);
    if (!leaving) ctx_.notifier.set_unattended(false);
  });
  connect(&ctx_.events, &LinkEvents::restore_written, this, [this](const QString& text, bool ok) {
    if (ok) {
      log(text);
      show_status(text);
    } else {
      show_status(text);
      log(text + QStringLiteral("**"));
    }
  });
  // A failed switch to bus control is logged here too; the control window
  // that asked shows it after this.
  connect(&ctx_.events, &LinkEvents::bus_switch_written, this, [this](DeviceFamily, const QString& text, bool ok) {
    if (ok) return;
    show_status(text);
    log(text + QStringLiteral("**"));
  });
}

SearchView::PortChoice MainWindow::port_choice() const {
  auto combo = [this](const char* name) { return control<QComboBox>(this, name); };
  PortChoice choice;
  choice.name = combo("ComboBox1")->currentData().toString();
  choice.baud = combo("ComboBox10")->currentText().toUInt();
  choice.byte_size = combo("ComboBox2")->currentIndex();
  choice.stop_bits = combo("ComboBox4")->currentIndex();
  choice.parity = combo("ComboBox3")->currentText();
  choice.reply_timeout = combo("ComboBox6")->currentIndex();
  return choice;
}

int MainWindow::last_station() const { return control<QLineEdit>(this, "Edit1")->text().toInt(); }

int MainWindow::connect_station() const { return control<QComboBox>(this, "ComboBox5")->currentText().toInt(); }

void MainWindow::show_status(const QString& text) { set_panel(this, text); }

void MainWindow::log(const QString& line) { add_line(this, "Memo2", line); }

void MainWindow::log_timed(const QString& text) { log(timed_line(text)); }

void MainWindow::enable(Button button, bool enabled) {
  static constexpr const char* kNames[] = {"Button1", "Button2", "Button3", "Button4"};
  control<QPushButton>(this, kNames[static_cast<int>(button)])->setEnabled(enabled);
}

void MainWindow::Comm1Hangup() {
  // The adapter was unplugged or the line went away: close the port so the
  // next search opens it afresh, and say so where the user looks first.
  const QString text = port_lost_text(ctx_.link.Comm1.CommName);
  Button2Click();
  hold_port_lost_line(this, text);
  add_line(this, "Memo2", timed_line(text + QStringLiteral("**")));
}

MainWindow::~MainWindow() {
  if (wheel_filter_) qApp->removeEventFilter(wheel_filter_);
}

void MainWindow::build_controls() {
  auto* central = new QWidget(this);
  central->setObjectName(QStringLiteral("MainArea"));
  setCentralWidget(central);

  auto* group = new QGroupBox(QStringLiteral("通讯参数设置"), central);
  group->setObjectName(QStringLiteral("GroupBox1"));
  group->setGeometry(10, 10, 320, 480);
  QFont bold = group->font();
  bold.setBold(true);
  group->setFont(bold);

  auto* port_list = setting_combo(group, "ComboBox1", QStringLiteral("串行端口"), 40, {}, {});
  // The tip shows the chosen port's whole path.
  connect(port_list, &QComboBox::currentIndexChanged, port_list,
          [port_list] { port_list->setToolTip(port_list->currentData().toString()); });
  setting_combo(group, "ComboBox10", QStringLiteral("波特率"), 85,
                {QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
                 QStringLiteral("57600")},
                QStringLiteral("38400"));
  setting_combo(group, "ComboBox2", QStringLiteral("数据位"), 130,
                {QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")}, QStringLiteral("8"));
  setting_combo(group, "ComboBox3", QStringLiteral("校验位"), 175,
                {QStringLiteral("Even"), QStringLiteral("Mark"), QStringLiteral("None"), QStringLiteral("Odd"),
                 QStringLiteral("Space")},
                QStringLiteral("Even"));
  setting_combo(group, "ComboBox4", QStringLiteral("停止位"), 220,
                {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")}, QStringLiteral("1"));
  auto* timeout = setting_combo(group, "ComboBox6", QStringLiteral("通讯超时"), 265,
                                {QStringLiteral("250mS"), QStringLiteral("500mS"), QStringLiteral("1S"),
                                 QStringLiteral("2S"), QStringLiteral("5S"), QStringLiteral("10S")},
                                {});
  timeout->setCurrentIndex(0);
  timeout->hide();
  group->findChild<QLabel*>(QStringLiteral("LabelComboBox6"))->hide();
  connect(timeout, &QComboBox::currentIndexChanged, this, &MainWindow::ComboBox6onchange);

  auto* range_label = make_label(group, "LabelEdit1", QStringLiteral("搜索范围"), QRect(15, 268, 100, 30));
  range_label->setFont(bold);
  auto* range = make_edit(group, "Edit1", QRect(120, 265, 180, 34), QStringLiteral("10"));
  range->setMaxLength(3);
  range->setToolTip(QStringLiteral("1~247"));
  range->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), range));
  range->installEventFilter(this);

  mark_node_list(setting_combo(group, "ComboBox5", QStringLiteral("节点列表"), 310, {}, {}), NodeListGroup::All);

  auto* ports = make_button(group, "Button3", QStringLiteral("搜索串口"), QRect(15, 370, 140, 40));
  ports->setToolTip(QStringLiteral("搜索可用串口"));
  connect(ports, &QPushButton::clicked, this, &MainWindow::Button3Click);
  auto* find = make_button(group, "Button4", QStringLiteral("搜索节点"), QRect(165, 370, 140, 40));
  find->setToolTip(QStringLiteral("搜索线上可用节点，注意搜索范围！！"));
  connect(find, &QPushButton::clicked, this, &MainWindow::Button4Click);
  auto* connect_button = make_button(group, "Button1", QStringLiteral("建立连接"), QRect(15, 420, 140, 40));
  connect_button->hide();
  connect_button->setEnabled(false);
  connect(connect_button, &QPushButton::clicked, this, &MainWindow::Button1Click);
  auto* close_port = make_button(group, "Button2", QStringLiteral("关闭串口"), QRect(165, 420, 140, 40));
  close_port->hide();
  close_port->setEnabled(false);
  connect(close_port, &QPushButton::clicked, this, &MainWindow::Button2Click);
  for (QWidget* w : group->findChildren<QWidget*>()) {
    QFont f = w->font();
    f.setBold(qobject_cast<QLabel*>(w) != nullptr);
    w->setFont(f);
  }

  make_panel(central, QRect(340, 10, 350, 40));
  route_traffic(ctx_.link, WindowCode::Main, make_memo(central, "Memo1", QRect(340, 60, 350, 330)));
  make_memo(central, "Memo2", QRect(340, 400, 350, 250));
  connect(make_button(central, "Button5", QStringLiteral("保存记录"), QRect(340, 665, 165, 40)), &QPushButton::clicked,
          this, &MainWindow::Button5Click);
  connect(make_button(central, "Button6", QStringLiteral("清空记录"), QRect(525, 665, 165, 40)), &QPushButton::clicked,
          this, &MainWindow::Button6Click);

  auto* picture = make_label(central, "Image1", {}, QRect(700, 10, 443, 733));
  picture->setScaledContents(true);
  // A picture that cannot be decoded leaves the area empty.
  const QImage image = decode_jpeg(main_window_picture());
  if (!image.isNull()) picture->setPixmap(QPixmap::fromImage(image));
}

void MainWindow::FormCreate() {
  wheel_filter_ = new WheelFilter(this);
  qApp->installEventFilter(wheel_filter_);

  // Sized around the picture; the picture's top is not added.
  apply_window_scaling(this, primary_screen_size(), findChild<QWidget*>(QStringLiteral("Image1")),
                       findChild<QWidget*>(QStringLiteral("Image1")), 90, 30, false);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  DriveLinkState& st = ctx_.link.st;
  st.active_form = static_cast<uint8_t>(WindowCode::Main);
  control<QPushButton>(this, "Button2")->setEnabled(false);
  st.servo_param_regs = DriveLinkState().servo_param_regs;
  // The first exchange must not wait zero milliseconds for its reply.
  st.comm_timeout_ms = 250;
  control<QComboBox>(this, "ComboBox5")->setCurrentIndex(0);
  GetComListFromReg();
}

namespace {
// The open list is as wide as its longest entry.
void show_whole_entries(QComboBox* ports) {
  QAbstractItemView* view = ports->view();
  view->setTextElideMode(Qt::ElideNone);
  view->setMinimumWidth(view->sizeHintForColumn(0) + 2 * view->frameWidth() + 24);
}

// An entry shows a device by its path and a virtual line by its name, which
// tells simulated lines apart where their long paths are cut off; the entry
// holds the path, and its tip shows it.
int add_port(QComboBox* ports, const QString& path) {
  const int index = ports->count();
  ports->addItem(port_label(path), path);
  ports->setItemData(index, path, Qt::ToolTipRole);
  return index;
}
}  // namespace

void MainWindow::GetComListFromReg() {
  auto* ports = control<QComboBox>(this, "ComboBox1");
  for (const QString& path : enumerate_serial_ports())
    if (ports->findData(path) < 0) add_port(ports, path);
  ports->setCurrentIndex(ports->count() > 0 ? 0 : -1);
  show_whole_entries(ports);
}

void MainWindow::choose_port(const QString& path) {
  auto* ports = control<QComboBox>(this, "ComboBox1");
  int index = ports->findData(path);
  if (index < 0) {
    index = add_port(ports, path);
    show_whole_entries(ports);
  }
  ports->setCurrentIndex(index);
}

void MainWindow::Button4Click() {
  if (!refused_for_operation()) search_.Button4Click();
}

void MainWindow::Button1Click() {
  if (!refused_for_operation()) search_.Button1Click();
}

bool MainWindow::refused_for_operation() {
  // The search takes the line for up to a minute: no stop could reach a
  // running drive meanwhile, and the lists it rebuilds name the drives.
  for (const VelmoWindow* window : program_windows(ctx_.forms)) {
    QString text;
    if (window->operation_running()) {
      text = QStringLiteral("“%1”正在运行，请先结束其操作再搜索节点！！").arg(window->windowTitle());
    } else if (const uint8_t running = window->drive_may_run()) {
      text = QStringLiteral("“%1”启动的节点%2可能仍在运转，请先停止电机再搜索节点！！")
                 .arg(window->windowTitle())
                 .arg(running);
    } else {
      continue;
    }
    // Panel1 is narrow: the log and the message name the window.
    show_status(QStringLiteral("另一窗口正在运行，未搜索节点！！"));
    log_timed(text);
    ctx_.notifier.message(this, text);
    return true;
  }
  return false;
}

void MainWindow::Button3Click() {
  auto* button = control<QPushButton>(this, "Button3");
  button->setEnabled(false);
  control<QComboBox>(this, "ComboBox1")->clear();
  GetComListFromReg();
  // The lost port's line has been read: the new list replaces it.
  release_port_lost_line(this);
  set_panel(this, QStringLiteral("串口搜索完成！！"));
  ctx_.link.delay(1000);
  button->setEnabled(true);
}

void MainWindow::Button2Click() {
  ctx_.link.Comm1.ClosePort();
  control<QPushButton>(this, "Button2")->setEnabled(false);
  set_panel(this, QStringLiteral("关闭串口"));
  ctx_.link.st.connected = 0;
  control<QPushButton>(this, "Button1")->setEnabled(false);
  control<QPushButton>(this, "Button4")->setEnabled(true);
  for (const char* name : {"ComboBox1", "ComboBox2", "ComboBox3", "ComboBox4", "ComboBox10"})
    control<QComboBox>(this, name)->setEnabled(true);
}

void MainWindow::Button5Click() {
  save_records(this, save_chooser_, QStringLiteral("通讯记录.txt"), control<QPlainTextEdit>(this, "Memo1"),
               {{control<QPlainTextEdit>(this, "Memo2"), QStringLiteral("过程记录.txt")}},
               {control<QPlainTextEdit>(this, "Memo2"), control<QPlainTextEdit>(this, "Memo2"), true});
}

void MainWindow::Button6Click() {
  clear_log(control<QPlainTextEdit>(this, "Memo1"));
  clear_log(control<QPlainTextEdit>(this, "Memo2"));
}

void MainWindow::ComboBox6onchange(int index) {
  static constexpr uint32_t kTimeouts[] = {250, 500, 1000, 2000, 5000};
  ctx_.link.st.comm_timeout_ms = index >= 0 && index < 5 ? kTimeouts[index] : 10000;
}

void MainWindow::edit1onchange() {
  auto* edit = control<QLineEdit>(this, "Edit1");
  const QString text = edit->text().trimmed();
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok || value < 1)
    edit->setText(QStringLiteral("1"));
  else if (value > 247)
    edit->setText(QStringLiteral("247"));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched->objectName() == QLatin1String("Edit1")) {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        focusNextChild();
        return true;
      }
      const QString text = key->text();
      // Digits and Backspace pass; other typed characters are dropped.
      if (!text.isEmpty() && text.at(0).isPrint() && !text.at(0).isDigit()) return true;
    } else if (event->type() == QEvent::FocusOut) {
      edit1onchange();
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::set_program_windows(std::vector<VelmoWindow*> windows) { closer_->set_windows(std::move(windows)); }

void MainWindow::close_on_signal() {
  // Nobody may be there to answer: what the close has to say goes to the
  // logs, and a box or dialog already open is dismissed as if cancelled.
  ctx_.notifier.set_unattended(true);
  log_timed(QStringLiteral("收到退出信号，正在关闭程序"));
  dismiss_open_dialogs();
  // Not through close(): a close already under way (its box was open) would
  // swallow it.
  if (closer_->request(true)) end_program();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // The open windows are left first and an exchange in flight ends; the
  // program ends once they are.
  if (!closer_->request()) {
    event->ignore();
    return;
  }
  event->accept();
  end_program();
}

void MainWindow::end_program() {
  if (ended_) return;
  ended_ = true;
  // Whatever still unwinds below this close sends nothing.
  ctx_.link.end_of_program();
  emit closed();
}

}  // namespace velmo
