#include "common/run_control_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

#include "common/form_access.h"
#include "common/status_lamp.h"
#include "common/status_line.h"
#include "common/window_parts.h"
#include "drivelink/batch_writes.h"
#include "drivelink/drive_link.h"

namespace velmo {

// Forward, reverse, stop and fault reset: one write of 0x1000 each.
struct RunControlWindow::RunRow {
  uint8_t code;
  const char* button;
  CommandKind kind;
  uint16_t value;  // the stop's comes from stop_value()
  bool takes_over;
  uint8_t run_state;  // after an accepted reply
  const char* name;   // the command, in the line of a takeover that failed
  const char* ok;
  const char* failed;
};

namespace {


constexpr RunControlWindow::RunRow kRunRows[] = {
    {RunControlWindow::kForward, "Button3", CommandKind::Run, 1, true, 1, "正转", "正转！！", "正转控制失败**"},
    {RunControlWindow::kReverse, "Button4", CommandKind::Run, 2, true, 1, "反转", "反转！！", "反转控制失败**"},
    {RunControlWindow::kStop, "Button5", CommandKind::Safety, 0, true, 0, "停止运转", "停止运转！！",
     "停止运转控制失败**"},
    {RunControlWindow::kFaultReset, "Button6", CommandKind::Safety, 8, false, 0, "故障复位", "故障复位成功！！",
     "故障复位控制失败**"},
};

// The command went out and the drive took it, but the switch to bus control
// before it failed (at `step`): the drive may not obey the line.
QString unconfirmed_control(const QString& command, const QString& step) {
  const QString named = step.isEmpty() ? QString() : QStringLiteral("（") + step + QStringLiteral("）");
  return command + QStringLiteral("命令已发送，但RS485控制设置失败") + named + QStringLiteral("**");
}

constexpr const char* kLampNames[] = {"Shape1", "Shape2", "Shape3", "Shape4"};

}  // namespace

RunControlWindow::RunControlWindow(AppContext& ctx, const char* object_name, const QString& title, QSize design_size,
                                   Setup setup, bool fail_log, QWidget* parent)
    : BusControlWindow(ctx, object_name, title, design_size, setup.family, setup.exit_texts, parent), setup_(std::move(setup)) {
  // No close box: the window is left through Button1 only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
  make_label(this, "LabelNode", QStringLiteral("节点："), QRect(10, 12, 60, 28));
  nodes_ = make_node_list("ComboBox1", QRect(70, 10, 100, 30));
  make_panel(this, QRect(190, 10, 640, 30));
  exit_button_ = make_button(this, "Button1", QStringLiteral("退出"), QRect(850, 8, 100, 34));
  connect(exit_button_, &QPushButton::clicked, this, [this] { exit_clicked(); });
  connect(make_button(this, "Button8", QStringLiteral("清空记录"), QRect(850, 50, 100, 34)), &QPushButton::clicked,
          this, [this] { Button8Click(); });

  // The logs across the foot of the window, each under its heading. The
  // last one is the window's bottom-right control: the screen scaling fits
  // the window around it.
  make_label(this, "LabelMemo1", QStringLiteral("通讯记录"), QRect(10, 466, 310, 24));
  auto* traffic = make_memo(this, "Memo1", QRect(10, 492, 310, 120));
  make_label(this, "LabelMemo2", fail_log ? QStringLiteral("通讯过程记录（成功）") : QStringLiteral("通讯过程记录"),
             QRect(330, 466, 300, 24));
  auto* ok_log = make_memo(this, "Memo2", QRect(330, 492, fail_log ? 300 : 620, 120));
  QPlainTextEdit* failures = ok_log;
  if (fail_log) {
    make_label(this, "LabelMemo3", QStringLiteral("通讯过程记录（失败）"), QRect(640, 466, 310, 24));
    failures = make_memo(this, "Memo3", QRect(640, 492, 310, 120));
  }
  set_logs(traffic, ok_log, failures);
  last_log_ = failures;
  route_traffic(ctx.link, setup_.window_code, traffic);
}

void RunControlWindow::build_status_controls(QWidget* box, int top, const QString& fault_lamp_text) {
  const QString texts[] = {QStringLiteral("正转中"), QStringLiteral("反转中"), QStringLiteral("停止中"), fault_lamp_text};
  // The fault lamp's caption runs on to the buttons: a speed controller's
  // names the likely causes.
  for (int k = 0; k < 4; ++k) {
    lamps_[k] = new StatusLamp(kLampNames[k], box);
    lamps_[k]->setGeometry(10 + k * 110, top, 24, 24);
    make_label(box, (QByteArray("Label") + kLampNames[k]).constData(), texts[k],
               QRect(38 + k * 110, top - 2, k < 3 ? 76 : 222, 28));
  }
  read_button_ = make_button(box, "Button7", QStringLiteral("状态读取"), QRect(600, top - 6, 100, 34));
  connect(read_button_, &QPushButton::clicked, this, [this] { Button7Click(); });
  continuous_ = new QCheckBox(QStringLiteral("连续读取"), box);
  continuous_->setObjectName(QStringLiteral("CheckBox1"));
  continuous_->setToolTip(QStringLiteral("读取间隔：2秒"));
  continuous_->setGeometry(710, top - 2, 104, 28);
  bind_continuous_reading(continuous_, exit_button_);
  make_button(box, "Button6", QStringLiteral("故障复位"), QRect(600, top + 34, 100, 34));
  make_stale_notice(box, QRect(10, top + 36, 560, 28));
  add_status_view({lamps_[0], lamps_[1], lamps_[2], lamps_[3]});
}

void RunControlWindow::build_run_controls(QWidget* box, int top, const QString& settings_text,
                                          const QString& settings_hint) {
  settings_name_ = settings_text;
  make_button(box, "Button2", settings_text, QRect(10, top, 160, 34))->setToolTip(settings_hint);
  const char* names[] = {"Button3", "Button4", "Button5"};
  const char* texts[] = {"正转", "反转", "停止"};
  for (int k = 0; k < 3; ++k) make_button(box, names[k], QString::fromUtf8(texts[k]), QRect(190 + k * 110, top, 100, 34));
}

void RunControlWindow::register_commands() {
  auto button = [this](const char* name) { return control<QPushButton>(this, name); };
  // Registration order is the replay order: 1 to 5.
  for (const RunRow& row : kRunRows) {
    if (row.code == kFaultReset)
      add_command({kSettings, CommandKind::Other, button("Button2"), [this](uint8_t node) { settings_command(node); }});
    add_command({row.code, row.kind, button(row.button), [this, &row](uint8_t node) { run_command(row, node); }});
  }
  const std::pair<const char*, uint8_t> clicks[] = {
      {"Button2", kSettings}, {"Button3", kForward}, {"Button4", kReverse}, {"Button5", kStop}, {"Button6", kFaultReset}};
  for (const auto& [name, code] : clicks)
    connect(button(name), &QPushButton::clicked, this, [this, code] {
      start_replay_timer();
      issue(code, selected_node());
    });
}

int RunControlWindow::position_of(uint8_t node) const {
  const DriveLinkState& s = st();
  for (int i = 0; i < s.*setup_.count; ++i)
    if ((s.*setup_.nodes)[i] == node) return i;
  return -1;
}

bool RunControlWindow::take_over(uint8_t node) {
  const int i = position_of(node);
  if (i < 0) return true;
  if ((st().*setup_.bus_ok)[i] != 0) {
    // Under bus control already when the line was searched, and not by this
    // program: what the drive's own settings were is unknown.
    if ((st().*setup_.restore_flags)[i] == 0 && first_found_under_bus(node)) under_bus_notice_ = node;
    return true;
  }
  (st().*setup_.restore_flags)[i] = 1;
  switch_to_bus(i, setup_.take_over);
  if (st().batch_go != 1) {
    takeover_failed_ = ctx_.batch.failed_step();
    return false;
  }
  (st().*setup_.bus_ok)[i] = 1;
  return true;
}

void RunControlWindow::say_found_under_bus() {
  if (under_bus_notice_ == 0) return;
  report_failure(under_bus_notice_, found_under_bus_text());
  under_bus_notice_ = 0;
  command_failed_ = true;  // the read after the command keeps it on Panel1
}

void RunControlWindow::run_command(const RunRow& row, uint8_t node) {
  Claim claim = claim_write();
  command_failed_ = false;
  const bool taken_over = !row.takes_over || take_over(node);
  struct SayAfter {
    RunControlWindow& w;
    ~SayAfter() { w.say_found_under_bus(); }
  } say{*this};
  const uint16_t value = row.code == kStop ? stop_value(position_of(node)) : row.value;
  if (write_command(node, kCommandReg, value)) {
    run_state(node) = row.run_state;
    state_confirmed(node);
    if (taken_over) {
      report_ok(node, QString::fromUtf8(row.ok));
    } else {
      append_ok_line(node, QString::fromUtf8(row.ok));
      report_failure(node, unconfirmed_control(QString::fromUtf8(row.name), takeover_failed_));
      command_failed_ = true;  // the read after it keeps this line on Panel1
    }
  } else {
    report_failure(node, QString::fromUtf8(row.failed));
    command_failed_ = true;
    mark_run_unknown(node);
  }
}

void RunControlWindow::settings_command(uint8_t node) {
  Claim claim = claim_write();
  command_failed_ = false;
  const bool taken_over = take_over(node);
  struct SayAfter {
    RunControlWindow& w;
    ~SayAfter() { w.say_found_under_bus(); }
  } say{*this};
  send_settings(node);
  // Where every write went through, the line says that the drive may still
  // take its settings from elsewhere; a failed write's line stays.
  if (!taken_over && !command_failed_) {
    report_failure(node, unconfirmed_control(settings_name_, takeover_failed_));
    command_failed_ = true;
  }
}

void RunControlWindow::settings_refused(uint8_t node, const QString& text) {
  report_failure(node, text);
  command_failed_ = true;
}

bool RunControlWindow::write_with_lines(uint8_t node, uint16_t reg, uint16_t value, const QString& ok,
                                        const QString& failed) {
  const bool accepted = write_command(node, reg, value);
  if (accepted) {
    // A later write's success does not hide an earlier one's failure.
    if (command_failed_) append_ok_line(node, ok);
    else report_ok(node, ok);
  } else {
    report_failure(node, failed);
    command_failed_ = true;
  }
  return accepted;
}

void RunControlWindow::read_failed(uint8_t node, const QString& text) {
  // The read after a failed command, or a poll, leaves that failure on
  // Panel1; the failure log has both. The status block's failure is not
  // hidden by the fault read's after it.
  report_read_failure(node, text, (read_by_user_ || !command_failed_) && !block_failed_);
  ++st().read_fail_count;
  if (setup_.failed_read_stops_reading) continuous_->setChecked(false);
}

void RunControlWindow::status_read(uint8_t node, bool by_user) {
  ButtonHold hold(read_button_);
  if (node == 0 || !link_idle()) return;  // another exchange waits: nothing is read, no state changes
  Claim claim = claim_read();
  read_by_user_ = by_user;
  if (by_user) command_failed_ = false;
  read_status_of(node, [&] {
    if (const std::optional<uint16_t> word = read_status_block(node)) {
      if (!command_failed_) set_panel(this, node_line(node, QStringLiteral("状态信息读取成功！！")));
      ++st().read_ok_count;
      status_block_read(node, true);
      state_confirmed(node);
      const StateMeaning meaning = meaning_of(*word);
      for (int k = 0; k < 4; ++k) lamps_[k]->set_lit(meaning.lamp == k);
      const int i = position_of(node);
      const bool ours = i >= 0 && (st().*setup_.bus_ok)[i] == 1;
      uint8_t& state = run_state(node);
      if (state == kRunUnknown)
        state = meaning.lamp ? meaning.run_state : 0;  // the drive answered: no longer unknown
      else if (meaning.lamp && (meaning.run_state == 0 || ours))
        state = meaning.run_state;  // a drive not under bus control is not ours to stop
    } else {
      read_failed(node, setup_.status_failed);
      status_block_read(node, false);
      block_failed_ = true;
    }

    read_after_status(node);
  });
  read_by_user_ = true;
  block_failed_ = false;
}

void RunControlWindow::Button8Click() {
  clear_logs();
  if (setup_.clear_resets_counters) {
    st().read_ok_count = 0;
    st().read_fail_count = 0;
  }
}

void RunControlWindow::show_poll_counters() {
  if (auto* ok = findChild<QLabel*>(QStringLiteral("Label16"))) ok->setText(QString::number(st().read_ok_count));
  if (auto* failed = findChild<QLabel*>(QStringLiteral("Label17"))) failed->setText(QString::number(st().read_fail_count));
}

bool RunControlWindow::any_running() {
  const DriveLinkState& s = st();
  for (int k = 0; k < s.*setup_.count; ++k)
    if (run_state((s.*setup_.nodes)[k]) != 0) return true;
  return false;
}

void RunControlWindow::enter_leaving() {
  continuous_->setChecked(false);
  exit_button_->setEnabled(false);
}

BusControlWindow::RestoreOutcome RunControlWindow::restore_drives() {
  const DriveLinkState& s = st();
  bool flagged = false;
  for (int k = 0; k < s.*setup_.count; ++k) flagged = flagged || (s.*setup_.restore_flags)[k] != 0;
  // The lambda holds the batch and the member pointer, not this: GCC's vptr
  // check takes a member-pointer call through a captured this for an access
  // to the closure itself.
  BatchWrites& batch = ctx_.batch;
  const auto restore = setup_.restore;
  return restore_flagged(flagged, [&batch, restore] { (batch.*restore)(); });
}

bool RunControlWindow::under_own_control(uint8_t station) const {
  const int i = position_of(station);
  return i >= 0 && (st().*setup_.restore_flags)[i] != 0;
}

void RunControlWindow::restore_failed_stay() {
  exit_button_->setEnabled(true);
  // Reading on again, so the user sees the fault to reset.
  continuous_->setChecked(true);
}

void RunControlWindow::exit_refused() { continuous_->setChecked(true); }

void RunControlWindow::on_leave() { exit_button_->setEnabled(true); }

}  // namespace velmo
