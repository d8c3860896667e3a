#include "tuning/gain_tuning_window.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include "common/form_access.h"
#include "common/node_lists.h"
#include "common/notifier.h"
#include "common/status_lamp.h"
#include "common/status_line.h"
#include "common/window_parts.h"
#include "drivelink/drive_identity.h"
#include "drivelink/drive_link.h"
#include "drivelink/link_events.h"
#include "servo/servo_bus_release.h"
#include "tuning/input_lock.h"
#include "tuning/numeric_field.h"
#include "tuning/search_tables.h"
#include "tuning/tuning_chart.h"
#include "tuning/tuning_report.h"
#include "tuning/tuning_sequence.h"

namespace velmo {

using tuning::StrokeTrigger;

namespace {
// Where the hidden track bars rest before any spectrum (dB).
constexpr int kTrackbarRestDb = -60;
}  // namespace

GainTuningWindow::GainTuningWindow(AppContext& ctx, QWidget* parent)
    : VelmoWindow(ctx, "TForm3", QStringLiteral("驱动器增益调试"), QSize(1200, 800), parent) {
  // No close box: the window is left with 退出.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  build_frame();
  build_search_controls();
  wire_fields();
  tuning::TuningState& ts = *tuning_;
  ts.rigidity_level = 10;
  ts.gear_a = 1;
  ts.gear_b = 1;
  ts.move_dir = 1;
  ts.move_params_changed = 1;
  ts.load_class = 0;
  ts.response_mode = 0;
  ts.rigidity_max = 15;
  apply_screen_scaling(pages_);
}

GainTuningWindow::~GainTuningWindow() = default;

void GainTuningWindow::build_frame() {
  auto* menu = new QMenuBar(this);
  menu->setGeometry(0, 0, 1200, 24);
  QAction* help = menu->addMenu(QStringLiteral("帮助"))->addAction(QStringLiteral("位置模式增益调整方法"));
  connect(help, &QAction::triggered, this, [this] { show_help(); });

  make_label(this, "Label1", QStringLiteral("节点："), QRect(10, 32, 50, 28));
  nodes_ = make_combo(this, "ComboBox2", QRect(60, 30, 90, 30));
  mark_node_list(nodes_, NodeListGroup::Servo);
  connect(nodes_, &QComboBox::activated, this, [this](int) {
    if (!sequence_running() && !exiting_) {
      ComboBox2Change();
    } else if (node() != 0) {
      // The operation goes on with its drive: the list keeps naming it.
      show_station(nodes_, node());
    }
  });
  panel_ = make_panel(this, QRect(160, 30, 560, 30));
  on_click(make_button(this, "Button7", QStringLiteral("故障复位"), QRect(730, 28, 100, 34)), &GainTuningWindow::Button7Click);
  // SERVO_OFF is taken at any time: during a sequence it ends it.
  connect(make_button(this, "Button20", QStringLiteral("SERVO_OFF"), QRect(840, 28, 100, 34)), &QPushButton::clicked,
          this, [this] { user_servo_off(); });
  on_click(make_button(this, "Button3", QStringLiteral("清空记录"), QRect(950, 28, 100, 34)), &GainTuningWindow::Button3Click);
  // Exit is taken at any time: it stops what runs first.
  connect(make_button(this, "Button1", QStringLiteral("退出"), QRect(1080, 28, 100, 34)), &QPushButton::clicked, this,
          [this] { Button1Click(); });

  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("PageControl1"));
  pages_->setGeometry(10, 70, 1170, 700);
  pages_->addTab(build_auto_page(), QStringLiteral(" 自动调谐  "));
  pages_->addTab(build_manual_page(), QStringLiteral(" 手动调谐  "));
  pages_->addTab(build_trial_page(), QStringLiteral(" 试运行  "));
  chart_ = new tuning::TuningChart;
  pages_->addTab(chart_, QStringLiteral(" 曲线显示  "));
  pages_->addTab(build_limits_page(), QStringLiteral(" 自动调谐相关参数  "));
  pages_->addTab(build_log_page(), QStringLiteral(" 通讯数据  "));
  // The mode writes before a servo's settings are restored.
  connect(&ctx_.events, &LinkEvents::servo_mode_written, this, [this](int station, const QString& text, bool done) {
    const QString line = node_line(station, text);
    set_panel(this, line);
    if (!done) add_line(this, "Memo4", line + QStringLiteral("**"));
  });
  // A new search lists the nodes afresh: what was found belongs to none of them.
  connect(&ctx_.events, &LinkEvents::node_lists_cleared, this, [this] {
    if (!sequence_running()) clear_results();
  });
  report_ = std::make_unique<tuning::TuningReport>(tuning_->station, panel_, memo3_, memo4_);
  set_failure_log(memo4_, true);
}

