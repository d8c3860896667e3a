#include "sim/station.h"

namespace velmo::sim {

Station::Station(uint8_t address)
    : address_(address), values_(65536, 0), defined_(std::make_unique<std::bitset<65536>>()) {}

Station::~Station() = default;

uint8_t Station::address() const {
  std::lock_guard guard(lock());
  return address_;
}

void Station::set_address(uint8_t address) {
  std::lock_guard guard(lock());
  address_ = address;
}

uint16_t Station::reg(uint16_t r) const {
  std::lock_guard guard(lock());
  if (!pinned_.empty()) {
    if (auto it = pinned_.find(r); it != pinned_.end()) return it->second;
  }
  return values_[r];
}

void Station::set_reg(uint16_t r, uint16_t v) {
  std::lock_guard guard(lock());
  values_[r] = v;
}

bool Station::has_reg(uint16_t r) const {
  std::lock_guard guard(lock());
  return defined_->test(r);
}

void Station::define_regs(uint16_t first, uint16_t count, uint16_t value) {
  std::lock_guard guard(lock());
  for (uint32_t r = first; r < uint32_t{first} + count && r < 65536; ++r) {
    defined_->set(r);
    values_[r] = value;
  }
}

void Station::undefine_reg(uint16_t r) {
  std::lock_guard guard(lock());
  defined_->reset(r);
}

void Station::pin_reg(uint16_t r, uint16_t v) {
  std::lock_guard guard(lock());
  pinned_[r] = v;
}

void Station::unpin_reg(uint16_t r) {
  std::lock_guard guard(lock());
  pinned_.erase(r);
}

bool Station::on_write(uint16_t r, uint16_t v) {
  set_reg(r, v);
  return true;
}

uint8_t Station::write_refusal(uint16_t, uint16_t) const { return 0; }

void Station::on_read(uint16_t) {}

bool Station::read_wide(uint16_t, uint16_t, std::vector<uint8_t>&, uint8_t&) { return false; }

void Station::tick(int64_t) {}

std::optional<uint8_t> Station::take_pending_address() {
  std::lock_guard guard(lock());
  auto pending = pending_address_;
  pending_address_.reset();
  return pending;
}

}  // namespace velmo::sim
