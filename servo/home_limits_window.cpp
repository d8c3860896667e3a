#include "servo/home_limits_window.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>
#include <functional>

#include "common/form_access.h"
#include "common/node_lists.h"
#include "common/status_line.h"
#include "common/window_parts.h"
#include "drivelink/drive_link.h"
#include "servo/digit_key_filter.h"
#include "servo/servo_bus_registers.h"
#include "servo/servo_bus_release.h"
#include "servo/servo_position.h"
#include "servo/servo_status_table.h"

namespace velmo {

using servo::HomeLimitPoint;
using servo::JogCommand;
using servo::SelectedServo;
namespace regs = servo::jog_regs;
namespace bus = servo::bus_regs;

namespace {

constexpr int kHoldMs = 500;  // buttons stay disabled this long after their command

constexpr int kSpeedMin = 50, kSpeedMax = 2000;
constexpr int kTorqueMin = 50, kTorqueMax = 350;

struct JogRow {
  HomeLimitsWindow::Code code;
  JogCommand command;
  const char* button;
  const char* caption;
  QRect geometry;
  const char* done;
  const char* failed;
  const char* name;  // the command with its takeover, as a failure line names it
  uint8_t run_state;
  CommandKind kind;
};
const JogRow kJogRows[] = {
    {HomeLimitsWindow::kForward, JogCommand::Forward, "Button6", "正转", {15, 75, 160, 36}, "电机正转！！",
     "电机正转控制失败**", "电机正转控制", 1, CommandKind::Run},
    {HomeLimitsWindow::kReverse, JogCommand::Reverse, "Button7", "反转", {195, 75, 160, 36}, "电机反转！！",
     "电机反转控制失败**", "电机反转控制", 1, CommandKind::Run},
    {HomeLimitsWindow::kStop, JogCommand::Stop, "Button8", "停止", {375, 75, 165, 36}, "电机停止！！",
     "电机停止控制失败**", "电机停止控制", 0, CommandKind::Safety},
};
const JogRow& jog_row(JogCommand c) {
  for (const JogRow& r : kJogRows)
    if (r.command == c) return r;
  return kJogRows[2];
}

struct PointRow {
  HomeLimitsWindow::Code code;
  HomeLimitPoint point;
  const char* button;
  const char* caption;
  const char* hint;
  QRect geometry;
  const char* done;
  const char* failed;
};
const PointRow kPointRows[] = {
    {HomeLimitsWindow::kSetHome, HomeLimitPoint::Home, "Button2", "设为原点",
     "将当前位置设置为原点，电机应处于静止状态！", {15, 125, 120, 36}, "原点设置成功！！", "原点设置失败**"},
    {HomeLimitsWindow::kSetForwardLimit, HomeLimitPoint::ForwardLimit, "Button3", "设为正转极限",
     "将当前位置设置为正转极限，电机应处于静止状态！", {140, 125, 130, 36}, "正转极限设置成功！！",
     "正转极限设置失败**"},
    {HomeLimitsWindow::kSetReverseLimit, HomeLimitPoint::ReverseLimit, "Button4", "设为反转极限",
     "将当前位置设置为反转极限，电机应处于静止状态！", {275, 125, 130, 36}, "反转极限设置成功！！",
     "反转极限设置失败**"},
};
const PointRow& point_row(HomeLimitPoint p) {
  for (const PointRow& r : kPointRows)
    if (r.point == p) return r;
  return kPointRows[0];
}

// The four positions the drive reports, each shown as revolutions + counts.
struct PositionRow {
  const char* label;
  const char* revolutions;
  const char* counts;
};
constexpr PositionRow kPositionRows[] = {
    {"当前位置：", "Edit1", "Edit4"},
    {"原点位置：", "Edit5", "Edit6"},
    {"正转极限：", "Edit7", "Edit8"},
    {"反转极限：", "Edit9", "Edit10"},
};

// Runs an action when one of the watched controls loses the focus.
class LeaveWatcher : public QObject {
 public:
  LeaveWatcher(QObject* parent, std::function<void()> on_leave) : QObject(parent), on_leave_(std::move(on_leave)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::FocusOut) on_leave_();
    return false;
  }

