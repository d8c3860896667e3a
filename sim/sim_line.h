#pragma once
#include <atomic>
#include <cstdio>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/poll_sleeper.h"
#include "link/virtual_clock.h"
#include "sim/station.h"
#include "sim/stations.h"

namespace velmo::sim {

class LineName;
class PtyPair;

struct JournalEntry {
  int64_t t_ns;  // the shared clock (link/clock.h)
  bool is_request;
  std::vector<uint8_t> bytes;
};

// A misbehaviour of one station, applied to the requests it matches.
struct Fault {
  enum Kind { Silent, Late, BadCrc, WrongAddress, Exception, Split, Short };
  Kind kind = Silent;
  int delay_ms = 0;            // Late, Exception: reply after this; Split: gap between the parts
  uint8_t exception_code = 4;  // Exception
  int split_at = 3;            // Split: bytes in the first part
  int short_by = 2;            // Short: bytes cut from the end
  int times = 1;               // matching requests it applies to; -1 = until cleared
  std::optional<uint16_t> reg;  // only requests whose register range covers this register
  std::optional<uint8_t> function;
};

// A line of stations on one pty, served from its own thread. Requests are
// framed by their length (and by silence for anything unknown), checked for
// their CRC (a bad one is ignored, as a real slave does) and routed by
// address; unknown addresses stay silent.
class SimLine {
 public:
  SimLine();  // throws std::runtime_error when no pty can be had
  ~SimLine();
  SimLine(const SimLine&) = delete;
  SimLine& operator=(const SimLine&) = delete;

  std::string port_path() const;
  Station& add(std::unique_ptr<Station> station);  // the station then uses the line's lock
  Station* station(uint8_t address);  // by its current address
  // Silent drops the request unanswered and unexecuted; Exception answers
  // without executing; the other kinds execute and then spoil the reply.
  void inject(uint8_t address, Fault fault);
  void clear_faults();

  // Every frame received (as framed, damaged ones too) and every reply part
  // written, in order. clear_journal also resets request_count.
  std::vector<JournalEntry> journal() const;
  void clear_journal();
  size_t request_count() const;  // frames received (any CRC, any address)
  // Requests in the journal, optionally only those of one station.
  std::vector<std::vector<uint8_t>> requests(std::optional<uint8_t> address = std::nullopt) const;

  void set_reply_delay_ms(int ms);  // every reply is sent this late
  bool replies_pending() const;     // a reply (or part of one) is still to be sent
  // Holds every reply back by the wire time of request and reply at this bit
  // rate (11 bits a character) plus the turnaround, as a real line would;
  // 0 turns pacing off.
  void set_pace(int bits_per_second, int turnaround_us = 1000);
  // Also writes every request and reply, time-stamped, to this file as it
  // happens (hex bytes, one frame a line). False when it cannot be opened.
  bool journal_to(const std::string& path);
  void hang_up();                   // closes the master: the program's reader sees a hang-up
  // Links the pty as NAME in the virtual-port folder for the line's life and
  // returns the link; empty when it cannot. A name a running line holds is
  // refused, and in_use_by then says which line ("pid PID, PTY").
  std::string publish(const std::string& name, std::string* in_use_by = nullptr);

  std::recursive_mutex& lock() { return mutex_; }

 private:
  struct Outgoing {
    int64_t due_ns;
    std::vector<uint8_t> bytes;
    // A split reply's tail follows the head by tail_gap_ns after the head
    // actually went out, not after the head was due.
    int64_t tail_gap_ns = 0;
    std::vector<uint8_t> tail;
  };
  void queue_part(Outgoing part);
  struct InjectedFault {
    uint8_t address;
    Fault fault;
  };

  void run();
  void stop_thread();
  void take_bytes(int64_t now);
  void frame_input(int64_t now);
  void handle_arrivals(int64_t now);
  void handle_frame(const uint8_t* frame, size_t length, int64_t now);  // journals, then serves
  void serve_frame(const uint8_t* frame, size_t length, int64_t now);
  std::optional<Fault> match_fault(uint8_t address, const uint8_t* frame, size_t length);
  void queue_reply(std::vector<uint8_t> reply, const std::optional<Fault>& fault, int64_t now);
  void send_due(int64_t now);
  int64_t wire_ns(size_t bytes) const;
  void tick_stations(int64_t now);
  int64_t next_deadline_ns() const;

  std::unique_ptr<PtyPair> pty_;
  mutable std::recursive_mutex mutex_;
  std::vector<std::unique_ptr<Station>> stations_;
  std::vector<InjectedFault> faults_;
  std::vector<JournalEntry> journal_;
  size_t request_count_ = 0;
  int reply_delay_ms_ = 0;
  int pace_bps_ = 0;
  int turnaround_us_ = 1000;
  std::FILE* journal_file_ = nullptr;
  int64_t journal_origin_ns_ = 0;
  void journal_add(bool is_request, std::vector<uint8_t> bytes, int64_t t_ns);
  std::vector<uint8_t> input_;
  int64_t last_input_ns_ = 0;
  // Paced: a framed request reaches the stations after its wire time.
  struct Arriving {
    int64_t due_ns;
    std::vector<uint8_t> frame;
  };
  std::vector<Arriving> arriving_;
  std::vector<Outgoing> outgoing_;
  int64_t last_tick_ns_ = 0;
  std::vector<std::unique_ptr<LineName>> published_;
  std::atomic<bool> stop_{false};
  // On a virtual clock the line is a participant of the timeline and counts
  // the bytes it reads and writes.
  PollSleeper sleeper_{VirtualClock::kLine};
  std::shared_ptr<LineTraffic> traffic_;
  std::thread thread_;
};

int64_t now_ns();

}  // namespace velmo::sim
