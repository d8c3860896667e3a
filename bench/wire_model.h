#pragma once
// The time a sequence needs on a real line, from the simulator's journal:
// every byte at 11 bits a character, a turnaround per answered exchange and
// the waits the program asks for. What the simulator itself sent later than
// the line would have is counted apart, so that a ratio measures the program.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "sim/sim_line.h"

namespace velmo::bench {

constexpr int kLineBitsPerSecond = 38400;
constexpr int kTurnaroundUs = 1000;

struct WireAccount {
  double wire_s = 0;        // the bytes of every request and reply
  double turnaround_s = 0;  // the drives' turnarounds
  double asked_s = 0;       // the waits the program asked for
  double sim_late_s = 0;    // replies the simulator sent after they were due
  std::vector<double> gaps_s;  // from each reply to the next request: the program's turn
  int requests = 0;
  int answered = 0;

  double model_s() const { return wire_s + turnaround_s + asked_s; }
  // The program's time against the line's: the simulator's lateness taken out.
  double ratio(double wall_s) const { return (wall_s - sim_late_s) / model_s(); }
};

inline double wire_seconds(size_t bytes, int bits_per_second = kLineBitsPerSecond) {
  return static_cast<double>(bytes) * 11.0 / bits_per_second;
}

// asked_s: what the program waited on purpose (delay), and the reply
// timeouts of requests nobody answered.
inline WireAccount account(const std::vector<sim::JournalEntry>& journal, double asked_s,
                           int bits_per_second = kLineBitsPerSecond, int turnaround_us = kTurnaroundUs) {
  WireAccount a;
  a.asked_s = asked_s;
  const sim::JournalEntry* request = nullptr;
  const sim::JournalEntry* reply = nullptr;
  for (const sim::JournalEntry& e : journal) {
    a.wire_s += wire_seconds(e.bytes.size(), bits_per_second);
    if (e.is_request) {
      ++a.requests;
      if (reply) a.gaps_s.push_back((e.t_ns - reply->t_ns) / 1e9);
      request = &e;
      reply = nullptr;
      continue;
    }
    reply = &e;
    if (!request) continue;  // a later part of a reply already counted
    ++a.answered;
    a.turnaround_s += turnaround_us / 1e6;
    // The simulator stamps a request when it has read it; its reply is due
    // after the request's wire time, the turnaround and the reply's own.
    const double due_s = request->t_ns / 1e9 + wire_seconds(request->bytes.size(), bits_per_second) +
                         turnaround_us / 1e6 + wire_seconds(e.bytes.size(), bits_per_second);
    a.sim_late_s += std::max(0.0, e.t_ns / 1e9 - due_s);
    request = nullptr;
  }
  return a;
}

inline double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

}  // namespace velmo::bench
