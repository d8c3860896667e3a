#include "sim/mechanics_text.h"

#include <cstdlib>
#include <sstream>

namespace velmo::sim {
namespace {

bool number(const std::string& text, double lo, double hi, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return *end == '\0' && out >= lo && out <= hi;
}

bool integer(const std::string& text, int lo, int hi, int& out) {
  double v = 0;
  if (!number(text, lo, hi, v) || v != static_cast<int>(v)) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

std::optional<ServoMechanics> parse_mechanics(const std::string& setup) {
  ServoMechanics m;
  std::stringstream in(setup);
  std::string item;
  while (std::getline(in, item, ',')) {
    const size_t eq = item.find('=');
    if (eq == std::string::npos) return std::nullopt;
    const std::string key = item.substr(0, eq), value = item.substr(eq + 1);
    int seed = 0, flag = 0;
    bool ok = false;
    if (key == "load") {
      ok = number(value, 1, 100, m.load_ratio);
    } else if (key == "friction") {
      ok = number(value, 0, 1, m.friction);
    } else if (key == "resonance") {
      const size_t at = value.find('@');
      ServoMechanics::Resonance r;
      ok = at != std::string::npos && number(value.substr(0, at), 50, 2500, r.hz) &&
           integer(value.substr(at + 1), 1, 65535, r.kv) && m.resonances.size() < ServoMechanics::kMaxResonances;
      if (ok) m.resonances.push_back(r);
    } else if (key == "end") {
      ok = number(value, 1, 200, m.end_mode_hz);
    } else if (key == "end-size") {
      ok = number(value, 0, 1, m.end_mode_rad);
    } else if (key == "end-damping") {
      ok = number(value, 0.0005, 0.5, m.end_mode_zeta);
    } else if (key == "jitter") {
      ok = integer(value, 1, 65535, m.jitter_kv);
    } else if (key == "seed") {
      ok = integer(value, 0, 1 << 30, seed);
      m.seed = static_cast<uint32_t>(seed);
    } else if (key == "script-resonance") {
      ok = integer(value, 1, 30, m.script.resonance_rigidity);
    } else if (key == "script-jitter") {
      ok = integer(value, 1, 65535, m.script.jitter_kv);
    } else if (key == "script-overshoot") {
      ok = integer(value, 1, 65535, m.script.overshoot_kp);
    } else if (key == "script-end") {
      ok = integer(value, 0, 1, flag);
      m.script.end_vibration = flag == 1;
    }
    if (!ok) return std::nullopt;
    if (key.rfind("script-", 0) == 0) m.script.on = true;
  }
  return m;
}

}  // namespace velmo::sim
