#include "sim/sim_line.h"

#include <QFile>

#include <poll.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "link/clock.h"
#include "link/modbus_crc.h"
#include "link/modbus_frame.h"
#include "link/port_enumerator.h"
#include "sim/line_name.h"
#include "sim/modbus_slave.h"
#include "sim/pty_pair.h"

namespace velmo::sim {
namespace {

constexpr int64_t kMs = 1000000;
constexpr int64_t kSilenceNs = 20 * kMs;  // ends a frame whose length cannot be told
constexpr int64_t kTickNs = 10 * kMs;     // motion model step
constexpr int kIdlePollMs = 5;

}  // namespace

int64_t now_ns() { return velmo::clock().now_ns(); }

SimLine::SimLine() : pty_(std::make_unique<PtyPair>()) {
  if (VirtualClock* timeline = virtual_clock()) {
    traffic_ = timeline->traffic(pty_->slave_path());
    traffic_->drop_requests();
    traffic_->line_open.store(true);
  }
  thread_ = std::thread([this] {
    // Named, so that a measurement of the program can leave the line out.
    pthread_setname_np(pthread_self(), "velmo-sim");
    run();
  });
}

SimLine::~SimLine() {
  stop_thread();
  if (traffic_) traffic_->line_open.store(false);
  if (journal_file_) std::fclose(journal_file_);
  published_.clear();
}

void SimLine::stop_thread() {
  stop_ = true;
  sleeper_.poke();
  if (thread_.joinable()) thread_.join();
}

std::string SimLine::port_path() const { return pty_->slave_path(); }

Station& SimLine::add(std::unique_ptr<Station> station) {
  std::lock_guard guard(mutex_);
  station->attach_lock(&mutex_);
  stations_.push_back(std::move(station));
  return *stations_.back();
}

Station* SimLine::station(uint8_t address) {
  std::lock_guard guard(mutex_);
  for (auto& s : stations_) {
    if (s->address() == address) return s.get();
  }
  return nullptr;
}

void SimLine::inject(uint8_t address, Fault fault) {
  std::lock_guard guard(mutex_);
  if (fault.times != 0) faults_.push_back({address, fault});
}

void SimLine::clear_faults() {
  std::lock_guard guard(mutex_);
  faults_.clear();
}

std::vector<JournalEntry> SimLine::journal() const {
  std::lock_guard guard(mutex_);
  return journal_;
}

void SimLine::clear_journal() {
  std::lock_guard guard(mutex_);
  journal_.clear();
  request_count_ = 0;
}

size_t SimLine::request_count() const {
  std::lock_guard guard(mutex_);
  return request_count_;
}

std::vector<std::vector<uint8_t>> SimLine::requests(std::optional<uint8_t> address) const {
  std::lock_guard guard(mutex_);
  std::vector<std::vector<uint8_t>> out;
  for (const auto& e : journal_) {
    if (e.is_request && !e.bytes.empty() && (!address || e.bytes[0] == *address)) out.push_back(e.bytes);
  }
  return out;
}

void SimLine::set_reply_delay_ms(int ms) {
  std::lock_guard guard(mutex_);
  reply_delay_ms_ = std::max(0, ms);
}

bool SimLine::replies_pending() const {
  std::lock_guard guard(mutex_);
  return !outgoing_.empty();
}

void SimLine::set_pace(int bits_per_second, int turnaround_us) {
  std::lock_guard guard(mutex_);
  pace_bps_ = std::max(0, bits_per_second);
  turnaround_us_ = std::max(0, turnaround_us);
}

bool SimLine::journal_to(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (!f) return false;
  std::lock_guard guard(mutex_);
  if (journal_file_) std::fclose(journal_file_);
  journal_file_ = f;
  journal_origin_ns_ = now_ns();
  // The start on the steady clock lets another process set the entries beside its own times.
  std::fprintf(f, "# ms since start (%lld ns on the steady clock), RX request heard / TX reply sent, bytes in hex\n",
               static_cast<long long>(journal_origin_ns_));
  std::fflush(f);
  return true;
}

void SimLine::journal_add(bool is_request, std::vector<uint8_t> bytes, int64_t t_ns) {
  if (journal_file_) {
    std::fprintf(journal_file_, "%12.3f %s %s\n", static_cast<double>(t_ns - journal_origin_ns_) / 1e6,
                 is_request ? "RX" : "TX", hex_line(bytes.data(), bytes.size()).c_str());
    std::fflush(journal_file_);
  }
  journal_.push_back({t_ns, is_request, std::move(bytes)});
}

void SimLine::hang_up() {
  stop_thread();
  if (traffic_) {
    traffic_->line_open.store(false);
    // Time waits until the program's reader has seen the close.
    if (traffic_->program_open.load()) traffic_->hangup_unseen.store(true);
  }
  pty_->close_master();
}

std::string SimLine::publish(const std::string& name, std::string* in_use_by) {
  // The folder the program lists its ports from.
  const std::string folder = QFile::encodeName(ensure_virtual_port_dir()).toStdString();
  auto claim = std::make_unique<LineName>(folder, name, port_path());
  if (claim->outcome() == LineName::Outcome::InUse && in_use_by) {
    *in_use_by = claim->holder().empty() ? std::string("another line") : claim->holder();
  }
  if (claim->outcome() != LineName::Outcome::Published) return {};
  const std::string link = claim->link();
  std::lock_guard guard(mutex_);
  published_.push_back(std::move(claim));
  return link;
}

void SimLine::run() {
  while (!stop_) {
    int64_t deadline;
    {
      std::lock_guard guard(mutex_);
      deadline = next_deadline_ns();
    }
    int64_t timeout_ns = sleeper_.before_poll(deadline);
    // On real time an idle line still looks round every few milliseconds.
    if (!sleeper_.on_timeline() && (timeout_ns < 0 || timeout_ns > kIdlePollMs * kMs)) timeout_ns = kIdlePollMs * kMs;
    // To the nanosecond: a paced reply is due in the middle of a millisecond.
    pollfd p[2] = {{pty_->master_fd(), POLLIN, 0}, {sleeper_.fd(), POLLIN, 0}};
    const timespec timeout{static_cast<time_t>(timeout_ns / 1000000000), static_cast<long>(timeout_ns % 1000000000)};
    const int rc = ::ppoll(p, 2, timeout_ns < 0 ? nullptr : &timeout, nullptr);
    sleeper_.after_poll();
    const int64_t now = now_ns();
    std::lock_guard guard(mutex_);
    if (rc > 0 && (p[0].revents & POLLIN)) take_bytes(now);
    else if (rc > 0 && p[0].revents != 0) usleep(1000);  // hang-up or error on the master: do not spin
    frame_input(now);
    handle_arrivals(now);
    if (now - last_tick_ns_ >= kTickNs) tick_stations(now);
    send_due(now_ns());
  }
  sleeper_.before_poll(VirtualClock::kNever);  // a stopped line never wakes again
}

int64_t SimLine::next_deadline_ns() const {
  int64_t at = last_tick_ns_ + kTickNs;
  if (!input_.empty()) at = std::min(at, last_input_ns_ + kSilenceNs);
  if (!arriving_.empty()) at = std::min(at, arriving_.front().due_ns);
  if (!outgoing_.empty()) at = std::min(at, outgoing_.front().due_ns);
  return at;
}

void SimLine::take_bytes(int64_t now) {
  uint8_t chunk[4096];
  for (;;) {
    const ssize_t n = ::read(pty_->master_fd(), chunk, sizeof chunk);
    if (n <= 0) break;
    if (traffic_) traffic_->requests_read.fetch_add(n);
    input_.insert(input_.end(), chunk, chunk + n);
    last_input_ns_ = now;
  }
}

void SimLine::frame_input(int64_t now) {
  while (!input_.empty()) {
    const size_t need = expected_request_length(input_.data(), input_.size());
    if (need > 0 && input_.size() >= need) {
      std::vector<uint8_t> frame(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(need));
      input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(need));
      if (pace_bps_ > 0) {
        // Heard from its first byte at now, it has fully arrived only after its wire time.
        journal_add(true, frame, now);
        ++request_count_;
        arriving_.push_back({now + wire_ns(frame.size()), std::move(frame)});
      } else {
        handle_frame(frame.data(), frame.size(), now);
      }
      continue;
    }
    // Incomplete, or a function whose length we cannot tell: line silence ends it.
    if (now - last_input_ns_ < kSilenceNs) break;
    std::vector<uint8_t> frame;
    frame.swap(input_);
    handle_frame(frame.data(), frame.size(), now);
    break;
  }
}

