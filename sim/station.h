#pragma once
#include <bitset>
#include <map>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace velmo::sim {

// One drive on the simulated line: a map of 16-bit registers with hooks for
// the drive's behaviour. Only registers that were defined exist; requests that
// touch any other register get exception 02.
class Station {
 public:
  explicit Station(uint8_t address);
  virtual ~Station();
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  uint8_t address() const;
  void set_address(uint8_t address);

  uint16_t reg(uint16_t r) const;
  void set_reg(uint16_t r, uint16_t v);
  bool has_reg(uint16_t r) const;
  void define_regs(uint16_t first, uint16_t count, uint16_t value = 0);
  void undefine_reg(uint16_t r);
  // A pinned register reads the given value whatever the drive's model or a
  // write puts there (e.g. a status word a test wants to see as is).
  void pin_reg(uint16_t r, uint16_t v);
  void unpin_reg(uint16_t r);

  // Drive behaviour, called under the line's lock on the line's thread.
  // on_write: store the value (the default does) and return true, or return
  // false to refuse the write with exception 04.
  virtual bool on_write(uint16_t r, uint16_t v);
  // Checked for every value of a write before any is stored: 0 to accept,
  // else the exception code the drive answers with (03 for a value outside
  // the register's range).
  virtual uint8_t write_refusal(uint16_t r, uint16_t v) const;
  // False while the drive listens at other line settings than the line's:
  // it hears no request.
  virtual bool listening() const { return true; }
  virtual void on_read(uint16_t r);
  virtual void tick(int64_t now_ns);
  // Function 03 over an area whose addresses hold 4-byte values (the servo's
  // motion recording). False when [start, start + count) is no such area;
  // otherwise fills data, or sets exception when the read cannot be served.
  virtual bool read_wide(uint16_t start, uint16_t count, std::vector<uint8_t>& data, uint8_t& exception);

  // A write that changed the station number is answered from the old
  // address; the line moves the station once the reply is on its way.
  std::optional<uint8_t> take_pending_address();

  // The lock that guards this station's registers: its own until it is added
  // to a line, the line's afterwards.
  std::recursive_mutex& lock() const { return *lock_; }
  void attach_lock(std::recursive_mutex* line_lock) { lock_ = line_lock; }

 protected:
  void move_address_after_reply(uint8_t new_address) { pending_address_ = new_address; }

 private:
  uint8_t address_;
  std::optional<uint8_t> pending_address_;
  std::vector<uint16_t> values_;
  std::unique_ptr<std::bitset<65536>> defined_;
  std::map<uint16_t, uint16_t> pinned_;
  mutable std::recursive_mutex own_lock_;
  std::recursive_mutex* lock_ = &own_lock_;
};

}  // namespace velmo::sim
