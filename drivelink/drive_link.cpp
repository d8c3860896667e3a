#include "drivelink/drive_link.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <exception>

#include "link/clock.h"
#include "link/modbus_crc.h"
#include "link/modbus_frame.h"
#include "link/virtual_clock.h"

namespace velmo {

QString outcome_text(const ExchangeOutcome& outcome) {
  switch (outcome.kind) {
    case ExchangeOutcome::Accepted: return QStringLiteral("应答正确");
    case ExchangeOutcome::NoReply: return QStringLiteral("无应答");
    case ExchangeOutcome::BadCrc: return QStringLiteral("应答CRC错误");
    case ExchangeOutcome::WrongStation: return QStringLiteral("应答站号不符");
    case ExchangeOutcome::WrongFunction: return QStringLiteral("应答功能码不符");
    case ExchangeOutcome::Exception:
      return QStringLiteral("异常应答（代码 %1）").arg(outcome.exception_code, 2, 16, QLatin1Char('0')).toUpper();
    case ExchangeOutcome::WrongLength: return QStringLiteral("应答长度不符");
    case ExchangeOutcome::EchoMismatch: return QStringLiteral("写入应答与所写不符");
    case ExchangeOutcome::Ambiguous: return QStringLiteral("应答可能属于前一请求");
    case ExchangeOutcome::Refused: return QStringLiteral("另一通信未完成，未发送");
    case ExchangeOutcome::InvalidStation: return QStringLiteral("站号无效，未发送");
    case ExchangeOutcome::BadRequest: return QStringLiteral("请求帧无效，未发送");
  }
  return QString();
}

int64_t tick_ms() { return clock_ms(); }

namespace {
// A caller's flags (the first four start clean for a handler run inside its
// wait) and operands.
constexpr uint8_t DriveLinkState::*kCallerBytes[] = {
    &DriveLinkState::verify_replies, &DriveLinkState::cmd_fail, &DriveLinkState::comm_error,
    &DriveLinkState::tune_error,     &DriveLinkState::batch_go, &DriveLinkState::param_reg,
    &DriveLinkState::tx_len};
constexpr size_t kCleanFlags = 4;
constexpr uint32_t DriveLinkState::*kCallerWords[] = {&DriveLinkState::cmd_reg, &DriveLinkState::cmd_value,
                                                      &DriveLinkState::block_start, &DriveLinkState::block_count};
}  // namespace

struct DriveLink::CallerFlags {
  std::array<uint8_t, std::size(kCallerBytes)> bytes;
  std::array<uint32_t, std::size(kCallerWords)> words;
  int32_t param_value;
  decltype(DriveLinkState::tx_buf) tx_buf;
};

class DriveLink::CallerScope {
 public:
  explicit CallerScope(DriveLinkState& st) : st_(st) {
    for (size_t k = 0; k < saved_.bytes.size(); ++k) saved_.bytes[k] = st_.*kCallerBytes[k];
    for (size_t k = 0; k < saved_.words.size(); ++k) saved_.words[k] = st_.*kCallerWords[k];
    saved_.param_value = st_.param_value;
    saved_.tx_buf = st_.tx_buf;
    for (size_t k = 0; k < kCleanFlags; ++k) st_.*kCallerBytes[k] = 0;
  }
  ~CallerScope() {
    for (size_t k = 0; k < saved_.bytes.size(); ++k) st_.*kCallerBytes[k] = saved_.bytes[k];
    for (size_t k = 0; k < saved_.words.size(); ++k) st_.*kCallerWords[k] = saved_.words[k];
    st_.param_value = saved_.param_value;
    st_.tx_buf = saved_.tx_buf;
  }
  CallerScope(const CallerScope&) = delete;
  CallerScope& operator=(const CallerScope&) = delete;

