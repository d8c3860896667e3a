#pragma once
// A libmodbus RTU master on the simulator's pty: the independent check that
// the simulated line speaks real Modbus RTU.
#include <modbus/modbus.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmo::testing {

class ModbusMaster {
 public:
  explicit ModbusMaster(const std::string& port, int timeout_ms = 1000) {
    ctx_ = modbus_new_rtu(port.c_str(), 38400, 'E', 8, 1);
    if (ctx_ && modbus_connect(ctx_) != 0) {
      modbus_free(ctx_);
      ctx_ = nullptr;
    }
    if (ctx_) set_timeout_ms(timeout_ms);
  }
  ~ModbusMaster() {
    if (ctx_) {
      modbus_close(ctx_);
      modbus_free(ctx_);
    }
  }
  ModbusMaster(const ModbusMaster&) = delete;
  ModbusMaster& operator=(const ModbusMaster&) = delete;

  bool ok() const { return ctx_ != nullptr; }
  void set_timeout_ms(int ms) { modbus_set_response_timeout(ctx_, ms / 1000, (ms % 1000) * 1000); }

  // Value of one register, or nullopt with the errno of the failure in error().
  std::optional<uint16_t> read(uint8_t slave, uint16_t reg) {
    auto values = read(slave, reg, 1);
    if (!values) return std::nullopt;
    return (*values)[0];
  }
  std::optional<std::vector<uint16_t>> read(uint8_t slave, uint16_t reg, int count) {
    modbus_set_slave(ctx_, slave);
    std::vector<uint16_t> values(static_cast<size_t>(count));
    errno = 0;
    if (modbus_read_registers(ctx_, reg, count, values.data()) != count) return fail();
    return values;
  }
  bool write(uint8_t slave, uint16_t reg, uint16_t value) {
    modbus_set_slave(ctx_, slave);
    errno = 0;
    if (modbus_write_register(ctx_, reg, value) != 1) return fail(), false;
    return true;
  }
  bool write(uint8_t slave, uint16_t reg, const std::vector<uint16_t>& values) {
    modbus_set_slave(ctx_, slave);
    errno = 0;
    const int n = static_cast<int>(values.size());
    if (modbus_write_registers(ctx_, reg, n, values.data()) != n) return fail(), false;
    return true;
  }
  int error() const { return error_; }
  modbus_t* ctx() { return ctx_; }

 private:
  std::nullopt_t fail() {
    error_ = errno;
    modbus_flush(ctx_);
    return std::nullopt;
  }
  modbus_t* ctx_ = nullptr;
  int error_ = 0;
};

}  // namespace velmo::testing
