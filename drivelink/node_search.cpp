#include "drivelink/node_search.h"

#include <algorithm>

#include "drivelink/drive_identity.h"
#include "drivelink/drive_link.h"
#include "drivelink/link_events.h"
#include "drivelink/node_classification.h"
#include "link/comms_error.h"

namespace velmo {

namespace {

constexpr uint16_t kProgramVersionReg = 0x00AB;
constexpr uint16_t kMenuVersionReg = 0x00AC;
constexpr uint16_t kLineCheckReg = 0x0001;

uint32_t timeout_for_choice(int index) {
  static constexpr uint32_t kTimeouts[] = {250, 500, 1000, 2000, 5000};
  return index >= 0 && index < 5 ? kTimeouts[index] : 10000;
}

Parity parity_by_name(const QString& name) {
  if (name == QLatin1String("Even")) return Parity::Even;
  if (name == QLatin1String("Mark")) return Parity::Mark;
  if (name == QLatin1String("Odd")) return Parity::Odd;
  if (name == QLatin1String("Space")) return Parity::Space;
  return Parity::None;
}

bool bpq_under_bus_control(const DriveLinkState& st, int i) { return st.bpq_restore_flags[i] != 0; }
bool tsq_under_bus_control(const DriveLinkState& st, int i) { return st.tsq_restore_flags[i] != 0; }

}  // namespace

NodeSearch::NodeSearch(DriveLink& link, LinkEvents& events) : link_(link), events_(events) {}

void NodeSearch::cut() {
  if (running_ > 0) cut_ = true;
}

bool NodeSearch::read(uint8_t station, uint16_t reg, uint16_t count) {
  return !cut_ && link_.read_registers(station, reg, count);
}

namespace {
// Counts a step under way for as long as it runs; the cut ends with the
// outermost one.
struct StepUnderWay {
  int& running;
  bool& cut;
  explicit StepUnderWay(int& r, bool& c) : running(r), cut(c) {
    if (running++ == 0) cut = false;
  }
  ~StepUnderWay() {
    if (--running == 0) cut = false;
  }
};
}  // namespace

void NodeSearch::Button4Click() {
  if (!view_) return;
  DriveLinkState& st = link_.st;
  SearchView& view = *view_;
  using Button = SearchView::Button;

  st.active_form = 1;
  StepUnderWay under_way(running_, cut_);
  if (st.write_busy == 0) {
    // However the search ends, the lists are complete when it has.
    struct Ended {
      LinkEvents& events;
      bool cleared = false;
      ~Ended() {
        if (cleared) events.node_search_ended();
      }
    } ended{events_};
    st.write_busy = 1;
    view.enable(Button::Search, false);
    view.enable(Button::PortList, false);
    try {
      const SearchView::PortChoice choice = view.port_choice();
      st.comm_timeout_ms = timeout_for_choice(choice.reply_timeout);
      const uint32_t baud = choice.baud;
      st.char_time_ms = baud ? 700000 / baud : 0;
      events_.char_time_changed(st.char_time_ms);

      events_.node_lists_cleared();
      ended.cleared = true;
      st.connected = 0;

      SerialPort& port = link_.Comm1;
      port.CommName = choice.name;
      if (baud) port.BaudRate = baud;
      static constexpr ByteSize kSizes[] = {ByteSize::_5, ByteSize::_6, ByteSize::_7};
      const int size_index = choice.byte_size;
      port.byteSize = size_index >= 0 && size_index < 3 ? kSizes[size_index] : ByteSize::_8;
      const int stop_index = choice.stop_bits;
      port.stopBits = stop_index == 0 ? StopBits::_1 : stop_index == 1 ? StopBits::_1_5 : StopBits::_2;
      port.parity = parity_by_name(choice.parity);

      port.ClosePort();
      link_.delay(250);
      try {
        port.OpenPort();
      } catch (const ECommsError& e) {
        // Say which device could not be opened and why, instead of nothing.
        const QString detail = port.lastOpenErrorDetail();
        const QString text = QStringLiteral("打开串口失败：") + port.CommName + QStringLiteral("（") +
                             QString::fromLocal8Bit(e.what()) +
                             (detail.isEmpty() ? QString() : QStringLiteral("：") + detail) + QStringLiteral("）");
        view.show_status(text);
        view.log_timed(text + QStringLiteral("**"));
        throw;
      }
      view.show_status(QStringLiteral("打开串口"));
      link_.delay(250);

      int found = 0;
      // The drives of the line searched before step aside with what is kept
      // of them; each comes back only where that same drive answers.
      begin_search(st, line_identity(port.CommName));
      st.servo_count = st.bpq_count = st.tsq_count = 0;
      const int last = std::clamp(view.last_station(), 0, kMaxStation);
      view.enable(Button::Connect, false);

      for (int a = 1; a <= last && !cut_; ++a) {
        view.show_status(QStringLiteral("搜索节点") + QString::number(a));
        if (!read(static_cast<uint8_t>(a), kProgramVersionReg, 1)) continue;
        ++found;
        const uint16_t version = link_.reply_word(0);
        const NodeClass c = classify_node(version);
        switch (c.family) {
          case DeviceFamily::Servo: {
            const int i = st.servo_count++;
            st.servo_nodes[i] = static_cast<uint8_t>(a);
            st.servo_resolution_list[i] = c.servo_resolution;
            st.servo_high_model[i] = c.servo_high_model;
            break;
          }
          case DeviceFamily::Inverter: {
            const int i = st.bpq_count++;
            st.bpq_nodes[i] = static_cast<uint8_t>(a);
            st.bpq_model_type_list[i] = c.bpq_model_type;
            st.bpq_stop3_flags[i] = c.bpq_stop3;
            st.bpq_power_code[i] = c.bpq_power_code;
            break;
          }
          case DeviceFamily::SpeedController: {
            const int i = st.tsq_count++;
            st.tsq_nodes[i] = static_cast<uint8_t>(a);
            break;
          }
        }
        // The layout is this drive's as last read (none for a drive not seen
        // before) until the connect step reads it: never another drive's
        // left at the same list position.
        const uint16_t layout = found_layout(st, drive_answered(st, a, c.family, version));
        if (c.family == DeviceFamily::Servo) st.servo_subtype_list[st.servo_count - 1] = layout;
        if (c.family == DeviceFamily::Inverter) st.bpq_subtype_list[st.bpq_count - 1] = layout;
        events_.node_found(c.family, a);
      }

      if (cut_) {
        // The program is closing: no connect step follows.
        const QString text = QStringLiteral("程序关闭，节点搜索已中断");
        view.show_status(text);
        view.log_timed(text + QStringLiteral("**"));
      } else if (found > 0) {
        view.show_status(QStringLiteral("共有") + QString::number(found) + QStringLiteral("个节点！！"));
        view.enable(Button::Connect, true);
        const struct {
          int count;
          const char* family;
        } summary[] = {{st.servo_count, "个伺服节点！！"}, {st.bpq_count, "个变频器节点！！"}, {st.tsq_count, "个调速器节点！！"}};
        for (const auto& s : summary)
          if (s.count > 0)
            view.log_timed(QStringLiteral("搜索到") + QString::number(s.count) + QString::fromUtf8(s.family));
        Button1Click();
      } else {
        const QString text = QStringLiteral("线上无可连接节点！！");
        view.show_status(text);
        view.log_timed(text);
        view.enable(Button::Connect, false);
      }
    } catch (const std::exception&) {
      // The search ends where it failed; the buttons come back below.
    }
    st.write_busy = 0;
  }
  view.enable(Button::Search, true);
  view.enable(Button::Connect, true);
  view.enable(Button::PortList, true);
}

void NodeSearch::Button1Click() {
  if (!view_) return;
  DriveLinkState& st = link_.st;
  SearchView& view = *view_;
  using Button = SearchView::Button;
  StepUnderWay under_way(running_, cut_);
  auto enable_all = [&](std::initializer_list<Button> buttons, bool enabled) {
    for (Button b : buttons) view.enable(b, enabled);
  };

  const uint32_t baud = view.port_choice().baud;
  st.char_time_ms = baud ? 700000 / baud : 0;
  events_.char_time_changed(st.char_time_ms);

  st.connected = 0;
  enable_all({Button::Connect, Button::ClosePort, Button::PortList, Button::Search}, false);

  if (!read(static_cast<uint8_t>(view.connect_station()), kLineCheckReg, 1)) {
    st.connected = 0;
    view.enable(Button::ClosePort, false);
    view.enable(Button::Connect, true);
    if (cut_) {
      const QString text = QStringLiteral("程序关闭，读取系统参数已中断");
      view.show_status(text);
      view.log_timed(text + QStringLiteral("**"));
    } else {
      view.show_status(QStringLiteral("无应答，通信失败！！"));
      view.log(QStringLiteral("无应答，通信失败**"));
    }
    view.enable(Button::PortList, true);
    view.enable(Button::Search, true);
    return;
  }
  view.show_status(QStringLiteral("通讯正常，读取系统参数！！"));

  bool failed = false;
  auto fail = [&] {
    failed = true;
    // Cut by the program's close: the step ends without a failure of its own.
    if (cut_) return;
    view.show_status(QStringLiteral("参数读取失败"));
    view.log(QStringLiteral("参数读取失败**"));
  };

  // Speed controllers: registers 1 and 2 in one request. A drive under bus
  // control keeps the snapshot taken before it was switched.
  for (int i = 0; i < st.tsq_count; ++i) {
    const uint8_t a = st.tsq_nodes[i];
    if (!read(a, 1, 2)) {
      fail();
      break;
    }
    st.tsq_reg1[a] = link_.reply_word(0) & 0xFF;
    if (!tsq_under_bus_control(st, i)) st.tsq_reg2[a] = link_.reply_word(1) & 0xFF;
  }

  // Servo drives: menu variant, the variant's list registers, the gain switch.
  for (int i = 0; i < st.servo_count && !failed; ++i) {
    const uint8_t a = st.servo_nodes[i];
    if (!read(a, kMenuVersionReg, 1)) {
      fail();
      break;
    }
    st.servo_subtype_list[i] = link_.reply_word(0) % 100;
    const uint32_t subtype = st.servo_subtype_list[i];
    // Another layout than before at this number is another drive.
    layout_read(st, a, static_cast<uint16_t>(subtype));
    const bool keep_snapshot = st.servo_restore_flags[a] != 0;
    const int first = st.servo_list_first(subtype);
    const int size = st.servo_list_size(subtype);
    bool list_failed = false;
    for (int k = 0; k < size; ++k) {
      if (!read(a, static_cast<uint16_t>(st.servo_param_regs[first + k]), 1)) {
        fail();
        list_failed = true;
        break;
      }
      if (!keep_snapshot) st.servo_saved_params[a][k] = link_.reply_word(0);
    }
    // The gain switch is read even after a failed list.
    const uint16_t gain_switch_reg = subtype == 1 ? 0x37 : 0x41;
    if (!read(a, gain_switch_reg, 1)) {
      fail();
      break;
    }
    if (!keep_snapshot) {
      st.servo_gain_switch[a] = link_.reply_word(0);
      st.servo_run_mode[a] = static_cast<uint32_t>(st.servo_saved_params[a][0]);
    }
    if (list_failed) break;
  }

  // Inverters: menu variant (an exception reply means variant 1), then 4, 5, 8, 9.
  if (!failed) {
    st.bpq_rs485_regnums = {4, 5, 8, 9};
    for (int i = 0; i < st.bpq_count && !failed; ++i) {
      const uint8_t a = st.bpq_nodes[i];
      if (cut_) {
        fail();
        break;
      }
      link_.read_registers(a, kMenuVersionReg, 1);
      if (link_.accepted(0x03)) {
        st.bpq_subtype_list[i] = link_.reply_word(0) % 100;
      } else if (link_.accepted(0x83)) {
        st.bpq_subtype_list[i] = 1;
      } else {
        fail();
        break;
      }
      layout_read(st, a, static_cast<uint16_t>(st.bpq_subtype_list[i]));
      const bool keep_snapshot = bpq_under_bus_control(st, i);
      std::array<uint32_t, 4> values{};
      for (int k = 0; k < 4; ++k) {
        if (!read(a, st.bpq_rs485_regnums[k], 1)) {
          fail();
          break;
        }
        values[k] = link_.reply_word(0);
        if (!keep_snapshot) st.bpq_rs485_regs[a][k] = values[k];
        st.bpq_rs485_ok[i] = (values == std::array<uint32_t, 4>{4, 4, 8, 8}) ? 1 : 0;
      }
    }
  }

  if (!failed) {
    st.connected = 1;
    view.show_status(QStringLiteral("读取系统参数完毕！！"));
    enable_all({Button::ClosePort, Button::PortList, Button::Search}, true);
  } else if (cut_) {
    const QString text = QStringLiteral("程序关闭，读取系统参数已中断");
    view.show_status(text);
    view.log_timed(text + QStringLiteral("**"));
    st.connected = 0;
    enable_all({Button::Connect, Button::ClosePort, Button::PortList, Button::Search}, true);
  } else {
    view.show_status(QStringLiteral("读取系统参数失败！！"));
    st.connected = 0;
    enable_all({Button::Connect, Button::ClosePort, Button::PortList, Button::Search}, true);
  }
}

}  // namespace velmo
