#include "drivelink/batch_writes.h"

#include <algorithm>

#include "drivelink/drive_link.h"
#include "drivelink/link_events.h"

namespace velmo {

namespace {

const QString kRestored = QStringLiteral("相关参数恢复成功！！");
const QString kRestoreFailed = QStringLiteral("相关参数恢复失败");
const QString kSetOk = QStringLiteral("相关参数设置成功！！");
const QString kSetFailed = QStringLiteral("相关参数设置失败");
const QString kSwitchIncomplete = QStringLiteral("RS485控制设置未全部成功");

// A failure line that names the step: "相关参数设置失败（寄存器8）".
QString naming(const QString& failed, const QString& step) { return failed + QStringLiteral("（") + step + QStringLiteral("）"); }
QString register_step(uint16_t reg) { return QStringLiteral("寄存器%1").arg(reg); }

// The three writes that put a servo back into a defined state before its own
// settings are restored, with what the gain-tuning window says about each.
struct ModeWrite {
  uint16_t reg;
  int32_t value;
  const char* done;
  const char* failed;
};
constexpr ModeWrite kServoModeWrites[] = {
    {0x0000, 9, "设置为RS485控制模式", "RS485模式设置失败"},
    {0x1004, 0, "停止运转", "停止运转控制失败"},
    {0x1003, 1, "设置为转速控制模式", "转速控制模式设置失败"},
};

}  // namespace

BatchWrites::BatchWrites(DriveLink& link, LinkEvents& events) : link_(link), events_(events) {}

const ExchangeOutcome& BatchWrites::last_outcome() const { return failure_ ? *failure_ : link_.last_outcome(); }

bool BatchWrites::write(uint8_t station, uint16_t reg, int32_t value) {
  const bool ok = link_.write_register(station, reg, value);
  if (!ok && !failure_) {
    failure_ = link_.last_outcome();
    failed_step_ = register_step(reg);
  }
  return ok;
}

bool BatchWrites::settled_by_read_back(uint8_t station, uint16_t reg, int32_t value) {
  const ExchangeOutcome lost = link_.last_outcome();
  if (!lost.may_have_acted() || !link_.read_registers(station, reg, 1)) return false;
  const uint16_t held = link_.reply_word(0);
  const bool took = held == static_cast<uint16_t>(value);
  events_.restore_written(QStringLiteral("节点%1：寄存器%2的写入应答无效，读回为%3，%4")
                              .arg(station)
                              .arg(reg)
                              .arg(held)
                              .arg(took ? QStringLiteral("已写入") : QStringLiteral("未写入")),
                          took);
  return took;
}

bool BatchWrites::restore_write(uint8_t station, uint16_t reg, int32_t value) {
  if (link_.write_register(station, reg, value)) return true;
  const ExchangeOutcome lost = link_.last_outcome();
  if (settled_by_read_back(station, reg, value)) return true;
  if (!failure_) {
    failure_ = lost;
    failed_step_ = register_step(reg);
  }
  return false;
}

void BatchWrites::start() {
  link_.st.batch_go = 1;
  failure_.reset();
  failed_step_.clear();
}

void BatchWrites::set_selection(DeviceFamily family, std::function<int()> selected) {
  if (family == DeviceFamily::Inverter) selected_inverter_ = std::move(selected);
  if (family == DeviceFamily::SpeedController) selected_speed_controller_ = std::move(selected);
}

int BatchWrites::selected_position(DeviceFamily family) const {
  const auto& selected = family == DeviceFamily::Inverter ? selected_inverter_ : selected_speed_controller_;
  return selected ? selected() : -1;
}

void BatchWrites::switch_selected_to_bus(DeviceFamily family, int count, const ByPos<uint8_t>& nodes,
                                         const std::vector<RegisterWrite>& writes) {
  DriveLinkState& st = link_.st;
  start();
  const int i = selected_position(family);
  if (i < 0 || i >= count) {
    st.batch_go = 0;
    return;
  }
  // Every write is sent, even after one failed; where a later one worked,
  // the last line names the first that failed.
  bool ran_on = false;
  for (const RegisterWrite& w : writes) {
    const bool ok = write(nodes[i], w.reg, w.value);
    events_.bus_switch_written(family, ok ? kSetOk : naming(kSetFailed, register_step(w.reg)), ok);
    if (!ok) st.batch_go = 0;
    else if (st.batch_go != 1) ran_on = true;
  }
  if (ran_on) events_.bus_switch_written(family, naming(kSwitchIncomplete, failed_step_), false);
}

void BatchWrites::restore_flagged(int count, const ByPos<uint8_t>& nodes, ByPos<uint8_t>& restore_flags,
                                  ByPos<uint8_t>& bus_flags,
                                  const std::function<std::vector<RegisterWrite>(uint8_t station)>& settings) {
  DriveLinkState& st = link_.st;
  start();
  for (int i = 0; i < count; ++i) {
    if (restore_flags[i] != 1) continue;
    for (const RegisterWrite& w : settings(nodes[i])) {
      if (!restore_write(nodes[i], w.reg, w.value)) {
        events_.restore_written(naming(kRestoreFailed, failed_step_), false);
        st.batch_go = 0;
        return;
      }
      events_.restore_written(kRestored, true);
    }
    // Only a drive that got all its settings back counts as restored.
    restore_flags[i] = 0;
    bus_flags[i] = 0;
  }
}

void BatchWrites::parameter_save(uint8_t station) {
  DriveLinkState& st = link_.st;
  start();
  const auto end = st.servo_nodes.begin() + st.servo_count;
  const auto at = std::find(st.servo_nodes.begin(), end, station);
  if (at == end) {
    st.batch_go = 0;
    return;
  }
  const uint8_t a = station;
  const uint32_t subtype = st.servo_subtype_list[static_cast<size_t>(at - st.servo_nodes.begin())];

  // A failed mode write does not stop the settings from going back, but
  // the restore is not whole: it fails. The gain-tuning window's report
  // counts any function-06 reply as done, echo or not, the looser rule
  // these writes have always had.
  QString mode_failed;
  for (const ModeWrite& m : kServoModeWrites) {
    const bool accepted = link_.write_register(a, m.reg, m.value);
    bool done = st.reply_flag == 1 && st.rx_buf[1] == 0x06;
    if (!accepted) {
      const ExchangeOutcome lost = link_.last_outcome();
      // Whether the drive took it is read from the drive.
      if (settled_by_read_back(a, m.reg, m.value)) {
        done = true;
      } else {
        if (!failure_) {
          failure_ = lost;
          failed_step_ = register_step(m.reg);
        }
        st.batch_go = 0;
        if (mode_failed.isEmpty()) mode_failed = QString::fromUtf8(m.failed);
      }
    }
    events_.servo_mode_written(a, QString::fromUtf8(done ? m.done : m.failed), done);
  }

  const int first = st.servo_list_first(subtype);
  const int size = st.servo_list_size(subtype);
  if (subtype == 1) st.servo_saved_params[a][3] = st.servo_saved_params[a][4] = st.servo_saved_params[a][5] = 1;
  for (int k = 0; k < size; ++k) {
    const auto reg = static_cast<uint16_t>(st.servo_param_regs[first + k]);
    if (restore_write(a, reg, st.servo_saved_params[a][k])) {
      events_.restore_written(kRestored, true);
    } else {
      events_.restore_written(naming(kRestoreFailed, register_step(reg)), false);
      st.batch_go = 0;
      return;
    }
  }
  // The settings went back after a failed mode write: the last line says
  // the restore failed, and at which step.
  if (!mode_failed.isEmpty()) events_.restore_written(naming(kRestoreFailed, mode_failed), false);
}

void BatchWrites::bpq_parameter_save() {
  DriveLinkState& st = link_.st;
  st.bpq_rs485_regnums = {4, 5, 8, 9};
  restore_flagged(st.bpq_count, st.bpq_nodes, st.bpq_restore_flags, st.bpq_rs485_ok, [&](uint8_t a) {
    std::vector<RegisterWrite> writes;
    for (int k = 0; k < 4; ++k) writes.push_back({st.bpq_rs485_regnums[k], static_cast<int32_t>(st.bpq_rs485_regs[a][k])});
    return writes;
  });
}

void BatchWrites::bpq_rs485_set() {
  DriveLinkState& st = link_.st;
  st.bpq_rs485_regnums = {4, 5, 8, 9};
  switch_selected_to_bus(DeviceFamily::Inverter, st.bpq_count, st.bpq_nodes,
                         {{st.bpq_rs485_regnums[0], 4}, {st.bpq_rs485_regnums[1], 4},
                          {st.bpq_rs485_regnums[2], 8}, {st.bpq_rs485_regnums[3], 8}});
}

void BatchWrites::tsq_parameter_save() {
  DriveLinkState& st = link_.st;
  restore_flagged(st.tsq_count, st.tsq_nodes, st.tsq_restore_flags, st.tsq_rs485_ok, [&](uint8_t a) {
    return std::vector<RegisterWrite>{{2, static_cast<int32_t>(st.tsq_reg2[a])}};
  });
}

void BatchWrites::tsq_rs485_set() {
  DriveLinkState& st = link_.st;
  switch_selected_to_bus(DeviceFamily::SpeedController, st.tsq_count, st.tsq_nodes, {{2, 2}});
}

}  // namespace velmo
