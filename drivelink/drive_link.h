#pragma once
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "drivelink/drive_link_state.h"
#include "drivelink/late_replies.h"
#include "link/serial_port.h"

namespace velmo {

// How one exchange ended. Every flag the windows test (reply_flag, crc_ok,
// cmd_fail, comm_error) is still filled as before; this says why.
struct ExchangeOutcome {
  enum Kind : uint8_t {
    Accepted,
    NoReply,         // nothing arrived before the timeout
    BadCrc,          // a chunk arrived but its CRC is wrong (or it is too short to carry one)
    WrongStation,    // CRC correct, another station answered
    WrongFunction,   // CRC correct, our station, another function (a late reply to something else)
    Exception,       // the drive refused the request; exception_code says why
    WrongLength,     // CRC correct, our station and function, a length that does not fit the request
    EchoMismatch,    // a write reply that does not echo the register and value (or start and count) sent
    Ambiguous,       // a reply that could as well be the late one of an earlier request that gave up
    Refused,         // nothing sent: another exchange is still waiting
    InvalidStation,  // nothing sent: the station named is not one
    BadRequest,      // nothing sent: the request frame has no valid length
  };
  Kind kind = NoReply;
  uint8_t exception_code = 0;  // Exception only

  bool ok() const { return kind == Accepted; }
  // The request went out and the drive did not refuse it: reply or not, it
  // may have acted on it.
  bool may_have_acted() const {
    return kind != Exception && kind != Refused && kind != InvalidStation && kind != BadRequest;
  }
  bool operator==(const ExchangeOutcome&) const = default;
};

// One short line for logs, e.g. "异常应答（代码 02）".
QString outcome_text(const ExchangeOutcome& outcome);

// The Modbus RTU master of the line: one exchange at a time through Comm1,
// waiting on the Qt event loop, with every frame logged in hexadecimal to the
// traffic log of the window named by active_form. Owns the drive-link state.
class DriveLink : public QObject {
  Q_OBJECT
 public:
  using LineSink = std::function<void(const QString&)>;

  explicit DriveLink(QObject* parent = nullptr);

  DriveLinkState st;
  SerialPort Comm1;

  // ---- Exchange operations ----
  // One exchange with `station` using tx_buf[1..] / tx_len. Every caller names
  // the station it talks to: there is no "current node" that another window
  // could change between two exchanges of an operation. Returns false when
  // it was refused because another exchange is still waiting (nothing sent,
  // refused_count counted, the other exchange's reply untouched), and when
  // `station` is not a station (0 would be a broadcast to every drive).
  // A request whose reply would look like the late reply of an earlier one
  // that gave up goes out only once that reply came (as a stray) or the
  // earlier request's guard ran out: its own timeout again after it gave up.
  // Meanwhile the line counts as busy (sending), as during any exchange.
  // bytes_per_register: of a function-03 reply (four for the motion recording).
  bool senddata(uint8_t station, int bytes_per_register = 2);
  // Function-06 write of cmd_value to cmd_reg of `station`; result in cmd_fail.
  void command_send(uint8_t station);
  // CRC of the first length bytes into crc_value.
  void modbus_crc16(const uint8_t* bytes, int length);
  // The receive handler of Comm1.
  void Comm1ReceiveData(const ReceivedChunk& chunk);
  // Wait for reply_flag, at most ms milliseconds, keeping the GUI alive.
  void comm_delay(int ms);
  // Wait ms milliseconds keeping the GUI alive; ends early on abort_wait.
  void delay(int ms);
  // Wakes a waiting delay so that it sees abort_wait at once.
  void request_abort();
  // Runs `step` once no exchange is waiting: at once, or right after the
  // waiting one, before the next request or the next delay (the reply of
  // the waiting one still belongs to its caller). One step is held; an
  // empty one drops it.
  void when_idle(std::function<void()> step);
  // Milliseconds asked of delay so far: what a sequence waits by design.
  int64_t delay_asked_ms() const { return delay_asked_ms_; }
  // The program ends: the port closes, nothing is sent any more, and no
  // wait holds up the stack that unwinds.
  void end_of_program();
  bool ended() const { return ended_; }

  // ---- The accepted-reply test ----
  // reply_flag set, station and function as sent (the station the request
  // went to), CRC correct and a length
  // that fits the function (03: byte count = 2 x registers asked, or
  // bytes_per_register x registers; 06 and 16: 8 bytes echoing the register
  // and value, or the start and count, sent). With bit 0x80 in function:
  // whether the reply is the drive's exception reply to the request.
  bool accepted(uint8_t function, int bytes_per_register = 2) const;
  // The reply held now, judged against the last request sent as if it had
  // been of this function.
  ExchangeOutcome judge(uint8_t function, int bytes_per_register = 2) const;
  // How the last call of senddata ended (judged on the request's own function).
  const ExchangeOutcome& last_outcome() const { return last_outcome_; }
  // Value k of a function-03 reply.
  uint16_t reply_word(int k) const;

  // ---- Request builders (fill tx_buf / tx_len and call senddata) ----
  bool read_registers(uint8_t station, uint16_t first, uint16_t count, int bytes_per_register = 2);  // 03
  bool write_register(uint8_t station, uint16_t reg, int32_t value);                  // 06
  bool write_registers(uint8_t station, uint16_t first, const std::vector<int32_t>& values);  // 16

  // ---- Traffic-log routing by window code ----
  void set_traffic_log(uint8_t window_code, LineSink sink);
  // Gain-tuning window's byte counter, updated for each reply chunk.
  std::function<void(int32_t rx_count)> on_rx_count;
  // Servo menu editor's hidden reply indicator.
  std::function<void(uint8_t reply_flag)> on_reply_flag;

  // Time the last request was handed to the port (monotonic ns).
  int64_t last_send_ns() const { return last_send_ns_; }

 signals:
  void hangup();

 private:
  void log_traffic(uint8_t window_code, const uint8_t* bytes, size_t len, const QString& suffix = QString());
  void wait_until(int ms, const std::function<bool()>& done);
  void wait_for_late_replies(uint8_t station, int bytes_per_register);
  void wake_waiter();  // a wait in progress checks its condition again at once
  static bool loop_ends_round_after_delivery();
  void run_idle_step();

  // What one caller's exchanges leave for that caller alone to test: the
  // verify switch, the failure flags, the batch result and the request's
  // operands. Another window's handler that runs inside a caller's wait
  // (a timer, a click, an idle step) starts from clean flags, and the
  // waiting caller gets its own back untouched: one window's failure never
  // ends another's sequence.
  struct CallerFlags;
  class CallerScope;

  std::map<uint8_t, LineSink> traffic_logs_;
  int64_t delay_asked_ms_ = 0;
  int64_t last_send_ns_ = 0;
  RequestShape sent_;
  LateReplies late_;
  bool guarding_ = false;   // waiting for an earlier request's late reply
  bool ended_ = false;
  bool ambiguous_ = false;  // the reply held could be an earlier request's
  ExchangeOutcome last_outcome_;
  std::function<void()> idle_step_;
};

// Monotonic milliseconds (the system tick count's role).
int64_t tick_ms();

}  // namespace velmo
