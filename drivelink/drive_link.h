#pragma once
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "drivelink/drive_link_state.h"
#include "link/serial_port.h"

namespace velmo {

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
  // One exchange with node_addr using tx_buf[1..] / tx_len. Returns false when
  // it was refused because another exchange is still waiting (nothing sent,
  // refused_count counted, the other exchange's reply untouched), and when
  // node_addr is not a station (0 would be a broadcast to every drive).
  bool senddata();
  // Function-06 write of cmd_value to cmd_reg; result in cmd_fail.
  void command_send();
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

  // ---- The accepted-reply test ----
  // reply_flag set, station and function as sent (the station the request
  // went to, even if node_addr changed since), CRC correct and a length
  // that fits the function (03: byte count = 2 x registers asked, or
  // bytes_per_register x registers; 06 and 16: 8 bytes; an exception reply
  // when function has bit 0x80: 5 bytes).
  bool accepted(uint8_t function, int bytes_per_register = 2) const;
  // Value k of a function-03 reply.
  uint16_t reply_word(int k) const;

  // ---- Request builders (fill tx_buf / tx_len and call senddata) ----
  bool read_registers(uint16_t first, uint16_t count);     // 03, then accepted(3)
  bool write_register(uint16_t reg, int32_t value);        // 06, then accepted(6)
  bool write_registers(uint16_t first, const std::vector<int32_t>& values);  // 16

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
  void log_traffic(uint8_t window_code, const QString& line);
  void wait_until(int ms, bool for_reply);

  std::map<uint8_t, LineSink> traffic_logs_;
  int64_t last_send_ns_ = 0;
  uint8_t sent_addr_ = 0;
  uint8_t sent_function_ = 0;
  uint16_t sent_count_ = 0;
};

// Monotonic milliseconds (the system tick count's role).
int64_t tick_ms();

}  // namespace velmo
