// velmo-drive-sim: a line of simulated drives on a pty, published in the
// virtual-port folder so the program lists it among its ports.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "sim/sim_line.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void on_signal(int) { g_stop = 1; }

struct StationSpec {
  std::string type;
  int address = 0;
  std::optional<int> version;
  std::optional<int> menu;  // servo: TYPE:ADDR:VERSION:MENU
};

void usage(const char* argv0) {
  std::fprintf(stderr,
               "usage: %s [--name NAME] [--station TYPE:ADDR[:VERSION[:MENU]]]... [--reply-delay MS]\n"
               "  TYPE is servo, inverter or speed (speed controller).\n"
               "  An inverter's VERSION sets its model type: 2000-2199 type 2, 2200-2899 type 3,\n"
               "  2900-3999 type 4, 4000-4999 type 0, 5000-6000 type 1; or name it: type0..type4.\n"
               "  Without --station the line holds servo 1 (6101/101), servo 2 (8005/102),\n"
               "  inverter 3 (4015) and speed controller 4 (1015).\n",
               argv0);
}

std::optional<int> parse_int(const std::string& text, int lo, int hi) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < lo || v > hi) return std::nullopt;
  return static_cast<int>(v);
}

std::optional<StationSpec> parse_station(const std::string& arg) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t colon = arg.find(':', start);
    parts.push_back(arg.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (parts.size() < 2 || parts.size() > 4) return std::nullopt;
  StationSpec spec;
  spec.type = parts[0];
  if (spec.type != "servo" && spec.type != "inverter" && spec.type != "speed") return std::nullopt;
  const auto address = parse_int(parts[1], 1, 247);
  if (!address) return std::nullopt;
  spec.address = *address;
  // An inverter's model type may be named instead of a version word.
  static const std::pair<const char*, int> kModelTypes[] = {
      {"type0", 4500}, {"type1", 5015}, {"type2", 2150}, {"type3", 2315}, {"type4", 2915}};
  if (parts.size() == 3 && spec.type == "inverter")
    for (const auto& [name, version] : kModelTypes)
      if (parts[2] == name) parts[2] = std::to_string(version);
  if (parts.size() >= 3) {
    spec.version = parse_int(parts[2], 0, 65535);
    if (!spec.version) return std::nullopt;
  }
  if (parts.size() == 4) {
    if (spec.type != "servo") return std::nullopt;
    spec.menu = parse_int(parts[3], 0, 65535);
    if (!spec.menu) return std::nullopt;
  }
  return spec;
}

std::unique_ptr<velmo::sim::Station> make(const StationSpec& s) {
  const auto a = static_cast<uint8_t>(s.address);
  if (s.type == "servo") {
    const auto version = static_cast<uint16_t>(s.version.value_or(6101));
    return velmo::sim::make_servo(a, version, static_cast<uint16_t>(s.menu.value_or(101)));
  }
  if (s.type == "inverter") return velmo::sim::make_inverter(a, static_cast<uint16_t>(s.version.value_or(4015)));
  return velmo::sim::make_speed_controller(a, static_cast<uint16_t>(s.version.value_or(1015)));
}

}  // namespace

int main(int argc, char** argv) {
  std::string name = "velmo-sim";
  std::vector<StationSpec> specs;
  int reply_delay = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--name" && has_value) {
      name = argv[++i];
    } else if (arg == "--station" && has_value) {
      auto spec = parse_station(argv[++i]);
      if (!spec) {
        std::fprintf(stderr, "bad --station value: %s\n", argv[i]);
        usage(argv[0]);
        return 2;
      }
      specs.push_back(*spec);
    } else if (arg == "--reply-delay" && has_value) {
      const auto ms = parse_int(argv[++i], 0, 60000);
      if (!ms) {
        std::fprintf(stderr, "bad --reply-delay value: %s\n", argv[i]);
        return 2;
      }
      reply_delay = *ms;
    } else if (arg == "--help" || arg == "-h") {
      usage(argv[0]);
      return 0;
    } else {
      std::fprintf(stderr, "unknown or incomplete option: %s\n", arg.c_str());
      usage(argv[0]);
      return 2;
    }
  }
  if (specs.empty()) {
    specs = {{"servo", 1, 6101, 101}, {"servo", 2, 8005, 102}, {"inverter", 3, 4015, {}}, {"speed", 4, 1015, {}}};
  }
  for (size_t i = 0; i < specs.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (specs[i].address == specs[j].address) {
        std::fprintf(stderr, "station address %d given twice\n", specs[i].address);
        return 2;
      }
    }
  }

  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
  try {
    velmo::sim::SimLine line;
    for (const auto& spec : specs) line.add(make(spec));
    line.set_reply_delay_ms(reply_delay);
    const std::string link = line.publish(name);
    std::printf("%s\n", line.port_path().c_str());
    if (link.empty()) std::fprintf(stderr, "could not publish the line as %s\n", name.c_str());
    else std::printf("%s\n", link.c_str());
    std::fflush(stdout);
    while (!g_stop) pause();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "velmo-drive-sim: %s\n", e.what());
    return 1;
  }
  return 0;
}