void GainTuningWindow::on_click(QPushButton* button, void (GainTuningWindow::*op)()) {
  connect(button, &QPushButton::clicked, this, [this, op] {
    // One operation at a time: what the user starts while another runs
    // would interleave its exchanges with the running one's.
    if (sequence_running() || exiting_) return;
    // The list names no drive (its station left the line): nothing is sent.
    if (node() == 0) {
      report_->caption(QStringLiteral("未选择节点，请先选择节点!!"));
      return;
    }
    // A start by the user: what an earlier operation failed on must not
    // quietly end this one.
    ctx_.link.st.comm_error = 0;
    ctx_.link.st.tune_error = 0;
    (this->*op)();
  });
}

QLineEdit* GainTuningWindow::edit(const char* name) const { return control<QLineEdit>(this, name); }

tuning::NumericField* GainTuningWindow::field(const char* name) const {
  return edit(name)->findChild<tuning::NumericField*>();
}

uint8_t GainTuningWindow::node() const { return tuning_->station; }

bool GainTuningWindow::holds(uint8_t station) const {
  if (station == 0) return false;
  if (station == node() && (sequence_running() || exit_pending_ || exiting_)) return true;
  return ctx_.link.st.servo_restore_flags[station] == restore_code();
}

void GainTuningWindow::station_gone(uint8_t station) {
  // No drive until the engineer picks one; what was found was that one's.
  if (station == tuning_->station) tuning_->station = 0;
  results_node_ = 0;
  // What the fields show was read from the drive that went away.
  mark_settings(QStringLiteral("读自已不在线上的节点%1，不是当前线路上任何驱动器的值").arg(station));
  VelmoWindow::station_gone(station);
}

void GainTuningWindow::station_back(uint8_t station) {
  VelmoWindow::station_back(station);
  // The same drive answers again: the window goes on with it (and its exit
  // can switch it off and restore it).
  if (sequence_running() || nodes_->currentIndex() < 0) return;
  take_drive(nodes_->currentIndex());
  results_node_ = station;
}

void GainTuningWindow::station_moved(uint8_t from, uint8_t to) {
  // The same drive at its new address: the window goes on with it.
  if (tuning_->station == from) tuning_->station = to;
  if (results_node_ == from) results_node_ = to;
}

void GainTuningWindow::take_drive(int index) {
  const DriveLinkState& st = ctx_.link.st;
  if (index < 0 || index >= kListSlots || node_of(nodes_) == 0) return;
  tuning_->station = static_cast<uint8_t>(node_of(nodes_));
  tuning_->servo_subtype = st.servo_subtype_list[index] & 0xFF;
  tuning_->servo_resolution = st.servo_resolution_list[index];
}

const tuning::TuningLayout& GainTuningWindow::layout() const { return tuning::tuning_layout(tuning_->servo_subtype); }

bool GainTuningWindow::stop_requested() const { return stop_ && stop_->requested(); }

std::unique_ptr<tuning::InputLock> GainTuningWindow::lock_inputs() {
  // The stops, SERVO_OFF and exit act during every sequence.
  static const QStringList usable = {QStringLiteral("Button1"), QStringLiteral("Button20"), QStringLiteral("Button30"),
                                     QStringLiteral("Button38"), QStringLiteral("Button48")};
  return std::make_unique<tuning::InputLock>(this, usable, chart_);
}

bool GainTuningWindow::request_stop() {
  if (!stop_) return false;
  stop_->request();
  ctx_.link.request_abort();
  return true;
}

void GainTuningWindow::on_open() {
  // Opened on another node than the one its results and settings came from
  // (the node list's choice: the station is taken in the opening steps).
  const auto chosen = static_cast<uint8_t>(node_of(nodes_));
  if (chosen != results_node_) {
    clear_results();
    mark_settings_unread(chosen);
  }
  results_node_ = chosen;
  open_steps();
  // Whatever the opening read, the next move starts forward on freshly
  // written settings.
  tuning_->move_params_changed = 1;
  tuning_->move_dir = 1;
}

