// velmo-drive-sim: a line of simulated drives on a pty, published in the
// virtual-port folder so the program lists it among its ports.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include "sim/mechanics_text.h"
#include "sim/servo_station.h"
#include "sim/sim_line.h"
#include "sim/speed_controller_station.h"

namespace {

constexpr int kNameInUse = 3;  // the exit status scripts look for to pick another name

struct StationArgs {
  std::string type;
  int address = 0;
  std::optional<int> version;
  std::optional<int> menu;  // servo: TYPE:ADDR:VERSION:MENU
};

void usage(const char* argv0) {
  std::fprintf(stderr,
               "usage: %s [--name NAME] [--station TYPE:ADDR[:VERSION[:MENU]]]... [--reply-delay MS]\n"
               "          [--pace] [--baud BPS] [--turnaround US] [--journal FILE]\n"
               "          [--motor ADDR:CODE]... [--mechanics ADDR:KEY=VALUE[,KEY=VALUE]...]...\n"
               "  The line is published as a link named NAME (default velmo-sim) in\n"
               "  /run/user/UID/velmo-ports (or /tmp/velmo-ports-UID), where Velmo lists it\n"
               "  by that name; the pty and the link are printed on start. A name a running\n"
               "  simulator holds is refused (exit status 3); a link left by one that died\n"
               "  is replaced.\n"
               "  TYPE is servo, inverter or speed (speed controller).\n"
               "  An inverter's VERSION sets its model type: 2000-2199 type 2, 2200-2899 type 3,\n"
               "  2900-3999 type 4, 4000-4999 type 0, 5000-6000 type 1; or name it: type0..type4.\n"
               "  Without --station the line holds servo 1 (6101/101), servo 2 (8005/102),\n"
               "  inverter 3 (4015) and speed controller 4 (1015).\n"
               "  --pace holds every reply back by the wire time of request and reply at BPS\n"
               "  (default 38400, 11 bits a character) plus the turnaround (default 1000 us).\n"
               "  --journal writes every request (RX) and reply (TX) with its time to FILE.\n"
               "  --motor sets a servo's motor code (register 181), e.g. 4005 or 6002.\n"
               "  --mechanics describes a servo's axis: load=RATIO friction=SHARE\n"
               "  resonance=HZ@KV (up to four, each ringing while the speed-loop gain\n"
               "  reaching it is above KV) end=HZ end-size=RAD end-damping=ZETA jitter=KV\n"
               "  seed=N script-resonance=RIGIDITY script-jitter=KV script-overshoot=KP\n"
               "  script-end=1 (gains in 0.1 Hz). The end mode deflects the machine by RAD\n"
               "  radians per 1000 rad/s^2 of the axis's acceleration (default 0.072), and no\n"
               "  further past 1000 rad/s^2, so that it pulls the inertia estimation's harder\n"
               "  runs less (but a suppressor leaves part of the ring of moves harder\n"
               "  than that). A swing wider than a quarter of its largest deflection is damped\n"
               "  out within a period; below it dry friction stops the widest ring 4 s after\n"
               "  the stop, so a fast stop rings a second later at any frequency from 6 to\n"
               "  30 Hz. ZETA adds viscous damping to the ring (0.0005-0.5; default none).\n",
               argv0);
}

std::optional<int> parse_int(const std::string& text, int lo, int hi) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < lo || v > hi) return std::nullopt;
  return static_cast<int>(v);
}

std::optional<StationArgs> parse_station(const std::string& arg) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t colon = arg.find(':', start);
    parts.push_back(arg.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() < 2 || parts.size() > 4) return std::nullopt;
  StationArgs setup;
  setup.type = parts[0];
  if (setup.type != "servo" && setup.type != "inverter" && setup.type != "speed") return std::nullopt;
  const auto address = parse_int(parts[1], 1, 247);
  if (!address) return std::nullopt;
  setup.address = *address;
  // An inverter's model type may be named instead of a version word.
  static const std::pair<const char*, int> kModelTypes[] = {
      {"type0", 4500}, {"type1", 5015}, {"type2", 2150}, {"type3", 2315}, {"type4", 2915}};
  if (parts.size() == 3 && setup.type == "inverter")
    for (const auto& [name, version] : kModelTypes)
      if (parts[2] == name) parts[2] = std::to_string(version);
  if (parts.size() >= 3) {
    setup.version = parse_int(parts[2], 0, 65535);
    if (!setup.version) return std::nullopt;
  }
  if (parts.size() == 4) {
    if (setup.type != "servo") return std::nullopt;
    setup.menu = parse_int(parts[3], 0, 65535);
    if (!setup.menu) return std::nullopt;
  }
  return setup;
}

std::unique_ptr<velmo::sim::Station> make(const StationArgs& s) {
  const auto a = static_cast<uint8_t>(s.address);
  if (s.type == "servo") {
    const auto version = static_cast<uint16_t>(s.version.value_or(6101));
    return velmo::sim::make_servo(a, version, static_cast<uint16_t>(s.menu.value_or(101)));
  }
  if (s.type == "inverter") return velmo::sim::make_inverter(a, static_cast<uint16_t>(s.version.value_or(4015)));
  auto speed = velmo::sim::make_speed_controller(a, static_cast<uint16_t>(s.version.value_or(1015)));
  // Like a real one, it shows a new run state a couple of status reads after the command.
  static_cast<velmo::sim::SpeedControllerStation&>(*speed).set_state_lag(2);
  return speed;
}

}  // namespace

