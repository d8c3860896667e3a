#include "main/batch_writes.h"

#include <QComboBox>

#include "common/form_access.h"
#include "common/status_line.h"
#include "drivelink/drive_link.h"

namespace velmo {

namespace {

const QString kRestored = QStringLiteral("相关参数恢复成功！！");
const QString kRestoreFailed = QStringLiteral("相关参数恢复失败");
const QString kSetOk = QStringLiteral("相关参数设置成功！！");
const QString kSetFailed = QStringLiteral("相关参数设置失败");

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

int selected_position(const FormLookup& forms, const char* form) {
  QWidget* window = forms(form);
  auto* box = window ? window->findChild<QComboBox*>(QStringLiteral("ComboBox1")) : nullptr;
  return box ? box->currentIndex() : -1;
}

}  // namespace

BatchWrites::BatchWrites(DriveLink& link, FormLookup forms) : link_(link), forms_(std::move(forms)) {}

void BatchWrites::switch_selected_to_bus(const char* form, const char* failure_memo, int count,
                                         const ByPos<uint8_t>& nodes, const std::vector<RegisterWrite>& writes) {
  DriveLinkState& st = link_.st;
  QWidget* main = forms_("TForm1");
  QWidget* control_window = forms_(form);
  st.batch_go = 1;
  const int i = selected_position(forms_, form);
  if (i < 0 || i >= count) {
    st.batch_go = 0;
    return;
  }
  // Every write is sent, even after one failed.
  for (const RegisterWrite& w : writes) {
    st.node_addr = nodes[i];
    if (link_.write_register(w.reg, w.value)) {
      add_line(control_window, "Memo2", kSetOk);
      set_panel(control_window, kSetOk);
    } else {
      set_panel(main, kSetFailed);
      add_line(main, "Memo2", kSetFailed + QStringLiteral("**"));
      // The window that asked is the one the user is looking at.
      set_panel(control_window, kSetFailed);
      add_line(control_window, failure_memo, kSetFailed + QStringLiteral("**"));
      st.batch_go = 0;
    }
  }
}

void BatchWrites::restore_flagged(int count, const ByPos<uint8_t>& nodes, ByPos<uint8_t>& restore_flags,
                                  ByPos<uint8_t>& bus_flags,
                                  const std::function<std::vector<RegisterWrite>(uint8_t station)>& settings) {
  DriveLinkState& st = link_.st;
  QWidget* main = forms_("TForm1");
  st.batch_go = 1;
  for (int i = 0; i < count; ++i) {
    if (restore_flags[i] != 1) continue;
    st.node_addr = nodes[i];
    for (const RegisterWrite& w : settings(nodes[i])) {
      if (!link_.write_register(w.reg, w.value)) {
        set_panel(main, kRestoreFailed);
        add_line(main, "Memo2", kRestoreFailed + QStringLiteral("**"));
        st.batch_go = 0;
        return;
      }
      add_line(main, "Memo2", kRestored);
      set_panel(main, kRestored);
    }
    // Only a drive that got all its settings back counts as restored.
    restore_flags[i] = 0;
    bus_flags[i] = 0;
  }
}

void BatchWrites::parameter_save() {
  DriveLinkState& st = link_.st;
  QWidget* main = forms_("TForm1");
  QWidget* tuning = forms_("TForm3");
  st.batch_go = 1;
  for (int i = 0; i < st.servo_count; ++i) {
    const uint8_t a = st.servo_nodes[i];
    if (st.servo_restore_flags[a] != 1) continue;
    st.node_addr = a;
    st.servo_subtype = static_cast<uint8_t>(st.servo_subtype_list[i]);

    // A failed mode write is only reported; the settings are still written.
    // Any function-06 reply counts as done here, echo or not: the looser rule
    // these writes have always had.
    for (const ModeWrite& m : kServoModeWrites) {
      link_.write_register(m.reg, m.value);
      const bool done = st.reply_flag == 1 && st.rx_buf[1] == 0x06;
      if (tuning) {
        const QString text = node_line(a, QString::fromUtf8(done ? m.done : m.failed));
        set_panel(tuning, text);
        if (!done) add_line(tuning, "Memo4", text + QStringLiteral("**"));
      }
    }

    const int first = st.servo_list_first(st.servo_subtype);
    const int size = st.servo_list_size(st.servo_subtype);
    if (st.servo_subtype == 1) st.servo_saved_params[a][3] = st.servo_saved_params[a][4] = st.servo_saved_params[a][5] = 1;
    for (int k = 0; k < size; ++k) {
      if (link_.write_register(static_cast<uint16_t>(st.servo_param_regs[first + k]), st.servo_saved_params[a][k])) {
        add_line(main, "Memo2", kRestored);
        set_panel(main, kRestored);
      } else {
        set_panel(main, kRestoreFailed);
        add_line(main, "Memo2", kRestoreFailed + QStringLiteral("**"));
        st.batch_go = 0;
        return;
      }
    }
  }
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
  switch_selected_to_bus("TForm9", "Memo3", st.bpq_count, st.bpq_nodes,
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
  switch_selected_to_bus("TForm19", "Memo2", st.tsq_count, st.tsq_nodes, {{2, 2}});
}

}  // namespace velmo
