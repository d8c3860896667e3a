#pragma once
// Small helpers shared by the tests on a simulated line: the requests a line
// received as frames, memo lines, and injected faults.
#include <QFile>
#include <QPlainTextEdit>
#include <QStringList>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <vector>

#include "common/log_view.h"
#include "link/modbus_frame.h"
#include "sim/sim_line.h"

// Failures show texts as they read, not as UTF-16 units.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* os) {
  *os << '{';
  for (const QString& s : list) *os << " \"" << s.toStdString() << '"';
  *os << " }";
}

namespace velmo::testing {

// One request as the drive saw it: reads carry their count, single writes
// their value, block writes their values.
struct Frame {
  int station;
  int function;
  int start;
  std::vector<int> values;
  bool operator==(const Frame&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Frame& f) {
  os << "{" << f.station << ", fc" << f.function << ", 0x" << std::hex << f.start << std::dec << ",";
  for (int v : f.values) os << " " << v;
  return os << "}";
}
inline Frame write(int station, int reg, int value) { return {station, 6, reg, {value}}; }
inline Frame read(int station, int reg, int count) { return {station, 3, reg, {count}}; }

inline Frame decode(const std::vector<uint8_t>& r) {
  Frame f{r[0], r[1], word_at(&r[2]), {}};
  if (f.function == 16)
    for (int k = 0; k < word_at(&r[4]) && 8 + 2 * k < static_cast<int>(r.size()); ++k)
      f.values.push_back(word_at(&r[7 + 2 * k]));
  else
    f.values.push_back(word_at(&r[4]));
  return f;
}

// Requests of the line (of one station when given), of the given functions
// (all when none are given).
inline std::vector<Frame> frames_of(const sim::SimLine& line, std::optional<uint8_t> station = std::nullopt,
                                    std::vector<int> functions = {}) {
  std::vector<Frame> out;
  for (const auto& r : line.requests(station)) {
    if (r.size() < 6) continue;
    const Frame f = decode(r);
    if (functions.empty() || std::find(functions.begin(), functions.end(), f.function) != functions.end())
      out.push_back(f);
  }
  return out;
}
inline std::vector<Frame> writes_of(const sim::SimLine& line, std::optional<uint8_t> station = std::nullopt) {
  return frames_of(line, station, {6, 16});
}
inline std::vector<Frame> reads_of(const sim::SimLine& line, std::optional<uint8_t> station = std::nullopt) {
  return frames_of(line, station, {3});
}

// The lines of a memo; none when it is empty.
inline QStringList memo_lines(QWidget* form, const char* memo) {
  const QString text = shown_text(form->findChild<QPlainTextEdit*>(QString::fromLatin1(memo)));
  return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

// Every request was answered (or given up) before the next one went out.
inline bool one_request_at_a_time(const sim::SimLine& line) {
  bool waiting = false;
  for (const sim::JournalEntry& e : line.journal()) {
    if (e.is_request && waiting) return false;
    waiting = e.is_request;
  }
  return true;
}

// A file's text, or "<missing>".
inline QString file_text(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<missing>");
}

inline sim::Fault fault(sim::Fault::Kind kind, std::optional<uint16_t> reg = std::nullopt, int times = 1,
                        std::optional<uint8_t> function = std::nullopt) {
  sim::Fault f;
  f.kind = kind;
  f.reg = reg;
  f.times = times;
  f.function = function;
  return f;
}

// A drive's settings as the simulator holds them (read beside the program).
inline std::map<int, int> settings(sim::Station& s) {
  std::map<int, int> regs;
  for (int r = 0; r < 0xB0; ++r)
    if (s.has_reg(static_cast<uint16_t>(r))) regs[r] = s.reg(static_cast<uint16_t>(r));
  return regs;
}

}  // namespace velmo::testing
