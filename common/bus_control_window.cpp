#include "common/bus_control_window.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QShowEvent>

#include <algorithm>

#include "common/form_access.h"
#include "common/node_lists.h"
#include "common/notifier.h"
#include "common/status_lamp.h"
#include "common/status_line.h"
#include "common/window_holds.h"
#include "common/window_parts.h"
#include "drivelink/batch_writes.h"
#include "drivelink/drive_identity.h"
#include "drivelink/drive_link.h"
#include "drivelink/link_events.h"

namespace velmo {

BusControlWindow::BusControlWindow(AppContext& ctx, const char* object_name, const QString& title,
                                   QSize design_size, Family family, ExitTexts exit_texts, QWidget* parent)
    : VelmoWindow(ctx, object_name, title, design_size, parent),
      family_(family),
      exit_texts_(std::move(exit_texts)),
      timer1_(new ClockTimer(this)),
      timer2_(new ClockTimer(this)),
      save_chooser_(ask_record_path) {
  timer1_->setObjectName(QStringLiteral("Timer1"));
  timer1_->setInterval(2000);
  timer2_->setObjectName(QStringLiteral("Timer2"));
  timer2_->setInterval(100);
  connect(timer1_, &ClockTimer::timeout, this, &BusControlWindow::Timer1Timer);
  connect(timer2_, &ClockTimer::timeout, this, &BusControlWindow::Timer2Timer);
  connect(&ctx.events, &LinkEvents::bus_switch_written, this, [this](DeviceFamily device, const QString& text, bool ok) {
    if (device == family_.device) show_bus_switch(text, ok);
  });
}

QComboBox* BusControlWindow::make_node_list(const char* name, const QRect& geometry) {
  QComboBox* nodes = make_combo(this, name, geometry);
  mark_node_list(nodes, node_list_group(family_.device));
  ctx_.batch.set_selection(family_.device,
                           [this, nodes] { return switching_pos_ >= 0 ? switching_pos_ : nodes->currentIndex(); });
  watch_node_list(nodes);
  return nodes;
}

void BusControlWindow::watch_node_list(QComboBox* nodes) {
  node_list_ = nodes;
  connect(nodes, &QComboBox::currentIndexChanged, this, [this] { node_chosen(); });
}

uint8_t BusControlWindow::selected_node() const {
  const int n = node_of(node_list_);
  return n >= 1 && n <= kMaxStation ? static_cast<uint8_t>(n) : 0;
}

namespace {

const QString kReadFailedNotice = QStringLiteral("状态读取失败：显示的是上次读取的状态，不是当前状态");

// A run command's state: running, or unknown after a command without an
// accepted reply.
bool may_run(uint8_t state) { return state == 1 || state == BusControlWindow::kRunUnknown; }

// The stations the search found of one family, in list order.
std::vector<uint8_t> family_nodes(const DriveLinkState& s, DeviceFamily family) {
  const ByPos<uint8_t>& nodes = family == DeviceFamily::Servo      ? s.servo_nodes
                                : family == DeviceFamily::Inverter ? s.bpq_nodes
                                                                   : s.tsq_nodes;
  const int count = family == DeviceFamily::Servo      ? s.servo_count
                    : family == DeviceFamily::Inverter ? s.bpq_count
                                                       : s.tsq_count;
  return std::vector<uint8_t>(nodes.begin(), nodes.begin() + count);
}

}  // namespace

QString BusControlWindow::unread_notice(uint8_t node) const { return node_line(node, unread_message()); }

class BusControlWindow::WorkingOn {
 public:
  WorkingOn(BusControlWindow& w, uint8_t node) : w_(w), before_(w.working_on_) {
    w_.working_on_ = node;
    ++w_.in_command_;
  }
  ~WorkingOn() {
    w_.working_on_ = before_;
    --w_.in_command_;
  }
  WorkingOn(const WorkingOn&) = delete;
  WorkingOn& operator=(const WorkingOn&) = delete;