void SimLine::handle_arrivals(int64_t now) {
  while (!arriving_.empty() && arriving_.front().due_ns <= now) {
    Arriving a = std::move(arriving_.front());
    arriving_.erase(arriving_.begin());
    // The stations are stepped to the instant the request arrived, not to when it was looked at.
    serve_frame(a.frame.data(), a.frame.size(), a.due_ns);
  }
}

void SimLine::handle_frame(const uint8_t* frame, size_t length, int64_t now) {
  journal_add(true, std::vector<uint8_t>(frame, frame + length), now);
  ++request_count_;
  serve_frame(frame, length, now);
}

void SimLine::serve_frame(const uint8_t* frame, size_t length, int64_t now) {
  if (length < 4 || !frame_crc_ok(frame, length)) return;  // a slave ignores a damaged frame
  const uint8_t address = frame[0];
  if (address == 0) {
    for (auto& s : stations_) {
      apply_broadcast(*s, frame, length);
      if (auto moved = s->take_pending_address()) s->set_address(*moved);
    }
    return;
  }
  Station* target = nullptr;
  for (auto& s : stations_) {
    if (s->address() == address) {
      target = s.get();
      break;
    }
  }
  if (!target || !target->listening()) return;
  const std::optional<Fault> fault = match_fault(address, frame, length);
  if (fault && fault->kind == Fault::Silent) return;  // the request is lost: nothing happens
  std::vector<uint8_t> reply;
  if (fault && fault->kind == Fault::Exception) {
    reply = exception_reply(address, frame[1], fault->exception_code);
  } else {
    target->tick(now);
    reply = answer_request(*target, frame, length);
    if (auto moved = target->take_pending_address()) target->set_address(*moved);
  }
  queue_reply(std::move(reply), fault, now);
}