 private:
  std::function<void()> on_leave_;
};

BusControlWindow::ExitTexts exit_texts() {
  BusControlWindow::ExitTexts t;
  t.running = QStringLiteral("退出操作前，请先停止运转电机！！");
  t.restoring = QStringLiteral("退出调试模式并恢复相关参数");
  t.restore_failed = QStringLiteral("恢复相关参数失败！！");
  return t;
}

}  // namespace

HomeLimitsWindow::HomeLimitsWindow(AppContext& ctx, QWidget* parent)
    : BusControlWindow(ctx, "TForm13", QStringLiteral("伺服原点及极限设定"), QSize(610, 750),
                       Family{&DriveLinkState::jog_pending_cmd, &DriveLinkState::servo_run_state, DeviceFamily::Servo, true}, exit_texts(),
                       parent) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);

  make_label(this, "LabelNode", QStringLiteral("伺服节点："), QRect(20, 18, 80, 28));
  nodes_ = make_combo(this, "ComboBox4", QRect(100, 15, 120, 30));
  mark_node_list(nodes_, NodeListGroup::Servo);
  watch_node_list(nodes_);
  connect(make_button(this, "Button1", QStringLiteral("退出"), QRect(470, 13, 110, 34)), &QPushButton::clicked, this,
          [this] { Button1Click(); });
  make_panel(this, QRect(20, 55, 560, 30));
  QPlainTextEdit* traffic = make_memo(this, "Memo1", QRect(20, 92, 180, 150));
  set_logs(traffic, make_memo(this, "Memo2", QRect(210, 92, 180, 150)),
           make_memo(this, "Memo3", QRect(400, 92, 180, 150)));
  route_traffic(ctx.link, WindowCode::HomeAndLimits, traffic);

  auto* digits = new servo::DigitKeyFilter(this);
  auto* clamp_speed = new LeaveWatcher(this, [this] { clamp_edit(speed_, kSpeedMin, kSpeedMax); });

  // Positions.
  auto* positions = new QGroupBox(QStringLiteral("位置信息"), this);
  positions->setObjectName(QStringLiteral("GroupBox2"));
  positions->setGeometry(20, 250, 560, 190);
  group2_ = positions;
  for (int r = 0; r < 4; ++r) {
    const int y = 30 + 35 * r;
    const PositionRow& row = kPositionRows[r];
    (new QLabel(QString::fromUtf8(row.label), positions))->setGeometry(15, y, 90, 28);
    position_boxes_[2 * r] = make_edit(positions, row.revolutions, QRect(110, y, 130, 28));
    (new QLabel(QStringLiteral("+"), positions))->setGeometry(245, y, 15, 28);
    position_boxes_[2 * r + 1] = make_edit(positions, row.counts, QRect(265, y, 110, 28));
  }
  // The positions shown belong to the node last read: another node's look stale.
  add_status_view(std::vector<QWidget*>(std::begin(position_boxes_), std::end(position_boxes_)));
  for (QLineEdit* box : position_boxes_) {
    box->setReadOnly(true);
    box->installEventFilter(digits);
    // Leaving a position box checks the speed field as well.
    box->installEventFilter(clamp_speed);
  }
  connect(make_button(positions, "Button10", QStringLiteral("读取信息"), QRect(400, 40, 140, 40)),
          &QPushButton::clicked, this, [this] { Button10Click(); });
  connect(make_button(positions, "Button11", QStringLiteral("清空信息"), QRect(400, 110, 140, 40)),
          &QPushButton::clicked, this, [this] { Button11Click(); });

  // Jog, settings, home point and limits; the window is fitted around them.
  auto* group = new QGroupBox(QStringLiteral("原点及极限设定"), this);
  group->setObjectName(QStringLiteral("GroupBox1"));
  group->setGeometry(20, 450, 560, 210);
  group1_ = group;
  make_label(group, "LabelSpeed", QStringLiteral("运转转速(rpm)："), QRect(15, 30, 120, 28));
  speed_ = make_edit(group, "Edit2", QRect(140, 30, 80, 28), QStringLiteral("100"));
  speed_->setMaxLength(4);
  make_label(group, "LabelTorque", QStringLiteral("转矩限制(%)："), QRect(240, 30, 110, 28));
  torque_limit_ = make_edit(group, "Edit3", QRect(355, 30, 60, 28), QStringLiteral("200"));
  torque_limit_->setMaxLength(3);
  speed_->installEventFilter(digits);
  torque_limit_->installEventFilter(digits);
  speed_->installEventFilter(clamp_speed);
  torque_limit_->installEventFilter(
      new LeaveWatcher(this, [this] { clamp_edit(torque_limit_, kTorqueMin, kTorqueMax); }));

  auto* settings = make_button(group, "Button9", QStringLiteral("设置"), QRect(430, 28, 110, 32));
  settings->setToolTip(QStringLiteral("设置运转转速值与转矩限制值"));
  connect(settings, &QPushButton::clicked, this, [this] { Button9Click(); });
  for (const JogRow& row : kJogRows) {
    auto* b = make_button(group, row.button, QString::fromUtf8(row.caption), row.geometry);
    const Code code = row.code;
    connect(b, &QPushButton::clicked, this, [this, code] { issue(code, selected_node()); });
  }
  for (const PointRow& row : kPointRows) {
    auto* b = make_button(group, row.button, QString::fromUtf8(row.caption), row.geometry);
    b->setToolTip(QString::fromUtf8(row.hint));
    const Code code = row.code;
    connect(b, &QPushButton::clicked, this, [this, code] { issue(code, selected_node()); });
  }
  auto* clear = make_button(group, "Button5", QStringLiteral("清除原点极限"), QRect(410, 125, 130, 36));
  clear->setToolTip(QStringLiteral("清除驱动器保存的原点和正反转极限值"));
  connect(clear, &QPushButton::clicked, this, [this] { Button5Click(); });

  register_commands();
  apply_screen_scaling(group);
}