 private:
  DriveLinkState& st_;
  CallerFlags saved_{};
};

DriveLink::DriveLink(QObject* parent) : QObject(parent) {
  // The main port: 38400 8E1, no flow control, 20 ms of silence ends a chunk.
  Comm1.CommName = QStringLiteral("COM3");
  Comm1.BaudRate = 38400;
  Comm1.ParityCheck = true;
  Comm1.dtrControl = DtrControl::DtrDisable;
  Comm1.rtsControl = RtsControl::RtsDisable;
  Comm1.Outx_XonXoffFlow = false;
  Comm1.Inx_XonXoffFlow = false;
  Comm1.parity = Parity::Even;
  Comm1.ReadIntervalTimeout = 20;
  connect(&Comm1, &SerialPort::receiveData, this, &DriveLink::Comm1ReceiveData);
  connect(&Comm1, &SerialPort::requestHangup, this, &DriveLink::hangup);
}

void DriveLink::modbus_crc16(const uint8_t* bytes, int length) {
  st.crc_value = velmo::modbus_crc16(bytes, static_cast<size_t>(std::max(length, 0)));
}

void DriveLink::end_of_program() {
  ended_ = true;
  Comm1.ClosePort();
}

bool DriveLink::senddata(uint8_t station, int bytes_per_register) {
  if (ended_) {
    // The program has ended: what unwinds sends nothing.
    last_outcome_ = {ExchangeOutcome::Refused};
    return false;
  }
  if (st.sending) {
    // Another exchange is waiting further down the stack: sending now would
    // let one of the two read the other's reply.
    ++st.refused_count;
    last_outcome_ = {ExchangeOutcome::Refused};
    return false;
  }
  if (idle_step_) run_idle_step();
  if (station < 1 || station > kMaxStation) {
    // Station 0 is the broadcast address: every drive would act on it.
    st.reply_flag = 0;
    st.cmd_fail = 1;
    last_outcome_ = {ExchangeOutcome::InvalidStation};
    return false;
  }
  wait_for_late_replies(station, bytes_per_register);
  try {
    st.sending = 1;
    if (on_reply_flag) on_reply_flag(0);
    st.reply_flag = 0;
    st.rx_count = 0;
    const size_t len = st.tx_len;
    if (len < 2 || len + 2 > st.tx_buf.size()) throw std::length_error("request frame length");
    st.tx_buf[0] = station;
    sent_ = RequestShape::of_request(st.tx_buf.data(), bytes_per_register);
    ambiguous_ = false;
    modbus_crc16(st.tx_buf.data(), static_cast<int>(len));
    st.tx_buf[len] = st.crc_value & 0xFF;
    st.tx_buf[len + 1] = (st.crc_value >> 8) & 0xFF;

    // Whatever is still in the input belongs to an earlier exchange.
    Comm1.FlushInput();
    last_send_ns_ = monotonic_ns();
    Comm1.SendBytes(st.tx_buf.data(), static_cast<uint16_t>(len + 2));
    log_traffic(st.active_form, st.tx_buf.data(), len + 2, QStringLiteral("**"));

    st.rx_arrived = 0;
    Comm1.awaitReply(true);
    comm_delay(static_cast<int>(st.comm_timeout_ms));
    Comm1.awaitReply(false);
    if (on_reply_flag) on_reply_flag(st.reply_flag);
    last_outcome_ = judge(sent_.function, bytes_per_register);
    if (!last_outcome_.ok() && last_outcome_.kind != ExchangeOutcome::Exception) {
      // Its own reply may still come: until the same time again has passed,
      // it is told from the reply of a later request or waited out.
      late_.owe(sent_, monotonic_ns() + static_cast<int64_t>(st.comm_timeout_ms) * 1'000'000);
    }
    if (st.verify_replies) {
      if (last_outcome_.ok()) {
        st.cmd_fail = 0;
      } else {
        st.comm_error = 1;
        st.cmd_fail = 1;
      }
    }
    st.sending = 0;
  } catch (const std::exception&) {
    Comm1.awaitReply(false);
    st.comm_error = 1;
    st.cmd_fail = 1;
    st.sending = 0;
    last_outcome_ = {ExchangeOutcome::BadRequest};
  }
  return true;
}

void DriveLink::wait_for_late_replies(uint8_t station, int bytes_per_register) {
  for (;;) {
    late_.expire(monotonic_ns());
    if (late_.empty()) return;
    std::array<uint8_t, 6> frame{};
    std::copy_n(st.tx_buf.begin(), frame.size(), frame.begin());
    frame[0] = station;
    const RequestShape next = RequestShape::of_request(frame.data(), bytes_per_register);
    const int64_t guard_end = late_.guard_end(next);
    if (guard_end == 0) return;
    // The late reply ends the wait as a stray; then the line is ours again.
    // The request is under way while it waits: the line counts as busy, and
    // whatever runs meanwhile leaves the request as it is (the wait and the
    // idle step keep it).
    guarding_ = true;
    st.sending = 1;
    const int ms = static_cast<int>((guard_end - monotonic_ns() + 999'999) / 1'000'000);
    wait_until(ms, [&] { return late_.guard_end(next) != guard_end; });
    st.sending = 0;
    guarding_ = false;
    if (idle_step_) run_idle_step();
  }
}

void DriveLink::command_send(uint8_t station) {
  st.cmd_fail = 1;
  st.tx_buf[1] = 0x06;
  st.tx_buf[2] = (st.cmd_reg >> 8) & 0xFF;
  st.tx_buf[3] = st.cmd_reg & 0xFF;
  st.tx_buf[4] = value_hi(static_cast<int32_t>(st.cmd_value));
  st.tx_buf[5] = value_lo(static_cast<int32_t>(st.cmd_value));
  st.tx_len = 6;
  if (senddata(station) && accepted(0x06)) st.cmd_fail = 0;
}

void DriveLink::Comm1ReceiveData(const ReceivedChunk& chunk) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(chunk.bytes.constData());
  const size_t len = static_cast<size_t>(chunk.bytes.size());
  auto log = [&](uint8_t window_code) { log_traffic(window_code, bytes, len); };

  // A chunk that came while the request waits to go out, or that began
  // before it went out, answers something else.
  bool ours = st.sending && !guarding_ && chunk.first_byte_ns >= last_send_ns_;
  late_.expire(monotonic_ns());
  const bool late = late_.answers_owed(bytes, len);
  if (late && !(ours && sent_.answered_by(bytes, len))) {
    // The late reply of a request that gave up, told apart from what an
    // exchange waits for: never taken as another request's reply.
    late_.pay(bytes, len);
    if (guarding_) wake_waiter();
    ours = false;
  }
  if (st.sending && !ours) {
    log(static_cast<uint8_t>(WindowCode::Main));
    return;
  }
  // Answers both the waiting request and one that gave up: which one, the
  // line cannot tell, so the exchange fails rather than guess.
  ambiguous_ = st.sending && late;

  // The reply first: the waiting exchange decides on it before anything is shown.
  st.rx_arrived = 1;
  const size_t kept = std::min(len, st.rx_buf.size());
  std::copy_n(bytes, kept, st.rx_buf.begin());
  st.rx_len = static_cast<uint16_t>(kept);
  st.rx_count += static_cast<int32_t>(len);
  if (st.sending) {
    // A chunk too short to carry a CRC is never a good reply.
    st.crc_ok = (len > 4 && frame_crc_ok(bytes, len)) ? 1 : 0;
  }
  st.reply_flag = 1;
  // The wait that delivered this chunk must look at the flag again before it
  // sleeps: Qt's own event loop (unlike GLib's, whose round ends with what
  // it delivered) would otherwise sleep on after delivering posted events,
  // until the next timer.
  if (st.sending && !loop_ends_round_after_delivery()) wake_waiter();

  if (!st.sending) {
    log(static_cast<uint8_t>(WindowCode::Main));
  } else if (st.active_form == static_cast<uint8_t>(WindowCode::GainTuning)) {
    if (on_rx_count) on_rx_count(st.rx_count);
    if (st.rx_log_off == 0) log(st.active_form);
  } else {
    log(st.active_form);
  }
}

void DriveLink::comm_delay(int ms) {
  wait_until(ms, [this] { return st.reply_flag != 0; });
}

void DriveLink::delay(int ms) {
  if (idle_step_ && !st.sending) run_idle_step();
  delay_asked_ms_ += std::max(ms, 0);
  wait_until(ms, [this] { return st.abort_wait != 0; });
}

void DriveLink::when_idle(std::function<void()> step) {
  idle_step_ = std::move(step);
  if (idle_step_ && !st.sending) run_idle_step();
}

void DriveLink::run_idle_step() {
  // The step is another caller's: the request this call was about to send
  // and its flags stay as its caller left them.
  const CallerScope caller(st);
  const std::function<void()> step = std::move(idle_step_);
  idle_step_ = nullptr;
  step();
}

void DriveLink::request_abort() {
  st.abort_wait = 1;
  wake_waiter();
}

bool DriveLink::loop_ends_round_after_delivery() {
  QAbstractEventDispatcher* loop = QAbstractEventDispatcher::instance();
  return loop && loop->inherits("QEventDispatcherGlib");
}

void DriveLink::wake_waiter() {
  if (auto* dispatcher = QAbstractEventDispatcher::instance()) dispatcher->wakeUp();
}

void DriveLink::wait_until(int ms, const std::function<bool()>& done) {
  if (ended_) return;
  // Whatever runs inside this wait is another caller's.
  const CallerScope caller(st);
  if (VirtualClock* timeline = virtual_clock()) {
    // Tests: the wait is a sleep on the timeline, which moves once the line is quiet.
    const int64_t deadline = timeline->now_ns() + std::max<int64_t>(ms, 0) * 1'000'000;
    wait_on_timeline(*timeline, deadline, done);
    return;
  }
  const int64_t start = tick_ms();
  // Wakes the event loop at the deadline; nothing else polls.
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  // The deadline is on the shared clock; the timer sleeps its wall time, rounded up.
  deadline.start(static_cast<int>((clock().wall_ns(std::max<int64_t>(ms, 0) * 1000000) + 999999) / 1000000));
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  for (;;) {
    if (done()) return;
    if (tick_ms() - start >= ms) return;
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
}

ExchangeOutcome DriveLink::judge(uint8_t function, int bytes_per_register) const {
  using O = ExchangeOutcome;
  if (st.reply_flag != 1) return {O::NoReply};
  if (st.crc_ok != 1) return {O::BadCrc};
  if (ambiguous_) return {O::Ambiguous};
  const uint8_t* rx = st.rx_buf.data();
  const size_t len = st.rx_len;
  if (rx[0] != sent_.station) return {O::WrongStation};
  if (rx[1] == (function | 0x80)) {
    if (len != 5) return {O::WrongLength};
    return {O::Exception, rx[2]};
  }
  if (rx[1] != function) return {O::WrongFunction};
  size_t want = 0;
  if (function == 0x03) {
    want = 5 + static_cast<size_t>(bytes_per_register) * sent_.count;
    if (rx[2] != ((want - 5) & 0xFF)) return {O::WrongLength};
  } else if (function == 0x06 || function == 0x10) {
    want = 8;
  } else {
    want = expected_reply_length(rx, len);
  }
  if (want == 0 || len != want) return {O::WrongLength};
  // A write reply confirms only the write it echoes: a late echo of an
  // earlier write must never confirm this one.
  if ((function == 0x06 || function == 0x10) && !std::equal(sent_.echo.begin(), sent_.echo.end(), rx + 2))
    return {O::EchoMismatch};
  return {O::Accepted};
}

bool DriveLink::accepted(uint8_t function, int bytes_per_register) const {
  if (function & 0x80) return judge(function & 0x7F, bytes_per_register).kind == ExchangeOutcome::Exception;
  return judge(function, bytes_per_register).ok();
}

uint16_t DriveLink::reply_word(int k) const { return word_at(&st.rx_buf[3 + 2 * k]); }

namespace {
// A register holds 16 bits: signed values down to -32768, unsigned up to 65535.
bool fits_register(int32_t value) { return value >= -32768 && value <= 65535; }
}  // namespace

bool DriveLink::read_registers(uint8_t station, uint16_t first, uint16_t count, int bytes_per_register) {
  st.tx_buf[1] = 0x03;
  st.tx_buf[2] = first >> 8;
  st.tx_buf[3] = first & 0xFF;
  st.tx_buf[4] = count >> 8;
  st.tx_buf[5] = count & 0xFF;
  st.tx_len = 6;
  return senddata(station, bytes_per_register) && accepted(0x03, bytes_per_register);
}

bool DriveLink::write_register(uint8_t station, uint16_t reg, int32_t value) {
  if (!fits_register(value)) return false;
  st.tx_buf[1] = 0x06;
  st.tx_buf[2] = reg >> 8;
  st.tx_buf[3] = reg & 0xFF;
  st.tx_buf[4] = value_hi(value);
  st.tx_buf[5] = value_lo(value);
  st.tx_len = 6;
  return senddata(station) && accepted(0x06);
}

bool DriveLink::write_registers(uint8_t station, uint16_t first, const std::vector<int32_t>& values) {
  const size_t n = values.size();
  if (n == 0 || 7 + 2 * n + 2 > st.tx_buf.size()) return false;
  if (!std::all_of(values.begin(), values.end(), fits_register)) return false;
  st.tx_buf[1] = 0x10;
  st.tx_buf[2] = first >> 8;
  st.tx_buf[3] = first & 0xFF;
  st.tx_buf[4] = 0;
  st.tx_buf[5] = static_cast<uint8_t>(n);
  st.tx_buf[6] = static_cast<uint8_t>(2 * n);
  for (size_t k = 0; k < n; ++k) {
    st.tx_buf[7 + 2 * k] = value_hi(values[k]);
    st.tx_buf[8 + 2 * k] = value_lo(values[k]);
  }
  st.tx_len = static_cast<uint8_t>(7 + 2 * n);
  return senddata(station) && accepted(0x10);
}

void DriveLink::set_traffic_log(uint8_t window_code, LineSink sink) { traffic_logs_[window_code] = std::move(sink); }

void DriveLink::log_traffic(uint8_t window_code, const uint8_t* bytes, size_t len, const QString& suffix) {
  // Formatted only for a window that shows it: the fault tables and a
  // program without logs spend nothing on it.
  auto it = traffic_logs_.find(window_code);
  if (it == traffic_logs_.end() || !it->second) return;
  it->second(QString::fromStdString(hex_line(bytes, len)) + suffix);
}

}  // namespace velmo