void GainTuningWindow::open_steps() {
  // The opener's shorter sequence, without waits.
  Sequence run(*this);
  if (!run.ok()) return;
  take_drive(nodes_->currentIndex());
  axis_position_.reset();
  // What the drive held may have been restored or changed since.
  confirmed_.forget();
  tuning_->move_params_changed = 1;
  Button23Click();
  Button14Click();
  control<QRadioButton>(this, "RadioButton1")->setChecked(true);
  control<QRadioButton>(this, "RadioButton5")->setChecked(true);
}

void GainTuningWindow::ComboBox2Change() {
  Sequence run(*this);
  if (!run.ok()) return;
  tuning::TuningState& ts = *tuning_;
  // What was found on the node before is not this one's.
  clear_results();
  const int index = nodes_->currentIndex();
  if (index < 0 || node_of(nodes_) == 0) return;
  take_drive(index);
  // What the fields show is the last node's until this one's reads fill them.
  mark_settings_unread(node());
  results_node_ = node();
  axis_position_.reset();

  auto* notch = control<QRadioButton>(this, "RadioButton1");
  auto* suppressor = control<QRadioButton>(this, "RadioButton5");
  for (QRadioButton* r : {notch, suppressor}) {
    r->setAutoExclusive(false);
    r->setChecked(false);
    r->setAutoExclusive(true);
  }
  Button23Click();
  Button6Click();
  ctx_.link.delay(500);
  if (!run.stopped()) Button14Click();
  ctx_.link.delay(500);
  if (!run.stopped()) notch->setChecked(true);
  ctx_.link.delay(500);
  if (!run.stopped()) suppressor->setChecked(true);

  ts.move_params_changed = 1;
  ts.move_dir = 1;
  edit("Edit8")->setText(QStringLiteral("3"));
  edit("Edit35")->setText(QStringLiteral("3"));
  recompute_stroke(StrokeTrigger::LeaveTrialField);
}

void GainTuningWindow::clear_results() {
  tuning::TuningState& ts = *tuning_;
  chart_->clear_results();
  for (const char* name : {"Edit5", "Edit6", "Edit32", "Edit33", "Edit44", "Edit45", "Edit53", "Edit54", "Edit43",
                           "Edit60", "Edit17", "Edit34"})
    edit(name)->clear();
  edit("Edit54")->setToolTip(QString());
  hidden.peak_torque.clear();
  show_trackbars(kTrackbarRestDb, 0);
  ts.resonance_found = ts.endvib_found = ts.jitter_found = 0;
  ts.resonance_freq = ts.endvib_freq_x10 = 0;
  ts.torque_flag = ts.overshoot_flag = ts.peaks_flag = ts.response_met = 0;
  ts.response_time = 0;
  ts.max_position = ts.reach_level = 0;
  ts.sample_count = 0;
  ts.capture_block_ok = 0;
  response_valid_ = false;
  ratio_written_ = false;
  // The stage lamps too: which stages ran was that node's.
  ts.tuning_stage.fill(0);
  timer3_->stop();
  for (const tuning::StageLamp& row : tuning::kStageLamps) control<StatusLamp>(this, row.name)->set_lit(false);
}

void GainTuningWindow::Button7Click() {
  Sequence run(*this);
  if (!run.ok()) return;
  auto* button = control<QPushButton>(this, "Button7");
  button->setEnabled(false);
  fault_reset();
  button->setEnabled(true);
}

void GainTuningWindow::fault_reset() {
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  st.cmd_reg = tuning::kCommand;
  st.cmd_value = tuning::kFaultReset;
  ctx_.link.command_send(node());
  if (st.cmd_fail) {
    report_->failed(QStringLiteral("故障复位失败"));
  } else {
    report_->done(QStringLiteral("故障复位成功"));
    ts.drive_fault_seen = 0;
    // A reset drive may have left its test mode.
    confirmed_.forget();
  }
}

void GainTuningWindow::Button3Click() {
  for (QPlainTextEdit* m : {memo1_, memo3_, memo4_}) m->clear();
}

void GainTuningWindow::show_help() {
  if (QWidget* help = ctx_.forms ? ctx_.forms("TForm6") : nullptr) help->show();
}