int main(int argc, char** argv) {
  std::string name = "velmo-sim";
  std::vector<StationArgs> stations;
  int reply_delay = 0;
  bool pace = false;
  int baud = 38400, turnaround_us = 1000;
  std::string journal;
  std::vector<std::pair<int, int>> motors;
  std::vector<std::pair<int, velmo::sim::ServoMechanics>> axes;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--name" && has_value) {
      name = argv[++i];
    } else if (arg == "--station" && has_value) {
      auto setup = parse_station(argv[++i]);
      if (!setup) {
        std::fprintf(stderr, "bad --station value: %s\n", argv[i]);
        usage(argv[0]);
        return 2;
      }
      stations.push_back(*setup);
    } else if (arg == "--reply-delay" && has_value) {
      const auto ms = parse_int(argv[++i], 0, 60000);
      if (!ms) {
        std::fprintf(stderr, "bad --reply-delay value: %s\n", argv[i]);
        return 2;
      }
      reply_delay = *ms;
    } else if (arg == "--pace") {
      pace = true;
    } else if ((arg == "--baud" || arg == "--turnaround") && has_value) {
      const auto v = parse_int(argv[++i], arg == "--baud" ? 300 : 0, arg == "--baud" ? 4000000 : 1000000);
      if (!v) {
        std::fprintf(stderr, "bad %s value: %s\n", arg.c_str(), argv[i]);
        return 2;
      }
      (arg == "--baud" ? baud : turnaround_us) = *v;
    } else if (arg == "--journal" && has_value) {
      journal = argv[++i];
    } else if ((arg == "--motor" || arg == "--mechanics") && has_value) {
      const std::string value = argv[++i];
      const size_t colon = value.find(':');
      const auto address = parse_int(value.substr(0, colon), 1, 247);
      const std::string rest = colon == std::string::npos ? std::string() : value.substr(colon + 1);
      const auto code = arg == "--motor" ? parse_int(rest, 0, 65535) : std::optional<int>(0);
      const auto mechanics = arg == "--mechanics" ? velmo::sim::parse_mechanics(rest) : velmo::sim::ServoMechanics{};
      if (!address || !code || !mechanics) {
        std::fprintf(stderr, "bad %s value: %s\n", arg.c_str(), value.c_str());
        usage(argv[0]);
        return 2;
      }
      if (arg == "--motor") motors.emplace_back(*address, *code);
      else axes.emplace_back(*address, *mechanics);
    } else if (arg == "--help" || arg == "-h") {
      usage(argv[0]);
      return 0;
    } else {
      std::fprintf(stderr, "unknown or incomplete option: %s\n", arg.c_str());
      usage(argv[0]);
      return 2;
    }
  }
  if (stations.empty()) {
    stations = {{"servo", 1, 6101, 101}, {"servo", 2, 8005, 102}, {"inverter", 3, 4015, {}}, {"speed", 4, 1015, {}}};
  }
  for (size_t i = 0; i < stations.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (stations[i].address == stations[j].address) {
        std::fprintf(stderr, "station address %d given twice\n", stations[i].address);
        return 2;
      }
    }
  }

  // INT and TERM are blocked before the line's thread starts, so that thread
  // inherits the mask and only this thread takes them, in sigwait: a handler
  // run on the line's thread would leave this one asleep for ever.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  try {
    velmo::sim::SimLine line;
    for (const auto& setup : stations) line.add(make(setup));
    line.set_reply_delay_ms(reply_delay);
    if (pace) line.set_pace(baud, turnaround_us);
    if (!journal.empty() && !line.journal_to(journal)) {
      std::fprintf(stderr, "velmo-drive-sim: cannot write the journal %s\n", journal.c_str());
      return 2;
    }
    for (const auto& [address, code] : motors) {
      auto* servo = dynamic_cast<velmo::sim::ServoStation*>(line.station(static_cast<uint8_t>(address)));
      if (!servo) {
        std::fprintf(stderr, "velmo-drive-sim: no servo at %d for --motor\n", address);
        return 2;
      }
      servo->set_motor_code(static_cast<uint16_t>(code));
    }
    for (const auto& [address, mechanics] : axes) {
      auto* servo = dynamic_cast<velmo::sim::ServoStation*>(line.station(static_cast<uint8_t>(address)));
      if (!servo) {
        std::fprintf(stderr, "velmo-drive-sim: no servo at %d for --mechanics\n", address);
        return 2;
      }
      servo->set_mechanics(mechanics);
    }
    std::string in_use_by;
    const std::string link = line.publish(name, &in_use_by);
    if (!in_use_by.empty()) {
      // Taking the name over would leave the running line's users on a link
      // that no longer leads to it.
      std::fprintf(stderr,
                   "velmo-drive-sim: the name %s is in use by a running simulator (%s); "
                   "give another with --name\n",
                   name.c_str(), in_use_by.c_str());
      return kNameInUse;
    }
    std::printf("%s\n", line.port_path().c_str());
    if (link.empty()) std::fprintf(stderr, "could not publish the line as %s\n", name.c_str());
    else std::printf("%s\n", link.c_str());
    std::fflush(stdout);
    int taken = 0;
    sigwait(&stop_signals, &taken);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velmo-drive-sim: %s\n", e.what());
    return 1;
  }
  return 0;
}