std::optional<Fault> SimLine::match_fault(uint8_t address, const uint8_t* frame, size_t length) {
  const RequestSpan span = request_span(frame, length);
  for (auto it = faults_.begin(); it != faults_.end(); ++it) {
    const Fault& f = it->fault;
    if (it->address != address) continue;
    if (f.function && *f.function != frame[1]) continue;
    if (f.reg && !span.covers(*f.reg)) continue;
    Fault taken = f;
    if (it->fault.times > 0 && --it->fault.times == 0) faults_.erase(it);
    return taken;
  }
  return std::nullopt;
}

int64_t SimLine::wire_ns(size_t bytes) const {
  return pace_bps_ > 0 ? static_cast<int64_t>(bytes) * 11 * 1000000000 / pace_bps_ : 0;
}

void SimLine::queue_reply(std::vector<uint8_t> reply, const std::optional<Fault>& fault, int64_t now) {
  // Paced: now is the request's arrival; the turnaround and the reply's own time follow.
  int64_t due = now + reply_delay_ms_ * kMs + (pace_bps_ > 0 ? turnaround_us_ * 1000 + wire_ns(reply.size()) : 0);
  std::vector<Outgoing> parts;
  if (fault) {
    switch (fault->kind) {
      case Fault::Late:
      case Fault::Exception:
        due += fault->delay_ms * kMs;
        break;
      case Fault::BadCrc:
        if (reply.size() >= 2) reply.back() ^= 0xA5;
        break;
      case Fault::WrongAddress:
        if (reply.size() >= 3) {
          reply[0] = static_cast<uint8_t>(reply[0] % 247 + 1);
          append_crc(reply.data(), reply.size() - 2);
        }
        break;
      case Fault::Split: {
        const size_t first = std::min(reply.size(), static_cast<size_t>(std::max(0, fault->split_at)));
        std::vector<uint8_t> head(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(first));
        std::vector<uint8_t> tail(reply.begin() + static_cast<std::ptrdiff_t>(first), reply.end());
        if (head.empty()) parts.push_back({due + fault->delay_ms * kMs, std::move(tail), 0, {}});
        else parts.push_back({due, std::move(head), fault->delay_ms * kMs, std::move(tail)});
        break;
      }
      case Fault::Short:
        reply.resize(reply.size() - std::min(reply.size(), static_cast<size_t>(std::max(0, fault->short_by))));
        break;
      default:
        break;
    }
  }
  if (parts.empty()) parts.push_back({due, std::move(reply), 0, {}});
  for (auto& part : parts) queue_part(std::move(part));
}

void SimLine::queue_part(Outgoing part) {
  if (part.bytes.empty()) return;
  auto at = std::upper_bound(outgoing_.begin(), outgoing_.end(), part.due_ns,
                             [](int64_t t, const Outgoing& o) { return t < o.due_ns; });
  outgoing_.insert(at, std::move(part));
}

void SimLine::send_due(int64_t now) {
  while (!outgoing_.empty() && outgoing_.front().due_ns <= now) {
    Outgoing out = std::move(outgoing_.front());
    outgoing_.erase(outgoing_.begin());
    size_t done = 0;
    int stalls = 0;
    if (traffic_) traffic_->replies_written.fetch_add(static_cast<int64_t>(out.bytes.size()));
    while (done < out.bytes.size()) {
      const ssize_t n = ::write(pty_->master_fd(), out.bytes.data() + done, out.bytes.size() - done);
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EAGAIN && ++stalls < 100) {
        usleep(1000);
        continue;
      }
      break;  // nobody reads the line: the rest is lost, as on a real wire
    }
    if (traffic_) traffic_->replies_written.fetch_sub(static_cast<int64_t>(out.bytes.size() - done));
    const int64_t sent = now_ns();
    journal_add(false, std::move(out.bytes), sent);
    if (!out.tail.empty()) queue_part({sent + out.tail_gap_ns, std::move(out.tail), 0, {}});
  }
}

void SimLine::tick_stations(int64_t now) {
  last_tick_ns_ = now;
  for (auto& s : stations_) s->tick(now);
}

}  // namespace velmo::sim