void HomeLimitsWindow::register_commands() {
  auto button = [this](const char* name) { return findChild<QPushButton*>(QString::fromLatin1(name)); };
  for (const JogRow& row : kJogRows) {
    const JogCommand command = row.command;
    add_command({row.code, row.kind, button(row.button), [this, command](uint8_t node) {
                   jog(command, node);
                   settle_unknown();  // at once, not after the wait
                   hold_after_command();
                 }});
  }
  add_command({kSettings, CommandKind::Other, button("Button9"), [this](uint8_t node) {
                 send_settings(node);
                 hold_after_command();
               }});
  for (const PointRow& row : kPointRows) {
    const HomeLimitPoint point = row.point;
    add_command({row.code, CommandKind::Other, button(row.button), [this, point](uint8_t node) {
                   set_point(point, node);
                   hold_after_command();
                 }});
  }
  add_command({kClearPoints, CommandKind::Other, button("Button5"), [this](uint8_t node) {
                 clear_points(node);
                 hold_after_command();
               }});
  add_command({kReadPositions, CommandKind::Other, button("Button10"),
               [this](uint8_t node) { read_positions(node); }});
}

// ---- Helpers ----

uint8_t HomeLimitsWindow::selected_node() const { return servo::selected_servo(st(), nodes_).address; }

void HomeLimitsWindow::clamp_edit(QLineEdit* edit, int low, int high) {
  const QString text = edit->text().trimmed();
  bool ok = false;
  const int typed = text.toInt(&ok);
  const int value = ok ? std::clamp(typed, low, high) : low;
  const QString clamped = QString::number(value);
  if (edit->text() != clamped) edit->setText(clamped);
}

void HomeLimitsWindow::hold_after_command() { link().delay(kHoldMs); }