 private:
  BusControlWindow& w_;
  uint8_t before_;
};

void BusControlWindow::make_stale_notice(QWidget* box, const QRect& geometry) {
  // The longest notice first, so the layout is fitted to it.
  stale_notice_ = make_label(box, "LabelStale", kReadFailedNotice, geometry);
  QPalette warning = stale_notice_->palette();
  warning.setColor(QPalette::WindowText, QColor(160, 80, 0));
  stale_notice_->setPalette(warning);
  stale_notice_->hide();
}

void BusControlWindow::add_status_view(const std::vector<QWidget*>& block, const std::vector<QWidget*>& fault) {
  block_view_.insert(block_view_.end(), block.begin(), block.end());
  fault_view_.insert(fault_view_.end(), fault.begin(), fault.end());
}

void BusControlWindow::mark_shown(const std::vector<QWidget*>& shown, bool current) const {
  mark_shown(shown, current, unread_node_ != 0 ? unread_notice(unread_node_) : QString());
}

void BusControlWindow::mark_shown(const std::vector<QWidget*>& shown, bool current, const QString& why) const {
  for (QWidget* w : shown) {
    if (auto* lamp = qobject_cast<StatusLamp*>(w))
      lamp->set_stale(!current, why);
    else
      mark_current(w, current, why);
  }
}

void BusControlWindow::show_stale_notice() {
  if (!stale_notice_) return;
  stale_notice_->setText(unread_node_ != 0 ? unread_notice(unread_node_) : kReadFailedNotice);
  stale_notice_->setVisible(block_old_);
}

void BusControlWindow::node_chosen() {
  const uint8_t node = selected_node();
  if (node == 0 || node == chosen_node_) return;
  if (chosen_node_ != 0 && started_may_run(chosen_node_)) {
    // Its stop must keep reaching the drive it started: the list stays.
    const uint8_t running = chosen_node_;
    show_station(node_list_, running);
    const QString text = node_line(running, QStringLiteral("电机可能仍在运转，请先停止节点%1的电机！！").arg(running));
    set_panel(this, text);
    ctx_.notifier.message(this, text);
    return;
  }
  show_unread(node);
}

bool BusControlWindow::started_may_run(uint8_t node) const {
  const bool started = std::find(started_.begin(), started_.end(), node) != started_.end();
  return (started && may_run(run_state(node))) || pending_.waits_for(node, CommandKind::Run);
}

void BusControlWindow::stop_for_end() {
  // A run or settings command still waiting never goes out; a stop waiting
  // goes first.
  pending_.drop_other();
  publish_pending();
  replay_pending(true);
  const CommandEntry* stop = find_command(stop_code());
  if (!stop) return;
  std::vector<uint8_t> nodes = started_;
  for (uint8_t node : family_nodes(st(), family_.device))
    if (std::find(nodes.begin(), nodes.end(), node) == nodes.end()) nodes.push_back(node);
  for (uint8_t node : nodes) {
    const bool ours = std::find(started_.begin(), started_.end(), node) != started_.end();
    if (run_state(node) == 0 || (!ours && held_elsewhere(node))) continue;
    if (!link_idle()) return;
    execute(*stop, node);
  }
}

bool BusControlWindow::holds(uint8_t station) const {
  return station != 0 && (working_on_ == station || pending_.waits_for(station) || started_may_run(station) ||
                          under_own_control(station));
}

uint8_t BusControlWindow::drive_may_run() const {
  for (uint8_t node : started_)
    if (started_may_run(node)) return node;
  if (const auto next = pending_.next(); next && next->kind == CommandKind::Run) return next->node;
  return 0;
}

void BusControlWindow::station_gone(uint8_t station) {
  const QString text = station_gone_text(station);
  // Nothing left for the drive that went goes to what answers at its number.
  pending_.forget_node(station);
  publish_pending();
  std::erase(started_, station);
  chosen_node_ = 0;
  unread_node_ = 0;
  block_old_ = true;
  mark_shown(block_view_, false, text);
  mark_shown(fault_view_, false, text);
  if (stale_notice_) {
    stale_notice_->setText(text);
    stale_notice_->show();
  }
  VelmoWindow::station_gone(station);
}

bool BusControlWindow::owes(const StationRecords& r) const {
  switch (family_.device) {
    case DeviceFamily::Servo: return r.servo_restore_flags != 0 && r.servo_restore_flags == restore_code();
    case DeviceFamily::Inverter: return r.bpq_restore_flags != 0;
    case DeviceFamily::SpeedController: return r.tsq_restore_flags != 0;
  }
  return false;
}

void BusControlWindow::station_back(uint8_t station) {
  VelmoWindow::station_back(station);
  // Whatever the window showed of it is from before it went away.
  show_unread(station);
}

void BusControlWindow::station_moved(uint8_t from, uint8_t to) {
  auto follow = [from, to](uint8_t& node) {
    if (node == from) node = to;
  };
  for (uint8_t* node : {&chosen_node_, &unread_node_, &unsettled_, &working_on_}) follow(*node);
  for (uint8_t& node : started_) follow(node);
  for (uint8_t& node : silent_running_) follow(node);
  pending_.renumber(from, to);
}

void BusControlWindow::showEvent(QShowEvent* event) {
  VelmoWindow::showEvent(event);
  // Opened by the menu (not restored from a minimised state): the lamps and
  // fields are from before, or from no read at all.
  if (event->spontaneous() || block_view_.empty()) return;
  if (const uint8_t node = selected_node()) show_unread(node);
}

void BusControlWindow::show_unread(uint8_t node) {
  chosen_node_ = node;
  // Until its first accepted read, what is shown belongs to another node
  // (or to none).
  unread_node_ = node;
  block_old_ = true;
  mark_shown(block_view_, false);
  mark_shown(fault_view_, false);
  show_stale_notice();
  set_panel(this, unread_notice(node));
}

void BusControlWindow::status_block_read(uint8_t node, bool accepted) {
  if (accepted && node == selected_node()) {
    unread_node_ = 0;
    block_old_ = false;
  } else {
    // A read that failed, or one of a node not chosen: what is shown is not
    // the chosen node's current status.
    if (accepted) unread_node_ = selected_node();
    block_old_ = true;
  }
  mark_shown(block_view_, !block_old_);
  show_stale_notice();
}

void BusControlWindow::fault_read(uint8_t node, bool accepted) {
  mark_shown(fault_view_, accepted && node == selected_node());
}

void BusControlWindow::switch_to_bus(int pos, void (BatchWrites::*op)()) {
  switching_pos_ = pos;
  (ctx_.batch.*op)();
  switching_pos_ = -1;
}

void BusControlWindow::show_bus_switch(const QString& text, bool ok) {
  if (!ok_log_ || !fail_log_) return;
  if (ok) {
    append_line(ok_log_, text);
    set_panel(this, text);
  } else {
    set_panel(this, text);
    append_line(fail_log_, text + QStringLiteral("**"));
  }
}

DriveLinkState& BusControlWindow::st() const { return ctx_.link.st; }

bool BusControlWindow::link_idle() const {
  const DriveLinkState& s = ctx_.link.st;
  return s.read_busy == 0 && s.write_busy == 0 && s.sending == 0;
}

BusControlWindow::Claim BusControlWindow::claim_write() { return Claim(st().write_busy, own_exchanges_); }
BusControlWindow::Claim BusControlWindow::claim_read() { return Claim(st().read_busy, own_exchanges_); }

BusControlWindow::ButtonHold::ButtonHold(QAbstractButton* button) : button_(button) {
  if (!button_) return;
  was_enabled_ = button_->isEnabled();
  button_->setEnabled(false);
}

BusControlWindow::ButtonHold::~ButtonHold() {
  if (button_ && was_enabled_) button_->setEnabled(true);
}

void BusControlWindow::add_command(CommandEntry entry) { commands_.push_back(std::move(entry)); }

const BusControlWindow::CommandEntry* BusControlWindow::find_command(uint8_t code) const {
  for (const CommandEntry& entry : commands_)
    if (entry.code == code) return &entry;
  return nullptr;
}

void BusControlWindow::publish_pending() { st().*family_.pending_code = pending_.code(); }

void BusControlWindow::start_replay_timer() {
  if (!leaving_ && !timer2_->isActive()) timer2_->start();
}

void BusControlWindow::defer(const PendingCommand& cmd) {
  pending_.store(cmd);
  publish_pending();
  start_replay_timer();
}

void BusControlWindow::forget_pending_for(uint8_t node) {
  pending_.drop_other_for(node);
  publish_pending();
}

void BusControlWindow::issue(uint8_t code, uint8_t node) {
  const CommandEntry* entry = find_command(code);
  if (!entry || leaving_ || refused_while_closing(*entry)) return;
  // Station 0 would be a broadcast to every drive on the line.
  if (node < 1 || node > kMaxStation) return;
  // A stop or reset that is still waiting goes out before anything newer.
  replay_pending(true);
  // The newest run or settings command replaces the one waiting.
  pending_.drop_other();
  publish_pending();
  execute(*entry, node);
}

bool BusControlWindow::refused_run(const CommandEntry& entry, uint8_t node) const {
  return family_.run_only_when_idle && entry.kind == CommandKind::Run && run_state(node) != 0;
}

bool BusControlWindow::refused_while_closing(const CommandEntry& entry) const {
  // Once the program is closing no drive is started, not even by a replay.
  return program_closing() && entry.kind == CommandKind::Run;
}

void BusControlWindow::execute(const CommandEntry& entry, uint8_t node) {
  if (leaving_ || refused_while_closing(entry)) return;
  ButtonHold hold(entry.button);
  if (refused_run(entry, node)) return;  // never started twice
  if (!link_idle()) {
    defer({entry.code, node, entry.kind});
    return;
  }
  {
    WorkingOn working(*this, node);
    entry.run(node);
  }
  // A drive the command started, or left unknown, is this window's until it
  // is seen to stop.
  if (may_run(run_state(node))) {
    std::erase_if(started_, [this](uint8_t n) { return !may_run(run_state(n)); });
    if (std::find(started_.begin(), started_.end(), node) == started_.end()) started_.push_back(node);
  }
  settle_unknown();
}

void BusControlWindow::mark_run_unknown(uint8_t node) {
  run_state(node) = kRunUnknown;
  unsettled_ = node;
}

void BusControlWindow::settle_unknown() {
  if (unsettled_ == 0 || !link_idle() || leaving_) return;
  const uint8_t unsettled = unsettled_;
  unsettled_ = 0;
  settle(unsettled);
}

void BusControlWindow::read_status_of(uint8_t node, const std::function<void()>& read) {
  const uint32_t refused_before = st().refused_count;
  read();
  if (st().refused_count == refused_before && st().rx_arrived == 0) {
    // The exit must not trap the user on a dead line, but leaving says the
    // drive may still run.
    if (run_state(node) != 0 &&
        std::find(silent_running_.begin(), silent_running_.end(), node) == silent_running_.end())
      silent_running_.push_back(node);
    run_state(node) = 0;
  }
}

void BusControlWindow::state_confirmed(uint8_t node) {
  silent_running_.erase(std::remove(silent_running_.begin(), silent_running_.end(), node), silent_running_.end());
}

void BusControlWindow::replay_pending(bool safety_only) {
  if (replaying_) return;  // a replayed handler waits; its caller goes on after it
  replaying_ = true;
  while (link_idle() && !pending_.empty() && (!safety_only || pending_.has_safety())) {
    const PendingCommand cmd = pending_.take();
    publish_pending();
    const CommandEntry* entry = find_command(cmd.code);
    if (!entry) continue;
    // A run command is dropped when its drive runs by now.
    if (refused_run(*entry, cmd.node)) continue;
    execute(*entry, cmd.node);
  }
  replaying_ = false;
}

void BusControlWindow::Timer2Timer() {
  mirror();
  replay_pending();
}

void BusControlWindow::Timer1Timer() {
  show_poll_counters();
  if (link_idle() && pending_.empty()) poll();
}

void BusControlWindow::bind_continuous_reading(QCheckBox* box, QAbstractButton* exit_button) {
  QPointer<QAbstractButton> exit(exit_button);
  connect(box, &QCheckBox::toggled, this, [this, exit](bool ticked) {
    if (ticked)
      timer1_->start();
    else
      timer1_->stop();
    if (exit) exit->setEnabled(!ticked);
  });
}

void BusControlWindow::exit_clicked() {
  if (exchange_waiting() || !link_idle() || !pending_.empty()) return;
  leave();
}

bool BusControlWindow::exit_guard() {
  if (exchange_waiting() || !link_idle() || !pending_.empty()) return false;
  if (any_running()) {
    ctx_.notifier.message(this, exit_texts_.running);
    exit_refused();
    return false;
  }
  // A drive the window took over that the line searched last does not hold
  // still waits for its settings; nothing goes to whatever answers at its
  // number, and the window stays until that drive is found again.
  const std::vector<uint32_t> waiting = parked_drives(st(), [this](const StationRecords& r) { return owes(r); });
  if (!waiting.empty()) {
    const QString text =
        QStringLiteral("%1不在当前线路上，其设置仍待恢复，请重新搜索该线路后再退出！！").arg(parked_names(st(), waiting));
    set_panel(this, text);
    if (fail_log_) append_line(fail_log_, text);
    if (!program_closing()) ctx_.notifier.message(this, text);
    set_holds_drive(true);
    return false;
  }
  timer1_->stop();
  timer2_->stop();
  leaving_ = true;
  enter_leaving();
  if (!exit_texts_.restoring.isEmpty()) set_panel(this, exit_texts_.restoring);

  RestoreOutcome outcome;
  {
    // Clicks and ticks that arrive while the settings are written back
    // neither send nor wait for a replay.
    Claim claim = claim_write();
    outcome = restore_drives();
  }
  leaving_ = false;
  // Drives whose last known state was running when the line fell silent.
  QStringList may_run;
  if (!exit_texts_.may_still_run.isEmpty())
    for (uint8_t node : silent_running_) may_run << node_line(node, exit_texts_.may_still_run);
  set_holds_drive(!may_run.isEmpty() || (outcome.needed && !outcome.ok));
  if (!outcome.needed || outcome.ok) {
    if (outcome.needed && !exit_texts_.restored.isEmpty()) set_panel(this, exit_texts_.restored);
    if (!may_run.isEmpty()) {
      set_panel(this, may_run.first());
      ctx_.notifier.message(this, may_run.join(QLatin1Char('\n')));
    }
    silent_running_.clear();
    return true;
  }
  set_panel(this, exit_texts_.restore_failed);
  if (outcome.line_dead || leave_after_failed_restore()) {
    // The user leaves, but is told the drives kept the bus settings (and
    // which may still run).
    QStringList lines = may_run;
    lines.prepend(exit_texts_.restore_failed);
    ctx_.notifier.message(this, lines.join(QLatin1Char('\n')));
    silent_running_.clear();
    return true;
  }
  restore_failed_stay();
  ctx_.notifier.message(this, exit_texts_.stay);
  return false;
}

void BusControlWindow::set_logs(QPlainTextEdit* traffic, QPlainTextEdit* ok_log, QPlainTextEdit* fail_log) {
  traffic_log_ = traffic;
  ok_log_ = ok_log;
  fail_log_ = fail_log;
  set_failure_log(fail_log, false);
}

void BusControlWindow::report_ok(uint8_t node, const QString& text) {
  const QString line = node_line(node, text);
  set_panel(this, line);
  append_line(ok_log_, line);
}

void BusControlWindow::report_failure(uint8_t node, const QString& text) {
  const QString line = node != 0 ? node_line(node, text) : text;
  set_panel(this, line);
  append_line(fail_log_, line);
}

bool BusControlWindow::first_found_under_bus(uint8_t node) {
  if (std::find(found_under_bus_.begin(), found_under_bus_.end(), node) != found_under_bus_.end()) return false;
  found_under_bus_.push_back(node);
  return true;
}

void BusControlWindow::say_found_under_bus(uint8_t node) {
  if (first_found_under_bus(node)) report_failure(node, found_under_bus_text());
}

void BusControlWindow::append_ok_line(uint8_t node, const QString& text) { append_line(ok_log_, node_line(node, text)); }

void BusControlWindow::report_read_failure(uint8_t node, const QString& text, bool to_panel) {
  if (to_panel) set_panel(this, node_line(node, text));
  append_line(fail_log_, node_line(node, text + QStringLiteral("**")));
}

void BusControlWindow::clear_logs() {
  for (QPlainTextEdit* log : {traffic_log_, ok_log_, fail_log_}) clear_log(log);
}

void BusControlWindow::save_logs(const QString& proposed, const QString& ok_name, const QString& fail_name) {
  save_records(this, save_chooser_, proposed, traffic_log_, {{ok_log_, ok_name}, {fail_log_, fail_name}},
               {ok_log_, fail_log_});
}

BusControlWindow::RestoreOutcome BusControlWindow::restore_flagged(bool any_flagged, const std::function<void()>& save) {
  RestoreOutcome outcome;
  outcome.needed = any_flagged;
  if (!any_flagged) return outcome;
  save();
  outcome.ok = st().batch_go == 1;
  outcome.line_dead = !outcome.ok && ctx_.batch.last_outcome().kind != ExchangeOutcome::Exception;
  return outcome;
}

BusControlWindow::StepSequence::StepSequence(BusControlWindow& window, uint8_t node, QString name, QString halted_head)
    : window_(window), node_(node), name_(std::move(name)), halted_head_(std::move(halted_head)) {}

bool BusControlWindow::StepSequence::step(bool ok, const QString& done, const QString& failed) {
  if (ok) {
    if (done.isEmpty()) return true;
    // After a failed step Panel1 keeps that failure.
    if (failures_ == 0)
      window_.report_ok(node_, done);
    else
      window_.append_ok_line(node_, done);
    return true;
  }
  window_.report_failure(node_, failed);
  if (failures_++ == 0) first_failed_ = failed;
  return false;
}

void BusControlWindow::StepSequence::finish() {
  if (failures_ == 0) return;
  QString step = first_failed_;
  if (step.endsWith(QStringLiteral("**"))) step.chop(2);
  if (failures_ > 1) step += QStringLiteral("等%1项").arg(failures_);
  // A halted sequence did nothing of what it was for: a failure alone.
  const QString head = !halted_                 ? name_ + QStringLiteral("未全部成功")
                       : halted_head_.isEmpty() ? name_ + QStringLiteral("失败")
                                                : halted_head_;
  const QString line = node_line(node_, head + QStringLiteral("（") + step + QStringLiteral("）**"));
  set_panel(&window_, line);
  // A failure line: the success log keeps the steps that worked, no more.
  append_line(window_.fail_log_, line);
}

bool BusControlWindow::write_command(uint8_t node, uint16_t reg, uint16_t value) {
  DriveLinkState& s = st();
  s.cmd_reg = reg;
  s.cmd_value = value;
  link().command_send(node);
  return s.cmd_fail == 0;
}

}  // namespace velmo
