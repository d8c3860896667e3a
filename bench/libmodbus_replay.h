#pragma once
// A libmodbus RTU master that sends the very requests the program sent, one
// after another as fast as the line answers: the peer a sequence's pace is
// measured against. Only reads (function 03) are replayed through the
// library's own read call; anything else goes out as a raw request.
#include <modbus/modbus.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_line.h"

namespace velmo::bench {

class LibmodbusReplay {
 public:
  // The requests of a journal, as the program sent them (CRC included).
  static std::vector<std::vector<uint8_t>> requests_of(const std::vector<sim::JournalEntry>& journal) {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& e : journal)
      if (e.is_request && e.bytes.size() >= 4) out.push_back(e.bytes);
    return out;
  }

  explicit LibmodbusReplay(const std::string& port) : ctx_(modbus_new_rtu(port.c_str(), 38400, 'E', 8, 1)) {
    if (ctx_) modbus_set_response_timeout(ctx_, 0, 500000);
  }
  ~LibmodbusReplay() {
    if (ctx_) modbus_free(ctx_);
  }
  LibmodbusReplay(const LibmodbusReplay&) = delete;
  LibmodbusReplay& operator=(const LibmodbusReplay&) = delete;

  // One pass over the requests with the port open only for the pass (the
  // program's port is closed meanwhile): the wall seconds from the first
  // request to the last reply, or a negative number when one failed.
  double pass(const std::vector<std::vector<uint8_t>>& requests) {
    if (!ctx_ || modbus_connect(ctx_) != 0) return -1;
    bool ok = true;
    sent_ns.clear();
    answered_ns.clear();
    const auto t0 = std::chrono::steady_clock::now();
    for (const auto& r : requests) {
      sent_ns.push_back(steady_ns());
      ok = exchange(r) && ok;
      answered_ns.push_back(steady_ns());
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    modbus_close(ctx_);
    return ok ? wall : -1;
  }
  // Per exchange of the last pass, on the steady clock: when the library was
  // asked to send the request, and when it returned with the reply.
  std::vector<int64_t> sent_ns, answered_ns;

 private:
  static int64_t steady_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  bool exchange(const std::vector<uint8_t>& r) {
    modbus_set_slave(ctx_, r[0]);
    if (r[1] == 0x03 && r.size() == 8) {
      const int reg = (r[2] << 8) | r[3];
      const int count = (r[4] << 8) | r[5];
      uint16_t values[125];
      return count <= 125 && modbus_read_registers(ctx_, reg, count, values) == count;
    }
    // The library appends the CRC itself.
    if (modbus_send_raw_request(ctx_, r.data(), static_cast<int>(r.size() - 2)) < 0) return false;
    uint8_t reply[MODBUS_RTU_MAX_ADU_LENGTH];
    return modbus_receive_confirmation(ctx_, reply) > 0;
  }

  modbus_t* ctx_;
};

}  // namespace velmo::bench
