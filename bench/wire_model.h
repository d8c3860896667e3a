#pragma once
// The time a sequence needs on a real line, from the simulator's journal:
// every byte at 11 bits a character, a turnaround per answered exchange and
// the waits the program asks for. What the simulator itself was late by is
// counted apart, so that a ratio measures the program: replies it sent after
// they were due, and requests it read after the program had sent them.
#include <QObject>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/log_view.h"
#include "link/clock.h"
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
  double sim_read_late_s = 0;  // requests it read later than the program had sent them
  bool request_times_known = false;
  int requests = 0;
  int answered = 0;

  double model_s() const { return wire_s + turnaround_s + asked_s; }
  double late_s() const { return sim_late_s + sim_read_late_s; }
  // The program's time against the line's: the simulator's lateness taken out.
  double ratio(double wall_s) const { return (wall_s - late_s()) / model_s(); }
};

inline double wire_seconds(size_t bytes, int bits_per_second = kLineBitsPerSecond) {
  return static_cast<double>(bytes) * 11.0 / bits_per_second;
}

// When each request left the program, on the journal's clock: every traffic
// log of these windows takes a request's line ("01 03 00 AB 00 01 F5 EA **")
// as soon as the request is handed to the port.
class RequestTimes {
 public:
  explicit RequestTimes(const std::vector<QWidget*>& windows) {
    for (QWidget* w : windows)
      for (LogView* log : w->findChildren<LogView*>())
        QObject::connect(log, &LogView::line_added, &context_, [this](const QString& line) {
          if (is_request_line(line)) times_ns_.push_back(velmo::clock().now_ns());
        });
  }
  void clear() { times_ns_.clear(); }
  const std::vector<int64_t>& times_ns() const { return times_ns_; }

 private:
  static bool is_hex(QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); }
  static bool is_request_line(const QString& line) {
    return line.size() > 5 && line.endsWith(QLatin1String("**")) && is_hex(line[0]) && is_hex(line[1]) &&
           line[2] == u' ';
  }
  QObject context_;
  std::vector<int64_t> times_ns_;
};

// asked_s: what the program waited on purpose (delay), and the reply
// timeouts of requests nobody answered. sent_ns: when each request left the
// program (RequestTimes); used only when there is one for every request.
inline WireAccount account(const std::vector<sim::JournalEntry>& journal, double asked_s,
                           const std::vector<int64_t>& sent_ns = {}, int bits_per_second = kLineBitsPerSecond,
                           int turnaround_us = kTurnaroundUs) {
  WireAccount a;
  a.asked_s = asked_s;
  const bool send_times =
      static_cast<size_t>(std::count_if(journal.begin(), journal.end(), [](const auto& e) { return e.is_request; })) ==
      sent_ns.size();
  a.request_times_known = send_times && !sent_ns.empty();
  const sim::JournalEntry* request = nullptr;
  const sim::JournalEntry* reply = nullptr;
  for (const sim::JournalEntry& e : journal) {
    a.wire_s += wire_seconds(e.bytes.size(), bits_per_second);
    if (e.is_request) {
      if (a.request_times_known) a.sim_read_late_s += std::max<int64_t>(0, e.t_ns - sent_ns[a.requests]) / 1e9;
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

// The runs of one benchmark row against their wire model: each run's ratio
// and parts, reported as medians beside the model.
struct WireRuns {
  std::vector<double> ratios, reply_ratios, walls_ms, models_ms, late_ms, read_late_ms;
  bool request_times_known = false;

  void add(const WireAccount& a, double wall_s) {
    ratios.push_back(a.ratio(wall_s));
    reply_ratios.push_back((wall_s - a.sim_late_s) / a.model_s());
    walls_ms.push_back(wall_s * 1e3);
    models_ms.push_back(a.model_s() * 1e3);
    late_ms.push_back(a.late_s() * 1e3);
    read_late_ms.push_back(a.sim_read_late_s * 1e3);
    request_times_known = a.request_times_known;
  }
  template <typename Counters>
  void report(Counters& counters) const {
    counters["request_times_known"] = request_times_known;
    counters["wall_ms"] = median(walls_ms);
    counters["model_ms"] = median(models_ms);
    counters["sim_late_ms"] = median(late_ms);
    counters["sim_read_late_ms"] = median(read_late_ms);
    counters["ratio_median"] = median(ratios);
    // Only the late replies taken out (the simulator's reading of requests left in).
    counters["ratio_replies_only_median"] = median(reply_ratios);
  }
};

}  // namespace velmo::bench