void GainTuningWindow::Button1Click() {
  if (exiting_ || exit_pending_) return;
  if (sequence_running()) {
    // Stop what runs; the exit steps follow once it has unwound.
    exit_pending_ = true;
    request_stop();
    return;
  }
  exit_steps();
}

bool GainTuningWindow::exit_guard() {
  if (exiting_) return true;
  // The close box takes the exit button's way.
  Button1Click();
  return false;
}

void GainTuningWindow::on_program_closing(bool closing) {
  // A running operation stops now, as with 退出; the exit steps follow once
  // it has unwound, whichever window the close is busy with meanwhile.
  if (closing && sequence_running()) Button1Click();
}

bool GainTuningWindow::read_drive_fault() {
  tuning::TuningState& ts = *tuning_;
  if (!ctx_.link.read_registers(node(), tuning::kDriveStatus, 1)) return false;
  ts.drive_fault_seen = (ctx_.link.reply_word(0) & 0xFF) != 0 ? 1 : 0;
  return true;
}

void GainTuningWindow::exit_steps() {
  if (exiting_) return;
  exiting_ = true;
  exit_pending_ = false;
  DriveLinkState& st = ctx_.link.st;
  tuning::TuningState& ts = *tuning_;
  st.abort_wait = 0;
  // A drive this window took over that the line searched last does not hold
  // still waits for its settings: nothing goes to whatever answers at its
  // number, and the window stays until that drive is found again.
  const std::vector<uint32_t> waiting = parked_drives(
      st, [code = restore_code()](const StationRecords& r) { return r.servo_restore_flags == code; });
  if (!waiting.empty()) {
    const QString text = QStringLiteral("%1不在当前线路上，其设置仍待恢复，请重新搜索该线路后再退出！！")
                             .arg(parked_names(st, waiting));
    report_->bare(text);
    if (!program_closing()) ctx_.notifier.message(this, text);
    set_holds_drive(true);
    exiting_ = false;
    return;
  }
  report_->caption(QStringLiteral("退出485模式并恢复相关参数"));
  // The window's drive left the line: nothing of its own steps goes out.
  const bool own_drive = node() != 0;
  // A long stroke may outlast the sequence it belonged to: the axis is
  // stopped before the window is left.
  if (own_drive && move_may_be_running()) stop_test_move();
  // The drive comes to rest before its status is read.
  if (own_drive) ctx_.link.delay(2000);
  // Nothing is left holding the axis once the window is gone, but a
  // vertical load: switched off, it would drop.
  const bool keeps_holding = hidden.vertical_load || ts.hold_servo_on != 0;
  if (own_drive && !keeps_holding && (servo_may_be_on_ || ts.servo_on_state != 0)) servo_off();
  if (own_drive && read_drive_fault() && ts.drive_fault_seen) {
    fault_reset();
    ctx_.link.delay(200);
  }
  // Only the drives this window took over, and only those whose settings
  // went back, lose their restore flag.
  const auto restored = servo::restore_own_servos(st, ctx_.batch, restore_code(),
                                                  [this](uint8_t a) { return held_elsewhere(a); });
  // A SERVO_OFF pressed during these steps and still waiting goes out now.
  if (own_drive) finish_user_servo_off();
  confirmed_.forget();
  set_holds_drive(!restored.ok || (own_drive && servo_may_be_on_ && !keeps_holding));
  if (!restored.ok) {
    report_->failed(QStringLiteral("恢复参数失败"));
    if (!restored.line_dead) {
      // The drive answered but refused: it stays open so the fault can be reset.
      exiting_ = false;
      return;
    }
  }
  for (int k = 1; k <= 6; ++k) {
    auto* r = control<QRadioButton>(this, QStringLiteral("RadioButton%1").arg(k).toLatin1().constData());
    r->setAutoExclusive(false);
    r->setChecked(false);
    r->setAutoExclusive(true);
  }
  ts.servo_on_state = 0;
  for (const tuning::StageLamp& row : tuning::kStageLamps)
    if (row.stage >= 0) ts.tuning_stage[static_cast<size_t>(row.stage)] = 0;
  // Nothing blinks behind a closed window; the lamps show the reset stages.
  timer3_->stop();
  Timer3Timer();
  leave();
  exiting_ = false;
}

}  // namespace velmo
