#include "tuning/drive_snapshot.h"

#include <algorithm>
#include <array>

#include "tuning/search_tables.h"

namespace velmo::tuning {

namespace {
// Indexed by Held.
constexpr std::array<const char*, 15> kHeldNames = {
    "惯量比",     "刚性等级",   "第一组位置环增益", "第一组速度环增益", "第一组积分时间",
    "第二组位置环增益", "第二组速度环增益", "第二组积分时间", "陷波频率", "陷波宽度",
    "陷波深度",   "振动抑制频率", "振动抑制深度",   "极限转速限制值", "极限转矩限制值",
};

// Indexed by Held; name nullptr: no field shows it.
constexpr std::array<HeldField, 15> kHeldFields = {{
    {"Edit20", true}, {"Edit39", false}, {"Edit40", true}, {"Edit41", true}, {"Edit42", true},
    {nullptr, false}, {nullptr, false}, {nullptr, false}, {"Edit9", false}, {"Edit3", false},
    {nullptr, false}, {"Edit27", true}, {"Edit26", true}, {nullptr, false}, {nullptr, false},
}};
static_assert(kHeldFields.size() == kHeldNames.size());

// Registers this far apart are still read in one request.
constexpr uint16_t kMaxGap = 8;
}  // namespace

const char* held_name(Held what) { return kHeldNames[static_cast<size_t>(what)]; }

std::optional<HeldField> held_field(Held what) {
  const HeldField& f = kHeldFields[static_cast<size_t>(what)];
  return f.name ? std::optional(f) : std::nullopt;
}

std::vector<HeldRegister> held_registers(const TuningLayout& g, const FilterLayout& filters, int notch_group,
                                         int suppressor_group) {
  const FilterRegisters n = filter_registers(filters.notch, notch_group);
  const FilterRegisters s = filter_registers(filters.suppressor, suppressor_group);
  // In the order of Held; -1: the layout has no such register.
  const int32_t regs[] = {g.inertia_ratio,         g.rigidity,  g.kp,        g.kv,
                          g.ti,                    g.kp + kSet2Offset, g.kv + kSet2Offset, g.ti + kSet2Offset,
                          n.frequency,             n.width,     n.depth,     s.frequency,
                          s.depth,                 kSelfLearnLimits[0][0], kSelfLearnLimits[1][0]};
  static_assert(std::size(regs) == kHeldNames.size());
  std::vector<HeldRegister> out;
  for (size_t k = 0; k < std::size(regs); ++k)
    if (regs[k] >= 0) out.push_back({static_cast<Held>(k), static_cast<uint16_t>(regs[k])});
  return out;
}

DriveSnapshot::DriveSnapshot(const std::vector<HeldRegister>& registers) {
  for (const HeldRegister& r : registers) entries_.push_back({r, std::nullopt, std::nullopt, std::nullopt});
}

std::vector<ReadBlock> DriveSnapshot::blocks() const {
  std::vector<uint16_t> regs;
  for (const Entry& e : entries_) regs.push_back(e.r.reg);
  std::sort(regs.begin(), regs.end());
  std::vector<ReadBlock> out;
  for (uint16_t reg : regs) {
    if (!out.empty() && reg < out.back().first + out.back().count + kMaxGap) {
      out.back().count = static_cast<uint16_t>(std::max<int>(out.back().count, reg - out.back().first + 1));
    } else {
      out.push_back({reg, 1});
    }
  }
  return out;
}

DriveSnapshot::Entry* DriveSnapshot::find(uint16_t reg) {
  for (Entry& e : entries_)
    if (e.r.reg == reg) return &e;
  return nullptr;
}

const DriveSnapshot::Entry* DriveSnapshot::find(Held what) const {
  for (const Entry& e : entries_)
    if (e.r.what == what) return &e;
  return nullptr;
}

void DriveSnapshot::read(uint16_t reg, uint16_t value) {
  if (Entry* e = find(reg)) e->start = e->now = value;
}

bool DriveSnapshot::complete() const {
  return std::all_of(entries_.begin(), entries_.end(), [](const Entry& e) { return e.start.has_value(); });
}

void DriveSnapshot::wrote(uint16_t reg, int32_t value, bool accepted) {
  Entry* e = find(reg);
  if (!e) return;
  e->written = true;
  e->sent = value;
  e->now = accepted ? std::optional(value) : std::nullopt;
}

bool DriveSnapshot::any_written() const {
  return std::any_of(entries_.begin(), entries_.end(), [](const Entry& e) { return e.written; });
}

std::vector<DriveSnapshot::PutBack> DriveSnapshot::put_back() const {
  std::vector<PutBack> out;
  for (const Entry& e : entries_)
    // A write of the value it had needs no taking back.
    if (e.written && e.start && e.now != e.start) out.push_back({e.r.what, e.r.reg, *e.start});
  std::sort(out.begin(), out.end(), [](const PutBack& a, const PutBack& b) { return a.reg < b.reg; });
  return out;
}

void DriveSnapshot::put_back_result(uint16_t reg, bool accepted) {
  Entry* e = find(reg);
  if (!e) return;
  e->now = accepted ? e->start : std::nullopt;
  if (accepted) e->written = false;
}

std::optional<int32_t> DriveSnapshot::now(Held what) const {
  const Entry* e = find(what);
  return e ? e->now : std::nullopt;
}

std::optional<int32_t> DriveSnapshot::at_start(Held what) const {
  const Entry* e = find(what);
  return e ? e->start : std::nullopt;
}

std::optional<int32_t> DriveSnapshot::last_written(Held what) const {
  const Entry* e = find(what);
  return e ? e->sent : std::nullopt;
}

std::vector<HeldRegister> DriveSnapshot::registers() const {
  std::vector<HeldRegister> out;
  for (const Entry& e : entries_) out.push_back(e.r);
  return out;
}

}  // namespace velmo::tuning