bool HomeLimitsWindow::take_over(const SelectedServo& drive, StepSequence& steps) {
  DriveLinkState& s = st();
  const uint8_t a = drive.address;
  if (s.servo_jog_mode[a] == 1) return true;
  // Bus control first; a drive that refused it gets no mode write, and the
  // command that wanted the takeover is not sent: the sequence ends on a line
  // naming the step. Once its control source may have changed the drive is
  // marked for the restore. The speed mode is part of every takeover,
  // whichever button makes it, so the jog that follows runs in speed mode.
  // Steps that worked stay out of the logs; the command's line follows.
  // A write that may have reached the drive (answered or not, but not
  // refused) makes its restore due.
  auto setting = [&](uint16_t reg, uint16_t value, const QString& failed) {
    const bool ok = write_command(a, reg, value);
    if (ok || link().last_outcome().may_have_acted()) servo::flag_for_restore(s, a, restore_code());
    if (steps.step(ok, {}, failed)) return true;
    steps.halt();
    return false;
  };
  if (!setting(bus::kControlSource, bus::kBusControl, QStringLiteral("485控制模式设置失败**"))) return false;
  if (!setting(bus::kMode, bus::kSpeedMode, QStringLiteral("485控制速度模式设置失败**"))) return false;
  s.servo_jog_mode[a] = 1;
  return true;
}

bool HomeLimitsWindow::under_own_control(uint8_t station) const {
  return st().servo_restore_flags[station] == restore_code() || st().servo_jog_mode[station] == 1;
}

// ---- Commands (run with the link free, for the node they were given for) ----

void HomeLimitsWindow::jog(JogCommand command, uint8_t node) {
  const JogRow& row = jog_row(command);
  const SelectedServo drive = servo::servo_by_address(st(), node);
  if (!drive.valid) return report_failure(node, QString::fromUtf8(row.failed));
  Claim claim = claim_write();
  StepSequence steps(*this, drive.address, QString::fromUtf8(row.name));
  if (!take_over(drive, steps)) return steps.finish();
  if (write_command(drive.address, bus::kCommand, static_cast<uint16_t>(command))) {
    run_state(drive.address) = row.run_state;
    report_ok(drive.address, QString::fromUtf8(row.done));
  } else {
    report_failure(drive.address, QString::fromUtf8(row.failed));
    // The drive may have taken it.
    mark_run_unknown(drive.address);
  }
  if (servo::found_under_bus_control(st(), drive.address)) say_found_under_bus(drive.address);
}

void HomeLimitsWindow::settle(uint8_t node) {
  Claim claim = claim_read();
  read_status_of(node, [&] {
    if (link().read_registers(node, servo_status::kStatusFirst, 1))
      servo::settle_run_state(st(), node, link().reply_word(0));
    else
      report_read_failure(node, QStringLiteral("伺服状态信息读取失败"));
  });
}

void HomeLimitsWindow::send_settings(uint8_t node) {
  const QString failed = QStringLiteral("转速值设置失败**");
  const SelectedServo drive = servo::servo_by_address(st(), node);
  if (!drive.valid) return report_failure(node, failed);
  Claim claim = claim_write();
  StepSequence steps(*this, drive.address, QStringLiteral("转速与转矩限制设置"), QStringLiteral("转速值设置失败"));
  if (!take_over(drive, steps)) return steps.finish();

  // The fields are clamped again here: their exit handlers may not have run.
  clamp_edit(torque_limit_, kTorqueMin, kTorqueMax);
  clamp_edit(speed_, kSpeedMin, kSpeedMax);
  // A failed write does not stop the other.
  steps.step(write_command(drive.address, bus::kTorqueLimit, static_cast<uint16_t>(torque_limit_->text().toInt())),
             QStringLiteral("设置转矩限制值！！"), QStringLiteral("转矩限制值设置失败**"));
  steps.step(write_command(drive.address, bus::kSpeed, static_cast<uint16_t>(speed_->text().toInt())),
             QStringLiteral("转速值设置成功！！"), failed);
  steps.finish();
  if (servo::found_under_bus_control(st(), drive.address)) say_found_under_bus(drive.address);
}

void HomeLimitsWindow::set_point(HomeLimitPoint point, uint8_t node) {
  const PointRow& row = point_row(point);
  const SelectedServo drive = servo::servo_by_address(st(), node);
  if (!drive.valid) return report_failure(node, QString::fromUtf8(row.failed));
  Claim claim = claim_write();
  // The register of the drive's own menu layout: the same write to the other
  // layout's register would change a different parameter.
  const uint16_t reg = servo::home_limit_layout(drive.subtype).register_of(point);
  if (write_command(drive.address, reg, regs::kTakeCurrentPosition))
    report_ok(drive.address, QString::fromUtf8(row.done));
  else
    report_failure(drive.address, QString::fromUtf8(row.failed));
}

void HomeLimitsWindow::clear_points(uint8_t node) {
  const QString failed = QStringLiteral("原点极限清除失败**");
  const SelectedServo drive = servo::servo_by_address(st(), node);
  if (!drive.valid) return report_failure(node, failed);
  Claim claim = claim_write();
  const uint16_t first = servo::home_limit_layout(drive.subtype).clear_first();
  if (link().write_registers(drive.address, first, {1, 1, 1}))
    report_ok(drive.address, QStringLiteral("原点极限清除成功"));
  else
    report_failure(drive.address, failed);
}

void HomeLimitsWindow::read_positions(uint8_t node) {
  const SelectedServo drive = servo::servo_by_address(st(), node);
  const QString failed = QStringLiteral("位置信息读取失败");
  if (!drive.valid) return report_failure(node, failed + QStringLiteral("**"));
  Claim claim = claim_write();
  DriveLinkState& s = st();
  if (!link().read_registers(drive.address, regs::kPositions, 2 * regs::kPositionCount)) {
    report_read_failure(drive.address, failed);
    status_block_read(drive.address, false);
    return;
  }
  const auto values = servo::positions_from_reply<regs::kPositionCount>(s.rx_buf.data());
  for (size_t k = 0; k < values.size(); ++k) {
    // Counts per revolution of this drive's own encoder.
    const servo::Revolutions shown = servo::split_position(values[k], drive.resolution);
    position_boxes_[2 * k]->setText(QString::number(shown.revolutions));
    position_boxes_[2 * k + 1]->setText(QString::number(shown.counts));
  }
  status_block_read(drive.address, true);
  set_panel(this, node_line(drive.address, QStringLiteral("位置信息读取成功！！")));
  append_line(ok_log(), node_line(drive.address, QStringLiteral("位置信息读取成功")));
}

// ---- Handlers ----

void HomeLimitsWindow::Button6Click() { issue(kForward, selected_node()); }
void HomeLimitsWindow::Button7Click() { issue(kReverse, selected_node()); }
void HomeLimitsWindow::Button8Click() { issue(kStop, selected_node()); }
void HomeLimitsWindow::Button9Click() { issue(kSettings, selected_node()); }
void HomeLimitsWindow::Button2Click() { issue(kSetHome, selected_node()); }
void HomeLimitsWindow::Button3Click() { issue(kSetForwardLimit, selected_node()); }
void HomeLimitsWindow::Button4Click() { issue(kSetReverseLimit, selected_node()); }
void HomeLimitsWindow::Button5Click() { issue(kClearPoints, selected_node()); }
void HomeLimitsWindow::Button10Click() { issue(kReadPositions, selected_node()); }

void HomeLimitsWindow::Button11Click() {
  for (QLineEdit* box : position_boxes_) box->clear();
  clear_logs();
}

void HomeLimitsWindow::on_open() {
  // Every operation takes its drive, layout and resolution from the node
  // list when it runs: there is nothing to take over here.
}

// ---- Exit ----

void HomeLimitsWindow::Button1Click() { exit_clicked(); }

bool HomeLimitsWindow::any_running() { return servo::any_servo_running(st()); }

void HomeLimitsWindow::enter_leaving() {
  group1_->setEnabled(false);
  group2_->setEnabled(false);
}

BusControlWindow::RestoreOutcome HomeLimitsWindow::restore_drives() {
  const RestoreOutcome outcome =
      servo::restore_own_servos(st(), ctx_.batch, restore_code(), [this](uint8_t a) { return held_elsewhere(a); });
  // The next jog takes every drive over again, restored or not.
  DriveLinkState& s = st();
  for (int i = 0; i < s.servo_count; ++i) s.servo_jog_mode[s.servo_nodes[i]] = 0;
  return outcome;
}

void HomeLimitsWindow::on_leave() {
  group1_->setEnabled(true);
  group2_->setEnabled(true);
}

}  // namespace velmo
